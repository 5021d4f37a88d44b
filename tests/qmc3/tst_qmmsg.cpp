#include "qmconst.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

std::unique_ptr<TqmAttItem> Attachment(const QByteArray& fileName, const QByteArray& data = QByteArrayLiteral("x"))
{
    auto item = std::make_unique<TqmAttItem>();
    item->SetFileName(fileName);
    item->Data = data;
    return item;
}

QString ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EMessageError& error) {
        return error.Message();
    }
    return QString();
}

QStringList FilesIn(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestQmMsg : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void newMessageDefaults();
    void contentType_data();
    void contentType();
    void contentTypeFollowsChanges();
    void setAttachmentsCopies();
    void verify_data();
    void verify();
    void processHeaders();
    void processHeadersAppendsAddresses();
    void priority_data();
    void priority();
    void loadHeadersSeesFirst2048Bytes();
    void loadHeadersOfEmptyStream();
    void invisibleControls_data();
    void invisibleControls();
    void saveAttachmentStaysInDirectory_data();
    void saveAttachmentStaysInDirectory();
    void saveAttachmentIntoMissingDirectory();
    void executeAttachment();
    void executeAttachmentFailures();
    void defaultAttachmentDirectoryIsPrivate();
    void assignAndClear();
    void fileOpenFailures();
    void messageListOwnsMessages();
};

void TestQmMsg::cleanup()
{
    SetDocumentOpener({});
    SetAttachmentTempDir({});
}

void TestQmMsg::newMessageDefaults()
{
    TqmMessage message;
    QCOMPARE(message.GetContentType(), QByteArray("text/plain"));
    QCOMPARE(message.Encoding, meMIME);
    QCOMPARE(message.CharSet, csUSASCII);
    QCOMPARE(message.Priority, ptNormal);
    QVERIFY(!message.ReturnReceipt);
}

void TestQmMsg::contentType_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("hasBody");
    QTest::addColumn<QByteArrayList>("attachments");
    QTest::addColumn<QByteArray>("setType");
    QTest::addColumn<QByteArray>("expected");
    const QByteArrayList none;
    QTest::newRow("uuencoded") << int(meUU) << true << QByteArrayList{"a.png"} << QByteArray() << QByteArray();
    QTest::newRow("alternatives") << int(meMIME) << true << QByteArrayList{"_alt.htm", "C:\\x\\_ALT.rtf"}
                                  << QByteArray() << QByteArray("multipart/alternative");
    QTest::newRow("alternative and file") << int(meMIME) << true << QByteArrayList{"_alt.htm", "a.png"}
                                          << QByteArray() << QByteArray("multipart/mixed");
    QTest::newRow("rtf body form") << int(meMIME) << false << QByteArrayList{"_rtfbody.rtf"} << QByteArray()
                                   << QByteArray("text/rtf");
    QTest::newRow("html body form with path") << int(meMIME) << false << QByteArrayList{"/tmp/w/_HTMBODY.HTM"}
                                              << QByteArray() << QByteArray("text/html");
    QTest::newRow("html body form next to body") << int(meMIME) << true << QByteArrayList{"_htmbody.htm"}
                                                 << QByteArray() << QByteArray("multipart/mixed");
    QTest::newRow("body keeps type set") << int(meMIME) << true << none << QByteArray("TEXT/HTML")
                                         << QByteArray("text/html");
    QTest::newRow("body without type") << int(meMIME) << true << none << QByteArray() << QByteArray("text/plain");
    QTest::newRow("body and attachment") << int(meMIME) << true << QByteArrayList{"a.png"}
                                         << QByteArray("text/html") << QByteArray("multipart/mixed");
    QTest::newRow("only one attachment") << int(meMIME) << false << QByteArrayList{"a.png"} << QByteArray()
                                         << QByteArray("image/png");
    QTest::newRow("nothing") << int(meMIME) << false << none << QByteArray("text/html")
                             << QByteArray("text/plain");
    QTest::newRow("two attachments, no body") << int(meMIME) << false << QByteArrayList{"a.png", "b.txt"}
                                              << QByteArray() << QByteArray("multipart/mixed");
}

void TestQmMsg::contentType()
{
    QFETCH(int, encoding);
    QFETCH(bool, hasBody);
    QFETCH(QByteArrayList, attachments);
    QFETCH(QByteArray, setType);
    QFETCH(QByteArray, expected);
    TqmMessage message;
    message.Encoding = TMsgEncoding(encoding);
    if (hasBody)
        message.Body << QByteArrayLiteral("Hello");
    for (const QByteArray& name : std::as_const(attachments))
        message.Attachments.Add(Attachment(name));
    message.SetContentType(setType);
    QCOMPARE(message.GetContentType(), expected);
}

void TestQmMsg::contentTypeFollowsChanges()
{
    TqmMessage message;
    message.SetContentType(QByteArrayLiteral("text/html"));
    message.Body << QByteArrayLiteral("<p>Hi</p>");
    message.Attachments.Add(Attachment(QByteArrayLiteral("a.png")));
    QCOMPARE(message.GetContentType(), QByteArray("multipart/mixed"));
    message.Attachments.Delete(0);
    QCOMPARE(message.GetContentType(), QByteArray("text/html"));
}

void TestQmMsg::setAttachmentsCopies()
{
    TqmAttList list;
    list.Add(Attachment(QByteArrayLiteral("a.png"), QByteArrayLiteral("data")));
    TqmMessage message;
    message.Body << QByteArrayLiteral("text");
    message.SetAttachments(list);
    list.Items(0).Data = QByteArrayLiteral("changed");
    QCOMPARE(message.Attachments.Count(), 1);
    QCOMPARE(message.Attachments.Items(0).Data, QByteArray("data"));
    message.Attachments.Clear();
    QCOMPARE(message.GetContentType(), QByteArray("multipart/mixed"));
    message.SetAttachments(TqmAttList());
    QCOMPARE(message.GetContentType(), QByteArray("text/plain"));
}

void TestQmMsg::verify_data()
{
    QTest::addColumn<QByteArray>("sender");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("cc");
    QTest::addColumn<QByteArray>("bcc");
    QTest::addColumn<int>("errorId");
    QTest::newRow("complete") << QByteArray("s@x") << QByteArray("t@x") << QByteArray() << QByteArray() << 0;
    QTest::newRow("only bcc") << QByteArray("s@x") << QByteArray() << QByteArray() << QByteArray("b@x") << 0;
    QTest::newRow("only cc") << QByteArray("s@x") << QByteArray() << QByteArray("c@x") << QByteArray() << 0;
    QTest::newRow("no sender") << QByteArray() << QByteArray("t@x") << QByteArray() << QByteArray()
                               << int(qmSenderRequired);
    QTest::newRow("no sender, no recipient") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                             << int(qmSenderRequired);
    QTest::newRow("no recipient") << QByteArray("s@x") << QByteArray() << QByteArray() << QByteArray()
                                  << int(qmRecipientRequired);
}

void TestQmMsg::verify()
{
    QFETCH(QByteArray, sender);
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, cc);
    QFETCH(QByteArray, bcc);
    QFETCH(int, errorId);
    TqmMessage message;
    message.Sender.Address = sender;
    message.Sender.Name = QByteArrayLiteral("Name only");
    // An entry with a name but no address does not count as a recipient.
    message.Recipients.AddAddress({}, QByteArrayLiteral("Nobody"));
    message.Recipients.AddAddress(to, {});
    message.CC.AddAddress(cc, {});
    message.BCC.AddAddress(bcc, {});
    const QString error = ErrorText([&] { message.Verify(); });
    QCOMPARE(error, errorId ? qmMessageText(errorId) : QString());
}

void TestQmMsg::processHeaders()
{
    const TqmHeaders headers{"From: \"Berg, Anna\" <anna@example.org>",
                             "To: bob@example.org (Bob), \"Doe, Jane\" <jane@example.org>,",
                             "  carl@example.org",
                             "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=",
                             "Cc: <cc@example.org>",
                             "Return-receipt-to: anna@example.org",
                             "To: dora@example.org",
                             "X-Priority: 1 (Highest)"};
    TqmMessage message;
    message.ProcessHeaders(headers);
    QCOMPARE(message.Sender.Address, QByteArray("anna@example.org"));
    QCOMPARE(message.Sender.Name, QByteArray("Berg, Anna"));
    QCOMPARE(message.Recipients.Count(), 4);
    QCOMPARE(message.Recipients.Items(0).Name, QByteArray("Bob"));
    QCOMPARE(message.Recipients.Items(1).Address, QByteArray("jane@example.org"));
    QCOMPARE(message.Recipients.Items(1).Name, QByteArray("Doe, Jane"));
    QCOMPARE(message.Recipients.Items(2).Address, QByteArray("carl@example.org"));
    QCOMPARE(message.Recipients.Items(3).Address, QByteArray("dora@example.org"));
    QCOMPARE(message.CC.Count(), 1);
    QCOMPARE(message.CC.Items(0).Address, QByteArray("cc@example.org"));
    QCOMPARE(message.BCC.Count(), 0);
    QCOMPARE(message.Subject, QByteArray("Gr\xc3\xbc\xc3\x9f" "e"));
    QCOMPARE(message.Priority, ptHigh);
    QVERIFY(message.ReturnReceipt);
    QCOMPARE(message.Headers, headers);
}

void TestQmMsg::processHeadersAppendsAddresses()
{
    TqmMessage message;
    message.Subject = QByteArrayLiteral("kept");
    message.Recipients.AddAddress(QByteArrayLiteral("old@example.org"), {});
    message.ProcessHeaders(TqmHeaders{"To: new@example.org", "Return-receipt-to:"});
    QCOMPARE(message.Recipients.Count(), 2);
    QCOMPARE(message.Recipients.Items(1).Address, QByteArray("new@example.org"));
    QCOMPARE(message.Subject, QByteArray("kept"));
    QVERIFY(!message.ReturnReceipt);
    QVERIFY(message.Sender.Address.isEmpty());
}

void TestQmMsg::priority_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("priority");
    QTest::newRow("1") << QByteArray("X-Priority: 1") << int(ptHigh);
    QTest::newRow("1 with comment") << QByteArray("X-Priority: 1 (Highest)") << int(ptHigh);
    QTest::newRow("5") << QByteArray("X-Priority: 5") << int(ptLow);
    QTest::newRow("3") << QByteArray("X-Priority: 3") << int(ptNormal);
    QTest::newRow("15 is no 1") << QByteArray("X-Priority: 15") << int(ptNormal);
    QTest::newRow("absent") << QByteArray("X-Mailer: 1") << int(ptNormal);
}

void TestQmMsg::priority()
{
    QFETCH(QByteArray, field);
    QFETCH(int, priority);
    TqmMessage message;
    message.Priority = ptLow;
    message.ProcessHeaders(TqmHeaders{field});
    QCOMPARE(int(message.Priority), priority);
}

void TestQmMsg::loadHeadersSeesFirst2048Bytes()
{
    QByteArray text = "From: anna@example.org\r\nTo: bob@example.org\r\n";
    while (text.size() < 1900)
        text += "X-Filler: " + QByteArray(60, 'f') + "\r\n";
    text += "X-Pad: " + QByteArray(1990 - text.size() - 9, 'p') + "\r\n";
    QCOMPARE(text.size(), 1990);
    text += "Subject: " + QByteArray(100, 's') + "\r\nCc: late@example.org\r\n\r\nBody: not a header\r\n";
    QBuffer buffer(&text);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    buffer.seek(100);
    TqmMessage message;
    message.LoadHeaders(buffer);
    QCOMPARE(message.Sender.Address, QByteArray("anna@example.org"));
    QCOMPARE(message.Recipients.Count(), 1);
    QCOMPARE(message.CC.Count(), 0);
    QVERIFY(message.Subject.startsWith("sss"));
    QCOMPARE(message.Subject.size(), 2048 - 1990 - 9);
    QVERIFY(!message.Headers.Contains(QByteArrayLiteral("late@example.org")));
}

void TestQmMsg::loadHeadersOfEmptyStream()
{
    QByteArray empty;
    QBuffer buffer(&empty);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    TqmMessage message;
    message.Sender.Address = QByteArrayLiteral("kept@example.org");
    message.LoadHeaders(buffer);
    QCOMPARE(message.Sender.Address, QByteArray("kept@example.org"));

    QByteArray text = "Subject: shown\n\nSubject: body\n";
    QBuffer short_(&text);
    QVERIFY(short_.open(QIODevice::ReadOnly));
    message.LoadHeaders(short_);
    QCOMPARE(message.Subject, QByteArray("shown"));
    QCOMPARE(message.Headers, (TqmHeaders{"Subject: shown"}));
}

void TestQmMsg::saveAttachmentStaysInDirectory_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QString>("savedAs");
    QTest::newRow("plain") << QByteArray("report.pdf") << QStringLiteral("report.pdf");
    QTest::newRow("parent and hidden") << QByteArray("../../.bashrc") << QStringLiteral("bashrc");
    QTest::newRow("absolute path") << QByteArray("/etc/passwd") << QStringLiteral("passwd");
    QTest::newRow("windows path") << QByteArray("C:\\Windows\\evil.exe") << QStringLiteral("evil.exe");
    QTest::newRow("backslash parents") << QByteArray("..\\..\\x.txt") << QStringLiteral("x.txt");
    QTest::newRow("control characters") << QByteArray("a\x01" "b\nc\x7f.txt") << QStringLiteral("abc.txt");
    QTest::newRow("only dots") << QByteArray("..") << QStringLiteral("attachment0");
    QTest::newRow("directory only") << QByteArray("dir/") << QStringLiteral("attachment0");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("attachment0");
    QTest::newRow("utf-8 name") << QByteArray("\xc3\x84rger.txt") << QStringLiteral("\u00c4rger.txt");
    QTest::newRow("right-to-left override") << QByteArray("invoice\xe2\x80\xae" "fdp.desktop")
                                            << QStringLiteral("invoicefdp.desktop");
    QTest::newRow("zero-width space before dot") << QByteArray("\xe2\x80\x8b.bashrc") << QStringLiteral("bashrc");
}

void TestQmMsg::invisibleControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QStringLiteral("report.pdf") << QStringLiteral("report.pdf");
    QTest::newRow("RLO") << QStringLiteral("invoice\u202Efdp.desktop") << QStringLiteral("invoicefdp.desktop");
    QTest::newRow("LRE PDF") << QStringLiteral("\u202Aa\u202Cb") << QStringLiteral("ab");
    QTest::newRow("isolates") << QStringLiteral("\u2066a\u2067b\u2068c\u2069") << QStringLiteral("abc");
    QTest::newRow("marks") << QStringLiteral("a\u200Eb\u200Fc\u061Cd") << QStringLiteral("abcd");
    QTest::newRow("zero width") << QStringLiteral("a\u200Bb\u200Cc\u200Dd\u2060e\uFEFF") << QStringLiteral("abcde");
    QTest::newRow("neighbours kept") << QStringLiteral("a\u2010b\u2029c\u206Ad\u0627")
                                     << QStringLiteral("a\u2010b\u2029c\u206Ad\u0627");
    QTest::newRow("only controls") << QStringLiteral("\u202E\u200B") << QString();
}

void TestQmMsg::invisibleControls()
{
    QFETCH(QString, name);
    QTEST(WithoutInvisibleControls(name), "shown");
}

void TestQmMsg::saveAttachmentStaysInDirectory()
{
    QFETCH(QByteArray, fileName);
    QFETCH(QString, savedAs);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString directory = root.filePath(QStringLiteral("a/b"));
    QVERIFY(QDir().mkpath(directory));
    TqmMessage message;
    message.Attachments.Add(Attachment(fileName, QByteArrayLiteral("content")));

    const QString path = message.SaveAttachment(0, directory);

    QCOMPARE(path, QDir(directory).filePath(savedAs));
    QCOMPARE(FilesIn(directory), QStringList{savedAs});
    QCOMPARE(FilesIn(root.filePath(QStringLiteral("a"))), QStringList());
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("content"));
}

void TestQmMsg::saveAttachmentIntoMissingDirectory()
{
    QTemporaryDir root;
    TqmMessage message;
    message.Attachments.Add(Attachment(QByteArrayLiteral("a.txt")));
    QVERIFY_THROWS_EXCEPTION(EMessageError, message.SaveAttachment(0, root.filePath(QStringLiteral("missing"))));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, message.SaveAttachment(1, root.path()));
}

void TestQmMsg::executeAttachment()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    SetAttachmentTempDir(directory.path());
    QStringList opened;
    SetDocumentOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    QString savedPath;
    {
        TqmMessage message;
        message.Attachments.Add(Attachment(QByteArrayLiteral("../notes.txt"), QByteArrayLiteral("notes")));
        message.ExecuteAttachment(0);
        message.ExecuteAttachment(0);
        savedPath = QDir(directory.path()).filePath(QStringLiteral("notes.txt"));
        QCOMPARE(opened, (QStringList{savedPath, savedPath}));
        QCOMPARE(message.TempFiles, QStringList{savedPath});
        QVERIFY(QFileInfo::exists(savedPath));
    }
    QVERIFY(!QFileInfo::exists(savedPath));
}

void TestQmMsg::executeAttachmentFailures()
{
    QTemporaryDir directory;
    SetAttachmentTempDir(directory.path());
    SetDocumentOpener([](const QString&) { return false; });
    TqmMessage message;
    message.Attachments.Add(Attachment(QByteArrayLiteral("a.txt")));
    message.Attachments.Add(std::make_unique<TqmAttItem>());

    QCOMPARE(ErrorText([&] { message.ExecuteAttachment(1); }),
             QStringLiteral("Unable to execute attachment #1\nbecause file name is blank"));
    QVERIFY(FilesIn(directory.path()).isEmpty());
    QVERIFY(ErrorText([&] { message.ExecuteAttachment(0); }).startsWith(QStringLiteral("Error executing ShellExec.")));
    QCOMPARE(message.TempFiles.size(), 1);
}

void TestQmMsg::defaultAttachmentDirectoryIsPrivate()
{
    const QString directory = AttachmentTempDir();
    QVERIFY(directory.startsWith(QDir::tempPath() + QLatin1Char('/')));
    QCOMPARE(AttachmentTempDir(), directory);
    const QFileInfo info(directory);
    QVERIFY(info.isDir());
    QCOMPARE(info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
}

void TestQmMsg::assignAndClear()
{
    TqmMessage source;
    source.Sender.Address = QByteArrayLiteral("s@x");
    source.Subject = QByteArrayLiteral("subject");
    source.CharSet = csUTF8;
    source.Encoding = meUU;
    source.Body << QByteArrayLiteral("body");
    source.Headers << QByteArrayLiteral("X-A: b");
    source.Attachments.Add(Attachment(QByteArrayLiteral("a.png"), QByteArrayLiteral("png")));
    source.Recipients.AddAddress(QByteArrayLiteral("t@x"), {});
    source.BCC.AddAddress(QByteArrayLiteral("b@x"), {});
    source.Priority = ptHigh;
    source.ReturnReceipt = true;
    source.SetContentType(QByteArrayLiteral("text/html"));
    source.Tag = 7;

    TqmMessage copy;
    copy.Recipients.AddAddress(QByteArrayLiteral("old@x"), {});
    copy.Assign(source);
    source.Attachments.Items(0).Data = QByteArrayLiteral("changed");
    source.Recipients.Items(0).Address = QByteArrayLiteral("changed@x");
    QCOMPARE(copy.Sender.Address, QByteArray("s@x"));
    QCOMPARE(copy.Subject, QByteArray("subject"));
    QCOMPARE(copy.CharSet, csUTF8);
    QCOMPARE(copy.Body, QByteArrayList{"body"});
    QCOMPARE(copy.Headers, TqmHeaders{"X-A: b"});
    QCOMPARE(copy.Attachments.Items(0).Data, QByteArray("png"));
    QCOMPARE(copy.Recipients.Count(), 1);
    QCOMPARE(copy.Recipients.Items(0).Address, QByteArray("t@x"));
    QCOMPARE(copy.BCC.Count(), 1);
    QCOMPARE(copy.Priority, ptHigh);
    QVERIFY(copy.ReturnReceipt);
    QCOMPARE(copy.Tag, 7);
    QCOMPARE(copy.GetContentType(), QByteArray());
    copy.Encoding = meMIME;
    QCOMPARE(copy.GetContentType(), QByteArray("multipart/mixed"));

    copy.Clear();
    QVERIFY(copy.Sender.Address.isEmpty());
    QVERIFY(copy.Subject.isEmpty());
    QVERIFY(copy.Body.isEmpty() && copy.Headers.isEmpty());
    QCOMPARE(copy.Attachments.Count(), 0);
    QCOMPARE(copy.Recipients.Count() + copy.CC.Count() + copy.BCC.Count(), 0);
    QCOMPARE(copy.CharSet, csUSASCII);
    QCOMPARE(copy.Encoding, meMIME);
    copy.Body << QByteArrayLiteral("text");
    QCOMPARE(copy.GetContentType(), QByteArray("text/plain"));
}

void TestQmMsg::fileOpenFailures()
{
    TqmMessage message;
    message.Subject = QByteArrayLiteral("cleared first");
    QVERIFY_THROWS_EXCEPTION(EMessageError, message.LoadFromFile(QStringLiteral("/nonexistent/dir/m.eml")));
    QVERIFY(message.Subject.isEmpty());
    QVERIFY_THROWS_EXCEPTION(EMessageError, message.SaveToFile(QStringLiteral("/nonexistent/dir/m.eml")));
}

void TestQmMsg::messageListOwnsMessages()
{
    TqmMessageList list;
    TqmListMessage& first = list.Add();
    TqmListMessage& second = list.Add();
    TqmListMessage& third = list.Add();
    second.Subject = QByteArrayLiteral("second");
    QCOMPARE(list.Count(), 3);
    QCOMPARE(&first.Owner(), &list);
    QCOMPARE(list.IndexOf(third), 2);

    list.Delete(0);
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Items(0).Subject, QByteArray("second"));

    delete &third;
    QCOMPARE(list.Count(), 1);

    TqmMessageList other;
    TqmListMessage& foreign = other.Add();
    QCOMPARE(list.Remove(foreign), qsizetype(-1));
    QCOMPARE(other.Count(), 1);
    QCOMPARE(list.Remove(second), qsizetype(0));
    QCOMPARE(list.Count(), 0);

    other.Add();
    other.Clear();
    QCOMPARE(other.Count(), 0);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, other.Items(0));
}

QTEST_GUILESS_MAIN(TestQmMsg)
#include "tst_qmmsg.moc"

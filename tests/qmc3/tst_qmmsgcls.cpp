#include "qmexcept.h"
#include "qmmsgcls.h"

#include <QTemporaryDir>
#include <QTest>

class TestQmMsgCls : public QObject {
    Q_OBJECT

private slots:
    void enumerationValues();
    void addressListAddAddress();
    void addressListAssignIsDeep();
    void addressListDeleteAndReplace();
    void attachmentFileName_data();
    void attachmentFileName();
    void attachmentEmptyNameKeepsType();
    void attachmentListAddFile();
    void attachmentListAddMissingFile();
    void attachmentListExchangeAndAssign();
    void fieldBody_data();
    void fieldBody();
    void fieldBodyCutAtCharacterBoundary();
    void multiLineFieldBody_data();
    void multiLineFieldBody();
    void removeField();
    void removeXHeaders();
    void cleanUp();
    void contains();
    void fromText();
};

void TestQmMsgCls::enumerationValues()
{
    QCOMPARE(int(meUU), 1);
    QCOMPARE(int(csISO2022jp), 2);
    QCOMPARE(int(csUTF8), 3);
    QCOMPARE(int(ptHigh), 2);
    QCOMPARE(int(etQP), 2);
}

void TestQmMsgCls::addressListAddAddress()
{
    TqmAddressList list;
    list.AddAddress(QByteArrayLiteral("anna@example.org"), QByteArrayLiteral("Anna"));
    list.AddAddress(QByteArray(300, 'a'), QByteArray(253, 'n') + "\xe2\x82\xac");
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Items(0).Address, QByteArray("anna@example.org"));
    QCOMPARE(list.Items(0).Name, QByteArray("Anna"));
    QCOMPARE(list.Items(1).Address.size(), 255);
    QCOMPARE(list.Items(1).Name, QByteArray(253, 'n'));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.Items(2));
}

void TestQmMsgCls::addressListAssignIsDeep()
{
    TqmAddressList source;
    source.AddAddress(QByteArrayLiteral("a@example.org"), QByteArrayLiteral("A"));
    TqmAddressList copy;
    copy.AddAddress(QByteArrayLiteral("old@example.org"), {});
    copy.Assign(source);
    source.Items(0).Address = QByteArrayLiteral("changed@example.org");
    QCOMPARE(copy.Count(), 1);
    QCOMPARE(copy.Items(0).Address, QByteArray("a@example.org"));
    copy.Assign(copy);
    QCOMPARE(copy.Count(), 1);
}

void TestQmMsgCls::addressListDeleteAndReplace()
{
    TqmAddressList list;
    for (const char* box : {"a@x", "b@x", "c@x"})
        list.AddAddress(box, {});
    list.Delete(1);
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.Items(1).Address, QByteArray("c@x"));
    auto replacement = std::make_unique<TqmMailAddress>();
    replacement->Address = QByteArrayLiteral("d@x");
    list.SetItem(0, std::move(replacement));
    QCOMPARE(list.Items(0).Address, QByteArray("d@x"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.Delete(5));
    list.Clear();
    QCOMPARE(list.Count(), 0);
}

void TestQmMsgCls::attachmentFileName_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<int>("encoding");
    QTest::newRow("plain text") << QByteArray("notes.txt") << QByteArray("text/plain") << int(etQP);
    QTest::newRow("upper-case extension") << QByteArray("NOTES.TXT") << QByteArray("text/plain") << int(etQP);
    QTest::newRow("html") << QByteArray("page.html") << QByteArray("text/html") << int(etQP);
    QTest::newRow("message") << QByteArray("original.eml") << QByteArray("message/rfc822") << int(etNone);
    QTest::newRow("image") << QByteArray("c:\\pics\\photo.jpg") << QByteArray("image/jpeg") << int(etBase64);
    QTest::newRow("unknown") << QByteArray("blob.zzqqxx") << QByteArray("application/octet-stream")
                             << int(etBase64);
}

void TestQmMsgCls::attachmentFileName()
{
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, contentType);
    QFETCH(int, encoding);
    TqmAttItem item;
    item.SetFileName(fileName);
    QCOMPARE(item.GetFileName(), fileName);
    QCOMPARE(item.ContentType, contentType);
    QCOMPARE(int(item.Encoding), encoding);
}

void TestQmMsgCls::attachmentEmptyNameKeepsType()
{
    QCOMPARE(EncodingForContentType(QByteArrayLiteral("TEXT/RTF")), etQP);
    QCOMPARE(EncodingForContentType(QByteArrayLiteral("Message/RFC822")), etNone);
    TqmAttItem item;
    item.ContentType = QByteArrayLiteral("image/gif");
    item.Encoding = etBase64;
    item.SetFileName({});
    QCOMPARE(item.ContentType, QByteArray("image/gif"));
    QCOMPARE(item.Encoding, etBase64);
}

void TestQmMsgCls::attachmentListAddFile()
{
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString path = directory.filePath(QStringLiteral("report.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("line one\nline two\n");
    file.close();

    TqmAttList list;
    const TqmAttItem& item = list.AddFile(path);
    QCOMPARE(list.Count(), 1);
    QCOMPARE(item.Data, QByteArray("line one\nline two\n"));
    QCOMPARE(item.GetFileName(), QFile::encodeName(path));
    QCOMPARE(item.ContentType, QByteArray("text/plain"));
    QCOMPARE(item.Encoding, etQP);
}

void TestQmMsgCls::attachmentListAddMissingFile()
{
    TqmAttList list;
    QVERIFY_THROWS_EXCEPTION(EMessageError, list.AddFile(QStringLiteral("/nonexistent/dir/file.txt")));
    QCOMPARE(list.Count(), 0);
}

void TestQmMsgCls::attachmentListExchangeAndAssign()
{
    TqmAttList list;
    for (const char* name : {"a.txt", "b.png"}) {
        auto item = std::make_unique<TqmAttItem>();
        item->SetFileName(name);
        item->Data = name;
        list.Add(std::move(item));
    }
    list.Exchange(0, 1);
    QCOMPARE(list.Items(0).GetFileName(), QByteArray("b.png"));
    QCOMPARE(list.Items(1).GetFileName(), QByteArray("a.txt"));

    TqmAttList copy;
    copy.Assign(list);
    list.Items(0).Data = QByteArrayLiteral("changed");
    list.Delete(1);
    QCOMPARE(copy.Count(), 2);
    QCOMPARE(copy.Items(0).Data, QByteArray("b.png"));
    QCOMPARE(copy.Items(0).ContentType, QByteArray("image/png"));
    QCOMPARE(copy.Items(1).Encoding, etQP);
}

void TestQmMsgCls::fieldBody_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("expected");
    const QByteArrayList headers{"From: Anna <anna@example.org>",
                                 "Subject:Hello",
                                 "Received: from a",
                                 "\tby b",
                                 "  with c",
                                 "X-Mailer: test",
                                 "Content-Type: multipart/mixed;",
                                 " boundary=\"=_x_y\"",
                                 "X-UIDL: =?abc?=",
                                 "Comments: =?ISO-8859-1?Q?Gr=FC=DFe?=",
                                 "Keywords:\tTabbed",
                                 "Empty:"};
    QTest::newRow("simple") << headers << QByteArray("From") << QByteArray("Anna <anna@example.org>");
    QTest::newRow("name with colon") << headers << QByteArray("from:") << QByteArray("Anna <anna@example.org>");
    QTest::newRow("no blank after colon") << headers << QByteArray("Subject") << QByteArray("Hello");
    QTest::newRow("tab after colon") << headers << QByteArray("Keywords") << QByteArray("Tabbed");
    QTest::newRow("folded") << headers << QByteArray("RECEIVED") << QByteArray("from a by b with c");
    QTest::newRow("content type undecoded") << headers << QByteArray("Content-Type")
                                            << QByteArray("multipart/mixed; boundary=\"=_x_y\"");
    QTest::newRow("uidl undecoded") << headers << QByteArray("X-UIDL") << QByteArray("=?abc?=");
    QTest::newRow("encoded word decoded") << headers << QByteArray("Comments") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e");
    QTest::newRow("empty body") << headers << QByteArray("Empty") << QByteArray();
    QTest::newRow("absent") << headers << QByteArray("To") << QByteArray();
    QTest::newRow("prefix of a name is no match") << headers << QByteArray("X-Mail") << QByteArray();
}

void TestQmMsgCls::fieldBody()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);
    QCOMPARE(TqmHeaders(lines).GetFieldBody(name), expected);
}

void TestQmMsgCls::fieldBodyCutAtCharacterBoundary()
{
    const QByteArray subject = QByteArray(254, 's') + "\xc3\xa4" + "tail";
    const QByteArray contentType = "text/plain; name=\"" + QByteArray(300, 'n') + '"';
    const TqmHeaders headers{"Subject: " + subject, "Content-Type: " + contentType};
    QCOMPARE(headers.GetFieldBody(QByteArrayLiteral("Subject")), QByteArray(254, 's'));
    QCOMPARE(headers.GetFieldBody(QByteArrayLiteral("Content-Type")), contentType);
}

void TestQmMsgCls::multiLineFieldBody_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::newRow("single") << QByteArrayList{"To: a@x, B <b@x>"} << QByteArray("TO")
                            << QByteArrayList{"a@x", "B <b@x>"};
    QTest::newRow("quoted comma stays") << QByteArrayList{"To: \"Berg, Anna\" <anna@x>, c@x"} << QByteArray("TO")
                                        << QByteArrayList{"\"Berg, Anna\" <anna@x>", "c@x"};
    QTest::newRow("folded and second field merged")
        << QByteArrayList{"To: a@x,", "  b@x, c@x", "Subject: s", "To: d@x"} << QByteArray("TO")
        << QByteArrayList{"a@x", "b@x", "c@x", "d@x"};
    QTest::newRow("unindented line without colon") << QByteArrayList{"To: a@x,", "b@x", "Cc: c@x"}
                                                   << QByteArray("TO") << QByteArrayList{"a@x", "b@x"};
    QTest::newRow("folded line with colon in quotes")
        << QByteArrayList{"Cc: a@x,", " \"Dr: Who\" <who@x>"} << QByteArray("CC")
        << QByteArrayList{"a@x", "\"Dr: Who\" <who@x>"};
    QTest::newRow("empty piece kept") << QByteArrayList{"To: a@x,,b@x"} << QByteArray("TO")
                                      << QByteArrayList{"a@x", "", "b@x"};
    QTest::newRow("no blank after colon") << QByteArrayList{"To:a@x"} << QByteArray("TO") << QByteArrayList{"a@x"};
    QTest::newRow("other field names ignored") << QByteArrayList{"Topic: t@x", "BCC: b@x", "To : a@x"}
                                               << QByteArray("TO") << QByteArrayList{"a@x"};
    QTest::newRow("cc does not match bcc") << QByteArrayList{"Bcc: b@x"} << QByteArray("CC") << QByteArrayList{};
    QTest::newRow("encoded name decoded")
        << QByteArrayList{"To: =?utf-8?B?w4RyZ2Vy?=, b@x"} << QByteArray("TO")
        << QByteArrayList{"\xc3\x84rger", "b@x"};
}

void TestQmMsgCls::multiLineFieldBody()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, name);
    QFETCH(QByteArrayList, expected);
    QByteArrayList list{"stale"};
    TqmHeaders(lines).GetMultiLineFieldBody(name, list);
    QCOMPARE(list, expected);
}

void TestQmMsgCls::removeField()
{
    TqmHeaders headers{"Received: a", " b", "Subject: s", "Received: c"};
    headers.Remove(QByteArrayLiteral("received"));
    QCOMPARE(headers, (TqmHeaders{"Subject: s", "Received: c"}));
    headers.Remove(QByteArrayLiteral("Absent"));
    QCOMPARE(headers.size(), 2);
}

void TestQmMsgCls::removeXHeaders()
{
    TqmHeaders headers{"X-Mailer: m", "\tfolded", "Subject: s", "x-spam: y", "X-UIDL: u", "To: t"};
    headers.RemoveXHeaders();
    QCOMPARE(headers, (TqmHeaders{"Subject: s", "To: t"}));
}

void TestQmMsgCls::cleanUp()
{
    TqmHeaders headers{"Subject: s", "", "body", "", "more"};
    headers.CleanUp();
    QCOMPARE(headers, (TqmHeaders{"Subject: s"}));
}

void TestQmMsgCls::contains()
{
    const TqmHeaders headers{"Subject: Hello World"};
    QVERIFY(headers.Contains(QByteArrayLiteral("hello")));
    QVERIFY(!headers.Contains(QByteArrayLiteral("hello"), true));
    QVERIFY(headers.Contains(QByteArrayLiteral("World"), true));
    QVERIFY(!headers.Contains(QByteArrayLiteral("Earth")));
}

void TestQmMsgCls::fromText()
{
    QCOMPARE(TqmHeaders::FromText(QByteArrayLiteral("A: 1\r\nB: 2\n\r\nbody")),
             (TqmHeaders{"A: 1", "B: 2", "", "body"}));
    QCOMPARE(TqmHeaders::FromText(QByteArrayLiteral("A: 1\n")), (TqmHeaders{"A: 1"}));
}

QTEST_GUILESS_MAIN(TestQmMsgCls)
#include "tst_qmmsgcls.moc"

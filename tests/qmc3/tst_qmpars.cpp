#include "MessageSummary.h"
#include "TestData.h"

#include "qmCls.h"
#include "qmconst.h"
#include "qmutils.h"
#include "qmpars.h"
#include "qmpartname.h"
#include "OneByteDevice.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// The first corpus ("messages") is summarised briefly; the second ("mime", messages as current
// mailers shape them) also with each attachment's parameters and Content-ID.
const QStringList CorpusFolders = {QStringLiteral("messages"), QStringLiteral("mime")};

QStringList MessageCases(const QString& folder)
{
    QStringList cases;
    for (const QString& name : TestDataCases(folder, QStringLiteral(".summary")))
        cases << name.chopped(4);
    return cases;
}

void Load(const QByteArray& text, TqmMessage& message)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    message.Clear();
    message.LoadFromStream(buffer);
}

QByteArray Crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

// A multipart of `parts` empty unnamed parts, or of two nested multiparts holding half of them each.
QByteArray ManyParts(qsizetype parts, bool nested)
{
    const QByteArray empty = "Content-Type: application/octet-stream\r\n\r\n\r\n";
    auto multipart = [&empty](const QByteArray& boundary, qsizetype count) {
        QByteArray body;
        for (qsizetype i = 0; i < count; ++i)
            body += "--" + boundary + "\r\n" + empty;
        return body + "--" + boundary + "--\r\n";
    };
    QByteArray body;
    if (nested) {
        for (const QByteArray inner : {"I1", "I2"})
            body += "--B\r\nContent-Type: multipart/mixed; boundary=\"" + inner + "\"\r\n\r\n" + multipart(inner, parts / 2);
        body += "--B--\r\n";
    } else {
        body = multipart("B", parts);
    }
    return "From: a@example.com\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n" + body;
}

QByteArray MultipartWith(const QByteArray& partHeaders, const QByteArray& content)
{
    return Crlf("From: a@example.com\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"B\"\n\n--B\n"
                "Content-Type: text/plain\n\nbody\n--B\n" + partHeaders + "\n\n") + content + "\r\n--B--\r\n";
}

} // namespace

class TestMessageParser : public QObject {
    Q_OBJECT

private slots:
    void lineStream_data();
    void lineStream();
    void goldenMessages_data();
    void goldenMessages();
    void anyChunkBoundary_data();
    void anyChunkBoundary();
    void unencodedLinesKeepLengthAndLineEnd_data();
    void unencodedLinesKeepLengthAndLineEnd();
    void encodedLinesOfAnyLength_data();
    void encodedLinesOfAnyLength();
    void fallbackKeepsTheWholeInput();
    void uuDecodingErrorDiscardsTheFile();
    void trailingDotLine_data();
    void trailingDotLine();
    void readsFromTheCurrentPosition();
    void partsWalkedAreCapped_data();
    void partsWalkedAreCapped();
    void unnamedPartNames_data();
    void unnamedPartNames();
    void savedAgainKeepsNamesTypesAndBody_data();
    void savedAgainKeepsNamesTypesAndBody();
};

void TestMessageParser::lineStream_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("lf") << QByteArray("a\nb\n") << QByteArrayList{"a", "b"};
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QByteArrayList{"a", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r\n") << QByteArrayList{"", "", ""};
    QTest::newRow("lone cr stays") << QByteArray("a\rb\r\nc\r") << QByteArrayList{"a\rb", "c\r"};
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\n") << QByteArrayList{"a\r"};
    QTest::newRow("nul bytes") << QByteArray("a\0b\r\n\0", 6) << QByteArrayList{QByteArray("a\0b", 3), QByteArray("\0", 1)};
    QTest::newRow("end marker bytes are a line") << QByteArray("\xFF\xFF\xFF\xFF\r\nx") << QByteArrayList{"\xFF\xFF\xFF\xFF", "x"};
    const QByteArray longLine(100000, 'x');
    QTest::newRow("line longer than the buffer") << longLine + "\r\n" + longLine << QByteArrayList{longLine, longLine};
}

void TestMessageParser::lineStream()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, lines);
    for (const qsizetype bufSize : {1, 2, 3, 16384}) {
        QBuffer buffer(&input);
        buffer.open(QIODevice::ReadOnly);
        TLineStream stream(buffer);
        stream.SetBufSize(bufSize);
        QByteArrayList read;
        QByteArrayView line;
        while (stream.GetNextLine(line))
            read.append(line.toByteArray());
        QCOMPARE(read, lines);
        QVERIFY(stream.EndOfInput());
        QCOMPARE(stream.ReadAll(), input);
    }
}

void TestMessageParser::goldenMessages_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    for (const QString& folder : CorpusFolders) {
        for (const QString& name : MessageCases(folder))
            QTest::addRow("%s/%s", qPrintable(folder), qPrintable(name)) << folder << name;
    }
}

void TestMessageParser::goldenMessages()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    TqmMessage message;
    message.LoadFromFile(TestDataPath(QStringLiteral("%1/%2.eml").arg(folder, name)));
    const QByteArray actual = MessageSummary(message, folder != CorpusFolders.first());
    QFile expectedFile(TestDataPath(QStringLiteral("%1/%2.summary").arg(folder, name)));
    const QByteArray expected = expectedFile.open(QIODevice::ReadOnly) ? expectedFile.readAll() : QByteArray();
    if (actual != expected) {
        QFile out(QDir::temp().filePath(name + QStringLiteral(".summary")));
        if (out.open(QIODevice::WriteOnly))
            out.write(actual);
        qWarning("actual summary written to %s", qPrintable(out.fileName()));
    }
    QCOMPARE(actual, expected);
}

void TestMessageParser::anyChunkBoundary_data()
{
    goldenMessages_data();
}

void TestMessageParser::anyChunkBoundary()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    const QByteArray text = ReadTestData(QStringLiteral("%1/%2.eml").arg(folder, name));
    const QByteArray expected = ParseToSummary(text);
    for (const qsizetype bufSize : {1, 2, 7, 64})
        QCOMPARE(ParseToSummary(text, bufSize), expected);
    OneByteDevice device(text);
    TqmMessage message;
    ParseMessage(device, message, 3);
    QCOMPARE(MessageSummary(message), expected);
}

void TestMessageParser::unencodedLinesKeepLengthAndLineEnd_data()
{
    QTest::addColumn<QByteArray>("content");
    for (const int length : {253, 254, 255, 256, 998, 70000}) {
        const QByteArray line(length, 'x');
        QTest::addRow("%d", length) << line + "\r\n" + line + "\r\nend";
    }
    QTest::newRow("ends with line end") << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("blank lines at the end") << QByteArray("one\r\n\r\n\r\n");
}

void TestMessageParser::unencodedLinesKeepLengthAndLineEnd()
{
    QFETCH(QByteArray, content);
    TqmMessage message;
    Load(MultipartWith("Content-Type: text/plain; name=\"a.txt\"\nContent-Transfer-Encoding: 7bit", content), message);
    QCOMPARE(message.Attachments.Count(), 1);
    QCOMPARE(message.Attachments.Items(0).Data, content);
    QCOMPARE(message.Body, QByteArrayList{"body"});
}

void TestMessageParser::encodedLinesOfAnyLength_data()
{
    QTest::addColumn<QByteArray>("transferEncoding");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("decoded");
    QByteArray bytes;
    for (int i = 0; i < 30000; ++i)
        bytes += char(i * 7);
    QTest::newRow("base64 in one line") << QByteArray("base64") << bytes.toBase64() << bytes;
    QTest::newRow("base64 with blanks at line ends") << QByteArray("base64") << QByteArray("AAEC \r\nAwQF\t") << QByteArray("\0\1\2\3\4\5", 6);
    const QByteArray text(5000, 'q');
    QTest::newRow("quoted-printable in one line") << QByteArray("quoted-printable") << text + "=3D" << text + "=";
    QTest::newRow("quoted-printable soft break") << QByteArray("quoted-printable") << QByteArray("ab=\r\ncd\r\n") << QByteArray("abcd\r\n");
}

void TestMessageParser::encodedLinesOfAnyLength()
{
    QFETCH(QByteArray, transferEncoding);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, decoded);
    TqmMessage message;
    Load(MultipartWith("Content-Type: application/octet-stream\nContent-Transfer-Encoding: " + transferEncoding, content),
         message);
    QCOMPARE(message.Attachments.Count(), 1);
    QCOMPARE(message.Attachments.Items(0).Data, decoded);
}

void TestMessageParser::fallbackKeepsTheWholeInput()
{
    const QByteArray text = ReadTestData(QStringLiteral("messages/broken-invalid-base64.eml"));
    TqmMessage message;
    Load(text, message);
    QCOMPARE(message.Attachments.Count(), 2);
    const TqmAttItem& original = message.Attachments.Items(1);
    QCOMPARE(original.GetFileName(), QByteArray("original.eml"));
    QCOMPARE(original.ContentType, QByteArray("message/rfc822"));
    QCOMPARE(original.Encoding, etNone);
    QCOMPARE(original.Data, text);
}

void TestMessageParser::uuDecodingErrorDiscardsTheFile()
{
    TqmMessage message;
    Load(Crlf("From: a@example.com\n\nText.\nbegin 644 bad.bin\n%:&5L;&\\*\n%:&5L{&\\*\n`\nend\n"), message);
    QCOMPARE(message.Encoding, meUU);
    QCOMPARE(message.Attachments.Count(), 1);
    QCOMPARE(message.Attachments.Items(0).GetFileName(), QByteArray("original.eml"));
    QCOMPARE(message.Body.value(0), QByteArray("Text."));
    QCOMPARE(message.Body.value(2), qmMessageText(qmErrorDecodingAttachment).toUtf8());
}

void TestMessageParser::trailingDotLine_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("dot line removed") << QByteArray("a\n.\n") << QByteArrayList{"a"};
    QTest::newRow("only the last one") << QByteArray("a\n.\n.\n") << QByteArrayList{"a", "."};
    QTest::newRow("dot dot stays") << QByteArray("a\n..\n") << QByteArrayList{"a", ".."};
    QTest::newRow("dot in the middle stays") << QByteArray(".\na\n") << QByteArrayList{".", "a"};
    QTest::newRow("dot with text stays") << QByteArray("a\n.b\n") << QByteArrayList{"a", ".b"};
}

void TestMessageParser::trailingDotLine()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArrayList, lines);
    TqmMessage message;
    Load(Crlf("From: a@example.com\n\n" + body), message);
    QCOMPARE(message.Body, lines);
    Load(Crlf("From: a@example.com\nMIME-Version: 1.0\nContent-Type: text/plain\n\n" + body), message);
    QCOMPARE(message.Body, lines);
}

void TestMessageParser::readsFromTheCurrentPosition()
{
    QByteArray text = "prefix that is no part of the message"
        + ReadTestData(QStringLiteral("messages/broken-missing-boundary.eml"));
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(37);
    TqmMessage message;
    ParseMessage(buffer, message);
    QCOMPARE(message.Subject, QByteArray("Broken"));
    QCOMPARE(message.Attachments.Count(), 1);
    QCOMPARE(message.Attachments.Items(0).Data, text.mid(37));
}

// A message of a few megabytes may hold hundreds of thousands of empty parts. The parser walks
// MaxMessageParts of them (nested multiparts count as parts too); past that it says the structure
// was cut and keeps the whole text as "original.eml".
void TestMessageParser::partsWalkedAreCapped_data()
{
    QTest::addColumn<qsizetype>("parts");
    QTest::addColumn<bool>("nested");
    QTest::addColumn<bool>("cut");
    QTest::newRow("exactly the limit") << MaxMessageParts << false << false;
    QTest::newRow("one more") << MaxMessageParts + 1 << false << true;
    QTest::newRow("nested, containers counted") << MaxMessageParts << true << true;
    QTest::newRow("far more") << 20 * MaxMessageParts << false << true;
}

void TestMessageParser::partsWalkedAreCapped()
{
    QFETCH(qsizetype, parts);
    QFETCH(bool, nested);
    QFETCH(bool, cut);
    const QByteArray text = ManyParts(parts, nested);
    TqmMessage message;
    Load(text, message);
    const qsizetype count = message.Attachments.Count();
    const QByteArray note = message.Body.join('\n');
    QCOMPARE(note.contains("structure was cut"), cut);
    if (!cut) {
        QCOMPARE(count, parts);
        return;
    }
    QVERIFY2(note.contains(QByteArray::number(MaxMessageParts)), note.constData());
    QVERIFY(count <= MaxMessageParts + 1);
    const TqmAttItem& original = message.Attachments.Items(count - 1);
    QCOMPARE(original.GetFileName(), QByteArray("original.eml"));
    QCOMPARE(original.Data, text);
    // Unnamed parts keep the type they declare, whatever their made-up name suggests.
    QCOMPARE(message.Attachments.Items(0).GetFileName(), QByteArray("Part 1"));
    QCOMPARE(message.Attachments.Items(0).ContentType, QByteArray("application/octet-stream"));
}

void TestMessageParser::unnamedPartNames_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<qsizetype>("position");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("image") << false << QByteArray("image/gif") << qsizetype(2) << false << QByteArray("Part 2.gif");
    QTest::newRow("image, German") << true << QByteArray("image/gif") << qsizetype(2) << false << QByteArray("Teil 2.gif");
    QTest::newRow("type in capitals") << false << QByteArray("IMAGE/GIF") << qsizetype(3) << false << QByteArray("Part 3.gif");
    QTest::newRow("text") << false << QByteArray("text/plain") << qsizetype(1) << false << QByteArray("Part 1.txt");
    QTest::newRow("no type is text") << false << QByteArray() << qsizetype(4) << false << QByteArray("Part 4.txt");
    QTest::newRow("html") << true << QByteArray("text/html") << qsizetype(4) << false << QByteArray("Teil 4.html");
    QTest::newRow("pdf") << false << QByteArray("application/pdf") << qsizetype(7) << false << QByteArray("Part 7.pdf");
    QTest::newRow("unknown type") << false << QByteArray("x-example/thing") << qsizetype(5) << false << QByteArray("Part 5");
    QTest::newRow("message") << false << QByteArray("message/rfc822") << qsizetype(2) << false << QByteArray("Message.eml");
    QTest::newRow("message, German") << true << QByteArray("message/rfc822") << qsizetype(2) << false << QByteArray("Nachricht.eml");
    QTest::newRow("second message") << true << QByteArray("message/rfc822") << qsizetype(3) << true << QByteArray("Nachricht 3.eml");
}

void TestMessageParser::unnamedPartNames()
{
    QFETCH(bool, german);
    QFETCH(QByteArray, type);
    QFETCH(qsizetype, position);
    QFETCH(bool, numbered);
    QFETCH(QByteArray, name);
    qmSetLanguage(german ? TqmLanguage::German : TqmLanguage::English);
    const QByteArray actual = UnnamedPartName(type, position, numbered);
    qmSetLanguage(TqmLanguage::English);
    QCOMPARE(actual, name);
    // The name leads back to the type, so that a part sent on from its file keeps it.
    if (name.contains('.') && !type.isEmpty() && !name.endsWith(".eml"))
        QCOMPARE(GetContentType(QString::fromUtf8(name)), type.toLower());
}

void TestMessageParser::savedAgainKeepsNamesTypesAndBody_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"forwarded-with-attachments", "text-without-charset", "apple-mixed-html-pdf-html",
                             "unpadded-base64", "html-only-without-charset"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// What the reader made of a part (its made-up name, its declared type, its bytes) survives saving
// the message and reading it again.
void TestMessageParser::savedAgainKeepsNamesTypesAndBody()
{
    QFETCH(QString, name);
    TqmMessage first;
    first.LoadFromFile(TestDataPath(QStringLiteral("mime/%1.eml").arg(name)));
    TqmMessage second;
    Load(EncodeMessage(first), second);
    QCOMPARE(second.Attachments.Count(), first.Attachments.Count());
    for (qsizetype i = 0; i < first.Attachments.Count(); ++i) {
        const TqmAttItem& before = first.Attachments.Items(i);
        const TqmAttItem& after = second.Attachments.Items(i);
        QCOMPARE(after.GetFileName(), before.GetFileName());
        QCOMPARE(after.ContentType, before.ContentType);
        QCOMPARE(after.Data, before.Data);
    }
    QCOMPARE(second.Body, first.Body);
}

QTEST_GUILESS_MAIN(TestMessageParser)
#include "tst_qmpars.moc"

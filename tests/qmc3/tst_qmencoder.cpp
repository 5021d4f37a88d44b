#include "MessageSummary.h"
#include "TestData.h"

#include "qmconst.h"
#include "qmexcept.h"
#include "qmpars.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTest>

#include <functional>

namespace {

using MessageBuilder = std::function<void(TqmMessage&)>;

QByteArray Bytes(int count, int seed)
{
    QByteArray data(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        data[i] = char((i * 31 + seed) ^ (i >> 3));
    return data;
}

void AddAttachment(TqmMessage& message, const QByteArray& name, const QByteArray& type, TEncoding encoding,
                   const QByteArray& data)
{
    TqmAttItem item;
    item.SetFileName(name);
    item.ContentType = type;
    item.Encoding = encoding;
    item.Data = data;
    message.Attachments.Add(std::move(item));
}

void Addressed(TqmMessage& message)
{
    message.Sender.Name = "J. R. Sender";
    message.Sender.Address = "sender@example.com";
    message.Recipients.AddAddress("one@example.com", "Doe, Jane");
    message.Recipients.AddAddress("two@example.com", "");
    message.Recipients.AddAddress("three@example.com", "Three");
    message.CC.AddAddress("cc@example.com", "Copy");
    message.Subject = "Round trip";
    message.Headers = TqmHeaders{"Date: Mon, 7 Dec 2026 09:05:00 +0100", "Message-ID: <1@example.com>"};
}

QByteArray Save(const TqmMessage& message)
{
    return EncodeMessage(message);
}

void Load(const QByteArray& text, TqmMessage& message)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    message.Clear();
    message.LoadFromStream(buffer);
}

// Boundaries are random: two saves are compared with them replaced.
QByteArray WithoutBoundaries(QByteArray text)
{
    const QRegularExpression digits(QStringLiteral("\\b[0-8]{8}\\b"));
    return QString::fromLatin1(text).replace(digits, QStringLiteral("BOUNDARY")).toLatin1();
}

QByteArrayList Lines(const QByteArray& text)
{
    QByteArrayList lines = text.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

QByteArrayList HeaderLines(const QByteArray& text)
{
    return Lines(text.left(text.indexOf("\r\n\r\n")));
}

// A device whose writes fail, as on a full disk.
class FullDevice : public QIODevice {
public:
    FullDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override
    {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
};

} // namespace

Q_DECLARE_METATYPE(MessageBuilder)

class TestMessageEncoder : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ForceBCC = false; }
    void plainMessageText();
    void addressLayout();
    void ownHeadersAreRewrittenOnce();
    void bccOnlyWhenForced();
    void bodyLinesAreWrittenAsTheyAre();
    void transferEncodingOfText_data();
    void transferEncodingOfText();
    void quotedPrintableNeverStartsWithFrom();
    void nonAsciiHeaderTexts();
    void mixedLayout();
    void bodyOfOtherTypeIsATextPart();
    void htmlBodyFormIsTheMessageText();
    void writeFailureReachesTheCaller();
    void roundTrip_data();
    void roundTrip();
    void corpusRoundTrip_data();
    void corpusRoundTrip();
    void keptParametersAndContentId();
    void partsThatCannotTravelAsTheyAre_data();
    void partsThatCannotTravelAsTheyAre();
};

void TestMessageEncoder::plainMessageText()
{
    TqmMessage message;
    message.Sender.Name = "Ann";
    message.Sender.Address = "ann@example.com";
    message.Recipients.AddAddress("ben@example.com", "Ben");
    message.Subject = "Hello";
    message.Body = {"Line one", "", "Line three"};
    QCOMPARE(Save(message),
             QByteArray("From:     Ann <ann@example.com>\r\n"
                        "To:       Ben <ben@example.com>\r\n"
                        "Subject: Hello\r\n"
                        "Mime-Version: 1.0\r\n"
                        "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                        "Content-Transfer-Encoding: 7bit\r\n"
                        "\r\n"
                        "Line one\r\n"
                        "\r\n"
                        "Line three\r\n"));
}

void TestMessageEncoder::addressLayout()
{
    TqmMessage message;
    Addressed(message);
    message.ReturnReceipt = true;
    message.Priority = ptHigh;
    message.Body = {"x"};
    const QByteArrayList header = HeaderLines(Save(message));
    QCOMPARE(header.mid(0, 7), (QByteArrayList{
        "From:     \"J. R. Sender\" <sender@example.com>",
        "To:       \"Doe, Jane\" <one@example.com>,",
        "           <two@example.com>,",
        "          Three <three@example.com>",
        "CC:       Copy <cc@example.com>",
        "Return-Receipt-To: <sender@example.com>",
        "X-Priority: 1"}));
    message.Priority = ptLow;
    QVERIFY(HeaderLines(Save(message)).contains("X-Priority: 5"));
    message.Priority = ptNormal;
    message.ReturnReceipt = false;
    const QByteArray normal = Save(message);
    QVERIFY(!normal.contains("X-Priority"));
    QVERIFY(!normal.contains("Return-Receipt-To"));
}

void TestMessageEncoder::ownHeadersAreRewrittenOnce()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Subject = "New subject";
    message.Body = {"x"};
    message.Headers = TqmHeaders{"Received: from somewhere", "Subject: Old subject", "Content-Type: text/html;",
                                 " charset=\"iso-8859-1\"", "Date: Mon, 7 Dec 2026 09:05:00 +0100",
                                 "Content-Type: text/plain", "", "X-Mailer: Lumaro Mail", "MIME-Version: 1.0"};
    const QByteArray text = Save(message);
    QCOMPARE(HeaderLines(text), (QByteArrayList{
        "From:      <a@example.com>", "Received: from somewhere", "Date: Mon, 7 Dec 2026 09:05:00 +0100",
        "X-Mailer: Lumaro Mail", "Subject: New subject", "Mime-Version: 1.0",
        "Content-Type: text/plain; charset=\"us-ascii\"", "Content-Transfer-Encoding: 7bit"}));
    QCOMPARE(message.Headers.size(), 9);
    QCOMPARE(Save(message), text);
}

void TestMessageEncoder::bccOnlyWhenForced()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.BCC.AddAddress("hidden@example.com", "Hidden");
    message.Body = {"x"};
    QVERIFY(!Save(message).contains("hidden@example.com"));
    ForceBCC = true;
    QVERIFY(HeaderLines(Save(message)).contains("BCC:      Hidden <hidden@example.com>"));
}

void TestMessageEncoder::bodyLinesAreWrittenAsTheyAre()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Body = {".", ".hidden", "..", "end"};
    const QByteArray text = Save(message);
    QVERIFY(text.endsWith("\r\n\r\n.\r\n.hidden\r\n..\r\nend\r\n"));
    QCOMPARE(message.Body, (QByteArrayList{".", ".hidden", "..", "end"}));
}

void TestMessageEncoder::transferEncodingOfText_data()
{
    QTest::addColumn<int>("charset");
    QTest::addColumn<QByteArrayList>("body");
    QTest::addColumn<QByteArray>("fields");
    const QByteArray qp = "Content-Transfer-Encoding: quoted-printable";
    QTest::newRow("ascii") << int(csUSASCII) << QByteArrayList{"plain"}
                           << QByteArray("Content-Type: text/plain; charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit");
    QTest::newRow("line of 255") << int(csUSASCII) << QByteArrayList{QByteArray(255, 'a')}
                                 << QByteArray("Content-Type: text/plain; charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit");
    QTest::newRow("line of 300") << int(csUSASCII) << QByteArrayList{QByteArray(300, 'a')}
                                 << "Content-Type: text/plain; charset=\"us-ascii\"\r\n" + qp;
    QTest::newRow("latin-1") << int(csISO8859) << QByteArrayList{"Gr\xFC\xDF"}
                             << "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n" + qp;
    QTest::newRow("utf-8") << int(csUTF8) << QByteArrayList{"Gr\xC3\xBC\xC3\x9F"}
                           << "Content-Type: text/plain; charset=\"utf-8\"\r\n" + qp;
    QTest::newRow("8-bit text marked us-ascii") << int(csUSASCII) << QByteArrayList{"Gr\xC3\xBC\xC3\x9F"}
                                                << "Content-Type: text/plain; charset=\"utf-8\"\r\n" + qp;
    QTest::newRow("nul byte") << int(csUSASCII) << QByteArrayList{QByteArray("a\0b", 3)}
                              << "Content-Type: text/plain; charset=\"us-ascii\"\r\n" + qp;
    QTest::newRow("japanese") << int(csISO2022jp) << QByteArrayList{"\x1B$B$3$s\x1B(B"}
                              << QByteArray("Content-Type: text/plain; charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: 7bit");
}

void TestMessageEncoder::transferEncodingOfText()
{
    QFETCH(int, charset);
    QFETCH(QByteArrayList, body);
    QFETCH(QByteArray, fields);
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.CharSet = TCharSet(charset);
    message.Body = body;
    const QByteArray text = Save(message);
    QVERIFY2(text.contains("\r\n" + fields + "\r\n\r\n"), text.constData());
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Body, body);
}

void TestMessageEncoder::quotedPrintableNeverStartsWithFrom()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.CharSet = csISO8859;
    message.Body = {"From here on", QByteArray(70, 'w') + " From the middle"};
    const QByteArray text = Save(message);
    QVERIFY(!text.contains("\r\nFrom "));
    QVERIFY(text.contains("\r\n=46rom here on\r\n"));
}

void TestMessageEncoder::nonAsciiHeaderTexts()
{
    TqmMessage message;
    message.CharSet = csUTF8;
    message.Sender.Name = "J\xC3\xBCrgen M\xC3\xBCller";
    message.Sender.Address = "j@example.de";
    message.Recipients.AddAddress("r@example.fr", "Ren\xC3\xA9" "e, Dr.");
    message.Subject = "Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen";
    message.Body = {"Gr\xC3\xBC\xC3\x9F" "e"};
    const QByteArray text = Save(message);
    for (const QByteArray& line : HeaderLines(text)) {
        for (const char c : line)
            QVERIFY2(static_cast<unsigned char>(c) < 0x80, line.constData());
    }
    QVERIFY(text.contains("=?utf-8?"));
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Sender.Name, message.Sender.Name);
    QCOMPARE(loaded.Recipients.Count(), 1);
    QCOMPARE(loaded.Recipients.Items(0).Name, message.Recipients.Items(0).Name);
    QCOMPARE(loaded.Subject, message.Subject);
    QCOMPARE(loaded.BodyCharset, QByteArray("utf-8"));
}

void TestMessageEncoder::mixedLayout()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.CharSet = csISO8859;
    message.Body = {"Body"};
    AddAttachment(message, "pic.png", "image/png", etBase64, Bytes(100, 1));
    AddAttachment(message, "notes.txt", "text/plain", etQP, "notes\r\n");
    AddAttachment(message, "mail.eml", "message/rfc822", etNone, "Subject: x\r\n\r\ny\r\n");
    const QByteArray text = Save(message);
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(
        "Content-Type: multipart/mixed; boundary=\"([0-8]{8})\"\r\n\r\n"
        "This is a multipart message in MIME format\r\n\r\n--\\1\r\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "Body\r\n\r\n--\\1\r\n"
        "Content-Type: image/png; name=\"pic.png\"\r\nContent-Transfer-Encoding: Base64\r\n"
        "Content-Disposition: attachment; filename=\"pic.png\"\r\n\r\n[A-Za-z0-9+/]{76}\r\n[A-Za-z0-9+/=]{60}\r\n\r\n--\\1\r\n"
        "Content-Type: text/plain; name=\"notes.txt\"\r\nContent-Transfer-Encoding: Quoted-Printable\r\n"
        "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\nnotes\r\n\r\n--\\1\r\n"
        "Content-Type: message/rfc822; name=\"mail.eml\"\r\nContent-Transfer-Encoding: 7bit\r\n"
        "Content-Disposition: attachment; filename=\"mail.eml\"\r\n\r\nSubject: x\r\n\r\ny\r\n\r\n--\\1--\r\n$"))
        .match(QString::fromLatin1(text));
    QVERIFY2(match.hasMatch(), text.constData());
}

void TestMessageEncoder::bodyOfOtherTypeIsATextPart()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Body = {"BEGIN:VCALENDAR", "END:VCALENDAR"};
    message.SetContentType("text/calendar");
    QVERIFY(Save(message).contains("Content-Type: text/calendar; charset=\"us-ascii\"\r\n"
                                   "Content-Transfer-Encoding: 7bit\r\n\r\nBEGIN:VCALENDAR\r\n"));
    message.SetContentType("application/x-unknown");
    const QByteArray text = Save(message);
    QVERIFY(text.contains("Content-Type: application/x-unknown; charset=\"us-ascii\"\r\n"));
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Attachments.Count(), 1);
    QCOMPARE(loaded.Attachments.Items(0).Data, QByteArray("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"));
}

void TestMessageEncoder::htmlBodyFormIsTheMessageText()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    AddAttachment(message, "_htmbody.htm", "text/html", etQP, "<p>Gr=FC=DFe</p>\r\n");
    const QByteArray text = Save(message);
    QVERIFY(text.contains("\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: Quoted-Printable\r\n\r\n"));
    QVERIFY(!text.contains("Content-Disposition"));
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.GetContentType(), QByteArray("text/html"));
    QCOMPARE(loaded.Body, QByteArrayList{"<p>Gr=FC=DFe</p>"});
    QCOMPARE(loaded.Attachments.Count(), 0);
}

void TestMessageEncoder::writeFailureReachesTheCaller()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Body = {"x"};
    FullDevice device;
    QVERIFY_THROWS_EXCEPTION(EMessageError, message.SaveToStream(device));
}

void TestMessageEncoder::roundTrip_data()
{
    QTest::addColumn<MessageBuilder>("build");
    QTest::newRow("plain") << MessageBuilder([](TqmMessage& m) { m.Body = {"a", "", "  indented", "."  "x", ""}; });
    QTest::newRow("latin-1") << MessageBuilder([](TqmMessage& m) {
        m.CharSet = csISO8859;
        m.Body = {"Gr\xFC\xDF" "e", "From me", QByteArray(200, 'x') + " = " + QByteArray(100, '\xE4'), "trailing  "};
    });
    QTest::newRow("long lines") << MessageBuilder([](TqmMessage& m) { m.Body = {QByteArray(5000, 'L'), "short"}; });
    QTest::newRow("html") << MessageBuilder([](TqmMessage& m) {
        m.SetContentType("text/html");
        m.CharSet = csUTF8;
        m.Body = {"<html>", "<p>Caf\xC3\xA9</p>", "</html>"};
    });
    QTest::newRow("rtf") << MessageBuilder([](TqmMessage& m) {
        m.SetContentType("text/rtf");
        m.Body = {"{\\rtf1 hello}"};
    });
    QTest::newRow("file") << MessageBuilder([](TqmMessage& m) {
        AddAttachment(m, "data.bin", "application/octet-stream", etBase64, Bytes(1000, 2));
    });
    QTest::newRow("lone text attachment") << MessageBuilder([](TqmMessage& m) {
        AddAttachment(m, "readme.txt", "text/plain", etQP, "no line end at the end");
    });
    QTest::newRow("mixed") << MessageBuilder([](TqmMessage& m) {
        m.CharSet = csISO8859;
        m.Body = {"Body with \xFC", ""};
        AddAttachment(m, "a.bin", "application/octet-stream", etBase64, Bytes(57 * 3, 3));
        AddAttachment(m, "empty.bin", "application/octet-stream", etBase64, QByteArray());
        AddAttachment(m, "b.txt", "text/plain", etQP, "one\r\ntwo=three\r\n\r\n");
        AddAttachment(m, "c.txt", "text/plain", etQP, "no final line end");
        AddAttachment(m, "d.eml", "message/rfc822", etNone, "Subject: inner\r\n\r\n" + QByteArray(400, 'n') + "\r\n");
        AddAttachment(m, "e.txt", "text/plain", etNone, "unterminated");
        AddAttachment(m, "sp\xC3\xA4ter.pdf", "application/pdf", etBase64, Bytes(10, 4));
    });
    QTest::newRow("attachments without body") << MessageBuilder([](TqmMessage& m) {
        AddAttachment(m, "first.txt", "text/plain", etQP, "text first\r\n");
        AddAttachment(m, "second.bin", "application/octet-stream", etBase64, Bytes(70, 8));
    });
    QTest::newRow("alternative") << MessageBuilder([](TqmMessage& m) {
        m.Body = {"plain"};
        AddAttachment(m, "_alt.0", "text/html", etQP, "<p>plain</p>\r\n");
        AddAttachment(m, "_alt.1", "text/enriched", etNone, "<b>plain</b>\r\n");
    });
    QTest::newRow("nested alternative") << MessageBuilder([](TqmMessage& m) {
        m.Body = {"plain"};
        AddAttachment(m, "_alt.0", "text/html", etQP, "<p>plain</p>\r\n");
        AddAttachment(m, "report.pdf", "application/pdf", etBase64, Bytes(3000, 5));
        AddAttachment(m, "notes.txt", "text/plain", etQP, "notes\r\n");
    });
    QTest::newRow("uuencoded") << MessageBuilder([](TqmMessage& m) {
        m.Encoding = meUU;
        m.Body = {"See the files.", ""};
        AddAttachment(m, "one.bin", "application/octet-stream", etBase64, Bytes(90, 6));
        AddAttachment(m, "two words.bin", "application/octet-stream", etBase64, Bytes(100, 7));
        AddAttachment(m, "empty.bin", "application/octet-stream", etBase64, QByteArray());
    });
}

void TestMessageEncoder::roundTrip()
{
    QFETCH(MessageBuilder, build);
    TqmMessage message;
    Addressed(message);
    build(message);
    const QByteArray text = Save(message);
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Body, message.Body);
    QCOMPARE(loaded.Subject, message.Subject);
    QCOMPARE(loaded.Sender.Name, message.Sender.Name);
    QCOMPARE(loaded.Sender.Address, message.Sender.Address);
    QCOMPARE(loaded.Recipients.Count(), message.Recipients.Count());
    for (qsizetype i = 0; i < message.Recipients.Count(); ++i) {
        QCOMPARE(loaded.Recipients.Items(i).Name, message.Recipients.Items(i).Name);
        QCOMPARE(loaded.Recipients.Items(i).Address, message.Recipients.Items(i).Address);
    }
    QCOMPARE(loaded.CC.Count(), 1);
    QCOMPARE(loaded.GetContentType(), message.GetContentType());
    QCOMPARE(loaded.Encoding, message.Encoding);
    QCOMPARE(loaded.Attachments.Count(), message.Attachments.Count());
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i) {
        const TqmAttItem& expected = message.Attachments.Items(i);
        const TqmAttItem& actual = loaded.Attachments.Items(i);
        QCOMPARE(actual.GetFileName(), expected.GetFileName());
        if (message.Encoding == meMIME)
            QCOMPARE(actual.ContentType, expected.ContentType);
        QCOMPARE(actual.Data, expected.Data);
    }
    QCOMPARE(WithoutBoundaries(Save(loaded)), WithoutBoundaries(text));
    QCOMPARE(WithoutBoundaries(Save(message)), WithoutBoundaries(text));
}

void TestMessageEncoder::corpusRoundTrip_data()
{
    QTest::addColumn<QString>("path");
    for (const QString& folder : {QStringLiteral("messages"), QStringLiteral("mime")}) {
        for (const QString& file : TestDataCases(folder, QStringLiteral(".summary")))
            QTest::addRow("%s/%s", qPrintable(folder), qPrintable(file)) << QStringLiteral("%1/%2").arg(folder, file);
    }
}

// Parse, save, parse again: the same body, attachments and addresses, and a text every server takes.
void TestMessageEncoder::corpusRoundTrip()
{
    QFETCH(QString, path);
    TqmMessage message;
    Load(ReadTestData(path), message);
    const QByteArray text = Save(message);
    for (const QByteArray& line : Lines(text))
        QVERIFY2(line.size() <= 998, line.left(80).constData());
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Body, message.Body);
    QCOMPARE(loaded.Subject, message.Subject);
    QCOMPARE(loaded.Sender.Address, message.Sender.Address);
    QCOMPARE(loaded.Sender.Name, message.Sender.Name);
    QCOMPARE(loaded.Recipients.Count(), message.Recipients.Count());
    for (qsizetype i = 0; i < message.Recipients.Count(); ++i)
        QCOMPARE(loaded.Recipients.Items(i).Address, message.Recipients.Items(i).Address);
    QCOMPARE(loaded.Attachments.Count(), message.Attachments.Count());
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i) {
        const TqmAttItem& expected = message.Attachments.Items(i);
        const TqmAttItem& actual = loaded.Attachments.Items(i);
        QCOMPARE(actual.GetFileName(), expected.GetFileName());
        if (message.Encoding == meMIME) {
            QCOMPARE(actual.ContentType, expected.ContentType);
            QCOMPARE(actual.ContentID, expected.ContentID);
        }
        QCOMPARE(actual.Data, expected.Data);
    }
    QCOMPARE(WithoutBoundaries(Save(loaded)), WithoutBoundaries(text));
}

void TestMessageEncoder::keptParametersAndContentId()
{
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Body = {"Body"};
    TqmAttItem item;
    item.SetFileName("rel.dat");
    item.ContentType = "multipart/related";
    item.Encoding = etNone;
    item.Parameters = {{"boundary", "inner=_1"}, {"type", "text/html"}};
    item.ContentID = "part1@example.com";
    item.Data = "--inner=_1\r\n\r\nx\r\n--inner=_1--\r\n";
    message.Attachments.Add(item);
    const QByteArray text = Save(message);
    // Folded at 78 characters before the name.
    QVERIFY2(text.contains("\r\nContent-Type: multipart/related; boundary=\"inner=_1\"; type=\"text/html\";\r\n name=\"rel.dat\"\r\n"
                           "Content-Transfer-Encoding: 7bit\r\nContent-ID: <part1@example.com>\r\n"
                           "Content-Disposition: inline; filename=\"rel.dat\"\r\n"),
             text.constData());
}

void TestMessageEncoder::partsThatCannotTravelAsTheyAre_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("7-bit text") << QByteArray("text/plain") << int(etNone) << QByteArray("ab\r\n") << QByteArray("7bit");
    QTest::newRow("8-bit text") << QByteArray("text/plain") << int(etNone) << QByteArray("\xE4\r\n") << QByteArray("Quoted-Printable");
    QTest::newRow("NUL in text") << QByteArray("text/plain") << int(etNone) << QByteArray("a\0b", 3) << QByteArray("Quoted-Printable");
    QTest::newRow("long text line") << QByteArray("text/plain") << int(etNone) << QByteArray(999, 'x') << QByteArray("Quoted-Printable");
    QTest::newRow("line of 998") << QByteArray("text/plain") << int(etNone) << QByteArray(998, 'x') + "\r\n" << QByteArray("7bit");
    QTest::newRow("lone CR in text") << QByteArray("text/plain") << int(etNone) << QByteArray("a\rb\xE4") << QByteArray("Base64");
    QTest::newRow("lone CR asked for QP") << QByteArray("text/plain") << int(etQP) << QByteArray("a\rb") << QByteArray("Base64");
    QTest::newRow("ctrl-z before line end") << QByteArray("text/plain") << int(etQP) << QByteArray("a\x1A\r\nb") << QByteArray("Base64");
    QTest::newRow("8-bit binary") << QByteArray("application/x-y") << int(etNone) << QByteArray("\xFF") << QByteArray("Base64");
    QTest::newRow("8-bit message") << QByteArray("message/rfc822") << int(etNone) << QByteArray("S: \xE4\r\n\r\nb\r\n") << QByteArray("8bit");
    QTest::newRow("NUL in message") << QByteArray("message/rfc822") << int(etNone) << QByteArray("S\0\r\n", 4) << QByteArray("Base64");
}

// An unencoded part that holds 8-bit bytes, NUL or an overlong line is written so that no server
// refuses it and it reads back byte for byte.
void TestMessageEncoder::partsThatCannotTravelAsTheyAre()
{
    QFETCH(QByteArray, type);
    QFETCH(int, encoding);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, written);
    TqmMessage message;
    message.Sender.Address = "a@example.com";
    message.Body = {"Body"};
    AddAttachment(message, "part", type, TEncoding(encoding), data);
    const QByteArray text = Save(message);
    QVERIFY2(text.contains("\r\nContent-Transfer-Encoding: " + written + "\r\n"), text.constData());
    TqmMessage loaded;
    Load(text, loaded);
    QCOMPARE(loaded.Attachments.Count(), 1);
    QCOMPARE(loaded.Attachments.Items(0).Data, data);
}

QTEST_GUILESS_MAIN(TestMessageEncoder)
#include "tst_qmencoder.moc"

// Hostile and broken input: every message must load without an exception, a hang or runaway memory,
// and malformed MIME must end in the fallback rather than in lost text.

#include "MessageSummary.h"
#include "TestData.h"

#include "qmpars.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <sys/resource.h>

namespace {

constexpr qint64 LargeSize = 50 * 1024 * 1024;

QByteArray Crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QByteArray MimeHeaders(const QByteArray& contentType)
{
    return Crlf("From: a@example.com\nMIME-Version: 1.0\nContent-Type: " + contentType + "\n\n");
}

QByteArray NestedMultiparts(int depth, const QByteArray& type)
{
    QByteArray text = MimeHeaders(type + "; boundary=\"b0\"");
    for (int level = 1; level <= depth; ++level)
        text += "--b" + QByteArray::number(level - 1) + "\r\nContent-Type: " + type + "; boundary=\"b"
            + QByteArray::number(level) + "\"\r\n\r\n";
    text += "--b" + QByteArray::number(depth) + "\r\nContent-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int level = depth; level >= 0; --level)
        text += "--b" + QByteArray::number(level) + "--\r\n";
    return text;
}

QByteArray ManyParts(int count)
{
    QByteArray text = MimeHeaders("multipart/mixed; boundary=\"B\"") + "--B\r\n\r\nbody\r\n";
    for (int i = 0; i < count; ++i)
        text += "--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nAAEC\r\n";
    return text + "--B--\r\n";
}

qint64 PeakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

void LoadText(QByteArray text, TqmMessage& message)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    message.LoadFromStream(buffer);
}

// Bit flips, cut ends and repeated or swapped lines, from a fixed seed.
QByteArray Mutated(const QByteArray& text, QRandomGenerator& random)
{
    QByteArray out = text;
    const int kind = random.bounded(4);
    if (out.isEmpty())
        return out;
    if (kind == 0) {
        for (int i = 0; i < 8; ++i)
            out[random.bounded(int(out.size()))] ^= char(1 << random.bounded(8));
    } else if (kind == 1) {
        out.truncate(random.bounded(int(out.size())));
    } else {
        QByteArrayList lines = out.split('\n');
        const int at = random.bounded(int(lines.size()));
        if (kind == 2)
            lines.insert(at, lines.at(random.bounded(int(lines.size()))));
        else
            lines.swapItemsAt(at, random.bounded(int(lines.size())));
        out = lines.join('\n');
    }
    return out;
}

} // namespace

class TestParseGarbage : public QObject {
    Q_OBJECT

private slots:
    void loadsWithoutFailure_data();
    void loadsWithoutFailure();
    void mutatedSamples_data();
    void mutatedSamples();
    void fiftyMegabyteLine_data();
    void fiftyMegabyteLine();
    void fuzzReproducers_data();
    void fuzzReproducers();
    void manyHeaderFieldsSaveInLinearTime();
};

void TestParseGarbage::loadsWithoutFailure_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("fallback");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("only a line end") << QByteArray("\r\n") << false;
    QTest::newRow("headers without blank line") << QByteArray("From: a@example.com\r\nSubject: x") << false;
    QTest::newRow("lone crs") << QByteArray("From: a@example.com\rMIME-Version: 1.0\r\rbody\r") << false;
    QTest::newRow("nul bytes") << QByteArray("From: a\0@example.com\r\nSubject: \0\r\n\r\n\0\0\r\n", 39) << false;
    QTest::newRow("mime without content type") << MimeHeaders("") + "text\r\n" << false;
    QTest::newRow("multipart without boundary") << MimeHeaders("multipart/mixed") + "--\r\n\r\ntext\r\n" << true;
    QTest::newRow("multipart with empty boundary") << MimeHeaders("multipart/mixed; boundary=\"\"") + "--\r\n" << true;
    QTest::newRow("only the closing boundary") << MimeHeaders("multipart/mixed; boundary=B") + "--B--\r\n" << true;
    QTest::newRow("unclosed after body") << MimeHeaders("multipart/mixed; boundary=B") + "--B\r\n\r\nbody" << true;
    QTest::newRow("unclosed part headers") << MimeHeaders("multipart/mixed; boundary=B") + "--B\r\n\r\nb\r\n--B\r\nContent-Type: x/y" << false;
    QTest::newRow("unclosed inner alternative") << MimeHeaders("multipart/mixed; boundary=B")
        + "--B\r\nContent-Type: multipart/alternative; boundary=C\r\n\r\n--C\r\n\r\nplain\r\n--C\r\n\r\nrich" << false;
    QTest::newRow("inner alternative never starts") << MimeHeaders("multipart/mixed; boundary=B")
        + "--B\r\nContent-Type: multipart/alternative; boundary=C\r\n\r\n--B--\r\n" << true;
    // Beyond 100 levels the parts are not walked: the whole message is kept in the fallback.
    QTest::newRow("mixed nested 500 deep") << NestedMultiparts(500, "multipart/mixed") << true;
    QTest::newRow("alternative nested 500 deep") << NestedMultiparts(500, "multipart/alternative") << true;
    QTest::newRow("mixed nested 99 deep") << NestedMultiparts(99, "multipart/mixed") << false;
    const QByteArray longBoundary(1000, 'b');
    QTest::newRow("boundary of 1000 characters") << MimeHeaders("multipart/mixed; boundary=\"" + longBoundary + '"')
        + "--" + longBoundary + "\r\n\r\nbody\r\n--" + longBoundary + "\r\n\r\npart\r\n--" + longBoundary + "--\r\n" << false;
    QTest::newRow("boundary of 100000 characters") << MimeHeaders("multipart/mixed; boundary=" + QByteArray(100000, 'c'))
        + "--c\r\n" << true;
    // More parts than the parser walks: the structure is cut and the whole text kept.
    QTest::newRow("20000 parts") << ManyParts(20000) << true;
    QTest::newRow("base64 with invalid characters") << MimeHeaders("application/pdf; name=a.pdf")
        .replace("\r\n\r\n", "\r\nContent-Transfer-Encoding: base64\r\n\r\n") + "JVBE\x01Ri0x\r\n" << true;
    QTest::newRow("uuencode without end") << QByteArray("From: a@example.com\r\n\r\nbegin 644 x\r\nM86)C\r\n") << false;
    QTest::newRow("uuencode with bad line") << QByteArray("From: a@example.com\r\n\r\nbegin 644 x\r\n\x7F\x7F\r\n") << true;
    QTest::newRow("begin line alone") << QByteArray("From: a@example.com\r\n\r\nbegin 644") << false;
    QTest::newRow("quoted-printable broken escapes") << MimeHeaders("text/plain")
        .replace("\r\n\r\n", "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n") + "=\r\n=Z\r\n=4\r\n=" << false;
}

void TestParseGarbage::loadsWithoutFailure()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, fallback);
    QElapsedTimer timer;
    timer.start();
    TqmMessage message;
    LoadText(text, message);
    QVERIFY2(timer.elapsed() < 10000, "took longer than 10 s");
    const qsizetype count = message.Attachments.Count();
    const bool hasOriginal = count > 0 && message.Attachments.Items(count - 1).GetFileName() == "original.eml";
    QCOMPARE(hasOriginal, fallback);
    if (fallback)
        QCOMPARE(message.Attachments.Items(count - 1).Data, text);
}

void TestParseGarbage::mutatedSamples_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : TestDataCases(QStringLiteral("messages"), QStringLiteral(".summary")))
        QTest::newRow(qPrintable(name)) << name;
}

void TestParseGarbage::mutatedSamples()
{
    QFETCH(QString, name);
    const QByteArray text = ReadTestData(QStringLiteral("messages/") + name);
    QRandomGenerator random(qHash(name));
    for (int i = 0; i < 200; ++i) {
        TqmMessage message;
        LoadText(Mutated(text, random), message);
        TqmMessage reloaded;
        LoadText(EncodeMessage(message), reloaded);
    }
}

void TestParseGarbage::fiftyMegabyteLine_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<char>("filler");
    QTest::addColumn<qsizetype>("bodyLines");
    QTest::newRow("in the body") << QByteArray("From: a@example.com\r\n\r\n") << 'x' << qsizetype(1);
    QTest::newRow("in a header") << QByteArray("From: a@example.com\r\nX-Long: ") << 'x' << qsizetype(0);
    QTest::newRow("base64 attachment") << MimeHeaders("application/octet-stream")
        .replace("\r\n\r\n", "\r\nContent-Transfer-Encoding: base64\r\n\r\n") << 'A' << qsizetype(0);
}

void TestParseGarbage::fiftyMegabyteLine()
{
    QFETCH(QByteArray, head);
    QFETCH(char, filler);
    QFETCH(qsizetype, bodyLines);
    QByteArray text = head + QByteArray(LargeSize, filler) + "\r\n";
    const qint64 before = PeakResidentBytes();
    QElapsedTimer timer;
    timer.start();
    TqmMessage message;
    LoadText(std::move(text), message);
    QVERIFY2(timer.elapsed() < 20000, "took longer than 20 s");
    QCOMPARE(message.Body.size(), bodyLines);
    const qint64 grown = PeakResidentBytes() - before;
    QVERIFY2(grown < 6 * LargeSize, qPrintable(QStringLiteral("peak grew by %1 MB").arg(grown >> 20)));
}

void TestParseGarbage::fuzzReproducers_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : TestDataCases(QStringLiteral("fuzz")))
        QTest::newRow(qPrintable(name)) << name;
}

void TestParseGarbage::fuzzReproducers()
{
    QFETCH(QString, name);
    QElapsedTimer timer;
    timer.start();
    TqmMessage message;
    LoadText(ReadTestData(QStringLiteral("fuzz/") + name), message);
    const QByteArray saved = EncodeMessage(message);
    TqmMessage reloaded;
    LoadText(saved, reloaded);
    QCOMPARE(EncodeMessage(message).size(), saved.size());
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
}

void TestParseGarbage::manyHeaderFieldsSaveInLinearTime()
{
    QByteArray text = "From: a@example.com\r\n";
    for (int i = 0; i < 20000; ++i)
        text += "To: r" + QByteArray::number(i) + "@example.com\r\nX-Note: " + QByteArray::number(i) + "\r\n";
    TqmMessage message;
    LoadText(text + "\r\nbody\r\n", message);
    QCOMPARE(message.Recipients.Count(), 20000);
    QElapsedTimer timer;
    timer.start();
    const QByteArray saved = EncodeMessage(message);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
    QCOMPARE(saved.count("\r\nTo:"), 1);
    QCOMPARE(saved.count("X-Note: "), 20000);
}

QTEST_GUILESS_MAIN(TestParseGarbage)
#include "tst_parsegarbage.moc"

// Base64 lines: MakeBinData and MakeTextData, table cases, golden files, round trips and garbage.
#include "TestData.h"
#include "qmexcept.h"
#include "qmmime.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray Decode(const QByteArray& line)
{
    QByteArray bytes;
    MakeBinData(line, bytes);
    return bytes;
}

QByteArray Encode(const QByteArray& bytes)
{
    QByteArray line;
    MakeTextData(bytes, line);
    return line;
}

// Whole lines of a golden input file, without their line ends.
QByteArrayList Lines(const QByteArray& file)
{
    QByteArrayList lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestBase64 : public QObject {
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("three bytes") << QByteArray("QUJD") << QByteArray("ABC");
        QTest::newRow("two padding characters") << QByteArray("QQ==") << QByteArray("A");
        QTest::newRow("one padding character") << QByteArray("QUI=") << QByteArray("AB");
        QTest::newRow("all ones") << QByteArray("////") << QByteArray("\xFF\xFF\xFF");
        QTest::newRow("all zeros") << QByteArray("AAAA") << QByteArray(3, '\0');
        QTest::newRow("plus and slash") << QByteArray("+/+/") << QByteArray("\xFB\xFF\xBF");
        // Not a multiple of four: the padding was left off; the last two or three characters still
        // carry one or two bytes, as lenient decoders read them. One character alone carries none.
        QTest::newRow("two characters left") << QByteArray("QUJDRA") << QByteArray("ABCD");
        QTest::newRow("three characters left") << QByteArray("QUJDREU") << QByteArray("ABCDE");
        QTest::newRow("only an incomplete group") << QByteArray("QUJ") << QByteArray("AB");
        QTest::newRow("one character left") << QByteArray("QUJDR") << QByteArray("ABC");
        QTest::newRow("short padding") << QByteArray("QUJDQQ=") << QByteArray("ABCA");
        QTest::newRow("Hello without padding") << QByteArray("SGVsbG8") << QByteArray("Hello");
        QTest::newRow("padding in the ignored rest") << QByteArray("QUJD=") << QByteArray("ABC");
        QTest::newRow("more padding than bytes") << QByteArray("A===") << QByteArray();
        QTest::newRow("four padding characters") << QByteArray("QUJD====") << QByteArray("AB");
    }
    void decode()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Decode(line), bytes);
    }

    void decodeInvalid_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("trailing blank") << QByteArray("QUJD ");
        QTest::newRow("trailing CR") << QByteArray("QUJD\r");
        QTest::newRow("trailing CR LF") << QByteArray("QUJD\r\n");
        QTest::newRow("blank inside") << QByteArray("QU JD");
        QTest::newRow("NUL") << QByteArray("QUJ\0", 4);
        QTest::newRow("8-bit byte") << QByteArray("QUJ\xC4");
        QTest::newRow("minus (base64url)") << QByteArray("QU-D");
        QTest::newRow("blank in the ignored rest") << QByteArray("QUJDQ ");
        QTest::newRow("only a blank") << QByteArray(" ");
    }
    void decodeInvalid()
    {
        QFETCH(QByteArray, line);
        try {
            Decode(line);
            QFAIL("no exception");
        } catch (const EMessageParserError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Invalid Character"));
        }
    }

    void encode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("one byte") << QByteArray("A") << QByteArray("QQ==");
        QTest::newRow("two bytes") << QByteArray("AB") << QByteArray("QUI=");
        QTest::newRow("three bytes") << QByteArray("ABC") << QByteArray("QUJD");
        QTest::newRow("binary") << QByteArray("\x00\xFF\x10\x80", 4) << QByteArray("AP8QgA==");
        QTest::newRow("57 bytes give 76 characters") << QByteArray(57, 'x') << QByteArray(57, 'x').toBase64();
    }
    void encode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, line);
        QCOMPARE(Encode(bytes), line);
    }

    // Callers reuse one QByteArray for every line: no allocation once it is big enough.
    void reusesTheCallersBuffer()
    {
        QByteArray bytes;
        bytes.reserve(100);
        const char* buffer = bytes.constData();
        MakeBinData("QUJDREVG", bytes);
        QCOMPARE(bytes, QByteArray("ABCDEF"));
        MakeBinData("QQ==", bytes);
        QCOMPARE(bytes, QByteArray("A"));
        QCOMPARE(bytes.constData(), buffer);

        QByteArray line;
        line.reserve(100);
        const char* lineBuffer = line.constData();
        MakeTextData("ABCDEF", line);
        MakeTextData("A", line);
        QCOMPARE(line, QByteArray("QQ=="));
        QCOMPARE(line.constData(), lineBuffer);
    }

    void roundTripAgainstQt()
    {
        QRandomGenerator random(4648);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(random.bounded(0, 300), Qt::Uninitialized);
            for (char& c : bytes)
                c = char(random.bounded(256));
            const QByteArray line = Encode(bytes);
            QCOMPARE(line, bytes.toBase64());
            QCOMPARE(Decode(line), bytes);
        }
    }

    // No length limit: a 10 MB line is decoded whole.
    void longLine()
    {
        QByteArray bytes(10 * 1024 * 1024 + 1, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        QCOMPARE(Decode(bytes.toBase64()), bytes);
    }

    void golden_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : TestDataCases(QStringLiteral("codec_base64")))
            QTest::newRow(qPrintable(name)) << name;
    }
    void golden()
    {
        QFETCH(QString, name);
        const QByteArray input = ReadTestData(QStringLiteral("codec_base64/") + name);
        QByteArray decoded, line;
        for (const QByteArray& text : Lines(input)) {
            MakeBinData(text, line);
            decoded += line;
        }
        QCOMPARE(decoded, ReadTestData(QStringLiteral("codec_base64/") + name + QStringLiteral(".expected")));
    }

    // Whole data as lines of 57 bytes: the lines MakeTextData gives, each with CR LF.
    void linesOfWholeData()
    {
        for (const int size : {0, 1, 2, 3, 56, 57, 58, 114, 1000}) {
            QByteArray data(size, Qt::Uninitialized);
            for (int i = 0; i < size; ++i)
                data[i] = char(i * 37 + 11);
            QByteArray expected, line;
            for (int at = 0; at < size; at += 57) {
                MakeTextData(data.mid(at, 57), line);
                expected += line + "\r\n";
            }
            QByteArray text = "prefix";
            EncodeBase64Lines(data, text);
            QCOMPARE(text, "prefix" + expected);
        }
    }

    // Hostile lines never crash, hang or read outside the line: they decode or raise "Invalid Character".
    // Lines made only of the alphabet decode like Qt's decoder on their complete groups.
    void garbage()
    {
        static const char pool[] = "ABCxyz019+/=== \r\n\t\0\x80\xFF-_.";
        QRandomGenerator random(20470);
        QByteArray bytes;
        for (int round = 0; round < 20000; ++round) {
            QByteArray line(random.bounded(0, 90), Qt::Uninitialized);
            const bool plain = random.bounded(2) == 0;
            for (char& c : line)
                c = plain ? "ABCxyz019+/"[random.bounded(11)] : pool[random.bounded(int(sizeof pool) - 1)];
            // A heap copy of exactly the line's size, so that a read past the end shows under sanitizers.
            const QByteArray exact(line.constData(), line.size());
            try {
                MakeBinData(exact, bytes);
                QVERIFY(bytes.size() <= exact.size() * 3 / 4);
                // Qt's own decoder reads a last group without padding the same way.
                if (plain)
                    QCOMPARE(bytes, QByteArray::fromBase64(exact));
            } catch (const EMessageParserError&) {
                QVERIFY(!plain);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_base64.moc"

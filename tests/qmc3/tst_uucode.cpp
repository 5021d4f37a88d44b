// uuencode: begin lines, file names, the line codec, golden files, round trips and garbage.
#include "TestData.h"
#include "qmexcept.h"
#include "qmuucode.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray Decode(const QByteArray& line)
{
    QByteArray bytes;
    UUMakeBinData(line, bytes);
    return bytes;
}

QByteArray Encode(const QByteArray& bytes)
{
    QByteArray line;
    UUMakeTextData(bytes, line);
    return line;
}

} // namespace

class TestUUCode : public QObject {
    Q_OBJECT

private slots:
    void isUUCodeStart_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("start");
        QTest::newRow("usual") << QByteArray("begin 644 picture.jpg") << true;
        QTest::newRow("upper case") << QByteArray("BEGIN 600 NOTES.TXT") << true;
        QTest::newRow("nine characters") << QByteArray("begin 644") << true;
        QTest::newRow("eight characters") << QByteArray("begin 64") << false;
        QTest::newRow("short mode after blanks") << QByteArray("begin   12") << true;
        QTest::newRow("mode not a number") << QByteArray("begin abc file") << false;
        QTest::newRow("digit and letter") << QByteArray("begin 6x4 file") << false;
        QTest::newRow("base64 variant") << QByteArray("begin-base64 644 file") << false;
        QTest::newRow("prose") << QByteArray("beginning of the text") << false;
        QTest::newRow("indented") << QByteArray("  begin 644 file") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("only blanks after the word") << QByteArray("begin       ") << false;
    }
    void isUUCodeStart()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, start);
        QCOMPARE(IsUUCodeStart(line), start);
    }

    void pickFileName_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("begin 644 file.txt") << QByteArray("file.txt");
        QTest::newRow("quoted with blank") << QByteArray("begin 644 \"my file.txt\" x") << QByteArray("my file.txt");
        QTest::newRow("unterminated quote") << QByteArray("begin 644 \"my file.txt") << QByteArray();
        QTest::newRow("stops at a blank") << QByteArray("begin 644 a b") << QByteArray("a");
        QTest::newRow("no name") << QByteArray("begin 644") << QByteArray();
        QTest::newRow("four-digit mode") << QByteArray("begin 0644 name.bin") << QByteArray("name.bin");
        QTest::newRow("two blanks") << QByteArray("begin 644  name.bin") << QByteArray("name.bin");
        QTest::newRow("8-bit name") << QByteArray("begin 644 b\xC3\xA4r.txt") << QByteArray("b\xC3\xA4r.txt");
    }
    void pickFileName()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, name);
        QCOMPARE(UUPickFileName(line), name);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty line") << QByteArray() << QByteArray();
        QTest::newRow("end of data") << QByteArray("`") << QByteArray();
        QTest::newRow("blank for end of data") << QByteArray(" ") << QByteArray();
        QTest::newRow("Cat") << QByteArray("#0V%T") << QByteArray("Cat");
        QTest::newRow("backquotes for zero") << QByteArray("#````") << QByteArray(3, '\0');
        QTest::newRow("blanks for zero") << QByteArray("#    ") << QByteArray(3, '\0');
        QTest::newRow("cut to the length") << QByteArray("\"0V%T") << QByteArray("Ca");
        QTest::newRow("short last group") << QByteArray("\"0V$") << QByteArray("Ca");
        // Trailing blanks stripped by a transport: missing characters count as zero.
        QTest::newRow("stripped blanks") << QByteArray("#") << QByteArray(3, '\0');
        QTest::newRow("45 bytes") << QByteArray("M" + QByteArray(60, '`')) << QByteArray(45, '\0');
        QTest::newRow("extra characters ignored") << QByteArray("!0V%T0V%T") << QByteArray("C");
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
        QTest::newRow("lower case") << QByteArray("#0v%t");
        QTest::newRow("invalid length character") << QByteArray("a0V%T");
        QTest::newRow("CR at the end") << QByteArray("#0V%T\r");
        QTest::newRow("tilde") << QByteArray("#0V~T");
        QTest::newRow("8-bit byte") << QByteArray("#0V%\xE4");
        QTest::newRow("NUL") << QByteArray("#0V\0T", 5);
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
        QTest::newRow("empty") << QByteArray() << QByteArray("`");
        QTest::newRow("Cat") << QByteArray("Cat") << QByteArray("#0V%T");
        QTest::newRow("zero as backquote") << QByteArray(3, '\0') << QByteArray("#````");
        QTest::newRow("one byte: two characters") << QByteArray("C") << QByteArray("!0P");
        QTest::newRow("two bytes: three characters") << QByteArray("Ca") << QByteArray("\"0V$");
        QTest::newRow("45 bytes: 60 characters") << QByteArray(45, '\0') << QByteArray("M" + QByteArray(60, '`'));
    }
    void encode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, line);
        QCOMPARE(Encode(bytes), line);
    }

    void encodeTooMuchForOneLine()
    {
        QVERIFY_THROWS_EXCEPTION(EMessageError, Encode(QByteArray(64, 'x')));
    }

    void roundTrip()
    {
        QRandomGenerator random(1234);
        QByteArray line, bytes;
        for (int round = 0; round < 5000; ++round) {
            QByteArray data(random.bounded(0, 46), Qt::Uninitialized);
            for (char& c : data)
                c = char(random.bounded(256));
            UUMakeTextData(data, line);
            QVERIFY(!line.contains(' '));
            UUMakeBinData(line, bytes);
            QCOMPARE(bytes, data);
        }
    }

    void golden_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : TestDataCases(QStringLiteral("codec_uu")))
            QTest::newRow(qPrintable(name)) << name;
    }
    // Each file holds one uuencoded file from its begin line to its end line.
    void golden()
    {
        QFETCH(QString, name);
        const QByteArrayList lines = ReadTestData(QStringLiteral("codec_uu/") + name).split('\n');
        qsizetype i = 0;
        while (i < lines.size() && !IsUUCodeStart(lines.at(i)))
            ++i;
        QVERIFY(i < lines.size());
        QCOMPARE(UUPickFileName(lines.at(i)), QByteArray("sample.bin"));
        QByteArray decoded, bytes;
        for (++i; i < lines.size() && lines.at(i) != "end"; ++i) {
            UUMakeBinData(lines.at(i), bytes);
            decoded += bytes;
        }
        QCOMPARE(decoded, ReadTestData(QStringLiteral("codec_uu/") + name + QStringLiteral(".expected")));
    }

    void garbage()
    {
        static const char pool[] = "!MZ_`' ~abc\r\n\t\0\x80\xFF=";
        QRandomGenerator random(777);
        QByteArray bytes;
        for (int round = 0; round < 20000; ++round) {
            QByteArray line(random.bounded(0, 100), Qt::Uninitialized);
            for (char& c : line)
                c = pool[random.bounded(int(sizeof pool) - 1)];
            const QByteArray exact(line.constData(), line.size());
            try {
                UUMakeBinData(exact, bytes);
                QVERIFY(bytes.size() <= 63);
            } catch (const EMessageParserError&) {
            }
            IsUUCodeStart(exact);
            UUPickFileName(exact);
        }
        // A begin line of any length.
        QCOMPARE(UUPickFileName("begin 644 " + QByteArray(1'000'000, 'n')).size(), 1'000'000);
    }
};

QTEST_GUILESS_MAIN(TestUUCode)
#include "tst_uucode.moc"

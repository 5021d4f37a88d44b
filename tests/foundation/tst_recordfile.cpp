// The record codec (length-prefixed strings, little-endian integers, format marks) and access to
// record n of a file whose size need not be a multiple of the record size.

#include "RecordFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace RecordCodec;

class TestRecordFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString WriteFile(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("records.bin"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return path;
    }

    static QByteArray FileContent(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void readStringClampsItsLength_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QByteArray>("expected");
        // A field of capacity 5 at offset 2, followed by two more bytes of the record.
        QTest::newRow("within capacity") << QByteArray("xx\x03" "abcdeyz", 10) << QByteArray("abc");
        QTest::newRow("empty") << QByteArray("xx\x00" "abcdeyz", 10) << QByteArray();
        QTest::newRow("length past the field") << QByteArray("xx\xff" "abcdeyz", 10) << QByteArray("abcde");
        QTest::newRow("length past the record") << QByteArray("xx\x05" "ab", 5) << QByteArray("ab");
    }
    void readStringClampsItsLength()
    {
        QFETCH(QByteArray, record);
        QFETCH(QByteArray, expected);
        QCOMPARE(ReadString(record, TStringField{2, 5}), expected);
    }

    void writeStringCutsAndClearsTheRest_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("expectedField");
        QTest::newRow("short") << QByteArray("ab") << QByteArray("\x02" "ab\0\0\0", 6);
        QTest::newRow("exact") << QByteArray("abcde") << QByteArray("\x05" "abcde", 6);
        QTest::newRow("too long") << QByteArray("abcdefgh") << QByteArray("\x05" "abcde", 6);
        QTest::newRow("utf-8 cut at a character") << QByteArray("ab\xc3\xa4\xc3\xa4") << QByteArray("\x04" "ab\xc3\xa4\0", 6);
        QTest::newRow("empty") << QByteArray() << QByteArray(6, '\0');
    }
    void writeStringCutsAndClearsTheRest()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, expectedField);
        QByteArray record("#" "\x05" "ZZZZZ" "#", 8);
        WriteString(record, TStringField{1, 5}, value);
        QCOMPARE(record, QByteArray("#") + expectedField + QByteArray("#"));
    }

    void blankStringKeepsTheLength()
    {
        QByteArray record("\x03" "abc\0", 5);
        BlankString(record, TStringField{0, 4});
        QCOMPARE(record, QByteArray("\x03" "   \0", 5));
    }

    void integersAreLittleEndian_data()
    {
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("143") << 143 << QByteArray("\x8f\0\0\0", 4);
        QTest::newRow("-2") << -2 << QByteArray("\xfe\xff\xff\xff", 4);
        QTest::newRow("0x01020304") << 0x01020304 << QByteArray("\x04\x03\x02\x01", 4);
    }
    void integersAreLittleEndian()
    {
        QFETCH(qint32, value);
        QFETCH(QByteArray, bytes);
        QByteArray record(6, '\0');
        WriteInt32(record, 1, value);
        QCOMPARE(record.mid(1, 4), bytes);
        QCOMPARE(ReadInt32(record, 1), value);
    }

    void booleansReadAnyNonZeroByteAsTrue()
    {
        QByteArray record("\0\x01\x07", 3);
        QVERIFY(!ReadBool(record, 0));
        QVERIFY(ReadBool(record, 1));
        QVERIFY(ReadBool(record, 2));
        WriteBool(record, 2, true);
        QCOMPARE(record.at(2), '\x01');
    }

    void formatMarkComparesLengthAndCharacters_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("matches");
        QTest::newRow("mark") << QByteArray("\x05" "LM104\0\0", 8) << true;
        QTest::newRow("other character") << QByteArray("\x05" "LM105\0\0", 8) << false;
        QTest::newRow("lower case") << QByteArray("\x05" "lm104\0\0", 8) << false;
        QTest::newRow("longer length byte") << QByteArray("\x06" "LM104\0\0", 8) << false;
        QTest::newRow("empty") << QByteArray(8, '\0') << false;
        QTest::newRow("header too short") << QByteArray("\x05" "LM1", 4) << false;
    }
    void formatMarkComparesLengthAndCharacters()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, matches);
        QCOMPARE(HasFormatMark(header, TStringField{0, 7}, "LM104"), matches);
    }

    void partialTrailingRecordIsIgnored()
    {
        const TRecordFile file(WriteFile(QByteArray("aaaabbbbcc")), 4);
        QCOMPARE(file.RecordCount(), std::optional<qint64>(2));
        QCOMPARE(file.Read(1), std::optional<QByteArray>("bbbb"));
        QVERIFY(!file.Read(2));
        QCOMPARE(file.ReadAll(), std::optional<QList<QByteArray>>({"aaaa", "bbbb"}));
    }

    void writeReplacesOrAppendsButLeavesNoGap()
    {
        const TRecordFile file(WriteFile(QByteArray("aaaabbbbcc")), 4);
        QVERIFY(file.Write(1, "BBBB"));
        QVERIFY(file.Write(2, "CCCC"));
        QVERIFY(!file.Write(4, "EEEE"));
        QVERIFY(!file.Write(3, "too long"));
        QCOMPARE(FileContent(file.Path()), QByteArray("aaaaBBBBCCCC"));
    }

    void missingFileIsNeitherReadNorCreatedByWrite()
    {
        const TRecordFile file(m_dir.filePath(QStringLiteral("missing.bin")), 4);
        QVERIFY(!file.RecordCount());
        QVERIFY(!file.Read(0));
        QVERIFY(!file.ReadAll());
        QVERIFY(!file.Write(0, "aaaa"));
        QVERIFY(!QFile::exists(file.Path()));
    }

    void createReplacesTheWholeFile()
    {
        const TRecordFile file(WriteFile(QByteArray(40, 'x')), 4);
        QVERIFY(file.Create({"head", "rec1"}, false));
        QCOMPARE(FileContent(file.Path()), QByteArray("headrec1"));
        QVERIFY(!file.Create({"head", "wrong size"}, false));
        QCOMPARE(FileContent(file.Path()), QByteArray("headrec1"));
    }
};

QTEST_GUILESS_MAIN(TestRecordFile)
#include "tst_recordfile.moc"

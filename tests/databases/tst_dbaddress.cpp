// The address book: record layout, header mark and deleted count, reuse of deleted places, group
// files (including groups of the older format that keep members in the e-mail field), damaged files.

#include "DBAddressFunctions.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "RecordBytes.h"

#include <QDir>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace RecordBytes;

namespace {

constexpr int RecordSize = 1652;

QByteArray FreshRecordBytes()
{
    QByteArray record(RecordSize, '\0');
    Put(record, 1645, "\x01\x01");
    PutInt(record, 1648, 1);
    return record;
}

QByteArray HeaderBytes(qint32 deletedCount = 0)
{
    QByteArray header = FreshRecordBytes();
    PutString(header, 112, "LM101");
    PutInt(header, 4, quint32(deletedCount));
    return header;
}

TAddressRecord Contact(const QByteArray& last, const QByteArray& first = "X")
{
    TAddressRecord record;
    record.LastName = last;
    record.FirstName = first;
    record.Key = last + first;
    record.Email = last.toLower() + "@example.org";
    return record;
}

TAddressRecord Group(const QByteArray& name)
{
    TAddressRecord record;
    record.Group = true;
    record.Key = name;
    return record;
}

} // namespace

class TestDBAddress : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QByteArray Content(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray BookContent() { return Content(Paths().Data.AddressbookFile); }

    static void ReplaceBook(const QByteArray& content)
    {
        QFile file(Paths().Data.AddressbookFile);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

    static QByteArray RecordBytes(int k) { return BookContent().mid(k * RecordSize, RecordSize); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        QVERIFY(QDir().mkpath(Paths().Data.LmabDir));
    }

    void init()
    {
        QVERIFY(CreateAddressBook());
    }

    void createWritesTheMarkedHeader()
    {
        QCOMPARE(BookContent(), HeaderBytes());
        QVERIFY(CheckAddressBook());
        QCOMPARE(CountAddresses(), 0);
        QVERIFY(!ReadAddress(0, true));
        QVERIFY(!ReadAddress(1, true));
    }

    void contactRecordLayout()
    {
        TAddressRecord record;
        record.Category = "gesch\xc3\xa4" "ftlich";
        record.Key = "DoeJane";
        record.LastName = "Doe";
        record.FirstName = "Jane";
        record.Email = "jane@example.org";
        record.DefaultSubject = "Hello";
        record.PreferredSender = "me@example.org <Me>";
        record.Info = "notes";
        record.Signature = "Formal";
        record.RecordFormat = 0;
        QCOMPARE(WriteAddress(0, record), 1);

        QByteArray expected = FreshRecordBytes();
        PutString(expected, 8, "gesch\xc3\xa4" "ftlich");
        PutString(expected, 112, "DoeJane");
        PutString(expected, 195, "Doe");
        PutString(expected, 246, "Jane");
        PutString(expected, 328, "jane@example.org");
        PutString(expected, 665, "Hello");
        PutString(expected, 746, "me@example.org <Me>");
        PutString(expected, 1236, "notes");
        PutString(expected, 1492, "Formal");
        QCOMPARE(BookContent(), HeaderBytes() + expected);
        QCOMPARE(ReadAddress(1)->PreferredSender, record.PreferredSender);
    }

    void checkFailsForForeignHeaders_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray otherCharacter = HeaderBytes();
        Put(otherCharacter, 117, "2");
        QByteArray emptyKey = HeaderBytes();
        PutString(emptyKey, 112, "");
        QByteArray longerLength = HeaderBytes();
        Put(longerLength, 112, "\x06");
        QTest::newRow("other character") << otherCharacter + FreshRecordBytes();
        QTest::newRow("empty key") << emptyKey + FreshRecordBytes();
        QTest::newRow("longer length byte") << longerLength + FreshRecordBytes();
        QTest::newRow("truncated header") << HeaderBytes().left(1000);
        QTest::newRow("empty file") << QByteArray();
    }
    void checkFailsForForeignHeaders()
    {
        QFETCH(QByteArray, content);
        ReplaceBook(content);
        QVERIFY(!CheckAddressBook());
        QVERIFY(!ReadAddress(1, true));
        QCOMPARE(FindAddressByKey(""), 0);
    }

    void partialRecordAndOverlongLengthsAreTolerated()
    {
        QByteArray record = FreshRecordBytes();
        Put(record, 112, "\xc8");
        Put(record, 113, QByteArray(100, 'k'));
        ReplaceBook(HeaderBytes() + record + record.left(700));
        QCOMPARE(CountAddresses(), 1);
        QCOMPARE(ReadAddress(1)->Key, QByteArray(82, 'k'));
        QVERIFY(!ReadAddress(2, true));
    }

    void longKeyIsCutTo82()
    {
        TAddressRecord record = Group(QByteArray(83, 'g'));
        QCOMPARE(WriteAddress(0, record), 1);
        QCOMPARE(ReadAddress(1)->Key, QByteArray(82, 'g'));
        QCOMPARE(FindAddressByKey(QByteArray(82, 'g')), 1);
        QCOMPARE(FindAddressByKey(QByteArray(83, 'g')), 0);
    }

    void deletedPlaceIsReused()
    {
        for (const char* name : {"A", "B", "C", "D", "E"})
            QVERIFY(WriteAddress(0, Contact(name)) > 0);
        QVERIFY(DeleteAddress(3));
        QCOMPARE(RecordBytes(0).mid(4, 4), QByteArray("\x01\0\0\0", 4));
        QVERIFY(!ReadAddress(3));
        const std::optional<TAddressRecord> deleted = ReadAddress(3, true);
        QVERIFY(deleted && deleted->Deleted);
        QCOMPARE(deleted->Key, QByteArray("  "));
        QCOMPARE(deleted->LastName, QByteArray(" "));
        QCOMPARE(deleted->Email, QByteArray("c@example.org"));
        QCOMPARE(FindAddressByKey("CX"), 0);

        QCOMPARE(FindFreeAddress(), 3);
        QCOMPARE(WriteAddress(0, Contact("F")), 3);
        QCOMPARE(ReadAddress(3)->Key, QByteArray("FX"));
        QCOMPARE(CountAddresses(), 5);
        // The count only grows: nothing is deleted now, so a new record goes to the end.
        QCOMPARE(RecordBytes(0).mid(4, 4), QByteArray("\x01\0\0\0", 4));
        QCOMPARE(WriteAddress(0, Contact("G")), 6);
        QVERIFY(DeleteAddress(3));
        QCOMPARE(RecordBytes(0).mid(4, 4), QByteArray("\x02\0\0\0", 4));
        QVERIFY(!DeleteAddress(3));
    }

    void deletionBlanksTheReservedNames()
    {
        QVERIFY(WriteAddress(0, Contact("A")) > 0);
        QByteArray content = BookContent();
        PutString(content, RecordSize + 827, "abc");
        PutString(content, RecordSize + 889, "de");
        ReplaceBook(content);
        QVERIFY(DeleteAddress(1));
        const QByteArray record = RecordBytes(1);
        QCOMPARE(record.at(0), '\x01');
        QCOMPARE(record.mid(827, 4), QByteArray("\x03   "));
        QCOMPARE(record.mid(889, 3), QByteArray("\x02  "));
    }

    void damagedDeletedCount_data()
    {
        QTest::addColumn<qint32>("deletedCount");
        QTest::addColumn<int>("freePlace");
        QTest::addColumn<qint32>("countAfterDelete");
        QTest::newRow("negative") << -5 << 0 << -4;
        QTest::newRow("zero though one is deleted") << 0 << 0 << 1;
        QTest::newRow("huge") << std::numeric_limits<qint32>::max() << 2 << std::numeric_limits<qint32>::max();
    }
    void damagedDeletedCount()
    {
        QFETCH(qint32, deletedCount);
        QFETCH(int, freePlace);
        QFETCH(qint32, countAfterDelete);
        QByteArray deleted = FreshRecordBytes();
        Put(deleted, 0, "\x01");
        ReplaceBook(HeaderBytes(deletedCount) + FreshRecordBytes() + deleted + FreshRecordBytes());
        QCOMPARE(FindFreeAddress(), freePlace);
        QCOMPARE(WriteAddress(0, Contact("N")), freePlace > 0 ? freePlace : 4);
        QVERIFY(DeleteAddress(1));
        QCOMPARE(detail::DecodeAddress(RecordBytes(0)).DeletedCount, countAfterDelete);
    }

    void groupMembersLiveInTheGroupFile()
    {
        const QByteArrayList members{"a@example.org;Anna", "b@example.org"};
        const int k = WriteAddressWithMembers(0, Group("Friends"), members);
        QCOMPARE(k, 1);
        const QString groupFile = m_dir.filePath(QStringLiteral("Lmab/Friends.grp"));
        QCOMPARE(GroupFileName("Friends"), groupFile);
        QCOMPARE(Content(groupFile), QByteArray("a@example.org;Anna\r\nb@example.org\r\n"));

        QByteArrayList read{"stale"};
        QVERIFY(ReadAddressWithMembers(k, read));
        QCOMPARE(read, members);

        QVERIFY(DeleteAddress(k));
        QVERIFY(!QFile::exists(groupFile));
    }

    void groupFileWithLoneLineFeeds()
    {
        QVERIFY(WriteAddress(0, Group("Team")) > 0);
        QFile file(GroupFileName("Team"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x@example.org\n\ny@example.org;Y");
        file.close();
        QByteArrayList members;
        QVERIFY(ReadAddressWithMembers(1, members));
        QCOMPARE(members, QByteArrayList({"x@example.org", "y@example.org;Y"}));
    }

    // Books of earlier versions hold the Windows code page; what is read is UTF-8, and a record
    // written back keeps every character.
    void windowsCodePageRecordsReadAsText_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("category") << 8 << QByteArray("gesch\xe4" "ftlich") << QStringLiteral("geschäftlich");
        QTest::newRow("last name") << 195 << QByteArray("M\xfcller") << QStringLiteral("Müller");
        QTest::newRow("first name") << 246 << QByteArray("J\xfcrgen") << QStringLiteral("Jürgen");
        QTest::newRow("subject with quotes and euro") << 665 << QByteArray("\x84" "Angebot\x93 \x80" "5")
                                                      << QStringLiteral("„Angebot“ €5");
        QTest::newRow("info with sharp s") << 1236 << QByteArray("Gr\xfc\xdf" "e") << QStringLiteral("Grüße");
        QTest::newRow("utf-8 stays") << 1236 << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << QStringLiteral("Grüße");
    }
    void windowsCodePageRecordsReadAsText()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QCOMPARE(WriteAddress(0, Contact("Doe", "Jane")), 1);
        QByteArray content = BookContent();
        PutString(content, RecordSize + offset, stored);
        ReplaceBook(content);

        std::optional<TAddressRecord> read = ReadAddress(1);
        QVERIFY(read);
        const QByteArrayList fields{read->Category, read->LastName, read->FirstName, read->DefaultSubject, read->Info};
        QVERIFY(fields.contains(text.toUtf8()));
        QCOMPARE(WriteAddress(1, *read), 1);
        const QByteArray written = RecordBytes(1).mid(offset, 1 + text.toUtf8().size());
        QCOMPARE(written, char(text.toUtf8().size()) + text.toUtf8());
        QCOMPARE(ReadAddress(1)->Email, QByteArray("doe@example.org"));
    }

    void windowsCodePageKeyAndGroupFile()
    {
        QCOMPARE(WriteAddress(0, Group("Team")), 1);
        QByteArray content = BookContent();
        PutString(content, RecordSize + 112, "B\xfcro");
        ReplaceBook(content);
        QFile file(GroupFileName("B\xc3\xbcro"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("m\xfcller@example.org;M\xfcller\r\nx@example.org\r\n");
        file.close();

        QCOMPARE(FindAddressByKey("B\xc3\xbcro"), 1);
        QByteArrayList members;
        const std::optional<TAddressRecord> read = ReadAddressWithMembers(1, members);
        QVERIFY(read);
        QCOMPARE(members, QByteArrayList({"m\xc3\xbcller@example.org;M\xc3\xbcller", "x@example.org"}));
    }

    void olderGroupIsConvertedToAGroupFile()
    {
        TAddressRecord old = Group("Old");
        old.Email = "a@example.org, b@example.org";
        old.RecordFormat = 0;
        QByteArray record = detail::EncodeAddress(old);
        ReplaceBook(HeaderBytes() + record);

        QByteArrayList members;
        std::optional<TAddressRecord> group = ReadAddressWithMembers(1, members);
        QVERIFY(group);
        QCOMPARE(group->RecordFormat, 0);
        QCOMPARE(members, QByteArrayList({"a@example.org", "b@example.org"}));
        QVERIFY(!QFile::exists(GroupFileName("Old")));

        QCOMPARE(WriteAddressWithMembers(1, *group, members), 1);
        QCOMPARE(Content(GroupFileName("Old")), QByteArray("a@example.org\r\nb@example.org\r\n"));
        const std::optional<TAddressRecord> converted = ReadAddress(1);
        QCOMPARE(converted->RecordFormat, 1);
        QVERIFY(converted->Email.isEmpty());
    }

    void olderGroupKeepsNoFileOnDelete()
    {
        QFile other(GroupFileName("Old"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        TAddressRecord old = Group("Old");
        old.RecordFormat = 0;
        ReplaceBook(HeaderBytes() + detail::EncodeAddress(old));
        QVERIFY(DeleteAddress(1));
        QVERIFY(QFile::exists(GroupFileName("Old")));
        QFile::remove(GroupFileName("Old"));
    }

    void slashInAKeyStaysInTheDirectory()
    {
        const QString name = GroupFileName("../a/b");
        QCOMPARE(name, Paths().Data.LmabDir + QStringLiteral("/..$4$a$4$b.grp"));
        QVERIFY(WriteGroupMembers("../a/b", {"m@example.org"}));
        QVERIFY(QFile::exists(name));
        QFile::remove(name);
    }

    void writeNeedsAHeaderAndNoGap()
    {
        QCOMPARE(WriteAddress(3, Contact("A")), 0);
        ReplaceBook({});
        QCOMPARE(WriteAddress(0, Contact("A")), 0);
        QVERIFY(BookContent().isEmpty());
    }

    void prepareRecreatesAnOutdatedBookWithMessage1()
    {
        ReportCapture reports;
        ReplaceBook(QByteArray(RecordSize, 'x'));
        QVERIFY(PrepareAddressBook());
        QCOMPARE(BookContent(), HeaderBytes());
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, 1);
        const QString kept = Paths().Data.AddressbookFile + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
        QVERIFY(taken.first().Text.contains(kept));
        QCOMPARE(QFileInfo(kept).size(), qint64(RecordSize));
    }

    void prepareReportsABookThatCannotBeCreated()
    {
        ReportCapture reports;
        const QString saved = Paths().Data.AddressbookFile;
        detail::MutablePaths().Data.AddressbookFile = m_dir.filePath(QStringLiteral("missing/Addressbook.lab"));
        const bool prepared = PrepareAddressBook();
        detail::MutablePaths().Data.AddressbookFile = saved;
        QVERIFY(!prepared);
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, 2);
    }
};

QTEST_GUILESS_MAIN(TestDBAddress)
#include "tst_dbaddress.moc"

// Folder files: the index record and header bytes, append, read and export, counts and deletion
// marks, copy and move, shrinking, rebuilding (golden folders), reorganizing, and damaged indexes.

#include "DBMailboxFunctions.h"
#include "MailboxHelpFunctions.h"
#include "ReportCapture.h"
#include "StoreTestSupport.h"
#include "TestData.h"
#include "qmmsg.h"
#include "RecordBytes.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/stat.h>

using namespace StoreTest;

using namespace RecordBytes;

namespace {

QByteArray HeaderBytes(qint32 deleted = 0)
{
    QByteArray header(192, '\0');
    PutInt(header, 16, deleted);
    Put(header, 110, QByteArray::fromHex("054C4D313034"));
    return header;
}

int ModeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

QString RecoveryFileOf(const TFolderFiles& folder)
{
    return folder.MessageFile.chopped(4) + QStringLiteral(".recovered");
}

// The sample message's "13:25:03 +0100" as this machine's clock shows that moment.
double SampleDate()
{
    return QDateTimeToDateTime(QDateTime(QDate(2026, 12, 7), QTime(12, 25, 3), Qt::UTC).toLocalTime());
}

QList<qsizetype> Starts(std::initializer_list<qsizetype> values)
{
    return QList<qsizetype>(values);
}

// The marked line starts found the slow way, one byte after the other.
QList<qsizetype> MarkedLineStartsOneByOne(QByteArrayView data)
{
    QList<qsizetype> starts;
    for (qsizetype at = 0; at < data.size(); ++at) {
        const bool lineStart = at == 0 || data[at - 1] == '\n' || data[at - 1] == '\r';
        if (lineStart && QByteArrayView("FfBb-").contains(data[at]))
            starts.append(at);
    }
    return starts;
}

// Messages whose records depend on lines deep in their bodies, in the line ends mailers write.
QByteArrayList BoundaryMessages(const QByteArray& end)
{
    const auto lines = [&](std::initializer_list<const char*> texts) {
        QByteArray joined;
        for (const char* text : texts)
            joined += QByteArray(text) + end;
        return joined;
    };
    return {
        lines({"From: Anna <anna@example.org>", "Subject: escaped", "", ">From the start", "from below", "Body."}),
        lines({"Subject: uuencoded", "", "See the file.", "", "begin 644 a.txt", "#86)C", "`", "end"}),
        lines({"Subject: two parts", "MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"b1\"", "",
               "--b1", "Content-Type: text/plain", "", "Text.", "--b1", "Content-Type: application/pdf", "",
               "JVBERg==", "--b1--"}),
        lines({"Subject: text with a dash", "", "-- ", "Anna", "before", "but not begin"}),
        // The last one ends without a line end.
        lines({"To: bob@example.org", "Subject: last", ""}) + "begin 644 b.bin" + end + "M" + end + "end",
    };
}

} // namespace

class TestFolderFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TFolderFiles m_folder;
    TFolderFiles m_other;

    qint32 Append(const QByteArray& message, const TFolderFiles& folder)
    {
        return AppendMessage(folder, message, m_dir.path());
    }
    qint32 Append(const QByteArray& message) { return Append(message, m_folder); }

    QList<TListEntry> Listed(const TFolderFiles& folder)
    {
        bool damaged = true;
        const QList<TListEntry> entries = ListEntries(EnumerateLiveMessages(folder, &damaged));
        if (damaged)
            QTest::qFail("the folder lists as damaged", __FILE__, __LINE__);
        return entries;
    }

    void WriteIndexBytes(const QByteArray& content) { QVERIFY(WriteContent(m_folder.IndexFile, content)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseDataDirectory(m_dir.path());
        m_folder = FolderPaths(QStringLiteral("Work"));
        m_other = FolderPaths(QStringLiteral("Work$Archive"));
    }

    void init()
    {
        QFile::remove(RecoveryFileOf(m_folder));
        QVERIFY(CreateFolderFiles(m_folder));
        QVERIFY(CreateFolderFiles(m_other));
    }

    void folderPathsLieInTheFolderDirectory()
    {
        QCOMPARE(m_other.MessageFile, Paths().Data.MailDir + QStringLiteral("/Work$Archive.mbx"));
        QCOMPARE(m_other.IndexFile, Paths().Data.MailDir + QStringLiteral("/Work$Archive.idx"));
        QCOMPARE(FolderFilesOf(QStringLiteral("/x/In.box.mbx")).IndexFile, QStringLiteral("/x/In.box.idx"));
    }

    void newIndexIsTheHeaderOnly()
    {
        QCOMPARE(Content(m_folder.IndexFile), HeaderBytes());
        QCOMPARE(Content(m_folder.MessageFile), QByteArray());
        QCOMPARE(CountMessages(m_folder.IndexFile, false), 0);
        QCOMPARE(CountMessages(m_folder.IndexFile, true), 0);
        QVERIFY(IndexIsCurrent(m_folder.IndexFile));
    }

    void appendedRecordBytes()
    {
        const QByteArray message = Message("Quarterly report", "Text.\r\n", "X-LMHOLD: yes\r\n");
        QCOMPARE(Append(message), 1);

        QByteArray expected(192, '\0');
        PutInt(expected, 0, 0);
        PutInt(expected, 4, 7 + message.size());
        PutInt(expected, 8, 4);
        PutDouble(expected, 20, SampleDate());
        PutString(expected, 28, "Anna Beispiel");
        PutString(expected, 69, "bob@example.net");
        PutString(expected, 110, "Quarterly report");
        QCOMPARE(Content(m_folder.IndexFile), HeaderBytes() + expected);
        QCOMPARE(Content(m_folder.MessageFile), QByteArray("From \r\n") + message);
    }

    void recordFieldsAreCutToTheirCapacity()
    {
        TIndexRecord record;
        record.From = QByteArray(50, 'f');
        record.To = QByteArray(41, 't');
        record.Subject = QByteArray(79, 's') + "\xc3\xa4";
        const QByteArray bytes = detail::EncodeIndexRecord(record);
        QCOMPARE(bytes.size(), 192);
        QCOMPARE(bytes.mid(28, 41), char(40) + QByteArray(40, 'f'));
        QCOMPARE(bytes.mid(69, 41), char(40) + QByteArray(40, 't'));
        // The two-byte character would not fit whole.
        QCOMPARE(bytes.mid(110, 81), char(79) + QByteArray(79, 's') + '\0');
        QCOMPARE(bytes.at(191), '\0');
    }

    void senderWithoutNameAndMessageWithoutRecipient()
    {
        const QByteArray message = "From: plain@example.org\r\nSubject: x\r\n\r\nbody\r\n";
        const TDateTime before = QDateTimeToDateTime(QDateTime::currentDateTime().addSecs(-1));
        QCOMPARE(Append(message), 1);
        const TDateTime after = QDateTimeToDateTime(QDateTime::currentDateTime().addSecs(1));
        const TIndexRecord record = *ReadIndexRecord(m_folder.IndexFile, 1);
        QCOMPARE(record.From, QByteArray("plain@example.org"));
        QCOMPARE(record.To, QByteArray());
        // Without a Date field the message is dated when it arrived.
        QVERIFY(record.Date >= before && record.Date <= after);
    }

    void attachmentFlag()
    {
        const QByteArray multipart = Message("With file", "--b1\r\nContent-Type: text/plain\r\n\r\ntext\r\n"
                                                          "--b1\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
                                                          "Content-Transfer-Encoding: base64\r\n\r\nJVBERg==\r\n--b1--\r\n",
                                             "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n");
        const QByteArray uuencoded = Message("UU", "See file.\r\n\r\nbegin 644 a.txt\r\n#86)C\r\n`\r\nend\r\n");
        const QByteArray plain = Message("Plain", "begins with begin but is text\r\n");
        QCOMPARE(Append(multipart), 1);
        QCOMPARE(Append(uuencoded), 2);
        QCOMPARE(Append(plain), 3);
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 1)->Flags, qint32(mfAttachments));
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 2)->Flags, qint32(mfAttachments));
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 3)->Flags, 0);
    }

    // The record reads only the header lines it needs and takes the attachment flag from the message
    // structure where that is certain; both must agree with the full parse of the message object.
    void recordAgreesWithTheParser_data()
    {
        QTest::addColumn<QByteArray>("message");
        for (const QString& name : TestDataCases(QStringLiteral("messages"), QStringLiteral(".summary")))
            QTest::newRow(qPrintable(name)) << ReadTestData(QStringLiteral("messages/") + name);
        QTest::newRow("folded To and a second To field")
            << QByteArray("Received: from x\r\n\tby y\r\nTo: \"Doe, Jane\" <jane@x.org>,\r\n bob@x.org\r\n"
                          "Subject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\r\nTo: carol@x.org\r\nFrom: <only@x.org>\r\n\r\nb\r\n");
        QTest::newRow("To list ended by a line without colon")
            << QByteArray("From: A <a@x.org>\r\nTo: , first@x.org\r\nTOTALLY broken\r\nTo: late@x.org\r\n\r\nb\r\n");
        QTest::newRow("field names that begin like wanted ones")
            << QByteArray("Topic: t@x.org\r\nFrom-Host: h\r\nFrom: Real <r@x.org>\r\nDate-Sent: x\r\nTo: z@x.org\r\n\r\n");
        QTest::newRow("multipart with one part")
            << QByteArray("MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"q\"\r\n\r\n--q\r\n"
                          "Content-Type: application/pdf\r\n\r\nx\r\n--q--\r\n");
        QTest::newRow("multipart without boundary")
            << QByteArray("MIME-Version: 1.0\r\nContent-Type: multipart/mixed\r\n\r\ntext\r\n");
        QTest::newRow("uuencode with bad data")
            << QByteArray("Subject: uu\r\n\r\nbegin 644 x.bin\r\n\x01\x02\r\nend\r\n");
    }

    void recordAgreesWithTheParser()
    {
        QFETCH(QByteArray, message);
        const QByteArray bytes = "From \r\n" + message;
        TqmMessage parsed;
        detail::ParseMessageBytes(bytes, parsed);
        const TIndexRecord record = detail::RecordOfMessage(bytes);
        QCOMPARE(record.From, parsed.Sender.Name.isEmpty() ? parsed.Sender.Address : parsed.Sender.Name);
        QCOMPARE(record.To, parsed.Recipients.Count() > 0 ? parsed.Recipients.Items(0).Address : QByteArray());
        QCOMPARE(record.Subject, parsed.Subject);
        QCOMPARE((record.Flags & mfAttachments) != 0, parsed.Attachments.Count() > 0);
    }

    void readExportAndLoad()
    {
        const QByteArray first = Message("One");
        const QByteArray second = Message("Two", "From here on the body\r\nFrom me\r\n");
        QCOMPARE(Append(first), 1);
        QCOMPARE(Append(second), 2);
        const QList<TListEntry> entries = Listed(m_folder);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].Offset, 7 + first.size());
        QCOMPARE(*ReadRawMessage(m_folder.MessageFile, entries[1].Offset, entries[1].Length), "From \r\n" + second);

        const QString target = m_dir.filePath(QStringLiteral("export.eml"));
        QVERIFY(ExportMessage(m_folder.MessageFile, target, entries[1].Offset, entries[1].Length));
        QCOMPARE(Content(target), second);

        TqmMessage message;
        QVERIFY(LoadMessage(m_folder.MessageFile, entries[1].Offset, entries[1].Length, message));
        QCOMPARE(message.Subject, QByteArray("Two"));
        QVERIFY(!LoadMessage(m_folder.MessageFile, entries[1].Offset, entries[1].Length + 1, message));
        QCOMPARE(message.Subject, QByteArray());
    }

    void exportStripsExactlySevenBytes()
    {
        QVERIFY(WriteContent(m_folder.MessageFile, "From someone@example.org Mon Dec  7 10:00:00 2026\r\nSubject: x\r\n\r\nb\r\n"));
        QVERIFY(RebuildIndex(m_folder));
        const TListEntry entry = Listed(m_folder).value(0);
        const QString target = m_dir.filePath(QStringLiteral("export.eml"));
        QVERIFY(ExportMessage(m_folder.MessageFile, target, entry.Offset, entry.Length));
        QVERIFY(Content(target).startsWith("meone@example.org Mon"));
    }

    void exportFailuresAreReported()
    {
        ReportCapture reports;
        QVERIFY(!ExportMessage(m_folder.MessageFile, m_dir.filePath(QStringLiteral("x.eml")), 0, 10));
        QVERIFY(Append(Message("One")) == 1);
        QVERIFY(!ExportMessage(m_folder.MessageFile, m_dir.filePath(QStringLiteral("missing/x.eml")), 0, 10));
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 2);
        QCOMPARE(taken[0].Id, 11);
        QCOMPARE(taken[1].Id, 12);
    }

    void markDeletedCountsOnce()
    {
        for (const QByteArray subject : {"a", "b", "c"})
            Append(Message(subject));
        QVERIFY(MarkDeleted(m_folder.IndexFile, 2));
        QVERIFY(MarkDeleted(m_folder.IndexFile, 2));
        QVERIFY(!MarkDeleted(m_folder.IndexFile, 4));
        QVERIFY(!MarkDeleted(m_folder.IndexFile, 0));
        QCOMPARE(Content(m_folder.IndexFile).left(192), HeaderBytes(1));
        QCOMPARE(CountMessages(m_folder.IndexFile, false), 3);
        QCOMPARE(CountMessages(m_folder.IndexFile, true), 2);
        QCOMPARE(Content(m_folder.IndexFile).at(2 * 192 + 12), '\1');
        QCOMPARE(Listed(m_folder).size(), 2);
    }

    void recordReadAndWriteStayInsideTheIndex()
    {
        Append(Message("a"));
        TIndexRecord record = *ReadIndexRecord(m_folder.IndexFile, 1);
        record.Flags = mfRead;
        QVERIFY(WriteIndexRecord(m_folder.IndexFile, 1, record));
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 1)->Flags, qint32(mfRead));
        QVERIFY(!WriteIndexRecord(m_folder.IndexFile, 2, record));
        QVERIFY(!ReadIndexRecord(m_folder.IndexFile, 2));
        QCOMPARE(CountMessages(m_dir.filePath(QStringLiteral("none.idx")), true), 0);
    }

    void copyRepairsDatesAndKeepsFlags()
    {
        Append(Message("Future"));
        TIndexRecord record = *ReadIndexRecord(m_folder.IndexFile, 1);
        record.Date = QDate(1899, 12, 30).daysTo(QDate(4001, 3, 4)) + 0.5;
        record.Flags = mfAttachments;
        QVERIFY(WriteIndexRecord(m_folder.IndexFile, 1, record));

        QList<TListEntry> entries = Listed(m_folder);
        QVERIFY(CopyMessages(m_folder, m_other, entries));
        QCOMPARE(entries.size(), 1);
        const TIndexRecord copy = *ReadIndexRecord(m_other.IndexFile, 1);
        QCOMPARE(DateText(copy.Date), QByteArray("2001-03-04 12:00:00"));
        QCOMPARE(copy.Flags, qint32(mfAttachments));
        QCOMPARE(Content(m_other.MessageFile), Content(m_folder.MessageFile));
        QCOMPARE(CountMessages(m_folder.IndexFile, true), 1);
    }

    void moveMarksReadAndShrinksTheEmptiedSource()
    {
        Append(Message("a"));
        Append(Message("b"));
        QList<TListEntry> entries = Listed(m_folder);
        QVERIFY(CopyMessages(m_folder, m_other, entries, TCopyOptions{true, true}));
        QVERIFY(entries.isEmpty());
        QCOMPARE(Content(m_folder.MessageFile), QByteArray());
        QCOMPARE(Content(m_folder.IndexFile), HeaderBytes());
        QCOMPARE(IndexSummary(m_other.IndexFile),
                 QByteArray("deleted 0\n"
                            "1: 0+153 flags 1 date 2026-12-07 12:25:03 from \"Anna Beispiel\" to \"bob@example.net\" subject \"a\"\n"
                            "2: 153+153 flags 1 date 2026-12-07 12:25:03 from \"Anna Beispiel\" to \"bob@example.net\" subject \"b\"\n"));
    }

    void copyStopsAtTheFirstFailure()
    {
        Append(Message("a"));
        Append(Message("b"));
        QList<TListEntry> entries = Listed(m_folder);
        entries.insert(1, TListEntry{7, 0, 999999, 0});
        ReportCapture reports;
        QVERIFY(!CopyMessages(m_folder, m_other, entries, TCopyOptions{true, false}));
        QCOMPARE(reports.Take().value(0).Id, 12);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(CountMessages(m_other.IndexFile, false), 1);
        QCOMPARE(CountMessages(m_folder.IndexFile, true), 1);
    }

    void appendPastTwoGibibytesIsRefused()
    {
        {
            QFile file(m_other.MessageFile);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(MaxMessageFileSize - 100));
        }
        // Indexed: an unindexed tail would go to the recovery file before the append.
        TIndexRecord big;
        big.Length = qint32(MaxMessageFileSize - 100);
        QVERIFY(AppendIndexRecord(m_other.IndexFile, big) > 0);
        const QByteArray indexBefore = Content(m_other.IndexFile);
        QCOMPARE(Append(Message("too much"), m_other), 0);
        QCOMPARE(QFileInfo(m_other.MessageFile).size(), MaxMessageFileSize - 100);
        QCOMPARE(Content(m_other.IndexFile), indexBefore);

        Append(Message("a"));
        QList<TListEntry> entries = Listed(m_folder);
        ReportCapture reports;
        QVERIFY(!CopyMessages(m_folder, m_other, entries, TCopyOptions{true, false}));
        QCOMPARE(reports.Take().value(0).Id, 12);
        QCOMPARE(QFileInfo(m_other.MessageFile).size(), MaxMessageFileSize - 100);
        QCOMPARE(CountMessages(m_folder.IndexFile, true), 1);
        QVERIFY(CreateEmptyMessageFile(m_other.MessageFile));
    }

    void shrinkIgnoresAWrongDeletedCount()
    {
        Append(Message("a"));
        QByteArray index = Content(m_folder.IndexFile);
        PutInt(index, 16, 1);
        WriteIndexBytes(index);
        QVERIFY(!ShrinkWhenEmpty(m_folder));
        QCOMPARE(EnumerateLiveMessages(m_folder).size(), 1);
        QVERIFY(MarkDeleted(m_folder.IndexFile, 1));
        QVERIFY(ShrinkWhenEmpty(m_folder));
        QCOMPARE(QFileInfo(m_folder.MessageFile).size(), 0);
    }

    void messageStarts_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<qsizetype>>("starts");
        QTest::newRow("empty") << QByteArray() << QList<qsizetype>();
        QTest::newRow("separators") << QByteArray("From \r\nA: 1\r\n\r\nx\r\nFrom \r\nB: 2\r\n") << Starts({0, 18});
        QTest::newRow("bytes before the first separator")
            << QByteArray("junk\r\nFrom \r\nA: 1\r\n") << Starts({0, 6});
        QTest::newRow("other letter case") << QByteArray("FROM \r\nA: 1\r\nfrom \nB: 2\n") << Starts({0, 13});
        QTest::newRow("lone CR line ends") << QByteArray("From \rA: 1\rFrom \rB: 2\r") << Starts({0, 11});
        QTest::newRow("body line beginning with from")
            << QByteArray("From \r\nA: 1\r\n\r\nfrom here on\r\nFrom me\r\nmore\r\n") << Starts({0});
        QTest::newRow("forwarded from line followed by a header field, separated file")
            << QByteArray("From \r\nA: 1\r\n\r\nx\r\nFrom john@example.org Mon Jan  1\r\nSubject: y\r\n") << Starts({0});
        QTest::newRow("from line followed by a header field, file without separators")
            << QByteArray("From a@b Sun\nA: 1\n\nx\nFrom b@c Mon Dec 7\nSubject: y\n") << Starts({0, 21});
        QTest::newRow("body from line, file without separators")
            << QByteArray("From a@b Sun\nA: 1\n\nFrom me to you\nbye\n") << Starts({0});
        QTest::newRow("envelope behind a separator")
            << QByteArray("From \r\nFrom b@c Mon\r\nA: 1\r\n") << Starts({0});
        QTest::newRow("separator glued to a last line without line end")
            << QByteArray("From \r\nA: 1\r\n\r\nlastFrom \r\nB: 2\r\n") << Starts({0});
        QTest::newRow("separator without line end at the end")
            << QByteArray("From \r\nA: 1\r\nFrom ") << Starts({0, 13});
        QTest::newRow("from inside a line") << QByteArray("From \r\nA: From \r\n") << Starts({0});
    }

    void messageStarts()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<qsizetype>, starts);
        QCOMPARE(detail::MessageStarts(data), starts);
    }

    void rebuildGolden_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : TestDataCases(QStringLiteral("store/rebuild"), QStringLiteral(".summary")))
            QTest::newRow(qPrintable(name)) << name;
    }

    void rebuildGolden()
    {
        QFETCH(QString, name);
        QVERIFY(WriteContent(m_folder.MessageFile, ReadTestData(QStringLiteral("store/rebuild/") + name)));
        QVERIFY(WriteContent(m_folder.IndexFile, "outdated"));
        QVERIFY(RebuildIndex(m_folder));
        QString summaryName = name;
        summaryName.replace(QStringLiteral(".mbx"), QStringLiteral(".summary"));
        const QByteArray actual = IndexSummary(m_folder.IndexFile);
        const QByteArray expected = ReadTestData(QStringLiteral("store/rebuild/") + summaryName);
        // The whole summary, so that a new case can be reviewed and taken over as its .summary file.
        if (actual != expected)
            qInfo().noquote() << actual;
        QCOMPARE(actual, expected);
        QCOMPARE(CheckIndexHealth(m_folder), TIndexHealth::Sound);
    }

    // The rebuild looks at the bytes sixteen at a time: wherever a line begins in such a block and
    // whatever ends it, the same lines are found as byte by byte.
    void markedLinesAtEveryPosition_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QList<std::pair<const char*, QByteArray>> ends{{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};
        for (const auto& [name, end] : ends) {
            for (int shift = 0; shift < 34; ++shift) {
                QTest::addRow("%s, shifted by %d", name, shift)
                    << QByteArray(shift, 'x') + end + "From " + end + "B: 1" + end + end + "-- " + end + "f" + end
                        + end + "FROM " + end + "begin 644 f";
            }
        }
    }

    void markedLinesAtEveryPosition()
    {
        QFETCH(QByteArray, data);
        // Every length, so that the end of the bytes falls everywhere in a block as well.
        for (qsizetype size = 0; size <= data.size(); ++size)
            QCOMPARE(detail::MarkedLineStarts(QByteArrayView(data).first(size)), MarkedLineStartsOneByOne(data.first(size)));
    }

    // A rebuild takes the lines of the whole file in one pass and hands each message its share; the
    // records must be those of each message read alone, wherever the messages lie in the file.
    void rebuildAgreesWithEachMessageAlone_data()
    {
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<int>("shift");
        const QList<std::pair<const char*, QByteArray>> ends{{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};
        for (const auto& [name, end] : ends) {
            for (int shift = 0; shift < 17; ++shift)
                QTest::addRow("%s, shifted by %d", name, shift) << end << shift;
        }
    }

    void rebuildAgreesWithEachMessageAlone()
    {
        QFETCH(QByteArray, end);
        QFETCH(int, shift);
        QByteArrayList messages = BoundaryMessages(end);
        messages.first().prepend("X-Shift: " + QByteArray(shift, 's') + end);
        QByteArray file;
        for (const QByteArray& message : std::as_const(messages))
            file += "From " + end + message;
        QVERIFY(WriteContent(m_folder.MessageFile, file));
        QVERIFY(RebuildIndex(m_folder));
        QCOMPARE(CountMessages(m_folder.IndexFile, false), qint32(messages.size()));
        qint32 offset = 0;
        for (qint32 n = 1; n <= messages.size(); ++n) {
            const QByteArray bytes = "From " + end + messages[n - 1];
            const TIndexRecord expected = detail::RecordOfMessage(bytes, false);
            const TIndexRecord record = ReadIndexRecord(m_folder.IndexFile, n).value_or(TIndexRecord{});
            QCOMPARE(record.Offset, offset);
            QCOMPARE(record.Length, qint32(bytes.size()));
            QCOMPARE(record.Subject, expected.Subject);
            QCOMPARE(record.To, expected.To);
            QCOMPARE(record.Flags, expected.Flags);
            offset += qint32(bytes.size());
        }
        // What the flags say, not only that both ways agree: the uuencoded file, the second part and
        // the file at the very end are attachments; a signature dash and "but not begin" are not.
        const QList<qint32> attachments{0, mfAttachments, mfAttachments, 0, mfAttachments};
        for (qint32 n = 1; n <= messages.size(); ++n)
            QCOMPARE(ReadIndexRecord(m_folder.IndexFile, n)->Flags, attachments[n - 1]);
    }

    void rebuildWithoutMessageFile()
    {
        QVERIFY(QFile::remove(m_folder.MessageFile));
        ReportCapture reports;
        QVERIFY(!RebuildIndex(m_folder));
        QCOMPARE(reports.Take().value(0).Id, 2);
        QCOMPARE(Content(m_folder.IndexFile), HeaderBytes());
    }

    void reorganizeKeepsLiveMessagesInOrder()
    {
        for (const QByteArray subject : {"a", "b", "c", "d", "e"})
            Append(Message(subject));
        TIndexRecord read = *ReadIndexRecord(m_folder.IndexFile, 4);
        read.Flags = mfRead;
        QVERIFY(WriteIndexRecord(m_folder.IndexFile, 4, read));
        QVERIFY(MarkDeleted(m_folder.IndexFile, 1));
        QVERIFY(MarkDeleted(m_folder.IndexFile, 3));
        QVERIFY(ReorganizeFolder(m_folder, QStringLiteral("Work")));

        QCOMPARE(IndexSummary(m_folder.IndexFile),
                 QByteArray("deleted 0\n"
                            "1: 0+153 flags 0 date 2026-12-07 12:25:03 from \"Anna Beispiel\" to \"bob@example.net\" subject \"b\"\n"
                            "2: 153+153 flags 1 date 2026-12-07 12:25:03 from \"Anna Beispiel\" to \"bob@example.net\" subject \"d\"\n"
                            "3: 306+153 flags 0 date 2026-12-07 12:25:03 from \"Anna Beispiel\" to \"bob@example.net\" subject \"e\"\n"));
        QCOMPARE(Content(m_folder.MessageFile),
                 "From \r\n" + Message("b") + "From \r\n" + Message("d") + "From \r\n" + Message("e"));
        QCOMPARE(QDir(Paths().Data.MailDir).entryList({QStringLiteral("*.new*")}, QDir::Files), QStringList());
    }

    void reorganizeRefusesADamagedIndex()
    {
        Append(Message("a"));
        WriteIndexBytes(Content(m_folder.IndexFile) + "torn");
        const QByteArray before = Content(m_folder.MessageFile);
        ReportCapture reports;
        QVERIFY(!ReorganizeFolder(m_folder, QStringLiteral("Work")));
        const TUserMessage report = reports.Take().value(0);
        QCOMPARE(report.Id, 50);
        QCOMPARE(Content(m_folder.MessageFile), before);
    }

    void interruptedReorganize_data()
    {
        QTest::addColumn<bool>("newMessageFile");
        QTest::addColumn<bool>("newIndexFile");
        QTest::addColumn<bool>("messageFileReplaced");
        QTest::addColumn<QByteArray>("expectedSubjects");
        QTest::newRow("new message file only") << true << false << false << QByteArray("ab");
        QTest::newRow("both new files") << true << true << false << QByteArray("b");
        QTest::newRow("message file replaced") << false << true << true << QByteArray("b");
    }

    void interruptedReorganize()
    {
        QFETCH(bool, newMessageFile);
        QFETCH(bool, newIndexFile);
        QFETCH(bool, messageFileReplaced);
        QFETCH(QByteArray, expectedSubjects);
        Append(Message("a"));
        Append(Message("b"));
        const QByteArray newMessages = "From \r\n" + Message("b");
        QByteArray newIndex = detail::IndexHeader();
        TIndexRecord record = *ReadIndexRecord(m_folder.IndexFile, 2);
        record.Offset = 0;
        newIndex += detail::EncodeIndexRecord(record);
        if (newMessageFile)
            QVERIFY(WriteContent(m_folder.MessageFile + QStringLiteral(".new"), newMessages));
        if (newIndexFile)
            QVERIFY(WriteContent(m_folder.IndexFile + QStringLiteral(".new"), newIndex));
        if (messageFileReplaced)
            QVERIFY(WriteContent(m_folder.MessageFile, newMessages));

        FinishInterruptedReorganize(m_folder);
        QCOMPARE(CheckIndexHealth(m_folder), TIndexHealth::Sound);
        QByteArray subjects;
        for (const TFolderMessage& message : EnumerateLiveMessages(m_folder))
            subjects += message.Index.Subject;
        QCOMPARE(subjects, expectedSubjects);
        QVERIFY(!QFile::exists(m_folder.MessageFile + QStringLiteral(".new")));
        QVERIFY(!QFile::exists(m_folder.IndexFile + QStringLiteral(".new")));
    }

    // The rule for damaged indexes: records that cannot be trusted are not listed, the folder reports
    // itself damaged, and the repair rebuilds it; a torn last record is only cut, a wrong deleted
    // count only recounted and an unindexed tail only indexed, so that the marks survive those.
    // Random index and message bytes, seeded so a failure repeats: listing must not crash or read
    // outside the files, and the repair must always end with a sound folder.
    void garbageIsRepaired()
    {
        QRandomGenerator random(4711);
        const auto bytes = [&](qsizetype size) {
            QByteArray data(size, '\0');
            for (char& byte : data)
                byte = char(random.bounded(256));
            return data;
        };
        for (int round = 0; round < 40; ++round) {
            QByteArray messages = bytes(random.bounded(3000));
            for (int cut = 0; cut < 5; ++cut)
                messages.insert(random.bounded(messages.size() + 1), round % 2 ? "\r\nFrom \r\n" : "\nFrom x\nA: b\n");
            QByteArray index = detail::IndexHeader(random.bounded(5)) + bytes(random.bounded(4 * 192));
            QVERIFY(WriteContent(m_folder.MessageFile, messages));
            WriteIndexBytes(index);
            for (const TFolderMessage& message : EnumerateAllMessages(m_folder))
                QVERIFY(ReadRawMessage(m_folder.MessageFile, message.Index.Offset, message.Index.Length));
            QVERIFY(RepairFolder(m_folder));
            QCOMPARE(CheckIndexHealth(m_folder), TIndexHealth::Sound);
        }
    }

    void damagedIndex_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::addColumn<int>("health");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("liveAfterRepair");
        QTest::addColumn<bool>("readMarkKept");
        // The third message went to the recovery file: its append never reached the commit point.
        QTest::addColumn<bool>("recovered");
        QTest::newRow("torn last record") << QByteArray("torn") << int(TIndexHealth::Damaged) << 2 << 2 << true << true;
        QTest::newRow("negative offset") << QByteArray("offset-negative") << int(TIndexHealth::Damaged) << 1 << 3 << false << false;
        QTest::newRow("offset beyond file") << QByteArray("offset-beyond") << int(TIndexHealth::Damaged) << 2 << 3 << false << false;
        QTest::newRow("negative length") << QByteArray("length-negative") << int(TIndexHealth::Damaged) << 2 << 3 << false << false;
        QTest::newRow("length beyond file") << QByteArray("length-beyond") << int(TIndexHealth::Damaged) << 2 << 3 << false << false;
        QTest::newRow("string length too large") << QByteArray("string-length") << int(TIndexHealth::Damaged) << 2 << 3 << false << false;
        QTest::newRow("wrong mark") << QByteArray("mark") << int(TIndexHealth::Outdated) << 0 << 3 << false << false;
        QTest::newRow("header only half there") << QByteArray("short-header") << int(TIndexHealth::Outdated) << 0 << 3 << false << false;
        QTest::newRow("deleted count too high") << QByteArray("count") << int(TIndexHealth::WrongDeletedCount) << 2 << 2 << true << false;
        QTest::newRow("unindexed tail") << QByteArray("tail") << int(TIndexHealth::UnindexedTail) << 2 << 2 << true << true;
    }

    void damagedIndex()
    {
        QFETCH(QByteArray, damage);
        QFETCH(int, health);
        QFETCH(int, listed);
        QFETCH(int, liveAfterRepair);
        QFETCH(bool, readMarkKept);
        QFETCH(bool, recovered);
        Append(Message("a"));
        Append(Message("b"));
        Append(Message("c"));
        QByteArray index = Content(m_folder.IndexFile);
        index[192 + 8] = char(mfRead);
        const int second = 2 * 192;
        if (damage == "torn") {
            index.chop(10);
        } else if (damage == "offset-negative") {
            PutInt(index, second, -7);
            index[3 * 192 + 12] = 1;
            PutInt(index, 16, 1);
        } else if (damage == "offset-beyond") {
            PutInt(index, second, 100000);
        } else if (damage == "length-negative") {
            PutInt(index, second + 4, -1);
        } else if (damage == "length-beyond") {
            PutInt(index, second + 4, 100000);
        } else if (damage == "string-length") {
            index[second + 110] = char(200);
        } else if (damage == "mark") {
            Put(index, 110, "\x05LM103");
        } else if (damage == "short-header") {
            index = index.left(100);
        } else if (damage == "count") {
            PutInt(index, 16, 2);
            index[second + 12] = 1;
        } else if (damage == "tail") {
            index.chop(192);
        }
        WriteIndexBytes(index);

        QCOMPARE(int(CheckIndexHealth(m_folder)), health);
        bool damaged = false;
        QCOMPARE(EnumerateLiveMessages(m_folder, &damaged).size(), listed);
        QCOMPARE(damaged, health != int(TIndexHealth::UnindexedTail));
        ReportCapture reports;
        QVERIFY(RepairFolder(m_folder));
        QCOMPARE(CheckIndexHealth(m_folder), TIndexHealth::Sound);
        QCOMPARE(CountMessages(m_folder.IndexFile, true), liveAfterRepair);
        QCOMPARE(Listed(m_folder).size(), liveAfterRepair);
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 1)->Flags == mfRead, readMarkKept);
        const QString recovery = RecoveryFileOf(m_folder);
        QCOMPARE(Content(recovery), recovered ? "From \r\n" + Message("c") : QByteArray());
        QCOMPARE(reports.Take().value(0).Id, recovered ? 95 : 0);
    }

    void recoveryFileGrowsAndIsPrivate()
    {
        Append(Message("a"));
        const QByteArray header = Content(m_folder.IndexFile).left(192);
        for (const QByteArray tail : {QByteArray("From \r\nSubject: torn"), QByteArray("From \r\nSub")}) {
            QFile file(m_folder.MessageFile);
            QVERIFY(file.open(QIODevice::Append));
            file.write(tail);
            file.close();
            ReportCapture reports;
            QVERIFY(RepairFolder(m_folder));
            QCOMPARE(reports.Take().size(), 1);
        }
        QCOMPARE(Content(RecoveryFileOf(m_folder)), "From \r\nSubject: tornFrom \r\nSub");
        QCOMPARE(ModeOf(RecoveryFileOf(m_folder)), 0600);
        QCOMPARE(Listed(m_folder).size(), 1);
        QCOMPARE(Content(m_folder.IndexFile).left(192), header);
    }

    // A message without a final line end must not swallow the separator of the next one.
    void messageWithoutFinalLineEndStaysApart()
    {
        QCOMPARE(Append(Message("first").chopped(2)), 1);
        QCOMPARE(Append(Message("second")), 2);
        QVERIFY(Content(m_folder.MessageFile).contains("Hello.\r\nFrom \r\n"));
        QVERIFY(RebuildIndex(m_folder));
        QCOMPARE(Listed(m_folder).size(), 2);
        QCOMPARE(ReadIndexRecord(m_folder.IndexFile, 2)->Subject, QByteArray("second"));
    }

    void createdFolderFilesArePrivate()
    {
        const TFolderFiles fresh = FolderFilesOf(m_dir.filePath(QStringLiteral("Fresh.mbx")));
        QVERIFY(CreateEmptyMessageFile(fresh.MessageFile));
        QVERIFY(CreateIndex(fresh.IndexFile));
        for (const QString& path : {fresh.MessageFile, fresh.IndexFile})
            QCOMPARE(ModeOf(path), 0600);
    }
};

QTEST_GUILESS_MAIN(TestFolderFiles)
#include "tst_folderfiles.moc"

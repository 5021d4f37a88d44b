// Crashes inside append, reorganize and spool import: lmtool is killed with SIGKILL at a named
// point (LUMARO_TEST_CRASH_AT), then the start-up check runs. The folder must be sound afterwards, no
// message lost, and an interrupted import finished by the next one holds every message exactly once.

#include "FolderSet.h"
#include "LmtoolRun.h"
#include "ReportCapture.h"
#include "SpoolFunctions.h"
#include "StoreTestSupport.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

namespace {

constexpr int MessageCount = 5;

QByteArray SubjectOf(int i)
{
    return "message " + QByteArray::number(i);
}

QProcessEnvironment CrashingAt(const QString& point)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMARO_TEST_CRASH_AT"), point);
    return environment;
}

QByteArrayList LiveSubjects(const TFolderFiles& folder)
{
    QByteArrayList subjects;
    for (const TFolderMessage& message : EnumerateLiveMessages(folder))
        subjects.append(message.Index.Subject);
    return subjects;
}

} // namespace

class TestStoreCrash : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static TFolderFiles Work() { return FolderPaths(QStringLiteral("Work")); }
    static TFolderFiles Inbox() { return SpecialFolderPaths(TSpecialFolder::Inbox); }

    QStringList WriteMessageFiles(const QString& dir, const QString& prefix)
    {
        QStringList paths;
        for (int i = 1; i <= MessageCount; ++i) {
            paths.append(QDir(dir).filePath(prefix + QString::number(i) + QStringLiteral(".eml")));
            WriteContent(paths.last(), Message(SubjectOf(i), "Line one.\r\nFrom here on the body.\r\n"));
        }
        return paths;
    }

    static void RunStartUpCheck()
    {
        ReportCapture reports;
        CheckAllFolders(ListFolders());
        reports.Take();
        for (const QString& name : ListFolders())
            QCOMPARE(CheckIndexHealth(FolderPaths(name)), TIndexHealth::Sound);
    }

    static void ExpectKilled(const TToolRun& run)
    {
        QVERIFY2(run.Crashed, run.Errors.constData());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetLanguage(0);
        UseDataDirectory(m_dir.path());
        QVERIFY(QDir().mkpath(Paths().Data.SpoolDir));
    }

    void init()
    {
        QDir(Paths().Data.MailDir).removeRecursively();
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        EmptyDirectory(Paths().Data.SpoolDir);
        RunStartUpCheck();
        QVERIFY(CreateFolderFiles(Work()));
    }

    void append_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<int>("killedIn");
        QTest::newRow("first message written, not indexed") << QStringLiteral("append-message-written@1") << 1;
        QTest::newRow("third message written, not indexed") << QStringLiteral("append-message-written@3") << 3;
        QTest::newRow("second message half written") << QStringLiteral("append-message-torn@2") << 2;
    }

    // The index record is the commit point: the message being appended is not in the folder but in
    // its recovery file, and the folder is sound.
    void append()
    {
        QFETCH(QString, point);
        QFETCH(int, killedIn);
        const QStringList files = WriteMessageFiles(m_dir.path(), QStringLiteral("m"));
        ExpectKilled(RunLmtool(QStringList{QStringLiteral("append"), Work().MessageFile} + files, CrashingAt(point)));
        RunStartUpCheck();
        QByteArrayList expected;
        for (int i = 1; i < killedIn; ++i)
            expected.append(SubjectOf(i));
        QCOMPARE(LiveSubjects(Work()), expected);
        const QByteArray recovered = Content(Work().MessageFile.chopped(4) + QStringLiteral(".recovered"));
        QVERIFY(recovered.startsWith("From \r\n"));
        QVERIFY(("From \r\n" + Content(files[killedIn - 1])).startsWith(recovered));
    }

    // What an interrupted append left is found by the next append, copy or import too, not only by
    // the start-up check: written behind, a torn leftover would swallow the next message at the next
    // rebuild, and a complete one would come back as a duplicate of a message that is still queued.
    void writeAfterLeftover_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("via");
        for (const char* via : {"append", "copy", "import"}) {
            QTest::addRow("torn leftover, %s", via) << QStringLiteral("append-message-torn@1") << QString::fromLatin1(via);
            QTest::addRow("complete leftover, %s", via) << QStringLiteral("append-message-written@1") << QString::fromLatin1(via);
        }
    }

    void writeAfterLeftover()
    {
        QFETCH(QString, point);
        QFETCH(QString, via);
        const QStringList files = WriteMessageFiles(m_dir.path(), QStringLiteral("m"));
        QVERIFY(CreateFolderFiles(Inbox()));
        QVERIFY(AppendMessageFile(Inbox(), files[0]) > 0);
        QVERIFY(AppendMessageFile(Inbox(), files[1]) > 0);
        ExpectKilled(RunLmtool({QStringLiteral("append"), Inbox().MessageFile, files[2]}, CrashingAt(point)));

        ReportCapture reports;
        if (via == QLatin1String("append")) {
            QVERIFY(AppendMessageFile(Inbox(), files[3]) > 0);
        } else if (via == QLatin1String("copy")) {
            QVERIFY(AppendMessageFile(Work(), files[3]) > 0);
            QList<TListEntry> entries = ListEntries(EnumerateLiveMessages(Work()));
            QVERIFY(CopyMessages(Work(), Inbox(), entries));
        } else {
            QVERIFY(QFile::copy(files[3], QDir(Paths().Data.SpoolDir).filePath(QStringLiteral("pop_1.eml"))));
            QCOMPARE(ImportSpool(Paths().Data.SpoolDir, Inbox()), 1);
        }
        const qsizetype reported = reports.Take().size();
        QCOMPARE(CheckIndexHealth(Inbox()), TIndexHealth::Sound);
        QVERIFY(RebuildIndex(Inbox()));
        QCOMPARE(LiveSubjects(Inbox()), (QByteArrayList{SubjectOf(1), SubjectOf(2), SubjectOf(4)}));
        const TIndexRecord last = EnumerateLiveMessages(Inbox()).last().Index;
        QCOMPARE(ReadRawMessage(Inbox().MessageFile, last.Offset, last.Length).value_or(QByteArray()), "From \r\n" + Content(files[3]));
        const QByteArray recovered = Content(Inbox().MessageFile.chopped(4) + QStringLiteral(".recovered"));
        QVERIFY(recovered.startsWith("From \r\n"));
        QVERIFY(("From \r\n" + Content(files[2])).startsWith(recovered));
        // The user learns where the leftover went.
        QCOMPARE(reported, 1);
    }

    void reorganize_data()
    {
        QTest::addColumn<QString>("point");
        QTest::newRow("new message file written") << QStringLiteral("reorganize-new-message-file");
        QTest::newRow("new index written") << QStringLiteral("reorganize-new-index-file");
        QTest::newRow("message file replaced") << QStringLiteral("reorganize-message-file-replaced");
    }

    void reorganize()
    {
        QFETCH(QString, point);
        for (const QString& file : WriteMessageFiles(m_dir.path(), QStringLiteral("m")))
            QVERIFY(AppendMessageFile(Work(), file) > 0);
        QVERIFY(MarkDeleted(Work().IndexFile, 2));
        QVERIFY(MarkDeleted(Work().IndexFile, 4));
        const QByteArray oldMessages = Content(Work().MessageFile);
        ExpectKilled(RunLmtool({QStringLiteral("reorganize"), Work().MessageFile}, CrashingAt(point)));
        RunStartUpCheck();

        QCOMPARE(LiveSubjects(Work()), (QByteArrayList{SubjectOf(1), SubjectOf(3), SubjectOf(5)}));
        const bool old = Content(Work().MessageFile) == oldMessages && CountMessages(Work().IndexFile, false) == 5;
        const bool compacted = CountMessages(Work().IndexFile, false) == 3;
        QVERIFY2(old || compacted, "neither the old nor the new folder");
        QCOMPARE(QDir(Paths().Data.MailDir).entryList({QStringLiteral("*.new")}, QDir::Files), QStringList());
    }

    void importSpool_data()
    {
        QTest::addColumn<QStringList>("points");
        const auto row = [](const char* name, const QStringList& points) { QTest::newRow(name) << points; };
        row("second message written, not indexed", {QStringLiteral("append-message-written@2")});
        row("second message half written", {QStringLiteral("append-message-torn@2")});
        row("third message journalled, not appended", {QStringLiteral("import-journaled@3")});
        row("third message imported, spool not cleared", {QStringLiteral("import-appended@3")});
        row("last message imported, spool not cleared", {QStringLiteral("import-appended@5")});
        row("first spool file deleted", {QStringLiteral("import-unlinked@1")});
        row("fourth spool file deleted", {QStringLiteral("import-unlinked@4")});
        row("twice: after an append, then at a deletion",
            {QStringLiteral("import-appended@2"), QStringLiteral("import-unlinked@2")});
        row("twice: after the journal, then after an append",
            {QStringLiteral("import-journaled@4"), QStringLiteral("import-appended@1")});
    }

    void importSpool()
    {
        QFETCH(QStringList, points);
        WriteMessageFiles(Paths().Data.SpoolDir, QStringLiteral("pop_"));
        for (const QString& point : points) {
            ExpectKilled(RunLmtool({QStringLiteral("import-spool"), m_dir.path()}, CrashingAt(point)));
            RunStartUpCheck();
        }
        // The next receive imports what is left, as the main client does before it empties the spool.
        ReportCapture reports;
        ImportSpool(Paths().Data.SpoolDir, Inbox());
        QVERIFY(!SpoolHasMail(Paths().Data.SpoolDir));
        QByteArrayList subjects = LiveSubjects(Inbox());
        std::sort(subjects.begin(), subjects.end());
        QByteArrayList expected;
        for (int i = 1; i <= MessageCount; ++i)
            expected.append(SubjectOf(i));
        QCOMPARE(subjects, expected);
        QCOMPARE(CheckIndexHealth(Inbox()), TIndexHealth::Sound);
        const QStringList left = QDir(Paths().Data.SpoolDir).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList());
        // Recovered tails are what the crashes cut off, never a message that is missing.
        reports.Take();
    }
};

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "tst_storecrash.moc"

// Crashes inside append, reorganize and spool import: lmtool is killed with SIGKILL at a named
// point (LUMARO_TEST_CRASH_AT), then the start-up check runs. The folder must be sound afterwards and
// no message lost; after an interrupted import, duplicates are allowed.

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
        QTest::addColumn<int>("kept");
        QTest::newRow("first message written, not indexed") << QStringLiteral("append-message-written@1") << 1;
        QTest::newRow("third message written, not indexed") << QStringLiteral("append-message-written@3") << 3;
    }

    void append()
    {
        QFETCH(QString, point);
        QFETCH(int, kept);
        const QStringList files = WriteMessageFiles(m_dir.path(), QStringLiteral("m"));
        ExpectKilled(RunLmtool(QStringList{QStringLiteral("append"), Work().MessageFile} + files, CrashingAt(point)));
        RunStartUpCheck();
        QByteArrayList expected;
        for (int i = 1; i <= kept; ++i)
            expected.append(SubjectOf(i));
        QCOMPARE(LiveSubjects(Work()), expected);
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
        QTest::addColumn<QString>("point");
        QTest::newRow("second message written, not indexed") << QStringLiteral("append-message-written@2");
        QTest::newRow("third message imported, spool not cleared") << QStringLiteral("import-appended@3");
        QTest::newRow("last message imported, spool not cleared") << QStringLiteral("import-appended@5");
    }

    void importSpool()
    {
        QFETCH(QString, point);
        WriteMessageFiles(Paths().Data.SpoolDir, QStringLiteral("pop_"));
        ExpectKilled(RunLmtool({QStringLiteral("import-spool"), m_dir.path()}, CrashingAt(point)));
        RunStartUpCheck();
        // The next receive imports what is left, as the main client does before it empties the spool.
        ReportCapture reports;
        QVERIFY(ImportSpool(Paths().Data.SpoolDir, Inbox()) > 0);
        QVERIFY(!SpoolHasMail(Paths().Data.SpoolDir));
        const QByteArrayList subjects = LiveSubjects(Inbox());
        for (int i = 1; i <= MessageCount; ++i)
            QVERIFY2(subjects.contains(SubjectOf(i)), SubjectOf(i).constData());
        QCOMPARE(CheckIndexHealth(Inbox()), TIndexHealth::Sound);
    }
};

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "tst_storecrash.moc"

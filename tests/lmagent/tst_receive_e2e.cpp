// The built agent receiving from Dovecot: what it leaves in the spool, in the check file and on
// the server, over several runs.

#include "AgentFixture.h"
#include "CheckFile.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

const char* const Date1 = "Mon, 9 Mar 2026 10:00:00 +0100";

QByteArrayList ThreeMessages()
{
    return {TestMessage("<one@example.org>", Date1, "first\r\n.leading dot\r\n..two dots"),
            TestMessage("<two@example.org>", Date1, "Gr\xc3\xbc\xc3\x9f" "e \xe4\xf6\xfc"),
            TestMessage("<three@example.org>", "Tue, 10 Mar 2026 08:00:00 +0100", "third")};
}

QByteArrayList Sorted(QByteArrayList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestReceiveEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void deletesWhatItSpooled();
    void keepsForEver();
    void deletesAfterDays();
    void forgetsMessagesDeletedMeanwhile();
    void twoMessagesWithOneKey();
    void wrongPassword();
    void badJobs_data();
    void badJobs();
    void debugModeKeepsTheJob();
    void unwritableSpoolLosesNothing();
    void killedRunLosesAndRepeatsNothing_data();
    void killedRunLosesAndRepeatsNothing();
    void killedAtPointsLosesAndRepeatsNothing_data();
    void killedAtPointsLosesAndRepeatsNothing();
    void spoolAndCheckFilesArePrivate();
    void pipelinesAndSkipsTopForKnownMessages();

private:
    TAgentJob Job(bool keep, int deleteDays = 0) const;
    QStringList Spool() const { return AgentInstallation::EmlFiles(m_agent->SpoolDir()); }
    QByteArrayList SpoolContents() const { return AgentInstallation::Contents(Spool()); }
    void EmptySpool() const;
    QString CheckFile() const;
    TCheckList CheckLines() const { return ReadCheckFile(CheckFile()); }
    void RunOk(const QString& today = {});
    void RunKilledAt(const QString& point);

    Pop3Mailbox m_mailbox;
    std::unique_ptr<AgentInstallation> m_agent;
};

void TestReceiveEndToEnd::initTestCase()
{
    const QString error = m_mailbox.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestReceiveEndToEnd::init()
{
    m_agent = std::make_unique<AgentInstallation>();
    QVERIFY(m_agent->IsReady());
    m_mailbox.SetMessages(ThreeMessages());
}

void TestReceiveEndToEnd::cleanup()
{
    m_agent.reset();
}

TAgentJob TestReceiveEndToEnd::Job(bool keep, int deleteDays) const
{
    TAgentJob job;
    job.Action = "POP3";
    job.AccountName = "Test";
    job.Server = m_mailbox.Address();
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = keep;
    job.CheckMails = deleteDays > 0;
    job.DeleteDays = deleteDays;
    // The test mailbox offers no TLS.
    job.Security = TqmSecurity::secNone;
    return job;
}

void TestReceiveEndToEnd::EmptySpool() const
{
    for (const QString& file : Spool())
        QFile::remove(file);
}

QString TestReceiveEndToEnd::CheckFile() const
{
    return CheckFileName(m_agent->MailDir(), m_mailbox.Address(), "alice");
}

void TestReceiveEndToEnd::RunOk(const QString& today)
{
    const AgentResult result = m_agent->Run(today);
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!QFile::exists(m_agent->JobFile()));
}

void TestReceiveEndToEnd::deletesWhatItSpooled()
{
    QVERIFY(m_agent->WriteJob(Job(false)));
    RunOk();
    QCOMPARE(SpoolContents(), ThreeMessages());
    for (const QString& file : Spool())
        QVERIFY2(QFileInfo(file).fileName().startsWith(QLatin1String("pop_")), qPrintable(file));
    QVERIFY(m_mailbox.Messages().isEmpty());
    QVERIFY(CheckLines().isEmpty());
}

void TestReceiveEndToEnd::keepsForEver()
{
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), ThreeMessages());
    QCOMPARE(CheckLines().size(), 3);
    QVERIFY(CheckLines().at(0).DeleteOn.isEmpty());
    EmptySpool();

    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk(QStringLiteral("2030-01-01"));
    QVERIFY(Spool().isEmpty());
    QCOMPARE(m_mailbox.Messages().size(), 3);

    const QByteArray fourth = TestMessage("<four@example.org>", Date1, "fourth");
    m_mailbox.AddMessage(fourth);
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), QByteArrayList{fourth});
    QCOMPARE(CheckLines().size(), 4);
}

void TestReceiveEndToEnd::deletesAfterDays()
{
    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-10"));
    QCOMPARE(Spool().size(), 3);
    QCOMPARE(CheckLines().at(0).DeleteOn, FormatDeletionDay(QDate(2026, 3, 13)));
    EmptySpool();

    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-12"));
    QCOMPARE(m_mailbox.Messages().size(), 3);
    QCOMPARE(CheckLines().size(), 3);

    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-13"));
    QVERIFY(m_mailbox.Messages().isEmpty());
    QVERIFY(CheckLines().isEmpty());
    QVERIFY(Spool().isEmpty());
}

void TestReceiveEndToEnd::forgetsMessagesDeletedMeanwhile()
{
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    EmptySpool();
    m_mailbox.RemoveMessage(1);
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QVERIFY(Spool().isEmpty());
    const TCheckList lines = CheckLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).MessageId, QByteArray("<one@example.org>"));
    QCOMPARE(lines.at(1).MessageId, QByteArray("<three@example.org>"));
}

void TestReceiveEndToEnd::twoMessagesWithOneKey()
{
    const QByteArrayList messages{TestMessage("<same@example.org>", Date1, "copy one"),
                                  TestMessage("<same@example.org>", Date1, "copy two"),
                                  TestMessage("", "", "no id, no date"), TestMessage("", "", "another without")};
    m_mailbox.SetMessages(messages);
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), messages);
    EmptySpool();
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QVERIFY(Spool().isEmpty());

    const QByteArray late = TestMessage("", "", "arrived later");
    m_mailbox.AddMessage(late);
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), QByteArrayList{late});
}

void TestReceiveEndToEnd::wrongPassword()
{
    TAgentJob job = Job(false);
    job.Password = "wrong";
    QVERIFY(m_agent->WriteJob(job));
    const AgentResult result = m_agent->Run();
    QCOMPARE(result.ExitCode, 1);
    // Asked once (the unattended run answers with Cancel), then told in German, quoting the server.
    QCOMPARE(result.Errors.count("password for alice"), 1);
    QVERIFY2(result.Errors.contains(" Fehler: 127.0.0.1 hat die Anmeldung abgelehnt")
                 && result.Errors.contains("Antwort des Servers: -ERR"),
             result.Errors.constData());
    QVERIFY(!QFile::exists(m_agent->JobFile()));
    // The reason waits for the main client's report.
    QVERIFY(TakeJobFailure(JobFailureFile(m_agent->JobFile())).contains(QLatin1String("Antwort des Servers: -ERR")));
    QVERIFY(Spool().isEmpty());
    QCOMPARE(m_mailbox.Messages().size(), 3);
}

void TestReceiveEndToEnd::badJobs_data()
{
    QTest::addColumn<QByteArray>("jobText");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("lower-case action") << QByteArray("[Main]\r\nAction=pop3\r\nServer=%SERVER%\r\n[User]\r\nUsername=alice\r\nPassword=secret\r\n") << 0;
    QTest::newRow("unknown action") << QByteArray("[Main]\r\nAction=IMAP\r\n") << 0;
    QTest::newRow("empty server") << QByteArray("[Main]\r\nAction=POP3\r\nServer=\r\n[User]\r\nUsername=alice\r\nPassword=secret\r\n") << 1;
    QTest::newRow("garbage numbers")
        << QByteArray("[Main]\r\nAction=POP3\r\nServer=%SERVER%\r\nKeepMails=yes please\r\nDeleteDays=99999999999\r\n"
                      "Security=none\r\n[User]\r\nUsername=alice\r\nPassword=secret\r\n") << 0;
    // The test mailbox offers no TLS, and a job without Security means "auto".
    QTest::newRow("no security: no log-in in clear")
        << QByteArray("[Main]\r\nAction=POP3\r\nServer=%SERVER%\r\n[User]\r\nUsername=alice\r\nPassword=secret\r\n") << 1;
    QTest::newRow("not a job") << QByteArray("\x00\x01\xff garbage", 12) << 0;
}

void TestReceiveEndToEnd::badJobs()
{
    QFETCH(QByteArray, jobText);
    QFETCH(int, exitCode);
    QFile file(m_agent->JobFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(jobText).replace("%SERVER%", m_mailbox.Address()));
    file.close();
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == exitCode, result.Errors.constData());
    QVERIFY(!QFile::exists(m_agent->JobFile()));
    const bool received = QByteArray(QTest::currentDataTag()) == "garbage numbers";
    QCOMPARE(SpoolContents(), received ? ThreeMessages() : QByteArrayList());
    QCOMPARE(m_mailbox.Messages().size(), received ? 0 : 3);
}

void TestReceiveEndToEnd::debugModeKeepsTheJob()
{
    m_agent->SetGeneral(QStringLiteral("DebugMode"), 1);
    QVERIFY(m_agent->WriteJob(Job(true)));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(QFile::exists(m_agent->JobFile()));
    QCOMPARE(Spool().size(), 3);
}

void TestReceiveEndToEnd::unwritableSpoolLosesNothing()
{
    QDir(m_agent->DataDir()).mkpath(QStringLiteral("."));
    QFile blocker(m_agent->SpoolDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(m_agent->WriteJob(Job(false)));
    const AgentResult result = m_agent->Run();
    QCOMPARE(result.Errors.count("report 16:"), 3);
    QCOMPARE(result.ExitCode, 0);
    QCOMPARE(m_mailbox.Messages(), ThreeMessages());
    QVERIFY(CheckLines().isEmpty());
}

// Killed from outside once 60 messages are in the spool, or inside the rename of a later group,
// which runs beside the download of the messages after it.
void TestReceiveEndToEnd::killedRunLosesAndRepeatsNothing_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("point");
    QTest::newRow("deleting") << false << QString();
    QTest::newRow("keeping") << true << QString();
    QTest::newRow("deleting, renaming a later group") << false << QStringLiteral("receive-renamed@100");
    QTest::newRow("keeping, renaming a later group") << true << QStringLiteral("receive-renamed@100");
}

void TestReceiveEndToEnd::killedRunLosesAndRepeatsNothing()
{
    QFETCH(bool, keep);
    QFETCH(QString, point);
    QByteArrayList messages;
    const QByteArray filler = QByteArray(70, 'x') + "\r\n";
    for (int i = 0; i < 300; ++i)
        messages.append(TestMessage("<m" + QByteArray::number(i) + "@example.org>", Date1, filler.repeated(400)));
    m_mailbox.SetMessages(messages);
    QVERIFY(m_agent->WriteJob(Job(keep)));

    if (point.isEmpty()) {
        QProcess process;
        process.setProcessEnvironment(m_agent->Environment({}));
        process.start(m_agent->Program(), {});
        QTRY_VERIFY_WITH_TIMEOUT(Spool().size() >= 60 || process.state() == QProcess::NotRunning, 60000);
        QVERIFY2(process.state() != QProcess::NotRunning, "the run ended before it could be killed");
        process.kill();
        process.waitForFinished();
    } else {
        RunKilledAt(point);
    }
    const int firstRun = int(Spool().size());
    QVERIFY(firstRun < messages.size());

    QVERIFY(m_agent->WriteJob(Job(keep)));
    RunOk();
    QCOMPARE(Sorted(SpoolContents()), Sorted(messages));
    QCOMPARE(m_mailbox.Messages().size(), keep ? messages.size() : 0);
    QCOMPARE(CheckLines().size(), keep ? messages.size() : 0);
}

void TestReceiveEndToEnd::RunKilledAt(const QString& point)
{
    QProcess process;
    QProcessEnvironment environment = m_agent->Environment({});
    environment.insert(QStringLiteral("LUMARO_TEST_CRASH_AT"), point);
    process.setProcessEnvironment(environment);
    process.start(m_agent->Program(), {});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitStatus() == QProcess::CrashExit, process.readAllStandardError().constData());
}

// Runs killed at chosen points, one after the other, then one run to the end: every message is in
// the spool exactly once, and the server and the check file are as after one clean run.
void TestReceiveEndToEnd::killedAtPointsLosesAndRepeatsNothing_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QStringList>("points");
    for (const bool keep : {false, true}) {
        const auto row = [keep](const char* name, const QStringList& points) {
            QTest::addRow("%s, %s", keep ? "keeping" : "deleting", name) << keep << points;
        };
        row("unfinished file written", {QStringLiteral("receive-part-written@2")});
        row("at the check-file line", {QStringLiteral("receive-line-written@1")});
        row("between two messages", {QStringLiteral("receive-line-written@2")});
        row("at the rename", {QStringLiteral("receive-renamed@2")});
        row("after the last rename", {QStringLiteral("receive-renamed@3")});
        // The second run settles the first one's marked line and dies before removing its file.
        row("twice, while settling",
            {QStringLiteral("receive-line-written@1"), QStringLiteral("receive-settled")});
        row("twice at the check-file line",
            {QStringLiteral("receive-line-written@2"), QStringLiteral("receive-line-written@1")});
    }
}

void TestReceiveEndToEnd::killedAtPointsLosesAndRepeatsNothing()
{
    QFETCH(bool, keep);
    QFETCH(QStringList, points);
    for (const QString& point : std::as_const(points)) {
        QVERIFY(m_agent->WriteJob(Job(keep)));
        RunKilledAt(point);
    }
    QVERIFY(m_agent->WriteJob(Job(keep)));
    RunOk();
    QCOMPARE(Sorted(SpoolContents()), Sorted(ThreeMessages()));
    QCOMPARE(m_mailbox.Messages().size(), keep ? 3 : 0);
    QCOMPARE(CheckLines().size(), keep ? 3 : 0);
    QCOMPARE(QDir(m_agent->SpoolDir()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
}

void TestReceiveEndToEnd::spoolAndCheckFilesArePrivate()
{
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    for (const QString& file : Spool() + QStringList{CheckFile()})
        QCOMPARE(QFile::permissions(file) & 0x7077, ownerOnly);
    for (const QString& dir : {m_agent->SpoolDir(), m_agent->MailDir()})
        QCOMPARE(QFile::permissions(dir) & 0x7077, ownerOnly | QFileDevice::ExeOwner);
}

// Dovecot lists PIPELINING: the commands of a window leave before the first reply to them, which is
// also what the kill tests above interrupt. A message whose unique id the check file records is
// planned without its header lines: a run that finds one new message sends one TOP.
void TestReceiveEndToEnd::pipelinesAndSkipsTopForKnownMessages()
{
    m_agent->SetGeneral(QStringLiteral("LogActive"), 1);
    const auto logLines = [this] {
        QFile log(m_agent->DataDir() + QLatin1String("/logfile.txt"));
        return log.open(QIODevice::ReadOnly) ? log.readAll().split('\n') : QByteArrayList();
    };
    const auto topLines = [](const QByteArrayList& log) {
        QByteArrayList tops;
        for (const QByteArray& line : log)
            if (line.startsWith("TOP "))
                tops.append(line);
        return tops;
    };
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), ThreeMessages());
    QByteArrayList log = logLines();
    QVERIFY(log.contains("CAPA"));
    const qsizetype firstRetr = log.indexOf("RETR 1");
    QVERIFY2(firstRetr >= 0, log.join('\n').constData());
    QCOMPARE(log.mid(firstRetr, 3), (QByteArrayList{"RETR 1", "RETR 2", "RETR 3"}));
    const qsizetype firstTop = log.indexOf("TOP 1 1");
    QVERIFY(firstTop >= 0);
    QCOMPARE(log.mid(firstTop, 3), (QByteArrayList{"TOP 1 1", "TOP 2 1", "TOP 3 1"}));
    for (const TCheckLine& line : CheckLines())
        QVERIFY(!line.Uidl.isEmpty());
    EmptySpool();

    const QByteArray fourth = TestMessage("<four@example.org>", Date1, "fourth");
    m_mailbox.AddMessage(fourth);
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), QByteArrayList{fourth});
    QCOMPARE(topLines(logLines()), QByteArrayList{"TOP 4 1"});
    QCOMPARE(CheckLines().size(), 4);
    EmptySpool();

    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QVERIFY(Spool().isEmpty());
    QCOMPARE(topLines(logLines()), QByteArrayList());
    QCOMPARE(m_mailbox.Messages().size(), 4);
}

QTEST_GUILESS_MAIN(TestReceiveEndToEnd)
#include "tst_receive_e2e.moc"

// The built agent receiving over IMAP from Dovecot requiring TLS: the inbox and a second folder,
// keeping and deleting by days, a folder recreated with another UIDVALIDITY, and runs killed at
// every crash point of the receive path, which must neither lose nor repeat a message.

#include "AgentFixture.h"
#include "CheckFile.h"
#include "FilterFunctions.h"
#include "TestServers.h"
#include "qmimap.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

const char* const Date1 = "Mon, 9 Mar 2026 10:00:00 +0100";
const QString Drafts = QStringLiteral("Entwürfe");

QByteArrayList InboxMessages()
{
    return {TestMessage("<one@example.org>", Date1, "first\r\n.leading dot"),
            TestMessage("<two@example.org>", Date1, "Gr\xc3\xbc\xc3\x9f" "e"),
            TestMessage("<three@example.org>", "Tue, 10 Mar 2026 08:00:00 +0100", "third")};
}

QByteArray DraftMessage(int n)
{
    return TestMessage("<draft" + QByteArray::number(n) + "@example.org>", Date1, "draft " + QByteArray::number(n));
}

QByteArrayList Sorted(QByteArrayList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestImapReceiveEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void deletesWhatItSpooledFromTwoFolders();
    void keepsThenDeletesAfterDays();
    void marksFetchedMailReadWhenAsked();
    void recreatedFolderRepeatsNothing();
    void killedAtPointsLosesAndRepeatsNothing_data();
    void killedAtPointsLosesAndRepeatsNothing();
    void sentCopyWaitsThenLandsInSent();
    void serverRulesDecideFromTheEnvelope();

private:
    TAgentJob Job(bool keep, int deleteDays = 0) const;
    QStringList Spool() const { return AgentInstallation::EmlFiles(m_agent->SpoolDir()); }
    QByteArrayList SpoolContents() const { return AgentInstallation::Contents(Spool()); }
    void EmptySpool() const;
    TCheckList CheckLines() const
    {
        return ReadCheckFile(CheckFileName(m_agent->MailDir(), Job(false).Server, "alice"));
    }
    void RunOk(const QString& today = {});
    void RunKilledAt(const QString& point);
    // The server side, through the client under test's own library.
    void Connect(TqmIMAP& imap) const;
    void ResetServer();
    QByteArrayList ServerMessages(const QString& folder, QList<QByteArrayList>* flags = nullptr);

    QTemporaryDir m_certificates;
    QTemporaryDir m_smtpReceived;
    TestServer m_server;
    TestServer m_smtp;
    std::unique_ptr<AgentInstallation> m_agent;
};

void TestImapReceiveEndToEnd::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_server.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_smtp.StartSmtp(m_smtpReceived.path(), QStringLiteral("alice"), QStringLiteral("secret"), {});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestImapReceiveEndToEnd::Connect(TqmIMAP& imap) const
{
    imap.Server = m_server.TlsAddress(m_server.TlsPort());
    imap.Security = TqmSecurity::secTls;
    imap.UserName = "alice";
    imap.Password = "secret";
    imap.SetTimeOut(20);
    imap.OpenConnection();
}

void TestImapReceiveEndToEnd::ResetServer()
{
    TqmIMAP imap;
    Connect(imap);
    imap.Select(QStringLiteral("INBOX"));
    imap.DeleteMessages(imap.SearchUids());
    const QList<TqmImapFolder> folders = imap.ListFolders();
    if (std::any_of(folders.begin(), folders.end(), [](const TqmImapFolder& f) { return f.Name == Drafts; }))
        imap.DeleteFolder(Drafts);
    imap.CreateFolder(Drafts);
    for (const QByteArray& message : InboxMessages())
        imap.Append(QStringLiteral("INBOX"), message, {});
    imap.Append(Drafts, DraftMessage(1), {});
    imap.CloseConnection();
}

QByteArrayList TestImapReceiveEndToEnd::ServerMessages(const QString& folder, QList<QByteArrayList>* flags)
{
    TqmIMAP imap;
    Connect(imap);
    imap.Select(folder, true);
    const QList<quint32> uids = imap.SearchUids();
    QByteArrayList bodies;
    for (const TqmImapMessageInfo& info : imap.FetchInfo(uids)) {
        bodies.append(info.Headers.GetFieldBody("Message-Id"));
        if (flags)
            flags->append(info.Flags);
    }
    imap.CloseConnection();
    return bodies;
}

void TestImapReceiveEndToEnd::init()
{
    m_agent = std::make_unique<AgentInstallation>();
    QVERIFY(m_agent->IsReady());
    ResetServer();
}

void TestImapReceiveEndToEnd::cleanup()
{
    m_agent.reset();
}

TAgentJob TestImapReceiveEndToEnd::Job(bool keep, int deleteDays) const
{
    TAgentJob job;
    job.Action = "IMAP";
    job.AccountName = "Test";
    job.Server = m_server.TlsAddress(m_server.TlsPort());
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = keep;
    job.CheckMails = deleteDays > 0;
    job.DeleteDays = deleteDays;
    job.Security = TqmSecurity::secTls;
    job.Folders = {Drafts.toUtf8()};
    return job;
}

void TestImapReceiveEndToEnd::EmptySpool() const
{
    for (const QString& file : Spool())
        QFile::remove(file);
}

void TestImapReceiveEndToEnd::RunOk(const QString& today)
{
    const AgentResult result = m_agent->Run(today);
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!QFile::exists(m_agent->JobFile()));
}

void TestImapReceiveEndToEnd::RunKilledAt(const QString& point)
{
    QProcess process;
    QProcessEnvironment environment = m_agent->Environment({});
    environment.insert(QStringLiteral("LUMARO_TEST_CRASH_AT"), point);
    process.setProcessEnvironment(environment);
    process.start(m_agent->Program(), {});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitStatus() == QProcess::CrashExit, process.readAllStandardError().constData());
}

void TestImapReceiveEndToEnd::deletesWhatItSpooledFromTwoFolders()
{
    QVERIFY(m_agent->WriteJob(Job(false)));
    RunOk();
    QCOMPARE(Sorted(SpoolContents()), Sorted(InboxMessages() + QByteArrayList{DraftMessage(1)}));
    for (const QString& file : Spool())
        QVERIFY2(QFileInfo(file).fileName().startsWith(QLatin1String("imap_")), qPrintable(file));
    QCOMPARE(ServerMessages(QStringLiteral("INBOX")), QByteArrayList());
    QCOMPARE(ServerMessages(Drafts), QByteArrayList());
    QVERIFY(CheckLines().isEmpty());
}

void TestImapReceiveEndToEnd::keepsThenDeletesAfterDays()
{
    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-10"));
    QCOMPARE(Sorted(SpoolContents()), Sorted(InboxMessages() + QByteArrayList{DraftMessage(1)}));
    QCOMPARE(CheckLines().size(), 4);
    for (const TCheckLine& line : CheckLines())
        QVERIFY2(line.Uidl.contains(";UIDVALIDITY="), line.Uidl.constData());
    // BODY.PEEK[]: what the agent fetched is still unread on the server.
    QList<QByteArrayList> flags;
    QCOMPARE(ServerMessages(QStringLiteral("INBOX"), &flags).size(), 3);
    for (const QByteArrayList& messageFlags : std::as_const(flags))
        QVERIFY(!messageFlags.contains("\\Seen"));
    EmptySpool();

    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-12"));
    QVERIFY(Spool().isEmpty());
    QCOMPARE(ServerMessages(QStringLiteral("INBOX")).size(), 3);

    QVERIFY(m_agent->WriteJob(Job(true, 3)));
    RunOk(QStringLiteral("2026-03-14"));
    QVERIFY(Spool().isEmpty());
    QCOMPARE(ServerMessages(QStringLiteral("INBOX")), QByteArrayList());
    QCOMPARE(ServerMessages(Drafts), QByteArrayList());
    QVERIFY(CheckLines().isEmpty());
}

// Asked to, the agent marks what it fetched and keeps as read; a second run fetches nothing again.
void TestImapReceiveEndToEnd::marksFetchedMailReadWhenAsked()
{
    TAgentJob job = Job(true);
    job.MarkRead = true;
    QVERIFY(m_agent->WriteJob(job));
    RunOk();
    QCOMPARE(Spool().size(), 4);
    for (const QString& folder : {QStringLiteral("INBOX"), Drafts}) {
        QList<QByteArrayList> flags;
        QVERIFY(!ServerMessages(folder, &flags).isEmpty());
        for (const QByteArrayList& messageFlags : std::as_const(flags))
            QVERIFY2(messageFlags.contains("\\Seen"), qPrintable(folder));
    }
    EmptySpool();
    QVERIFY(m_agent->WriteJob(job));
    RunOk();
    QVERIFY(Spool().isEmpty());
}

// A folder deleted and made again gets a new UIDVALIDITY: its messages are found again by
// Message-ID and Date, and only the really new one is fetched.
void TestImapReceiveEndToEnd::recreatedFolderRepeatsNothing()
{
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(Spool().size(), 4);
    EmptySpool();
    const QByteArray oldKey = CheckLines().constLast().Uidl;
    {
        TqmIMAP imap;
        Connect(imap);
        imap.DeleteFolder(Drafts);
        imap.CreateFolder(Drafts);
        imap.Append(Drafts, DraftMessage(1), {});
        imap.Append(Drafts, DraftMessage(2), {});
        imap.CloseConnection();
    }
    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), QByteArrayList{DraftMessage(2)});
    const TCheckList lines = CheckLines();
    QCOMPARE(lines.size(), 5);
    QByteArrayList keys;
    for (const TCheckLine& line : lines)
        keys.append(line.Uidl);
    QVERIFY(!keys.contains(oldKey));

    QVERIFY(m_agent->WriteJob(Job(true)));
    RunOk();
    QCOMPARE(SpoolContents(), QByteArrayList{DraftMessage(2)});
}

void TestImapReceiveEndToEnd::killedAtPointsLosesAndRepeatsNothing_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QStringList>("points");
    for (const bool keep : {false, true}) {
        const auto row = [keep](const char* name, const QStringList& points) {
            QTest::addRow("%s, %s", keep ? "keeping" : "deleting", name) << keep << points;
        };
        row("unfinished file written", {QStringLiteral("receive-part-written@2")});
        row("at the check-file line", {QStringLiteral("receive-line-written@1")});
        row("at the rename", {QStringLiteral("receive-renamed@2")});
        row("after the inbox's last rename", {QStringLiteral("receive-renamed@3")});
        row("after the second folder's rename", {QStringLiteral("receive-renamed@4")});
        row("twice, while settling", {QStringLiteral("receive-line-written@1"), QStringLiteral("receive-settled")});
    }
}

void TestImapReceiveEndToEnd::killedAtPointsLosesAndRepeatsNothing()
{
    QFETCH(bool, keep);
    QFETCH(QStringList, points);
    for (const QString& point : std::as_const(points)) {
        QVERIFY(m_agent->WriteJob(Job(keep)));
        RunKilledAt(point);
    }
    QVERIFY(m_agent->WriteJob(Job(keep)));
    RunOk();
    QCOMPARE(Sorted(SpoolContents()), Sorted(InboxMessages() + QByteArrayList{DraftMessage(1)}));
    QCOMPARE(ServerMessages(QStringLiteral("INBOX")).size(), keep ? 3 : 0);
    QCOMPARE(ServerMessages(Drafts).size(), keep ? 1 : 0);
    QCOMPARE(CheckLines().size(), keep ? 4 : 0);
    QCOMPARE(QDir(m_agent->SpoolDir()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
}

// The SMTP server takes the message; the copy waits while the IMAP server refuses the log-in, and
// the next send run (with nothing else to send) stores it in Sent, marked read.
void TestImapReceiveEndToEnd::sentCopyWaitsThenLandsInSent()
{
    QVERIFY(QDir().mkpath(m_agent->QueueDir()));
    const QByteArray message = TestMessage("<sent@example.org>", Date1, "sent text");
    QFile queued(m_agent->QueueDir() + QStringLiteral("/m1.eml"));
    QVERIFY(queued.open(QIODevice::WriteOnly) && queued.write(message) == message.size());
    queued.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.AccountName = "Test";
    job.Server = m_smtp.Address();
    job.Security = TqmSecurity::secNone;
    job.SentCopy = {Job(false).Server, "alice", "wrong", TqmSecurity::secTls, {}, {}};
    QVERIFY(m_agent->WriteJob(job));
    RunOk();
    QVERIFY(!queued.exists());
    const QString copies = m_agent->QueueDir() + QStringLiteral("/SentCopies/Test");
    QCOMPARE(QDir(copies).entryList(QDir::Files).size(), 1);
    QCOMPARE(ServerMessages(QStringLiteral("Sent")), QByteArrayList());

    job.SentCopy.Password = "secret";
    QVERIFY(m_agent->WriteJob(job));
    RunOk();
    QList<QByteArrayList> flags;
    QCOMPARE(ServerMessages(QStringLiteral("Sent"), &flags), QByteArrayList{"<sent@example.org>"});
    QVERIFY(flags.first().contains("\\Seen"));
    QCOMPARE(QDir(copies).entryList(QDir::Files), QStringList());
}

// The user's delete and keep rules act on the server from ENVELOPE and RFC822.SIZE: neither
// message is downloaded, the one is deleted and the other stays.
void TestImapReceiveEndToEnd::serverRulesDecideFromTheEnvelope()
{
    QVERIFY(SaveFilterRules(m_agent->DataDir() + QStringLiteral("/filter.ldb"),
                            {"-SUBJECT: \"lottery\" -DELETE", "-LARGER THAN: \"20\" -KEEP"}));
    const QByteArray lottery = "From: luck@example.net\r\nSubject: You won the lottery\r\nMessage-ID: <win@example.net>\r\n\r\nx\r\n";
    const QByteArray large = "From: big@example.net\r\nSubject: large\r\nMessage-ID: <large@example.net>\r\n\r\n"
                             + (QByteArray(70, 'y') + "\r\n").repeated(500);
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Append(QStringLiteral("INBOX"), lottery, {});
        imap.Append(QStringLiteral("INBOX"), large, {});
        imap.CloseConnection();
    }
    QVERIFY(m_agent->WriteJob(Job(false)));
    RunOk();
    QCOMPARE(Sorted(SpoolContents()), Sorted(InboxMessages() + QByteArrayList{DraftMessage(1)}));
    QCOMPARE(ServerMessages(QStringLiteral("INBOX")), QByteArrayList{"<large@example.net>"});
}

QTEST_GUILESS_MAIN(TestImapReceiveEndToEnd)
#include "tst_imapreceive_e2e.moc"

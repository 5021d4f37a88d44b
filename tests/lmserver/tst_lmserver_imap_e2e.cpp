// The server manager on an IMAP account against Dovecot requiring TLS: the inbox and a ticked folder
// listed from ENVELOPE and RFC822.SIZE, fetching, deleting and fetching-and-deleting by UID folder by
// folder, a message another client removed meanwhile, a folder recreated meanwhile, a ticked folder
// the server lacks, a quick connection over IMAP, and the agent's next receive, which fetches
// nothing the manager took.

#include "AgentFixture.h"
#include "CheckFile.h"
#include "ConnectPlan.h"
#include "LmserverTexts.h"
#include "DBAccountsFunctions.h"
#include "ServerManager.h"
#include "SharedFunctions.h"
#include "TableMarks.h"
#include "TestServers.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTest>

#include <algorithm>

namespace {

QByteArray MessageNumber(int n)
{
    const QByteArray number = QByteArray::number(n);
    return "From: Sender " + number + " <s" + number + "@example.org>\r\nTo: alice@example.org\r\nSubject: Message " + number
           + "\r\nDate: Mon, 2 Mar 2026 10:0" + number + ":00 +0100\r\nMessage-ID: <" + number
           + "@example.org>\r\n\r\nBody of message " + number + "\r\n";
}

} // namespace

class TestLmserverImap : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetLanguage(2);
        QString error = TestServer::MakeCertificates(m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = m_server.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        m_agent = std::make_unique<AgentInstallation>();
        QVERIFY(m_agent->IsReady());
        // This process works in the agent's installation, as the server manager started beside it.
        m_registry = qgetenv("LUMARO_REGISTRY");
        qputenv("LUMARO_REGISTRY", QFile::encodeName(m_agent->RegistryFile()));
        InitProgramForActiveUser(m_agent->Program());
        m_statuses.clear();
        CreateAccount();
        TqmIMAP imap;
        Connect(imap);
        imap.Select(QStringLiteral("INBOX"));
        imap.DeleteMessages(imap.SearchUids());
        for (int n = 1; n <= 3; ++n)
            imap.Append(QStringLiteral("INBOX"), MessageNumber(n), {});
        for (const TqmImapFolder& folder : imap.ListFolders())
            if (folder.Name == Drafts)
                imap.DeleteFolder(Drafts);
        imap.CloseConnection();
    }

    void cleanup()
    {
        m_agent.reset();
        qputenv("LUMARO_REGISTRY", m_registry);
    }

    void listsCarriesOutAndTheAgentRepeatsNothing()
    {
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Servers().size(), 1);
        QVERIFY2(!manager.Table.Servers().first().Failed, qPrintable(manager.Table.Servers().first().Error));
        QCOMPARE(manager.Table.Lines().size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const TMessageLine& line = manager.Table.Lines().at(n - 1);
            QCOMPARE(line.Subject, QStringLiteral("Message %1").arg(n));
            QVERIFY2(line.Sender.contains(QStringLiteral("Sender %1").arg(n)), qPrintable(line.Sender));
            QCOMPARE(line.Size, QString::number(MessageNumber(n).size()));
        }
        manager.Table.SetMark({0}, Mark::Get);
        manager.Table.SetMark({1}, Mark::Delete);
        manager.Table.SetMark({2}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        // The deleted messages' lines leave the list; the fetched one stays, marked as fetched.
        QCOMPARE(Marks(manager.Table), QStringList{Mark::Got});
        QCOMPARE(SpoolMessages(), (QByteArrayList{MessageNumber(1), MessageNumber(3)}));
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 1"});
        QCOMPARE(ReadCheckFile(CheckFile()).size(), 2);

        TAgentJob job;
        QVERIFY(FillReceiveJob(job, "Home", KeepModeFromAccount));
        QCOMPARE(job.Action, QByteArray("IMAP"));
        QVERIFY(m_agent->WriteJob(job));
        const AgentResult result = m_agent->Run();
        QVERIFY2(result.ExitCode == 0, result.Errors.constData());
        QCOMPARE(SpoolMessages(), QByteArrayList());
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 1"});
    }

    void messageRemovedMeanwhileIsSkipped()
    {
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Lines().size(), 3);
        {
            TqmIMAP other;
            Connect(other);
            other.Select(QStringLiteral("INBOX"));
            other.DeleteMessages({manager.Table.Lines().at(1).Uid});
            other.CloseConnection();
        }
        manager.Table.SetMark({0, 1}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::GetDelete, Mark::Nothing}));
        QVERIFY2(m_statuses.contains(LmserverMessage(LmserverText::MessageChanged, QStringLiteral("2"))),
                 qPrintable(m_statuses.join(QLatin1Char('\n'))));
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(1)});
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 3"});
    }

    // Two folders: every line says its folder, each folder's marks act on that folder only, and
    // the check file names each message by its folder, so the agent takes none of them again.
    void twoFoldersListedAndCarriedOutPerFolder()
    {
        AddDraftsFolder({4, 5});
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QVERIFY2(!manager.Table.Servers().first().Failed, qPrintable(manager.Table.Servers().first().Error));
        QCOMPARE(Subjects(manager.Table), (QStringList{"Message 1", "Message 2", "Message 3", "Message 4", "Message 5"}));
        QCOMPARE(Folders(manager.Table), (QStringList{"INBOX", "INBOX", "INBOX", Drafts, Drafts}));
        QCOMPARE(manager.Table.Servers().first().ListedFolders.size(), 2);
        QVERIFY(m_statuses.contains(FolderCheckingStatus(Drafts)));

        manager.Table.SetMark({0, 3}, Mark::Get);
        manager.Table.SetMark({1, 4}, Mark::GetDelete);
        manager.Table.SetMark({2}, Mark::Delete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(Subjects(manager.Table), (QStringList{"Message 1", "Message 4"}));
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::Got, Mark::Got}));
        QCOMPARE(SpoolMessages(), (QByteArrayList{MessageNumber(1), MessageNumber(2), MessageNumber(4), MessageNumber(5)}));
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 1"});
        QCOMPARE(ServerSubjects(Drafts), QByteArrayList{"Message 4"});
        QFile checkFile(CheckFile());
        QVERIFY(checkFile.open(QIODevice::ReadOnly));
        const QByteArray checkLines = checkFile.readAll();
        QCOMPARE(checkLines.count("INBOX;UIDVALIDITY="), 2);
        QCOMPARE(checkLines.count("Entw&APw-rfe;UIDVALIDITY="), 2);

        QVERIFY(RunAgent());
        QCOMPARE(SpoolMessages(), QByteArrayList());
    }

    // A folder deleted and made anew holds other messages under the listed UIDs: nothing of it is
    // touched, and the other folder's marks are still carried out.
    void recreatedFolderIsLeftAlone()
    {
        AddDraftsFolder({4});
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Lines().size(), 4);
        RecreateDraftsFolder({5});
        manager.Table.SetMark({0, 3}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QVERIFY2(m_statuses.contains(LmserverMessage(LmserverText::FolderRecreatedNamed, Drafts)),
                 qPrintable(m_statuses.join(QLatin1Char('\n'))));
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::Nothing, Mark::Nothing, Mark::GetDelete}));
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(1)});
        QCOMPARE(ServerSubjects(Drafts), QByteArrayList{"Message 5"});
        QCOMPARE(ServerSubjects(), (QByteArrayList{"Message 2", "Message 3"}));
    }

    // A ticked folder the server does not have is named on the mailbox's node; the inbox is listed.
    void missingTickedFolderLeavesTheInboxListed()
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapFolders = {"Gibt es nicht"};
        WriteAccountSecurity("Home", security);
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        const TServerEntry& entry = manager.Table.Servers().first();
        QVERIFY(!entry.Failed);
        QCOMPARE(manager.Table.Lines().size(), 3);
        QVERIFY2(entry.Error.contains(QLatin1String("Gibt es nicht")), qPrintable(entry.Error));
        QVERIFY(m_statuses.contains(entry.Error));
    }

    // A quick connection over IMAP (STARTTLS on the plain port) lists and fetches the inbox.
    void quickConnectionOverImap()
    {
        TLmserverSettings settings;
        settings.QuickConnect = true;
        settings.QuickProtocol = TIncomingProtocol::Imap;
        settings.QuickServer = QString::fromUtf8(m_server.TlsAddress(m_server.Port()));
        settings.QuickUsername = QStringLiteral("alice");
        settings.QuickPassword = "secret";
        TServerManager manager(settings, Events());
        manager.Connect(PlanConnect(settings), false);
        QVERIFY2(!manager.Table.Servers().first().Failed, qPrintable(manager.Table.Servers().first().Error));
        QCOMPARE(Subjects(manager.Table), (QStringList{"Message 1", "Message 2", "Message 3"}));
        manager.Table.SetMark({1}, Mark::Get);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(2)});
        QCOMPARE(ServerSubjects().size(), 3);
    }

    // With "mark fetched mail read" the fetched message that stays on the server is \Seen, as after
    // the agent's receive; the others stay as they were.
    void fetchedMailMarkedReadWhenTheAccountSaysSo()
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapMarkRead = true;
        WriteAccountSecurity("Home", security);
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        manager.Table.SetMark({0}, Mark::Get);
        manager.Table.SetMark({1}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(SpoolMessages().size(), 2);
        QCOMPARE(SeenSubjects(), QByteArrayList{"Message 1"});
        QCOMPARE(ServerSubjects().size(), 2);
    }

private:
    const QString Drafts = QString::fromUtf8("Entwürfe");

    // The account ticks the folder Entwürfe, which holds the numbered messages.
    void AddDraftsFolder(const QList<int>& numbers)
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapFolders = {Drafts.toUtf8()};
        WriteAccountSecurity("Home", security);
        TqmIMAP imap;
        Connect(imap);
        imap.CreateFolder(Drafts);
        for (int n : numbers)
            imap.Append(Drafts, MessageNumber(n), {});
        imap.CloseConnection();
    }

    void RecreateDraftsFolder(const QList<int>& numbers)
    {
        TqmIMAP imap;
        Connect(imap);
        imap.DeleteFolder(Drafts);
        imap.CreateFolder(Drafts);
        for (int n : numbers)
            imap.Append(Drafts, MessageNumber(n), {});
        imap.CloseConnection();
    }

    bool RunAgent()
    {
        TAgentJob job;
        if (!FillReceiveJob(job, "Home", KeepModeFromAccount) || !m_agent->WriteJob(job))
            return false;
        const AgentResult result = m_agent->Run();
        if (result.ExitCode != 0)
            qWarning("%s", result.Errors.constData());
        return result.ExitCode == 0;
    }

    static QStringList Subjects(const TMessageTable& table)
    {
        QStringList subjects;
        for (const TMessageLine& line : table.Lines())
            subjects.append(line.Subject);
        return subjects;
    }

    static QStringList Folders(const TMessageTable& table)
    {
        QStringList folders;
        for (const TMessageLine& line : table.Lines())
            folders.append(line.Folder);
        return folders;
    }

    TServerEvents Events()
    {
        TServerEvents events;
        events.Status = [this](const QString& text) { m_statuses.append(text); };
        return events;
    }

    QByteArray ServerAddress() const { return m_server.TlsAddress(m_server.TlsPort()); }

    void CreateAccount()
    {
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Home";
        account.PopServer = ServerAddress();
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = true;
        QCOMPARE(WriteAccount(0, account), 1);
        TAccountSecurity security;
        security.PopSecurity = TqmSecurity::secTls;
        security.Incoming = TIncomingProtocol::Imap;
        WriteAccountSecurity("Home", security);
        m_settings.QuickConnect = false;
        m_settings.AccountsNames = {QStringLiteral("Home")};
    }

    void Connect(TqmIMAP& imap) const
    {
        imap.Server = ServerAddress();
        imap.Security = TqmSecurity::secTls;
        imap.UserName = "alice";
        imap.Password = "secret";
        imap.SetTimeOut(20);
        imap.OpenConnection();
    }

    QByteArrayList ServerSubjects(const QString& folder = QStringLiteral("INBOX")) const
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(folder, true);
        QByteArrayList subjects;
        for (const TqmImapMessageInfo& info : imap.FetchInfo(imap.SearchUids()))
            subjects.append(info.Headers.GetFieldBody("Subject"));
        imap.CloseConnection();
        return subjects;
    }

    QByteArrayList SeenSubjects() const
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(QStringLiteral("INBOX"), true);
        QByteArrayList subjects;
        for (const TqmImapMessageInfo& info : imap.FetchInfo(imap.SearchUids()))
            if (info.Flags.contains("\\Seen"))
                subjects.append(info.Headers.GetFieldBody("Subject"));
        imap.CloseConnection();
        return subjects;
    }

    // The spool's messages in name order; the spool is emptied, as the main client does.
    QByteArrayList SpoolMessages() const
    {
        const QStringList files = AgentInstallation::EmlFiles(Paths().Data.SpoolDir);
        QByteArrayList messages = AgentInstallation::Contents(files);
        for (const QString& file : files)
            QFile::remove(file);
        std::sort(messages.begin(), messages.end());
        return messages;
    }

    QString CheckFile() const { return CheckFileName(Paths().Data.MailDir, ServerAddress(), "alice"); }

    QTemporaryDir m_certificates;
    TestServer m_server;
    std::unique_ptr<AgentInstallation> m_agent;
    TLmserverSettings m_settings;
    QStringList m_statuses;
    QByteArray m_registry;
};

QTEST_GUILESS_MAIN(TestLmserverImap)
#include "tst_lmserver_imap_e2e.moc"

// The server manager on an IMAP account against Dovecot requiring TLS: the inbox listed from
// ENVELOPE and RFC822.SIZE, fetching, deleting and fetching-and-deleting by UID, a message another
// client removed meanwhile, and the agent's next receive, which fetches nothing the manager took.

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

private:
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

    QByteArrayList ServerSubjects() const
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(QStringLiteral("INBOX"), true);
        QByteArrayList subjects;
        for (const TqmImapMessageInfo& info : imap.FetchInfo(imap.SearchUids()))
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

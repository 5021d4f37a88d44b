// A message fetched with the server manager and kept on the server is not received again by the
// next receive of its account: the server manager and then the built agent against a real
// Dovecot, with the spool imported into an "Inbox" after each program, as the main client does.

#include "AgentFixture.h"
#include "CheckFile.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "ServerManager.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace {

const char* const Date1 = "Mon, 9 Mar 2026 10:00:00 +0100";

QByteArrayList TwoMessages()
{
    return {TestMessage("<first@example.org>", Date1, "first"), TestMessage("<second@example.org>", Date1, "second")};
}

} // namespace

class TestLmserverThenAgent : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString error = m_mailbox.Start();
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
        m_inbox.clear();
        m_mailbox.SetMessages(TwoMessages());
    }

    void cleanup()
    {
        m_agent.reset();
        qputenv("LUMARO_REGISTRY", m_registry);
    }

    // The user fetches the first message with "Empfangen" and keeps it on the server; the next
    // receive brings only the second, and the Inbox holds each once, whether the account keeps its
    // mail on the server or not.
    void fetchedMessageIsNotReceivedAgain_data()
    {
        QTest::addColumn<bool>("keepMails");
        QTest::addColumn<bool>("getHeaders");
        QTest::addColumn<QByteArrayList>("leftOnServer");
        QTest::newRow("account keeps mail") << true << true << TwoMessages();
        QTest::newRow("account keeps mail, listed without headers") << true << false << TwoMessages();
        QTest::newRow("account deletes mail") << false << true << QByteArrayList();
    }
    void fetchedMessageIsNotReceivedAgain()
    {
        QFETCH(bool, keepMails);
        QFETCH(bool, getHeaders);
        QFETCH(QByteArrayList, leftOnServer);
        CreateAccount(keepMails);

        TLmserverSettings settings;
        TServerManager manager(settings, {});
        manager.Connect({{AccountTarget()}, {}}, getHeaders);
        QCOMPARE(manager.Table.Lines().size(), 2);
        manager.Table.SetMark({0}, Mark::Get);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(manager.Table.Lines().at(0).MarkText, Mark::Got);
        ImportSpool();
        QCOMPARE(m_inbox, QByteArrayList{TwoMessages().at(0)});
        QCOMPARE(m_mailbox.Messages(), TwoMessages());
        // Written as the agent writes it, and read back by the agent's own reader.
        QCOMPARE(ReadCheckFile(CheckFile()).size(), 1);

        RunAgent();
        ImportSpool();
        QCOMPARE(m_inbox, TwoMessages());
        QCOMPARE(m_mailbox.Messages(), leftOnServer);

        RunAgent();
        ImportSpool();
        QCOMPARE(m_inbox, TwoMessages());
    }

private:
    void CreateAccount(bool keepMails) const
    {
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Home";
        account.PopServer = m_mailbox.Address();
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = keepMails;
        QCOMPARE(WriteAccount(0, account), 1);
        // The test mailbox offers no TLS.
        TAccountSecurity security;
        security.PopSecurity = TqmSecurity::secNone;
        WriteAccountSecurity("Home", security);
    }

    TConnectTarget AccountTarget() const
    {
        TConnectTarget target;
        target.Server = m_mailbox.Address();
        target.UserName = "alice";
        target.Password = "secret";
        target.Security = TqmSecurity::secNone;
        target.AccountName = "Home";
        return target;
    }

    QString CheckFile() const { return CheckFileName(Paths().Data.MailDir, m_mailbox.Address(), "alice"); }

    // What the main client does with the spool after each program: into the Inbox, spool emptied.
    void ImportSpool()
    {
        const QStringList files = AgentInstallation::EmlFiles(Paths().Data.SpoolDir);
        m_inbox += AgentInstallation::Contents(files);
        for (const QString& file : files)
            QFile::remove(file);
        std::sort(m_inbox.begin(), m_inbox.end());
    }

    void RunAgent()
    {
        TAgentJob job;
        QVERIFY(FillReceiveJob(job, "Home", KeepModeFromAccount));
        QVERIFY(m_agent->WriteJob(job));
        const AgentResult result = m_agent->Run();
        QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    }

    Pop3Mailbox m_mailbox;
    std::unique_ptr<AgentInstallation> m_agent;
    QByteArrayList m_inbox;
    QByteArray m_registry;
};

QTEST_GUILESS_MAIN(TestLmserverThenAgent)
#include "tst_lmserver_agent_e2e.moc"

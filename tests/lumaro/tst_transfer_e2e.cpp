// The main client's send and receive jobs with the built agent against the real test servers:
// the Outbox after a send (held message stays, sent ones filed read), one agent run per ticked
// account in order, a receive from two mailboxes imported into the Inbox, and the Message-ID a
// composed message gets in the Outbox reaching the server unchanged, also when it is sent again.

#include "AgentFixture.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "FilterFunctions.h"
#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "SpoolFunctions.h"
#include "TestServers.h"
#include "TransferFunctions.h"
#include "qmmsgcls.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray OutboxMessage(const QByteArray& subject, const QByteArray& extraHeaders = {})
{
    return "From: Sender <sender@example.org>\r\nTo: <to@example.org>\r\nSubject: " + subject + "\r\n" + extraHeaders
        + "Message-ID: <" + subject + "@example.org>\r\n\r\nText of " + subject + "\r\n";
}

QByteArrayList MessageIdFields(const QByteArray& text)
{
    QByteArrayList fields;
    for (const QByteArray& line : TqmHeaders::FromText(text.left(text.indexOf("\r\n\r\n")))) {
        if (line.toLower().startsWith("message-id:"))
            fields.append(line);
    }
    return fields;
}

QByteArray Subjects(const TFolderFiles& folder)
{
    QByteArray subjects;
    for (const TFolderMessage& message : EnumerateLiveMessages(folder))
        subjects += message.Index.Subject + ((message.Index.Flags & mfRead) ? "(read) " : " ");
    return subjects.trimmed();
}

} // namespace

class TestTransferEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_agent = std::make_unique<AgentInstallation>();
        QVERIFY(m_agent->IsReady());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_agent->DataDir());
        QVERIFY(QDir().mkpath(Paths().Data.SmtpDir));
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        for (const char* name : {"Inbox", "Outbox", "Sent"})
            QVERIFY(LumaroTest::CreateFolder(FolderPaths(QString::fromLatin1(name))));
        QVERIFY(CreateAccountsDatabase());
    }

    void sendLeavesTheHeldMessageAndFilesTheOthersRead()
    {
        QTemporaryDir received;
        TestServer server;
        const QString error = server.StartSmtp(received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const TFolderFiles outbox = FolderPaths(QStringLiteral("Outbox"));
        for (const QByteArray& message :
             {OutboxMessage("first"), OutboxMessage("held", "X-LMHOLD: 1\r\n"), OutboxMessage("third")}) {
            const QString file = m_agent->DataDir() + QLatin1String("/work.eml");
            QVERIFY(LumaroTest::WriteBytes(file, message));
            QVERIFY(AppendMessageFile(outbox, file) > 0);
        }
        QList<TListEntry> listed = ListEntries(EnumerateLiveMessages(outbox));
        TAgentJob job;
        const TSendResult result = RunSendJob(server.Address(), outbox, FolderPaths(QStringLiteral("Sent")), listed,
                                              Paths().Data.SmtpDir, job, [this](const TAgentJob& j) { return RunAgent(j); });
        QVERIFY(result.Started);
        QCOMPARE(Subjects(outbox), QByteArray("held"));
        QCOMPARE(Subjects(FolderPaths(QStringLiteral("Sent"))), QByteArray("first(read) third(read)"));
        QCOMPARE(QDir(received.path()).entryList({QStringLiteral("*.eml")}).size(), 2);
    }

    // The message window writes no Message-ID; the Outbox gives it one, and the first attempt, which
    // fails, and the second, which reaches the server, carry that same one.
    void composedMessageReachesTheServerWithItsQueuedMessageId()
    {
        QTemporaryDir received;
        TestServer server;
        const QString error = server.StartSmtp(received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        const TFolderFiles sent = SpecialFolderPaths(TSpecialFolder::Sent);
        QVERIFY(LumaroTest::CreateFolder(outbox) && LumaroTest::CreateFolder(sent));
        const QString workFile = Paths().Data.SmtpDir + QLatin1String("/new_1.eml");
        QVERIFY(LumaroTest::WriteBytes(workFile, "From: Jane <jane@mail.example.org>\r\nTo: <to@example.org>\r\n"
                                                 "Subject: composed\r\n\r\nHello.\r\n"));
        QVERIFY(FileWorkFile(outbox, workFile, QDateTime::currentDateTime().addDays(-1), {}, false) > 0);
        QList<TListEntry> listed = ListEntries(EnumerateLiveMessages(outbox));
        QCOMPARE(listed.size(), 1);
        const QByteArrayList queued
            = MessageIdFields(ReadRawMessage(outbox.MessageFile, listed[0].Offset, listed[0].Length).value_or(QByteArray()));
        QCOMPARE(queued.size(), 1);
        QVERIFY2(queued[0].endsWith("@mail.example.org>"), queued[0].constData());

        TAgentJob job;
        const auto run = [this](const TAgentJob& j) { return RunAgent(j); };
        RunSendJob("127.0.0.1:1", outbox, sent, listed, Paths().Data.SmtpDir, job, run);
        QCOMPARE(Subjects(outbox), QByteArray("composed"));
        QVERIFY(RunSendJob(server.Address(), outbox, sent, listed, Paths().Data.SmtpDir, job, run).Started);
        QCOMPARE(Subjects(sent), QByteArray("composed(read)"));
        QFile delivered(received.filePath(QStringLiteral("1.eml")));
        QVERIFY(delivered.open(QIODevice::ReadOnly));
        QCOMPARE(MessageIdFields(delivered.readAll()), queued);
    }

    void receiveRunsTheAgentOncePerTickedAccountInOrder()
    {
        Pop3Mailbox work, home;
        for (Pop3Mailbox* box : {&work, &home}) {
            const QString error = box->Start();
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
        work.SetMessages({TestMessage("<w1@x>", "Mon, 9 Mar 2026 10:00:00 +0100", "work one")});
        home.SetMessages({TestMessage("<h1@x>", "Mon, 9 Mar 2026 11:00:00 +0100", "home one"),
                          TestMessage("<h2@x>", "Mon, 9 Mar 2026 12:00:00 +0100", "home two")});
        AddAccount("work", work.Address());
        AddAccount("home", home.Address());

        QByteArrayList order;
        TAgentJob job;
        const TReceiveResult result = RunReceiveJob({"home", "work"}, job, [&](const TAgentJob& j) {
            order.append(j.AccountName);
            return RunAgent(j);
        });
        QCOMPARE(order, QByteArrayList({"home", "work"}));
        QVERIFY(result.FailedAccounts.isEmpty());
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, FolderPaths(QStringLiteral("Inbox"))), 3);
        QVERIFY(work.Messages().isEmpty() && home.Messages().isEmpty());
    }

    void aFailingAccountIsNamedAndTheNextOneStillReceives()
    {
        Pop3Mailbox home;
        QVERIFY(home.Start().isEmpty());
        home.SetMessages({TestMessage("<h1@x>", "Mon, 9 Mar 2026 11:00:00 +0100", "home one")});
        AddAccount("broken", "127.0.0.1:1");
        AddAccount("home", home.Address());
        TAgentJob job;
        const TReceiveResult result
            = RunReceiveJob({"broken", "home"}, job, [this](const TAgentJob& j) { return RunAgent(j); },
                            JobFailureFile(m_agent->JobFile()));
        QCOMPARE(result.FailedAccounts, QByteArrayList{"broken"});
        // The report names why, in the agent's words.
        QVERIFY2(FailedAccountsText(result).startsWith(QLatin1String("broken: 127.0.0.1:1 ")), qPrintable(FailedAccountsText(result)));
        QVERIFY2(FailedAccountsText(result).contains(QLatin1String("[10061]")), qPrintable(FailedAccountsText(result)));
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, FolderPaths(QStringLiteral("Inbox"))), 1);
    }

    // Keep and delete rules act on the server: nothing they decide is downloaded.
    void serverRulesDeleteAndKeepWithoutDownloading()
    {
        Pop3Mailbox box;
        QVERIFY(box.Start().isEmpty());
        const QByteArray large = TestMessage("<big@x>", "Mon, 9 Mar 2026 10:00:00 +0100", QByteArray(3000, 'x'));
        const QByteArray spam = "From: win@example.org\r\nTo: alice@example.org\r\nSubject: You won the LOTTERY\r\n"
                                "Message-ID: <spam@x>\r\n\r\nClaim now.\r\n";
        box.SetMessages({spam,
                         large, TestMessage("<ok@x>", "Mon, 9 Mar 2026 10:00:00 +0100", "fine")});
        AddAccount("home", box.Address());
        QVERIFY(SaveFilterRules(Paths().Data.FilterFile,
                                {"-SUBJECT: \"lottery\" -DELETE", "-LARGER THAN: \"2\" -KEEP", "-FROM: \"x\" -MOVETO: \"Inbox\""}));
        TAgentJob job;
        QVERIFY(RunReceiveJob({"home"}, job, [this](const TAgentJob& j) { return RunAgent(j); }).FailedAccounts.isEmpty());
        QCOMPARE(box.Messages(), QByteArrayList{large});
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, FolderPaths(QStringLiteral("Inbox"))), 1);
        QCOMPARE(CountKeptInRuleLog(Paths().Data.SpoolDir), 1);
    }

private:
    bool RunAgent(const TAgentJob& job) const
    {
        return m_agent->WriteJob(job) && m_agent->Run().ExitCode == 0;
    }

    static void AddAccount(const QByteArray& name, const QByteArray& server)
    {
        TAccount account;
        account.Name = name;
        account.PopServer = server;
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = false;
        QVERIFY(WriteAccount(CountAccounts() + 1, account) > 0);
        // The test mailboxes offer no TLS.
        WriteAccountSecurity(name, {TqmSecurity::secNone, TqmSecurity::secNone});
    }

    std::unique_ptr<AgentInstallation> m_agent;
};

QTEST_GUILESS_MAIN(TestTransferEndToEnd)
#include "tst_transfer_e2e.moc"

// The agent job file: its exact layout, round trips of awkward values, tolerant reading of files
// written by hand, filling receive and send jobs from accounts, and the header list.

#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "DBAgentFunctions.h"
#include "Konstanten.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

class TestDBAgent : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QByteArray Content(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void WriteText(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

    static TAccount Account(const QByteArray& name, const QByteArray& smtpServer)
    {
        TAccount account;
        account.Name = name;
        account.PopServer = "pop." + name;
        account.PopUsername = name + "-user";
        account.PopPassword = name + "-pop=;\"pw";
        account.SmtpServer = smtpServer;
        account.SmtpUsername = name + "-smtp";
        account.SmtpPassword = name + "-smtp-pw";
        account.RASService = name + "-dialup";
        account.RasForceService = true;
        account.RasHangUp = true;
        return account;
    }

    // A job whose every value differs from what the fill functions write.
    static TAgentJob PreviousJob()
    {
        TAgentJob job;
        job.Action = "previous";
        job.AccountName = "previous account";
        job.Server = "previous server";
        job.Username = "previous user";
        job.Password = "previous password";
        job.KeepMails = true;
        job.CheckMails = true;
        job.DeleteDays = 99;
        job.RasService = "previous dial-up";
        job.RasForceService = true;
        job.RasHangUp = false;
        return job;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        detail::MutablePaths().Program = detail::ComputeProgramPaths(m_dir.path());
    }

    void jobFileLayout()
    {
        TAgentJob job;
        job.Action = "POP3";
        job.AccountName = "Work";
        job.Server = "pop.example.org";
        job.Username = "jane";
        job.Password = "s3cret";
        job.KeepMails = true;
        job.CheckMails = false;
        job.DeleteDays = 14;
        job.RasService = "Modem";
        job.RasForceService = false;
        job.RasHangUp = true;
        job.Security = TqmSecurity::secStartTls;
        job.PinnedCertificate = "ab:cd";
        job.PinnedServer = "pop.example.org:110";
        QVERIFY(WriteJob(job));
        QCOMPARE(Content(m_dir.filePath(QStringLiteral("lmagent.ini"))),
                 QByteArray("[Main]\r\nAction=POP3\r\nAccountName=Work\r\nServer=pop.example.org\r\n"
                            "KeepMails=1\r\nCheckMails=0\r\nDeleteDays=14\r\nSecurity=starttls\r\nPinnedCertificate=ab:cd\r\n"
                            "PinnedServer=pop.example.org:110\r\n[User]\r\nUsername=jane\r\nPassword=s3cret\r\n"
                            "[Ras]\r\nRasService=Modem\r\nRasForceService=0\r\nRasHangUp=1\r\n"));
        QCOMPARE(QFile::permissions(Paths().Program.JobFile) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
    }

    void valuesComeBackExactly_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("equals signs") << QByteArray("a=b==c");
        QTest::newRow("semicolons") << QByteArray(";starts;and ends;");
        QTest::newRow("quoted") << QByteArray("\"quoted\"");
        QTest::newRow("single quotes") << QByteArray("'x'");
        QTest::newRow("non-ascii") << QByteArray("gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
        QTest::newRow("latin-1 bytes") << QByteArray("\xe4\xf6\xfc");
        QTest::newRow("blanks around") << QByteArray("  padded  ");
        QTest::newRow("brackets") << QByteArray("[Ras]");
        QTest::newRow("backslashes and hash") << QByteArray("c:\\x\\n#1");
        QTest::newRow("empty") << QByteArray();
    }
    void valuesComeBackExactly()
    {
        QFETCH(QByteArray, value);
        TAgentJob job = PreviousJob();
        job.Password = value;
        job.Username = value;
        job.Server = value;
        QVERIFY(WriteJob(job));
        const std::optional<TAgentJob> read = ReadJob();
        QVERIFY(read);
        QCOMPARE(read->Password, value);
        QCOMPARE(read->Username, value);
        QCOMPARE(read->Server, value);
        QCOMPARE(read->DeleteDays, 99);
        QCOMPARE(read->RasService, job.RasService);
    }

    void lineBreakInAValueIsRefused()
    {
        WriteText(Paths().Program.JobFile, "[Main]\r\nAction=SMTP\r\n");
        TAgentJob job;
        job.Password = "first\nPassword=second";
        QVERIFY(!WriteJob(job));
        QCOMPARE(Content(Paths().Program.JobFile), QByteArray("[Main]\r\nAction=SMTP\r\n"));
    }

    void handWrittenFilesAreReadTolerantly_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("keepMails");
        QTest::addColumn<int>("deleteDays");
        QTest::addColumn<TqmSecurity>("security");
        QTest::newRow("empty file") << QByteArray() << QByteArray() << QByteArray() << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("security given") << QByteArray("[Main]\nSecurity=TLS\n") << QByteArray() << QByteArray() << false
                                        << 0 << TqmSecurity::secTls;
        QTest::newRow("unknown security is auto") << QByteArray("[Main]\nSecurity=ssl3\n") << QByteArray() << QByteArray()
                                                  << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("unknown sections and keys")
            << QByteArray("[Extra]\nPassword=wrong\n[Main]\nAction=POP3\nColour=red\n[User]\nPassword=right\n")
            << QByteArray("POP3") << QByteArray("right") << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("sections out of order, other letter case")
            << QByteArray("[user]\npassword=pw\n[MAIN]\nkeepmails=1\nDeleteDays= 7 \n")
            << QByteArray() << QByteArray("pw") << true << 7 << TqmSecurity::secAuto;
        QTest::newRow("comments and garbage")
            << QByteArray("; comment\ngarbage line\nAction=outside\n[Main]\n;Action=commented\nAction=SMTP\n")
            << QByteArray("SMTP") << QByteArray() << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("first of two keys wins")
            << QByteArray("[Main]\r\nAction=POP3\r\nAction=SMTP\r\n") << QByteArray("POP3") << QByteArray() << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("not a number") << QByteArray("[Main]\nKeepMails=yes\nDeleteDays=ten\n")
                                      << QByteArray() << QByteArray() << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("any non-zero number is true") << QByteArray("[Main]\nKeepMails=2\nDeleteDays=-3\n")
                                                     << QByteArray() << QByteArray() << true << -3 << TqmSecurity::secAuto;
        QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[Main]\nAction=SMTP\n")
                                         << QByteArray("SMTP") << QByteArray() << false << 0 << TqmSecurity::secAuto;
        QTest::newRow("binary") << QByteArray("\0\xff[\x01=\n=\n[", 10) << QByteArray() << QByteArray() << false << 0 << TqmSecurity::secAuto;
    }
    void handWrittenFilesAreReadTolerantly()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, action);
        QFETCH(QByteArray, password);
        QFETCH(bool, keepMails);
        QFETCH(int, deleteDays);
        QFETCH(TqmSecurity, security);
        WriteText(Paths().Program.JobFile, content);
        const std::optional<TAgentJob> job = ReadJob();
        QVERIFY(job);
        QCOMPARE(job->Security, security);
        QCOMPARE(job->PinnedCertificate, QByteArray());
        QCOMPARE(job->Action, action);
        QCOMPARE(job->Password, password);
        QCOMPARE(job->KeepMails, keepMails);
        QCOMPARE(job->DeleteDays, deleteDays);
    }

    void missingJobFileIsNoJob()
    {
        QFile::remove(Paths().Program.JobFile);
        QVERIFY(!ReadJob());
    }

    void receiveJob_data()
    {
        QTest::addColumn<int>("keepMode");
        QTest::addColumn<bool>("accountKeeps");
        QTest::addColumn<bool>("accountDeletes");
        QTest::addColumn<int>("accountDays");
        QTest::addColumn<bool>("keepMails");
        QTest::addColumn<bool>("checkMails");
        QTest::addColumn<int>("deleteDays");
        QTest::newRow("mode 1 forces keeping") << 1 << false << true << 5 << true << true << 5;
        QTest::newRow("mode 0 forces deleting") << 0 << true << true << 5 << false << true << 5;
        QTest::newRow("other mode, account keeps") << 2 << true << false << 5 << true << false << 0;
        QTest::newRow("other mode, account deletes") << -1 << false << false << 5 << false << false << 0;
        QTest::newRow("delete after 0 days is never") << 2 << true << true << 0 << true << false << 0;
    }
    void receiveJob()
    {
        QFETCH(int, keepMode);
        QFETCH(bool, accountKeeps);
        QFETCH(bool, accountDeletes);
        QFETCH(int, accountDays);
        QFETCH(bool, keepMails);
        QFETCH(bool, checkMails);
        QFETCH(int, deleteDays);
        QVERIFY(CreateAccountsDatabase());
        QVERIFY(WriteAccount(0, Account("other", "smtp.other")) > 0);
        TAccount account = Account("home", "smtp.home");
        account.PopKeepMails = accountKeeps;
        account.PopDeleteMails = accountDeletes;
        account.PopDeleteDays = accountDays;
        QVERIFY(WriteAccount(0, account) > 0);
        WriteAccountSecurity("home", {TqmSecurity::secTls, TqmSecurity::secNone, {"pop.home:995", "12:34"}, {"smtp.home:25", "99"}});

        TAgentJob job = PreviousJob();
        QVERIFY(FillReceiveJob(job, "home", keepMode));
        QCOMPARE(job.Security, TqmSecurity::secTls);
        QCOMPARE(job.PinnedCertificate, QByteArray("12:34"));
        QCOMPARE(job.PinnedServer, QByteArray("pop.home:995"));
        QCOMPARE(job.Action, QByteArray("POP3"));
        QCOMPARE(job.AccountName, QByteArray("home"));
        QCOMPARE(job.Server, QByteArray("pop.home"));
        QCOMPARE(job.Username, QByteArray("home-user"));
        QCOMPARE(job.Password, QByteArray("home-pop=;\"pw"));
        QCOMPARE(job.RasService, QByteArray("home-dialup"));
        QVERIFY(job.RasForceService);
        QVERIFY(job.RasHangUp);
        QCOMPARE(job.KeepMails, keepMails);
        QCOMPARE(job.CheckMails, checkMails);
        QCOMPARE(job.DeleteDays, deleteDays);
    }

    // An IMAP account's job names the protocol and its further folders, which survive the file
    // however their names are spelt.
    void imapReceiveJobCarriesItsFolders()
    {
        QVERIFY(CreateAccountsDatabase());
        QVERIFY(WriteAccount(0, Account("home", "smtp.home")) > 0);
        TAccountSecurity security;
        security.Incoming = TIncomingProtocol::Imap;
        security.ImapFolders = {"Entw\xc3\xbcrfe", "Listen/a,b", "100%"};
        WriteAccountSecurity("home", security);
        TAgentJob job = PreviousJob();
        QVERIFY(FillReceiveJob(job, "home", KeepModeFromAccount));
        QCOMPARE(job.Action, QByteArray("IMAP"));
        QCOMPARE(job.Folders, security.ImapFolders);
        QVERIFY(WriteJob(job));
        const std::optional<TAgentJob> read = ReadJob();
        QVERIFY(read);
        QCOMPARE(read->Action, QByteArray("IMAP"));
        QCOMPARE(read->Folders, security.ImapFolders);

        security.Incoming = TIncomingProtocol::Pop3;
        WriteAccountSecurity("home", security);
        QVERIFY(FillReceiveJob(job, "home", KeepModeFromAccount));
        QCOMPARE(job.Action, QByteArray("POP3"));
        QVERIFY(job.Folders.isEmpty());
    }

    void receiveJobForAnUnknownAccountIsSkipped()
    {
        QVERIFY(CreateAccountsDatabase());
        QVERIFY(WriteAccount(0, Account("home", "smtp.home")) > 0);
        TAgentJob job = PreviousJob();
        QVERIFY(!FillReceiveJob(job, "Home", 2));
        QCOMPARE(job.Action, QByteArray("previous"));
        QCOMPARE(job.Password, QByteArray("previous password"));
    }

    void sendJob_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("username");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("rasService");
        QTest::addColumn<QByteArray>("accountName");
        QTest::newRow("account with authentication") << QByteArray("smtp.auth") << QByteArray("auth-smtp")
                                                     << QByteArray("auth-smtp-pw") << QByteArray("auth-dialup") << QByteArray("auth");
        QTest::newRow("account without authentication") << QByteArray("smtp.plain") << QByteArray()
                                                        << QByteArray() << QByteArray("plain-dialup") << QByteArray("plain");
        QTest::newRow("server of no account") << QByteArray("smtp.unknown") << QByteArray() << QByteArray() << QByteArray()
                                              << QByteArray();
        QTest::newRow("server in other letter case") << QByteArray("SMTP.AUTH") << QByteArray() << QByteArray() << QByteArray()
                                                     << QByteArray();
    }
    void sendJob()
    {
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, username);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, rasService);
        QVERIFY(CreateAccountsDatabase());
        TAccount withAuth = Account("auth", "smtp.auth");
        withAuth.SmtpAuth = true;
        QVERIFY(WriteAccount(0, withAuth) > 0);
        QVERIFY(WriteAccount(0, Account("plain", "smtp.plain")) > 0);
        WriteAccountSecurity("auth", {TqmSecurity::secNone, TqmSecurity::secStartTls, {"pop.auth:110", "12"}, {"smtp.auth:587", "56:78"}});
        RemoveAccountSecurity("plain");

        TAgentJob job = PreviousJob();
        job.PinnedCertificate = "previous pin";
        job.PinnedServer = "previous:1";
        FillSendJob(job, server);
        const bool secured = username == "auth-smtp";
        QCOMPARE(job.Security, secured ? TqmSecurity::secStartTls : TqmSecurity::secAuto);
        QCOMPARE(job.PinnedCertificate, secured ? QByteArray("56:78") : QByteArray());
        QCOMPARE(job.PinnedServer, secured ? QByteArray("smtp.auth:587") : QByteArray());
        QCOMPARE(job.Action, QByteArray("SMTP"));
        QCOMPARE(job.Server, server);
        QCOMPARE(job.Username, username);
        QCOMPARE(job.Password, password);
        QCOMPARE(job.RasService, rasService);
        QCOMPARE(job.RasForceService, !rasService.isEmpty());
        QCOMPARE(job.RasHangUp, !rasService.isEmpty());
        // The account whose log-in the job carries: the agent remembers under it that TLS was seen.
        QTEST(job.AccountName, "accountName");
        // The receive-only values are left as the previous job had them.
        QVERIFY(job.KeepMails && job.CheckMails);
        QCOMPARE(job.DeleteDays, 99);
    }

    void headerListRoundTrip()
    {
        const QByteArrayList lines{"X-Mailer: Lumaro Mail 3.0 (abc) -", "X-Extra: a=b; c"};
        QVERIFY(WriteHeaderList(lines));
        QCOMPARE(Content(Paths().Program.HeadersFile),
                 QByteArray("X-Mailer: Lumaro Mail 3.0 (abc) -\r\nX-Extra: a=b; c\r\n"));
        QCOMPARE(ReadHeaderList(), lines);
        WriteText(Paths().Program.HeadersFile, "X-One: 1\n\n   \r\nX-Two: 2");
        QCOMPARE(ReadHeaderList(), QByteArrayList({"X-One: 1", "X-Two: 2"}));
        QVERIFY(!WriteHeaderList({"X-Bad: a\r\nBcc: x@example.org"}));
        QFile::remove(Paths().Program.HeadersFile);
        QVERIFY(ReadHeaderList().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDBAgent)
#include "tst_dbagent.moc"

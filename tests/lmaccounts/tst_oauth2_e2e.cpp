// OAuth2 end to end against real parts on 127.0.0.1: the test CA's HTTPS authorization server
// (scripts/testservers/oauth2-server.py), a stand-in browser found as xdg-open, Dovecot with its
// oauth2 passdb (POP3 and IMAP) and the SMTP test server asking the same server's introspection. The
// user signs in from the account editor, the built agent receives with the access token from its
// job, a message is sent; an IMAP account receives and files its sent copy with the token; each
// mechanism is tried on each protocol; an expired token is refreshed, a revoked
// refresh token asks for a new sign-in, a redirect with a wrong state and a hanging token endpoint
// end with a clear message. No log holds a token.

#include "AccountEdt.h"
#include "AccountLogIn.h"
#include "AccountsFunctions.h"
#include "AgentFixture.h"
#include "ConnectionTest.h"
#include "DBAgentFunctions.h"
#include "Konstanten.h"
#include "OAuth2SignIn.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "LanguageRows.h"
#include "Screenshot.h"
#include "SharedFunctions.h"
#include "TestServers.h"
#include "nkRasCmp.h"
#include "qmexcept.h"
#include "qmimap.h"
#include "qmpop3.h"
#include "qmsmtp.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>

namespace {

constexpr int SignedInText = 154;
constexpr int WrongStateText = 161;
constexpr int SignInAgainText = 626;

QString Script(const char* name) { return QStringLiteral(LUMARO_TESTSERVERS_DIR "/") + QLatin1String(name); }

} // namespace

class TestOAuth2EndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void advancedPageInBothLanguages_data();
    void advancedPageInBothLanguages();
    void signInFromEditorThenReceiveAndSend();
    void imapAccountReceivesAndFilesSentCopyWithToken();
    void eachMechanismOnEachProtocol_data();
    void eachMechanismOnEachProtocol();
    void expiredAccessTokenIsRefreshed();
    void revokedRefreshTokenAsksToSignInAgain();
    void wrongStateIsRefused();
    void hangingTokenEndpointTimesOut();

private:
    TOAuth2Registration Registration() const;
    QByteArray AuthServer() const { return "https://localhost:" + QByteArray::number(m_authPort); }
    // POSTs to the authorization server; the JSON answer.
    QJsonObject Post(const QByteArray& path, const QByteArray& form = {});
    QJsonObject Stats();
    TSignInResult SignIn(int tokenTimeoutMs = TokenEndpointTimeoutMs);
    void StoreTokens(const TOAuth2Tokens& tokens);
    TOAuth2Tokens StoredTokens();
    // Logs in with `token` through the given protocol and mechanism, sending one message over SMTP.
    void LogInWith(const QByteArray& token, bool pop, quint16 popPort, quint16 smtpPort, const QString& log);
    void LogInOrThrow(const QByteArray& token, bool pop, quint16 popPort, quint16 smtpPort, const QString& log);
    // Logs in over IMAP with `token` (OAuth2) or else the password; the number of messages in `folder`.
    static qint64 ImapMessages(quint16 port, const QByteArray& token, const QString& folder, const QString& log = {});

    QTemporaryDir m_certs;
    QTemporaryDir m_browserDir;
    QProcess m_authServer;
    quint16 m_authPort = 0;
    Pop3Mailbox m_mailbox;
    QTemporaryDir m_imapSource;
    TestServer m_imap;
    TestServer m_smtp;
    QTemporaryDir m_smtpOutput;
    std::unique_ptr<ScopedRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_programDir;
};

void TestOAuth2EndToEnd::initTestCase()
{
    const QString caError = TestServer::MakeCertificates(m_certs.path());
    QVERIFY2(caError.isEmpty(), qPrintable(caError));
    m_authServer.start(QStringLiteral("/usr/bin/python3"), {Script("oauth2-server.py"), m_certs.path(), QStringLiteral("--user"),
                                                            QStringLiteral("alice")});
    QVERIFY(m_authServer.waitForStarted(10000));
    QVERIFY(m_authServer.waitForReadyRead(20000));
    m_authPort = m_authServer.readLine().split(' ').value(0).trimmed().toUShort();
    QVERIFY(m_authPort != 0);

    // The desktop's way to a browser ends at the stand-in.
    QVERIFY(QFile::link(Script("stand-in-browser"), m_browserDir.filePath(QStringLiteral("xdg-open"))));
    qputenv("PATH", QFile::encodeName(m_browserDir.path()) + ':' + qgetenv("PATH"));
    qputenv("LUMARO_BROWSER_LOG", QFile::encodeName(m_browserDir.filePath(QStringLiteral("visits.log"))));

    qputenv("LUMARO_POP3_OAUTH2_URL", AuthServer() + "/introspect");
    qputenv("LUMARO_POP3_OAUTH2_CA", QFile::encodeName(m_certs.filePath(QStringLiteral("ca.pem"))));
    const QString popError = m_mailbox.Start();
    QVERIFY2(popError.isEmpty(), qPrintable(popError));
    QFile waiting(m_imapSource.filePath(QStringLiteral("1")));
    QVERIFY(waiting.open(QIODevice::WriteOnly));
    waiting.write(TestMessage("<imap@example.org>", "Mon, 9 Mar 2026 11:00:00 +0100", "waiting on IMAP"));
    waiting.close();
    const QString imapError = m_imap.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), m_imapSource.path());
    QVERIFY2(imapError.isEmpty(), qPrintable(imapError));
    const QString smtpError = m_smtp.StartSmtp(m_smtpOutput.path(), QStringLiteral("alice"), QStringLiteral("unused"), {}, {},
                                               {QStringLiteral("--oauth2-url"), QString::fromLatin1(AuthServer() + "/introspect"),
                                                QStringLiteral("--oauth2-ca"), m_certs.filePath(QStringLiteral("ca.pem"))});
    QVERIFY2(smtpError.isEmpty(), qPrintable(smtpError));
}

void TestOAuth2EndToEnd::cleanupTestCase()
{
    m_authServer.terminate();
    m_authServer.waitForFinished(5000);
}

void TestOAuth2EndToEnd::init()
{
    m_registry = std::make_unique<ScopedRegistry>();
    m_programDir = std::make_unique<QTemporaryDir>();
    const QString dataDir = m_programDir->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(dataDir));
    WriteUser(DefaultUserName, dataDir, {});
    InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("modules/lmaccounts")));
    SetLanguage(1);
    QVERIFY(CreateAccountsDatabase());
    TAccount account;
    account.Name = "Work";
    account.PopServer = m_mailbox.Address();
    account.PopUsername = "alice";
    account.PopKeepMails = false;
    account.SmtpServer = "127.0.0.1:" + QByteArray::number(m_smtp.Port());
    account.SmtpAddress = "alice@example.org";
    account.SmtpAuth = true;
    account.SmtpUsername = "alice";
    QVERIFY(WriteAccount(0, account) > 0);
    TAccountSecurity security;
    security.PopSecurity = TqmSecurity::secNone;
    security.SmtpSecurity = TqmSecurity::secNone;
    security.Auth = TAuthMethod::OAuth2;
    security.OAuth2 = Registration();
    WriteAccountSecurity("Work", security);
    m_mailbox.SetMessages({TestMessage("<one@example.org>", "Mon, 9 Mar 2026 10:00:00 +0100", "first")});
}

void TestOAuth2EndToEnd::cleanup()
{
    Post("/control/wrong-state", "on=0");
    m_programDir.reset();
    m_registry.reset();
}

TOAuth2Registration TestOAuth2EndToEnd::Registration() const
{
    return {"lumaro-test", {}, AuthServer() + "/authorize", AuthServer() + "/token", "mail"};
}

QJsonObject TestOAuth2EndToEnd::Post(const QByteArray& path, const QByteArray& form)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QString::fromLatin1(AuthServer() + path)));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(m_certs.filePath(QStringLiteral("ca.pem")));
    request.setSslConfiguration(tls);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply* reply = path.startsWith("/control/stats") ? network.get(request) : network.post(request, form);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(10000);
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    delete reply;
    return answer;
}

QJsonObject TestOAuth2EndToEnd::Stats()
{
    return Post("/control/stats");
}

TSignInResult TestOAuth2EndToEnd::SignIn(int tokenTimeoutMs)
{
    TOAuth2SignIn signIn(Registration());
    signIn.OpenBrowser = [](const QUrl& url) {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
    };
    signIn.BrowserTimeoutMs = 30000;
    signIn.TokenTimeoutMs = tokenTimeoutMs;
    return SignInAndWait(signIn);
}

void TestOAuth2EndToEnd::StoreTokens(const TOAuth2Tokens& tokens)
{
    QString error;
    QVERIFY2(StoreOAuth2Tokens("Work", tokens, error), qPrintable(error));
}

TOAuth2Tokens TestOAuth2EndToEnd::StoredTokens()
{
    QString error;
    const std::optional<TAccountSecrets> secrets = ReadAccountSecrets(*ReadAccount(FindAccountByName("Work")), error);
    return secrets ? secrets->OAuth2 : TOAuth2Tokens{};
}

void TestOAuth2EndToEnd::LogInWith(const QByteArray& token, bool pop, quint16 popPort, quint16 smtpPort, const QString& log)
{
    try {
        LogInOrThrow(token, pop, popPort, smtpPort, log);
    } catch (const EqmException& error) {
        QFAIL(qPrintable(error.Message()));
    }
}

void TestOAuth2EndToEnd::LogInOrThrow(const QByteArray& token, bool pop, quint16 popPort, quint16 smtpPort, const QString& log)
{
    if (pop) {
        TqmPOP client;
        client.Server = "127.0.0.1:" + QByteArray::number(popPort);
        client.Security = TqmSecurity::secNone;
        client.UserName = "alice";
        client.Password = token;
        client.LogInMethod = TqmLogInMethod::OAuth2;
        client.LogFileName = log;
        client.OpenConnection();
        QCOMPARE(client.MessageCount, 1);
        client.CloseConnection();
        return;
    }
    TqmSMTP client;
    client.Server = "127.0.0.1:" + QByteArray::number(smtpPort);
    client.Security = TqmSecurity::secNone;
    client.UserName = "alice";
    client.Password = token;
    client.LogInMethod = TqmLogInMethod::OAuth2;
    client.LogFileName = log;
    client.RecipientList = {"bob@example.org"};
    TqmMessage message;
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", {});
    client.OpenConnection();
    client.Authenticate();
    QBuffer text;
    text.setData("From: alice@example.org\r\nTo: bob@example.org\r\nSubject: token\r\n\r\nsent with a token\r\n");
    QVERIFY(text.open(QIODevice::ReadOnly));
    client.MailMessage = &message;
    client.SendMessageData(text);
    client.CloseConnection();
}

qint64 TestOAuth2EndToEnd::ImapMessages(quint16 port, const QByteArray& token, const QString& folder, const QString& log)
{
    TqmIMAP client;
    client.Server = "127.0.0.1:" + QByteArray::number(port);
    client.Security = TqmSecurity::secNone;
    client.UserName = "alice";
    client.Password = token.isEmpty() ? QByteArray("secret") : token;
    client.LogInMethod = token.isEmpty() ? TqmLogInMethod::Password : TqmLogInMethod::OAuth2;
    client.LogFileName = log;
    client.OpenConnection();
    const qint64 exists = client.Select(folder, true).Exists;
    client.CloseConnection();
    return exists;
}

void TestOAuth2EndToEnd::advancedPageInBothLanguages_data()
{
    AddLanguageRows();
}

void TestOAuth2EndToEnd::advancedPageInBothLanguages()
{
    QFETCH(int, language);
    SetLanguage(language);
    QString error;
    const std::optional<TAccountDraft> draft = ReadAccountDraft(FindAccountByName("Work"), error);
    QVERIFY(draft);
    TAccountEdtFrm form(NotInstalledRasBackend());
    form.SetAccount(draft->Account);
    form.SetSecurity(draft->Security);
    form.SetSignedIn(false);
    form.show();
    form.PageControl->setCurrentIndex(2);
    const bool english = language == 2;
    QCOMPARE(form.SignInBtn->text(), english ? QStringLiteral("&Sign in …") : QStringLiteral("&Anmelden …"));
    QCOMPARE(form.AuthMethodCmb->currentText(),
             english ? QStringLiteral("OAuth2 (sign-in in the browser)") : QStringLiteral("OAuth2 (Anmeldung im Browser)"));
    // No keyring runs here: the page says where the passwords are and that moving is not offered.
    QVERIFY2(form.SecretStoreLbl->text().startsWith(english ? QStringLiteral("The passwords are kept scrambled")
                                                            : QStringLiteral("Die Kennwörter liegen verschlüsselt")),
             qPrintable(form.SecretStoreLbl->text()));
    QVERIFY(!form.KeyringChk->isEnabled());
    QVERIFY(form.SignInBtn->isEnabled());
    // The page scrolls on a small screen: the sign-in group comes into view as a person scrolls to it.
    auto* scroll = form.findChild<QScrollArea*>(QStringLiteral("AdvancedScroll"));
    QVERIFY(scroll);
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    QTRY_VERIFY(form.SignInBtn->visibleRegion().boundingRect().height() == form.SignInBtn->height());
    SaveScreenshot(form, QStringLiteral("account-advanced-oauth2-") + (english ? QStringLiteral("en") : QStringLiteral("de")));
    // The password way hides nothing the user must type, and offers no sign-in.
    form.AuthMethodCmb->setCurrentIndex(0);
    QVERIFY(!form.SignInBtn->isEnabled());
    QVERIFY(!form.ClientIdEdt->isEnabled());
    QVERIFY(form.PopPasswordEdt->isEnabled());
    // Choosing OAuth2 again turns the SMTP log-in on, which carries the token.
    form.SmtpAuthChk->setChecked(false);
    form.AuthMethodCmb->setCurrentIndex(1);
    emit form.AuthMethodCmb->activated(1);
    QVERIFY(form.SmtpAuthChk->isChecked());
    SetLanguage(1);
}

void TestOAuth2EndToEnd::signInFromEditorThenReceiveAndSend()
{
    QString error;
    std::optional<TAccountDraft> draft = ReadAccountDraft(FindAccountByName("Work"), error);
    QVERIFY(draft);
    QVERIFY(!draft->SignedIn);
    TAccountEdtFrm form(NotInstalledRasBackend());
    form.SetAccount(draft->Account);
    form.SetSecurity(draft->Security);
    form.SetSignedIn(draft->SignedIn);
    form.show();
    form.PageControl->setCurrentIndex(2);
    QVERIFY(form.SignInBtn->isEnabled());
    QVERIFY(!form.PopPasswordEdt->isEnabled());
    QTest::mouseClick(form.SignInBtn, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form.SignInStatusLbl->text(), MessageText(SignedInText), 30000);
    SaveScreenshot(form, QStringLiteral("oauth2-signed-in"));
    QVERIFY(form.NewTokens());
    draft->Account = form.Account();
    draft->Security = form.Security();
    draft->NewTokens = form.NewTokens();
    QVERIFY2(UpdateAccount(FindAccountByName("Work"), *draft, error), qPrintable(error));
    const TOAuth2Tokens stored = StoredTokens();
    QVERIFY(!stored.AccessToken.isEmpty() && !stored.RefreshToken.isEmpty());
    QCOMPARE(ReadAccountSecurity("Work").Auth, TAuthMethod::OAuth2);

    // The built agent receives with the access token the job carries.
    TAgentJob job;
    QVERIFY2(FillReceiveJob(job, "Work", KeepModeFromAccount, &error), qPrintable(error));
    QCOMPARE(job.Auth, TAuthMethod::OAuth2);
    QCOMPARE(job.Password, stored.AccessToken);
    AgentInstallation agent;
    QVERIFY(agent.IsReady());
    agent.SetGeneral(QStringLiteral("LogActive"), 1);
    QVERIFY(agent.WriteJob(job));
    const AgentResult result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QCOMPARE(AgentInstallation::EmlFiles(agent.SpoolDir()).size(), 1);
    QVERIFY(m_mailbox.Messages().isEmpty());
    QVERIFY(!QFile::exists(agent.JobFile()));
    // Neither the log nor anything else the agent left holds the token.
    int logs = 0;
    QDirIterator files(agent.ProgramDir(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        logs += content.contains("AUTH OAUTHBEARER ****") ? 1 : 0;
        QVERIFY2(!content.contains(stored.AccessToken), qPrintable(file.fileName()));
    }
    QCOMPARE(logs, 1);

    TAgentJob sendJob;
    QVERIFY2(FillSendJob(sendJob, "127.0.0.1:" + QByteArray::number(m_smtp.Port()), &error), qPrintable(error));
    QCOMPARE(sendJob.Password, stored.AccessToken);
    const int before = int(QDir(m_smtpOutput.path()).entryList({QStringLiteral("*.eml")}).size());
    LogInWith(sendJob.Password, false, 0, m_smtp.Port(), m_programDir->filePath(QStringLiteral("smtp.log")));
    QCOMPARE(int(QDir(m_smtpOutput.path()).entryList({QStringLiteral("*.eml")}).size()), before + 1);
}

// An IMAP account signed in with OAuth2: the built agent receives with the token from its job, and
// a send job stores the sent copy in the server's Sent folder with the same token.
void TestOAuth2EndToEnd::imapAccountReceivesAndFilesSentCopyWithToken()
{
    const TSignInResult signedIn = SignIn();
    QVERIFY2(signedIn.Error.isEmpty(), qPrintable(signedIn.Error));
    StoreTokens(signedIn.Tokens);
    const int n = FindAccountByName("Work");
    TAccount account = *ReadAccount(n);
    account.PopServer = "127.0.0.1:" + QByteArray::number(m_imap.Port());
    QVERIFY(WriteAccount(n, account) == n);
    TAccountSecurity security = ReadAccountSecurity("Work");
    security.Incoming = TIncomingProtocol::Imap;
    WriteAccountSecurity("Work", security);
    const QByteArray token = signedIn.Tokens.AccessToken;

    TAgentJob job;
    QString error;
    QVERIFY2(FillReceiveJob(job, "Work", KeepModeForceKeep, &error), qPrintable(error));
    QCOMPARE(job.Action, ImapReceiveAction);
    QCOMPARE(job.Auth, TAuthMethod::OAuth2);
    QCOMPARE(job.Password, token);
    AgentInstallation agent;
    QVERIFY(agent.IsReady());
    agent.SetGeneral(QStringLiteral("LogActive"), 1);
    QVERIFY(agent.WriteJob(job));
    AgentResult result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    const QByteArrayList received = AgentInstallation::Contents(AgentInstallation::EmlFiles(agent.SpoolDir()));
    QCOMPARE(received.size(), 1);
    QVERIFY(received.first().contains("waiting on IMAP"));
    QFile receiveLog(agent.DataDir() + QStringLiteral("/logfile.txt"));
    QVERIFY(receiveLog.open(QIODevice::ReadOnly));
    const QByteArray receiveLogText = receiveLog.readAll();
    QVERIFY2(receiveLogText.contains("AUTHENTICATE OAUTHBEARER ****"), receiveLogText.constData());

    TAgentJob sendJob;
    QVERIFY2(FillSendJob(sendJob, "127.0.0.1:" + QByteArray::number(m_smtp.Port()), &error), qPrintable(error));
    QCOMPARE(sendJob.SentCopy.Server, account.PopServer);
    QCOMPARE(sendJob.SentCopy.Auth, TAuthMethod::OAuth2);
    QCOMPARE(sendJob.SentCopy.Password, token);
    QVERIFY(QDir().mkpath(agent.QueueDir()));
    QFile queued(agent.QueueDir() + QStringLiteral("/m1.eml"));
    QVERIFY(queued.open(QIODevice::WriteOnly));
    queued.write("From: alice@example.org\r\nTo: bob@example.org\r\nSubject: copy with a token\r\n"
                 "Message-ID: <copy@example.org>\r\n\r\nsent and filed\r\n");
    queued.close();
    const qint64 sentBefore = ImapMessages(m_imap.Port(), {}, QStringLiteral("Sent"));
    QVERIFY(agent.WriteJob(sendJob));
    result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!queued.exists());
    QCOMPARE(ImapMessages(m_imap.Port(), {}, QStringLiteral("Sent")), sentBefore + 1);
    QCOMPARE(QDir(agent.QueueDir() + QStringLiteral("/SentCopies/Work")).entryList(QDir::Files), QStringList());

    // The server takes the token only through its OAuth2 mechanisms: the copy in Sent shows that
    // the copy went with it. No file the agent left holds the token.
    QDirIterator files(agent.ProgramDir(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(token), qPrintable(file.fileName()));
    }
}

void TestOAuth2EndToEnd::eachMechanismOnEachProtocol_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("mechanism");
    for (const char* protocol : {"POP3", "IMAP", "SMTP"})
        for (const char* mechanism : {"XOAUTH2", "OAUTHBEARER"})
            QTest::addRow("%s %s", protocol, mechanism) << QString::fromLatin1(protocol) << QString::fromLatin1(mechanism);
}

void TestOAuth2EndToEnd::eachMechanismOnEachProtocol()
{
    QFETCH(QString, protocol);
    QFETCH(QString, mechanism);
    const bool pop = protocol == QLatin1String("POP3");
    const bool imap = protocol == QLatin1String("IMAP");
    const TSignInResult signedIn = SignIn();
    QVERIFY2(signedIn.Error.isEmpty(), qPrintable(signedIn.Error));
    Pop3Mailbox mailbox;
    TestServer smtp;
    TestServer imapServer;
    QTemporaryDir output;
    if (imap) {
        qputenv("LUMARO_POP3_OAUTH2_MECHANISMS", mechanism.toLower().toLatin1());
        const QString error = imapServer.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), m_imapSource.path());
        qunsetenv("LUMARO_POP3_OAUTH2_MECHANISMS");
        QVERIFY2(error.isEmpty(), qPrintable(error));
    } else if (pop) {
        qputenv("LUMARO_POP3_OAUTH2_MECHANISMS", mechanism.toLower().toLatin1());
        const QString error = mailbox.Start();
        qunsetenv("LUMARO_POP3_OAUTH2_MECHANISMS");
        QVERIFY2(error.isEmpty(), qPrintable(error));
        mailbox.SetMessages({TestMessage("<one@example.org>", "Mon, 9 Mar 2026 10:00:00 +0100", "first")});
    } else {
        const QString error = smtp.StartSmtp(output.path(), QStringLiteral("alice"), QStringLiteral("unused"), {}, {},
                                             {QStringLiteral("--oauth2-url"), QString::fromLatin1(AuthServer() + "/introspect"),
                                              QStringLiteral("--oauth2-ca"), m_certs.filePath(QStringLiteral("ca.pem")),
                                              QStringLiteral("--oauth2-mechanism"), mechanism});
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    const quint16 popPort = QByteArray(mailbox.Address()).split(':').value(1).toUShort();
    const QString log = m_programDir->filePath(QStringLiteral("protocol.log"));
    if (imap) {
        try {
            QCOMPARE(ImapMessages(imapServer.Port(), signedIn.Tokens.AccessToken, QStringLiteral("INBOX"), log), qint64(1));
        } catch (const EqmException& error) {
            QFAIL(qPrintable(error.Message()));
        }
    } else {
        LogInWith(signedIn.Tokens.AccessToken, pop, popPort, smtp.Port(), log);
    }
    if (!pop && !imap)
        QCOMPARE(QDir(output.path()).entryList({QStringLiteral("*.eml")}).size(), 1);
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray logText = logFile.readAll();
    const QByteArray command = imap ? "AUTHENTICATE " : "AUTH ";
    QVERIFY2(logText.contains(command + mechanism.toLatin1() + " ****"), logText.constData());
    QVERIFY(!logText.contains(signedIn.Tokens.AccessToken));
    QVERIFY(!logText.contains(signedIn.Tokens.AccessToken.toBase64().left(12)));

    // The connection test logs in with the token as the clients do.
    if (pop || imap) {
        TConnectionTest test;
        test.TimeOut = 10;
        TServerTestSettings settings;
        settings.Server = "127.0.0.1:" + QByteArray::number(imap ? imapServer.Port() : popPort);
        settings.Security = TqmSecurity::secNone;
        settings.UserName = "alice";
        settings.Password = signedIn.Tokens.AccessToken;
        settings.Incoming = imap ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
        settings.LogInMethod = TqmLogInMethod::OAuth2;
        const TServerTestResult result = test.TestPop3(settings);
        QVERIFY2(result.Outcome == TTestOutcome::Success, qPrintable(result.Detail));
        QVERIFY(result.LoggedIn);
    }

    // A token the server does not know is refused as a log-in, not as a broken server.
    if (imap) {
        QVERIFY_THROWS_EXCEPTION(ELogInRefused, ImapMessages(imapServer.Port(), "not-a-token", QStringLiteral("INBOX")));
    } else if (pop) {
        TqmPOP client;
        client.Server = mailbox.Address();
        client.Security = TqmSecurity::secNone;
        client.UserName = "alice";
        client.Password = "not-a-token";
        client.LogInMethod = TqmLogInMethod::OAuth2;
        QVERIFY_THROWS_EXCEPTION(ELogInRefused, client.OpenConnection());
    } else {
        TqmSMTP client;
        client.Server = "127.0.0.1:" + QByteArray::number(smtp.Port());
        client.Security = TqmSecurity::secNone;
        client.UserName = "alice";
        client.Password = "not-a-token";
        client.LogInMethod = TqmLogInMethod::OAuth2;
        client.OpenConnection();
        QVERIFY_THROWS_EXCEPTION(ELogInRefused, client.Authenticate());
    }
}

void TestOAuth2EndToEnd::expiredAccessTokenIsRefreshed()
{
    const TSignInResult signedIn = SignIn();
    QVERIFY2(signedIn.Error.isEmpty(), qPrintable(signedIn.Error));
    TOAuth2Tokens tokens = signedIn.Tokens;
    tokens.Expires = QDateTime::currentDateTimeUtc().addSecs(-10);
    StoreTokens(tokens);
    Post("/control/expire");
    const int refreshesBefore = Stats().value(QStringLiteral("refresh_token")).toInt();

    TAgentJob job;
    QString error;
    QVERIFY2(FillReceiveJob(job, "Work", KeepModeFromAccount, &error), qPrintable(error));
    QVERIFY(job.Password != tokens.AccessToken);
    QCOMPARE(Stats().value(QStringLiteral("refresh_token")).toInt(), refreshesBefore + 1);
    const TOAuth2Tokens renewed = StoredTokens();
    QCOMPARE(renewed.AccessToken, job.Password);
    QCOMPARE(renewed.RefreshToken, tokens.RefreshToken);
    QVERIFY(renewed.Expires > QDateTime::currentDateTimeUtc().addSecs(3000));
    LogInWith(job.Password, true, QByteArray(m_mailbox.Address()).split(':').value(1).toUShort(), 0,
              m_programDir->filePath(QStringLiteral("pop.log")));

    // Still valid: the next job takes it without asking the server.
    TAgentJob again;
    QVERIFY(FillReceiveJob(again, "Work", KeepModeFromAccount, &error));
    QCOMPARE(again.Password, job.Password);
    QCOMPARE(Stats().value(QStringLiteral("refresh_token")).toInt(), refreshesBefore + 1);
}

void TestOAuth2EndToEnd::revokedRefreshTokenAsksToSignInAgain()
{
    const TSignInResult signedIn = SignIn();
    QVERIFY2(signedIn.Error.isEmpty(), qPrintable(signedIn.Error));
    TOAuth2Tokens tokens = signedIn.Tokens;
    tokens.Expires = QDateTime::currentDateTimeUtc().addSecs(-10);
    StoreTokens(tokens);
    Post("/revoke", "token=" + QUrl::toPercentEncoding(QString::fromLatin1(tokens.RefreshToken)));

    TAgentJob job;
    QString error;
    QVERIFY(!FillReceiveJob(job, "Work", KeepModeFromAccount, &error));
    const QString expectedStart = MessageText(SignInAgainText).section(QStringLiteral("$T"), 0, 0);
    QVERIFY2(error.startsWith(expectedStart) && error.contains(QLatin1String("invalid_grant")), qPrintable(error));
    QVERIFY(!error.contains(QString::fromLatin1(tokens.RefreshToken)));
    QVERIFY(job.Password.isEmpty());
    // The dead tokens are gone; the next attempt says "not signed in" without asking the server.
    QVERIFY(StoredTokens().IsEmpty());
    TAgentJob sendJob;
    QVERIFY(!FillSendJob(sendJob, "127.0.0.1:" + QByteArray::number(m_smtp.Port()), &error));
    QVERIFY(sendJob.Password.isEmpty());
}

void TestOAuth2EndToEnd::wrongStateIsRefused()
{
    Post("/control/wrong-state", "on=1");
    const int grantsBefore = Stats().value(QStringLiteral("authorization_code")).toInt();
    const TSignInResult result = SignIn();
    QCOMPARE(result.Error, MessageText(WrongStateText));
    QVERIFY(result.Tokens.IsEmpty());
    // The code of a forged redirect is never exchanged.
    QCOMPARE(Stats().value(QStringLiteral("authorization_code")).toInt(), grantsBefore);
}

void TestOAuth2EndToEnd::hangingTokenEndpointTimesOut()
{
    const TSignInResult signedIn = SignIn();
    QVERIFY2(signedIn.Error.isEmpty(), qPrintable(signedIn.Error));
    Post("/control/hang-token", "on=1");
    QElapsedTimer clock;
    clock.start();
    const TSignInResult result = SignIn(1500);
    QVERIFY2(result.Error.contains(QStringLiteral("Zeitüberschreitung")), qPrintable(result.Error));
    QVERIFY(clock.elapsed() < 15000);
    const TTokenReply refresh = RefreshOAuth2Tokens(Registration(), signedIn.Tokens.RefreshToken, QDateTime::currentDateTimeUtc(), 1500);
    QVERIFY2(refresh.Error.contains(QStringLiteral("Zeitüberschreitung")), qPrintable(refresh.Error));
    QVERIFY(!refresh.Refused);
    Post("/control/hang-token", "on=0");
}

QTEST_MAIN(TestOAuth2EndToEnd)
#include "tst_oauth2_e2e.moc"

// The first-account wizard as a person meets it, offscreen, against the real Dovecot and SMTP
// servers on 127.0.0.1: the first start opens it, name, address and password are typed, the
// look-up finds nothing and every server page is filled by typing, the ports follow the security,
// "host:port" fills the port field, "no encryption" is only taken after the warning, the last page
// tests both servers and Finish stores the account with SMTP authentication. With an address whose
// settings are found (autoconfig document, provider file) the person types no host name and the
// stored account receives and sends. A failing test says what failed and lets the person go back;
// Cancel stops a test that hangs. Pictures of every page, German and English.

#include "AccountsMain.h"
#include "AgentFixture.h"
#include "CertificateDialog.h"
#include "ConnectionTestPage.h"
#include "LanguageRows.h"
#include "ModalDialogs.h"
#include "ReportCapture.h"
#include "Screenshot.h"
#include "ScriptedRasBackend.h"
#include "TestInstallation.h"
#include "LookupPage.h"
#include "LookupServers.h"
#include "TestServers.h"
#include "qmmsg.h"
#include "qmpop3.h"
#include "qmsmtp.h"
#include "Wizzard.h"
#include "tk_reglib.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr int TestTimeOut = 30000;

void Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Runs `step` once `condition` holds, polled every 10 ms. A connection test waits in its own event
// loop, so what a person does while it runs (look at it, click Cancel) can only happen from there.
void WhenTrue(const std::function<bool()>& condition, const std::function<void()>& step, int triesLeft = 3000)
{
    QTimer::singleShot(10, [=] {
        if (condition())
            step();
        else if (triesLeft > 0)
            WhenTrue(condition, step, triesLeft - 1);
    });
}

void PrepareForTestServers(TWizzardFrm& wizard, const QString& providers = QStringLiteral("/nonexistent"))
{
    auto prepare = [](TConnectionTest& test) {
        // Dovecot takes a client on its own address for an encrypted one.
        test.BindAddress = QHostAddress(QStringLiteral("127.0.0.2"));
        test.TimeOut = 10;
    };
    wizard.TestPage->PrepareTest = prepare;
    wizard.LookupPage->PrepareTest = prepare;
    wizard.LookupPage->Options.ProviderDirectory = providers;
}

} // namespace

class TestWizardWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { m_installation.reset(); }
    void walkToAStoredAccount_data() { AddLanguageRows(); }
    void walkToAStoredAccount();
    void failedTestSaysWhatAndAllowsBack_data() { AddLanguageRows(); }
    void failedTestSaysWhatAndAllowsBack();
    void cancelStopsAHangingTest();
    void untrustedCertificateIsOfferedAndPinned();
    void foundSettingsNeedNoHostName_data();
    void foundSettingsNeedNoHostName();
    void imapAccountIsTestedAndStored_data() { AddLanguageRows(); }
    void imapAccountIsTestedAndStored();
    void imapOnlyProviderFoundEndsInAReceivingAccount_data();
    void imapOnlyProviderFoundEndsInAReceivingAccount();

private:
    void Install(int language)
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"), language);
        QVERIFY(CreateAccountsDatabase());
    }
    void Walk(TWizzardFrm& wizard, const QString& suffix);
    static QString Suffix(int language) { return language == 2 ? QStringLiteral("-en") : QStringLiteral("-de"); }

    LookupServers m_servers;
    TestServer& m_pop3 = m_servers.Pop3;
    TestServer& m_smtp = m_servers.Smtp;
    QTemporaryDir m_providers;
    TestServer m_imap;
    std::unique_ptr<TestInstallation> m_installation;
};

void TestWizardWindow::initTestCase()
{
    const QString error = m_servers.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QFile provider(m_providers.filePath(QStringLiteral("provider.xml")));
    QVERIFY(provider.open(QIODevice::WriteOnly));
    provider.write("<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\"><emailProvider id=\"provider.test\">"
                   "<domain>provider.test</domain><displayName>Testprovider</displayName>"
                   "<incomingServer type=\"pop3\"><hostname>localhost</hostname><port>"
                   + QByteArray::number(m_pop3.Port())
                   + "</port><socketType>STARTTLS</socketType><username>%EMAILLOCALPART%</username></incomingServer>"
                     "<outgoingServer type=\"smtp\"><hostname>localhost</hostname><port>"
                   + QByteArray::number(m_smtp.TlsPort())
                   + "</port><socketType>SSL</socketType><username>%EMAILLOCALPART%</username></outgoingServer>"
                     "</emailProvider></clientConfig>\n");
    const QString imapError = m_imap.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_servers.Certificates.path());
    QVERIFY2(imapError.isEmpty(), qPrintable(imapError));
}

void TestWizardWindow::Walk(TWizzardFrm& wizard, const QString& suffix)
{
    PrepareForTestServers(wizard);
    QStringList questions;
    bool answer = false;
    wizard.AskQuestion = [&](const QString& question) {
        questions.append(question);
        return answer;
    };
    auto picture = [&] {
        SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page%2").arg(suffix).arg(wizard.CurrentPage() + 1));
    };
    auto next = [&](int expectedPage) {
        picture();
        QVERIFY(wizard.NextBtn->isEnabled());
        QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
        QCOMPARE(wizard.CurrentPage(), expectedPage);
    };
    QVERIFY(!wizard.PrevBtn->isEnabled());
    Type(wizard.SmtpNameEdt, QStringLiteral("Alice Example"));
    Type(wizard.SmtpAddressEdt, QStringLiteral("alice@example.org"));
    // Without the password the servers found could not be tried.
    QVERIFY(!wizard.NextBtn->isEnabled());
    Type(wizard.PopPasswordEdt, QStringLiteral("secret"));
    next(wpLookup);
    // Nobody knows example.org here: the look-up says so and Next leads to the server pages.
    QTRY_VERIFY_WITH_TIMEOUT(wizard.LookupPage->Finished(), TestTimeOut);
    QVERIFY(!wizard.LookupPage->FoundWorking());
    QVERIFY(wizard.LookupPage->FoundLbl->text().contains(QLatin1String("alice@example.org")));
    next(wpIncoming);

    // Incoming: the port follows the security; "no encryption" needs a yes to the warning.
    QVERIFY(!wizard.NextBtn->isEnabled());
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("110"));
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secTls));
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("995"));
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secNone));
    QCOMPARE(questions.size(), 1);
    QCOMPARE(wizard.PopSecurityCmb->currentIndex(), WizardSecurityIndex(TqmSecurity::secTls));
    QVERIFY(wizard.PopPlainTextLbl->isHidden());
    answer = true;
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secNone));
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions.last().contains(QLatin1String("Klartext")) || questions.last().contains(QLatin1String("plain text")));
    QVERIFY(!wizard.PopPlainTextLbl->isHidden());
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("110"));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page4-none").arg(suffix));
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secStartTls));
    // "host:port" in the server field fills the port field.
    Type(wizard.PopServerEdt, QStringLiteral("localhost:%1").arg(m_pop3.Port()));
    QVERIFY(wizard.NextBtn->isEnabled());
    next(wpOutgoing);
    QCOMPARE(wizard.PopServerEdt->text(), QStringLiteral("localhost"));
    QCOMPARE(wizard.PopPortEdt->text(), QString::number(m_pop3.Port()));

    // Outgoing: a port typed by hand stays when the security changes; authentication is on.
    QCOMPARE(wizard.SmtpPortEdt->text(), QStringLiteral("587"));
    QVERIFY(wizard.SmtpAuthChk->isChecked());
    Type(wizard.SmtpServerEdt, QStringLiteral("localhost"));
    Type(wizard.SmtpPortEdt, QString::number(m_smtp.Port()));
    wizard.SmtpSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secTls));
    QCOMPARE(wizard.SmtpPortEdt->text(), QString::number(m_smtp.Port()));
    wizard.SmtpSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secStartTls));
    next(wpLogin);

    QVERIFY(!wizard.NextBtn->isEnabled());
    Type(wizard.PopUsernameEdt, QStringLiteral("alice"));
    next(wpAccountName);
    QCOMPARE(wizard.NameEdt->text(), QStringLiteral("alice@example.org"));
    Type(wizard.NameEdt, QStringLiteral("Privat"));
    // The test runs once the click has returned; meanwhile neither Back nor Finish.
    QList<bool> whileRunning;
    WhenTrue([&] { return wizard.TestPage->Running(); }, [&] {
        whileRunning = {wizard.PrevBtn->isEnabled(), wizard.NextBtn->isEnabled(), wizard.TestPage->ProgressBar->isHidden()};
    });
    next(wpConnectionTest);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    QCOMPARE(whileRunning, (QList<bool>{false, false, false}));
    QVERIFY2(wizard.TestPage->Succeeded(), qPrintable(wizard.TestPage->PopResultLbl->text() + QLatin1Char('\n')
                                                      + wizard.TestPage->SmtpResultLbl->text()));
    QVERIFY(wizard.TestPage->ProgressBar->isHidden());
    const bool english = suffix == QLatin1String("-en");
    QVERIFY(wizard.TestPage->SmtpResultLbl->text().startsWith(english ? QStringLiteral("OK: encrypted")
                                                                      : QStringLiteral("In Ordnung: verschlüsselt")));
    QVERIFY(wizard.PrevBtn->isEnabled());
    QVERIFY(wizard.NextBtn->isEnabled());
    picture();
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
}

void TestWizardWindow::walkToAStoredAccount()
{
    QFETCH(int, language);
    Install(language);
    TAccountsMainFrm form(std::make_shared<ScriptedRasBackend>());
    bool walked = false;
    WhenModal<TWizzardFrm>([&](TWizzardFrm& wizard) {
        Walk(wizard, Suffix(language));
        walked = true;
        // A failed step leaves the wizard open: close it so that the test ends.
        if (wizard.isVisible())
            wizard.reject();
    });
    // The first activation opens the wizard, which is walked while the window waits for it.
    form.show();
    form.activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(walked, TestTimeOut * 2);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(form.ListBox->count(), 1);

    const std::optional<TAccount> stored = ReadAccount(1);
    QVERIFY(stored);
    QCOMPARE(stored->Name, QByteArray("Privat"));
    QCOMPARE(stored->PopServer, "localhost:" + QByteArray::number(m_pop3.Port()));
    QCOMPARE(stored->SmtpServer, "localhost:" + QByteArray::number(m_smtp.Port()));
    QVERIFY(stored->SmtpAuth);
    QVERIFY(stored->SmtpAuthPop);
    QCOMPARE(stored->SmtpUsername, QByteArray("alice"));
    QCOMPARE(stored->SmtpPassword, QByteArray("secret"));
    QVERIFY(stored->Standard);
    const TAccountSecurity security = ReadAccountSecurity("Privat");
    QCOMPARE(security.PopSecurity, TqmSecurity::secStartTls);
    QCOMPARE(security.SmtpSecurity, TqmSecurity::secStartTls);
}

void TestWizardWindow::failedTestSaysWhatAndAllowsBack()
{
    QFETCH(int, language);
    Install(language);
    TWizzardFrm wizard;
    PrepareForTestServers(wizard);
    TWizardChoices choices;
    choices.SmtpAddress = QStringLiteral("alice@example.org");
    choices.Pop = {QStringLiteral("localhost"), QString::number(m_pop3.Port()), TqmSecurity::secStartTls};
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    choices.Smtp = {QStringLiteral("127.0.0.1"), QString::number(closedPort), TqmSecurity::secStartTls};
    choices.PopUsername = QStringLiteral("alice");
    choices.PopPassword = QStringLiteral("wrong");
    choices.Name = QStringLiteral("Privat");
    wizard.SetChoices(choices);
    wizard.show();
    wizard.ShowPage(wpConnectionTest);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    const bool english = language == 2;
    const QString pop = wizard.TestPage->PopResultLbl->text();
    const QString smtp = wizard.TestPage->SmtpResultLbl->text();
    QVERIFY2(pop.contains(english ? QLatin1String("refused the log-in") : QLatin1String("hat die Anmeldung abgelehnt")), qPrintable(pop));
    QVERIFY2(smtp.contains(english ? QLatin1String("refuses the connection") : QLatin1String("lehnt die Verbindung ab")),
             qPrintable(smtp));
    QVERIFY(!wizard.TestPage->Succeeded());
    QVERIFY(wizard.TestPage->SummaryLbl->text().startsWith(english ? QLatin1String("Not everything works")
                                                                   : QLatin1String("Nicht alles funktioniert")));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page8-failed").arg(Suffix(language)));
    QVERIFY(wizard.NextBtn->isEnabled());
    QTest::mouseClick(wizard.PrevBtn, Qt::LeftButton);
    QCOMPARE(wizard.CurrentPage(), int(wpAccountName));
}

void TestWizardWindow::cancelStopsAHangingTest()
{
    Install(0);
    // A server that takes the connection and never says a word.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    TWizzardFrm wizard;
    wizard.TestPage->PrepareTest = [](TConnectionTest& test) { test.TimeOut = 60; };
    TWizardChoices choices;
    choices.Pop = {QStringLiteral("127.0.0.1"), QString::number(silent.serverPort()), TqmSecurity::secStartTls};
    choices.Smtp = choices.Pop;
    choices.PopUsername = QStringLiteral("alice");
    choices.PopPassword = QStringLiteral("secret");
    choices.Name = QStringLiteral("Privat");
    wizard.SetChoices(choices);
    wizard.show();
    QElapsedTimer clock;
    bool stopVisible = false;
    WhenTrue([&] { return wizard.TestPage->PopResultLbl->text().startsWith(QStringLiteral("Verbinde mit 127.0.0.1:")); },
             [&] {
                 SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard-de-page8-running"));
                 stopVisible = wizard.TestPage->Running() && !wizard.TestPage->StopBtn->isHidden();
                 clock.start();
                 QTest::mouseClick(wizard.TestPage->StopBtn, Qt::LeftButton);
             });
    wizard.ShowPage(wpConnectionTest);
    QTRY_VERIFY_WITH_TIMEOUT(clock.isValid() && !wizard.TestPage->Running(), TestTimeOut);
    QVERIFY(stopVisible);
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(!wizard.TestPage->Finished());
    QCOMPARE(wizard.TestPage->PopResultLbl->text(), QStringLiteral("Abgebrochen."));
    QCOMPARE(wizard.TestPage->SmtpResultLbl->text(), QStringLiteral("Abgebrochen."));
    QVERIFY(wizard.TestPage->SummaryLbl->text().startsWith(QStringLiteral("Der Test wurde abgebrochen")));
    // Finish creates the account untested; "Test again" starts over.
    QVERIFY(wizard.NextBtn->isEnabled());
    QVERIFY(!wizard.TestPage->TestBtn->isHidden());

    // The wizard's own Cancel during a test ends test and wizard at once.
    clock.invalidate();
    WhenTrue([&] { return wizard.TestPage->Running(); }, [&] {
        clock.start();
        QTest::mouseClick(wizard.CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(wizard.TestPage->TestBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(clock.isValid() && !wizard.TestPage->Running(), TestTimeOut);
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY(!wizard.isVisible());
    QCOMPARE(wizard.result(), int(QDialog::Rejected));
}

void TestWizardWindow::untrustedCertificateIsOfferedAndPinned()
{
    Install(0);
    TWizzardFrm wizard;
    PrepareForTestServers(wizard);
    // The test certificate is issued to "localhost": at the address it is not trusted.
    TWizardChoices choices;
    choices.Pop = {QStringLiteral("127.0.0.1"), QString::number(m_pop3.TlsPort()), TqmSecurity::secTls};
    choices.Smtp = {QStringLiteral("localhost"), QString::number(m_smtp.Port()), TqmSecurity::secStartTls};
    choices.PopUsername = QStringLiteral("alice");
    choices.PopPassword = QStringLiteral("secret");
    choices.Name = QStringLiteral("Privat");
    wizard.SetChoices(choices);
    int asked = 0;
    WhenModal<TCertificateFrm>([&](TCertificateFrm& dialog) {
        ++asked;
        QTest::mouseClick(dialog.TrustBtn, Qt::LeftButton);
    });
    wizard.show();
    wizard.ShowPage(wpConnectionTest);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    QCOMPARE(asked, 1);
    QVERIFY2(wizard.TestPage->Succeeded(), qPrintable(wizard.TestPage->PopResultLbl->text()));
    QVERIFY2(wizard.TestPage->PopResultLbl->text().contains(QStringLiteral("wird für dieses Mailkonto vertraut")),
             qPrintable(wizard.TestPage->PopResultLbl->text()));

    const QList<QSslCertificate> served = QSslCertificate::fromPath(m_servers.Certificates.filePath(QStringLiteral("server.pem")));
    QCOMPARE(served.size(), 1);
    const TServerPin expected{"127.0.0.1:" + QByteArray::number(m_pop3.TlsPort()),
                              served.first().digest(QCryptographicHash::Sha256).toHex(':')};
    // Nothing is stored before Finish; the account then keeps that server's pin, and only that one.
    const TRegistryKey group(AccountSecurityKey("Privat"));
    QVERIFY(!group.ValueExists(QStringLiteral("PopPinnedCertificate")) && !group.ValueExists(QStringLiteral("PopSecurity")));
    const TAccountDraft draft = wizard.Draft();
    QCOMPARE(draft.Security.PopPin, expected);
    QVERIFY(draft.Security.SmtpPin.IsEmpty());
    QVERIFY(AddAccount(draft) != 0);
    QCOMPARE(ReadAccountSecurity("Privat").PopPin, expected);
    // Tested again, the pin is used at once: no second question.
    bool started = false;
    WhenTrue([&] { return wizard.TestPage->Running(); }, [&] { started = true; });
    QTest::mouseClick(wizard.TestPage->TestBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(started && wizard.TestPage->Finished(), TestTimeOut);
    QCOMPARE(asked, 1);
    QVERIFY(wizard.TestPage->Succeeded());
}

void TestWizardWindow::foundSettingsNeedNoHostName_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("source");
    QTest::newRow("autoconfig, German") << 0 << "alice@good.test" << "Autoconfig-Dokument Ihres Providers";
    QTest::newRow("provider file, German") << 0 << "alice@provider.test" << "Provider-Datei „Testprovider“";
    QTest::newRow("autoconfig, English") << 2 << "alice@good.test" << "provider's autoconfig document";
    QTest::newRow("provider file, English") << 2 << "alice@provider.test" << "provider file “Testprovider”";
}

void TestWizardWindow::foundSettingsNeedNoHostName()
{
    QFETCH(int, language);
    QFETCH(QString, address);
    QFETCH(QString, source);
    Install(language);
    const QString suffix = Suffix(language) + (address.contains(QLatin1String("good")) ? QStringLiteral("-autoconfig") : QStringLiteral("-provider"));
    TWizzardFrm wizard;
    PrepareForTestServers(wizard, m_providers.path());
    wizard.show();
    Type(wizard.SmtpNameEdt, QStringLiteral("Alice Example"));
    Type(wizard.SmtpAddressEdt, address);
    Type(wizard.PopPasswordEdt, QStringLiteral("secret"));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page1").arg(suffix));
    // From the click to the filled server fields.
    QElapsedTimer clock;
    qint64 filled = -1;
    wizard.LookupPage->OnSettingsFound = [&, previous = wizard.LookupPage->OnSettingsFound](const TWizardChoices& found) {
        previous(found);
        if (filled < 0)
            filled = clock.elapsed();
    };
    bool progressShown = false;
    WhenTrue([&] { return wizard.LookupPage->Running(); }, [&] {
        progressShown = !wizard.LookupPage->ProgressBar->isHidden() && !wizard.LookupPage->StopBtn->isHidden()
                        && !wizard.NextBtn->isEnabled() && !wizard.PrevBtn->isEnabled();
    });
    clock.start();
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.LookupPage->Finished(), TestTimeOut);
    qInfo("%s: settings filled %lld ms after Next, tested after %lld ms", qPrintable(address), filled, clock.elapsed());
    QVERIFY(progressShown);
    QVERIFY2(filled >= 0 && filled < 2000, qPrintable(QString::number(filled)));
    const QString found = wizard.LookupPage->FoundLbl->text();
    QVERIFY2(found.contains(source), qPrintable(found));
    QVERIFY2(wizard.LookupPage->FoundWorking(), qPrintable(wizard.LookupPage->PopResultLbl->text() + QLatin1Char('\n')
                                                           + wizard.LookupPage->SmtpResultLbl->text()));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page2").arg(suffix));
    // The fields hold what was found and stay editable.
    QCOMPARE(wizard.PopServerEdt->text(), QStringLiteral("localhost"));
    QCOMPARE(wizard.PopUsernameEdt->text(), QStringLiteral("alice"));
    QVERIFY(!wizard.PopServerEdt->isReadOnly() && !wizard.SmtpServerEdt->isReadOnly());
    QTest::mouseClick(wizard.LookupPage->EditBtn, Qt::LeftButton);
    QCOMPARE(wizard.CurrentPage(), int(wpIncoming));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page3").arg(suffix));
    wizard.ShowPage(wpLookup);
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QCOMPARE(wizard.CurrentPage(), int(wpAccountName));
    QCOMPARE(wizard.NameEdt->text(), address);
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    QVERIFY(wizard.TestPage->Succeeded());
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QCOMPARE(wizard.result(), int(QDialog::Accepted));

    // The account as stored receives the waiting message and sends one.
    const TAccountDraft draft = wizard.Draft();
    QVERIFY(AddAccount(draft) != 0);
    const std::optional<TAccount> account = ReadAccount(1);
    QVERIFY(account);
    const TAccountSecurity security = ReadAccountSecurity(account->Name);
    QByteArray retrieved;
    TqmRemotePOP pop;
    pop.Server = account->PopServer;
    pop.UserName = account->PopUsername;
    pop.Password = account->PopPassword;
    pop.Security = security.PopSecurity;
    pop.SetTimeOut(20);
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { retrieved = contents.data(); };
    TqmMessage message;
    message.Sender.Address = account->SmtpAddress;
    message.Recipients.AddAddress("bob@example.org", {});
    message.Subject = "Sent from " + address.toUtf8();
    message.Body = {"Hallo Bob"};
    TqmSMTP smtp;
    smtp.Server = account->SmtpServer;
    smtp.UserName = account->SmtpUsername;
    smtp.Password = account->SmtpPassword;
    smtp.Security = security.SmtpSecurity;
    smtp.SetTimeOut(20);
    smtp.MailMessage = &message;
    try {
        pop.OpenConnection();
        pop.RetrieveMessage(0);
        pop.CloseConnection();
        smtp.OpenConnection();
        smtp.Authenticate();
        smtp.Send_Message();
        smtp.CloseConnection();
    } catch (const EqmException& error) {
        QFAIL(qPrintable(error.Message()));
    }
    QVERIFY(retrieved.contains("Subject: Willkommen"));
    bool sent = false;
    for (const QFileInfo& file : QDir(m_servers.Received.path()).entryInfoList({QStringLiteral("*.eml")})) {
        QFile stored(file.filePath());
        sent = sent || (stored.open(QIODevice::ReadOnly) && stored.readAll().contains(message.Subject));
    }
    QVERIFY(sent);
}

// IMAP chosen on the incoming page: the port follows protocol and security, the caption names the
// protocol, the connection test logs in over IMAP, and the account stores the protocol.
void TestWizardWindow::imapAccountIsTestedAndStored()
{
    QFETCH(int, language);
    Install(language);
    TWizzardFrm wizard;
    PrepareForTestServers(wizard);
    TWizardChoices choices;
    choices.SmtpName = QStringLiteral("Alice Example");
    choices.SmtpAddress = QStringLiteral("alice@example.org");
    choices.Smtp = {QStringLiteral("localhost"), QString::number(m_smtp.Port()), TqmSecurity::secStartTls};
    choices.PopUsername = QStringLiteral("alice");
    choices.PopPassword = QStringLiteral("secret");
    choices.Name = QStringLiteral("Privat");
    wizard.SetChoices(choices);
    wizard.show();
    wizard.ShowPage(wpIncoming);
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("110"));
    wizard.IncomingProtocolCmb->setCurrentIndex(1);
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("143"));
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secTls));
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("993"));
    wizard.PopSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secStartTls));
    QCOMPARE(wizard.PopPortEdt->text(), QStringLiteral("143"));
    Type(wizard.PopServerEdt, QStringLiteral("localhost:%1").arg(m_imap.Port()));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard-imap%1-page4").arg(Suffix(language)));
    QVERIFY(wizard.NextBtn->isEnabled());
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QCOMPARE(wizard.PopPortEdt->text(), QString::number(m_imap.Port()));
    wizard.ShowPage(wpConnectionTest);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard-imap%1-page8").arg(Suffix(language)));
    QVERIFY2(wizard.TestPage->Succeeded(), qPrintable(wizard.TestPage->PopResultLbl->text() + QLatin1Char('\n')
                                                      + wizard.TestPage->SmtpResultLbl->text()));
    QVERIFY2(wizard.TestPage->PopCaptionLbl->text().contains(QLatin1String("(IMAP)")),
             qPrintable(wizard.TestPage->PopCaptionLbl->text()));
    const TAccountDraft draft = wizard.Draft();
    QCOMPARE(draft.Security.Incoming, TIncomingProtocol::Imap);
    QCOMPARE(draft.Account.PopServer, "localhost:" + QByteArray::number(m_imap.Port()));
    // Reopened after a name conflict, the wizard shows IMAP again.
    TWizzardFrm again;
    again.SetChoices(ChoicesOfDraft(draft));
    QCOMPARE(again.IncomingProtocolCmb->currentIndex(), 1);
    QCOMPARE(again.Draft().Security.Incoming, TIncomingProtocol::Imap);
}

void TestWizardWindow::imapOnlyProviderFoundEndsInAReceivingAccount_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("source");
    QTest::newRow("autoconfig, German") << 0 << "alice@imaponly.test" << "Autoconfig-Dokument Ihres Providers";
    QTest::newRow("guess, German") << 0 << "alice@imapguess.test" << "Prüfung der üblichen Servernamen";
    QTest::newRow("autoconfig, English") << 2 << "alice@imaponly.test" << "provider's autoconfig document";
    QTest::newRow("guess, English") << 2 << "alice@imapguess.test" << "check of the usual server names";
}

// An IMAP-only provider: from the address (no host typed) to an account the agent receives with.
void TestWizardWindow::imapOnlyProviderFoundEndsInAReceivingAccount()
{
    QFETCH(int, language);
    QFETCH(QString, address);
    QFETCH(QString, source);
    Install(language);
    const bool guessed = address.contains(QLatin1String("guess"));
    const QString suffix = Suffix(language) + (guessed ? QStringLiteral("-imapguess") : QStringLiteral("-imapautoconfig"));
    TWizzardFrm wizard;
    PrepareForTestServers(wizard, m_providers.path());
    wizard.show();
    Type(wizard.SmtpNameEdt, QStringLiteral("Alice Example"));
    Type(wizard.SmtpAddressEdt, address);
    Type(wizard.PopPasswordEdt, QStringLiteral("secret"));
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.LookupPage->Finished(), TestTimeOut);
    const QString found = wizard.LookupPage->FoundLbl->text();
    QVERIFY2(found.contains(source), qPrintable(found));
    QVERIFY2(found.contains(QStringLiteral("IMAP localhost:%1").arg(m_servers.Imap.TlsPort())), qPrintable(found));
    QVERIFY2(wizard.LookupPage->PopCaptionLbl->text().contains(QLatin1String("(IMAP)")),
             qPrintable(wizard.LookupPage->PopCaptionLbl->text()));
    SaveScreenshot(wizard, QStringLiteral("lmaccounts-wizard%1-page2").arg(suffix));
    if (guessed) {
        // A guess knows no user name but the address, which this server does not know: the
        // person types the user name only.
        QVERIFY(!wizard.LookupPage->FoundWorking());
        QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
        QCOMPARE(wizard.CurrentPage(), int(wpIncoming));
        QCOMPARE(wizard.IncomingProtocolCmb->currentIndex(), 1);
        QCOMPARE(wizard.PopServerEdt->text(), QStringLiteral("localhost"));
        QCOMPARE(wizard.PopPortEdt->text(), QString::number(m_servers.Imap.TlsPort()));
        wizard.ShowPage(wpLogin);
        Type(wizard.PopUsernameEdt, QStringLiteral("alice"));
        wizard.ShowPage(wpAccountName);
    } else {
        QVERIFY2(wizard.LookupPage->FoundWorking(), qPrintable(wizard.LookupPage->PopResultLbl->text() + QLatin1Char('\n')
                                                               + wizard.LookupPage->SmtpResultLbl->text()));
        QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
        QCOMPARE(wizard.CurrentPage(), int(wpAccountName));
    }
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(wizard.TestPage->Finished(), TestTimeOut);
    QVERIFY2(wizard.TestPage->Succeeded(), qPrintable(wizard.TestPage->PopResultLbl->text()));
    QTest::mouseClick(wizard.NextBtn, Qt::LeftButton);
    QCOMPARE(wizard.result(), int(QDialog::Accepted));
    QVERIFY(AddAccount(wizard.Draft()) != 0);
    const QByteArray name = address.toUtf8();
    QCOMPARE(ReadAccountSecurity(name).Incoming, TIncomingProtocol::Imap);
    QCOMPARE(ReadAccountSecurity(name).PopSecurity, TqmSecurity::secTls);

    // The built agent receives the waiting message with the job the main window would write.
    TAgentJob job;
    QString error;
    QVERIFY2(FillReceiveJob(job, name, KeepModeForceKeep, &error), qPrintable(error));
    QCOMPARE(job.Action, ImapReceiveAction);
    AgentInstallation agent;
    QVERIFY(agent.IsReady());
    QVERIFY(agent.WriteJob(job));
    const AgentResult result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    const QByteArrayList received = AgentInstallation::Contents(AgentInstallation::EmlFiles(agent.SpoolDir()));
    QCOMPARE(received.size(), 1);
    QVERIFY(received.first().contains("Subject: Willkommen"));
}

QTEST_MAIN(TestWizardWindow)
#include "tst_wizardwindow.moc"

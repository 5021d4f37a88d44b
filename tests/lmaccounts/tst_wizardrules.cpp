// The wizard's choices as data: what each combination of server fields, ports, security and SMTP
// authentication stores (record and security group), the ports that follow the security, the pages
// that may be left, a reopened wizard getting back what was typed, and the connection test's
// sorting of failures into what a person can act on.

#include "CertificateTexts.h"
#include "ConnectionTest.h"
#include "TestInstallation.h"
#include "WizardRules.h"
#include "qmconst.h"

#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)
Q_DECLARE_METATYPE(TMailService)
Q_DECLARE_METATYPE(TTestOutcome)
Q_DECLARE_METATYPE(detail::TRaised)

namespace {

constexpr TqmSecurity StartTls = TqmSecurity::secStartTls;
constexpr TqmSecurity Tls = TqmSecurity::secTls;
constexpr TqmSecurity None = TqmSecurity::secNone;

TWizardChoices Typed(const QString& popServer, const QString& popPort, TqmSecurity popSecurity, const QString& smtpServer,
                     const QString& smtpPort, TqmSecurity smtpSecurity, bool smtpAuth)
{
    TWizardChoices choices;
    choices.SmtpName = QStringLiteral("Alice Example");
    choices.SmtpAddress = QStringLiteral(" alice@example.org ");
    choices.Pop = ServerChoiceOfFields(popServer, popPort, popSecurity);
    choices.Smtp = ServerChoiceOfFields(smtpServer, smtpPort, smtpSecurity);
    choices.PopUsername = QStringLiteral("alice");
    choices.PopPassword = QStringLiteral("secret");
    choices.SmtpAuth = smtpAuth;
    choices.Name = QStringLiteral("Work");
    return choices;
}

} // namespace

class TestWizardRules : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"));
        QVERIFY(CreateAccountsDatabase());
    }
    void cleanup() { m_installation.reset(); }

    void choicesBecomeTheAccount_data()
    {
        QTest::addColumn<QString>("popServer");
        QTest::addColumn<QString>("popPort");
        QTest::addColumn<TqmSecurity>("popSecurity");
        QTest::addColumn<QString>("smtpServer");
        QTest::addColumn<QString>("smtpPort");
        QTest::addColumn<TqmSecurity>("smtpSecurity");
        QTest::addColumn<bool>("smtpAuth");
        QTest::addColumn<QByteArray>("storedPop");
        QTest::addColumn<QByteArray>("storedSmtp");

        QTest::newRow("defaults: STARTTLS, submission port")
            << "pop.example.org" << "110" << StartTls << "smtp.example.org" << "587" << StartTls << true
            << QByteArray("pop.example.org") << QByteArray("smtp.example.org:587");
        QTest::newRow("TLS from the first byte on the usual ports")
            << "pop.example.org" << "995" << Tls << "smtp.example.org" << "465" << Tls << true
            << QByteArray("pop.example.org") << QByteArray("smtp.example.org");
        QTest::newRow("TLS on a port of the provider's own")
            << "pop.example.org" << "1995" << Tls << "smtp.example.org" << "2465" << Tls << true
            << QByteArray("pop.example.org:1995") << QByteArray("smtp.example.org:2465");
        QTest::newRow("host:port typed into the server fields wins over the port fields")
            << "pop.example.org:1110" << "110" << StartTls << " smtp.example.org:25 " << "587" << StartTls << true
            << QByteArray("pop.example.org:1110") << QByteArray("smtp.example.org");
        QTest::newRow("IPv6 with a port") << "[2001:db8::1]:2110" << "110" << StartTls << "2001:db8::2" << "587" << None
                                          << false << QByteArray("[2001:db8::1]:2110") << QByteArray("[2001:db8::2]:587");
        QTest::newRow("no encryption, SMTP without authentication")
            << "pop.example.org" << "110" << None << "smtp.example.org" << "25" << None << false
            << QByteArray("pop.example.org") << QByteArray("smtp.example.org");
    }

    void choicesBecomeTheAccount()
    {
        QFETCH(QString, popServer);
        QFETCH(QString, popPort);
        QFETCH(TqmSecurity, popSecurity);
        QFETCH(QString, smtpServer);
        QFETCH(QString, smtpPort);
        QFETCH(TqmSecurity, smtpSecurity);
        QFETCH(bool, smtpAuth);
        QFETCH(QByteArray, storedPop);
        QFETCH(QByteArray, storedSmtp);
        const TWizardChoices choices = Typed(popServer, popPort, popSecurity, smtpServer, smtpPort, smtpSecurity, smtpAuth);
        QVERIFY(WizardCanLeave(wpIncoming, choices));
        QVERIFY(WizardCanLeave(wpOutgoing, choices));

        const int record = AddAccount(WizardDraft(choices));
        QVERIFY(record != 0);
        const std::optional<TAccount> stored = ReadAccount(record);
        QVERIFY(stored);
        QCOMPARE(stored->PopServer, storedPop);
        QCOMPARE(stored->SmtpServer, storedSmtp);
        QCOMPARE(stored->SmtpAuth, smtpAuth);
        QCOMPARE(stored->SmtpAuthPop, smtpAuth);
        QCOMPARE(stored->SmtpUsername, smtpAuth ? QByteArray("alice") : QByteArray());
        QCOMPARE(stored->SmtpPassword, smtpAuth ? QByteArray("secret") : QByteArray());
        QCOMPARE(stored->Name, QByteArray("Work"));
        QCOMPARE(stored->SmtpName, QByteArray("Alice Example"));
        QCOMPARE(stored->SmtpAddress, QByteArray("alice@example.org"));
        QCOMPARE(stored->PopUsername, QByteArray("alice"));
        QCOMPARE(stored->PopPassword, QByteArray("secret"));
        QVERIFY(stored->Standard);
        QVERIFY(stored->PopKeepMails);
        QCOMPARE(stored->PopDeleteDays, 2);
        const TAccountSecurity security = ReadAccountSecurity("Work");
        QCOMPARE(security.PopSecurity, popSecurity);
        QCOMPARE(security.SmtpSecurity, smtpSecurity);

        // What the connection test tries is what was stored.
        const TServerTestSettings pop = WizardTestSettings(TMailService::Pop, choices);
        QCOMPARE(pop.Server, storedPop);
        QCOMPARE(pop.Security, popSecurity);
        QCOMPARE(WizardTestSettings(TMailService::Smtp, choices).Server, storedSmtp);
        QCOMPARE(WizardTestSettings(TMailService::Smtp, choices).UserName, stored->SmtpUsername);

        // A wizard reopened on the draft (the name was taken) shows what was typed.
        QCOMPARE(detail::EncodeAccount(WizardDraft(ChoicesOfDraft(WizardDraft(choices))).Account),
                 detail::EncodeAccount(WizardDraft(choices).Account));
        QCOMPARE(ChoicesOfDraft(WizardDraft(choices)).Pop.Security, popSecurity);
    }

    void smtpAuthenticationIsOnByDefault()
    {
        const TWizardChoices choices;
        QVERIFY(choices.SmtpAuth);
        QCOMPARE(choices.Pop.Port, QStringLiteral("110"));
        QCOMPARE(choices.Smtp.Port, QStringLiteral("587"));
        QCOMPARE(choices.Pop.Security, StartTls);
        QCOMPARE(choices.Smtp.Security, StartTls);
        QCOMPARE(WizardSecurityModes[0], StartTls);
    }

    void portsFollowTheSecurity_data()
    {
        QTest::addColumn<TMailService>("service");
        QTest::addColumn<TqmSecurity>("security");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("POP3 to TLS") << TMailService::Pop << Tls << "110" << false << "995";
        QTest::newRow("POP3 back to STARTTLS") << TMailService::Pop << StartTls << "995" << false << "110";
        QTest::newRow("POP3 none") << TMailService::Pop << None << "995" << false << "110";
        QTest::newRow("SMTP to TLS") << TMailService::Smtp << Tls << "587" << false << "465";
        QTest::newRow("SMTP to STARTTLS") << TMailService::Smtp << StartTls << "465" << false << "587";
        QTest::newRow("SMTP none uses submission") << TMailService::Smtp << None << "465" << false << "587";
        QTest::newRow("a typed port stays") << TMailService::Smtp << Tls << "2525" << true << "2525";
    }

    void portsFollowTheSecurity()
    {
        QFETCH(TMailService, service);
        QFETCH(TqmSecurity, security);
        QFETCH(QString, shown);
        QFETCH(bool, typed);
        QFETCH(QString, expected);
        QCOMPARE(PortAfterSecurityChange(shown, typed, service, security), expected);
    }

    // IMAP: 143 with STARTTLS or none, 993 with TLS; a server on the client's own default port is
    // stored without it.
    void imapPorts()
    {
        const auto imap = TIncomingProtocol::Imap;
        QCOMPARE(PortAfterSecurityChange(QStringLiteral("143"), false, TMailService::Pop, Tls, imap), QStringLiteral("993"));
        QCOMPARE(PortAfterSecurityChange(QStringLiteral("993"), false, TMailService::Pop, StartTls, imap), QStringLiteral("143"));
        QCOMPARE(PortAfterSecurityChange(QStringLiteral("1143"), true, TMailService::Pop, Tls, imap), QStringLiteral("1143"));
        QCOMPARE(ServerFieldText(TMailService::Pop, {QStringLiteral("imap.example.org"), QStringLiteral("993"), Tls}, imap),
                 QByteArray("imap.example.org"));
        QCOMPARE(ServerFieldText(TMailService::Pop, {QStringLiteral("imap.example.org"), QStringLiteral("995"), Tls}, imap),
                 QByteArray("imap.example.org:995"));
        TWizardChoices choices;
        choices.Incoming = imap;
        choices.Pop = {QStringLiteral("imap.example.org"), QStringLiteral("993"), Tls};
        const TAccountDraft draft = WizardDraft(choices);
        QCOMPARE(draft.Security.Incoming, imap);
        QCOMPARE(ChoicesOfDraft(draft).Pop.Port, QStringLiteral("993"));
        QCOMPARE(WizardTestSettings(TMailService::Pop, choices).Incoming, imap);
    }

    void serverText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::newRow("host") << "pop.example.org" << "pop.example.org" << "";
        QTest::newRow("host:port") << "pop.example.org:995" << "pop.example.org" << "995";
        QTest::newRow("blanks around") << " pop.example.org : 995 " << "pop.example.org" << "995";
        QTest::newRow("empty port") << "pop.example.org:" << "pop.example.org" << "";
        QTest::newRow("IPv6 in brackets with port") << "[::1]:995" << "::1" << "995";
        QTest::newRow("IPv6 in brackets") << "[::1]" << "::1" << "";
        QTest::newRow("bare IPv6") << "2001:db8::1" << "2001:db8::1" << "";
    }

    void serverText()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(QString, port);
        const THostAndPort parts = SplitHostAndPort(text);
        QCOMPARE(parts.Host, host);
        QCOMPARE(parts.Port, port);
    }

    void pagesThatMayBeLeft_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("complete");
        QTest::newRow("usual") << "pop.example.org" << "110" << true;
        QTest::newRow("no host") << "" << "110" << false;
        QTest::newRow("only a port") << ":110" << "110" << false;
        QTest::newRow("blank in the host") << "pop example.org" << "110" << false;
        QTest::newRow("port 0") << "pop.example.org" << "0" << false;
        QTest::newRow("port too large") << "pop.example.org" << "65536" << false;
        QTest::newRow("typed port not a number") << "pop.example.org:pop" << "110" << false;
        QTest::newRow("49 characters and a port do not fit the record") << QString(49, QLatin1Char('p')) << "1110" << false;
        QTest::newRow("50 characters on the standard port fit") << QString(50, QLatin1Char('p')) << "110" << true;
    }

    void pagesThatMayBeLeft()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(bool, complete);
        TWizardChoices choices = Typed(server, port, StartTls, QStringLiteral("smtp.example.org"), QStringLiteral("587"), StartTls, true);
        QCOMPARE(WizardCanLeave(wpIncoming, choices), complete);
        choices.PopPassword.clear();
        QVERIFY(!WizardCanLeave(wpLogin, choices));
        choices.Name = QStringLiteral("W");
        QVERIFY(!WizardCanLeave(wpConnectionTest, choices));
        QVERIFY(WizardCanLeave(wpLookup, choices));
        // The first page wants an address to look up and the password to try the servers with.
        choices.SmtpAddress = QStringLiteral("alice@example.org");
        QVERIFY(!WizardCanLeave(wpStart, choices));
        choices.PopPassword = QStringLiteral("secret");
        QVERIFY(WizardCanLeave(wpStart, choices));
        choices.SmtpAddress = QStringLiteral("alice@example");
        QVERIFY(!WizardCanLeave(wpStart, choices));
        QCOMPARE(WizardProposedName(QString(), QStringLiteral("alice@example.org")), QStringLiteral("alice@example.org"));
        QCOMPARE(WizardProposedName(QStringLiteral("Work"), QStringLiteral("alice@example.org")), QStringLiteral("Work"));
    }

    void failuresAreSorted_data()
    {
        using detail::TRaised;
        QTest::addColumn<TRaised>("raised");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("duringLogIn");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TTestOutcome>("outcome");
        QTest::newRow("host not found") << TRaised::Socket << 11001 << false << false << "" << TTestOutcome::HostNotFound;
        QTest::newRow("refused") << TRaised::Socket << 10061 << false << false << "" << TTestOutcome::Refused;
        QTest::newRow("unreachable") << TRaised::Socket << 10051 << false << false << "" << TTestOutcome::Unreachable;
        QTest::newRow("closed by the server") << TRaised::Socket << 10054 << false << false << "" << TTestOutcome::ConnectionClosed;
        QTest::newRow("no STARTTLS") << TRaised::Socket << int(qmTlsNotOffered) << false << false << ""
                                     << TTestOutcome::TlsNotOffered;
        QTest::newRow("handshake failed") << TRaised::Socket << int(qmTlsFailed) << false << false << "" << TTestOutcome::TlsFailed;
        QTest::newRow("certificate") << TRaised::Socket << int(qmCertificateRejected) << false << false << ""
                                     << TTestOutcome::CertificateUntrusted;
        QTest::newRow("time-out") << TRaised::TimedOut << 0 << false << false << "" << TTestOutcome::TimedOut;
        QTest::newRow("canceled") << TRaised::Canceled << 0 << true << true << "" << TTestOutcome::Canceled;
        QTest::newRow("wrong password over TLS") << TRaised::Server << 0 << true << true << "-ERR [AUTH] Authentication failed."
                                                 << TTestOutcome::LogInRefused;
        QTest::newRow("wrong password in clear") << TRaised::Server << 0 << true << false << "535 5.7.8 Authentication failed"
                                                 << TTestOutcome::LogInRefused;
        QTest::newRow("POP3 refuses plain text")
            << TRaised::Server << 0 << true << false
            << "-ERR [AUTH] Plaintext authentication disallowed on non-secure (SSL/TLS) connections." << TTestOutcome::PlainLogInRefused;
        QTest::newRow("SMTP wants STARTTLS first") << TRaised::Server << 0 << true << false
                                                   << "530 Must issue a STARTTLS command first" << TTestOutcome::PlainLogInRefused;
        QTest::newRow("no AUTH without TLS") << TRaised::Server << 0 << false << false << qmMessageText(qmNoAuthMechanism)
                                             << TTestOutcome::PlainLogInRefused;
        QTest::newRow("no AUTH over TLS") << TRaised::Server << 0 << false << true << qmMessageText(qmNoAuthMechanism)
                                          << TTestOutcome::NoLogInMethod;
        QTest::newRow("greeting of another protocol") << TRaised::Server << 0 << false << false << "220 smtp.test ESMTP"
                                                      << TTestOutcome::UnexpectedReply;
        QTest::newRow("client refused to log in in clear") << TRaised::PlainLogInRefused << int(qmPlainLogInRefused) << false
                                                           << false << "" << TTestOutcome::PlainLogInRefused;
        QTest::newRow("anything else") << TRaised::Socket << 10055 << false << false << "" << TTestOutcome::OtherError;
    }

    void failuresAreSorted()
    {
        QFETCH(detail::TRaised, raised);
        QFETCH(int, code);
        QFETCH(bool, duringLogIn);
        QFETCH(bool, encrypted);
        QFETCH(QString, text);
        QFETCH(TTestOutcome, outcome);
        QCOMPARE(detail::ClassifyFailure(raised, code, duringLogIn, encrypted, text), outcome);
    }

    void resultsInPlainWords_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("certificate");
        QTest::newRow("de") << 0 << "Der Server pop.example.org:110 lehnt die Verbindung ab"
                            << "SHA-256-Fingerabdruck: ab:cd";
        QTest::newRow("en") << 2 << "The server pop.example.org:110 refuses the connection" << "SHA-256 fingerprint: ab:cd";
    }

    void resultsInPlainWords()
    {
        QFETCH(int, language);
        QFETCH(QString, refused);
        QFETCH(QString, certificate);
        SetLanguage(language);
        TServerTestResult result;
        result.Outcome = TTestOutcome::Refused;
        result.Detail = QStringLiteral("[10061] Connection refused");
        const QString server = QStringLiteral("pop.example.org:110");
        const QString text = DescribeTestResult(result, server);
        QVERIFY2(text.startsWith(refused), qPrintable(text));
        QVERIFY2(text.endsWith(QLatin1String("[10061] Connection refused")), qPrintable(text));
        result.Outcome = TTestOutcome::CertificateUntrusted;
        result.Certificate.Host = "pop.example.org";
        result.Certificate.Port = 110;
        result.Certificate.Fingerprint = "ab:cd";
        result.Certificate.Problems = {TnkCertificateProblem::HostNameMismatch};
        const QString untrusted = DescribeTestResult(result, server);
        QVERIFY2(untrusted.contains(certificate), qPrintable(untrusted));
        QVERIFY2(untrusted.contains(CertificateProblemText(TnkCertificateProblem::HostNameMismatch, "pop.example.org")),
                 qPrintable(untrusted));
        SetLanguage(0);
    }

private:
    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_GUILESS_MAIN(TestWizardRules)
#include "tst_wizardrules.moc"

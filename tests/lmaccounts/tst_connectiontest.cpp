// The wizard's connection test against the real Dovecot (TLS required) and SMTP servers on
// 127.0.0.1: success with every encryption, a wrong password, a port where nothing listens, log-ins
// the servers refuse in plain text, TLS against the plain port, an untrusted certificate offered,
// trusted (retried with its pin) or refused, and a Cancel that ends a wait at once.

#include "ConnectionTest.h"
#include "TestServers.h"

#include <QFile>
#include <QElapsedTimer>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(TqmSecurity)
Q_DECLARE_METATYPE(TMailService)
Q_DECLARE_METATYPE(TTestOutcome)

namespace {

enum TPort { PlainPort, TlsPort, RequiredPort, ClosedPort };

} // namespace

Q_DECLARE_METATYPE(TPort)

class TestConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void servers_data();
    void servers();
    void untrustedCertificate_data();
    void untrustedCertificate();
    void cancelEndsTheWaitAtOnce();

private:
    quint16 PortOf(TMailService service, TPort port) const;
    TServerTestResult Test(TConnectionTest& test, TMailService service, const TServerTestSettings& settings);

    QTemporaryDir m_certificates;
    QTemporaryDir m_received;
    TestServer m_pop3;
    TestServer m_smtp;
    quint16 m_closedPort = 0;
    QByteArray m_fingerprint;
};

void TestConnectionTest::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_smtp.StartSmtp(m_received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // A port that was free a moment ago and where nothing listens now.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    m_closedPort = probe.serverPort();
    probe.close();
    const QList<QSslCertificate> served = QSslCertificate::fromPath(m_certificates.filePath(QStringLiteral("server.pem")));
    QCOMPARE(served.size(), 1);
    m_fingerprint = served.first().digest(QCryptographicHash::Sha256).toHex(':');
}

quint16 TestConnectionTest::PortOf(TMailService service, TPort port) const
{
    const TestServer& server = service == TMailService::Pop ? m_pop3 : m_smtp;
    switch (port) {
    case PlainPort: return server.Port();
    case TlsPort: return server.TlsPort();
    case RequiredPort: return server.RequiredPort();
    case ClosedPort: break;
    }
    return m_closedPort;
}

TServerTestResult TestConnectionTest::Test(TConnectionTest& test, TMailService service, const TServerTestSettings& settings)
{
    // Dovecot takes a client on its own address for an encrypted one.
    test.BindAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    test.TimeOut = 10;
    return service == TMailService::Pop ? test.TestPop3(settings) : test.TestSmtp(settings, true);
}

void TestConnectionTest::servers_data()
{
    QTest::addColumn<TMailService>("service");
    QTest::addColumn<TPort>("port");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<TTestOutcome>("outcome");
    QTest::addColumn<bool>("encrypted");
    // In the active language (German): what the person reads first.
    QTest::addColumn<QString>("words");
    const auto pop = TMailService::Pop;
    const auto smtp = TMailService::Smtp;
    const auto starttls = TqmSecurity::secStartTls;
    const auto tls = TqmSecurity::secTls;
    const auto none = TqmSecurity::secNone;
    const QByteArray good = "secret";
    const QByteArray bad = "wrong";

    QTest::newRow("POP3 STARTTLS") << pop << PlainPort << starttls << good << TTestOutcome::Success << true
                                   << "In Ordnung: verschlüsselt verbunden";
    QTest::newRow("POP3 TLS") << pop << TlsPort << tls << good << TTestOutcome::Success << true << "In Ordnung";
    QTest::newRow("POP3 wrong password") << pop << PlainPort << starttls << bad << TTestOutcome::LogInRefused << true
                                         << "hat die Anmeldung abgelehnt";
    QTest::newRow("POP3 nothing listens") << pop << ClosedPort << starttls << good << TTestOutcome::Refused << false
                                          << "lehnt die Verbindung ab";
    QTest::newRow("POP3 refuses plain text") << pop << PlainPort << none << good << TTestOutcome::PlainLogInRefused << false
                                             << "nimmt eine Anmeldung ohne Verschlüsselung nicht an";
    QTest::newRow("POP3 TLS at the STARTTLS port") << pop << PlainPort << tls << good << TTestOutcome::TlsFailed << false
                                                   << "TLS fehlgeschlagen";
    QTest::newRow("SMTP STARTTLS and AUTH") << smtp << PlainPort << starttls << good << TTestOutcome::Success << true
                                            << "In Ordnung: verschlüsselt verbunden";
    QTest::newRow("SMTP TLS and AUTH") << smtp << TlsPort << tls << good << TTestOutcome::Success << true << "In Ordnung";
    QTest::newRow("SMTP wrong password") << smtp << PlainPort << starttls << bad << TTestOutcome::LogInRefused << true
                                         << "hat die Anmeldung abgelehnt";
    QTest::newRow("SMTP nothing listens") << smtp << ClosedPort << tls << good << TTestOutcome::Refused << false
                                          << "lehnt die Verbindung ab";
    QTest::newRow("SMTP offers AUTH only over TLS") << smtp << PlainPort << none << good << TTestOutcome::PlainLogInRefused
                                                    << false << "nimmt eine Anmeldung ohne Verschlüsselung nicht an";
    QTest::newRow("SMTP requires STARTTLS first") << smtp << RequiredPort << none << good << TTestOutcome::PlainLogInRefused
                                                  << false << "nimmt eine Anmeldung ohne Verschlüsselung nicht an";
}

void TestConnectionTest::servers()
{
    QFETCH(TMailService, service);
    QFETCH(TPort, port);
    QFETCH(TqmSecurity, security);
    QFETCH(QByteArray, password);
    QFETCH(TTestOutcome, outcome);
    QFETCH(bool, encrypted);
    QFETCH(QString, words);
    TConnectionTest test;
    QList<TTestStage> stages;
    test.OnStage = [&](TMailService, TTestStage stage) { stages.append(stage); };
    test.OnUntrustedCertificate = [](TMailService, const TnkCertificateFacts&) {
        [] { QFAIL("the test servers' certificate is trusted"); }();
        return false;
    };
    const TServerTestSettings settings{"localhost:" + QByteArray::number(PortOf(service, port)), security, "alice", password, {}};
    const TServerTestResult result = Test(test, service, settings);
    const QString text = DescribeTestResult(result, QStringLiteral("localhost"));
    QVERIFY2(result.Outcome == outcome, qPrintable(text));
    QVERIFY2(text.contains(words), qPrintable(text));
    if (outcome == TTestOutcome::Success || outcome == TTestOutcome::LogInRefused) {
        QCOMPARE(result.Encrypted, encrypted);
        QVERIFY(stages.contains(TTestStage::LoggingIn));
        QCOMPARE(stages.contains(TTestStage::Encrypting), port == PlainPort);
    }
    QCOMPARE(result.LoggedIn, outcome == TTestOutcome::Success);
    QCOMPARE(stages.value(0), TTestStage::Connecting);
}

void TestConnectionTest::untrustedCertificate_data()
{
    QTest::addColumn<TMailService>("service");
    QTest::addColumn<TPort>("port");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<bool>("trust");
    QTest::newRow("POP3 TLS, trusted") << TMailService::Pop << TlsPort << TqmSecurity::secTls << true;
    QTest::newRow("POP3 STARTTLS, not trusted") << TMailService::Pop << PlainPort << TqmSecurity::secStartTls << false;
    QTest::newRow("SMTP STARTTLS, trusted") << TMailService::Smtp << PlainPort << TqmSecurity::secStartTls << true;
    QTest::newRow("SMTP TLS, not trusted") << TMailService::Smtp << TlsPort << TqmSecurity::secTls << false;
}

void TestConnectionTest::untrustedCertificate()
{
    QFETCH(TMailService, service);
    QFETCH(TPort, port);
    QFETCH(TqmSecurity, security);
    QFETCH(bool, trust);
    TConnectionTest test;
    QList<QByteArray> asked;
    test.OnUntrustedCertificate = [&](TMailService askedFor, const TnkCertificateFacts& certificate) {
        asked.append(certificate.Host + ':' + QByteArray::number(certificate.Port));
        [&] {
            QCOMPARE(askedFor, service);
            QCOMPARE(certificate.Fingerprint, m_fingerprint);
            QVERIFY(certificate.Problems.contains(TnkCertificateProblem::HostNameMismatch));
        }();
        return trust;
    };
    // The test certificate is issued to "localhost", not to its address.
    const QByteArray server = "127.0.0.1:" + QByteArray::number(PortOf(service, port));
    const TServerTestResult result = Test(test, service, {server, security, "alice", "secret", {}});
    QCOMPARE(asked, QList<QByteArray>{server});
    if (trust) {
        QVERIFY2(result.Outcome == TTestOutcome::Success, qPrintable(DescribeTestResult(result, QString::fromLatin1(server))));
        QCOMPARE(result.TrustedPin, (TServerPin{server, m_fingerprint}));
        QVERIFY(result.Encrypted);
        return;
    }
    QVERIFY(result.Outcome == TTestOutcome::CertificateUntrusted);
    QVERIFY(result.TrustedPin.IsEmpty());
    const QString text = DescribeTestResult(result, QString::fromLatin1(server));
    QVERIFY2(text.contains(QString::fromLatin1(m_fingerprint)), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("nicht vertrauenswürdig")), qPrintable(text));
}

void TestConnectionTest::cancelEndsTheWaitAtOnce()
{
    // A server that takes the connection and never says a word.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    TConnectionTest test;
    test.TimeOut = 60;
    QTimer::singleShot(300, [&test] { test.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    const TServerTestSettings settings{"127.0.0.1:" + QByteArray::number(silent.serverPort()), TqmSecurity::secStartTls, "alice",
                                       "secret", {}};
    const TServerTestResult pop = test.TestPop3(settings);
    QVERIFY(pop.Outcome == TTestOutcome::Canceled);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(DescribeTestResult(pop, QStringLiteral("x")), QStringLiteral("Abgebrochen."));
    // The SMTP test that would follow does not start.
    bool started = false;
    test.OnStage = [&](TMailService, TTestStage) { started = true; };
    QVERIFY(test.TestSmtp(settings, true).Outcome == TTestOutcome::Canceled);
    QVERIFY(!started);
}

QTEST_GUILESS_MAIN(TestConnectionTest)
#include "tst_connectiontest.moc"

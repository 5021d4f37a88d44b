// The built agent over TLS: receiving from Dovecot that requires it (POP3S and STLS) and sending
// through aiosmtpd with STARTTLS and AUTH PLAIN, with the job's Security and PinnedCertificate,
// and a transfer log that holds no secret.

#include "AgentFixture.h"
#include "TestServers.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

const QByteArray Message = "From: a@example.org\r\nTo: b@example.org\r\nSubject: secure\r\nMessage-ID: <secure@example.org>\r\n"
                           "Date: Mon, 9 Mar 2026 10:00:00 +0100\r\n\r\nover tls\r\n";

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTlsEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void receive_data();
    void receive();
    void send_data();
    void send();

private:
    QTemporaryDir m_certificates;
    QTemporaryDir m_source;
    QTemporaryDir m_received;
    TestServer m_pop3;
    TestServer m_smtp;
    std::unique_ptr<AgentInstallation> m_agent;
};

void TestTlsEndToEnd::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QFile file(m_source.filePath(QStringLiteral("1")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
    file.close();
    error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_smtp.StartSmtp(m_received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestTlsEndToEnd::init()
{
    m_agent = std::make_unique<AgentInstallation>();
    QVERIFY(m_agent->IsReady());
    QVERIFY(QDir().mkpath(m_agent->QueueDir()));
    m_agent->SetGeneral(QStringLiteral("LogActive"), 1);
}

void TestTlsEndToEnd::cleanup() { m_agent.reset(); }

void TestTlsEndToEnd::receive_data()
{
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<bool>("received");
    const QByteArray tls = QByteArray::number(m_pop3.TlsPort());
    QTest::newRow("pop3s") << TqmSecurity::secTls << "localhost:" + tls << true;
    QTest::newRow("stls") << TqmSecurity::secStartTls << "localhost:" + QByteArray::number(m_pop3.Port()) << true;
    QTest::newRow("wrong host name") << TqmSecurity::secTls << "127.0.0.1:" + tls << false;
}

void TestTlsEndToEnd::receive()
{
    QFETCH(TqmSecurity, security);
    QFETCH(QByteArray, server);
    QFETCH(bool, received);
    TAgentJob job;
    job.Action = "POP3";
    job.AccountName = "secure";
    job.Server = server;
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = true;
    job.Security = security;
    QVERIFY(m_agent->WriteJob(job));
    const AgentResult result = m_agent->Run();
    QCOMPARE(result.ExitCode, received ? 0 : 1);
    const QStringList spool = AgentInstallation::EmlFiles(m_agent->SpoolDir());
    QCOMPARE(AgentInstallation::Contents(spool), received ? QByteArrayList{Message} : QByteArrayList());
    const QString logFile = m_agent->DataDir() + QStringLiteral("/logfile.txt");
    const QByteArray log = ReadFile(logFile);
    QVERIFY(!log.contains("secret"));
    QVERIFY2(log.contains("PASS ****") == received, log.constData());
    QCOMPARE(QFile::permissions(logFile) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!QFile::exists(m_agent->ProgramDir() + QStringLiteral("/logfile.txt")));
    // Only an upgrade through STLS is remembered: "auto" then refuses the server without it.
    const QSettings registry(m_agent->RegistryFile(), QSettings::IniFormat);
    const QStringList seen = registry.allKeys().filter(QStringLiteral("Accounts/secure/PopTlsSeen"));
    QCOMPARE(seen.size(), received && security == TqmSecurity::secStartTls ? 1 : 0);
    if (!seen.isEmpty())
        QCOMPARE(registry.value(seen.first()).toString(), QString::fromUtf8(server));
}

void TestTlsEndToEnd::send_data()
{
    QTest::addColumn<bool>("withKeys");
    QTest::addColumn<TqmSecurity>("security");
    QTest::newRow("starttls") << true << TqmSecurity::secStartTls;
    QTest::newRow("job without security keys is auto") << false << TqmSecurity::secAuto;
}

void TestTlsEndToEnd::send()
{
    QFETCH(bool, withKeys);
    QFETCH(TqmSecurity, security);
    QFile queued(m_agent->QueueDir() + QStringLiteral("/smtp_1.eml"));
    QVERIFY(queued.open(QIODevice::WriteOnly) && queued.write(Message) == Message.size());
    queued.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = "localhost:" + QByteArray::number(m_smtp.Port());
    job.Username = "alice";
    job.Password = "secret";
    job.Security = security;
    QVERIFY(m_agent->WriteJob(job));
    if (!withKeys) {
        QByteArray content = ReadFile(m_agent->JobFile());
        content.replace("Security=auto\r\nPinnedCertificate=\r\n", "");
        QFile file(m_agent->JobFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
    }
    const int before = int(QDir(m_received.path()).entryList({QStringLiteral("*.eml")}).size());
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!queued.exists());
    QCOMPARE(QDir(m_received.path()).entryList({QStringLiteral("*.eml")}).size(), before + 1);
    const QByteArray log = ReadFile(m_agent->DataDir() + QStringLiteral("/logfile.txt"));
    QVERIFY2(log.contains("STARTTLS") && log.contains("AUTH PLAIN ****"), log.constData());
    QVERIFY(!log.contains("secret") && !log.contains("AGFsaWNlAHNlY3JldA=="));
}

QTEST_GUILESS_MAIN(TestTlsEndToEnd)
#include "tst_tls_e2e.moc"

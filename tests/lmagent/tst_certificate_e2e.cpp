// The built agent meets servers whose self-signed certificate nothing trusts (Dovecot with STLS,
// aiosmtpd with STARTTLS, the same certificate on both): refused, nothing moves and the certificate
// is named; trusted, the pin is stored for exactly that server of the account and the transfer is
// tried once more and passes; the POP3 pin does not trust the SMTP server; with both pins the
// transfers need no question; a certificate other than the pinned one is refused, naming both.

#include "AgentFixture.h"
#include "TestServers.h"

#include <QFile>
#include <QSettings>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Message = "From: a@example.org\r\nTo: b@example.org\r\nSubject: pinned\r\nMessage-ID: <pinned@example.org>\r\n"
                           "Date: Mon, 9 Mar 2026 10:00:00 +0100\r\n\r\nover tls\r\n";
const QByteArray Account = "secure";

QByteArray FingerprintOf(const QString& pemFile)
{
    return QSslCertificate::fromPath(pemFile).value(0).digest(QCryptographicHash::Sha256).toHex(':');
}

} // namespace

class TestCertificateEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void trustOnFirstUsePerServer();

private:
    AgentResult Run(const TAgentJob& job, bool trust);
    TAgentJob ReceiveJob() const;
    TAgentJob SendJob() const;
    bool Queue();
    // The stored value `name` of the account's group in the agent's registry.
    QString Stored(const QString& name) const;
    void ApplyStoredPin(TAgentJob& job, const QString& prefix) const;

    QTemporaryDir m_certificates;
    QTemporaryDir m_selfSigned;
    QTemporaryDir m_source;
    QTemporaryDir m_received;
    TestServer m_pop3;
    TestServer m_smtp;
    QByteArray m_served;
    std::unique_ptr<AgentInstallation> m_agent;
};

void TestCertificateEndToEnd::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    qunsetenv("LUMARO_TEST_CA_FILE");
    for (const char* suffix : {"pem", "key"})
        QVERIFY(QFile::copy(m_certificates.filePath(QStringLiteral("other.") + QLatin1String(suffix)),
                            m_selfSigned.filePath(QStringLiteral("server.") + QLatin1String(suffix))));
    m_served = FingerprintOf(m_selfSigned.filePath(QStringLiteral("server.pem")));
    QFile file(m_source.filePath(QStringLiteral("1")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
    file.close();
    error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_selfSigned.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_smtp.StartSmtp(m_received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, m_selfSigned.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    m_agent = std::make_unique<AgentInstallation>();
    QVERIFY(m_agent->IsReady());
    QVERIFY(QDir().mkpath(m_agent->QueueDir()));
}

AgentResult TestCertificateEndToEnd::Run(const TAgentJob& job, bool trust)
{
    if (!m_agent->WriteJob(job))
        return {};
    qputenv("LUMARO_TEST_CERTIFICATE_ANSWER", trust ? "trust" : "no");
    const AgentResult result = m_agent->Run();
    qunsetenv("LUMARO_TEST_CERTIFICATE_ANSWER");
    return result;
}

TAgentJob TestCertificateEndToEnd::ReceiveJob() const
{
    TAgentJob job;
    job.Action = "POP3";
    job.AccountName = Account;
    job.Server = "localhost:" + QByteArray::number(m_pop3.Port());
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = false;
    job.Security = TqmSecurity::secStartTls;
    return job;
}

TAgentJob TestCertificateEndToEnd::SendJob() const
{
    TAgentJob job;
    job.Action = "SMTP";
    job.AccountName = Account;
    job.Server = "localhost:" + QByteArray::number(m_smtp.Port());
    job.Username = "alice";
    job.Password = "secret";
    job.Security = TqmSecurity::secStartTls;
    return job;
}

bool TestCertificateEndToEnd::Queue()
{
    QFile queued(m_agent->QueueDir() + QStringLiteral("/smtp_1.eml"));
    return queued.open(QIODevice::WriteOnly) && queued.write(Message) == Message.size();
}

QString TestCertificateEndToEnd::Stored(const QString& name) const
{
    const QSettings registry(m_agent->RegistryFile(), QSettings::IniFormat);
    const QStringList keys = registry.allKeys().filter(QStringLiteral("Accounts/secure/") + name);
    return keys.size() == 1 ? registry.value(keys.first()).toString() : QString();
}

// What the main client puts into the job: the pin of the job's service.
void TestCertificateEndToEnd::ApplyStoredPin(TAgentJob& job, const QString& prefix) const
{
    job.PinnedCertificate = Stored(prefix + QStringLiteral("PinnedCertificate")).toLatin1();
    job.PinnedServer = Stored(prefix + QStringLiteral("PinnedServer")).toLatin1();
}

void TestCertificateEndToEnd::trustOnFirstUsePerServer()
{
    const QString popServer = QStringLiteral("localhost:%1").arg(m_pop3.Port());
    const QString smtpServer = QStringLiteral("localhost:%1").arg(m_smtp.Port());
    const QByteArray named = "certificate: " + popServer.toLatin1() + ' ' + m_served;

    // Refused: nothing received, nothing stored, the certificate named.
    AgentResult result = Run(ReceiveJob(), false);
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Errors.contains(named + " pinned=\n"), result.Errors.constData());
    QVERIFY(AgentInstallation::EmlFiles(m_agent->SpoolDir()).isEmpty());
    QCOMPARE(Stored(QStringLiteral("PopPinnedCertificate")), QString());

    // Trusted: stored for that server, tried once more, received.
    result = Run(ReceiveJob(), true);
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QCOMPARE(result.Errors.count("certificate: "), 1);
    QCOMPARE(AgentInstallation::Contents(AgentInstallation::EmlFiles(m_agent->SpoolDir())), QByteArrayList{Message});
    QCOMPARE(Stored(QStringLiteral("PopPinnedCertificate")), QString::fromLatin1(m_served));
    QCOMPARE(Stored(QStringLiteral("PopPinnedServer")), popServer);

    // The same certificate on the SMTP server is not trusted by the POP3 pin, even when handed it.
    QVERIFY(Queue());
    TAgentJob send = SendJob();
    ApplyStoredPin(send, QStringLiteral("Pop"));
    result = Run(send, false);
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Errors.contains("certificate: " + smtpServer.toLatin1() + ' ' + m_served + " pinned=\n"),
             result.Errors.constData());
    QVERIFY(QFile::exists(m_agent->QueueDir() + QStringLiteral("/smtp_1.eml")));

    result = Run(SendJob(), true);
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!QFile::exists(m_agent->QueueDir() + QStringLiteral("/smtp_1.eml")));
    QCOMPARE(QDir(m_received.path()).entryList({QStringLiteral("*.eml")}).size(), 1);
    QCOMPARE(Stored(QStringLiteral("SmtpPinnedServer")), smtpServer);
    QCOMPARE(Stored(QStringLiteral("PopPinnedServer")), popServer);

    // Both pinned: no question either way.
    TAgentJob receive = ReceiveJob();
    ApplyStoredPin(receive, QStringLiteral("Pop"));
    result = Run(receive, false);
    QVERIFY2(result.ExitCode == 0 && !result.Errors.contains("certificate: "), result.Errors.constData());
    QVERIFY(Queue());
    send = SendJob();
    ApplyStoredPin(send, QStringLiteral("Smtp"));
    result = Run(send, false);
    QVERIFY2(result.ExitCode == 0 && !result.Errors.contains("certificate: "), result.Errors.constData());
    QCOMPARE(QDir(m_received.path()).entryList({QStringLiteral("*.eml")}).size(), 2);

    // The pin names another certificate than the server shows now: refused, both named.
    const QByteArray before = FingerprintOf(m_certificates.filePath(QStringLiteral("server.pem")));
    receive.PinnedCertificate = before;
    result = Run(receive, false);
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Errors.contains(named + " pinned=" + before + '\n'), result.Errors.constData());
    const QByteArray status = result.Errors.mid(result.Errors.indexOf("status: "));
    QVERIFY2(status.contains(before) && status.contains(m_served), status.constData());
    QCOMPARE(Stored(QStringLiteral("PopPinnedCertificate")), QString::fromLatin1(m_served));
}

QTEST_GUILESS_MAIN(TestCertificateEndToEnd)
#include "tst_certificate_e2e.moc"

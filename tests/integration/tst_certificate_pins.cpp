// Trust on first use against the real servers: Dovecot (STLS) and aiosmtpd (STARTTLS), both with
// the same self-signed certificate that nothing trusts. A refused certificate carries its facts;
// the pin Trust stores for the POP3 server does not make the SMTP server trusted although it shows
// the very same certificate; with both trusted, receiving and sending pass; a server whose
// certificate differs from its pin is refused, naming both fingerprints.

#include "CertificatePins.h"
#include "RegistryFunctions.h"
#include "TestServers.h"
#include "qmmsg.h"
#include "qmpop3.h"
#include "qmsmtp.h"
#include "tk_reglib.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Message = "From: a@example.org\r\nSubject: pinned\r\nMessage-ID: <pin@example.org>\r\n\r\nbody\r\n";
const QByteArray Account = "Work";

QByteArray FingerprintOf(const QString& pemFile)
{
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(pemFile);
    return certificates.size() == 1 ? certificates.first().digest(QCryptographicHash::Sha256).toHex(':') : QByteArray();
}

bool CopyAs(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

// What one connection attempt ended with.
struct TAttempt {
    std::optional<TnkCertificateFacts> Refused;
    QString Error;
    QByteArray Retrieved;
};

} // namespace

class TestCertificatePinsTls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void untrustedCertificateCarriesItsFacts();
    void pop3PinDoesNotTrustTheSmtpServer();
    void afterTrustingBothReceiveAndSendPass();
    void changedCertificateIsRefusedNamingBoth();

private:
    TAttempt Receive(const TServerPin& pin);
    TAttempt Send(const TServerPin& pin);
    QByteArray PopServer() const { return "localhost:" + QByteArray::number(m_pop3.Port()); }
    QByteArray SmtpServer() const { return "localhost:" + QByteArray::number(m_smtp.Port()); }

    QTemporaryDir m_certificates;
    QTemporaryDir m_selfSigned;
    QTemporaryDir m_source;
    QTemporaryDir m_sent;
    TestServer m_pop3;
    TestServer m_smtp;
    QByteArray m_served;
    TnkCertificateFacts m_popFacts;
};

void TestCertificatePinsTls::initTestCase()
{
    SetActiveUser(QStringLiteral("alice"));
    TRegistryKey(UserKey(QStringLiteral("alice"))).DeleteKey(QStringLiteral("Accounts"));
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    // Nothing trusted but the system's own authorities.
    qunsetenv("LUMARO_TEST_CA_FILE");
    QVERIFY(CopyAs(m_certificates.filePath(QStringLiteral("other.pem")), m_selfSigned.filePath(QStringLiteral("server.pem"))));
    QVERIFY(CopyAs(m_certificates.filePath(QStringLiteral("other.key")), m_selfSigned.filePath(QStringLiteral("server.key"))));
    m_served = FingerprintOf(m_selfSigned.filePath(QStringLiteral("server.pem")));
    QVERIFY(!m_served.isEmpty());
    QFile file(m_source.filePath(QStringLiteral("1")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
    file.close();
    error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_selfSigned.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_smtp.StartSmtp(m_sent.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, m_selfSigned.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

TAttempt TestCertificatePinsTls::Receive(const TServerPin& pin)
{
    TAttempt attempt;
    TqmRemotePOP pop;
    pop.Server = PopServer();
    pop.UserName = "alice";
    pop.Password = "secret";
    pop.Security = TqmSecurity::secStartTls;
    pop.SetTimeOut(20);
    ApplyPin(pop, pin);
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { attempt.Retrieved = contents.data(); };
    try {
        pop.OpenConnection();
        pop.RetrieveMessage(0);
        pop.CloseConnection();
    } catch (const ECertificateError& error) {
        attempt.Refused = error.Facts();
        attempt.Error = error.Message();
    } catch (const EqmException& error) {
        attempt.Error = error.Message();
    }
    return attempt;
}

TAttempt TestCertificatePinsTls::Send(const TServerPin& pin)
{
    TAttempt attempt;
    TqmMessage message;
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", {});
    message.Subject = "pinned";
    message.Body = {"hello"};
    TqmSMTP smtp;
    smtp.Server = SmtpServer();
    smtp.UserName = "alice";
    smtp.Password = "secret";
    smtp.Security = TqmSecurity::secStartTls;
    smtp.SetTimeOut(20);
    smtp.MailMessage = &message;
    ApplyPin(smtp, pin);
    try {
        smtp.OpenConnection();
        smtp.Authenticate();
        smtp.Send_Message();
        smtp.CloseConnection();
    } catch (const ECertificateError& error) {
        attempt.Refused = error.Facts();
        attempt.Error = error.Message();
    } catch (const EqmException& error) {
        attempt.Error = error.Message();
    }
    return attempt;
}

void TestCertificatePinsTls::untrustedCertificateCarriesItsFacts()
{
    const TAttempt attempt = Receive({});
    QVERIFY2(attempt.Refused, qPrintable(attempt.Error));
    const TnkCertificateFacts& facts = *attempt.Refused;
    QCOMPARE(facts.Host, QByteArray("localhost"));
    QCOMPARE(facts.Port, m_pop3.Port());
    QCOMPARE(facts.Subject, QStringLiteral("CN=localhost"));
    QCOMPARE(facts.Issuer, QStringLiteral("CN=localhost"));
    QVERIFY(facts.ValidFrom <= QDateTime::currentDateTimeUtc() && QDateTime::currentDateTimeUtc() < facts.ValidUntil);
    QCOMPARE(facts.Fingerprint, m_served);
    QVERIFY(facts.Problems.contains(TnkCertificateProblem::SelfSigned));
    QVERIFY(!facts.Changed());
    QVERIFY(attempt.Error.contains(QString::fromLatin1(m_served)));
    QVERIFY(attempt.Retrieved.isEmpty());
    m_popFacts = facts;
}

void TestCertificatePinsTls::pop3PinDoesNotTrustTheSmtpServer()
{
    QVERIFY(!m_popFacts.Fingerprint.isEmpty());
    TqmRemotePOP unused;
    TrustCertificate(Account, TMailService::Pop, m_popFacts, unused);
    const TAccountSecurity stored = ReadAccountSecurity(Account);
    QCOMPARE(stored.PopPin, (TServerPin{PopServer(), m_served}));
    QVERIFY(stored.SmtpPin.IsEmpty());
    // Even handed the POP3 pin, the SMTP server with the same certificate is not trusted: the pin
    // names another port. Nor is it a "changed" certificate: no pin applies there.
    const int sentBefore = int(QDir(m_sent.path()).entryList({QStringLiteral("*.eml")}).size());
    for (const TServerPin& pin : {stored.SmtpPin, stored.PopPin}) {
        const TAttempt attempt = Send(pin);
        QVERIFY2(attempt.Refused, qPrintable(attempt.Error));
        QCOMPARE(attempt.Refused->Port, m_smtp.Port());
        QCOMPARE(attempt.Refused->Fingerprint, m_served);
        QVERIFY(!attempt.Refused->Changed());
    }
    QCOMPARE(int(QDir(m_sent.path()).entryList({QStringLiteral("*.eml")}).size()), sentBefore);
}

void TestCertificatePinsTls::afterTrustingBothReceiveAndSendPass()
{
    const TAttempt refused = Send({});
    QVERIFY(refused.Refused);
    TqmSMTP unused;
    TrustCertificate(Account, TMailService::Smtp, *refused.Refused, unused);
    const TAccountSecurity stored = ReadAccountSecurity(Account);
    QCOMPARE(stored.SmtpPin, (TServerPin{SmtpServer(), m_served}));
    const TAttempt received = Receive(stored.PopPin);
    QCOMPARE(received.Error, QString());
    QCOMPARE(received.Retrieved, Message);
    const int sentBefore = int(QDir(m_sent.path()).entryList({QStringLiteral("*.eml")}).size());
    const TAttempt sent = Send(stored.SmtpPin);
    QCOMPARE(sent.Error, QString());
    QCOMPARE(int(QDir(m_sent.path()).entryList({QStringLiteral("*.eml")}).size()), sentBefore + 1);
}

void TestCertificatePinsTls::changedCertificateIsRefusedNamingBoth()
{
    // The pin names the certificate the server had before; now it presents another one.
    const QByteArray before = FingerprintOf(m_certificates.filePath(QStringLiteral("server.pem")));
    QVERIFY(!before.isEmpty() && before != m_served);
    WriteServerPin(Account, TMailService::Pop, {PopServer(), before.toUpper()});
    const TAttempt attempt = Receive(ReadAccountSecurity(Account).PopPin);
    QVERIFY2(attempt.Refused, qPrintable(attempt.Error));
    QVERIFY(attempt.Refused->Changed());
    QCOMPARE(attempt.Refused->PinnedFingerprint, before.toUpper());
    QCOMPARE(attempt.Refused->Fingerprint, m_served);
    QVERIFY2(attempt.Error.contains(QLatin1String("CHANGED")), qPrintable(attempt.Error));
    QVERIFY(attempt.Error.contains(QString::fromLatin1(before.toUpper())) && attempt.Error.contains(QString::fromLatin1(m_served)));
    QVERIFY(attempt.Retrieved.isEmpty());
}

QTEST_GUILESS_MAIN(TestCertificatePinsTls)
#include "tst_certificate_pins.moc"

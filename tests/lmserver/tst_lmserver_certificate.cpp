// The server manager and a POP3 server whose self-signed certificate nothing trusts (Dovecot with
// STLS): the question comes once with the certificate's facts; refused, the node fails; trusted,
// the pin is stored for that account's server, the listing runs again and carrying out the marks
// needs no second question. A quick connection trusts for the session only.

#include "DBAccountSecurity.h"
#include "RegistryFunctions.h"
#include "ServerManager.h"
#include "TestServers.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Message = "From: a@example.org\r\nSubject: over tls\r\nMessage-ID: <lmserver-tls@example.org>\r\n\r\nbody\r\n";

} // namespace

class TestLmserverCertificate : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_certificates;
    QTemporaryDir m_selfSigned;
    QTemporaryDir m_source;
    QTemporaryDir m_spool;
    TestServer m_pop3;
    QByteArray m_served;
    TLmserverSettings m_settings;
    QList<TnkCertificateFacts> m_asked;
    bool m_trust = false;

    std::unique_ptr<TServerManager> Manager()
    {
        TServerEvents events;
        events.CertificateQuestion = [this](const TnkCertificateFacts& facts) {
            m_asked.append(facts);
            return m_trust;
        };
        return std::make_unique<TServerManager>(m_settings, events);
    }
    TConnectTarget Target(const QByteArray& account) const
    {
        return {"localhost:" + QByteArray::number(m_pop3.Port()), "alice", "secret", TqmSecurity::secStartTls, {}, account};
    }

private slots:
    void initTestCase()
    {
        SetLanguage(2);
        SetActiveUser(QStringLiteral("alice"));
        QString error = TestServer::MakeCertificates(m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        qunsetenv("LUMARO_TEST_CA_FILE");
        for (const char* suffix : {"pem", "key"})
            QVERIFY(QFile::copy(m_certificates.filePath(QStringLiteral("other.") + QLatin1String(suffix)),
                                m_selfSigned.filePath(QStringLiteral("server.") + QLatin1String(suffix))));
        m_served = QSslCertificate::fromPath(m_selfSigned.filePath(QStringLiteral("server.pem"))).value(0).digest(QCryptographicHash::Sha256).toHex(':');
        QFile file(m_source.filePath(QStringLiteral("1")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
        file.close();
        error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_selfSigned.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        m_asked.clear();
        TRegistryKey(UserKey(QStringLiteral("alice"))).DeleteKey(QStringLiteral("Accounts"));
    }

    void refusedCertificateFailsTheNode()
    {
        m_trust = false;
        auto manager = Manager();
        manager->Connect({{Target("Work")}, {}}, true);
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked.first().Port, m_pop3.Port());
        QCOMPARE(m_asked.first().Fingerprint, m_served);
        QVERIFY(manager->Table.Servers().at(0).Failed);
        QVERIFY(ReadAccountSecurity("Work").PopPin.IsEmpty());
    }

    void trustedCertificateIsPinnedAndListed()
    {
        m_trust = true;
        auto manager = Manager();
        manager->Connect({{Target("Work")}, {}}, true);
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(!manager->Table.Servers().at(0).Failed);
        QCOMPARE(manager->Table.Lines().size(), 1);
        const TServerPin expected{"localhost:" + QByteArray::number(m_pop3.Port()), m_served};
        QCOMPARE(ReadAccountSecurity("Work").PopPin, expected);
        QCOMPARE(manager->Table.Servers().at(0).Pin, expected);
        // Carrying out the marks uses the pin: no second question.
        manager->Table.SetMark({0}, Mark::Get);
        manager->CarryOut(m_spool.path());
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(QDir(m_spool.path()).entryList({QStringLiteral("*.eml")}).size(), 1);
    }

    void quickConnectionTrustsForTheSessionOnly()
    {
        m_trust = true;
        auto manager = Manager();
        manager->Connect({{Target({})}, {}}, false);
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(!manager->Table.Servers().at(0).Failed);
        QCOMPARE(manager->Table.Servers().at(0).Pin.Fingerprint, m_served);
        QVERIFY(TRegistryKey(UserKey(QStringLiteral("alice")) + QStringLiteral("/Accounts")).SubKeys().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLmserverCertificate)
#include "tst_lmserver_certificate.moc"

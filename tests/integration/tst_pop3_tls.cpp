// POP3 over TLS against Dovecot requiring it: every security mode, the server's refusal of a log-in
// in clear, a certificate for another host name, and a pinned certificate.

#include "TestServers.h"
#include "qmpop3.h"

#include <QBuffer>
#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

const QByteArray Message = "From: a@example.org\r\nSubject: over tls\r\nMessage-ID: <tls@example.org>\r\n\r\n.dot\r\nbody\r\n";

struct TResult {
    QString Error;
    QByteArray Retrieved;
    bool Encrypted = false;
    QByteArray Log;
};

} // namespace

class TestPop3Tls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void modes_data();
    void modes();
    void pinnedCertificateIsTrusted();

private:
    TResult Receive(TqmSecurity security, const QByteArray& server, bool fromOtherAddress, const QByteArray& pin = {});

    QTemporaryDir m_certificates;
    QTemporaryDir m_source;
    QTemporaryDir m_logs;
    TestServer m_server;
};

void TestPop3Tls::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QFile file(m_source.filePath(QStringLiteral("1")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
    file.close();
    error = m_server.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

TResult TestPop3Tls::Receive(TqmSecurity security, const QByteArray& server, bool fromOtherAddress, const QByteArray& pin)
{
    const QString logFile = m_logs.filePath(QStringLiteral("pop3.log"));
    TResult result;
    {
        TqmRemotePOP pop;
        pop.Server = server;
        pop.UserName = "alice";
        pop.Password = "secret";
        pop.Security = security;
        pop.PinnedCertificate = pin;
        pop.LogFileName = logFile;
        pop.SetTimeOut(20);
        // Dovecot trusts a client on its own address as if it were encrypted.
        if (fromOtherAddress)
            pop.BindAddress = QHostAddress(QStringLiteral("127.0.0.2"));
        pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { result.Retrieved = contents.data(); };
        try {
            pop.OpenConnection();
            result.Encrypted = pop.Encrypted();
            pop.RetrieveMessage(0);
            pop.CloseConnection();
        } catch (const EqmException& error) {
            result.Error = error.Message();
        }
        result.Encrypted = result.Encrypted && !pop.OnLine();
    }
    QFile log(logFile);
    if (log.open(QIODevice::ReadOnly))
        result.Log = log.readAll();
    return result;
}

void TestPop3Tls::modes_data()
{
    const QByteArray name = "localhost:";
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QString>("error");
    const QByteArray plain = QByteArray::number(m_server.Port());
    const QByteArray tls = QByteArray::number(m_server.TlsPort());
    QTest::newRow("tls from the first byte") << TqmSecurity::secTls << name + tls << QString();
    QTest::newRow("stls required") << TqmSecurity::secStartTls << name + plain << QString();
    QTest::newRow("auto upgrades") << TqmSecurity::secAuto << name + plain << QString();
    QTest::newRow("none: server refuses log-in in clear") << TqmSecurity::secNone << name + plain
                                                          << QStringLiteral("Plaintext authentication disallowed");
    QTest::newRow("tls to a wrong host name") << TqmSecurity::secTls << "127.0.0.1:" + tls
                                              << QStringLiteral("The certificate of 127.0.0.1 is not trusted");
    QTest::newRow("stls to a wrong host name") << TqmSecurity::secStartTls << "127.0.0.1:" + plain
                                               << QStringLiteral("The certificate of 127.0.0.1 is not trusted");
    QTest::newRow("tls to the plain port") << TqmSecurity::secTls << name + plain << QStringLiteral("secure connection");
}

void TestPop3Tls::modes()
{
    QFETCH(TqmSecurity, security);
    QFETCH(QByteArray, server);
    QFETCH(QString, error);
    const TResult result = Receive(security, server, true);
    QVERIFY(!result.Log.contains("secret"));
    if (!error.isEmpty()) {
        QVERIFY2(result.Error.contains(error), qPrintable(result.Error));
        if (error.contains(QLatin1String("certificate")))
            QVERIFY(!result.Log.contains("USER"));
        return;
    }
    QCOMPARE(result.Error, QString());
    QVERIFY(result.Encrypted);
    QCOMPARE(result.Retrieved, Message);
    QVERIFY2(result.Log.contains("PASS ****"), result.Log.constData());
}

void TestPop3Tls::pinnedCertificateIsTrusted()
{
    const QByteArray wrongName = "127.0.0.1:" + QByteArray::number(m_server.TlsPort());
    const TResult refused = Receive(TqmSecurity::secTls, wrongName, false);
    const QList<QSslCertificate> served = QSslCertificate::fromPath(m_certificates.filePath(QStringLiteral("server.pem")));
    QCOMPARE(served.size(), 1);
    const QByteArray fingerprint = served.first().digest(QCryptographicHash::Sha256).toHex(':');
    QVERIFY2(refused.Error.endsWith(QLatin1String("SHA-256 fingerprint: ") + QString::fromLatin1(fingerprint)),
             qPrintable(refused.Error));
    const TResult pinned = Receive(TqmSecurity::secTls, wrongName, false, fingerprint.toUpper());
    QCOMPARE(pinned.Error, QString());
    QCOMPARE(pinned.Retrieved, Message);
    // A pin trusts that one certificate, not any other: another one counts as changed.
    const TResult otherPin = Receive(TqmSecurity::secTls, wrongName, false, QByteArray(64, 'a'));
    QVERIFY2(otherPin.Error.contains(QLatin1String("has CHANGED")), qPrintable(otherPin.Error));
}

QTEST_GUILESS_MAIN(TestPop3Tls)
#include "tst_pop3_tls.moc"

// SMTP over TLS against aiosmtpd in its stock behaviour (AUTH only after EHLO, and only over TLS):
// STARTTLS offered, STARTTLS required, TLS from the first byte, a certificate for another host name.

#include "TestServers.h"
#include "qmmsg.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

enum class TPort { Offered, Required, Tls };

struct TResult {
    QString Error;
    bool Encrypted = false;
    QByteArray Log;
};

} // namespace

Q_DECLARE_METATYPE(TPort)

class TestSmtpTls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void modes_data();
    void modes();

private:
    TResult Send(TqmSecurity security, const QByteArray& host, TPort port, bool authenticate);
    int StoredCount() const { return int(QDir(m_output.path()).entryList({QStringLiteral("*.eml")}).size()); }

    QTemporaryDir m_certificates;
    QTemporaryDir m_output;
    QTemporaryDir m_logs;
    TestServer m_server;
};

void TestSmtpTls::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_server.StartSmtp(m_output.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(m_server.RequiredPort() && m_server.TlsPort());
}

TResult TestSmtpTls::Send(TqmSecurity security, const QByteArray& host, TPort port, bool authenticate)
{
    const QString logFile = m_logs.filePath(QStringLiteral("smtp.log"));
    TResult result;
    {
        TqmMessage message;
        message.Sender.Address = "alice@example.org";
        message.Recipients.AddAddress("bob@example.org", {});
        message.Subject = "over tls";
        message.Body = {"hello"};
        TqmSMTP smtp;
        const quint16 number = port == TPort::Tls ? m_server.TlsPort() : port == TPort::Required ? m_server.RequiredPort() : m_server.Port();
        smtp.Server = host + ':' + QByteArray::number(number);
        smtp.UserName = "alice";
        smtp.Password = "secret";
        smtp.Security = security;
        smtp.LogFileName = logFile;
        smtp.SetTimeOut(20);
        smtp.MailMessage = &message;
        try {
            smtp.OpenConnection();
            result.Encrypted = smtp.Encrypted();
            if (authenticate)
                smtp.Authenticate();
            smtp.Send_Message();
            smtp.CloseConnection();
        } catch (const EqmException& error) {
            result.Error = error.Message();
        }
    }
    QFile log(logFile);
    if (log.open(QIODevice::ReadOnly))
        result.Log = log.readAll();
    return result;
}

void TestSmtpTls::modes_data()
{
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<TPort>("port");
    QTest::addColumn<bool>("authenticate");
    QTest::addColumn<QString>("error");
    QTest::newRow("auto upgrades, auth plain") << TqmSecurity::secAuto << QByteArray("localhost") << TPort::Offered << true << QString();
    QTest::newRow("starttls offered") << TqmSecurity::secStartTls << QByteArray("localhost") << TPort::Offered << true << QString();
    QTest::newRow("starttls required") << TqmSecurity::secStartTls << QByteArray("localhost") << TPort::Required << true << QString();
    QTest::newRow("auto where required") << TqmSecurity::secAuto << QByteArray("localhost") << TPort::Required << false << QString();
    QTest::newRow("tls from the first byte") << TqmSecurity::secTls << QByteArray("localhost") << TPort::Tls << true << QString();
    // AUTH is tried although not announced; the server's own refusal is reported, no password goes out.
    QTest::newRow("none: no auth offered in clear") << TqmSecurity::secNone << QByteArray("localhost") << TPort::Offered << true
                                                    << QStringLiteral("538 5.7.11 Encryption required");
    QTest::newRow("none where required") << TqmSecurity::secNone << QByteArray("localhost") << TPort::Required << false
                                         << QStringLiteral("530 Must issue a STARTTLS command first");
    QTest::newRow("wrong host name") << TqmSecurity::secStartTls << QByteArray("127.0.0.1") << TPort::Offered << true
                                     << QStringLiteral("The certificate of 127.0.0.1 is not trusted");
    QTest::newRow("tls to a plain port") << TqmSecurity::secTls << QByteArray("localhost") << TPort::Offered << true
                                         << QStringLiteral("secure connection");
}

void TestSmtpTls::modes()
{
    QFETCH(TqmSecurity, security);
    QFETCH(QByteArray, host);
    QFETCH(TPort, port);
    QFETCH(bool, authenticate);
    QFETCH(QString, error);
    const int before = StoredCount();
    const TResult result = Send(security, host, port, authenticate);
    QVERIFY(!result.Log.contains("secret") && !result.Log.contains("AGFsaWNlAHNlY3JldA=="));
    if (!error.isEmpty()) {
        QVERIFY2(result.Error.contains(error), qPrintable(result.Error));
        QCOMPARE(StoredCount(), before);
        QVERIFY(!result.Log.contains("AUTH PLAIN"));
        return;
    }
    QCOMPARE(result.Error, QString());
    QVERIFY(result.Encrypted);
    QTRY_COMPARE(StoredCount(), before + 1);
    if (authenticate)
        QVERIFY2(result.Log.contains("AUTH PLAIN ****"), result.Log.constData());
}

QTEST_GUILESS_MAIN(TestSmtpTls)
#include "tst_smtp_tls.moc"

#include "SocketErrorWatch.h"
#include "TestServers.h"
#include "qmconst.h"
#include "qmmsg.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Compose(TqmMessage& message, const QByteArray& subject)
{
    message.Sender.Address = "alice@example.org";
    message.Sender.Name = "Alice";
    message.Recipients.AddAddress("bob@example.org", "Bob");
    message.Recipients.AddAddress("rejected@example.org", {});
    message.BCC.AddAddress("blind@example.org", {});
    message.Subject = subject;
    message.Body = {".starts with a dot", ".", "..two", "Gr\xc3\xbc\xc3\x9f"
                                                    "e aus K\xc3\xb6ln",
                    "last line"};
    TqmAttItem attachment;
    attachment.SetFileName("data.bin");
    attachment.Data = QByteArray(300 * 1024, '\x01');
    message.Attachments.Add(attachment);
}

QByteArray Encoded(TqmMessage& message)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    message.SaveToStream(buffer);
    return buffer.data();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSmtpAiosmtpd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void storedMessageEqualsWhatWasSent();
    void rejectedRecipientWithoutProceedStopsTheMessage();
    void wrongPasswordIsRefused();
    void requiredStartTlsIsNeverDowngraded();

private:
    void Configure(TqmSMTP& smtp) const;
    QString Stored(int number, const char* suffix) const { return m_output.filePath(QStringLiteral("%1.%2").arg(number).arg(QLatin1String(suffix))); }
    int StoredCount() const { return int(QDir(m_output.path()).entryList({QStringLiteral("*.eml")}).size()); }

    QTemporaryDir m_output;
    TestServer m_server;
};

void TestSmtpAiosmtpd::initTestCase()
{
    const QString error = m_server.StartSmtp(m_output.path(), QStringLiteral("alice"), QStringLiteral("secret"),
                                             {QStringLiteral("rejected@example.org")});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSmtpAiosmtpd::Configure(TqmSMTP& smtp) const
{
    smtp.Server = m_server.Address();
    smtp.UserName = "alice";
    smtp.Password = "secret";
    smtp.SetTimeOut(20);
}

void TestSmtpAiosmtpd::storedMessageEqualsWhatWasSent()
{
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp);
    QByteArrayList rejected;
    smtp.OnAddressRejected = [&](QObject&, const QByteArray& address, const QByteArray&, bool& proceed) {
        rejected.append(address);
        proceed = true;
    };
    const int before = StoredCount();
    smtp.OpenConnection();
    smtp.Authenticate();
    // Two messages in one session: the first encoded here (its boundary is random, so the bytes
    // are known only this way), the second by Send_Message to an explicit envelope list.
    TqmMessage first;
    Compose(first, "first");
    smtp.MailMessage = &first;
    QByteArray firstText = Encoded(first);
    QBuffer firstDevice(&firstText);
    firstDevice.open(QIODevice::ReadOnly);
    smtp.SendMessageData(firstDevice);
    TqmMessage second;
    Compose(second, "second");
    smtp.MailMessage = &second;
    smtp.RecipientList = {"list@example.org"};
    smtp.Send_Message();
    smtp.CloseConnection();

    QCOMPARE(rejected, QByteArrayList{"rejected@example.org"});
    QCOMPARE(StoredCount(), before + 2);
    QCOMPARE(ReadFile(Stored(before + 1, "envelope")), QByteArray("alice@example.org\nbob@example.org\nblind@example.org\n"));
    QCOMPARE(ReadFile(Stored(before + 2, "envelope")), QByteArray("alice@example.org\nlist@example.org\n"));
    QVERIFY(firstText.contains("\r\n.starts with a dot\r\n.\r\n..two\r\n"));
    QVERIFY(ReadFile(Stored(before + 1, "eml")) == firstText);
    TqmMessage received;
    received.LoadFromFile(Stored(before + 2, "eml"));
    QCOMPARE(received.Subject, QByteArray("second"));
    QCOMPARE(received.Body, second.Body);
    QCOMPARE(received.Attachments.Count(), 1);
    QVERIFY(received.Attachments.Items(0).Data == second.Attachments.Items(0).Data);
}

void TestSmtpAiosmtpd::rejectedRecipientWithoutProceedStopsTheMessage()
{
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp);
    const int before = StoredCount();
    smtp.OpenConnection();
    TqmMessage message;
    Compose(message, "never sent");
    smtp.MailMessage = &message;
    try {
        smtp.Send_Message();
        QFAIL("sent despite a rejected recipient");
    } catch (const EServerError& error) {
        QVERIFY2(error.Message().startsWith(QLatin1String("550 ")), qPrintable(error.Message()));
    }
    QVERIFY(smtp.OnLine());
    smtp.Reset();
    smtp.CloseConnection();
    QCOMPARE(StoredCount(), before);
}

void TestSmtpAiosmtpd::requiredStartTlsIsNeverDowngraded()
{
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp);
    smtp.Security = TqmSecurity::secStartTls;
    QVERIFY_THROWS_EXCEPTION(ESocketError, smtp.OpenConnection());
    QCOMPARE(errors.Take(), QStringList{qmMessageText(qmTlsNotOffered).arg(QStringLiteral("STARTTLS"))});
    QVERIFY(!smtp.OnLine());
}

void TestSmtpAiosmtpd::wrongPasswordIsRefused()
{
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp);
    smtp.Password = "wrong";
    smtp.OpenConnection();
    try {
        smtp.Authenticate();
        QFAIL("authenticated with a wrong password");
    } catch (const ELogInRefused& error) {
        QVERIFY2(error.Message().startsWith(QLatin1String("127.0.0.1 refused the log-in")), qPrintable(error.Message()));
        QVERIFY2(error.Reply().startsWith("535"), error.Reply().constData());
    }
    smtp.CloseConnection();
}

QTEST_GUILESS_MAIN(TestSmtpAiosmtpd)
#include "tst_smtp_aiosmtpd.moc"

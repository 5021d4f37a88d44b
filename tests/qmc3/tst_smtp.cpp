#include "FakeServer.h"
#include "SocketErrorWatch.h"
#include "qmmsg.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QTest>

namespace {

// Multi-line greeting and EHLO reply: each must be read whole before the next command.
const QByteArrayList Greeting{"S: 220-smtp.example ESMTP", "S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250-PIPELINING",
                              "S: 250 8BITMIME"};
const QByteArrayList AuthGreeting{"S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250 AUTH LOGIN"};

void Configure(TqmSMTP& smtp, const FakeServer& server) { smtp.Server = server.Address(); }

void FillMessage(TqmMessage& message)
{
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", "Bob");
    message.Recipients.AddAddress("carol@example.org", {});
    message.CC.AddAddress("dave@example.org", {});
    message.BCC.AddAddress("eve@example.org", {});
}

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT

private slots:
    void sendsEnvelopeAndStuffedData();
    void recipientListReplacesMessageRecipients();
    void heloRefusedThenBareHelo_data();
    void heloRefusedThenBareHelo();
    void refusedGreeting();
    void rejectedRecipient_data();
    void rejectedRecipient();
    void refusedDataLeavesConnectionOpen();
    void authenticate_data();
    void authenticate();
    void localChecksComeBeforeAnythingIsSent();
    void resetConnectsFirst();
    void sendMessageSendsTheEncodedText();
    void temporaryFileIsRemoved();
};

void TestSmtp::sendsEnvelopeAndStuffedData()
{
    FakeServer server(Greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                                                "S: 250 ok", "C: RCPT TO:<carol@example.org>", "S: 250 ok",
                                                "C: RCPT TO:<dave@example.org>", "S: 250 ok", "C: RCPT TO:<eve@example.org>",
                                                "S: 250 ok", "C: DATA", "S: 354 go ahead", "C: <DATA>", "S: 250 queued",
                                                "C: QUIT", "S: 221 bye", "CLOSE"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    TqmMessage message;
    FillMessage(message);
    smtp.MailMessage = &message;
    QStringList events;
    smtp.OnSending = [&](QObject&) { events.append(QStringLiteral("sending")); };
    smtp.OnMailSent = [&](QObject&) { events.append(QStringLiteral("sent")); };
    QByteArray text = ".first line\r\nSubject: x\r\n\r\n.\r\n..\r\nend\r\n";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    smtp.SendMessageData(device);
    smtp.CloseConnection();
    QCOMPARE(server.DataReceived(), QByteArray("..first line\r\nSubject: x\r\n\r\n..\r\n...\r\nend\r\n.\r\n"));
    QCOMPARE(events, (QStringList{QStringLiteral("sending"), QStringLiteral("sent")}));
    QVERIFY(!smtp.OnLine());
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
}

void TestSmtp::recipientListReplacesMessageRecipients()
{
    FakeServer server(Greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:<blind@example.org>",
                                                "S: 250 ok", "C: DATA", "S: 354 go ahead", "C: <DATA>", "S: 250 queued",
                                                "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    TqmMessage message;
    FillMessage(message);
    smtp.MailMessage = &message;
    smtp.RecipientList = {"blind@example.org"};
    QByteArray text = "Subject: y\r\n\r\nbody without final line end";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    smtp.SendMessageData(device);
    QCOMPARE(server.DataReceived(), QByteArray("Subject: y\r\n\r\nbody without final line end\r\n.\r\n"));
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::heloRefusedThenBareHelo_data()
{
    QTest::addColumn<QByteArray>("bareHeloReply");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("bare HELO accepted") << QByteArray("250 hello stranger") << true;
    QTest::newRow("bare HELO refused") << QByteArray("501 no") << false;
}

void TestSmtp::heloRefusedThenBareHelo()
{
    QFETCH(QByteArray, bareHeloReply);
    QFETCH(bool, accepted);
    FakeServer server({"S: 220 ready", "C: EHLO *", "S: 502 unknown command", "C: HELO *", "S: 550 bad host name", "C: HELO",
                       "S: " + bareHeloReply, "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    if (accepted) {
        smtp.OpenConnection();
        QVERIFY(smtp.OnLine());
    } else {
        try {
            smtp.OpenConnection();
            QFAIL("bare HELO refusal ignored");
        } catch (const EServerError& error) {
            QCOMPARE(error.Message(), QString::fromLatin1(bareHeloReply));
        }
    }
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::refusedGreeting()
{
    FakeServer server({"S: 554 no service", "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    try {
        smtp.OpenConnection();
        QFAIL("greeting refusal ignored");
    } catch (const EServerError& error) {
        QCOMPARE(error.Message(), QStringLiteral("554 no service"));
    }
}

void TestSmtp::rejectedRecipient_data()
{
    QTest::addColumn<bool>("proceed");
    QTest::newRow("without Proceed") << false;
    QTest::newRow("with Proceed") << true;
}

void TestSmtp::rejectedRecipient()
{
    QFETCH(bool, proceed);
    QByteArrayList script = Greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                                                      "S: 550-5.1.1 no such user", "S: 550 5.1.1 really"};
    if (proceed)
        script += {"C: RCPT TO:<carol@example.org>", "S: 250 ok", "C: DATA", "S: 354 go", "C: <DATA>", "S: 250 queued"};
    script += "SILENT";
    FakeServer server(script);
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    TqmMessage message;
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", {});
    message.Recipients.AddAddress("carol@example.org", {});
    smtp.MailMessage = &message;
    QByteArrayList rejected;
    smtp.OnAddressRejected = [&](QObject&, const QByteArray& address, const QByteArray& reply, bool& goOn) {
        rejected += {address, reply};
        goOn = proceed;
    };
    QByteArray text = "Subject: z\r\n\r\nhi\r\n";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    if (proceed) {
        smtp.SendMessageData(device);
        QTRY_VERIFY(server.Done());
    } else {
        try {
            smtp.SendMessageData(device);
            QFAIL("rejected recipient ignored");
        } catch (const EServerError& error) {
            QCOMPARE(error.Message(), QStringLiteral("550 5.1.1 really"));
        }
        QVERIFY(smtp.OnLine());
    }
    QCOMPARE(rejected, (QByteArrayList{"bob@example.org", "550 5.1.1 really"}));
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::refusedDataLeavesConnectionOpen()
{
    FakeServer server(Greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                                                "S: 250 ok", "C: DATA", "S: 554 no valid recipients", "C: RSET", "S: 250 reset",
                                                "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    TqmMessage message;
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", {});
    smtp.MailMessage = &message;
    QByteArray text = "x\r\n";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    QVERIFY_THROWS_EXCEPTION(EServerError, smtp.SendMessageData(device));
    QVERIFY(smtp.OnLine());
    smtp.Reset();
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::authenticate_data()
{
    QTest::addColumn<QByteArrayList>("dialogue");
    QTest::addColumn<QString>("error");
    // "YWxpY2U=" is "alice", "c2VjcmV0" is "secret".
    QTest::newRow("accepted") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                                "C: c2VjcmV0", "S: 235 2.7.0 Authentication successful"}
                              << QString();
    QTest::newRow("AUTH LOGIN unknown") << QByteArrayList{"C: AUTH LOGIN", "S: 504 5.5.4 Unrecognized authentication type"}
                                        << QStringLiteral("504 5.5.4 Unrecognized authentication type");
    QTest::newRow("user name not taken") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 535 no"}
                                         << QStringLiteral("535 no");
    QTest::newRow("password refused") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                                        "C: c2VjcmV0", "S: 535 5.7.8 Authentication credentials invalid"}
                                      << QStringLiteral("535 5.7.8 Authentication credentials invalid");
}

void TestSmtp::authenticate()
{
    QFETCH(QByteArrayList, dialogue);
    QFETCH(QString, error);
    FakeServer server(AuthGreeting + dialogue + QByteArrayList{"SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.UserName = "alice";
    smtp.Password = "secret";
    smtp.OpenConnection();
    if (error.isEmpty()) {
        smtp.Authenticate();
    } else {
        try {
            smtp.Authenticate();
            QFAIL("refusal ignored");
        } catch (const EServerError& raised) {
            QCOMPARE(raised.Message(), error);
        }
    }
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::localChecksComeBeforeAnythingIsSent()
{
    FakeServer server(Greeting + QByteArrayList{"SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.OpenConnection();
    const QByteArray afterLogIn = server.Received();
    const auto expectMessageError = [&](const QString& text) {
        try {
            smtp.Send_Message();
            QFAIL("sent without a valid message");
        } catch (const EMessageError& error) {
            QCOMPARE(error.Message(), text);
        }
    };
    expectMessageError(QStringLiteral("MailMessage property must be assigned"));
    TqmMessage message;
    smtp.MailMessage = &message;
    expectMessageError(QStringLiteral("The address of sender is required"));
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress({}, "name only");
    expectMessageError(QStringLiteral("At least one Recipient, CC or BCC must be entered"));
    QTest::qWait(50);
    QCOMPARE(server.Received(), afterLogIn);
}

void TestSmtp::resetConnectsFirst()
{
    FakeServer server(Greeting + QByteArrayList{"C: RSET", "S: 250 flushed", "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.Reset();
    QVERIFY(smtp.OnLine());
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::sendMessageSendsTheEncodedText()
{
    TqmMessage message;
    FillMessage(message);
    message.Subject = "Dots";
    message.Body = {".a line with a leading dot", ".", "last"};
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    message.SaveToStream(encoded);
    QByteArray expected = encoded.data();
    expected.replace("\r\n.", "\r\n..");
    FakeServer server(Greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:*", "S: 250 ok",
                                                "C: RCPT TO:*", "S: 250 ok", "C: RCPT TO:*", "S: 250 ok", "C: RCPT TO:*",
                                                "S: 250 ok", "C: DATA", "S: 354 go", "C: <DATA>", "S: 250 queued", "C: QUIT",
                                                "S: 221 bye", "CLOSE"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.MailMessage = &message;
    bool prepared = false;
    smtp.OnPrepare = [&](QObject&) { prepared = true; };
    smtp.Send();
    QVERIFY(prepared);
    QVERIFY(expected.endsWith("\r\n"));
    QCOMPARE(server.DataReceived(), expected + ".\r\n");
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::temporaryFileIsRemoved()
{
    QString path;
    {
        TTempFileStream stream;
        path = stream.fileName();
        QVERIFY(QFileInfo(path).fileName().startsWith(QLatin1String("qm")));
        QByteArray data = QByteArray("0123456789").repeated(20000);
        QBuffer source(&data);
        source.open(QIODevice::ReadOnly);
        stream.LoadFromStream(source);
        QBuffer target;
        target.open(QIODevice::WriteOnly);
        stream.SaveToStream(target);
        QCOMPARE(target.data(), data);
        QVERIFY(QFile::exists(path));
    }
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"

#include "FakeServer.h"
#include "SocketErrorWatch.h"
#include "qmmsg.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>

namespace {

// Multi-line greeting and EHLO reply: each must be read whole before the next command. Without
// PIPELINING the client waits for each reply.
const QByteArrayList Greeting{"S: 220-smtp.example ESMTP", "S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250-ENHANCEDSTATUSCODES",
                              "S: 250 8BITMIME"};
const QByteArrayList PipeliningGreeting{"S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250-PIPELINING", "S: 250 8BITMIME"};
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
    void authenticateWithoutAnnouncedAuth_data();
    void authenticateWithoutAnnouncedAuth();
    void quitWaitsBrieflyForTheAnswer_data();
    void quitWaitsBrieflyForTheAnswer();
    void localChecksComeBeforeAnythingIsSent();
    void resetConnectsFirst();
    void sendMessageSendsTheEncodedText();
    void temporaryFileIsRemoved();
    void pipelinedEnvelope_data();
    void pipelinedEnvelope();
    void notPipelinedUnlessOffered_data();
    void notPipelinedUnlessOffered();
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
    QTest::addColumn<bool>("passwordRefused");
    const QString refused = QStringLiteral("127.0.0.1 refused the log-in: the user name or the password is probably wrong. "
                                           "The server replied: ");
    // "YWxpY2U=" is "alice", "c2VjcmV0" is "secret".
    QTest::newRow("accepted") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                                "C: c2VjcmV0", "S: 235 2.7.0 Authentication successful"}
                              << QString() << false;
    QTest::newRow("AUTH LOGIN unknown") << QByteArrayList{"C: AUTH LOGIN", "S: 504 5.5.4 Unrecognized authentication type"}
                                        << QStringLiteral("504 5.5.4 Unrecognized authentication type") << false;
    QTest::newRow("user name not taken") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 535 no"}
                                         << refused + QStringLiteral("535 no") << true;
    QTest::newRow("password refused") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                                        "C: c2VjcmV0", "S: 535 5.7.8 Authentication credentials invalid"}
                                      << refused + QStringLiteral("535 5.7.8 Authentication credentials invalid") << true;
    QTest::newRow("other failure after the password")
        << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",
                          "S: 454 4.7.0 Temporary authentication failure"}
        << QStringLiteral("454 4.7.0 Temporary authentication failure") << false;
    QTest::newRow("3xx other than 334 to AUTH") << QByteArrayList{"C: AUTH LOGIN", "S: 354 start mail input"}
                                               << QStringLiteral("354 start mail input") << false;
    QTest::newRow("3xx other than 334 to the user name")
        << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 354 go ahead"}
        << QStringLiteral("354 go ahead") << false;
}

void TestSmtp::authenticate()
{
    QFETCH(QByteArrayList, dialogue);
    QFETCH(QString, error);
    QFETCH(bool, passwordRefused);
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
            QCOMPARE(dynamic_cast<const ELogInRefused*>(&raised) != nullptr, passwordRefused);
        }
    }
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestSmtp::authenticateWithoutAnnouncedAuth_data()
{
    QTest::addColumn<QByteArrayList>("dialogue");
    QTest::addColumn<QString>("error");
    QTest::newRow("server refuses") << QByteArrayList{"C: AUTH LOGIN", "S: 502 5.5.1 AUTH not available before STARTTLS"}
                                    << QStringLiteral("502 5.5.1 AUTH not available before STARTTLS");
    QTest::newRow("server accepts") << QByteArrayList{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                                      "C: c2VjcmV0", "S: 235 ok"}
                                    << QString();
}

// The server's own answer says more than "no log-in method" would.
void TestSmtp::authenticateWithoutAnnouncedAuth()
{
    QFETCH(QByteArrayList, dialogue);
    QFETCH(QString, error);
    FakeServer server(QByteArrayList{"S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250 8BITMIME"} + dialogue
                      + QByteArrayList{"SILENT"});
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

void TestSmtp::quitWaitsBrieflyForTheAnswer_data()
{
    QTest::addColumn<QByteArrayList>("afterQuit");
    QTest::addColumn<int>("minimumMs");
    QTest::newRow("late 221") << QByteArrayList{"PAUSE 400", "S: 221 bye", "CLOSE"} << 400;
    QTest::newRow("closed without 221") << QByteArrayList{"CLOSE"} << 0;
    QTest::newRow("refused") << QByteArrayList{"S: 500 what?", "SILENT"} << 0;
    QTest::newRow("no answer at all") << QByteArrayList{"SILENT"} << 4500;
}

// Every message went before QUIT: its answer is awaited, but only briefly, and no outcome is an error.
void TestSmtp::quitWaitsBrieflyForTheAnswer()
{
    QFETCH(QByteArrayList, afterQuit);
    QFETCH(int, minimumMs);
    FakeServer server(Greeting + QByteArrayList{"C: QUIT"} + afterQuit);
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.SetTimeOut(60);
    smtp.OpenConnection();
    QElapsedTimer elapsed;
    elapsed.start();
    smtp.CloseConnection();
    QVERIFY(elapsed.elapsed() >= minimumMs);
    QVERIFY(elapsed.elapsed() < 15000);
    QVERIFY(!smtp.OnLine());
    QCOMPARE(smtp.GetTimeOut(), 60);
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

// MAIL, RCPT and DATA leave in one write (the script answers only once all of them arrived); the
// replies are judged in their order: a refused recipient goes to OnAddressRejected as without
// pipelining, and a message that must not go out never gets its text, even when the server
// answered DATA with 354 regardless (then only closing the connection keeps it from delivery).
void TestSmtp::pipelinedEnvelope_data()
{
    QTest::addColumn<bool>("proceed");
    QTest::addColumn<QByteArray>("dataReply");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("online");
    QTest::newRow("refused recipient let through") << true << QByteArray("354 go") << QString() << true;
    QTest::newRow("refused recipient stops") << false << QByteArray("554 no valid recipients") << QStringLiteral("550 5.1.1 no bob") << true;
    QTest::newRow("stopped, but DATA accepted") << false << QByteArray("354 go") << QStringLiteral("550 5.1.1 no bob") << false;
}

void TestSmtp::pipelinedEnvelope()
{
    QFETCH(bool, proceed);
    QFETCH(QByteArray, dataReply);
    QFETCH(QString, error);
    QFETCH(bool, online);
    QByteArrayList script = PipeliningGreeting;
    script += {"C: MAIL FROM:<alice@example.org>", "C: RCPT TO:<bob@example.org>", "C: RCPT TO:<carol@example.org>", "C: DATA",
               "S: 250 sender ok", "S: 550 5.1.1 no bob", "S: 250 carol ok", "S: " + dataReply};
    if (error.isEmpty())
        script += {"C: <DATA>", "S: 250 queued", "C: RSET", "S: 250 reset"};
    else if (online)
        script += {"C: RSET", "S: 250 reset"};
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
    QByteArray text = "Subject: z\r\n\r\n.hi\r\n";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    QVERIFY(smtp.Pipelines());
    try {
        smtp.SendMessageData(device);
        QVERIFY(error.isEmpty());
    } catch (const EServerError& refusal) {
        QCOMPARE(refusal.Message(), error);
    }
    QCOMPARE(rejected, (QByteArrayList{"bob@example.org", "550 5.1.1 no bob"}));
    QCOMPARE(smtp.OnLine(), online);
    if (online)
        smtp.Reset();
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
    if (error.isEmpty())
        QCOMPARE(server.DataReceived(), QByteArray("Subject: z\r\n\r\n..hi\r\n.\r\n"));
    else
        QVERIFY(!server.Received().contains("Subject: z"));
}

// Without PIPELINING in the EHLO reply, or when the caller does not want it, RCPT waits for the
// reply to MAIL: a server that keeps silent after MAIL sees nothing more.
void TestSmtp::notPipelinedUnlessOffered_data()
{
    QTest::addColumn<QByteArrayList>("greeting");
    QTest::addColumn<bool>("usePipelining");
    QTest::newRow("not offered") << Greeting << true;
    QTest::newRow("not wanted") << PipeliningGreeting << false;
}

void TestSmtp::notPipelinedUnlessOffered()
{
    QFETCH(QByteArrayList, greeting);
    QFETCH(bool, usePipelining);
    FakeServer server(greeting + QByteArrayList{"C: MAIL FROM:<alice@example.org>", "SILENT"});
    TqmSMTP smtp;
    SocketErrorWatch errors(smtp);
    Configure(smtp, server);
    smtp.UsePipelining = usePipelining;
    smtp.SetTimeOut(1);
    TqmMessage message;
    message.Sender.Address = "alice@example.org";
    message.Recipients.AddAddress("bob@example.org", {});
    smtp.MailMessage = &message;
    QByteArray text = "x\r\n";
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    smtp.OpenConnection();
    QVERIFY(!smtp.Pipelines());
    QVERIFY_THROWS_EXCEPTION(ETimedOutError, smtp.SendMessageData(device));
    errors.Take();
    QVERIFY(server.Received().contains("MAIL FROM"));
    QVERIFY(!server.Received().contains("RCPT"));
}

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"

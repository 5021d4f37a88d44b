// The send run against a scripted SMTP server: what follows a refused message, depending on the
// user's answer to the question whether to go on, and when a log-in or a send in clear is refused.

#include "DBAccountSecurity.h"
#include "FakeServer.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "Send.h"
#include "DialupFunctions.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

QByteArray QueueMessage(const QByteArray& subject)
{
    return "From: <a@example.org>\r\nTo: <b@example.org>\r\nSubject: " + subject + "\r\n\r\ntext\r\n";
}

} // namespace

class TestSend : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetLanguage(1); }
    void refusedMessage_data();
    void refusedMessage();
    void blindCopiesReplaceTheList();
    void failureStaysVisible_data();
    void failureStaysVisible();
    void plainTextOnlyWithNone_data();
    void plainTextOnlyWithNone();
    void replyBeforeTheEndOfTheData_data();
    void replyBeforeTheEndOfTheData();
    void refusedPasswordAskedOnce_data();
    void refusedPasswordAskedOnce();
    void recipientWithoutAtStaysQueued();
};

void TestSend::refusedMessage_data()
{
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<QByteArrayList>("rest");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("stop") << false << QByteArrayList{"C: QUIT", "S: 221 bye"}
                          << QStringList{QStringLiteral("1.eml"), QStringLiteral("2.eml")};
    // The refused transaction is reset before the next message starts.
    QTest::newRow("go on") << true
                           << QByteArrayList{"C: RSET", "S: 250 reset", "C: MAIL FROM:<a@example.org>", "S: 250 ok",
                                             "C: RCPT TO:<b@example.org>", "S: 250 ok", "C: DATA", "S: 354 go",
                                             "C: <DATA>", "S: 250 queued", "C: QUIT", "S: 221 bye"}
                           << QStringList{QStringLiteral("1.eml")};
}

void TestSend::refusedMessage()
{
    QFETCH(bool, goOn);
    QFETCH(QByteArrayList, rest);
    QFETCH(QStringList, left);
    FakeServer server(QByteArrayList{"S: 220 ready", "C: EHLO *", "S: 250 hello", "C: MAIL FROM:<a@example.org>",
                                     "S: 451 try later"} + rest);
    QTemporaryDir queue;
    for (const char* name : {"1.eml", "2.eml"}) {
        QFile file(queue.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QueueMessage(name));
    }
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = server.Address();
    TAgentEvents events;
    QStringList questions;
    QString status;
    events.OnQuestion = [&](const QString& text) {
        questions.append(text);
        return goOn;
    };
    events.OnStatus = [&](const QString& text) {
        if (text.startsWith(QLatin1String("Fehler")))
            status = text;
    };
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, false));
    QCOMPARE(questions, QStringList{QStringLiteral("Beim Versenden der Nachricht '1.eml' ist ein Fehler aufgetreten. "
                                                   "Sollen weitere Mails versendet werden..?\n\n451 try later")});
    QCOMPARE(status, QStringLiteral("Fehler: 451 try later"));
    QCOMPARE(QDir(queue.path()).entryList(QDir::Files, QDir::Name), left);
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
    QTRY_VERIFY(server.Done());
}

void TestSend::blindCopiesReplaceTheList()
{
    TqmMessage message;
    message.BCC.AddAddress("old@example.org", {});
    message.Headers = TqmHeaders::FromText("X-LMBCC: one@example.org\r\nSubject: s\r\nX-LMBCC: two@example.org,three@example.org\r\nX-Other: 1");
    ApplyBlindCopies(message);
    QCOMPARE(message.BCC.Count(), 3);
    QCOMPARE(message.BCC.Items(0).Address, QByteArray("one@example.org"));
    QCOMPARE(message.BCC.Items(2).Address, QByteArray("three@example.org"));
    QCOMPARE(message.Headers, (TqmHeaders{"Subject: s", "X-Other: 1"}));

    TqmMessage without;
    without.BCC.AddAddress("old@example.org", {});
    ApplyBlindCopies(without);
    QCOMPARE(without.BCC.Count(), 0);
}

void TestSend::failureStaysVisible_data()
{
    const QByteArrayList hello{"S: 220 ready", "C: EHLO *", "S: 250 hello", "C: MAIL FROM:<a@example.org>", "S: 250 ok",
                               "C: RCPT TO:<b@example.org>"};
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QString>("finalStatus");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<bool>("fileStays");
    QTest::newRow("refused greeting") << QByteArrayList{"S: 554 no service for you"}
                                      << QStringLiteral("%1 Fehler: 554 no service for you") << QStringList() << true;
    QTest::newRow("refused EHLO and HELO")
        << QByteArrayList{"S: 220 ready", "C: EHLO *", "S: 500 no", "C: HELO *", "S: 501 no", "C: HELO", "S: 502 never"}
        << QStringLiteral("%1 Fehler: 502 never") << QStringList() << true;
    QTest::newRow("message refused after the dot")
        << hello + QByteArrayList{"S: 250 ok", "C: DATA", "S: 354 go", "C: <DATA>", "S: 500 Line too long", "C: QUIT", "S: 221 bye"}
        << QStringLiteral("Fehler: 500 Line too long") << QStringList() << true;
    QTest::newRow("temporary recipient refusal keeps the file, no DATA")
        << hello + QByteArrayList{"S: 452 4.5.3 Too many recipients", "C: QUIT", "S: 221 bye"}
        << QStringLiteral("Fehler: 452 4.5.3 Too many recipients")
        << QStringList{QStringLiteral("Die Nachricht an 'b@example.org' wurde vom SMTP-Server abgewiesen, Grund:\n"
                                      "452 4.5.3 Too many recipients")}
        << true;
    QTest::newRow("permanent refusal of the only recipient sends no DATA")
        << hello + QByteArrayList{"S: 550 no such user", "C: QUIT", "S: 221 bye"} << QStringLiteral("Fehler: 550 no such user")
        << QStringList{QStringLiteral("Die Nachricht an 'b@example.org' wurde vom SMTP-Server abgewiesen, Grund:\n"
                                      "550 no such user")}
        << true;
}

void TestSend::failureStaysVisible()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QString, finalStatus);
    QFETCH(QStringList, reports);
    QFETCH(bool, fileStays);
    FakeServer server(script);
    QTemporaryDir queue;
    QFile file(queue.filePath(QStringLiteral("1.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QueueMessage("one"));
    file.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = server.Address();
    TAgentEvents events;
    QString status;
    QStringList questions;
    events.OnStatus = [&](const QString& text) { status = text; };
    events.OnQuestion = [&](const QString& text) {
        questions.append(text);
        return false;
    };
    ReportCapture capture;
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, false));
    QCOMPARE(status, finalStatus.arg(QString::fromLatin1(server.Address())));
    QStringList reported;
    for (const TUserMessage& report : capture.Take())
        reported.append(report.Text);
    QCOMPARE(reported, reports);
    if (status.startsWith(QLatin1String("Fehler: ")))
        QVERIFY2(questions.value(0).endsWith(status.mid(8)), qPrintable(questions.value(0)));
    QCOMPARE(QFile::exists(file.fileName()), fileStays);
    QVERIFY(!server.Received().contains("DATA") || finalStatus.contains(QLatin1String("Line too long")));
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

void TestSend::plainTextOnlyWithNone_data()
{
    const QByteArrayList authOffered{"S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250 AUTH PLAIN"};
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<bool>("withLogIn");
    QTest::addColumn<bool>("tlsSeenBefore");
    // Empty: the message was sent.
    QTest::addColumn<QString>("refusal");
    QTest::newRow("auto, log-in, no starttls") << authOffered + QByteArrayList{"SILENT"} << TqmSecurity::secAuto << true << false
                                               << QStringLiteral("127.0.0.1 bietet keine verschlüsselte Verbindung an");
    QTest::newRow("auto, no log-in, starttls seen before")
        << QByteArrayList{"S: 220 ready", "C: EHLO *", "S: 250 hello", "SILENT"} << TqmSecurity::secAuto << false << true
        << QStringLiteral("127.0.0.1 hat früher eine verschlüsselte Verbindung angeboten");
    QTest::newRow("none, log-in in clear")
        << authOffered + QByteArrayList{"C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok", "C: MAIL FROM:<a@example.org>",
                                        "S: 250 ok", "C: RCPT TO:<b@example.org>", "S: 250 ok", "C: DATA", "S: 354 go",
                                        "C: <DATA>", "S: 250 queued", "C: QUIT", "S: 221 bye"}
        << TqmSecurity::secNone << true << true << QString();
}

void TestSend::plainTextOnlyWithNone()
{
    QFETCH(QByteArrayList, script);
    QFETCH(TqmSecurity, security);
    QFETCH(bool, withLogIn);
    QFETCH(bool, tlsSeenBefore);
    QFETCH(QString, refusal);
    SetActiveUser(QStringLiteral("alice"));
    RemoveAccountSecurity("Work");
    FakeServer server(script);
    if (tlsSeenBefore)
        RememberTlsSeen("Work", TMailService::Smtp, server.Address());
    QTemporaryDir queue;
    QFile file(queue.filePath(QStringLiteral("1.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QueueMessage("one"));
    file.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.AccountName = "Work";
    job.Server = server.Address();
    job.Security = security;
    if (withLogIn) {
        job.Username = "alice";
        job.Password = "secret";
    }
    TAgentEvents events;
    QString status;
    events.OnStatus = [&](const QString& text) { status = text; };
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QCOMPARE(run.Execute(dialUp, 10, false), refusal.isEmpty());
    QVERIFY2(status.contains(refusal), qPrintable(status));
    QCOMPARE(QFile::exists(file.fileName()), !refusal.isEmpty());
    if (!refusal.isEmpty())
        QVERIFY(!server.Received().contains("AUTH") && !server.Received().contains("MAIL FROM"));
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
    RemoveAccountSecurity("Work");
}

// A reply that comes between "354" and the reply to the final dot answers nothing the client
// said: taking it for the verdict on the message deletes a message that the server may refuse.
void TestSend::replyBeforeTheEndOfTheData_data()
{
    const QByteArrayList envelope{"S: 220 ready", "C: EHLO *", "S: 250 hello", "C: MAIL FROM:<a@example.org>", "S: 250 ok",
                                  "C: RCPT TO:<b@example.org>", "S: 250 ok", "C: DATA"};
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QByteArray>("bodySize");
    QTest::addColumn<QString>("named");
    const QByteArrayList refusal{"C: <DATA>", "S: 554 rejected", "SILENT"};
    QTest::newRow("with the 354") << envelope + QByteArrayList{"S% 354 go%0D%0A250 early%0D%0A"} + refusal
                                  << QByteArray("small") << QStringLiteral("250 early");
    QTest::newRow("after the 354, large message")
        << envelope + QByteArrayList{"S: 354 go", "PAUSE 30", "S: 250 early"} + refusal << QByteArray("large")
        << QStringLiteral("250 early");
    QTest::newRow("after the dot, before the real reply")
        << envelope + QByteArrayList{"S: 354 go", "C: <DATA>", "S% 250 early%0D%0A554 rejected%0D%0A", "SILENT"}
        << QByteArray("small") << QStringLiteral("554 rejected");
}

void TestSend::replyBeforeTheEndOfTheData()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QByteArray, bodySize);
    QFETCH(QString, named);
    FakeServer server(script);
    QTemporaryDir queue;
    QFile file(queue.filePath(QStringLiteral("1.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QueueMessage("one"));
    // Larger than the loopback socket buffers can take, so that the agent is still sending when the
    // early reply comes (with a smaller body it may have handed everything to the kernel already).
    if (bodySize == "large")
        for (int i = 0; i < 250000; ++i)
            file.write("0123456789012345678901234567890123456789012345678901234567890123456789\r\n");
    file.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = server.Address();
    TAgentEvents events;
    QString status;
    events.OnStatus = [&](const QString& text) {
        if (text.startsWith(QLatin1String("Fehler")))
            status = text;
    };
    events.OnQuestion = [](const QString&) { return false; };
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, false));
    QVERIFY(QFile::exists(file.fileName()));
    QVERIFY2(status.contains(named), qPrintable(status));
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

void TestSend::refusedPasswordAskedOnce_data()
{
    // "YWxpY2U=" is "alice", "d3Jvbmc=" "wrong", "c2VjcmV0" "secret".
    const QByteArrayList logIn{"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6"};
    const QByteArrayList refused = logIn + QByteArrayList{"C: d3Jvbmc=", "S: 535 5.7.8 Authentication credentials invalid"};
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QByteArrayList>("rest");
    QTest::addColumn<bool>("sent");
    QTest::newRow("typed again") << QByteArray("secret")
                                 << refused + logIn
                                        + QByteArrayList{"C: c2VjcmV0", "S: 235 ok", "C: MAIL FROM:<a@example.org>", "S: 250 ok",
                                                         "C: RCPT TO:<b@example.org>", "S: 250 ok", "C: DATA", "S: 354 go",
                                                         "C: <DATA>", "S: 250 queued", "C: QUIT", "S: 221 bye"}
                                 << true;
    QTest::newRow("refused twice") << QByteArray("secret")
                                   << refused + logIn + QByteArrayList{"C: c2VjcmV0", "S: 535 5.7.8 no", "SILENT"} << false;
    QTest::newRow("cancelled") << QByteArray() << refused + QByteArrayList{"SILENT"} << false;
}

// SMTP 535 asks for the password once (in the same session, RFC 4954 lets the client try again);
// a second refusal or Cancel ends the run with the refusal quoted.
void TestSend::refusedPasswordAskedOnce()
{
    QFETCH(QByteArray, typed);
    QFETCH(QByteArrayList, rest);
    QFETCH(bool, sent);
    FakeServer server(QByteArrayList{"S: 220 ready", "C: EHLO *", "S: 250-hello", "S: 250 AUTH LOGIN"} + rest);
    QTemporaryDir queue;
    QFile file(queue.filePath(QStringLiteral("1.eml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QueueMessage("one"));
    file.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = server.Address();
    job.Security = TqmSecurity::secNone;
    job.Username = "alice";
    job.Password = "wrong";
    TAgentEvents events;
    QString status;
    QStringList prompts;
    events.OnStatus = [&](const QString& text) { status = text; };
    events.OnPasswordRequest = [&](const QString&, const QString& text) -> std::optional<QByteArray> {
        prompts.append(text);
        if (typed.isEmpty())
            return std::nullopt;
        return typed;
    };
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QCOMPARE(run.Execute(dialUp, 10, false), sent);
    QCOMPARE(prompts.size(), 1);
    QVERIFY2(prompts.first().endsWith(QLatin1String("Antwort des Servers: 535 5.7.8 Authentication credentials invalid")),
             qPrintable(prompts.first()));
    QCOMPARE(QFile::exists(file.fileName()), !sent);
    if (!sent)
        QVERIFY2(status.contains(QLatin1String("hat die Anmeldung abgelehnt")), qPrintable(status));
}

// "Proj Team" in CC of a message that reached the queue unexpanded: no RCPT TO:<Proj Team>; the
// message stays queued with a warning naming the recipient, and the next one is still sent.
void TestSend::recipientWithoutAtStaysQueued()
{
    FakeServer server({"S: 220 ready", "C: EHLO *", "S: 250 hello", "C: MAIL FROM:<a@example.org>", "S: 250 ok",
                       "C: RCPT TO:<b@example.org>", "S: 250 ok", "C: DATA", "S: 354 go", "C: <DATA>", "S: 250 queued",
                       "C: QUIT", "S: 221 bye"});
    QTemporaryDir queue;
    const QByteArray team = "From: <a@example.org>\r\nTo: <b@example.org>\r\nCc: Proj Team\r\nSubject: team\r\n\r\ntext\r\n";
    for (const auto& [name, text] : {std::pair{"1.eml", team}, std::pair{"2.eml", QueueMessage("two")}}) {
        QFile file(queue.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = server.Address();
    TAgentEvents events;
    ReportCapture capture;
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(run.Execute(dialUp, 10, false));
    const QList<TUserMessage> reports = capture.Take();
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().Id, 61);
    QVERIFY2(reports.first().Text.contains(QLatin1String("'team'")) && reports.first().Text.endsWith(QLatin1String("Proj Team")),
             qPrintable(reports.first().Text));
    QCOMPARE(QDir(queue.path()).entryList({QStringLiteral("*.eml")}), QStringList{QStringLiteral("1.eml")});
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"

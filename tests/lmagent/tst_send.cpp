// The send run against a scripted SMTP server: what follows a refused message, depending on the
// user's answer to the question whether to go on.

#include "FakeServer.h"
#include "ReportCapture.h"
#include "Send.h"
#include "DialupFunctions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray QueueMessage(const QByteArray& subject)
{
    return "From: <a@example.org>\r\nTo: <b@example.org>\r\nSubject: " + subject + "\r\n\r\ntext\r\n";
}

} // namespace

class TestSend : public QObject {
    Q_OBJECT

private slots:
    void refusedMessage_data();
    void refusedMessage();
    void blindCopiesReplaceTheList();
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
    FakeServer server(QByteArrayList{"S: 220 ready", "C: HELO *", "S: 250 hello", "C: MAIL FROM:<a@example.org>",
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
        if (text.startsWith(QLatin1String("Error")))
            status = text;
    };
    TSendRun run(job, {queue.path(), queue.filePath(QStringLiteral("headers.ini")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, false));
    QCOMPARE(questions, QStringList{QStringLiteral("Beim Versenden der Nachricht '1.eml' ist ein Fehler aufgetreten. "
                                                   "Sollen weitere Mails versendet werden..?")});
    QCOMPARE(status, QStringLiteral("Error: 451 try later"));
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

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"

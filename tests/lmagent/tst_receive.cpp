// The receive run against scripted POP3 servers: one that never ends a body (the run ends with a
// clear error, before any QUIT, so the server deletes nothing, keeps the messages retrieved whole
// before and leaves no unfinished file); failures told in the user's language with the server's
// words made visible; an empty mailbox; Cancel before the connection exists; a full disk.

#include "CheckFile.h"
#include "DialupFunctions.h"
#include "FakeServer.h"
#include "FullDisk.h"
#include "LogInRetry.h"
#include "Receive.h"
#include "ReportCapture.h"
#include "qmconst.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArrayList LogInScript{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK"};

TAgentJob ReceiveJob(const QByteArray& server)
{
    TAgentJob job;
    job.Action = "POP3";
    job.Server = server;
    job.Username = "alice";
    job.Password = "secret";
    // The scripted servers speak plain POP3 without CAPA.
    job.Security = TqmSecurity::secNone;
    return job;
}

// A message of about `size` bytes, as the server sends it.
QByteArrayList MessageLines(int size)
{
    QByteArrayList lines{"S: Message-ID: <big@x>", "S: Date: d", "S: "};
    for (int sent = 0; sent < size; sent += 77)
        lines.append("S: " + QByteArray(75, 'z'));
    lines.append("S: .");
    return lines;
}

QByteArrayList Info(int number, const QByteArray& id)
{
    const QByteArray n = QByteArray::number(number);
    return {"C: UIDL " + n, "S: +OK " + n + " uid-" + n, "C: LIST " + n, "S: +OK " + n + " 60",
            "C: TOP " + n + " 1", "S: +OK", "S: Message-ID: " + id, "S: Date: d", "S: ", "S: ."};
}

} // namespace

class TestReceive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetLanguage(1); }
    void endlessBody_data();
    void endlessBody();
    void failureStatus_data();
    void failureStatus();
    void emptyMailboxEndsWithQuit();
    void cancelWhileLookingUpTheServer();
    void fullDiskNamesTheFile();
};

void TestReceive::endlessBody_data()
{
    QTest::addColumn<int>("wholeBefore");
    QTest::newRow("first message endless") << 0;
    QTest::newRow("second message endless") << 1;
}

void TestReceive::endlessBody()
{
    QFETCH(int, wholeBefore);
    const int count = wholeBefore + 1;
    QByteArrayList script{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK",
                          "C: STAT", "S: +OK " + QByteArray::number(count) + " 120"};
    for (int n = 1; n <= count; ++n)
        script += Info(n, "<" + QByteArray::number(n) + "@x>");
    for (int n = 1; n <= count; ++n) {
        script += Info(n, "<" + QByteArray::number(n) + "@x>");
        script += {"C: RETR " + QByteArray::number(n), "S: +OK",
                   "S: Message-ID: <" + QByteArray::number(n) + "@x>", "S: Date: d", "S: "};
        script += n <= wholeBefore ? QByteArrayList{"S: whole", "S: ."} : QByteArrayList{"SLOW 100000 0 " + QByteArray(998, 'y')};
    }
    FakeServer server(script);
    QTemporaryDir data;
    const QString spool = data.filePath(QStringLiteral("Spool"));
    QVERIFY(QDir().mkpath(spool));
    const QString checkFile = data.filePath(QStringLiteral("h - alice.chk"));
    TAgentJob job;
    job.Action = "POP3";
    job.Server = server.Address();
    job.Username = "alice";
    job.Password = "secret";
    // The scripted server speaks plain POP3 without CAPA.
    job.Security = TqmSecurity::secNone;
    job.KeepMails = true;
    TAgentEvents events;
    QString status;
    events.OnStatus = [&](const QString& text) { status = text; };
    TReceiveRun run(job, {spool, checkFile, {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, QDate(2026, 3, 10)));

    QCOMPARE(status, ErrorStatusText(server.Address(), qmMessageText(qmMessageLargerThanAnnounced)));
    QVERIFY(!server.Received().contains("QUIT"));
    QVERIFY(!server.Received().contains("DELE"));
    const QStringList left = QDir(spool).entryList(QDir::Files);
    QCOMPARE(left.size(), wholeBefore);
    QCOMPARE(QDir(spool).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
    // The whole message stays counted as received: its line stands once the run is settled.
    const TSettledLines settled = SettlePendingLines(ReadCheckFile(checkFile), spool);
    QCOMPARE(settled.Lines.size(), wholeBefore);
    QVERIFY(settled.Unfinished.isEmpty());
}

void TestReceive::failureStatus_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused password, not typed again")
        << QByteArrayList{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: -ERR [AUTH] Authentication failed.",
                          "SILENT"}
        << QStringLiteral("127.0.0.1 hat die Anmeldung abgelehnt: vermutlich sind Benutzername oder Kennwort falsch. "
                          "Antwort des Servers: -ERR [AUTH] Authentication failed.");
    QTest::newRow("greeting starting with NUL") << QByteArrayList{"S% %00+OK hello%0D%0A", "SILENT"}
                                                << QStringLiteral("127.0.0.1 hat nicht als POP3-Server geantwortet. "
                                                                  "Gesendet wurde: \\x00+OK hello");
    QTest::newRow("control characters in a refusal") << QByteArrayList{"S% -ERR busy%1B[2J%0D now%0D%0A", "SILENT"}
                                                     << QStringLiteral("-ERR busy\\x1b[2J\\x0d now");
}

// The status line says what went wrong in the user's language, never an empty or garbled reply.
void TestReceive::failureStatus()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QString, reason);
    FakeServer server(script);
    QTemporaryDir data;
    TAgentEvents events;
    QString status;
    int asked = 0;
    events.OnStatus = [&](const QString& text) { status = text; };
    events.OnPasswordRequest = [&](const QString&, const QString&) {
        ++asked;
        return std::nullopt;
    };
    TReceiveRun run(ReceiveJob(server.Address()), {data.path(), data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, QDate(2026, 3, 10)));
    QCOMPARE(status, ErrorStatusText(server.Address(), reason));
    QCOMPARE(run.FailureText(), status);
    QCOMPARE(asked, reason.contains(QLatin1String("Anmeldung")) ? 1 : 0);
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

void TestReceive::emptyMailboxEndsWithQuit()
{
    FakeServer server(LogInScript + QByteArrayList{"C: STAT", "S: +OK 0 0", "C: QUIT", "S: +OK bye", "CLOSE"});
    QTemporaryDir data;
    TAgentEvents events;
    QStringList statuses;
    events.OnStatus = [&](const QString& text) { statuses.append(text); };
    TReceiveRun run(ReceiveJob(server.Address()), {data.path(), data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(run.Execute(dialUp, 10, QDate(2026, 3, 10)));
    QCOMPARE(statuses.last(), QStringLiteral("Verbindung beendet"));
    QVERIFY(server.Done());
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

// Cancel pressed while the server's name is still being looked up stops the transfer: nothing
// connects afterwards.
void TestReceive::cancelWhileLookingUpTheServer()
{
    FakeServer server(LogInScript + QByteArrayList{"SILENT"});
    QTemporaryDir data;
    TAgentEvents events;
    QString status;
    std::unique_ptr<TReceiveRun> run;
    events.OnStatus = [&](const QString& text) {
        status = text;
        if (text.endsWith(MessageText(AgentText::Connecting)))
            QTimer::singleShot(0, [&] {
                QVERIFY(run->Running());
                run->Cancel();
            });
    };
    run = std::make_unique<TReceiveRun>(ReceiveJob("localhost:" + QByteArray::number(server.Port())),
                                        TReceivePaths{data.path(), data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run->Execute(dialUp, 10, QDate(2026, 3, 10)));
    QCOMPARE(status, QStringLiteral("Operation abgebrochen"));
    QVERIFY(!run->Running());
    QTest::qWait(200);
    QVERIFY(server.Received().isEmpty());
}

// A spool on a full disk: the run stops before QUIT, saying that the disk is full and naming the
// file, instead of "Unknown error".
void TestReceive::fullDiskNamesTheFile()
{
    QTemporaryDir data;
    const QString spool = data.filePath(QStringLiteral("Spool"));
    FullDisk disk(spool, 256);
    if (!disk.Mounted())
        QSKIP("a small file system cannot be mounted here (needs root)");
    disk.Fill(16 * 1024);
    QByteArrayList script = LogInScript + QByteArrayList{"C: STAT", "S: +OK 1 200000", "C: UIDL 1", "S: +OK 1 u1",
                                                         "C: LIST 1", "S: +OK 1 200000", "C: TOP 1 1", "S: +OK",
                                                         "S: Message-ID: <big@x>", "S: Date: d", "S: ", "S: ."};
    script += {"C: UIDL 1", "S: +OK 1 u1", "C: LIST 1", "S: +OK 1 200000", "C: TOP 1 1", "S: +OK", "S: Message-ID: <big@x>",
               "S: Date: d", "S: ", "S: .", "C: RETR 1", "S: +OK"};
    script += MessageLines(200000);
    script += "SILENT";
    FakeServer server(script);
    TAgentEvents events;
    QString status;
    events.OnStatus = [&](const QString& text) { status = text; };
    TAgentJob job = ReceiveJob(server.Address());
    job.KeepMails = false;
    TReceiveRun run(job, {spool, data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, QDate(2026, 3, 10)));
    QVERIFY2(status.contains(QStringLiteral("Der Datenträger ist voll: '%1/pop_1").arg(spool)), qPrintable(status));
    QVERIFY2(!status.contains(QLatin1String("Unknown error")), qPrintable(status));
    QVERIFY(!server.Received().contains("DELE"));
    QVERIFY(!server.Received().contains("QUIT"));
    QCOMPARE(QDir(spool).entryList({QStringLiteral("*.eml*")}, QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"

// The receive run against a scripted POP3 server that never ends a body: the run ends with a clear
// error, before any QUIT (so the server deletes nothing), keeps the messages retrieved whole before,
// and leaves no unfinished file.

#include "CheckFile.h"
#include "DialupFunctions.h"
#include "FakeServer.h"
#include "Receive.h"
#include "ReportCapture.h"
#include "qmconst.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

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
    void endlessBody_data();
    void endlessBody();
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

    QCOMPARE(status, QString::fromUtf8(server.Address()) + QStringLiteral(" Error: ") + qmMessageText(qmMessageLargerThanAnnounced));
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

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"

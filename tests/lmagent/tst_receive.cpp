// The receive run against a scripted POP3 server that never ends a body: the run ends with a clear
// error, before any QUIT (so the server deletes nothing), keeps the messages retrieved whole before,
// and leaves no unfinished file.

#include "CheckFile.h"
#include "DialupFunctions.h"
#include "FakeServer.h"
#include "Receive.h"
#include "ReportCapture.h"
#include "qmconst.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArrayList Info(int number, const QByteArray& id, const QByteArray& size = "60")
{
    const QByteArray n = QByteArray::number(number);
    return {"C: UIDL " + n, "S: +OK " + n + " uid-" + n, "C: LIST " + n, "S: +OK " + n + " " + size,
            "C: TOP " + n + " 1", "S: +OK", "S: Message-ID: " + id, "S: Date: d", "S: Subject: subject " + n, "S: ", "S: ."};
}

constexpr qint64 MiB = 1024 * 1024;
// Enough free space for anything the tests send.
constexpr qint64 Plenty = -1;
// The free space falls with every byte of the spool.
constexpr qint64 Shrinking = -2;
constexpr qint64 BigBodyLines = 2200;

qint64 SpoolBytes(const QString& spool)
{
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(spool).entryInfoList(QDir::Files | QDir::Hidden))
        bytes += file.size();
    return bytes;
}

} // namespace

class TestReceive : public QObject {
    Q_OBJECT

private slots:
    void endlessBody_data();
    void endlessBody();
    void limits_data();
    void limits();
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

// The sizes a server announces and the free disk space bound a run: a message announced above the
// limit stays on the server with a warning naming it, a size LIST does not tell does not make a
// large message fail, and a run stops with a clear error before the disk's reserve is touched,
// without QUIT (nothing deleted on the server).
void TestReceive::limits_data()
{
    QTest::addColumn<QByteArrayList>("sizes");
    QTest::addColumn<bool>("bigFirstBody");
    QTest::addColumn<qint64>("freeBeyondReserve");
    QTest::addColumn<int>("savedMessages");
    QTest::addColumn<bool>("quit");
    QTest::addColumn<bool>("warnsOfSecond");
    QTest::addColumn<bool>("diskError");
    QTest::newRow("2 GB announced stays on the server") << QByteArrayList{"60", "2000000000"} << false << Plenty << 1
                                                        << true << true << false;
    QTest::newRow("10^12 bytes announced stays on the server") << QByteArrayList{"60", "1000000000000"} << false << Plenty
                                                               << 1 << true << true << false;
    QTest::newRow("unreadable LIST size, 2 MB message") << QByteArrayList{"unknown"} << true << Plenty << 1 << true
                                                        << false << false;
    QTest::newRow("disk at its reserve before the download") << QByteArrayList{"60"} << false << qint64(30) << 0 << false
                                                             << false << true;
    QTest::newRow("disk fills during the download") << QByteArrayList{"unknown"} << true << Shrinking << 0 << false
                                                    << false << true;
}

void TestReceive::limits()
{
    QFETCH(QByteArrayList, sizes);
    QFETCH(bool, bigFirstBody);
    QFETCH(qint64, freeBeyondReserve);
    QFETCH(int, savedMessages);
    QFETCH(bool, quit);
    QFETCH(bool, warnsOfSecond);
    QFETCH(bool, diskError);
    const int count = int(sizes.size());
    QByteArrayList script{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK",
                          "C: STAT", "S: +OK " + QByteArray::number(count) + " 120"};
    for (int n = 1; n <= count; ++n)
        script += Info(n, "<" + QByteArray::number(n) + "@x>", sizes.at(n - 1));
    // Only the first message is ever asked for.
    script += Info(1, "<1@x>", sizes.at(0));
    script += {"C: RETR 1", "S: +OK", "S: Message-ID: <1@x>", "S: Date: d", "S: "};
    script += bigFirstBody ? QByteArrayList{"SLOW " + QByteArray::number(BigBodyLines) + " 0 " + QByteArray(998, 'y')}
                           : QByteArrayList{"S: whole"};
    script += {"S: .", "C: DELE 1", "S: +OK", "C: QUIT", "S: +OK", "CLOSE"};
    FakeServer server(script);
    QTemporaryDir data;
    const QString spool = data.filePath(QStringLiteral("Spool"));
    QVERIFY(QDir().mkpath(spool));
    TAgentJob job;
    job.Action = "POP3";
    job.Server = server.Address();
    job.Username = "alice";
    job.Password = "secret";
    job.Security = TqmSecurity::secNone;
    job.KeepMails = false;
    TAgentEvents events;
    QString status;
    events.OnStatus = [&](const QString& text) { status = text; };
    TReceiveRun run(job, {spool, data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    const qint64 reserve = run.Limits.DiskReserve;
    QCOMPARE(reserve, 128 * MiB);
    QCOMPARE(run.Limits.MaxMessageSize, 256 * MiB);
    qint64 peak = 0;
    run.Limits.FreeSpace = [&](const QString& directory) {
        if (directory != spool)
            QTest::qFail("free space asked of another directory", __FILE__, __LINE__);
        peak = qMax(peak, SpoolBytes(spool));
        if (freeBeyondReserve == Plenty)
            return 100 * 1024 * MiB;
        if (freeBeyondReserve == Shrinking)
            return reserve + MiB - SpoolBytes(spool);
        return reserve + freeBeyondReserve;
    };
    ReportCapture reports;
    TDialUp dialUp(NotInstalledRasBackend());
    QCOMPARE(run.Execute(dialUp, 10, QDate(2026, 3, 10)), !diskError);

    const QList<TUserMessage> taken = reports.Take();
    QCOMPARE(taken.size(), warnsOfSecond ? 1 : 0);
    if (warnsOfSecond) {
        QCOMPARE(taken.at(0).Id, int(AgentText::MessagesTooLarge));
        QCOMPARE(taken.at(0).Kind, TMessageKind::Warning);
        QVERIFY(taken.at(0).Text.contains(QLatin1String("#2: subject 2")));
        QVERIFY(taken.at(0).Text.contains(QString::fromLatin1(sizes.at(1))));
        QVERIFY(taken.at(0).Text.contains(QLatin1String("256")));
    }
    if (diskError)
        QCOMPARE(status, QString::fromUtf8(server.Address()) + QStringLiteral(" Error: ")
                             + FillIn(MessageText(AgentText::DiskNearlyFull), spool));
    QCOMPARE(server.Received().contains("QUIT"), quit);
    QVERIFY(!server.Received().contains("RETR 2"));
    QVERIFY(!server.Received().contains("DELE 2"));
    QCOMPARE(server.Received().contains("DELE 1"), quit);
    const QStringList saved = QDir(spool).entryList({QStringLiteral("*.eml")}, QDir::Files);
    QCOMPARE(saved.size(), savedMessages);
    QCOMPARE(QDir(spool).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
    if (bigFirstBody && savedMessages == 1)
        QVERIFY(QFileInfo(QDir(spool).filePath(saved.at(0))).size() > BigBodyLines * 998);
    // The download went on until the reserve was near, and not past it.
    if (freeBeyondReserve == Shrinking)
        QVERIFY2(peak > MiB / 2 && peak <= MiB, qPrintable(QString::number(peak)));
}

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"

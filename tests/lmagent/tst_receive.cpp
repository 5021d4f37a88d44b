// The receive run against scripted POP3 servers: one that never ends a body (the run ends with a
// clear error, before any QUIT, so the server deletes nothing, keeps the messages retrieved whole
// before and leaves no unfinished file); failures told in the user's language with the server's
// words made visible; an empty mailbox; Cancel before the connection exists; a full disk; and
// scripted IMAP servers that send an empty message, close right after a literal or lack UIDPLUS.

#include "CheckFile.h"
#include "DialupFunctions.h"
#include "FakeServer.h"
#include "FullDisk.h"
#include "LogInRetry.h"
#include "ReceiveImap.h"
#include "ReceivePop3.h"
#include "ReportCapture.h"
#include "qmconst.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileInfo>
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
    // The scripted servers speak plain POP3 and refuse CAPA.
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

QByteArrayList Info(int number, const QByteArray& id, const QByteArray& size = "60")
{
    const QByteArray n = QByteArray::number(number);
    return {"C: UIDL " + n, "S: +OK " + n + " uid-" + n, "C: LIST " + n, "S: +OK " + n + " " + size,
            "C: TOP " + n + " 1", "S: +OK", "S: Message-ID: " + id, "S: Date: d", "S: Subject: subject " + n, "S: ", "S: ."};
}

const QByteArrayList ImapLogIn{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN] ready",
                               "C: A1 AUTHENTICATE PLAIN " + QByteArray("\0alice\0secret", 13).toBase64()};

QByteArrayList ImapSelect(int tag)
{
    const QByteArray a = 'A' + QByteArray::number(tag);
    return {"C: " + a + " SELECT INBOX", "S: * 2 EXISTS", "S: * OK [UIDVALIDITY 7] valid", "S: " + a + " OK selected"};
}

// Logged in with `capabilities`, two messages looked at: UID 1 "hello" and UID 2, which is empty.
QByteArrayList ImapPicture(const QByteArray& capabilities)
{
    return ImapLogIn + QByteArrayList{"S: A1 OK [CAPABILITY " + capabilities + "] logged in"} + ImapSelect(2)
           + QByteArrayList{"C: A3 UID SEARCH ALL", "S: * SEARCH 1 2", "S: A3 OK",
                            "C: A4 UID FETCH 1:2 (UID RFC822.SIZE FLAGS ENVELOPE)",
                            "S: * 1 FETCH (UID 1 RFC822.SIZE 5 FLAGS () ENVELOPE (\"d\" \"one\" NIL NIL NIL NIL NIL NIL NIL \"<1@x>\"))",
                            "S: * 2 FETCH (UID 2 RFC822.SIZE 0 FLAGS () ENVELOPE (NIL NIL NIL NIL NIL NIL NIL NIL NIL NIL))",
                            "S: A4 OK"}
           + ImapSelect(5)
           + QByteArrayList{"C: A6 UID FETCH 1:2 (UID RFC822.SIZE BODY.PEEK[])",
                            "S: * 1 FETCH (UID 1 RFC822.SIZE 5 BODY[] {5}", "S% hello", "S: )"};
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
    void initTestCase() { SetLanguage(1); }
    void endlessBody_data();
    void endlessBody();
    void limits_data();
    void limits();
    void failureStatus_data();
    void failureStatus();
    void emptyMailboxEndsWithQuit();
    void cancelWhileLookingUpTheServer();
    void fullDiskNamesTheFile();
    void hostileImapServer_data();
    void hostileImapServer();
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
                          "C: STAT", "S: +OK " + QByteArray::number(count) + " 120", "C: CAPA", "S: -ERR"};
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
    TPop3ReceiveRun run(job, {spool, checkFile, {}}, events);
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
                          "C: STAT", "S: +OK " + QByteArray::number(count) + " 120", "C: CAPA", "S: -ERR"};
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
    TPop3ReceiveRun run(job, {spool, data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
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
        QCOMPARE(status, ErrorStatusText(server.Address(), FillIn(MessageText(AgentText::DiskNearlyFull), spool)));
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
    TPop3ReceiveRun run(ReceiveJob(server.Address()), {data.path(), data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
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
    TPop3ReceiveRun run(ReceiveJob(server.Address()), {data.path(), data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
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
    std::unique_ptr<TPop3ReceiveRun> run;
    events.OnStatus = [&](const QString& text) {
        status = text;
        if (text.endsWith(MessageText(AgentText::Connecting)))
            QTimer::singleShot(0, [&] {
                QVERIFY(run->Running());
                run->Cancel();
            });
    };
    run = std::make_unique<TPop3ReceiveRun>(ReceiveJob("localhost:" + QByteArray::number(server.Port())),
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
    QByteArrayList script = LogInScript + QByteArrayList{"C: STAT", "S: +OK 1 200000", "C: CAPA", "S: -ERR", "C: UIDL 1", "S: +OK 1 u1",
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
    TPop3ReceiveRun run(job, {spool, data.filePath(QStringLiteral("h - alice.chk")), {}}, events);
    // The disk-space guard would stop the run before the disk is full; here the write itself fails.
    run.Limits.FreeSpace = [](const QString&) { return qint64(1) << 40; };
    TDialUp dialUp(NotInstalledRasBackend());
    QVERIFY(!run.Execute(dialUp, 10, QDate(2026, 3, 10)));
    QVERIFY2(status.contains(QStringLiteral("Der Datenträger ist voll: '%1/pop_1").arg(spool)), qPrintable(status));
    QVERIFY2(!status.contains(QLatin1String("Unknown error")), qPrintable(status));
    QVERIFY(!server.Received().contains("DELE"));
    QVERIFY(!server.Received().contains("QUIT"));
    QCOMPARE(QDir(spool).entryList({QStringLiteral("*.eml*")}, QDir::Files), QStringList());
}


// What an IMAP server sends in the bad cases ends as over POP3: an empty message is saved (an
// empty spool file) and deleted like any other; a connection closed right after a literal fails
// the run with the reason, before anything is flagged, keeping the message that came whole; a
// server without UIDPLUS where another message is flagged \Deleted expunges nothing, and the lines
// stay, so that the next run deletes the messages without fetching them again.
void TestReceive::hostileImapServer_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QByteArrayList>("spooled");
    QTest::addColumn<int>("checkLines");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("flagged");
    // The id of the one warning expected, 0 for none.
    QTest::addColumn<int>("warning");
    const QByteArrayList logOut{"C: A9 LOGOUT", "S: * BYE", "S: A9 OK", "CLOSE"};
    const QByteArray store = "UID STORE 1:2 +FLAGS.SILENT (\\Deleted)";
    QTest::newRow("empty message")
        << ImapPicture("IMAP4rev1 UIDPLUS")
               + QByteArrayList{"S: * 2 FETCH (UID 2 RFC822.SIZE 0 BODY[] {0}", "S: )", "S: A6 OK",
                                "C: A7 " + store, "S: A7 OK", "C: A8 UID EXPUNGE 1:2", "S: A8 OK"}
               + logOut
        << true << QByteArrayList{"", "hello"} << 0 << QStringLiteral("Verbindung beendet") << store << 0;
    QTest::newRow("closed right after a literal")
        << ImapPicture("IMAP4rev1 UIDPLUS") + QByteArrayList{"S: * 2 FETCH (UID 2 RFC822.SIZE 3 BODY[] {3}", "S% abc", "CLOSE"}
        << false << QByteArrayList{"hello"} << 1 << QStringLiteral("10054") << QByteArray() << 0;
    QTest::newRow("no uidplus, another message flagged")
        << ImapPicture("IMAP4rev1")
               + QByteArrayList{"S: * 2 FETCH (UID 2 RFC822.SIZE 0 BODY[] {0}", "S: )", "S: A6 OK",
                                "C: A7 " + store, "S: A7 OK", "C: A8 UID SEARCH DELETED", "S: * SEARCH 1 2 3",
                                "S: A8 OK", "C: A9 UID STORE 1:2 -FLAGS.SILENT (\\Deleted)", "S: A9 OK",
                                "C: A10 LOGOUT", "S: * BYE", "S: A10 OK", "CLOSE"}
        << true << QByteArrayList{"", "hello"} << 2 << QStringLiteral("Verbindung beendet") << store << 332;
}

void TestReceive::hostileImapServer()
{
    QFETCH(QByteArrayList, script);
    QFETCH(bool, succeeds);
    QFETCH(QByteArrayList, spooled);
    QFETCH(int, checkLines);
    QFETCH(QString, status);
    QFETCH(QByteArray, flagged);
    QFETCH(int, warning);
    FakeServer server(script);
    QTemporaryDir data;
    const QString checkFile = data.filePath(QStringLiteral("h - alice.chk"));
    TAgentJob job = ReceiveJob(server.Address());
    job.Action = ImapReceiveAction;
    TAgentEvents events;
    QString lastStatus;
    events.OnStatus = [&](const QString& text) { lastStatus = text; };
    TImapReceiveRun run(job, {data.path(), checkFile, {}, data.filePath(QStringLiteral("filter.ldb"))}, events);
    ReportCapture reports;
    TDialUp dialUp(NotInstalledRasBackend());
    QCOMPARE(run.Execute(dialUp, 10, QDate(2026, 3, 10)), succeeds);

    QList<int> reported;
    for (const TUserMessage& report : reports.Take())
        reported.append(report.Id);
    QCOMPARE(reported, warning ? QList<int>{warning} : QList<int>{});
    QVERIFY2(lastStatus.contains(status), qPrintable(lastStatus));
    QCOMPARE(server.Received().contains("Deleted"), !flagged.isEmpty());
    QByteArrayList contents;
    for (const QString& name : QDir(data.path()).entryList({QStringLiteral("*.eml")}, QDir::Files)) {
        QFile file(data.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        contents.append(file.readAll());
    }
    std::sort(contents.begin(), contents.end());
    QCOMPARE(contents, spooled);
    QCOMPARE(QDir(data.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(SettlePendingLines(ReadCheckFile(checkFile), data.path()).Lines.size(), checkLines);
    QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"

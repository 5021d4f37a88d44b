#include "CheckFile.h"
#include "ReceiveRules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate Today(2026, 3, 10);

TRemoteMessage Message(const char* id, const char* date, const char* uidl = "")
{
    return {id, date, uidl};
}

QByteArray Day(int daysFromToday)
{
    return FormatDeletionDay(Today.addDays(daysFromToday));
}

QByteArray Plans(const QList<TMessagePlan>& plans)
{
    QByteArray text;
    for (const TMessagePlan& plan : plans) {
        text += plan.Retrieve ? 'R' : '-';
        text += plan.Delete ? 'D' : '-';
        text += ' ';
    }
    return text.trimmed();
}

} // namespace

class TestCheckFile : public QObject {
    Q_OBJECT

private slots:
    void escapesFileNames();
    void parsesLines_data();
    void parsesLines();
    void roundTrip();
    void settlesPendingLines();
    void appendsLines_data();
    void appendsLines();
    void removesOnlyStaleUnfinishedFiles();
    void deletionDays_data();
    void deletionDays();
    void plans_data();
    void plans();
    void newLinesCarryTheDeletionDay();
    void linesByUniqueIdCount_data();
    void linesByUniqueIdCount();
    void fetchedMessageLines_data();
    void fetchedMessageLines();
    void addingLinesUnderTheLock();
    void keysOfAmbiguousMessages();
    void recordedUniqueIds();
    void planningManyMessagesIsLinear();
};

void TestCheckFile::escapesFileNames()
{
    QCOMPARE(CheckFileName(QStringLiteral("/m"), "pop.example.org:110", "a?b/c\\d*e"),
             QStringLiteral("/m/pop.example.org$2$110 - a$1$b$4$c$3$d$5$e.chk"));
}

void TestCheckFile::parsesLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("lines");
    QTest::newRow("mark and two kinds") << QByteArray("100\r\n<a>|Mon|\r\n<b>|Tue|1/2/2026\r\n") << QByteArray("<a>|Mon;<b>|Tue|1/2/2026");
    QTest::newRow("missing file") << QByteArray() << QByteArray();
    QTest::newRow("mark only") << QByteArray("100\r\n") << QByteArray();
    QTest::newRow("no mark, entry first") << QByteArray("<a>|Mon\r\n<b>|Tue\r\n") << QByteArray("<a>|Mon;<b>|Tue");
    QTest::newRow("other mark") << QByteArray("200\r\n<a>|Mon\r\n") << QByteArray("<a>|Mon");
    QTest::newRow("one field dropped") << QByteArray("100\r\nlonely\r\n<a>|Mon\r\n") << QByteArray("<a>|Mon");
    QTest::newRow("unique id, more fields") << QByteArray("100\r\n<a>|Mon|5/5/2026|x.part|u%7C1|junk\r\n")
                                            << QByteArray("<a>|Mon|5/5/2026|x.part|u%7C1");
    QTest::newRow("unique id alone") << QByteArray("100\r\n<a>|Mon|||u1\r\n") << QByteArray("<a>|Mon|||u1");
    QTest::newRow("bare LF") << QByteArray("100\n<a>|Mon\n") << QByteArray("<a>|Mon");
    QTest::newRow("empty key") << QByteArray("100\r\n|\r\n") << QByteArray("|");
}

void TestCheckFile::parsesLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, lines);
    QByteArrayList texts;
    for (const TCheckLine& line : ParseCheckFile(content))
        texts.append(line.Text());
    QCOMPARE(texts.join(';'), lines);
}

void TestCheckFile::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a - b.chk"));
    const TCheckList lines{{"<a@x>", "Mon, 1 Jan 2024 10:00:00 +0100", {}}, {"<b@x>", "", Day(3)}};
    QVERIFY(WriteCheckFile(path, lines));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("100\r\n<a@x>|Mon, 1 Jan 2024 10:00:00 +0100\r\n<b@x>||"));
    const TCheckList read = ReadCheckFile(path);
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(1).DeleteOn, Day(3));
    QVERIFY(ReadCheckFile(dir.filePath(QStringLiteral("missing.chk"))).isEmpty());
}

void TestCheckFile::settlesPendingLines()
{
    QTemporaryDir spool;
    QFile unfinished(spool.filePath(QStringLiteral("pop_2.eml.part")));
    QVERIFY(unfinished.open(QIODevice::WriteOnly));
    unfinished.close();
    const TCheckList lines = ParseCheckFile("100\r\n<1>|d||pop_1.eml.part\r\n<2>|d||pop_2.eml.part\r\n<3>|d|" + Day(1) + "\r\n");
    const TSettledLines settled = SettlePendingLines(lines, spool.path());
    QCOMPARE(settled.Lines.size(), 2);
    QCOMPARE(settled.Lines.at(0).Text(), QByteArray("<1>|d"));
    QCOMPARE(settled.Lines.at(1).Text(), QByteArray("<3>|d|" + Day(1)));
    QVERIFY(settled.Changed);
    // Left for the caller, who removes it once the settled file is written.
    QCOMPARE(settled.Unfinished, QStringList{unfinished.fileName()});
    QVERIFY(unfinished.exists());
    QVERIFY(!SettlePendingLines(ParseCheckFile("100\r\n<3>|d\r\n"), spool.path()).Changed);
}

// Appended lines read back like written ones, also behind a last line a crash left unended.
void TestCheckFile::appendsLines_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("no file") << QByteArray() << QByteArray("100\r\n<n>|d||pop_1.eml.part\r\n");
    QTest::newRow("ended lines") << QByteArray("100\r\n<a>|d\r\n") << QByteArray("100\r\n<a>|d\r\n<n>|d||pop_1.eml.part\r\n");
    QTest::newRow("torn last line")
        << QByteArray("100\r\n<a>|d\r\n<b>|") << QByteArray("100\r\n<a>|d\r\n<b>|\r\n<n>|d||pop_1.eml.part\r\n");
}

void TestCheckFile::appendsLines()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h - u.chk"));
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    TCheckFileAppender appender;
    QVERIFY(appender.Open(path));
    QVERIFY(appender.Append({"<n>", "d", {}, "pop_1.eml.part"}));
    QVERIFY(appender.Sync());
    appender.Close();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), after);
    QCOMPARE(ReadCheckFile(path).last().PendingFile, QByteArray("pop_1.eml.part"));
    if (before.isEmpty())
        QCOMPARE(file.permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// An unfinished file belongs to the run of any account until that account's run settled it.
void TestCheckFile::removesOnlyStaleUnfinishedFiles()
{
    QTemporaryDir folders;
    QTemporaryDir spool;
    QVERIFY(WriteCheckFile(folders.filePath(QStringLiteral("a - x.chk")), {{"<1>", "d", {}, "pop_1A.eml.part"}}));
    QVERIFY(WriteCheckFile(folders.filePath(QStringLiteral("b - y.chk")), {{"<2>", "d", {}, "pop_2B.eml.part"}}));
    const QStringList names{QStringLiteral("pop_1A.eml.part"), QStringLiteral("pop_2B.eml.part"),
                            QStringLiteral("pop_3C.eml.part"), QStringLiteral("pop_4D.eml")};
    for (const QString& name : names) {
        QFile file(spool.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    RemoveStaleUnfinishedFiles(spool.path(), folders.path());
    QCOMPARE(QDir(spool.path()).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("pop_1A.eml.part"), QStringLiteral("pop_2B.eml.part"), QStringLiteral("pop_4D.eml")}));
}

void TestCheckFile::deletionDays_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("written by us") << Day(5) << Today.addDays(5);
    QTest::newRow("iso") << QByteArray("2026-04-01") << QDate(2026, 4, 1);
    QTest::newRow("garbage") << QByteArray("tomorrow") << QDate();
    QTest::newRow("empty") << QByteArray("") << QDate();
    QTest::newRow("impossible day") << QByteArray("2026-02-31") << QDate();
}

void TestCheckFile::deletionDays()
{
    QFETCH(QByteArray, text);
    QFETCH(QDate, expected);
    QCOMPARE(ParseDeletionDay(text, Today).value_or(QDate()), expected);
}

void TestCheckFile::plans_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("deleteDays");
    QTest::addColumn<QByteArray>("oldFile");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray three = "<1>|d1\r\n<2>|d2\r\n<3>|d3\r\n";
    QTest::newRow("delete all, nothing known") << false << 0 << QByteArray() << QByteArray("RD RD RD");
    QTest::newRow("delete, known only deleted") << false << 0 << QByteArray("<2>|d2\r\n") << QByteArray("RD -D RD");
    QTest::newRow("keep, all new") << true << 0 << QByteArray() << QByteArray("R- R- R-");
    QTest::newRow("keep, all known") << true << 0 << three << QByteArray("-- -- --");
    QTest::newRow("keep, day passed")
        << true << 7 << QByteArray("<1>|d1|" + Day(-1) + "\r\n<2>|d2|" + Day(0) + "\r\n<3>|d3|" + Day(1) + "\r\n")
        << QByteArray("-D -D --");
    QTest::newRow("keep, unreadable day kept") << true << 7 << QByteArray("<1>|d1|soon\r\n") << QByteArray("-- R- R-");
    QTest::newRow("keep, date differs") << true << 0 << QByteArray("<1>|other\r\n") << QByteArray("R- R- R-");
}

void TestCheckFile::plans()
{
    QFETCH(bool, keep);
    QFETCH(int, deleteDays);
    QFETCH(QByteArray, oldFile);
    QFETCH(QByteArray, expected);
    const QList<TRemoteMessage> messages{Message("<1>", "d1"), Message("<2>", "d2"), Message("<3>", "d3")};
    QCOMPARE(Plans(PlanMessages(messages, ParseCheckFile("100\r\n" + oldFile), {keep, deleteDays, Today})), expected);
}

void TestCheckFile::newLinesCarryTheDeletionDay()
{
    const QList<TRemoteMessage> messages{Message("<1>", "d1")};
    QCOMPARE(PlanMessages(messages, {}, {true, 0, Today}).at(0).Line.Text(), QByteArray("<1>|d1"));
    QCOMPARE(PlanMessages(messages, {}, {true, -3, Today}).at(0).Line.Text(), QByteArray("<1>|d1"));
    QCOMPARE(PlanMessages(messages, {}, {true, 14, Today}).at(0).Line.DeleteOn, Day(14));
    QCOMPARE(PlanMessages(messages, {}, {true, 2147483647, Today}).at(0).Line.DeleteOn, QByteArray());
    const TMessagePlan deleted = PlanMessages(messages, {}, {false, 0, Today}).at(0);
    QCOMPARE(deleted.Use, TLineUse::AfterSaveUntilQuit);
    QCOMPARE(deleted.Line.DeleteOn, Day(0));
}

void TestCheckFile::keysOfAmbiguousMessages()
{
    const QList<TRemoteMessage> messages{Message("<1>", "d1", "u1"), Message("", "", "u2"), Message("<1>", "d1", "u|3"),
                                         Message("", "", ""), Message("<a|b>", "d", "u5")};
    QByteArrayList keys;
    for (const TCheckLine& key : MessageKeys(messages))
        keys.append(key.Text());
    QCOMPARE(keys, (QByteArrayList{"<1>|d1", "UIDL u2|", "UIDL u%7C3|d1", "|", "<a b>|d"}));

    // Two copies of one message are both retrieved once, and neither again.
    const QList<TRemoteMessage> copies{Message("<1>", "d1", "u1"), Message("<1>", "d1", "u2")};
    const QList<TMessagePlan> first = PlanMessages(copies, {}, {true, 0, Today});
    QCOMPARE(Plans(first), QByteArray("R- R-"));
    const TCheckList saved{first.at(0).Line, first.at(1).Line};
    QCOMPARE(Plans(PlanMessages(copies, saved, {true, 0, Today})), QByteArray("-- --"));
}

// The server manager records what it fetched under the message's unique id; the agent finds the
// line by it, whatever key it gives the message itself.
void TestCheckFile::linesByUniqueIdCount_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QByteArray>("oldFile");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("kept for ever") << true << QByteArray("UIDL u2|\r\n") << QByteArray("R- -- R-");
    QTest::newRow("deletion day come") << true << QByteArray("UIDL u2||" + Day(0) + "\r\n") << QByteArray("R- -D R-");
    QTest::newRow("deletion day ahead") << true << QByteArray("UIDL u2||" + Day(3) + "\r\n") << QByteArray("R- -- R-");
    QTest::newRow("account deletes") << false << QByteArray("UIDL u2||" + Day(0) + "\r\n") << QByteArray("RD -D RD");
    QTest::newRow("other id") << true << QByteArray("UIDL u9|\r\n") << QByteArray("R- R- R-");
}

void TestCheckFile::linesByUniqueIdCount()
{
    QFETCH(bool, keep);
    QFETCH(QByteArray, oldFile);
    QFETCH(QByteArray, expected);
    const QList<TRemoteMessage> messages{Message("<1>", "d1", "u1"), Message("<2>", "d2", "u2"), Message("<3>", "d3", "u3")};
    QCOMPARE(Plans(PlanMessages(messages, ParseCheckFile("100\r\n" + oldFile), {keep, 0, Today})), expected);
}

void TestCheckFile::fetchedMessageLines_data()
{
    QTest::addColumn<QByteArray>("uidl");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("deleteDays");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("by unique id, kept") << QByteArray("u|1") << true << 0 << QByteArray("UIDL u%7C1|");
    QTest::newRow("by unique id, days") << QByteArray("u1") << true << 5 << QByteArray("UIDL u1||" + Day(5));
    QTest::newRow("by unique id, deleting account") << QByteArray("u1") << false << 5 << QByteArray("UIDL u1||" + Day(0));
    QTest::newRow("without unique id") << QByteArray() << true << 0 << QByteArray("<a b>|Mon, 9 Mar");
}

void TestCheckFile::fetchedMessageLines()
{
    QFETCH(QByteArray, uidl);
    QFETCH(bool, keep);
    QFETCH(int, deleteDays);
    QFETCH(QByteArray, expected);
    QCOMPARE(FetchedMessageLine({uidl, "<a|b>", "Mon, 9 Mar"}, keep, deleteDays, Today).Text(), expected);
}

// Adding lines takes the file's lock and adds only what is not there; a lock another holder keeps
// makes it fail without a change, and a lock whose holder died is taken over.
void TestCheckFile::addingLinesUnderTheLock()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("h - u.chk"));
    QVERIFY(WriteCheckFile(path, {{"<1>", "d1", {}, {}}}));
    const TCheckList added{{"UIDL a", {}, {}, {}}, {"<1>", "d1", Day(3), {}}};
    {
        TCheckFileLock agent(path);
        QVERIFY(agent.Lock(0));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!AddCheckLines(path, added, 300));
        QVERIFY(waited.elapsed() >= 250);
        QCOMPARE(ReadCheckFile(path).size(), 1);
    }
    QVERIFY(AddCheckLines(path, added, 300));
    QByteArrayList lines;
    for (const TCheckLine& line : ReadCheckFile(path))
        lines.append(line.Text());
    QCOMPARE(lines, (QByteArrayList{"<1>|d1", "UIDL a|"}));
    QVERIFY(!QFile::exists(path + QStringLiteral(".lock")));

    QProcess ended;
    ended.start(QStringLiteral("sleep"), {QStringLiteral("0.2")});
    QVERIFY(ended.waitForStarted());
    const qint64 deadPid = ended.processId();
    QVERIFY(deadPid > 0);
    QVERIFY(ended.waitForFinished());
    QFile stale(path + QStringLiteral(".lock"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nlmagent\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    QVERIFY(AddCheckLines(path, {{"UIDL b", {}, {}, {}}}, 300));
    QCOMPARE(ReadCheckFile(path).size(), 3);
}

// A line records its message's unique id (percent-encoded, "|" included); a later run finds the
// message by it whatever key it would have, and learns the ids of lines written without one.
void TestCheckFile::recordedUniqueIds()
{
    const TCheckList old = ParseCheckFile("100\r\n<1>|d1|||u%7C1\r\nUIDL u2|\r\n<3>|d3\r\n");
    QCOMPARE(old.at(0).Uidl, QByteArray("u|1"));
    const QHash<QByteArray, TCheckLine> known = LinesByUidl(old);
    QCOMPARE(known.size(), 2);
    QCOMPARE(known.value("u|1").MessageId, QByteArray("<1>"));
    QCOMPARE(known.value("u2").MessageId, QByteArray("UIDL u2"));

    const QList<TRemoteMessage> messages{Message("<other>", "key", "u|1"), Message("<3>", "d3", "u3"), Message("<4>", "d4", "u4")};
    const QList<TMessagePlan> plans = PlanMessages(messages, old, {true, 0, Today});
    QCOMPARE(Plans(plans), QByteArray("-- -- R-"));
    QCOMPARE(plans.at(0).Line.Text(), QByteArray("<1>|d1|||u%7C1"));
    QCOMPARE(plans.at(1).Line.Text(), QByteArray("<3>|d3|||u3"));
    QCOMPARE(plans.at(2).Line.Text(), QByteArray("<4>|d4|||u4"));
    QCOMPARE(ParseCheckFile(CheckFileContent({plans.at(0).Line})).at(0).Uidl, QByteArray("u|1"));
}

// A mailbox of many thousand known messages is planned at once, not by searching the whole list
// for each message.
void TestCheckFile::planningManyMessagesIsLinear()
{
    constexpr int Count = 20000;
    QList<TRemoteMessage> messages;
    TCheckList old;
    for (int i = 0; i < Count; ++i) {
        const QByteArray n = QByteArray::number(i);
        messages.append({"<" + n + "@x>", "d", "u" + n});
        old.append({"<" + n + "@x>", "d", {}, {}, "u" + n});
    }
    QElapsedTimer clock;
    clock.start();
    const QList<TMessagePlan> plans = PlanMessages(messages, old, {true, 0, Today});
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(plans.size(), Count);
    QVERIFY(std::none_of(plans.cbegin(), plans.cend(), [](const TMessagePlan& plan) { return plan.Retrieve; }));
}

QTEST_GUILESS_MAIN(TestCheckFile)
#include "tst_checkfile.moc"

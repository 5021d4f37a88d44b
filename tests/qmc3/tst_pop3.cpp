#include "FakeServer.h"
#include "SocketErrorWatch.h"
#include "qmconst.h"
#include "qmpop3.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

QByteArrayList LogInScript(const QByteArray& statReply = "+OK 2 320")
{
    return {"S: +OK POP3 ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK logged in", "C: STAT", "S: " + statReply};
}

// The capabilities asked for once per session before the first update or transfer.
const QByteArrayList CapaRefused{"C: CAPA", "S: -ERR unknown command"};
const QByteArrayList CapaPipelining{"C: CAPA", "S: +OK", "S: USER", "S: PIPELINING", "S: UIDL", "S: ."};

// The pipelined picture of three messages: both listings, then the TOP commands of `tops` in one
// write, answered after all of them arrived.
QByteArrayList PipelinedInfoScript(const QList<int>& tops)
{
    QByteArrayList script = CapaPipelining;
    script += {"C: UIDL", "S: +OK", "S: 1 uid-1", "S: 2 uid-2", "S: 3 uid-3", "S: .",
               "C: LIST", "S: +OK 3 messages", "S: 1 120", "S: 2 130", "S: 3 140", "S: ."};
    for (int n : tops)
        script.append("C: TOP " + QByteArray::number(n) + " 1");
    for (int n : tops)
        script += {"S: +OK", "S: Message-ID: <" + QByteArray::number(n) + "@x>", "S: ", "S: body line", "S: ."};
    return script;
}

QByteArrayList InfoScript(int number, const QByteArray& uid, const QByteArray& messageId)
{
    const QByteArray n = QByteArray::number(number);
    return {"C: UIDL " + n, "S: +OK " + n + " " + uid, "C: LIST " + n,  "S: +OK " + n + " 120",
            "C: TOP " + n + " 1", "S: +OK", "S: Message-ID: " + messageId, "S: Subject: n" + n,
            "S: ", "S: first body line", "S: ."};
}

void Configure(TqmCustomPOP& pop, const FakeServer& server)
{
    pop.Server = server.Address();
    pop.UserName = "alice";
    pop.Password = "secret";
}

} // namespace

class TestPop3 : public QObject {
    Q_OBJECT

private slots:
    void logInReadsStatistics_data();
    void logInReadsStatistics();
    void refusedLogIn_data();
    void refusedLogIn();
    void userNameAndPasswordAreRequired();
    void retrieveUndoesDotTransparency();
    void retrieveWithoutHandlerWritesMessageFile();
    void deleteIgnoresRefusal();
    void updateWithoutUidlSupport();
    void emptyMailboxTransfersNothing();
    void transferRetrievesAndDeletesMarked();
    void transferStopsWhenIDsAreDifferent();
    void idsAreSame_data();
    void idsAreSame();
    void serverClosingMidBodyClosesTheConnection();
    void endlessBodyStopsAtTheLimit_data();
    void endlessBodyStopsAtTheLimit();
    void announcedAboveTheLimitIsRefusedBeforeRetr();
    void bodyStreamsIntoTheSink();
    void retrieveAllIntoMessageList();
    void pipelinedUpdateSkipsTopForKnownIds();
    void updateWithoutPipeliningIsOneByOne_data();
    void updateWithoutPipeliningIsOneByOne();
    void pipelinedTransferDeletesAfterTheBody();
    void refusedRetrKeepsRepliesMatched();
    void pipelinedTransferRefusesTooLargeInTurn();
};

void TestPop3::logInReadsStatistics_data()
{
    QTest::addColumn<QByteArray>("statReply");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("size");
    QTest::newRow("plain") << QByteArray("+OK 2 320") << qint64(2) << qint64(320);
    QTest::newRow("words after the count") << QByteArray("+OK 2 messages (320 octets)") << qint64(2) << qint64(320);
    QTest::newRow("count only") << QByteArray("+OK 5") << qint64(5) << qint64(0);
}

void TestPop3::logInReadsStatistics()
{
    QFETCH(QByteArray, statReply);
    FakeServer server(LogInScript(statReply) + QByteArrayList{"C: QUIT", "S: +OK bye", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.OpenConnection();
    QTEST(pop.MessageCount, "count");
    QTEST(pop.TotalSize, "size");
    pop.CloseConnection();
    QVERIFY(!pop.OnLine());
    QVERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::refusedLogIn_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QString>("message");
    // A refused password is what the programs ask the password again for; nothing else is.
    QTest::addColumn<bool>("passwordRefused");
    const TqmSecurity none = TqmSecurity::secNone;
    const QString notPop3 = QStringLiteral("127.0.0.1 did not answer as a POP3 server. It sent: ");
    QTest::newRow("greeting") << QByteArrayList{"S: -ERR go away", "SILENT"} << none << QStringLiteral("-ERR go away") << false;
    QTest::newRow("USER") << QByteArrayList{"S: +OK", "C: USER alice", "S: -ERR unknown user", "SILENT"} << none
                          << QStringLiteral("-ERR unknown user") << false;
    QTest::newRow("PASS") << QByteArrayList{"S: +OK", "C: USER alice", "S: +OK", "C: PASS secret", "S: -ERR [AUTH] wrong password", "SILENT"}
                          << none
                          << QStringLiteral("127.0.0.1 refused the log-in: the user name or the password is probably wrong. "
                                            "The server replied: -ERR [AUTH] wrong password")
                          << true;
    QTest::newRow("PASS while the server is busy")
        << QByteArrayList{"S: +OK", "C: USER alice", "S: +OK", "C: PASS secret", "S: -ERR [SYS/TEMP] try later", "SILENT"} << none
        << QStringLiteral("-ERR [SYS/TEMP] try later") << false;
    QTest::newRow("PASS while the mailbox is in use")
        << QByteArrayList{"S: +OK", "C: USER alice", "S: +OK", "C: PASS secret", "S: -ERR [IN-USE] locked", "SILENT"} << none
        << QStringLiteral("-ERR [IN-USE] locked") << false;
    QTest::newRow("STAT") << LogInScript("-ERR mailbox locked") + QByteArrayList{"SILENT"} << none
                          << QStringLiteral("-ERR mailbox locked") << false;
    QTest::newRow("STAT without count") << LogInScript("+OK mailbox is fine") + QByteArrayList{"SILENT"} << none
                                        << QStringLiteral("+OK mailbox is fine") << false;
    QTest::newRow("negative count") << LogInScript("+OK -3 100") + QByteArrayList{"SILENT"} << none
                                    << QStringLiteral("+OK -3 100") << false;
    QTest::newRow("neither + nor -") << QByteArrayList{"S: * OK IMAP4 ready", "SILENT"} << none
                                     << notPop3 + QStringLiteral("* OK IMAP4 ready") << false;
    QTest::newRow("greeting starting with NUL") << QByteArrayList{"S% %00%2BOK ready%0D%0A", "SILENT"} << none
                                                << notPop3 + QStringLiteral("\\x00+OK ready") << false;
    QTest::newRow("empty greeting") << QByteArrayList{"S: ", "SILENT"} << none << notPop3 + QStringLiteral("(an empty line)") << false;
    QTest::newRow("control characters made visible")
        << QByteArrayList{"S% -ERR %1B[2J%07bell%E2%80%AEevil%0D%0A", "SILENT"} << none
        << QStringLiteral("-ERR \\x1b[2J\\x07bell\\u202eevil") << false;
    QTest::newRow("CAPA without end")
        << QByteArrayList{"S: +OK", "C: CAPA", "S: +OK", "SLOW 1001 0 1 100", "SILENT"} << TqmSecurity::secStartTls
        << QStringLiteral("The server's answer to CAPA does not end (more than 1000 lines), so the connection was closed. "
                          "Its last line: 1 100")
        << false;
}

void TestPop3::refusedLogIn()
{
    QFETCH(QByteArrayList, script);
    QFETCH(TqmSecurity, security);
    QFETCH(bool, passwordRefused);
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.Security = security;
    try {
        pop.OpenConnection();
        QFAIL("log-in accepted");
    } catch (const EServerError& error) {
        QTEST(error.Message(), "message");
        QCOMPARE(dynamic_cast<const ELogInRefused*>(&error) != nullptr, passwordRefused);
    }
    QVERIFY(!pop.OnLine());
    QTRY_VERIFY(server.ClientDisconnected());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::userNameAndPasswordAreRequired()
{
    TqmRemotePOP pop;
    pop.Server = "127.0.0.1:1";
    try {
        pop.Open();
        QFAIL("opened without user name");
    } catch (const EServerError& error) {
        QCOMPARE(error.Message(), QStringLiteral("UserName property is required"));
    }
    pop.UserName = "alice";
    try {
        pop.Open();
        QFAIL("opened without password");
    } catch (const EServerError& error) {
        QCOMPARE(error.Message(), QStringLiteral("Password property is required"));
    }
}

void TestPop3::retrieveUndoesDotTransparency()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 60", "C: RETR 1", "S: +OK 60 octets",
                                                     "S: Subject: dots", "S: ", "S: ..leading dot", "S: ..", "S: a.b",
                                                     "S: .", "C: QUIT", "S: +OK", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QByteArray delivered;
    int deliveredIndex = -1;
    QList<int> events;
    pop.OnUserMessageSave = [&](QObject&, int index, QBuffer& contents) {
        deliveredIndex = index;
        delivered = contents.readAll();
    };
    pop.OnRetrieving = [&](QObject&, int index) { events.append(index); };
    pop.OnRetrieved = [&](QObject&, int index) { events.append(100 + index); };
    pop.OpenConnection();
    pop.RetrieveMessage(0);
    pop.CloseConnection();
    QCOMPARE(deliveredIndex, 0);
    QCOMPARE(delivered, QByteArray("Subject: dots\r\n\r\n.leading dot\r\n.\r\na.b\r\n"));
    QCOMPARE(events, (QList<int>{0, 100}));
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::retrieveWithoutHandlerWritesMessageFile()
{
    QTemporaryDir dir;
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 2", "S: +OK 2 20", "C: RETR 2", "S: +OK", "S: Subject: two", "S: ",
                                                     "S: body", "S: .", "SILENT"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.SetMessageDirectory(dir.path());
    QCOMPARE(pop.GetMessageDirectory(), dir.path() + QLatin1Char('/'));
    pop.OpenConnection();
    pop.RetrieveMessage(1);
    QFile file(dir.filePath(QStringLiteral("msg_1.eml")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Subject: two\r\n\r\nbody\r\n"));
}

void TestPop3::deleteIgnoresRefusal()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: DELE 1", "S: -ERR already deleted", "C: DELE 2", "S: +OK", "SILENT"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QList<int> deleting;
    pop.OnDeleting = [&](QObject&, int index) { deleting.append(index); };
    pop.OpenConnection();
    pop.DeleteMessage(0);
    QCOMPARE(pop.LastReply, QByteArray("-ERR already deleted"));
    pop.DeleteMessage(1);
    QCOMPARE(deleting, (QList<int>{0, 1}));
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::updateWithoutUidlSupport()
{
    // The second message has no UIDL command: one refusal switches UIDL off for the update.
    FakeServer server(LogInScript() + CapaRefused + QByteArrayList{"C: UIDL 1", "S: -ERR unknown command",   "C: LIST 1", "S: +OK 1 100",
                                                     "C: TOP 1 1",  "S: +OK",                 "S: Subject: one", "S: ",
                                                     "S: body",     "S: .",                   "C: LIST 2",      "S: +OK 2 200",
                                                     "C: TOP 2 1",  "S: +OK",                 "S: Subject: two", "S: From: b@c",
                                                     "S: .",        "C: QUIT",                "S: +OK",          "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QList<int> added;
    pop.OnNextInfoUpdated = [&](QObject&, int index) { added.append(index); };
    pop.UpdateRemoteInfoAndUIDL();
    QCOMPARE(pop.RemoteInfo.Count(), 2);
    QCOMPARE(added, (QList<int>{0, 1}));
    QCOMPARE(pop.RemoteInfo.Items(0).UIDL, QByteArray());
    QCOMPARE(pop.RemoteInfo.Items(0).Size, qint64(100));
    QCOMPARE(pop.RemoteInfo.Items(0).Headers, TqmHeaders({"Subject: one"}));
    QCOMPARE(pop.RemoteInfo.Items(1).Headers, TqmHeaders({"Subject: two", "From: b@c"}));
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::emptyMailboxTransfersNothing()
{
    FakeServer server(LogInScript("+OK 0 0") + QByteArrayList{"C: QUIT", "S: +OK", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.UpdateRemoteInfo();
    QCOMPARE(pop.RemoteInfo.Count(), 0);
    bool transferring = false;
    pop.OnTransferringData = [&](QObject&) { transferring = true; };
    pop.Transfer();
    QVERIFY(!transferring);
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::transferRetrievesAndDeletesMarked()
{
    QByteArrayList script = LogInScript() + CapaRefused;
    script += InfoScript(1, "uid-1", "<1@x>");
    script += InfoScript(2, "uid-2", "<2@x>");
    // Transfer: message 1 retrieved only, message 2 deleted only; each checked first, and the
    // check's LIST gives the size of the retrieval.
    script += InfoScript(1, "uid-1", "<1@x>");
    script += {"C: RETR 1", "S: +OK", "S: Message-ID: <1@x>", "S: ", "S: text", "S: ."};
    script += InfoScript(2, "uid-2", "<2@x>");
    script += {"C: DELE 2", "S: +OK deleted", "C: QUIT", "S: +OK", "CLOSE"};
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.KeepConnection = true;
    pop.UpdateRemoteInfoAndUIDL();
    QCOMPARE(pop.RemoteInfo.Items(1).UIDL, QByteArray("uid-2"));
    QCOMPARE(pop.RemoteInfo.Items(1).Headers.size(), 2);
    pop.MarkToRetrieve(0);
    pop.MarkToDelete(1);
    pop.MarkToRetrieve(1);
    pop.Reset(1);
    pop.MarkToDelete(1);
    QByteArrayList saved;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { saved.append(contents.readAll()); };
    pop.Transfer();
    QCOMPARE(saved, QByteArrayList{"Message-ID: <1@x>\r\n\r\ntext\r\n"});
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
}

void TestPop3::transferStopsWhenIDsAreDifferent()
{
    QByteArrayList script = LogInScript("+OK 1 120") + CapaRefused;
    script += InfoScript(1, "uid-1", "<1@x>");
    // Another client deleted message 1 in between: position 1 now holds a different message.
    script += InfoScript(1, "uid-9", "<9@x>");
    script += "SILENT";
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.KeepConnection = true;
    pop.UpdateRemoteInfoAndUIDL();
    pop.MarkToRetrieve(0);
    try {
        pop.Transfer();
        QFAIL("transfer went on");
    } catch (const ESocketError& error) {
        QCOMPARE(error.Message(), QStringLiteral("IDs are different"));
    }
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("IDs are different")});
    QVERIFY(pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::idsAreSame_data()
{
    QTest::addColumn<QByteArrayList>("first");
    QTest::addColumn<QByteArrayList>("second");
    QTest::addColumn<bool>("same");
    QTest::newRow("equal") << QByteArrayList{"A: 1", "B: 2"} << QByteArrayList{"A: 1", "B: 2"} << true;
    QTest::newRow("prefix") << QByteArrayList{"A: 1"} << QByteArrayList{"A: 1", "B: 2"} << true;
    QTest::newRow("different line") << QByteArrayList{"A: 1", "B: 2"} << QByteArrayList{"A: 1", "B: 3"} << false;
    QTest::newRow("one empty") << QByteArrayList{} << QByteArrayList{"Message-ID: <1@x>"} << true;
    QTest::newRow("both empty") << QByteArrayList{} << QByteArrayList{} << true;
}

void TestPop3::idsAreSame()
{
    QFETCH(QByteArrayList, first);
    QFETCH(QByteArrayList, second);
    TqmRemoteInfoItem a;
    TqmRemoteInfoItem b;
    a.Headers = TqmHeaders(first);
    b.Headers = TqmHeaders(second);
    a.UIDL = "not compared";
    QTEST(TqmRemotePOP::IDsAreSame(a, b), "same");
    QTEST(TqmRemotePOP::IDsAreSame(b, a), "same");
}

void TestPop3::serverClosingMidBodyClosesTheConnection()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 5000", "C: RETR 1", "S: +OK", "S: Subject: cut", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    bool delivered = false;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer&) { delivered = true; };
    pop.OpenConnection();
    QVERIFY_THROWS_EXCEPTION(ESocketError, pop.RetrieveMessage(0));
    QVERIFY(!delivered);
    QVERIFY(!pop.OnLine());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[10054] Connection reset by peer")});
}

// A hostile server that never ends a body: the retrieval stops a little past twice the announced
// size and 1 MiB, or at MaxMessageSize when that comes first or no size was announced, with the
// library's text, without QUIT (so nothing is deleted), whether the body goes to memory or into a
// device. A size LIST does not tell does not limit the message to a mebibyte.
void TestPop3::endlessBodyStopsAtTheLimit_data()
{
    constexpr qint64 MiB = 1024 * 1024;
    QTest::addColumn<qint64>("announced");
    QTest::addColumn<qint64>("maxSize");
    QTest::addColumn<bool>("intoDevice");
    QTest::addColumn<int>("text");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("small announced, memory") << qint64(100) << 256 * MiB << false << int(qmMessageLargerThanAnnounced) << 200 + MiB;
    QTest::newRow("small announced, device") << qint64(100) << 256 * MiB << true << int(qmMessageLargerThanAnnounced) << 200 + MiB;
    QTest::newRow("larger announced, device") << qint64(1500000) << 256 * MiB << true << int(qmMessageLargerThanAnnounced) << 3000000 + MiB;
    QTest::newRow("no size announced stops at the limit") << qint64(0) << 3 * MiB << true << int(qmMessageGrewAboveLimit) << 3 * MiB;
    QTest::newRow("limit before twice the announced") << qint64(1500000) << 2 * MiB << false << int(qmMessageGrewAboveLimit) << 2 * MiB;
}

void TestPop3::endlessBodyStopsAtTheLimit()
{
    QFETCH(qint64, announced);
    QFETCH(qint64, maxSize);
    QFETCH(bool, intoDevice);
    QFETCH(int, text);
    QFETCH(qint64, limit);
    const QByteArray line(998, 'x');
    // Far more than any limit: the test ends long before the server would.
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 " + QByteArray::number(announced), "C: RETR 1",
                                                     "S: +OK", "S: Subject: endless", "S: ", "SLOW 100000 0 " + line});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.MaxMessageSize = maxSize;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    bool delivered = false;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer&) { delivered = true; };
    if (intoDevice)
        pop.OnOpenMessageSink = [&](QObject&, int) -> QIODevice* { return &sink; };
    pop.OnMessageSinkFinished = [&](QObject&, int) { delivered = true; };
    pop.OpenConnection();
    try {
        pop.RetrieveMessage(0);
        QFAIL("the endless body was taken");
    } catch (const EMessageError& error) {
        const QString expected = text == qmMessageGrewAboveLimit ? qmMessageText(text).arg(1).arg(maxSize) : qmMessageText(text);
        QCOMPARE(error.Message(), expected);
    }
    QVERIFY(!delivered);
    QVERIFY(!pop.OnLine());
    if (intoDevice) {
        QVERIFY(sink.size() <= limit);
        QVERIFY(sink.size() > limit / 2);
    }
    QVERIFY(!server.Received().contains("QUIT"));
    QVERIFY(!server.Received().contains("DELE"));
    errors.Take();
}

// A message announced above the limit is refused before RETR, and the session goes on: a size
// of 10^12 bytes never reaches memory or disk.
void TestPop3::announcedAboveTheLimitIsRefusedBeforeRetr()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 1000000000000", "C: LIST 2", "S: +OK 2 40",
                                                     "C: RETR 2", "S: +OK", "S: Subject: s", "S: ", "S: .", "C: QUIT",
                                                     "S: +OK", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QList<int> retrieving;
    pop.OnRetrieving = [&](QObject&, int index) { retrieving.append(index); };
    QByteArray second;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { second = contents.data(); };
    pop.OpenConnection();
    try {
        pop.RetrieveMessage(0);
        QFAIL("the huge message was taken");
    } catch (const EMessageError& error) {
        QCOMPARE(error.Message(), qmMessageText(qmMessageAboveLimit).arg(1).arg(1000000000000).arg(pop.MaxMessageSize));
    }
    QVERIFY(pop.OnLine());
    pop.RetrieveMessage(1);
    pop.CloseConnection();
    QCOMPARE(second, QByteArray("Subject: s\r\n\r\n"));
    QCOMPARE(retrieving, QList<int>{1});
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::bodyStreamsIntoTheSink()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 40", "C: RETR 1", "S: +OK", "S: Subject: s",
                                                     "S: ", "S: ..dot", "S: .", "C: QUIT", "S: +OK", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QList<int> finished;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer&) { QFAIL("the message went to memory"); };
    pop.OnOpenMessageSink = [&](QObject&, int) -> QIODevice* { return &sink; };
    pop.OnMessageSinkFinished = [&](QObject&, int index) { finished.append(index); };
    pop.OpenConnection();
    pop.RetrieveMessage(0);
    pop.CloseConnection();
    QCOMPARE(sink.data(), QByteArray("Subject: s\r\n\r\n.dot\r\n"));
    QCOMPARE(finished, QList<int>{0});
    QCOMPARE(server.Errors(), QStringList());
}

void TestPop3::retrieveAllIntoMessageList()
{
    FakeServer server(LogInScript() + QByteArrayList{"C: LIST 1", "S: +OK 1 40", "C: RETR 1", "S: +OK", "S: Subject: first",
                                                     "S: ", "S: ..one", "S: .", "C: DELE 1", "S: +OK", "C: LIST 2",
                                                     "S: +OK 2 40", "C: RETR 2", "S: +OK", "S: Subject: second", "S: ",
                                                     "S: two", "S: .", "C: DELE 2", "S: +OK", "C: QUIT", "S: +OK", "CLOSE"});
    TqmPOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.RetrieveAllMessages(false);
    QCOMPARE(pop.MessageList.Count(), 2);
    QCOMPARE(pop.MessageList.Items(0).Subject, QByteArray("first"));
    QCOMPARE(pop.MessageList.Items(0).Body, QByteArrayList{".one"});
    QCOMPARE(pop.MessageList.Items(1).Subject, QByteArray("second"));
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
}

// The server lists PIPELINING: the listings come whole, the TOP commands leave together (the
// script answers only once all of them arrived), and a message whose id the caller knows gets none.
void TestPop3::pipelinedUpdateSkipsTopForKnownIds()
{
    FakeServer server(LogInScript("+OK 3 390") + PipelinedInfoScript({1, 3}) + QByteArrayList{"C: QUIT", "S: +OK", "CLOSE"});
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    QList<int> added;
    QList<int> asked;
    pop.OnNextInfoUpdated = [&](QObject&, int index) { added.append(index); };
    pop.OnHeadersWanted = [&](int index, const TqmRemoteInfoItem& item) {
        asked.append(index);
        return item.UIDL != "uid-2";
    };
    pop.UpdateRemoteInfoAndUIDL();
    QCOMPARE(added, (QList<int>{0, 1, 2}));
    QCOMPARE(asked, (QList<int>{0, 1, 2}));
    const QList<qint64> sizes{120, 130, 140};
    for (int i = 0; i < 3; ++i) {
        const TqmRemoteInfoItem& item = pop.RemoteInfo.Items(i);
        QCOMPARE(item.UIDL, "uid-" + QByteArray::number(i + 1));
        QCOMPARE(item.Size, sizes.at(i));
        QCOMPARE(item.HeadersRead, i != 1);
        QCOMPARE(item.Headers.GetFieldBody("Message-ID"), i == 1 ? QByteArray() : "<" + QByteArray::number(i + 1) + "@x>");
    }
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
}

// Without PIPELINING (or when the caller does not want it) the picture is read one command at a
// time as always; a known id still spares its TOP.
void TestPop3::updateWithoutPipeliningIsOneByOne_data()
{
    QTest::addColumn<QByteArrayList>("capabilities");
    QTest::addColumn<bool>("usePipelining");
    QTest::newRow("CAPA refused") << CapaRefused << true;
    QTest::newRow("no PIPELINING in CAPA") << QByteArrayList{"C: CAPA", "S: +OK", "S: TOP", "S: UIDL", "S: ."} << true;
    QTest::newRow("pipelining not wanted") << QByteArrayList() << false;
}

void TestPop3::updateWithoutPipeliningIsOneByOne()
{
    QFETCH(QByteArrayList, capabilities);
    QFETCH(bool, usePipelining);
    QByteArrayList script = LogInScript() + capabilities + InfoScript(1, "uid-1", "<1@x>");
    script += {"C: UIDL 2", "S: +OK 2 uid-2", "C: LIST 2", "S: +OK 2 130", "C: QUIT", "S: +OK", "CLOSE"};
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.UsePipelining = usePipelining;
    pop.OnHeadersWanted = [](int, const TqmRemoteInfoItem& item) { return item.UIDL != "uid-2"; };
    pop.UpdateRemoteInfoAndUIDL();
    QCOMPARE(pop.RemoteInfo.Count(), 2);
    QVERIFY(pop.RemoteInfo.Items(0).HeadersRead);
    QVERIFY(!pop.RemoteInfo.Items(1).HeadersRead);
    QCOMPARE(pop.RemoteInfo.Items(1).Size, qint64(130));
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
}

// RETR and DELE of a window leave together; the DELE of a retrieved message follows only once its
// body is in, and the replies are taken in the order the commands went.
void TestPop3::pipelinedTransferDeletesAfterTheBody()
{
    QByteArrayList script = LogInScript("+OK 3 390") + PipelinedInfoScript({1, 2, 3});
    script += {"C: RETR 1", "C: RETR 2", "C: DELE 3", "S: +OK", "S: Subject: one", "S: ", "S: ..dot", "S: ."};
    script += {"C: DELE 1", "S: +OK", "S: Subject: two", "S: .", "S: +OK 3 deleted", "S: +OK 1 deleted"};
    script += {"C: QUIT", "S: +OK", "CLOSE"};
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.KeepConnection = true;
    pop.UpdateRemoteInfoAndUIDL();
    pop.MarkToRetrieve(0);
    pop.MarkToDelete(0);
    pop.MarkToRetrieve(1);
    pop.MarkToDelete(2);
    QByteArrayList saved;
    QList<int> events;
    pop.OnUserMessageSave = [&](QObject&, int index, QBuffer& contents) {
        events.append(index);
        saved.append(contents.readAll());
    };
    pop.OnDeleting = [&](QObject&, int index) { events.append(100 + index); };
    pop.Transfer();
    QCOMPARE(saved, (QByteArrayList{"Subject: one\r\n\r\n.dot\r\n", "Subject: two\r\n"}));
    QCOMPARE(events, (QList<int>{0, 1, 102, 100}));
    QVERIFY(!pop.OnLine());
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
}

// A RETR refused in the middle of a window: the replies still owed are read, so that the session
// stays in step (its QUIT gets its own answer), what came before is delivered, and nothing is
// deleted.
void TestPop3::refusedRetrKeepsRepliesMatched()
{
    QByteArrayList script = LogInScript("+OK 3 390") + PipelinedInfoScript({1, 2, 3});
    script += {"C: RETR 1", "C: RETR 2", "C: RETR 3", "S: +OK", "S: Subject: one", "S: .", "S: -ERR no such message",
               "S: +OK", "S: Subject: three", "S: ."};
    script += {"C: QUIT", "S: +OK bye", "CLOSE"};
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.KeepConnection = true;
    pop.UpdateRemoteInfoAndUIDL();
    for (int i = 0; i < 3; ++i)
        pop.MarkToRetrieve(i);
    QByteArrayList saved;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { saved.append(contents.readAll()); };
    try {
        pop.Transfer();
        QFAIL("the refusal was not raised");
    } catch (const EServerError& error) {
        QCOMPARE(error.Message(), QStringLiteral("-ERR no such message"));
    }
    QCOMPARE(saved, QByteArrayList{"Subject: one\r\n"});
    QVERIFY(pop.OnLine());
    pop.CloseConnection();
    QCOMPARE(pop.LastReply, QByteArray("+OK bye"));
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(server.Done());
    QVERIFY(!server.Received().contains("DELE"));
}

// A message announced above the limit stops the transfer where the one-by-one transfer would:
// the messages before it are taken, nothing after it is asked for.
void TestPop3::pipelinedTransferRefusesTooLargeInTurn()
{
    QByteArrayList script = LogInScript("+OK 3 390") + PipelinedInfoScript({1, 2, 3});
    script += {"C: RETR 1", "S: +OK", "S: Subject: one", "S: .", "SILENT"};
    FakeServer server(script);
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop, server);
    pop.KeepConnection = true;
    pop.MaxMessageSize = 125;
    pop.UpdateRemoteInfoAndUIDL();
    pop.MarkToRetrieve(0);
    pop.MarkToRetrieve(1);
    pop.MarkToDelete(2);
    int saved = 0;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer&) { ++saved; };
    QVERIFY_THROWS_EXCEPTION(EMessageError, pop.Transfer());
    QCOMPARE(saved, 1);
    QVERIFY(pop.OnLine());
    QTRY_VERIFY(server.Done());
    QCOMPARE(server.Errors(), QStringList());
    QVERIFY(!server.Received().contains("RETR 2"));
}

QTEST_GUILESS_MAIN(TestPop3)
#include "tst_pop3.moc"

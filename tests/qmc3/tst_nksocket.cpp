#include "FakeServer.h"
#include "SocketErrorWatch.h"
#include "nksocket.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// A listening socket whose accept queue (room for one with a backlog of 0) is full, so that the
// kernel drops further SYNs and a connect hangs.
class StuckListener {
public:
    StuckListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_filler.connectToHost(QHostAddress::LocalHost, m_port);
        m_filler.waitForConnected(1000);
    }
    ~StuckListener() { ::close(m_fd); }
    quint16 Port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QTcpSocket m_filler;
};

} // namespace

class TestNkSocket : public QObject {
    Q_OBJECT

private slots:
    void hostAndPortNeedNoServiceLookup();
    void unknownServiceUsesDefaultPort();
    void emptyServerIsRefused();
    void receivedLines_data();
    void receivedLines();
    void neverEndingLineIsRefused();
    void multiLineReplyIsReadWhole();
    void endlessMultiLineReplyIsBounded();
    void refusedEndsConnectAtOnce();
    void onErrorMayRewriteTheText();
    void hostNotFound();
    void cancelDuringConnect();
    void connectTimesOut();
    void silentServerMidBodyTimesOut();
    void slowButSteadyServerDoesNotTimeOut();
    void cancelDuringBody();
    void peerClosingMidBodyIsConnectionReset();
    void linesAfterTheEndAreNotTakenForTheNextReply();
    void lineWithLineBreakIsNotSent();
    void notConnected();
    void streamIsSentDotStuffedInLargeWrites();
    void countedStream();
    void logFileIsWrittenOnDestruction();
    void logFileIsPrivateAndEscaped();
};

void TestNkSocket::hostAndPortNeedNoServiceLookup()
{
    FakeServer server({"S: 220 hello"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.ServiceName = "no-such-service";
    socket.Open();
    QCOMPARE(socket.Port(), server.Port());
    socket.Connect();
    QByteArray line;
    QCOMPARE(socket.RecvLine(line), 220);
    QCOMPARE(line, QByteArray("220 hello"));
}

void TestNkSocket::unknownServiceUsesDefaultPort()
{
    FakeServer server({"S: 220 hello"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = "127.0.0.1";
    socket.ServiceName = "no-such-service-known";
    socket.DefaultPort = server.Port();
    socket.Open();
    socket.Connect();
    QByteArray line;
    QCOMPARE(socket.RecvLine(line), 220);
}

void TestNkSocket::emptyServerIsRefused()
{
    TnkSocket socket;
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.Open());
    try {
        socket.Open();
    } catch (const ESocketError& error) {
        QCOMPARE(error.Message(), QStringLiteral("Server property is required"));
    }
}

void TestNkSocket::receivedLines_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    const QByteArray full(1022, 'x');
    QTest::newRow("1022 bytes and CR LF") << "S% " + full + "%0D%0A" << full << -1;
    QTest::newRow("bare LF") << QByteArray("S% 250 ok%0A") << QByteArray("250 ok") << 250;
    QTest::newRow("several CRs") << QByteArray("S% 354 go%0D%0D%0A") << QByteArray("354 go") << 354;
    QTest::newRow("empty line") << QByteArray("S% %0D%0A") << QByteArray() << -1;
    QTest::newRow("binary garbage") << QByteArray("S% %00%FF%01%02%0D%0A") << QByteArray("\x00\xff\x01\x02", 4) << -1;
    const QByteArray longLine(5000, 'y');
    QTest::newRow("cut at 1024 bytes") << "S% " + longLine + "%0D%0A" << QByteArray(1024, 'y') << -1;
}

void TestNkSocket::receivedLines()
{
    QFETCH(QByteArray, sent);
    // The next line proves that the rest of a cut line was discarded, not taken for a line.
    FakeServer server({sent, "S: 221 next"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QByteArray line;
    QTEST(socket.RecvLine(line), "code");
    QTEST(line, "line");
    QCOMPARE(socket.RecvLine(line), 221);
}

void TestNkSocket::neverEndingLineIsRefused()
{
    FakeServer server({"S% " + QByteArray(100 * 1024, 'z'), "SILENT"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QByteArray line;
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.RecvLine(line));
    QVERIFY(!socket.OnLine());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[10040] Message too long")});
}

void TestNkSocket::multiLineReplyIsReadWhole()
{
    FakeServer server({"S: 250-first", "S: 250-8BITMIME", "S: 250 last", "S: 354 after"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QCOMPARE(socket.RecvLines(), 250);
    QCOMPARE(socket.LastReply, QByteArray("250 last"));
    QCOMPARE(socket.RecvLines(), 354);
}

void TestNkSocket::endlessMultiLineReplyIsBounded()
{
    QByteArrayList scenario;
    for (int i = 0; i < 1100; ++i)
        scenario.append("S: 250-more");
    scenario.append("SILENT");
    FakeServer server(scenario);
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QVERIFY_THROWS_EXCEPTION(EServerError, socket.RecvLines());
    QVERIFY(!socket.OnLine());
}

void TestNkSocket::refusedEndsConnectAtOnce()
{
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = "127.0.0.1:" + QByteArray::number(ClosedPort());
    socket.SetTimeOut(30);
    socket.Open();
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.Connect());
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[10061] Connection refused")});
}

void TestNkSocket::onErrorMayRewriteTheText()
{
    TnkSocket socket;
    socket.OnError = [](QObject&, QString& message) { message = QStringLiteral("No server there: ") + message; };
    socket.Server = "127.0.0.1:" + QByteArray::number(ClosedPort());
    socket.Open();
    try {
        socket.Connect();
        QFAIL("connected to a closed port");
    } catch (const ESocketError& error) {
        QCOMPARE(error.Message(), QStringLiteral("No server there: [10061] Connection refused"));
    }
}

void TestNkSocket::hostNotFound()
{
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    // An empty label is not a valid host name: the resolver refuses it without asking anyone.
    socket.Server = "no..such.host.invalid";
    socket.DefaultPort = 110;
    socket.ServiceName = "pop3";
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.Open());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[11001] Host not found")});
}

void TestNkSocket::cancelDuringConnect()
{
    StuckListener listener;
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = "127.0.0.1:" + QByteArray::number(listener.Port());
    socket.Open();
    QTimer::singleShot(200, &socket, [&socket] { socket.Cancel(); });
    QVERIFY_THROWS_EXCEPTION(ECanceledError, socket.Connect());
    QVERIFY(!socket.OnLine());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("Operation has been canceled")});
}

void TestNkSocket::connectTimesOut()
{
    StuckListener listener;
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = "127.0.0.1:" + QByteArray::number(listener.Port());
    socket.SetTimeOut(1);
    socket.Open();
    QVERIFY_THROWS_EXCEPTION(ETimedOutError, socket.Connect());
    QVERIFY(!socket.OnLine());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("Operation timed out")});
}

void TestNkSocket::silentServerMidBodyTimesOut()
{
    FakeServer server({"S: line one", "S: line two", "SILENT"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.SetTimeOut(1);
    socket.Open();
    socket.Connect();
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    try {
        socket.RecvLineStream(body, 1000);
        QFAIL("no time-out");
    } catch (const ETimedOutError& error) {
        QCOMPARE(error.Message(), QStringLiteral("Operation timed out"));
    }
    QVERIFY(!socket.OnLine());
    QTRY_VERIFY(server.ClientDisconnected());
    QCOMPARE(body.data(), QByteArray("line one\r\nline two\r\n"));
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("Operation timed out")});
}

void TestNkSocket::slowButSteadyServerDoesNotTimeOut()
{
    // Four lines 600 ms apart take longer than the one-second time-out, but no gap reaches it.
    FakeServer server({"SLOW 4 600 a body line", "S: ."});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.SetTimeOut(1);
    socket.Open();
    socket.Connect();
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    QList<int> percents;
    socket.OnProgress = [&](QObject&, int percent, qint64) { percents.append(percent); };
    socket.RecvLineStream(body, 56);
    QCOMPARE(body.data(), QByteArray("a body line\r\n").repeated(4));
    QCOMPARE(percents.last(), 93); // 52 of 56 bytes
}

void TestNkSocket::cancelDuringBody()
{
    FakeServer server({"S: start of a body", "SILENT"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    bool canceledFired = false;
    socket.OnCancel = [&](QObject&) { canceledFired = true; };
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    QTimer::singleShot(200, &socket, [&socket] { socket.Cancel(); });
    QVERIFY_THROWS_EXCEPTION(ECanceledError, socket.RecvLineStream(body, -1));
    QVERIFY(canceledFired);
    QVERIFY(!socket.OnLine());
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("Operation has been canceled")});
}

void TestNkSocket::peerClosingMidBodyIsConnectionReset()
{
    FakeServer server({"S: half a body", "CLOSE"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    bool closedFired = false;
    socket.OnClosed = [&](QObject&) { closedFired = true; };
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.RecvLineStream(body, -1));
    QVERIFY(!socket.OnLine());
    QVERIFY(closedFired);
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[10054] Connection reset by peer")});
}

void TestNkSocket::linesAfterTheEndAreNotTakenForTheNextReply()
{
    FakeServer server({"S% body%0D%0A.%0D%0Agarbage after the end%0D%0A", "C: NOOP", "S: +OK noop"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QBuffer body;
    body.open(QIODevice::WriteOnly);
    socket.RecvLineStream(body, -1);
    QCOMPARE(body.data(), QByteArray("body\r\n"));
    // Let the stray line arrive before the next command.
    QTest::qWait(100);
    socket.SendLine("NOOP");
    QByteArray line;
    socket.RecvLine(line);
    QCOMPARE(line, QByteArray("+OK noop"));
    QVERIFY(server.Errors().isEmpty());
}

void TestNkSocket::lineWithLineBreakIsNotSent()
{
    FakeServer server({"SILENT"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.SendLine("RCPT TO:<a@b>\r\nRCPT TO:<c@d>"));
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("[10022] Invalid argument")});
    QTest::qWait(50);
    QVERIFY(server.Received().isEmpty());
}

void TestNkSocket::notConnected()
{
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    QByteArray line;
    QVERIFY_THROWS_EXCEPTION(ESocketError, socket.RecvLine(line));
    QCOMPARE(errors.Take(), QStringList{QStringLiteral("You have to connect to the server first")});
}

void TestNkSocket::streamIsSentDotStuffedInLargeWrites()
{
    FakeServer server({"C: <DATA>", "S: 250 stored"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QByteArray message = "Subject: dots\r\n\r\n.\r\n..two\r\n";
    message += QByteArray("x").repeated(100) + "\r\n";
    message = message.repeated(2000); // about 260 KB: several chunks
    QBuffer text(&message);
    text.open(QIODevice::ReadOnly);
    QList<int> percents;
    socket.OnProgress = [&](QObject&, int percent, qint64) { percents.append(percent); };
    socket.SendStream(text, TnkSocket::TSendMode::DotStuffed);
    QCOMPARE(socket.RecvLines(), 250);
    QByteArray expected = message;
    expected.replace("\r\n.", "\r\n..");
    QCOMPARE(server.DataReceived(), expected + ".\r\n");
    QVERIFY(percents.size() > 2);
    QCOMPARE(percents.last(), 0);
    QCOMPARE(percents.at(percents.size() - 2), 100);
}

void TestNkSocket::countedStream()
{
    FakeServer server({"S% 0123456789abc", "SILENT"});
    TnkSocket socket;
    SocketErrorWatch errors(socket);
    socket.Server = server.Address();
    socket.Open();
    socket.Connect();
    QBuffer data;
    data.open(QIODevice::WriteOnly);
    socket.RecvStream(data, 10);
    QCOMPARE(data.data(), QByteArray("0123456789"));
}

void TestNkSocket::logFileIsWrittenOnDestruction()
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("logfile.txt"));
    {
        FakeServer server({"S: +OK hello", "C: USER alice", "C: <DATA>"});
        TnkSocket socket;
        SocketErrorWatch errors(socket);
        socket.LogFileName = logFile;
        socket.Server = server.Address();
        socket.Open();
        socket.Connect();
        QByteArray line;
        socket.RecvLine(line);
        socket.SendLine("USER alice");
        QByteArray body = "secret body\r\n";
        QBuffer text(&body);
        text.open(QIODevice::ReadOnly);
        socket.SendStream(text, TnkSocket::TSendMode::DotStuffed);
        QTRY_VERIFY(server.Done());
        QVERIFY(!QFile::exists(logFile));
    }
    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("+OK hello\nUSER alice\nSuppressing the message body\n"));
    QCOMPARE(file.permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestNkSocket::logFileIsPrivateAndEscaped()
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("logfile.txt"));
    // A log left by an older version, readable by everyone.
    {
        QFile old(logFile);
        QVERIFY(old.open(QIODevice::WriteOnly));
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    }
    {
        FakeServer server({"S% +OK %1B]0;owned%07%00%0D%0A", "SILENT"});
        TnkSocket socket;
        SocketErrorWatch errors(socket);
        socket.LogFileName = logFile;
        socket.Server = server.Address();
        socket.Open();
        socket.Connect();
        QByteArray line;
        socket.RecvLine(line);
    }
    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("+OK \\x1b]0;owned\\x07\\x00\n"));
    QCOMPARE(file.permissions() & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QTEST_GUILESS_MAIN(TestNkSocket)
#include "tst_nksocket.moc"

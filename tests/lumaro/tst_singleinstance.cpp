// One main window per user: window messages over the local socket, and the hand-over of a second
// start of the real program to the running one.

#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A title of its own per test run, so that a user's real running main window is never addressed.
QString TestTitle(const char* which)
{
    return QStringLiteral("Lumaro Mail test %1 %2").arg(QCoreApplication::applicationPid()).arg(QLatin1String(which));
}

QList<int> Received(const QSignalSpy& spy)
{
    QList<int> messages;
    for (const QList<QVariant>& call : spy)
        messages.append(call.first().toInt());
    return messages;
}

// Runs a second real `lumaro`; its exit code, or -1 when it did not end in time.
int RunSecondInstance(const QStringList& arguments)
{
    QProcess second;
    second.start(QStringLiteral(LUMARO_PROGRAM), arguments);
    if (!second.waitForStarted())
        return -1;
    // The first instance is this test process: its events must run while the second one talks to it.
    QDeadlineTimer deadline(20000);
    while (second.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        second.waitForFinished(20);
    }
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished();
        return -1;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

bool CopyProgramTree(const QString& target)
{
    const QDir source(QStringLiteral(LUMARO_PROGRAM_DIR));
    for (const QString& name : {QStringLiteral("lumaro"), QStringLiteral("libqmc3.so"), QStringLiteral("liblminfo.so")}) {
        if (!QFile::copy(source.filePath(name), QDir(target).filePath(name)))
            return false;
    }
    return QFile::setPermissions(QDir(target).filePath(QStringLiteral("lumaro")),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool WaitForListener(const QString& title, QProcess& process)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(InstanceServerName(title));
        if (probe.waitForConnected(100))
            return true;
        QTest::qWait(100);
    }
    return false;
}

uid_t NobodyUid()
{
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_uid : 65534;
}

// Plays another local user's program: binds the socket at `path` while still this user, then
// becomes nobody and listens, so that the file is ours but the program behind it is not. Returns
// the child's pid; the socket exists when this returns.
pid_t ListenAsNobody(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::setuid(NobodyUid()) != 0
            || ::listen(fd, 4) != 0)
            ::_exit(1);
        char byte = 1;
        (void)::write(ready[1], &byte, 1);
        for (;;) {
            const int peer = ::accept(fd, nullptr, nullptr);
            if (peer >= 0)
                ::close(peer);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    const bool listening = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    return listening ? child : -1;
}

void StopChild(pid_t child)
{
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void anotherRegistryIsAnotherInstallation()
    {
        const QString title = TestTitle("installations");
        TInstanceServer running;
        QVERIFY(running.Listen(title));
        QVERIFY(PostWindowMessage(title, wmRestore));
        const QByteArray previous = qgetenv("LUMARO_REGISTRY");
        qputenv("LUMARO_REGISTRY", QDir::temp().filePath(QStringLiteral("another-installation.ini")).toLocal8Bit());
        const bool reached = PostWindowMessage(title, wmRestore);
        const QString otherName = InstanceServerName(title);
        qputenv("LUMARO_REGISTRY", previous);
        QVERIFY(!reached);
        QVERIFY(otherName != InstanceServerName(title));
        QCOMPARE(QFileInfo(otherName).path(), WindowMessageDirectory());
    }

    void noListenerMeansNoWindow()
    {
        QVERIFY(!PostWindowMessage(TestTitle("nobody"), wmRestore));
        QVERIFY(!HandOverToRunningInstance(TestTitle("nobody"), {QStringLiteral("mailto:a@b.c")}));
    }

    void windowMessagesArriveInOrder()
    {
        TInstanceServer server;
        QVERIFY(server.Listen(TestTitle("order")));
        QSignalSpy spy(&server, &TInstanceServer::MessageReceived);
        QVERIFY(PostWindowMessage(TestTitle("order"), wmHandOver));
        QVERIFY(PostWindowMessage(TestTitle("order"), wmRestore));
        QTRY_COMPARE(Received(spy), (QList<int>{wmHandOver, wmRestore}));
    }

    void foreignNumbersAndGarbageAreIgnored()
    {
        TInstanceServer server;
        QVERIFY(server.Listen(TestTitle("garbage")));
        QSignalSpy spy(&server, &TInstanceServer::MessageReceived);
        for (const QByteArray& junk : {QByteArray("3024\n"), QByteArray("hello\n"), QByteArray(5000, 'x'),
                                       QByteArray("\n\n\n"), QByteArray("3030\n")}) {
            QLocalSocket socket;
            socket.connectToServer(InstanceServerName(TestTitle("garbage")));
            QVERIFY(socket.waitForConnected(1000));
            socket.write(junk);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
        }
        QVERIFY(PostWindowMessage(TestTitle("garbage"), wmFilterFromHandOver));
        QTRY_COMPARE(Received(spy), QList<int>{wmFilterFromHandOver});
    }

    // Another local user cannot plant a socket in a directory only we may enter; should one be there
    // all the same, the hand-over is refused with a word and the program starts on its own.
    void socketOfAnotherUserIsNotTalkedTo()
    {
        if (::getuid() != 0)
            QSKIP("planting a socket of another user needs root");
        const QString title = TestTitle("planted");
        const QString path = InstanceServerName(title);
        QLocalServer planted;
        QVERIFY(planted.listen(path));
        QCOMPARE(::chown(QFile::encodeName(path).constData(), NobodyUid(), -1), 0);
        ReportCapture reports;
        QVERIFY(!HandOverToRunningInstance(title, {QStringLiteral("mailto:a@example.org")}));
        QVERIFY(!planted.hasPendingConnections());
        const QList<TUserMessage> said = reports.Take();
        QCOMPARE(said.size(), 1);
        QCOMPARE(said.first().Id, 519);
        QVERIFY(said.first().Text.contains(path));
        planted.close();
        QFile::remove(path);
    }

    void programOfAnotherUserBehindOurSocketIsNotTalkedTo()
    {
        if (::getuid() != 0)
            QSKIP("running a program as another user needs root");
        const QString title = TestTitle("foreign peer");
        const pid_t child = ListenAsNobody(InstanceServerName(title));
        QVERIFY(child > 0);
        ReportCapture reports;
        const bool posted = PostWindowMessage(title, wmHandOver);
        StopChild(child);
        QFile::remove(InstanceServerName(title));
        QVERIFY(!posted);
        QCOMPARE(reports.Take().size(), 1);
    }

    void socketsLieInThePrivateRuntimeDirectory()
    {
        // Short, as a real one is: a deep one leaves no room for the socket's name.
        QTemporaryDir runtime(QStringLiteral("/tmp/lumaro-rt-XXXXXX"));
        const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString inRuntime = WindowMessageDirectory();
        // One that others may enter is not used; the private temporary directory is.
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                          | QFile::ReadOther | QFile::ExeOther));
        const QString instead = WindowMessageDirectory();
        qputenv("XDG_RUNTIME_DIR", previous);
        QCOMPARE(inRuntime, runtime.path());
        QCOMPARE(QFileInfo(instead).fileName(), QStringLiteral("lumaro-%1").arg(::getuid()));
        QVERIFY(detail::IsPrivateDirectory(instead));
    }

    void deepTemporaryDirectoryLeavesRoomForTheSocket()
    {
        QTemporaryDir outer;
        const QString deep = outer.filePath(QString(90, QLatin1Char('d')));
        QVERIFY(QDir().mkpath(deep));
        const QByteArray previousTemp = qgetenv("TMPDIR");
        const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(deep));
        qunsetenv("XDG_RUNTIME_DIR");
        const QString title = TestTitle("deep");
        const QString path = InstanceServerName(title);
        TInstanceServer server;
        const bool listening = server.Listen(title);
        const bool reached = PostWindowMessage(title, wmRestore);
        qputenv("TMPDIR", previousTemp);
        if (!previousRuntime.isEmpty())
            qputenv("XDG_RUNTIME_DIR", previousRuntime);
        QCOMPARE(QFileInfo(path).path(), QStringLiteral("/tmp/lumaro-%1").arg(::getuid()));
        QVERIFY(listening);
        QVERIFY(reached);
    }

    // A handler that waits in a nested loop while the sender's socket closes: the message must be
    // handled from the event loop, after the socket's read loop has ended.
    void handlerWithNestedLoopOutlivesTheSocket()
    {
        const QString title = TestTitle("nested");
        TInstanceServer server;
        QVERIFY(server.Listen(title));
        QList<int> started;
        int finished = 0;
        connect(&server, &TInstanceServer::MessageReceived, this, [&started, &finished](int message) {
            started.append(message);
            QEventLoop nested;
            QTimer::singleShot(300, &nested, &QEventLoop::quit);
            nested.exec();
            ++finished;
        });
        QVERIFY(PostWindowMessage(title, wmHandOver));
        QVERIFY(PostWindowMessage(title, wmRestore));
        QTRY_COMPARE(finished, 2);
        QCOMPARE(started, (QList<int>{wmHandOver, wmRestore}));
    }

    void staleSocketIsTakenOver()
    {
        const QString title = TestTitle("stale");
        {
            TInstanceServer first;
            QVERIFY(first.Listen(title));
        }
        TInstanceServer second;
        QVERIFY(second.Listen(title));
        QSignalSpy spy(&second, &TInstanceServer::MessageReceived);
        QVERIFY(PostWindowMessage(title, wmRestore));
        QTRY_COMPARE(Received(spy), QList<int>{wmRestore});
    }

    // This process plays the running main window; the real program is started a second time.
    void secondStartHandsOverItsArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<int>>("messages");
        QTest::addColumn<QString>("handedOver");
        QTest::newRow("mailto") << QStringList{"mailto:<anna@example.org>?subject=Hi", "ignored"}
                                << QList<int>{wmHandOver, wmRestore} << "mailto:<anna@example.org>?subject=Hi";
        QTest::newRow("no argument") << QStringList{} << QList<int>{wmRestore} << "untouched";
        QTest::newRow("empty argument") << QStringList{""} << QList<int>{wmHandOver, wmRestore} << "";
        QTest::newRow("hostile argument") << QStringList{QString(3000, QLatin1Char('\n')) + "3025\n'\"$(rm -rf /)"}
                                          << QList<int>{wmHandOver, wmRestore}
                                          << QString(3000, QLatin1Char('\n')) + "3025\n'\"$(rm -rf /)";
    }

    void secondStartHandsOverItsArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, messages);
        WriteHandOver(QStringLiteral("untouched"));
        TInstanceServer running;
        if (!running.Listen(MainWindowTitle))
            QSKIP("a main window of this user is running");
        QSignalSpy spy(&running, &TInstanceServer::MessageReceived);
        QCOMPARE(RunSecondInstance(arguments), 0);
        QTRY_COMPARE(Received(spy), messages);
        QTEST(ReadHandOver(), "handedOver");
    }

    void twoRealProcesses()
    {
        if (HandOverToRunningInstance(MainWindowTitle, {}))
            QSKIP("a main window of this user is running");
        QTemporaryDir programDir;
        QVERIFY(CopyProgramTree(programDir.path()));
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QDir(programDir.path()).filePath(QStringLiteral("lumaro")), {});
        QVERIFY(first.waitForStarted());
        QVERIFY(WaitForListener(MainWindowTitle, first));
        QCOMPARE(RunSecondInstance({QStringLiteral("someone@example.org")}), 0);
        QCOMPARE(ReadHandOver(), QStringLiteral("someone@example.org"));
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(QDir(programDir.filePath(QStringLiteral("default/Mail"))).exists());
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

#include "FakeServer.h"
#include "ScriptedRasBackend.h"
#include "nkRasCmp.h"
#include "nksocket.h"

#include <QTest>
#include <QTimer>

namespace {

std::shared_ptr<ScriptedRasBackend> Backend()
{
    auto backend = std::make_shared<ScriptedRasBackend>();
    backend->EntryNames = {QStringLiteral("Office"), QStringLiteral("Home")};
    backend->DialScript = {{rsOpenPort, 0}, {rsPortOpened, 0}, {rsAuthenticated, 0}, {rsConnected, 0}};
    return backend;
}

} // namespace

class TestNkRas : public QObject {
    Q_OBJECT

private slots:
    void notInstalledDoesNothing();
    void serviceMustBeAnEntry();
    void ownConnectionOnlyAfterDial();
    void dialsAndReportsStatus();
    void storedPasswordIsUsed_data();
    void storedPasswordIsUsed();
    void connectionOfAnotherProgramIsReused_data();
    void connectionOfAnotherProgramIsReused();
    void failedDialIsHungUp_data();
    void failedDialIsHungUp();
    void dialTimesOutWithoutHangingUp();
    void cancelDuringDial();
    void activeConnectionsNeedAnAddress();
    void socketDialsOnOpenAndHangsUpOnClose();
};

void TestNkRas::notInstalledDoesNothing()
{
    TnkRas ras(NotInstalledRasBackend());
    QStringList notices;
    ras.OnNotice = [&](QObject&, const QString& text) { notices.append(text); };
    QVERIFY(!ras.Installed());
    ras.SetService(QStringLiteral("Office"));
    QCOMPARE(ras.GetService(), QString());
    QCOMPARE(notices, QStringList{QStringLiteral("TnkRas component was unable to detect\nRAS on your system.")});
    ras.Dial();
    QVERIFY(!ras.GetOwnConnection());
    ras.HangUp();
    QVERIFY(ras.GetActiveConnections().isEmpty());
}

void TestNkRas::serviceMustBeAnEntry()
{
    TnkRas ras(Backend());
    QStringList notices;
    ras.OnNotice = [&](QObject&, const QString& text) { notices.append(text); };
    ras.SetService(QStringLiteral("Home"));
    QCOMPARE(ras.GetService(), QStringLiteral("Home"));
    ras.SetService(QStringLiteral("Nowhere"));
    QCOMPARE(ras.GetService(), QString());
    QCOMPARE(notices, QStringList{QStringLiteral("Invalid service name")});
}

void TestNkRas::ownConnectionOnlyAfterDial()
{
    auto backend = Backend();
    TnkRas ras(backend);
    QStringList notices;
    ras.OnNotice = [&](QObject&, const QString& text) { notices.append(text); };
    ras.SetOwnConnection(true);
    QVERIFY(!ras.GetOwnConnection());
    QCOMPARE(notices.size(), 1);
    ras.SetService(QStringLiteral("Office"));
    ras.Dial();
    ras.SetOwnConnection(false);
    ras.HangUp();
    QVERIFY(backend->HungUp.isEmpty());
}

void TestNkRas::dialsAndReportsStatus()
{
    auto backend = Backend();
    TnkRas ras(backend);
    QStringList status;
    ras.OnStatusChange = [&](QObject&, const QString& text) { status.append(text); };
    int disconnected = 0;
    ras.OnDisconnected = [&](QObject&) { ++disconnected; };
    ras.SetService(QStringLiteral("Office"));
    ras.Dial();
    QVERIFY(ras.Connected());
    QVERIFY(ras.GetOwnConnection());
    QCOMPARE(backend->Dialed, QStringList{QStringLiteral("Office")});
    QCOMPARE(status, (QStringList{QStringLiteral("Initializing..."), QStringLiteral("Dialing..."),
                                  QStringLiteral("User name and password verified"), QStringLiteral("Successfully connected")}));
    ras.HangUp();
    QCOMPARE(backend->HungUp, QStringList{QStringLiteral("dial-1")});
    QCOMPARE(disconnected, 1);
    QVERIFY(!ras.Connected());
}

void TestNkRas::storedPasswordIsUsed_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("removePassword");
    QTest::newRow("stored") << true << true;
    QTest::newRow("supplied, removed again") << false << true;
    QTest::newRow("supplied, kept") << false << false;
}

void TestNkRas::storedPasswordIsUsed()
{
    QFETCH(bool, stored);
    QFETCH(bool, removePassword);
    auto backend = Backend();
    if (stored)
        backend->StoredPasswords.insert(QStringLiteral("Office"));
    TnkRas ras(backend);
    ras.Password = QStringLiteral("pw");
    ras.RemovePassword = removePassword;
    ras.SetService(QStringLiteral("Office"));
    ras.Dial();
    if (stored) {
        QVERIFY(backend->PasswordsSet.isEmpty());
    } else {
        QCOMPARE(backend->PasswordsSet.size(), 1);
        QCOMPARE(backend->PasswordsSet.first().second, QStringLiteral("pw"));
        QCOMPARE(backend->RemoveAfterUse, removePassword);
    }
}

void TestNkRas::connectionOfAnotherProgramIsReused_data()
{
    QTest::addColumn<QString>("activeEntry");
    QTest::addColumn<bool>("forceService");
    QTest::addColumn<bool>("reused");
    QTest::newRow("same entry") << QStringLiteral("Office") << true << true;
    QTest::newRow("other entry, forced") << QStringLiteral("Home") << true << false;
    QTest::newRow("other entry, not forced") << QStringLiteral("Home") << false << true;
}

void TestNkRas::connectionOfAnotherProgramIsReused()
{
    QFETCH(QString, activeEntry);
    QFETCH(bool, forceService);
    QFETCH(bool, reused);
    auto backend = Backend();
    backend->Active = {{activeEntry, QStringLiteral("theirs"), true}};
    TnkRas ras(backend);
    ras.ForceService = forceService;
    ras.SetService(QStringLiteral("Office"));
    ras.Dial();
    QCOMPARE(backend->Dialed.isEmpty(), reused);
    QCOMPARE(ras.GetOwnConnection(), !reused);
    QVERIFY(ras.Connected());
    ras.HangUp();
    QCOMPARE(backend->HungUp.contains(QStringLiteral("theirs")), false);
}

void TestNkRas::failedDialIsHungUp_data()
{
    QTest::addColumn<QString>("systemText");
    QTest::addColumn<QString>("message");
    QTest::newRow("system text") << QStringLiteral("The user name or password is not valid") << QStringLiteral("The user name or password is not valid");
    QTest::newRow("no system text") << QString() << QStringLiteral("RAS error no 691");
}

void TestNkRas::failedDialIsHungUp()
{
    QFETCH(QString, systemText);
    auto backend = Backend();
    backend->DialScript = {{rsOpenPort, 0}, {rsAuthenticate, 691}};
    if (!systemText.isEmpty())
        backend->ErrorTexts.insert(691, systemText);
    TnkRas ras(backend);
    ras.SetService(QStringLiteral("Office"));
    try {
        ras.Dial();
        QFAIL("dial succeeded");
    } catch (const ERASError& error) {
        QTEST(error.Message(), "message");
    }
    QCOMPARE(backend->HungUp, QStringList{QStringLiteral("dial-1")});
    QCOMPARE(ras.LastError(), 691);
}

void TestNkRas::dialTimesOutWithoutHangingUp()
{
    auto backend = Backend();
    backend->DialScript = {{rsOpenPort, 0}};
    TnkRas ras(backend);
    ras.SetTimeOut(1);
    ras.SetService(QStringLiteral("Office"));
    QVERIFY_THROWS_EXCEPTION(ETimedOutError, ras.Dial());
    QVERIFY(backend->HungUp.isEmpty());
}

void TestNkRas::cancelDuringDial()
{
    auto backend = Backend();
    backend->DialScript = {{rsOpenPort, 0}};
    TnkRas ras(backend);
    ras.SetService(QStringLiteral("Office"));
    QTimer::singleShot(100, &ras, [&ras] { ras.Cancel(); });
    QVERIFY_THROWS_EXCEPTION(ECanceledError, ras.Dial());
    QCOMPARE(backend->HungUp, QStringList{QStringLiteral("dial-1")});
}

void TestNkRas::activeConnectionsNeedAnAddress()
{
    auto backend = Backend();
    backend->Active = {{QStringLiteral("Office"), QStringLiteral("a"), true}, {QStringLiteral("Home"), QStringLiteral("b"), false}};
    TnkRas ras(backend);
    QCOMPARE(ras.GetActiveConnections(), QStringList{QStringLiteral("Office")});
}

void TestNkRas::socketDialsOnOpenAndHangsUpOnClose()
{
    FakeServer server({"S: +OK", "SILENT"});
    auto backend = Backend();
    TnkSocket socket;
    {
        TnkRas ras(backend);
        ras.SetService(QStringLiteral("Office"));
        socket.SetRAS(&ras);
        socket.Server = server.Address();
        socket.Open();
        QCOMPARE(backend->Dialed.size(), 1);
        socket.Connect();
        socket.Close();
        QCOMPARE(backend->HungUp, QStringList{QStringLiteral("dial-1")});
    }
    QCOMPARE(socket.GetRAS(), nullptr);
}

QTEST_GUILESS_MAIN(TestNkRas)
#include "tst_nkras.moc"

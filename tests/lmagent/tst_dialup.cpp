// Ensuring a connection through the scripted dial-up backend: which connection is used, hung up
// or dialled, what the status line says and what the registry learns.

#include "DialupFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "ScriptedRasBackend.h"
#include "tk_reglib.h"

#include <QTest>

class TestDialup : public QObject {
    Q_OBJECT

private slots:
    void ensureConnection_data();
    void ensureConnection();
    void localNetworkNeedsNothing();
};

void TestDialup::ensureConnection_data()
{
    QTest::addColumn<QStringList>("active");
    QTest::addColumn<bool>("force");
    QTest::addColumn<bool>("storedPassword");
    QTest::addColumn<bool>("dialSucceeds");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("dialed");
    QTest::addColumn<QString>("hungUp");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("ownConnection"); // -1: not written
    QTest::addColumn<int>("report");        // 0: none

    QTest::newRow("entry already up") << QStringList{QStringLiteral("Work")} << true << true << true << true << QString()
                                      << QString() << QStringLiteral("Nutze bestehende Verbindung Work") << -1 << 0;
    QTest::newRow("other up, not forced") << QStringList{QStringLiteral("Home")} << false << true << true << true
                                          << QString() << QString() << QStringLiteral("Nutze bestehende Verbindung Home") << -1 << 0;
    QTest::newRow("other up, forced") << QStringList{QStringLiteral("Home")} << true << true << true << true
                                      << QStringLiteral("Work") << QStringLiteral("home-handle")
                                      << QStringLiteral("Verbunden mit Work") << 1 << 0;
    QTest::newRow("nothing up") << QStringList() << true << true << true << true << QStringLiteral("Work") << QString()
                                << QStringLiteral("Verbunden mit Work") << 1 << 0;
    QTest::newRow("dial fails, line hung up") << QStringList() << true << true << false << false << QStringLiteral("Work")
                                              << QStringLiteral("dial-1")
                                << QStringLiteral("Keine DFÜ-Verbindung aktiv") << -1 << 30;
    QTest::newRow("password typed") << QStringList() << true << false << true << true << QStringLiteral("Work")
                                    << QString() << QStringLiteral("Verbunden mit Work") << 1 << 0;
}

void TestDialup::ensureConnection()
{
    QFETCH(QStringList, active);
    QFETCH(bool, force);
    QFETCH(bool, storedPassword);
    QFETCH(bool, dialSucceeds);
    QFETCH(bool, expected);
    QFETCH(QString, dialed);
    QFETCH(QString, hungUp);
    QFETCH(QString, status);
    QFETCH(int, ownConnection);
    QFETCH(int, report);

    ScopedRegistry registry;
    ReportCapture reports;
    auto backend = std::make_shared<ScriptedRasBackend>();
    backend->EntryNames = {QStringLiteral("Home"), QStringLiteral("Work")};
    for (const QString& entry : active)
        backend->Active.append({entry, entry.toLower() + QStringLiteral("-handle"), true});
    if (storedPassword)
        backend->StoredPasswords.insert(QStringLiteral("Work"));
    backend->DialScript = {{rsOpenPort, 0}, dialSucceeds ? ScriptedRasBackend::Event{rsConnected, 0} : ScriptedRasBackend::Event{rsAuthenticate, 691}};

    TDialUp dialUp(backend);
    TAgentEvents events;
    QString lastStatus;
    int passwordRequests = 0;
    events.OnDialStatus = [&](const QString& text) { lastStatus = text; };
    events.OnPasswordRequest = [&](const QString& caption, const QString&) {
        ++passwordRequests;
        return caption == QLatin1String("Work") ? std::optional<QByteArray>("typed") : std::nullopt;
    };

    QCOMPARE(EnsureConnection(dialUp, QStringLiteral("Work"), force, events), expected);
    QCOMPARE(backend->Dialed.join(QLatin1Char(',')), dialed);
    QCOMPARE(backend->HungUp.value(0), hungUp);
    QCOMPARE(lastStatus, status);
    QCOMPARE(passwordRequests, storedPassword ? 0 : 1);
    if (!storedPassword)
        QCOMPARE(backend->PasswordsSet.value(0).second, QStringLiteral("typed"));
    const TRegistryKey root;
    QCOMPARE(root.ValueExists(QStringLiteral("OwnConnection")) ? int(root.ReadBool(QStringLiteral("OwnConnection"), false)) : -1,
             ownConnection);
    const QList<TUserMessage> taken = reports.Take();
    QCOMPARE(taken.isEmpty() ? 0 : taken.first().Id, report);
}

void TestDialup::localNetworkNeedsNothing()
{
    ScopedRegistry registry;
    ReportCapture reports;
    auto backend = std::make_shared<ScriptedRasBackend>();
    backend->EntryNames = {QStringLiteral("Work")};
    TDialUp dialUp(backend);
    TAgentEvents events;
    QString status = QStringLiteral("unset");
    events.OnDialStatus = [&](const QString& text) { status = text; };
    QVERIFY(EnsureConnection(dialUp, {}, true, events));
    QCOMPARE(status, QStringLiteral("Nutze bestehende Verbindung "));
    QVERIFY(backend->Dialed.isEmpty());

    QVERIFY(!EnsureConnection(dialUp, QStringLiteral("Missing"), true, events));
    const QList<TUserMessage> taken = reports.Take();
    QCOMPARE(taken.size(), 1);
    QCOMPARE(taken.first().Id, 28);
    QVERIFY(taken.first().Text.contains(QLatin1String("'Missing'")));
}

QTEST_GUILESS_MAIN(TestDialup)
#include "tst_dialup.moc"

// The rules of the user identities: list entries, button states, new names, adding and removing
// users, the chooser at start and entering another user's data directory.

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "UserFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(TUserNameCheck)

class TestUsers : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    void FreshInstallation(const QStringList& users = {})
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(0);
        for (const QString& user : users)
            WriteUser(user, {}, {});
        ReadInstallationValues();
        BuildUserList();
    }

private slots:
    void cleanup()
    {
        m_registry.reset();
        m_programDir.reset();
    }

    void activeUserCarriesTheMarker()
    {
        SetLanguage(0);
        QCOMPARE(UserListEntry(QStringLiteral("anna"), QStringLiteral("anna")), QStringLiteral("anna [standard]"));
        QCOMPARE(UserListEntry(QStringLiteral("bob"), QStringLiteral("anna")), QStringLiteral("bob"));
        QCOMPARE(UserOfEntry(QStringLiteral("anna [standard]")), QStringLiteral("anna"));
        QCOMPARE(UserOfEntry(QStringLiteral("bob [x]")), QStringLiteral("bob [x]"));
    }

    void buttonStates_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("active");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("activate");
        QTest::addColumn<bool>("chooseUser");
        QTest::newRow("default alone, active") << "default" << "default" << 1 << true << false << false << false;
        QTest::newRow("default, another active") << "default" << "anna" << 2 << true << false << true << true;
        QTest::newRow("active user") << "anna" << "anna" << 3 << true << false << false << true;
        QTest::newRow("active, other case") << "Anna" << "anna" << 3 << true << false << false << true;
        QTest::newRow("other user") << "bob" << "anna" << 3 << true << true << true << true;
        QTest::newRow("nothing selected") << "" << "anna" << 2 << false << false << false << true;
    }

    void buttonStates()
    {
        QFETCH(QString, selected);
        QFETCH(QString, active);
        QFETCH(int, count);
        const TUserButtonStates s = ComputeUserButtonStates(selected, active, count);
        QTEST(s.Edit, "edit");
        QTEST(s.Remove, "remove");
        QTEST(s.Activate, "activate");
        QTEST(s.ChooseUser, "chooseUser");
    }

    void newUserNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<TUserNameCheck>("check");
        QTest::newRow("fresh") << "carla" << TUserNameCheck::Valid;
        QTest::newRow("empty") << "" << TUserNameCheck::Empty;
        QTest::newRow("blanks") << "  " << TUserNameCheck::Empty;
        QTest::newRow("taken") << "anna" << TUserNameCheck::Taken;
        QTest::newRow("taken in other case") << "DEFAULT" << TUserNameCheck::Taken;
        QTest::newRow("slash makes a sub key") << "a/b" << TUserNameCheck::Invalid;
        QTest::newRow("backslash") << "a\\b" << TUserNameCheck::Invalid;
        QTest::newRow("parent directory") << ".." << TUserNameCheck::Invalid;
        QTest::newRow("leading blank") << " carla" << TUserNameCheck::Invalid;
    }

    void newUserNames()
    {
        QFETCH(QString, name);
        QTEST(CheckNewUserName(name, {QStringLiteral("default"), QStringLiteral("anna")}), "check");
    }

    void pickedDirectory()
    {
        QCOMPARE(PickedDataDir(QStringLiteral("/p/default/"), QStringLiteral("/p/default")), QString());
        QCOMPARE(PickedDataDir(QStringLiteral("/data/anna"), QStringLiteral("/p/default")), QStringLiteral("/data/anna"));
        QCOMPARE(NewUserDataDir(QStringLiteral("/p/users"), QStringLiteral("anna")), QStringLiteral("/p/users/anna"));
    }

    void addingCreatesTheDirectoryAndRemovingKeepsIt()
    {
        FreshInstallation();
        QCOMPARE(UserContext().Users, QStringList{DefaultUserName});
        const QString dataDir = NewUserDataDir(Paths().Program.UsersDir, QStringLiteral("anna"));
        QVERIFY(AddUser(QStringLiteral("anna"), dataDir));
        QVERIFY(QFileInfo(dataDir).isDir());
        QCOMPARE(QFileInfo(dataDir).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QVERIFY(UserContext().Users.contains(QStringLiteral("anna")));
        QCOMPARE(ReadUserDataDir(QStringLiteral("anna")), dataDir);

        TRegistryKey(UserKey(QStringLiteral("anna"))).WriteString(QStringLiteral("Password"), QStringLiteral("kept"));
        EditUser(QStringLiteral("anna"), QStringLiteral("/elsewhere"));
        QCOMPARE(ReadUserPassword(QStringLiteral("anna")), QStringLiteral("kept"));

        QVERIFY(RemoveUser(QStringLiteral("anna")));
        QVERIFY(!UserContext().Users.contains(QStringLiteral("anna")));
        QVERIFY(QFileInfo(dataDir).isDir());
    }

    void chooserAtStart_data()
    {
        QTest::addColumn<QStringList>("users");
        QTest::addColumn<bool>("chooseUser");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("askAgain");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("storedChooseUser");
        QTest::newRow("one user: not asked") << QStringList{} << true << false << true << false << "default" << true;
        QTest::newRow("asking switched off") << QStringList{"anna"} << false << false << true << false << "default"
                                             << false;
        QTest::newRow("anna chosen") << QStringList{"anna"} << true << false << true << true << "anna" << true;
        QTest::newRow("don't ask again") << QStringList{"anna"} << true << false << false << true << "anna" << false;
        QTest::newRow("cancelled") << QStringList{"anna"} << true << true << false << true << "default" << true;
    }

    void chooserAtStart()
    {
        QFETCH(QStringList, users);
        QFETCH(bool, chooseUser);
        QFETCH(bool, cancel);
        QFETCH(bool, askAgain);
        FreshInstallation(users);
        TRegistryKey().WriteBool(QStringLiteral("ChooseUser"), chooseUser);
        ReadInstallationValues();
        bool asked = false;
        const bool changed = ChooseUserAtStart([&](const QStringList& all, const QString& current, bool ask) {
            asked = true;
            [&] {
                QCOMPARE(current, DefaultUserName);
                QVERIFY(ask);
                QCOMPARE(all.size(), 2);
            }();
            return cancel ? std::nullopt : std::optional<TUserChoice>(TUserChoice{QStringLiteral("anna"), askAgain});
        });
        QTEST(asked, "asked");
        QTEST(UserContext().Installation.CurrentUser, "current");
        QCOMPARE(changed, UserContext().Installation.CurrentUser != DefaultUserName);
        QTEST(TRegistryKey().ReadString(QStringLiteral("CurrentUser"), DefaultUserName), "current");
        QTEST(TRegistryKey().ReadBool(QStringLiteral("ChooseUser"), true), "storedChooseUser");
    }

    // A refused data directory must not leave the previous user's data in use.
    void enteringAUserWithAMissingDirectoryFallsBackToTheDefault()
    {
        FreshInstallation();
        const QString annaDir = NewUserDataDir(Paths().Program.UsersDir, QStringLiteral("anna"));
        QVERIFY(AddUser(QStringLiteral("anna"), annaDir));
        WriteUser(QStringLiteral("bob"), m_programDir->filePath(QStringLiteral("gone")), {});
        ReportCapture reports;
        MakeActiveUser(QStringLiteral("anna"));
        QCOMPARE(Paths().Data.DataDir, annaDir);
        QCOMPARE(UserContext().Keys.General, UserKey(QStringLiteral("anna")) + QLatin1String("/General"));
        MakeActiveUser(QStringLiteral("bob"));
        QCOMPARE(reports.Take().size(), 1);
        QCOMPARE(Paths().Data.DataDir, Paths().Program.DefaultDataDir);
        QVERIFY(QFileInfo(Paths().Data.MailDir).isDir());
        QCOMPARE(TRegistryKey().ReadString(QStringLiteral("CurrentUser")), QStringLiteral("bob"));
    }
};

QTEST_GUILESS_MAIN(TestUsers)
#include "tst_users.moc"

// The registry layer: typed readers with defaults, garbled files, users, the hand-over slot,
// setting-group keys and the window placement value.

#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QFile>
#include <QTest>

class TestRegistry : public QObject {
    Q_OBJECT

private:
    static void WriteRegistryFile(const ScopedRegistry& registry, const QByteArray& content)
    {
        QFile file(registry.FilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void missingValuesGiveTheDefaults()
    {
        ScopedRegistry registry;
        const TRegistryKey key(QStringLiteral("Users/nobody/General"));
        QCOMPARE(key.ReadBool(QStringLiteral("LogActive"), true), true);
        QCOMPARE(key.ReadInteger(QStringLiteral("PopTimeout"), 60), 60);
        QCOMPARE(key.ReadString(QStringLiteral("Signature"), QStringLiteral("none")), QStringLiteral("none"));
        QVERIFY(key.ReadBinary(QStringLiteral("MainFrm")).isEmpty());
        QVERIFY(!key.ValueExists(QStringLiteral("LogActive")));
    }

    void typedValuesRoundTrip()
    {
        ScopedRegistry registry;
        {
            TRegistryKey key(QStringLiteral("Users/alice/General"));
            key.WriteBool(QStringLiteral("LogActive"), true);
            key.WriteInteger(QStringLiteral("PopTimeout"), -5);
            key.WriteString(QStringLiteral("Signature"), QStringLiteral("Grüße"));
            key.WriteBinary(QStringLiteral("Blob"), QByteArray("\0\x01\xff", 3));
            QVERIFY(key.Flush());
        }
        const TRegistryKey key(QStringLiteral("Users/alice/General"));
        QCOMPARE(key.ReadBool(QStringLiteral("LogActive"), false), true);
        QCOMPARE(key.ReadInteger(QStringLiteral("PopTimeout"), 0), -5);
        QCOMPARE(key.ReadString(QStringLiteral("Signature")), QStringLiteral("Grüße"));
        QCOMPARE(key.ReadBinary(QStringLiteral("Blob")), QByteArray("\0\x01\xff", 3));
    }

    void booleansAreStoredAsNumbers()
    {
        ScopedRegistry registry;
        TRegistryKey key;
        key.WriteBool(QStringLiteral("ChooseUser"), false);
        QVERIFY(key.Flush());
        QFile file(registry.FilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("ChooseUser=0"));
    }

    void registryFileIsPrivate()
    {
        ScopedRegistry registry;
        TRegistryKey key;
        key.WriteString(QStringLiteral("OurOwnMessage"), QStringLiteral("x"));
        QVERIFY(key.Flush());
        QCOMPARE(QFile::permissions(registry.FilePath()) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);
    }

    void unreadableContentGivesTheDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\x13[[[=\n\x01\x02", 10);
        QTest::newRow("value of the wrong type") << QByteArray("[General]\nLanguage=english\nChooseUser=maybe\n");
        QTest::newRow("empty file") << QByteArray();
    }
    void unreadableContentGivesTheDefaults()
    {
        QFETCH(QByteArray, content);
        ScopedRegistry registry;
        WriteRegistryFile(registry, content);
        QCOMPARE(ReadLanguage(), 0);
        QVERIFY(!IsEnglish());
        ReadInstallationValues();
        QCOMPARE(UserContext().Installation.CurrentUser, DefaultUserName);
        QCOMPARE(UserContext().Installation.ChooseUser, true);
    }

    void currentUser_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray("[General]\nLanguage=2\n") << "default";
        QTest::newRow("empty") << QByteArray("[General]\nCurrentUser=\n") << "default";
        QTest::newRow("named") << QByteArray("[General]\nCurrentUser=alice\n") << "alice";
    }
    void currentUser()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        ScopedRegistry registry;
        WriteRegistryFile(registry, content);
        ReadInstallationValues();
        QCOMPARE(UserContext().Installation.CurrentUser, expected);
    }

    void languageTwoSelectsEnglish_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("english");
        QTest::newRow("2") << QByteArray("[General]\nLanguage=2\n") << true;
        QTest::newRow("1") << QByteArray("[General]\nLanguage=1\n") << false;
        QTest::newRow("missing") << QByteArray() << false;
    }
    void languageTwoSelectsEnglish()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, english);
        ScopedRegistry registry;
        WriteRegistryFile(registry, content);
        ReadLanguage();
        QCOMPARE(IsEnglish(), english);
        SetLanguage(0);
    }

    void userListAlwaysHoldsDefault_data()
    {
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no users key") << QStringList() << QStringList{"default"};
        QTest::newRow("others only") << QStringList{"bob", "alice"} << QStringList{"alice", "bob", "default"};
        QTest::newRow("default registered") << QStringList{"default", "zoe"} << QStringList{"default", "zoe"};
    }
    void userListAlwaysHoldsDefault()
    {
        QFETCH(QStringList, registered);
        QFETCH(QStringList, expected);
        ScopedRegistry registry;
        for (const QString& user : registered)
            WriteUser(user, QString(), QString());
        BuildUserList();
        QStringList users = UserContext().Users;
        users.sort();
        QCOMPARE(users, expected);
    }

    void usersAreWrittenReadAndDeleted()
    {
        ScopedRegistry registry;
        WriteUser(QStringLiteral("alice"), QStringLiteral("/home/alice/mail"), QString());
        QCOMPARE(ReadUserDataDir(QStringLiteral("alice")), QStringLiteral("/home/alice/mail"));
        QVERIFY(ReadUserDataDir(QStringLiteral("bob")).isEmpty());
        QVERIFY(DeleteUser(QStringLiteral("alice")));
        QVERIFY(ReadUserDataDir(QStringLiteral("alice")).isEmpty());
        QVERIFY(!TRegistryKey(QStringLiteral("Users")).KeyExists(QStringLiteral("alice")));
        QVERIFY(DeleteUser(QStringLiteral("never-existed")));
    }

    void settingKeysOfTheActiveUser()
    {
        ScopedRegistry registry;
        TRegistryKey root;
        root.WriteString(QStringLiteral("CurrentUser"), QStringLiteral("alice"));
        root.Flush();
        WriteUser(QStringLiteral("alice"), QStringLiteral("/data/alice"), QString());
        ReadInstallationValues();
        ReadCurrentUserSettingsPaths();
        const TUserSettingKeys& keys = UserContext().Keys;
        QCOMPARE(keys.General, QStringLiteral("Users/alice/General"));
        QCOMPARE(keys.Columns, QStringLiteral("Users/alice/Columns/lumaro"));
        QCOMPARE(keys.Toolbar, QStringLiteral("Users/alice/Toolbar"));
        QCOMPARE(UserContext().UserDataDir, QStringLiteral("/data/alice"));
    }

    void handOverSlotIsVisibleToAnotherProcessAtOnce()
    {
        ScopedRegistry registry;
        QVERIFY(ReadHandOver().isEmpty());
        WriteHandOver(QStringLiteral("mailto:bob@example.org"));
        QFile file(registry.FilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("OurOwnMessage=mailto:bob@example.org"));
        QCOMPARE(ReadHandOver(), QStringLiteral("mailto:bob@example.org"));
    }

    void readStringAtMissingKeyIsEmpty()
    {
        ScopedRegistry registry;
        QVERIFY(ReadStringAt(QStringLiteral("No/Such/Key"), QStringLiteral("Value")).isEmpty());
    }

    void windowPlacementLayout()
    {
        const TWindowPlacement placement{10, TWindowPlacement::MaximizedTop, 640, -2};
        const QByteArray value = EncodeWindowPlacement(placement);
        QCOMPARE(value.toHex(), QByteArray("0a00000019fcffff80020000feffffff"));
        const std::optional<TWindowPlacement> back = DecodeWindowPlacement(value);
        QVERIFY(back);
        QVERIFY(back->Maximized());
        QCOMPARE(back->Left, 10);
        QCOMPARE(back->Height, -2);
        QVERIFY(!DecodeWindowPlacement(value.left(15)));
        QVERIFY(!DecodeWindowPlacement(value + 'x'));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"

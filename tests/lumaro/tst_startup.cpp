// Start-up steps without a window: the active user from "-U", the special folders, the folder
// check, and the settings the main window loads and writes back.

#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "MainSettings.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "StartupFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LumaroTest;

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

private slots:
    void init()
    {
        m_registry.reset();
        m_registry = std::make_unique<ScopedRegistry>();
        m_programDir = std::make_unique<QTemporaryDir>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(0);
    }

    void userArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("stored");
        QTest::newRow("no argument") << QStringList{} << "default" << "";
        QTest::newRow("existing user") << QStringList{"-Ualice"} << "alice" << "alice";
        QTest::newRow("any letter case") << QStringList{"-uALICE"} << "alice" << "alice";
        QTest::newRow("unknown user") << QStringList{"-Umallory"} << "default" << "";
        QTest::newRow("empty name") << QStringList{"-U"} << "default" << "";
        QTest::newRow("only the first argument counts") << QStringList{"x", "-Ualice"} << "default" << "";
    }

    void userArgument()
    {
        QFETCH(QStringList, arguments);
        const QString aliceDir = m_programDir->filePath(QStringLiteral("alice-data"));
        QVERIFY(QDir().mkpath(aliceDir));
        WriteUser(QStringLiteral("alice"), aliceDir, {});
        ReportCapture reports;
        StartActiveUser(arguments);
        QTEST(UserContext().Installation.CurrentUser, "active");
        QTEST(TRegistryKey().ReadString(QStringLiteral("CurrentUser")), "stored");
        const bool alice = UserContext().Installation.CurrentUser == QLatin1String("alice");
        QCOMPARE(Paths().Data.DataDir, alice ? aliceDir : Paths().Program.DefaultDataDir);
        QVERIFY(QDir(Paths().Data.MailDir).exists());
        QCOMPARE(UserContext().Keys.Columns, UserKey(UserContext().Installation.CurrentUser) + QStringLiteral("/Columns/lumaro"));
    }

    void missingSpecialFoldersAreCreated()
    {
        ReportCapture reports;
        StartActiveUser({});
        const TFolderFiles inbox = SpecialFolderPaths(TSpecialFolder::Inbox);
        QVERIFY(CreateFolder(inbox));
        QVERIFY(AddMessage(inbox, {"a", "b", "bleibt", {}, 0}));
        const QStringList created = CreateMissingSpecialFolders(ListFolders());
        QCOMPARE(created, (QStringList{"Postausgang", "Vorlagen", "Gesendete Nachrichten", "Papierkorb"}));
        QCOMPARE(DisplayedMessageCount(inbox), 1);
        QVERIFY(CreateMissingSpecialFolders(ListFolders()).isEmpty());
    }

    // A program reading German while the folders carry their English names (or the reverse) must not
    // add an empty set of special folders beside them; a special folder missing in both names is made.
    void specialFoldersOfTheOtherLanguageAreNotDoubled()
    {
        ReportCapture reports;
        StartActiveUser({});
        SetLanguage(2);
        for (const TSpecialFolder folder : {TSpecialFolder::Inbox, TSpecialFolder::Outbox, TSpecialFolder::Trash})
            QVERIFY(CreateFolder(SpecialFolderPaths(folder)));
        SetLanguage(0);
        QCOMPARE(CreateMissingSpecialFolders(ListFolders()), (QStringList{"Vorlagen", "Gesendete Nachrichten"}));
        for (const char* german : {"Posteingang", "Postausgang", "Papierkorb"})
            QVERIFY2(!QFile::exists(FolderPaths(QString::fromLatin1(german)).MessageFile), german);
        CheckAllFolders(ListFolders());
        QVERIFY(!QFile::exists(FolderPaths(QStringLiteral("Posteingang")).MessageFile));
        reports.Take();
    }

    void folderCheck_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<bool>("needsRepair");
        QTest::newRow("sound") << QByteArray() << false;
        QTest::newRow("garbage index") << QByteArray("garbage") << true;
        QTest::newRow("torn record") << QByteArray(IndexRecordSize + 10, '\0') << true;
    }

    void folderCheck()
    {
        QFETCH(QByteArray, index);
        ReportCapture reports;
        StartActiveUser({});
        const TFolderFiles folder = FolderPaths(QStringLiteral("Arbeit"));
        QVERIFY(CreateFolder(folder));
        QVERIFY(AddMessage(folder, {"a", "b", "eins", {}, 0}));
        if (!index.isEmpty())
            QVERIFY(WriteBytes(folder.IndexFile, index));
        QTEST(FolderNeedsRepair(folder), "needsRepair");
        QVERIFY(FolderFilesPresent(folder));
        QVERIFY(QFile::remove(folder.IndexFile));
        QVERIFY(!FolderFilesPresent(folder));
        QVERIFY(FolderNeedsRepair(folder));
    }

    void settingsDefaultsAndRoundTrip()
    {
        const TUserSettingKeys keys = UserSettingKeys(DefaultUserName);
        TMainSettings s = LoadMainSettings(keys);
        QVERIFY(s.Display.ShowTreeview);
        QVERIFY(!s.Display.ShowCombobox);
        QCOMPARE(s.Display.TreeviewWidth, DefaultTreeviewWidth);
        QCOMPARE(s.Display.MailFont, QStringLiteral("\"MS Sans Serif\", 8, [], [clWindowText]"));
        QCOMPARE(s.ToolbarVisible, QList<bool>(ToolbarItemCount, true));
        QCOMPARE(s.ColumnCaptions, (QStringList{"Von", "Betreff", "Datum", "An"}));
        QVERIFY(s.General.AutoConnectServer && s.Warnings.DeleteMails && s.Warnings.EmptyTheTrash);

        s.Display.ShowCombobox = true;
        s.Display.TreeviewWidth = 222;
        s.ToolbarVisible[3] = false;
        s.ActionPopServers = {QStringLiteral("privat"), QStringLiteral("Arbeit")};
        s.ColumnCaptions = {QStringLiteral("Betreff")};
        s.General.DebugMode = true;
        SaveMainSettings(keys, s);
        const TMainSettings read = LoadMainSettings(keys);
        QVERIFY(read.Display.ShowCombobox);
        QCOMPARE(read.Display.TreeviewWidth, 222);
        QVERIFY(!read.ToolbarVisible[3]);
        QCOMPARE(read.ActionPopServers, s.ActionPopServers);
        QCOMPARE(TRegistryKey(keys.Remember).ReadString(QStringLiteral("ActionPopServer1")), QStringLiteral("privat"));
        QCOMPARE(read.ColumnCaptions, QStringList{"Betreff"});
        QVERIFY(!read.General.DebugMode);
    }

    void treeAndComboCannotBothBeHidden()
    {
        const TUserSettingKeys keys = UserSettingKeys(DefaultUserName);
        TRegistryKey display(keys.Display);
        display.WriteBool(QStringLiteral("ShowTreeview"), false);
        display.WriteBool(QStringLiteral("ShowCombobox"), false);
        QVERIFY(LoadMainSettings(keys).Display.ShowTreeview);
        display.WriteBool(QStringLiteral("ShowCombobox"), true);
        QVERIFY(!LoadMainSettings(keys).Display.ShowTreeview);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"

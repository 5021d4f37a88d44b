// The folder dialogs' rules and the folder properties, and the columns dialog's edit steps.

#include "ColumnEditing.h"
#include "FolderCommands.h"
#include "FolderFixture.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "ReportCapture.h"
#include "TestInstallation.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LumaroTest;

namespace {

const QStringList Specials{"Posteingang", "Postausgang", "Vorlagen", "Gesendete Nachrichten", "Papierkorb"};

} // namespace

class TestFolderCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestInstallation> m_installation;

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lumaro"));
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
    }

    void cleanup() { m_installation.reset(); }

    void createDialog_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("parent");
        QTest::newRow("top-level user folder") << "Privat" << "Privat";
        QTest::newRow("sub-folder: root") << "Privat$Reisen" << "";
        QTest::newRow("special folder: root") << "Posteingang" << "";
    }

    void createDialog()
    {
        QFETCH(QString, selected);
        QFETCH(QString, parent);
        const TFolderDialogSetup setup = CreateFolderSetup(Specials + QStringList{"Privat", "Privat$Reisen", "Zeug$Alt"}, selected);
        QCOMPARE(setup.Caption, QStringLiteral("Ordner: Anlegen"));
        QCOMPARE(setup.OkCaption, QStringLiteral("&Anlegen"));
        QCOMPARE(setup.Name, QStringLiteral("Neuer Ordner"));
        // Only top-level user folders, a parent known from its child's name included.
        QCOMPARE(setup.Parents, (QStringList{"Privat", "Zeug"}));
        QCOMPARE(setup.Parent, parent);
    }

    void renameDialog_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QStringList>("parents");
        QTest::newRow("top-level folder leaves its own node out") << "Privat" << "Privat" << "" << QStringList{"Zeug"};
        QTest::newRow("sub-folder keeps its parent") << "Privat$Reisen" << "Reisen" << "Privat"
                                                    << QStringList{"Privat", "Zeug"};
    }

    void renameDialog()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QStringList, parents);
        const TFolderDialogSetup setup = RenameFolderSetup(Specials + QStringList{"Privat", "Privat$Reisen", "Zeug"}, folder);
        QCOMPARE(setup.Caption, QStringLiteral("Ordner: Umbenennen"));
        QCOMPARE(setup.Name, name);
        QCOMPARE(setup.Parent, parent);
        QCOMPARE(setup.Parents, parents);
    }

    void englishCaption()
    {
        SetLanguage(2);
        QCOMPARE(CreateFolderSetup(Specials, {}).Caption, QStringLiteral("Folder: Create"));
        QCOMPARE(CreateFolderSetup(Specials, {}).Name, QStringLiteral("New folder"));
    }

    void applying_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("report");
        QTest::newRow("top level") << "Reisen" << "" << true << "Reisen.mbx" << 0;
        QTest::newRow("below a parent") << "Reisen" << "Privat" << true << "Privat$Reisen.mbx" << 0;
        QTest::newRow("refused character") << "a/b" << "" << false << "" << 42;
        QTest::newRow("name taken") << "Privat" << "" << false << "" << 43;
    }

    void applying()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(bool, created);
        QFETCH(QString, file);
        QFETCH(int, report);
        QVERIFY(CreateFolder(FolderPaths("Privat")));
        QVERIFY(FolderDialogOkEnabled(name));
        ReportCapture reports;
        const TFolderDialogSetup setup = CreateFolderSetup(Specials + QStringList{"Privat"}, {});
        QCOMPARE(ApplyFolderDialog(setup, name, parent), created);
        if (created)
            QVERIFY(QFile::exists(Paths().Data.MailDir + "/" + file));
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.isEmpty() ? 0 : shown.first().Id, report);
    }

    void renamingMovesBothFiles()
    {
        QVERIFY(CreateFolder(FolderPaths("Privat")));
        const TFolderDialogSetup setup = RenameFolderSetup(Specials + QStringList{"Privat", "Zeug"}, "Privat");
        QVERIFY(ApplyFolderDialog(setup, "Reisen", "Zeug"));
        QVERIFY(QFile::exists(FolderPaths("Zeug$Reisen").MessageFile));
        QVERIFY(QFile::exists(FolderPaths("Zeug$Reisen").IndexFile));
        QVERIFY(!QFile::exists(FolderPaths("Privat").MessageFile));
        QVERIFY(!FolderDialogOkEnabled(QString()));
    }

    void properties()
    {
        const TFolderFiles folder = FolderPaths("Privat$Reisen");
        QVERIFY(CreateFolder(folder));
        for (const bool deleted : {false, true, true})
            QVERIFY(AddMessage(folder, {"a", "b", "c", {}, 0, deleted}) > 0);
        const TFolderInfo info = FolderInfoOf("Privat$Reisen");
        QCOMPARE(info.Caption, QStringLiteral("Reisen"));
        QCOMPARE(info.Size, QFileInfo(folder.MessageFile).size());
        QCOMPARE(info.Records, 3);
        QCOMPARE(info.Displayed, 1);
        QCOMPARE(info.Deleted, 2);
        QVERIFY(info.RenameAllowed);
        QVERIFY(!FolderInfoOf("Papierkorb").RenameAllowed);
    }

    void columnButtons_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("displayed");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("enabled");  // U D A R O
        QTest::newRow("first of four") << 0 << 0 << 4 << "-DARO";
        QTest::newRow("middle") << 0 << 2 << 4 << "UDARO";
        QTest::newRow("last") << -1 << 3 << 4 << "U--RO";
        QTest::newRow("only one") << 0 << 0 << 1 << "--ARO";
        QTest::newRow("empty list") << 0 << -1 << 0 << "--A--";
    }

    void columnButtons()
    {
        QFETCH(int, available);
        QFETCH(int, displayed);
        QFETCH(int, count);
        QFETCH(QString, enabled);
        const TColumnButtons b = ColumnButtonStates(available, displayed, count);
        const QString actual = QString(b.Up ? "U" : "-") + (b.Down ? "D" : "-") + (b.Add ? "A" : "-")
            + (b.Remove ? "R" : "-") + (b.Ok ? "O" : "-");
        QCOMPARE(actual, enabled);
    }

    void columnSteps()
    {
        QStringList columns{"Von", "Betreff"};
        QCOMPARE(AddColumn(columns, "Von", 1), 1);
        QCOMPARE(columns, (QStringList{"Von", "Von", "Betreff"}));
        QCOMPARE(AddColumn(columns, "Datum", -1), 3);
        QCOMPARE(MoveColumn(columns, 3, -1), 2);
        QCOMPARE(columns, (QStringList{"Von", "Von", "Datum", "Betreff"}));
        QCOMPARE(MoveColumn(columns, 0, -1), 0);
        QCOMPARE(RemoveColumn(columns, 2), 0);
        QCOMPARE(columns, (QStringList{"Von", "Von", "Betreff"}));
        // From twice shows the sender twice.
        const QList<TColumn> shown = ColumnsOf(columns, false);
        QCOMPARE(shown[0].Kind, TColumnKind::From);
        QCOMPARE(shown[1].Kind, TColumnKind::From);
    }

    void columnsPerLanguage()
    {
        const QString key = QStringLiteral("Users/default/Columns/lumaro");
        SaveColumnCaptions(key, {"Betreff", "Von"});
        SetLanguage(2);
        QCOMPARE(LoadColumnCaptions(key), (QStringList{"From", "Subject", "Date", "To"}));
        SaveColumnCaptions(key, {"To"});
        SetLanguage(0);
        QCOMPARE(LoadColumnCaptions(key), (QStringList{"Betreff", "Von"}));
        SetLanguage(2);
        QCOMPARE(LoadColumnCaptions(key), QStringList{"To"});
    }
};

QTEST_GUILESS_MAIN(TestFolderCommands)
#include "tst_foldercommands.moc"

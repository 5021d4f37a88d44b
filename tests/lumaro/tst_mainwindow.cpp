// The main window offscreen, in a private program directory: start-up, folder tree, message list,
// command states, window messages and shutdown.

#include "DBAccountsFunctions.h"
#include "EnhListView.h"
#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "MailInfo.h"
#include "MainWindowFixture.h"
#include "Progress.h"
#include "Main.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "qmmsg.h"
#include "Screenshot.h"
#include "SingleInstance.h"
#include "UserPanel.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace LumaroTest;

namespace {

QStringList TopLevelTexts(const QTreeWidget& tree)
{
    QStringList texts;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        texts.append(tree.topLevelItem(i)->text(0));
    return texts;
}

QTreeWidgetItem* FindNode(const QTreeWidget& tree, const QString& text)
{
    const QList<QTreeWidgetItem*> found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;
    QStringList m_asked;
    QStringList m_told;
    bool m_answer = false;

    // A new program directory with its default data directory, as on a fresh machine.
    void FreshInstallation()
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(0);
        QDir().mkpath(Paths().Data.MailDir);
        QDir().mkpath(Paths().Data.SmtpDir);
        m_asked.clear();
        m_told.clear();
        m_answer = false;
    }

    std::unique_ptr<TMainFrm> StartedWindow(const QStringList& arguments = {})
    {
        auto frm = std::make_unique<TMainFrm>(arguments);
        frm->Dialogs.AskYesNo = [this](const QString& text) {
            m_asked.append(text);
            return m_answer;
        };
        frm->Dialogs.Inform = [this](const QString& text) { m_told.append(text); };
        frm->resize(900, 500);
        return ShownMainWindow(std::move(frm));
    }

    void AddAccount()
    {
        TAccount account;
        account.Name = "Anna";
        account.Standard = true;
        QVERIFY(WriteAccount(0, account) > 0);
    }

private slots:
    void cleanup()
    {
        m_registry.reset();
        m_programDir.reset();
    }

    void freshStartShowsTheFiveSpecialFolders()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(TopLevelTexts(*frm->FolderTv),
                 (QStringList{"Posteingang", "Postausgang", "Vorlagen", "Gesendete Nachrichten", "Papierkorb"}));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Posteingang"));
        QCOMPARE(frm->FolderTv->currentItem()->text(0), QStringLiteral("Posteingang"));
        QCOMPARE(frm->FolderCmb->count(), 5);
        QCOMPARE(frm->windowTitle(), QStringLiteral("Lumaro Mail 3.20"));
        for (int i = 0; i < SpecialFolderCount; ++i) {
            const TFolderFiles files = SpecialFolderPaths(TSpecialFolder(i));
            QVERIFY(QFile::exists(files.MessageFile));
            QVERIFY(IndexIsCurrent(files.IndexFile));
        }
        QVERIFY(QFile::exists(Paths().Data.AccountsFile));
        QVERIFY(QFile::exists(Paths().Data.AddressbookFile));
        QCOMPARE(frm->StatusPanel2->UserName(), QStringLiteral("default"));
        QCOMPARE(frm->StatusPanel3->text(), QStringLiteral("0/0"));
        const QAbstractItemView& tree = *frm->FolderTv;
        QVERIFY(tree.viewport()->width() >= tree.sizeHintForColumn(0));
        SaveScreenshot(*frm, QStringLiteral("mainwindow-fresh"));
    }

    void firstActivationAsksForAnAccount_data()
    {
        QTest::addColumn<bool>("withAccount");
        QTest::addColumn<bool>("asked");
        QTest::newRow("no account") << false << true;
        QTest::newRow("one account") << true << false;
    }

    void firstActivationAsksForAnAccount()
    {
        FreshInstallation();
        QFETCH(bool, withAccount);
        if (withAccount) {
            QVERIFY(CreateAccountsDatabase());
            AddAccount();
        }
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QTEST(m_asked.contains(MessageText(45)), "asked");
        QCOMPARE(m_asked.count(MessageText(45)), withAccount ? 0 : 1);
    }

    void foldersAndMessagesAreListed()
    {
        FreshInstallation();
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Posteingang"))));
        QVERIFY(AddMessage(FolderPaths(QStringLiteral("Posteingang")), {"Anna", "Bob", "Hallo", {}, 0}));
        QVERIFY(AddMessage(FolderPaths(QStringLiteral("Posteingang")), {"Carl", "Bob", "Gelesen", {}, mfRead}));
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Arbeit"))));
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Arbeit$Kunden"))));
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Reisen$2026"))));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(TopLevelTexts(*frm->FolderTv).mid(5), (QStringList{"Arbeit", "Reisen"}));
        QVERIFY(FindNode(*frm->FolderTv, QStringLiteral("Kunden")));
        QCOMPARE(frm->MessageModel->rowCount(), 2);
        QCOMPARE(frm->MessageModel->index(0, 1).data().toString(), QStringLiteral("Hallo"));
        QCOMPARE(frm->MessageLv->FocusedRow(), 0);
        QCOMPARE(frm->StatusPanel3->text(), QStringLiteral("2/1"));
        QVERIFY(frm->CommandStates().Open);
        SaveScreenshot(*frm, QStringLiteral("mainwindow-inbox"));

        frm->FolderTv->setCurrentItem(FindNode(*frm->FolderTv, QStringLiteral("Kunden")));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Arbeit$Kunden"));
        QCOMPARE(frm->HeadlinePan->text(), QStringLiteral(" Kunden"));
        QVERIFY(frm->CommandStates().RenameFolder);
        QCOMPARE(frm->MessageModel->rowCount(), 0);
        frm->FolderTv->setCurrentItem(FindNode(*frm->FolderTv, QStringLiteral("Arbeit")));
        QVERIFY(!frm->CommandStates().RenameFolder);
        SaveScreenshot(*frm, QStringLiteral("mainwindow-folders"));
    }

    void propertiesShowTheMessageDetails()
    {
        FreshInstallation();
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Posteingang"))));
        QVERIFY(AddMessage(FolderPaths(QStringLiteral("Posteingang")), {"anna@example.org", "Bob", "Details", {}, 0}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QString subject;
        QTimer::singleShot(0, [&] {
            auto* info = qobject_cast<TMailInfoFrm*>(QApplication::activeModalWidget());
            if (!info)
                return;
            subject = info->SubjectLbl->text();
            info->accept();
        });
        frm->Actions.PropertiesItm->trigger();
        QCOMPARE(subject, QStringLiteral("Details"));
    }

    void hintsGoToTheFirstPanel()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QStatusTipEvent tip(QStringLiteral("Hinweis"));
        QApplication::sendEvent(frm->FolderTv, &tip);
        QCOMPARE(frm->StatusPanel0->text(), QStringLiteral("Hinweis"));
    }

    void outboxShowsItsCountAndExchangesFromAndTo()
    {
        FreshInstallation();
        const TFolderFiles outbox = FolderPaths(QStringLiteral("Postausgang"));
        QVERIFY(CreateFolder(outbox));
        for (const char* subject : {"eins", "zwei", "drei"})
            QVERIFY(AddMessage(outbox, {"me", "you", subject, {}, mfRead}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->FolderTv->topLevelItem(1)->text(0), QStringLiteral("Postausgang (3)"));
        QCOMPARE(frm->FolderCmb->itemText(1), QStringLiteral("Postausgang (3)"));
        QVERIFY(frm->CommandStates().Send);
        QCOMPARE(frm->MessageModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Von"));

        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(1));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Postausgang"));
        QCOMPARE(frm->MessageModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("An"));
        QCOMPARE(frm->MessageModel->index(0, 0).data().toString(), QStringLiteral("you"));
        QCOMPARE(frm->MessageModel->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Von"));

        QVERIFY(MarkDeleted(outbox.IndexFile, 1) && MarkDeleted(outbox.IndexFile, 2) && MarkDeleted(outbox.IndexFile, 3));
        frm->RefreshCommandStates();
        QCOMPARE(frm->FolderTv->topLevelItem(1)->text(0), QStringLiteral("Postausgang"));
        QVERIFY(!frm->CommandStates().Send);
    }

    void damagedFolderIsNotActivated()
    {
        FreshInstallation();
        QVERIFY(CreateFolder(FolderPaths(QStringLiteral("Kaputt"))));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(QFile::remove(FolderPaths(QStringLiteral("Kaputt")).IndexFile));
        frm->FolderTv->setCurrentItem(FindNode(*frm->FolderTv, QStringLiteral("Kaputt")));
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 21);
        QVERIFY(shown.first().Text.contains(QLatin1String("Kaputt")));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Posteingang"));
        QCOMPARE(frm->FolderTv->currentItem()->text(0), QStringLiteral("Posteingang"));
    }

    void brokenFolderFilesAreRepairedAtStart()
    {
        FreshInstallation();
        const TFolderFiles folder = FolderPaths(QStringLiteral("Alt"));
        QVERIFY(WriteBytes(folder.MessageFile, "From \r\nFrom: a@b.c\r\nSubject: alt\r\n\r\nText\r\n"));
        QVERIFY(WriteBytes(folder.IndexFile, "garbage"));
        QVERIFY(WriteBytes(Paths().Data.MailDir + QStringLiteral("/$.mbx"), ""));
        QVERIFY(WriteBytes(Paths().Data.MailDir + QStringLiteral("/a$$b.mbx"), ""));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        reports.Take();
        QVERIFY(IndexIsCurrent(folder.IndexFile));
        // The rebuilt index has lost the read marks: the one message counts as unread.
        frm->FolderTv->setCurrentItem(FindNode(*frm->FolderTv, QStringLiteral("Alt (1)")));
        QCOMPARE(frm->MessageModel->rowCount(), 1);
        QCOMPARE(frm->MessageModel->index(0, 1).data().toString(), QStringLiteral("alt"));
    }

    void spoolIsImportedWhenShown()
    {
        FreshInstallation();
        QDir().mkpath(Paths().Data.SpoolDir);
        QVERIFY(WriteBytes(Paths().Data.SpoolDir + QStringLiteral("/pop_1.eml"),
                           "From: a@b.c\r\nSubject: neu\r\n\r\nText\r\n"));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->MessageModel->rowCount(), 1);
        QCOMPARE(frm->MessageModel->index(0, 1).data().toString(), QStringLiteral("neu"));
        QVERIFY(!QFile::exists(Paths().Data.SpoolDir + QStringLiteral("/pop_1.eml")));
    }

    void commandStatesFollowTheRunningFlags()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(frm->Actions.ServerManagerItm->isEnabled());
        frm->Running.Agent = true;
        frm->RefreshCommandStates();
        QVERIFY(!frm->Actions.ServerManagerItm->isEnabled());
        QVERIFY(!frm->Actions.ReceiveItm->isEnabled());
        QVERIFY(!frm->Actions.UsersItm->isEnabled());
        QVERIFY(frm->Actions.MailAccountsItm->isEnabled());
        QVERIFY(!frm->Actions.ToolbarItems.at(4)->isEnabled());
        frm->Running.Agent = false;
        frm->RefreshCommandStates();
        QVERIFY(frm->Actions.ToolbarItems.at(4)->isEnabled());
    }

    void closingIsRefusedWhileProgramsRun_data()
    {
        QTest::addColumn<bool>("serverManager");
        QTest::addColumn<bool>("mailAccounts");
        QTest::addColumn<bool>("messageWindow");
        QTest::addColumn<int>("message");
        QTest::newRow("server manager first") << true << true << true << 36;
        QTest::newRow("mail accounts") << false << true << true << 37;
        QTest::newRow("message window") << false << false << true << 38;
    }

    void closingIsRefusedWhileProgramsRun()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QFETCH(bool, serverManager);
        QFETCH(bool, mailAccounts);
        QFETCH(bool, messageWindow);
        frm->Running = TRunningFlags{serverManager, mailAccounts, messageWindow, false};
        QVERIFY(!frm->close());
        QVERIFY(frm->isVisible());
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QTEST(shown.first().Id, "message");
        frm->Running = {};
    }

    void shutdownWritesSettingsAndEmptiesTheTrash()
    {
        FreshInstallation();
        const TUserSettingKeys keys = UserSettingKeys(DefaultUserName);
        TRegistryKey(keys.General).WriteBool(QStringLiteral("EmptyTrash"), true);
        TRegistryKey(keys.General).WriteBool(QStringLiteral("LogActive"), true);
        const TFolderFiles trash = FolderPaths(QStringLiteral("Papierkorb"));
        QVERIFY(CreateFolder(trash));
        QVERIFY(AddMessage(trash, {"a", "b", "weg", {}, 0}));
        QVERIFY(WriteBytes(Paths().Data.LogFile, "log"));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(reports.Take().first().Id, 77);
        QVERIFY(frm->close());
        QCOMPARE(QFileInfo(trash.MessageFile).size(), 0);
        QCOMPARE(CountMessages(trash.IndexFile, false), 0);
        QVERIFY(!QFile::exists(Paths().Data.LogFile));
        QCOMPARE(TRegistryKey(keys.Forms).ReadBinary(QStringLiteral("MainFrm")).size(), 16);
        QCOMPARE(TRegistryKey().ReadString(QStringLiteral("ProgDir")), Paths().Program.ProgDir);
        QVERIFY(TRegistryKey(keys.Display).ValueExists(QStringLiteral("TreeviewWidth")));
        QVERIFY(!TRegistryKey(keys.General).ValueExists(QStringLiteral("DebugMode")));
    }

    void handedOverArgumentIsTreated()
    {
        FreshInstallation();
        TRegistryKey(UserSettingKeys(DefaultUserName).General).WriteBool(QStringLiteral("DebugMode"), true);
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(m_told, QStringList{"DebugMode is active."});
        WriteHandOver(QStringLiteral("mailto:<x@y.z>?Subject=Hallo&body=b"));
        frm->HandleWindowMessage(wmHandOver);
        QCOMPARE(m_told.mid(1), (QStringList{"Commandline:|mailto:<x@y.z>?Subject=Hallo&body=b|",
                                             "Recipients:|x@y.z|", "Subject:|Hallo|"}));
    }

    void emlArgumentStartsTheMessageWindow()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow({QStringLiteral("/tmp/letter.eml")});
        QVERIFY(frm);
        // No message window is installed in the private program directory.
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 73);
        QVERIFY(!frm->Running.MessageWindow);
    }

    void statusPanelsFollowTheWidthRule()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->resize(1000, 500);
        QTRY_COMPARE(frm->StatusPanel3->width(), StatusPanelWidths(frm->statusBar()->width())[3]);
        QCOMPARE(frm->StatusPanel0->width(), StatusPanelWidths(frm->statusBar()->width())[0]);
        QCOMPARE(frm->StatusPanel2->width(), 100);
        frm->SetTransientStatus(QStringLiteral("kurz"));
        QCOMPARE(frm->StatusPanel1->text(), QStringLiteral("kurz"));
    }

    void englishCaptionsComeFromTheStringTable()
    {
        FreshInstallation();
        SetLanguage(2);
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->Actions.FileMnu->title(), QStringLiteral("&File"));
        QCOMPARE(frm->Actions.QuitItm->text(), QStringLiteral("&Quit"));
        QCOMPARE(frm->Actions.ToolbarItems.first()->text(), QStringLiteral("New Message"));
        QCOMPARE(frm->Actions.ToolbarItems.first()->toolTip(), QStringLiteral("New Message"));
        QCOMPARE(frm->Actions.FileMnu->menuAction()->statusTip(), QStringLiteral("File"));
        QCOMPARE(TopLevelTexts(*frm->FolderTv).first(), QStringLiteral("Inbox"));
        QCOMPARE(frm->ProgressFrm->windowTitle(), QStringLiteral("Please wait..."));
        QCOMPARE(frm->MessageModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("From"));
        SaveScreenshot(*frm, QStringLiteral("mainwindow-english"));
        SetLanguage(0);
    }

    // The list uses its width: a subject that fits is not cut, the last column reaches the right edge,
    // and nothing needs a horizontal scroll bar.
    void listColumnsFitTheirTexts()
    {
        FreshInstallation();
        const TFolderFiles inbox = FolderPaths(QStringLiteral("Posteingang"));
        QVERIFY(CreateFolder(inbox));
        const QByteArray longSubject = "Protokoll der Jahresversammlung mit allen Beschl\xc3\xbcssen";
        QVERIFY(AddMessage(inbox, {"Anna Beispiel", "bob@example.org", longSubject, QDateTime(QDate(2026, 12, 7), QTime(9, 15)), 0}));
        QVERIFY(AddMessage(inbox, {"Bob", "anna@example.org", "Kurz", QDateTime(QDate(2026, 12, 8), QTime(10, 0)), mfRead}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        TEnhListView& list = *frm->MessageLv;
        const QHeaderView& header = *list.header();
        const int last = header.count() - 1;
        // Wide enough for every text; the folder is fitted when it is shown.
        frm->resize(1300, 500);
        QTRY_COMPARE(frm->width(), 1300);
        frm->ActivateFolder(QStringLiteral("Postausgang"));
        frm->ActivateFolder(QStringLiteral("Posteingang"));
        QTRY_VERIFY(header.sectionSize(1) > 150);
        // A reload of the folder shown keeps the widths.
        const int subjectWidth = header.sectionSize(1);
        frm->Actions.UpdateItm->trigger();
        QCOMPARE(header.sectionSize(1), subjectWidth);
        QFont bold = list.font();
        bold.setBold(true);
        QVERIFY2(header.sectionSize(1) >= QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(longSubject)),
                 qPrintable(QString::number(header.sectionSize(1))));
        QVERIFY(header.sectionSize(0) >= QFontMetrics(bold).horizontalAdvance(QStringLiteral("Anna Beispiel")));
        QVERIFY(!list.horizontalScrollBar()->isVisible());
        QCOMPARE(header.sectionViewportPosition(last) + header.sectionSize(last), list.viewport()->width());
        SaveScreenshot(*frm, QStringLiteral("mainwindow-fitted-columns"));

        // Too narrow for every text: the columns share the width instead of pushing one out of view.
        frm->resize(520, 500);
        frm->ActivateFolder(QStringLiteral("Postausgang"));
        frm->ActivateFolder(QStringLiteral("Posteingang"));
        QTRY_VERIFY2(header.sectionViewportPosition(last) + header.sectionSize(last) <= list.viewport()->width() + 1,
                     qPrintable(QStringLiteral("%1 %2 %3 %4 / %5, window %6").arg(header.sectionSize(0)).arg(header.sectionSize(1))
                                    .arg(header.sectionSize(2)).arg(header.sectionSize(3)).arg(list.viewport()->width()).arg(frm->width())));
        QVERIFY(header.sectionSize(last) >= 60);
    }

    // A width the user set is kept and stored; the widths the program chose are not stored, and of the
    // widths an older version stored for every column only those it did not choose count as the user's.
    void userWidthsAreKept_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("width");
        QTest::newRow("marked as set by the user") << QVariantMap{{"Width1", 90}, {"UserWidths", QStringLiteral("2")}} << 1 << 90;
        QTest::newRow("older version, width the user chose") << QVariantMap{{"Width0", 222}, {"Width1", 150}} << 0 << 222;
    }

    void userWidthsAreKept()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(int, kept);
        QFETCH(int, width);
        FreshInstallation();
        const TFolderFiles inbox = FolderPaths(QStringLiteral("Posteingang"));
        QVERIFY(CreateFolder(inbox));
        QVERIFY(AddMessage(inbox, {"Anna", "bob@example.org", "Ein Betreff, der breiter ist als neunzig Punkte", {}, 0}));
        TRegistryKey key(UserContext().Keys.Columns);
        for (auto value = stored.cbegin(); value != stored.cend(); ++value) {
            if (value.value().typeId() == QMetaType::QString)
                key.WriteString(value.key(), value.value().toString());
            else
                key.WriteInteger(value.key(), value.value().toInt());
        }
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QTRY_COMPARE(frm->MessageLv->columnWidth(kept), width);
        const int other = 1 - kept;
        QVERIFY(frm->MessageLv->IsUserWidth(kept));
        QVERIFY(!frm->MessageLv->IsUserWidth(other));
        frm->close();
        frm.reset();
        const TRegistryKey saved(UserContext().Keys.Columns);
        QCOMPARE(saved.ReadInteger(QStringLiteral("Width%1").arg(kept), 0), width);
        QVERIFY(!saved.ValueExists(QStringLiteral("Width%1").arg(other)));
        QCOMPARE(saved.ReadString(QStringLiteral("UserWidths"), QString()), QString::number(1 << kept));
    }

    // Every folder shows its unread messages in brackets and in bold; the Outbox keeps the count of
    // the messages waiting to be sent.
    void folderTreeShowsUnreadCounts()
    {
        FreshInstallation();
        const TFolderFiles inbox = FolderPaths(QStringLiteral("Posteingang"));
        const TFolderFiles outbox = FolderPaths(QStringLiteral("Postausgang"));
        const TFolderFiles work = FolderPaths(QStringLiteral("Arbeit$Kunden"));
        for (const TFolderFiles& folder : {inbox, outbox, work})
            QVERIFY(CreateFolder(folder));
        for (const char* subject : {"eins", "zwei", "drei"})
            QVERIFY(AddMessage(inbox, {"Anna", "me", subject, {}, 0}));
        QVERIFY(AddMessage(inbox, {"Anna", "me", "gelesen", {}, mfRead}));
        QVERIFY(AddMessage(inbox, {"Anna", "me", "weg", {}, 0, true}));
        for (const char* subject : {"raus", "auch raus"})
            QVERIFY(AddMessage(outbox, {"me", "you", subject, {}, 0}));
        QVERIFY(AddMessage(work, {"Kunde", "me", "Anfrage", {}, 0}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(TopLevelTexts(*frm->FolderTv).mid(0, 2), (QStringList{"Posteingang (3)", "Postausgang (2)"}));
        QVERIFY(frm->FolderTv->topLevelItem(0)->font(0).bold());
        QVERIFY(!frm->FolderTv->topLevelItem(1)->font(0).bold());
        QVERIFY(!frm->FolderTv->topLevelItem(2)->font(0).bold());
        // A collapsed parent counts what it hides.
        QTreeWidgetItem* workNode = FindNode(*frm->FolderTv, QStringLiteral("Kunden (1)"))->parent();
        workNode->setExpanded(false);
        QCOMPARE(workNode->text(0), QStringLiteral("Arbeit (1)"));
        QVERIFY(workNode->font(0).bold());
        workNode->setExpanded(true);
        QCOMPARE(workNode->text(0), QStringLiteral("Arbeit"));
        QVERIFY(!workNode->font(0).bold());
        QCOMPARE(frm->FolderCmb->itemText(0), QStringLiteral("Posteingang (3)"));
        QCOMPARE(frm->FolderCmb->findText(QStringLiteral("Kunden (1)")), frm->FolderCmb->count() - 1);
        frm->FolderTv->expandAll();
        SaveScreenshot(*frm, QStringLiteral("mainwindow-unread-counts"));

        // Reading a message counts down at once; a folder changed elsewhere is counted anew.
        frm->MessageLv->SelectRow(0);
        frm->Actions.MarkReadItm->trigger();
        QCOMPARE(frm->FolderTv->topLevelItem(0)->text(0), QStringLiteral("Posteingang (2)"));
        QVERIFY(AddMessage(work, {"Kunde", "me", "Nachfrage", {}, 0}));
        frm->RefreshCommandStates();
        QVERIFY(FindNode(*frm->FolderTv, QStringLiteral("Kunden (2)")));
        frm->Actions.MarkAllReadItm->trigger();
        QCOMPARE(frm->FolderTv->topLevelItem(0)->text(0), QStringLiteral("Posteingang"));
        QVERIFY(!frm->FolderTv->topLevelItem(0)->font(0).bold());
    }

    void garbledRegistryStillStarts()
    {
        FreshInstallation();
        QVERIFY(WriteBytes(m_registry->FilePath(), QByteArray("\xff\xfe[Users\n=\x01\x02garbage[[[\n", 24)));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->FolderTv->topLevelItemCount(), 5);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

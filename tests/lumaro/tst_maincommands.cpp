// The main window's commands driven offscreen: delete, drop, open and edit through a stand-in
// message window, the dialogs of folders, search, columns, tool bar and phrases, and pictures of
// every new window in both languages.

#include "DBAccountsFunctions.h"
#include "Draft.h"
#include "EditColumns.h"
#include "EnhListView.h"
#include "Find.h"
#include "FloskelnConf.h"
#include "FloskelnConf2.h"
#include "FolderChoose.h"
#include "FolderCreate.h"
#include "FolderFixture.h"
#include "FolderInfo.h"
#include "FolderSet.h"
#include "FormPlacement.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "MainWindowFixture.h"
#include "MessageCommands.h"
#include "ModalDialogs.h"
#include "PhraseFunctions.h"
#include "ProgramStart.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Settings.h"
#include "FilterLocalConf.h"
#include "MainSettings.h"
#include "Progress.h"
#include "Screenshot.h"
#include "ToolbarConf.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <vector>

using namespace LumaroTest;

namespace {

QByteArrayList Subjects(const QString& folder)
{
    QByteArrayList subjects;
    for (const TFolderMessage& message : EnumerateLiveMessages(FolderPaths(folder)))
        subjects.append(message.Index.Subject);
    return subjects;
}

// A stand-in for the message window: it writes its arguments to a file and, in edit mode, changes
// the subject of the work file and gives it a later modification time.
bool InstallFakeMessageWindow(bool saves)
{
    QDir().mkpath(Paths().Program.ModulesDir);
    const QString script = QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/arguments.txt\"\n")
        + (saves ? QStringLiteral("if [ \"$4\" = EDIT ]; then sed -i 's/^Subject: .*/Subject: edited/' \"$1\"; "
                                  "touch -d '+3 seconds' \"$1\"; fi\n")
                 : QString());
    QFile file(Paths().Program.LmviewExe);
    return file.open(QIODevice::WriteOnly) && file.write(script.toUtf8()) > 0
        && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList MessageWindowArguments()
{
    QFile file(Paths().Program.ModulesDir + "/arguments.txt");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

} // namespace

class TestMainCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;
    QStringList m_asked;
    QStringList m_confirmed;
    QString m_chosenFolder;

    void FreshInstallation(int language = 0)
    {
        m_registry = std::make_unique<ScopedRegistry>();
        m_programDir = std::make_unique<QTemporaryDir>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(language);
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        QVERIFY(QDir().mkpath(Paths().Data.SmtpDir));
        QVERIFY(QDir().mkpath(Paths().Data.SpoolDir));
        QVERIFY(QDir().mkpath(Paths().Data.PhrasesDir));
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Anna";
        account.SmtpAddress = "anna@example.org";
        account.Standard = true;
        QVERIFY(WriteAccount(0, account) > 0);
        for (const QString& folder : ListFolders() + QStringList{"Arbeit"})
            QVERIFY(CreateFolder(FolderPaths(folder)));
        for (const char* subject : {"eins", "zwei", "drei"})
            QVERIFY(AddMessage(FolderPaths(SpecialFolderName(TSpecialFolder::Inbox)), {"Anna", "Bert", subject, {}, 0}));
        m_asked.clear();
        m_confirmed.clear();
    }

    std::unique_ptr<TMainFrm> StartedWindow(bool defaultSize = false)
    {
        auto frm = std::make_unique<TMainFrm>(QStringList{});
        frm->Dialogs.AskYesNo = [this](const QString& text) {
            m_asked.append(text);
            return true;
        };
        frm->Dialogs.Inform = [this](const QString& text) { m_asked.append(text); };
        frm->Dialogs.Confirm = [this](const QString& text, bool&) {
            m_confirmed.append(text);
            return true;
        };
        frm->Dialogs.ChooseFolder = [this](const QString&) { return m_chosenFolder; };
        if (!defaultSize)
            frm->resize(1000, 560);
        return ShownMainWindow(std::move(frm));
    }

private slots:
    void cleanup()
    {
        m_registry.reset();
        m_programDir.reset();
    }

    void deleteMovesToTheTrashAndDeletesThereForGood()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->MessageLv->setFocus();
        frm->MessageLv->SelectRow(0);
        frm->Actions.DeleteItm->trigger();
        QCOMPARE(m_confirmed, QStringList{MessageText(51)});
        QCOMPARE(Subjects("Posteingang"), (QByteArrayList{"zwei", "drei"}));
        QCOMPARE(Subjects("Papierkorb"), QByteArrayList{"eins"});
        QCOMPARE(frm->MessageModel->rowCount(), 2);

        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(4));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Papierkorb"));
        frm->MessageLv->setFocus();
        frm->MessageLv->SelectRow(0);
        frm->Actions.DeleteItm->trigger();
        QVERIFY(Subjects("Papierkorb").isEmpty());
        QCOMPARE(QFileInfo(FolderPaths("Papierkorb").MessageFile).size(), 0);
        QCOMPARE(frm->MessageModel->rowCount(), 0);
    }

    void dropCopiesWithCtrlAndMovesWithout_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QByteArrayList>("inboxLeft");
        QTest::newRow("Ctrl copies") << int(Qt::ControlModifier) << QByteArrayList{"eins", "zwei", "drei"};
        QTest::newRow("no key moves") << int(Qt::NoModifier) << QByteArrayList{"zwei", "drei"};
    }

    void dropCopiesWithCtrlAndMovesWithout()
    {
        QFETCH(int, modifiers);
        QFETCH(QByteArrayList, inboxLeft);
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->MessageLv->SelectRow(0);
        QTreeWidgetItem* work = frm->FolderTv->topLevelItem(5);
        QCOMPARE(work->text(0), QStringLiteral("Arbeit"));
        const QPoint at = frm->FolderTv->visualItemRect(work).center();
        QMimeData data;
        data.setData(QStringLiteral("application/x-lumaro-messages"), "1");
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        const auto keys = Qt::KeyboardModifiers(modifiers);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(frm->FolderTv->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(frm->FolderTv->viewport(), &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(at, actions, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(frm->FolderTv->viewport(), &drop);
        QTRY_COMPARE(Subjects("Arbeit"), QByteArrayList{"eins"});
        QCOMPARE(Subjects("Posteingang"), inboxLeft);
        QCOMPARE(frm->MessageModel->rowCount(), int(inboxLeft.size()));
    }

    void moveToTheOwnFolderIsRefused()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->MessageLv->setFocus();
        frm->MessageLv->clearSelection();
        frm->MessageLv->SelectRow(1);
        m_chosenFolder = QStringLiteral("Posteingang");
        frm->Actions.MoveToItm->trigger();
        QCOMPARE(reports.Take().first().Id, MsgOwnFolder);
        QCOMPARE(Subjects("Posteingang"), (QByteArrayList{"eins", "zwei", "drei"}));
        m_chosenFolder = QStringLiteral("Arbeit");
        frm->Actions.CopyToItm->trigger();
        QCOMPARE(Subjects("Arbeit"), QByteArrayList{"zwei"});
        QCOMPARE(frm->MessageModel->rowCount(), 3);
    }

    void markingAllRead()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->Actions.MarkAllReadItm->trigger();
        QCOMPARE(frm->MessageLv->SelectedCount(), 3);
        for (const TFolderMessage& message : EnumerateLiveMessages(FolderPaths("Posteingang")))
            QVERIFY(message.Index.Flags & mfRead);
        frm->MessageLv->clearSelection();
        frm->MessageLv->SelectRow(2);
        frm->Actions.MarkUnreadItm->trigger();
        QCOMPARE(frm->MessageModel->Entry(2).Flags & mfRead, 0);
    }

    void openingShowsTheMessageAndMarksItRead()
    {
        FreshInstallation();
        QVERIFY(InstallFakeMessageWindow(false));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->MessageLv->clearSelection();
        frm->MessageLv->SelectRow(1);
        const TListEntry entry = frm->MessageModel->Entry(1);
        frm->Actions.OpenMessageItm->trigger();
        QCOMPARE(MessageWindowArguments(), (QStringList{FolderPaths("Posteingang").MessageFile,
                                                        QString::number(entry.Offset), QString::number(entry.Length)}));
        QVERIFY(ReadIndexRecord(FolderPaths("Posteingang").IndexFile, entry.Record)->Flags & mfRead);
        QVERIFY(!frm->Running.MessageWindow);
    }

    void editingInTheOutbox_data()
    {
        QTest::addColumn<bool>("saves");
        QTest::addColumn<QByteArrayList>("outbox");
        QTest::newRow("closed without saving") << false << QByteArrayList{"eins", "zwei"};
        QTest::newRow("saved") << true << QByteArrayList{"zwei", "edited"};
    }

    void editingInTheOutbox()
    {
        QFETCH(bool, saves);
        QFETCH(QByteArrayList, outbox);
        FreshInstallation();
        for (const char* subject : {"eins", "zwei"})
            QVERIFY(AddMessage(FolderPaths("Postausgang"), {"Anna", "Bert", subject, {}, 0}));
        QVERIFY(InstallFakeMessageWindow(saves));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(1));
        frm->MessageLv->SelectRow(0);
        frm->Actions.OpenMessageItm->trigger();
        QCOMPARE(MessageWindowArguments().value(3), QStringLiteral("EDIT"));
        QCOMPARE(Subjects("Postausgang"), outbox);
        QCOMPARE(frm->MessageModel->rowCount(), 2);
        if (saves)
            QCOMPARE(frm->MessageModel->Entry(frm->MessageLv->FocusedRow()).Record, 3);
        // The work file is gone either way.
        QVERIFY(QDir(Paths().Data.SmtpDir).entryList(QDir::Files).isEmpty());
    }

    void newMessageOffersTheTemplatesFromTheFileMenu()
    {
        FreshInstallation();
        QVERIFY(AddMessage(FolderPaths("Vorlagen"), {"Anna", "kunde@example.org", "Angebot", {}, 0}));
        QVERIFY(InstallFakeMessageWindow(true));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        WhenModal<QDialog>([](QDialog& dialog) {
            auto* chooser = qobject_cast<TDraftFrm*>(&dialog);
            QVERIFY(chooser);
            QCOMPARE(chooser->ListView->topLevelItemCount(), 1);
            QCOMPARE(chooser->ListView->topLevelItem(0)->text(0), QStringLiteral("Angebot"));
            SaveScreenshot(dialog, QStringLiteral("draft-de"));
            chooser->OKBtn->click();
        });
        frm->Actions.NewMessageItm->trigger();
        QCOMPARE(Subjects("Postausgang"), QByteArrayList{"edited"});
        const QList<TFolderMessage> outbox = EnumerateLiveMessages(FolderPaths("Postausgang"));
        QCOMPARE(outbox.first().Index.To, QByteArray("kunde@example.org"));
        QVERIFY(!QFile::exists(Paths().Data.SpoolDir + "/contact.txt"));
    }

    void folderDialogCreatesBelowTheChosenParent()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(5));
        WhenModal<QDialog>([](QDialog& dialog) {
            auto* create = qobject_cast<TFolderCreateFrm*>(&dialog);
            QVERIFY(create);
            QCOMPARE(create->FolderEdt->text(), QStringLiteral("Neuer Ordner"));
            QCOMPARE(create->ParentFolder(), QStringLiteral("Arbeit"));
            create->FolderEdt->clear();
            QVERIFY(!create->OKBtn->isEnabled());
            QTest::keyClicks(create->FolderEdt, QStringLiteral("Kunden"));
            create->OKBtn->click();
        });
        frm->Actions.FolderNewItm->trigger();
        QVERIFY(QFile::exists(FolderPaths("Arbeit$Kunden").MessageFile));
        QCOMPARE(frm->FolderTv->topLevelItem(5)->child(0)->text(0), QStringLiteral("Kunden"));
    }

    void searchFindsAndOpensAHit()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        TFindFrm find(frm.get());
        QStringList opened;
        find.OpenMessage = [&opened](const QString& folder, const TListEntry& entry) {
            opened.append(folder + QLatin1Char('/') + QString::number(entry.Record));
        };
        QStringList told;
        find.Inform = [&told](const QString& text) { told.append(text); };
        find.Setup({{"Posteingang", "Posteingang"}, {"Arbeit", "Arbeit"}}, "Arbeit");
        find.show();
        QVERIFY(!find.SearchBtn->isEnabled());
        QTest::keyClicks(find.FindEdt, QStringLiteral("ZWEI"));
        find.SearchBtn->click();
        QCOMPARE(told, QStringList{MessageText(72)});
        find.AllChk->setChecked(true);
        QVERIFY(!find.FolderCmb->isEnabled());
        find.SearchBtn->click();
        QCOMPARE(find.ListView->topLevelItemCount(), 1);
        QCOMPARE(find.ListView->topLevelItem(0)->text(3), QStringLiteral("zwei"));
        QVERIFY(find.OpenBtn->isEnabled());
        QVERIFY(!find.StopBtn->isVisible());
        SaveScreenshot(find, QStringLiteral("find-de"));
        find.OpenBtn->click();
        QCOMPARE(opened, QStringList{"Posteingang/2"});
    }

    void columnsDialogChangesTheList()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        WhenModal<QDialog>([](QDialog& dialog) {
            auto* columns = qobject_cast<TEditColumnsFrm*>(&dialog);
            QVERIFY(columns);
            QCOMPARE(columns->ColumnsLb->count(), 4);
            QVERIFY(!columns->UpBtn->isEnabled());
            columns->RemoveBtn->click();
            columns->RemoveBtn->click();
            columns->DownBtn->click();
            QCOMPARE(columns->Displayed(), (QStringList{"An", "Datum"}));
            columns->OKBtn->click();
        });
        frm->Actions.ColumnsItm->trigger();
        QCOMPARE(frm->Settings.ColumnCaptions, (QStringList{"An", "Datum"}));
        QCOMPARE(frm->MessageModel->columnCount(), 2);
        QCOMPARE(frm->MessageModel->index(0, 0).data().toString(), QStringLiteral("Bert"));
        // The new columns start without widths of the user's: they are fitted to their texts.
        QVERIFY(!frm->MessageLv->IsUserWidth(0));
        QVERIFY(frm->MessageLv->columnWidth(0) >= QFontMetrics(frm->MessageLv->font()).horizontalAdvance(QStringLiteral("Bert")));
    }

    void toolbarDialogTicksBecomeTheFlags()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        WhenModal<QDialog>([](QDialog& dialog) {
            auto* toolbar = qobject_cast<TToolbarFrm*>(&dialog);
            QVERIFY(toolbar);
            QCOMPARE(toolbar->Listbox->count(), 18);
            for (int i = 0; i < toolbar->Listbox->count(); ++i)
                toolbar->Listbox->item(i)->setCheckState(Qt::Unchecked);
            toolbar->OKBtn->click();
        });
        frm->Actions.ToolbarItm->trigger();
        QCOMPARE(frm->Settings.ToolbarVisible, QList<bool>(18, false));
        QCOMPARE(m_asked.last(), MessageText(55));
    }

    // The question before deleting a folder says how many messages go with it; a folder with
    // sub-folders cannot be deleted or renamed, and its properties say why Rename is not offered.
    void deletingAFolderSaysWhatIsLost_data()
    {
        QTest::addColumn<int>("messages");
        QTest::newRow("empty folder") << 0;
        QTest::newRow("folder with messages") << 3;
    }

    void deletingAFolderSaysWhatIsLost()
    {
        QFETCH(int, messages);
        FreshInstallation();
        for (int i = 0; i < messages; ++i)
            QVERIFY(AddMessage(FolderPaths("Arbeit"), {"Anna", "Bert", "alt", {}, 0}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->FolderTv->setFocus();
        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(5));
        frm->RefreshCommandStates();
        frm->Actions.FolderDeleteItm->trigger();
        const QString expected = messages == 0
            ? FillIn(MessageText(23), "Arbeit")
            : FillInEach(MessageText(413), {"Arbeit", QString::number(messages)});
        QCOMPARE(m_asked, QStringList{expected});
        QVERIFY(!QFile::exists(FolderPaths("Arbeit").MessageFile));
    }

    void aFolderWithSubFoldersKeepsItsName()
    {
        FreshInstallation();
        QVERIFY(CreateFolder(FolderPaths("Arbeit$Kunden")));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->FolderTv->setFocus();
        frm->FolderTv->setCurrentItem(frm->FolderTv->topLevelItem(5));
        frm->RefreshCommandStates();
        QVERIFY(!frm->Actions.FolderDeleteItm->isEnabled());
        QVERIFY(!frm->Actions.FolderRenameItm->isEnabled());
        bool shown = false;
        WhenModal<TFolderInfoFrm>([&](TFolderInfoFrm& info) {
            shown = true;
            QVERIFY(!info.RenameBtn->isEnabled());
            QVERIFY(info.RenameRefusalLbl->isVisible());
            QCOMPARE(info.RenameRefusalLbl->text(), MessageText(415));
            SaveScreenshot(info, "folderinfo-parent-de");
            info.CloseBtn->click();
        });
        frm->Actions.FolderPropertiesItm->trigger();
        QVERIFY(shown);
        QVERIFY(QFile::exists(FolderPaths("Arbeit").MessageFile));
    }

    // Changes made through the buttons of Preferences survive its OK: "execute automatically" set in
    // the filter dialog, and a signature added under Phrases, which the signature list offers at once.
    void preferencesKeepWhatItsButtonsChanged()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(!frm->Settings.General.AutoLocalFilter);
        QStringList signaturesAfterPhrases;
        WhenModal<TSettingsFrm>([&](TSettingsFrm& settings) {
            WhenModal<TFilterLocalConfFrm>([](TFilterLocalConfFrm& filter) {
                filter.AutoLocalFilterChk->setChecked(true);
                filter.OKBtn->click();
            });
            settings.FilterBtn->click();
            WhenModal<TFloskelnConfFrm>([](TFloskelnConfFrm& phrases) {
                QVERIFY(WritePhrase(SignatureCategory(), "Neu", "Anna Beispiel"));
                phrases.reject();
            });
            settings.PhrasesBtn->click();
            for (int i = 0; i < settings.SignatureCmb->count(); ++i)
                signaturesAfterPhrases.append(settings.SignatureCmb->itemText(i));
            settings.OKBtn->click();
        });
        frm->Actions.PreferencesItm->trigger();
        QVERIFY(frm->Settings.General.AutoLocalFilter);
        QVERIFY(LoadMainSettings(UserContext().Keys).General.AutoLocalFilter);
        QCOMPARE(signaturesAfterPhrases, (QStringList{QString(), "Neu"}));
    }

    // Update imports waiting mail as Receive does: through the progress window, with the count in the
    // status bar. Show Logfile without a log file and a missing address book program say so.
    void updateAndTheCommandsThatStartSomething()
    {
        FreshInstallation();
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(WriteBytes(Paths().Data.SpoolDir + "/pop_1.eml",
                           "From: Bert <bert@example.org>\r\nSubject: neu\r\n\r\nText\r\n"));
        QTest::keyClick(frm.get(), Qt::Key_F5);
        QCOMPARE(frm->ProgressFrm->Mode(), pmImportSpool);
        QCOMPARE(frm->StatusPanel1->text(), FillIn(MessageText(39), "1"));
        QCOMPARE(frm->MessageModel->rowCount(), 4);

        frm->Settings.General.LogActive = true;
        frm->RefreshCommandStates();
        frm->Actions.ShowLogfileItm->trigger();
        QCOMPARE(m_asked, QStringList{FillIn(MessageText(411), QDir::toNativeSeparators(Paths().Data.LogFile))});
        frm->Settings.General.LogActive = false;

        frm->Actions.AddressBookItm->trigger();
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 73);
    }

    // The message list's height is taken from the window when it closes.
    void listHeightIsStored()
    {
        FreshInstallation();
        ReportCapture reports;
        int height = 0;
        {
            auto frm = StartedWindow();
            QVERIFY(frm);
            height = frm->MessageLv->height();
        }
        QVERIFY(height > 0);
        QCOMPARE(LoadMainSettings(UserContext().Keys).Display.ListviewHeight, height);
    }

    void phraseManagerAddsAndRemoves()
    {
        FreshInstallation();
        ReportCapture reports;
        TFloskelnConfFrm manager;
        QStringList asked;
        manager.AskYesNo = [&asked](const QString& text) {
            asked.append(text);
            return true;
        };
        manager.show();
        QCOMPARE(manager.CurrentCategory(), QStringLiteral("Signaturen"));
        QVERIFY(!manager.EditBtn->isEnabled());
        WhenModal<QDialog>([](QDialog& dialog) {
            auto* editor = qobject_cast<TFloskelnConf2Frm*>(&dialog);
            QVERIFY(editor);
            QVERIFY(!editor->OKBtn->isEnabled());
            editor->FloskelNameEdt->setText(QStringLiteral("Gruß: kurz/knapp"));
            editor->FloskelMem->setPlainText(QStringLiteral("Viele Grüße"));
            QVERIFY(editor->OKBtn->isEnabled());
            editor->OKBtn->click();
        });
        manager.InsertBtn->click();
        QCOMPARE(manager.SelectedPhrase(), QStringLiteral("Gruß: kurz/knapp"));
        QVERIFY(QFile::exists(Paths().Data.PhrasesDir + "/Signaturen$Gruß$2$ kurz$4$knapp"));
        QCOMPARE(PhraseText("Signaturen", "Gruß: kurz/knapp"), QStringLiteral("Viele Grüße"));
        manager.DeleteBtn->click();
        QCOMPARE(asked, QStringList{MessageText(70)});
        QVERIFY(ScanPhrases().isEmpty());
        QVERIFY(!manager.DeleteBtn->isEnabled());
    }

    void qtDialogButtonsFollowTheLanguage()
    {
        SetLanguage(0);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text().remove('&'), QStringLiteral("Ja"));
        QCOMPARE(buttons.button(QDialogButtonBox::No)->text().remove('&'), QStringLiteral("Nein"));
    }

    void placementIsKeptOnTheScreen_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("fitted");
        const QRect screen(0, 0, 1280, 1024);
        QTest::newRow("inside stays") << QRect(10, 20, 800, 600) << QRect(10, 20, 800, 600);
        QTest::newRow("on a monitor that is gone") << QRect(2000, 100, 800, 600) << QRect(480, 100, 800, 600);
        QTest::newRow("above the top") << QRect(100, -300, 800, 600) << QRect(100, 0, 800, 600);
        QTest::newRow("larger than the screen") << QRect(-50, -50, 3000, 2000) << screen;
    }

    void placementIsKeptOnTheScreen()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, fitted);
        QCOMPARE(FittedOnScreen(window, QRect(0, 0, 1280, 1024)), fitted);
    }

    void sortIsRestoredAtStart()
    {
        FreshInstallation();
        TRegistryKey columns(UserSettingKeys(DefaultUserName).Columns);
        {
            ReportCapture reports;
            auto frm = StartedWindow();
            QVERIFY(frm);
            frm->MessageLv->header()->sectionClicked(1);
            frm->MessageLv->header()->sectionClicked(1);
            QCOMPARE(frm->MessageModel->index(0, 1).data().toString(), QStringLiteral("zwei"));
        }
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->MessageLv->SortColumn(), 1);
        QCOMPARE(frm->MessageLv->SortOrder(), Qt::DescendingOrder);
        QCOMPARE(frm->MessageModel->index(0, 1).data().toString(), QStringLiteral("zwei"));
    }

    void pictures_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("German") << 0 << "de";
        QTest::newRow("English") << 2 << "en";
    }

    // Every new window in both languages, for a person to look at; each must at least fit its texts.
    void pictures()
    {
        QFETCH(int, language);
        QFETCH(QString, suffix);
        FreshInstallation(language);
        QVERIFY(WritePhrase(SignatureCategory(), "Standard", "Anna"));
        ReportCapture reports;
        auto frm = StartedWindow(true);
        QVERIFY(frm);
        SaveScreenshot(*frm, "main-" + suffix);
        for (QAction* button : frm->Actions.ToolbarItems) {
            if (!button->isSeparator())
                QVERIFY2(frm->Actions.Toolbar->widgetForAction(button)->isVisible(), qPrintable(button->text()));
        }
        std::vector<std::unique_ptr<QDialog>> dialogs;
        auto create = std::make_unique<TFolderCreateFrm>();
        create->Setup(CreateFolderSetup(ListFolders(), "Arbeit"));
        dialogs.push_back(std::move(create));
        auto info = std::make_unique<TFolderInfoFrm>();
        info->Show(FolderInfoOf(SpecialFolderName(TSpecialFolder::Inbox)));
        dialogs.push_back(std::move(info));
        auto find = std::make_unique<TFindFrm>();
        find->Setup({{"Inbox", SpecialFolderName(TSpecialFolder::Inbox)}}, {});
        dialogs.push_back(std::move(find));
        auto columns = std::make_unique<TEditColumnsFrm>();
        columns->Setup(DefaultColumnCaptions(), DefaultColumnCaptions(), DefaultColumnCaptions());
        dialogs.push_back(std::move(columns));
        auto toolbar = std::make_unique<TToolbarFrm>();
        toolbar->Setup(frm->Actions.ToolbarItems, frm->Settings.ToolbarVisible);
        dialogs.push_back(std::move(toolbar));
        dialogs.push_back(std::make_unique<TFloskelnConfFrm>());
        auto editor = std::make_unique<TFloskelnConf2Frm>();
        editor->Setup(PhraseCategories(ScanPhrases()), SignatureCategory(), "Standard");
        dialogs.push_back(std::move(editor));
        auto draft = std::make_unique<TDraftFrm>();
        draft->Setup(FolderPaths(SpecialFolderName(TSpecialFolder::Inbox)));
        dialogs.push_back(std::move(draft));
        auto chooser = std::make_unique<TFolderChooseFrm>();
        chooser->Setup(*frm->FolderTv, frm->Actions.CopyToItm->text().remove('&'));
        dialogs.push_back(std::move(chooser));
        for (const auto& dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QVERIFY2(dialog->width() >= dialog->minimumSizeHint().width(), qPrintable(dialog->objectName()));
            QVERIFY2(!dialog->windowTitle().isEmpty(), qPrintable(dialog->objectName()));
            SaveScreenshot(*dialog, dialog->objectName() + "-" + suffix);
        }
    }
};

QTEST_MAIN(TestMainCommands)
#include "tst_maincommands.moc"

// TMainFrm: the folder commands (new, rename, delete, reorganise, properties, empty trash). The
// dialog rules live in FolderCommands, the storage in the folder set.

#include "Main.h"

#include "FolderCommands.h"
#include "FolderCreate.h"
#include "FolderInfo.h"
#include "MailboxHelpFunctions.h"
#include "Progress.h"
#include "StartupFunctions.h"
#include "tk_langlib.h"

#include <QTreeWidget>

namespace {

constexpr int MsgConfirmReorganize = 26;
constexpr int MsgReorganizing = 49;
constexpr int MsgConfirmEmptyTrash = 76;

} // namespace

void TMainFrm::ConnectFolderCommands()
{
    const TMainActions& a = Actions;
    connect(a.FolderNewItm, &QAction::triggered, this, &TMainFrm::FolderNewItmClick);
    connect(a.FolderRenameItm, &QAction::triggered, this, &TMainFrm::FolderRenameItmClick);
    connect(a.FolderDeleteItm, &QAction::triggered, this, &TMainFrm::FolderDeleteItmClick);
    connect(a.ReorganizeItm, &QAction::triggered, this, &TMainFrm::ReorganizeItmClick);
    connect(a.FolderPropertiesItm, &QAction::triggered, this, &TMainFrm::FolderPropertiesItmClick);
    connect(a.EmptyTrashItm, &QAction::triggered, this, &TMainFrm::EmptyTrashItmClick);
}

QString TMainFrm::SelectedFolder() const
{
    const QList<QTreeWidgetItem*> selected = FolderTv->selectedItems();
    return selected.isEmpty() ? m_currentFolder : selected.first()->data(0, Qt::UserRole).toString();
}

void TMainFrm::ReloadFolders()
{
    m_folders = ListFolders();
    if (!m_folders.contains(m_currentFolder))
        m_currentFolder.clear();
    BuildFolderTree();
}

void TMainFrm::FolderNewItmClick()
{
    TFolderCreateFrm dialog(this);
    const TFolderDialogSetup setup = CreateFolderSetup(m_folders, SelectedFolder());
    dialog.Setup(setup);
    if (dialog.exec() == QDialog::Accepted && ApplyFolderDialog(setup, dialog.FolderName(), dialog.ParentFolder()))
        ReloadFolders();
}

void TMainFrm::FolderRenameItmClick()
{
    const QString folder = SelectedFolder();
    if (!m_states.RenameFolder || IsSpecialFolder(folder))
        return;
    TFolderCreateFrm dialog(this);
    const TFolderDialogSetup setup = RenameFolderSetup(m_folders, folder);
    dialog.Setup(setup);
    if (dialog.exec() != QDialog::Accepted || !ApplyFolderDialog(setup, dialog.FolderName(), dialog.ParentFolder()))
        return;
    if (m_currentFolder == folder)
        m_currentFolder.clear();
    ReloadFolders();
}

void TMainFrm::FolderDeleteItmClick()
{
    const QString folder = SelectedFolder();
    if (!m_states.DeleteFolder || IsSpecialFolder(folder))
        return;
    // The folder set asks message 23; the question says what is lost with the folder.
    const int messages = DisplayedMessageCount(FolderPaths(folder));
    const auto confirm = [this, folder, messages](int, const QString&) {
        return Dialogs.AskYesNo(DeleteFolderQuestion(folder, messages)) ? TConfirmResult::Yes : TConfirmResult::No;
    };
    DeleteFolder(folder, confirm);
    ReloadFolders();
}

void TMainFrm::ReorganizeItmClick()
{
    const QString folder = SelectedFolder();
    const QString displayName = FolderDisplayName(folder);
    if (folder.isEmpty() || !Dialogs.AskYesNo(FillIn(MessageText(MsgConfirmReorganize), displayName)))
        return;
    const TFolderFiles files = FolderPaths(folder);
    ProgressFrm->Execute(FillIn(MessageText(MsgReorganizing), displayName), pmReorganize,
                         [files, displayName] { ReorganizeFolder(files, displayName); });
    if (folder == m_currentFolder)
        ActivateFolder();
    else
        RefreshCommandStates();
}

void TMainFrm::FolderPropertiesItmClick()
{
    const QString folder = SelectedFolder();
    if (folder.isEmpty())
        return;
    TFolderInfoFrm info(this);
    info.Show(FolderInfoOf(folder, m_folders));
    const int result = info.exec();
    if (result == TFolderInfoFrm::ReorganizeChosen)
        ReorganizeItmClick();
    else if (result == TFolderInfoFrm::RenameChosen)
        FolderRenameItmClick();
}

void TMainFrm::EmptyTrashItmClick()
{
    if (Settings.Warnings.EmptyTheTrash
        && !Dialogs.Confirm(MessageText(MsgConfirmEmptyTrash), Settings.Warnings.EmptyTheTrash))
        return;
    EmptyTrash();
    ActivateFolder();
}

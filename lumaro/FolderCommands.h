#pragma once
// The folder dialogs of the main window as data: what the create and rename dialogs show, when their
// OK button is enabled and what OK does, and the figures of the folder properties.

#include "FolderSet.h"

#include <QString>
#include <QStringList>

enum class TFolderDialogKind { Create, Rename };

struct TFolderDialogSetup {
    TFolderDialogKind Kind = TFolderDialogKind::Create;
    QString Caption;
    QString OkCaption;
    QString Name;
    // The top-level user folders offered below the root node, in tree order.
    QStringList Parents;
    // The preselected parent; empty for the root.
    QString Parent;
    // The folder renamed (its file name); empty when creating.
    QString Folder;
};

// The create dialog: prefilled with message 41, starting on `selectedFolder` when that is a top-level
// user folder, else on the root.
TFolderDialogSetup CreateFolderSetup(const QStringList& folders, const QString& selectedFolder);
// The rename dialog for the user folder `folderName`: its name, its parent preselected, its own node
// left out of the parents.
TFolderDialogSetup RenameFolderSetup(const QStringList& folders, const QString& folderName);

bool FolderDialogOkEnabled(const QString& name);
// Creates or renames by the folder set's rules (reports 42, 43 or 20 when refused).
bool ApplyFolderDialog(const TFolderDialogSetup& setup, const QString& name, const QString& parent);

// The sub-folders of the top-level folder `folderName` in the folder list.
int ChildFolderCount(const QStringList& folders, const QString& folderName);
// The question before deleting a folder: message 23, or 413 with the number of messages lost with it.
QString DeleteFolderQuestion(const QString& folderName, int messages);

// What the folder properties show.
struct TFolderInfo {
    QString Caption;
    qint64 Size = 0;
    qint32 Records = 0;
    qint32 Displayed = 0;
    qint32 Deleted = 0;
    bool RenameAllowed = false;
    // Why Rename is not offered for a user folder (message 415 for one with sub-folders).
    QString RenameRefusal;
};

TFolderInfo FolderInfoOf(const QString& folderName, const QStringList& folders = ListFolders());

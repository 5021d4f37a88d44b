#pragma once
// The folder set of the active user: the ".mbx" files of the folder directory (Paths().Data.MailDir)
// are the folders; five special folders named in the user's language always come first. A folder
// below a top-level folder has the file name parent + "$" + name; there is one level only. This unit
// holds the naming rules, the folder list and tree data, and the storage side of the folder commands;
// dialogs and the tree widget belong to the main window.

#include "DBMailboxFunctions.h"
#include "MailboxHelpFunctions.h"

#include <QList>
#include <QString>
#include <QStringList>

// In the order the folder list puts them.
enum class TSpecialFolder { Inbox, Outbox, Templates, Sent, Trash };
inline constexpr int SpecialFolderCount = 5;

// The name in the active language (texts 4, 5, 6, 7 and 75).
QString SpecialFolderName(TSpecialFolder folder);
TFolderFiles SpecialFolderPaths(TSpecialFolder folder);
// The folder is the active user's Outbox, the queue of messages waiting to be sent.
bool IsOutbox(const TFolderFiles& folder);
// Equal to a special folder's name in the active language, in any letter case.
bool IsSpecialFolder(const QString& name);
// Whether the special folder at `index` (0-4, list order) may be created as an empty folder under its
// name in the active language: not while the folder directory holds it under the other language's
// name. That is the same folder, and a program reading another language setting than the one the
// folders were named in (the language selector renames them) must not add an empty set beside it.
bool MayCreateSpecialFolder(qsizetype index);

// The special folders, then every other folder file name of the folder directory, sorted without
// regard to case.
QStringList ListFolders();

// A node of the folder tree: its text and the folder file name it stands for.
struct TFolderNode {
    QString Text;
    QString FileName;
    QList<TFolderNode> Children;
};

QList<TFolderNode> FolderTree(const QStringList& folderList);
// The text a folder shows under: the part after the parent's "$", or the whole file name.
QString FolderDisplayName(const QString& folderFileName);
// ? : \ / * written as $1$ ... $5$.
QString EscapeFolderName(const QString& name);

// Creates the empty folder `name` below `parent` (empty for the top level). Refusals report 42 (bad
// characters), 43 (name already shown) or 20 (file exists, disk error).
bool CreateFolder(const QString& name, const QString& parent = {});
// Renames a folder (both files); refusals report 42, 43 or 20 as CreateFolder does.
bool RenameFolder(const QString& currentFileName, const QString& newName, const QString& parent = {});
// Deletes the folder's files after `confirm` answered message 23 with Yes; its child folders stay.
// An index that cannot be deleted is warned about and ends the command; a message file that cannot
// be deleted reports 13.
bool DeleteFolder(const QString& folderFileName, const TConfirm& confirm);
// Asks message 26, shows 49 while it compacts the folder (see ReorganizeFolder).
bool ReorganizeFolderCommand(const QString& folderFileName, const TConfirm& confirm);

// Every message of the Trash, deleted or not, is gone afterwards.
bool EmptyTrash();
// With `askFirst` (the EmptyTheTrash warning setting) the trash is emptied only after Yes to 76.
bool EmptyTrashCommand(bool askFirst, const TConfirm& confirm);

struct TFolderState {
    qint64 Size = 0;
    qint32 Physical = 0;
    qint32 Deleted = 0;
    qint32 Live = 0;
};

TFolderState FolderState(const QString& folderFileName);

// The start-up check over the folder list: message 10 per folder, message 3 and the repair for every
// folder that is not sound (RepairFolder). Message files of the special folders, the first five
// entries, are created when missing.
void CheckAllFolders(const QStringList& folderList);

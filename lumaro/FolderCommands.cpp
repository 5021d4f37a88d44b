#include "FolderCommands.h"

#include "TreeviewFunctions.h"
#include "tk_langlib.h"

#include <algorithm>

namespace {

constexpr int MsgFolder = 8;
constexpr int MsgCreate = 18;
constexpr int MsgRename = 19;
constexpr int MsgConfirmDelete = 23;
constexpr int MsgNewFolder = 41;
constexpr int MsgConfirmDeleteMessages = 413;
constexpr int MsgNoRenameWithChildren = 415;

// "Ordner: Anlegen" from "Ordner" and "&Anlegen".
QString DialogCaption(int commandMessage)
{
    return MessageText(MsgFolder) + QStringLiteral(": ") + MessageText(commandMessage).mid(1);
}

QStringList TopLevelUserFolders(const QStringList& folders)
{
    QStringList parents;
    const QList<TFolderTreeNode> tree = BuildFolderTree(folders);
    for (qsizetype i = SpecialFolderCount; i < tree.size(); ++i)
        parents.append(tree[i].FolderName);
    return parents;
}

QString ParentOf(const QString& folderName)
{
    const qsizetype dollar = folderName.indexOf(QLatin1Char('$'));
    return dollar > 0 && dollar < folderName.size() - 1 ? folderName.left(dollar) : QString();
}

} // namespace

TFolderDialogSetup CreateFolderSetup(const QStringList& folders, const QString& selectedFolder)
{
    TFolderDialogSetup setup;
    setup.Caption = DialogCaption(MsgCreate);
    setup.OkCaption = MessageText(MsgCreate);
    setup.Name = MessageText(MsgNewFolder);
    setup.Parents = TopLevelUserFolders(folders);
    if (setup.Parents.contains(selectedFolder))
        setup.Parent = selectedFolder;
    return setup;
}

TFolderDialogSetup RenameFolderSetup(const QStringList& folders, const QString& folderName)
{
    TFolderDialogSetup setup;
    setup.Kind = TFolderDialogKind::Rename;
    setup.Caption = DialogCaption(MsgRename);
    setup.OkCaption = MessageText(MsgRename);
    setup.Name = FolderDisplayName(folderName);
    setup.Parents = TopLevelUserFolders(folders);
    setup.Parents.removeAll(folderName);
    setup.Parent = ParentOf(folderName);
    setup.Folder = folderName;
    return setup;
}

bool FolderDialogOkEnabled(const QString& name)
{
    return !name.isEmpty();
}

bool ApplyFolderDialog(const TFolderDialogSetup& setup, const QString& name, const QString& parent)
{
    if (setup.Kind == TFolderDialogKind::Create)
        return CreateFolder(name, parent);
    return RenameFolder(setup.Folder, name, parent);
}

int ChildFolderCount(const QStringList& folders, const QString& folderName)
{
    if (folderName.contains(QLatin1Char('$')))
        return 0;
    const QString prefix = folderName + QLatin1Char('$');
    return int(std::count_if(folders.cbegin(), folders.cend(),
                             [&](const QString& name) { return name.startsWith(prefix, Qt::CaseInsensitive); }));
}

QString DeleteFolderQuestion(const QString& folderName, int messages)
{
    const QString name = FolderDisplayName(folderName);
    if (messages <= 0)
        return FillIn(MessageText(MsgConfirmDelete), name);
    return FillInEach(MessageText(MsgConfirmDeleteMessages), {name, QString::number(messages)});
}

TFolderInfo FolderInfoOf(const QString& folderName, const QStringList& folders)
{
    const TFolderState state = FolderState(folderName);
    TFolderInfo info;
    info.Caption = FolderDisplayName(folderName);
    info.Size = state.Size;
    info.Records = state.Physical;
    info.Displayed = state.Live;
    info.Deleted = state.Deleted;
    const bool hasChildren = ChildFolderCount(folders, folderName) > 0;
    info.RenameAllowed = !IsSpecialFolder(folderName) && !hasChildren;
    if (hasChildren)
        info.RenameRefusal = MessageText(MsgNoRenameWithChildren);
    return info;
}

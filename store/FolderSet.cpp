#include "FolderSet.h"

#include "Konstanten.h"
#include "Reporter.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, SpecialFolderCount> SpecialFolderTextIds{4, 5, 6, 7, 75};
constexpr int EnglishTextOffset = 1000;

constexpr int MsgFixingFolder = 3;
constexpr int MsgCheckingFolder = 10;
constexpr int MsgErrorDeleting = 13;
constexpr int MsgCouldNotCreate = 20;
constexpr int MsgConfirmDelete = 23;
constexpr int MsgConfirmReorganize = 26;
constexpr int MsgBadCharacters = 42;
constexpr int MsgNameNotUnique = 43;
constexpr int MsgReorganizing = 49;
constexpr int MsgConfirmEmptyTrash = 76;

const QString FolderSeparatorChar = QStringLiteral("$");

QString ChildFileName(const QString& name, const QString& parent)
{
    return parent.isEmpty() ? name : parent + FolderSeparatorChar + name;
}

// An empty name or one starting with "." would make a hidden file that the folder list never shows.
bool IsAllowedFolderName(const QString& name)
{
    const QString escaped = EscapeFolderName(name);
    return !escaped.isEmpty() && !escaped.startsWith(QLatin1Char('.')) && !escaped.contains(QLatin1Char('$'))
        && !escaped.contains(QLatin1Char('('));
}

bool IsShownIn(const QList<TFolderNode>& nodes, const QString& name, const QString& except)
{
    return std::any_of(nodes.cbegin(), nodes.cend(), [&](const TFolderNode& node) {
        const bool same = node.FileName != except && node.Text.compare(name, Qt::CaseInsensitive) == 0;
        return same || IsShownIn(node.Children, name, except);
    });
}

bool IsShownInTree(const QString& name, const QString& except = {})
{
    return IsShownIn(FolderTree(ListFolders()), name, except);
}

bool FolderFilesExist(const TFolderFiles& files)
{
    return QFileInfo::exists(files.MessageFile) || QFileInfo::exists(files.IndexFile);
}

bool RenameFolderFiles(const TFolderFiles& from, const TFolderFiles& to)
{
    if (!QFile::rename(from.MessageFile, to.MessageFile))
        return false;
    if (QFile::rename(from.IndexFile, to.IndexFile))
        return true;
    QFile::rename(to.MessageFile, from.MessageFile);
    return false;
}

TFolderNode& TopNode(QList<TFolderNode>& tree, const QString& text)
{
    for (TFolderNode& node : tree) {
        if (node.Text == text)
            return node;
    }
    tree.append(TFolderNode{text, text, {}});
    return tree.last();
}

} // namespace

QString SpecialFolderName(TSpecialFolder folder)
{
    return MessageText(SpecialFolderTextIds.at(size_t(folder)));
}

TFolderFiles SpecialFolderPaths(TSpecialFolder folder)
{
    return FolderPaths(SpecialFolderName(folder));
}

bool IsOutbox(const TFolderFiles& folder)
{
    return folder.MessageFile == SpecialFolderPaths(TSpecialFolder::Outbox).MessageFile;
}

bool IsSpecialFolder(const QString& name)
{
    return std::any_of(SpecialFolderTextIds.cbegin(), SpecialFolderTextIds.cend(),
                       [&](int id) { return MessageText(id).compare(name, Qt::CaseInsensitive) == 0; });
}

bool MayCreateSpecialFolder(qsizetype index)
{
    if (index < 0 || index >= SpecialFolderCount)
        return false;
    const int id = SpecialFolderTextIds.at(size_t(index));
    const QString otherName = StringTableText(IsEnglish() ? id : id + EnglishTextOffset);
    return otherName.isEmpty() || otherName == SpecialFolderName(TSpecialFolder(index))
        || !QFileInfo::exists(FolderPaths(otherName).MessageFile);
}

QStringList ListFolders()
{
    QStringList folders;
    const QDir dir(Paths().Data.MailDir);
    for (QString name : dir.entryList({QStringLiteral("*.mbx")}, QDir::Files)) {
        name.chop(4);
        if (!IsSpecialFolder(name))
            folders.append(name);
    }
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (int i = SpecialFolderCount - 1; i >= 0; --i)
        folders.prepend(SpecialFolderName(TSpecialFolder(i)));
    return folders;
}

QList<TFolderNode> FolderTree(const QStringList& folderList)
{
    QList<TFolderNode> tree;
    for (qsizetype i = 0; i < std::min<qsizetype>(SpecialFolderCount, folderList.size()); ++i)
        tree.append(TFolderNode{folderList[i], folderList[i], {}});
    for (qsizetype i = SpecialFolderCount; i < folderList.size(); ++i) {
        const QString& fileName = folderList[i];
        const qsizetype dollar = fileName.indexOf(FolderSeparatorChar);
        if (dollar < 0) {
            TopNode(tree, fileName);
            continue;
        }
        TFolderNode& parent = TopNode(tree, fileName.left(dollar));
        parent.Children.append(TFolderNode{fileName.mid(dollar + 1), parent.Text + FolderSeparatorChar + fileName.mid(dollar + 1), {}});
    }
    return tree;
}

QString FolderDisplayName(const QString& folderFileName)
{
    const qsizetype dollar = folderFileName.indexOf(FolderSeparatorChar);
    return dollar < 0 ? folderFileName : folderFileName.mid(dollar + 1);
}

QString EscapeFolderName(const QString& name)
{
    static const QString reserved = QStringLiteral("?:\\/*");
    QString escaped;
    for (const QChar c : name) {
        const qsizetype index = reserved.indexOf(c);
        escaped += index < 0 ? QString(c) : QStringLiteral("$%1$").arg(index + 1);
    }
    return escaped;
}

bool CreateFolder(const QString& name, const QString& parent)
{
    if (!IsAllowedFolderName(name)) {
        Report(MsgBadCharacters, TMessageKind::Warning);
        return false;
    }
    if (IsShownInTree(name)) {
        Report(MsgNameNotUnique, TMessageKind::Warning);
        return false;
    }
    const TFolderFiles files = FolderPaths(ChildFileName(name, parent));
    if (!QFileInfo::exists(files.MessageFile) && CreateEmptyMessageFile(files.MessageFile)) {
        if (CreateIndex(files.IndexFile))
            return true;
        QFile::remove(files.MessageFile);
    }
    Report(MsgCouldNotCreate, TMessageKind::Warning, name);
    return false;
}

bool RenameFolder(const QString& currentFileName, const QString& newName, const QString& parent)
{
    if (!IsAllowedFolderName(newName)) {
        Report(MsgBadCharacters, TMessageKind::Warning);
        return false;
    }
    const QString newFileName = ChildFileName(newName, parent);
    if (newFileName == currentFileName)
        return true;
    const bool caseOnly = newFileName.compare(currentFileName, Qt::CaseInsensitive) == 0;
    const TFolderFiles from = FolderPaths(currentFileName);
    const TFolderFiles to = FolderPaths(newFileName);
    if (caseOnly || !FolderFilesExist(to)) {
        if (!caseOnly && IsShownInTree(newName, currentFileName)) {
            Report(MsgNameNotUnique, TMessageKind::Warning);
            return false;
        }
        if (RenameFolderFiles(from, to))
            return true;
    }
    Report(MsgCouldNotCreate, TMessageKind::Warning, FolderDisplayName(currentFileName));
    return false;
}

bool DeleteFolder(const QString& folderFileName, const TConfirm& confirm)
{
    // Only Yes deletes: Cancel or closing the question must not lose a folder.
    if (confirm(MsgConfirmDelete, FolderDisplayName(folderFileName)) != TConfirmResult::Yes)
        return false;
    const TFolderFiles files = FolderPaths(folderFileName);
    if (!DeleteFileWarn(files.IndexFile))
        return false;
    if (!QFile::remove(files.MessageFile)) {
        Report(MsgErrorDeleting, TMessageKind::Information);
        return false;
    }
    return true;
}

bool ReorganizeFolderCommand(const QString& folderFileName, const TConfirm& confirm)
{
    const QString displayName = FolderDisplayName(folderFileName);
    if (confirm(MsgConfirmReorganize, displayName) != TConfirmResult::Yes)
        return false;
    Report(MsgReorganizing, TMessageKind::Information, displayName);
    return ReorganizeFolder(FolderPaths(folderFileName), displayName);
}

bool EmptyTrash()
{
    const TFolderFiles trash = SpecialFolderPaths(TSpecialFolder::Trash);
    return CreateEmptyMessageFile(trash.MessageFile) && CreateIndex(trash.IndexFile);
}

bool EmptyTrashCommand(bool askFirst, const TConfirm& confirm)
{
    if (askFirst && confirm(MsgConfirmEmptyTrash, {}) != TConfirmResult::Yes)
        return false;
    return EmptyTrash();
}

TFolderState FolderState(const QString& folderFileName)
{
    const TFolderFiles files = FolderPaths(folderFileName);
    TFolderState state;
    state.Size = QFileInfo(files.MessageFile).size();
    state.Physical = CountMessages(files.IndexFile, false);
    state.Live = CountMessages(files.IndexFile, true);
    state.Deleted = state.Physical - state.Live;
    return state;
}

void CheckAllFolders(const QStringList& folderList)
{
    for (qsizetype i = 0; i < folderList.size(); ++i) {
        const QString displayName = FolderDisplayName(folderList[i]);
        Report(MsgCheckingFolder, TMessageKind::Information, displayName);
        const TFolderFiles files = FolderPaths(folderList[i]);
        FinishInterruptedReorganize(files);
        // Created before the index is looked at, so that a new special folder needs no rebuild
        // message about its missing message file.
        if (i < SpecialFolderCount && !QFileInfo::exists(files.MessageFile)) {
            if (!MayCreateSpecialFolder(i))
                continue;
            CreateEmptyMessageFile(files.MessageFile);
        }
        if (CheckIndexHealth(files) != TIndexHealth::Sound) {
            Report(MsgFixingFolder, TMessageKind::Information, displayName);
            RepairFolder(files);
        }
    }
}

#include "TreeviewFunctions.h"

#include "DBMailboxFunctions.h"

#include <QFile>

#include <array>
#include <sys/stat.h>

namespace {

constexpr int SpecialCount = 5;
constexpr std::array<int, SpecialCount> SpecialImages{tiInbox, tiOutbox, tiSentTemplates, tiSentTemplates, tiTrash};

TFolderTreeNode* FindTopNode(QList<TFolderTreeNode>& tree, const QString& text)
{
    for (TFolderTreeNode& node : tree) {
        if (node.Text.compare(text, Qt::CaseInsensitive) == 0)
            return &node;
    }
    return nullptr;
}

TFolderTreeNode& TopNode(QList<TFolderTreeNode>& tree, const QString& text)
{
    if (TFolderTreeNode* node = FindTopNode(tree, text))
        return *node;
    tree.append(TFolderTreeNode{text, text, tiFolder, {}});
    return tree.last();
}

// Position of the "$" that separates parent and child, or -1 for a top-level name.
qsizetype ChildSeparator(const QString& name)
{
    const qsizetype dollar = name.indexOf(QLatin1Char('$'));
    return dollar > 0 && dollar < name.size() - 1 ? dollar : -1;
}

} // namespace

QList<TFolderTreeNode> BuildFolderTree(const QStringList& folders)
{
    QList<TFolderTreeNode> tree;
    for (qsizetype i = 0; i < std::min<qsizetype>(SpecialCount, folders.size()); ++i)
        tree.append(TFolderTreeNode{folders[i], folders[i], SpecialImages[size_t(i)], {}});
    for (qsizetype i = SpecialCount; i < folders.size(); ++i) {
        const QString& name = folders[i];
        const qsizetype dollar = ChildSeparator(name);
        if (dollar < 0) {
            TopNode(tree, name);
            continue;
        }
        // The node keeps the real file name: on disk names compare case-sensitively, while the
        // parent is found in any letter case.
        TopNode(tree, name.left(dollar)).Children.append(TFolderTreeNode{name.mid(dollar + 1), name, tiFolder, {}});
    }
    return tree;
}

QString OutboxCaption(const QString& outboxName, int messageCount)
{
    return FolderCaption(outboxName, messageCount);
}

QString FolderCaption(const QString& name, int count)
{
    if (count < 1)
        return name;
    return QStringLiteral("%1 (%2)").arg(name).arg(count);
}

int CountUnreadMessages(const QString& indexPath)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(IndexRecordSize);
    if (header.size() != IndexRecordSize || detail::DecodeIndexRecord(header).Subject != IndexFormatMark)
        return 0;
    // In pieces of whole records, so that a large folder never sits in memory twice.
    constexpr qint64 RecordsPerPiece = 4096;
    QByteArray piece(RecordsPerPiece * IndexRecordSize, Qt::Uninitialized);
    int unread = 0;
    for (;;) {
        const qint64 read = file.read(piece.data(), piece.size());
        if (read < IndexRecordSize)
            break;
        for (qint64 at = 0; at + IndexRecordSize <= read; at += IndexRecordSize) {
            const detail::TIndexRecordView record(piece.constData() + at);
            if (!record.Deleted() && (record.Flags() & mfRead) == 0)
                ++unread;
        }
        // A torn record at the end of the index is no message.
        if (read % IndexRecordSize != 0)
            break;
    }
    return unread;
}

int TUnreadCounts::Of(const QString& indexPath)
{
    struct stat info {};
    if (::stat(QFile::encodeName(indexPath).constData(), &info) != 0)
        return 0;
    const qint64 changed = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    TKnown& known = m_known[indexPath];
    if (known.Size != info.st_size || known.Changed != changed)
        known = TKnown{info.st_size, changed, CountUnreadMessages(indexPath)};
    return known.Unread;
}

int ComboImageOf(const QString& text, const QStringList& specialNames)
{
    auto startsWith = [&](int special) {
        return special < specialNames.size() && text.startsWith(specialNames[special]);
    };
    if (startsWith(0))
        return tiInbox;
    if (startsWith(1))
        return tiOutbox;
    if (startsWith(2) || startsWith(3))
        return tiSentTemplates;
    if (startsWith(4))
        return tiTrash;
    return tiFolder;
}

QList<QPair<QString, QString>> ComboEntries(const QList<TFolderTreeNode>& tree)
{
    QList<QPair<QString, QString>> entries;
    for (const TFolderTreeNode& node : tree) {
        entries.append({node.Text, node.FolderName});
        for (const TFolderTreeNode& child : node.Children)
            entries.append({child.Text, child.FolderName});
    }
    return entries;
}

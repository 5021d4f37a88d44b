#pragma once
// The folder tree of the main window as data: built from the folder list (five special folders
// first, then the others with "parent$child" names for sub-folders), with the image of each node.
// The window turns it into tree items and combo box entries.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

enum TTreeImage { tiInbox = 0, tiOutbox = 1, tiFolder = 2, tiSentTemplates = 3, tiRoot = 4, tiTrash = 5 };

struct TFolderTreeNode {
    QString Text;
    // The folder file name the node stands for.
    QString FolderName;
    int Image = tiFolder;
    QList<TFolderTreeNode> Children;
};

// `folders` begins with the five special folders in the order Inbox, Outbox, Templates, Sent, Trash.
// A further name without "$" becomes a top-level node unless one of that text exists (in any letter
// case); "parent$child" goes below the node "parent", which is created when missing. A name whose
// "$" is its first or last character has no parent and stands at the top level as it is.
QList<TFolderTreeNode> BuildFolderTree(const QStringList& folders);

// "Outbox (3)" with 3 messages, just "Outbox" with none.
QString OutboxCaption(const QString& outboxName, int messageCount);
// A folder's node text: its name, and its count in brackets when there is one ("Inbox (3)" with three
// unread messages; the Outbox counts the messages waiting to be sent).
QString FolderCaption(const QString& name, int count);

// The live messages of a folder not marked read, counted in its index; 0 when the index cannot be
// read or is outdated.
int CountUnreadMessages(const QString& indexPath);

// Unread counts of folders, counted again only when an index file changed (its size or the time it
// was written). Folders are not watched: a count is as fresh as the last call for it.
class TUnreadCounts {
public:
    int Of(const QString& indexPath);

private:
    struct TKnown {
        qint64 Size = -1;
        qint64 Changed = 0;
        int Unread = 0;
    };
    QHash<QString, TKnown> m_known;
};

// The image of a combo box entry of display text `text`, given the special folder names in order.
int ComboImageOf(const QString& text, const QStringList& specialNames);

// Every folder of the tree in tree order, as (display name, folder name) pairs for the combo box.
QList<QPair<QString, QString>> ComboEntries(const QList<TFolderTreeNode>& tree);

#pragma once
// Finding messages: the stored text of every displayed message of a folder is searched for a text
// without regard to the case of the letters a to z. Besides the raw stored text, a message can be
// searched as a reader sees it: the decoded subject, sender and recipient and the decoded text parts
// (quoted-printable and base64 undone, HTML tags left out), so that a word inside a base64 part is
// found too.

#include "DBMailboxFunctions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <functional>

// A substring search that folds a-z to A-Z on both sides (Boyer-Moore-Horspool on folded bytes).
class TTextFinder {
public:
    explicit TTextFinder(QByteArrayView text);
    bool IsEmpty() const { return m_text.isEmpty(); }
    bool FoundIn(QByteArrayView haystack) const;

private:
    QByteArray m_text;
    std::array<qsizetype, 256> m_shift{};
};

enum class TSearchMode { Raw, Decoded };

struct TSearchHit {
    // The folder file name (not the display name: two sub-folders may share one).
    QString Folder;
    TListEntry Entry;
    TIndexRecord Record;
};

// Called between messages; returning false ends the search early.
using TKeepSearching = std::function<bool()>;

// The hits among the displayed messages of `folderName` in record order. Deleted records, records
// that cannot be read and messages outside the message file are never listed.
QList<TSearchHit> SearchFolder(const QString& folderName, const TFolderFiles& files, const TTextFinder& finder,
                               TSearchMode mode, const TKeepSearching& keepSearching = {});

// The text a decoded search looks at: decoded subject, sender and recipient header lines, then the
// decoded text parts (converted to UTF-8), each followed by a line end.
QByteArray DecodedSearchText(QByteArrayView message);

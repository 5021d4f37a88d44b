#pragma once
// Folder files (FolderRecords, FolderAppend, FolderRead, FolderCopy, FolderDelete, FolderRebuild,
// FolderCompaction): a folder N is the message file N.mbx, every message behind the 7-byte separator
// line "From " CR LF, and the index file N.idx of 192-byte little-endian records, record 0 being the
// header with the format mark "LM104" and the count of records marked deleted. Deleting only marks
// records; reorganizing removes the marked messages. Every function opens its files, works and
// closes them again; failures come back as false, 0 or nothing and never as exceptions. Only the
// functions that say so report messages to the user.

#include "qmdates.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

class TqmMessage;

inline constexpr qsizetype IndexRecordSize = 192;
inline constexpr QByteArrayView FolderSeparator = "From \r\n";
inline constexpr QByteArrayView IndexFormatMark = "LM104";
// Offsets and lengths in the index are signed 32-bit numbers.
inline constexpr qint64 MaxMessageFileSize = 0x7fffffff;

enum TMessageFlag : qint32 { mfRead = 1, mfAttachments = 2, mfHeld = 4 };

// One index record. In the header only DeletedCount and the mark (in Subject) mean anything.
struct TIndexRecord {
    qint32 Offset = 0;
    qint32 Length = 0;
    qint32 Flags = 0;
    bool Deleted = false;
    qint32 DeletedCount = 0;
    TDateTime Date = 0;
    QByteArray From;
    QByteArray To;
    QByteArray Subject;
};

// What the message list keeps per row of a folder.
struct TListEntry {
    qint32 Record = 0;
    qint32 Offset = 0;
    qint32 Length = 0;
    qint32 Flags = 0;
};

struct TFolderMessage {
    qint32 Record = 0;
    TIndexRecord Index;
};

struct TFolderFiles {
    QString MessageFile;
    QString IndexFile;
};

struct TMessageSpan {
    qint32 Offset = 0;
    qint32 Length = 0;
};

// The files of folder file name N in the folder directory of the active user.
TFolderFiles FolderPaths(const QString& folderFileName);
// The files of a folder given by the path of its message file ("x/N.mbx" and "x/N.idx").
TFolderFiles FolderFilesOf(const QString& messageFilePath);

// Creates the file or truncates an existing one.
bool CreateEmptyMessageFile(const QString& path);
// Replaces the index by one holding the header only.
bool CreateIndex(const QString& path);
// Record 0 is readable and carries the format mark.
bool IndexIsCurrent(const QString& indexPath);

std::optional<TIndexRecord> ReadIndexRecord(const QString& indexPath, qint64 n);
bool WriteIndexRecord(const QString& indexPath, qint64 n, const TIndexRecord& record);
// The number of the appended record, 0 on failure. Only appends to an index whose size is a whole
// number of records, so that a torn record is never taken for a message.
qint32 AppendIndexRecord(const QString& indexPath, const TIndexRecord& record);
// Records after the header (physical), or those less the header's deleted count (live); 0 when the
// index cannot be read.
qint32 CountMessages(const QString& indexPath, bool live);
// Marks record n deleted and counts it in the header; a record already marked is left alone.
bool MarkDeleted(const QString& indexPath, qint64 n);
// MarkDeleted for the listed records in one write of the index; stops at the first number outside
// the index. How many of them are marked afterwards (0 when the index cannot be written).
qsizetype MarkDeletedMany(const QString& indexPath, const QList<qint64>& records);

// Appends the separator and the bytes of `messageFile` to the folder and indexes the message.
// The record number, 0 on failure. Refused (nothing written) when the message file would grow
// past MaxMessageFileSize. Bytes an interrupted append left behind the last indexed message are
// first moved to the recovery file, as RepairFolder moves them (reported with 95); when that fails,
// nothing is appended. CopyMessages does the same for its target.
qint32 AppendMessageFile(const TFolderFiles& folder, const QString& messageFile);
// AppendMessageFile for a message already read: `messageText` without the separator.
qint32 AppendMessageText(const TFolderFiles& folder, const QByteArray& messageText);
// Appends bytes that already begin with a separator line to an existing message file and flushes
// them to the system (callers that delete the source sync the file first); bytes without a final
// line end get CR LF, counted in the span. Refused like AppendMessageFile; a failed write is cut off
// again.
std::optional<TMessageSpan> AppendRawBytes(const QString& messageFilePath, QByteArrayView bytes);
// Nothing when the span lies outside the file.
std::optional<QByteArray> ReadRawMessage(const QString& messageFilePath, qint64 offset, qint64 length);
// Parses the message (separator included) into `message`; on failure `message` is left cleared.
bool LoadMessage(const QString& messageFilePath, qint64 offset, qint64 length, TqmMessage& message);
// Writes the message without its 7-byte separator to a new file `target`. Reports 11 when the
// message cannot be read, 12 when the target cannot be written.
bool ExportMessage(const QString& messageFilePath, const QString& target, qint64 offset, qint64 length);

struct TCopyOptions {
    bool Move = false;
    // Sets the read flag on the copies (filing sent messages).
    bool MarkRead = false;
};

// Copies or moves the listed messages in list order into `target`, writing the target once. Copies
// into the Outbox are queued: one without a Message-ID gets one (see QueueMessageFile). The
// first message that cannot be read ends the run with message 12; the messages before it stay copied
// or moved. A failed write copies nothing (12). Moved entries are removed from `entries`, and an
// emptied source is shrunk.
bool CopyMessages(const TFolderFiles& source, const TFolderFiles& target, QList<TListEntry>& entries,
                  TCopyOptions options = {});
// Empties both files of a folder without live messages. False, changing nothing, when it has live
// messages or its index cannot be read or is damaged.
bool ShrinkWhenEmpty(const TFolderFiles& folder);

// The live messages in record order. Records that cannot be trusted (see TIndexHealth) are left
// out, and `damaged` tells whether the index needs a repair.
QList<TFolderMessage> EnumerateLiveMessages(const TFolderFiles& folder, bool* damaged = nullptr);
// EnumerateLiveMessages with the records marked deleted.
QList<TFolderMessage> EnumerateAllMessages(const TFolderFiles& folder, bool* damaged = nullptr);
QList<TListEntry> ListEntries(const QList<TFolderMessage>& messages);

// Re-creates the index from the message file. A message file that holds separator lines ("From "
// alone on its line, any letter case) is cut only there; one without any (written by another tool)
// is cut at every "From " line followed by a header field. Reports 1 when the index cannot be written and 2
// when the message file is missing.
bool RebuildIndex(const TFolderFiles& folder);

// Compacts the folder: the live messages go into new files that replace the old pair. A crash leaves
// the old or the new folder (see FinishInterruptedReorganize). Reports 50 with `displayName` on failure.
bool ReorganizeFolder(const TFolderFiles& folder, const QString& displayName);
// Completes or discards what an interrupted ReorganizeFolder left of `folder`.
void FinishInterruptedReorganize(const TFolderFiles& folder);

enum class TIndexHealth {
    Sound,
    // Missing, no readable header, or another format mark: the index must be rebuilt.
    Outdated,
    // Torn records, records outside the message file or with impossible string lengths.
    Damaged,
    // Only the header's deleted count disagrees with the records.
    WrongDeletedCount,
    // The message file has bytes behind the last indexed message (an interrupted append).
    UnindexedTail,
};

TIndexHealth CheckIndexHealth(const TFolderFiles& folder);
// Brings a folder back to Sound: rebuilds an outdated or damaged index, but only cuts a torn last
// record and corrects a wrong deleted count, so that read and deletion marks survive everything but
// the rebuild. The index record is the commit point of an append: an unindexed tail is moved to the
// recovery file "<N>.recovered" beside the folder (added to its end) and cut off, reported with 95.
// True when the folder is sound afterwards.
bool RepairFolder(const TFolderFiles& folder);

namespace detail {

// An encoded index record read in place, without copying its strings: for passes over a whole index
// in memory (the message list loads and sorts by it). The layout is the record table above.
class TIndexRecordView {
public:
    static constexpr qsizetype OffsetAt = 0;
    static constexpr qsizetype LengthAt = 4;
    static constexpr qsizetype FlagsAt = 8;
    static constexpr qsizetype DeletedAt = 12;
    static constexpr qsizetype DateAt = 20;
    static constexpr qsizetype FromAt = 28;
    static constexpr qsizetype ToAt = 69;
    static constexpr qsizetype SubjectAt = 110;
    static constexpr qsizetype AddressCapacity = 40;
    static constexpr qsizetype SubjectCapacity = 80;

    // `bytes` holds IndexRecordSize bytes.
    explicit TIndexRecordView(const char* bytes) : m_bytes(bytes) {}

    qint32 Offset() const { return qFromLittleEndian<qint32>(m_bytes + OffsetAt); }
    qint32 Length() const { return qFromLittleEndian<qint32>(m_bytes + LengthAt); }
    qint32 Flags() const { return qFromLittleEndian<qint32>(m_bytes + FlagsAt); }
    bool Deleted() const { return m_bytes[DeletedAt] != 0; }
    // The date's IEEE bits, as stored.
    quint64 DateBits() const { return qFromLittleEndian<quint64>(m_bytes + DateAt); }
    TDateTime Date() const
    {
        const quint64 bits = DateBits();
        TDateTime date = 0;
        std::memcpy(&date, &bits, sizeof date);
        return date;
    }
    QByteArrayView From() const { return String(FromAt, AddressCapacity); }
    QByteArrayView To() const { return String(ToAt, AddressCapacity); }
    QByteArrayView Subject() const { return String(SubjectAt, SubjectCapacity); }

private:
    // A length byte beyond the capacity reads as the capacity, as the record codec reads it.
    QByteArrayView String(qsizetype at, qsizetype capacity) const
    {
        return {m_bytes + at + 1, std::min<qsizetype>(quint8(m_bytes[at]), capacity)};
    }

    const char* m_bytes;
};

QByteArray EncodeIndexRecord(const TIndexRecord& record);
TIndexRecord DecodeIndexRecord(QByteArrayView bytes);
QByteArray IndexHeader(qint32 deletedCount = 0);

// A date in a year past 3000 moved 2000 years back, day and time kept.
TDateTime RepairedDate(TDateTime date);

} // namespace detail

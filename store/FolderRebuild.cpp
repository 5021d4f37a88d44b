// Folder files, checking and mending: the health of an index, its rebuild from the message file, the
// repairs that keep read and deletion marks, and the recovery file for unindexed tails.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "AtomicFile.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "SharedFunctions.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace detail;

namespace {

// Records go to the index file in blocks of this many bytes, so that a large folder's index is
// never held (and first touched) whole in memory.
constexpr qsizetype RecordBlockBytes = 1024 * IndexRecordSize;

// Writes the index records for the messages of `data` (which starts at `base` in its message file);
// messages that would lie beyond what an index can address are left out. The lines that matter are
// found in one pass over the whole file; each message then reads its header and those of its lines
// only.
bool WriteIndexRecords(QByteArrayView data, qint64 base, TAtomicFile& index)
{
    const QList<qsizetype> marked = detail::MarkedLineStarts(data);
    QList<qsizetype> starts = detail::MessageStarts(data, marked);
    starts.append(data.size());
    QByteArray block;
    block.reserve(RecordBlockBytes);
    const qsizetype* firstMarked = marked.constData();
    const qsizetype* const markedEnd = firstMarked + marked.size();
    for (qsizetype i = 0; i + 1 < starts.size(); ++i) {
        const qint64 offset = base + starts[i];
        const qint64 length = starts[i + 1] - starts[i];
        if (offset + length > MaxMessageFileSize)
            break;
        firstMarked = std::lower_bound(firstMarked, markedEnd, starts[i]);
        const qsizetype* endMarked = std::lower_bound(firstMarked, markedEnd, starts[i + 1]);
        const detail::TMarkedLines lines{std::span<const qsizetype>(firstMarked, endMarked), starts[i]};
        TIndexRecord record = detail::RecordOfMessage(data.sliced(starts[i], length), false, lines);
        record.Offset = qint32(offset);
        record.Length = qint32(length);
        block += detail::EncodeIndexRecord(record);
        firstMarked = endMarked;
        if (block.size() >= RecordBlockBytes) {
            if (!index.Write(block))
                return false;
            block.resize(0);
        }
    }
    return index.Write(block);
}

// The recovery file of a folder: "<N>.recovered" beside "<N>.mbx". Tails are added to its end, so an
// earlier recovery is never overwritten; it is no ".mbx" file and so never listed as a folder.
QString RecoveryFileOf(const TFolderFiles& folder)
{
    QString path = folder.MessageFile;
    if (path.endsWith(QStringLiteral(".mbx"), Qt::CaseInsensitive))
        path.chop(4);
    return path + QStringLiteral(".recovered");
}

// Bytes behind the last indexed message are what an append left that was killed before its index
// record, the commit point, was written: the source of that message still exists. They are saved
// into the recovery file and cut off, so that a torn message never becomes a record.
bool MoveTailToRecovery(const TFolderFiles& folder, qint64 indexedEnd)
{
    const std::optional<QByteArray> tail = ReadRawMessage(folder.MessageFile, indexedEnd, FileSize(folder.MessageFile) - indexedEnd);
    if (!tail)
        return false;
    const QString recovery = RecoveryFileOf(folder);
    QFile file(recovery);
    if (!OpenOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Append) || file.write(*tail) != tail->size() || !file.flush()
        || !SyncFile(file.handle()))
        return false;
    TruncateMessageFile(folder.MessageFile, indexedEnd);
    if (FileSize(folder.MessageFile) != indexedEnd)
        return false;
    Report(MsgTailRecovered, TMessageKind::Warning, recovery);
    return true;
}

// The end of the message the last index record describes; nothing when the index cannot be read,
// is torn, or its last record does not lie inside the message file.
std::optional<qint64> EndOfLastRecord(const TFolderFiles& folder, qint64 messageFileSize)
{
    QFile file(folder.IndexFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size < IndexRecordSize || size % IndexRecordSize != 0)
        return std::nullopt;
    if (size == IndexRecordSize)
        return 0;
    if (!file.seek(size - IndexRecordSize))
        return std::nullopt;
    const QByteArray record = file.read(IndexRecordSize);
    if (record.size() != IndexRecordSize || !RecordIsSound(record, messageFileSize))
        return std::nullopt;
    return qint64(RecordCodec::ReadInt32(record, OffsetField)) + RecordCodec::ReadInt32(record, LengthField);
}

bool CutTornRecord(const QString& indexPath)
{
    QFile file(indexPath);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)
        && file.resize(file.size() - file.size() % IndexRecordSize);
}

bool WriteDeletedCount(const QString& indexPath, qint32 count)
{
    const TRecordFile index(indexPath, IndexRecordSize);
    std::optional<QByteArray> header = index.Read(0);
    if (!header)
        return false;
    RecordCodec::WriteInt32(*header, DeletedCountField, count);
    return index.Write(0, *header);
}

} // namespace

namespace detail {

TIndexHealth HealthOf(const TIndexScan& scan)
{
    if (!scan.Current)
        return TIndexHealth::Outdated;
    if (scan.Torn || scan.BadRecords > 0)
        return TIndexHealth::Damaged;
    if (scan.HeaderDeletedCount != scan.DeletedRecords)
        return TIndexHealth::WrongDeletedCount;
    if (scan.IndexedEnd < scan.MessageFileSize)
        return TIndexHealth::UnindexedTail;
    return TIndexHealth::Sound;
}

bool NeedsRepairBeforeListing(const TIndexScan& scan)
{
    const TIndexHealth health = HealthOf(scan);
    return health != TIndexHealth::Sound && health != TIndexHealth::UnindexedTail;
}

bool MoveLeftoverBeforeAppend(const TFolderFiles& folder)
{
    const qint64 messageFileSize = FileSize(folder.MessageFile);
    const std::optional<qint64> lastEnd = EndOfLastRecord(folder, messageFileSize);
    if (!lastEnd || *lastEnd >= messageFileSize)
        return true;
    // Records are in file order after every append and compaction; the whole scan confirms it
    // before anything is cut.
    const TIndexScan scan = ScanIndex(folder, TCollect::Nothing);
    if (!scan.Current || scan.Torn || scan.BadRecords > 0 || scan.IndexedEnd >= scan.MessageFileSize)
        return true;
    return MoveTailToRecovery(folder, scan.IndexedEnd);
}

} // namespace detail

bool RebuildIndex(const TFolderFiles& folder)
{
    if (!QFileInfo::exists(folder.MessageFile)) {
        Report(CreateIndex(folder.IndexFile) ? MsgMessageFileMissing : MsgIndexNotCreated, TMessageKind::Warning);
        return false;
    }
    TMessageFileContent content(folder.MessageFile);
    if (!content.Open(true)) {
        Report(MsgErrorLoading, TMessageKind::Warning);
        return false;
    }
    TAtomicFile index(folder.IndexFile);
    if (!index.Open() || !index.Write(detail::IndexHeader()) || !WriteIndexRecords(content.Data(), 0, index) || !index.Commit()) {
        Report(MsgIndexNotCreated, TMessageKind::Warning);
        return false;
    }
    return true;
}

TIndexHealth CheckIndexHealth(const TFolderFiles& folder)
{
    return HealthOf(ScanIndex(folder, TCollect::Nothing));
}

bool RepairFolder(const TFolderFiles& folder)
{
    // A count and a tail may both be wrong; each pass mends one, a rebuild mends everything.
    constexpr int Passes = 3;
    for (int pass = 0; pass < Passes; ++pass) {
        const TIndexScan scan = ScanIndex(folder, TCollect::Nothing);
        switch (HealthOf(scan)) {
        case TIndexHealth::Sound:
            return true;
        case TIndexHealth::Damaged:
            // A torn last record is what an interrupted append leaves: cutting it keeps every mark,
            // and the message behind it then goes to the recovery file as an unindexed tail.
            if (scan.BadRecords == 0 && CutTornRecord(folder.IndexFile))
                break;
            [[fallthrough]];
        case TIndexHealth::Outdated:
            if (!RebuildIndex(folder))
                return false;
            break;
        case TIndexHealth::WrongDeletedCount:
            if (!WriteDeletedCount(folder.IndexFile, scan.DeletedRecords))
                return false;
            break;
        case TIndexHealth::UnindexedTail:
            if (!MoveTailToRecovery(folder, scan.IndexedEnd))
                return false;
            break;
        }
    }
    return CheckIndexHealth(folder) == TIndexHealth::Sound;
}

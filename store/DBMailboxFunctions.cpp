#include "DBMailboxFunctions.h"

#include "AtomicFile.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "MailboxHelpFunctions.h"
#include "RecordFile.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "qmmsg.h"
#include "qmmsgid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Record layout.
constexpr qsizetype OffsetField = 0;
constexpr qsizetype LengthField = 4;
constexpr qsizetype FlagsField = 8;
constexpr qsizetype DeletedField = 12;
constexpr qsizetype DeletedCountField = 16;
constexpr qsizetype DateField = 20;
constexpr TStringField FromField{28, 40};
constexpr TStringField ToField{69, 40};
constexpr TStringField SubjectField{110, 80};

constexpr int MsgIndexNotCreated = 1;
constexpr int MsgMessageFileMissing = 2;
constexpr int MsgErrorLoading = 11;
constexpr int MsgErrorWriting = 12;
constexpr int MsgReorganizeFailed = 50;
constexpr int MsgTailRecovered = 95;

void WriteDouble(QByteArray& record, qsizetype offset, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, record.data() + offset);
}

double ReadDouble(QByteArrayView record, qsizetype offset)
{
    const quint64 bits = qFromLittleEndian<quint64>(record.data() + offset);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString NewFileOf(const QString& path)
{
    return path + QStringLiteral(".new");
}

bool EndsWithLineEnd(QByteArrayView bytes)
{
    return bytes.isEmpty() || bytes.back() == '\n' || bytes.back() == '\r';
}

qint64 FileSize(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

// Cuts a message file back to `size` after a step that followed its append failed.
void TruncateMessageFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.resize(size);
}

bool StringLengthFits(QByteArrayView record, TStringField field)
{
    return quint8(record[field.Offset]) <= field.Capacity;
}

// A record may be read only when every field lies where it can lie: the message inside the message
// file, the string lengths inside their fields.
bool RecordIsSound(QByteArrayView record, qint64 messageFileSize)
{
    const qint64 offset = RecordCodec::ReadInt32(record, OffsetField);
    const qint64 length = RecordCodec::ReadInt32(record, LengthField);
    return offset >= 0 && length > 0 && offset + length <= messageFileSize
        && StringLengthFits(record, FromField) && StringLengthFits(record, ToField)
        && StringLengthFits(record, SubjectField);
}

// What one pass over an index finds out about it.
struct TIndexScan {
    bool Current = false;
    bool Torn = false;
    qint32 BadRecords = 0;
    qint32 HeaderDeletedCount = 0;
    qint32 DeletedRecords = 0;
    // End of the last message the index describes.
    qint64 IndexedEnd = 0;
    qint64 MessageFileSize = 0;
    // The live records, or all of them, as asked.
    QList<TFolderMessage> Collected;
};

enum class TCollect { Nothing, Live, All };

TIndexScan ScanIndex(const TFolderFiles& folder, TCollect collect)
{
    TIndexScan scan;
    QFile file(folder.IndexFile);
    if (!file.open(QIODevice::ReadOnly))
        return scan;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError || content.size() < IndexRecordSize)
        return scan;
    scan.Current = RecordCodec::HasFormatMark(content, SubjectField, IndexFormatMark);
    if (!scan.Current)
        return scan;
    scan.Torn = content.size() % IndexRecordSize != 0;
    scan.HeaderDeletedCount = RecordCodec::ReadInt32(content, DeletedCountField);
    scan.MessageFileSize = std::max<qint64>(FileSize(folder.MessageFile), 0);
    const qsizetype records = content.size() / IndexRecordSize;
    if (collect != TCollect::Nothing)
        scan.Collected.reserve(records - 1);
    for (qsizetype n = 1; n < records; ++n) {
        const QByteArrayView record = QByteArrayView(content).sliced(n * IndexRecordSize, IndexRecordSize);
        if (!RecordIsSound(record, scan.MessageFileSize)) {
            ++scan.BadRecords;
            continue;
        }
        const qint64 end = qint64(RecordCodec::ReadInt32(record, OffsetField)) + RecordCodec::ReadInt32(record, LengthField);
        scan.IndexedEnd = std::max(scan.IndexedEnd, end);
        const bool deleted = RecordCodec::ReadBool(record, DeletedField);
        if (deleted)
            ++scan.DeletedRecords;
        if (collect == TCollect::All || (collect == TCollect::Live && !deleted))
            scan.Collected.append(TFolderMessage{qint32(n), detail::DecodeIndexRecord(record)});
    }
    return scan;
}

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

// A tail behind the last message lists fine; it is only indexed at the next check.
bool NeedsRepairBeforeListing(const TIndexScan& scan)
{
    const TIndexHealth health = HealthOf(scan);
    return health != TIndexHealth::Sound && health != TIndexHealth::UnindexedTail;
}

// The message file mapped into memory, or read when it cannot be mapped.
class TMessageFileContent {
public:
    explicit TMessageFileContent(const QString& path) : m_file(path) {}

    bool Open()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        if (m_file.size() == 0)
            return true;
        if (uchar* mapped = m_file.map(0, m_file.size())) {
            m_data = QByteArrayView(reinterpret_cast<const char*>(mapped), m_file.size());
            return true;
        }
        m_copy = m_file.readAll();
        m_data = m_copy;
        return m_file.error() == QFileDevice::NoError;
    }
    QByteArrayView Data() const { return m_data; }

private:
    QFile m_file;
    QByteArray m_copy;
    QByteArrayView m_data;
};

// Index records for the messages of `data` (which starts at `base` in its message file); messages
// that would lie beyond what an index can address are left out.
QByteArray IndexMessages(QByteArrayView data, qint64 base)
{
    QByteArray records;
    QList<qsizetype> starts = detail::MessageStarts(data);
    records.reserve(starts.size() * IndexRecordSize);
    starts.append(data.size());
    for (qsizetype i = 0; i + 1 < starts.size(); ++i) {
        const qint64 offset = base + starts[i];
        const qint64 length = starts[i + 1] - starts[i];
        if (offset + length > MaxMessageFileSize)
            break;
        TIndexRecord record = detail::RecordOfMessage(data.sliced(starts[i], length), false);
        record.Offset = qint32(offset);
        record.Length = qint32(length);
        records += detail::EncodeIndexRecord(record);
    }
    return records;
}

// Appends encoded records in one write; the number of the first, 0 on failure (nothing appended).
qint32 AppendIndexRecords(const QString& indexPath, QByteArrayView records)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return 0;
    const qint64 size = file.size();
    if (size < IndexRecordSize || size % IndexRecordSize != 0 || !file.seek(size))
        return 0;
    if (file.write(records.data(), records.size()) != records.size() || !file.flush()) {
        file.resize(size);
        return 0;
    }
    return qint32(size / IndexRecordSize);
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

// Bytes behind the last indexed message are the leftover of an interrupted append. Written behind
// them, the next message would hide them from the start-up check and, at the next rebuild, be
// swallowed by a torn leftover or follow a duplicate of a message whose source still exists. So they
// go to the recovery file first, as the check moves them. An index the check would repair is left to
// it: its records do not tell where the tail begins. False when a tail could not be moved.
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

// Writes the live messages of `folder` into the ".new" files beside it: the message file first, so
// that a complete new index always has its complete message file.
bool WriteCompactedFiles(const TFolderFiles& folder, const QList<TFolderMessage>& live)
{
    TMessageFileContent old(folder.MessageFile);
    if (!old.Open())
        return false;
    TAtomicFile messages(NewFileOf(folder.MessageFile));
    if (!messages.Open())
        return false;
    QByteArray records = detail::IndexHeader();
    qint64 offset = 0;
    for (const TFolderMessage& message : live) {
        if (!messages.Write(old.Data().sliced(message.Index.Offset, message.Index.Length)))
            return false;
        TIndexRecord record = message.Index;
        record.Offset = qint32(offset);
        record.Date = detail::RepairedDate(record.Date);
        records += detail::EncodeIndexRecord(record);
        offset += record.Length;
    }
    if (!messages.Commit())
        return false;
    TestCrashPoint("reorganize-new-message-file");
    return WriteFileAtomically(NewFileOf(folder.IndexFile), records);
}

// The commit of a reorganization: the new message file replaces the old one, then the new index
// replaces the old one. FinishInterruptedReorganize completes it after a crash in between.
bool ReplaceByNewFiles(const TFolderFiles& folder)
{
    TestCrashPoint("reorganize-new-index-file");
    if (!ReplaceFile(NewFileOf(folder.MessageFile), folder.MessageFile))
        return false;
    TestCrashPoint("reorganize-message-file-replaced");
    if (!ReplaceFile(NewFileOf(folder.IndexFile), folder.IndexFile))
        return false;
    return SyncDirectoryOf(folder.IndexFile);
}

// One command's copies: the messages read up to the first that cannot be read, their bytes and their
// records for the target, collected so that the target is written once.
struct TCopyBatch {
    QByteArray Bytes;
    QList<TIndexRecord> Records;
    qsizetype Readable = 0;
};

// The stored bytes of a message (separator included) as the Outbox keeps them; empty when they can
// stay as they are.
QByteArray QueuedCopy(QByteArrayView stored)
{
    if (!stored.startsWith(FolderSeparator))
        return {};
    QByteArray text = stored.sliced(FolderSeparator.size()).toByteArray();
    if (!AddMissingMessageId(text))
        return {};
    return FolderSeparator.toByteArray() + text;
}

TCopyBatch CollectCopies(const TFolderFiles& source, const QList<TListEntry>& entries, TCopyOptions options,
                         bool queued)
{
    TCopyBatch batch;
    TMessageFileContent content(source.MessageFile);
    const std::optional<QList<QByteArray>> index = TRecordFile(source.IndexFile, IndexRecordSize).ReadAll();
    if (!content.Open() || !index)
        return batch;
    for (const TListEntry& entry : entries) {
        const qint64 end = qint64(entry.Offset) + entry.Length;
        if (entry.Record < 1 || entry.Record >= index->size() || entry.Offset < 0 || entry.Length < 0
            || end > content.Data().size())
            break;
        TIndexRecord record = detail::DecodeIndexRecord(index->at(entry.Record));
        const QByteArrayView stored = content.Data().sliced(entry.Offset, entry.Length);
        const QByteArray queuedCopy = queued ? QueuedCopy(stored) : QByteArray();
        const QByteArrayView copy = queuedCopy.isEmpty() ? stored : QByteArrayView(queuedCopy);
        record.Offset = qint32(batch.Bytes.size());
        record.Length = qint32(copy.size());
        record.Deleted = false;
        record.DeletedCount = 0;
        record.Date = detail::RepairedDate(record.Date);
        if (options.MarkRead)
            record.Flags |= mfRead;
        batch.Bytes += copy;
        batch.Records.append(record);
        ++batch.Readable;
    }
    return batch;
}

// Appends the batch to the target: one write for the messages and one for their records.
bool AppendBatch(const TFolderFiles& target, const TCopyBatch& batch)
{
    if (batch.Records.isEmpty())
        return true;
    if (!MoveLeftoverBeforeAppend(target))
        return false;
    const std::optional<TMessageSpan> span = AppendRawBytes(target.MessageFile, batch.Bytes);
    if (!span)
        return false;
    QByteArray records;
    records.reserve(batch.Records.size() * IndexRecordSize);
    for (TIndexRecord record : batch.Records) {
        record.Offset += span->Offset;
        records += detail::EncodeIndexRecord(record);
    }
    if (AppendIndexRecords(target.IndexFile, records) == 0) {
        TruncateMessageFile(target.MessageFile, span->Offset);
        return false;
    }
    return true;
}

} // namespace

namespace detail {

QByteArray EncodeIndexRecord(const TIndexRecord& record)
{
    QByteArray bytes(IndexRecordSize, '\0');
    RecordCodec::WriteInt32(bytes, OffsetField, record.Offset);
    RecordCodec::WriteInt32(bytes, LengthField, record.Length);
    RecordCodec::WriteInt32(bytes, FlagsField, record.Flags);
    RecordCodec::WriteBool(bytes, DeletedField, record.Deleted);
    RecordCodec::WriteInt32(bytes, DeletedCountField, record.DeletedCount);
    WriteDouble(bytes, DateField, record.Date);
    RecordCodec::WriteString(bytes, FromField, record.From);
    RecordCodec::WriteString(bytes, ToField, record.To);
    RecordCodec::WriteString(bytes, SubjectField, record.Subject);
    return bytes;
}

TIndexRecord DecodeIndexRecord(QByteArrayView bytes)
{
    TIndexRecord record;
    record.Offset = RecordCodec::ReadInt32(bytes, OffsetField);
    record.Length = RecordCodec::ReadInt32(bytes, LengthField);
    record.Flags = RecordCodec::ReadInt32(bytes, FlagsField);
    record.Deleted = RecordCodec::ReadBool(bytes, DeletedField);
    record.DeletedCount = RecordCodec::ReadInt32(bytes, DeletedCountField);
    record.Date = ReadDouble(bytes, DateField);
    record.From = RecordCodec::ReadString(bytes, FromField);
    record.To = RecordCodec::ReadString(bytes, ToField);
    record.Subject = RecordCodec::ReadString(bytes, SubjectField);
    return record;
}

QByteArray IndexHeader(qint32 deletedCount)
{
    TIndexRecord header;
    header.DeletedCount = deletedCount;
    header.Subject = IndexFormatMark.toByteArray();
    return EncodeIndexRecord(header);
}

TDateTime RepairedDate(TDateTime date)
{
    const QDate epoch(1899, 12, 30);
    const double days = std::floor(date);
    const QDate day = epoch.addDays(qint64(days));
    if (!day.isValid() || day.year() <= 3000)
        return date;
    const QDate repaired(day.year() - 2000, day.month(), day.day());
    return double(epoch.daysTo(repaired)) + (date - days);
}

} // namespace detail

TFolderFiles FolderPaths(const QString& folderFileName)
{
    const QDir dir(Paths().Data.MailDir);
    return {dir.filePath(folderFileName + QStringLiteral(".mbx")), dir.filePath(folderFileName + QStringLiteral(".idx"))};
}

TFolderFiles FolderFilesOf(const QString& messageFilePath)
{
    QString index = messageFilePath;
    if (index.endsWith(QStringLiteral(".mbx"), Qt::CaseInsensitive))
        index.chop(4);
    return {messageFilePath, index + QStringLiteral(".idx")};
}

bool CreateEmptyMessageFile(const QString& path)
{
    QFile file(path);
    return OpenOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate) && file.flush();
}

bool CreateIndex(const QString& path)
{
    return WriteFileAtomically(path, detail::IndexHeader());
}

bool IndexIsCurrent(const QString& indexPath)
{
    const std::optional<QByteArray> header = TRecordFile(indexPath, IndexRecordSize).Read(0);
    return header && RecordCodec::HasFormatMark(*header, SubjectField, IndexFormatMark);
}

std::optional<TIndexRecord> ReadIndexRecord(const QString& indexPath, qint64 n)
{
    const std::optional<QByteArray> bytes = TRecordFile(indexPath, IndexRecordSize).Read(n);
    if (!bytes)
        return std::nullopt;
    return detail::DecodeIndexRecord(*bytes);
}

bool WriteIndexRecord(const QString& indexPath, qint64 n, const TIndexRecord& record)
{
    const TRecordFile index(indexPath, IndexRecordSize);
    const std::optional<qint64> count = index.RecordCount();
    return count && n < *count && index.Write(n, detail::EncodeIndexRecord(record));
}

qint32 AppendIndexRecord(const QString& indexPath, const TIndexRecord& record)
{
    return AppendIndexRecords(indexPath, detail::EncodeIndexRecord(record));
}

qint32 CountMessages(const QString& indexPath, bool live)
{
    const TRecordFile index(indexPath, IndexRecordSize);
    const std::optional<qint64> records = index.RecordCount();
    const std::optional<QByteArray> header = index.Read(0);
    if (!records || !header)
        return 0;
    const qint64 physical = *records - 1;
    if (!live)
        return qint32(physical);
    return qint32(std::clamp<qint64>(physical - RecordCodec::ReadInt32(*header, DeletedCountField), 0, physical));
}

bool MarkDeleted(const QString& indexPath, qint64 n)
{
    const TRecordFile index(indexPath, IndexRecordSize);
    std::optional<QByteArray> record = n >= 1 ? index.Read(n) : std::nullopt;
    std::optional<QByteArray> header = index.Read(0);
    if (!record || !header)
        return false;
    if (RecordCodec::ReadBool(*record, DeletedField))
        return true;
    RecordCodec::WriteBool(*record, DeletedField, true);
    if (!index.Write(n, *record))
        return false;
    RecordCodec::WriteInt32(*header, DeletedCountField, RecordCodec::ReadInt32(*header, DeletedCountField) + 1);
    return index.Write(0, *header);
}

qsizetype MarkDeletedMany(const QString& indexPath, const QList<qint64>& records)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return 0;
    QByteArray index = file.readAll();
    const qint64 count = index.size() / IndexRecordSize;
    if (count < 1)
        return 0;
    qsizetype marked = 0;
    qint32 newlyDeleted = 0;
    for (const qint64 n : records) {
        if (n < 1 || n >= count)
            break;
        QByteArray record = index.sliced(n * IndexRecordSize, IndexRecordSize);
        if (!RecordCodec::ReadBool(record, DeletedField)) {
            RecordCodec::WriteBool(record, DeletedField, true);
            index.replace(n * IndexRecordSize, IndexRecordSize, record);
            ++newlyDeleted;
        }
        ++marked;
    }
    QByteArray header = index.first(IndexRecordSize);
    RecordCodec::WriteInt32(header, DeletedCountField, RecordCodec::ReadInt32(header, DeletedCountField) + newlyDeleted);
    index.replace(0, IndexRecordSize, header);
    // Same size, written in place: a torn write leaves marks that the start-up check recounts.
    if (!file.seek(0) || file.write(index.first(count * IndexRecordSize)) != count * IndexRecordSize || !file.flush())
        return 0;
    return marked;
}

std::optional<TMessageSpan> AppendRawBytes(const QString& messageFilePath, QByteArrayView bytes)
{
    QFile file(messageFilePath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return std::nullopt;
    const qint64 offset = file.size();
    // A message without a final line end would glue the next separator to its last line, and the
    // next rebuild would merge the two messages.
    const QByteArrayView lineEnd = EndsWithLineEnd(bytes) ? QByteArrayView() : QByteArrayView("\r\n");
    const qint64 length = bytes.size() + lineEnd.size();
    if (offset + length > MaxMessageFileSize || !file.seek(offset))
        return std::nullopt;
    const qsizetype half = bytes.size() / 2;
    const bool firstHalf = file.write(bytes.data(), half) == half && file.flush();
    TestCrashPoint("append-message-torn");
    if (!firstHalf || file.write(bytes.data() + half, bytes.size() - half) != bytes.size() - half
        || file.write(lineEnd.data(), lineEnd.size()) != lineEnd.size() || !file.flush()) {
        file.resize(offset);
        return std::nullopt;
    }
    return TMessageSpan{qint32(offset), qint32(length)};
}

qint32 AppendMessageFile(const TFolderFiles& folder, const QString& messageFile)
{
    QFile source(messageFile);
    if (!source.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return 0;
    return AppendMessageText(folder, text);
}

qint32 AppendMessageText(const TFolderFiles& folder, const QByteArray& messageText)
{
    const QByteArray bytes = FolderSeparator.toByteArray() + messageText;
    TIndexRecord record = detail::RecordOfMessage(bytes);
    if (!MoveLeftoverBeforeAppend(folder))
        return 0;
    const std::optional<TMessageSpan> span = AppendRawBytes(folder.MessageFile, bytes);
    if (!span)
        return 0;
    TestCrashPoint("append-message-written");
    record.Offset = span->Offset;
    record.Length = span->Length;
    const qint32 number = AppendIndexRecord(folder.IndexFile, record);
    if (number == 0)
        TruncateMessageFile(folder.MessageFile, span->Offset);
    return number;
}

std::optional<QByteArray> ReadRawMessage(const QString& messageFilePath, qint64 offset, qint64 length)
{
    QFile file(messageFilePath);
    if (offset < 0 || length < 0 || !file.open(QIODevice::ReadOnly) || offset + length > file.size()
        || !file.seek(offset))
        return std::nullopt;
    QByteArray bytes = file.read(length);
    if (bytes.size() != length)
        return std::nullopt;
    return bytes;
}

bool LoadMessage(const QString& messageFilePath, qint64 offset, qint64 length, TqmMessage& message)
{
    message.Clear();
    const std::optional<QByteArray> bytes = ReadRawMessage(messageFilePath, offset, length);
    if (!bytes)
        return false;
    try {
        detail::ParseMessageBytes(*bytes, message);
        return true;
    } catch (...) {
        message.Clear();
        return false;
    }
}

bool ExportMessage(const QString& messageFilePath, const QString& target, qint64 offset, qint64 length)
{
    const std::optional<QByteArray> bytes = ReadRawMessage(messageFilePath, offset, length);
    if (!bytes) {
        Report(MsgErrorLoading, TMessageKind::Warning);
        return false;
    }
    if (!WriteFileAtomically(target, bytes->mid(FolderSeparator.size()))) {
        Report(MsgErrorWriting, TMessageKind::Warning);
        return false;
    }
    return true;
}

bool CopyMessages(const TFolderFiles& source, const TFolderFiles& target, QList<TListEntry>& entries,
                  TCopyOptions options)
{
    const qsizetype requested = entries.size();
    const TCopyBatch batch = CollectCopies(source, entries, options, IsOutbox(target));
    if (!AppendBatch(target, batch)) {
        Report(MsgErrorWriting, TMessageKind::Warning);
        return false;
    }
    qsizetype done = batch.Readable;
    if (options.Move) {
        QList<qint64> records;
        for (qsizetype i = 0; i < batch.Readable; ++i)
            records.append(entries[i].Record);
        // Copies whose source could not be marked stay listed, like a message that was only copied.
        done = MarkDeletedMany(source.IndexFile, records);
        entries.remove(0, done);
        if (done > 0)
            ShrinkWhenEmpty(source);
    }
    const bool succeeded = batch.Readable == requested && done == batch.Readable;
    if (!succeeded)
        Report(MsgErrorWriting, TMessageKind::Warning);
    return succeeded;
}

bool ShrinkWhenEmpty(const TFolderFiles& folder)
{
    // The header's count decides nothing here: a wrong count must not empty a folder with live mail.
    const TIndexScan scan = ScanIndex(folder, TCollect::Live);
    if (!scan.Current || scan.Torn || scan.BadRecords > 0 || !scan.Collected.isEmpty())
        return false;
    // Message file first: a crash in between leaves records outside it, which the check rebuilds.
    return CreateEmptyMessageFile(folder.MessageFile) && CreateIndex(folder.IndexFile);
}

QList<TFolderMessage> EnumerateLiveMessages(const TFolderFiles& folder, bool* damaged)
{
    TIndexScan scan = ScanIndex(folder, TCollect::Live);
    if (damaged)
        *damaged = NeedsRepairBeforeListing(scan);
    return std::move(scan.Collected);
}

QList<TFolderMessage> EnumerateAllMessages(const TFolderFiles& folder, bool* damaged)
{
    TIndexScan scan = ScanIndex(folder, TCollect::All);
    if (damaged)
        *damaged = NeedsRepairBeforeListing(scan);
    return std::move(scan.Collected);
}

QList<TListEntry> ListEntries(const QList<TFolderMessage>& messages)
{
    QList<TListEntry> entries;
    entries.reserve(messages.size());
    for (const TFolderMessage& message : messages)
        entries.append({message.Record, message.Index.Offset, message.Index.Length, message.Index.Flags});
    return entries;
}

bool RebuildIndex(const TFolderFiles& folder)
{
    if (!QFileInfo::exists(folder.MessageFile)) {
        Report(CreateIndex(folder.IndexFile) ? MsgMessageFileMissing : MsgIndexNotCreated, TMessageKind::Warning);
        return false;
    }
    TMessageFileContent content(folder.MessageFile);
    if (!content.Open()) {
        Report(MsgErrorLoading, TMessageKind::Warning);
        return false;
    }
    if (!WriteFileAtomically(folder.IndexFile, detail::IndexHeader() + IndexMessages(content.Data(), 0))) {
        Report(MsgIndexNotCreated, TMessageKind::Warning);
        return false;
    }
    return true;
}

bool ReorganizeFolder(const TFolderFiles& folder, const QString& displayName)
{
    FinishInterruptedReorganize(folder);
    bool damaged = false;
    const QList<TFolderMessage> live = EnumerateLiveMessages(folder, &damaged);
    // Compacting a damaged index would drop the messages of its unreadable records for good.
    if (damaged || !WriteCompactedFiles(folder, live) || !ReplaceByNewFiles(folder)) {
        QFile::remove(NewFileOf(folder.MessageFile));
        QFile::remove(NewFileOf(folder.IndexFile));
        Report(MsgReorganizeFailed, TMessageKind::Warning, displayName);
        return false;
    }
    return true;
}

void FinishInterruptedReorganize(const TFolderFiles& folder)
{
    const QString newMessages = NewFileOf(folder.MessageFile);
    const QString newIndex = NewFileOf(folder.IndexFile);
    // The new index is written only after the new message file is complete.
    if (QFileInfo::exists(newIndex)) {
        if (QFileInfo::exists(newMessages))
            ReplaceFile(newMessages, folder.MessageFile);
        ReplaceFile(newIndex, folder.IndexFile);
        SyncDirectoryOf(folder.IndexFile);
    } else if (QFileInfo::exists(newMessages)) {
        QFile::remove(newMessages);
    }
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

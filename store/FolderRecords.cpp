// Folder files, the index side: the record codec, reading, writing and counting records, one pass
// over an index, and the messages of a folder as the list shows them.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "AtomicFile.h"
#include "Konstanten.h"
#include "SharedFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>

using namespace detail;

namespace {

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

bool StringLengthFits(QByteArrayView record, TStringField field)
{
    return quint8(record[field.Offset]) <= field.Capacity;
}

// The in-place reader must read the fields where the codec writes them.
static_assert(TIndexRecordView::OffsetAt == OffsetField && TIndexRecordView::LengthAt == LengthField
              && TIndexRecordView::FlagsAt == FlagsField && TIndexRecordView::DeletedAt == DeletedField
              && TIndexRecordView::DateAt == DateField);
static_assert(TIndexRecordView::FromAt == FromField.Offset && TIndexRecordView::AddressCapacity == FromField.Capacity
              && TIndexRecordView::ToAt == ToField.Offset && TIndexRecordView::AddressCapacity == ToField.Capacity
              && TIndexRecordView::SubjectAt == SubjectField.Offset
              && TIndexRecordView::SubjectCapacity == SubjectField.Capacity);

} // namespace

namespace detail {

qint64 FileSize(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

bool RecordIsSound(QByteArrayView record, qint64 messageFileSize)
{
    const qint64 offset = RecordCodec::ReadInt32(record, OffsetField);
    const qint64 length = RecordCodec::ReadInt32(record, LengthField);
    return offset >= 0 && length > 0 && offset + length <= messageFileSize
        && StringLengthFits(record, FromField) && StringLengthFits(record, ToField)
        && StringLengthFits(record, SubjectField);
}

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

} // namespace detail

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

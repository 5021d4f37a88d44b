// Folder files, deleting: marking records deleted and emptying a folder that has no live message left.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "RecordFile.h"

#include <QFile>

using namespace detail;

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

bool ShrinkWhenEmpty(const TFolderFiles& folder)
{
    // The header's count decides nothing here: a wrong count must not empty a folder with live mail.
    const TIndexScan scan = ScanIndex(folder, TCollect::Live);
    if (!scan.Current || scan.Torn || scan.BadRecords > 0 || !scan.Collected.isEmpty())
        return false;
    // Message file first: a crash in between leaves records outside it, which the check rebuilds.
    return CreateEmptyMessageFile(folder.MessageFile) && CreateIndex(folder.IndexFile);
}

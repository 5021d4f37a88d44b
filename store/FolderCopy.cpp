// Folder files, copying and moving listed messages into another folder, whose files are written once
// per command.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "FolderSet.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "qmmsgid.h"


using namespace detail;

namespace {

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

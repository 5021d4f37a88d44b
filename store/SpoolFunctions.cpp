#include "SpoolFunctions.h"

#include "AtomicFile.h"
#include "FolderSet.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"
#include "qmmsgid.h"

#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

constexpr int MsgErrorWriting = 12;
constexpr int MsgEditedMessageChanged = 100;
constexpr int MsgSentNotFiled = 101;
// Spool files are deleted in batches after one sync of the Inbox, so that importing many files
// costs few disk syncs.
constexpr qsizetype ImportBatch = 64;

const QString MessageFilePattern = QStringLiteral("*.eml");
const QString ImportJournalName = QStringLiteral(".import");

QStringList MessageFilesOf(const QString& dir)
{
    return QDir(dir).entryList({MessageFilePattern}, QDir::Files, QDir::Unsorted);
}

// Oldest first, so that received mail lands in the Inbox in the order it arrived, across accounts.
// The agent writes several messages a millisecond, hence the file system's own time stamps (QDir's
// time order has milliseconds and breaks ties by name backwards).
QStringList MessageFilesInArrivalOrder(const QString& dir)
{
    std::vector<std::pair<std::filesystem::file_time_type, QString>> files;
    for (const QString& name : MessageFilesOf(dir)) {
        // An unreadable time sorts first; the import then reports the file.
        std::error_code unreadable;
        const QByteArray path = QFile::encodeName(QDir(dir).filePath(name));
        files.emplace_back(std::filesystem::last_write_time(path.constData(), unreadable), name);
    }
    std::sort(files.begin(), files.end());
    QStringList names;
    for (const auto& file : files)
        names.append(file.second);
    return names;
}

bool SyncPath(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && SyncFile(file.handle());
}

void DeleteImported(const TFolderFiles& inbox, QStringList& imported);

// The import journal: before a spool file is appended, the line "<file name>|<record number it is
// to get>" is written here, so that after a crash between the append and the deletion of the file
// the message is recognised in the Inbox instead of being imported a second time.
class TImportJournal {
public:
    explicit TImportJournal(const QString& spoolDir) : m_file(QDir(spoolDir).filePath(ImportJournalName)) {}

    // The files of an interrupted import whose message the Inbox already holds: they are deleted.
    void Settle(const TFolderFiles& inbox)
    {
        QFile journal(m_file.fileName());
        if (!journal.open(QIODevice::ReadOnly))
            return;
        const QDir dir = QFileInfo(journal).dir();
        QStringList imported;
        for (const QByteArray& line : journal.readAll().split('\n')) {
            const qsizetype bar = line.lastIndexOf('|');
            const QString path = dir.filePath(QFile::decodeName(line.left(bar)));
            if (bar > 0 && QFileInfo::exists(path) && HoldsMessageFile(inbox, line.mid(bar + 1).toInt(), path))
                imported.append(path);
        }
        DeleteImported(inbox, imported);
        journal.remove();
    }
    bool Open() { return OpenOwnerOnly(m_file, QIODevice::WriteOnly | QIODevice::Truncate); }
    // Killed processes keep what reached the system; the batch sync before any deletion covers the rest.
    void Record(const QString& path, qint32 record)
    {
        m_file.write(QFile::encodeName(QFileInfo(path).fileName()) + '|' + QByteArray::number(record) + '\n');
        m_file.flush();
    }
    // Every journalled file is deleted: nothing left to recognise.
    void Clear() { m_file.resize(0); }
    // On a full disk closing fails to flush, and QFile::remove then keeps the file: an empty journal
    // would stay behind.
    void Close()
    {
        m_file.close();
        QFile::remove(m_file.fileName());
    }

    // The spool file's message is record `record` of the folder, byte for byte.
    static bool HoldsMessageFile(const TFolderFiles& folder, qint32 record, const QString& path)
    {
        const std::optional<TIndexRecord> index = record > 0 ? ReadIndexRecord(folder.IndexFile, record) : std::nullopt;
        QFile source(path);
        if (!index || !source.open(QIODevice::ReadOnly))
            return false;
        QByteArray expected = FolderSeparator.toByteArray() + source.readAll();
        if (!expected.endsWith('\n') && !expected.endsWith('\r'))
            expected += "\r\n";
        return ReadRawMessage(folder.MessageFile, index->Offset, index->Length) == expected;
    }

private:
    QFile m_file;
};

// The imported files may go once the Inbox holds their messages on disk.
void DeleteImported(const TFolderFiles& inbox, QStringList& imported)
{
    if (imported.isEmpty())
        return;
    if (SyncPath(inbox.MessageFile) && SyncPath(inbox.IndexFile)) {
        for (const QString& path : std::as_const(imported)) {
            DeleteFileWarn(path);
            TestCrashPoint("import-unlinked");
        }
    }
    imported.clear();
}

// The queue's manifest: which Outbox messages the last queue held, one "record offset length date
// digest" line each (see TMessageMark; manifests of older versions have only the first three). It outlives a crash of the main client after the agent ran, so that the messages the agent
// sent are filed (never sent again) at the next send or start.
QString ManifestPath(const QString& queueDir)
{
    return QDir(queueDir).filePath(QStringLiteral("queue.lst"));
}

bool WriteQueueManifest(const QString& queueDir, const QList<TMessageMark>& queued)
{
    QByteArray content;
    for (const TMessageMark& mark : queued)
        content += QByteArray::number(mark.Entry.Record) + ' ' + QByteArray::number(mark.Entry.Offset) + ' '
            + QByteArray::number(mark.Entry.Length) + ' ' + QByteArray::number(mark.Date, 'g', 17) + ' ' + mark.Digest + '\n';
    return WriteFileAtomically(ManifestPath(queueDir), content, true);
}

// A line without a date (older manifest) is checked by place only.
std::optional<QList<std::pair<TMessageMark, bool>>> ReadQueueManifest(const QString& queueDir)
{
    QFile file(ManifestPath(queueDir));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<std::pair<TMessageMark, bool>> marks;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const TMessageMark mark{{fields[0].toInt(), fields[1].toInt(), fields[2].toInt(), 0}, fields.value(3).toDouble(),
                                fields.value(4)};
        marks.append({mark, fields.size() > 3});
    }
    return marks;
}

// The Outbox still holds this message live at the same place: it was not filed yet.
bool StillInOutbox(const TFolderFiles& outbox, const TMessageMark& mark, bool withDate)
{
    TMessageMark compared = mark;
    if (!withDate)
        compared.Date = MarkOf(outbox, mark.Entry).Date;
    return StillHolds(outbox, compared);
}

// Never empty: a message that cannot be read gets a digest no message has.
QByteArray StoredDigest(const TFolderFiles& folder, qint32 offset, qint32 length)
{
    const std::optional<QByteArray> bytes = ReadRawMessage(folder.MessageFile, offset, length);
    return bytes ? QCryptographicHash::hash(*bytes, QCryptographicHash::Sha1).toHex() : QByteArray("-");
}

// The queue's own files: the messages of the last build and its manifest.
bool IsQueueFileName(const QString& name)
{
    return !IsWorkFileName(name);
}

} // namespace

QString SpoolFileName(const QString& spoolDir, int serverNumber)
{
    return UniqueMessageFileName(spoolDir, QStringLiteral("pop_%1").arg(serverNumber));
}

QString QueueFileName(const QString& queueDir, qint32 outboxRecord)
{
    return QDir(queueDir).filePath(QStringLiteral("smtp_%1.eml").arg(outboxRecord));
}

QString NewMessageFileName(const QString& queueDir)
{
    return UniqueMessageFileName(queueDir, QStringLiteral("new_"));
}

QString EditFileName(const QString& queueDir, qint32 record)
{
    return UniqueMessageFileName(queueDir, QStringLiteral("edit_%1").arg(record));
}

bool SpoolHasMail(const QString& spoolDir)
{
    return !MessageFilesOf(spoolDir).isEmpty();
}

bool IsWorkFileName(const QString& fileName)
{
    return (fileName.startsWith(QLatin1String("new_"), Qt::CaseInsensitive)
            || fileName.startsWith(QLatin1String("edit_"), Qt::CaseInsensitive))
        && QDir::match(MessageFilePattern, fileName);
}

TMessageMark MarkOf(const TFolderFiles& folder, const TListEntry& entry)
{
    const std::optional<TIndexRecord> record = entry.Record > 0 ? ReadIndexRecord(folder.IndexFile, entry.Record) : std::nullopt;
    if (!record)
        return {};
    return {entry, record->Date, StoredDigest(folder, entry.Offset, entry.Length)};
}

bool StillHolds(const TFolderFiles& folder, const TMessageMark& mark)
{
    const std::optional<TIndexRecord> record =
        mark.Entry.Record > 0 ? ReadIndexRecord(folder.IndexFile, mark.Entry.Record) : std::nullopt;
    return record && !record->Deleted && record->Offset == mark.Entry.Offset && record->Length == mark.Entry.Length
        && record->Date == mark.Date
        && (mark.Digest.isEmpty() || StoredDigest(folder, record->Offset, record->Length) == mark.Digest);
}

int ImportSpool(const QString& spoolDir, const TFolderFiles& inbox)
{
    TImportJournal journal(spoolDir);
    journal.Settle(inbox);
    const QStringList names = MessageFilesInArrivalOrder(spoolDir);
    if (names.isEmpty() || !journal.Open())
        return 0;
    const QDir dir(spoolDir);
    QStringList imported;
    int count = 0;
    bool reported = false;
    qint32 nextRecord = CountMessages(inbox.IndexFile, false) + 1;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        journal.Record(path, nextRecord);
        TestCrashPoint("import-journaled");
        const qint32 record = AppendMessageFile(inbox, path);
        if (record == 0) {
            // The spool file stays for the next import. What failed is the folder, and it is named
            // once: a full disk would otherwise ask for one click per message.
            if (!reported)
                ReportText(MsgErrorWriting, TMessageKind::Warning, WriteFailureText(inbox.MessageFile));
            reported = true;
            continue;
        }
        TestCrashPoint("import-appended");
        nextRecord = record + 1;
        imported.append(path);
        ++count;
        if (imported.size() >= ImportBatch) {
            DeleteImported(inbox, imported);
            journal.Clear();
        }
    }
    DeleteImported(inbox, imported);
    journal.Close();
    return count;
}

bool ClearSpoolForReceive(const QString& spoolDir)
{
    return EmptyDirectory(spoolDir, [](const QString& name) {
        return !QDir::match(MessageFilePattern, name) && !name.endsWith(UnfinishedSuffix) && name != ImportJournalName;
    });
}

bool BuildQueue(const TFolderFiles& outbox, const QList<TListEntry>& listed, const QString& queueDir)
{
    if (QFileInfo::exists(ManifestPath(queueDir))) {
        Report(MsgSentNotFiled, TMessageKind::Warning, SpecialFolderName(TSpecialFolder::Sent));
        return false;
    }
    EmptyDirectory(queueDir, IsQueueFileName);
    bool exported = true;
    QList<TMessageMark> queued;
    for (const TListEntry& entry : listed) {
        queued.append(MarkOf(outbox, entry));
        if (!ExportMessage(outbox.MessageFile, QueueFileName(queueDir, entry.Record), entry.Offset, entry.Length))
            exported = false;
    }
    return exported && WriteQueueManifest(queueDir, queued);
}

bool FileSentMessages(const TFolderFiles& outbox, const TFolderFiles& sent, QList<TListEntry>& listed,
                      const QString& queueDir)
{
    const std::optional<QList<std::pair<TMessageMark, bool>>> queued = ReadQueueManifest(queueDir);
    if (!queued)
        return true;
    QList<TListEntry> wasSent;
    for (const auto& [mark, withDate] : *queued)
        if (!QFileInfo::exists(QueueFileName(queueDir, mark.Entry.Record)) && StillInOutbox(outbox, mark, withDate))
            wasSent.append(mark.Entry);
    const QList<TListEntry> toMove = wasSent;
    const bool filed = CopyMessages(outbox, sent, wasSent, TCopyOptions{true, true});
    // What CopyMessages left in `wasSent` was not moved; everything else leaves the list.
    QSet<qint32> moved;
    for (const TListEntry& entry : toMove)
        moved.insert(entry.Record);
    for (const TListEntry& entry : std::as_const(wasSent))
        moved.remove(entry.Record);
    listed.removeIf([&](const TListEntry& entry) { return moved.contains(entry.Record); });
    // Only now may the manifest go: until then a repeat files what is left. The remaining queue
    // files are of unsent messages, which stay in the Outbox.
    if (!filed) {
        Report(MsgSentNotFiled, TMessageKind::Warning, SpecialFolderName(TSpecialFolder::Sent));
        return false;
    }
    if (DeleteFileWarn(ManifestPath(queueDir)))
        EmptyDirectory(queueDir, [](const QString& name) { return name.startsWith(QLatin1String("smtp_")); });
    return true;
}

bool ResumeFilingSent(const TFolderFiles& outbox, const TFolderFiles& sent, const QString& queueDir)
{
    QList<TListEntry> none;
    return FileSentMessages(outbox, sent, none, queueDir);
}

QString ExportForEditing(const TFolderFiles& folder, const TListEntry& entry, const QString& queueDir)
{
    const QString path = EditFileName(queueDir, entry.Record);
    return ExportMessage(folder.MessageFile, path, entry.Offset, entry.Length) ? path : QString();
}

qint32 QueueMessageFile(const TFolderFiles& outbox, const QString& messageFile)
{
    QFile source(messageFile);
    if (!source.open(QIODevice::ReadOnly))
        return 0;
    QByteArray text = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return 0;
    AddMissingMessageId(text);
    return AppendMessageText(outbox, text);
}

qint32 FileWorkFile(const TFolderFiles& folder, const QString& workFile, const QDateTime& handedOver,
                   const TMessageMark& replaced, bool keepFile)
{
    qint32 record = 0;
    if (QFileInfo(workFile).lastModified() > handedOver) {
        record = IsOutbox(folder) ? QueueMessageFile(folder, workFile) : AppendMessageFile(folder, workFile);
        if (record == 0) {
            Report(MsgErrorWriting, TMessageKind::Warning);
            return 0;
        }
        if (StillHolds(folder, replaced))
            MarkDeleted(folder.IndexFile, replaced.Entry.Record);
        else if (replaced.Entry.Record > 0)
            Report(MsgEditedMessageChanged, TMessageKind::Warning);
    }
    if (!keepFile)
        QFile::remove(workFile);
    return record;
}

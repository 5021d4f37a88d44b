#include "SpoolFunctions.h"

#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int MsgErrorWriting = 12;
// Spool files are deleted in batches after one sync of the Inbox, so that importing many files
// costs few disk syncs and a crash re-imports at most one batch.
constexpr qsizetype ImportBatch = 64;

const QString MessageFilePattern = QStringLiteral("*.eml");

QStringList MessageFilesOf(const QString& dir)
{
    return QDir(dir).entryList({MessageFilePattern}, QDir::Files, QDir::Unsorted);
}

bool SyncPath(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && SyncFile(file.handle());
}

// The imported files may go once the Inbox holds their messages on disk.
void DeleteImported(const TFolderFiles& inbox, QStringList& imported)
{
    if (imported.isEmpty())
        return;
    if (SyncPath(inbox.MessageFile) && SyncPath(inbox.IndexFile)) {
        for (const QString& path : std::as_const(imported))
            DeleteFileWarn(path);
    }
    imported.clear();
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

int ImportSpool(const QString& spoolDir, const TFolderFiles& inbox)
{
    const QDir dir(spoolDir);
    QStringList imported;
    int count = 0;
    for (const QString& name : MessageFilesOf(spoolDir)) {
        const QString path = dir.filePath(name);
        if (AppendMessageFile(inbox, path) == 0) {
            ReportText(MsgErrorWriting, TMessageKind::Warning, MessageText(MsgErrorWriting) + QLatin1Char('\n') + path);
            continue;
        }
        TestCrashPoint("import-appended");
        imported.append(path);
        ++count;
        if (imported.size() >= ImportBatch)
            DeleteImported(inbox, imported);
    }
    DeleteImported(inbox, imported);
    return count;
}

bool ClearSpoolForReceive(const QString& spoolDir)
{
    return EmptyDirectory(spoolDir, [](const QString& name) {
        return !QDir::match(MessageFilePattern, name);
    });
}

bool BuildQueue(const TFolderFiles& outbox, const QList<TListEntry>& listed, const QString& queueDir)
{
    EmptyDirectory(queueDir);
    bool exported = true;
    for (const TListEntry& entry : listed) {
        if (!ExportMessage(outbox.MessageFile, QueueFileName(queueDir, entry.Record), entry.Offset, entry.Length))
            exported = false;
    }
    return exported;
}

bool FileSentMessages(const TFolderFiles& outbox, const TFolderFiles& sent, QList<TListEntry>& listed,
                      const QString& queueDir)
{
    QList<TListEntry> wasSent;
    for (const TListEntry& entry : std::as_const(listed)) {
        const QString queueFile = QueueFileName(queueDir, entry.Record);
        if (QFileInfo::exists(queueFile))
            DeleteFileWarn(queueFile);
        else
            wasSent.append(entry);
    }
    const QList<TListEntry> toMove = wasSent;
    const bool filed = CopyMessages(outbox, sent, wasSent, TCopyOptions{true, true});
    // What CopyMessages left in `wasSent` was not moved; everything else leaves the list.
    listed.removeIf([&](const TListEntry& entry) {
        return std::any_of(toMove.cbegin(), toMove.cend(), [&](const TListEntry& m) { return m.Record == entry.Record; })
            && std::none_of(wasSent.cbegin(), wasSent.cend(), [&](const TListEntry& m) { return m.Record == entry.Record; });
    });
    return filed;
}

QString ExportForEditing(const TFolderFiles& folder, const TListEntry& entry, const QString& queueDir)
{
    const QString path = EditFileName(queueDir, entry.Record);
    return ExportMessage(folder.MessageFile, path, entry.Offset, entry.Length) ? path : QString();
}

qint32 FileWorkFile(const TFolderFiles& folder, const QString& workFile, const QDateTime& handedOver,
                   qint32 replacedRecord, bool keepFile)
{
    qint32 record = 0;
    if (QFileInfo(workFile).lastModified() > handedOver) {
        record = AppendMessageFile(folder, workFile);
        if (record == 0) {
            Report(MsgErrorWriting, TMessageKind::Warning);
            return 0;
        }
        if (replacedRecord > 0)
            MarkDeleted(folder.IndexFile, replacedRecord);
    }
    if (!keepFile)
        QFile::remove(workFile);
    return record;
}

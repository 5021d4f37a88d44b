// Folder files, reorganizing: the live messages go into new files that replace the old pair, so that
// a crash leaves the old or the new folder.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "AtomicFile.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"

#include <QFile>
#include <QFileInfo>

using namespace detail;

namespace {

QString NewFileOf(const QString& path)
{
    return path + QStringLiteral(".new");
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

} // namespace

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

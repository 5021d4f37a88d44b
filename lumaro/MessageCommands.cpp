#include "MessageCommands.h"

#include "DBAccountsFunctions.h"
#include "FolderSet.h"
#include "Reporter.h"
#include "SpoolFunctions.h"
#include "qmexcept.h"
#include "qmmsg.h"

#include <QFileInfo>

namespace {

// The message window is told which of its modes to start in by a fourth argument. Paths travel as
// arguments of their own, so they need none of the quotes a single command line would.
const QString EditModeArgument = QStringLiteral("EDIT");

void FillFromSource(TqmMessage& message, const QString& sourceFile)
{
    TqmMessage source;
    source.LoadFromFile(sourceFile);
    message.Assign(source);
}

void FillFromDefaults(TqmMessage& message, const TNewMessageSource& source)
{
    const TAccount account = ReadDefaultAccount();
    message.Sender.Name = account.SmtpName;
    message.Sender.Address = account.SmtpAddress;
    // A mailto argument may name several recipients.
    for (const QByteArray& recipient : source.Recipients.split(',')) {
        if (!recipient.trimmed().isEmpty())
            message.Recipients.AddAddress(recipient.trimmed(), {});
    }
    message.Subject = source.Subject;
    message.Body = source.Signature;
}

} // namespace

bool DeletesForGood(const QString& folderName)
{
    return folderName.compare(SpecialFolderName(TSpecialFolder::Trash), Qt::CaseInsensitive) == 0;
}

bool DeleteForGood(const TFolderFiles& folder, QList<TListEntry>& entries)
{
    QList<qint64> records;
    records.reserve(entries.size());
    for (const TListEntry& entry : std::as_const(entries))
        records.append(entry.Record);
    const qsizetype deleted = MarkDeletedMany(folder.IndexFile, records);
    entries.remove(0, deleted);
    if (CountMessages(folder.IndexFile, true) == 0)
        ShrinkWhenEmpty(folder);
    if (!entries.isEmpty()) {
        Report(MsgCouldNotDelete, TMessageKind::Warning);
        return false;
    }
    return true;
}

TTransferResult TransferMessages(const QString& sourceFolder, const QString& targetFolder,
                                 QList<TListEntry>& entries, bool move)
{
    if (move && sourceFolder == targetFolder) {
        Report(MsgOwnFolder, TMessageKind::Warning);
        return TTransferResult::OwnFolder;
    }
    TCopyOptions options;
    options.Move = move;
    return CopyMessages(FolderPaths(sourceFolder), FolderPaths(targetFolder), entries, options) ? TTransferResult::Done
                                                                                                  : TTransferResult::Failed;
}

bool DropCopies(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
}

int DragStatusMessage(Qt::KeyboardModifiers modifiers)
{
    return DropCopies(modifiers) ? MsgCopyMessages : MsgMoveMessages;
}

bool MarkMessages(const QString& indexPath, QList<TListEntry>& entries, bool read)
{
    for (TListEntry& entry : entries) {
        std::optional<TIndexRecord> record = ReadIndexRecord(indexPath, entry.Record);
        if (!record)
            return false;
        record->Flags = read ? (record->Flags | mfRead) : (record->Flags & ~mfRead);
        if (!WriteIndexRecord(indexPath, entry.Record, *record))
            return false;
        entry.Flags = record->Flags;
    }
    return true;
}

QStringList ViewArguments(const QString& messageFilePath, qint32 offset, qint32 length)
{
    return {messageFilePath, QString::number(offset), QString::number(length)};
}

QStringList EditArguments(const QString& workFile)
{
    return {workFile, QStringLiteral("0"), QStringLiteral("0"), EditModeArgument};
}

QString MakeNewMessageFile(const QString& queueDir, const TNewMessageSource& source)
{
    TqmMessage message;
    try {
        if (source.SourceFile.isEmpty())
            FillFromDefaults(message, source);
        else
            FillFromSource(message, source.SourceFile);
        if (message.Body.isEmpty())
            message.Body.append(" ");
        const QString path = NewMessageFileName(queueDir);
        message.SaveToFile(path);
        return path;
    } catch (const EqmException&) {
        return {};
    }
}

TEditSession StartEdit(const TFolderFiles& folder, const TListEntry& entry, const QString& queueDir,
                       const TNewMessageSource& source)
{
    TEditSession session;
    session.Source = MarkOf(folder, entry);
    session.WorkFile = entry.Record < 1 ? MakeNewMessageFile(queueDir, source) : ExportForEditing(folder, entry, queueDir);
    if (session.WorkFile.isEmpty()) {
        if (entry.Record < 1)
            Report(MsgErrorWriting, TMessageKind::Warning);
        return session;
    }
    session.HandedOver = QFileInfo(session.WorkFile).lastModified();
    return session;
}

qint32 FinishEdit(const TFolderFiles& folder, const TEditSession& session, bool keepWorkFile)
{
    return FileWorkFile(folder, session.WorkFile, session.HandedOver, session.Source, keepWorkFile);
}

bool KeepContactInOutbox(const QString& contactFile, const TFolderFiles& outbox)
{
    if (QueueMessageFile(outbox, contactFile) == 0) {
        Report(MsgErrorWriting, TMessageKind::Warning);
        return false;
    }
    Report(MsgKeptInOutbox, TMessageKind::Information, SpecialFolderName(TSpecialFolder::Outbox));
    QFile::remove(contactFile);
    return true;
}

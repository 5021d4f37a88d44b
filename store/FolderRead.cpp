// Folder files, reading: the stored bytes of one message, the message parsed, and the export of a
// message to a file of its own.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "AtomicFile.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "qmmsg.h"

#include <QFile>

using namespace detail;

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

// Folder files, appending: a message behind its separator line at the end of the message file, then
// its index record, which is the commit point.

#include "DBMailboxFunctions.h"
#include "FolderFilesDetail.h"

#include "MailboxHelpFunctions.h"

#include <QFile>

using namespace detail;

namespace {

bool EndsWithLineEnd(QByteArrayView bytes)
{
    return bytes.isEmpty() || bytes.back() == '\n' || bytes.back() == '\r';
}

} // namespace

namespace detail {

void TruncateMessageFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.resize(size);
}

} // namespace detail

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
    TIndexRecord record = detail::RecordOfMessage(bytes, true, QDateTimeToDateTime(QDateTime::currentDateTime()));
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

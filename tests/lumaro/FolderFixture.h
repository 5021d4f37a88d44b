#pragma once
// Folders written record by record for the main window tests: every message gets exactly the index
// record the test asks for, so flags, dates and texts are known.

#include "DBMailboxFunctions.h"
#include "qmdates.h"

#include <QDateTime>
#include <QFile>

namespace LumaroTest {

struct TMessageSpec {
    QByteArray From;
    QByteArray To;
    QByteArray Subject;
    QDateTime Date;
    qint32 Flags = 0;
    bool Deleted = false;
};

inline bool CreateFolder(const TFolderFiles& folder)
{
    return CreateEmptyMessageFile(folder.MessageFile) && CreateIndex(folder.IndexFile);
}

// Appends a message and its record; the record number, 0 on failure.
inline qint32 AddMessage(const TFolderFiles& folder, const TMessageSpec& spec)
{
    const QByteArray bytes = QByteArray(FolderSeparator.data(), FolderSeparator.size()) + "From: " + spec.From
        + "\r\nTo: " + spec.To + "\r\nSubject: " + spec.Subject + "\r\n\r\nText.\r\n";
    const std::optional<TMessageSpan> span = AppendRawBytes(folder.MessageFile, bytes);
    if (!span)
        return 0;
    TIndexRecord record;
    record.Offset = span->Offset;
    record.Length = span->Length;
    record.Flags = spec.Flags;
    record.Date = spec.Date.isValid() ? QDateTimeToDateTime(spec.Date) : 0;
    record.From = spec.From;
    record.To = spec.To;
    record.Subject = spec.Subject;
    const qint32 n = AppendIndexRecord(folder.IndexFile, record);
    if (n > 0 && spec.Deleted)
        MarkDeleted(folder.IndexFile, n);
    return n;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace LumaroTest

#pragma once
// Fixtures of the store tests: sample messages, a data directory in a temporary folder, file access,
// and the short text summary a folder is compared by.

#include "DBMailboxFunctions.h"
#include "Konstanten.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace StoreTest {

inline QByteArray Message(const QByteArray& subject, const QByteArray& body = "Hello.\r\n",
                          const QByteArray& extraHeaders = {})
{
    return "From: Anna Beispiel <anna@example.org>\r\n"
           "To: Bob <bob@example.net>, carol@example.net\r\n"
           "Subject: " + subject + "\r\n"
           "Date: Mon, 7 Dec 2026 13:25:03 +0100\r\n" + extraHeaders + "\r\n" + body;
}

inline QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteContent(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size()
        && file.flush();
}

// A data directory with its folder, spool and queue directories below `root`.
inline void UseDataDirectory(const QString& root)
{
    detail::MutablePaths().Data = detail::ComputeDataPaths(root);
    QDir().mkpath(Paths().Data.MailDir);
    QDir().mkpath(Paths().Data.SmtpDir);
}

inline bool CreateFolderFiles(const TFolderFiles& folder)
{
    return CreateEmptyMessageFile(folder.MessageFile) && CreateIndex(folder.IndexFile);
}

// Appends `message` through a message file, as received mail is appended; the record number.
inline qint32 AppendMessage(const TFolderFiles& folder, const QByteArray& message, const QString& workDir)
{
    const QString path = QDir(workDir).filePath(QStringLiteral("append.eml"));
    if (!WriteContent(path, message))
        return 0;
    return AppendMessageFile(folder, path);
}

inline QByteArray DateText(TDateTime date)
{
    if (date == 0)
        return "none";
    const QDateTime moment(QDate(1899, 12, 30).addDays(qint64(date)),
                           QTime(0, 0).addMSecs(int(qRound64((date - qint64(date)) * 86400000.0))));
    return moment.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
}

// One line per record after the header: what a golden .summary file holds.
inline QByteArray IndexSummary(const QString& indexPath)
{
    QByteArray summary = "deleted " + QByteArray::number(ReadIndexRecord(indexPath, 0).value_or(TIndexRecord{}).DeletedCount) + "\n";
    const qint32 count = CountMessages(indexPath, false);
    for (qint32 n = 1; n <= count; ++n) {
        const TIndexRecord r = ReadIndexRecord(indexPath, n).value_or(TIndexRecord{});
        summary += QByteArray::number(n) + ": " + QByteArray::number(r.Offset) + "+" + QByteArray::number(r.Length)
            + " flags " + QByteArray::number(r.Flags) + (r.Deleted ? " deleted" : "") + " date " + DateText(r.Date)
            + " from \"" + r.From + "\" to \"" + r.To + "\" subject \"" + r.Subject + "\"\n";
    }
    return summary;
}

} // namespace StoreTest

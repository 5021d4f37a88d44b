#pragma once
// The keep-on-server bookkeeping of one POP3 account: the check file "<host> - <user>.chk" in the
// folder directory. Its first line is the format mark "100"; every further line describes one
// message that was retrieved and still lies on the server, as "|"-joined fields: the message's
// key (Message-Id body and Date body) and, optionally, the day on which it is to be deleted from
// the server, in the system's short date format.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

struct TCheckLine {
    QByteArray MessageId;
    QByteArray Date;
    // Empty: kept for ever. Otherwise the text as stored, read with ParseDeletionDay.
    QByteArray DeleteOn;
    // Set only while the message's spool file is being put into place: the name of its
    // unfinished file. A line left with it after a crash counts only when that file is gone.
    QByteArray PendingFile;

    bool SameKey(const TCheckLine& other) const { return MessageId == other.MessageId && Date == other.Date; }
    QByteArray Text() const;
};

using TCheckList = QList<TCheckLine>;

// The check file of `host` and `user` in `folderDir`, with ? : \ / * escaped as $1$ ... $5$.
QString CheckFileName(const QString& folderDir, const QByteArray& host, const QByteArray& user);
QString EscapeFileNamePart(const QString& text);

// The lines of the file; a missing or unreadable file gives an empty list. The first line is
// dropped when it is the format mark or holds no "|"; lines of a single field are dropped (the
// message is then retrieved again rather than forgotten); a fourth field is the pending file, and
// further fields are ignored.
TCheckList ReadCheckFile(const QString& path);
TCheckList ParseCheckFile(const QByteArray& content);
// Settles the lines a crashed run left pending: a line whose unfinished spool file still lies in
// `spoolDir` is dropped (and the file removed), so that the message is retrieved again.
TCheckList SettlePendingLines(TCheckList lines, const QString& spoolDir);
// Replaces the file (new file renamed into place); false when that failed.
bool WriteCheckFile(const QString& path, const TCheckList& lines);
QByteArray CheckFileContent(const TCheckList& lines);

// The day written into a line: the short date format of the system with a four-digit year, so
// that the century survives.
QByteArray FormatDeletionDay(const QDate& day);
// Reads what FormatDeletionDay wrote, the plain short format (two-digit years taken as the one
// nearest to `today`) and ISO dates; nothing when the text is none of them.
std::optional<QDate> ParseDeletionDay(const QByteArray& text, const QDate& today);

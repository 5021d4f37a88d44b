#pragma once
// The keep-on-server bookkeeping of one POP3 account: the check file "<host> - <user>.chk" in the
// folder directory. Its first line is the format mark "100"; every further line describes one
// message that was retrieved and still lies on the server, as "|"-joined fields: the message's
// key (Message-Id body and Date body) and, optionally, the day on which it is to be deleted from
// the server, in the system's short date format.

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QList>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <optional>

struct TCheckLine {
    QByteArray MessageId;
    QByteArray Date;
    // Empty: kept for ever. Otherwise the text as stored, read with ParseDeletionDay.
    QByteArray DeleteOn;
    // Set only while the message's spool file is being put into place: the name of its
    // unfinished file. A line left with it after a crash counts only when that file is gone.
    QByteArray PendingFile;
    // The server's unique id of the message (RFC 1939, 7), empty when unknown: a later run knows
    // the message by it without reading its header lines again. Stored percent-encoded as a fifth
    // field, which readers of the two- and three-field form skip.
    QByteArray Uidl;

    bool SameKey(const TCheckLine& other) const { return MessageId == other.MessageId && Date == other.Date; }
    QByteArray Text() const;
};

// Moved in memory as bytes when a list of many thousand lines grows, instead of copied line by line.
Q_DECLARE_TYPEINFO(TCheckLine, Q_RELOCATABLE_TYPE);

using TCheckList = QList<TCheckLine>;

// The check file of `host` and `user` in `folderDir`, with ? : \ / * escaped as $1$ ... $5$.
QString CheckFileName(const QString& folderDir, const QByteArray& host, const QByteArray& user);
QString EscapeFileNamePart(const QString& text);

// The lines of the file; a missing or unreadable file gives an empty list. The first line is
// dropped when it is the format mark or holds no "|"; lines of a single field are dropped (the
// message is then retrieved again rather than forgotten); a fourth field is the pending file, a
// fifth the unique id, and further fields are ignored.
TCheckList ReadCheckFile(const QString& path);
TCheckList ParseCheckFile(const QByteArray& content);
// What a crashed run left pending in a check file, settled: a line whose unfinished spool file still
// lies in `spoolDir` was never renamed into place and is dropped, so that the message is retrieved
// again; a line whose unfinished file is gone was renamed (only the agent removes unfinished files,
// and only once no line names them) and stays, without its mark.
struct TSettledLines {
    TCheckList Lines;
    // The unfinished files of the dropped lines: removed only once the check file without those
    // lines is on disk, so that a second crash cannot leave a line whose file is gone.
    QStringList Unfinished;
    // Some line carried a mark: the check file must be rewritten before going on.
    bool Changed = false;
};
TSettledLines SettlePendingLines(TCheckList lines, const QString& spoolDir);
// The unfinished file names that pending lines of the check files in `folderDir` refer to.
QStringList PendingFilesOfAllAccounts(const QString& folderDir);
// Removes every unfinished spool file that no account's check file refers to: left by a run that
// was killed after its check file was settled, or before it wrote a line.
void RemoveStaleUnfinishedFiles(const QString& spoolDir, const QString& folderDir);
// Replaces the file (new file renamed into place); false when that failed.
bool WriteCheckFile(const QString& path, const TCheckList& lines);
QByteArray CheckFileContent(const TCheckList& lines);

// Adds lines to the end of a check file during a run, so that each message costs one short write
// instead of a rewrite of the whole file; the run rewrites the file once at its end. A line
// appended again later for the same message is read as a second line of the same key.
class TCheckFileAppender {
public:
    // Creates the file with its format mark when it is missing or empty, and ends a last line
    // that a crash left without its line end.
    bool Open(const QString& path);
    bool Append(const TCheckLine& line);
    // Forces the appended lines onto the disk.
    bool Sync();
    void Close() { m_file.close(); }
    int Handle() const { return m_file.handle(); }

private:
    QFile m_file;
};

// The key field of a message known by its unique id (RFC 1939, 7: UIDL), which may hold any
// printable character, "|" included: "UIDL " and the id percent-encoded.
QByteArray UidlKey(const QByteArray& uidl);
// A header body as a key field: the separators "|", CR and LF become blanks.
QByteArray KeyField(QByteArray field);
// The deletion day the agent writes for a message it retrieved now: without keeping, today (it is
// deleted in the same run); with keeping, today + `deleteDays`, or empty (never) below 1 day.
QByteArray DeletionDayOfNewLine(bool keepMails, int deleteDays, const QDate& today);

// What the server manager fetched of one mailbox, for the agent's check file: every message it
// saved to the spool, keyed by its unique id when the server gave one, else by Message-Id and
// Date as the agent keys it.
struct TFetchedMessage {
    QByteArray Uidl;
    QByteArray MessageId;
    QByteArray Date;
};
TCheckLine FetchedMessageLine(const TFetchedMessage& message, bool keepMails, int deleteDays, const QDate& today);
// Adds the lines whose key the check file does not hold yet, under its lock and by replacing the
// file, as the agent writes it. False when the lock or the write failed (nothing changed then).
bool AddCheckLines(const QString& path, const TCheckList& lines, int waitMs);

// The lock that keeps two programs from rewriting one check file at once: the agent holds it for
// its whole receive run (it rewrites the file at the end from what it read at the start), the
// server manager while it adds its lines. A lock left by a program that died is taken over.
class TCheckFileLock {
public:
    explicit TCheckFileLock(const QString& checkFile);
    TCheckFileLock(const TCheckFileLock&) = delete;
    TCheckFileLock& operator=(const TCheckFileLock&) = delete;

    // Waits up to `waitMs` in short slices, in which the event loop runs; false when another
    // program still holds it.
    bool Lock(int waitMs);
    void Unlock() { m_lock.unlock(); }

private:
    QLockFile m_lock;
};

// The day written into a line: the short date format of the system with a four-digit year, so
// that the century survives.
QByteArray FormatDeletionDay(const QDate& day);
// Reads what FormatDeletionDay wrote, the plain short format (two-digit years taken as the one
// nearest to `today`) and ISO dates; nothing when the text is none of them.
std::optional<QDate> ParseDeletionDay(const QByteArray& text, const QDate& today);

#pragma once
// The server manager's picture of the mailboxes it connected: one entry per server (a node of the
// tree) and one table of message lines for all servers together, the lines of each server
// contiguous and in server order. A line keeps its five fields apart, so that a "|" in a subject
// cannot shift the columns; LineText gives the joined form "subject|sender|date|size|mark".

#include <QByteArray>
#include <QList>
#include <QString>

#include "DBAccountSecurity.h"
#include "nktypes.h"
#include "qmpop3cl.h"

// The mark of a line: what carrying out the marks does with its message.
namespace Mark {
inline const QString Nothing = QStringLiteral("NOP");
inline const QString Get = QStringLiteral("GET");
inline const QString Delete = QStringLiteral("DEL");
inline const QString GetDelete = QStringLiteral("GEL");
inline const QString Got = QStringLiteral("GE!");
inline const QString Deleted = QStringLiteral("DE!");
} // namespace Mark

struct TMessageLine {
    QString Subject;
    QString Sender;
    QString Date;
    // Bytes as text; empty when the size was not listed.
    QString Size;
    QString MarkText = Mark::Nothing;
    // What the listing saw of the message (unique id, size, header lines), so that carrying out
    // the marks can make sure the message at this position is still the one listed.
    TqmRemoteInfoItem Listed;
    // IMAP: the folder the message is in (its name as listed, "INBOX" for the inbox) and its UID
    // there. Empty for POP3.
    QString Folder;
    quint32 Uid = 0;
};

// IMAP: a folder as it was listed; the UIDs of its lines mean nothing under another UIDVALIDITY.
struct TListedFolder {
    QString Name;
    quint32 UidValidity = 0;
};

struct TServerEntry {
    QByteArray Server = {};
    QByteArray UserName = {};
    QByteArray Password = {};
    TqmSecurity Security = TqmSecurity::secAuto;
    TServerPin Pin = {};
    // Index of its first line in the message table.
    int FirstLine = 0;
    int Count = 0;
    bool Failed = false;
    // Why listing failed, or which of an IMAP account's ticked folders could not be listed, as the
    // status line said it; kept so that the node can tell it later.
    QString Error = {};
    // The message count the server reported when the list was built.
    qint64 ListedCount = 0;
    // Empty for a quick connection.
    QByteArray AccountName = {};
    TAuthMethod Auth = TAuthMethod::Password;
    TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
    // IMAP: the ticked folders to list beside the inbox, and the folders that were listed.
    QByteArrayList Folders = {};
    QList<TListedFolder> ListedFolders = {};
};

// The UIDVALIDITY `folder` had when `entry` was listed; 0 when it was not listed.
quint32 ListedUidValidity(const TServerEntry& entry, const QString& folder);

// "subject|sender|date|size|mark".
QString LineText(const TMessageLine& line);
// A line of a message listed without headers: text 7, " #", the number counted from 1.
TMessageLine LineWithoutHeaders(int number);
// A line from the header block of a message: Subject, From and Date (encoded words decoded) and
// its size in bytes.
TMessageLine LineFromHeaders(const TqmHeaders& headers, qint64 size);

// The mark that "toggle mark" (space, double click) gives: NOP, GET, DEL, GEL, NOP...; a message
// already fetched or deleted goes to GET.
QString NextMark(const QString& mark);
bool WantsRetrieve(const QString& mark);
bool WantsDelete(const QString& mark);

// "server (user): n Messages", or "server (user): [FEHLER]" ("[ERROR]" in English).
QString NodeText(const TServerEntry& entry);

// Every server's lines in one list.
class TMessageTable {
public:
    void Clear();
    // Adds a server with no lines yet; its index.
    int AddServer(const TServerEntry& entry);
    // Appends a line to the last server added.
    void AppendLine(const TMessageLine& line);
    // Removes the lines of the last server added.
    void DropLinesOf(int server);
    // Removes the given rows of `server`, whose messages the server has deleted: the messages
    // behind them move up on the server as their lines do here, and the server's count follows.
    void RemoveDeletedLines(int server, QList<int> rows);

    const QList<TServerEntry>& Servers() const { return m_servers; }
    TServerEntry& Server(int index) { return m_servers[index]; }
    const QList<TMessageLine>& Lines() const { return m_lines; }
    TMessageLine& Line(int row) { return m_lines[row]; }
    // The line of `server` at its position on the server (from 0).
    TMessageLine& LineAt(int server, int position) { return m_lines[m_servers.at(server).FirstLine + position]; }

    // Sets `mark` on the given table rows.
    void SetMark(const QList<int>& rows, const QString& mark);
    // Advances the mark of the given rows one step of the cycle.
    void ToggleMark(const QList<int>& rows);
    // True when a line of `server` has a mark other than NOP.
    bool HasWork(int server) const;
    bool AnyWork() const;
    // True when any line is marked DEL (the marks that ask before deleting).
    bool AnyMarkedDelete() const;

private:
    QList<TServerEntry> m_servers;
    QList<TMessageLine> m_lines;
};

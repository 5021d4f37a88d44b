#pragma once
// What the server manager does with the mailboxes, without windows: connecting lists each
// mailbox into the message table (a line appears as soon as its message's reply is in), and
// carrying out the marks fetches and deletes, server by server. The window subscribes to the
// events and shows the table; every wait runs the event loop, so the window stays alive and Stop
// (Cancel) ends the operation between two replies.
//
// Nothing is deleted before it is safe: a message marked for fetching and deleting is saved to its
// spool file (complete on disk under its final name) before its DELE is sent, one whose save failed
// is not deleted, and a message that is no longer the one listed is skipped with its mark kept.
// The lines of deleted messages leave the table once the server confirmed the end of the session,
// which commits the deletions; the messages behind them then move up on the server as their
// lines do, so the list stays the server's picture. On IMAP a folder's deletions are committed by
// its expunge, so its lines leave the table even when a later folder fails.

#include "CheckFile.h"
#include "ConnectPlan.h"
#include "DBAgentFunctions.h"
#include "LmserverSettings.h"
#include "MessageTable.h"
#include "ServerPOP.h"
#include "qmimap.h"
#include "nkcertificate.h"

#include <QHash>
#include <QSet>

#include <functional>
#include <optional>

class ELogInRefused;

namespace detail {
// The receive job the main client would write for the entry's mailbox: its account by name, or
// for a quick connection the account of the same server, user name and protocol.
std::optional<TAgentJob> ReceiveJobOf(const TServerEntry& entry);
} // namespace detail

struct TServerEvents {
    std::function<void(const QString& text)> Status;
    // Percent, 0 to 100.
    std::function<void(int percent)> Progress;
    // A node was added, or its text or lines changed as a whole (listing failed, or messages were
    // deleted: lines removed).
    std::function<void(int server)> ServerAdded;
    std::function<void(int server)> ServerChanged;
    std::function<void(int row)> LineAdded;
    std::function<void(int row)> LineChanged;
    // Asked when a target has no password; nothing means skip this server.
    std::function<std::optional<QByteArray>(const TConnectTarget& target)> PasswordRequest;
    // Asked when a server's certificate is not trusted; true trusts it. Unset: not trusted.
    std::function<bool(const TnkCertificateFacts& facts)> CertificateQuestion;
};

class TServerManager {
public:
    // `settings` is read at each connect and carry-out and outlives the manager.
    TServerManager(const TLmserverSettings& settings, const TServerEvents& events);
    TServerManager(const TServerManager&) = delete;
    TServerManager& operator=(const TServerManager&) = delete;

    // Empties the table and lists every target in order; a failing server gets the error mark and no
    // lines, and the others are still tried. Stop ends the whole connect, keeping what was listed.
    void Connect(const TConnectPlan& plan, bool getHeaders);
    // Carries out the marks of every server that has any, saving fetched messages as
    // "lmserver_<n>" files (n counts from 1 for each server) in `spoolDir` and recording them in
    // the check file of the mailbox's account, as if the agent had received them.
    void CarryOut(const QString& spoolDir);
    void Cancel();
    bool Busy() const { return m_busy; }

    TMessageTable Table;

private:
    void ConnectEvents();
    void ConnectServer(const TConnectTarget& target, bool getHeaders);
    void ListServer(int server, bool getHeaders);
    // After a refused log-in: asks for the password once more, as for a missing one, and prepares
    // the connection with it. False when the user cancelled or nobody can be asked.
    bool PasswordAskedAgain(int server, const ELogInRefused& refusal);
    void AppendListedLine(int index, bool getHeaders);
    void ListingFailed(int server, const QString& error);
    // Runs `step`. When it fails on a certificate that the user then trusts, the pin is stored for
    // the server's account (kept in the entry only for a quick connection) and `step` runs once more.
    void TrustingOnce(int server, const std::function<void()>& step);
    void CarryOutServer(int server, const QString& spoolDir);
    // IMAP (ServerManagerImap.cpp): the inbox and the ticked folders listed from ENVELOPE and
    // RFC822.SIZE, and the marks carried out folder by folder by UID, each folder after checking
    // that its UIDVALIDITY is still the listed one.
    struct TImapPass {
        QString SpoolDir;
        bool MarkRead = false;
        // Spool files written, messages to fetch and fetched in this pass over the server.
        int Saved = 0;
        int ToReceive = 0;
        int Received = 0;
        // Rows whose messages the server expunged.
        QList<int> Deleted;
    };
    void ConfigureImap(const TServerEntry& entry);
    void ListImapServer(int server);
    void ListImapFolder(int server, const QString& folder);
    void CarryOutImapServer(int server, const QString& spoolDir);
    void CarryOutImapFolder(int server, const TListedFolder& folder, const QList<int>& marked, TImapPass& pass);
    // Saves the bodies of `uids` to the spool; the rows of the messages that are safe there.
    QSet<int> FetchImapBodies(const QList<quint32>& uids, const QHash<quint32, qint64>& sizes,
                              const QHash<quint32, int>& rowOfUid, TImapPass& pass);
    // The rows of `server` in `folder` marked for fetching or deleting.
    QList<int> MarkedImapLines(int server, const QString& folder) const;
    // Those of `rows` whose UIDs are still in the selected folder; the others get the "message
    // changed" status and keep their marks.
    QList<int> StillOnServer(int server, QList<int> rows);
    // The client of the server's protocol.
    TqmMailBase& ClientOf(int server);
    // The marks of one server in one session; `deleted` collects the rows whose DELE was accepted.
    void ProcessLines(int server, const QString& spoolDir, QList<int>& deleted);
    bool PositionsAreSafe(const TServerEntry& entry);
    bool SaveMessage(const QString& spoolDir, int number, const QByteArray& message);
    // Writes what was fetched from `entry` into its account's check file, so that the agent's next
    // receive counts it as received; nothing for a mailbox of no account.
    void RecordFetched(const TServerEntry& entry);
    void SetMark(int row, const QString& mark);
    void Status(const QString& text) const;
    void Progress(int percent) const;

    const TLmserverSettings& m_settings;
    TServerEvents m_events;
    TServerPOP m_pop;
    TqmIMAP m_imap;
    bool m_busy = false;
    bool m_cancelled = false;
    // A fetched message could not be saved: the spool takes no more, so the pass ends.
    bool m_spoolFailed = false;
    // The retrieved message of the RETR in progress.
    QByteArray m_retrieved;
    // The messages of the server in hand saved to the spool in this pass.
    QList<TFetchedMessage> m_fetched;
};

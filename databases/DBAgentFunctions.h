#pragma once
// The job handed from the main client to the transfer agent: one transfer per job, written to
// "lmagent.ini" in the program directory before the agent starts and read (then deleted) by the
// agent. Also the header list "headers.ini" whose lines the agent adds to every message it sends.
//
// Job file layout: sections [Main], [User], [Ras] in that order, one "Key=Value" line per key,
// [Main] ending with the transport security of the job's server (Security: "none", "auto",
// "starttls", "tls"; PinnedCertificate: a fingerprint or empty; PinnedServer: the "host:port" the
// pin was trusted for, empty for a pin that names no server), which a job without them reads as
// "auto" and no pin, for an OAuth2 account "AuthMethod=oauth2", whose [User] Password is then
// the access token, and for "IMAP" the further folders (Folders: percent-encoded names joined
// by ",", missing = the inbox only) and MarkRead=1 when fetched mail is to be marked read; a send job may end with a section [SentCopy] (Server,
// Username, Password, Security, PinnedCertificate, PinnedServer, for an OAuth2 account
// AuthMethod=oauth2: see TSentCopyTarget);
// CR LF line ends. Values are written byte for byte, unquoted and unescaped: a reader takes
// everything after the first "=" of a line, so "=", ";", quotes, blanks and non-ASCII bytes in a
// password come back exactly. A value cannot hold a line break; WriteJob refuses such a job.

#include "DBAccountSecurity.h"
#include "Konstanten.h"
#include "nktypes.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <optional>

// Where a send job keeps a copy of each sent message: the IMAP server of the account whose SMTP
// server sends, when that account receives over IMAP and keeps sent copies. Empty Server: none.
struct TSentCopyTarget {
    QByteArray Server;
    QByteArray Username;
    QByteArray Password;
    TqmSecurity Security = TqmSecurity::secAuto;
    QByteArray PinnedCertificate;
    QByteArray PinnedServer;
    // OAuth2: Password is the access token.
    TAuthMethod Auth = TAuthMethod::Password;
};

struct TAgentJob {
    QByteArray Action;
    QByteArray AccountName;
    QByteArray Server;
    QByteArray Username;
    QByteArray Password;
    bool KeepMails = false;
    bool CheckMails = false;
    qint32 DeleteDays = 0;
    QByteArray RasService;
    bool RasForceService = false;
    bool RasHangUp = false;
    TqmSecurity Security = TqmSecurity::secAuto;
    QByteArray PinnedCertificate;
    QByteArray PinnedServer;
    TAuthMethod Auth = TAuthMethod::Password;
    // IMAP only: the server folders received besides the inbox, UTF-8, and whether fetched mail is
    // marked read on the server.
    QByteArrayList Folders;
    bool MarkRead = false;
    // SMTP only.
    TSentCopyTarget SentCopy;
};

// The agent recognises exactly these actions, in this letter case.
inline const QByteArray ReceiveAction("POP3");
inline const QByteArray ImapReceiveAction("IMAP");
inline const QByteArray SendAction("SMTP");

// How a receive command treats the account's PopKeepMails.
enum TKeepMode { KeepModeForceDelete = 0, KeepModeForceKeep = 1, KeepModeFromAccount = 2 };

// Replaces the job file, readable by its owner only (it holds a plain password).
bool WriteJob(const TAgentJob& job, const QString& path = Paths().Program.JobFile);
// Nothing when the file does not exist; missing or unreadable keys take empty, false and 0.
std::optional<TAgentJob> ReadJob(const QString& path = Paths().Program.JobFile);

// Fills all values of a receive job from the account named `accountName` (exact match), the POP3
// security and pin, the incoming protocol (Action "POP3" or "IMAP") and its folders from its
// registry group, the password from wherever the account keeps it (an OAuth2 account's access
// token, refreshed first when it expired; see AccountLogIn.h); false, with `job` untouched, when
// there is no such account, and with the reason in `error` when its secret cannot be had.
// `keepMode` is a TKeepMode value; any value other than 0 and 1 takes the account's setting.
bool FillReceiveJob(TAgentJob& job, const QByteArray& accountName, int keepMode, QString* error = nullptr);
// Sets the send values for `smtpServer`. Account name, login, dial-up, SMTP security and pin come
// from the first account with that SMTP server and are emptied (auto, no pin) when there is none;
// the receive-only values stay as they were. False, with the reason in `error`, when the account's
// secret cannot be had; the job must then not run.
bool FillSendJob(TAgentJob& job, const QByteArray& smtpServer, QString* error = nullptr);

// Why the agent's last job failed, in the words its window showed: "lmagent.err" beside the job
// file, written by the agent, taken (read and deleted) by the main client after each run.
QString JobFailureFile(const QString& jobFile = Paths().Program.JobFile);
bool WriteJobFailure(const QString& text, const QString& path = JobFailureFile());
// Empty when the agent left no reason.
QString TakeJobFailure(const QString& path = JobFailureFile());

// Lines of the header list file; blank lines are skipped, since one would end a message header.
QByteArrayList ReadHeaderList(const QString& path = Paths().Program.HeadersFile);
bool WriteHeaderList(const QByteArrayList& lines, const QString& path = Paths().Program.HeadersFile);

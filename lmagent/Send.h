#pragma once
// One send run: every message file of the outgoing queue through one SMTP server. A file is
// deleted once the server accepted its message; that is the only sign to the main client that
// the message went out. Held messages ("X-LMHOLD") stay; blind copies ("X-LMBCC") become envelope
// recipients only; the text goes out as the queue file holds it, less the agent's own fields and
// plus the lines of the header list (TransmitText), and with lines over 998 octets mended
// (MendOverlongLines). For an IMAP account each sent message is also kept for the server's Sent
// folder (SentCopies.h).

#include "AgentEvents.h"
#include "DBAgentFunctions.h"
#include "qmmsg.h"
#include "qmsmtp.h"

#include <optional>

class TDialUp;

struct TSendPaths {
    QString QueueDir;
    QString HeadersFile;
    // Empty: no transfer log.
    QString LogFile;
};

// Replaces the blind copies of `message` with the "X-LMBCC" addresses and removes those fields.
void ApplyBlindCopies(TqmMessage& message);
// Removes every field called `name`.
void RemoveAllFields(TqmHeaders& headers, const QByteArray& name);
// The queue's "*.eml" files in name order, less the message window's work files.
QStringList QueueFiles(const QString& queueDir);

class TSendRun {
public:
    TSendRun(const TAgentJob& job, const TSendPaths& paths, const TAgentEvents& events);
    TSendRun(const TSendRun&) = delete;
    TSendRun& operator=(const TSendRun&) = delete;

    // False when anything failed (the error flag).
    // A refused password is asked for once more (and may be stored), then AUTH is tried again.
    bool Execute(TDialUp& dialUp, int timeoutSeconds, bool debugMode);
    // From the SMTP client's start (the server's name being looked up) to the run's end.
    bool Running() const { return m_running; }
    void Cancel();
    // The status line that told why the run or its last failed message failed; empty after success.
    const QString& FailureText() const { return m_lastFailure; }

private:
    void Configure(int timeoutSeconds, bool debugMode);
    void ConnectEvents();
    void Connect();
    // Opens the connection; a certificate the user trusts when asked is pinned for the account's
    // SMTP server and the connection tried once more.
    void OpenConnection();
    void AuthenticateWithRetry();
    // False when the loop is to stop.
    bool SendFile(const QString& path);
    void PrepareMessage(const QString& path);
    // The text to send: the queue file as TransmitText gives it, overlong lines mended; nothing
    // (reported) when it cannot be mended.
    std::optional<QByteArray> MendedText();
    void Transmit(QByteArray text);
    bool AskAfterFailure(const QString& text);
    void RecoverSession();
    static QString Text(int id, const QString& value = {});

    TAgentJob m_job;
    TSendPaths m_paths;
    const TAgentEvents& m_events;
    TqmSMTP m_smtp;
    TqmMessage m_message;
    QByteArrayList m_headerLines;
    QByteArray m_queueText;
    bool m_failed = false;
    bool m_running = false;
    int m_timeoutSeconds = 60;
    // The status line that says why the run or the last message failed.
    QString m_lastFailure;
};

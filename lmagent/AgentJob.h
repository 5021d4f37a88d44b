#pragma once
// The agent's one job from start to end: the user's settings, taking the job file, carrying out
// the job and the error flag that decides whether the window stays open afterwards.

#include "AgentEvents.h"
#include "DBAgentFunctions.h"
#include "DialupFunctions.h"
#include "qmpop3.h"

#include <QDate>

#include <memory>
#include <optional>

class TReceiveRun;
class TSendRun;

struct TAgentSettings {
    bool LogActive = false;
    bool DebugMode = false;
    // Seconds of silence before a transfer fails.
    int PopTimeout = 60;
    // "PopMaxMessageMiB": larger messages stay on the server; 0 turns the limit off.
    qint64 MaxMessageSize = TqmCustomPOP::DefaultMaxMessageSize;
};

// From the active user's "General" key.
TAgentSettings ReadAgentSettings();
// Reads the job and, unless `keepFile`, deletes the file at once, whatever the job then does.
std::optional<TAgentJob> TakeJob(const QString& path, bool keepFile);
// Today's date for the check-file rules; LUMARO_TEST_TODAY (yyyy-mm-dd) stands in for it.
QDate AgentToday();

class TAgentRun {
public:
    TAgentRun(const TAgentJob& job, const TAgentSettings& settings, const TAgentEvents& events,
              std::shared_ptr<TnkRasBackend> rasBackend);
    ~TAgentRun();
    TAgentRun(const TAgentRun&) = delete;
    TAgentRun& operator=(const TAgentRun&) = delete;

    // Receives for "POP3" and "IMAP", sends for "SMTP", does nothing for anything else. Runs once.
    void Execute();
    bool ErrorFlag() const { return m_errorFlag; }
    // Whether a transfer runs (its connection, or the look-up before it), which Cancel then drops.
    bool Transferring() const;
    void Cancel();
    // Why the run failed, as its status line said; empty after success.
    QString FailureText() const;
    // Where a failed run leaves its reason for the main client; empty: nowhere.
    void SetFailureFile(const QString& path) { m_failureFile = path; }

private:
    void Receive();
    void Send();
    QString LogFile() const;

    TAgentJob m_job;
    TAgentSettings m_settings;
    const TAgentEvents& m_events;
    TDialUp m_dialUp;
    std::unique_ptr<TReceiveRun> m_receive;
    std::unique_ptr<TSendRun> m_send;
    bool m_errorFlag = false;
    QString m_failureFile;
};

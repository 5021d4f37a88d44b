#pragma once
// Making sure a network connection is up before a transfer: nothing to do on a local network,
// otherwise the job's dial-up entry is used when it is up, or dialled (hanging up another
// connection first when the job forces its own entry).

#include "AgentEvents.h"
#include "nkRasCmp.h"

#include <memory>

// One dial-up entry of the system, dialled with its stored credentials. Lives for one run.
class TDialUp {
public:
    explicit TDialUp(std::shared_ptr<TnkRasBackend> backend);
    TDialUp(const TDialUp&) = delete;
    TDialUp& operator=(const TDialUp&) = delete;

    // Whether the entry keeps a password. The system never hands the password out, so
    // `password` stays empty; a kept one is used by Dial itself.
    bool GetEntryPassword(QString& password);
    void SetEntryPassword(const QString& password);
    const QStringList& GetEntries();
    // 0 when connected, else the dial-up error code (-1 for a time-out or cancel).
    int Dial();
    void Cancel() { m_ras.Cancel(); }
    TnkRas& Ras() { return m_ras; }
    TnkRasBackend& Backend() { return *m_backend; }

    QString EntryName;
    // Raised when a dial fails.
    std::function<void()> OnConnectFailed;

private:
    std::shared_ptr<TnkRasBackend> m_backend;
    TnkRas m_ras;
    QString m_typedPassword;
};

// Ensures a connection for a job using dial-up entry `entry` (empty: local network). `force`:
// another active connection is hung up and the entry dialled. Writes the dial-up status line and
// `OwnConnection`; false when the transfer cannot go on.
bool EnsureConnection(TDialUp& dialUp, const QString& entry, bool force, const TAgentEvents& events);

// The registry value telling the main client that the agent dialled the connection.
void WriteOwnConnection(bool own);

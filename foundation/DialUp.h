#pragma once
// The dial-up entry component every program uses: the system's dial-up entries (connection
// profiles of the dial-up backend), dialling one with its stored credentials, and the system's
// own editor for an entry.

#include "nkRasCmp.h"

#include <functional>
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
    // The names of the system's dial-up entries, read afresh.
    const QStringList& GetEntries();
    // Opens the system's own editor for the entry `name`; false when no editor could be started.
    bool EditEntry(const QString& name);
    // 0 when connected, else the dial-up error code (-1 for a time-out or cancel).
    int Dial();
    void Cancel() { m_ras.Cancel(); }
    TnkRas& Ras() { return m_ras; }
    TnkRasBackend& Backend() { return *m_backend; }

    QString EntryName;
    // Raised when a dial fails.
    std::function<void()> OnConnectFailed;
    // Starts the system's editor for an entry; replaceable for tests.
    std::function<bool(const QString& name)> EntryEditor;

private:
    std::shared_ptr<TnkRasBackend> m_backend;
    TnkRas m_ras;
    QString m_typedPassword;
};

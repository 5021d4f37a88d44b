#pragma once
// TnkRas: opens and ends a dial-up network connection through a backend of the system: the
// connection profiles of NetworkManager (over the system D-Bus) when it runs, otherwise nothing
// ("not installed": every operation quietly does nothing). It reuses a connection that is already
// up instead of dialling again and hangs up only connections it made itself. Dial waits like the
// socket client: an event loop until connected, an error, cancel or its own time-out.

#include "nktypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Connection states reported while dialling (the values the programs know).
enum TnkRasState : int {
    rsOpenPort = 0,
    rsPortOpened = 1,
    rsConnectDevice = 2,
    rsDeviceConnected = 3,
    rsAllDevicesConnected = 4,
    rsAuthenticate = 5,
    rsAuthenticated = 14,
    rsAuthAck = 19,
    rsLogonNetwork = 21,
    rsConnected = 8192,
};

// One active connection as the backend lists it.
struct TnkRasConnection {
    QString Entry;
    QString Handle;
    bool HasAddress = false; // it holds an IPv4 address
};

// What TnkRas needs of the system. Methods that fail throw ERASError (use RasError).
class TnkRasBackend {
public:
    using TDialNotify = std::function<void(int state, int error)>;

    virtual ~TnkRasBackend() = default;
    // False: the system offers no dial-up service; TnkRas then does nothing at all.
    virtual bool Available() const = 0;
    virtual QStringList Entries() = 0;
    virtual QList<TnkRasConnection> Connections() = 0;
    // Whether the entry keeps its own password, so that the component's Password is not needed.
    virtual bool HasStoredPassword(const QString& entry) = 0;
    // Stores `password` with the entry; `removeAfterUse` asks the system not to keep it.
    virtual void SetPassword(const QString& entry, const QString& password, bool removeAfterUse) = 0;
    // Starts dialling and returns the new connection's handle; states and errors arrive later
    // through `notify`, from the event loop.
    virtual QString Dial(const QString& entry, const TDialNotify& notify) = 0;
    virtual void HangUp(const QString& handle) = 0;
    // The system's text for an error code; empty when it has none.
    virtual QString ErrorText(int code) const = 0;
};

// The system's text for `code`, or "RAS error no " and the code.
QString RasErrorText(const TnkRasBackend& backend, int code);
[[noreturn]] void RasError(const TnkRasBackend& backend, int code);

// The backend for this system: NetworkManager when the system bus offers it, else one that is not
// installed.
std::shared_ptr<TnkRasBackend> DefaultRasBackend();
std::shared_ptr<TnkRasBackend> NotInstalledRasBackend();

class TnkRas : public QObject {
    Q_OBJECT

public:
    explicit TnkRas(QObject* parent = nullptr);
    explicit TnkRas(std::shared_ptr<TnkRasBackend> backend, QObject* parent = nullptr);
    ~TnkRas() override;

    const QString& GetService() const { return m_service; }
    // Empty clears it. A refusal (not installed, already connected, not an entry) is told
    // through OnNotice and leaves the value as it was; an unknown entry clears it.
    void SetService(const QString& name);
    int GetTimeOut() const { return m_timeCounter.Limit(); }
    void SetTimeOut(int seconds) { m_timeCounter.SetLimit(seconds); }
    bool GetOwnConnection() const { return m_ownConnection; }
    // Before any dial this is refused through OnNotice.
    void SetOwnConnection(bool own);

    bool Installed() const { return !Entries.isEmpty(); }
    void GetEntries();
    // Entry names of the active connections that hold an address.
    const QStringList& GetActiveConnections();
    // A connection to Service (or, without ForceService, any connection with an address) that
    // this component did not make is up; its handle is taken over.
    bool IsActive();
    bool Connected() const { return m_connected; }
    const QString& Handle() const { return m_handle; }
    int LastError() const { return m_lastError; }

    // Uses a suitable connection that is up, else dials Service and waits until it is connected.
    // Throws ERASError, ETimedOutError or ECanceledError; a failed dial is hung up.
    void Dial();
    // Ends the connection when this component made it; a taken-over one stays up.
    void HangUp();
    // Hangs up; a dial in progress ends with ECanceledError.
    void Cancel();
    void ReInit();

    // The text shown for a dialling state; empty for states without one.
    static QString StatusText(int state);

    QString Password;
    bool ForceService = true;
    // Kept for the programs' settings; NetworkManager shows no connection window to minimise.
    bool MinimizeAtConnect = false;
    bool RemovePassword = true;
    QStringList Entries;
    QStringList ActiveConnections;

    std::function<void(QObject& sender, const QString& statusText)> OnStatusChange;
    TNotifyEvent OnDisconnected;
    // What a message box would tell the user (wrong use of a property).
    std::function<void(QObject& sender, const QString& text)> OnNotice;

private:
    void OnDialEvent(int state, int error);
    void Notice(const QString& text);

    std::shared_ptr<TnkRasBackend> m_backend;
    TTimeCounter m_timeCounter;
    TEventWait m_wait{m_timeCounter};
    QString m_service;
    QString m_handle;
    int m_lastError = 0;
    bool m_connected = false;
    bool m_canceled = false;
    bool m_ownConnection = false;
};

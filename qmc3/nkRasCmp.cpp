#include "nkRasCmp.h"

#include "qmconst.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace {

class TNotInstalledBackend final : public TnkRasBackend {
public:
    bool Available() const override { return false; }
    QStringList Entries() override { return {}; }
    QList<TnkRasConnection> Connections() override { return {}; }
    bool HasStoredPassword(const QString&) override { return true; }
    void SetPassword(const QString&, const QString&, bool) override {}
    QString Dial(const QString&, const TDialNotify&) override { return {}; }
    void HangUp(const QString&) override {}
    QString ErrorText(int) const override { return {}; }
};

using TNmSettings = QMap<QString, QVariantMap>;

const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString NmSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString NmActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
constexpr int NmActivating = 1;
constexpr int NmActivated = 2;
constexpr int NmDeactivated = 4;
// Error codes of this backend: the reason NetworkManager gave, offset so that 0 stays "no error".
constexpr int NmReasonBase = 20000;
constexpr int NmCallFailed = 19999;

// Relays the state changes of one active connection to the dial notification.
class TNmStateRelay : public QObject {
    Q_OBJECT
public:
    explicit TNmStateRelay(TnkRasBackend::TDialNotify notify) : m_notify(std::move(notify)) {}

public slots:
    void StateChanged(uint state, uint reason)
    {
        if (state == NmActivating)
            m_notify(rsPortOpened, 0);
        else if (state == NmActivated)
            m_notify(rsConnected, 0);
        else if (state == NmDeactivated)
            m_notify(rsOpenPort, NmReasonBase + int(reason));
    }

private:
    TnkRasBackend::TDialNotify m_notify;
};

// Connection profiles are the entries; dialling activates one, hanging up deactivates it.
// NetworkManager keeps the secrets and asks its own agent for missing ones.
class TNetworkManagerBackend final : public TnkRasBackend {
public:
    TNetworkManagerBackend() { qDBusRegisterMetaType<TNmSettings>(); }

    bool Available() const override { return true; }

    QStringList Entries() override
    {
        QStringList names;
        for (const auto& [name, path] : Profiles())
            names.append(name);
        return names;
    }

    QList<TnkRasConnection> Connections() override
    {
        QList<TnkRasConnection> connections;
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(Property(NmPath, NmService, QStringLiteral("ActiveConnections")));
        for (const QDBusObjectPath& path : paths) {
            const QString id = Property(path.path(), NmActiveInterface, QStringLiteral("Id")).toString();
            const auto ip4 = qvariant_cast<QDBusObjectPath>(Property(path.path(), NmActiveInterface, QStringLiteral("Ip4Config")));
            connections.append({id, path.path(), !ip4.path().isEmpty() && ip4.path() != QStringLiteral("/")});
        }
        return connections;
    }

    bool HasStoredPassword(const QString&) override { return true; }
    void SetPassword(const QString&, const QString&, bool) override {}

    QString Dial(const QString& entry, const TDialNotify& notify) override
    {
        QString profile;
        for (const auto& [name, path] : Profiles())
            if (name == entry)
                profile = path;
        QDBusInterface manager(NmService, NmPath, NmService, QDBusConnection::systemBus());
        const QDBusReply<QDBusObjectPath> reply = manager.call(QStringLiteral("ActivateConnection"), QVariant::fromValue(QDBusObjectPath(profile)),
                                                               QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))),
                                                               QVariant::fromValue(QDBusObjectPath(QStringLiteral("/"))));
        if (!reply.isValid())
            RasError(*this, NmCallFailed);
        const QString active = reply.value().path();
        m_relay = std::make_unique<TNmStateRelay>(notify);
        QDBusConnection::systemBus().connect(NmService, active, NmActiveInterface, QStringLiteral("StateChanged"), m_relay.get(),
                                             SLOT(StateChanged(uint, uint)));
        if (Property(active, NmActiveInterface, QStringLiteral("State")).toUInt() == NmActivated)
            notify(rsConnected, 0);
        return active;
    }

    void HangUp(const QString& handle) override
    {
        QDBusInterface manager(NmService, NmPath, NmService, QDBusConnection::systemBus());
        manager.call(QStringLiteral("DeactivateConnection"), QVariant::fromValue(QDBusObjectPath(handle)));
        m_relay.reset();
    }

    QString ErrorText(int code) const override
    {
        if (code == NmCallFailed)
            return QStringLiteral("NetworkManager refused to activate the connection");
        if (code > NmReasonBase)
            return QStringLiteral("NetworkManager ended the connection (reason %1)").arg(code - NmReasonBase);
        return {};
    }

private:
    static QVariant Property(const QString& path, const QString& interface, const QString& name)
    {
        QDBusInterface properties(NmService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QDBusConnection::systemBus());
        const QDBusReply<QDBusVariant> reply = properties.call(QStringLiteral("Get"), interface, name);
        return reply.isValid() ? reply.value().variant() : QVariant();
    }

    // (connection id, profile object path) of every profile.
    static QList<std::pair<QString, QString>> Profiles()
    {
        QList<std::pair<QString, QString>> profiles;
        QDBusInterface settings(NmService, NmSettingsPath, NmService + QStringLiteral(".Settings"), QDBusConnection::systemBus());
        const QDBusReply<QList<QDBusObjectPath>> paths = settings.call(QStringLiteral("ListConnections"));
        if (!paths.isValid())
            return profiles;
        for (const QDBusObjectPath& path : paths.value()) {
            QDBusInterface connection(NmService, path.path(), NmService + QStringLiteral(".Settings.Connection"), QDBusConnection::systemBus());
            const QDBusReply<TNmSettings> reply = connection.call(QStringLiteral("GetSettings"));
            if (reply.isValid())
                profiles.append({reply.value().value(QStringLiteral("connection")).value(QStringLiteral("id")).toString(), path.path()});
        }
        return profiles;
    }

    std::unique_ptr<TNmStateRelay> m_relay;
};

} // namespace

QString RasErrorText(const TnkRasBackend& backend, int code)
{
    const QString text = backend.ErrorText(code);
    return text.isEmpty() ? QStringLiteral("RAS error no %1").arg(code) : text;
}

void RasError(const TnkRasBackend& backend, int code) { throw ERASError(RasErrorText(backend, code)); }

std::shared_ptr<TnkRasBackend> NotInstalledRasBackend() { return std::make_shared<TNotInstalledBackend>(); }

std::shared_ptr<TnkRasBackend> DefaultRasBackend()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(NmService))
        return std::make_shared<TNetworkManagerBackend>();
    return NotInstalledRasBackend();
}

TnkRas::TnkRas(QObject* parent) : TnkRas(DefaultRasBackend(), parent) {}

TnkRas::TnkRas(std::shared_ptr<TnkRasBackend> backend, QObject* parent) : QObject(parent), m_backend(std::move(backend))
{
    m_timeCounter.SetLimit(120);
    m_timeCounter.OnTimedOut = [this] { m_wait.Wake(); };
    GetEntries();
}

TnkRas::~TnkRas() = default;

void TnkRas::Notice(const QString& text)
{
    if (OnNotice)
        OnNotice(*this, text);
}

void TnkRas::SetService(const QString& name)
{
    if (name.isEmpty()) {
        m_service.clear();
        return;
    }
    if (!Installed())
        Notice(QStringLiteral("TnkRas component was unable to detect\nRAS on your system."));
    else if (m_connected)
        Notice(QStringLiteral("This property can be set only before\nestablishing the connection"));
    else if (!Entries.contains(name)) {
        Notice(QStringLiteral("Invalid service name"));
        m_service.clear();
    } else
        m_service = name;
}

void TnkRas::SetOwnConnection(bool own)
{
    if (m_handle.isEmpty())
        Notice(QStringLiteral("You can set this property only after\ncalling Dail method."));
    else
        m_ownConnection = own;
}

void TnkRas::GetEntries() { Entries = m_backend->Available() ? m_backend->Entries() : QStringList(); }

const QStringList& TnkRas::GetActiveConnections()
{
    ActiveConnections.clear();
    if (!m_backend->Available())
        return ActiveConnections;
    for (const TnkRasConnection& connection : m_backend->Connections())
        if (connection.HasAddress)
            ActiveConnections.append(connection.Entry);
    return ActiveConnections;
}

bool TnkRas::IsActive()
{
    if (!m_backend->Available())
        return false;
    const QList<TnkRasConnection> connections = m_backend->Connections();
    for (const TnkRasConnection& connection : connections)
        if (connection.Entry == m_service && connection.Handle != m_handle) {
            m_handle = connection.Handle;
            return true;
        }
    if (ForceService)
        return false;
    for (const TnkRasConnection& connection : connections)
        if (connection.HasAddress) {
            m_handle = connection.Handle;
            return true;
        }
    return false;
}

void TnkRas::ReInit()
{
    m_handle.clear();
    m_connected = false;
    m_canceled = false;
    m_lastError = 0;
    m_timeCounter.ClearTimedOut();
}

void TnkRas::Dial()
{
    if (IsActive() || m_service.isEmpty()) {
        m_connected = true;
        m_ownConnection = false;
        return;
    }
    if (!m_backend->Available())
        return;
    m_ownConnection = true;
    ReInit();
    if (!m_backend->HasStoredPassword(m_service))
        m_backend->SetPassword(m_service, Password, RemovePassword);
    try {
        m_handle = m_backend->Dial(m_service, [this](int state, int error) { OnDialEvent(state, error); });
    } catch (...) {
        HangUp();
        throw;
    }
    m_wait.Run([this] { return m_connected || m_lastError != 0 || m_canceled; });
    if (m_lastError != 0) {
        HangUp();
        RasError(*m_backend, m_lastError);
    }
    if (m_canceled)
        throw ECanceledError(qmMessageText(qmOperationCanceled));
    if (m_timeCounter.TimedOut())
        throw ETimedOutError(qmMessageText(qmOperationTimedOut));
}

void TnkRas::OnDialEvent(int state, int error)
{
    if (OnStatusChange)
        OnStatusChange(*this, StatusText(state));
    if (state == rsConnected && error == 0)
        m_connected = true;
    // An error after the connection was up is kept for LastError rather than thrown: an exception
    // must not leave an event handler.
    if (error != 0) {
        m_lastError = error;
        m_connected = false;
    }
    m_wait.Wake();
}

void TnkRas::HangUp()
{
    if (Installed() && m_ownConnection && !m_handle.isEmpty()) {
        m_backend->HangUp(m_handle);
        Fire(OnDisconnected, *this);
    }
    m_connected = false;
    m_handle.clear();
}

void TnkRas::Cancel()
{
    HangUp();
    m_canceled = true;
    m_wait.Wake();
}

QString TnkRas::StatusText(int state)
{
    switch (state) {
    case rsOpenPort: return QStringLiteral("Initializing...");
    case rsPortOpened:
    case rsConnectDevice:
    case rsDeviceConnected: return QStringLiteral("Dialing...");
    case rsAllDevicesConnected:
    case rsAuthAck: return QStringLiteral("Verifying user name and password");
    case rsAuthenticated: return QStringLiteral("User name and password verified");
    case rsLogonNetwork: return QStringLiteral("Logging on to Network");
    case rsConnected: return QStringLiteral("Successfully connected");
    default: return {};
    }
}

#include "nkRasCmp.moc"

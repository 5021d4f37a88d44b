#include "DialUp.h"

#include "Reporter.h"
#include "qmexcept.h"

#include <QProcess>

namespace {

constexpr int LookupTimeoutMs = 3000;

// The profile's identifier that the editor of the desktop's network manager is opened with.
QString ConnectionUuid(const QString& name)
{
    QProcess nmcli;
    nmcli.start(QStringLiteral("nmcli"), {QStringLiteral("-g"), QStringLiteral("connection.uuid"),
                                          QStringLiteral("connection"), QStringLiteral("show"), QStringLiteral("id"), name});
    if (!nmcli.waitForFinished(LookupTimeoutMs) || nmcli.exitCode() != 0)
        return {};
    return QString::fromUtf8(nmcli.readAllStandardOutput()).trimmed();
}

bool StartSystemEntryEditor(const QString& name)
{
    const QString uuid = ConnectionUuid(name);
    if (uuid.isEmpty())
        return false;
    return QProcess::startDetached(QStringLiteral("nm-connection-editor"), {QStringLiteral("--edit=") + uuid});
}

} // namespace

TDialUp::TDialUp(std::shared_ptr<TnkRasBackend> backend)
    : EntryEditor(StartSystemEntryEditor), m_backend(backend), m_ras(backend)
{
    m_ras.OnNotice = [](QObject&, const QString& text) { ReportText(0, TMessageKind::Information, text); };
}

bool TDialUp::GetEntryPassword(QString& password)
{
    password.clear();
    return m_backend->Available() && m_backend->HasStoredPassword(EntryName);
}

void TDialUp::SetEntryPassword(const QString& password)
{
    m_typedPassword = password;
}

const QStringList& TDialUp::GetEntries()
{
    m_ras.GetEntries();
    return m_ras.Entries;
}

int TDialUp::Dial()
{
    try {
        m_ras.SetService(EntryName);
        m_ras.Password = m_typedPassword;
        m_ras.Dial();
        return 0;
    } catch (const EqmException&) {
        if (OnConnectFailed)
            OnConnectFailed();
        return m_ras.LastError() != 0 ? m_ras.LastError() : -1;
    }
}

bool TDialUp::EditEntry(const QString& name)
{
    return !name.isEmpty() && EntryEditor && EntryEditor(name);
}

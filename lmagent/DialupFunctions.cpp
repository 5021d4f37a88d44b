#include "DialupFunctions.h"

#include "RegistryFunctions.h"
#include "Reporter.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

namespace {

const QString OwnConnectionValue = QString::fromLatin1(RegValue::OwnConnection);

QString Text(int id, const QString& value = {})
{
    return FillIn(MessageText(id), value);
}

std::optional<TnkRasConnection> FirstActiveConnection(TnkRasBackend& backend)
{
    for (const TnkRasConnection& connection : backend.Connections())
        if (connection.HasAddress)
            return connection;
    return std::nullopt;
}

QString AskDialUpPassword(TDialUp& dialUp, const QString& entry, const TAgentEvents& events)
{
    QString stored;
    if (dialUp.GetEntryPassword(stored) || !stored.isEmpty())
        return {};
    const std::optional<QByteArray> typed = events.Password(entry, Text(AgentText::DialUpPassword));
    return typed ? QString::fromUtf8(*typed) : QString();
}

// True when an active connection may be used as it is.
bool UseOrEndActiveConnection(TDialUp& dialUp, const QString& entry, bool force, const TAgentEvents& events)
{
    const std::optional<TnkRasConnection> active = FirstActiveConnection(dialUp.Backend());
    if (!active)
        return false;
    if (!force || active->Entry == entry) {
        events.DialStatus(Text(AgentText::UsingConnection, active->Entry));
        return true;
    }
    events.DialStatus(Text(AgentText::Terminating, active->Entry));
    dialUp.Backend().HangUp(active->Handle);
    WriteOwnConnection(false);
    return false;
}

bool DialEntry(TDialUp& dialUp, const QString& entry, const QString& typedPassword, const TAgentEvents& events)
{
    events.DialStatus(Text(AgentText::ConnectingTo, entry));
    if (!typedPassword.isEmpty())
        dialUp.SetEntryPassword(typedPassword);
    if (!dialUp.GetEntries().contains(entry)) {
        Report(AgentText::EntryNotFound, TMessageKind::Warning, entry);
        return false;
    }
    if (dialUp.Dial() != 0) {
        events.DialStatus(Text(AgentText::NoDialUp));
        return false;
    }
    events.DialStatus(Text(AgentText::ConnectedTo, entry));
    // A connection to the entry that came up meanwhile is used, not dialled: it is not ours to end.
    if (dialUp.Ras().GetOwnConnection())
        WriteOwnConnection(true);
    return true;
}

} // namespace

void WriteOwnConnection(bool own)
{
    TRegistryKey root;
    root.WriteBool(OwnConnectionValue, own);
    root.Flush();
}

bool EnsureConnection(TDialUp& dialUp, const QString& entry, bool force, const TAgentEvents& events)
{
    if (entry.isEmpty()) {
        events.DialStatus(Text(AgentText::UsingConnection));
        return true;
    }
    events.DialStatus(Text(AgentText::EstablishingDialUp));
    dialUp.EntryName = entry;
    dialUp.OnConnectFailed = [] { Report(AgentText::DialFailed, TMessageKind::Information); };
    const QString typedPassword = AskDialUpPassword(dialUp, entry, events);
    if (UseOrEndActiveConnection(dialUp, entry, force, events))
        return true;
    return DialEntry(dialUp, entry, typedPassword, events);
}

#include "WizardRules.h"

#include "AccountEdtRules.h"
#include "AutoconfigDocument.h"

#include <algorithm>

namespace {

constexpr qsizetype ServerCapacity = 50;

bool IsIpv6(const QString& host)
{
    return host.contains(QLatin1Char(':'));
}

// The port the POP3, IMAP and SMTP clients use when the server field names none (their service
// lookups: "pop3", "pop3s", "imap", "imaps", "smtp", "submissions").
quint16 ClientDefaultPort(TMailService service, TqmSecurity security, TIncomingProtocol incoming)
{
    const bool tls = security == TqmSecurity::secTls;
    if (service == TMailService::Pop && incoming == TIncomingProtocol::Imap)
        return tls ? 993 : 143;
    if (service == TMailService::Pop)
        return tls ? 995 : 110;
    return tls ? 465 : 25;
}

} // namespace

int WizardSecurityIndex(TqmSecurity security)
{
    const auto* found = std::find(std::begin(WizardSecurityModes), std::end(WizardSecurityModes), security);
    return found == std::end(WizardSecurityModes) ? 0 : int(found - std::begin(WizardSecurityModes));
}

quint16 StandardPort(TMailService service, TqmSecurity security, TIncomingProtocol incoming)
{
    const bool tls = security == TqmSecurity::secTls;
    if (service == TMailService::Pop && incoming == TIncomingProtocol::Imap)
        return tls ? 993 : 143;
    if (service == TMailService::Pop)
        return tls ? 995 : 110;
    return tls ? 465 : 587;
}

QString PortAfterSecurityChange(const QString& shownPort, bool typedByUser, TMailService service, TqmSecurity security,
                                TIncomingProtocol incoming)
{
    return typedByUser ? shownPort : QString::number(StandardPort(service, security, incoming));
}

std::optional<quint16> ParsePort(const QString& text)
{
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    if (!ok || port < 1 || port > 0xFFFF)
        return std::nullopt;
    return quint16(port);
}

THostAndPort SplitHostAndPort(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = trimmed.mid(close + 1);
            return {trimmed.mid(1, close - 1), rest.startsWith(QLatin1Char(':')) ? rest.mid(1).trimmed() : QString()};
        }
    }
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    // None, or a bare IPv6 address, whose colons are not a port's.
    if (colon < 0 || trimmed.indexOf(QLatin1Char(':'), colon + 1) >= 0)
        return {trimmed, {}};
    return {trimmed.left(colon).trimmed(), trimmed.mid(colon + 1).trimmed()};
}

TServerChoice ServerChoiceOfFields(const QString& serverText, const QString& portText, TqmSecurity security)
{
    const THostAndPort parts = SplitHostAndPort(serverText);
    return {parts.Host, parts.Port.isEmpty() ? portText.trimmed() : parts.Port, security};
}

QByteArray ServerFieldText(TMailService service, const TServerChoice& server, TIncomingProtocol incoming)
{
    const QByteArray host = server.Host.trimmed().toUtf8();
    const std::optional<quint16> port = ParsePort(server.Port);
    if (!port || *port == ClientDefaultPort(service, server.Security, incoming))
        return host;
    const QByteArray hostPart = IsIpv6(server.Host) ? '[' + host + ']' : host;
    return hostPart + ':' + QByteArray::number(*port);
}

QString ServerDisplayText(const TServerChoice& server)
{
    const QString host = server.Host.trimmed();
    return (IsIpv6(host) ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') + server.Port.trimmed();
}

bool ServerChoiceComplete(TMailService service, const TServerChoice& server, TIncomingProtocol incoming)
{
    const QString host = server.Host.trimmed();
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || !ParsePort(server.Port))
        return false;
    return ServerFieldText(service, server, incoming).size() <= ServerCapacity;
}

bool WizardCanLeave(TWizardPage page, const TWizardChoices& choices)
{
    switch (page) {
    // The look-up needs the address and the found servers are tried with the password.
    case wpStart: return LooksLikeAddress(choices.SmtpAddress) && !choices.PopPassword.isEmpty();
    case wpIncoming: return ServerChoiceComplete(TMailService::Pop, choices.Pop, choices.Incoming);
    case wpOutgoing: return ServerChoiceComplete(TMailService::Smtp, choices.Smtp);
    // The POP3 client refuses to log in without both, and so does the connection test.
    case wpLogin: return !choices.PopUsername.isEmpty() && !choices.PopPassword.isEmpty();
    case wpAccountName:
    case wpConnectionTest: return WizardCanFinish(choices.Name);
    default: return true;
    }
}

TWizardPage WizardPageAfterLookup(bool foundWorking)
{
    return foundWorking ? wpAccountName : wpIncoming;
}

QString WizardProposedName(const QString& name, const QString& address)
{
    return name.isEmpty() ? address : name;
}

bool WizardCanFinish(const QString& name)
{
    return name.size() > 1;
}

TAccountDraft WizardDraft(const TWizardChoices& choices)
{
    TAccountFields f = FieldsOfAccount(TAccount{});
    f.SmtpName = choices.SmtpName;
    f.SmtpAddress = choices.SmtpAddress.trimmed();
    f.PopServer = QString::fromUtf8(ServerFieldText(TMailService::Pop, choices.Pop, choices.Incoming));
    f.SmtpServer = QString::fromUtf8(ServerFieldText(TMailService::Smtp, choices.Smtp));
    f.PopUsername = choices.PopUsername;
    f.PopPassword = choices.PopPassword;
    f.SmtpAuth = choices.SmtpAuth;
    f.SmtpAuthPop = choices.SmtpAuth;
    f.Name = choices.Name;
    TAccountDraft draft;
    draft.Account = AccountFromFields(TAccount{}, f);
    draft.Security.PopSecurity = choices.Pop.Security;
    draft.Security.SmtpSecurity = choices.Smtp.Security;
    draft.Security.PopPin = choices.PopPin;
    draft.Security.SmtpPin = choices.SmtpPin;
    draft.Security.Incoming = choices.Incoming;
    return draft;
}

namespace {

TServerChoice ServerOfRecord(TMailService service, const QByteArray& field, TqmSecurity security,
                             TIncomingProtocol incoming = TIncomingProtocol::Pop3)
{
    const THostAndPort parts = SplitHostAndPort(QString::fromUtf8(field));
    const QString port = parts.Port.isEmpty() ? QString::number(ClientDefaultPort(service, security, incoming)) : parts.Port;
    return {parts.Host, port, WizardSecurityModes[WizardSecurityIndex(security)]};
}

} // namespace

TWizardChoices ChoicesOfDraft(const TAccountDraft& draft)
{
    const TAccount& account = draft.Account;
    TWizardChoices choices;
    choices.SmtpName = QString::fromUtf8(account.SmtpName);
    choices.SmtpAddress = QString::fromUtf8(account.SmtpAddress);
    choices.Incoming = draft.Security.Incoming;
    choices.Pop = ServerOfRecord(TMailService::Pop, account.PopServer, draft.Security.PopSecurity, choices.Incoming);
    choices.Smtp = ServerOfRecord(TMailService::Smtp, account.SmtpServer, draft.Security.SmtpSecurity);
    choices.PopUsername = QString::fromUtf8(account.PopUsername);
    choices.PopPassword = QString::fromUtf8(account.PopPassword);
    choices.SmtpAuth = account.SmtpAuth;
    choices.Name = QString::fromUtf8(account.Name);
    choices.PopPin = draft.Security.PopPin;
    choices.SmtpPin = draft.Security.SmtpPin;
    return choices;
}

TServerTestSettings WizardTestSettings(TMailService service, const TWizardChoices& choices)
{
    const TAccount account = WizardDraft(choices).Account;
    const bool pop = service == TMailService::Pop;
    TServerTestSettings settings;
    settings.Server = pop ? account.PopServer : account.SmtpServer;
    settings.Security = (pop ? choices.Pop : choices.Smtp).Security;
    settings.UserName = pop ? account.PopUsername : account.SmtpUsername;
    settings.Password = pop ? account.PopPassword : account.SmtpPassword;
    settings.Pin = pop ? choices.PopPin : choices.SmtpPin;
    settings.Incoming = pop ? choices.Incoming : TIncomingProtocol::Pop3;
    return settings;
}

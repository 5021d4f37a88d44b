#include "ConnectPlan.h"

#include "AccountLogIn.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"

std::optional<TAccount> ReadAccountByName(const QString& name)
{
    const int record = FindAccountByName(name.toUtf8());
    return record > 0 ? ReadAccount(record) : std::nullopt;
}

TConnectPlan PlanConnect(const TLmserverSettings& settings, const TAccountLookup& lookup)
{
    TConnectPlan plan;
    if (settings.QuickConnect) {
        const TqmSecurity security = QuickConnectSecurity(settings.QuickServer, settings.QuickProtocol, settings.QuickPlainText);
        TConnectTarget target{settings.QuickServer.toUtf8(), settings.QuickUsername.toUtf8(), settings.QuickPassword, security};
        target.Incoming = settings.QuickProtocol;
        plan.Targets.append(target);
        return plan;
    }
    for (const QString& name : settings.AccountsNames) {
        const std::optional<TAccount> account = lookup(name);
        if (!account) {
            plan.MissingAccounts.append(name);
            continue;
        }
        QString error;
        const std::optional<TLogInSecret> secret = LogInSecret(*account, TMailService::Pop, error);
        if (!secret) {
            plan.SecretFailures.append(error);
            continue;
        }
        const TAccountSecurity security = ReadAccountSecurity(account->Name);
        plan.Targets.append({account->PopServer, account->PopUsername, secret->Secret, security.PopSecurity,
                             security.PopPin, account->Name, secret->Method, security.Incoming,
                             security.Incoming == TIncomingProtocol::Imap ? security.ImapFolders : QByteArrayList()});
    }
    return plan;
}

TqmSecurity QuickConnectSecurity(const QString& server, TIncomingProtocol incoming, bool plainText)
{
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    const QString port = colon > 0 && !server.endsWith(QLatin1Char(']')) ? server.mid(colon + 1).trimmed() : QString();
    const QString tlsPort = incoming == TIncomingProtocol::Imap ? QStringLiteral("993") : QStringLiteral("995");
    if (port == tlsPort)
        return TqmSecurity::secTls;
    return plainText ? TqmSecurity::secNone : TqmSecurity::secAuto;
}

bool CanConnect(bool quickConnect, const QString& server, const QString& user, int tickedAccounts)
{
    if (quickConnect)
        return server.size() > 3 && user.size() > 1;
    return tickedAccounts > 0;
}

bool HasConnectChoice(const TLmserverSettings& settings)
{
    return CanConnect(settings.QuickConnect, settings.QuickServer, settings.QuickUsername, int(settings.AccountsNames.size()));
}

#include "DBAccountSecurity.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

namespace {

const QString PopSecurityValue = QStringLiteral("PopSecurity");
const QString SmtpSecurityValue = QStringLiteral("SmtpSecurity");
const QString PinnedCertificateValue = QStringLiteral("PinnedCertificate");

QString TlsSeenValue(TMailService service)
{
    return service == TMailService::Pop ? QStringLiteral("PopTlsSeen") : QStringLiteral("SmtpTlsSeen");
}

QString ServerKeyText(const QByteArray& server) { return QString::fromUtf8(server.trimmed()).toLower(); }

QString AccountsKey() { return UserKey(UserContext().Installation.CurrentUser) + QStringLiteral("/Accounts"); }

QString GroupName(const QByteArray& accountName)
{
    return QString::fromUtf8(accountName.toPercentEncoding(QByteArray(" !\"#$&'()*+,:;<=>?@[]^`{|}~"), "/\\%"));
}

bool GroupExists(const QByteArray& accountName)
{
    return TRegistryKey(AccountsKey()).KeyExists(GroupName(accountName));
}

} // namespace

QString AccountSecurityKey(const QByteArray& accountName) { return AccountsKey() + QLatin1Char('/') + GroupName(accountName); }

TAccountSecurity ReadAccountSecurity(const QByteArray& accountName)
{
    const TRegistryKey key(AccountSecurityKey(accountName));
    TAccountSecurity security;
    security.PopSecurity = SecurityFromText(key.ReadString(PopSecurityValue).toUtf8());
    security.SmtpSecurity = SecurityFromText(key.ReadString(SmtpSecurityValue).toUtf8());
    security.PinnedCertificate = key.ReadString(PinnedCertificateValue).toUtf8().trimmed();
    return security;
}

void WriteAccountSecurity(const QByteArray& accountName, const TAccountSecurity& security)
{
    TRegistryKey key(AccountSecurityKey(accountName));
    key.WriteString(PopSecurityValue, QString::fromLatin1(SecurityText(security.PopSecurity)));
    key.WriteString(SmtpSecurityValue, QString::fromLatin1(SecurityText(security.SmtpSecurity)));
    key.WriteString(PinnedCertificateValue, QString::fromLatin1(security.PinnedCertificate));
    key.Flush();
}

void CopyAccountSecurity(const QByteArray& sourceName, const QByteArray& targetName)
{
    if (sourceName == targetName)
        return;
    RemoveAccountSecurity(targetName);
    if (!GroupExists(sourceName))
        return;
    TRegistryKey target(AccountSecurityKey(targetName));
    target.CopyValuesFrom(TRegistryKey(AccountSecurityKey(sourceName)));
    target.Flush();
}

void RenameAccountSecurity(const QByteArray& oldName, const QByteArray& newName)
{
    if (oldName == newName)
        return;
    CopyAccountSecurity(oldName, newName);
    RemoveAccountSecurity(oldName);
}

void RemoveAccountSecurity(const QByteArray& accountName)
{
    TRegistryKey accounts(AccountsKey());
    accounts.DeleteKey(GroupName(accountName));
    accounts.Flush();
}

bool TlsSeenBefore(const QByteArray& accountName, TMailService service, const QByteArray& server)
{
    if (accountName.isEmpty())
        return false;
    const QString seen = TRegistryKey(AccountSecurityKey(accountName)).ReadString(TlsSeenValue(service));
    return !seen.isEmpty() && seen == ServerKeyText(server);
}

void RememberTlsSeen(const QByteArray& accountName, TMailService service, const QByteArray& server)
{
    if (accountName.isEmpty() || TlsSeenBefore(accountName, service, server))
        return;
    TRegistryKey key(AccountSecurityKey(accountName));
    key.WriteString(TlsSeenValue(service), ServerKeyText(server));
    key.Flush();
}

#include "DBAccountSecurity.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

namespace {

const QString PopSecurityValue = QStringLiteral("PopSecurity");
const QString SmtpSecurityValue = QStringLiteral("SmtpSecurity");
const QString IncomingProtocolValue = QStringLiteral("IncomingProtocol");
const QString SecretStoreValue = QStringLiteral("SecretStore");
const QString AuthMethodValue = QStringLiteral("AuthMethod");
const QString LegacyPinValue = QStringLiteral("PinnedCertificate");
const QString ImapFoldersValue = QStringLiteral("ImapFolders");
const QString ImapSentCopyValue = QStringLiteral("ImapSentCopy");
const QString ImapMarkReadValue = QStringLiteral("ImapMarkRead");

QString PinValue(TMailService service)
{
    return service == TMailService::Pop ? QStringLiteral("PopPinnedCertificate") : QStringLiteral("SmtpPinnedCertificate");
}

QString PinServerValue(TMailService service)
{
    return service == TMailService::Pop ? QStringLiteral("PopPinnedServer") : QStringLiteral("SmtpPinnedServer");
}

TServerPin ReadPin(const TRegistryKey& key, TMailService service)
{
    if (service == TMailService::Pop && !key.ValueExists(PinValue(service)))
        return {{}, key.ReadString(LegacyPinValue).toUtf8().trimmed()};
    return {key.ReadString(PinServerValue(service)).toUtf8().trimmed(), key.ReadString(PinValue(service)).toUtf8().trimmed()};
}

// An empty pin is written too: it hides the value of an earlier version.
void WritePin(TRegistryKey& key, TMailService service, const TServerPin& pin)
{
    key.WriteString(PinValue(service), QString::fromLatin1(pin.Fingerprint));
    key.WriteString(PinServerValue(service), QString::fromUtf8(pin.Server));
    if (service == TMailService::Pop)
        key.WriteString(LegacyPinValue, QString::fromLatin1(pin.Fingerprint));
}

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

TOAuth2Registration ReadOAuth2(const TRegistryKey& key)
{
    const auto read = [&key](const char* name) { return key.ReadString(QLatin1String(name)).toUtf8().trimmed(); };
    return {read("OAuth2ClientId"), read("OAuth2ClientSecret"), read("OAuth2AuthUrl"), read("OAuth2TokenUrl"),
            read("OAuth2Scope")};
}

void WriteOAuth2(TRegistryKey& key, const TOAuth2Registration& oauth)
{
    const auto write = [&key](const char* name, const QByteArray& value) {
        key.WriteString(QLatin1String(name), QString::fromUtf8(value));
    };
    write("OAuth2ClientId", oauth.ClientId);
    write("OAuth2ClientSecret", oauth.ClientSecret);
    write("OAuth2AuthUrl", oauth.AuthUrl);
    write("OAuth2TokenUrl", oauth.TokenUrl);
    write("OAuth2Scope", oauth.Scope);
}

} // namespace

QByteArray IncomingProtocolText(TIncomingProtocol protocol)
{
    return protocol == TIncomingProtocol::Imap ? QByteArrayLiteral("imap") : QByteArrayLiteral("pop3");
}

TIncomingProtocol IncomingProtocolFromText(QByteArrayView text)
{
    return text.trimmed().toByteArray().toLower() == "imap" ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
}

QByteArray SecretStoreText(TSecretStore store)
{
    return store == TSecretStore::Keyring ? QByteArrayLiteral("keyring") : QByteArrayLiteral("record");
}

TSecretStore SecretStoreFromText(QByteArrayView text)
{
    return text.trimmed().toByteArray().toLower() == "keyring" ? TSecretStore::Keyring : TSecretStore::Record;
}

QString AccountSecurityKey(const QByteArray& accountName) { return AccountsKey() + QLatin1Char('/') + GroupName(accountName); }

TAccountSecurity ReadAccountSecurity(const QByteArray& accountName)
{
    const TRegistryKey key(AccountSecurityKey(accountName));
    TAccountSecurity security;
    security.Incoming = IncomingProtocolFromText(key.ReadString(IncomingProtocolValue).toUtf8());
    security.Secrets = SecretStoreFromText(key.ReadString(SecretStoreValue).toUtf8());
    security.Auth = key.ReadString(AuthMethodValue).trimmed().toLower() == QLatin1String("oauth2")
                        ? TAuthMethod::OAuth2
                        : TAuthMethod::Password;
    security.OAuth2 = ReadOAuth2(key);
    security.PopSecurity = SecurityFromText(key.ReadString(PopSecurityValue).toUtf8());
    security.SmtpSecurity = SecurityFromText(key.ReadString(SmtpSecurityValue).toUtf8());
    security.PopPin = ReadPin(key, TMailService::Pop);
    security.SmtpPin = ReadPin(key, TMailService::Smtp);
    for (const QString& folder : key.ReadString(ImapFoldersValue).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        security.ImapFolders.append(folder.toUtf8());
    security.ImapSentCopy = key.ReadBool(ImapSentCopyValue, true);
    security.ImapMarkRead = key.ReadBool(ImapMarkReadValue, false);
    return security;
}

void WriteAccountSecurity(const QByteArray& accountName, const TAccountSecurity& security)
{
    TRegistryKey key(AccountSecurityKey(accountName));
    key.WriteString(IncomingProtocolValue, QString::fromLatin1(IncomingProtocolText(security.Incoming)));
    key.WriteString(SecretStoreValue, QString::fromLatin1(SecretStoreText(security.Secrets)));
    key.WriteString(AuthMethodValue, security.Auth == TAuthMethod::OAuth2 ? QStringLiteral("oauth2")
                                                                          : QStringLiteral("password"));
    WriteOAuth2(key, security.OAuth2);
    key.WriteString(PopSecurityValue, QString::fromLatin1(SecurityText(security.PopSecurity)));
    key.WriteString(SmtpSecurityValue, QString::fromLatin1(SecurityText(security.SmtpSecurity)));
    WritePin(key, TMailService::Pop, security.PopPin);
    WritePin(key, TMailService::Smtp, security.SmtpPin);
    key.WriteString(ImapFoldersValue, QString::fromUtf8(security.ImapFolders.join('\n')));
    key.WriteBool(ImapSentCopyValue, security.ImapSentCopy);
    key.WriteBool(ImapMarkReadValue, security.ImapMarkRead);
    key.Flush();
}

TServerPin& PinOf(TAccountSecurity& security, TMailService service)
{
    return service == TMailService::Pop ? security.PopPin : security.SmtpPin;
}

const TServerPin& PinOf(const TAccountSecurity& security, TMailService service)
{
    return service == TMailService::Pop ? security.PopPin : security.SmtpPin;
}

void WriteServerPin(const QByteArray& accountName, TMailService service, const TServerPin& pin)
{
    if (accountName.isEmpty())
        return;
    TRegistryKey key(AccountSecurityKey(accountName));
    WritePin(key, service, pin);
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

QStringList ImapFoldersToFetch(const QByteArrayList& ticked)
{
    QStringList folders{QStringLiteral("INBOX")};
    for (const QByteArray& folder : ticked) {
        const QString name = QString::fromUtf8(folder).trimmed();
        if (!name.isEmpty() && name.compare(folders.first(), Qt::CaseInsensitive) != 0 && !folders.contains(name))
            folders.append(name);
    }
    return folders;
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

#include "AccountSecrets.h"

#include "Keyring.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Message ids of the shared table.
constexpr int KeyringUnreadableText = 620;
constexpr int KeyringRefusedText = 621;
constexpr int NoSecretServiceText = 622;
constexpr int KeyringTimedOutText = 623;
constexpr int NoSuchAccountText = 624;
constexpr int RecordNotWrittenText = 629;

const QString TokensValue = QStringLiteral("OAuth2Tokens");

enum class TSecretName { PopPassword, SmtpPassword, OAuth2Tokens };
constexpr TSecretName AllSecretNames[] = {TSecretName::PopPassword, TSecretName::SmtpPassword, TSecretName::OAuth2Tokens};

QString KeyringKey(const QByteArray& accountName, TSecretName name)
{
    static const char* const suffixes[] = {"/PopPassword", "/SmtpPassword", "/OAuth2Tokens"};
    return AccountSecurityKey(accountName) + QLatin1String(suffixes[int(name)]);
}

QByteArray SecretOf(const TAccountSecrets& secrets, TSecretName name)
{
    switch (name) {
    case TSecretName::PopPassword: return secrets.PopPassword;
    case TSecretName::SmtpPassword: return secrets.SmtpPassword;
    case TSecretName::OAuth2Tokens: return secrets.OAuth2.IsEmpty() ? QByteArray() : EncodeOAuth2Tokens(secrets.OAuth2);
    }
    return {};
}

void SetSecret(TAccountSecrets& secrets, TSecretName name, const QByteArray& secret)
{
    switch (name) {
    case TSecretName::PopPassword: secrets.PopPassword = secret; break;
    case TSecretName::SmtpPassword: secrets.SmtpPassword = secret; break;
    case TSecretName::OAuth2Tokens: secrets.OAuth2 = DecodeOAuth2Tokens(secret); break;
    }
}

// The keyring's reason in the user's words; never the secret.
QString DetailText(const TKeyringResult& result)
{
    if (result.Status == TKeyringStatus::Unavailable)
        return MessageText(NoSecretServiceText);
    if (result.Detail == QLatin1String("timed out"))
        return MessageText(KeyringTimedOutText);
    return result.Detail;
}

QString KeyringError(int textId, const QByteArray& accountName, const TKeyringResult& result)
{
    return FillInEach(MessageText(textId), {QString::fromUtf8(accountName), DetailText(result)});
}

std::optional<TAccountSecrets> ReadKeyring(const QByteArray& accountName, QString& error)
{
    TAccountSecrets secrets;
    for (TSecretName name : AllSecretNames) {
        const TKeyringResult result = ReadKeyringSecret(KeyringKey(accountName, name));
        if (result.Status == TKeyringStatus::NotFound)
            continue;
        if (!result.Ok()) {
            error = KeyringError(KeyringUnreadableText, accountName, result);
            return std::nullopt;
        }
        SetSecret(secrets, name, result.Secret);
    }
    return secrets;
}

// Every secret, an empty one as a deleted entry. On a failure the entries written so far get
// their earlier values back, so that the keyring holds what it held before.
bool WriteKeyring(const QByteArray& accountName, const TAccountSecrets& secrets, QString& error)
{
    QList<std::pair<TSecretName, TKeyringResult>> written;
    for (TSecretName name : AllSecretNames) {
        const QString key = KeyringKey(accountName, name);
        const TKeyringResult before = ReadKeyringSecret(key);
        const QByteArray secret = SecretOf(secrets, name);
        const TKeyringResult result = secret.isEmpty() ? DeleteKeyringSecret(key) : WriteKeyringSecret(key, secret);
        if (!result.Ok()) {
            for (const auto& [done, earlier] : std::as_const(written)) {
                if (earlier.Ok())
                    WriteKeyringSecret(KeyringKey(accountName, done), earlier.Secret);
                else
                    DeleteKeyringSecret(KeyringKey(accountName, done));
            }
            error = KeyringError(KeyringRefusedText, accountName, result);
            return false;
        }
        written.append({name, before});
    }
    return true;
}

TOAuth2Tokens ReadGroupTokens(const QByteArray& accountName)
{
    return DecodeOAuth2Tokens(UnscramblePassword(TRegistryKey(AccountSecurityKey(accountName)).ReadBinary(TokensValue)));
}

void WriteGroupTokens(const QByteArray& accountName, const TOAuth2Tokens& tokens)
{
    TRegistryKey key(AccountSecurityKey(accountName));
    if (tokens.IsEmpty())
        key.DeleteValue(TokensValue);
    else
        key.WriteBinary(TokensValue, ScramblePassword(EncodeOAuth2Tokens(tokens)));
    key.Flush();
}

void WriteSecretStore(const QByteArray& accountName, TSecretStore store)
{
    TAccountSecurity security = ReadAccountSecurity(accountName);
    security.Secrets = store;
    WriteAccountSecurity(accountName, security);
}

std::optional<TAccount> AccountNamed(const QByteArray& name, int& record, QString& error)
{
    record = FindAccountByName(name);
    std::optional<TAccount> account = record > 0 ? ReadAccount(record) : std::nullopt;
    if (!account)
        error = FillIn(MessageText(NoSuchAccountText), QString::fromUtf8(name));
    return account;
}

} // namespace

QByteArray EncodeOAuth2Tokens(const TOAuth2Tokens& tokens)
{
    QJsonObject object;
    object.insert(QStringLiteral("access_token"), QString::fromLatin1(tokens.AccessToken));
    object.insert(QStringLiteral("refresh_token"), QString::fromLatin1(tokens.RefreshToken));
    if (tokens.Expires.isValid())
        object.insert(QStringLiteral("expires"), tokens.Expires.toUTC().toString(Qt::ISODate));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

TOAuth2Tokens DecodeOAuth2Tokens(const QByteArray& text)
{
    const QJsonObject object = QJsonDocument::fromJson(text).object();
    TOAuth2Tokens tokens;
    tokens.AccessToken = object.value(QStringLiteral("access_token")).toString().toLatin1();
    tokens.RefreshToken = object.value(QStringLiteral("refresh_token")).toString().toLatin1();
    tokens.Expires = QDateTime::fromString(object.value(QStringLiteral("expires")).toString(), Qt::ISODate);
    return tokens;
}

TSecretStore PreferredSecretStore()
{
    return KeyringAvailable() ? TSecretStore::Keyring : TSecretStore::Record;
}

std::optional<TAccountSecrets> ReadAccountSecrets(const TAccount& account, QString& error)
{
    if (ReadAccountSecurity(account.Name).Secrets == TSecretStore::Keyring)
        return ReadKeyring(account.Name, error);
    return TAccountSecrets{account.PopPassword, account.SmtpPassword, ReadGroupTokens(account.Name)};
}

std::optional<QByteArray> AccountPassword(const TAccount& account, TMailService service, QString& error)
{
    if (service == TMailService::Smtp && !account.SmtpAuth)
        return QByteArray();
    const std::optional<TAccountSecrets> secrets = ReadAccountSecrets(account, error);
    if (!secrets)
        return std::nullopt;
    return service == TMailService::Pop ? secrets->PopPassword : secrets->SmtpPassword;
}

bool WriteAccountSecrets(int record, const TAccountSecrets& secrets, TSecretStore store, QString& error)
{
    std::optional<TAccount> account = ReadAccount(record);
    if (!account) {
        error = FillIn(MessageText(NoSuchAccountText), QString::number(record));
        return false;
    }
    const bool toKeyring = store == TSecretStore::Keyring;
    if (toKeyring && !WriteKeyring(account->Name, secrets, error))
        return false;
    account->PopPassword = toKeyring ? QByteArray() : secrets.PopPassword;
    account->SmtpPassword = toKeyring ? QByteArray() : secrets.SmtpPassword;
    if (!toKeyring) {
        WriteGroupTokens(account->Name, secrets.OAuth2);
        if (WriteAccount(record, *account) == 0) {
            error = FillIn(MessageText(RecordNotWrittenText), QString::fromUtf8(account->Name));
            return false;
        }
    }
    WriteSecretStore(account->Name, store);
    if (toKeyring) {
        // The keyring holds everything now; what is left in the record and the group goes.
        WriteAccount(record, *account);
        WriteGroupTokens(account->Name, {});
    } else {
        RemoveKeyringSecrets(account->Name);
    }
    return true;
}

bool MoveAccountSecrets(int record, TSecretStore target, QString& error)
{
    const std::optional<TAccount> account = ReadAccount(record);
    if (!account) {
        error = FillIn(MessageText(NoSuchAccountText), QString::number(record));
        return false;
    }
    if (ReadAccountSecurity(account->Name).Secrets == target)
        return true;
    const std::optional<TAccountSecrets> secrets = ReadAccountSecrets(*account, error);
    return secrets && WriteAccountSecrets(record, *secrets, target, error);
}

bool StoreAccountSecretPassword(const QByteArray& name, TMailService service, const QByteArray& password, QString& error)
{
    int record = 0;
    const std::optional<TAccount> account = AccountNamed(name, record, error);
    std::optional<TAccountSecrets> secrets = account ? ReadAccountSecrets(*account, error) : std::nullopt;
    if (!secrets)
        return false;
    (service == TMailService::Pop ? secrets->PopPassword : secrets->SmtpPassword) = password;
    return WriteAccountSecrets(record, *secrets, ReadAccountSecurity(name).Secrets, error);
}

bool StoreOAuth2Tokens(const QByteArray& name, const TOAuth2Tokens& tokens, QString& error)
{
    int record = 0;
    const std::optional<TAccount> account = AccountNamed(name, record, error);
    if (!account)
        return false;
    if (ReadAccountSecurity(name).Secrets == TSecretStore::Record) {
        WriteGroupTokens(name, tokens);
        return true;
    }
    const TKeyringResult result = tokens.IsEmpty() ? DeleteKeyringSecret(KeyringKey(name, TSecretName::OAuth2Tokens))
                                                   : WriteKeyringSecret(KeyringKey(name, TSecretName::OAuth2Tokens),
                                                                        EncodeOAuth2Tokens(tokens));
    if (!result.Ok())
        error = KeyringError(KeyringRefusedText, name, result);
    return result.Ok();
}

void RenameKeyringSecrets(const QByteArray& oldName, const QByteArray& newName)
{
    if (oldName == newName)
        return;
    CopyKeyringSecrets(oldName, newName);
    RemoveKeyringSecrets(oldName);
}

void CopyKeyringSecrets(const QByteArray& fromName, const QByteArray& toName)
{
    if (ReadAccountSecurity(fromName).Secrets != TSecretStore::Keyring || !KeyringAvailable())
        return;
    for (TSecretName name : AllSecretNames) {
        const TKeyringResult secret = ReadKeyringSecret(KeyringKey(fromName, name));
        if (secret.Ok())
            WriteKeyringSecret(KeyringKey(toName, name), secret.Secret);
    }
}

void RemoveKeyringSecrets(const QByteArray& name)
{
    if (!KeyringAvailable())
        return;
    for (TSecretName secret : AllSecretNames)
        DeleteKeyringSecret(KeyringKey(name, secret));
}

#include "AccountsFunctions.h"

#include "AccountSecrets.h"
#include "DBAccountSecurity.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"
#include "qmutils.h"

namespace {

constexpr qsizetype NameCapacity = 50;

// Clears the default mark on every account except `keep`.
bool ClearOtherDefaults(int keep)
{
    const int count = CountAccounts();
    for (int n = 1; n <= count; ++n) {
        std::optional<TAccount> account = ReadAccount(n);
        if (n == keep || !account || !account->Standard)
            continue;
        account->Standard = false;
        if (WriteAccount(n, *account) == 0)
            return false;
    }
    return true;
}

int FirstPresentAccount()
{
    for (int n = 1; n <= CountAccounts(); ++n)
        if (ReadAccount(n))
            return n;
    return 0;
}

} // namespace

QString AccountsWindowTitle()
{
    return IsEnglish() ? AccountsTitleEnglish : AccountsTitleGerman;
}

QString AccountCaption(const TAccount& account)
{
    QString caption = QString::fromUtf8(account.Name);
    if (account.Standard)
        caption += QStringLiteral(" [") + MessageText(AccountsText::DefaultMarker) + QLatin1Char(']');
    return caption;
}

QList<TAccountListEntry> ListAccounts()
{
    QList<TAccountListEntry> entries;
    const int count = CountAccounts();
    for (int n = 1; n <= count; ++n)
        if (const std::optional<TAccount> account = ReadAccount(n))
            entries.append({n, AccountCaption(*account)});
    return entries;
}

QString UserLabelText(const QString& user)
{
    QString text = user;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

bool AccountNameTaken(const QByteArray& name, int ownRecord)
{
    const int found = FindAccountByName(CutToCapacity(name, NameCapacity));
    return found != 0 && found != ownRecord;
}

int AddAccount(TAccount account)
{
    account.Standard = FindDefaultAccount() == 0 && FirstPresentAccount() == 0;
    account.Stored.clear();
    return WriteAccount(0, account);
}

int AddAccount(const TAccountDraft& draft, QString* error)
{
    const int record = AddAccount(draft.Account);
    if (record == 0)
        return 0;
    // A group left behind under this name belongs to no account: nothing of it may carry over.
    const QByteArray name = CutToCapacity(draft.Account.Name, NameCapacity);
    RemoveAccountSecurity(name);
    RemoveKeyringSecrets(name);
    TAccountSecurity security = draft.Security;
    security.Secrets = TSecretStore::Record;
    WriteAccountSecurity(name, security);
    QString moveError;
    if (draft.NewTokens && !StoreOAuth2Tokens(name, *draft.NewTokens, moveError) && error)
        *error = moveError;
    if (draft.Security.Secrets == TSecretStore::Keyring && !MoveAccountSecrets(record, TSecretStore::Keyring, moveError) && error)
        *error = moveError;
    return record;
}

bool UpdateAccount(int record, const TAccountDraft& draft, QString& error)
{
    const std::optional<TAccount> old = ReadAccount(record);
    if (!old)
        return false;
    std::optional<TAccountSecrets> secrets = ReadAccountSecrets(*old, error);
    if (!secrets)
        return false;
    secrets->PopPassword = draft.Account.PopPassword;
    secrets->SmtpPassword = draft.Account.SmtpPassword;
    if (draft.NewTokens)
        secrets->OAuth2 = *draft.NewTokens;
    // The record keeps the passwords where they were until WriteAccountSecrets has stored them
    // where the draft wants them.
    const TSecretStore current = ReadAccountSecurity(old->Name).Secrets;
    TAccount account = draft.Account;
    if (current == TSecretStore::Keyring) {
        account.PopPassword.clear();
        account.SmtpPassword.clear();
    }
    if (!UpdateAccount(record, account))
        return false;
    TAccountSecurity security = draft.Security;
    security.Secrets = current;
    WriteAccountSecurity(CutToCapacity(draft.Account.Name, NameCapacity), security);
    return WriteAccountSecrets(record, *secrets, draft.Security.Secrets, error);
}

std::optional<TAccountDraft> ReadAccountDraft(int record, QString& error)
{
    std::optional<TAccount> account = ReadAccount(record);
    if (!account)
        return std::nullopt;
    const std::optional<TAccountSecrets> secrets = ReadAccountSecrets(*account, error);
    if (!secrets)
        return std::nullopt;
    account->PopPassword = secrets->PopPassword;
    account->SmtpPassword = secrets->SmtpPassword;
    return TAccountDraft{*account, ReadAccountSecurity(account->Name), std::nullopt, !secrets->OAuth2.RefreshToken.isEmpty()};
}

bool UpdateAccount(int record, const TAccount& account)
{
    const std::optional<TAccount> old = ReadAccount(record);
    if (!old || WriteAccount(record, account) == 0)
        return false;
    const QByteArray newName = CutToCapacity(account.Name, NameCapacity);
    if (old->Name != newName)
        AccountRenamed(old->Name, newName);
    return true;
}

int RemoveAccount(int record)
{
    const std::optional<TAccount> removed = ReadAccount(record);
    if (!removed || !DeleteAccount(record))
        return FirstPresentAccount();
    AccountRemoved(removed->Name);
    const int first = FirstPresentAccount();
    if (removed->Standard && first != 0)
        SetDefaultAccount(first);
    return first;
}

QByteArray CopyName(const QByteArray& name, int record)
{
    const QByteArray number = QByteArray::number(record);
    return CutToCapacity(name, NameCapacity - number.size()) + number;
}

int CopyAccount(int record)
{
    std::optional<TAccount> account = ReadAccount(record);
    if (!account)
        return 0;
    const QByteArray fromName = account->Name;
    account->Name = CopyName(fromName, record);
    account->Standard = false;
    account->Stored.clear();
    const int copy = WriteAccount(0, *account);
    if (copy != 0)
        AccountCopied(fromName, account->Name);
    return copy;
}

bool SetDefaultAccount(int record)
{
    std::optional<TAccount> account = ReadAccount(record);
    if (!account || !ClearOtherDefaults(record))
        return false;
    account->Standard = true;
    return WriteAccount(record, *account) != 0;
}

QString AccountSettingsKey(const QByteArray& name)
{
    return AccountSecurityKey(name);
}

void AccountRenamed(const QByteArray& oldName, const QByteArray& newName)
{
    RenameKeyringSecrets(oldName, newName);
    RenameAccountSecurity(oldName, newName);
}

void AccountCopied(const QByteArray& fromName, const QByteArray& toName)
{
    CopyKeyringSecrets(fromName, toName);
    CopyAccountSecurity(fromName, toName);
}

void AccountRemoved(const QByteArray& name)
{
    RemoveKeyringSecrets(name);
    RemoveAccountSecurity(name);
}

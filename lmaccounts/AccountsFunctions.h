#pragma once
// The accounts manager's commands on the accounts database, without windows: the list of accounts
// with the default marker, adding, rewriting, removing, copying and choosing the default account.
// Renaming, copying and removing an account go through the account-settings functions below, which
// keep the account's own registry group (transport security and the like) with the account.

#include "AccountSecrets.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"

#include <QList>
#include <QString>

// Message numbers of the accounts manager's string table.
namespace AccountsText {
inline constexpr int DuplicateName = 1;
inline constexpr int ConfirmRemove = 2;
inline constexpr int Outdated = 3;
inline constexpr int WriteError = 4;
inline constexpr int DefaultMarker = 6;
inline constexpr int EntryEditorMissing = 7;
// The secret store refused or could not be read; the report carries the shared table's text.
inline constexpr int SecretsNotMoved = 150;
} // namespace AccountsText

inline const QString AccountsTitleGerman = QStringLiteral("Lumaro Mail Mailkonten");
inline const QString AccountsTitleEnglish = QStringLiteral("Lumaro Mail Accounts");
// The window title in the active language; also the single-instance name.
QString AccountsWindowTitle();

struct TAccountListEntry {
    int Record = 0;
    QString Caption;
};

// The name, followed by " [" + text 6 + "]" for the default account.
QString AccountCaption(const TAccount& account);
// Every readable account in database order.
QList<TAccountListEntry> ListAccounts();
// The user's name for a label: "&" doubled so it shows as itself.
QString UserLabelText(const QString& user);

// Whether an account other than record `ownRecord` (0: none) carries `name`.
bool AccountNameTaken(const QByteArray& name, int ownRecord = 0);

// An account as a dialog edits it: the record and the security settings kept beside it. Both are
// stored together, and only once the account's name was accepted.
struct TAccountDraft {
    TAccount Account;
    TAccountSecurity Security;
    // The tokens of a sign-in made in the dialog, stored with the account; nothing: keep the
    // account's tokens as they are.
    std::optional<TOAuth2Tokens> NewTokens = std::nullopt;
    // Whether the stored account holds a refresh token (read by ReadAccountDraft).
    bool SignedIn = false;
};

// Appends the account; the very first account becomes the default. The record number, 0 on failure.
int AddAccount(TAccount account);
// Appends the account and gives it a fresh settings group with the draft's security; its passwords
// go to the store the draft's security names. When the keyring refuses them, the account is still
// added with its passwords in the record, and `error` (when given) says so.
int AddAccount(const TAccountDraft& draft, QString* error = nullptr);
// Writes the edited account back at `record`, carrying its settings group along a rename.
bool UpdateAccount(int record, const TAccount& account);
// UpdateAccount, then the draft's security into the group under the account's (new) name, and the
// passwords into the store the draft names, moving the other secrets along. False with a message in
// `error` (empty for a plain write error) when something could not be stored; secrets that were
// stored before are never lost on the way.
bool UpdateAccount(int record, const TAccountDraft& draft, QString& error);
// The account of `record` with its passwords from wherever they are kept, for an editor; nothing,
// with a message in `error`, when the keyring cannot be read.
std::optional<TAccountDraft> ReadAccountDraft(int record, QString& error);
// Removes the account and its settings group; when it was the default, the first remaining account
// becomes the default. The record number of that first remaining account (0: none left).
int RemoveAccount(int record);
// Appends a copy named after the account and its record number (the name shortened so the number
// always fits in 50 characters), not the default, with a copy of the settings group.
int CopyAccount(int record);
// Makes `record` the only default account.
bool SetDefaultAccount(int record);

// The name of a copy: `name` cut so that `name` + `record` stays within the name's 50 bytes.
QByteArray CopyName(const QByteArray& name, int record);

// The registry group of an account's own settings (its transport security) below the active
// user's key: "Users/<user>/Accounts/<name>".
QString AccountSettingsKey(const QByteArray& name);
// The group moves with a rename, is duplicated for a copy and dropped with the account.
void AccountRenamed(const QByteArray& oldName, const QByteArray& newName);
void AccountCopied(const QByteArray& fromName, const QByteArray& toName);
void AccountRemoved(const QByteArray& name);

#pragma once
// Where an account's secrets are kept, and the one way to read and write them. The secrets are the
// POP3 and SMTP passwords and, for an account that signs in with OAuth2, its tokens. The account's
// group says where they are (TAccountSecurity::Secrets): "record" keeps the passwords scrambled in
// the account record and the tokens scrambled in the group (value OAuth2Tokens), as before;
// "keyring" keeps all of them in the desktop's secret store (see Keyring.h), one entry each, named
// after the account's group, and leaves the record's password fields empty.
//
// Writing is ordered so that a failure never loses a secret: the new store is filled first, then
// the group names it, and only then the old store is emptied.

#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The tokens of an OAuth2 sign-in. Expires is when the access token stops working (UTC; invalid:
// unknown, taken as expired).
struct TOAuth2Tokens {
    QByteArray AccessToken;
    QByteArray RefreshToken;
    QDateTime Expires;

    bool IsEmpty() const { return AccessToken.isEmpty() && RefreshToken.isEmpty(); }
    friend bool operator==(const TOAuth2Tokens&, const TOAuth2Tokens&) = default;
};

QByteArray EncodeOAuth2Tokens(const TOAuth2Tokens& tokens);
// Empty tokens for anything that is not what EncodeOAuth2Tokens wrote.
TOAuth2Tokens DecodeOAuth2Tokens(const QByteArray& text);

struct TAccountSecrets {
    QByteArray PopPassword;
    QByteArray SmtpPassword;
    TOAuth2Tokens OAuth2;

    friend bool operator==(const TAccountSecrets&, const TAccountSecrets&) = default;
};

// The store that new secrets go to: the keyring while a secret service runs, else the record.
TSecretStore PreferredSecretStore();

// The account's secrets from the store its group names; nothing, with a message for the user in
// `error`, when the keyring cannot be read (locked, gone, refusing). A secret missing from the
// keyring is returned empty.
std::optional<TAccountSecrets> ReadAccountSecrets(const TAccount& account, QString& error);
// The password the account logs in with for `service`; for SMTP with SmtpAuth off, empty.
std::optional<QByteArray> AccountPassword(const TAccount& account, TMailService service, QString& error);

// Stores `secrets` for the account of `record` in `store`, then names that store in the group and
// empties the other one. False with a message in `error` when the keyring refused a write: then
// whatever this call wrote to the keyring is removed again and the account is as it was.
bool WriteAccountSecrets(int record, const TAccountSecrets& secrets, TSecretStore store, QString& error);
// Moves the account's secrets to `target`; nothing happens when they are there already.
bool MoveAccountSecrets(int record, TSecretStore target, QString& error);
// Replaces one password of the account named `name` in whichever store holds its secrets.
bool StoreAccountSecretPassword(const QByteArray& name, TMailService service, const QByteArray& password, QString& error);
bool StoreOAuth2Tokens(const QByteArray& name, const TOAuth2Tokens& tokens, QString& error);

// The keyring entries follow the account's group: a rename or a copy carries them along, a
// removal deletes them. Failures leave the entries where they were; nothing is reported.
void RenameKeyringSecrets(const QByteArray& oldName, const QByteArray& newName);
void CopyKeyringSecrets(const QByteArray& fromName, const QByteArray& toName);
void RemoveKeyringSecrets(const QByteArray& name);

#pragma once
// Transport security of an account, kept beside the 848-byte account record (whose layout stays)
// in the active user's registry key, group "Accounts/<account name>": PopSecurity and SmtpSecurity
// ("none", "auto", "starttls", "tls"; missing = "auto"), and one pin per server (see
// nkcertificate.h): PopPinnedCertificate with PopPinnedServer, SmtpPinnedCertificate with
// SmtpPinnedServer (the SHA-256 fingerprint of a certificate the user trusted, and the "host:port"
// it was trusted for; empty = none). PinnedCertificate, the one pin of earlier versions, is read as
// the POP3 pin for any POP3 server of the account while PopPinnedCertificate is missing, and is
// written with the POP3 pin so that earlier versions still find it. PopTlsSeen and
// SmtpTlsSeen hold the server (as the account names it, lower case) that last agreed to STLS or
// STARTTLS: security "auto" then refuses that server without TLS as a downgrade. A "/" or "\" in
// an account name is written percent-encoded, so that the name stays one group.
// IncomingProtocol ("pop3", "imap"; missing = "pop3") says how mail is fetched, SecretStore
// ("record", "keyring"; missing = "record") where the account's password and tokens are kept.
// An account that signs in with OAuth2 has AuthMethod "oauth2" (missing = "password") and its
// client registration and endpoints as OAuth2ClientId, OAuth2ClientSecret (often empty for
// desktop programs), OAuth2AuthUrl, OAuth2TokenUrl and OAuth2Scope.
// An IMAP account receives from its inbox and the server folders in ImapFolders (one UTF-8 name
// per line, missing = none), and keeps a copy of each sent message in the server's Sent folder
// while ImapSentCopy is 1 (missing = 1). ImapMarkRead 1 marks fetched mail read on the server
// (missing = 0: the server's \Seen flags stay as they were).

#include "nktypes.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringList>

// A certificate the user trusted for one server.
struct TServerPin {
    // "host:port" (ServerPinKey); empty for the pin of an earlier version, which names no server.
    QByteArray Server;
    QByteArray Fingerprint;

    bool IsEmpty() const { return Fingerprint.isEmpty(); }
    friend bool operator==(const TServerPin&, const TServerPin&) = default;
};

enum class TIncomingProtocol { Pop3, Imap };
enum class TSecretStore { Record, Keyring };

QByteArray IncomingProtocolText(TIncomingProtocol protocol);
// Anything but "imap" (any case) is POP3, so that older and damaged groups keep working.
TIncomingProtocol IncomingProtocolFromText(QByteArrayView text);
QByteArray SecretStoreText(TSecretStore store);
TSecretStore SecretStoreFromText(QByteArrayView text);

enum class TAuthMethod { Password, OAuth2 };

struct TOAuth2Registration {
    QByteArray ClientId;
    QByteArray ClientSecret;
    QByteArray AuthUrl;
    QByteArray TokenUrl;
    QByteArray Scope;

    bool IsComplete() const { return !ClientId.isEmpty() && !AuthUrl.isEmpty() && !TokenUrl.isEmpty(); }
    friend bool operator==(const TOAuth2Registration&, const TOAuth2Registration&) = default;
};

struct TAccountSecurity {
    TqmSecurity PopSecurity = TqmSecurity::secAuto;
    TqmSecurity SmtpSecurity = TqmSecurity::secAuto;
    TServerPin PopPin = {};
    TServerPin SmtpPin = {};
    TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
    TSecretStore Secrets = TSecretStore::Record;
    TAuthMethod Auth = TAuthMethod::Password;
    TOAuth2Registration OAuth2 = {};
    QByteArrayList ImapFolders = {};
    bool ImapSentCopy = true;
    bool ImapMarkRead = false;
};

// The registry key of the account's group for the active user.
QString AccountSecurityKey(const QByteArray& accountName);
TAccountSecurity ReadAccountSecurity(const QByteArray& accountName);
void WriteAccountSecurity(const QByteArray& accountName, const TAccountSecurity& security);
enum class TMailService { Pop, Smtp };
TServerPin& PinOf(TAccountSecurity& security, TMailService service);
const TServerPin& PinOf(const TAccountSecurity& security, TMailService service);
// Stores `pin` as the pin of `service` and leaves every other value of the account as it is;
// does nothing without an account name.
void WriteServerPin(const QByteArray& accountName, TMailService service, const TServerPin& pin);
// Whether `server` agreed to TLS through STLS/STARTTLS for this account before; false without an
// account name.
bool TlsSeenBefore(const QByteArray& accountName, TMailService service, const QByteArray& server);
// Remembers that `server` agreed to TLS; does nothing without an account name.
void RememberTlsSeen(const QByteArray& accountName, TMailService service, const QByteArray& server);

// The folders an IMAP account receives from, in order: the inbox, then the ticked folders without
// blanks around them, without empty names and without repeats (only INBOX is case-insensitive,
// RFC 3501, 5.1). The agent keys its check file by these names and the server manager lists them.
QStringList ImapFoldersToFetch(const QByteArrayList& ticked);

// Renaming moves the group with all its values, copying duplicates it, removing drops it; an
// account without a group leaves the target without one.
void RenameAccountSecurity(const QByteArray& oldName, const QByteArray& newName);
void CopyAccountSecurity(const QByteArray& sourceName, const QByteArray& targetName);
void RemoveAccountSecurity(const QByteArray& accountName);

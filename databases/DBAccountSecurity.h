#pragma once
// Transport security of an account, kept beside the 848-byte account record (whose layout stays)
// in the active user's registry key, group "Accounts/<account name>": PopSecurity and SmtpSecurity
// ("none", "auto", "starttls", "tls"; missing = "auto") and PinnedCertificate (the SHA-256
// fingerprint, hex, of a server certificate the user accepted; empty = none). PopTlsSeen and
// SmtpTlsSeen hold the server (as the account names it, lower case) that last agreed to STLS or
// STARTTLS: security "auto" then refuses that server without TLS as a downgrade. A "/" or "\" in
// an account name is written percent-encoded, so that the name stays one group.

#include "nktypes.h"

#include <QByteArray>

struct TAccountSecurity {
    TqmSecurity PopSecurity = TqmSecurity::secAuto;
    TqmSecurity SmtpSecurity = TqmSecurity::secAuto;
    QByteArray PinnedCertificate;
};

// The registry key of the account's group for the active user.
QString AccountSecurityKey(const QByteArray& accountName);
TAccountSecurity ReadAccountSecurity(const QByteArray& accountName);
void WriteAccountSecurity(const QByteArray& accountName, const TAccountSecurity& security);
enum class TMailService { Pop, Smtp };
// Whether `server` agreed to TLS through STLS/STARTTLS for this account before; false without an
// account name.
bool TlsSeenBefore(const QByteArray& accountName, TMailService service, const QByteArray& server);
// Remembers that `server` agreed to TLS; does nothing without an account name.
void RememberTlsSeen(const QByteArray& accountName, TMailService service, const QByteArray& server);

// Renaming moves the group with all its values, copying duplicates it, removing drops it; an
// account without a group leaves the target without one.
void RenameAccountSecurity(const QByteArray& oldName, const QByteArray& newName);
void CopyAccountSecurity(const QByteArray& sourceName, const QByteArray& targetName);
void RemoveAccountSecurity(const QByteArray& accountName);

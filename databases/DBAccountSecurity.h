#pragma once
// Transport security of an account, kept beside the 848-byte account record (whose layout stays)
// in the active user's registry key, group "Accounts/<account name>": PopSecurity and SmtpSecurity
// ("none", "auto", "starttls", "tls"; missing = "auto") and PinnedCertificate (the SHA-256
// fingerprint, hex, of a server certificate the user accepted; empty = none). A "/" or "\" in an
// account name is written percent-encoded, so that the name stays one group.

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
// Renaming moves the group, copying duplicates it, removing drops it; an account without a group
// leaves the target without one.
void RenameAccountSecurity(const QByteArray& oldName, const QByteArray& newName);
void CopyAccountSecurity(const QByteArray& sourceName, const QByteArray& targetName);
void RemoveAccountSecurity(const QByteArray& accountName);

#pragma once
// Secrets in the desktop's secret store (the Secret Service of the session bus, through QtKeychain),
// one secret per key under the service name "Lumaro Mail". QtKeychain works asynchronously; these
// calls wait for it in a local event loop, so they need a running QCoreApplication and must not be
// called from a slot that cannot take nested events. A call that does not finish within the time
// given is reported as failed; a write that finishes later may still leave its entry behind, which
// nothing reads while the account says its secrets are elsewhere.

#include <QByteArray>
#include <QString>

enum class TKeyringStatus { Ok, NotFound, Unavailable, Failed };

struct TKeyringResult {
    TKeyringStatus Status = TKeyringStatus::Failed;
    QByteArray Secret;
    // The secret store's own words (or "timed out"), for a message; never holds the secret.
    QString Detail;

    bool Ok() const { return Status == TKeyringStatus::Ok; }
};

inline constexpr int KeyringTimeoutMs = 10000;

// Whether a secret service runs on the session bus now; a service that could only be started on
// demand does not count, since it would ask the user to create and unlock a keyring first.
bool KeyringAvailable();

TKeyringResult ReadKeyringSecret(const QString& key, int timeoutMs = KeyringTimeoutMs);
TKeyringResult WriteKeyringSecret(const QString& key, const QByteArray& secret, int timeoutMs = KeyringTimeoutMs);
// Deleting a key that does not exist succeeds.
TKeyringResult DeleteKeyringSecret(const QString& key, int timeoutMs = KeyringTimeoutMs);

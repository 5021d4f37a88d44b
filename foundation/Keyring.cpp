#include "Keyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>

#include <functional>

#include <qt6keychain/keychain.h>

namespace {

const QString KeyringService = QStringLiteral("Lumaro Mail");
const QString SecretServiceName = QStringLiteral("org.freedesktop.secrets");

TKeyringStatus StatusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError: return TKeyringStatus::Ok;
    case QKeychain::EntryNotFound: return TKeyringStatus::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: return TKeyringStatus::Unavailable;
    default: return TKeyringStatus::Failed;
    }
}

// Starts `job` and waits for it. The job deletes itself once it finishes, also after a time-out,
// so that a late answer of the secret store reaches no dead object.
TKeyringResult Wait(QKeychain::Job* job, int timeoutMs, const std::function<QByteArray()>& secretOf = {})
{
    if (!KeyringAvailable()) {
        delete job;
        return {TKeyringStatus::Unavailable, {}, QStringLiteral("no secret service on the session bus")};
    }
    job->setAutoDelete(true);
    TKeyringResult result{TKeyringStatus::Failed, {}, QStringLiteral("timed out")};
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* finished) {
        result.Status = StatusOf(finished->error());
        result.Detail = finished->errorString();
        if (result.Ok() && secretOf)
            result.Secret = secretOf();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    return result;
}

} // namespace

bool KeyringAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(SecretServiceName).value();
}

TKeyringResult ReadKeyringSecret(const QString& key, int timeoutMs)
{
    auto* job = new QKeychain::ReadPasswordJob(KeyringService);
    job->setKey(key);
    return Wait(job, timeoutMs, [job] { return job->binaryData(); });
}

TKeyringResult WriteKeyringSecret(const QString& key, const QByteArray& secret, int timeoutMs)
{
    auto* job = new QKeychain::WritePasswordJob(KeyringService);
    job->setKey(key);
    job->setBinaryData(secret);
    return Wait(job, timeoutMs);
}

TKeyringResult DeleteKeyringSecret(const QString& key, int timeoutMs)
{
    auto* job = new QKeychain::DeletePasswordJob(KeyringService);
    job->setKey(key);
    TKeyringResult result = Wait(job, timeoutMs);
    if (result.Status == TKeyringStatus::NotFound)
        result.Status = TKeyringStatus::Ok;
    return result;
}

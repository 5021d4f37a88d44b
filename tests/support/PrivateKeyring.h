#pragma once
// A private session bus with an unlocked GNOME keyring on it, for tests of the secret store: a
// dbus-daemon of our own, gnome-keyring-daemon unlocked with a test password and its keyrings in a
// temporary directory. The test process is pointed at that bus; nothing of the user's own session
// is touched. Must be started before the process first uses the session bus. Both daemons are
// stopped by process id when the object goes; StopKeyring ends only the keyring, as when it crashes.
// A keyring started again under the same test process is not usable by it: the process's secret
// store library keeps the session of the first one, so a test that stops the keyring runs last.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

class PrivateKeyring {
public:
    PrivateKeyring() = default;
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;
    ~PrivateKeyring()
    {
        StopKeyring();
        Stop(m_bus);
    }

    // An error text, empty on success.
    QString Start()
    {
        if (!m_dir.isValid())
            return QStringLiteral("no temporary directory");
        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1"), QStringLiteral("--nopidfile")});
        if (!m_bus.waitForStarted(10000) || !m_bus.waitForReadyRead(10000))
            return QStringLiteral("dbus-daemon did not start: ") + QString::fromLocal8Bit(m_bus.readAllStandardError());
        m_address = m_bus.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
        return StartKeyring();
    }

    QString StartKeyring()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(m_address));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        environment.insert(QStringLiteral("HOME"), m_dir.path());
        // A fresh process each time: one whose input was closed once cannot be given input again.
        m_keyring = std::make_unique<QProcess>();
        m_keyring->setProcessEnvironment(environment);
        m_keyring->start(QStringLiteral("gnome-keyring-daemon"),
                        {QStringLiteral("--foreground"), QStringLiteral("--components=secrets"), QStringLiteral("--unlock")});
        if (!m_keyring->waitForStarted(10000))
            return QStringLiteral("gnome-keyring-daemon did not start (Debian package gnome-keyring)");
        // The daemon reads the password up to the end of its input; without an event loop here the
        // bytes must be pushed out before the channel is closed.
        m_keyring->write("test-keyring-password");
        m_keyring->waitForBytesWritten(5000);
        m_keyring->closeWriteChannel();
        const QDeadlineTimer deadline(20000);
        while (!ServiceRegistered()) {
            if (deadline.hasExpired() || m_keyring->state() == QProcess::NotRunning)
                return QStringLiteral("the keyring did not appear on the bus %1 (%2): %3")
                    .arg(QString::fromLatin1(m_address), QDBusConnection::sessionBus().lastError().message(),
                         QString::fromLocal8Bit(m_keyring->readAllStandardError()));
            QThread::msleep(50);
        }
        return {};
    }

    void StopKeyring()
    {
        if (m_keyring)
            Stop(*m_keyring);
        const QDeadlineTimer deadline(10000);
        while (ServiceRegistered() && !deadline.hasExpired())
            QThread::msleep(50);
    }

private:
    static void Stop(QProcess& process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(1000);
    }

    static bool ServiceRegistered()
    {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        return bus && bus->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
    }

    QTemporaryDir m_dir;
    QProcess m_bus;
    std::unique_ptr<QProcess> m_keyring;
    QByteArray m_address;
};

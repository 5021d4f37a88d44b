#pragma once
// Real servers for the integration tests, started through scripts/testservers on 127.0.0.1 and
// free ports, and stopped by process id when the object goes. One server per test program.

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

class TestServer {
public:
    TestServer() = default;
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;
    ~TestServer() { Stop(); }

    // Dovecot POP3 with one user whose maildir holds the files of `mailSource` in name order.
    // Returns an error text, empty on success.
    QString StartPop3(const QString& user, const QString& password, const QString& mailSource)
    {
        QProcess script;
        script.start(Script(QStringLiteral("start-pop3")), {user, password, mailSource});
        if (!script.waitForFinished(30000) || script.exitCode() != 0)
            return QString::fromLocal8Bit(script.readAllStandardError());
        const QStringList parts = QString::fromLocal8Bit(script.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
        if (parts.size() != 3)
            return QStringLiteral("unexpected output of start-pop3");
        m_port = parts.at(0).toUShort();
        m_pid = parts.at(1);
        m_directory = parts.at(2);
        return {};
    }

    // The aiosmtpd server storing what it accepts in `outputDirectory`.
    QString StartSmtp(const QString& outputDirectory, const QString& user, const QString& password, const QStringList& rejected)
    {
        QStringList arguments{outputDirectory, QStringLiteral("--user"), user, QStringLiteral("--password"), password};
        for (const QString& address : rejected)
            arguments << QStringLiteral("--reject") << address;
        m_process.start(Script(QStringLiteral("smtp-server.py")), arguments);
        if (!m_process.waitForStarted(10000))
            return m_process.errorString();
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return QString::fromLocal8Bit(m_process.readAllStandardError());
        const QStringList parts = QString::fromLocal8Bit(m_process.readLine()).simplified().split(QLatin1Char(' '));
        m_port = parts.value(0).toUShort();
        m_pid = parts.value(1);
        return m_port ? QString() : QStringLiteral("unexpected output of smtp-server.py");
    }

    void Stop()
    {
        if (m_pid.isEmpty())
            return;
        if (m_process.state() != QProcess::NotRunning) {
            // Our own child: SIGTERM to its pid, then reap it, or it lingers as a zombie.
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(1000);
        } else {
            QProcess::execute(Script(QStringLiteral("stop-server")), {m_pid, m_directory});
        }
        m_pid.clear();
    }

    QByteArray Address() const { return "127.0.0.1:" + QByteArray::number(m_port); }

private:
    static QString Script(const QString& name) { return QStringLiteral(LUMARO_TESTSERVERS_DIR "/") + name; }

    QProcess m_process;
    quint16 m_port = 0;
    QString m_pid;
    QString m_directory;
};

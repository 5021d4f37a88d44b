#pragma once
// Real servers for the integration tests, started through scripts/testservers on 127.0.0.1 and
// free ports, and stopped by process id when the object goes. One server per test program.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

class TestServer {
public:
    TestServer() = default;
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;
    ~TestServer() { Stop(); }

    // Makes a private CA and a server certificate for "localhost" in `directory` and trusts the
    // CA through LUMARO_TEST_CA_FILE. Returns an error text, empty on success.
    static QString MakeCertificates(const QString& directory)
    {
        QProcess script;
        script.start(Script(QStringLiteral("make-ca")), {directory});
        if (!script.waitForFinished(60000) || script.exitCode() != 0)
            return QString::fromLocal8Bit(script.readAllStandardError());
        qputenv("LUMARO_TEST_CA_FILE", QFile::encodeName(directory + QStringLiteral("/ca.pem")));
        return {};
    }

    // Dovecot POP3 with one user whose maildir holds the files of `mailSource` in name order;
    // with `certificates` (see MakeCertificates) it requires TLS and listens for POP3S on TlsPort.
    // Returns an error text, empty on success.
    QString StartPop3(const QString& user, const QString& password, const QString& mailSource, const QString& certificates = {})
    {
        return StartDovecot(QStringLiteral("start-pop3"), user, password, mailSource, certificates);
    }

    // The same server speaking IMAP (STARTTLS on Port, IMAPS on TlsPort), with the folders Sent
    // (\Sent) and Drafts (\Drafts); its maildir lies under MailDirectory.
    QString StartImap(const QString& user, const QString& password, const QString& mailSource, const QString& certificates = {})
    {
        return StartDovecot(QStringLiteral("start-imap"), user, password, mailSource, certificates);
    }

    // The user's maildir of a Dovecot server.
    QString MailDirectory(const QString& user) const { return m_directory + QStringLiteral("/home/") + user + QStringLiteral("/Maildir"); }

    QString StartDovecot(const QString& name, const QString& user, const QString& password, const QString& mailSource,
                         const QString& certificates)
    {
        QProcess script;
        QStringList arguments{user, password, mailSource};
        if (!certificates.isEmpty())
            arguments << certificates;
        script.start(Script(name), arguments);
        if (!script.waitForFinished(30000) || script.exitCode() != 0)
            return QString::fromLocal8Bit(script.readAllStandardError());
        const QStringList parts = QString::fromLocal8Bit(script.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
        if (parts.size() != (certificates.isEmpty() ? 3 : 4))
            return QStringLiteral("unexpected output of ") + name;
        m_port = parts.at(0).toUShort();
        m_pid = parts.at(1);
        m_directory = parts.at(2);
        m_tlsPort = parts.value(3).toUShort();
        return {};
    }

    // The aiosmtpd server storing what it accepts in `outputDirectory`.
    // With `certificates` the port offers STARTTLS, RequiredPort requires it and TlsPort speaks
    // TLS from the first byte.
    // `extra` goes to the script as it is (see its options).
    QString StartSmtp(const QString& outputDirectory, const QString& user, const QString& password, const QStringList& rejected,
                      const QString& certificates = {}, const QStringList& extra = {})
    {
        QStringList arguments{outputDirectory, QStringLiteral("--user"), user, QStringLiteral("--password"), password};
        arguments << extra;
        for (const QString& address : rejected)
            arguments << QStringLiteral("--reject") << address;
        if (!certificates.isEmpty())
            arguments << QStringLiteral("--certs") << certificates;
        m_process.start(Script(QStringLiteral("smtp-server.py")), arguments);
        if (!m_process.waitForStarted(10000))
            return m_process.errorString();
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return QString::fromLocal8Bit(m_process.readAllStandardError());
        const QStringList parts = QString::fromLocal8Bit(m_process.readLine()).simplified().split(QLatin1Char(' '));
        m_port = parts.value(0).toUShort();
        m_pid = parts.value(1);
        m_requiredPort = parts.value(2).toUShort();
        m_tlsPort = parts.value(3).toUShort();
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
    // The name the test certificate is issued to.
    QByteArray TlsAddress(quint16 port) const { return "localhost:" + QByteArray::number(port); }
    quint16 Port() const { return m_port; }
    quint16 TlsPort() const { return m_tlsPort; }
    quint16 RequiredPort() const { return m_requiredPort; }

private:
    static QString Script(const QString& name) { return QStringLiteral(LUMARO_TESTSERVERS_DIR "/") + name; }

    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    quint16 m_requiredPort = 0;
    QString m_pid;
    QString m_directory;
};

#pragma once
// End-to-end fixtures of the agent tests: a private installation of the built program (its own
// program directory, registry and data directory), the Dovecot mailbox it receives from, whose
// maildir the tests fill and inspect directly, and what the program leaves behind.

#include "DBAgentFunctions.h"
#include "Pop3Mailbox.h"

#include <QByteArrayList>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

struct AgentResult {
    int ExitCode = -1;
    QByteArray Errors;
};

// The built lmagent copied into a private program directory (a symbolic link would not do: the
// program finds its directory from its resolved path).
class AgentInstallation {
public:
    AgentInstallation();
    AgentInstallation(const AgentInstallation&) = delete;
    AgentInstallation& operator=(const AgentInstallation&) = delete;

    bool IsReady() const { return m_ready; }
    QString ProgramDir() const { return m_dir.path(); }
    QString DataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString SpoolDir() const { return DataDir() + QLatin1String("/Spool"); }
    QString QueueDir() const { return SpoolDir() + QLatin1String("/SMTP"); }
    QString MailDir() const { return DataDir() + QLatin1String("/Mail"); }
    QString JobFile() const { return m_dir.filePath(QStringLiteral("lmagent.ini")); }
    QString HeadersFile() const { return m_dir.filePath(QStringLiteral("headers.ini")); }
    QString RegistryFile() const { return m_dir.filePath(QStringLiteral("registry.ini")); }

    // A value of the user's "General" key.
    void SetGeneral(const QString& name, int value);
    bool WriteJob(const TAgentJob& job) const { return ::WriteJob(job, JobFile()); }
    // Runs the program offscreen with LUMARO_TEST_AUTOCLOSE until it ends; `today` (yyyy-mm-dd)
    // stands in for the date when not empty.
    AgentResult Run(const QString& today = {}, int timeoutMs = 120000);
    QProcessEnvironment Environment(const QString& today) const;
    QString Program() const;

    // The "*.eml" files of a directory in name order, and their contents.
    static QStringList EmlFiles(const QString& dir);
    static QByteArrayList Contents(const QStringList& files);

private:
    QTemporaryDir m_dir;
    bool m_ready = false;
};

// A message of the given Message-ID ("" for none), Date ("" for none) and body.
QByteArray TestMessage(const QByteArray& id, const QByteArray& date, const QByteArray& body);

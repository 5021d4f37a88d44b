#include "AgentFixture.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QFile>
#include <QFileInfo>

namespace {

class RegistryScope {
public:
    explicit RegistryScope(const QString& path) : m_previous(qgetenv("LUMARO_REGISTRY"))
    {
        qputenv("LUMARO_REGISTRY", QFile::encodeName(path));
    }
    ~RegistryScope() { qputenv("LUMARO_REGISTRY", m_previous); }

private:
    QByteArray m_previous;
};

} // namespace

AgentInstallation::AgentInstallation()
{
    const QDir dir(m_dir.path());
    dir.mkpath(QStringLiteral("modules"));
    dir.mkpath(QStringLiteral("data"));
    m_ready = QFile::copy(QStringLiteral(LUMARO_AGENT_PROGRAM), Program())
        && QFile::link(QStringLiteral(LUMARO_QMC3_LIBRARY), dir.filePath(QStringLiteral("libqmc3.so")));
    RegistryScope scope(RegistryFile());
    WriteUser(DefaultUserName, DataDir(), {});
}

QString AgentInstallation::Program() const
{
    return m_dir.filePath(QStringLiteral("modules/lmagent"));
}

void AgentInstallation::SetGeneral(const QString& name, int value)
{
    RegistryScope scope(RegistryFile());
    TRegistryKey general(UserSettingKeys(DefaultUserName).General);
    general.WriteInteger(name, value);
    general.Flush();
}

QProcessEnvironment AgentInstallation::Environment(const QString& today) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMARO_REGISTRY"), RegistryFile());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LUMARO_TEST_AUTOCLOSE"), QStringLiteral("1"));
    environment.remove(QStringLiteral("LUMARO_TEST_TODAY"));
    if (!today.isEmpty())
        environment.insert(QStringLiteral("LUMARO_TEST_TODAY"), today);
    return environment;
}

AgentResult AgentInstallation::Run(const QString& today, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(Environment(today));
    process.start(Program(), {});
    AgentResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.Errors = "did not end in time: " + process.readAllStandardError();
        return result;
    }
    result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.Errors = process.readAllStandardError();
    return result;
}

QStringList AgentInstallation::EmlFiles(const QString& dir)
{
    const QDir directory(dir);
    QStringList files;
    for (const QString& name : directory.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name))
        files.append(directory.filePath(name));
    return files;
}

QByteArrayList AgentInstallation::Contents(const QStringList& files)
{
    QByteArrayList contents;
    for (const QString& path : files) {
        QFile file(path);
        contents.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
    }
    return contents;
}

QByteArray TestMessage(const QByteArray& id, const QByteArray& date, const QByteArray& body)
{
    QByteArray message = "From: sender@example.org\r\nTo: alice@example.org\r\nSubject: test\r\n";
    if (!id.isEmpty())
        message += "Message-ID: " + id + "\r\n";
    if (!date.isEmpty())
        message += "Date: " + date + "\r\n";
    return message + "\r\n" + body + "\r\n";
}

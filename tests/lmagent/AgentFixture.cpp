#include "AgentFixture.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

QString Script(const QString& name)
{
    return QStringLiteral(LUMARO_TESTSERVERS_DIR "/") + name;
}

// As root Dovecot serves mail as "nobody", who must own what the test puts into the maildir.
void HandToServer(const QString& path)
{
    if (geteuid() != 0)
        return;
    if (const passwd* nobody = getpwnam("nobody"))
        [[maybe_unused]] const int result = chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid);
}

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

QString Pop3Mailbox::Start()
{
    QProcess script;
    script.start(Script(QStringLiteral("start-pop3")), {QStringLiteral("alice"), QStringLiteral("secret")});
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

void Pop3Mailbox::Stop()
{
    if (m_pid.isEmpty())
        return;
    QProcess::execute(Script(QStringLiteral("stop-server")), {m_pid, m_directory});
    m_pid.clear();
}

QString Pop3Mailbox::MaildirCur() const
{
    return m_directory + QLatin1String("/home/alice/Maildir/cur");
}

QStringList Pop3Mailbox::MessageFiles() const
{
    QStringList files;
    for (const QString& sub : {QStringLiteral("new"), QStringLiteral("cur")}) {
        const QDir dir(m_directory + QLatin1String("/home/alice/Maildir/") + sub);
        for (const QString& name : dir.entryList(QDir::Files))
            files.append(dir.filePath(name));
    }
    // Dovecot orders by the uid it gave, which follows our file names' counter.
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    return files;
}

void Pop3Mailbox::SetMessages(const QByteArrayList& messages)
{
    for (const QString& file : MessageFiles())
        QFile::remove(file);
    for (const QByteArray& message : messages)
        AddMessage(message);
}

void Pop3Mailbox::AddMessage(const QByteArray& message)
{
    const QString path = MaildirCur() + QStringLiteral("/1800000000.%1.test:2,S").arg(++m_counter, 6, 10, QLatin1Char('0'));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(message);
    file.close();
    HandToServer(path);
}

void Pop3Mailbox::RemoveMessage(int position)
{
    const QStringList files = MessageFiles();
    if (position < files.size())
        QFile::remove(files.at(position));
}

QByteArrayList Pop3Mailbox::Messages() const
{
    return AgentInstallation::Contents(MessageFiles());
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

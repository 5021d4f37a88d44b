#include "Pop3Mailbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

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

} // namespace

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
    QByteArrayList contents;
    for (const QString& path : MessageFiles()) {
        QFile file(path);
        contents.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return contents;
}


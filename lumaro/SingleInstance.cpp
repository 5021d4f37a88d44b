#include "SingleInstance.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int ConnectTimeoutMs = 1000;
constexpr qint64 MaxLineLength = 16;

bool IsWindowMessage(int message)
{
    return message >= wmNewFromContact && message <= wmFilterFromHandOver;
}

} // namespace

QString InstanceServerName(const QString& windowTitle)
{
    // The registry file stands for the installation and its users: a second installation, or a test
    // with a private registry, never reaches a person's running window.
    const QString registry = QFileInfo(RegistryFilePath()).absoluteFilePath();
    const QByteArray identity = windowTitle.toUtf8() + '\n' + registry.toUtf8();
    const QByteArray hash = QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("lumaro-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool PostWindowMessage(const QString& windowTitle, int message)
{
    QLocalSocket socket;
    socket.connectToServer(InstanceServerName(windowTitle));
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false;
    socket.write(QByteArray::number(message) + '\n');
    const bool written = socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(ConnectTimeoutMs);
    return written;
}

bool HandOverToRunningInstance(const QString& windowTitle, const QStringList& arguments)
{
    QLocalSocket probe;
    probe.connectToServer(InstanceServerName(windowTitle));
    if (!probe.waitForConnected(ConnectTimeoutMs))
        return false;
    probe.disconnectFromServer();
    if (!arguments.isEmpty()) {
        WriteHandOver(arguments.first());
        PostWindowMessage(windowTitle, wmHandOver);
    }
    PostWindowMessage(windowTitle, wmRestore);
    return true;
}

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TInstanceServer::AcceptConnection);
}

bool TInstanceServer::Listen(const QString& windowTitle)
{
    const QString name = InstanceServerName(windowTitle);
    if (m_server->listen(name))
        return true;
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(ConnectTimeoutMs))
        return false;
    // Nobody answers on it: the socket file was left behind by an instance that crashed.
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

void TInstanceServer::AcceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto readLines = [this, socket] {
            while (socket->canReadLine()) {
                bool ok = false;
                const int message = socket->readLine(MaxLineLength).trimmed().toInt(&ok);
                if (ok && IsWindowMessage(message))
                    emit MessageReceived(message);
            }
            // A sender that never ends its line is not waited for.
            if (socket->bytesAvailable() > MaxLineLength)
                socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, readLines);
        connect(socket, &QLocalSocket::disconnected, this, [socket, readLines] {
            readLines();
            socket->deleteLater();
        });
        readLines();
    }
}

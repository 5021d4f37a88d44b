#include "SingleInstance.h"

#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr qint64 MaxLineLength = 16;

bool IsWindowMessage(int message)
{
    return message >= wmNewFromContact && message <= wmSendNow;
}

} // namespace

bool HandOverToRunningInstance(const QString& windowTitle, const QStringList& arguments)
{
    if (!WindowExists(windowTitle))
        return false;
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
    if (name.isEmpty())
        return false;
    if (m_server->listen(name))
        return true;
    if (WindowExists(windowTitle))
        return false;
    // Nobody of this user answers on it: the socket file was left behind by an instance that crashed.
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
                // Queued: a handler may run a nested event loop (a dialog, a waited-for program), during
                // which this socket can close and be freed under a still running read loop.
                if (ok && IsWindowMessage(message))
                    QMetaObject::invokeMethod(this, [this, message] { emit MessageReceived(message); }, Qt::QueuedConnection);
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

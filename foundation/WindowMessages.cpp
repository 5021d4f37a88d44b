#include "WindowMessages.h"

#include "tk_reglib.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int ConnectTimeoutMs = 1000;

} // namespace

QString InstanceServerName(const QString& windowTitle)
{
    // The registry file names the installation (and a test's sandbox), so two of them never meet.
    const QByteArray registry = QFileInfo(RegistryFilePath()).absoluteFilePath().toUtf8();
    const QByteArray title = QCryptographicHash::hash(windowTitle.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QByteArray place = QCryptographicHash::hash(registry, QCryptographicHash::Sha1).toHex().left(8);
    return QStringLiteral("lumaro-%1-%2-%3").arg(::getuid()).arg(QString::fromLatin1(title), QString::fromLatin1(place));
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

bool WindowExists(const QString& windowTitle)
{
    QLocalSocket probe;
    probe.connectToServer(InstanceServerName(windowTitle));
    if (!probe.waitForConnected(ConnectTimeoutMs))
        return false;
    probe.disconnectFromServer();
    return true;
}

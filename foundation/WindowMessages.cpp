#include "WindowMessages.h"

#include "Konstanten.h"
#include "Reporter.h"
#include "tk_reglib.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ConnectTimeoutMs = 1000;
constexpr int ForeignSocketMessage = 519;

constexpr QLatin1StringView SocketNamePrefix("/lumaro-wm-");
constexpr qsizetype SocketKeyLength = 20;

// sockaddr_un holds 107 bytes of path and its terminating zero.
bool SocketPathFits(const QString& directory)
{
    return QFile::encodeName(directory).size() + SocketNamePrefix.size() + SocketKeyLength <= 107;
}

enum class TSocketOwner { Missing, User, Foreign };

// lstat: neither the file nor a link planted in its place may belong to someone else.
TSocketOwner SocketFileOwner(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return TSocketOwner::Missing;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::getuid() ? TSocketOwner::User : TSocketOwner::Foreign;
}

bool PeerIsThisUser(const QLocalSocket& socket)
{
    struct ucred peer {};
    socklen_t length = sizeof peer;
    const auto descriptor = static_cast<int>(socket.socketDescriptor());
    return ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
}

// Connects to the window's socket when it and the program listening on it are this user's own.
bool ConnectToWindow(QLocalSocket& socket, const QString& windowTitle)
{
    const QString path = InstanceServerName(windowTitle);
    if (path.isEmpty())
        return false;
    switch (SocketFileOwner(path)) {
    case TSocketOwner::Missing:
        return false;
    case TSocketOwner::Foreign:
        Report(ForeignSocketMessage, TMessageKind::Warning, path);
        return false;
    case TSocketOwner::User:
        break;
    }
    socket.connectToServer(path);
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false;
    if (PeerIsThisUser(socket))
        return true;
    socket.abort();
    Report(ForeignSocketMessage, TMessageKind::Warning, path);
    return false;
}

} // namespace

namespace detail {

bool IsPrivateDirectory(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::getuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace detail

QString WindowMessageDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && detail::IsPrivateDirectory(runtime) && SocketPathFits(runtime))
        return runtime;
    // A deep $TMPDIR can leave no room for the socket's name; /tmp then serves.
    for (const QString& base : {QDir::tempPath(), QStringLiteral("/tmp")}) {
        const QString temp = detail::PrivateTempDirectory(base);
        if (!temp.isEmpty() && detail::IsPrivateDirectory(temp) && SocketPathFits(temp))
            return temp;
    }
    return {};
}

QString InstanceServerName(const QString& windowTitle)
{
    const QString directory = WindowMessageDirectory();
    if (directory.isEmpty())
        return {};
    // The registry file names the installation (and a test's sandbox), so two of them never meet.
    const QByteArray registry = QFileInfo(RegistryFilePath()).absoluteFilePath().toUtf8();
    const QByteArray key = QCryptographicHash::hash(windowTitle.toUtf8() + '\0' + registry, QCryptographicHash::Sha1);
    return directory + SocketNamePrefix + QString::fromLatin1(key.toHex().left(SocketKeyLength));
}

bool PostWindowMessage(const QString& windowTitle, int message)
{
    QLocalSocket socket;
    if (!ConnectToWindow(socket, windowTitle))
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
    if (!ConnectToWindow(probe, windowTitle))
        return false;
    probe.disconnectFromServer();
    return true;
}

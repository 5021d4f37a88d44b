#pragma once
// One window of each single-instance program per user and installation: the running instance listens
// on a local socket named from its window title and the registry file, in a directory only the user
// may enter; "posting" a window message means connecting, sending the number as one line, and
// disconnecting. No listener means no such window.

#include "WindowMessages.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// Start of a second instance: when a window of `windowTitle` exists, the first argument (if any) is
// stored in the hand-over slot and 3027 posted, then 3026; true means this process should end.
bool HandOverToRunningInstance(const QString& windowTitle, const QStringList& arguments);

// The listening side, owned by the main window. Only the suite's window messages are passed on, each
// from the event loop, never from inside the socket's own signal.
class TInstanceServer : public QObject {
    Q_OBJECT
public:
    explicit TInstanceServer(QObject* parent = nullptr);
    // Listens for `windowTitle`, taking over a socket left behind by a crashed instance.
    bool Listen(const QString& windowTitle);

signals:
    void MessageReceived(int message);

private:
    void AcceptConnection();

    QLocalServer* m_server;
};

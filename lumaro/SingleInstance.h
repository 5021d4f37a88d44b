#pragma once
// One main window per user and installation: the running instance listens on a local socket named
// from the program, the user id and a hash of its window title and registry file path (accessible to
// that user only); "posting" a window message means connecting,
// sending the number as one line, and disconnecting. No listener means no such window.

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

enum TWindowMessage {
    wmNewFromContact = 3025,
    wmRestore = 3026,
    wmHandOver = 3027,
    wmFilterFromHandOver = 3028,
};

inline const QString MainWindowTitle = QStringLiteral("Lumaro Mail 3.20");

QString InstanceServerName(const QString& windowTitle);

// Sends `message` to the window of `windowTitle`; false when no such window listens.
bool PostWindowMessage(const QString& windowTitle, int message);

// Start of a second instance: when a window of `windowTitle` exists, the first argument (if any) is
// stored in the hand-over slot and 3027 posted, then 3026; true means this process should end.
bool HandOverToRunningInstance(const QString& windowTitle, const QStringList& arguments);

// The listening side, owned by the main window. Only the four window messages are passed on.
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

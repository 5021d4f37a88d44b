#pragma once
// The private window messages between the suite's programs. A program that owns a window of a
// title listens on a local socket named from that title, the user id and the registry file;
// "posting" a message means connecting, sending the number as one line, and disconnecting. No
// listener means no such window.

#include <QString>

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
// True when a window of `windowTitle` listens; the probe carries no message.
bool WindowExists(const QString& windowTitle);

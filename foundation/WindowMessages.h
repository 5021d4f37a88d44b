#pragma once
// The private window messages between the suite's programs. A program that owns a window of a
// title listens on a local socket named from that title and the registry file, in the user's
// runtime directory; "posting" a message means connecting, sending the number as one line, and
// disconnecting. No listener means no such window.

#include <QString>

enum TWindowMessage {
    wmNewFromContact = 3025,
    wmRestore = 3026,
    wmHandOver = 3027,
    wmFilterFromHandOver = 3028,
    // A message window filed its work file and asks for it to be sent at once (RegistryFunctions'
    // send-now slot names it).
    wmSendNow = 3029,
};

inline const QString MainWindowTitle = QStringLiteral("Lumaro Mail 3.20");

// The directory of the sockets: $XDG_RUNTIME_DIR, or the private temporary directory where that
// is unset (under /tmp when $TMPDIR is too deep for a socket's path); it must be a directory (not a
// link) of this user that nobody else may enter. Empty when none is: the programs then run without
// window messages.
QString WindowMessageDirectory();
// The socket's path; empty when there is no safe directory for it.
QString InstanceServerName(const QString& windowTitle);

// Sends `message` to the window of `windowTitle`; false when no such window listens, and false
// with a warning when the socket or the program behind it belongs to another user.
bool PostWindowMessage(const QString& windowTitle, int message);
// True when a window of `windowTitle` listens; the probe carries no message.
bool WindowExists(const QString& windowTitle);

namespace detail {

// True when `path` is a directory of this user, not a link, with no access for group or others.
bool IsPrivateDirectory(const QString& path);

} // namespace detail

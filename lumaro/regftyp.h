#pragma once
// Registration of the main client as the desktop's mail program ("mailto:" links) and as the program
// for message files (".eml", message/rfc822), the freedesktop way: a desktop entry "lumaro.desktop"
// in the user's applications directory whose Exec line starts this installation's lumaro, and the
// default handler in the user's mimeapps.list. A person's other entries in mimeapps.list are kept.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TRegistration { MailClient, EmlFiles };

inline const QString DesktopFileName = QStringLiteral("lumaro.desktop");

// Where the registration is written and what it points at.
struct TRegistrationPaths {
    QString ApplicationsDir;  // $XDG_DATA_HOME/applications
    QString ConfigDir;        // $XDG_CONFIG_HOME, which holds mimeapps.list
    QStringList Desktops;     // $XDG_CURRENT_DESKTOP in lower case: their own lists take precedence
    QString Program;          // this installation's lumaro
    QString Icon;             // the suite's icon file
};

// The paths of this user and installation (environment and program directory).
TRegistrationPaths CurrentRegistrationPaths();

// "x-scheme-handler/mailto" or "message/rfc822".
QString MimeTypeOf(TRegistration registration);

// True when the user's default handler for the type is our desktop entry and that entry starts
// this installation's program.
bool IsRegistered(TRegistration registration, const TRegistrationPaths& paths);

// Writes the desktop entry and makes it the default handler for the type; on failure returns false
// and names the file that could not be written in `error`.
bool Register(TRegistration registration, const TRegistrationPaths& paths, QString& error);

namespace detail {

// The program as the Exec key wants it: quoted only when it holds a reserved character, "%" doubled.
QString ExecArgument(const QString& program);
// The program of an Exec value as written in the file (string escapes included); empty when none.
QString ExecProgram(const QString& execValue);
QByteArray DesktopEntry(const QString& program, const QString& icon);
// The value of `key` in the [Desktop Entry] group of a desktop file, with string escapes.
QString DesktopEntryValue(const QByteArray& desktopFile, const QString& key);

// The first desktop id that the [Default Applications] group names for `mimeType`; empty when none.
QString DefaultApplication(const QByteArray& mimeappsList, const QString& mimeType);
// mimeapps.list with `desktopId` first for `mimeType` in [Default Applications] and
// [Added Associations] and gone from [Removed Associations]; every other line stays as it was.
QByteArray WithDefaultApplication(const QByteArray& mimeappsList, const QString& mimeType, const QString& desktopId);

} // namespace detail

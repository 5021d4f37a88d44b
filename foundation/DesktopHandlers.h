#pragma once
// Whether the desktop has a program for a type of file, looked up as xdg-open's tools do it: the
// freedesktop.org associations (mimeapps.list) and the types the installed desktop entries declare.
// Asked before a file is handed to the desktop, which itself reports nothing when it has no program.

#include <QString>
#include <QStringList>

// The directories searched, in the order of the XDG base directory rules: $XDG_CONFIG_HOME and
// $XDG_CONFIG_DIRS for mimeapps.list, and the "applications" folders of $XDG_DATA_HOME and
// $XDG_DATA_DIRS for mimeapps.list and desktop entries.
struct TDesktopDirectories {
    QStringList ConfigDirs;
    QStringList ApplicationDirs;
};
TDesktopDirectories DesktopDirectoriesFromEnvironment();

// True when a desktop entry that exists in one of the application folders is associated with
// `mimeType` or with a type it is a kind of ("text/x-csv" is a kind of "text/plain"). The catch-all
// "application/octet-stream" counts only when asked for itself.
bool DesktopHandlerExists(const QString& mimeType, const TDesktopDirectories& directories = DesktopDirectoriesFromEnvironment());

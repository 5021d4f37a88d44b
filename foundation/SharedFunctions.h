#pragma once
// Start-up of a program with a user context, and small helpers every program shares.

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>

// The start-up steps in their order: program paths, language, installation values and user list,
// the active user's setting keys and data directory, then the data directories created.
// Programs that let the user pick another user run the steps themselves.
void InitProgramForActiveUser(const QString& executablePath);

// Tells the user that the shared temporary directory was refused as unsafe, if it was; programs
// call it once the language is known.
void ReportRefusedTempDirectory();

class EqmException;
// The text the programs show for a library error: its own, except that a log-in refused because
// it would have gone out in clear is told in the user's language, naming the server and the way
// to allow it, and so is a refused certificate, with its fingerprints.
QString ShownErrorText(const EqmException& error);

// Why `path` could not be written, in the user's language: a full disk is named as such (a short
// write leaves no system error behind), else `systemError` when there is one.
QString WriteFailureText(const QString& path, const QString& systemError = {});
// Whether the file system holding `path` (or its nearest existing parent) has no room left.
bool DiskIsFull(const QString& path);

// The DOS file date of a local time: date in the high word, time in the low word (2-second steps).
quint32 PackedFileDate(const QDateTime& localTime);

using TClock = std::function<QDateTime()>;

// `dir`/`prefix`<packed file date of now>.eml, computed again from the clock until no file of
// that name exists.
QString UniqueMessageFileName(const QString& dir, const QString& prefix,
                              const TClock& now = &QDateTime::currentDateTime);

// Files and directories the suite creates hold mail, contacts and settings: readable by their owner
// only. Neither narrows what exists already, so modes the user widened stay.
// Opens `file`; a file this creates gets mode 0600.
bool OpenOwnerOnly(QFile& file, QIODevice::OpenMode mode);
// Creates the directory `path` (its last component only) with mode 0700; true when it is a
// directory afterwards.
bool CreatePrivateDirectory(const QString& path);

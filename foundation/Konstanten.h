#pragma once
// Where the suite is installed and where the active user's files are: the program directory and
// the paths derived from it, the system directories, and the data-directory paths. They are
// computed once at start-up into one process-wide set that every part of a program reads.

#include <QLocale>
#include <QString>

// Paths derived from the program directory.
struct TProgramPaths {
    QString ProgDir;
    QString HelpDir;
    QString HelpIndexFile;
    QString HelpExtractor;
    QString UsersDir;
    QString DefaultDataDir;
    QString ModulesDir;
    QString ToolsDir;
    QString UpdateFile;
    QString LumaroExe;
    QString LmabExe;
    QString LmserverExe;
    QString LmagentExe;
    QString LmaccountsExe;
    QString LmviewExe;
    QString LmchglangExe;
    QString JobFile;
    QString HeadersFile;
    QString NewMailSound;
    QString NoMailSound;
};

// The private temporary directory and what lies in it, and the send-to folder.
struct TSystemDirs {
    QString TempDir;
    QString SourceFile;
    QString SendToDir;
    QString WorkDir;
    // The shared per-user temporary directory that was refused as unsafe (empty when it was used).
    QString RefusedTempDir;
};

// Paths derived from the active user's data directory; recomputed together whenever it changes.
struct TDataPaths {
    QString DataDir;
    QString DatabaseDir;
    QString MailDir;
    QString PhrasesDir;
    QString LmabDir;
    QString SpoolDir;
    QString InSpoolDir;
    QString SmtpDir;
    QString ContactFile;
    QString AddressbookFile;
    QString AccountsFile;
    QString UserIniFile;
    QString FilterFile;
    // The transfer log: it names accounts, servers and recipients, so it lies with the user's data.
    QString LogFile;
};

struct TSuitePaths {
    TProgramPaths Program;
    TSystemDirs System;
    TDataPaths Data;
    // Date and time format for showing message dates, always with a four-digit year.
    QString DisplayDateFormat;
};

// The process-wide paths; empty until InitProgramPaths has run.
const TSuitePaths& Paths();

// Computes the program paths, the system directories, the display date format and the default
// data paths from the running executable. Called once, before anything reads a path.
void InitProgramPaths(const QString& executablePath);

// Makes `path` the data directory: an empty path means the default one; a path that is no existing
// directory is refused with message 506 (unless it is the default, which is created later).
void ApplyDataDirectory(const QString& path);

// Makes the default data directory the data directory, whether it exists yet or not: the start for
// ApplyDataDirectory when the active user changes, so that a refused directory never leaves the
// previous user's data in use.
void UseDefaultDataDirectory();

// Creates the missing data directories in order, one path component each; failures are ignored.
void CreateDataDirectories();

// The locale whose formats the suite shows: the system's, unless the system names none (C or POSIX,
// usual on servers and in containers), where the interface language's locale stands in.
QLocale DisplayLocale(const QLocale& system, bool english);
// Computes the display date format again from DisplayLocale, once the language is known.
void ChooseDisplayDateFormat(const QLocale& system, bool english);

namespace detail {

// The directory of the executable, or its parent when that directory is "modules" or "tools"
// in any letter case.
QString ProgramDirectoryOf(const QString& executablePath);
TProgramPaths ComputeProgramPaths(const QString& progDir);
TDataPaths ComputeDataPaths(const QString& dataDir);
// The first of 23.tmp, 1.tmp ... 30.tmp in `tempDir` that is missing or a directory; else `tempDir`.
QString ChooseWorkDirectory(const QString& tempDir);
// The short date format with "yy" widened to "yyyy", a blank, and the short time format.
QString DisplayDateFormat(const QString& shortDateFormat, const QString& shortTimeFormat);
// `<base>/lumaro-<uid>` created with mode 0700, or empty when it exists but is not safe to use
// (another owner, writable by others, or not a directory).
QString PrivateTempDirectory(const QString& base);

// Replaces the process-wide paths; for programs that set them up themselves and for tests.
TSuitePaths& MutablePaths();

} // namespace detail

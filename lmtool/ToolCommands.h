#pragma once
// The commands of lmtool, the command-line companion for scripts and tests: `lmtool <command> ...`.
// A command is a function over its own arguments (those after the command name). It writes one
// compact JSON object per line to stdout and returns an exit code. A new command is a function in
// its own file plus one row in the table of ToolCommands.cpp.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

enum TExitCode { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

using TCommandFunction = int (*)(const QStringList& arguments);

struct TToolCommand {
    const char* Name;
    // The arguments after the command name, for the usage text.
    const char* Synopsis;
    TCommandFunction Run;
};

// Dispatches `arguments` (without the program name) to their command.
int RunTool(const QStringList& arguments);

void WriteJsonLine(const QJsonObject& object);
// Reports a failure on stderr and returns ExitFailure.
int Fail(const QString& message);
// Record bytes as JSON text: UTF-8 when they are valid UTF-8, else one character per byte
// (Latin-1), so that a script can still recover the exact bytes.
QString JsonText(const QByteArray& bytes);

#pragma once
// Starting the suite's other programs, waiting for them while the window stays responsive, and
// replacing a placeholder in a text file. No widgets: the caller refreshes its own commands.

#include <QString>
#include <QStringList>

#include <functional>

// Message shown when a program or module cannot be started.
inline constexpr int ProgramNotFoundMessage = 73;

// Starts `path` with `arguments` in the program's own directory without waiting for it.
// False when it could not be started.
bool StartProgram(const QString& path, const QStringList& arguments = {});

// Starts `path` and waits for it to end, letting the event loop run in 100 ms slices. While it runs
// `runningFlag` is set; `refreshCommands` is called after the flag was set and again after it was
// cleared. A program that cannot be started is reported with message 73, the flag stays clear and
// the result is false. The program's exit code is not looked at.
bool RunAndWait(const QString& path, const QStringList& arguments, bool& runningFlag,
                const std::function<void()>& refreshCommands = {});

inline constexpr int ProgramNotStarted = -1;
inline constexpr int ProgramCrashed = -2;
// RunAndWait that tells how the program ended: its exit code, ProgramCrashed when it was killed or
// crashed, ProgramNotStarted (reported with message 73) when it could not be started.
int RunAndWaitExitCode(const QString& path, const QStringList& arguments, bool& runningFlag,
                       const std::function<void()>& refreshCommands = {});

// The same for a count of running instances: a program waited for inside the wait for another one of
// its kind (a second message window) must not make the first look ended when it ends.
bool RunAndWait(const QString& path, const QStringList& arguments, int& runningCount,
                const std::function<void()>& refreshCommands = {});
int RunAndWaitExitCode(const QString& path, const QStringList& arguments, int& runningCount,
                       const std::function<void()>& refreshCommands = {});

// Writes `source` with every `placeholder` replaced by `value` to `target` (replaced as a whole),
// in UTF-8. A source that is not valid UTF-8 is read as Windows-1252, and its charset declaration
// of that code page becomes "utf-8".
bool ReplaceInFile(const QString& source, const QString& target, const QString& placeholder, const QString& value);

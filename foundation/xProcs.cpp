#include "xProcs.h"

#include "AtomicFile.h"
#include "Reporter.h"
#include "qmcharset.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int WaitSliceMs = 100;

QString DirectoryOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Pages of earlier versions were written in the Windows code page and say so; once read into UTF-8
// they must not claim it any more, or a browser shows every umlaut as two characters.
QString DeclaredAsUtf8(QString page)
{
    static const QRegularExpression declared(
        QStringLiteral(R"((charset\s*=\s*["']?)(windows-1252|iso-8859-1|latin1|cp1252))"),
        QRegularExpression::CaseInsensitiveOption);
    return page.replace(declared, QStringLiteral("\\1utf-8"));
}

bool IsExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

bool StartProgram(const QString& path, const QStringList& arguments)
{
    if (!IsExecutableFile(path))
        return false;
    return QProcess::startDetached(path, arguments, DirectoryOf(path));
}

bool RunAndWait(const QString& path, const QStringList& arguments, bool& runningFlag,
                const std::function<void()>& refreshCommands)
{
    return RunAndWaitExitCode(path, arguments, runningFlag, refreshCommands) != ProgramNotStarted;
}

namespace {

int WaitForProgram(const QString& path, const QStringList& arguments, const std::function<void()>& started,
                   const std::function<void()>& ended)
{
    QProcess process;
    process.setProgram(path);
    process.setArguments(arguments);
    process.setWorkingDirectory(DirectoryOf(path));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    if (!IsExecutableFile(path) || (process.start(), !process.waitForStarted())) {
        Report(ProgramNotFoundMessage, TMessageKind::Error, path);
        return ProgramNotStarted;
    }
    started();
    // Each slice first lets the window handle what arrived, so commands can be re-entered meanwhile.
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, WaitSliceMs);
    } while (!process.waitForFinished(WaitSliceMs) && process.state() != QProcess::NotRunning);
    ended();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : ProgramCrashed;
}

} // namespace

int RunAndWaitExitCode(const QString& path, const QStringList& arguments, bool& runningFlag,
                       const std::function<void()>& refreshCommands)
{
    const auto set = [&](bool running) {
        runningFlag = running;
        if (refreshCommands)
            refreshCommands();
    };
    return WaitForProgram(path, arguments, [&] { set(true); }, [&] { set(false); });
}

int RunAndWaitExitCode(const QString& path, const QStringList& arguments, int& runningCount,
                       const std::function<void()>& refreshCommands)
{
    const auto count = [&](int step) {
        runningCount = std::max(runningCount + step, 0);
        if (refreshCommands)
            refreshCommands();
    };
    return WaitForProgram(path, arguments, [&] { count(1); }, [&] { count(-1); });
}

bool RunAndWait(const QString& path, const QStringList& arguments, int& runningCount,
                const std::function<void()>& refreshCommands)
{
    return RunAndWaitExitCode(path, arguments, runningCount, refreshCommands) != ProgramNotStarted;
}

bool ReplaceInFile(const QString& source, const QString& target, const QString& placeholder, const QString& value)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    QString text = QString::fromUtf8(UndeclaredToUtf8(content));
    if (!IsValidUtf8(content))
        text = DeclaredAsUtf8(text);
    if (!placeholder.isEmpty())
        text.replace(placeholder, value);
    return WriteFileAtomically(target, text.toUtf8());
}

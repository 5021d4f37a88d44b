#pragma once
// Runs lmtool as a child process and collects its JSON lines.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct TToolRun {
    bool Crashed = false;
    int ExitCode = -1;
    QList<QJsonObject> Lines;
    QByteArray Errors;
};

inline TToolRun RunLmtool(const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LMTOOL_PATH), arguments);
    TToolRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.Crashed = process.exitStatus() == QProcess::CrashExit;
    run.ExitCode = process.exitCode();
    run.Errors = process.readAllStandardError();
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            run.Lines.append(QJsonDocument::fromJson(line).object());
    }
    return run;
}

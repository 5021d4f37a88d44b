// lmtool: the command-line companion of the suite for scripts and tests.

#include "ProgramStart.h"
#include "ToolCommands.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    QCoreApplication app(arguments.QtArgc, arguments.QtArgv);
    return RunTool(arguments.Own);
}

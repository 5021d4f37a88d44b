// lmtool: the command-line companion of the suite for scripts and tests.

#include "ToolCommands.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return RunTool(QCoreApplication::arguments().mid(1));
}

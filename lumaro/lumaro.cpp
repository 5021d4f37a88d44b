// The main client: hands its argument to a running instance, or starts the main window.

#include "Konstanten.h"
#include "Main.h"
#include "ProgramStart.h"
#include "RegistryFunctions.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"
#include "qmpump.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    TurnOffCoreDumps();
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    // No display name: Qt would append it to every window title, and the main window's title is
    // exactly "Lumaro Mail 3.20".
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    SetReportHandler(ShowReportInMessageBox);
    ReadLanguage();
    ApplyProgramLanguage(app);
    if (HandOverToRunningInstance(MainWindowTitle, arguments.Own))
        return 0;

    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramPaths(QApplication::applicationFilePath());
    ReportRefusedTempDirectory();

    TMainFrm mainFrm(arguments.Own);
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}

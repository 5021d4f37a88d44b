// The server manager: brings a running instance forward, or opens its window.

#include "LmserverMain.h"
#include "LmserverTexts.h"
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
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    QApplication::setApplicationDisplayName(LmserverTitle);
    SetReportHandler(ShowReportInMessageBox);
    ReadLanguage();
    ApplyProgramLanguage(app);
    if (PostWindowMessage(LmserverTitle, wmRestore))
        return 0;

    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramForActiveUser(QApplication::applicationFilePath());
    ReportRefusedTempDirectory();

    TLmserverFrm lmserverFrm(arguments.Own);
    lmserverFrm.ListenForWindowMessages();
    lmserverFrm.show();
    return QApplication::exec();
}

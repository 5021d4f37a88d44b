// The main client: hands its argument to a running instance, or starts the main window.

#include "Main.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "QtTranslation.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"
#include "qmpump.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window title, and the main window's title is
    // exactly "Lumaro Mail 3.20".
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    const QStringList arguments = QApplication::arguments().mid(1);
    if (HandOverToRunningInstance(MainWindowTitle, arguments))
        return 0;

    SetReportHandler(ShowReportInMessageBox);
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramPaths(QApplication::applicationFilePath());
    ReadLanguage();
    InstallQtTranslation(app);
    ReportRefusedTempDirectory();

    TMainFrm mainFrm(arguments);
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}

// The server manager: brings a running instance forward, or opens its window.

#include "LmserverMain.h"
#include "LmserverTexts.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"
#include "qmpump.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    QApplication::setApplicationDisplayName(LmserverTitle);
    if (PostWindowMessage(LmserverTitle, wmRestore))
        return 0;

    SetReportHandler(ShowReportInMessageBox);
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramForActiveUser(QApplication::applicationFilePath());
    ReportRefusedTempDirectory();

    TLmserverFrm lmserverFrm(QApplication::arguments().mid(1));
    lmserverFrm.ListenForWindowMessages();
    lmserverFrm.show();
    return QApplication::exec();
}

// The message window: shows, or in edit mode composes, the one message named on the command line.

#include "Konstanten.h"
#include "Main.h"
#include "ProgramStart.h"
#include "ReportBoxes.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "qmpump.h"

#include <QApplication>

namespace {

constexpr int MsgOnlyFromMainProgram = 7;

} // namespace

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    QApplication::setApplicationName(QStringLiteral("Lumaro Mail"));
    SetReportHandler(ShowReportInMessageBox);
    SetMessagePump([] { QCoreApplication::processEvents(); });
    InitProgramForActiveUser(QApplication::applicationFilePath());
    ApplyProgramLanguage(app);
    ReportRefusedTempDirectory();

    const std::optional<TViewCommandLine> commandLine = ParseViewCommandLine(arguments.Own);
    if (!commandLine) {
        Report(MsgOnlyFromMainProgram, TMessageKind::Information);
        return 1;
    }
    TLmviewFrm window(*commandLine);
    if (!window.LoadMessage())
        return 1;
    window.show();
    return QApplication::exec();
}

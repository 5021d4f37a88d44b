// The language selector: switches the whole suite between German and English.

#include "LanguageFunctions.h"
#include "Main.h"
#include "ProgramStart.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    InitProgramForActiveUser(QApplication::applicationFilePath());
    ApplyProgramLanguage(app);
    QApplication::setApplicationName(SelectorTexts().Title);
    SetReportHandler(ShowReportInMessageBox);

    TChgLangFrm form;
    form.show();
    return QApplication::exec();
}

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
    QApplication::setApplicationName(LanguageSelectTitle);
    InitProgramForActiveUser(QApplication::applicationFilePath());
    SetReportHandler(ShowReportInMessageBox);

    TChgLangFrm form;
    form.show();
    return QApplication::exec();
}

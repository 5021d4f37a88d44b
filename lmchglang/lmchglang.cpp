// The language selector: switches the whole suite between German and English.

#include "LanguageFunctions.h"
#include "Main.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(LanguageSelectTitle);
    InitProgramForActiveUser(QApplication::applicationFilePath());
    SetReportHandler(ShowReportInMessageBox);

    TChgLangFrm form;
    form.show();
    return QApplication::exec();
}

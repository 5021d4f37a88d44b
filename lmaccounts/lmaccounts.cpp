// The accounts manager: brings a running instance to the front, or opens the list of accounts of
// the active user, creating or recreating the accounts database first.

#include "AccountsFunctions.h"
#include "AccountsMain.h"
#include "ProgramStart.h"
#include "RegistryFunctions.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    TurnOffCoreDumps();
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    // The title, and with it the running instance's name, is in the stored language.
    ReadLanguage();
    ApplyProgramLanguage(app);
    SetReportHandler(ShowReportInMessageBox);
    if (PostWindowMessage(AccountsWindowTitle(), wmRestore))
        return 0;

    InitProgramForActiveUser(QApplication::applicationFilePath());
    QApplication::setApplicationName(AccountsWindowTitle());
    QApplication::setApplicationDisplayName(AccountsWindowTitle());
    ReportRefusedTempDirectory();
    if (!PrepareAccountsDatabase(AccountsText::Outdated, AccountsText::WriteError))
        return 1;

    TAccountsMainFrm mainFrm(DefaultRasBackend());
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}

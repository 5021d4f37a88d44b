// The accounts manager: brings a running instance to the front, or opens the list of accounts of
// the active user, creating or recreating the accounts database first.

#include "AccountsFunctions.h"
#include "AccountsMain.h"
#include "RegistryFunctions.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The title, and with it the running instance's name, is in the stored language.
    ReadLanguage();
    if (PostWindowMessage(AccountsWindowTitle(), wmRestore))
        return 0;

    InitProgramForActiveUser(QApplication::applicationFilePath());
    QApplication::setApplicationName(AccountsWindowTitle());
    QApplication::setApplicationDisplayName(AccountsWindowTitle());
    SetReportHandler(ShowReportInMessageBox);
    ReportRefusedTempDirectory();
    if (!PrepareAccountsDatabase(AccountsText::Outdated, AccountsText::WriteError))
        return 1;

    TAccountsMainFrm mainFrm(DefaultRasBackend());
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}

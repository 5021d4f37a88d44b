// The address book: brings a running instance to the front, or opens the book of the active user,
// creating or recreating it first. "NEW" with last name, first name and address opens a new contact.

#include "AddressFunctions.h"
#include "Main.h"
#include "ProgramStart.h"
#include "RegistryFunctions.h"
#include "ReportBoxes.h"
#include "SharedFunctions.h"
#include "SingleInstance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    TProgramArguments arguments(argc, argv);
    QApplication app(arguments.QtArgc, arguments.QtArgv);
    // The title, and with it the running instance's name, is in the stored language.
    ReadLanguage();
    ApplyProgramLanguage(app);
    SetReportHandler(ShowReportInMessageBox);
    // The arguments of a second start are not passed on; its window just comes to the front.
    if (PostWindowMessage(AddressBookWindowTitle(), wmRestore))
        return 0;

    InitProgramForActiveUser(QApplication::applicationFilePath());
    QApplication::setApplicationName(AddressBookWindowTitle());
    QApplication::setApplicationDisplayName(AddressBookWindowTitle());
    ReportRefusedTempDirectory();
    if (!PrepareAddressBook())
        return 1;

    TMainFrm mainFrm(arguments.Own);
    mainFrm.ListenForWindowMessages();
    mainFrm.show();
    return QApplication::exec();
}

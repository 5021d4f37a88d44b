#pragma once
// What every program of the suite does before it builds its QApplication.
//
// QApplication acts on Qt's own options (-platform, -platformpluginpath, -stylesheet, ...) wherever
// they stand in argv, and the suite's programs are started with arguments that can come from a
// message (a sender's name, a file name). So Qt is shown the program name only; the program's own
// arguments are decoded here and parsed by the program. Qt's environment variables
// (QT_QPA_PLATFORM and the like) keep working.

#include <QStringList>

class QCoreApplication;

class TProgramArguments {
public:
    TProgramArguments(int argc, char* argv[]);
    TProgramArguments(const TProgramArguments&) = delete;
    TProgramArguments& operator=(const TProgramArguments&) = delete;

    // The argc and argv for QApplication; both must outlive it, as Qt keeps references to them.
    int QtArgc = 1;
    char* QtArgv[2] = {nullptr, nullptr};
    // The arguments after the program name.
    QStringList Own;
};

// A process that holds account passwords leaves no core dump and cannot be attached to by other
// processes of the user; a crash dump would otherwise carry the passwords in clear.
void TurnOffCoreDumps();

// Qt's own texts (the buttons of message, file and print dialogs, key names in menus) and the
// display formats of dates and numbers in the suite's language. Every program calls it once the
// language is read and before its first window. False when German is active but Qt's German
// translation is not installed on the system; Qt's texts then stay English.
bool ApplyProgramLanguage(QCoreApplication& application);

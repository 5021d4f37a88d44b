#pragma once
// Qt's own dialog texts (the buttons of message boxes, file and font dialogs) in the interface
// language: with German active, Qt's German translation is installed.

class QCoreApplication;

// Installs Qt's translation for the active language once; false when German is active but the
// translation is not installed on the system (the dialogs then stay English).
bool InstallQtTranslation(QCoreApplication& application);

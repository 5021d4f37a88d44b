#pragma once
// The help contexts the programs ask for: a Help button, a Help menu item or F1 passes one of these
// numbers to ShowHelp, and the help index maps each to a page and an anchor of the user guide.
// Every number here must have its line in the shipped index (the guide's tests hold them to it).

#include <array>

namespace HelpContext {

enum Number : int {
    Contents = 1,
    MainWindow = 2,
    Accounts = 10,
    AccountEditor = 11,
    AccountWizard = 12,
    ServerManager = 20,
    AddressBook = 30,
    // The Settings dialog's pages, in page order.
    SettingsGeneral = 60,
    SettingsSend = 61,
    SettingsReceive = 62,
    SettingsMaintenance = 63,
    SettingsAdvanced = 64,
    MessageView = 402,
    MessageCompose = 403,
};

inline constexpr std::array All{Contents,        MainWindow,      Accounts,           AccountEditor,
                                AccountWizard,   ServerManager,   AddressBook,        SettingsGeneral,
                                SettingsSend,    SettingsReceive, SettingsMaintenance, SettingsAdvanced,
                                MessageView,     MessageCompose};

} // namespace HelpContext

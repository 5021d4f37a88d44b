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
    ServerConnect = 21,
    AddressBook = 30,
    Contact = 31,
    Group = 32,
    // The main client's dialogs.
    Search = 40,
    FilterRules = 41,
    FilterEditor = 42,
    Users = 43,
    Phrases = 44,
    FolderCreate = 45,
    Columns = 46,
    Receive = 47,
    Send = 48,
    TransmitSettings = 49,
    Language = 50,
    // The Settings dialog's pages, in page order.
    SettingsGeneral = 60,
    SettingsSend = 61,
    SettingsReceive = 62,
    SettingsMaintenance = 63,
    SettingsAdvanced = 64,
    MessageView = 402,
    MessageCompose = 403,
};

inline constexpr std::array All{
    Contents,     MainWindow,   Accounts,        AccountEditor,   AccountWizard, ServerManager,     ServerConnect,
    AddressBook,  Contact,      Group,           Search,          FilterRules,   FilterEditor,      Users,
    Phrases,      FolderCreate, Columns,         Receive,         Send,          TransmitSettings,  Language,
    SettingsGeneral, SettingsSend, SettingsReceive, SettingsMaintenance, SettingsAdvanced, MessageView, MessageCompose};

} // namespace HelpContext

#pragma once
// The per-user settings the main window reads and writes: the shared option groups, the column
// list, the tool bar flags and the transmit choices.

#include "RegistryFunctions.h"
#include "UserSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

inline constexpr int ToolbarItemCount = 18;

struct TMainSettings : TSharedSettings {
    // Columns and tool bar
    QStringList ColumnCaptions;
    QList<bool> ToolbarVisible;
    // Send, receive and transmit choices (Remember)
    QString SmtpServer;
    QStringList PopServers;
    QString ActionSmtpServer;
    QStringList ActionPopServers;
    bool ActionIgnoreSmtp = false;
    bool ActionIgnorePop = false;
    bool ActionFirstReceive = false;
};

TMainSettings LoadMainSettings(const TUserSettingKeys& keys);
void SaveMainSettings(const TUserSettingKeys& keys, const TMainSettings& settings);
// The choices of the Send, Receive and Transmit settings dialogs (the Remember values), written and
// flushed as soon as the user made them: a main client that does not end normally still has them
// at its next start.
void SaveTransferChoices(const TUserSettingKeys& keys, const TMainSettings& settings);

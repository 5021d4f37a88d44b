#pragma once
// The per-user settings the main window itself reads and writes: the General and Display values it
// acts on, the warnings it asks, the column list, the tool bar flags and the transmit choices.
// Values marked read-only in the settings are loaded but never written back.

#include "RegistryFunctions.h"

#include <QList>
#include <QString>
#include <QStringList>

inline constexpr int ToolbarItemCount = 18;
inline constexpr int DefaultTreeviewWidth = 145;

struct TMainSettings {
    // General
    bool LogActive = false;
    bool DebugMode = false;
    bool AutoConnectServer = true;
    bool ExpandWhenDragging = false;
    bool EmptyTrash = false;
    // Display
    bool ShowTreeview = true;
    bool ShowCombobox = false;
    QString MailFont;
    int TreeviewWidth = DefaultTreeviewWidth;
    int ListviewHeight = 0;
    // Warnings (true: the question is asked)
    bool WarnDeleteMails = true;
    bool WarnEmptyTheTrash = true;
    // Columns and tool bar
    QStringList ColumnCaptions;
    QList<bool> ToolbarVisible;
    // Transmit choices (Remember)
    QString ActionSmtpServer;
    QStringList ActionPopServers;
    bool ActionIgnoreSmtp = false;
    bool ActionIgnorePop = false;
    bool ActionFirstReceive = false;
};

TMainSettings LoadMainSettings(const TUserSettingKeys& keys);
void SaveMainSettings(const TUserSettingKeys& keys, const TMainSettings& settings);

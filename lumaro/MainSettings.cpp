#include "MainSettings.h"

#include "ListviewFunctions.h"
#include "tk_reglib.h"

namespace {

const QString DefaultMailFont = QStringLiteral("\"MS Sans Serif\", 8, [], [clWindowText]");

QString Name(const char* name)
{
    return QString::fromLatin1(name);
}

QStringList ReadNumberedList(const TRegistryKey& key, const char* countName, const char* itemName)
{
    QStringList items;
    const int count = key.ReadInteger(Name(countName), 0);
    for (int i = 1; i <= count; ++i)
        items.append(key.ReadString(Name(itemName) + QString::number(i)));
    return items;
}

void WriteNumberedList(TRegistryKey& key, const char* countName, const char* itemName, const QStringList& items)
{
    key.WriteInteger(Name(countName), int(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i)
        key.WriteString(Name(itemName) + QString::number(i + 1), items[i]);
}

void LoadGeneral(const TRegistryKey& key, TMainSettings& s)
{
    s.LogActive = key.ReadBool(Name("LogActive"), s.LogActive);
    s.DebugMode = key.ReadBool(Name("DebugMode"), s.DebugMode);
    s.AutoConnectServer = key.ReadBool(Name("AutoConnectServer"), s.AutoConnectServer);
    s.ExpandWhenDragging = key.ReadBool(Name("ExpandWhenDragging"), s.ExpandWhenDragging);
    s.EmptyTrash = key.ReadBool(Name("EmptyTrash"), s.EmptyTrash);
}

void LoadDisplay(const TRegistryKey& key, TMainSettings& s)
{
    s.ShowTreeview = key.ReadBool(Name("ShowTreeview"), s.ShowTreeview);
    s.ShowCombobox = key.ReadBool(Name("ShowCombobox"), s.ShowCombobox);
    // Both off would leave no way to choose a folder.
    if (!s.ShowTreeview && !s.ShowCombobox)
        s.ShowTreeview = true;
    s.MailFont = key.ReadString(Name("MailFont"), DefaultMailFont);
    s.TreeviewWidth = key.ReadInteger(Name("TreeviewWidth"), s.TreeviewWidth);
    s.ListviewHeight = key.ReadInteger(Name("ListviewHeight"), s.ListviewHeight);
}

void LoadRemember(const TRegistryKey& key, TMainSettings& s)
{
    s.ActionSmtpServer = key.ReadString(Name("ActionSmtpServer"));
    s.ActionPopServers = ReadNumberedList(key, "ActionPopServerCount", "ActionPopServer");
    s.ActionIgnoreSmtp = key.ReadBool(Name("ActionIgnoreSmtp"), false);
    s.ActionIgnorePop = key.ReadBool(Name("ActionIgnorePop"), false);
    s.ActionFirstReceive = key.ReadBool(Name("ActionFirstReceive"), false);
}

} // namespace

TMainSettings LoadMainSettings(const TUserSettingKeys& keys)
{
    TMainSettings s;
    LoadGeneral(TRegistryKey(keys.General), s);
    LoadDisplay(TRegistryKey(keys.Display), s);
    const TRegistryKey warnings(keys.Warnings);
    s.WarnDeleteMails = warnings.ReadBool(Name("DeleteMails"), true);
    s.WarnEmptyTheTrash = warnings.ReadBool(Name("EmptyTheTrash"), true);
    s.ColumnCaptions = LoadColumnCaptions(keys.Columns);
    const TRegistryKey toolbar(keys.Toolbar);
    for (int i = 0; i < ToolbarItemCount; ++i)
        s.ToolbarVisible.append(toolbar.ReadBool(Name("Button") + QString::number(i), true));
    LoadRemember(TRegistryKey(keys.Remember), s);
    return s;
}

void SaveMainSettings(const TUserSettingKeys& keys, const TMainSettings& s)
{
    TRegistryKey general(keys.General);
    general.WriteBool(Name("LogActive"), s.LogActive);
    general.WriteBool(Name("AutoConnectServer"), s.AutoConnectServer);
    general.WriteBool(Name("EmptyTrash"), s.EmptyTrash);
    TRegistryKey display(keys.Display);
    display.WriteBool(Name("ShowTreeview"), s.ShowTreeview);
    display.WriteBool(Name("ShowCombobox"), s.ShowCombobox);
    display.WriteString(Name("MailFont"), s.MailFont);
    display.WriteInteger(Name("TreeviewWidth"), s.TreeviewWidth);
    display.WriteInteger(Name("ListviewHeight"), s.ListviewHeight);
    TRegistryKey warnings(keys.Warnings);
    warnings.WriteBool(Name("DeleteMails"), s.WarnDeleteMails);
    warnings.WriteBool(Name("EmptyTheTrash"), s.WarnEmptyTheTrash);
    SaveColumnCaptions(keys.Columns, s.ColumnCaptions);
    TRegistryKey toolbar(keys.Toolbar);
    for (qsizetype i = 0; i < s.ToolbarVisible.size(); ++i)
        toolbar.WriteBool(Name("Button") + QString::number(i), s.ToolbarVisible[i]);
    TRegistryKey remember(keys.Remember);
    remember.WriteString(Name("ActionSmtpServer"), s.ActionSmtpServer);
    WriteNumberedList(remember, "ActionPopServerCount", "ActionPopServer", s.ActionPopServers);
    remember.WriteBool(Name("ActionIgnoreSmtp"), s.ActionIgnoreSmtp);
    remember.WriteBool(Name("ActionIgnorePop"), s.ActionIgnorePop);
    remember.WriteBool(Name("ActionFirstReceive"), s.ActionFirstReceive);
}

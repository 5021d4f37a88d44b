#include "MainSettings.h"

#include "ListviewFunctions.h"
#include "tk_reglib.h"

namespace {

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

void LoadRemember(const TRegistryKey& key, TMainSettings& s)
{
    s.SmtpServer = key.ReadString(Name("SmtpServer"));
    s.PopServers = ReadNumberedList(key, "PopServerCount", "PopServer");
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
    static_cast<TSharedSettings&>(s) = LoadSharedSettings(keys);
    s.ColumnCaptions = LoadColumnCaptions(keys.Columns);
    const TRegistryKey toolbar(keys.Toolbar);
    for (int i = 0; i < ToolbarItemCount; ++i)
        s.ToolbarVisible.append(toolbar.ReadBool(Name("Button") + QString::number(i), true));
    LoadRemember(TRegistryKey(keys.Remember), s);
    return s;
}

void SaveMainSettings(const TUserSettingKeys& keys, const TMainSettings& s)
{
    SaveSharedSettings(keys, s);
    SaveColumnCaptions(keys.Columns, s.ColumnCaptions);
    TRegistryKey toolbar(keys.Toolbar);
    for (qsizetype i = 0; i < s.ToolbarVisible.size(); ++i)
        toolbar.WriteBool(Name("Button") + QString::number(i), s.ToolbarVisible[i]);
    SaveTransferChoices(keys, s);
}

void SaveTransferChoices(const TUserSettingKeys& keys, const TMainSettings& s)
{
    TRegistryKey remember(keys.Remember);
    remember.WriteString(Name("SmtpServer"), s.SmtpServer);
    WriteNumberedList(remember, "PopServerCount", "PopServer", s.PopServers);
    remember.WriteString(Name("ActionSmtpServer"), s.ActionSmtpServer);
    WriteNumberedList(remember, "ActionPopServerCount", "ActionPopServer", s.ActionPopServers);
    remember.WriteBool(Name("ActionIgnoreSmtp"), s.ActionIgnoreSmtp);
    remember.WriteBool(Name("ActionIgnorePop"), s.ActionIgnorePop);
    remember.WriteBool(Name("ActionFirstReceive"), s.ActionFirstReceive);
    remember.Flush();
}

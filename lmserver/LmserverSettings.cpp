#include "LmserverSettings.h"

#include "DBAccountsFunctions.h"
#include "RegistryFunctions.h"
#include "UserSettings.h"
#include "tk_reglib.h"

#include <QFile>

namespace {

const QString AccountsNamesCount = QStringLiteral("AccountsNamesCount");

QString AccountsName(int number)
{
    return QStringLiteral("AccountsNames%1").arg(number);
}

QStringList ReadAccountsNames(const TRegistryKey& key)
{
    QStringList names;
    const int count = key.ReadInteger(AccountsNamesCount, 0);
    for (int number = 1; number <= count; ++number)
        names.append(key.ReadString(AccountsName(number)));
    return names;
}

void WriteAccountsNames(TRegistryKey& key, const QStringList& names)
{
    for (int number = names.size() + 1; key.ValueExists(AccountsName(number)); ++number)
        key.DeleteValue(AccountsName(number));
    key.WriteInteger(AccountsNamesCount, int(names.size()));
    for (int i = 0; i < names.size(); ++i)
        key.WriteString(AccountsName(i + 1), names.at(i));
}

} // namespace

TLmserverSettings ReadLmserverSettings()
{
    const TUserSettingKeys& keys = UserContext().Keys;
    TLmserverSettings s;
    const TRegistryKey general(keys.General);
    s.LogActive = general.ReadBool(QStringLiteral("LogActive"), s.LogActive);
    s.PopTimeout = general.ReadInteger(QStringLiteral("PopTimeout"), s.PopTimeout);
    if (s.PopTimeout < 1)
        s.PopTimeout = TLmserverSettings().PopTimeout;
    s.MaxMessageSize = LoadPopMaxMessageSize(keys.General);
    const TRegistryKey lmserver(keys.Lmserver);
    s.QuickServer = lmserver.ReadString(QStringLiteral("QuickServer"));
    s.QuickUsername = lmserver.ReadString(QStringLiteral("QuickUsername"));
    s.QuickPassword = UnscramblePassword(lmserver.ReadBinary(QStringLiteral("QuickPassword")));
    s.QuickConnect = lmserver.ReadBool(QStringLiteral("QuickConnect"), s.QuickConnect);
    s.QuickPlainText = lmserver.ReadBool(QStringLiteral("QuickPlainText"), s.QuickPlainText);
    s.QuickProtocol = IncomingProtocolFromText(lmserver.ReadString(QStringLiteral("QuickProtocol")).toUtf8());
    s.GetHeaders = lmserver.ReadBool(QStringLiteral("GetHeaders"), s.GetHeaders);
    s.ExpandCount = lmserver.ReadInteger(QStringLiteral("ExpandCount"), s.ExpandCount);
    s.TreeviewHeight = lmserver.ReadInteger(QStringLiteral("TreeviewHeight"), s.TreeviewHeight);
    s.AccountsNames = ReadAccountsNames(lmserver);
    s.SMDeleteMails = TRegistryKey(keys.Warnings).ReadBool(QStringLiteral("SMDeleteMails"), s.SMDeleteMails);
    return s;
}

void WriteLmserverSettings(const TLmserverSettings& s)
{
    const TUserSettingKeys& keys = UserContext().Keys;
    {
        TRegistryKey lmserver(keys.Lmserver);
        lmserver.WriteString(QStringLiteral("QuickServer"), s.QuickServer);
        lmserver.WriteString(QStringLiteral("QuickUsername"), s.QuickUsername);
        lmserver.WriteBinary(QStringLiteral("QuickPassword"), ScramblePassword(s.QuickPassword));
        lmserver.WriteBool(QStringLiteral("QuickConnect"), s.QuickConnect);
        lmserver.WriteBool(QStringLiteral("QuickPlainText"), s.QuickPlainText);
        lmserver.WriteString(QStringLiteral("QuickProtocol"), QString::fromUtf8(IncomingProtocolText(s.QuickProtocol)));
        lmserver.WriteBool(QStringLiteral("GetHeaders"), s.GetHeaders);
        lmserver.WriteInteger(QStringLiteral("ExpandCount"), s.ExpandCount);
        if (s.TreeviewHeight > 0)
            lmserver.WriteInteger(QStringLiteral("TreeviewHeight"), s.TreeviewHeight);
        WriteAccountsNames(lmserver, s.AccountsNames);
        TRegistryKey(keys.Warnings).WriteBool(QStringLiteral("SMDeleteMails"), s.SMDeleteMails);
        lmserver.Flush();
    }
    // A file made by an older version or by hand may be readable by others.
    QFile::setPermissions(RegistryFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString LmserverColumnsKey()
{
    return UserContext().Keys.Columns + QLatin1String("/lmserver");
}

void WriteColumnCount(int count)
{
    TRegistryKey(LmserverColumnsKey()).WriteInteger(QStringLiteral("Count"), count);
}

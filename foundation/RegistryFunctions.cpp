#include "RegistryFunctions.h"

#include "tk_langlib.h"
#include "tk_reglib.h"

namespace {

constexpr int DeleteUserAttempts = 21;

TUserContext& MutableUserContext()
{
    static TUserContext context;
    return context;
}

QString Name(const char* valueName)
{
    return QString::fromLatin1(valueName);
}

} // namespace

const TUserContext& UserContext()
{
    return MutableUserContext();
}

int ReadLanguage()
{
    const int language = TRegistryKey().ReadInteger(Name(RegValue::Language), 0);
    SetLanguage(language);
    return language;
}

void ReadInstallationValues()
{
    const TRegistryKey root;
    TInstallationValues& values = MutableUserContext().Installation;
    values.CurrentUser = root.ReadString(Name(RegValue::CurrentUser), DefaultUserName);
    if (values.CurrentUser.isEmpty())
        values.CurrentUser = DefaultUserName;
    values.ProgDir = root.ReadString(Name(RegValue::ProgDir));
    values.ChooseUser = root.ReadBool(Name(RegValue::ChooseUser), true);
    values.ProgDirLmconvert = root.ReadString(Name(RegValue::ProgDirLmconvert));
}

void BuildUserList()
{
    QStringList users = TRegistryKey(QStringLiteral("Users")).SubKeys();
    if (!users.contains(DefaultUserName))
        users << DefaultUserName;
    MutableUserContext().Users = users;
}

void ReadCurrentUserSettingsPaths()
{
    TUserContext& context = MutableUserContext();
    context.Keys = UserSettingKeys(context.Installation.CurrentUser);
    context.UserDataDir = ReadUserDataDir(context.Installation.CurrentUser);
}

void SetActiveUser(const QString& user)
{
    MutableUserContext().Installation.CurrentUser = user.isEmpty() ? DefaultUserName : user;
}

void StoreCurrentUser(const QString& user)
{
    SetActiveUser(user);
    TRegistryKey root;
    root.WriteString(Name(RegValue::CurrentUser), UserContext().Installation.CurrentUser);
    root.Flush();
}

void StoreChooseUser(bool choose)
{
    MutableUserContext().Installation.ChooseUser = choose;
    TRegistryKey root;
    root.WriteBool(Name(RegValue::ChooseUser), choose);
    root.Flush();
}

QString UserKey(const QString& user)
{
    return QStringLiteral("Users/") + user;
}

TUserSettingKeys UserSettingKeys(const QString& user)
{
    const QString base = UserKey(user) + QLatin1Char('/');
    return TUserSettingKeys{base + QLatin1String("Display"),    base + QLatin1String("Forms"),
                            base + QLatin1String("Columns/lumaro"), base + QLatin1String("General"),
                            base + QLatin1String("Mailformat"), base + QLatin1String("Lmserver"),
                            base + QLatin1String("Warnings"),   base + QLatin1String("Remember"),
                            base + QLatin1String("Toolbar")};
}

QString ReadUserDataDir(const QString& user)
{
    return ReadStringAt(UserKey(user), Name(RegValue::DataDir));
}

QString ReadUserPassword(const QString& user)
{
    return ReadStringAt(UserKey(user), Name(RegValue::Password));
}

void WriteUser(const QString& name, const QString& dataDir, const QString& password)
{
    TRegistryKey key(UserKey(name));
    key.WriteString(Name(RegValue::DataDir), dataDir);
    key.WriteString(Name(RegValue::Password), password);
    key.Flush();
}

bool DeleteUser(const QString& name)
{
    TRegistryKey users(QStringLiteral("Users"));
    for (int attempt = 0; attempt < DeleteUserAttempts; ++attempt) {
        if (users.DeleteKey(name))
            return true;
    }
    return false;
}

QString ReadHandOver()
{
    return TRegistryKey().ReadString(Name(RegValue::OurOwnMessage));
}

void WriteHandOver(const QString& argument)
{
    TRegistryKey root;
    root.WriteString(Name(RegValue::OurOwnMessage), argument);
    // The running instance reads the slot as soon as it is notified.
    root.Flush();
}

void WriteSendNowRequest(const TSendNowRequest& request)
{
    TRegistryKey root;
    root.WriteString(Name(RegValue::SendNowRequest), request.WorkFile + QLatin1Char('\n') + request.Account);
    root.Flush();
}

std::optional<TSendNowRequest> TakeSendNowRequest()
{
    TRegistryKey root;
    const QString value = root.ReadString(Name(RegValue::SendNowRequest));
    if (value.isEmpty())
        return std::nullopt;
    root.DeleteValue(Name(RegValue::SendNowRequest));
    root.Flush();
    const qsizetype newline = value.indexOf(QLatin1Char('\n'));
    if (newline < 0)
        return TSendNowRequest{value, {}};
    return TSendNowRequest{value.left(newline), value.mid(newline + 1)};
}

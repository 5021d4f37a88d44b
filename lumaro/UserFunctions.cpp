#include "UserFunctions.h"

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int MsgActiveMarker = 48;

bool SameUser(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Marker()
{
    return QStringLiteral(" [") + MessageText(MsgActiveMarker) + QLatin1Char(']');
}

// Creates the directory and the missing ones above it, private to the user.
bool CreatePrivateDirectory(const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    if (!QDir().mkpath(dir))
        return false;
    return QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

QString UserListEntry(const QString& user, const QString& activeUser)
{
    return SameUser(user, activeUser) ? user + Marker() : user;
}

QString UserOfEntry(const QString& entry)
{
    const QString marker = Marker();
    return entry.endsWith(marker) ? entry.left(entry.size() - marker.size()) : entry;
}

TUserButtonStates ComputeUserButtonStates(const QString& selected, const QString& activeUser, int userCount)
{
    TUserButtonStates s;
    const bool any = !selected.isEmpty();
    s.Edit = any;
    s.Remove = any && !SameUser(selected, DefaultUserName) && !SameUser(selected, activeUser);
    s.Activate = any && !SameUser(selected, activeUser);
    s.ChooseUser = userCount >= 2;
    return s;
}

TUserNameCheck CheckNewUserName(const QString& name, const QStringList& users)
{
    if (name.trimmed().isEmpty())
        return TUserNameCheck::Empty;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name == QLatin1String(".")
        || name == QLatin1String("..") || name != name.trimmed())
        return TUserNameCheck::Invalid;
    for (const QString& user : users) {
        if (SameUser(user, name))
            return TUserNameCheck::Taken;
    }
    return TUserNameCheck::Valid;
}

QString NewUserDataDir(const QString& usersDir, const QString& name)
{
    return usersDir + QLatin1Char('/') + name;
}

QString PickedDataDir(const QString& picked, const QString& defaultDataDir)
{
    return QDir::cleanPath(picked) == QDir::cleanPath(defaultDataDir) ? QString() : picked;
}

bool AddUser(const QString& name, const QString& dataDir)
{
    WriteUser(name, dataDir, QString());
    BuildUserList();
    return CreatePrivateDirectory(dataDir.isEmpty() ? Paths().Program.DefaultDataDir : dataDir);
}

void EditUser(const QString& name, const QString& dataDir)
{
    WriteUser(name, dataDir, ReadUserPassword(name));
}

bool RemoveUser(const QString& name)
{
    const bool removed = DeleteUser(name);
    BuildUserList();
    return removed;
}

bool ChooseUserAtStart(const TUserChooser& chooser)
{
    const TUserContext& context = UserContext();
    if (!chooser || !context.Installation.ChooseUser || context.Users.size() < 2)
        return false;
    const QString current = context.Installation.CurrentUser;
    const std::optional<TUserChoice> choice = chooser(context.Users, current, context.Installation.ChooseUser);
    if (!choice)
        return false;
    StoreChooseUser(choice->AskAtStart);
    if (choice->User.isEmpty() || choice->User == current)
        return false;
    StoreCurrentUser(choice->User);
    return true;
}

void EnterActiveUser()
{
    ReadCurrentUserSettingsPaths();
    UseDefaultDataDirectory();
    ApplyDataDirectory(UserContext().UserDataDir);
    CreateDataDirectories();
}

void MakeActiveUser(const QString& user)
{
    StoreCurrentUser(user);
    BuildUserList();
    EnterActiveUser();
}

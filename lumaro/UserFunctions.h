#pragma once
// The rules of the user identities without widgets: the user manager's list entries and button
// states, the name and data directory checks of the user editor, adding, editing and removing users,
// the choice of the user at start and making another user the active one.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The user manager's entry of `user`: the active user carries the marker " [" + string 48 + "]".
QString UserListEntry(const QString& user, const QString& activeUser);
// The user of a list entry, without the marker.
QString UserOfEntry(const QString& entry);

struct TUserButtonStates {
    bool Edit = false;
    bool Remove = false;
    bool Activate = false;
    bool ChooseUser = false;
};

// `selected` empty: no entry selected. User names compare in any letter case, as registry keys do.
TUserButtonStates ComputeUserButtonStates(const QString& selected, const QString& activeUser, int userCount);

enum class TUserNameCheck { Valid, Empty, Taken, Invalid };

// A new user's name: not empty, not yet in `users` (any letter case), and usable both as a registry
// key and as a directory name below the users directory (no "/" or "\", not "." or "..").
TUserNameCheck CheckNewUserName(const QString& name, const QStringList& users);

// The data directory of a new user whose directory was not picked by hand.
QString NewUserDataDir(const QString& usersDir, const QString& name);

// The editor's data directory after a directory was picked: empty (= the default) for the default one.
QString PickedDataDir(const QString& picked, const QString& defaultDataDir);

// Writes a new user's key (`dataDir` empty = the default data directory), creates the directory when
// it is missing and rereads the user list. False when the directory could not be created.
bool AddUser(const QString& name, const QString& dataDir);
// Writes an existing user's data directory; the user's Password value is written back as held.
void EditUser(const QString& name, const QString& dataDir);
// Deletes the user's key (never the data directory) and rereads the user list.
bool RemoveUser(const QString& name);

struct TUserChoice {
    QString User;
    bool AskAtStart = true;
};

// Shows the user chooser: the users, the preselected user and whether to ask at start; nothing on Cancel.
using TUserChooser =
    std::function<std::optional<TUserChoice>(const QStringList& users, const QString& current, bool askAtStart)>;

// Start-up: with `ChooseUser` on and more than one user, lets the user choose; a chosen user becomes
// `CurrentUser`, and the choice of asking again is stored. True when the chosen user differs.
bool ChooseUserAtStart(const TUserChooser& chooser);

// The active user's setting keys, data directory (a missing one gives the default, message 506) and
// data directories.
void EnterActiveUser();

// Makes `user` the active user and stores it as `CurrentUser`, rereads the user list and enters it.
void MakeActiveUser(const QString& user);

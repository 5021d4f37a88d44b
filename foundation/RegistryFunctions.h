#pragma once
// The suite's installation facts, user identities and per-user setting groups in the registry,
// and the process-wide user context that every program reads after start-up.

#include <QString>
#include <QStringList>

#include <optional>

// Value names of the suite root key.
namespace RegValue {
inline constexpr auto Language = "Language";
inline constexpr auto CurrentUser = "CurrentUser";
inline constexpr auto ProgDir = "ProgDir";
inline constexpr auto ChooseUser = "ChooseUser";
inline constexpr auto ProgDirLmconvert = "ProgDirLmconvert";
inline constexpr auto OurOwnMessage = "OurOwnMessage";
inline constexpr auto SendNowRequest = "SendNowRequest";
inline constexpr auto DataDir = "DataDir";
inline constexpr auto Password = "Password";
// True while a dial-up connection that the agent opened is up.
inline constexpr auto OwnConnection = "OwnConnection";
} // namespace RegValue

inline const QString DefaultUserName = QStringLiteral("default");

struct TInstallationValues {
    QString CurrentUser = DefaultUserName;
    QString ProgDir;
    bool ChooseUser = true;
    QString ProgDirLmconvert;
};

// The registry keys of the active user's setting groups.
struct TUserSettingKeys {
    QString Display;
    QString Forms;
    QString Columns;
    QString General;
    QString Mailformat;
    QString Lmserver;
    QString Warnings;
    QString Remember;
    QString Toolbar;
};

struct TUserContext {
    TInstallationValues Installation;
    QStringList Users;
    TUserSettingKeys Keys;
    QString UserDataDir;
};

// The process-wide user context filled by the start-up steps below.
const TUserContext& UserContext();

// Reads `Language` (default 0) and selects the language of the string tables; returns the value.
int ReadLanguage();
// Reads the installation values into the user context.
void ReadInstallationValues();
// Fills the user list: the sub keys of "Users", plus "default" when there is none of that name.
void BuildUserList();
// Composes the setting-group keys of the active user and reads the user's data directory.
void ReadCurrentUserSettingsPaths();
// Makes `user` the active user of this process (after the user picked one at start-up).
void SetActiveUser(const QString& user);
// SetActiveUser, and `CurrentUser` written for the next start.
void StoreCurrentUser(const QString& user);
// Whether the main client asks for the user at start; written at once.
void StoreChooseUser(bool choose);

// The key of a user ("Users/<name>").
QString UserKey(const QString& user);
// The setting-group keys of `user`.
TUserSettingKeys UserSettingKeys(const QString& user);
// The `DataDir` value of a user; empty when missing.
QString ReadUserDataDir(const QString& user);
QString ReadUserPassword(const QString& user);
void WriteUser(const QString& name, const QString& dataDir, const QString& password);
// Deletes the user's key, trying up to 21 times; the user's data directory is never touched.
bool DeleteUser(const QString& name);

// The hand-over slot between two instances of the main client.
QString ReadHandOver();
void WriteHandOver(const QString& argument);

// What a message window's "Send now" asks of the main window (window message 3029): the work file it
// wrote and the name of the sender's account.
struct TSendNowRequest {
    QString WorkFile;
    QString Account;
};
void WriteSendNowRequest(const TSendNowRequest& request);
// Reads and clears the slot; nothing when it is empty.
std::optional<TSendNowRequest> TakeSendNowRequest();

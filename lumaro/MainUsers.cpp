// TMainFrm: the user manager and the change of the active user in the running window.

#include "Main.h"

#include "EnhListView.h"
#include "ListviewFunctions.h"
#include "Reporter.h"
#include "UserFunctions.h"
#include "Users.h"

#include <QAction>

namespace {
constexpr int MsgLoggingActive = 77;
}

void TMainFrm::ConnectUserAndSettingsCommands()
{
    connect(Actions.UsersItm, &QAction::triggered, this, &TMainFrm::UsersItmClick);
    connect(Actions.PreferencesItm, &QAction::triggered, this, &TMainFrm::PreferencesItmClick);
}

void TMainFrm::UsersItmClick()
{
    if (!m_states.Users)
        return;
    TUsersFrm users(this);
    users.exec();
    if (users.ActiveUser() != UserContext().Installation.CurrentUser)
        ChangeActiveUser(users.ActiveUser());
}

void TMainFrm::ChangeActiveUser(const QString& user)
{
    SaveUserState();
    MessageModel->Clear();
    MakeActiveUser(user);
    LoadUserSettings();
    // The list shows the new user's column widths before anything saves them under the new user's key.
    RebuildColumns(m_specialNames.value(0));
    if (Settings.General.LogActive)
        Report(MsgLoggingActive, TMessageKind::Information);
    PrepareFolders();
    // With no current folder, building the tree activates the Inbox.
    m_currentFolder.clear();
    FirstShow();
}

// TMainFrm: the Settings dialog and what the window does with its result.

#include "Main.h"

#include "EnhListView.h"
#include "FontText.h"
#include "Konstanten.h"
#include "PhraseFunctions.h"
#include "RegistryFunctions.h"
#include "Settings.h"

#include <QAction>

void TMainFrm::PreferencesItmClick()
{
    const QString user = UserContext().Installation.CurrentUser;
    TSettingsFrm settings(this);
    settings.Commands = SettingsCommandsFor(settings);
    settings.Setup(SettingsValuesOf(Settings), PhrasesOfCategory(ScanPhrases(), SignatureCategory()));
    const bool confirmed = settings.exec() == QDialog::Accepted;
    // The values shown belonged to the user who was active when the dialog opened.
    if (UserContext().Installation.CurrentUser != user)
        return;
    if (settings.WarningsResetChosen())
        ResetWarnings(Settings, UserContext().Keys);
    if (!confirmed)
        return;
    StoreConfirmedSettings(Settings, settings.Values(), UserContext().Keys, Paths().Data.LogFile);
    ApplyConfirmedSettings();
}

void TMainFrm::ApplyConfirmedSettings()
{
    ApplyLayoutSettings();
    MessageLv->setFont(DisplayFont(Settings.Display.MailFont).Font);
    RefreshCommandStates();
}

// The buttons of the General page.
TSettingsCommands TMainFrm::SettingsCommandsFor(TSettingsFrm& settings)
{
    TSettingsCommands commands;
    commands.Users = [this, &settings] {
        const QString user = UserContext().Installation.CurrentUser;
        RefreshCommandStates();
        UsersItmClick();
        if (UserContext().Installation.CurrentUser != user)
            settings.reject();
    };
    commands.Phrases = [this, &settings] {
        PhrasesItmClick();
        settings.FillSignatures(PhrasesOfCategory(ScanPhrases(), SignatureCategory()));
    };
    commands.Filter = [this, &settings] {
        FilterSettingsItmClick({});
        settings.TakeAutoLocalFilter(Settings.General.AutoLocalFilter);
    };
    commands.Columns = [this] { ColumnsItmClick(); };
    return commands;
}

// TMainFrm: the search dialog, the columns and tool bar dialogs and the phrase manager.

#include "Main.h"

#include "EditColumns.h"
#include "EnhListView.h"
#include "Find.h"
#include "FloskelnConf.h"
#include "FolderSet.h"
#include "ListviewFunctions.h"
#include "ToolbarConf.h"
#include "TreeviewFunctions.h"
#include "tk_langlib.h"

namespace {

constexpr int MsgRestartNeeded = 55;

} // namespace

void TMainFrm::ConnectToolCommands()
{
    const TMainActions& a = Actions;
    connect(a.SearchItm, &QAction::triggered, this, &TMainFrm::SearchItmClick);
    connect(a.ColumnsItm, &QAction::triggered, this, &TMainFrm::ColumnsItmClick);
    connect(a.ToolbarItm, &QAction::triggered, this, &TMainFrm::ToolbarItmClick);
    connect(a.PhrasesItm, &QAction::triggered, this, &TMainFrm::PhrasesItmClick);
}

void TMainFrm::SearchItmClick()
{
    TFindFrm find(this);
    find.Setup(ComboEntries(::BuildFolderTree(m_folders)), m_currentFolder);
    find.OpenMessage = [this](const QString& folder, const TListEntry& entry) { ViewMessage(folder, entry); };
    find.exec();
}

void TMainFrm::ColumnsItmClick()
{
    TEditColumnsFrm columns(this);
    columns.Setup(DefaultColumnCaptions(), DefaultColumnCaptions(), Settings.ColumnCaptions);
    if (columns.exec() != QDialog::Accepted)
        return;
    Settings.ColumnCaptions = columns.Displayed();
    // The widths the user set for the old columns do not fit the new ones: every column starts anew.
    MessageLv->ForgetUserWidths();
    ActivateFolder();
    FitColumnsToContent();
}

void TMainFrm::ToolbarItmClick()
{
    TToolbarFrm toolbar(this);
    toolbar.Setup(Actions.ToolbarItems, Settings.ToolbarVisible);
    if (toolbar.exec() != QDialog::Accepted)
        return;
    Settings.ToolbarVisible = toolbar.Ticks();
    Dialogs.Inform(MessageText(MsgRestartNeeded));
}

void TMainFrm::PhrasesItmClick()
{
    TFloskelnConfFrm phrases(this);
    phrases.exec();
}

#pragma once
// The commands of the main window as actions: the main menu with German captions and the tags of
// their English texts, the pop-up menus (which reuse the menu's actions) and the tool bar buttons.
// Created once by TMainFrm, which owns them and connects the commands it carries out.

#include <QList>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

struct TMainActions {
    // File
    QMenu* FileMnu = nullptr;
    QAction* NewMessageItm = nullptr;
    QAction* OpenMessageItm = nullptr;
    QMenu* FolderMnu = nullptr;
    QAction* FolderNewItm = nullptr;
    QAction* FolderRenameItm = nullptr;
    QAction* FolderDeleteItm = nullptr;
    QAction* EmptyTrashItm = nullptr;
    QAction* ReorganizeItm = nullptr;
    QAction* FolderPropertiesItm = nullptr;
    QAction* ImportExportItm = nullptr;
    QAction* AddressBookItm = nullptr;
    QAction* PropertiesItm = nullptr;
    QAction* QuitItm = nullptr;
    // Edit
    QMenu* EditMnu = nullptr;
    QAction* CopyToItm = nullptr;
    QAction* MoveToItm = nullptr;
    QMenu* MarkAsMnu = nullptr;
    QAction* MarkReadItm = nullptr;
    QAction* MarkUnreadItm = nullptr;
    QAction* MarkAllReadItm = nullptr;
    QAction* MarkAllUnreadItm = nullptr;
    QAction* DeleteItm = nullptr;
    QAction* SearchItm = nullptr;
    QAction* SelectAllItm = nullptr;
    // View
    QMenu* ViewMnu = nullptr;
    QAction* ShowLogfileItm = nullptr;
    QAction* CollapseFoldersItm = nullptr;
    QAction* ExpandFoldersItm = nullptr;
    QAction* ToolbarItm = nullptr;
    QAction* ColumnsItm = nullptr;
    QAction* UpdateItm = nullptr;
    // Messages
    QMenu* MessagesMnu = nullptr;
    QAction* SendItm = nullptr;
    QAction* ReceiveItm = nullptr;
    QAction* TransmitItm = nullptr;
    QAction* TransmitSettingsItm = nullptr;
    QAction* ServerManagerItm = nullptr;
    // Extras
    QMenu* ExtrasMnu = nullptr;
    QAction* UsersItm = nullptr;
    QAction* MailAccountsItm = nullptr;
    QAction* LanguageItm = nullptr;
    QMenu* FilterMnu = nullptr;
    QAction* FilterSettingsItm = nullptr;
    QAction* FilterExecuteItm = nullptr;
    QAction* PhrasesItm = nullptr;
    QAction* PreferencesItm = nullptr;
    // Help
    QMenu* HelpMnu = nullptr;
    QAction* ContentsItm = nullptr;
    QAction* MainWindowHelpItm = nullptr;
    QMenu* OnlineSupportMnu = nullptr;
    QAction* HomepageItm = nullptr;
    QAction* ToolsPageItm = nullptr;
    QAction* SupportPageItm = nullptr;
    QAction* DownloadPageItm = nullptr;
    QAction* InfoItm = nullptr;
    // Pop-up menus
    QMenu* TreePop = nullptr;
    QMenu* ListviewPop = nullptr;
    // The list's New Message, which (unlike the File menu's) offers the templates only with Shift.
    QAction* NewMessagePopItm = nullptr;
    QMenu* ToolbarPop = nullptr;
    // Tool bar: buttons and dividers in tool bar order (the order of the visibility flags).
    QToolBar* Toolbar = nullptr;
    QList<QAction*> ToolbarItems;
    QAction* DialupSpd = nullptr;
};

void CreateMainActions(QMainWindow* form, TMainActions& a);
// The tool bar buttons' captions in English are single words, so that the bar fits the default
// window as the German one does; their hints keep the full names.
void ShortenToolbarCaptions(TMainActions& a);

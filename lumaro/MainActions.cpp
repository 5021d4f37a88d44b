#include "MainActions.h"

#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

namespace {

QAction* Item(QMenu* menu, const char* name, int tag, const QString& caption, const QKeySequence& shortcut = {})
{
    auto* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    SetTag(action, tag);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

QMenu* SubMenu(QWidget* parent, const char* name, int tag, const QString& caption)
{
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(QLatin1String(name));
    SetTag(menu, tag);
    return menu;
}

QMenu* MainMenu(QMainWindow* form, const char* name, int tag, const QString& caption)
{
    QMenu* menu = SubMenu(form, name, tag, caption);
    form->menuBar()->addMenu(menu);
    return menu;
}

QMenu* AddSubMenu(QMenu* parent, const char* name, int tag, const QString& caption)
{
    QMenu* menu = SubMenu(parent, name, tag, caption);
    parent->addMenu(menu);
    return menu;
}

void CreateFileMenu(QMainWindow* form, TMainActions& a)
{
    a.FileMnu = MainMenu(form, "FileMnu", 1, QStringLiteral("&Datei"));
    a.NewMessageItm = Item(a.FileMnu, "NewMessageItm", 2, QStringLiteral("&Neue Nachricht"), Qt::CTRL | Qt::Key_N);
    a.OpenMessageItm = Item(a.FileMnu, "OpenMessageItm", 3, QStringLiteral("Nachricht ö&ffnen"), Qt::CTRL | Qt::Key_O);
    a.FileMnu->addSeparator();
    a.FolderMnu = AddSubMenu(a.FileMnu, "FolderMnu", 4, QStringLiteral("&Ordner"));
    a.FolderNewItm = Item(a.FolderMnu, "FolderNewItm", 5, QStringLiteral("&Neu..."));
    a.FolderRenameItm = Item(a.FolderMnu, "FolderRenameItm", 6, QStringLiteral("&Umbenennen..."), Qt::Key_F2);
    a.FolderDeleteItm = Item(a.FolderMnu, "FolderDeleteItm", 7, QStringLiteral("&Löschen..."));
    a.FolderMnu->addSeparator();
    a.EmptyTrashItm = Item(a.FolderMnu, "EmptyTrashItm", 8, QStringLiteral("&Papierkorb leeren"));
    a.ReorganizeItm = Item(a.FolderMnu, "ReorganizeItm", 9, QStringLiteral("Reor&ganisieren..."));
    a.FolderMnu->addSeparator();
    a.FolderPropertiesItm = Item(a.FolderMnu, "FolderPropertiesItm", 10, QStringLiteral("&Eigenschaften..."));
    a.FileMnu->addSeparator();
    a.ImportExportItm = Item(a.FileMnu, "ImportExportItm", 11, QStringLiteral("&Import/Export..."));
    a.AddressBookItm = Item(a.FileMnu, "AddressBookItm", 12, QStringLiteral("&Adressbuch"));
    a.FileMnu->addSeparator();
    a.PropertiesItm = Item(a.FileMnu, "PropertiesItm", 13, QStringLiteral("&Eigenschaften..."));
    a.PropertiesItm->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    a.FileMnu->addSeparator();
    a.QuitItm = Item(a.FileMnu, "QuitItm", 14, QStringLiteral("&Beenden"), Qt::Key_Escape);
}

void CreateEditMenu(QMainWindow* form, TMainActions& a)
{
    a.EditMnu = MainMenu(form, "EditMnu", 15, QStringLiteral("&Bearbeiten"));
    a.CopyToItm = Item(a.EditMnu, "CopyToItm", 16, QStringLiteral("&Kopieren nach..."));
    a.MoveToItm = Item(a.EditMnu, "MoveToItm", 17, QStringLiteral("&Verschieben nach..."));
    a.MarkAsMnu = AddSubMenu(a.EditMnu, "MarkAsMnu", 18, QStringLiteral("Markieren &als"));
    a.MarkReadItm = Item(a.MarkAsMnu, "MarkReadItm", 19, QStringLiteral("&Gelesen"));
    a.MarkUnreadItm = Item(a.MarkAsMnu, "MarkUnreadItm", 20, QStringLiteral("&Ungelesen"));
    a.MarkAsMnu->addSeparator();
    a.MarkAllReadItm = Item(a.MarkAsMnu, "MarkAllReadItm", 21, QStringLiteral("Alle gelesen"));
    a.MarkAllUnreadItm = Item(a.MarkAsMnu, "MarkAllUnreadItm", 22, QStringLiteral("Alle ungelesen"));
    a.EditMnu->addSeparator();
    a.DeleteItm = Item(a.EditMnu, "DeleteItm", 23, QStringLiteral("&Löschen"), Qt::Key_Delete);
    a.EditMnu->addSeparator();
    a.SearchItm = Item(a.EditMnu, "SearchItm", 24, QStringLiteral("&Suchen..."), Qt::CTRL | Qt::Key_F);
    a.SelectAllItm = Item(a.EditMnu, "SelectAllItm", 25, QStringLiteral("&Alles markieren"), Qt::CTRL | Qt::Key_A);
}

void CreateViewMenu(QMainWindow* form, TMainActions& a)
{
    a.ViewMnu = MainMenu(form, "ViewMnu", 26, QStringLiteral("&Ansicht"));
    a.ShowLogfileItm = Item(a.ViewMnu, "ShowLogfileItm", 27, QStringLiteral("&Logdatei anzeigen"));
    a.ViewMnu->addSeparator();
    a.CollapseFoldersItm = Item(a.ViewMnu, "CollapseFoldersItm", 28, QStringLiteral("Ordner &zuklappen"),
                                Qt::KeypadModifier | Qt::Key_Slash);
    a.ExpandFoldersItm = Item(a.ViewMnu, "ExpandFoldersItm", 29, QStringLiteral("Ordner &aufklappen"), Qt::Key_Plus);
    a.ViewMnu->addSeparator();
    a.ToolbarItm = Item(a.ViewMnu, "ToolbarItm", 30, QStringLiteral("&Symbolleiste..."));
    a.ColumnsItm = Item(a.ViewMnu, "ColumnsItm", 31, QStringLiteral("&Spalten..."));
    a.ViewMnu->addSeparator();
    a.UpdateItm = Item(a.ViewMnu, "UpdateItm", 32, QStringLiteral("A&ktualisieren"), Qt::Key_F5);
}

void CreateMessagesMenu(QMainWindow* form, TMainActions& a)
{
    a.MessagesMnu = MainMenu(form, "MessagesMnu", 33, QStringLiteral("&Nachrichten"));
    a.SendItm = Item(a.MessagesMnu, "SendItm", 34, QStringLiteral("&Senden..."));
    a.ReceiveItm = Item(a.MessagesMnu, "ReceiveItm", 35, QStringLiteral("&Empfangen..."));
    a.TransmitItm = Item(a.MessagesMnu, "TransmitItm", 36, QStringLiteral("Ü&bermitteln"), Qt::Key_F9);
    a.TransmitSettingsItm = Item(a.MessagesMnu, "TransmitSettingsItm", 37, QStringLiteral("Übermitteln &konfigurieren..."));
    a.MessagesMnu->addSeparator();
    a.ServerManagerItm = Item(a.MessagesMnu, "ServerManagerItm", 38, QStringLiteral("Server &Manager"));
}

void CreateExtrasMenu(QMainWindow* form, TMainActions& a)
{
    a.ExtrasMnu = MainMenu(form, "ExtrasMnu", 39, QStringLiteral("E&xtras"));
    a.UsersItm = Item(a.ExtrasMnu, "UsersItm", 40, QStringLiteral("&Benutzer..."));
    a.MailAccountsItm = Item(a.ExtrasMnu, "MailAccountsItm", 41, QStringLiteral("Mail&konten..."));
    a.LanguageItm = Item(a.ExtrasMnu, "LanguageItm", 42, QStringLiteral("&Sprache..."));
    a.ExtrasMnu->addSeparator();
    a.FilterMnu = AddSubMenu(a.ExtrasMnu, "FilterMnu", 43, QStringLiteral("Nachrichten&filter"));
    a.FilterSettingsItm = Item(a.FilterMnu, "FilterSettingsItm", 44, QStringLiteral("&Einstellungen..."));
    a.FilterExecuteItm = Item(a.FilterMnu, "FilterExecuteItm", 45, QStringLiteral("&Ausführen"), Qt::CTRL | Qt::Key_F9);
    a.PhrasesItm = Item(a.ExtrasMnu, "PhrasesItm", 46, QStringLiteral("&Textbausteine..."));
    a.ExtrasMnu->addSeparator();
    a.PreferencesItm = Item(a.ExtrasMnu, "PreferencesItm", 47, QStringLiteral("&Optionen..."));
}

void CreateHelpMenu(QMainWindow* form, TMainActions& a)
{
    a.HelpMnu = MainMenu(form, "HelpMnu", 48, QStringLiteral("&Hilfe"));
    a.ContentsItm = Item(a.HelpMnu, "ContentsItm", 49, QStringLiteral("&Inhalt"));
    a.MainWindowHelpItm = Item(a.HelpMnu, "MainWindowHelpItm", 50, QStringLiteral("&Hauptfenster"));
    a.HelpMnu->addSeparator();
    a.OnlineSupportMnu = AddSubMenu(a.HelpMnu, "OnlineSupportMnu", 51, QStringLiteral("&Online Support"));
    a.HomepageItm = Item(a.OnlineSupportMnu, "HomepageItm", 52, QStringLiteral("&Homepage"));
    a.ToolsPageItm = Item(a.OnlineSupportMnu, "ToolsPageItm", 53, QStringLiteral("&Tools"));
    a.SupportPageItm = Item(a.OnlineSupportMnu, "SupportPageItm", 54, QStringLiteral("&Support"));
    a.DownloadPageItm = Item(a.OnlineSupportMnu, "DownloadPageItm", 55, QStringLiteral("&Download"));
    a.HelpMnu->addSeparator();
    a.InfoItm = Item(a.HelpMnu, "InfoItm", 56, QStringLiteral("Inf&o"));
}

void CreatePopupMenus(QMainWindow* form, TMainActions& a)
{
    a.TreePop = new QMenu(form);
    a.TreePop->setObjectName(QStringLiteral("TreeviewPop"));
    a.TreePop->addActions(a.FolderMnu->actions());
    a.ListviewPop = new QMenu(form);
    a.ListviewPop->setObjectName(QStringLiteral("ListviewPop"));
    a.NewMessagePopItm = new QAction(a.NewMessageItm->text(), a.ListviewPop);
    a.NewMessagePopItm->setObjectName(QStringLiteral("NewMessagePopItm"));
    SetTag(a.NewMessagePopItm, TagOf(a.NewMessageItm));
    a.ListviewPop->addActions({a.NewMessagePopItm, a.OpenMessageItm});
    a.ListviewPop->addSeparator();
    a.ListviewPop->addActions({a.CopyToItm, a.MoveToItm});
    a.ListviewPop->addMenu(a.MarkAsMnu);
    a.ListviewPop->addActions({a.DeleteItm, a.SelectAllItm});
    a.ListviewPop->addSeparator();
    a.ListviewPop->addActions({a.ColumnsItm, a.PropertiesItm});
    a.ToolbarPop = new QMenu(form);
    a.ToolbarPop->setObjectName(QStringLiteral("ToolbarPop"));
    a.ToolbarPop->addAction(a.ToolbarItm);
}

// A tool button that carries out `command` and follows its enabled state.
QAction* Button(TMainActions& a, const char* name, int tag, const QString& caption, QStyle::StandardPixmap icon,
                QAction* command)
{
    auto* button = new QAction(a.Toolbar->style()->standardIcon(icon), caption, a.Toolbar);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(caption);
    button->setStatusTip(caption);
    SetTag(button, tag);
    if (command) {
        QObject::connect(button, &QAction::triggered, command, &QAction::trigger);
        QObject::connect(command, &QAction::enabledChanged, button, &QAction::setEnabled);
    }
    a.Toolbar->addAction(button);
    a.ToolbarItems.append(button);
    return button;
}

void Divider(TMainActions& a)
{
    a.ToolbarItems.append(a.Toolbar->addSeparator());
}

void CreateToolbar(QMainWindow* form, TMainActions& a)
{
    a.Toolbar = form->addToolBar(QStringLiteral("Toolbar"));
    a.Toolbar->setObjectName(QStringLiteral("Toolbar"));
    a.Toolbar->setMovable(false);
    a.Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    a.Toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    Button(a, "NewMessageSpd", 1001, QStringLiteral("Neue Nachricht"), QStyle::SP_FileIcon, a.NewMessageItm);
    Button(a, "OpenMessageSpd", 1002, QStringLiteral("Öffnen"), QStyle::SP_DialogOpenButton, a.OpenMessageItm);
    Button(a, "DeleteSpd", 1003, QStringLiteral("Löschen"), QStyle::SP_TrashIcon, a.DeleteItm);
    Divider(a);
    Button(a, "ServerManagerSpd", 1004, QStringLiteral("Server Manager"), QStyle::SP_DriveNetIcon, a.ServerManagerItm);
    Button(a, "SendSpd", 1005, QStringLiteral("Senden"), QStyle::SP_ArrowUp, a.SendItm);
    Button(a, "ReceiveSpd", 1006, QStringLiteral("Empfangen"), QStyle::SP_ArrowDown, a.ReceiveItm);
    Button(a, "TransmitSpd", 1007, QStringLiteral("Übermitteln"), QStyle::SP_BrowserReload, a.TransmitItm);
    Divider(a);
    Button(a, "UsersSpd", 1008, QStringLiteral("Benutzer"), QStyle::SP_DirHomeIcon, a.UsersItm);
    Button(a, "MailAccountsSpd", 1009, QStringLiteral("Mailkonten"), QStyle::SP_ComputerIcon, a.MailAccountsItm);
    Button(a, "PhrasesSpd", 1010, QStringLiteral("Textbausteine"), QStyle::SP_FileDialogContentsView, a.PhrasesItm);
    Button(a, "AddressBookSpd", 1011, QStringLiteral("Adressbuch"), QStyle::SP_FileDialogDetailedView, a.AddressBookItm);
    Button(a, "PreferencesSpd", 1012, QStringLiteral("Optionen"), QStyle::SP_FileDialogInfoView, a.PreferencesItm);
    Divider(a);
    a.DialupSpd = Button(a, "RasSpd", 1013, QStringLiteral("DFÜ"), QStyle::SP_DriveNetIcon, nullptr);
    a.DialupSpd->setCheckable(true);
    a.DialupSpd->setEnabled(false);
    Divider(a);
    Button(a, "InfoSpd", 1014, QStringLiteral("Info"), QStyle::SP_MessageBoxInformation, a.InfoItm);
}

} // namespace

void ShortenToolbarCaptions(TMainActions& a)
{
    constexpr int ToolbarCaptions = 280;
    if (!IsEnglish())
        return;
    const QStringList captions = MessageText(ToolbarCaptions).split(QLatin1Char('|'));
    qsizetype next = 0;
    for (QAction* item : std::as_const(a.ToolbarItems))
        if (!item->isSeparator() && next < captions.size())
            item->setText(captions.at(next++));
}

void CreateMainActions(QMainWindow* form, TMainActions& a)
{
    CreateFileMenu(form, a);
    CreateEditMenu(form, a);
    CreateViewMenu(form, a);
    CreateMessagesMenu(form, a);
    CreateExtrasMenu(form, a);
    CreateHelpMenu(form, a);
    CreatePopupMenus(form, a);
    CreateToolbar(form, a);
}

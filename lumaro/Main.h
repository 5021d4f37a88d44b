#pragma once
// The main window of the suite: folder tree, message list, menus, tool bar and status bar. It runs the
// start-up of the program (user, settings, folder check, spool import, first-run question, command
// line), keeps the running flags of the programs it waits for, refreshes the command states and shuts
// the program down (refusals, settings, window position, empty trash). One instance per process.

#include "CommandStates.h"
#include "MainActions.h"
#include "MainSettings.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>

class QComboBox;
class QLabel;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TEnhListView;
class TInstanceServer;
class TMessageListModel;
class TProgressFrm;
class TSettingsFrm;
struct TSettingsCommands;
class TUserPanel;

// How the window asks and tells the user; tests replace the message boxes.
struct TMainDialogs {
    std::function<bool(const QString& text)> AskYesNo;
    std::function<void(const QString& text)> Inform;
};

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    // `arguments`: the command line without the program name.
    explicit TMainFrm(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainFrm() override;
    TMainFrm(const TMainFrm&) = delete;
    TMainFrm& operator=(const TMainFrm&) = delete;

    // Listens for the window messages of other processes; false when the socket could not be opened.
    bool ListenForWindowMessages();
    void HandleWindowMessage(int message);

    // Activates a folder by file name; an empty name reloads the current one. False (message 21)
    // when the folder's files are missing or its index is unreadable.
    bool ActivateFolder(const QString& folderName = {});
    QString CurrentFolder() const { return m_currentFolder; }
    void RefreshCommandStates();
    void SetTransientStatus(const QString& text);

    // Makes `user` the active user in the running window: the old user's settings are written, the new
    // user's read, the folders checked and the Inbox activated (MainUsers.cpp).
    void ChangeActiveUser(const QString& user);

    const TCommandStates& CommandStates() const { return m_states; }
    TRunningFlags Running;
    TMainDialogs Dialogs;
    TMainSettings Settings;

    // Components
    TMainActions Actions;
    QSplitter* MainSplitter;
    QTreeWidget* FolderTv;
    QWidget* ComboPan;
    QComboBox* FolderCmb;
    QLabel* HeadlinePan;
    TEnhListView* MessageLv;
    TMessageListModel* MessageModel;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    TUserPanel* StatusPanel2;
    QLabel* StatusPanel3;
    TProgressFrm* ProgressFrm;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Creation and start-up (Main.cpp)
    void CreateComponents();
    void CreateStatusBar();
    void LoadUserSettings();
    void ApplyLayoutSettings();
    void PrepareFolders();
    void FirstShow();
    void CheckFolders();
    void ImportWaitingSpool();
    void FirstActivation();
    void ApplicationActivated(Qt::ApplicationState state);
    bool RefuseClosing();
    void Shutdown();
    void SaveUserState();
    void LayoutStatusPanels();

    // Folders (MainFolders.cpp)
    void BuildFolderTree();
    void FillFolderCombo();
    void SelectFolderNode(const QString& folderName);
    QTreeWidgetItem* NodeOf(const QString& folderName) const;
    void FolderTvSelectionChanged();
    void FolderCmbActivated(int index);
    void UpdateOutboxCaption(int outboxCount);
    bool SelectedFolderRemovable() const;
    void RebuildColumns(const QString& folderName);
    void ExpandOrCollapseAll(bool expand);

    // Commands (MainCommands.cpp)
    void ConnectCommands();
    void HandleArgument(const QString& argument);
    void ShowEmlFile(const QString& path);
    void RunWaited(const QString& program, const QStringList& arguments, bool& runningFlag);
    void PropertiesItmClick();
    void ServerManagerItmClick();
    void MailAccountsItmClick();
    void ImportExportItmClick();
    void UpdateItmClick();
    void ShowLogfileItmClick();
    void SelectAllItmClick();
    void BringToFront();
    void ShowPopup(QWidget* view, QMenu* menu, const QPoint& position);

    // Users and preferences (MainUsers.cpp, MainPreferences.cpp)
    void ConnectUserAndSettingsCommands();
    void UsersItmClick();
    void PreferencesItmClick();
    void ApplyConfirmedSettings();
    TSettingsCommands SettingsCommandsFor(TSettingsFrm& settings);

    QStringList m_arguments;
    QStringList m_folders;
    QStringList m_specialNames;
    QString m_currentFolder;
    // The build text for the X-Mailer line handed to the agent.
    QString m_programBuild;
    TCommandStates m_states;
    TInstanceServer* m_instanceServer = nullptr;
    QTimer m_statusTimer;
    bool m_shown = false;
    bool m_shutDown = false;
    bool m_activating = false;
};

#pragma once
// The main window of the suite: folder tree, message list, menus, tool bar and status bar. It runs the
// start-up of the program (user, settings, folder check, spool import, first-run question, command
// line), keeps the running flags of the programs it waits for, refreshes the command states and shuts
// the program down (refusals, settings, window position, empty trash). One instance per process.

#include "CommandStates.h"
#include "DBAgentFunctions.h"
#include "DialupQuestions.h"
#include "MainActions.h"
#include "MainSettings.h"
#include "SendNowFunctions.h"
#include "TreeviewFunctions.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TEnhListView;
class TInstanceServer;
class TMessageListModel;
class TnkRas;
class TnkRasBackend;
class TSoundPlayer;
class TProgressFrm;
class TSettingsFrm;
struct TSettingsCommands;
class TUserPanel;
struct TNewMessageSource;

// How the window asks and tells the user; tests replace the message boxes.
struct TMainDialogs {
    std::function<bool(const QString& text)> AskYesNo;
    std::function<void(const QString& text)> Inform;
    // The confirmation with "don't show this warning again": true on Yes; `setting` follows the box.
    std::function<bool(const QString& text, bool& setting)> Confirm;
    // The folder chooser of Copy to and Move to: the chosen folder file name, empty when cancelled.
    std::function<QString(const QString& caption)> ChooseFolder;
};

struct TListEntry;
struct TNewMessageSource;

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

    // Message commands (MainMessages.cpp)
    void OpenMessageItmClick();
    // `fromFileMenu`: the File menu's item, which offers the templates (as does Shift).
    void NewMessage(bool fromFileMenu, const TNewMessageSource& source);
    void EditMessage(const QString& folderName, const TListEntry& entry, const TNewMessageSource& source);
    void DeleteItmClick();
    void TransferSelection(const QString& targetFolder, bool move);
    void MarkItmClick(bool read, bool all);
    // Drops the selected rows on `folderName`: copies with Shift or Ctrl held, else moves.
    void DropOnFolder(const QString& folderName, Qt::KeyboardModifiers modifiers);

    // Makes `user` the active user in the running window: the old user's settings are written, the new
    // user's read, the folders checked and the Inbox activated (MainUsers.cpp).
    void ChangeActiveUser(const QString& user);

    // Puts another dial-up backend in place (the system's is taken at creation) and shows its state.
    void UseRasBackend(std::shared_ptr<TnkRasBackend> backend);

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
    void ApplyListviewHeight();
    void ApplyDefaultSize();
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
    // Every folder's node and combo box entry with its count: unread messages, the Outbox's waiting ones.
    void UpdateFolderCaptions(int outboxCount);
    int UnreadCount(const QString& folderName);
    bool SelectedFolderRemovable() const;
    void RebuildColumns(const QString& folderName);
    // Columns whose width the user never set get the width of their content, narrowed where they
    // would not all fit beside each other; the last column takes the rest of the list's width.
    void FitColumnsToContent();
    void ApplyFittedWidths();
    // Scrolls the first message of the last receive into view when the Inbox is shown; the selection
    // stays as it is.
    void ShowFirstNewMessage();
    void ExpandOrCollapseAll(bool expand);

    // Commands (MainCommands.cpp)
    void ConnectCommands();
    void HandleArgument(const QString& argument);
    // A new Outbox message from the message window's contact file (MainMessages.cpp).
    void NewMessageFromContact();
    void ShowEmlFile(const QString& path);
    void RunWaited(const QString& program, const QStringList& arguments, int& runningCount);
    void PropertiesItmClick();
    void ServerManagerItmClick();
    void MailAccountsItmClick();
    void ImportExportItmClick();
    // Starts a program without waiting for it; message 73 when it cannot be started.
    void StartUnwaited(const QString& program);
    void UpdateItmClick();
    void ShowLogfileItmClick();
    void SelectAllItmClick();
    void BringToFront();
    void ShowPopup(QWidget* view, QMenu* menu, const QPoint& position);

    // Message commands (MainMessages.cpp)
    void ConnectMessageCommands();
    QList<TListEntry> SelectedEntries() const;
    void TransferItmClick(bool move);
    void ViewMessage(const QString& folderName, const TListEntry& entry);
    // Selects the message an edit filed, when its folder is shown.
    void ShowEditedMessage(qint32 record);
    bool DragEvent(QObject* watched, QEvent* event);
    void StartDrag();
    void ShowDragStatus();

    // Folder commands (MainFolderCommands.cpp)
    void ConnectFolderCommands();
    QString SelectedFolder() const;
    void FolderNewItmClick();
    void FolderRenameItmClick();
    void FolderDeleteItmClick();
    void ReorganizeItmClick();
    void FolderPropertiesItmClick();
    void EmptyTrashItmClick();
    void ReloadFolders();

    // Search, columns, tool bar, phrases (MainTools.cpp)
    void ConnectToolCommands();
    void SearchItmClick();
    void ColumnsItmClick();
    void ToolbarItmClick();
    void PhrasesItmClick();

    // Send, receive, transmit, filter and dial-up (MainTransfer.cpp)
    void ConnectTransferCommands();
    // Asks the first-run question when there is no account; true when one exists afterwards.
    bool EnsureAccount();
    void SetTransferControlsEnabled(bool enabled);
    void SendItmClick();
    void ReceiveItmClick();
    void TransmitItmClick();
    // True when the settings were confirmed.
    bool TransmitSettingsItmClick();
    void SendOutbox(const QByteArray& server);
    void ReceiveAccounts(const QByteArrayList& accounts);
    bool RunAgent(const TAgentJob& job);
    void ImportSpoolWithReport(bool noMailReport);
    // `prefill`: a message window's "add to filter" text, empty from the menu.
    void FilterSettingsItmClick(const QString& prefill);
    void FilterExecuteItmClick();
    // Window message 3029 and the one message it names (MainSendNow.cpp).
    void SendNowRequested();
    void SendNow(const TSendNowOrder& order);
    void PollDialup();
    void DialupSpdToggled(bool down);
    void AskHangUp(THangUpPlace place);

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
    // The widths FitColumnsToContent chose, kept while the same folder is reloaded.
    QList<int> m_fittedWidths;
    // The Inbox record of the first message the last receive brought (0: none to show), kept until
    // another folder is shown.
    qint32 m_firstNewInboxRecord = 0;
    TUnreadCounts m_unreadCounts;
    // The agent's job record lives as long as the program; values a job does not set stay.
    TAgentJob m_job;
    TSendNowRequests m_sendNow;
    // Outbox records open in a message window; a send run leaves them alone.
    QList<qint32> m_outboxRecordsBeingEdited;
    QByteArrayList m_headers;
    std::unique_ptr<TnkRas> m_ras;
    TSoundPlayer* m_sounds = nullptr;
    QTimer m_rasTimer;
    QPoint m_dragStart;
    QTimer m_dragTimer;
};

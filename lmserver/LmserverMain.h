#pragma once
// The server manager's window: the tree of connected mailboxes above the list of the selected
// one's messages, the marking commands, and carrying out the marks. The work itself is the
// TServerManager's; the window wires its commands and events to it and shows the table.

#include "CommandStates.h"
#include "LmserverSettings.h"
#include "DisplayThrottle.h"
#include "ServerManager.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QProgressBar;
class QSplitter;
class QTimer;
class QTreeWidget;
class TEnhListView;
class TInstanceServer;
class TMessageListModel;

class TLmserverFrm : public QMainWindow {
    Q_OBJECT
public:
    // `arguments`: the command line after the program ("/connect", "/update").
    explicit TLmserverFrm(const QStringList& arguments, QWidget* parent = nullptr);
    // Writes the settings and the column widths.
    ~TLmserverFrm() override;

    // Brings the window forward when a second start posts 3026; false when another instance listens.
    bool ListenForWindowMessages();

    // Connect dialog, then connect; remembered choices; stop; carry out the marks.
    void ConnectItmClick();
    void RefreshItmClick();
    void StopItmClick();
    void ActionItmClick();
    void SetMarkOfSelection(const QString& mark);
    void ToggleMarkOfSelection();

    TLmserverSettings Settings;

private:
    // The status line and progress bar change per reply while a mailbox is listed; they are drawn
    // at most every 100 ms and always at the end of a command. Declared before the manager, which
    // reports to them until it is gone.
    QString m_statusText;
    int m_progress = 0;
    TDisplayThrottle m_display{[this] { ShowTransferState(); }};
    void ShowTransferState();

public:
    TServerManager Manager;
    // Asks for a missing password; the password window unless a test replaces it.
    std::function<std::optional<QByteArray>(const TConnectTarget&)> AskPassword;
    // Asks whether to trust a certificate the system does not; the certificate window unless a
    // test replaces it.
    std::function<bool(const TnkCertificateFacts&)> AskCertificate;

    QTreeWidget* Treeview;
    TEnhListView* Listview;
    TMessageListModel* Model;
    QSplitter* Splitter;
    QLabel* StatusLbl;
    QProgressBar* ProgressBar;
    QAction* ConnectItm;
    QAction* StopItm;
    QAction* ActionItm;
    QAction* QuitItm;
    QAction* MarkGetItm;
    QAction* MarkDeleteItm;
    QAction* MarkGetDeleteItm;
    QAction* ToggleMarkItm;
    QAction* ClearMarkItm;
    QAction* SelectAllItm;
    QAction* RefreshItm;
    QAction* InfoItm;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateToolbar();
    void CreateViews();
    void ConnectSignals();
    TServerEvents ManagerEvents();
    void Connect();
    void ServerAdded(int server);
    void ServerChanged(int server);
    void ShowNewLines();
    void TreeviewChange();
    QList<int> SelectedTableRows() const;
    void SetActivity(TActivity activity);
    void UpdateCommands();
    void RestoreLayout();

    TActivity m_activity = TActivity::Idle;
    QString m_startCommand;
    TInstanceServer* m_instanceServer = nullptr;
    // Lines arriving while a mailbox is listed are shown in batches: drawing the window once per
    // reply would cost more than the reply itself.
    QTimer* m_newLinesTimer;
};

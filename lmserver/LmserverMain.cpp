#include "LmserverMain.h"

#include "Alert.h"
#include "Connect.h"
#include "EnhListView.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "LmserverTexts.h"
#include "MessageListModel.h"
#include "CertificateDialog.h"
#include "Password.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "SingleInstance.h"
#include "lminfo.h"
#include "tk_langlib.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <utility>

namespace {

constexpr int ListviewTag = 31;
constexpr int NewLinesIntervalMs = 200;
// Lines that show as they arrive: more than a window holds, so that the first screenful appears
// while the rest of a large mailbox is still listed.
constexpr int ImmediateLines = 100;

QAction* Item(QMenu* menu, const char* name, int tag, const QString& caption, const QList<QKeySequence>& keys = {})
{
    auto* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    SetTag(action, tag);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

QMenu* MainMenu(QMainWindow* form, const char* name, int tag, const QString& caption)
{
    auto* menu = form->menuBar()->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    SetTag(menu, tag);
    return menu;
}

} // namespace

TLmserverFrm::TLmserverFrm(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), Settings(ReadLmserverSettings()), Manager(Settings, ManagerEvents())
{
    setObjectName(QStringLiteral("LmserverFrm"));
    setWindowTitle(LmserverTitle);
    m_startCommand = arguments.value(0).toLower();
    m_newLinesTimer = new QTimer(this);
    m_newLinesTimer->setSingleShot(true);
    m_newLinesTimer->setInterval(NewLinesIntervalMs);
    connect(m_newLinesTimer, &QTimer::timeout, this, &TLmserverFrm::ShowNewLines);
    AskPassword = [this](const TConnectTarget& target) {
        const QString caption = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(target.UserName), QString::fromUtf8(target.Server));
        return TPasswordFrm::Ask(this, caption, MessageText(LmserverText::MailboxPassword));
    };
    AskCertificate = [this](const TnkCertificateFacts& facts) { return TCertificateFrm::Ask(this, facts); };
    CreateMenus();
    CreateToolbar();
    CreateViews();
    ConnectSignals();
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::ServerManager);
    Model->SetCaptions(SplitParts(IsEnglish() ? StringTableText(ListviewTag + ComponentTextOffset)
                                              : QStringLiteral("Betreff|Absender|Datum|Bytes|Ordner"),
                                  TMessageListModel::ColumnCount));
    RestoreLayout();
    UpdateCommands();
}

TLmserverFrm::~TLmserverFrm()
{
    Settings.TreeviewHeight = Treeview->height();
    WriteLmserverSettings(Settings);
    Listview->SaveColumnWidths();
    WriteColumnCount(TMessageListModel::ColumnCount);
    // The model shows the manager's table, which goes before the widgets do.
    Listview->setModel(nullptr);
}

void TLmserverFrm::CreateMenus()
{
    QMenu* file = MainMenu(this, "FileMnu", 1, QStringLiteral("&Datei"));
    ConnectItm = Item(file, "ConnectItm", 2, QStringLiteral("&Verbinden..."), {Qt::CTRL | Qt::Key_F9});
    StopItm = Item(file, "StopItm", 3, QStringLiteral("&Abbrechen"));
    ActionItm = Item(file, "ActionItm", 4, QStringLiteral("&Empfangen/Löschen"), {Qt::Key_F9});
    file->addSeparator();
    QuitItm = Item(file, "QuitItm", 5, QStringLiteral("&Beenden"), {Qt::Key_Escape});
    QMenu* edit = MainMenu(this, "EditMnu", 6, QStringLiteral("&Bearbeiten"));
    MarkGetItm = Item(edit, "MarkGetItm", 7, QStringLiteral("Zum &Empfangen markieren"), {Qt::Key_Insert});
    MarkDeleteItm = Item(edit, "MarkDeleteItm", 8, QStringLiteral("Zum &Löschen markieren"), {Qt::Key_Delete});
    MarkGetDeleteItm = Item(edit, "MarkGetDeleteItm", 9, QStringLiteral("&Zum Empfangen und Löschen markieren"));
    ToggleMarkItm = Item(edit, "ToggleMarkItm", 10, QStringLiteral("&Markierung wechseln"), {Qt::Key_Space});
    ClearMarkItm = Item(edit, "ClearMarkItm", 11, QStringLiteral("Markierung auf&heben"));
    edit->addSeparator();
    SelectAllItm = Item(edit, "SelectAllItm", 12, QStringLiteral("&Alles auswählen"), {Qt::CTRL | Qt::Key_A});
    QMenu* view = MainMenu(this, "ViewMnu", 13, QStringLiteral("&Ansicht"));
    RefreshItm = Item(view, "RefreshItm", 14, QStringLiteral("&Aktualisieren"), {Qt::Key_F5});
    QMenu* help = MainMenu(this, "HelpMnu", 15, QStringLiteral("&Hilfe"));
    InfoItm = Item(help, "InfoItm", 16, QStringLiteral("&Info..."));
}

void TLmserverFrm::CreateToolbar()
{
    auto* toolbar = addToolBar(QStringLiteral("Toolbar"));
    toolbar->setObjectName(QStringLiteral("Toolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ConnectItm->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    StopItm->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    ActionItm->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    toolbar->addAction(ConnectItm);
    toolbar->addAction(StopItm);
    toolbar->addAction(ActionItm);
    toolbar->widgetForAction(ConnectItm)->setObjectName(QStringLiteral("ConnectSpd"));
    toolbar->widgetForAction(StopItm)->setObjectName(QStringLiteral("StopSpd"));
    toolbar->widgetForAction(ActionItm)->setObjectName(QStringLiteral("ActionSpd"));
}

void TLmserverFrm::CreateViews()
{
    Splitter = new QSplitter(Qt::Vertical, this);
    Treeview = new QTreeWidget(Splitter);
    Treeview->setObjectName(QStringLiteral("Treeview"));
    Treeview->setHeaderHidden(true);
    Treeview->setRootIsDecorated(false);
    Listview = new TEnhListView(Splitter);
    Listview->setObjectName(QStringLiteral("Listview"));
    SetTag(Listview, ListviewTag);
    Model = new TMessageListModel(Manager.Table, this);
    Listview->setModel(Model);
    Splitter->setStretchFactor(1, 1);
    setCentralWidget(Splitter);
    StatusLbl = new QLabel(this);
    // The status quotes server replies, which a hostile server fills with markup.
    StatusLbl->setTextFormat(Qt::PlainText);
    // A long error wraps instead of being cut off, and can be copied.
    StatusLbl->setWordWrap(true);
    StatusLbl->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    StatusLbl->setObjectName(QStringLiteral("StatusLbl"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setMaximumWidth(160);
    statusBar()->addWidget(StatusLbl, 1);
    statusBar()->addPermanentWidget(ProgressBar);
}

void TLmserverFrm::ConnectSignals()
{
    connect(ConnectItm, &QAction::triggered, this, &TLmserverFrm::ConnectItmClick);
    connect(StopItm, &QAction::triggered, this, &TLmserverFrm::StopItmClick);
    connect(ActionItm, &QAction::triggered, this, &TLmserverFrm::ActionItmClick);
    connect(QuitItm, &QAction::triggered, this, &QWidget::close);
    connect(MarkGetItm, &QAction::triggered, this, [this] { SetMarkOfSelection(Mark::Get); });
    connect(MarkDeleteItm, &QAction::triggered, this, [this] { SetMarkOfSelection(Mark::Delete); });
    connect(MarkGetDeleteItm, &QAction::triggered, this, [this] { SetMarkOfSelection(Mark::GetDelete); });
    connect(ClearMarkItm, &QAction::triggered, this, [this] { SetMarkOfSelection(Mark::Nothing); });
    connect(ToggleMarkItm, &QAction::triggered, this, &TLmserverFrm::ToggleMarkOfSelection);
    connect(SelectAllItm, &QAction::triggered, Listview, &QTreeView::selectAll);
    connect(RefreshItm, &QAction::triggered, this, &TLmserverFrm::RefreshItmClick);
    connect(InfoItm, &QAction::triggered, this, [] { ShowInfoDialog(); });
    connect(Listview, &QTreeView::doubleClicked, this, &TLmserverFrm::ToggleMarkOfSelection);
    connect(Listview, &TEnhListView::SelectionChanged, this, &TLmserverFrm::UpdateCommands);
    connect(Treeview, &QTreeWidget::currentItemChanged, this, &TLmserverFrm::TreeviewChange);
}

void TLmserverFrm::RestoreLayout()
{
    resize(800, 520);
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
    // Wide enough for a full date and a sender's name and address at the default window size, the
    // folder column of an IMAP mailbox included.
    const int widths[TMessageListModel::ColumnCount] = {210, 180, 225, 60, 95};
    for (int column = 0; column < TMessageListModel::ColumnCount; ++column)
        Listview->setColumnWidth(column, widths[column]);
    Listview->SetColumnsKey(LmserverColumnsKey());
    Listview->RestoreColumnWidths();
    // Until an IMAP mailbox is shown there are no folders to show.
    Listview->setColumnHidden(TMessageListModel::ColFolder, true);
    const int treeHeight = Settings.TreeviewHeight > 0 ? Settings.TreeviewHeight : 110;
    Splitter->setSizes({treeHeight, qMax(100, height() - treeHeight)});
}

TServerEvents TLmserverFrm::ManagerEvents()
{
    TServerEvents events;
    events.Status = [this](const QString& text) {
        m_statusText = text;
        m_display.Changed();
    };
    events.Progress = [this](int percent) {
        m_progress = percent;
        m_display.Changed();
    };
    events.ServerAdded = [this](int server) { ServerAdded(server); };
    events.ServerChanged = [this](int server) { ServerChanged(server); };
    events.LineAdded = [this](int) {
        // The first screenful shows line by line; the window is then redrawn at most once a batch.
        if (Model->rowCount() < ImmediateLines && Model->ShownServer() == int(Manager.Table.Servers().size()) - 1)
            ShowNewLines();
        else if (!m_newLinesTimer->isActive())
            m_newLinesTimer->start();
    };
    events.LineChanged = [this](int row) { Model->LineChanged(row); };
    events.PasswordRequest = [this](const TConnectTarget& target) {
        m_display.Flush();
        return AskPassword(target);
    };
    events.CertificateQuestion = [this](const TnkCertificateFacts& facts) {
        m_display.Flush();
        return AskCertificate(facts);
    };
    return events;
}

void TLmserverFrm::ShowTransferState()
{
    StatusLbl->setText(m_statusText);
    ProgressBar->setValue(m_progress);
}

void TLmserverFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    const QString command = std::exchange(m_startCommand, QString());
    if (command == QLatin1String("/connect"))
        QTimer::singleShot(0, this, &TLmserverFrm::ConnectItmClick);
    else if (command == QLatin1String("/update"))
        QTimer::singleShot(0, this, &TLmserverFrm::RefreshItmClick);
}

void TLmserverFrm::closeEvent(QCloseEvent* event)
{
    // A running operation waits in a nested event loop: end it, so that nothing waits after the
    // window is gone. The server commits no deletion without QUIT.
    if (Manager.Busy())
        Manager.Cancel();
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    event->accept();
}

bool TLmserverFrm::ListenForWindowMessages()
{
    m_instanceServer = new TInstanceServer(this);
    connect(m_instanceServer, &TInstanceServer::MessageReceived, this, [this](int message) {
        if (message != wmRestore)
            return;
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
    });
    return m_instanceServer->Listen(LmserverTitle);
}

void TLmserverFrm::ConnectItmClick()
{
    if (m_activity == TActivity::Idle && TConnectFrm::Execute(this, Settings))
        Connect();
}

void TLmserverFrm::RefreshItmClick()
{
    if (m_activity == TActivity::Idle)
        Connect();
}

void TLmserverFrm::StopItmClick()
{
    Manager.Cancel();
}

void TLmserverFrm::Connect()
{
    const TConnectPlan plan = PlanConnect(Settings);
    for (const QString& name : plan.MissingAccounts)
        Report(LmserverText::AccountNotFound, TMessageKind::Warning, name);
    for (const QString& reason : plan.SecretFailures)
        Report(LmserverText::AccountSkipped, TMessageKind::Warning, reason);
    Treeview->clear();
    Model->SetServer(-1);
    SetActivity(TActivity::Listing);
    Manager.Connect(plan, Settings.GetHeaders);
    SetActivity(TActivity::Idle);
    if (Treeview->topLevelItemCount() > 0 && !Treeview->currentItem())
        Treeview->setCurrentItem(Treeview->topLevelItem(0));
}

void TLmserverFrm::ServerAdded(int server)
{
    auto* item = new QTreeWidgetItem(Treeview, {NodeText(Manager.Table.Servers().at(server))});
    item->setIcon(0, style()->standardIcon(QStyle::SP_DriveNetIcon));
    // The first mailbox is shown at once, so that its rows appear while they are listed.
    if (server == 0)
        Treeview->setCurrentItem(item);
}

void TLmserverFrm::ServerChanged(int server)
{
    m_newLinesTimer->stop();
    ShowNewLines();
    if (QTreeWidgetItem* item = Treeview->topLevelItem(server)) {
        item->setText(0, NodeText(Manager.Table.Servers().at(server)));
        item->setToolTip(0, Manager.Table.Servers().at(server).Error);
    }
    // A failed listing took its lines back, or the server deleted messages.
    if (Model->ShownServer() == server && Model->rowCount() > Manager.Table.Servers().at(server).Count) {
        Model->Reload();
        Listview->ApplySort();
        Listview->SelectRow(0);
    }
    UpdateCommands();
}

void TLmserverFrm::ShowNewLines()
{
    const int server = int(Manager.Table.Servers().size()) - 1;
    if (QTreeWidgetItem* item = Treeview->topLevelItem(server))
        item->setText(0, NodeText(Manager.Table.Servers().at(server)));
    const bool wasEmpty = Model->rowCount() == 0;
    Model->ShowNewLines();
    if (wasEmpty && Model->rowCount() > 0) {
        Listview->SelectRow(0);
        UpdateCommands();
    }
}

void TLmserverFrm::TreeviewChange()
{
    const int server = Treeview->currentItem() ? Treeview->indexOfTopLevelItem(Treeview->currentItem()) : -1;
    const bool known = server >= 0 && server < Manager.Table.Servers().size();
    // The mailbox that failed, or listed without a folder, says why when it is chosen, whatever
    // the status line said since.
    if (known && !Manager.Table.Servers().at(server).Error.isEmpty() && !Manager.Busy()) {
        m_display.Flush();
        StatusLbl->setText(Manager.Table.Servers().at(server).Error);
    }
    // Only an IMAP mailbox has folders.
    Listview->setColumnHidden(TMessageListModel::ColFolder,
                              !known || Manager.Table.Servers().at(server).Incoming != TIncomingProtocol::Imap);
    Model->SetServer(server);
    Listview->ApplySort();
    Listview->SelectRow(0);
    UpdateCommands();
}

QList<int> TLmserverFrm::SelectedTableRows() const
{
    QList<int> rows;
    for (int row : Listview->SelectedRows())
        rows.append(Model->TableRow(row));
    return rows;
}

void TLmserverFrm::SetMarkOfSelection(const QString& mark)
{
    if (!ComputeCommandStates({m_activity, 0, Listview->SelectedCount()}).Mark)
        return;
    const QList<int> rows = SelectedTableRows();
    Manager.Table.SetMark(rows, mark);
    for (int row : rows)
        Model->LineChanged(row);
    UpdateCommands();
}

void TLmserverFrm::ToggleMarkOfSelection()
{
    if (!ComputeCommandStates({m_activity, 0, Listview->SelectedCount()}).Mark)
        return;
    const QList<int> rows = SelectedTableRows();
    Manager.Table.ToggleMark(rows);
    for (int row : rows)
        Model->LineChanged(row);
    UpdateCommands();
}

void TLmserverFrm::ActionItmClick()
{
    if (!ActionItm->isEnabled())
        return;
    if (Manager.Table.AnyMarkedDelete() && Settings.SMDeleteMails
        && Confirm(0, {}, Settings.SMDeleteMails, true, MessageText(LmserverText::ConfirmDelete), this) != arYes)
        return;
    SetActivity(TActivity::CarryingOut);
    Manager.CarryOut(Paths().Data.SpoolDir);
    SetActivity(TActivity::Idle);
}

void TLmserverFrm::SetActivity(TActivity activity)
{
    m_display.Flush();
    m_activity = activity;
    UpdateCommands();
}

void TLmserverFrm::UpdateCommands()
{
    TCommandInputs in;
    in.Activity = m_activity;
    in.ShownRows = Model->rowCount();
    in.SelectedRows = Listview->SelectedCount();
    in.AnyWork = Manager.Table.AnyWork();
    in.CanRefresh = HasConnectChoice(Settings);
    const TCommandStates s = ComputeCommandStates(in);
    ConnectItm->setEnabled(s.Connect);
    StopItm->setEnabled(s.Stop);
    ActionItm->setEnabled(s.Action);
    for (QAction* mark : {MarkGetItm, MarkDeleteItm, MarkGetDeleteItm, ToggleMarkItm, ClearMarkItm})
        mark->setEnabled(s.Mark);
    SelectAllItm->setEnabled(s.SelectAll);
    RefreshItm->setEnabled(s.Refresh);
}

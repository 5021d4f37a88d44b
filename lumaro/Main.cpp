#include "Main.h"
#include "nkRasCmp.h"

#include "DBAccountsFunctions.h"
#include "EnhListView.h"
#include "ChooseUser.h"
#include "FolderSet.h"
#include "FontText.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "Images.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Progress.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "SingleInstance.h"
#include "SpoolFunctions.h"
#include "StartupFunctions.h"
#include "UserPanel.h"
#include "lminfo.h"
#include "tk_langlib.h"
#include "tk_reglib.h"
#include "ReportBoxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QToolBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int MsgFixingFolder = 3;
constexpr int MsgCheckingFolder = 10;
constexpr int MsgProcessingSpool = 24;
constexpr int MsgCloseServerManager = 36;
constexpr int MsgCloseMailAccounts = 37;
constexpr int MsgCloseMessageWindows = 38;
constexpr int MsgNoDialupConnection = 66;
constexpr int MsgLoggingActive = 77;
constexpr int TransientStatusMs = 8000;
constexpr int HeadlineFontPixels = 16;
constexpr int ComboLines = 16;
constexpr int DefaultWidth = 1000;
constexpr int DefaultHeight = 640;
constexpr int ToolbarMargin = 16;
// Every column had this width before the list fitted them: a stored width of it was not the user's.
constexpr int FormerColumnWidth = 150;

const QString OwnConnectionValue = QString::fromLatin1(RegValue::OwnConnection);

bool AskWithMessageBox(QWidget* parent, const QString& text)
{
    return ShowPlainMessageBox(QMessageBox::Question, parent, QApplication::applicationDisplayName(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

TMainFrm::TMainFrm(const QStringList& arguments, QWidget* parent) : QMainWindow(parent), m_arguments(arguments)
{
    setObjectName(QStringLiteral("MainFrm"));
    Dialogs.AskYesNo = [this](const QString& text) { return AskWithMessageBox(this, text); };
    Dialogs.Inform = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Information, this, QApplication::applicationDisplayName(), text); };

    for (int i = 0; i < SpecialFolderCount; ++i)
        m_specialNames.append(SpecialFolderName(TSpecialFolder(i)));
    m_programBuild = QString::fromLatin1(LminfoGetProgBuild());
    CreateComponents();
    ConnectUserAndSettingsCommands();
    // Queued: the import shows the modal progress window, which must not run inside the application's
    // own state change, nor twice on top of itself when the state changes again meanwhile.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &TMainFrm::ApplicationActivated, Qt::QueuedConnection);
    InstallHelpKey(this, HelpContext::MainWindow);
    setWindowTitle(MainWindowTitle);
    // A connection the agent dialled in an earlier run is not ours any more.
    TRegistryKey root;
    root.WriteBool(OwnConnectionValue, false);
    root.Flush();
    Actions.DialupSpd->setToolTip(MessageText(MsgNoDialupConnection));
    Actions.DialupSpd->setStatusTip(MessageText(MsgNoDialupConnection));
    StartActiveUser(m_arguments, ShowUserChooser);
    LoadUserSettings();
    if (Settings.General.LogActive)
        Report(MsgLoggingActive, TMessageKind::Information);
    PrepareFolders();
    TranslateFormIfEnglish(this);
    ShortenToolbarCaptions(Actions);
    ApplyDefaultSize();
    RefreshCommandStates();
}

TMainFrm::~TMainFrm()
{
    // Hiding and destroying the children below still changes the focus; the members are gone by then.
    disconnect(qApp, nullptr, this, nullptr);
    Shutdown();
}

void TMainFrm::CreateComponents()
{
    CreateMainActions(this, Actions);
    ProgressFrm = new TProgressFrm(this);

    FolderTv = new QTreeWidget(this);
    FolderTv->setObjectName(QStringLiteral("FolderTv"));
    FolderTv->setHeaderHidden(true);
    FolderTv->setSelectionMode(QAbstractItemView::SingleSelection);
    FolderTv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FolderTv->setContextMenuPolicy(Qt::CustomContextMenu);
    FolderTv->installEventFilter(this);

    ComboPan = new QWidget(this);
    FolderCmb = new QComboBox(ComboPan);
    FolderCmb->setObjectName(QStringLiteral("FolderCmb"));
    FolderCmb->setMaxVisibleItems(ComboLines);
    FolderCmb->setIconSize(QSize(16, 16));
    auto* comboLayout = new QVBoxLayout(ComboPan);
    comboLayout->setContentsMargins(2, 2, 2, 2);
    comboLayout->addWidget(FolderCmb);

    HeadlinePan = new QLabel(this);
    HeadlinePan->setTextFormat(Qt::PlainText);
    HeadlinePan->setObjectName(QStringLiteral("HeadlinePan"));
    HeadlinePan->setAutoFillBackground(true);
    QPalette headline = HeadlinePan->palette();
    headline.setColor(QPalette::Window, QColor(128, 128, 128));
    headline.setColor(QPalette::WindowText, Qt::white);
    HeadlinePan->setPalette(headline);
    QFont headlineFont = HeadlinePan->font();
    headlineFont.setBold(true);
    headlineFont.setPixelSize(HeadlineFontPixels);
    HeadlinePan->setFont(headlineFont);

    MessageModel = new TMessageListModel(this);
    MessageModel->SetImages(MessageRowImages());
    MessageModel->SetDateFormat(Paths().DisplayDateFormat);
    MessageLv = new TEnhListView(this);
    MessageLv->setObjectName(QStringLiteral("MessageLv"));
    MessageLv->setModel(MessageModel);
    MessageLv->setContextMenuPolicy(Qt::CustomContextMenu);
    MessageLv->installEventFilter(this);
    MessageLv->header()->setStretchLastSection(true);
    MessageLv->StoreOnlyUserWidths(FormerColumnWidth);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(ComboPan);
    rightLayout->addWidget(HeadlinePan);
    rightLayout->addWidget(MessageLv, 1);
    MainSplitter = new QSplitter(Qt::Horizontal, this);
    MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    MainSplitter->addWidget(FolderTv);
    MainSplitter->addWidget(right);
    MainSplitter->setStretchFactor(1, 1);
    setCentralWidget(MainSplitter);

    CreateStatusBar();
    ConnectCommands();
}

void TMainFrm::CreateStatusBar()
{
    StatusPanel0 = new QLabel(this);
    StatusPanel1 = new QLabel(this);
    // Transfer reports quote server replies and subjects.
    StatusPanel1->setTextFormat(Qt::PlainText);
    StatusPanel2 = new TUserPanel(this);
    StatusPanel3 = new QLabel(this);
    for (QWidget* panel : std::initializer_list<QWidget*>{StatusPanel0, StatusPanel1, StatusPanel2, StatusPanel3})
        statusBar()->addWidget(panel);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->installEventFilter(this);
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(TransientStatusMs);
    connect(&m_statusTimer, &QTimer::timeout, StatusPanel1, [this] {
        StatusPanel1->clear();
        StatusPanel1->setToolTip({});
    });
    connect(StatusPanel2, &TUserPanel::Clicked, this, [this] {
        if (m_states.Users)
            Actions.UsersItm->trigger();
    });
}

void TMainFrm::LoadUserSettings()
{
    Settings = LoadMainSettings(UserContext().Keys);
    MessageLv->SetColumnsKey(UserContext().Keys.Columns);
    StatusPanel2->SetUserName(UserContext().Installation.CurrentUser);
    for (qsizetype i = 0; i < Actions.ToolbarItems.size() && i < Settings.ToolbarVisible.size(); ++i)
        Actions.ToolbarItems[i]->setVisible(Settings.ToolbarVisible[i]);
    ApplyLayoutSettings();
}

void TMainFrm::ApplyLayoutSettings()
{
    FolderTv->setVisible(Settings.Display.ShowTreeview);
    ComboPan->setVisible(Settings.Display.ShowCombobox);
    HeadlinePan->setVisible(!Settings.Display.ShowCombobox);
    FolderTv->collapseAll();
}

void TMainFrm::PrepareFolders()
{
    m_folders = ListFolders();
    CreateMissingSpecialFolders(m_folders);
    CreateMissingDatabases();
}

void TMainFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The checks may open the progress window, which needs the main window on screen first.
    QTimer::singleShot(0, this, [this] {
        FirstShow();
        FirstActivation();
    });
}

void TMainFrm::FirstShow()
{
    CheckFolders();
    PrepareAccountsDatabase();
    ImportWaitingSpool();
    BuildFolderTree();
    // The default width comes from narrower fonts: until the user sets a width of their own, it grows
    // to the folder names, up to a third of the window.
    if (Settings.Display.TreeviewWidth == DefaultTreeviewWidth) {
        const QAbstractItemView& view = *FolderTv;
        const int namesWidth = view.sizeHintForColumn(0) + 2 * FolderTv->frameWidth();
        Settings.Display.TreeviewWidth = std::clamp(namesWidth, DefaultTreeviewWidth, std::max(width() / 3, DefaultTreeviewWidth));
    }
    MainSplitter->setSizes({Settings.Display.TreeviewWidth, std::max(width() - Settings.Display.TreeviewWidth, 1)});
    MessageLv->setFont(DisplayFont(Settings.Display.MailFont).Font);
    ApplyListviewHeight();
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
    StatusPanel0->clear();
    // The first folder was fitted before the window had its size and the list its font.
    QTimer::singleShot(0, this, &TMainFrm::FitColumnsToContent);
}

// Wide enough for every tool bar button in either language; where the screen is narrower than
// that, the buttons show their images only (their names stay in the hints).
void TMainFrm::ApplyDefaultSize()
{
    const QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, DefaultWidth, DefaultHeight);
    const int toolbarWidth = Actions.Toolbar->sizeHint().width() + ToolbarMargin;
    if (toolbarWidth > available.width())
        Actions.Toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const int width = std::max(DefaultWidth, Actions.Toolbar->sizeHint().width() + ToolbarMargin);
    resize(std::min(width, available.width()), std::min(DefaultHeight, available.height()));
}

// The stored list height decides the window's height until a stored window position says otherwise.
void TMainFrm::ApplyListviewHeight()
{
    if (Settings.Display.ListviewHeight <= 0)
        return;
    const int available = screen() ? screen()->availableGeometry().height() : height();
    const int wanted = height() + Settings.Display.ListviewHeight - MessageLv->height();
    resize(width(), std::clamp(wanted, minimumSizeHint().height(), available));
}

void TMainFrm::CheckFolders()
{
    for (const QString& folder : std::as_const(m_folders)) {
        const QString displayName = FolderDisplayName(folder);
        StatusPanel0->setText(FillIn(MessageText(MsgCheckingFolder), displayName));
        const TFolderFiles files = FolderPaths(folder);
        if (!FolderNeedsRepair(files))
            continue;
        ProgressFrm->Execute(FillIn(MessageText(MsgFixingFolder), displayName), pmRepair,
                             [files] { RepairFolder(files); });
    }
}

void TMainFrm::ImportWaitingSpool()
{
    const QString spool = Paths().Data.SpoolDir;
    if (!SpoolHasMail(spool))
        return;
    ProgressFrm->Execute(MessageText(MsgProcessingSpool), pmImportSpool,
                         [spool] { ImportSpool(spool, SpecialFolderPaths(TSpecialFolder::Inbox)); });
}

void TMainFrm::FirstActivation()
{
    if (Settings.General.DebugMode)
        Dialogs.Inform(QStringLiteral("DebugMode is active."));
    EnsureAccount();
    if (!m_arguments.isEmpty() && !m_arguments.first().startsWith(QLatin1String("-U"), Qt::CaseInsensitive))
        HandleArgument(m_arguments.first());
}

bool TMainFrm::RefuseClosing()
{
    const int refusal = Running.ServerManager ? MsgCloseServerManager
        : Running.MailAccounts                ? MsgCloseMailAccounts
        : Running.MessageWindow               ? MsgCloseMessageWindows
                                              : 0;
    if (refusal != 0)
        Report(refusal, TMessageKind::Warning);
    return refusal != 0;
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    if (RefuseClosing()) {
        event->ignore();
        return;
    }
    event->accept();
    AskHangUp(THangUpPlace::AtEnd);
    Shutdown();
}

void TMainFrm::Shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    SaveUserState();
    MessageModel->Clear();
    if (Settings.General.EmptyTrash)
        EmptyTrash();
}

// What program end and a change of the user write for the user who leaves.
void TMainFrm::SaveUserState()
{
    MessageLv->SaveColumnWidths();
    if (Settings.General.LogActive)
        QFile::remove(Paths().Data.LogFile);
    if (FolderTv->isVisible() && !MainSplitter->sizes().isEmpty())
        Settings.Display.TreeviewWidth = MainSplitter->sizes().first();
    if (m_shown && MessageLv->isVisible())
        Settings.Display.ListviewHeight = MessageLv->height();
    SaveMainSettings(UserContext().Keys, Settings);
    TRegistryKey().WriteString(QString::fromLatin1(RegValue::ProgDir), Paths().Program.ProgDir);
    if (m_shown)
        SaveFormPlacement(*this, UserContext().Keys.Forms);
}

// Mail the server manager fetched while it still runs is shown as soon as the user comes back.
void TMainFrm::ApplicationActivated(Qt::ApplicationState state)
{
    // A progress window already on screen is importing, or about to.
    if (state != Qt::ApplicationActive || !Running.ServerManager || ProgressFrm->isVisible()
        || !SpoolHasMail(Paths().Data.SpoolDir))
        return;
    ImportSpoolWithReport(false);
    ActivateFolder(m_specialNames.value(0));
}

void TMainFrm::SetTransientStatus(const QString& text)
{
    StatusPanel1->setText(text);
    // A narrow window cuts the panel off; the tip keeps the whole report readable.
    StatusPanel1->setToolTip(Qt::convertFromPlainText(text));
    m_statusTimer.start();
}

void TMainFrm::LayoutStatusPanels()
{
    const std::array<int, 4> widths = StatusPanelWidths(statusBar()->width());
    StatusPanel0->setFixedWidth(widths[0]);
    StatusPanel1->setFixedWidth(widths[1]);
    StatusPanel2->setFixedWidth(widths[2]);
    StatusPanel3->setFixedWidth(widths[3]);
}

bool TMainFrm::event(QEvent* event)
{
    // Hints go to status panel 0 instead of the status bar's own message line.
    if (event->type() == QEvent::StatusTip) {
        StatusPanel0->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

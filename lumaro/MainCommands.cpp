// TMainFrm: the commands this window carries out itself, the command line, the window messages of
// other processes, and keyboard handling of the tree and the list.

#include "Main.h"

#include "CommandLine.h"
#include "EnhListView.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "MailInfo.h"
#include "MessageCommands.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "SingleInstance.h"
#include "SpoolFunctions.h"
#include "StartupFunctions.h"
#include "UserPanel.h"
#include "lminfo.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

namespace {

constexpr int MsgConverterMissing = 74;
constexpr int MsgNoLogFile = 411;
constexpr int MsgLogFileNotOpened = 412;
const QString ServerConnectArgument = QStringLiteral("/connect");
const QString ConverterProgram = QStringLiteral("/lmconvert");
const QString MakerSite = QStringLiteral("https://www.velquist.de");

QString MakerPage(const char* page)
{
    return MakerSite + QLatin1Char('/') + QLatin1String(page);
}

} // namespace

void TMainFrm::ConnectCommands()
{
    const TMainActions& a = Actions;
    connect(a.QuitItm, &QAction::triggered, this, &QWidget::close);
    connect(a.PropertiesItm, &QAction::triggered, this, &TMainFrm::PropertiesItmClick);
    connect(a.ImportExportItm, &QAction::triggered, this, &TMainFrm::ImportExportItmClick);
    connect(a.AddressBookItm, &QAction::triggered, this, [this] { StartUnwaited(Paths().Program.LmabExe); });
    connect(a.SelectAllItm, &QAction::triggered, this, &TMainFrm::SelectAllItmClick);
    connect(a.ShowLogfileItm, &QAction::triggered, this, &TMainFrm::ShowLogfileItmClick);
    connect(a.CollapseFoldersItm, &QAction::triggered, this, [this] { ExpandOrCollapseAll(false); });
    connect(a.ExpandFoldersItm, &QAction::triggered, this, [this] { ExpandOrCollapseAll(true); });
    connect(a.UpdateItm, &QAction::triggered, this, &TMainFrm::UpdateItmClick);
    connect(a.ServerManagerItm, &QAction::triggered, this, &TMainFrm::ServerManagerItmClick);
    connect(a.MailAccountsItm, &QAction::triggered, this, &TMainFrm::MailAccountsItmClick);
    connect(a.LanguageItm, &QAction::triggered, this, [this] { StartUnwaited(Paths().Program.LmchglangExe); });
    connect(a.ContentsItm, &QAction::triggered, this, [this] { ShowHelp(HelpContext::Contents, this); });
    connect(a.MainWindowHelpItm, &QAction::triggered, this, [this] { ShowHelp(HelpContext::MainWindow, this); });
    connect(a.HomepageItm, &QAction::triggered, this, [] { OpenWebPage(MakerSite); });
    connect(a.ToolsPageItm, &QAction::triggered, this, [] { OpenWebPage(MakerPage("tools")); });
    connect(a.SupportPageItm, &QAction::triggered, this, [] { OpenWebPage(MakerPage("support")); });
    connect(a.DownloadPageItm, &QAction::triggered, this, [] { OpenWebPage(MakerPage("download")); });
    connect(a.InfoItm, &QAction::triggered, this, [] { ShowInfoDialog(); });

    connect(FolderTv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowPopup(FolderTv, Actions.TreePop, at); });
    connect(MessageLv, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowPopup(MessageLv, Actions.ListviewPop, at); });
    connect(a.Toolbar, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Actions.ToolbarPop->popup(Actions.Toolbar->mapToGlobal(at)); });
    connect(MessageLv, &TEnhListView::SelectionChanged, this, &TMainFrm::RefreshCommandStates);
    // A collapsed folder's count includes its hidden sub-folders.
    connect(FolderTv, &QTreeWidget::itemExpanded, this, &TMainFrm::RefreshCommandStates);
    connect(FolderTv, &QTreeWidget::itemCollapsed, this, &TMainFrm::RefreshCommandStates);
    ConnectMessageCommands();
    ConnectFolderCommands();
    ConnectToolCommands();
    ConnectTransferCommands();
    connect(qApp, &QApplication::focusChanged, this, [this] { RefreshCommandStates(); });
}

void TMainFrm::ShowPopup(QWidget* view, QMenu* menu, const QPoint& position)
{
    RefreshCommandStates();
    auto* itemView = qobject_cast<QAbstractItemView*>(view);
    menu->popup(itemView ? itemView->viewport()->mapToGlobal(position) : view->mapToGlobal(position));
}

bool TMainFrm::ListenForWindowMessages()
{
    if (!m_instanceServer) {
        m_instanceServer = new TInstanceServer(this);
        connect(m_instanceServer, &TInstanceServer::MessageReceived, this, &TMainFrm::HandleWindowMessage);
    }
    return m_instanceServer->Listen(MainWindowTitle);
}

void TMainFrm::HandleWindowMessage(int message)
{
    switch (message) {
    case wmRestore:
        BringToFront();
        break;
    case wmHandOver:
        HandleArgument(ReadHandOver());
        break;
    case wmNewFromContact:
        NewMessageFromContact();
        break;
    case wmFilterFromHandOver:
        FilterSettingsItmClick(ReadHandOver());
        break;
    case wmSendNow:
        SendNowRequested();
        break;
    default:
        break;
    }
}

void TMainFrm::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainFrm::HandleArgument(const QString& argument)
{
    if (Settings.General.DebugMode)
        Dialogs.Inform(QStringLiteral("Commandline:|") + argument + QLatin1Char('|'));
    const TArgumentAction action = ParseArgument(argument);
    switch (action.Kind) {
    case TArgumentKind::Mailto:
        if (Settings.General.DebugMode) {
            Dialogs.Inform(QStringLiteral("Recipients:|") + action.Recipients + QLatin1Char('|'));
            Dialogs.Inform(QStringLiteral("Subject:|") + action.Subject + QLatin1Char('|'));
        }
        NewMessage(false, {QString(), action.Recipients.toUtf8(), action.Subject.toUtf8(), {}});
        break;
    case TArgumentKind::EmlFile:
        ShowEmlFile(action.Path);
        break;
    case TArgumentKind::Nothing:
        break;
    }
}

void TMainFrm::ShowEmlFile(const QString& path)
{
    RunWaited(Paths().Program.LmviewExe, {path}, Running.MessageWindow);
}

void TMainFrm::RunWaited(const QString& program, const QStringList& arguments, int& runningCount)
{
    RunAndWait(program, arguments, runningCount, [this] { RefreshCommandStates(); });
}

void TMainFrm::PropertiesItmClick()
{
    const int row = MessageLv->FocusedRow();
    if (!m_states.Properties || row < 0)
        return;
    const TListEntry entry = MessageModel->Entry(row);
    TMailInfoFrm info(this);
    info.Show(FolderMessageDetails(FolderPaths(m_currentFolder).MessageFile, entry.Offset, entry.Length,
                                   entry.Flags & mfRead));
    info.exec();
}

void TMainFrm::ServerManagerItmClick()
{
    const QStringList arguments = Settings.General.AutoConnectServer ? QStringList{ServerConnectArgument} : QStringList{};
    RunWaited(Paths().Program.LmserverExe, arguments, Running.ServerManager);
    ImportSpoolWithReport(false);
    if (DisplayedMessageCount(SpecialFolderPaths(TSpecialFolder::Inbox)) > 0)
        ActivateFolder(m_specialNames.value(0));
}

void TMainFrm::MailAccountsItmClick()
{
    RunWaited(Paths().Program.LmaccountsExe, {}, Running.MailAccounts);
}

void TMainFrm::ImportExportItmClick()
{
    const QString converterDir = UserContext().Installation.ProgDirLmconvert;
    if (converterDir.isEmpty()) {
        if (Dialogs.AskYesNo(MessageText(MsgConverterMissing)))
            OpenWebPage(MakerPage("tools"));
        return;
    }
    StartUnwaited(converterDir + ConverterProgram);
}

void TMainFrm::StartUnwaited(const QString& program)
{
    if (!StartProgram(program))
        Report(ProgramNotFoundMessage, TMessageKind::Error, program);
}

void TMainFrm::UpdateItmClick()
{
    ImportSpoolWithReport(false);
    ActivateFolder();
}

void TMainFrm::ShowLogfileItmClick()
{
    const QString logFile = Paths().Data.LogFile;
    if (!QFileInfo::exists(logFile))
        Dialogs.Inform(FillIn(MessageText(MsgNoLogFile), QDir::toNativeSeparators(logFile)));
    else if (!OpenDocument(logFile))
        Report(MsgLogFileNotOpened, TMessageKind::Warning, QDir::toNativeSeparators(logFile));
}

void TMainFrm::SelectAllItmClick()
{
    MessageLv->selectAll();
    RefreshCommandStates();
}

bool TMainFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (DragEvent(watched, event))
        return true;
    if (watched == statusBar() && event->type() == QEvent::Resize)
        LayoutStatusPanels();
    if ((watched == FolderTv || watched == MessageLv) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus) {
            ExpandOrCollapseAll(key->key() == Qt::Key_Plus);
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            if (m_states.Open)
                Actions.OpenMessageItm->trigger();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

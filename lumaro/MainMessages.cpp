// TMainFrm: the message commands (open, new, edit, delete, copy and move, drag and drop, marking).
// The rules live in MessageCommands; this file wires them to the list, the tree and the dialogs.

#include "Main.h"

#include "Alert.h"
#include "DBAccountsFunctions.h"
#include "Draft.h"
#include "EnhListView.h"
#include "FolderChoose.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "MessageCommands.h"
#include "Reporter.h"
#include "PhraseFunctions.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidget>

namespace {

constexpr int MsgCreateAccount = 45;
constexpr int MsgDeleteMessages = 51;
constexpr int DragStatusIntervalMs = 100;
const QString DragMimeType = QStringLiteral("application/x-lumaro-messages");
const QString ContactFileName = QStringLiteral("/contact.txt");

bool EditsInPlace(const QString& folderName)
{
    return folderName == SpecialFolderName(TSpecialFolder::Outbox) || folderName == SpecialFolderName(TSpecialFolder::Templates);
}

QByteArrayList SignatureLines(const TGeneralSettings& general)
{
    if (!general.AutoSignature)
        return {};
    QByteArrayList lines;
    for (const QString& line : SignatureText(general.Signature).split(QLatin1Char('\n')))
        lines.append(line.toUtf8());
    return lines;
}

} // namespace

void TMainFrm::ConnectMessageCommands()
{
    const TMainActions& a = Actions;
    Dialogs.Confirm = [this](const QString& text, bool& setting) {
        return Confirm(1, {}, setting, true, text, this) == arYes;
    };
    Dialogs.ChooseFolder = [this](const QString& caption) { return ::ChooseFolder(*FolderTv, caption, this); };
    connect(a.OpenMessageItm, &QAction::triggered, this, &TMainFrm::OpenMessageItmClick);
    connect(a.NewMessageItm, &QAction::triggered, this, [this] { NewMessage(true, {}); });
    connect(a.NewMessagePopItm, &QAction::triggered, this, [this] { NewMessage(false, {}); });
    // The tool button stands for the list's command, not the File menu's.
    QAction* newButton = a.ToolbarItems.value(0);
    disconnect(newButton, &QAction::triggered, a.NewMessageItm, &QAction::trigger);
    connect(newButton, &QAction::triggered, this, [this] { NewMessage(false, {}); });
    connect(a.DeleteItm, &QAction::triggered, this, &TMainFrm::DeleteItmClick);
    connect(a.CopyToItm, &QAction::triggered, this, [this] { TransferItmClick(false); });
    connect(a.MoveToItm, &QAction::triggered, this, [this] { TransferItmClick(true); });
    connect(a.MarkReadItm, &QAction::triggered, this, [this] { MarkItmClick(true, false); });
    connect(a.MarkUnreadItm, &QAction::triggered, this, [this] { MarkItmClick(false, false); });
    connect(a.MarkAllReadItm, &QAction::triggered, this, [this] { MarkItmClick(true, true); });
    connect(a.MarkAllUnreadItm, &QAction::triggered, this, [this] { MarkItmClick(false, true); });
    // Queued: opening waits for the message window, and the view's own double-click handling must not
    // run on under a list that was reloaded meanwhile.
    connect(MessageLv, &QAbstractItemView::doubleClicked, this, [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (m_states.Open)
                OpenMessageItmClick();
        }, Qt::QueuedConnection);
    });
    MessageLv->setDragEnabled(true);
    MessageLv->viewport()->installEventFilter(this);
    FolderTv->setAcceptDrops(true);
    FolderTv->viewport()->setAcceptDrops(true);
    FolderTv->viewport()->installEventFilter(this);
    m_dragTimer.setInterval(DragStatusIntervalMs);
    connect(&m_dragTimer, &QTimer::timeout, this, &TMainFrm::ShowDragStatus);
}

QList<TListEntry> TMainFrm::SelectedEntries() const
{
    QList<TListEntry> entries;
    for (const int row : MessageLv->SelectedRows())
        entries.append(MessageModel->Entry(row));
    return entries;
}

void TMainFrm::OpenMessageItmClick()
{
    const int row = MessageLv->FocusedRow();
    if (!m_states.Open || row < 0)
        return;
    const TListEntry entry = MessageModel->Entry(row);
    if (EditsInPlace(m_currentFolder)) {
        EditMessage(m_currentFolder, entry, {});
        return;
    }
    const QString folder = m_currentFolder;
    QList<TListEntry> selected = SelectedEntries();
    const QList<int> rows = MessageLv->SelectedRows();
    if (MarkMessages(FolderPaths(folder).IndexFile, selected, true)) {
        for (qsizetype i = 0; i < rows.size(); ++i)
            MessageModel->SetFlags(rows[i], selected[i].Flags);
    }
    ViewMessage(folder, entry);
}

void TMainFrm::ViewMessage(const QString& folderName, const TListEntry& entry)
{
    RunWaited(Paths().Program.LmviewExe, ViewArguments(FolderPaths(folderName).MessageFile, entry.Offset, entry.Length),
              Running.MessageWindow);
}

void TMainFrm::NewMessage(bool fromFileMenu, const TNewMessageSource& source)
{
    if (!EnsureAccount())
        return;
    TNewMessageSource start = source;
    const TFolderFiles templates = SpecialFolderPaths(TSpecialFolder::Templates);
    const bool offerTemplates = fromFileMenu || QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    if (offerTemplates && start.SourceFile.isEmpty() && CountMessages(templates.IndexFile, true) > 0) {
        TDraftFrm chooser(this);
        chooser.Setup(templates);
        const int result = chooser.exec();
        if (result == TDraftFrm::Cancelled)
            return;
        const TListEntry chosen = chooser.Chosen();
        if (result == TDraftFrm::TemplateChosen && chosen.Record > 0) {
            start.SourceFile = Paths().Data.SpoolDir + ContactFileName;
            if (!ExportMessage(templates.MessageFile, start.SourceFile, chosen.Offset, chosen.Length))
                return;
        }
    }
    if (start.SourceFile.isEmpty())
        start.Signature = SignatureLines(Settings.General);
    EditMessage(SpecialFolderName(TSpecialFolder::Outbox), {}, start);
    if (!source.SourceFile.isEmpty() || start.SourceFile.isEmpty() || Settings.General.DebugMode)
        return;
    QFile::remove(start.SourceFile);
}

void TMainFrm::NewMessageFromContact()
{
    BringToFront();
    const QString contact = Paths().Data.ContactFile;
    if (!QFile::exists(contact))
        return;
    // The contact file holds what the user wrote in the message window: without an account it
    // waits in the Outbox instead of being thrown away.
    if (!EnsureAccount()) {
        if (KeepContactInOutbox(contact, SpecialFolderPaths(TSpecialFolder::Outbox)))
            ActivateFolder();
        return;
    }
    NewMessage(false, {contact, {}, {}, {}});
    if (!Settings.General.DebugMode)
        QFile::remove(contact);
}

void TMainFrm::EditMessage(const QString& folderName, const TListEntry& entry, const TNewMessageSource& source)
{
    const TFolderFiles files = FolderPaths(folderName);
    const TEditSession session = StartEdit(files, entry, Paths().Data.SmtpDir, source);
    if (session.WorkFile.isEmpty())
        return;
    m_sendNow.EditStarted(session.WorkFile);
    const bool outboxMessage = IsOutbox(files) && entry.Record > 0;
    if (outboxMessage)
        m_outboxRecordsBeingEdited.append(entry.Record);
    RunWaited(Paths().Program.LmviewExe, EditArguments(session.WorkFile), Running.MessageWindow);
    if (outboxMessage)
        m_outboxRecordsBeingEdited.removeOne(entry.Record);
    const qint32 record = FinishEdit(files, session, Settings.General.DebugMode);
    const std::optional<TSendNowOrder> sendNow = m_sendNow.EditEnded(session.WorkFile, record);
    ShowEditedMessage(record);
    // After the caller's own bookkeeping of this edit (the contact file of a reply, for one).
    if (sendNow)
        QMetaObject::invokeMethod(this, [this, order = *sendNow] { SendNow(order); }, Qt::QueuedConnection);
}

void TMainFrm::ShowEditedMessage(qint32 record)
{
    if (record == 0 || !EditsInPlace(m_currentFolder)) {
        RefreshCommandStates();
        return;
    }
    ActivateFolder();
    for (int row = 0; row < MessageModel->rowCount(); ++row) {
        if (MessageModel->Entry(row).Record == record) {
            MessageLv->clearSelection();
            MessageLv->SelectRow(row);
            break;
        }
    }
}

void TMainFrm::DeleteItmClick()
{
    if (FolderTv->hasFocus()) {
        FolderDeleteItmClick();
        return;
    }
    if (!m_states.SelectionCommands || MessageLv->SelectedCount() == 0)
        return;
    if (Settings.Warnings.DeleteMails && !Dialogs.Confirm(MessageText(MsgDeleteMessages), Settings.Warnings.DeleteMails))
        return;
    QList<TListEntry> entries = SelectedEntries();
    if (DeletesForGood(m_currentFolder))
        DeleteForGood(FolderPaths(m_currentFolder), entries);
    else
        TransferMessages(m_currentFolder, SpecialFolderName(TSpecialFolder::Trash), entries, true);
    ActivateFolder();
}

void TMainFrm::TransferItmClick(bool move)
{
    if (!m_states.SelectionCommands || MessageLv->SelectedCount() == 0)
        return;
    QString caption = (move ? Actions.MoveToItm : Actions.CopyToItm)->text();
    const QString target = Dialogs.ChooseFolder(caption.remove(QLatin1Char('&')));
    if (!target.isEmpty())
        TransferSelection(target, move);
}

void TMainFrm::TransferSelection(const QString& targetFolder, bool move)
{
    QList<TListEntry> entries = SelectedEntries();
    const qsizetype selected = entries.size();
    if (TransferMessages(m_currentFolder, targetFolder, entries, move) == TTransferResult::OwnFolder)
        return;
    const bool moved = move && entries.size() < selected;
    if (moved || targetFolder == m_currentFolder)
        ActivateFolder();
    else
        RefreshCommandStates();
}

void TMainFrm::MarkItmClick(bool read, bool all)
{
    if (all)
        MessageLv->selectAll();
    const QList<int> rows = MessageLv->SelectedRows();
    QList<TListEntry> entries = SelectedEntries();
    const bool marked = MarkMessages(FolderPaths(m_currentFolder).IndexFile, entries, read);
    for (qsizetype i = 0; i < rows.size(); ++i)
        MessageModel->SetFlags(rows[i], entries[i].Flags);
    if (!marked)
        Report(MsgErrorWriting, TMessageKind::Warning);
    RefreshCommandStates();
}

void TMainFrm::DropOnFolder(const QString& folderName, Qt::KeyboardModifiers modifiers)
{
    if (!folderName.isEmpty() && MessageLv->SelectedCount() > 0)
        TransferSelection(folderName, !DropCopies(modifiers));
}

void TMainFrm::ShowDragStatus()
{
    StatusPanel0->setText(MessageText(DragStatusMessage(QGuiApplication::queryKeyboardModifiers())));
}

void TMainFrm::StartDrag()
{
    if (Settings.General.ExpandWhenDragging)
        FolderTv->expandAll();
    StatusPanel0->setText(MessageText(MsgMoveMessages));
    m_dragTimer.start();
    auto* drag = new QDrag(MessageLv);
    auto* data = new QMimeData;
    data->setData(DragMimeType, QByteArray::number(MessageLv->SelectedCount()));
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    m_dragTimer.stop();
    StatusPanel0->clear();
}

// Rows are dragged from the list's viewport only and dropped on a node of the tree's viewport.
bool TMainFrm::DragEvent(QObject* watched, QEvent* event)
{
    if (watched == MessageLv->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            m_dragStart = mouse->position().toPoint();
        const bool dragging = event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)
            && (mouse->position().toPoint() - m_dragStart).manhattanLength() >= QApplication::startDragDistance()
            && MessageLv->selectionModel()->isRowSelected(MessageLv->indexAt(m_dragStart).row(), {});
        if (dragging)
            StartDrag();
        return dragging;
    }
    if (watched != FolderTv->viewport())
        return false;
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QTreeWidgetItem* node = FolderTv->itemAt(drag->position().toPoint());
        if (drag->mimeData()->hasFormat(DragMimeType) && (node || event->type() == QEvent::DragEnter))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QTreeWidgetItem* node = FolderTv->itemAt(drop->position().toPoint());
        if (!node || !drop->mimeData()->hasFormat(DragMimeType))
            return true;
        drop->acceptProposedAction();
        const QString folder = node->data(0, Qt::UserRole).toString();
        const Qt::KeyboardModifiers modifiers = drop->modifiers();
        // The drag's own loop is still running: the folder is written once it has ended.
        QTimer::singleShot(0, this, [this, folder, modifiers] { DropOnFolder(folder, modifiers); });
        return true;
    }
    return false;
}

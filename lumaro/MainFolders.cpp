// TMainFrm: the folder tree, the folder combo box, activating a folder and the command states.

#include "Main.h"

#include "EnhListView.h"
#include "FolderSet.h"
#include "Images.h"
#include "ListviewFunctions.h"
#include "Reporter.h"
#include "StartupFunctions.h"
#include "TreeviewFunctions.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>

namespace {

constexpr int MsgFolderDamaged = 21;
constexpr int InitialColumnWidth = 150;
constexpr int FolderNameRole = Qt::UserRole;
// The node's text without its count.
constexpr int FolderTextRole = Qt::UserRole + 1;
constexpr int ComboItemHeight = 20;
// No fitted column is narrowed below this when the columns do not fit.
constexpr int MinimumFittedWidth = 60;
// Room for the text's margins beyond what the view reports for its widest text.
constexpr int FittedWidthMargin = 8;

enum SpecialIndex { Inbox = 0, Outbox = 1, Templates = 2, Sent = 3 };

QTreeWidgetItem* NodeItem(const TFolderTreeNode& node, const QList<QIcon>& images)
{
    auto* item = new QTreeWidgetItem(QStringList{node.Text});
    item->setData(0, FolderNameRole, node.FolderName);
    item->setData(0, FolderTextRole, node.Text);
    item->setIcon(0, images.value(node.Image));
    for (const TFolderTreeNode& child : node.Children)
        item->addChild(NodeItem(child, images));
    return item;
}

// The unread messages of every folder below `node`; the Outbox holds no sub-folders.
int HiddenUnreadCount(const QTreeWidgetItem* node, const QHash<QString, int>& counts)
{
    int sum = 0;
    for (int i = 0; i < node->childCount(); ++i) {
        const QTreeWidgetItem* child = node->child(i);
        sum += counts.value(child->data(0, FolderNameRole).toString()) + HiddenUnreadCount(child, counts);
    }
    return sum;
}

} // namespace

void TMainFrm::BuildFolderTree()
{
    const QList<QIcon> images = FolderTreeImages();
    const QSignalBlocker blocker(FolderTv);
    FolderTv->clear();
    for (const TFolderTreeNode& node : ::BuildFolderTree(m_folders))
        FolderTv->addTopLevelItem(NodeItem(node, images));
    FillFolderCombo();
    ApplyLayoutSettings();
    connect(FolderTv, &QTreeWidget::itemSelectionChanged, this, &TMainFrm::FolderTvSelectionChanged,
            Qt::UniqueConnection);
    if (FolderTv->topLevelItemCount() > 0) {
        const QString selected = m_currentFolder.isEmpty() ? m_folders.value(Inbox) : m_currentFolder;
        m_currentFolder.clear();
        if (!ActivateFolder(selected))
            RefreshCommandStates();
    }
}

void TMainFrm::FillFolderCombo()
{
    const QList<QIcon> images = FolderTreeImages();
    const QSignalBlocker blocker(FolderCmb);
    FolderCmb->clear();
    for (const auto& [text, folderName] : ComboEntries(::BuildFolderTree(m_folders))) {
        FolderCmb->addItem(images.value(ComboImageOf(text, m_specialNames)), text, folderName);
        FolderCmb->setItemData(FolderCmb->count() - 1, QSize(0, ComboItemHeight), Qt::SizeHintRole);
        FolderCmb->setItemData(FolderCmb->count() - 1, text, FolderTextRole);
    }
    connect(FolderCmb, &QComboBox::activated, this, &TMainFrm::FolderCmbActivated, Qt::UniqueConnection);
}

QTreeWidgetItem* TMainFrm::NodeOf(const QString& folderName) const
{
    for (QTreeWidgetItemIterator it(FolderTv); *it; ++it) {
        if ((*it)->data(0, FolderNameRole).toString() == folderName)
            return *it;
    }
    return nullptr;
}

void TMainFrm::SelectFolderNode(const QString& folderName)
{
    if (QTreeWidgetItem* node = NodeOf(folderName)) {
        const QSignalBlocker blocker(FolderTv);
        FolderTv->setCurrentItem(node);
        FolderTv->scrollToItem(node);
    }
    const QSignalBlocker blocker(FolderCmb);
    FolderCmb->setCurrentIndex(FolderCmb->findData(folderName));
}

void TMainFrm::FolderTvSelectionChanged()
{
    const QList<QTreeWidgetItem*> selected = FolderTv->selectedItems();
    if (selected.isEmpty())
        return;
    const QString folderName = selected.first()->data(0, FolderNameRole).toString();
    if (folderName != m_currentFolder)
        ActivateFolder(folderName);
    RefreshCommandStates();
}

void TMainFrm::FolderCmbActivated(int index)
{
    const QString folderName = FolderCmb->itemData(index).toString();
    if (!folderName.isEmpty() && folderName != m_currentFolder)
        ActivateFolder(folderName);
}

bool TMainFrm::ActivateFolder(const QString& folderName)
{
    const QString name = folderName.isEmpty() ? m_currentFolder : folderName;
    if (name.isEmpty() || m_activating)
        return false;
    m_activating = true;
    // A reload of the folder shown keeps the columns as they are; another folder is fitted anew.
    const bool firstShow = name != m_currentFolder;
    const TFolderFiles files = FolderPaths(name);
    // Before the first folder the list has no columns, and saving would overwrite the stored sort.
    if (MessageModel->columnCount() > 0)
        MessageLv->SaveColumnWidths();
    RebuildColumns(name);
    const bool loaded = FolderFilesPresent(files) && MessageModel->Load(files);
    m_activating = false;
    if (!loaded) {
        Report(MsgFolderDamaged, TMessageKind::Warning, FolderDisplayName(name));
        // The previous folder stays the current one and is shown again.
        const QString previous = std::exchange(m_currentFolder, QString());
        if (!previous.isEmpty() && previous != name)
            ActivateFolder(previous);
        else
            MessageModel->Clear();
        SelectFolderNode(m_currentFolder);
        RefreshCommandStates();
        return false;
    }
    m_currentFolder = name;
    // The readable messages are shown; the user learns that others could not be.
    if (MessageModel->DamagedRecords() > 0)
        Report(MsgFolderDamaged, TMessageKind::Warning, FolderDisplayName(name));
    MessageLv->ApplySort();
    if (MessageModel->rowCount() > 0)
        MessageLv->SelectRow(0);
    if (firstShow || m_fittedWidths.size() != MessageModel->columnCount())
        FitColumnsToContent();
    else
        ApplyFittedWidths();
    if (name == m_specialNames.value(Inbox))
        ShowFirstNewMessage();
    else if (firstShow)
        m_firstNewInboxRecord = 0;
    SelectFolderNode(name);
    HeadlinePan->setText(QLatin1Char(' ') + FolderDisplayName(name));
    RefreshCommandStates();
    return true;
}

void TMainFrm::RebuildColumns(const QString& folderName)
{
    const int special = int(m_specialNames.indexOf(folderName));
    const bool exchange = special == Outbox || special == Templates || special == Sent;
    MessageModel->SetColumns(ColumnsOf(Settings.ColumnCaptions, exchange));
    for (int column = 0; column < MessageModel->columnCount(); ++column)
        MessageLv->setColumnWidth(column, InitialColumnWidth);
    MessageLv->RestoreColumnWidths();
}

void TMainFrm::FitColumnsToContent()
{
    const int columns = MessageModel->columnCount();
    const QHeaderView& header = *MessageLv->header();
    const QAbstractItemView& view = *MessageLv;
    QList<TColumnFit> fits;
    for (int column = 0; column < columns; ++column) {
        const int natural = std::max(view.sizeHintForColumn(column) + FittedWidthMargin, header.sectionSizeHint(column));
        // The last column is stretched over the rest of the list: no width of its own is kept.
        const bool userWidth = MessageLv->IsUserWidth(column) && column < columns - 1;
        fits.append(TColumnFit{natural, userWidth ? MessageLv->columnWidth(column) : 0});
    }
    m_fittedWidths = FittedColumnWidths(fits, MessageLv->viewport()->width(), MinimumFittedWidth);
    ApplyFittedWidths();
}

void TMainFrm::ApplyFittedWidths()
{
    // The stretched last column never gets narrower than the width set for it: its share.
    const int last = MessageModel->columnCount() - 1;
    for (int column = 0; column <= last && column < m_fittedWidths.size(); ++column) {
        if (column == last || !MessageLv->IsUserWidth(column))
            MessageLv->setColumnWidth(column, m_fittedWidths[column]);
    }
}

void TMainFrm::ShowFirstNewMessage()
{
    if (m_firstNewInboxRecord <= 0)
        return;
    // The first of the new messages in the list's order: the top one of them on screen.
    for (int row = 0; row < MessageModel->rowCount(); ++row) {
        if (MessageModel->Entry(row).Record < m_firstNewInboxRecord)
            continue;
        const QModelIndex index = MessageModel->index(row, 0);
        if (!MessageLv->viewport()->rect().contains(MessageLv->visualRect(index)))
            MessageLv->scrollTo(index, QAbstractItemView::PositionAtTop);
        // The columns were fitted to the messages shown before; the new ones may need more room.
        FitColumnsToContent();
        return;
    }
}

int TMainFrm::UnreadCount(const QString& folderName)
{
    if (folderName == m_currentFolder)
        return MessageModel->UnreadCount();
    return m_unreadCounts.Of(FolderPaths(folderName).IndexFile);
}

void TMainFrm::UpdateFolderCaptions(int outboxCount)
{
    const QString outbox = m_specialNames.value(Outbox);
    QHash<QString, int> counts;
    for (QTreeWidgetItemIterator it(FolderTv); *it; ++it) {
        const QString folderName = (*it)->data(0, FolderNameRole).toString();
        counts.insert(folderName, folderName == outbox ? outboxCount : UnreadCount(folderName));
    }
    for (QTreeWidgetItemIterator it(FolderTv); *it; ++it) {
        QTreeWidgetItem* node = *it;
        const QString folderName = node->data(0, FolderNameRole).toString();
        const bool isOutbox = folderName == outbox;
        // A collapsed folder speaks for the sub-folders it hides, or their new mail goes unseen.
        const int count = counts.value(folderName) + (node->isExpanded() ? 0 : HiddenUnreadCount(node, counts));
        const QString caption = FolderCaption(node->data(0, FolderTextRole).toString(), count);
        if (node->text(0) != caption)
            node->setText(0, caption);
        // Folders with unread mail stand out as unread messages do in the list.
        const bool bold = !isOutbox && count > 0;
        if (node->font(0).bold() != bold) {
            QFont font = node->font(0);
            font.setBold(bold);
            node->setFont(0, font);
        }
    }
    for (int i = 0; i < FolderCmb->count(); ++i) {
        const QString caption = FolderCaption(FolderCmb->itemData(i, FolderTextRole).toString(),
                                              counts.value(FolderCmb->itemData(i).toString()));
        if (FolderCmb->itemText(i) != caption)
            FolderCmb->setItemText(i, caption);
    }
}

bool TMainFrm::SelectedFolderRemovable() const
{
    const QList<QTreeWidgetItem*> selected = FolderTv->selectedItems();
    if (selected.isEmpty())
        return false;
    const QTreeWidgetItem* node = selected.first();
    const bool special = !node->parent() && FolderTv->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(node)) < SpecialFolderCount;
    return !special && node->childCount() == 0;
}

void TMainFrm::RefreshCommandStates()
{
    TCommandInputs in;
    in.SelectedRows = MessageLv->SelectedCount();
    in.TreeFocused = FolderTv->hasFocus();
    in.FolderRemovable = SelectedFolderRemovable();
    in.LogActive = Settings.General.LogActive;
    in.OutboxMessages = DisplayedMessageCount(SpecialFolderPaths(TSpecialFolder::Outbox));
    in.InboxMessages = DisplayedMessageCount(SpecialFolderPaths(TSpecialFolder::Inbox));
    in.Running = Running;
    in.Transmit = {Settings.ActionIgnoreSmtp, Settings.ActionIgnorePop, !Settings.ActionSmtpServer.isEmpty(),
                   !Settings.ActionPopServers.isEmpty()};
    m_states = ComputeCommandStates(in);

    const TMainActions& a = Actions;
    a.OpenMessageItm->setEnabled(m_states.Open);
    a.PropertiesItm->setEnabled(m_states.Properties);
    for (QAction* action : {a.DeleteItm, a.CopyToItm, a.MoveToItm, a.SelectAllItm})
        action->setEnabled(m_states.SelectionCommands);
    a.MarkAsMnu->setEnabled(m_states.SelectionCommands);
    a.FolderRenameItm->setEnabled(m_states.RenameFolder);
    a.FolderDeleteItm->setEnabled(m_states.DeleteFolder);
    a.ShowLogfileItm->setEnabled(m_states.ShowLogfile);
    a.SendItm->setEnabled(m_states.Send);
    a.ReceiveItm->setEnabled(m_states.Receive);
    a.TransmitItm->setEnabled(m_states.Transmit);
    a.ServerManagerItm->setEnabled(m_states.ServerManager);
    a.MailAccountsItm->setEnabled(m_states.MailAccounts);
    a.UsersItm->setEnabled(m_states.Users);
    a.FilterExecuteItm->setEnabled(m_states.ExecuteFilter);
    UpdateFolderCaptions(in.OutboxMessages);
    StatusPanel3->setText(QStringLiteral("%1/%2").arg(MessageModel->rowCount()).arg(in.SelectedRows));
}

void TMainFrm::ExpandOrCollapseAll(bool expand)
{
    if (expand)
        FolderTv->expandAll();
    else
        FolderTv->collapseAll();
}

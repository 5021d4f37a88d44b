#include "EnhListView.h"

#include "tk_reglib.h"

#include <QEvent>
#include <QHeaderView>

#include <algorithm>

namespace {

QString WidthName(int column)
{
    return QStringLiteral("Width%1").arg(column);
}

const QString SortColumnName = QStringLiteral("SortColumn");
const QString SortDescendingName = QStringLiteral("SortDescending");
// Bit i: the user set the width of column i.
const QString UserWidthsName = QStringLiteral("UserWidths");
constexpr int MaxTrackedColumns = 64;

quint64 ColumnBit(int column)
{
    return column >= 0 && column < MaxTrackedColumns ? quint64(1) << column : 0;
}

} // namespace

TEnhListView::TEnhListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TEnhListView::HeaderClick);
    connect(header(), &QHeaderView::sectionResized, this, &TEnhListView::SectionResized);
    header()->viewport()->installEventFilter(this);
}

void TEnhListView::StoreOnlyUserWidths(int formerDefaultWidth)
{
    m_formerDefaultWidth = formerDefaultWidth;
}

bool TEnhListView::IsUserWidth(int column) const
{
    return m_formerDefaultWidth == 0 || (m_userWidths & ColumnBit(column)) != 0;
}

bool TEnhListView::eventFilter(QObject* watched, QEvent* event)
{
    // Between a press and its release in the header, a section that changes size is the user's doing.
    if (watched == header()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            m_userResizing = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            m_userResizing = false;
    }
    return QTreeView::eventFilter(watched, event);
}

void TEnhListView::SectionResized(int column)
{
    // The stretched last section follows the others and the window; it is never the user's width.
    const bool stretched = header()->stretchLastSection() && column == header()->count() - 1;
    if (m_userResizing && !stretched)
        m_userWidths |= ColumnBit(column);
}

void TEnhListView::SetColumnsKey(const QString& key)
{
    m_columnsKey = key;
}

void TEnhListView::RestoreColumnWidths()
{
    if (m_columnsKey.isEmpty() || !model())
        return;
    const TRegistryKey key(m_columnsKey);
    const bool marked = key.ValueExists(UserWidthsName);
    const auto userWidths = quint64(key.ReadString(UserWidthsName, QString()).toULongLong());
    m_userWidths = 0;
    for (int column = 0; column < model()->columnCount(); ++column) {
        const int width = key.ReadInteger(WidthName(column), 0);
        const bool userWidth = m_formerDefaultWidth == 0 || (marked ? (userWidths & ColumnBit(column)) != 0
                                                                     : width != m_formerDefaultWidth);
        if (width > 0 && userWidth) {
            setColumnWidth(column, width);
            m_userWidths |= ColumnBit(column);
        }
    }
    const int sortColumn = key.ReadInteger(SortColumnName, -1);
    m_sortColumn = sortColumn < model()->columnCount() ? sortColumn : -1;
    m_sortOrder = key.ReadBool(SortDescendingName, false) ? Qt::DescendingOrder : Qt::AscendingOrder;
    header()->setSortIndicatorShown(m_sortColumn >= 0);
    if (m_sortColumn >= 0)
        header()->setSortIndicator(m_sortColumn, m_sortOrder);
}

void TEnhListView::ApplySort()
{
    if (model() && m_sortColumn >= 0)
        model()->sort(m_sortColumn, m_sortOrder);
}

void TEnhListView::SaveColumnWidths() const
{
    if (m_columnsKey.isEmpty() || !model())
        return;
    TRegistryKey key(m_columnsKey);
    for (int column = 0; column < model()->columnCount(); ++column) {
        if (IsUserWidth(column))
            key.WriteInteger(WidthName(column), columnWidth(column));
        else
            key.DeleteValue(WidthName(column));
    }
    if (m_formerDefaultWidth != 0)
        key.WriteString(UserWidthsName, QString::number(m_userWidths));
    key.WriteInteger(SortColumnName, m_sortColumn);
    key.WriteBool(SortDescendingName, m_sortOrder == Qt::DescendingOrder);
}

int TEnhListView::SelectedCount() const
{
    return selectionModel() ? int(selectionModel()->selectedRows().size()) : 0;
}

int TEnhListView::FocusedRow() const
{
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

QList<int> TEnhListView::SelectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TEnhListView::SelectRow(int row, bool focus)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const QModelIndex index = model()->index(row, 0);
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (focus)
        selectionModel()->setCurrentIndex(index, flags);
    else
        selectionModel()->select(index, flags);
}

void TEnhListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    emit SelectionChanged();
}

void TEnhListView::HeaderClick(int column)
{
    if (!model())
        return;
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_sortOrder);
    model()->sort(column, m_sortOrder);
}

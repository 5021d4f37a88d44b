#include "AddressListModel.h"

#include <QApplication>
#include <QFont>
#include <QStyle>

#include <algorithm>

TAddressListModel::TAddressListModel(QObject* parent)
    : QAbstractTableModel(parent), Captions{QStringLiteral("Name"), QStringLiteral("E-Mail")},
      m_contactIcon(QIcon::fromTheme(QStringLiteral("x-office-contact"), QApplication::style()->standardIcon(QStyle::SP_FileIcon))),
      m_groupIcon(QIcon::fromTheme(QStringLiteral("system-users"), QApplication::style()->standardIcon(QStyle::SP_DirIcon)))
{
}

void TAddressListModel::SetRows(const QList<TAddressRow>& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

int TAddressListModel::RowOfRecord(int record) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].Record == record)
            return row;
    return -1;
}

int TAddressListModel::AppendRow(const TAddressRow& row)
{
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
    m_rows.append(row);
    endInsertRows();
    return int(m_rows.size()) - 1;
}

void TAddressListModel::ReplaceRow(int row, const TAddressRow& value)
{
    m_rows[row] = value;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TAddressListModel::RemoveRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows) {
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    }
}

int TAddressListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TAddressListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TAddressListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const TAddressRow& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == NameColumn ? row.Caption : row.Email;
    case Qt::DecorationRole:
        return index.column() == NameColumn ? (row.Group ? m_groupIcon : m_contactIcon) : QVariant();
    case Qt::FontRole: {
        if (!row.Group)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

QVariant TAddressListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return Captions.value(section);
    return {};
}

void TAddressListModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged();
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const TAddressRow& a, const TAddressRow& b) {
        const QString& left = column == NameColumn ? a.Caption : a.Email;
        const QString& right = column == NameColumn ? b.Caption : b.Email;
        const int compared = left.compare(right, Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? compared < 0 : compared > 0;
    });
    emit layoutChanged();
}

#include "MessageListModel.h"

#include "LmserverTexts.h"
#include "qmdates.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int IconSize = 16;

void DrawArrow(QPainter& painter, const QColor& color, int left)
{
    painter.setPen(QPen(color, 2));
    painter.drawLine(left + 4, 2, left + 4, 12);
    painter.drawLine(left + 1, 9, left + 4, 13);
    painter.drawLine(left + 7, 9, left + 4, 13);
}

void DrawCross(QPainter& painter, const QColor& color, int left)
{
    painter.setPen(QPen(color, 2));
    painter.drawLine(left + 1, 4, left + 7, 12);
    painter.drawLine(left + 7, 4, left + 1, 12);
}

void DrawCheck(QPainter& painter, const QColor& color)
{
    painter.setPen(QPen(color, 2));
    painter.drawLine(3, 8, 6, 12);
    painter.drawLine(6, 12, 13, 3);
}

QVariant SortKey(const TMessageLine& line, int column)
{
    switch (column) {
    case TMessageListModel::ColSender: return line.Sender.toLower();
    case TMessageListModel::ColDate: return MailDateToGMT(line.Date.toUtf8());
    case TMessageListModel::ColBytes: return line.Listed.Size;
    case TMessageListModel::ColFolder: return ShownFolderName(line.Folder).toLower();
    default: return line.Subject.toLower();
    }
}

} // namespace

QImage MarkImage(const QString& mark)
{
    if (mark == Mark::Nothing)
        return {};
    QImage image(IconSize, IconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor green(0, 140, 0);
    const QColor red(200, 0, 0);
    if (mark == Mark::Get)
        DrawArrow(painter, green, 4);
    else if (mark == Mark::Delete)
        DrawCross(painter, red, 4);
    else if (mark == Mark::GetDelete) {
        DrawArrow(painter, green, 0);
        DrawCross(painter, red, 8);
    } else if (mark == Mark::Got)
        DrawCheck(painter, green);
    else
        DrawCross(painter, QColor(128, 128, 128), 4);
    return image;
}

TMessageListModel::TMessageListModel(const TMessageTable& table, QObject* parent) : QAbstractTableModel(parent), m_table(table)
{
}

void TMessageListModel::SetServer(int server)
{
    beginResetModel();
    m_server = server >= 0 && server < m_table.Servers().size() ? server : -1;
    m_positions.clear();
    const int count = m_server >= 0 ? m_table.Servers().at(m_server).Count : 0;
    for (int position = 0; position < count; ++position)
        m_positions.append(position);
    endResetModel();
}

void TMessageListModel::ShowNewLines()
{
    if (m_server < 0)
        return;
    // The rows shown are positions 0..n-1 in some order, so the new ones are n and up.
    const int shown = int(m_positions.size());
    const int count = m_table.Servers().at(m_server).Count;
    if (count <= shown)
        return;
    beginInsertRows({}, shown, count - 1);
    for (int position = shown; position < count; ++position)
        m_positions.append(position);
    endInsertRows();
}

void TMessageListModel::LineChanged(int tableRow)
{
    const int row = RowOfTableRow(tableRow);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int TMessageListModel::TableRow(int row) const
{
    if (m_server < 0 || row < 0 || row >= m_positions.size())
        return -1;
    return m_table.Servers().at(m_server).FirstLine + m_positions.at(row);
}

int TMessageListModel::RowOfTableRow(int tableRow) const
{
    if (m_server < 0)
        return -1;
    return int(m_positions.indexOf(tableRow - m_table.Servers().at(m_server).FirstLine));
}

void TMessageListModel::SetCaptions(const QStringList& captions)
{
    m_captions = captions;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

const TMessageLine& TMessageListModel::LineOfRow(int row) const
{
    return m_table.Lines().at(TableRow(row));
}

int TMessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_positions.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_positions.size())
        return {};
    const TMessageLine& line = LineOfRow(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ColSubject: return line.Subject;
        case ColSender: return line.Sender;
        case ColDate: return line.Date;
        case ColBytes: return line.Size;
        case ColFolder: return line.Folder.isEmpty() ? QString() : ShownFolderName(line.Folder);
        default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == ColSubject)
        return MarkImage(line.MarkText);
    if (role == Qt::ToolTipRole && index.column() == ColSubject)
        return line.MarkText;
    if (role == Qt::TextAlignmentRole && index.column() == ColBytes)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return m_captions.value(section);
}

void TMessageListModel::sort(int column, Qt::SortOrder order)
{
    if (m_server < 0)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QVector<int> positionsBefore;
    for (const QModelIndex& index : before)
        positionsBefore.append(m_positions.at(index.row()));
    const int first = m_table.Servers().at(m_server).FirstLine;
    QVector<QVariant> keys;
    for (int position = 0; position < m_positions.size(); ++position)
        keys.append(SortKey(m_table.Lines().at(first + position), column));
    std::stable_sort(m_positions.begin(), m_positions.end(), [&](int a, int b) {
        const auto comparison = QVariant::compare(keys.at(a), keys.at(b));
        return order == Qt::AscendingOrder ? comparison == QPartialOrdering::Less : comparison == QPartialOrdering::Greater;
    });
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
        after.append(index(int(m_positions.indexOf(positionsBefore.at(i))), before.at(i).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

#include "ListviewFunctions.h"

#include "qmdates.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <numeric>

namespace {

constexpr int FromCaptionId = 14;
constexpr int SubjectCaptionId = 15;
constexpr int DateCaptionId = 16;
constexpr int ToCaptionId = 17;
const QString MissingCaption = QStringLiteral("Error");

QString ColumnValueName(const char* german, const char* english)
{
    return QString::fromLatin1(IsEnglish() ? english : german);
}

// Index texts are UTF-8 when written by this suite; older 8-bit text shows as Latin-1.
QString TextOf(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

bool RecordInMessageFile(const TIndexRecord& record, qint64 messageFileSize)
{
    return record.Offset >= 0 && record.Length > 0 && qint64(record.Offset) + record.Length <= messageFileSize;
}

} // namespace

QStringList DefaultColumnCaptions()
{
    return {MessageText(FromCaptionId), MessageText(SubjectCaptionId), MessageText(DateCaptionId),
            MessageText(ToCaptionId)};
}

TColumnKind ColumnKindOf(const QString& caption)
{
    if (caption == MessageText(FromCaptionId))
        return TColumnKind::From;
    if (caption == MessageText(SubjectCaptionId))
        return TColumnKind::Subject;
    if (caption == MessageText(DateCaptionId))
        return TColumnKind::Date;
    return TColumnKind::To;
}

QList<TColumn> ColumnsOf(const QStringList& captions, bool exchangeFromTo)
{
    const QString from = MessageText(FromCaptionId);
    const QString to = MessageText(ToCaptionId);
    QList<TColumn> columns;
    for (QString caption : captions) {
        if (exchangeFromTo && caption == from)
            caption = to;
        else if (exchangeFromTo && caption == to)
            caption = from;
        columns.append(TColumn{caption, ColumnKindOf(caption)});
    }
    return columns;
}

QStringList LoadColumnCaptions(const QString& columnsKey)
{
    const TRegistryKey key(columnsKey);
    const int count = key.ReadInteger(ColumnValueName("Count", "ECount"), 0);
    if (count < 1)
        return DefaultColumnCaptions();
    const QString captionName = ColumnValueName("Caption", "ECaption");
    QStringList captions;
    for (int i = 0; i < count; ++i)
        captions.append(key.ReadString(captionName + QString::number(i), MissingCaption));
    return captions;
}

void SaveColumnCaptions(const QString& columnsKey, const QStringList& captions)
{
    TRegistryKey key(columnsKey);
    key.WriteInteger(ColumnValueName("Count", "ECount"), int(captions.size()));
    const QString captionName = ColumnValueName("Caption", "ECaption");
    for (qsizetype i = 0; i < captions.size(); ++i)
        key.WriteString(captionName + QString::number(i), captions[i]);
}

int ImageIndexOfFlags(qint32 flags)
{
    return (flags & mfRead ? 2 : 0) + (flags & mfAttachments ? 1 : 0) + (flags & mfHeld ? 4 : 0);
}

TMessageListModel::TMessageListModel(QObject* parent) : QAbstractTableModel(parent)
{
    m_boldFont.setBold(true);
}

bool TMessageListModel::Load(const TFolderFiles& folder)
{
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    m_damagedRecords = 0;
    QFile file(folder.IndexFile);
    const bool readable = file.open(QIODevice::ReadOnly);
    if (readable)
        m_index = file.readAll();
    const bool current = readable && m_index.size() >= IndexRecordSize
        && detail::DecodeIndexRecord(QByteArrayView(m_index).first(IndexRecordSize)).Subject == IndexFormatMark;
    if (!current) {
        m_index.clear();
        endResetModel();
        return false;
    }
    const qint64 messageFileSize = QFileInfo(folder.MessageFile).size();
    const qsizetype records = m_index.size() / IndexRecordSize;
    m_rows.reserve(records - 1);
    for (qsizetype n = 1; n < records; ++n) {
        const TIndexRecord record = detail::DecodeIndexRecord(QByteArrayView(m_index).sliced(n * IndexRecordSize, IndexRecordSize));
        if (record.Deleted)
            continue;
        if (RecordInMessageFile(record, messageFileSize))
            m_rows.append(TListEntry{qint32(n), record.Offset, record.Length, record.Flags});
        else
            ++m_damagedRecords;
    }
    m_rows.squeeze();
    m_index.squeeze();
    endResetModel();
    return true;
}

void TMessageListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_index.clear();
    m_index.squeeze();
    endResetModel();
}

void TMessageListModel::SetColumns(const QList<TColumn>& columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

void TMessageListModel::SetImages(const QList<QIcon>& images)
{
    m_images = images;
}

void TMessageListModel::SetDateFormat(const QString& format)
{
    m_dateFormat = format;
}

void TMessageListModel::SetFlags(int row, qint32 flags)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].Flags = flags;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

qsizetype TMessageListModel::MemoryUsed() const
{
    return m_index.capacity() + m_rows.capacity() * qsizetype(sizeof(TListEntry));
}

int TMessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QByteArrayView TMessageListModel::RecordBytes(const TListEntry& entry) const
{
    return QByteArrayView(m_index).sliced(qsizetype(entry.Record) * IndexRecordSize, IndexRecordSize);
}

QString TMessageListModel::CellText(const TIndexRecord& record, TColumnKind kind) const
{
    switch (kind) {
    case TColumnKind::From:
        return TextOf(record.From);
    case TColumnKind::Subject:
        return TextOf(record.Subject);
    case TColumnKind::Date:
        return record.Date == 0 ? QString() : DateTimeToQDateTime(record.Date).toString(m_dateFormat);
    case TColumnKind::To:
        return TextOf(record.To);
    }
    return {};
}

QVariant TMessageListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TListEntry& entry = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return CellText(detail::DecodeIndexRecord(RecordBytes(entry)), m_columns.at(index.column()).Kind);
    case Qt::DecorationRole: {
        const int image = ImageIndexOfFlags(entry.Flags);
        if (index.column() == 0 && image < m_images.size())
            return m_images.at(image);
        return {};
    }
    case Qt::FontRole:
        if (!(entry.Flags & mfRead))
            return m_boldFont;
        return {};
    default:
        return {};
    }
}

QVariant TMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_columns.size())
        return {};
    return m_columns.at(section).Caption;
}

bool TMessageListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) || section < 0
        || section >= m_columns.size())
        return false;
    m_columns[section].Caption = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

void TMessageListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns.size() || m_rows.size() < 2)
        return;
    const TColumnKind kind = m_columns.at(column).Kind;
    QList<int> order_(m_rows.size());
    std::iota(order_.begin(), order_.end(), 0);
    if (kind == TColumnKind::Date) {
        QList<double> keys(m_rows.size());
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            keys[i] = detail::DecodeIndexRecord(RecordBytes(m_rows[i])).Date;
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    } else {
        QStringList keys(m_rows.size());
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            keys[i] = CellText(detail::DecodeIndexRecord(RecordBytes(m_rows[i])), kind).toCaseFolded();
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    }
    if (order == Qt::DescendingOrder)
        std::reverse(order_.begin(), order_.end());
    Reorder(order_);
}

void TMessageListModel::Reorder(const QList<int>& newOrder)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> newRowOf(m_rows.size());
    QList<TListEntry> rows;
    rows.reserve(m_rows.size());
    for (qsizetype i = 0; i < newOrder.size(); ++i) {
        rows.append(m_rows[newOrder[i]]);
        newRowOf[newOrder[i]] = int(i);
    }
    m_rows = std::move(rows);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[old.row()], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

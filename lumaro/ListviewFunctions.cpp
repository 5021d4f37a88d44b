#include "ListviewFunctions.h"

#include "ListSorting.h"
#include "qmdates.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <limits>

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
QString TextOf(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

bool RecordInMessageFile(qint32 offset, qint32 length, qint64 messageFileSize)
{
    return offset >= 0 && length > 0 && qint64(offset) + length <= messageFileSize;
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

QList<int> FittedColumnWidths(const QList<TColumnFit>& columns, int available, int minimum)
{
    QList<int> widths;
    QList<int> natural;
    int space = available;
    for (const TColumnFit& column : columns) {
        widths.append(column.UserWidth > 0 ? column.UserWidth : column.Natural);
        if (column.UserWidth > 0)
            space -= column.UserWidth;
        else
            natural.append(column.Natural);
    }
    // The narrow columns keep their width; what is left is shared by the wide ones.
    std::sort(natural.begin(), natural.end());
    int cap = std::numeric_limits<int>::max();
    for (qsizetype i = 0; i < natural.size(); ++i) {
        const int share = space / int(natural.size() - i);
        if (natural[i] > share) {
            cap = std::max(share, minimum);
            break;
        }
        space -= natural[i];
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns[i].UserWidth <= 0)
            widths[i] = std::min(widths[i], cap);
    }
    return widths;
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
    // Emptied, not freed: the next folder fills the memory of the last one where it fits. Fresh memory
    // of a folder's size costs more to take from the system than to fill.
    m_rows.resize(0);
    m_index.resize(0);
    m_damagedRecords = 0;
    const bool current = ReadIndex(folder.IndexFile);
    if (!current) {
        m_index.resize(0);
        endResetModel();
        return false;
    }
    const qint64 messageFileSize = QFileInfo(folder.MessageFile).size();
    const qsizetype records = m_index.size() / IndexRecordSize;
    // Read in place: a million records pass in milliseconds when nothing is copied out of them.
    if (m_rows.capacity() < records - 1) {
        m_rows = QList<TListEntry>();
        m_rows.reserve(records - 1);
    }
    m_rows.resize(records - 1);
    TListEntry* row = m_rows.data();
    for (qsizetype n = 1; n < records; ++n) {
        const detail::TIndexRecordView record(m_index.constData() + n * IndexRecordSize);
        if (record.Deleted())
            continue;
        if (RecordInMessageFile(record.Offset(), record.Length(), messageFileSize))
            *row++ = TListEntry{qint32(n), record.Offset(), record.Length(), record.Flags()};
        else
            ++m_damagedRecords;
    }
    m_rows.resize(row - m_rows.data());
    endResetModel();
    return true;
}

bool TMessageListModel::ReadIndex(const QString& indexPath)
{
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Whole records only, read into one buffer of that size.
    const qint64 size = file.size() / IndexRecordSize * IndexRecordSize;
    if (size < IndexRecordSize)
        return false;
    if (m_index.capacity() < size)
        m_index = QByteArray(size, Qt::Uninitialized);
    else
        m_index.resize(size);
    if (file.read(m_index.data(), size) != size)
        return false;
    return detail::DecodeIndexRecord(QByteArrayView(m_index).first(IndexRecordSize)).Subject == IndexFormatMark;
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

int TMessageListModel::UnreadCount() const
{
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(), [](const TListEntry& row) { return (row.Flags & mfRead) == 0; }));
}

int TMessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TMessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

detail::TIndexRecordView TMessageListModel::RecordOf(const TListEntry& entry) const
{
    return detail::TIndexRecordView(m_index.constData() + qsizetype(entry.Record) * IndexRecordSize);
}

QString TMessageListModel::CellText(detail::TIndexRecordView record, TColumnKind kind) const
{
    switch (kind) {
    case TColumnKind::From:
        return TextOf(record.From());
    case TColumnKind::Subject:
        return TextOf(record.Subject());
    case TColumnKind::Date:
        return record.Date() == 0 ? QString() : DateTimeToQDateTime(record.Date()).toString(m_dateFormat);
    case TColumnKind::To:
        return TextOf(record.To());
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
        return CellText(RecordOf(entry), m_columns.at(index.column()).Kind);
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
    QList<qint32> newOrder = AscendingOrder(m_columns.at(column).Kind);
    // Descending is the ascending order read backwards, equal rows included.
    if (order == Qt::DescendingOrder)
        std::reverse(newOrder.begin(), newOrder.end());
    Reorder(newOrder);
}

QList<qint32> TMessageListModel::AscendingOrder(TColumnKind kind) const
{
    const auto count = qint32(m_rows.size());
    if (kind == TColumnKind::Date)
        return AscendingByDate(count, [&](qint32 row) { return RecordOf(m_rows[row]).Date(); });
    // Texts other than ASCII are compared case-folded; they are few, and only they are copied.
    QList<QByteArray> folded;
    return AscendingByText(count, [&](qint32 row) -> QByteArrayView {
        const detail::TIndexRecordView record = RecordOf(m_rows[row]);
        const QByteArrayView text = kind == TColumnKind::From ? record.From()
            : kind == TColumnKind::Subject                   ? record.Subject()
                                                             : record.To();
        if (IsAscii(text))
            return text;
        folded.append(TextOf(text).toCaseFolded().toUtf8());
        return folded.last();
    });
}

void TMessageListModel::Reorder(const QList<qint32>& newOrder)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<TListEntry> rows(m_rows.size());
    for (qsizetype i = 0; i < newOrder.size(); ++i)
        rows[i] = m_rows[newOrder[i]];
    m_rows.swap(rows);
    rows.clear();
    rows.squeeze();
    if (!before.isEmpty()) {
        QList<qint32> newRowOf(newOrder.size());
        for (qsizetype i = 0; i < newOrder.size(); ++i)
            newRowOf[newOrder[i]] = qint32(i);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& old : before)
            after.append(index(newRowOf[old.row()], old.column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

#pragma once
// The message list of the main window: the column list (captions decide the content: From, Subject,
// Date, anything else the recipient) and the model over one folder's index.
//
// TMessageListModel keeps the folder's index file in memory as it is on disk and, per row, only the
// 16-byte list entry (record number, offset, length, flags); texts are decoded from the record when a
// view asks for a row on screen. Sorting builds compact keys for the time of the sort and reorders
// the row vector; changing a row never re-sorts. The memory of the largest folder loaded stays with
// the model for the next load until Clear().

#include "DBMailboxFunctions.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QStringList>

enum class TColumnKind { From, Subject, Date, To };

struct TColumn {
    QString Caption;
    TColumnKind Kind = TColumnKind::To;
};

// Strings 14 to 17 in the active language.
QStringList DefaultColumnCaptions();
TColumnKind ColumnKindOf(const QString& caption);
// The columns of `captions`; with `exchangeFromTo` (Outbox, Templates, Sent) From and To swap places.
QList<TColumn> ColumnsOf(const QStringList& captions, bool exchangeFromTo);

// The column list stored in the user's columns key for the active language (Count/Caption<i> in
// German, ECount/ECaption<i> in English); the default list when the count is missing or below 1.
QStringList LoadColumnCaptions(const QString& columnsKey);
void SaveColumnCaptions(const QString& columnsKey, const QStringList& captions);

// One column of the list for FittedColumnWidths: the width its texts and caption need, and the width
// the user set (0: none).
struct TColumnFit {
    int Natural = 0;
    int UserWidth = 0;
};

// The widths of the columns in `available` pixels: a width the user set stays; the others get their
// natural width, and when they would not all fit, the widest of them are narrowed to one common width
// (never below `minimum`), so that no column is pushed out of view by another.
QList<int> FittedColumnWidths(const QList<TColumnFit>& columns, int available, int minimum);

// The row image: 2 when read, plus 1 with attachments, plus 4 when held.
int ImageIndexOfFlags(qint32 flags);

class TMessageListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TMessageListModel(QObject* parent = nullptr);

    // Loads the live, readable records of the folder in record order. False (and an empty list) when
    // the index cannot be read or does not carry the index format mark.
    bool Load(const TFolderFiles& folder);
    // Live records of the last Load that point outside the message file and were left out.
    int DamagedRecords() const { return m_damagedRecords; }
    void Clear();
    void SetColumns(const QList<TColumn>& columns);
    const QList<TColumn>& Columns() const { return m_columns; }
    void SetImages(const QList<QIcon>& images);
    void SetDateFormat(const QString& format);

    const TListEntry& Entry(int row) const { return m_rows.at(row); }
    // Updates the row's flags in place (no re-sort).
    void SetFlags(int row, qint32 flags);
    // Bytes held for the rows, the index image included.
    qsizetype MemoryUsed() const;
    // Rows not marked read.
    int UnreadCount() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // Reads the whole records of the index; false unless it carries the format mark.
    bool ReadIndex(const QString& indexPath);
    detail::TIndexRecordView RecordOf(const TListEntry& entry) const;
    QString CellText(detail::TIndexRecordView record, TColumnKind kind) const;
    // Row positions in ascending order of the column's texts or dates; equal keys keep their order.
    QList<qint32> AscendingOrder(TColumnKind kind) const;
    void Reorder(const QList<qint32>& newOrder);

    QByteArray m_index;
    int m_damagedRecords = 0;
    QList<TListEntry> m_rows;
    QList<TColumn> m_columns;
    QList<QIcon> m_images;
    QString m_dateFormat;
    QFont m_boldFont;
};

#pragma once
// The rows of the list: the lines of one server of the message table, with the columns subject,
// sender, date, bytes and (IMAP) folder and the mark as an icon. Sorting reorders the rows the model keeps (the
// positions on the server), never the table; rows that change or arrive keep their places.

#include "MessageTable.h"

#include <QAbstractTableModel>
#include <QVector>

class TMessageListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Must not be reordered: the stored column widths follow it.
    enum TColumn { ColSubject, ColSender, ColDate, ColBytes, ColFolder, ColumnCount };

    // `table` outlives the model.
    explicit TMessageListModel(const TMessageTable& table, QObject* parent = nullptr);

    // Shows the lines of `server` (-1: none) in server order.
    void SetServer(int server);
    int ShownServer() const { return m_server; }
    // The table changed under the shown server as a whole.
    void Reload() { SetServer(m_server); }
    // Shows the lines appended to the shown server since the last call, in one insertion.
    void ShowNewLines();
    void LineChanged(int tableRow);
    // The table row of a list row, and the list row of a table row (-1 when not shown).
    int TableRow(int row) const;
    int RowOfTableRow(int tableRow) const;
    // Captions from the string table ("Betreff|Absender|Datum|Bytes|Ordner").
    void SetCaptions(const QStringList& captions);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    const TMessageLine& LineOfRow(int row) const;

    const TMessageTable& m_table;
    int m_server = -1;
    // Positions on the server, in display order.
    QVector<int> m_positions;
    QStringList m_captions;
};

// The icon of a mark (a null image for NOP), drawn so that it needs no image files.
QImage MarkImage(const QString& mark);

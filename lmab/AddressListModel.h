#pragma once
// The rows of the address list: name and address, groups in bold with their own image. Sorting
// reorders the rows once; a changed row stays where it is.

#include "AddressFunctions.h"

#include <QAbstractTableModel>
#include <QIcon>

class TAddressListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, EmailColumn, ColumnCount };

    explicit TAddressListModel(QObject* parent = nullptr);

    void SetRows(const QList<TAddressRow>& rows);
    const TAddressRow& Row(int row) const { return m_rows.at(row); }
    // The row of record `record`, or -1.
    int RowOfRecord(int record) const;
    int AppendRow(const TAddressRow& row);
    void ReplaceRow(int row, const TAddressRow& value);
    void RemoveRows(QList<int> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // "Name|E-Mail", or the English captions.
    QStringList Captions;

private:
    QList<TAddressRow> m_rows;
    QIcon m_contactIcon;
    QIcon m_groupIcon;
};

#pragma once
// The sortable report-style list of the suite's programs: a tree view without root decoration over a
// table model, uniform row heights, multi-select. A click on a header sorts the model by that column
// (a second click on the same header reverses the order) and the header shows the arrow. The view
// never re-sorts on its own, so changed rows stay where they are. Column widths and the sort state
// are kept in a registry key the program sets at run time.

#include <QString>
#include <QTreeView>

class TEnhListView : public QTreeView {
    Q_OBJECT
public:
    explicit TEnhListView(QWidget* parent = nullptr);

    // The registry key of the column widths ("Users/<user>/Columns/lumaro").
    void SetColumnsKey(const QString& key);
    // Restores the widths and the sort state stored for the columns the model has now; call after
    // creating the columns.
    void RestoreColumnWidths();
    // From now on only the widths the user set (by dragging or double-clicking a border in the header)
    // are stored; the program chooses the others each time. Widths stored before, when every width was
    // stored, count as set by the user unless they are `formerDefaultWidth`, what the program chose then.
    void StoreOnlyUserWidths(int formerDefaultWidth);
    // Whether the user set the column's width (always true without StoreOnlyUserWidths).
    bool IsUserWidth(int column) const;
    // The columns changed: no width is the user's any more.
    void ForgetUserWidths() { m_userWidths = 0; }
    // Sorts freshly loaded rows by the current sort state (nothing when unsorted).
    void ApplySort();
    void SaveColumnWidths() const;

    int SelectedCount() const;
    // The focused row, or -1.
    int FocusedRow() const;
    // Selected rows in ascending order.
    QList<int> SelectedRows() const;
    void SelectRow(int row, bool focus = true);

    // The sort column (-1: unsorted) and order of the last header click.
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }

signals:
    void SelectionChanged();

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void HeaderClick(int column);
    void SectionResized(int column);

    QString m_columnsKey;
    // Set by StoreOnlyUserWidths: 0 stores every width.
    int m_formerDefaultWidth = 0;
    quint64 m_userWidths = 0;
    bool m_userResizing = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

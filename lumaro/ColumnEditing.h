#pragma once
// The columns dialog as data: the displayed column list being edited, the selection in it, the
// button states and the edit steps.

#include <QStringList>

struct TColumnButtons {
    bool Up = false;
    bool Down = false;
    bool Add = false;
    bool Remove = false;
    bool Ok = false;
};

// `availableRow` and `displayedRow` are the selected rows (-1 for none).
TColumnButtons ColumnButtonStates(int availableRow, int displayedRow, int displayedCount);

// Each returns the displayed row selected afterwards.
// Inserts `caption` before the selected row (at the end without one); a caption may appear twice.
int AddColumn(QStringList& displayed, const QString& caption, int displayedRow);
// Removes the selected row and selects the first (-1 when the list is empty).
int RemoveColumn(QStringList& displayed, int displayedRow);
// Exchanges the selected row with its neighbour `step` (-1 up, +1 down) and keeps it selected.
int MoveColumn(QStringList& displayed, int displayedRow, int step);

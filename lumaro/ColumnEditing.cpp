#include "ColumnEditing.h"

TColumnButtons ColumnButtonStates(int availableRow, int displayedRow, int displayedCount)
{
    TColumnButtons buttons;
    const bool displayedSelected = displayedRow >= 0 && displayedRow < displayedCount;
    buttons.Up = displayedSelected && displayedRow > 0;
    buttons.Down = displayedSelected && displayedRow < displayedCount - 1;
    buttons.Add = availableRow >= 0;
    buttons.Remove = displayedSelected;
    buttons.Ok = displayedCount > 0;
    return buttons;
}

int AddColumn(QStringList& displayed, const QString& caption, int displayedRow)
{
    const int at = displayedRow >= 0 && displayedRow < displayed.size() ? displayedRow : int(displayed.size());
    displayed.insert(at, caption);
    return at;
}

int RemoveColumn(QStringList& displayed, int displayedRow)
{
    if (displayedRow >= 0 && displayedRow < displayed.size())
        displayed.removeAt(displayedRow);
    return displayed.isEmpty() ? -1 : 0;
}

int MoveColumn(QStringList& displayed, int displayedRow, int step)
{
    const int target = displayedRow + step;
    if (displayedRow < 0 || displayedRow >= displayed.size() || target < 0 || target >= displayed.size())
        return displayedRow;
    displayed.swapItemsAt(displayedRow, target);
    return target;
}

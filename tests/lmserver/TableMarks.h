#pragma once
// The marks of every line of a message table, in table order: what most checks compare.

#include "MessageTable.h"

#include <QStringList>

inline QStringList Marks(const TMessageTable& table)
{
    QStringList marks;
    for (const TMessageLine& line : table.Lines())
        marks.append(line.MarkText);
    return marks;
}

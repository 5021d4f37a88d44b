#pragma once
// Sorting the rows of a large message list by compact keys, built for the time of one sort: a date
// sorts by its bits, a text by its bytes sixteen at a time, looking further only where rows still
// agree. Both sorts are stable: rows with equal keys keep the order they had.

#include <QByteArrayView>
#include <QList>

#include <functional>

// Positions 0 to count - 1 in ascending order of `dateOf(position)`, a date-time value.
QList<qint32> AscendingByDate(qint32 count, const std::function<double(qint32)>& dateOf);

// Positions 0 to count - 1 in ascending order of `textOf(position)`, compared byte by byte without
// regard to the case of ASCII letters (a caller folds other letters beforehand). The texts must stay
// valid until the call returns.
QList<qint32> AscendingByText(qint32 count, const std::function<QByteArrayView(qint32)>& textOf);

// True when every byte of `text` is ASCII, looked at eight bytes at a time.
bool IsAscii(QByteArrayView text);

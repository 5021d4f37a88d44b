#pragma once
// Saving and restoring a window's position as a 16-byte registry value named after the form.

#include <QRect>
#include <QString>

class QWidget;

// Writes the placement of `form` under its object name in registry key `key`.
void SaveFormPlacement(const QWidget& form, const QString& key);
// Moves and sizes `form` as stored, maximizing it for a stored Top of -999; leaves it unchanged
// when nothing (or nothing valid) is stored. A stored place beyond the available screen area (another
// monitor then, a smaller screen now) is brought back onto it.
void RestoreFormPlacement(QWidget& form, const QString& key);

// `window` made to fit into `available`: no larger than it, and moved inside it.
QRect FittedOnScreen(const QRect& window, const QRect& available);

#pragma once
// Saving and restoring a window's position as a 16-byte registry value named after the form.

#include <QString>

class QWidget;

// Writes the placement of `form` under its object name in registry key `key`.
void SaveFormPlacement(const QWidget& form, const QString& key);
// Moves and sizes `form` as stored, maximizing it for a stored Top of -999; leaves it unchanged
// when nothing (or nothing valid) is stored.
void RestoreFormPlacement(QWidget& form, const QString& key);

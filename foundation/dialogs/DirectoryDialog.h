#pragma once
// Choosing a directory: directories only, starting at `start`.

#include <QString>

#include <optional>

class QWidget;

// The chosen directory, or nothing on Cancel.
std::optional<QString> BrowseDirectory(QWidget* parent, const QString& caption, const QString& start);

#pragma once
// Pieces every page of the account wizard is built from.

class QLabel;
class QString;
class QWidget;

// The page's title: bold and larger, tagged German caption.
QLabel* NewPageTitle(QWidget* parent, const QString& caption, int tag);
// A label for a result the page reports: wrapped, selectable, set to the top left.
QLabel* NewResultLabel(QWidget* parent, const char* name);

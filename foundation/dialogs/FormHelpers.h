#pragma once
// Small builders of the programs' forms: named fields, and tagged labels and check boxes whose
// English texts come from the string table.

#include <QString>

class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QPushButton;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

// A line edit named `name`, at most `capacity` characters.
QLineEdit* NewEdit(QWidget* parent, const char* name, int capacity);
// Adds a row with a tagged German label whose buddy is `field`.
QLabel* AddRow(QFormLayout* layout, const QString& caption, int tag, QWidget* field);
QComboBox* NewCombo(QWidget* parent, const char* name, bool editable);
// A push button and a label with a tagged German caption; the label's buddy is `buddy` when given.
QPushButton* NewButton(QWidget* parent, const QString& caption, int tag);
QLabel* NewLabel(QWidget* parent, const QString& caption, int tag, QWidget* buddy = nullptr);
QCheckBox* NewCheckBox(QWidget* parent, const char* name, const QString& caption, int tag);
// OK and Cancel, named and tagged (`okTag`, Cancel `okTag` + 1), connected to accept and reject.
QDialogButtonBox* NewDialogButtons(QDialog* dialog, QPushButton*& okBtn, QPushButton*& cancelBtn, int okTag);
// Makes `window` a single instance's window: it listens under its title and, on message 3026 of a
// second start, is restored and brought to the front.
void ListenForRestore(QWidget* window);

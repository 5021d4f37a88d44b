#pragma once
// The buttons the main client's dialogs share: a named button with its translation tag, and the
// right-aligned row of OK (default, accepts) and Cancel (rejects) with any further buttons after them.

#include <QString>

#include <initializer_list>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

inline constexpr int OKButtonTag = 164;
// The shared "Cancel" text of the confirmation window.
inline constexpr int CancelButtonTag = 513;

QPushButton* TaggedButton(QWidget* parent, const char* name, int tag, const QString& caption);

struct TDialogButtons {
    QPushButton* OK;
    QPushButton* Cancel;
    QHBoxLayout* Row;
};

TDialogButtons CreateDialogButtons(QDialog* dialog, std::initializer_list<QPushButton*> further = {});

#pragma once
// Building blocks of the main client's dialogs: widgets created with their German text and the tag
// of their English text.

#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

QPushButton* TaggedButton(const QString& text, int tag, QWidget* parent);
QLabel* TaggedLabel(const QString& text, int tag, QWidget* parent);
QCheckBox* TaggedCheckBox(const QString& text, int tag, QWidget* parent);

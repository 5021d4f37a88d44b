#pragma once
// The password window: a caption, a line of text and a hidden entry field, OK and Cancel.

#include <QByteArray>
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordFrm : public QDialog {
    Q_OBJECT
public:
    explicit TPasswordFrm(QWidget* parent = nullptr);

    // The typed password, or nothing when the user cancelled.
    static std::optional<QByteArray> Ask(QWidget* parent, const QString& caption, const QString& text);

    QLabel* PromptLbl;
    QLineEdit* PasswordEdt;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

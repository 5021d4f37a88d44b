#pragma once
// The find dialog of the message window: a text and the options; each "Weitersuchen" hands a
// find request to the owner, which searches from the end of its selection.

#include <QDialog>
#include <QTextDocument>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TFindFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFindFrm(QWidget* parent = nullptr);

    std::function<void(const QString& text, QTextDocument::FindFlags flags)> Find;

    QLineEdit* FindEdt;
    QCheckBox* CaseChk;
    QCheckBox* WordChk;
    QPushButton* FindBtn;
    QPushButton* CloseBtn;
};

#pragma once
// The user chooser at start: all users, the current one preselected, and "don't ask me again".

#include "UserFunctions.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

class TChooseUserFrm : public QDialog {
    Q_OBJECT
public:
    explicit TChooseUserFrm(QWidget* parent = nullptr);

    void Setup(const QStringList& users, const QString& current, bool askAtStart);
    TUserChoice Choice() const;

    QComboBox* UsersCmb;
    QCheckBox* NotChooseUserChk;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

// The chooser as StartActiveUser wants it: modal, nothing on Cancel.
std::optional<TUserChoice> ShowUserChooser(const QStringList& users, const QString& current, bool askAtStart);

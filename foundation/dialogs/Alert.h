#pragma once
// The confirmation window with "don't show this warning again": a warning or question icon, the
// text, Yes/No/Cancel and an optional check box. Callers keep the setting (a flag of the user's
// "Warnings" key, true = ask) and hand it in; Confirm writes the box's state back.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The dialog results the callers compare with.
enum TAlertResult { arCancel = 2, arYes = 6, arNo = 7 };
enum class TAlertIcon { Warning, Question };

class TAlertFrm : public QDialog {
    Q_OBJECT
public:
    explicit TAlertFrm(QWidget* parent = nullptr);

    // An empty caption keeps the translated default ("Bestätigung" / "Confirmation").
    void Setup(TAlertIcon icon, const QString& caption, const QString& text, bool offerCheckBox, bool settingOn);
    bool DontShowAgainTicked() const;

    QLabel* IconImg;
    QLabel* MessageLbl;
    QCheckBox* DontShowChk;
    QPushButton* YesBtn;
    QPushButton* NoBtn;
    QPushButton* CancelBtn;
};

// The setting after the window closed with `result`: Cancel and a box not offered leave it alone;
// otherwise it is on exactly when the box is not ticked.
bool SettingAfterAlert(int result, bool offered, bool ticked, bool setting);

// Shows the window modally with a beep; `iconKind` 0 is the warning icon, anything else the question.
// The check box starts ticked when `setting` is off. Returns arYes, arNo or arCancel.
int Confirm(int iconKind, const QString& caption, bool& setting, bool offerCheckBox, const QString& text,
            QWidget* parent = nullptr);

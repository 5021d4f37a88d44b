#pragma once
// The wizard for the first mail account: six pages (introduction, name, address, servers, mailbox
// login, account name) with Back, Next/Finish and Cancel. It fills only the seven fields it asks for.

#include "AccountEdtRules.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

class TWizzardFrm : public QDialog {
    Q_OBJECT
public:
    explicit TWizzardFrm(QWidget* parent = nullptr);

    // Runs the wizard modally; on Finish `account` becomes the new record with the seven fields.
    static bool Run(QWidget* parent, TAccount& account);

    // The seven fields from `account`.
    void SetAccount(const TAccount& account);
    void ShowPage(int page);
    int CurrentPage() const;
    void PrevBtnClick();
    void NextBtnClick();
    TAccount Account() const;

    QStackedWidget* Pages;
    QWidget* Pan[WizardPageCount];
    QLabel* TitleLbl[WizardPageCount];
    QLineEdit* SmtpNameEdt;
    QLineEdit* SmtpAddressEdt;
    QLineEdit* PopServerEdt;
    QLineEdit* SmtpServerEdt;
    QLineEdit* PopUsernameEdt;
    QLineEdit* PopPasswordEdt;
    QLineEdit* NameEdt;
    QPushButton* PrevBtn;
    QPushButton* NextBtn;
    QPushButton* CancelBtn;

private:
    QWidget* NewPage(int index, const QString& title, int titleTag, const QString& text, int textTag);
    void UpdateButtons();

    QString m_nextCaption;
    QString m_finishCaption;
};

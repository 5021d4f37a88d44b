#pragma once
// The language selector's window: the explanation, the active language, German, English and Quit.

#include <QDialog>

class QLabel;
class QPushButton;

class TChgLangFrm : public QDialog {
    Q_OBJECT
public:
    explicit TChgLangFrm(QWidget* parent = nullptr);

    void GermanBtnClick();
    void EnglishBtnClick();

    QLabel* ExplanationLbl;
    QLabel* CurrentLbl;
    QLabel* LanguageLbl;
    QPushButton* GermanBtn;
    QPushButton* EnglishBtn;
    QPushButton* QuitBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Reads the stored language and sets every text in it.
    void ShowLanguage();
    void FocusOtherLanguage();
};

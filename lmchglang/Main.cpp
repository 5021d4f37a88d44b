#include "Main.h"

#include "LanguageFunctions.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TChgLangFrm::TChgLangFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChgLangFrm"));
    ExplanationLbl = new QLabel(this);
    ExplanationLbl->setWordWrap(true);
    CurrentLbl = new QLabel(this);
    LanguageLbl = new QLabel(this);
    LanguageLbl->setObjectName(QStringLiteral("LanguageLbl"));
    QFont bold = LanguageLbl->font();
    bold.setBold(true);
    LanguageLbl->setFont(bold);
    GermanBtn = new QPushButton(this);
    GermanBtn->setObjectName(QStringLiteral("GermanBtn"));
    EnglishBtn = new QPushButton(this);
    EnglishBtn->setObjectName(QStringLiteral("EnglishBtn"));
    QuitBtn = new QPushButton(this);
    QuitBtn->setObjectName(QStringLiteral("QuitBtn"));
    for (QPushButton* button : {GermanBtn, EnglishBtn, QuitBtn})
        button->setAutoDefault(false);
    connect(GermanBtn, &QPushButton::clicked, this, &TChgLangFrm::GermanBtnClick);
    connect(EnglishBtn, &QPushButton::clicked, this, &TChgLangFrm::EnglishBtnClick);
    connect(QuitBtn, &QPushButton::clicked, this, &QDialog::reject);
    InstallHelpKey(this, HelpContext::Language);

    auto* current = new QHBoxLayout;
    current->addWidget(CurrentLbl);
    current->addWidget(LanguageLbl);
    current->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(GermanBtn);
    buttons->addWidget(EnglishBtn);
    buttons->addStretch();
    buttons->addWidget(QuitBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ExplanationLbl);
    layout->addSpacing(6);
    layout->addLayout(current);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(400);
    ShowLanguage();
}

void TChgLangFrm::ShowLanguage()
{
    SetLanguage(ReadLanguageValue());
    const TSelectorTexts texts = SelectorTexts();
    setWindowTitle(texts.Title);
    ExplanationLbl->setText(texts.Explanation);
    CurrentLbl->setText(texts.CurrentLabel);
    LanguageLbl->setText(texts.CurrentLanguage);
    GermanBtn->setText(texts.GermanButton);
    EnglishBtn->setText(texts.EnglishButton);
    QuitBtn->setText(texts.QuitButton);
}

void TChgLangFrm::FocusOtherLanguage()
{
    (SelectorTexts().FocusEnglishButton ? EnglishBtn : GermanBtn)->setFocus();
}

void TChgLangFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FocusOtherLanguage();
}

void TChgLangFrm::GermanBtnClick()
{
    ChooseLanguage(GermanLanguageValue);
    ShowLanguage();
}

void TChgLangFrm::EnglishBtnClick()
{
    ChooseLanguage(EnglishLanguageValue);
    ShowLanguage();
}

#include "Phrases.h"

#include "FormTranslation.h"
#include "PhraseFunctions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags { FormTag = 600, CategoryTag = 601, InsertTag = 602, InsertCloseTag = 603, CloseTag = 604, PhrasesTag = 605 };

QLabel* TaggedLabel(const QString& text, int tag, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    SetTag(label, tag);
    return label;
}

} // namespace

TPhrasesFrm::TPhrasesFrm(QWidget* parent)
    : QDialog(parent), CategoryCmb(new QComboBox), PhrasesLb(new QListWidget),
      InsertBtn(new QPushButton(QStringLiteral("&Einfügen"))),
      InsertCloseBtn(new QPushButton(QStringLiteral("Einfügen && Schließen"))),
      CloseBtn(new QPushButton(QStringLiteral("Schließen")))
{
    setObjectName(QStringLiteral("TPhrasesFrm"));
    setWindowTitle(QStringLiteral("Floskel einfügen"));
    SetTag(this, FormTag);
    SetTag(InsertBtn, InsertTag);
    SetTag(InsertCloseBtn, InsertCloseTag);
    SetTag(CloseBtn, CloseTag);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(InsertBtn);
    buttons->addWidget(InsertCloseBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TaggedLabel(QStringLiteral("&Kategorie:"), CategoryTag, CategoryCmb));
    layout->addWidget(CategoryCmb);
    layout->addWidget(TaggedLabel(QStringLiteral("&Floskeln:"), PhrasesTag, PhrasesLb));
    layout->addWidget(PhrasesLb);
    layout->addLayout(buttons);
    resize(380, 340);

    connect(CategoryCmb, &QComboBox::currentIndexChanged, this, &TPhrasesFrm::CategoryCmbChange);
    connect(PhrasesLb, &QListWidget::currentRowChanged, this, &TPhrasesFrm::UpdateButtons);
    connect(PhrasesLb, &QListWidget::itemDoubleClicked, this, &TPhrasesFrm::InsertCloseBtnClick);
    connect(InsertBtn, &QPushButton::clicked, this, &TPhrasesFrm::InsertBtnClick);
    connect(InsertCloseBtn, &QPushButton::clicked, this, &TPhrasesFrm::InsertCloseBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    TranslateFormIfEnglish(this);
}

void TPhrasesFrm::showEvent(QShowEvent* event)
{
    Refresh();
    QDialog::showEvent(event);
}

void TPhrasesFrm::Refresh()
{
    const QSignalBlocker blocker(CategoryCmb);
    CategoryCmb->clear();
    CategoryCmb->addItems(PhraseCategories(ScanPhrases()));
    CategoryCmb->setCurrentIndex(0);
    CategoryCmbChange();
}

void TPhrasesFrm::CategoryCmbChange()
{
    PhrasesLb->clear();
    PhrasesLb->addItems(PhrasesOfCategory(ScanPhrases(), CategoryCmb->currentText()));
    PhrasesLb->setCurrentRow(0);
    UpdateButtons();
}

void TPhrasesFrm::UpdateButtons()
{
    const bool chosen = PhrasesLb->currentItem() != nullptr;
    InsertBtn->setEnabled(chosen);
    InsertCloseBtn->setEnabled(chosen);
}

void TPhrasesFrm::InsertBtnClick()
{
    const QListWidgetItem* item = PhrasesLb->currentItem();
    if (item && InsertText)
        InsertText(PhraseText(CategoryCmb->currentText(), item->text()));
}

void TPhrasesFrm::InsertCloseBtnClick()
{
    InsertBtnClick();
    close();
}

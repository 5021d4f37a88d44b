#include "FloskelnConf2.h"

#include "FormTranslation.h"
#include "PhraseFunctions.h"
#include "Reporter.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags { FormTag = 660, InfoTag = 661, NameTag = 662, CategoryTag = 663, TextTag = 664, CancelTag = 665 };
constexpr int MsgErrorLoading = 11;
constexpr int MsgErrorWriting = 12;
constexpr int MsgErrorDeleting = 13;
constexpr int MsgChooseOtherName = 44;

QLabel* Label(const QString& text, int tag, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    SetTag(label, tag);
    return label;
}

} // namespace

TFloskelnConf2Frm::TFloskelnConf2Frm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FloskelnConf2Frm"));
    setWindowTitle(QStringLiteral("Floskel bearbeiten"));
    SetTag(this, FormTag);
    FloskelNameEdt = new QLineEdit(this);
    FloskelNameEdt->setObjectName(QStringLiteral("FloskelNameEdt"));
    QFont bold = FloskelNameEdt->font();
    bold.setBold(true);
    FloskelNameEdt->setFont(bold);
    CategoryCmb = new QComboBox(this);
    CategoryCmb->setObjectName(QStringLiteral("CategoryCmb"));
    CategoryCmb->setEditable(true);
    CategoryCmb->setInsertPolicy(QComboBox::NoInsert);
    FloskelMem = new QPlainTextEdit(this);
    FloskelMem->setObjectName(QStringLiteral("FloskelMem"));
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    SetTag(CancelBtn, CancelTag);
    connect(FloskelNameEdt, &QLineEdit::textChanged, this, &TFloskelnConf2Frm::Changed);
    connect(CategoryCmb, &QComboBox::editTextChanged, this, &TFloskelnConf2Frm::Changed);
    connect(FloskelMem, &QPlainTextEdit::textChanged, this, &TFloskelnConf2Frm::Changed);
    connect(OKBtn, &QPushButton::clicked, this, &TFloskelnConf2Frm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(Label(QStringLiteral("Name der Floskel:"), NameTag, this), FloskelNameEdt);
    form->addRow(Label(QStringLiteral("Kategorie:"), CategoryTag, this), CategoryCmb);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label(QStringLiteral("Bearbeiten Sie hier Ihre Floskel."), InfoTag, this));
    layout->addLayout(form);
    layout->addWidget(Label(QStringLiteral("Floskel festlegen:"), TextTag, this));
    layout->addWidget(FloskelMem, 1);
    layout->addLayout(buttons);
    resize(460, 380);
    TranslateFormIfEnglish(this);
}

void TFloskelnConf2Frm::Setup(const QStringList& categories, const QString& category, const QString& name)
{
    m_oldCategory = category;
    m_oldName = name;
    const QSignalBlocker nameBlocker(FloskelNameEdt);
    const QSignalBlocker categoryBlocker(CategoryCmb);
    const QSignalBlocker textBlocker(FloskelMem);
    CategoryCmb->clear();
    CategoryCmb->addItems(categories);
    CategoryCmb->setEditText(category);
    FloskelNameEdt->setText(name);
    FloskelMem->clear();
    if (!name.isEmpty()) {
        if (ReadPhrase(category, name))
            FloskelMem->setPlainText(PhraseText(category, name));
        else
            Report(MsgErrorLoading, TMessageKind::Warning);
    }
    m_changed = false;
    Changed();
    m_changed = false;
    OKBtn->setEnabled(false);
    (name.isEmpty() ? static_cast<QWidget*>(FloskelNameEdt) : FloskelMem)->setFocus();
}

QString TFloskelnConf2Frm::Category() const
{
    return CategoryCmb->currentText();
}

QString TFloskelnConf2Frm::Name() const
{
    return FloskelNameEdt->text();
}

void TFloskelnConf2Frm::Changed()
{
    m_changed = true;
    OKBtn->setEnabled(m_changed && !FloskelNameEdt->text().isEmpty());
}

void TFloskelnConf2Frm::OKBtnClick()
{
    switch (SaveEditedPhrase(m_oldCategory, m_oldName, Category(), Name(), FloskelMem->toPlainText())) {
    case TPhraseSaveResult::Saved:
        accept();
        return;
    case TPhraseSaveResult::NameTaken:
        Report(MsgChooseOtherName, TMessageKind::Warning);
        return;
    case TPhraseSaveResult::DeleteFailed:
        Report(MsgErrorDeleting, TMessageKind::Warning);
        return;
    case TPhraseSaveResult::WriteFailed:
        Report(MsgErrorWriting, TMessageKind::Warning);
        return;
    }
}

#include "Settings.h"

#include "AddressFunctions.h"
#include "AdrEdt.h"
#include "FormHelpers.h"
#include "FormTranslation.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tag { FormTag = 60, CategoriesTag, AddTag, RemoveTag, StandardTag, OKTag = 39 };

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, int tag)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    SetTag(button, tag);
    return button;
}

} // namespace

QStringList WithCategory(QStringList categories, const QString& text)
{
    if (!text.isEmpty() && !categories.contains(text))
        categories.append(text);
    return categories;
}

TSettingsFrm::TSettingsFrm(const QStringList& categories, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SettingsFrm"));
    setWindowTitle(QStringLiteral("Einstellungen Adressbuch"));
    SetTag(this, FormTag);
    auto* label = new QLabel(QStringLiteral("Kategorien:"), this);
    SetTag(label, CategoriesTag);
    CategoriesLb = new QListWidget(this);
    CategoriesLb->setObjectName(QStringLiteral("CategoriesLb"));
    CategoryEdt = NewEdit(this, "CategoryEdt", 50);
    label->setBuddy(CategoryEdt);
    AddBtn = Button(this, "AddBtn", QStringLiteral("<< &Hinzufügen"), AddTag);
    RemoveBtn = Button(this, "RemoveBtn", QStringLiteral(">> &Entfernen"), RemoveTag);
    StandardBtn = Button(this, "StandardBtn", QStringLiteral("&Standard"), StandardTag);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(CategoryEdt);
    buttons->addWidget(AddBtn);
    buttons->addWidget(RemoveBtn);
    buttons->addStretch();
    buttons->addWidget(StandardBtn);
    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(CategoriesLb, 1, 0);
    grid->addLayout(buttons, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(NewDialogButtons(this, OKBtn, CancelBtn, OKTag));

    connect(AddBtn, &QPushButton::clicked, this, &TSettingsFrm::AddBtnClick);
    connect(RemoveBtn, &QPushButton::clicked, this, &TSettingsFrm::RemoveBtnClick);
    connect(StandardBtn, &QPushButton::clicked, this, &TSettingsFrm::StandardBtnClick);
    connect(CategoriesLb, &QListWidget::itemClicked, this,
            [this](const QListWidgetItem* item) { CategoryEdt->setText(item->text()); });
    connect(CategoriesLb, &QListWidget::currentRowChanged, this, [this](int row) { RemoveBtn->setEnabled(row >= 0); });
    TranslateFormIfEnglish(this);
    SetCategories(categories);
}

bool TSettingsFrm::Run(QWidget* parent, QStringList& categories)
{
    TSettingsFrm form(categories, parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    categories = form.Categories().isEmpty() ? DefaultCategories() : form.Categories();
    WriteCategories(categories);
    return true;
}

void TSettingsFrm::SetCategories(const QStringList& categories)
{
    CategoriesLb->clear();
    CategoriesLb->addItems(categories);
    RemoveBtn->setEnabled(false);
}

QStringList TSettingsFrm::Categories() const
{
    QStringList categories;
    for (int row = 0; row < CategoriesLb->count(); ++row)
        categories.append(CategoriesLb->item(row)->text());
    return categories;
}

void TSettingsFrm::AddBtnClick()
{
    SetCategories(WithCategory(Categories(), CategoryEdt->text().trimmed()));
}

void TSettingsFrm::RemoveBtnClick()
{
    delete CategoriesLb->takeItem(CategoriesLb->currentRow());
}

void TSettingsFrm::StandardBtnClick()
{
    SetCategories(DefaultCategories());
}

#include "EditColumns.h"

#include "ColumnEditing.h"
#include "FormParts.h"
#include "FormTranslation.h"
#include "ShellFunctions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags {
    FormTag = 640,
    InfoTag = 641,
    AvailableTag = 642,
    DisplayedTag = 643,
    AddTag = 644,
    RemoveTag = 645,
    UpTag = 646,
    DownTag = 647,
    StandardTag = 648,
    CancelTag = 649,
};

} // namespace

TEditColumnsFrm::TEditColumnsFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EditColumnsFrm"));
    setWindowTitle(QStringLiteral("Spalten festlegen"));
    SetTag(this, FormTag);
    InfoLbl = TaggedLabel(QStringLiteral("Wählen Sie die Spalten, die angezeigt werden sollen."), InfoTag, this);
    InfoLbl->setWordWrap(true);
    AColumnsLb = new QListWidget(this);
    AColumnsLb->setObjectName(QStringLiteral("AColumnsLb"));
    ColumnsLb = new QListWidget(this);
    ColumnsLb->setObjectName(QStringLiteral("ColumnsLb"));
    AddBtn = TaggedButton(QStringLiteral(">> &Hinzufügen"), AddTag, this);
    RemoveBtn = TaggedButton(QStringLiteral("<< &Entfernen"), RemoveTag, this);
    UpBtn = TaggedButton(QStringLiteral("Nach &oben"), UpTag, this);
    DownBtn = TaggedButton(QStringLiteral("Nach &unten"), DownTag, this);
    StandardBtn = TaggedButton(QStringLiteral("&Standard"), StandardTag, this);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = TaggedButton(QStringLiteral("Abbrechen"), CancelTag, this);

    connect(AColumnsLb, &QListWidget::currentRowChanged, this, &TEditColumnsFrm::RefreshButtons);
    connect(ColumnsLb, &QListWidget::currentRowChanged, this, &TEditColumnsFrm::RefreshButtons);
    connect(AddBtn, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = AColumnsLb->currentItem())
            ShowDisplayed(AddColumn(m_displayed, item->text(), ColumnsLb->currentRow()));
    });
    connect(RemoveBtn, &QPushButton::clicked, this,
            [this] { ShowDisplayed(RemoveColumn(m_displayed, ColumnsLb->currentRow())); });
    connect(UpBtn, &QPushButton::clicked, this,
            [this] { ShowDisplayed(MoveColumn(m_displayed, ColumnsLb->currentRow(), -1)); });
    connect(DownBtn, &QPushButton::clicked, this,
            [this] { ShowDisplayed(MoveColumn(m_displayed, ColumnsLb->currentRow(), 1)); });
    connect(StandardBtn, &QPushButton::clicked, this, [this] {
        m_displayed = m_defaults;
        ShowDisplayed(0);
    });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(AddBtn);
    middle->addWidget(RemoveBtn);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addStretch();
    right->addWidget(UpBtn);
    right->addWidget(DownBtn);
    right->addStretch();
    auto* lists = new QGridLayout;
    lists->addWidget(TaggedLabel(QStringLiteral("Verfügbare Spalten:"), AvailableTag, this), 0, 0);
    lists->addWidget(TaggedLabel(QStringLiteral("Angezeigte Spalten:"), DisplayedTag, this), 0, 2);
    lists->addWidget(AColumnsLb, 1, 0);
    lists->addLayout(middle, 1, 1);
    lists->addWidget(ColumnsLb, 1, 2);
    lists->addLayout(right, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(StandardBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLbl);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
    resize(520, 320);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Columns);
}

void TEditColumnsFrm::Setup(const QStringList& available, const QStringList& defaults, const QStringList& displayed)
{
    m_defaults = defaults;
    m_displayed = displayed;
    AColumnsLb->clear();
    AColumnsLb->addItems(available);
    AColumnsLb->setCurrentRow(0);
    ShowDisplayed(0);
    OKBtn->setFocus();
}

void TEditColumnsFrm::ShowDisplayed(int selectedRow)
{
    const QSignalBlocker blocker(ColumnsLb);
    ColumnsLb->clear();
    ColumnsLb->addItems(m_displayed);
    ColumnsLb->setCurrentRow(selectedRow);
    RefreshButtons();
}

void TEditColumnsFrm::RefreshButtons()
{
    const TColumnButtons buttons = ColumnButtonStates(AColumnsLb->currentRow(), ColumnsLb->currentRow(), int(m_displayed.size()));
    UpBtn->setEnabled(buttons.Up);
    DownBtn->setEnabled(buttons.Down);
    AddBtn->setEnabled(buttons.Add);
    RemoveBtn->setEnabled(buttons.Remove);
    OKBtn->setEnabled(buttons.Ok);
}

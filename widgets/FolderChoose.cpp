#include "FolderChoose.h"

#include "FormTranslation.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int FormTag = 540;
constexpr int CancelTag = 513;

} // namespace

TFolderChooseFrm::TFolderChooseFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FolderChooseFrm"));
    SetTag(this, FormTag);
    setWindowTitle(QStringLiteral("Ordner auswählen"));
    FolderTv = new QTreeWidget(this);
    FolderTv->setObjectName(QStringLiteral("FolderTv"));
    FolderTv->setHeaderHidden(true);
    FolderTv->setSelectionMode(QAbstractItemView::SingleSelection);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    SetTag(CancelBtn, CancelTag);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(FolderTv, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(FolderTv, &QTreeWidget::itemSelectionChanged, this,
            [this] { OKBtn->setEnabled(!FolderTv->selectedItems().isEmpty()); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FolderTv, 1);
    layout->addLayout(buttons);
    resize(300, 360);
    TranslateFormIfEnglish(this);
}

void TFolderChooseFrm::Setup(const QTreeWidget& source, const QString& caption)
{
    FolderTv->clear();
    for (int i = 0; i < source.topLevelItemCount(); ++i)
        FolderTv->addTopLevelItem(source.topLevelItem(i)->clone());
    FolderTv->expandAll();
    if (FolderTv->topLevelItemCount() > 0)
        FolderTv->setCurrentItem(FolderTv->topLevelItem(0));
    OKBtn->setEnabled(FolderTv->currentItem() != nullptr);
    setWindowTitle(caption);
}

QString TFolderChooseFrm::ChosenFolder() const
{
    const QList<QTreeWidgetItem*> selected = FolderTv->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->data(0, Qt::UserRole).toString();
}

QString ChooseFolder(const QTreeWidget& source, const QString& caption, QWidget* parent)
{
    TFolderChooseFrm chooser(parent);
    chooser.Setup(source, caption);
    return chooser.exec() == QDialog::Accepted ? chooser.ChosenFolder() : QString();
}

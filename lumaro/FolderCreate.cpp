#include "FolderCreate.h"

#include "FormTranslation.h"
#include "Images.h"
#include "ShellFunctions.h"
#include "TreeviewFunctions.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Tags { NameTag = 600, ParentTag = 601, CancelTag = 602 };
const QString RootText = QStringLiteral("Lumaro Mail");

} // namespace

TFolderCreateFrm::TFolderCreateFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FolderCreateFrm"));
    FolderLbl = new QLabel(QStringLiteral("&Name:"), this);
    SetTag(FolderLbl, NameTag);
    FolderEdt = new QLineEdit(this);
    FolderEdt->setObjectName(QStringLiteral("FolderEdt"));
    FolderLbl->setBuddy(FolderEdt);
    ParentLbl = new QLabel(QStringLiteral("Übergeordneter Ordner:"), this);
    SetTag(ParentLbl, ParentTag);
    FolderTv = new QTreeWidget(this);
    FolderTv->setObjectName(QStringLiteral("FolderTv"));
    FolderTv->setHeaderHidden(true);
    OKBtn = new QPushButton(this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    SetTag(CancelBtn, CancelTag);
    connect(FolderEdt, &QLineEdit::textChanged, this, &TFolderCreateFrm::FolderEdtChange);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FolderLbl);
    layout->addWidget(FolderEdt);
    layout->addWidget(ParentLbl);
    layout->addWidget(FolderTv, 1);
    layout->addLayout(buttons);
    resize(320, 360);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::FolderCreate);
}

void TFolderCreateFrm::Setup(const TFolderDialogSetup& setup)
{
    setWindowTitle(setup.Caption);
    OKBtn->setText(setup.OkCaption);
    FolderTv->clear();
    const QList<QIcon> images = FolderTreeImages();
    auto* root = new QTreeWidgetItem(QStringList{RootText});
    root->setIcon(0, images.value(tiRoot));
    FolderTv->addTopLevelItem(root);
    FolderTv->setCurrentItem(root);
    for (const QString& parent : setup.Parents) {
        auto* node = new QTreeWidgetItem(root, QStringList{parent});
        node->setIcon(0, images.value(tiFolder));
        node->setData(0, Qt::UserRole, parent);
        if (parent == setup.Parent)
            FolderTv->setCurrentItem(node);
    }
    root->setExpanded(true);
    FolderEdt->setText(setup.Name);
    FolderEdt->selectAll();
    FolderEdt->setFocus();
    FolderEdtChange();
}

QString TFolderCreateFrm::FolderName() const
{
    return FolderEdt->text();
}

QString TFolderCreateFrm::ParentFolder() const
{
    const QTreeWidgetItem* current = FolderTv->currentItem();
    return current ? current->data(0, Qt::UserRole).toString() : QString();
}

void TFolderCreateFrm::FolderEdtChange()
{
    OKBtn->setEnabled(FolderDialogOkEnabled(FolderEdt->text()));
}

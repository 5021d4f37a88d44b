#include "FolderInfo.h"

#include "FormParts.h"
#include "FormTranslation.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags {
    SizeTag = 610,
    RecordsTag = 611,
    DisplayedTag = 612,
    DeletedTag = 613,
    NeededTag = 614,
    ReorganizeTag = 615,
    RenameTag = 616,
    CloseTag = 617,
    NoTag = 618,
};

QLabel* Value(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TFolderInfoFrm::TFolderInfoFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FolderInfoFrm"));
    SizeLbl = Value(this);
    RecordsLbl = Value(this);
    DisplayedLbl = Value(this);
    DeletedLbl = Value(this);
    // The compaction is never overdue by itself: the user decides when to reorganise.
    ReorganizeNeededLbl = TaggedLabel(QStringLiteral("nein"), NoTag, this);
    ReorganizeNeededLbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ReorganizeBtn = TaggedButton(QStringLiteral("Re&organisieren"), ReorganizeTag, this);
    RenameBtn = TaggedButton(QStringLiteral("&Umbenennen"), RenameTag, this);
    CloseBtn = TaggedButton(QStringLiteral("&Schließen"), CloseTag, this);
    CloseBtn->setDefault(true);
    RenameRefusalLbl = new QLabel(this);
    RenameRefusalLbl->setWordWrap(true);
    RenameRefusalLbl->setVisible(false);
    connect(ReorganizeBtn, &QPushButton::clicked, this, [this] { done(ReorganizeChosen); });
    connect(RenameBtn, &QPushButton::clicked, this, [this] { done(RenameChosen); });
    connect(CloseBtn, &QPushButton::clicked, this, [this] { done(Closed); });

    auto* form = new QFormLayout;
    form->addRow(TaggedLabel(QStringLiteral("Größe der Ordnerdatei in Bytes:"), SizeTag, this), SizeLbl);
    form->addRow(TaggedLabel(QStringLiteral("Anzahl der Einträge:"), RecordsTag, this), RecordsLbl);
    form->addRow(TaggedLabel(QStringLiteral("Angezeigte Nachrichten:"), DisplayedTag, this), DisplayedLbl);
    form->addRow(TaggedLabel(QStringLiteral("Gelöschte Nachrichten:"), DeletedTag, this), DeletedLbl);
    form->addRow(TaggedLabel(QStringLiteral("Reorganisation nötig:"), NeededTag, this), ReorganizeNeededLbl);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ReorganizeBtn);
    buttons->addWidget(RenameBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(RenameRefusalLbl);
    setMinimumWidth(340);
    TranslateFormIfEnglish(this);
}

void TFolderInfoFrm::Show(const TFolderInfo& info)
{
    setWindowTitle(info.Caption);
    const QLocale locale;
    SizeLbl->setText(locale.toString(info.Size));
    RecordsLbl->setText(locale.toString(info.Records));
    DisplayedLbl->setText(locale.toString(info.Displayed));
    DeletedLbl->setText(locale.toString(info.Deleted));
    RenameBtn->setEnabled(info.RenameAllowed);
    RenameBtn->setToolTip(info.RenameRefusal);
    RenameRefusalLbl->setText(info.RenameRefusal);
    RenameRefusalLbl->setVisible(!info.RenameRefusal.isEmpty());
}

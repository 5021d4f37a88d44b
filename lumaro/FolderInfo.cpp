#include "FolderInfo.h"

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

QLabel* Caption(const QString& text, int tag, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    SetTag(label, tag);
    return label;
}

QLabel* Value(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* Button(const QString& text, int tag, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    SetTag(button, tag);
    return button;
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
    ReorganizeNeededLbl = Caption(QStringLiteral("nein"), NoTag, this);
    ReorganizeNeededLbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ReorganizeBtn = Button(QStringLiteral("Re&organisieren"), ReorganizeTag, this);
    RenameBtn = Button(QStringLiteral("&Umbenennen"), RenameTag, this);
    CloseBtn = Button(QStringLiteral("&Schließen"), CloseTag, this);
    CloseBtn->setDefault(true);
    connect(ReorganizeBtn, &QPushButton::clicked, this, [this] { done(ReorganizeChosen); });
    connect(RenameBtn, &QPushButton::clicked, this, [this] { done(RenameChosen); });
    connect(CloseBtn, &QPushButton::clicked, this, [this] { done(Closed); });

    auto* form = new QFormLayout;
    form->addRow(Caption(QStringLiteral("Größe der Ordnerdatei in Bytes:"), SizeTag, this), SizeLbl);
    form->addRow(Caption(QStringLiteral("Anzahl der Einträge:"), RecordsTag, this), RecordsLbl);
    form->addRow(Caption(QStringLiteral("Angezeigte Nachrichten:"), DisplayedTag, this), DisplayedLbl);
    form->addRow(Caption(QStringLiteral("Gelöschte Nachrichten:"), DeletedTag, this), DeletedLbl);
    form->addRow(Caption(QStringLiteral("Reorganisation nötig:"), NeededTag, this), ReorganizeNeededLbl);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ReorganizeBtn);
    buttons->addWidget(RenameBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
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
}

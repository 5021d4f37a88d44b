#include "AdrChoose.h"

#include "DBAddressFunctions.h"
#include "FormTranslation.h"
#include "Reporter.h"
#include "qmutils.h"
#include "tk_langlib.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The contact's preferred sender, subject and signature may come from a message.
QLabel* PlainLabel()
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    return label;
}

enum Tags {
    FormTag = 610, ColumnsTag, ToAddTag, CCAddTag, BCCAddTag, DelTag, AdrBookTag, CategoryTag, OKTag, CancelTag,
    SenderTag, SubjectTag, SignatureTag
};
constexpr int MsgAllCategories = 512;
constexpr int MsgContactUnreadable = 690;
constexpr int RecordRole = Qt::UserRole;

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

QPushButton* TaggedButton(const QString& text, int tag)
{
    auto* button = new QPushButton(text);
    SetTag(button, tag);
    return button;
}

QLabel* Caption(const QString& text, int tag)
{
    auto* label = new QLabel(text);
    SetTag(label, tag);
    return label;
}

QStringList ItemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

} // namespace

QStringList RecipientAddressesOf(const TAddressRecord& record)
{
    if (!record.Group) {
        const QByteArray address = record.Email.trimmed();
        // A field of several addresses has no one name to go with them.
        if (address.contains(','))
            return {Text(address)};
        return {Text(FormatMailbox((record.FirstName + ' ' + record.LastName).trimmed(), address))};
    }
    QStringList addresses;
    if (record.RecordFormat < 1) {
        for (const QByteArray& address : record.Email.split(',')) {
            if (!address.trimmed().isEmpty())
                addresses.append(Text(address.trimmed()));
        }
        return addresses;
    }
    for (const QByteArray& member : ReadGroupMembers(record.Key)) {
        const qsizetype semicolon = member.indexOf(';');
        const QByteArray address = (semicolon < 0 ? member : member.left(semicolon)).trimmed();
        const QByteArray name = semicolon < 0 ? QByteArray() : member.mid(semicolon + 1).trimmed();
        if (!address.isEmpty())
            addresses.append(Text(FormatMailbox(name, address)));
    }
    return addresses;
}

TAdrChooseFrm::TAdrChooseFrm(const QString& categories, QWidget* parent)
    : QDialog(parent), AdrBookBtn(new QToolButton), CategoryCmb(new QComboBox), Listview(new QTreeWidget),
      ToAddBtn(TaggedButton(QStringLiteral("&An: ->"), ToAddTag)),
      CCAddBtn(TaggedButton(QStringLiteral("&CC: ->"), CCAddTag)),
      BCCAddBtn(TaggedButton(QStringLiteral("&BCC: ->"), BCCAddTag)),
      ToDelBtn(TaggedButton(QStringLiteral("<-"), DelTag)), CCDelBtn(TaggedButton(QStringLiteral("<-"), DelTag)),
      BCCDelBtn(TaggedButton(QStringLiteral("<-"), DelTag)), ToLb(new QListWidget), CCLb(new QListWidget),
      BCCLb(new QListWidget), SenderLbl(PlainLabel()), SubjectLbl(PlainLabel()), SignatureLbl(PlainLabel()),
      OKBtn(TaggedButton(QStringLiteral("OK"), OKTag)), CancelBtn(TaggedButton(QStringLiteral("Abbrechen"), CancelTag))
{
    setObjectName(QStringLiteral("TAdrChooseFrm"));
    setWindowTitle(QStringLiteral("Empfänger auswählen"));
    SetTag(this, FormTag);
    AdrBookBtn->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    AdrBookBtn->setText(QStringLiteral("Adressbuch"));
    AdrBookBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SetTag(AdrBookBtn, AdrBookTag);
    SetCategories(categories.isEmpty() ? QStringList() : categories.split(QLatin1Char('|')));
    Listview->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("E-Mail"), QStringLiteral("Absender"),
                               QStringLiteral("Betreff"), QStringLiteral("Signature")});
    SetTag(Listview, ColumnsTag);
    Listview->setRootIsDecorated(false);
    Listview->setUniformRowHeights(true);
    Listview->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Listview->header()->resizeSection(0, 150);
    Listview->header()->resizeSection(1, 170);

    auto* top = new QHBoxLayout;
    top->addWidget(AdrBookBtn);
    top->addStretch();
    QLabel* categoryLbl = Caption(QStringLiteral("&Kategorie:"), CategoryTag);
    categoryLbl->setBuddy(CategoryCmb);
    top->addWidget(categoryLbl);
    top->addWidget(CategoryCmb);

    auto* lists = new QGridLayout;
    const QList<std::tuple<QPushButton*, QPushButton*, QListWidget*>> rows{
        {ToAddBtn, ToDelBtn, ToLb}, {CCAddBtn, CCDelBtn, CCLb}, {BCCAddBtn, BCCDelBtn, BCCLb}};
    for (int row = 0; row < rows.size(); ++row) {
        const auto [add, del, list] = rows.at(row);
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(add);
        buttons->addWidget(del);
        buttons->addStretch();
        lists->addLayout(buttons, row, 0);
        lists->addWidget(list, row, 1);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setMinimumWidth(200);
    }

    auto* middle = new QHBoxLayout;
    middle->addWidget(Listview, 3);
    middle->addLayout(lists, 2);

    auto* labels = new QGridLayout;
    labels->addWidget(Caption(QStringLiteral("Absender:"), SenderTag), 0, 0);
    labels->addWidget(SenderLbl, 0, 1);
    labels->addWidget(Caption(QStringLiteral("Betreff:"), SubjectTag), 1, 0);
    labels->addWidget(SubjectLbl, 1, 1);
    labels->addWidget(Caption(QStringLiteral("Signatur:"), SignatureTag), 2, 0);
    labels->addWidget(SignatureLbl, 2, 1);
    labels->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addLayout(labels, 1);
    buttons->addWidget(OKBtn, 0, Qt::AlignBottom);
    buttons->addWidget(CancelBtn, 0, Qt::AlignBottom);
    OKBtn->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    resize(820, 500);

    connect(CategoryCmb, &QComboBox::currentIndexChanged, this, &TAdrChooseFrm::FillList);
    connect(Listview, &QTreeWidget::itemDoubleClicked, this, [this] { AddSelected(TRecipientList::To); });
    connect(ToAddBtn, &QPushButton::clicked, this, [this] { AddSelected(TRecipientList::To); });
    connect(CCAddBtn, &QPushButton::clicked, this, [this] { AddSelected(TRecipientList::CC); });
    connect(BCCAddBtn, &QPushButton::clicked, this, [this] { AddSelected(TRecipientList::BCC); });
    connect(ToDelBtn, &QPushButton::clicked, this, [this] { RemoveSelected(ToLb); });
    connect(CCDelBtn, &QPushButton::clicked, this, [this] { RemoveSelected(CCLb); });
    connect(BCCDelBtn, &QPushButton::clicked, this, [this] { RemoveSelected(BCCLb); });
    connect(AdrBookBtn, &QToolButton::clicked, this, [this] {
        if (RunAddressBook)
            RunAddressBook();
        FillList();
    });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    TranslateFormIfEnglish(this);
    FillList();
}

void TAdrChooseFrm::SetCategories(const QStringList& categories)
{
    const QString chosen = CategoryCmb->currentIndex() > 0 ? CategoryCmb->currentText() : QString();
    const QSignalBlocker quiet(CategoryCmb);
    CategoryCmb->clear();
    CategoryCmb->addItem(MessageText(MsgAllCategories));
    CategoryCmb->addItems(categories);
    CategoryCmb->setCurrentIndex(qMax(0, CategoryCmb->findText(chosen)));
}

void TAdrChooseFrm::FillList()
{
    Listview->clear();
    const bool all = CategoryCmb->currentIndex() <= 0;
    const QByteArray category = CategoryCmb->currentText().toUtf8();
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k) {
        const std::optional<TAddressRecord> record = ReadAddress(k);
        if (!record || (!all && record->Category.compare(category, Qt::CaseInsensitive) != 0))
            continue;
        const QString name = record->Group ? Text(record->Key)
                                           : (Text(record->FirstName) + QLatin1Char(' ') + Text(record->LastName)).trimmed();
        auto* item = new QTreeWidgetItem(Listview, {name, Text(record->Email), Text(record->PreferredSender),
                                                    Text(record->DefaultSubject), Text(record->Signature)});
        item->setData(0, RecordRole, k);
        if (record->Group)
            item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    }
    Listview->sortItems(0, Qt::AscendingOrder);
}

void TAdrChooseFrm::SetLists(const QStringList& to, const QStringList& cc, const QStringList& bcc, TRecipientList focused)
{
    ToLb->clear();
    ToLb->addItems(to);
    CCLb->clear();
    CCLb->addItems(cc);
    BCCLb->clear();
    BCCLb->addItems(bcc);
    ListOf(focused)->setFocus();
}

QStringList TAdrChooseFrm::Addresses(TRecipientList list) const
{
    return ItemTexts(ListOf(list));
}

QListWidget* TAdrChooseFrm::ListOf(TRecipientList list) const
{
    switch (list) {
    case TRecipientList::CC:
        return CCLb;
    case TRecipientList::BCC:
        return BCCLb;
    case TRecipientList::To:
        break;
    }
    return ToLb;
}

void TAdrChooseFrm::AddSelected(TRecipientList list)
{
    for (const QTreeWidgetItem* item : Listview->selectedItems()) {
        const std::optional<TAddressRecord> record = ReadAddress(item->data(0, RecordRole).toInt());
        if (!record) {
            Report(MsgContactUnreadable, TMessageKind::Warning);
            continue;
        }
        ListOf(list)->addItems(RecipientAddressesOf(*record));
        if (list == TRecipientList::To && !record->Group)
            TakeOverPreferences(*record);
    }
}

void TAdrChooseFrm::TakeOverPreferences(const TAddressRecord& record)
{
    if (record.PreferredSender.isEmpty())
        return;
    SenderLbl->setText(Text(record.PreferredSender));
    SubjectLbl->setText(Text(record.DefaultSubject));
    SignatureLbl->setText(Text(record.Signature));
}

void TAdrChooseFrm::RemoveSelected(QListWidget* list)
{
    qDeleteAll(list->selectedItems());
}

void TAdrChooseFrm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        for (QListWidget* list : {ToLb, CCLb, BCCLb}) {
            if (list->hasFocus())
                RemoveSelected(list);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

#include "GroupEdt.h"

#include "AddressFunctions.h"
#include "AdrEdt.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"
#include "qmutils.h"
#include "ReportBoxes.h"

#include <QDialogButtonBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

enum Tag {
    FormTag = 41, GroupPageTag, MembersPageTag, NameTag, AddressTag, DisplayNameTag, AddTag, RemoveTag, ContactsTag,
    CategoryTag = 31, SenderTag = 35, SignatureTag = 36, SubjectTag = 37, InfoTag = 38, OKTag = 39
};

constexpr int RecordRole = Qt::UserRole;
constexpr int EmailRole = Qt::UserRole + 1;
constexpr int CaptionRole = Qt::UserRole + 2;

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

TGroupEdtFrm::TGroupEdtFrm(const QStringList& categories, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("GroupEdtFrm"));
    setWindowTitle(QStringLiteral("Gruppe bearbeiten"));
    SetTag(this, FormTag);
    AskQuestion = [this](const QString& question) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    PageControl = new QTabWidget(this);
    PageControl->addTab(GroupPage(), QStringLiteral("Gruppe"));
    PageControl->addTab(MembersPage(), QStringLiteral("Mitglieder"));
    SetTag(PageControl->widget(0), GroupPageTag);
    SetTag(PageControl->widget(1), MembersPageTag);
    CategoryCmb->addItems(categories);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addWidget(NewDialogButtons(this, OKBtn, CancelBtn, OKTag));
    connect(NameEdt, &QLineEdit::textChanged, this, [this](const QString& text) { OKBtn->setEnabled(!text.trimmed().isEmpty()); });
    resize(560, 400);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Group);
    SetRecord(TAddressRecord{}, {});
}

QWidget* TGroupEdtFrm::GroupPage()
{
    auto* page = new QWidget;
    NameEdt = NewEdit(page, "NameEdt", 82);
    CategoryCmb = NewCombo(page, "CategoryCmb", true);
    SenderCmb = NewCombo(page, "SenderCmb", false);
    SubjectEdt = NewEdit(page, "SubjectEdt", 80);
    SignatureCmb = NewCombo(page, "SignatureCmb", false);
    InfoEdt = NewEdit(page, "InfoEdt", 255);
    auto* form = new QFormLayout(page);
    AddRow(form, QStringLiteral("Gruppen&name:"), NameTag, NameEdt);
    AddRow(form, QStringLiteral("&Kategorie:"), CategoryTag, CategoryCmb);
    AddRow(form, QStringLiteral("&Bevorzugter Absender:"), SenderTag, SenderCmb);
    AddRow(form, QStringLiteral("Vorgabebe&treff:"), SubjectTag, SubjectEdt);
    AddRow(form, QStringLiteral("&Signatur:"), SignatureTag, SignatureCmb);
    AddRow(form, QStringLiteral("&Infos:"), InfoTag, InfoEdt);
    return page;
}

QWidget* TGroupEdtFrm::MembersPage()
{
    auto* page = new QWidget;
    MembersLb = new QListWidget(page);
    MembersLb->setObjectName(QStringLiteral("MembersLb"));
    AddressEdt = NewEdit(page, "AddressEdt", 255);
    DisplayNameEdt = NewEdit(page, "DisplayNameEdt", 255);
    AddBtn = new QPushButton(QStringLiteral("<< &Hinzufügen"), page);
    AddBtn->setObjectName(QStringLiteral("AddBtn"));
    SetTag(AddBtn, AddTag);
    RemoveBtn = new QPushButton(QStringLiteral("Ent&fernen >>"), page);
    RemoveBtn->setObjectName(QStringLiteral("RemoveBtn"));
    SetTag(RemoveBtn, RemoveTag);
    ContactsLb = new QListWidget(page);
    ContactsLb->setObjectName(QStringLiteral("ContactsLb"));
    auto* fields = new QFormLayout;
    AddRow(fields, QStringLiteral("A&dresse:"), AddressTag, AddressEdt);
    AddRow(fields, QStringLiteral("Anzeige&name:"), DisplayNameTag, DisplayNameEdt);
    auto* contactsLbl = new QLabel(QStringLiteral("Kontakte:"), page);
    SetTag(contactsLbl, ContactsTag);
    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addWidget(AddBtn);
    right->addWidget(RemoveBtn);
    right->addWidget(contactsLbl);
    right->addWidget(ContactsLb, 1);
    auto* layout = new QGridLayout(page);
    layout->addWidget(MembersLb, 0, 0);
    layout->addLayout(right, 0, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);

    connect(AddBtn, &QPushButton::clicked, this, &TGroupEdtFrm::AddBtnClick);
    connect(RemoveBtn, &QPushButton::clicked, this, &TGroupEdtFrm::RemoveBtnClick);
    connect(ContactsLb, &QListWidget::itemClicked, this, &TGroupEdtFrm::ContactsLbClick);
    connect(ContactsLb, &QListWidget::itemDoubleClicked, this, [this] {
        ContactsLbClick();
        AddBtnClick();
    });
    connect(MembersLb, &QListWidget::currentRowChanged, this, [this](int row) { RemoveBtn->setEnabled(row >= 0); });
    connect(AddressEdt, &QLineEdit::textChanged, this,
            [this](const QString& text) { AddBtn->setEnabled(!text.trimmed().isEmpty()); });
    return page;
}

bool TGroupEdtFrm::Run(QWidget* parent, TAddressRecord& record, QByteArrayList& members, const QStringList& categories,
                       int own)
{
    TGroupEdtFrm form(categories, parent);
    form.SetRecord(record, members);
    for (int row = form.ContactsLb->count() - 1; row >= 0; --row)
        if (form.ContactsLb->item(row)->data(RecordRole).toInt() == own)
            delete form.ContactsLb->takeItem(row);
    if (form.exec() != QDialog::Accepted)
        return false;
    record = form.Record();
    members = form.Members();
    return true;
}

void TGroupEdtFrm::SetRecord(const TAddressRecord& record, const QByteArrayList& members)
{
    m_record = record;
    NameEdt->setText(Text(record.Key));
    CategoryCmb->setCurrentText(Text(record.Category));
    FillSenderChoice(SenderCmb, record.PreferredSender);
    SubjectEdt->setText(Text(record.DefaultSubject));
    FillSignatureChoice(SignatureCmb, record.Signature);
    InfoEdt->setText(Text(record.Info));
    MembersLb->clear();
    for (const QByteArray& member : members)
        MembersLb->addItem(Text(member));
    ContactsLb->clear();
    for (const TAddressRow& row : AddressRows()) {
        if (row.Group)
            continue;
        auto* item = new QListWidgetItem(row.Email.isEmpty() ? row.Caption : row.Caption + QStringLiteral(" (") + row.Email + QLatin1Char(')'), ContactsLb);
        item->setData(RecordRole, row.Record);
        item->setData(EmailRole, row.Email);
        item->setData(CaptionRole, row.Caption);
    }
    OKBtn->setEnabled(!NameEdt->text().trimmed().isEmpty());
    AddBtn->setEnabled(false);
    RemoveBtn->setEnabled(false);
    PageControl->setCurrentIndex(0);
    NameEdt->setFocus();
}

TAddressRecord TGroupEdtFrm::Record() const
{
    TAddressRecord record = m_record;
    record.Group = true;
    record.Key = CutToCapacity(NameEdt->text().trimmed().toUtf8(), 82);
    record.Category = CategoryCmb->currentText().toUtf8();
    record.PreferredSender = SenderCmb->currentText().toUtf8();
    record.DefaultSubject = SubjectEdt->text().toUtf8();
    record.Signature = SignatureCmb->currentText().toUtf8();
    record.Info = InfoEdt->text().toUtf8();
    record.Email.clear();
    return record;
}

QByteArrayList TGroupEdtFrm::Members() const
{
    QByteArrayList members;
    for (int row = 0; row < MembersLb->count(); ++row)
        members.append(MembersLb->item(row)->text().toUtf8());
    return members;
}

void TGroupEdtFrm::AddBtnClick()
{
    const QByteArray line = MemberLine(AddressEdt->text().trimmed(), DisplayNameEdt->text().trimmed());
    if (line.isEmpty())
        return;
    if (Members().contains(line) && !AskQuestion(MessageText(AddressText::AlreadyMember)))
        return;
    MembersLb->addItem(QString::fromUtf8(line));
    MembersLb->setCurrentRow(MembersLb->count() - 1);
}

void TGroupEdtFrm::RemoveBtnClick()
{
    delete MembersLb->takeItem(MembersLb->currentRow());
}

void TGroupEdtFrm::ContactsLbClick()
{
    const QListWidgetItem* item = ContactsLb->currentItem();
    if (!item)
        return;
    AddressEdt->setText(item->data(EmailRole).toString());
    DisplayNameEdt->setText(item->data(CaptionRole).toString());
}

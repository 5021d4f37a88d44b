#include "AdrEdt.h"

#include "AddressFunctions.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "ShellFunctions.h"
#include "qmutils.h"

#include <QDialogButtonBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tag { FormTag = 30, CategoryTag, LastNameTag, FirstNameTag, EmailTag, SenderTag, SignatureTag, SubjectTag, InfoTag, OKTag };

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

void FillSenderChoice(QComboBox* box, const QByteArray& stored)
{
    box->clear();
    box->addItems(SenderEntries());
    const QString wanted = stored.isEmpty() ? DefaultSenderEntry() : Text(stored);
    if (!wanted.isEmpty() && box->findText(wanted) < 0)
        box->addItem(wanted);
    box->setCurrentIndex(box->findText(wanted));
}

void FillSignatureChoice(QComboBox* box, const QByteArray& stored)
{
    box->clear();
    box->addItem(QString());
    box->addItems(SignatureNames());
    if (!stored.isEmpty() && box->findText(Text(stored)) < 0)
        box->addItem(Text(stored));
    box->setCurrentIndex(std::max(0, box->findText(Text(stored))));
}

void FillCategoryChoice(QComboBox* box, const QStringList& categories, const QByteArray& stored)
{
    box->clear();
    box->addItems(categories);
    box->setCurrentText(Text(stored));
}

TAdrEdtFrm::TAdrEdtFrm(const QStringList& categories, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AdrEdtFrm"));
    setWindowTitle(QStringLiteral("Kontakt bearbeiten"));
    SetTag(this, FormTag);
    CategoryCmb = NewCombo(this, "CategoryCmb", true);
    CategoryCmb->addItems(categories);
    LastNameEdt = NewEdit(this, "LastNameEdt", 50);
    FirstNameEdt = NewEdit(this, "FirstNameEdt", 30);
    EmailEdt = NewEdit(this, "EmailEdt", 255);
    SenderCmb = NewCombo(this, "SenderCmb", false);
    SignatureCmb = NewCombo(this, "SignatureCmb", false);
    SubjectEdt = NewEdit(this, "SubjectEdt", 80);
    InfoEdt = NewEdit(this, "InfoEdt", 255);
    auto* form = new QFormLayout;
    AddRow(form, QStringLiteral("&Kategorie:"), CategoryTag, CategoryCmb);
    AddRow(form, QStringLiteral("&Name:"), LastNameTag, LastNameEdt);
    AddRow(form, QStringLiteral("&Vorname:"), FirstNameTag, FirstNameEdt);
    AddRow(form, QStringLiteral("&E-Mail-Adresse:"), EmailTag, EmailEdt);
    AddRow(form, QStringLiteral("&Bevorzugter Absender:"), SenderTag, SenderCmb);
    AddRow(form, QStringLiteral("&Signatur:"), SignatureTag, SignatureCmb);
    AddRow(form, QStringLiteral("Vorgabebe&treff:"), SubjectTag, SubjectEdt);
    AddRow(form, QStringLiteral("&Infos:"), InfoTag, InfoEdt);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(NewDialogButtons(this, OKBtn, CancelBtn, OKTag));
    connect(LastNameEdt, &QLineEdit::textChanged, this,
            [this](const QString& text) { OKBtn->setEnabled(ContactNameAcceptable(text)); });
    setMinimumWidth(420);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Contact);
    SetRecord(TAddressRecord{});
}

bool TAdrEdtFrm::Run(QWidget* parent, TAddressRecord& record, const QStringList& categories)
{
    TAdrEdtFrm form(categories, parent);
    form.SetRecord(record);
    if (form.exec() != QDialog::Accepted)
        return false;
    record = form.Record();
    return true;
}

void TAdrEdtFrm::SetRecord(const TAddressRecord& record)
{
    m_record = record;
    CategoryCmb->setCurrentText(Text(record.Category));
    LastNameEdt->setText(Text(record.LastName));
    FirstNameEdt->setText(Text(record.FirstName));
    EmailEdt->setText(Text(record.Email));
    FillSenderChoice(SenderCmb, record.PreferredSender);
    FillSignatureChoice(SignatureCmb, record.Signature);
    SubjectEdt->setText(Text(record.DefaultSubject));
    InfoEdt->setText(Text(record.Info));
    OKBtn->setEnabled(ContactNameAcceptable(LastNameEdt->text()));
    LastNameEdt->setFocus();
}

TAddressRecord TAdrEdtFrm::Record() const
{
    TAddressRecord record = m_record;
    record.Category = CategoryCmb->currentText().toUtf8();
    record.LastName = CutToCapacity(LastNameEdt->text().toUtf8(), 50);
    record.FirstName = CutToCapacity(FirstNameEdt->text().toUtf8(), 30);
    record.Key = ContactKey(record.LastName, record.FirstName);
    record.Email = EmailEdt->text().trimmed().toUtf8();
    record.PreferredSender = SenderCmb->currentText().toUtf8();
    record.Signature = SignatureCmb->currentText().toUtf8();
    record.DefaultSubject = SubjectEdt->text().toUtf8();
    record.Info = InfoEdt->text().toUtf8();
    return record;
}

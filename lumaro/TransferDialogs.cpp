#include "TransferDialogs.h"

#include "FormHelpers.h"
#include "FormTranslation.h"
#include "ShellFunctions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum FormTag {
    SendTag = 740, SendServerTag, SendBtnTag,
    ReceiveTag = 745, ReceiveTextTag, ReceiveBtnTag,
    ConfTag = 750, ConfAccountsTag, ConfServerTag, IgnoreSmtpTag, IgnorePopTag, FirstReceiveTag,
    OkTag = 708, CancelTag = 709,
};

QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel)
{
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

void FillServers(QComboBox* combo, const QByteArrayList& servers, const QByteArray& current)
{
    for (const QByteArray& server : servers)
        combo->addItem(QString::fromUtf8(server));
    combo->setCurrentIndex(combo->findText(QString::fromUtf8(current)));
}

void FillAccounts(QListWidget* list, const QByteArrayList& accounts, const QByteArrayList& ticked)
{
    for (const QByteArray& account : accounts) {
        auto* item = new QListWidgetItem(QString::fromUtf8(account), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked.contains(account) ? Qt::Checked : Qt::Unchecked);
    }
}

QByteArrayList TickedAccounts(const QListWidget* list)
{
    QByteArrayList ticked;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            ticked.append(list->item(i)->text().toUtf8());
    return ticked;
}

} // namespace

TSendSimpleFrm::TSendSimpleFrm(const QByteArrayList& smtpServers, const QByteArray& lastServer, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SendSimpleFrm"));
    setWindowTitle(QStringLiteral("Nachrichten senden"));
    SetTag(this, SendTag);
    SmtpServerCmb = new QComboBox(this);
    SmtpServerCmb->setMinimumWidth(280);
    FillServers(SmtpServerCmb, smtpServers, lastServer);
    SendBtn = NewButton(this, QStringLiteral("&Senden"), SendBtnTag);
    CancelBtn = NewButton(this, QStringLiteral("Abbrechen"), CancelTag);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NewLabel(this, QStringLiteral("&SMTP-Server:"), SendServerTag, SmtpServerCmb));
    layout->addWidget(SmtpServerCmb);
    layout->addLayout(ButtonRow(SendBtn, CancelBtn));
    const auto update = [this] { SendBtn->setEnabled(!SmtpServerCmb->currentText().isEmpty()); };
    connect(SmtpServerCmb, &QComboBox::currentIndexChanged, this, update);
    connect(SendBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    update();
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Send);
}

QByteArray TSendSimpleFrm::Server() const
{
    return SmtpServerCmb->currentText().toUtf8();
}

TReceiveMultipleFrm::TReceiveMultipleFrm(const QByteArrayList& accounts, const QByteArrayList& ticked, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReceiveMultipleFrm"));
    setWindowTitle(QStringLiteral("Nachrichten empfangen"));
    SetTag(this, ReceiveTag);
    Listbox = new QListWidget(this);
    Listbox->setMinimumSize(280, 160);
    FillAccounts(Listbox, accounts, ticked);
    ReceiveBtn = NewButton(this, QStringLiteral("&Empfangen"), ReceiveBtnTag);
    CancelBtn = NewButton(this, QStringLiteral("Abbrechen"), CancelTag);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NewLabel(this, QStringLiteral("&Mailkonten:"), ReceiveTextTag, Listbox));
    layout->addWidget(Listbox, 1);
    layout->addLayout(ButtonRow(ReceiveBtn, CancelBtn));
    const auto update = [this] { ReceiveBtn->setEnabled(!Ticked().isEmpty()); };
    connect(Listbox, &QListWidget::itemChanged, this, update);
    connect(ReceiveBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    update();
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Receive);
}

QByteArrayList TReceiveMultipleFrm::Ticked() const
{
    return TickedAccounts(Listbox);
}

TSendReceiveConfFrm::TSendReceiveConfFrm(const QByteArrayList& accounts, const QByteArrayList& smtpServers,
                                         const TTransmitSettings& settings, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SendReceiveConfFrm"));
    setWindowTitle(QStringLiteral("Übermitteln konfigurieren"));
    SetTag(this, ConfTag);
    Listbox = new QListWidget(this);
    Listbox->setMinimumSize(300, 140);
    FillAccounts(Listbox, accounts, settings.PopServers);
    ActionSmtpServerCmb = new QComboBox(this);
    FillServers(ActionSmtpServerCmb, smtpServers, settings.SmtpServer);
    ActionIgnoreSmtpChk = new QCheckBox(QStringLiteral("Senden &deaktivieren"), this);
    SetTag(ActionIgnoreSmtpChk, IgnoreSmtpTag);
    ActionIgnoreSmtpChk->setChecked(settings.IgnoreSmtp);
    ActionIgnorePopChk = new QCheckBox(QStringLiteral("&Empfangen deaktivieren"), this);
    SetTag(ActionIgnorePopChk, IgnorePopTag);
    ActionIgnorePopChk->setChecked(settings.IgnorePop);
    ActionFirstReceiveChk = new QCheckBox(QStringLiteral("Erst empfangen, &dann senden"), this);
    SetTag(ActionFirstReceiveChk, FirstReceiveTag);
    ActionFirstReceiveChk->setChecked(settings.FirstReceive);
    OKBtn = NewButton(this, QStringLiteral("OK"), OkTag);
    CancelBtn = NewButton(this, QStringLiteral("Abbrechen"), CancelTag);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NewLabel(this, QStringLiteral("&Empfangen von:"), ConfAccountsTag, Listbox));
    layout->addWidget(Listbox, 1);
    layout->addWidget(ActionIgnorePopChk);
    layout->addWidget(NewLabel(this, QStringLiteral("&Senden über:"), ConfServerTag, ActionSmtpServerCmb));
    layout->addWidget(ActionSmtpServerCmb);
    layout->addWidget(ActionIgnoreSmtpChk);
    layout->addWidget(ActionFirstReceiveChk);
    layout->addLayout(ButtonRow(OKBtn, CancelBtn));
    const auto update = [this] {
        ActionSmtpServerCmb->setEnabled(!ActionIgnoreSmtpChk->isChecked());
        Listbox->setEnabled(!ActionIgnorePopChk->isChecked());
    };
    connect(ActionIgnoreSmtpChk, &QCheckBox::toggled, this, update);
    connect(ActionIgnorePopChk, &QCheckBox::toggled, this, update);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    update();
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::TransmitSettings);
}

TTransmitSettings TSendReceiveConfFrm::Settings() const
{
    return {ActionSmtpServerCmb->currentText().toUtf8(), TickedAccounts(Listbox), ActionIgnoreSmtpChk->isChecked(),
            ActionIgnorePopChk->isChecked(), ActionFirstReceiveChk->isChecked()};
}

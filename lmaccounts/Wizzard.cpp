#include "Wizzard.h"

#include "FormHelpers.h"
#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

enum Tag {
    FormTag = 60, BackTag, NextTag, FinishTag, CancelTag, IntroTitleTag, IntroTextTag, NameTitleTag, NameTextTag,
    SmtpNameTag, AddressTitleTag, AddressTextTag, AddressTag, ServersTitleTag, ServersTextTag, PopServerTag,
    SmtpServerTag, MailboxTitleTag, MailboxTextTag, PopUserTag, PopPasswordTag, AccountTitleTag, AccountTextTag,
    AccountNameTag
};

} // namespace

TWizzardFrm::TWizzardFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WizzardFrm"));
    setWindowTitle(QStringLiteral("Assistent zur Einrichtung eines Mailkontos"));
    SetTag(this, FormTag);
    Pages = new QStackedWidget(this);

    NewPage(0, QStringLiteral("Einrichtung eines Mailkontos"), IntroTitleTag,
            QStringLiteral("Dieser Assistent richtet ein Mailkonto ein: Ihren Namen und Ihre E-Mail-Adresse, die Server "
                           "Ihres Providers und die Anmeldung an Ihrem Postfach. Alles lässt sich später mit "
                           "Bearbeiten ändern."),
            IntroTextTag);
    QWidget* page = NewPage(1, QStringLiteral("Ihr Name"), NameTitleTag,
                            QStringLiteral("Der Name, den die Empfänger als Absender Ihrer Nachrichten sehen."), NameTextTag);
    SmtpNameEdt = NewEdit(page, "SmtpNameEdt", 50);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&Name:"), SmtpNameTag, SmtpNameEdt);

    page = NewPage(2, QStringLiteral("Ihre E-Mail-Adresse"), AddressTitleTag,
                   QStringLiteral("Die Adresse, an die Ihre Korrespondenzpartner schreiben."), AddressTextTag);
    SmtpAddressEdt = NewEdit(page, "SmtpAddressEdt", 80);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&E-Mail-Adresse:"), AddressTag, SmtpAddressEdt);

    page = NewPage(3, QStringLiteral("Mailserver"), ServersTitleTag,
                   QStringLiteral("Die Server Ihres Providers: von wo eingehende Nachrichten abgeholt (POP3) und "
                                  "wohin ausgehende versendet werden (SMTP)."),
                   ServersTextTag);
    PopServerEdt = NewEdit(page, "PopServerEdt", 50);
    SmtpServerEdt = NewEdit(page, "SmtpServerEdt", 50);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&POP3-Server:"), PopServerTag, PopServerEdt);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&SMTP-Server:"), SmtpServerTag, SmtpServerEdt);

    page = NewPage(4, QStringLiteral("Postfach-Einstellungen"), MailboxTitleTag,
                   QStringLiteral("Die Anmeldung an Ihrem Postfach beim POP3-Server."), MailboxTextTag);
    PopUsernameEdt = NewEdit(page, "PopUsernameEdt", 50);
    PopPasswordEdt = NewEdit(page, "PopPasswordEdt", 50);
    PopPasswordEdt->setEchoMode(QLineEdit::Password);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&POP3-Benutzerkonto:"), PopUserTag, PopUsernameEdt);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("POP3-&Kennwort:"), PopPasswordTag, PopPasswordEdt);

    page = NewPage(5, QStringLiteral("Name des Mailkontos"), AccountTitleTag,
                   QStringLiteral("Der Name, unter dem dieses Konto aufgeführt wird. Mit Fertigstellen wird es angelegt."),
                   AccountTextTag);
    NameEdt = NewEdit(page, "NameEdt", 50);
    AddRow(page->findChild<QFormLayout*>(), QStringLiteral("&Name des Mailkontos:"), AccountNameTag, NameEdt);

    PrevBtn = new QPushButton(QStringLiteral("< &Zurück"), this);
    PrevBtn->setObjectName(QStringLiteral("PrevBtn"));
    SetTag(PrevBtn, BackTag);
    NextBtn = new QPushButton(QStringLiteral("&Weiter >"), this);
    NextBtn->setObjectName(QStringLiteral("NextBtn"));
    NextBtn->setDefault(true);
    SetTag(NextBtn, NextTag);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    SetTag(CancelBtn, CancelTag);
    connect(PrevBtn, &QPushButton::clicked, this, &TWizzardFrm::PrevBtnClick);
    connect(NextBtn, &QPushButton::clicked, this, &TWizzardFrm::NextBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(NameEdt, &QLineEdit::textChanged, this, &TWizzardFrm::UpdateButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(PrevBtn);
    buttons->addWidget(NextBtn);
    buttons->addSpacing(12);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages, 1);
    layout->addLayout(buttons);
    setMinimumSize(500, 300);

    TranslateFormIfEnglish(this);
    m_nextCaption = NextBtn->text();
    m_finishCaption = IsEnglish() ? StringTableText(FinishTag + ComponentTextOffset) : QStringLiteral("&Fertigstellen");
    ShowPage(0);
}

QWidget* TWizzardFrm::NewPage(int index, const QString& title, int titleTag, const QString& text, int textTag)
{
    auto* page = new QWidget(Pages);
    page->setObjectName(QStringLiteral("Pan%1").arg(index + 1));
    TitleLbl[index] = new QLabel(title, page);
    QFont bold = TitleLbl[index]->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    TitleLbl[index]->setFont(bold);
    SetTag(TitleLbl[index], titleTag);
    auto* textLbl = new QLabel(text, page);
    textLbl->setWordWrap(true);
    SetTag(textLbl, textTag);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(TitleLbl[index]);
    layout->addSpacing(8);
    layout->addWidget(textLbl);
    layout->addSpacing(8);
    layout->addLayout(new QFormLayout);
    layout->addStretch();
    Pan[index] = page;
    Pages->addWidget(page);
    return page;
}

bool TWizzardFrm::Run(QWidget* parent, TAccount& account)
{
    TWizzardFrm form(parent);
    // Reopened after a name conflict: what was typed stays, and the account name page is shown.
    if (!account.Name.isEmpty()) {
        form.SetAccount(account);
        form.ShowPage(WizardPageCount - 1);
    }
    if (form.exec() != QDialog::Accepted)
        return false;
    account = form.Account();
    return true;
}

void TWizzardFrm::SetAccount(const TAccount& account)
{
    SmtpNameEdt->setText(QString::fromUtf8(account.SmtpName));
    SmtpAddressEdt->setText(QString::fromUtf8(account.SmtpAddress));
    PopServerEdt->setText(QString::fromUtf8(account.PopServer));
    SmtpServerEdt->setText(QString::fromUtf8(account.SmtpServer));
    PopUsernameEdt->setText(QString::fromUtf8(account.PopUsername));
    PopPasswordEdt->setText(QString::fromUtf8(account.PopPassword));
    NameEdt->setText(QString::fromUtf8(account.Name));
}

int TWizzardFrm::CurrentPage() const
{
    return Pages->currentIndex();
}

void TWizzardFrm::ShowPage(int page)
{
    if (page == WizardPageCount - 1)
        NameEdt->setText(WizardProposedName(NameEdt->text(), SmtpAddressEdt->text().trimmed()));
    Pages->setCurrentIndex(page);
    if (QLineEdit* first = Pan[page]->findChild<QLineEdit*>())
        first->setFocus();
    else
        NextBtn->setFocus();
    UpdateButtons();
}

void TWizzardFrm::UpdateButtons()
{
    const bool last = CurrentPage() == WizardPageCount - 1;
    PrevBtn->setEnabled(CurrentPage() > 0);
    NextBtn->setText(last ? m_finishCaption : m_nextCaption);
    NextBtn->setEnabled(!last || WizardCanFinish(NameEdt->text()));
}

void TWizzardFrm::PrevBtnClick()
{
    if (CurrentPage() > 0)
        ShowPage(CurrentPage() - 1);
}

void TWizzardFrm::NextBtnClick()
{
    if (CurrentPage() == WizardPageCount - 1)
        accept();
    else
        ShowPage(CurrentPage() + 1);
}

TAccount TWizzardFrm::Account() const
{
    TWizardFields fields;
    fields.SmtpName = SmtpNameEdt->text();
    fields.SmtpAddress = SmtpAddressEdt->text().trimmed();
    fields.PopServer = PopServerEdt->text().trimmed();
    fields.SmtpServer = SmtpServerEdt->text().trimmed();
    fields.PopUsername = PopUsernameEdt->text();
    fields.PopPassword = PopPasswordEdt->text();
    fields.Name = NameEdt->text();
    return WizardAccount(fields);
}

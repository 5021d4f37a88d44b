#include "Wizzard.h"

#include "AccountEdtRules.h"
#include "CertificateDialog.h"
#include "ConnectionTestPage.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "LookupPage.h"
#include "WizardPageParts.h"
#include "ReportBoxes.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Tag {
    FormTag = 60, BackTag, NextTag, FinishTag, CancelTag, IntroTitleTag, IntroTextTag, NameTitleTag, NameTextTag,
    SmtpNameTag, AddressTitleTag, AddressTextTag, AddressTag, PopServerTag = 75, SmtpServerTag, MailboxTitleTag,
    MailboxTextTag, PopUserTag, PopPasswordTag, AccountTitleTag, AccountTextTag, AccountNameTag,
    IncomingTitleTag = 620, IncomingTextTag, PopPortTag, PopSecurityTag, PopSecurityCmbTag, PopPlainTextTag,
    OutgoingTitleTag, OutgoingTextTag, SmtpPortTag, SmtpSecurityTag, SmtpSecurityCmbTag, SmtpPlainTextTag, SmtpAuthTag,
    StartTextTag = 700, PasswordTag, LoginTextTag = 708, IncomingProtocolTag = 804
};

const QString PlainTextWarning = QStringLiteral("Achtung: Ohne Verschlüsselung gehen Kennwort und Nachrichten im Klartext "
                                                "über das Netz.");

QComboBox* NewSecurityCombo(QWidget* parent, const char* name, int tag)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    // In the order of WizardSecurityModes.
    combo->addItems({QStringLiteral("STARTTLS erforderlich (empfohlen)"), QStringLiteral("TLS von Anfang an"),
                     QStringLiteral("Keine Verschlüsselung (Klartext)")});
    SetTag(combo, tag);
    return combo;
}

QLineEdit* NewPortEdit(QWidget* parent, const char* name)
{
    QLineEdit* edit = NewEdit(parent, name, 5);
    edit->setValidator(new QIntValidator(1, 65535, edit));
    edit->setMaximumWidth(80);
    return edit;
}

QLabel* NewWarningLabel(QWidget* parent, const char* name, int tag)
{
    QLabel* label = NewLabel(parent, PlainTextWarning, tag);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #a00000"));
    return label;
}

QFormLayout* FormOf(QWidget* page)
{
    return page->findChild<QFormLayout*>();
}

} // namespace

TWizzardFrm::TWizzardFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WizzardFrm"));
    setWindowTitle(QStringLiteral("Assistent zur Einrichtung eines Mailkontos"));
    SetTag(this, FormTag);
    AskQuestion = [this](const QString& question) {
        return ShowPlainMessageBox(QMessageBox::Warning, this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    };
    Pages = new QStackedWidget(this);

    QWidget* page = NewPage(wpStart, QStringLiteral("Einrichtung eines Mailkontos"), IntroTitleTag,
                            QStringLiteral("Geben Sie Ihren Namen, Ihre E-Mail-Adresse und das Kennwort Ihres Postfachs ein. "
                                           "Mit „Weiter“ sucht der Assistent die Einstellungen Ihres Providers und prüft sie; "
                                           "Sie können danach noch alles ändern."),
                            StartTextTag);
    SmtpNameEdt = NewEdit(page, "SmtpNameEdt", 50);
    SmtpAddressEdt = NewEdit(page, "SmtpAddressEdt", 80);
    PopPasswordEdt = NewEdit(page, "PopPasswordEdt", 50);
    PopPasswordEdt->setEchoMode(QLineEdit::Password);
    AddRow(FormOf(page), QStringLiteral("&Name:"), SmtpNameTag, SmtpNameEdt);
    AddRow(FormOf(page), QStringLiteral("&E-Mail-Adresse:"), AddressTag, SmtpAddressEdt);
    AddRow(FormOf(page), QStringLiteral("&Kennwort:"), PasswordTag, PopPasswordEdt);

    LookupPage = new TLookupPage(Pages);
    Pan[wpLookup] = LookupPage;
    TitleLbl[wpLookup] = LookupPage->TitleLbl;
    Pages->addWidget(LookupPage);
    LookupPage->OnStateChanged = [this] {
        UpdateButtons();
        // The Cancel button that had the focus is hidden now: Return must reach Next again.
        if (!LookupPage->Running() && CurrentPage() == wpLookup)
            NextBtn->setFocus();
    };
    LookupPage->OnSettingsFound = [this](const TWizardChoices& found) { SetChoices(found); };
    LookupPage->OnUntrustedCertificate = [this](TMailService, const TnkCertificateFacts& certificate) {
        return TCertificateFrm::Ask(this, certificate);
    };
    LookupPage->OnPinTrusted = [this](TMailService service, const TServerPin& pin) {
        (service == TMailService::Pop ? m_popPin : m_smtpPin) = pin;
    };
    connect(LookupPage->EditBtn, &QPushButton::clicked, this, [this] { ShowPage(wpIncoming); });

    AddServerPage(wpIncoming, m_pop);
    AddServerPage(wpOutgoing, m_smtp);

    page = NewPage(wpLogin, QStringLiteral("Postfach-Einstellungen"), MailboxTitleTag,
                   QStringLiteral("Ihr Benutzername beim POP3-Server. Das Kennwort haben Sie auf der ersten Seite "
                                  "eingegeben."),
                   LoginTextTag);
    PopUsernameEdt = NewEdit(page, "PopUsernameEdt", 50);
    AddRow(FormOf(page), QStringLiteral("&POP3-Benutzerkonto:"), PopUserTag, PopUsernameEdt);

    page = NewPage(wpAccountName, QStringLiteral("Name des Mailkontos"), AccountTitleTag,
                   QStringLiteral("Der Name, unter dem dieses Konto aufgeführt wird."), AccountTextTag);
    NameEdt = NewEdit(page, "NameEdt", 50);
    AddRow(FormOf(page), QStringLiteral("&Name des Mailkontos:"), AccountNameTag, NameEdt);

    TestPage = new TConnectionTestPage(Pages);
    Pan[wpConnectionTest] = TestPage;
    TitleLbl[wpConnectionTest] = TestPage->TitleLbl;
    Pages->addWidget(TestPage);
    TestPage->OnStateChanged = [this] { UpdateButtons(); };
    TestPage->OnUntrustedCertificate = [this](TMailService, const TnkCertificateFacts& certificate) {
        return TCertificateFrm::Ask(this, certificate);
    };
    // Kept with the account once it is stored; nothing is written before.
    TestPage->OnPinTrusted = [this](TMailService service, const TServerPin& pin) {
        (service == TMailService::Pop ? m_popPin : m_smtpPin) = pin;
    };

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
    connect(CancelBtn, &QPushButton::clicked, this, &TWizzardFrm::reject);
    for (QLineEdit* edit : {SmtpAddressEdt, PopServerEdt, PopPortEdt, SmtpServerEdt, SmtpPortEdt, PopUsernameEdt, PopPasswordEdt, NameEdt})
        connect(edit, &QLineEdit::textChanged, this, &TWizzardFrm::UpdateButtons);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(PrevBtn);
    buttons->addWidget(NextBtn);
    buttons->addSpacing(12);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages, 1);
    layout->addLayout(buttons);
    // Room for the look-up page's findings, test results and summary without cutting a line.
    setMinimumSize(600, 440);

    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::AccountWizard);
    m_nextCaption = NextBtn->text();
    m_finishCaption = IsEnglish() ? StringTableText(FinishTag + ComponentTextOffset) : QStringLiteral("&Fertigstellen");
    SetChoices(TWizardChoices{});
    ShowPage(wpStart);
}

QWidget* TWizzardFrm::NewPage(int index, const QString& title, int titleTag, const QString& text, int textTag)
{
    auto* page = new QWidget(Pages);
    page->setObjectName(QStringLiteral("Pan%1").arg(index + 1));
    TitleLbl[index] = NewPageTitle(page, title, titleTag);
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

void TWizzardFrm::AddServerPage(int index, TServerFields& fields)
{
    const bool pop = fields.Service == TMailService::Pop;
    QWidget* page =
        pop ? NewPage(index, QStringLiteral("Posteingang"), IncomingTitleTag,
                      QStringLiteral("Der Server, von dem Ihre Nachrichten abgeholt werden. Protokoll, Server, Port und "
                                     "Verschlüsselung nennt Ihr Provider; üblich sind für POP3 Port 110 mit STARTTLS oder 995 "
                                     "mit TLS von Anfang an, für IMAP Port 143 oder 993."),
                      IncomingTextTag)
            : NewPage(index, QStringLiteral("Postausgang (SMTP)"), OutgoingTitleTag,
                      QStringLiteral("Der Server, über den Ihre Nachrichten versendet werden. Üblich sind Port 587 mit "
                                     "STARTTLS und Port 465 mit TLS von Anfang an."),
                      OutgoingTextTag);
    fields.Server = NewEdit(page, pop ? "PopServerEdt" : "SmtpServerEdt", 50);
    fields.Port = NewPortEdit(page, pop ? "PopPortEdt" : "SmtpPortEdt");
    fields.Security = NewSecurityCombo(page, pop ? "PopSecurityCmb" : "SmtpSecurityCmb", pop ? PopSecurityCmbTag : SmtpSecurityCmbTag);
    fields.PlainText = NewWarningLabel(page, pop ? "PopPlainTextLbl" : "SmtpPlainTextLbl", pop ? PopPlainTextTag : SmtpPlainTextTag);
    QFormLayout* form = FormOf(page);
    if (pop) {
        IncomingProtocolCmb = new QComboBox(page);
        IncomingProtocolCmb->setObjectName(QStringLiteral("IncomingProtocolCmb"));
        IncomingProtocolCmb->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
        AddRow(form, QStringLiteral("P&rotokoll:"), IncomingProtocolTag, IncomingProtocolCmb);
        connect(IncomingProtocolCmb, &QComboBox::currentIndexChanged, this, &TWizzardFrm::IncomingProtocolChanged);
    }
    fields.ServerLbl = AddRow(form, pop ? QStringLiteral("&POP3-Server:") : QStringLiteral("&SMTP-Server:"),
                              pop ? PopServerTag : SmtpServerTag, fields.Server);
    AddRow(form, QStringLiteral("P&ort:"), pop ? PopPortTag : SmtpPortTag, fields.Port);
    AddRow(form, QStringLiteral("&Verschlüsselung:"), pop ? PopSecurityTag : SmtpSecurityTag, fields.Security);
    form->addRow(fields.PlainText);
    if (pop) {
        PopServerEdt = fields.Server;
        PopPortEdt = fields.Port;
        PopSecurityCmb = fields.Security;
        PopPlainTextLbl = fields.PlainText;
    } else {
        SmtpServerEdt = fields.Server;
        SmtpPortEdt = fields.Port;
        SmtpSecurityCmb = fields.Security;
        SmtpPlainTextLbl = fields.PlainText;
        SmtpAuthChk = NewCheckBox(page, "SmtpAuthChk",
                                  QStringLiteral("Der SMTP-Server verlangt eine &Anmeldung (mit Benutzername und Kennwort "
                                                 "des Posteingangs)"),
                                  SmtpAuthTag);
        form->addRow(SmtpAuthChk);
    }
    WireServerFields(fields);
}

void TWizzardFrm::WireServerFields(TServerFields& fields)
{
    // A port the user typed stays when the security changes; an emptied field follows it again.
    connect(fields.Port, &QLineEdit::textEdited, this, [&fields](const QString& text) { fields.PortTyped = !text.isEmpty(); });
    connect(fields.Server, &QLineEdit::editingFinished, this, [this, &fields] { TakePortFromServer(fields); });
    connect(fields.Security, &QComboBox::currentIndexChanged, this, [this, &fields](int index) { SecurityChanged(fields, index); });
}

void TWizzardFrm::SecurityChanged(TServerFields& fields, int index)
{
    const TqmSecurity security = WizardSecurityModes[index];
    if (security == TqmSecurity::secNone && fields.SecurityIndex != index && !AskPlainText()) {
        const QSignalBlocker blocker(fields.Security);
        fields.Security->setCurrentIndex(fields.SecurityIndex);
        return;
    }
    fields.SecurityIndex = index;
    fields.PlainText->setVisible(security == TqmSecurity::secNone);
    fields.Port->setText(PortAfterSecurityChange(fields.Port->text(), fields.PortTyped, fields.Service, security, fields.Incoming));
    UpdateButtons();
}

void TWizzardFrm::IncomingProtocolChanged(int index)
{
    m_pop.Incoming = index == 1 ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
    m_pop.ServerLbl->setText(MessageText(IncomingCaptions(m_pop.Incoming).Server));
    const TqmSecurity security = WizardSecurityModes[m_pop.Security->currentIndex()];
    m_pop.Port->setText(PortAfterSecurityChange(m_pop.Port->text(), m_pop.PortTyped, m_pop.Service, security, m_pop.Incoming));
    UpdateButtons();
}

bool TWizzardFrm::AskPlainText()
{
    return AskQuestion && AskQuestion(MessageText(WizardText::ConfirmPlainText));
}

void TWizzardFrm::TakePortFromServer(TServerFields& fields)
{
    const THostAndPort parts = SplitHostAndPort(fields.Server->text());
    if (parts.Port.isEmpty())
        return;
    fields.Server->setText(parts.Host);
    fields.Port->setText(parts.Port);
    fields.PortTyped = true;
}

TServerChoice TWizzardFrm::ServerChoice(const TServerFields& fields) const
{
    return ServerChoiceOfFields(fields.Server->text(), fields.Port->text(), WizardSecurityModes[fields.Security->currentIndex()]);
}

void TWizzardFrm::SetServerChoice(TServerFields& fields, const TServerChoice& choice)
{
    const QSignalBlocker blocker(fields.Security);
    fields.Server->setText(choice.Host);
    fields.Port->setText(choice.Port);
    fields.SecurityIndex = WizardSecurityIndex(choice.Security);
    fields.Security->setCurrentIndex(fields.SecurityIndex);
    fields.PlainText->setVisible(choice.Security == TqmSecurity::secNone);
    fields.PortTyped = choice.Port != QString::number(StandardPort(fields.Service, choice.Security, fields.Incoming));
}

bool TWizzardFrm::Run(QWidget* parent, TAccountDraft& draft)
{
    TWizzardFrm form(parent);
    // Reopened after a name conflict: what was typed stays, and the account name page is shown.
    if (!draft.Account.Name.isEmpty()) {
        form.SetChoices(ChoicesOfDraft(draft));
        form.ShowPage(wpAccountName);
    }
    if (form.exec() != QDialog::Accepted)
        return false;
    draft = form.Draft();
    return true;
}

void TWizzardFrm::SetChoices(const TWizardChoices& choices)
{
    SmtpNameEdt->setText(choices.SmtpName);
    SmtpAddressEdt->setText(choices.SmtpAddress);
    {
        const QSignalBlocker blocker(IncomingProtocolCmb);
        IncomingProtocolCmb->setCurrentIndex(choices.Incoming == TIncomingProtocol::Imap ? 1 : 0);
    }
    m_pop.Incoming = choices.Incoming;
    m_pop.ServerLbl->setText(MessageText(IncomingCaptions(m_pop.Incoming).Server));
    SetServerChoice(m_pop, choices.Pop);
    SetServerChoice(m_smtp, choices.Smtp);
    SmtpAuthChk->setChecked(choices.SmtpAuth);
    PopUsernameEdt->setText(choices.PopUsername);
    PopPasswordEdt->setText(choices.PopPassword);
    NameEdt->setText(choices.Name);
    m_popPin = choices.PopPin;
    m_smtpPin = choices.SmtpPin;
}

TWizardChoices TWizzardFrm::Choices() const
{
    TWizardChoices choices;
    choices.SmtpName = SmtpNameEdt->text();
    choices.SmtpAddress = SmtpAddressEdt->text().trimmed();
    choices.Incoming = m_pop.Incoming;
    choices.Pop = ServerChoice(m_pop);
    choices.Smtp = ServerChoice(m_smtp);
    choices.PopUsername = PopUsernameEdt->text();
    choices.PopPassword = PopPasswordEdt->text();
    choices.SmtpAuth = SmtpAuthChk->isChecked();
    choices.Name = NameEdt->text();
    choices.PopPin = m_popPin;
    choices.SmtpPin = m_smtpPin;
    return choices;
}

int TWizzardFrm::CurrentPage() const
{
    return Pages->currentIndex();
}

void TWizzardFrm::ShowPage(int page)
{
    if (page == wpAccountName)
        NameEdt->setText(WizardProposedName(NameEdt->text(), SmtpAddressEdt->text().trimmed()));
    Pages->setCurrentIndex(page);
    if (QLineEdit* first = Pan[page]->findChild<QLineEdit*>())
        first->setFocus();
    else
        NextBtn->setFocus();
    UpdateButtons();
    // Started once the click that led here has returned: the test waits in the event loop.
    if (page == wpConnectionTest)
        QTimer::singleShot(0, this, [this] {
            if (CurrentPage() == wpConnectionTest)
                TestPage->RunTest(Choices());
        });
}

bool TWizzardFrm::Busy() const
{
    return TestPage->Running() || LookupPage->Running();
}

void TWizzardFrm::StartLookup()
{
    ShowPage(wpLookup);
    // Started once the click that led here has returned: the look-up waits in the event loop.
    QTimer::singleShot(0, this, [this] {
        if (CurrentPage() == wpLookup)
            LookupPage->Run(Choices());
    });
}

void TWizzardFrm::UpdateButtons()
{
    const int page = CurrentPage();
    const bool last = page == wpConnectionTest;
    const bool testing = Busy();
    PrevBtn->setEnabled(page > 0 && !testing);
    NextBtn->setText(last ? m_finishCaption : m_nextCaption);
    // Finish stays possible after a failed or canceled test: the summary says how to go on.
    NextBtn->setEnabled(!testing && WizardCanLeave(TWizardPage(page), Choices()));
}

void TWizzardFrm::PrevBtnClick()
{
    if (CurrentPage() > 0 && !Busy())
        ShowPage(CurrentPage() - 1);
}

void TWizzardFrm::NextBtnClick()
{
    const int page = CurrentPage();
    if (page == wpIncoming)
        TakePortFromServer(m_pop);
    if (page == wpOutgoing)
        TakePortFromServer(m_smtp);
    if (Busy() || !WizardCanLeave(TWizardPage(page), Choices()))
        return;
    if (page == wpStart)
        return StartLookup();
    if (page == wpLookup)
        return ShowPage(WizardPageAfterLookup(LookupPage->FoundWorking()));
    if (page == wpAccountName && AccountNameTaken(Draft().Account.Name)) {
        Report(AccountsText::DuplicateName, TMessageKind::Warning);
        NameEdt->setFocus();
        return;
    }
    if (page == wpConnectionTest)
        accept();
    else
        ShowPage(page + 1);
}

void TWizzardFrm::reject()
{
    LookupPage->Cancel();
    TestPage->CancelTest();
    QDialog::reject();
}

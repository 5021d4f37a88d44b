#include "AccountEdt.h"

#include "AccountLogIn.h"
#include "AccountsFunctions.h"
#include "Keyring.h"
#include "OAuth2SignIn.h"
#include "CertificateTexts.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "Reporter.h"
#include "ServerFoldersDlg.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QProcess>
#include <QScrollArea>
#include <QFontDatabase>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Tag {
    FormTag = 20, NameTag, GeneralTag, ConnectionTag, AdvancedTag, PopGroupTag, PopServerTag, PopUserTag,
    PopPasswordTag, SmtpGroupTag, SmtpServerTag, SmtpNameTag, SmtpAddressTag, ReplyToTag, LanTag, RasTag,
    ForceTag, HangUpTag, RasEditTag, MailboxGroupTag, KeepTag, DeleteTag, DaysTag, AuthGroupTag, AuthTag,
    AuthPopTag, SmtpUserTag, SmtpPasswordTag, CompanyTag, OKTag,
    SecurityGroupTag = 90, PopSecurityTag, SmtpSecurityTag, PlainTextWarningTag = 94,
    PopPinTag = 611, SmtpPinTag, PopPinForgetTag, SmtpPinForgetTag,
    SignInGroupTag = 750, KeyringTag, AuthMethodTag, AuthMethodItemsTag, ClientIdTag, ClientSecretTag, AuthUrlTag,
    TokenUrlTag, ScopeTag, SignInTag,
    ProtocolTag = 800, ProtocolCmbTag, ImapFoldersTag, ImapSentCopyTag, ImapMarkReadTag = 805, ChooseFoldersTag = 831
};

// Message ids of the secret store and sign-in display.
constexpr int KeyringStoreText = 151;
constexpr int RecordStoreText = 152;
constexpr int NoKeyringText = 153;
constexpr int SignedInText = 154;
constexpr int NotSignedInText = 155;
constexpr int SigningInText = 156;
constexpr int SignInFailedText = 158;
constexpr int CallbackPageText = 159;
constexpr int SignInFirstText = 274;

// Message ids of the pin display.
constexpr int NoPinText = 20;
constexpr int PinServerText = 21;
constexpr int LegacyPinText = 22;

QString PinText(const TServerPin& pin)
{
    if (pin.IsEmpty())
        return MessageText(NoPinText);
    const QString server = pin.Server.isEmpty() ? MessageText(LegacyPinText)
                                                : FillIn(MessageText(PinServerText), QString::fromUtf8(pin.Server));
    return FingerprintLines(pin.Fingerprint) + QLatin1Char('\n') + server;
}

// In the order of the security combo boxes.
constexpr TqmSecurity SecurityModes[] = {TqmSecurity::secAuto, TqmSecurity::secStartTls, TqmSecurity::secTls,
                                         TqmSecurity::secNone};

QComboBox* NewSecurityCombo(QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->addItems({QStringLiteral("Automatisch (verschlüsseln; Kennwort nie im Klartext)"), QStringLiteral("STARTTLS erforderlich"),
                     QStringLiteral("TLS von Anfang an"), QStringLiteral("Keine (Klartext)")});
    return combo;
}

int SecurityIndex(TqmSecurity security)
{
    const auto* found = std::find(std::begin(SecurityModes), std::end(SecurityModes), security);
    return found == std::end(SecurityModes) ? 0 : int(found - std::begin(SecurityModes));
}

QGroupBox* NewGroup(const QString& title, int tag)
{
    auto* group = new QGroupBox(title);
    SetTag(group, tag);
    return group;
}

} // namespace

TAccountEdtFrm::TAccountEdtFrm(std::shared_ptr<TnkRasBackend> dialUpBackend, QWidget* parent)
    : QDialog(parent), m_dialUp(std::move(dialUpBackend))
{
    setObjectName(QStringLiteral("AccountEdtFrm"));
    setWindowTitle(QStringLiteral("Mailkonto bearbeiten"));
    SetTag(this, FormTag);
    NameEdt = NewEdit(this, "NameEdt", 50);
    auto* nameRow = new QFormLayout;
    AddRow(nameRow, QStringLiteral("&Name des Mailkontos:"), NameTag, NameEdt);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(GeneralPage(), QStringLiteral("Allgemein"));
    PageControl->addTab(ConnectionPage(), QStringLiteral("Verbindung"));
    PageControl->addTab(AdvancedPage(), QStringLiteral("Erweitert"));
    for (int page = 0; page < 3; ++page)
        SetTag(PageControl->widget(page), GeneralTag + page);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(PageControl, 1);
    layout->addWidget(NewDialogButtons(this, OKBtn, CancelBtn, OKTag));

    connect(NameEdt, &QLineEdit::textChanged, this, &TAccountEdtFrm::UpdateStates);
    connect(PopUsernameEdt, &QLineEdit::textChanged, this, &TAccountEdtFrm::CopyPopLogin);
    connect(PopPasswordEdt, &QLineEdit::textChanged, this, &TAccountEdtFrm::CopyPopLogin);
    connect(PopKeepMailsChk, &QCheckBox::toggled, this, &TAccountEdtFrm::PopKeepMailsChkClick);
    connect(SmtpAuthChk, &QCheckBox::toggled, this, &TAccountEdtFrm::UpdateStates);
    connect(SmtpAuthPopChk, &QCheckBox::toggled, this, [this] {
        CopyPopLogin();
        UpdateStates();
    });
    connect(RASServiceCmb, &QComboBox::currentIndexChanged, this, [this](int index) {
        (index > 0 ? RasRb : LanRb)->setChecked(true);
        UpdateStates();
    });
    connect(LanRb, &QRadioButton::clicked, this, &TAccountEdtFrm::LanRbClick);
    connect(RasRb, &QRadioButton::clicked, this, &TAccountEdtFrm::RasRbClick);
    connect(RasEditBtn, &QPushButton::clicked, this, &TAccountEdtFrm::RasEditBtnClick);
    connect(IncomingProtocolCmb, &QComboBox::currentIndexChanged, this, &TAccountEdtFrm::ShowIncomingProtocol);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::AccountEditor);
    SetAccount(TAccount{});
    ShowIncomingProtocol();
}

QWidget* TAccountEdtFrm::GeneralPage()
{
    auto* page = new QWidget;
    PopServerEdt = NewEdit(page, "PopServerEdt", 50);
    PopUsernameEdt = NewEdit(page, "PopUsernameEdt", 50);
    PopPasswordEdt = NewEdit(page, "PopPasswordEdt", 50);
    PopPasswordEdt->setEchoMode(QLineEdit::Password);
    IncomingProtocolCmb = new QComboBox(page);
    IncomingProtocolCmb->setObjectName(QStringLiteral("IncomingProtocolCmb"));
    IncomingProtocolCmb->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    SetTag(IncomingProtocolCmb, ProtocolCmbTag);
    QGroupBox* pop = NewGroup(QStringLiteral("Posteingang (POP3)"), PopGroupTag);
    m_incomingGroup = pop;
    auto* popForm = new QFormLayout(pop);
    AddRow(popForm, QStringLiteral("P&rotokoll:"), ProtocolTag, IncomingProtocolCmb);
    m_serverLbl = AddRow(popForm, QStringLiteral("&POP3-Server:"), PopServerTag, PopServerEdt);
    AddRow(popForm, QStringLiteral("&Benutzername:"), PopUserTag, PopUsernameEdt);
    AddRow(popForm, QStringLiteral("&Kennwort:"), PopPasswordTag, PopPasswordEdt);

    SmtpServerEdt = NewEdit(page, "SmtpServerEdt", 50);
    SmtpNameEdt = NewEdit(page, "SmtpNameEdt", 50);
    SmtpAddressEdt = NewEdit(page, "SmtpAddressEdt", 80);
    SmtpReplyToAdrEdt = NewEdit(page, "SmtpReplyToAdrEdt", 80);
    SmtpCompanyEdt = NewEdit(page, "SmtpCompanyEdt", 50);
    QGroupBox* smtp = NewGroup(QStringLiteral("Postausgang (SMTP)"), SmtpGroupTag);
    auto* smtpForm = new QFormLayout(smtp);
    AddRow(smtpForm, QStringLiteral("&SMTP-Server:"), SmtpServerTag, SmtpServerEdt);
    AddRow(smtpForm, QStringLiteral("&Ihr Name:"), SmtpNameTag, SmtpNameEdt);
    AddRow(smtpForm, QStringLiteral("&E-Mail-Adresse:"), SmtpAddressTag, SmtpAddressEdt);
    AddRow(smtpForm, QStringLiteral("&Antwortadresse:"), ReplyToTag, SmtpReplyToAdrEdt);
    // The company is kept in the record but not offered, as before.
    SmtpCompanyEdt->hide();

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pop);
    layout->addWidget(smtp);
    layout->addStretch();
    return page;
}

QWidget* TAccountEdtFrm::ConnectionPage()
{
    auto* page = new QWidget;
    LanRb = new QRadioButton(QStringLiteral("Keine DFÜ-Verbindung oder LAN"), page);
    LanRb->setObjectName(QStringLiteral("LanRb"));
    SetTag(LanRb, LanTag);
    RasRb = new QRadioButton(QStringLiteral("DFÜ-Verbindung:"), page);
    RasRb->setObjectName(QStringLiteral("RasRb"));
    SetTag(RasRb, RasTag);
    RASServiceCmb = new QComboBox(page);
    RASServiceCmb->setObjectName(QStringLiteral("RASServiceCmb"));
    RasEditBtn = new QPushButton(QStringLiteral("&Bearbeiten..."), page);
    RasEditBtn->setObjectName(QStringLiteral("RasEditBtn"));
    SetTag(RasEditBtn, RasEditTag);
    RasForceServiceChk = NewCheckBox(page, "RasForceServiceChk",
                                     QStringLiteral("&Immer diese Verbindung wählen, auch wenn eine andere aktiv ist"), ForceTag);
    RasHangUpChk = NewCheckBox(page, "RasHangUpChk", QStringLiteral("Zum &Versenden immer diese Verbindung wählen"),
                               HangUpTag);
    // Kept in the record, not offered: sending follows the receiving rule.
    RasHangUpChk->hide();

    auto* entryRow = new QHBoxLayout;
    entryRow->addSpacing(20);
    entryRow->addWidget(RASServiceCmb, 1);
    entryRow->addWidget(RasEditBtn);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(LanRb);
    layout->addWidget(RasRb);
    layout->addLayout(entryRow);
    layout->addWidget(RasForceServiceChk);
    layout->addWidget(RasHangUpChk);
    layout->addStretch();
    return page;
}

QWidget* TAccountEdtFrm::AdvancedPage()
{
    auto* page = new QWidget;
    QGroupBox* mailbox = NewGroup(QStringLiteral("POP3-Postfach"), MailboxGroupTag);
    m_mailboxGroup = mailbox;
    PopKeepMailsChk = NewCheckBox(mailbox, "PopKeepMailsChk", QStringLiteral("Nachrichten auf dem Server &belassen"), KeepTag);
    PopDeleteMailsChk = NewCheckBox(mailbox, "PopDeleteMailsChk", QStringLiteral("Vom Server &löschen nach"), DeleteTag);
    PopDeleteDaysEdt = NewEdit(mailbox, "PopDeleteDaysEdt", 3);
    PopDeleteDaysEdt->setMaximumWidth(50);
    auto* daysLbl = new QLabel(QStringLiteral("Tagen"), mailbox);
    SetTag(daysLbl, DaysTag);
    auto* daysRow = new QHBoxLayout;
    daysRow->addWidget(PopDeleteMailsChk);
    daysRow->addWidget(PopDeleteDaysEdt);
    daysRow->addWidget(daysLbl);
    daysRow->addStretch();
    ImapFoldersEdt = new QPlainTextEdit(mailbox);
    ImapFoldersEdt->setObjectName(QStringLiteral("ImapFoldersEdt"));
    ImapFoldersEdt->setTabChangesFocus(true);
    ImapFoldersEdt->setFixedHeight(ImapFoldersEdt->fontMetrics().lineSpacing() * 4 + 16);
    m_foldersLbl = new QLabel(QStringLiteral("Weitere &Ordner auf dem Server (einer je Zeile):"), mailbox);
    m_foldersLbl->setBuddy(ImapFoldersEdt);
    SetTag(m_foldersLbl, ImapFoldersTag);
    ChooseFoldersBtn = NewButton(mailbox, QStringLiteral("&Auswählen..."), ChooseFoldersTag);
    ChooseFoldersBtn->setObjectName(QStringLiteral("ChooseFoldersBtn"));
    connect(ChooseFoldersBtn, &QPushButton::clicked, this, &TAccountEdtFrm::ChooseFoldersBtnClick);
    auto* foldersRow = new QHBoxLayout;
    foldersRow->addWidget(m_foldersLbl, 1);
    foldersRow->addWidget(ChooseFoldersBtn);
    ImapSentCopyChk = NewCheckBox(mailbox, "ImapSentCopyChk",
                                  QStringLiteral("&Kopien gesendeter Nachrichten im Ordner \u201eGesendet\u201c ablegen"), ImapSentCopyTag);
    ImapMarkReadChk = NewCheckBox(mailbox, "ImapMarkReadChk", QStringLiteral("Abgeholte Nachrichten auf dem Server als &gelesen markieren"),
                                  ImapMarkReadTag);
    auto* mailboxLayout = new QVBoxLayout(mailbox);
    mailboxLayout->addWidget(PopKeepMailsChk);
    mailboxLayout->addLayout(daysRow);
    mailboxLayout->addLayout(foldersRow);
    mailboxLayout->addWidget(ImapFoldersEdt);
    mailboxLayout->addWidget(ImapSentCopyChk);
    mailboxLayout->addWidget(ImapMarkReadChk);

    QGroupBox* auth = NewGroup(QStringLiteral("SMTP-Authentifizierung"), AuthGroupTag);
    SmtpAuthChk = NewCheckBox(auth, "SmtpAuthChk", QStringLiteral("Der SMTP-Server &erfordert eine Anmeldung"), AuthTag);
    SmtpAuthPopChk = NewCheckBox(auth, "SmtpAuthPopChk", QStringLiteral("POP3-Anmeldung &verwenden"), AuthPopTag);
    SmtpUsernameEdt = NewEdit(auth, "SmtpUsernameEdt", 80);
    SmtpPasswordEdt = NewEdit(auth, "SmtpPasswordEdt", 80);
    SmtpPasswordEdt->setEchoMode(QLineEdit::Password);
    auto* login = new QFormLayout;
    login->setContentsMargins(20, 0, 0, 0);
    AddRow(login, QStringLiteral("Benutzer&name:"), SmtpUserTag, SmtpUsernameEdt);
    AddRow(login, QStringLiteral("Kenn&wort:"), SmtpPasswordTag, SmtpPasswordEdt);
    auto* authLayout = new QVBoxLayout(auth);
    authLayout->addWidget(SmtpAuthChk);
    authLayout->addWidget(SmtpAuthPopChk);
    authLayout->addLayout(login);

    QGroupBox* security = NewGroup(QStringLiteral("Verbindungssicherheit"), SecurityGroupTag);
    PopSecurityCmb = NewSecurityCombo(security);
    SmtpSecurityCmb = NewSecurityCombo(security);
    SetTag(PopSecurityCmb, PopSecurityTag);
    SetTag(SmtpSecurityCmb, SmtpSecurityTag);
    auto* securityLayout = new QFormLayout(security);
    m_securityLbl = AddRow(securityLayout, QStringLiteral("POP&3:"), PopSecurityTag + 10, PopSecurityCmb);
    AddRow(securityLayout, QStringLiteral("S&MTP:"), SmtpSecurityTag + 10, SmtpSecurityCmb);
    m_pinLbl = AddRow(securityLayout, QStringLiteral("POP3-Zertifikat:"), PopPinTag,
           PinRow(security, PopPinLbl, PopPinForgetBtn, "PopPin", QStringLiteral("&Vergessen"), PopPinForgetTag));
    AddRow(securityLayout, QStringLiteral("SMTP-Zertifikat:"), SmtpPinTag,
           PinRow(security, SmtpPinLbl, SmtpPinForgetBtn, "SmtpPin", QStringLiteral("Ve&rgessen"), SmtpPinForgetTag));
    connect(PopPinForgetBtn, &QPushButton::clicked, this, [this] { ForgetPin(TMailService::Pop); });
    connect(SmtpPinForgetBtn, &QPushButton::clicked, this, [this] { ForgetPin(TMailService::Smtp); });
    ShowPins();
    PlainTextWarningLbl = new QLabel(QStringLiteral("Achtung: Ohne Verschlüsselung gehen Kennwort und Nachrichten im Klartext "
                                                    "über das Netz; jeder auf dem Weg kann sie mitlesen."),
                                     security);
    PlainTextWarningLbl->setObjectName(QStringLiteral("PlainTextWarningLbl"));
    PlainTextWarningLbl->setWordWrap(true);
    SetTag(PlainTextWarningLbl, PlainTextWarningTag);
    securityLayout->addRow(PlainTextWarningLbl);
    for (QComboBox* combo : {PopSecurityCmb, SmtpSecurityCmb})
        connect(combo, &QComboBox::currentIndexChanged, this, &TAccountEdtFrm::UpdatePlainTextWarning);
    UpdatePlainTextWarning();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(mailbox);
    layout->addWidget(auth);
    layout->addWidget(security);
    layout->addWidget(SignInGroup());
    layout->addStretch();
    // The page outgrows small screens; it scrolls instead of stretching the dialog.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("AdvancedScroll"));
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

QWidget* TAccountEdtFrm::SignInGroup()
{
    QGroupBox* group = NewGroup(QStringLiteral("Kennwörter und Anmeldung"), SignInGroupTag);
    m_keyringAvailable = KeyringAvailable();
    SecretStoreLbl = new QLabel(group);
    SecretStoreLbl->setObjectName(QStringLiteral("SecretStoreLbl"));
    SecretStoreLbl->setWordWrap(true);
    KeyringChk = NewCheckBox(group, "KeyringChk", QStringLiteral("Kennwörter im &Schlüsselbund des Desktops aufbewahren"), KeyringTag);
    AuthMethodCmb = new QComboBox(group);
    AuthMethodCmb->setObjectName(QStringLiteral("AuthMethodCmb"));
    AuthMethodCmb->addItems({QStringLiteral("Kennwort"), QStringLiteral("OAuth2 (Anmeldung im Browser)")});
    SetTag(AuthMethodCmb, AuthMethodItemsTag);
    ClientIdEdt = NewEdit(group, "ClientIdEdt", 200);
    ClientSecretEdt = NewEdit(group, "ClientSecretEdt", 200);
    ClientSecretEdt->setEchoMode(QLineEdit::Password);
    AuthUrlEdt = NewEdit(group, "AuthUrlEdt", 500);
    TokenUrlEdt = NewEdit(group, "TokenUrlEdt", 500);
    ScopeEdt = NewEdit(group, "ScopeEdt", 500);
    SignInBtn = NewButton(group, QStringLiteral("&Anmelden …"), SignInTag);
    SignInBtn->setObjectName(QStringLiteral("SignInBtn"));
    SignInStatusLbl = new QLabel(group);
    SignInStatusLbl->setObjectName(QStringLiteral("SignInStatusLbl"));
    SignInStatusLbl->setWordWrap(true);
    auto* form = new QFormLayout;
    AddRow(form, QStringLiteral("Anmelde&verfahren:"), AuthMethodTag, AuthMethodCmb);
    AddRow(form, QStringLiteral("&Client-ID:"), ClientIdTag, ClientIdEdt);
    AddRow(form, QStringLiteral("Client-&Geheimnis:"), ClientSecretTag, ClientSecretEdt);
    AddRow(form, QStringLiteral("Au&torisierungs-URL:"), AuthUrlTag, AuthUrlEdt);
    AddRow(form, QStringLiteral("T&oken-URL:"), TokenUrlTag, TokenUrlEdt);
    AddRow(form, QStringLiteral("Berechti&gungen (Scope):"), ScopeTag, ScopeEdt);
    auto* signInRow = new QHBoxLayout;
    signInRow->addWidget(SignInBtn, 0, Qt::AlignTop);
    signInRow->addWidget(SignInStatusLbl, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(SecretStoreLbl);
    layout->addWidget(KeyringChk);
    layout->addLayout(form);
    layout->addLayout(signInRow);
    connect(AuthMethodCmb, &QComboBox::currentIndexChanged, this, &TAccountEdtFrm::UpdateSignInStates);
    // An OAuth2 account's token is its SMTP log-in too: without the log-in nothing would carry it.
    connect(AuthMethodCmb, &QComboBox::activated, this, [this](int index) {
        if (index == 1)
            SmtpAuthChk->setChecked(true);
    });
    for (QLineEdit* edit : {ClientIdEdt, AuthUrlEdt, TokenUrlEdt})
        connect(edit, &QLineEdit::textChanged, this, &TAccountEdtFrm::UpdateSignInStates);
    connect(SignInBtn, &QPushButton::clicked, this, &TAccountEdtFrm::SignInBtnClick);
    return group;
}

TOAuth2Registration TAccountEdtFrm::Registration() const
{
    const auto text = [](const QLineEdit* edit) { return edit->text().trimmed().toUtf8(); };
    return {text(ClientIdEdt), text(ClientSecretEdt), text(AuthUrlEdt), text(TokenUrlEdt), text(ScopeEdt)};
}

void TAccountEdtFrm::ShowSecretStore()
{
    QString text = MessageText(m_security.Secrets == TSecretStore::Keyring ? KeyringStoreText : RecordStoreText);
    if (!m_keyringAvailable)
        text += QLatin1Char(' ') + MessageText(NoKeyringText);
    SecretStoreLbl->setText(text);
}

void TAccountEdtFrm::SetSignedIn(bool signedIn)
{
    m_signedIn = signedIn;
    SignInStatusLbl->setText(MessageText(signedIn ? SignedInText : NotSignedInText));
}

void TAccountEdtFrm::UpdateSignInStates()
{
    TSignInInput input;
    input.KeyringAvailable = m_keyringAvailable;
    input.Store = m_security.Secrets;
    input.Method = AuthMethodCmb->currentIndex() == 1 ? TAuthMethod::OAuth2 : TAuthMethod::Password;
    input.RegistrationComplete = Registration().IsComplete();
    input.SigningIn = m_signIn && m_signIn->Running();
    const TSignInStates states = ComputeSignInStates(input);
    KeyringChk->setEnabled(states.KeyringChk);
    for (QLineEdit* edit : {ClientIdEdt, ClientSecretEdt, AuthUrlEdt, TokenUrlEdt, ScopeEdt})
        edit->setEnabled(states.RegistrationFields);
    SignInBtn->setEnabled(states.SignInBtn);
    SignInStatusLbl->setVisible(input.Method == TAuthMethod::OAuth2);
    PopPasswordEdt->setEnabled(states.Passwords);
    SmtpPasswordEdt->setEnabled(states.Passwords && SmtpAuthChk->isChecked() && !SmtpAuthPopChk->isChecked());
}

void TAccountEdtFrm::SignInBtnClick()
{
    delete m_signIn;
    m_signIn = new TOAuth2SignIn(Registration(), this);
    // A platform without a desktop service (offscreen, some minimal sessions) still has xdg-open.
    m_signIn->OpenBrowser = [](const QUrl& url) {
        return QDesktopServices::openUrl(url)
            || QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
    };
    m_signIn->CallbackText = MessageText(CallbackPageText);
    connect(m_signIn, &TOAuth2SignIn::Finished, this, &TAccountEdtFrm::SignInFinished);
    SignInStatusLbl->setText(MessageText(SigningInText));
    m_signIn->Start();
    UpdateSignInStates();
}

void TAccountEdtFrm::SignInFinished(const TSignInResult& result)
{
    if (result.Error.isEmpty()) {
        m_newTokens = result.Tokens;
        SetSignedIn(true);
    } else {
        SignInStatusLbl->setText(FillIn(MessageText(SignInFailedText), result.Error));
    }
    UpdateSignInStates();
}

void TAccountEdtFrm::ChooseFoldersBtnClick()
{
    TServerTestSettings settings;
    settings.Server = PopServerEdt->text().trimmed().toUtf8();
    settings.Security = SecurityModes[PopSecurityCmb->currentIndex()];
    settings.UserName = PopUsernameEdt->text().toUtf8();
    settings.Password = PopPasswordEdt->text().toUtf8();
    settings.Pin = m_popPin;
    if (AuthMethodCmb->currentIndex() == 1 && !UseAccessToken(settings))
        return;
    QStringList ticked;
    for (const QByteArray& folder : FoldersOfText(ImapFoldersEdt->toPlainText()))
        ticked.append(QString::fromUtf8(folder));
    TServerFoldersDlg dialog(settings, ticked, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // A certificate trusted on the way is kept like one trusted in the wizard, even on Cancel.
    if (!dialog.TrustedPin().IsEmpty()) {
        m_popPin = dialog.TrustedPin();
        ShowPins();
    }
    if (accepted)
        ImapFoldersEdt->setPlainText(dialog.Ticked().join(QLatin1Char('\n')));
}

bool TAccountEdtFrm::UseAccessToken(TServerTestSettings& settings)
{
    settings.LogInMethod = TqmLogInMethod::OAuth2;
    if (m_newTokens) {
        settings.Password = m_newTokens->AccessToken;
        return true;
    }
    QString error;
    const std::optional<TLogInSecret> secret = LogInSecret(m_account, TMailService::Pop, error);
    if (!secret) {
        Report(SignInFirstText, TMessageKind::Warning, error);
        return false;
    }
    settings.Password = secret->Secret;
    return true;
}

bool TAccountEdtFrm::Run(QWidget* parent, TAccountDraft& draft, std::shared_ptr<TnkRasBackend> dialUpBackend)
{
    TAccountEdtFrm form(std::move(dialUpBackend), parent);
    form.SetAccount(draft.Account);
    form.SetSecurity(draft.Security);
    form.SetSignedIn(draft.SignedIn);
    if (form.exec() != QDialog::Accepted)
        return false;
    draft.Account = form.Account();
    draft.Security = form.Security();
    if (form.NewTokens())
        draft.NewTokens = form.NewTokens();
    return true;
}

// A pin is shown, never typed: it is set only by the user's Trust in the certificate window.
QWidget* TAccountEdtFrm::PinRow(QWidget* parent, QLabel*& pinLbl, QPushButton*& forgetBtn, const char* name,
                               const QString& forgetCaption, int forgetTag)
{
    auto* row = new QWidget(parent);
    pinLbl = new QLabel(row);
    pinLbl->setObjectName(QLatin1String(name) + QLatin1String("Lbl"));
    pinLbl->setTextFormat(Qt::PlainText);
    pinLbl->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    pinLbl->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    forgetBtn = NewButton(row, forgetCaption, forgetTag);
    forgetBtn->setObjectName(QLatin1String(name) + QLatin1String("ForgetBtn"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pinLbl, 1);
    layout->addWidget(forgetBtn, 0, Qt::AlignTop);
    return row;
}

void TAccountEdtFrm::ShowPins()
{
    PopPinLbl->setText(PinText(m_popPin));
    SmtpPinLbl->setText(PinText(m_smtpPin));
    PopPinForgetBtn->setEnabled(!m_popPin.IsEmpty());
    SmtpPinForgetBtn->setEnabled(!m_smtpPin.IsEmpty());
}

void TAccountEdtFrm::ForgetPin(TMailService service)
{
    (service == TMailService::Pop ? m_popPin : m_smtpPin) = {};
    ShowPins();
}

void TAccountEdtFrm::ShowIncomingProtocol()
{
    const TIncomingCaptions captions = IncomingCaptions(IncomingProtocolCmb->currentIndex() == 1 ? TIncomingProtocol::Imap
                                                                                                : TIncomingProtocol::Pop3);
    m_incomingGroup->setTitle(MessageText(captions.Group));
    m_serverLbl->setText(MessageText(captions.Server));
    m_mailboxGroup->setTitle(MessageText(captions.Mailbox));
    m_securityLbl->setText(MessageText(captions.Security));
    m_pinLbl->setText(MessageText(captions.PinLabel));
    SmtpAuthPopChk->setText(MessageText(captions.UseLogIn));
    for (QWidget* imapOnly :
         std::initializer_list<QWidget*>{m_foldersLbl, ImapFoldersEdt, ChooseFoldersBtn, ImapSentCopyChk, ImapMarkReadChk})
        imapOnly->setEnabled(captions.ImapOptions);
}

void TAccountEdtFrm::SetSecurity(const TAccountSecurity& security)
{
    m_security = security;
    IncomingProtocolCmb->setCurrentIndex(security.Incoming == TIncomingProtocol::Imap ? 1 : 0);
    QStringList folders;
    for (const QByteArray& folder : security.ImapFolders)
        folders.append(QString::fromUtf8(folder));
    ImapFoldersEdt->setPlainText(folders.join(QLatin1Char('\n')));
    ImapSentCopyChk->setChecked(security.ImapSentCopy);
    ImapMarkReadChk->setChecked(security.ImapMarkRead);
    ShowIncomingProtocol();
    PopSecurityCmb->setCurrentIndex(SecurityIndex(security.PopSecurity));
    SmtpSecurityCmb->setCurrentIndex(SecurityIndex(security.SmtpSecurity));
    m_popPin = security.PopPin;
    m_smtpPin = security.SmtpPin;
    ShowPins();
    m_security = security;
    KeyringChk->setChecked(security.Secrets == TSecretStore::Keyring);
    AuthMethodCmb->setCurrentIndex(security.Auth == TAuthMethod::OAuth2 ? 1 : 0);
    ClientIdEdt->setText(QString::fromUtf8(security.OAuth2.ClientId));
    ClientSecretEdt->setText(QString::fromUtf8(security.OAuth2.ClientSecret));
    AuthUrlEdt->setText(QString::fromUtf8(security.OAuth2.AuthUrl));
    TokenUrlEdt->setText(QString::fromUtf8(security.OAuth2.TokenUrl));
    ScopeEdt->setText(QString::fromUtf8(security.OAuth2.Scope));
    ShowSecretStore();
    UpdateSignInStates();
}

void TAccountEdtFrm::UpdatePlainTextWarning()
{
    const bool plain = SecurityModes[PopSecurityCmb->currentIndex()] == TqmSecurity::secNone
        || SecurityModes[SmtpSecurityCmb->currentIndex()] == TqmSecurity::secNone;
    PlainTextWarningLbl->setVisible(plain);
}

TAccountSecurity TAccountEdtFrm::Security() const
{
    TAccountSecurity security = m_security;
    security.PopSecurity = SecurityModes[PopSecurityCmb->currentIndex()];
    security.SmtpSecurity = SecurityModes[SmtpSecurityCmb->currentIndex()];
    security.PopPin = m_popPin;
    security.SmtpPin = m_smtpPin;
    security.Secrets = KeyringChk->isChecked() ? TSecretStore::Keyring : TSecretStore::Record;
    security.Auth = AuthMethodCmb->currentIndex() == 1 ? TAuthMethod::OAuth2 : TAuthMethod::Password;
    security.OAuth2 = Registration();
    security.Incoming = IncomingProtocolCmb->currentIndex() == 1 ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
    security.ImapFolders = FoldersOfText(ImapFoldersEdt->toPlainText());
    security.ImapSentCopy = ImapSentCopyChk->isChecked();
    security.ImapMarkRead = ImapMarkReadChk->isChecked();
    return security;
}

void TAccountEdtFrm::SetAccount(const TAccount& account)
{
    m_account = account;
    const TAccountFields f = FieldsOfAccount(account);
    NameEdt->setText(f.Name);
    PopServerEdt->setText(f.PopServer);
    PopUsernameEdt->setText(f.PopUsername);
    PopPasswordEdt->setText(f.PopPassword);
    SmtpServerEdt->setText(f.SmtpServer);
    SmtpNameEdt->setText(f.SmtpName);
    SmtpAddressEdt->setText(f.SmtpAddress);
    SmtpCompanyEdt->setText(f.SmtpCompany);
    SmtpReplyToAdrEdt->setText(f.SmtpReplyToAdr);
    PopKeepMailsChk->setChecked(f.PopKeepMails);
    PopDeleteMailsChk->setChecked(f.PopKeepMails && f.PopDeleteMails);
    PopDeleteDaysEdt->setText(f.PopDeleteDays);
    RasForceServiceChk->setChecked(f.RasForceService);
    RasHangUpChk->setChecked(f.RasHangUp);
    SmtpAuthChk->setChecked(f.SmtpAuth);
    SmtpUsernameEdt->setText(f.SmtpUsername);
    SmtpPasswordEdt->setText(f.SmtpPassword);
    SmtpAuthPopChk->setChecked(f.SmtpAuthPop);

    const QSignalBlocker blocker(RASServiceCmb);
    RASServiceCmb->clear();
    RASServiceCmb->addItem(QString());
    RASServiceCmb->addItems(m_dialUp.GetEntries());
    const int entry = f.RASService.isEmpty() ? 0 : RASServiceCmb->findText(f.RASService);
    if (entry < 0) {
        // An entry the system no longer has stays chosen, so that saving does not drop it silently.
        RASServiceCmb->addItem(f.RASService);
        RASServiceCmb->setCurrentIndex(RASServiceCmb->count() - 1);
    } else {
        RASServiceCmb->setCurrentIndex(entry);
    }
    (RASServiceCmb->currentIndex() > 0 ? RasRb : LanRb)->setChecked(true);
    PageControl->setCurrentIndex(0);
    NameEdt->setFocus();
    UpdateStates();
}

TAccount TAccountEdtFrm::Account() const
{
    TAccountFields f;
    f.Name = NameEdt->text();
    f.PopServer = PopServerEdt->text().trimmed();
    f.PopUsername = PopUsernameEdt->text();
    f.PopPassword = PopPasswordEdt->text();
    f.PopKeepMails = PopKeepMailsChk->isChecked();
    f.PopDeleteMails = PopDeleteMailsChk->isChecked();
    f.PopDeleteDays = PopDeleteDaysEdt->text();
    f.RASService = RASServiceCmb->currentIndex() > 0 ? RASServiceCmb->currentText() : QString();
    f.RasForceService = RasForceServiceChk->isChecked();
    f.RasHangUp = RasHangUpChk->isChecked();
    f.SmtpServer = SmtpServerEdt->text().trimmed();
    f.SmtpName = SmtpNameEdt->text();
    f.SmtpAddress = SmtpAddressEdt->text().trimmed();
    f.SmtpCompany = SmtpCompanyEdt->text();
    f.SmtpAuth = SmtpAuthChk->isChecked();
    f.SmtpUsername = SmtpUsernameEdt->text();
    f.SmtpPassword = SmtpPasswordEdt->text();
    f.SmtpReplyToAdr = SmtpReplyToAdrEdt->text().trimmed();
    f.SmtpAuthPop = SmtpAuthPopChk->isChecked();
    return AccountFromFields(m_account, f);
}

void TAccountEdtFrm::UpdateStates()
{
    TAccountEdtInput input;
    input.Name = NameEdt->text();
    input.DialUpChosen = RASServiceCmb->currentIndex() > 0;
    input.DialUpEntryCount = RASServiceCmb->count() - 1;
    input.PopKeepMails = PopKeepMailsChk->isChecked();
    input.SmtpAuth = SmtpAuthChk->isChecked();
    input.SmtpAuthPop = SmtpAuthPopChk->isChecked();
    const TAccountEdtStates states = ComputeAccountEdtStates(input);
    OKBtn->setEnabled(states.OK);
    RasRb->setEnabled(states.RasRb);
    RasForceServiceChk->setEnabled(states.RasForceService);
    RasHangUpChk->setEnabled(states.RasHangUp);
    RasEditBtn->setEnabled(states.RasEdit);
    PopDeleteMailsChk->setEnabled(states.PopDeleteMails);
    PopDeleteDaysEdt->setEnabled(states.PopDeleteDays);
    SmtpAuthPopChk->setEnabled(states.SmtpAuthPop);
    SmtpUsernameEdt->setEnabled(states.SmtpLogin);
    SmtpPasswordEdt->setEnabled(states.SmtpLogin);
    if (AuthMethodCmb)
        UpdateSignInStates();
}

void TAccountEdtFrm::PopKeepMailsChkClick()
{
    if (!PopKeepMailsChk->isChecked())
        PopDeleteMailsChk->setChecked(false);
    UpdateStates();
}

void TAccountEdtFrm::CopyPopLogin()
{
    if (!SmtpAuthPopChk->isChecked())
        return;
    SmtpUsernameEdt->setText(PopUsernameEdt->text());
    SmtpPasswordEdt->setText(PopPasswordEdt->text());
}

void TAccountEdtFrm::LanRbClick()
{
    RASServiceCmb->setCurrentIndex(0);
}

void TAccountEdtFrm::RasRbClick()
{
    if (RASServiceCmb->currentIndex() == 0 && RASServiceCmb->count() > 1)
        RASServiceCmb->setCurrentIndex(1);
}

void TAccountEdtFrm::RasEditBtnClick()
{
    const QString entry = RASServiceCmb->currentText();
    if (!m_dialUp.EditEntry(entry))
        Report(AccountsText::EntryEditorMissing, TMessageKind::Warning, entry);
}

#include "Connect.h"

#include "ConnectPlan.h"
#include "DBAccountsFunctions.h"
#include "FormTranslation.h"
#include "LmserverTexts.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int ProtocolLblTag = 60;

QLabel* BuddyLabel(const QString& caption, int tag, QWidget* buddy)
{
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    SetTag(label, tag);
    return label;
}

} // namespace

TConnectFrm::TConnectFrm(const TLmserverSettings& settings, const QStringList& accountNames, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ConnectFrm"));
    setWindowTitle(QStringLiteral("Mit Mailservern verbinden"));
    SetTag(this, 40);
    QuickChk = new QCheckBox(QStringLiteral("&Quick-Connect verwenden"), this);
    QuickChk->setObjectName(QStringLiteral("QuickChk"));
    SetTag(QuickChk, 41);
    AccountsPnl = CreateAccountsPanel(accountNames, settings.AccountsNames);
    QuickPnl = CreateQuickPanel();
    ProtocolCmb->setCurrentIndex(settings.QuickProtocol == TIncomingProtocol::Imap ? 1 : 0);
    ServerEdt->setText(settings.QuickServer);
    UserEdt->setText(settings.QuickUsername);
    PasswordEdt->setText(QString::fromUtf8(settings.QuickPassword));
    PlainTextChk->setChecked(settings.QuickPlainText);
    HeadersChk = new QCheckBox(QStringLiteral("&Nachrichten Header laden (sollte bei potentiell"), this);
    HeadersChk->setObjectName(QStringLiteral("HeadersChk"));
    HeadersChk->setChecked(settings.GetHeaders);
    SetTag(HeadersChk, 45);
    HeadersLbl = new QLabel(QStringLiteral("defekten Nachrichten nicht gesetzt werden)"), this);
    HeadersLbl->setObjectName(QStringLiteral("HeadersLbl"));
    HeadersLbl->setIndent(HeadersChk->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6);
    SetTag(HeadersLbl, 46);
    auto* buttons = new QDialogButtonBox(this);
    ConnectBtn = buttons->addButton(QStringLiteral("&Verbinden"), QDialogButtonBox::AcceptRole);
    CancelBtn = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    ConnectBtn->setObjectName(QStringLiteral("ConnectBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    ConnectBtn->setDefault(true);
    SetTag(ConnectBtn, 47);
    SetTag(CancelBtn, 48);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(QuickChk);
    layout->addWidget(AccountsPnl);
    layout->addWidget(QuickPnl);
    layout->addWidget(HeadersChk);
    layout->addWidget(HeadersLbl);
    layout->addWidget(buttons);

    connect(QuickChk, &QCheckBox::toggled, this, &TConnectFrm::QuickChkClick);
    connect(ProtocolCmb, &QComboBox::currentIndexChanged, this, &TConnectFrm::ShowProtocol);
    connect(ServerEdt, &QLineEdit::textChanged, this, &TConnectFrm::UpdateConnectBtn);
    connect(UserEdt, &QLineEdit::textChanged, this, &TConnectFrm::UpdateConnectBtn);
    connect(AccountsLst, &QListWidget::itemChanged, this, &TConnectFrm::UpdateConnectBtn);
    QuickChk->setChecked(settings.QuickConnect);
    TranslateFormIfEnglish(this);
    QuickChkClick();
    InstallHelpKey(this, HelpContext::ServerConnect);
}

QWidget* TConnectFrm::CreateQuickPanel()
{
    auto* panel = new QWidget(this);
    ProtocolCmb = new QComboBox(panel);
    ProtocolCmb->setObjectName(QStringLiteral("ProtocolCmb"));
    ProtocolCmb->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    ServerEdt = new QLineEdit(panel);
    ServerEdt->setObjectName(QStringLiteral("ServerEdt"));
    UserEdt = new QLineEdit(panel);
    UserEdt->setObjectName(QStringLiteral("UserEdt"));
    PasswordEdt = new QLineEdit(panel);
    PasswordEdt->setObjectName(QStringLiteral("PasswordEdt"));
    PasswordEdt->setEchoMode(QLineEdit::Password);
    ServerEdt->setMinimumWidth(240);
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(BuddyLabel(QStringLiteral("P&rotokoll:"), ProtocolLblTag, ProtocolCmb), ProtocolCmb);
    ServerLbl = new QLabel(panel);
    ServerLbl->setObjectName(QStringLiteral("ServerLbl"));
    ServerLbl->setBuddy(ServerEdt);
    form->addRow(ServerLbl, ServerEdt);
    PortHintLbl = new QLabel(panel);
    PortHintLbl->setObjectName(QStringLiteral("PortHintLbl"));
    PortHintLbl->setWordWrap(true);
    form->addRow(QString(), PortHintLbl);
    form->addRow(BuddyLabel(QStringLiteral("&Kontoname:"), 43, UserEdt), UserEdt);
    form->addRow(BuddyLabel(QStringLiteral("Kenn&wort:"), 44, PasswordEdt), PasswordEdt);
    PlainTextChk = new QCheckBox(QStringLiteral("Anmeldung &ohne Verschlüsselung erlauben (Kennwort im Klartext)"), panel);
    PlainTextChk->setObjectName(QStringLiteral("PlainTextChk"));
    SetTag(PlainTextChk, 50);
    form->addRow(PlainTextChk);
    return panel;
}

QWidget* TConnectFrm::CreateAccountsPanel(const QStringList& accountNames, const QStringList& ticked)
{
    auto* panel = new QWidget(this);
    AccountsLst = new QListWidget(panel);
    AccountsLst->setObjectName(QStringLiteral("AccountsLst"));
    for (const QString& name : accountNames) {
        auto* item = new QListWidgetItem(name, AccountsLst);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked.contains(name) ? Qt::Checked : Qt::Unchecked);
    }
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(BuddyLabel(QStringLiteral("Konten:"), 49, AccountsLst));
    layout->addWidget(AccountsLst);
    return panel;
}

void TConnectFrm::QuickChkClick()
{
    QuickPnl->setVisible(QuickChk->isChecked());
    AccountsPnl->setVisible(!QuickChk->isChecked());
    ShowProtocol();
    UpdateConnectBtn();
    adjustSize();
}

TIncomingProtocol TConnectFrm::QuickProtocol() const
{
    return ProtocolCmb->currentIndex() == 1 ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
}

void TConnectFrm::ShowProtocol()
{
    const bool imap = QuickProtocol() == TIncomingProtocol::Imap;
    ServerLbl->setText(MessageText(imap ? LmserverText::ImapServerCaption : LmserverText::Pop3ServerCaption));
    PortHintLbl->setText(MessageText(imap ? LmserverText::ImapPortHint : LmserverText::Pop3PortHint));
    // IMAP lists from the server's ENVELOPE: no header block is read that could be broken.
    const bool headersMatter = !QuickChk->isChecked() || !imap;
    HeadersChk->setEnabled(headersMatter);
    HeadersLbl->setEnabled(headersMatter);
}

QStringList TConnectFrm::TickedAccounts() const
{
    QStringList names;
    for (int row = 0; row < AccountsLst->count(); ++row)
        if (AccountsLst->item(row)->checkState() == Qt::Checked)
            names.append(AccountsLst->item(row)->text());
    return names;
}

void TConnectFrm::UpdateConnectBtn()
{
    ConnectBtn->setEnabled(CanConnect(QuickChk->isChecked(), ServerEdt->text(), UserEdt->text(), int(TickedAccounts().size())));
}

void TConnectFrm::ApplyTo(TLmserverSettings& settings) const
{
    settings.QuickConnect = QuickChk->isChecked();
    settings.QuickServer = ServerEdt->text().trimmed();
    settings.QuickUsername = UserEdt->text().trimmed();
    settings.QuickPassword = PasswordEdt->text().toUtf8();
    settings.QuickPlainText = PlainTextChk->isChecked();
    settings.QuickProtocol = QuickProtocol();
    settings.AccountsNames = TickedAccounts();
    settings.GetHeaders = HeadersChk->isChecked();
}

bool TConnectFrm::Execute(QWidget* parent, TLmserverSettings& settings)
{
    QStringList names;
    for (const QByteArray& name : AccountNames())
        names.append(QString::fromUtf8(name));
    TConnectFrm form(settings, names, parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    form.ApplyTo(settings);
    return true;
}

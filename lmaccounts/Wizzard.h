#pragma once
// The wizard for the first mail account: name, address and password; the look-up of the
// provider's settings and their test; incoming server (POP3 with port and security), outgoing
// server (SMTP with port, security and authentication), mailbox log-in, account name, and a last
// page that tests both connections. A found set that works leads straight to the account name;
// otherwise the server pages show what was found for correcting. Back, Next/Finish and Cancel.
// The choices and their rules are lmaccounts_core's (WizardRules, ConnectionTest,
// FoundSettingsCheck); this form wires them to the widgets.

#include "WizardRules.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class TConnectionTestPage;
class TLookupPage;

class TWizzardFrm : public QDialog {
    Q_OBJECT
public:
    explicit TWizzardFrm(QWidget* parent = nullptr);

    // Runs the wizard modally; on Finish `draft` becomes the new account and its security. A draft
    // with a name (the name was taken) reopens on the account name page with everything as typed.
    static bool Run(QWidget* parent, TAccountDraft& draft);

    void SetChoices(const TWizardChoices& choices);
    TWizardChoices Choices() const;
    TAccountDraft Draft() const { return WizardDraft(Choices()); }
    void ShowPage(int page);
    int CurrentPage() const;
    void PrevBtnClick();
    void NextBtnClick();

    // Asks before a security without encryption is taken; tests answer it without a person.
    std::function<bool(const QString& question)> AskQuestion;

    QStackedWidget* Pages;
    QWidget* Pan[WizardPageCount];
    QLabel* TitleLbl[WizardPageCount];
    QLineEdit* SmtpNameEdt;
    QLineEdit* SmtpAddressEdt;
    // POP3 or IMAP: the port and the server's caption follow it.
    QComboBox* IncomingProtocolCmb;
    QLineEdit* PopServerEdt;
    QLineEdit* PopPortEdt;
    QComboBox* PopSecurityCmb;
    QLabel* PopPlainTextLbl;
    QLineEdit* SmtpServerEdt;
    QLineEdit* SmtpPortEdt;
    QComboBox* SmtpSecurityCmb;
    QLabel* SmtpPlainTextLbl;
    QCheckBox* SmtpAuthChk;
    QLineEdit* PopUsernameEdt;
    QLineEdit* PopPasswordEdt;
    QLineEdit* NameEdt;
    TLookupPage* LookupPage;
    TConnectionTestPage* TestPage;
    QPushButton* PrevBtn;
    QPushButton* NextBtn;
    QPushButton* CancelBtn;

public slots:
    // Cancels a running connection test before the wizard closes.
    void reject() override;

private:
    // One server's widgets, so that both pages share their wiring.
    struct TServerFields {
        TMailService Service;
        QLineEdit* Server;
        QLineEdit* Port;
        QComboBox* Security;
        QLabel* PlainText;
        bool PortTyped = false;
        int SecurityIndex = 0;
        TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
        QLabel* ServerLbl = nullptr;
    };

    QWidget* NewPage(int index, const QString& title, int titleTag, const QString& text, int textTag);
    void AddServerPage(int index, TServerFields& fields);
    void WireServerFields(TServerFields& fields);
    void IncomingProtocolChanged(int index);
    void SecurityChanged(TServerFields& fields, int index);
    // A "host:port" typed into the server field moves its port into the port field.
    void TakePortFromServer(TServerFields& fields);
    TServerChoice ServerChoice(const TServerFields& fields) const;
    void SetServerChoice(TServerFields& fields, const TServerChoice& choice);
    bool AskPlainText();
    bool Busy() const;
    void StartLookup();
    void UpdateButtons();

    TServerFields m_pop{TMailService::Pop, nullptr, nullptr, nullptr, nullptr};
    TServerFields m_smtp{TMailService::Smtp, nullptr, nullptr, nullptr, nullptr};
    TServerPin m_popPin;
    TServerPin m_smtpPin;
    QString m_nextCaption;
    QString m_finishCaption;
};

#pragma once
// The account editor: the account name above the pages General (POP3 and SMTP servers and the
// sender), Connection (dial-up entry) and Advanced (mailbox options, SMTP authentication, and room
// for the connection security controls). The enabling rules come from ComputeAccountEdtStates.

#include "AccountEdtRules.h"
#include "AccountsFunctions.h"
#include "DBAccountSecurity.h"
#include "DialUp.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;

class TAccountEdtFrm : public QDialog {
    Q_OBJECT
public:
    TAccountEdtFrm(std::shared_ptr<TnkRasBackend> dialUpBackend, QWidget* parent = nullptr);

    // Edits `draft` modally; on OK the fields and the security are copied into it. Nothing is
    // stored here: the caller stores the draft once its name is accepted.
    static bool Run(QWidget* parent, TAccountDraft& draft, std::shared_ptr<TnkRasBackend> dialUpBackend);

    void SetAccount(const TAccount& account);
    // The transport security stored beside the account record.
    void SetSecurity(const TAccountSecurity& security);
    TAccountSecurity Security() const;
    TAccount Account() const;

    void LanRbClick();
    void RasRbClick();
    void RasEditBtnClick();

    QLineEdit* NameEdt;
    QTabWidget* PageControl;
    // POP3 or IMAP; the captions naming the protocol and the IMAP-only controls follow it.
    QComboBox* IncomingProtocolCmb;
    // IMAP: the server folders received besides the inbox, one per line; disabled for POP3.
    QPlainTextEdit* ImapFoldersEdt;
    QCheckBox* ImapSentCopyChk;
    QLineEdit* PopServerEdt;
    QLineEdit* PopUsernameEdt;
    QLineEdit* PopPasswordEdt;
    QLineEdit* SmtpServerEdt;
    QLineEdit* SmtpNameEdt;
    QLineEdit* SmtpAddressEdt;
    QLineEdit* SmtpCompanyEdt;
    QLineEdit* SmtpReplyToAdrEdt;
    QRadioButton* LanRb;
    QRadioButton* RasRb;
    QComboBox* RASServiceCmb;
    QPushButton* RasEditBtn;
    QCheckBox* RasForceServiceChk;
    QCheckBox* RasHangUpChk;
    QCheckBox* PopKeepMailsChk;
    QCheckBox* PopDeleteMailsChk;
    QLineEdit* PopDeleteDaysEdt;
    QCheckBox* SmtpAuthChk;
    QCheckBox* SmtpAuthPopChk;
    QLineEdit* SmtpUsernameEdt;
    QLineEdit* SmtpPasswordEdt;
    QComboBox* PopSecurityCmb;
    QComboBox* SmtpSecurityCmb;
    // The trusted certificates of the two servers: fingerprint and "host:port", read-only.
    QLabel* PopPinLbl;
    QLabel* SmtpPinLbl;
    QPushButton* PopPinForgetBtn;
    QPushButton* SmtpPinForgetBtn;
    // Shown while either protocol is set to "none".
    QLabel* PlainTextWarningLbl;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void ShowIncomingProtocol();
    QWidget* GeneralPage();
    QWidget* ConnectionPage();
    QWidget* AdvancedPage();
    void UpdateStates();
    void UpdatePlainTextWarning();
    void PopKeepMailsChkClick();
    void CopyPopLogin();
    QWidget* PinRow(QWidget* parent, QLabel*& pinLbl, QPushButton*& forgetBtn, const char* name, const QString& forgetCaption,
                    int forgetTag);
    void ShowPins();
    void ForgetPin(TMailService service);

    TDialUp m_dialUp;
    TAccount m_account;
    // Stored with the account on OK; Forget empties one.
    TServerPin m_popPin;
    TServerPin m_smtpPin;
    // What the editor does not show (where secrets are kept, the sign-in method) comes back as it was.
    TAccountSecurity m_security;
    // The widgets whose captions name the incoming protocol.
    QGroupBox* m_incomingGroup = nullptr;
    QGroupBox* m_mailboxGroup = nullptr;
    QLabel* m_serverLbl = nullptr;
    QLabel* m_securityLbl = nullptr;
    QLabel* m_pinLbl = nullptr;
    QLabel* m_foldersLbl = nullptr;
};

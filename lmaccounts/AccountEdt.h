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

class TOAuth2SignIn;
struct TSignInResult;

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

struct TServerTestSettings;

class TAccountEdtFrm : public QDialog {
    Q_OBJECT
public:
    TAccountEdtFrm(std::shared_ptr<TnkRasBackend> dialUpBackend, QWidget* parent = nullptr);

    // Edits `draft` modally; on OK the fields and the security are copied into it. Nothing is
    // stored here: the caller stores the draft once its name is accepted.
    static bool Run(QWidget* parent, TAccountDraft& draft, std::shared_ptr<TnkRasBackend> dialUpBackend);

    void SetAccount(const TAccount& account);
    // The security stored beside the account record: transport security, where the secrets are
    // kept, the sign-in method and the OAuth2 registration.
    void SetSecurity(const TAccountSecurity& security);
    TAccountSecurity Security() const;
    TAccount Account() const;
    // The tokens of a sign-in made in this dialog; nothing when there was none.
    const std::optional<TOAuth2Tokens>& NewTokens() const { return m_newTokens; }
    // Runs the sign-in in the browser; the result shows in SignInStatusLbl.
    void SignInBtnClick();
    void ChooseFoldersBtnClick();
    // The account's access token in `settings`; false, after saying why, when there is none.
    bool UseAccessToken(TServerTestSettings& settings);
    void SetSignedIn(bool signedIn);

    void LanRbClick();
    void RasRbClick();
    void RasEditBtnClick();

    QLineEdit* NameEdt;
    QTabWidget* PageControl;
    // POP3 or IMAP; the captions naming the protocol and the IMAP-only controls follow it.
    QComboBox* IncomingProtocolCmb;
    // IMAP: the server folders received besides the inbox, one per line; disabled for POP3.
    QPlainTextEdit* ImapFoldersEdt;
    QPushButton* ChooseFoldersBtn;
    QCheckBox* ImapSentCopyChk;
    QCheckBox* ImapMarkReadChk;
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
    // Which store holds the secrets, and the choice to keep them in the keyring.
    QLabel* SecretStoreLbl;
    QCheckBox* KeyringChk;
    QComboBox* AuthMethodCmb = nullptr;
    QLineEdit* ClientIdEdt;
    QLineEdit* ClientSecretEdt;
    QLineEdit* AuthUrlEdt;
    QLineEdit* TokenUrlEdt;
    QLineEdit* ScopeEdt;
    QPushButton* SignInBtn;
    QLabel* SignInStatusLbl;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void ShowIncomingProtocol();
    QWidget* GeneralPage();
    QWidget* ConnectionPage();
    QWidget* AdvancedPage();
    QWidget* SignInGroup();
    void UpdateSignInStates();
    void ShowSecretStore();
    void SignInFinished(const TSignInResult& result);
    TOAuth2Registration Registration() const;
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
    // The values of the group this dialog does not show are kept as they were.
    TAccountSecurity m_security;
    std::optional<TOAuth2Tokens> m_newTokens;
    // Where the account's tokens stand when the dialog opens: signed in or not.
    bool m_signedIn = false;
    TOAuth2SignIn* m_signIn = nullptr;
    bool m_keyringAvailable = false;
    // The widgets whose captions name the incoming protocol.
    QGroupBox* m_incomingGroup = nullptr;
    QGroupBox* m_mailboxGroup = nullptr;
    QLabel* m_serverLbl = nullptr;
    QLabel* m_securityLbl = nullptr;
    QLabel* m_pinLbl = nullptr;
    QLabel* m_foldersLbl = nullptr;
};

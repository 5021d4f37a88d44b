#pragma once
// The account editor's rules as plain data: which controls are enabled for the
// state of the others, and how the typed texts become an account record.

#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"

#include <QString>

struct TAccountEdtInput {
    QString Name;
    bool DialUpChosen = false;
    int DialUpEntryCount = 0;
    bool PopKeepMails = true;
    bool SmtpAuth = false;
    bool SmtpAuthPop = false;
};

struct TAccountEdtStates {
    bool OK = false;
    bool RasRb = false;
    bool RasForceService = false;
    bool RasHangUp = false;
    bool RasEdit = false;
    bool PopDeleteMails = false;
    bool PopDeleteDays = false;
    bool SmtpAuthPop = false;
    // The SMTP user name and password fields.
    bool SmtpLogin = false;
};

TAccountEdtStates ComputeAccountEdtStates(const TAccountEdtInput& input);

// The Advanced page's controls of the secret store and the sign-in method.
struct TSignInInput {
    bool KeyringAvailable = false;
    // Where the account's secrets are now.
    TSecretStore Store = TSecretStore::Record;
    TAuthMethod Method = TAuthMethod::Password;
    bool RegistrationComplete = false;
    bool SigningIn = false;
};

struct TSignInStates {
    // Moving into the keyring needs one; moving out of it is always offered.
    bool KeyringChk = false;
    bool RegistrationFields = false;
    bool SignInBtn = false;
    // An OAuth2 account has no passwords to type.
    bool Passwords = true;
};

TSignInStates ComputeSignInStates(const TSignInInput& input);

// The message numbers of the captions that name the incoming protocol, and whether the IMAP-only
// controls (further folders, sent copies) are enabled.
struct TIncomingCaptions {
    int Group = 0;
    int Server = 0;
    int Mailbox = 0;
    int Security = 0;
    int PinLabel = 0;
    // The SMTP option that takes over the incoming server's log-in.
    int UseLogIn = 0;
    bool ImapOptions = false;
};
TIncomingCaptions IncomingCaptions(TIncomingProtocol protocol);
// The folder names typed one per line, blank lines and surrounding blanks dropped; "INBOX" (which
// is always received) is left out.
QByteArrayList FoldersOfText(const QString& text);

// The texts of the editor's fields, as typed.
struct TAccountFields {
    QString Name;
    QString PopServer;
    QString PopUsername;
    QString PopPassword;
    bool PopKeepMails = true;
    bool PopDeleteMails = true;
    QString PopDeleteDays;
    QString RASService;
    bool RasForceService = false;
    bool RasHangUp = false;
    QString SmtpServer;
    QString SmtpName;
    QString SmtpAddress;
    QString SmtpCompany;
    bool SmtpAuth = false;
    QString SmtpUsername;
    QString SmtpPassword;
    QString SmtpReplyToAdr;
    bool SmtpAuthPop = false;
};

TAccountFields FieldsOfAccount(const TAccount& account);
// Every field copied into `account`, strings cut to their capacity, the days as ParseDeleteDays.
TAccount AccountFromFields(TAccount account, const TAccountFields& fields);
// A whole number from 0 to 365; anything else is 0.
qint32 ParseDeleteDays(const QString& text);

// The editor's OK needs a name of more than two characters.
bool AccountNameAcceptable(const QString& name);

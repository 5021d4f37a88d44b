#include "AccountEdtRules.h"

#include "qmutils.h"

namespace {

constexpr qint32 MaxDeleteDays = 365;

QByteArray Field(const QString& text, qsizetype capacity)
{
    return CutToCapacity(text.toUtf8(), capacity);
}

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

bool AccountNameAcceptable(const QString& name)
{
    return name.size() > 2;
}

TAccountEdtStates ComputeAccountEdtStates(const TAccountEdtInput& input)
{
    TAccountEdtStates states;
    states.OK = AccountNameAcceptable(input.Name);
    states.RasRb = input.DialUpEntryCount > 0;
    states.RasForceService = input.DialUpChosen;
    states.RasHangUp = input.DialUpChosen;
    states.RasEdit = input.DialUpChosen;
    states.PopDeleteMails = input.PopKeepMails;
    states.PopDeleteDays = input.PopKeepMails;
    states.SmtpAuthPop = input.SmtpAuth;
    states.SmtpLogin = input.SmtpAuth && !input.SmtpAuthPop;
    return states;
}

qint32 ParseDeleteDays(const QString& text)
{
    bool ok = false;
    const int days = text.trimmed().toInt(&ok);
    return ok && days >= 0 && days <= MaxDeleteDays ? days : 0;
}

TAccountFields FieldsOfAccount(const TAccount& account)
{
    TAccountFields f;
    f.Name = Text(account.Name);
    f.PopServer = Text(account.PopServer);
    f.PopUsername = Text(account.PopUsername);
    f.PopPassword = Text(account.PopPassword);
    f.PopKeepMails = account.PopKeepMails;
    f.PopDeleteMails = account.PopDeleteMails;
    f.PopDeleteDays = QString::number(account.PopDeleteDays);
    f.RASService = Text(account.RASService);
    f.RasForceService = account.RasForceService;
    f.RasHangUp = account.RasHangUp;
    f.SmtpServer = Text(account.SmtpServer);
    f.SmtpName = Text(account.SmtpName);
    f.SmtpAddress = Text(account.SmtpAddress);
    f.SmtpCompany = Text(account.SmtpCompany);
    f.SmtpAuth = account.SmtpAuth;
    f.SmtpUsername = Text(account.SmtpUsername);
    f.SmtpPassword = Text(account.SmtpPassword);
    f.SmtpReplyToAdr = Text(account.SmtpReplyToAdr);
    f.SmtpAuthPop = account.SmtpAuthPop;
    return f;
}

TAccount AccountFromFields(TAccount account, const TAccountFields& f)
{
    account.Name = Field(f.Name, 50);
    account.PopServer = Field(f.PopServer, 50);
    account.PopUsername = Field(f.PopUsername, 50);
    account.PopPassword = Field(f.PopPassword, 50);
    account.PopKeepMails = f.PopKeepMails;
    account.PopDeleteMails = f.PopKeepMails && f.PopDeleteMails;
    account.PopDeleteDays = ParseDeleteDays(f.PopDeleteDays);
    account.RASService = Field(f.RASService, 50);
    account.RasForceService = f.RasForceService;
    account.RasHangUp = f.RasHangUp;
    account.SmtpServer = Field(f.SmtpServer, 50);
    account.SmtpName = Field(f.SmtpName, 50);
    account.SmtpAddress = Field(f.SmtpAddress, 80);
    account.SmtpCompany = Field(f.SmtpCompany, 50);
    account.SmtpAuth = f.SmtpAuth;
    // With the POP3 login in use, the SMTP login is the POP3 one, whatever the fields still show.
    account.SmtpUsername = Field(f.SmtpAuthPop ? f.PopUsername : f.SmtpUsername, 80);
    account.SmtpPassword = Field(f.SmtpAuthPop ? f.PopPassword : f.SmtpPassword, 80);
    account.SmtpReplyToAdr = Field(f.SmtpReplyToAdr, 80);
    account.SmtpAuthPop = f.SmtpAuthPop;
    return account;
}

TSignInStates ComputeSignInStates(const TSignInInput& input)
{
    TSignInStates states;
    const bool oauth2 = input.Method == TAuthMethod::OAuth2;
    states.KeyringChk = !input.SigningIn && (input.KeyringAvailable || input.Store == TSecretStore::Keyring);
    states.RegistrationFields = oauth2 && !input.SigningIn;
    states.SignInBtn = oauth2 && input.RegistrationComplete && !input.SigningIn;
    states.Passwords = !oauth2;
    return states;
}

TIncomingCaptions IncomingCaptions(TIncomingProtocol protocol)
{
    // Message numbers: POP3 at even, IMAP at odd ids from 200.
    const int imap = protocol == TIncomingProtocol::Imap ? 1 : 0;
    return {200 + imap, 202 + imap, 204 + imap, 206 + imap, 208 + imap, 250 + imap, imap == 1};
}

QByteArrayList FoldersOfText(const QString& text)
{
    QByteArrayList folders;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString folder = line.trimmed();
        if (!folder.isEmpty() && folder.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) != 0
            && !folders.contains(folder.toUtf8()))
            folders.append(folder.toUtf8());
    }
    return folders;
}

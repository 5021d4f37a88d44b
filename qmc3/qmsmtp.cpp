#include "qmsmtp.h"

#include "qmconst.h"
#include "qmmsg.h"
#include "qmpump.h"
#include "qmsasl.h"

#include <QDir>
#include <QHostInfo>

#include <utility>

namespace {

constexpr qint64 CopyBlockSize = 64 * 1024;
// RFC 4954, 4: the server's challenges and its request for more come as 334.
constexpr int ContinueAuth = 334;
// RFC 4954, 6: "535 5.7.8 Authentication credentials invalid".
constexpr int CredentialsInvalid = 535;
// Every message was accepted before QUIT: its answer is awaited only briefly.
constexpr int QuitTimeoutSeconds = 5;

void CopyDevice(QIODevice& source, QIODevice& target)
{
    for (;;) {
        const QByteArray block = source.read(CopyBlockSize);
        if (block.isEmpty()) {
            if (!source.atEnd())
                throw EMessageError(source.errorString());
            return;
        }
        if (target.write(block) != block.size())
            throw EMessageError(target.errorString());
    }
}

} // namespace

TTempFileStream::TTempFileStream() : QTemporaryFile(QDir::tempPath() + QStringLiteral("/qmXXXXXX"))
{
    if (!open())
        throw EMessageError(errorString());
}

void TTempFileStream::LoadFromStream(QIODevice& source)
{
    if (!resize(0) || !seek(0))
        throw EMessageError(errorString());
    CopyDevice(source, *this);
}

void TTempFileStream::SaveToStream(QIODevice& target)
{
    if (!seek(0))
        throw EMessageError(errorString());
    CopyDevice(*this, target);
}

void TTempFileStream::LoadFromFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EMessageError(file.errorString());
    LoadFromStream(file);
}

void TTempFileStream::SaveToFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EMessageError(file.errorString());
    SaveToStream(file);
}

TqmSMTP::TqmSMTP(QObject* parent) : TqmMailBase(parent)
{
    DefaultPort = 25;
    ServiceName = "smtp";
    DefaultTlsPort = 465;
    TlsServiceName = "submissions";
}

void TqmSMTP::Open()
{
    Verify();
    ReInit();
    TqmMailBase::Open();
}

int TqmSMTP::Command(const QByteArray& line)
{
    const int code = CommandCode(line);
    return code < 0 ? -1 : code / 100;
}

int TqmSMTP::CommandCode(const QByteArray& line)
{
    SendLine(line);
    return RecvLines();
}

void TqmSMTP::RequireAuthAccepted(int code) const
{
    if (code == CredentialsInvalid)
        RefuseLogIn();
    RequireClass(code < 0 ? -1 : code / 100, 2);
}

void TqmSMTP::LogIn()
{
    Connect();
    const int greeting = RecvLines();
    RequireGreeting(greeting / 100 == 2, greeting > 0, "SMTP");
    m_extended = Greet();
    if (!WantsStartTls())
        return;
    try {
        RequireClass(Command("STARTTLS"), 2);
        StartTls();
    } catch (const EServerError&) {
        Close();
        throw;
    }
    // What the server said in clear may have been forged: ask again over TLS.
    m_extended = Greet();
}

bool TqmSMTP::Greet()
{
    Extensions.clear();
    const QByteArray name = HeloName();
    if (Command("EHLO " + name) == 2) {
        Extensions = detail::ParseEhloKeywords(ReplyLines);
        return true;
    }
    if (Command("HELO " + name) != 2)
        RequireClass(Command("HELO"), 2);
    return false;
}

bool TqmSMTP::WantsStartTls()
{
    const bool offered = Extensions.contains("STARTTLS");
    if (Security == TqmSecurity::secStartTls && !offered) {
        Close();
        Fail(qmMessageText(qmTlsNotOffered).arg(QStringLiteral("STARTTLS")), qmTlsNotOffered);
    }
    if (Security == TqmSecurity::secAuto && !offered && TlsSeenBefore)
        RefusePlainLogIn("STARTTLS");
    return offered && !Encrypted() && (Security == TqmSecurity::secStartTls || Security == TqmSecurity::secAuto);
}

QByteArray TqmSMTP::HeloName() const
{
    const QString host = QHostInfo::localHostName();
    const QString domain = QHostInfo::localDomainName();
    if (host.contains(QLatin1Char('.')))
        return host.toUtf8();
    if (!host.isEmpty() && !domain.isEmpty())
        return (host + QLatin1Char('.') + domain).toUtf8();
    const QHostAddress address = LocalAddress();
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return "[IPv6:" + address.toString().toLatin1() + ']';
    return '[' + address.toString().toLatin1() + ']';
}

void TqmSMTP::LogOut()
{
    ProcessMessagesNow();
    SendLine("QUIT");
    // RFC 5321, 4.1.1.10: the server answers 221, then closes. Closing first would cut off what it
    // still has to say; but the messages went before, so no answer, a late one or a refusal
    // changes nothing and is not an error.
    const int limit = GetTimeOut();
    const TqmErrorEvent onError = std::exchange(OnError, nullptr);
    SetTimeOut(qMin(limit, QuitTimeoutSeconds));
    try {
        RecvLines();
    } catch (const ECanceledError&) {
        OnError = onError;
        SetTimeOut(limit);
        throw;
    } catch (const EqmException&) {
    }
    OnError = onError;
    SetTimeOut(limit);
}

void TqmSMTP::Authenticate()
{
    // Only an explicit "none" lets credentials go out in clear.
    if (!Encrypted() && Security != TqmSecurity::secNone)
        RefusePlainLogIn("STARTTLS");
    if (LogInMethod == TqmLogInMethod::OAuth2) {
        AuthenticateOAuth2(m_extended ? Extensions.value("AUTH").split(' ') : QByteArrayList());
        return;
    }
    if (!m_extended) {
        AuthenticateLogin(false);
        return;
    }
    // Some servers offer AUTH only after a step they do not announce, or not at all: then their own
    // refusal tells the user more than "no log-in method".
    if (!Extensions.contains("AUTH")) {
        AuthenticateLogin(true);
        return;
    }
    const QByteArrayList offered = Extensions.value("AUTH").split(' ');
    switch (detail::ChooseSaslMechanism(offered, Encrypted())) {
    case detail::TSaslMechanism::Plain:
        SendSecretLine("AUTH PLAIN " + detail::SaslPlainMessage(UserName, Password).toBase64(), "AUTH PLAIN ****");
        RequireAuthAccepted(RecvLines());
        return;
    case detail::TSaslMechanism::Login: AuthenticateLogin(true); return;
    case detail::TSaslMechanism::CramMd5: AuthenticateCramMd5(); return;
    case detail::TSaslMechanism::None: break;
    }
    throw EServerError(qmMessageText(qmNoAuthMechanism));
}

void TqmSMTP::AuthenticateLogin(bool requireUserAccepted)
{
    Require(CommandCode("AUTH LOGIN") == ContinueAuth);
    SendSecretLine(UserName.toBase64(), "****");
    const int userReply = RecvLines();
    if (userReply != ContinueAuth) {
        if (userReply == CredentialsInvalid)
            RefuseLogIn();
        Require(!requireUserAccepted);
        return;
    }
    SendSecretLine(Password.toBase64(), "****");
    RequireAuthAccepted(RecvLines());
}

void TqmSMTP::AuthenticateCramMd5()
{
    Require(CommandCode("AUTH CRAM-MD5") == ContinueAuth);
    QByteArray challenge;
    if (!detail::DecodeChallenge(LastReply, challenge)) {
        Close();
        throw EServerError(qmMessageText(qmBadChallenge));
    }
    SendSecretLine(detail::CramMd5Response(UserName, Password, challenge).toBase64(), "****");
    RequireAuthAccepted(RecvLines());
}

void TqmSMTP::AuthenticateOAuth2(const QByteArrayList& offered)
{
    const detail::TSaslMechanism mechanism = detail::ChooseOAuth2Mechanism(offered);
    if (mechanism == detail::TSaslMechanism::None)
        throw EServerError(qmMessageText(qmNoOAuth2Mechanism));
    const QByteArray command = "AUTH " + detail::SaslMechanismName(mechanism);
    const QByteArray message = mechanism == detail::TSaslMechanism::OAuthBearer
        ? detail::OAuthBearerMessage(UserName, Password, HostName(), Port())
        : detail::XOAuth2Message(UserName, Password);
    // RFC 4954, 4: an AUTH line may be up to 12288 octets, room for any access token.
    SendSecretLine(command + ' ' + message.toBase64(), command + " ****");
    int code = RecvLines();
    if (code == ContinueAuth) {
        // RFC 7628, 3.2.2: the 334 carries the server's error; the failure reply follows our answer.
        SendLine(detail::OAuth2ErrorAcknowledgement(mechanism));
        code = RecvLines();
        if (code / 100 != 2)
            RefuseLogIn();
    }
    RequireAuthAccepted(code);
}

void TqmSMTP::Reset()
{
    OpenConnection();
    RequireClass(Command("RSET"), 2);
}

void TqmSMTP::Send()
{
    OpenConnection();
    Send_Message();
    CloseConnection();
}

void TqmSMTP::VerifyMessage() const
{
    if (!MailMessage)
        throw EMessageError(qmMessageText(qmMailMessageRequired));
    MailMessage->Verify();
}

void TqmSMTP::Send_Message()
{
    VerifyMessage();
    TTempFileStream text;
    Fire(OnPrepare, *this);
    MailMessage->SaveToStream(text);
    SendMessageData(text);
}

void TqmSMTP::VerifySize(QIODevice& messageText) const
{
    const qint64 limit = Extensions.value("SIZE").toLongLong();
    if (limit > 0 && messageText.size() > limit)
        throw EMessageError(qmMessageText(qmMessageTooLarge).arg(messageText.size()).arg(limit));
}

void TqmSMTP::SendMessageData(QIODevice& messageText)
{
    VerifyMessage();
    VerifySize(messageText);
    if (Pipelines()) {
        SendEnvelopePipelined();
    } else {
        SendEnvelope();
        RequireClass(Command("DATA"), 3);
    }
    SendStream(messageText, TSendMode::DotStuffed);
    RequireClass(RecvLines() / 100, 2);
    // A line behind the acceptance means that one of them answered something else; the caller
    // deletes the message once this returns, so it must not return then.
    RequireNoUnreadInput(ReplyLines);
    Fire(OnMailSent, *this);
}

QByteArrayList TqmSMTP::EnvelopeRecipients() const
{
    if (!RecipientList.isEmpty())
        return RecipientList;
    QByteArrayList addresses;
    for (const TqmAddressList* list : {&MailMessage->Recipients, &MailMessage->CC, &MailMessage->BCC})
        for (qsizetype i = 0; i < list->Count(); ++i)
            addresses.append(list->Items(i).Address);
    return addresses;
}

void TqmSMTP::SendEnvelope()
{
    Fire(OnSending, *this);
    const QByteArray& sender = MailMessage->Sender.Address;
    if (!sender.isEmpty())
        RequireClass(Command("MAIL FROM:<" + sender + ">"), 2);
    bool anyAccepted = false;
    for (const QByteArray& address : EnvelopeRecipients())
        anyAccepted = SendRecipient(address) || anyAccepted;
    // DATA without a recipient would only meet the server's refusal, or worse, an early "354".
    Require(anyAccepted);
}

bool TqmSMTP::Pipelines() const
{
    return UsePipelining && m_extended && Extensions.contains("PIPELINING");
}

void TqmSMTP::SendEnvelopePipelined()
{
    Fire(OnSending, *this);
    const QByteArray& sender = MailMessage->Sender.Address;
    const QByteArrayList recipients = EnvelopeRecipients();
    QByteArrayList commands;
    if (!sender.isEmpty())
        commands.append("MAIL FROM:<" + sender + ">");
    for (const QByteArray& address : recipients)
        commands.append("RCPT TO:<" + address + ">");
    // RFC 2920, 3.1: DATA ends the group; the text waits for its 354.
    commands.append("DATA");
    SendPipelined(commands);
    // The reply that stops the message, empty while it may go out.
    QByteArray refusal;
    if (!sender.isEmpty() && RecvLines() / 100 != 2)
        refusal = LastReply;
    bool anyAccepted = false;
    for (const QByteArray& address : recipients) {
        const int replyClass = RecvLines() / 100;
        if (!refusal.isEmpty())
            continue;
        if (replyClass == 2) {
            anyAccepted = true;
            continue;
        }
        bool proceed = false;
        if (OnAddressRejected)
            OnAddressRejected(*this, address, LastReply, proceed);
        if (!proceed)
            refusal = LastReply;
    }
    if (refusal.isEmpty() && !anyAccepted)
        refusal = LastReply;
    const int dataClass = RecvLines() / 100;
    if (refusal.isEmpty()) {
        RequireClass(dataClass, 3);
        return;
    }
    if (dataClass == 3)
        Close();
    LastReply = refusal;
    Require(false);
}

bool TqmSMTP::SendRecipient(const QByteArray& address)
{
    if (Command("RCPT TO:<" + address + ">") == 2)
        return true;
    bool proceed = false;
    if (OnAddressRejected)
        OnAddressRejected(*this, address, LastReply, proceed);
    Require(proceed);
    return false;
}

#include "qmsmtp.h"

#include "qmconst.h"
#include "qmmsg.h"
#include "qmpump.h"

#include <QDir>

namespace {

constexpr qint64 CopyBlockSize = 64 * 1024;

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
}

void TqmSMTP::Open()
{
    Verify();
    ReInit();
    TqmMailBase::Open();
}

int TqmSMTP::Command(const QByteArray& line)
{
    SendLine(line);
    const int code = RecvLines();
    return code < 0 ? -1 : code / 100;
}

void TqmSMTP::LogIn()
{
    Connect();
    const int greeting = RecvLines();
    Require(greeting / 100 == 2);
    if (Command("HELO " + LocalHost()) != 2)
        RequireClass(Command("HELO"), 2);
}

void TqmSMTP::LogOut()
{
    ProcessMessagesNow();
    RequireClass(Command("QUIT"), 2);
}

void TqmSMTP::Authenticate()
{
    RequireClass(Command("AUTH LOGIN"), 3);
    if (Command(UserName.toBase64()) != 3)
        return;
    RequireClass(Command(Password.toBase64()), 2);
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

void TqmSMTP::SendMessageData(QIODevice& messageText)
{
    VerifyMessage();
    SendEnvelope();
    RequireClass(Command("DATA"), 3);
    SendStream(messageText, TSendMode::DotStuffed);
    RequireClass(RecvLines() / 100, 2);
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
    for (const QByteArray& address : EnvelopeRecipients())
        SendRecipient(address);
}

void TqmSMTP::SendRecipient(const QByteArray& address)
{
    if (Command("RCPT TO:<" + address + ">") == 2)
        return;
    bool proceed = false;
    if (OnAddressRejected)
        OnAddressRejected(*this, address, LastReply, proceed);
    Require(proceed);
}

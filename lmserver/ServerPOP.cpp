#include "ServerPOP.h"

#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "Konstanten.h"
#include "nkwire.h"

#include <QBuffer>

void TServerPOP::Configure(const TServerEntry& entry, const TLmserverSettings& settings)
{
    Server = entry.Server;
    UserName = entry.UserName;
    Password = entry.Password;
    LogInMethod = entry.Auth == TAuthMethod::OAuth2 ? TqmLogInMethod::OAuth2 : TqmLogInMethod::Password;
    Security = entry.Security;
    ApplyPin(*this, entry.Pin);
    m_accountName = entry.AccountName;
    TlsSeenBefore = ::TlsSeenBefore(entry.AccountName, TMailService::Pop, entry.Server);
    KeepConnection = false;
    SetTimeOut(settings.PopTimeout);
    MaxMessageSize = settings.MaxMessageSize;
    LogFileName = settings.LogActive ? Paths().Data.LogFile : QString();
}

void TServerPOP::LogIn()
{
    TqmRemotePOP::LogIn();
    if (UpgradedToTls())
        RememberTlsSeen(m_accountName, TMailService::Pop, Server);
}

bool TServerPOP::IsListedMessage(int index, const TqmRemoteInfoItem& listed)
{
    if (index >= MessageCount)
        return false;
    if (!listed.UIDL.isEmpty())
        return SameUidl(index, listed.UIDL);
    if (!listed.Headers.isEmpty())
        return SameHeaders(index, listed);
    return true;
}

// C: UIDL 2   S: +OK 2 QhdPYR:00WBw1Ph7x7
bool TServerPOP::SameUidl(int index, const QByteArray& uidl)
{
    SendLine("UIDL " + Number(index));
    QByteArray reply;
    return RecvLine(reply) == 1 && detail::ParseUidl(reply) == uidl;
}

bool TServerPOP::SameHeaders(int index, const TqmRemoteInfoItem& listed)
{
    QByteArray reply;
    SendLine("LIST " + Number(index));
    if (RecvLine(reply) != 1 || detail::ParseListSize(reply) != listed.Size)
        return false;
    SendLine("TOP " + Number(index) + " 1");
    if (RecvLine(reply) != 1)
        return false;
    QBuffer headerBlock;
    headerBlock.open(QIODevice::ReadWrite);
    RecvLineStream(headerBlock, -1);
    TqmRemoteInfoItem current;
    current.Headers = TqmHeaders::FromText(headerBlock.data());
    current.Headers.CleanUp();
    return IDsAreSame(current, listed);
}

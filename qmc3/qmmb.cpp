#include "qmmb.h"

#include "qmconst.h"

void TqmMailBase::OpenConnection()
{
    if (OnLine())
        return;
    Open();
    LogIn();
}

void TqmMailBase::CloseConnection()
{
    if (!OnLine())
        return;
    LogOut();
    Close();
}

void TqmMailBase::Require(bool accepted) const
{
    if (!accepted)
        throw EServerError(qmReplyText(LastReply));
}

void TqmMailBase::RefuseLogIn() const
{
    throw ELogInRefused(qmMessageText(qmLogInRefused).arg(QString::fromUtf8(HostName()), qmReplyText(LastReply)), LastReply);
}

void TqmMailBase::RequireGreeting(bool accepted, bool isReply, const char* protocol) const
{
    if (accepted)
        return;
    Require(!isReply);
    throw EServerError(qmMessageText(qmNotAServer).arg(QString::fromUtf8(HostName()), QLatin1String(protocol), qmReplyText(LastReply)));
}

void TqmMailBase::RefusePlainLogIn(const char* tlsCommand)
{
    const QString server = QString::fromUtf8(HostName());
    QString message = qmMessageText(TlsSeenBefore ? qmTlsDowngrade : qmPlainLogInRefused).arg(server, QLatin1String(tlsCommand));
    Close();
    ReportError(message);
    throw EPlainLogInRefused(message, server, TlsSeenBefore);
}

void TqmMailBase::VerifyMailboxLogIn(const QByteArray& userName, const QByteArray& password)
{
    if (userName.isEmpty())
        throw EServerError(qmMessageText(qmUserNameRequired));
    if (password.isEmpty())
        throw EServerError(qmMessageText(qmPasswordRequired));
    TnkSocket::Verify();
}

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
        throw EServerError(QString::fromUtf8(LastReply));
}

void TqmMailBase::RefusePlainLogIn(const char* tlsCommand)
{
    const QString server = QString::fromUtf8(HostName());
    QString message = qmMessageText(TlsSeenBefore ? qmTlsDowngrade : qmPlainLogInRefused).arg(server, QLatin1String(tlsCommand));
    Close();
    ReportError(message);
    throw EPlainLogInRefused(message, server, TlsSeenBefore);
}

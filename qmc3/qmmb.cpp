#include "qmmb.h"

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

#pragma once
// TqmMailBase: what the POP3 and SMTP clients share on top of the socket client: log-in and
// log-out around Open and Close, and the rule that a refused command raises the server's reply.

#include "nksocket.h"

class TqmMailBase : public TnkSocket {
    Q_OBJECT

public:
    using TnkSocket::TnkSocket;

    // Connects and logs in; an error on the way closes the connection before it is raised.
    virtual void LogIn() = 0;
    virtual void LogOut() = 0;
    // Open and LogIn, unless a connection is open already.
    void OpenConnection();
    // LogOut and Close, when a connection is open.
    void CloseConnection();

protected:
    // Throws EServerError with the last reply line unless `accepted`.
    void Require(bool accepted) const;
};

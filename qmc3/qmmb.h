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
    // True when this connection was upgraded through STARTTLS/STLS: what a later connection with
    // secAuto to the same server must find again (see TlsSeenBefore).
    bool UpgradedToTls() const { return Encrypted() && Security != TqmSecurity::secTls; }

    // Set by the caller when the server offered STARTTLS/STLS on an earlier connection: with
    // secAuto its absence now is taken for a man in the middle and the log-in is refused, even
    // where no password would be sent.
    bool TlsSeenBefore = false;

protected:
    // What a mailbox log-in needs before connecting: throws EServerError without a user name or
    // a password, then checks the socket's own settings.
    void VerifyMailboxLogIn(const QByteArray& userName, const QByteArray& password);
    // Throws EServerError with the last reply line (control characters made visible) unless
    // `accepted`.
    void Require(bool accepted) const;
    // Throws ELogInRefused quoting the last reply line.
    [[noreturn]] void RefuseLogIn() const;
    // The greeting must be `accepted`. A refusal (`isReply`) is quoted; a line that is no reply of
    // `protocol` at all (a wrong port, another service, binary noise) is named as such.
    void RequireGreeting(bool accepted, bool isReply, const char* protocol) const;
    // Closes the connection and raises EPlainLogInRefused (after OnError): security "auto" met a
    // server without `tlsCommand` in its capabilities, where a credential would have to go out
    // in clear, or one that offered it before.
    [[noreturn]] void RefusePlainLogIn(const char* tlsCommand);
};

#pragma once
// Failures of the mail-components library. Every error raised by qmc3 derives from EqmException,
// which carries the one message text the programs show to the user.

#include <QString>
#include <exception>

class EqmException : public std::exception {
public:
    explicit EqmException(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

#define QMC3_DECLARE_EXCEPTION(Name)                          \
    class Name : public EqmException {                        \
    public:                                                   \
        using EqmException::EqmException;                     \
    };

QMC3_DECLARE_EXCEPTION(ESocketError)
QMC3_DECLARE_EXCEPTION(EServerError)
QMC3_DECLARE_EXCEPTION(ETimedOutError)
QMC3_DECLARE_EXCEPTION(ECanceledError)
QMC3_DECLARE_EXCEPTION(EMessageError)
QMC3_DECLARE_EXCEPTION(EMessageParserError)
QMC3_DECLARE_EXCEPTION(ERASError)
QMC3_DECLARE_EXCEPTION(EWinsockDLLError)

#undef QMC3_DECLARE_EXCEPTION

// A log-in refused before any credential left the machine: the security was "auto" and the server
// offered no TLS, or (Downgrade) it offered TLS on an earlier connection and no longer does.
class EPlainLogInRefused : public ESocketError {
public:
    EPlainLogInRefused(QString message, QString server, bool downgrade)
        : ESocketError(std::move(message)), m_server(std::move(server)), m_downgrade(downgrade)
    {
    }
    // The host name or address the client was connected to.
    const QString& Server() const noexcept { return m_server; }
    bool Downgrade() const noexcept { return m_downgrade; }

private:
    QString m_server;
    bool m_downgrade;
};

// The server refused the credentials (POP3 "-ERR" to PASS, SMTP 535 to AUTH): the caller may ask
// for the password again. The message says so and quotes the reply, which Reply() keeps as sent.
class ELogInRefused : public EServerError {
public:
    ELogInRefused(QString message, QByteArray reply) : EServerError(std::move(message)), m_reply(std::move(reply)) {}
    const QByteArray& Reply() const noexcept { return m_reply; }

private:
    QByteArray m_reply;
};

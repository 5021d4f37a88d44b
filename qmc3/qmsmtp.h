#pragma once
// TqmSMTP sends composed messages to an SMTP server (RFC 5321): greeting, EHLO (HELO for servers
// that refuse it), STARTTLS (RFC 3207) as Security asks, optional AUTH (RFC 4954) with the best
// mechanism the server offers, and per message MAIL FROM, one RCPT TO per recipient, DATA and the
// message text with dot transparency. The envelope recipients are the message's To, CC and BCC, or the
// caller's RecipientList, which delivers blind copies without writing them into the message.
//
// Use: OpenConnection, Authenticate when the account asks for it, then per message set MailMessage
// (and RecipientList) and call Send_Message; CloseConnection. A refusal raises EServerError with
// the server's reply line and leaves the connection open.

#include "qmmb.h"

#include <QByteArrayList>
#include <QHash>
#include <QTemporaryFile>

class TqmMessage;

// A file in the temporary directory (named "qm" and a unique part) that lives as long as the
// object: created empty, deleted on destruction.
class TTempFileStream : public QTemporaryFile {
    Q_OBJECT

public:
    // Throws EMessageError when the file cannot be created.
    TTempFileStream();

    // Replace the content with `source` from its current position / write the whole content into
    // `target`. Throw EMessageError when a device fails.
    void LoadFromStream(QIODevice& source);
    void SaveToStream(QIODevice& target);
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);
};

class TqmSMTP : public TqmMailBase {
    Q_OBJECT

public:
    explicit TqmSMTP(QObject* parent = nullptr);

    void Open() override;
    // Greeting, then "EHLO" with the machine's name; a server that refuses it gets "HELO" and, when
    // that is refused too, a bare "HELO". With secStartTls (or secAuto and the server offering it)
    // STARTTLS follows and EHLO is said again over TLS; secStartTls against a server that does not
    // offer it closes the connection with ESocketError 57120 before anything else is sent, and so
    // does secAuto with TlsSeenBefore (EPlainLogInRefused 57129). Without TLS and without
    // authentication secAuto may still send: no secret goes out.
    void LogIn() override;
    // QUIT, then a short wait for the server's answer; neither its absence nor a refusal is an
    // error, since every message was accepted before.
    void LogOut() override;
    // Logs in with UserName and Password through the mechanism the EHLO reply offers (over TLS
    // PLAIN, LOGIN, CRAM-MD5 in that order, without TLS CRAM-MD5 first); a server that announces
    // no AUTH at all gets AUTH LOGIN, and its refusal is raised. Only 334 continues an exchange;
    // 535 raises ELogInRefused. A server that offers only mechanisms this client does not know
    // raises EServerError 57123; a CRAM-MD5 challenge that is not base64 closes the connection with
    // 57125. A server that only spoke HELO gets AUTH LOGIN, and one that does not take the user
    // name there ends it without an error: the next MAIL FROM meets its refusal. The log shows
    // "****" for every line that carries the credentials. Over a connection without TLS, unless
    // Security is secNone, nothing is sent and the connection is closed with EPlainLogInRefused
    // (57128). With LogInMethod OAuth2, Password is an access token sent through OAUTHBEARER or
    // XOAUTH2 (RFC 7628), whichever AUTH offers (OAUTHBEARER first); a server offering neither
    // raises EServerError 57230.
    void Authenticate();
    // Encodes MailMessage and sends it. Throws EMessageError 57102 without a message, 57100/57101
    // when it has no sender or no recipient, before anything is sent.
    void Send_Message();
    // Sends an already encoded message with the envelope of MailMessage (or RecipientList). A
    // message larger than the server's SIZE fails with EMessageError 57124 before MAIL FROM; when
    // every recipient was refused no DATA is sent and EServerError carries the last refusal. A reply
    // out of turn between "354" and the reply to the final "." (or unread lines behind that reply)
    // closes the connection and raises EServerError 57130: the message must count as not sent.
    void SendMessageData(QIODevice& messageText);
    // OpenConnection, Send_Message, CloseConnection.
    void Send();
    // RSET, connecting first when needed.
    void Reset();

    // True when MAIL, RCPT and DATA of a message go out in one write: UsePipelining and the EHLO
    // reply offers PIPELINING (RFC 2920).
    bool Pipelines() const;

    TqmMessage* MailMessage = nullptr;
    // False: one command, one reply, whatever the server offers.
    bool UsePipelining = true;
    QByteArray UserName;
    QByteArray Password;
    TqmLogInMethod LogInMethod = TqmLogInMethod::Password;
    // Bare addresses; when not empty they replace the message's recipients in the envelope.
    QByteArrayList RecipientList;
    // The keywords of the last EHLO reply, upper case, each with its parameters ("SIZE" ->
    // "10240000"); empty after HELO.
    QHash<QByteArray, QByteArray> Extensions;

    TNotifyEvent OnPrepare;
    TNotifyEvent OnSending;
    TNotifyEvent OnMailSent;
    TqmAddressRejectedEvent OnAddressRejected;

private:
    // Sends `line` and reads the whole reply; returns its class (2 for 2xx, ...), -1 for none.
    int Command(const QByteArray& line);
    // The same, returning the whole reply code.
    int CommandCode(const QByteArray& line);
    // 2xx goes on, 535 raises ELogInRefused, anything else EServerError with the reply.
    void RequireAuthAccepted(int code) const;
    void RequireClass(int replyClass, int wanted) const { Require(replyClass == wanted); }
    // EHLO, or the HELO fallbacks; false when the server only speaks HELO.
    bool Greet();
    bool WantsStartTls();
    // The machine's fully qualified name, or an address literal when it has none.
    QByteArray HeloName() const;
    void AuthenticateLogin(bool requireUserAccepted);
    void AuthenticateCramMd5();
    void AuthenticateOAuth2(const QByteArrayList& offered);
    void VerifyMessage() const;
    void VerifySize(QIODevice& messageText) const;
    void SendEnvelope();
    // MAIL, every RCPT and DATA in one write, the replies read in order and judged as SendEnvelope
    // and DATA judge them one by one. When the message must not go out and the server nevertheless
    // answered DATA with 354, the connection is closed: only that keeps it from being delivered.
    void SendEnvelopePipelined();
    // False when the server refused the address and the handler let it through.
    bool SendRecipient(const QByteArray& address);

    bool m_extended = false;
    QByteArrayList EnvelopeRecipients() const;
};

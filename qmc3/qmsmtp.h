#pragma once
// TqmSMTP sends composed messages to an SMTP server (RFC 5321): greeting, HELO, optional AUTH
// LOGIN (RFC 4954), and per message MAIL FROM, one RCPT TO per recipient, DATA and the message
// text with dot transparency. The envelope recipients are the message's To, CC and BCC, or the
// caller's RecipientList, which delivers blind copies without writing them into the message.
//
// Use: OpenConnection, Authenticate when the account asks for it, then per message set MailMessage
// (and RecipientList) and call Send_Message; CloseConnection. A refusal raises EServerError with
// the server's reply line and leaves the connection open.

#include "qmmb.h"

#include <QByteArrayList>
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
    // Greeting, then "HELO" with the local host name; a refusal of that gets a bare "HELO".
    void LogIn() override;
    void LogOut() override;
    // AUTH LOGIN with UserName and Password. A server that does not take the user name ends it
    // without an error: the next MAIL FROM meets its refusal.
    void Authenticate();
    // Encodes MailMessage and sends it. Throws EMessageError 57102 without a message, 57100/57101
    // when it has no sender or no recipient, before anything is sent.
    void Send_Message();
    // Sends an already encoded message with the envelope of MailMessage (or RecipientList).
    void SendMessageData(QIODevice& messageText);
    // OpenConnection, Send_Message, CloseConnection.
    void Send();
    // RSET, connecting first when needed.
    void Reset();

    TqmMessage* MailMessage = nullptr;
    QByteArray UserName;
    QByteArray Password;
    // Bare addresses; when not empty they replace the message's recipients in the envelope.
    QByteArrayList RecipientList;

    TNotifyEvent OnPrepare;
    TNotifyEvent OnSending;
    TNotifyEvent OnMailSent;
    TqmAddressRejectedEvent OnAddressRejected;

private:
    // Sends `line` and reads the whole reply; returns its class (2 for 2xx, ...), -1 for none.
    int Command(const QByteArray& line);
    void RequireClass(int replyClass, int wanted) const { Require(replyClass == wanted); }
    void VerifyMessage() const;
    void SendEnvelope();
    void SendRecipient(const QByteArray& address);
    QByteArrayList EnvelopeRecipients() const;
};

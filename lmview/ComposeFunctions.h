#pragma once
// The messages the window builds: replies, forwards and redirects handed to the main client
// through the contact file, and the composed message "Später senden" writes into the work file.
// Every builder fills a message object; nothing here touches a window or a file but the
// attachments the composed message reads.

#include "ComposeAttachments.h"
#include "UserSettings.h"
#include "qmmsgcls.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QString>
#include <QStringList>

class TqmAddressList;
class TqmHeaders;
class TqmMessage;
struct TAccount;

// The address fields' own list format: split at the commas between entries (a comma in a quoted
// name such as "Schmidt, Jürgen" <j@example.de> does not split), pieces kept as they are (not
// trimmed); read as addresses without name, written back as "Name <address>" (FormatMailbox)
// entries joined with ",", so that names survive re-editing.
void ReadAddressField(const QString& text, TqmAddressList& list);
QString WriteAddressField(const TqmAddressList& list);
QStringList SplitAddressField(const QString& text);
// An address field as it is queued: names of the address book replaced by their addresses
// (ExpandRecipientNames), written with ","; `refused` gets the first entry that cannot be sent to
// (then the field is returned unchanged).
QString ExpandedAddressField(const QString& text, QString& refused);
// The values of every "X-LMBCC" field in header order, joined with ",".
QString BccFieldText(const TqmHeaders& headers);

// "Re: " unless the subject starts with "RE:" in any case; "Fw: " likewise with "FW:".
QByteArray ReplySubject(const QByteArray& subject);
QByteArray ForwardSubject(const QByteArray& subject);

struct TReplyOptions {
    bool IncludeCC = false;
    bool Quote = true;
    // The signature's text when signatures are added automatically, else empty.
    QString Signature;
};

// A reply carries In-Reply-To and References, a forward References, so that the recipients' programs
// thread them; a redirect keeps the original's Message-ID and threading fields, being the same message.
void BuildReply(const TqmMessage& current, const TReplyOptions& options, TqmMessage& reply);
// The forward is sent from the default account.
void BuildForward(const TqmMessage& current, const TAccount& defaultAccount, TqmMessage& forward);
void BuildRedirect(const TqmMessage& current, TqmMessage& redirect);

// The fields of a loaded work file that "Später senden" writes again, since the compose panel shows
// none of them: In-Reply-To and References, and for a redirected message its Message-ID. A message
// re-edited from the Outbox is not redirected and gets a new Message-ID when it is queued again.
QByteArrayList CarriedFields(const TqmHeaders& loaded, bool redirected);

// The sender box's text "address <name>": the address before the first " <", the rest without its
// last character as the name. A text without " <" is all address.
struct TSenderText {
    QByteArray Address;
    QByteArray Name;
};
TSenderText SplitSenderText(const QString& text);

// Everything the compose panel holds when "Später senden" runs.
struct TComposeInput {
    QString SenderText;
    QString To;
    QString CC;
    QString BCC;
    QString Subject;
    QString Text;
    QStringList AttachmentFiles;
    // The attachments of the loaded message as written to the work directory, with their types.
    QList<TWorkAttachment> WorkAttachments;
    bool Hold = false;
    bool Receipt = false;
    bool Disposition = false;
    // Not empty for a redirected message: the value of its redirect field.
    QString Redirect;
    QByteArray ReplyTo;
    // Header lines written after the others (CarriedFields of the loaded message).
    QByteArrayList CarriedFields;
    TMailformatSettings Mailformat;
    QDateTime Now = QDateTime::currentDateTime();
};

// Builds the message in the header order Date, X-LMBCC..., Reply-To, X-LMHOLD,
// Disposition-Notification-To, X-LMREDIRECT, Comments, the carried fields. Files that cannot be
// read are left out and returned with the reason, so that the caller reports each (message 12) and
// still saves.
QStringList BuildComposedMessage(const TComposeInput& input, TqmMessage& message);

// The charset the composed text needs: UTF-8 as soon as the text, subject or a name holds a
// non-ASCII character, else US-ASCII; never a label that does not match the bytes.
TCharSet ComposeCharset(const TqmMessage& message);

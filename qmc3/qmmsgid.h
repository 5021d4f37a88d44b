#pragma once
// Message identification and threading: the Message-ID every outgoing message carries, and the
// In-Reply-To and References fields through which the recipients' programs thread replies
// (RFC 5322, 3.6.4). Bytes in, bytes out; nothing here reads a file.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

class TqmHeaders;

// "<random@domain>": 128 bits from the system's random source, the domain taken from
// `senderAddress` ("box@domain", with or without angle brackets). An address without a usable
// domain gets the host name when it is fully qualified, else "localhost.localdomain".
QByteArray NewMessageId(QByteArrayView senderAddress);

// Gives a complete message text (header block, empty line, body) a "Message-ID" field at the end of
// its header block when it has none, in the line ending the text already uses; the sender's domain
// comes from its "From" field. True when a field was added.
bool AddMissingMessageId(QByteArray& messageText);

// The References body of a message that answers or forwards `parent`: the parent's References (or,
// lacking them, its In-Reply-To when that names exactly one message) followed by its Message-ID.
// Empty when the parent has no Message-ID: then nothing can refer to it (RFC 5322, 3.6.4).
QByteArray ReferencesFor(const TqmHeaders& parent);

// `name: body` as header lines no longer than 78 characters where the body allows it, folded at
// blanks; continuation lines begin with one blank.
QByteArrayList FoldedField(QByteArrayView name, QByteArrayView body);

// In-Reply-To and References of a reply to `parent`, appended to `headers`.
void AddReplyThreading(const TqmHeaders& parent, TqmHeaders& headers);
// References of a forward of `parent`, appended to `headers`; a forward answers nobody, so it has
// no In-Reply-To.
void AddForwardThreading(const TqmHeaders& parent, TqmHeaders& headers);

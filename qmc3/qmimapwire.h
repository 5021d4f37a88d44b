#pragma once
// The IMAP wire format (RFC 3501) as pure functions: the values of a response, strings and
// mailbox names as the client sends them, UID sets, and ENVELOPE read back as header lines. The
// session (qmimap.h) reads the lines and literals from the socket and hands them here.

#include "qmmsgcls.h"

#include <QByteArray>
#include <QList>

// One value of a response: an atom (numbers and flags too), a string (quoted or a literal), NIL,
// or a parenthesised list. A literal the session streamed elsewhere is a string marked Streamed.
struct TImapValue {
    enum class TKind { Atom, String, Nil, List };
    TKind Kind = TKind::Nil;
    QByteArray Text;
    QList<TImapValue> Items;
    bool Streamed = false;

    bool IsAtom(QByteArrayView atom) const;
    // The text of a string or atom; NIL is empty.
    const QByteArray& Bytes() const { return Text; }
};

// A response as the session read it: its lines joined, each literal replaced by "{#n}" where n
// indexes Literals (n is -1 for a literal streamed to a message file). "{" never starts an atom,
// so the marker cannot be mistaken for one.
struct TImapResponse {
    QByteArray Text;
    QList<QByteArray> Literals;
};

namespace detail {

// The values of `text` (a response without its tag, or a part of it). Broken input gives what
// could be read: the parser never throws, an unclosed list ends at the end of the text.
QList<TImapValue> ParseImapValues(const TImapResponse& response);
QList<TImapValue> ParseImapValues(const QByteArray& text);

// The value following the data item `name` ("UID", "RFC822.SIZE") in a FETCH item list.
const TImapValue* FetchItem(const TImapValue& items, QByteArrayView name);

// A string argument: an atom-safe text as a quoted string (RFC 3501, 4.3), with \ and " escaped.
// A text holding CR, LF or NUL cannot be quoted; the caller must send a literal (see NeedsLiteral).
QByteArray ImapQuoted(QByteArrayView text);
bool NeedsLiteral(QByteArrayView text);

// Mailbox names (RFC 3501, 5.1.3): UTF-8 to the modified UTF-7 the server speaks, and back. A
// name that is not valid modified UTF-7 comes back as it was sent.
QByteArray EncodeMailboxName(const QString& name);
QString DecodeMailboxName(const QByteArray& wireName);

// Ascending UIDs as sets of at most `perSet` UIDs, runs written "first:last" ("1:4,7,9:12").
QByteArrayList UidSets(QList<quint32> uids, qsizetype perSet);
// The UIDs of a SEARCH response's values (everything after "SEARCH").
QList<quint32> SearchUids(const QList<TImapValue>& values, qsizetype from);

// An ENVELOPE structure (RFC 3501, 7.4.2) as the header lines a rule or a list looks at: Date,
// Subject, From, To, Cc and Message-Id, the texts as the server gave them (encoded words stay).
TqmHeaders EnvelopeHeaders(const TImapValue& envelope);

// The response code in brackets after OK, NO or BAD ("[UIDVALIDITY 3857529045]"), without the
// brackets; empty when there is none.
QByteArray ResponseCode(QByteArrayView textAfterStatus);

} // namespace detail

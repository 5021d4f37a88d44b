#pragma once
// SMTP authentication (RFC 4954) without the socket: which SASL mechanism to use among those a
// server offers, and what each one sends. PLAIN (RFC 4616) and LOGIN hand the password over as it
// is, so they come first only over TLS; without TLS CRAM-MD5 (RFC 2195), which sends a keyed hash
// of the server's challenge instead, is preferred.

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>

namespace detail {

enum class TSaslMechanism { None, Plain, Login, CramMd5 };

// `offered`: the words after the EHLO keyword AUTH, in any letter case.
TSaslMechanism ChooseSaslMechanism(const QByteArrayList& offered, bool encrypted);
QByteArray SaslMechanismName(TSaslMechanism mechanism);

// RFC 4616: no authorization identity, NUL, user, NUL, password (not yet base64).
QByteArray SaslPlainMessage(const QByteArray& user, const QByteArray& password);
// RFC 2195: the user, a blank and the lower-case hex HMAC-MD5 of `challenge` keyed with the
// password (not yet base64).
QByteArray CramMd5Response(const QByteArray& user, const QByteArray& password, const QByteArray& challenge);
// The decoded text of a "334 <base64>" challenge line; false when the rest is not strict base64.
bool DecodeChallenge(QByteArrayView replyLine, QByteArray& challenge);

// The EHLO keywords (RFC 5321, 4.1.1.1) of a reply's lines, upper case, each with its parameters;
// the first line (the greeting "250-host says hello") is not a keyword.
QHash<QByteArray, QByteArray> ParseEhloKeywords(const QByteArrayList& replyLines);

} // namespace detail

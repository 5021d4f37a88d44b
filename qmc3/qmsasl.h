#pragma once
// SMTP authentication (RFC 4954) without the socket: which SASL mechanism to use among those a
// server offers, and what each one sends. PLAIN (RFC 4616) and LOGIN hand the password over as it
// is, so they come first only over TLS; without TLS CRAM-MD5 (RFC 2195), which sends a keyed hash
// of the server's challenge instead, is preferred. An account that signs in with OAuth2 uses
// OAUTHBEARER (RFC 7628) or XOAUTH2 instead, both carrying an access token as a bearer token.

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>

namespace detail {

enum class TSaslMechanism { None, Plain, Login, CramMd5, XOAuth2, OAuthBearer };

// `offered`: the words after the EHLO keyword AUTH, in any letter case.
TSaslMechanism ChooseSaslMechanism(const QByteArrayList& offered, bool encrypted);
QByteArray SaslMechanismName(TSaslMechanism mechanism);

// OAUTHBEARER when offered, else XOAUTH2, else None.
TSaslMechanism ChooseOAuth2Mechanism(const QByteArrayList& offered);
// XOAUTH2: "user=" user ^A "auth=Bearer " token ^A ^A (not yet base64).
QByteArray XOAuth2Message(const QByteArray& user, const QByteArray& accessToken);
// RFC 7628, 3.1: the GS2 header "n,a=<user>," (with "," and "=" of the user escaped, RFC 5801),
// then host, port and "auth=Bearer <token>" as key=value pairs, each ended by ^A, and a final ^A.
QByteArray OAuthBearerMessage(const QByteArray& user, const QByteArray& accessToken, const QByteArray& host, quint16 port);
// RFC 7628, 3.2.3: what a client answers to the server's error challenge so that the server can end
// the exchange with its failure reply; XOAUTH2 takes an empty line for it.
QByteArray OAuth2ErrorAcknowledgement(TSaslMechanism mechanism);

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

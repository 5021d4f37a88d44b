#pragma once
// RFC 5322, 2.1.1 and RFC 5321, 4.5.3.1.6: a line of a message is at most 998 octets without its
// CR LF, and strict servers refuse a message that breaks the rule. Queued messages go out byte for
// byte as they are (a redirected message keeps its body and structure), so a message that holds a
// longer line (a long subject, a forwarded or redirected message that broke the rule itself) is
// mended where, and only where, a line is too long: a header field is folded at its white space, a
// body part is re-encoded (text as quoted-printable, anything else as base64) and its
// Content-Transfer-Encoding field says so. Every other byte stays as it was.

#include <QByteArray>
#include <QByteArrayView>

inline constexpr qsizetype MaxLineLength = 998;

// Whether a line of `text` (lines end in LF, CR LF or CR) is longer than MaxLineLength.
bool HasOverlongLine(QByteArrayView text);

// `text` (a whole message in CR LF lines) with every overlong line mended as described above;
// unchanged when it has none. Throws EMessageError (57150-57153) naming what cannot be mended: a
// header line without white space to fold at, a part whose encoding is not known, a multipart
// body whose boundary is missing, or a message nested too deeply.
QByteArray MendOverlongLines(const QByteArray& text);

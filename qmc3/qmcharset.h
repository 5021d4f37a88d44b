#pragma once
// Conversion of text bytes in a named charset to UTF-8 (through iconv from glibc), and the reading of
// undeclared text the suite uses for display: UTF-8 when it is valid UTF-8, else Windows-1252.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Converts `bytes` written in `charset` (a MIME charset name, any case, such as "iso-8859-1",
// "Shift_JIS", "utf-8") into UTF-8.
// - An unknown or unusable charset name returns `bytes` unchanged and sets *ok to false.
// - Byte sequences that are invalid in the charset become U+FFFD; *ok stays true.
// - "us-ascii", "iso-8859-1" and their aliases are read as Windows-1252, as mail readers and the
//   WHATWG Encoding Standard do (mislabelled 8-bit text is common; ASCII text is unchanged).
// - An empty charset name means "undeclared": read like DecodeForDisplay.
QByteArray CharsetToUtf8(const QByteArray& bytes, const QByteArray& charset, bool* ok = nullptr);

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool IsValidUtf8(QByteArrayView bytes);

// Bytes of text without a declared charset as UTF-8: unchanged when valid UTF-8, else read as Windows-1252.
QByteArray UndeclaredToUtf8(QByteArrayView bytes);

// Text for a widget: bytes in `charset` (empty: undeclared, see UndeclaredToUtf8). Unknown charsets are
// read as undeclared text.
QString DecodeText(const QByteArray& bytes, const QByteArray& charset = QByteArray());

// The charset an HTML text names for itself in its first 4096 bytes: <meta charset="…"> or the
// charset parameter of <meta http-equiv="Content-Type" content="…">, in lower case; empty when none.
QByteArray HtmlMetaCharset(QByteArrayView html);

// HTML bytes for a viewer: in `charset` when it is declared and known, else in the charset its meta
// tag names, else read as undeclared text.
QString DecodeHtmlText(const QByteArray& bytes, const QByteArray& charset = QByteArray());

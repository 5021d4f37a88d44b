#pragma once
// String and address helpers shared by the message model, the parser and the protocol clients.
// Everything works on bytes; file system paths are QString.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QString>

class TqmMailAddress;

// Capacity of the short header-derived texts: subjects, display names, mailboxes, field bodies.
inline constexpr qsizetype qmShortTextCapacity = 255;

// `text` cut to at most `capacity` bytes; valid UTF-8 is cut before a character that would not fit
// whole, so the result stays valid UTF-8.
QByteArray CutToCapacity(QByteArrayView text, qsizetype capacity);

// Splits one address entry ("Name <box@host>", "box@host (Name)", "box@host") into mailbox and
// display name, quotes trimmed, each cut to qmShortTextCapacity. A "<" without ">" yields an
// empty address and the whole entry as name.
// The address is taken from the last "<" outside double quotes; a quoted name loses its quotes and
// backslash escapes.
void SplitAddress(const QByteArray& text, QByteArray& address, QByteArray& name);
// The entries of an address list (RFC 5322, 3.4): split at every comma that stands outside double
// quotes, comments in parentheses and angle brackets; backslash escapes count inside quotes and
// comments. The entries are returned as they stand, not trimmed; an empty text gives one empty entry.
QByteArrayList SplitAddressList(QByteArrayView text);
// "Name <address>" as a person types it into an address field, the name in double quotes (with
// backslash escapes) when it holds specials such as a comma; just the address without a name.
QByteArray FormatMailbox(const QByteArray& name, const QByteArray& address);
void PickMailAddress(const QByteArray& text, TqmMailAddress& mailAddress);

// MIME type of a file judged by its extension alone; "application/octet-stream" when unknown.
QByteArray GetContentType(const QString& fileName);

// One parameter of a structured field (Content-Type, Content-Disposition): the attribute in lower
// case and its value, decoded.
struct TqmParameter {
    QByteArray Name;
    QByteArray Value;
    bool operator==(const TqmParameter&) const = default;
};
using TqmParameters = QList<TqmParameter>;

// The parameters of a field body such as `text/plain; charset="koi8-r"; format=flowed`, in order,
// each attribute once (the first wins). Quoted values run to the closing quote (backslash escapes
// a quote or a backslash; an unclosed quote runs to the end); plain values end at ";" or white
// space. RFC 2231 values (`name*=charset'lang'%XX`, continuations `name*0`, `name*1*`...) are joined,
// percent-decoded, converted to UTF-8 and win over a plain value of the same attribute.
TqmParameters ReadParameters(QByteArrayView text);
// The value of `name` (without "=", any case) in `parameters`; empty when absent.
QByteArray ParameterValue(const TqmParameters& parameters, QByteArrayView name);
// `parameters` as they follow a type in a field: `; name="value"` each; values that are not ASCII
// written as RFC 2231 UTF-8 values.
QByteArray WriteParameters(const TqmParameters& parameters);

// The value of a parameter such as `boundary=` in a header text (ReadParameters); empty when absent.
QByteArray GetParameter(const QByteArray& name, const QByteArray& text);
// The bare value before the first blank or ";", e.g. the type of a Content-Type body.
QByteArray GetFirstPart(const QByteArray& text);
// The text after `n` blank-separated words (only its first word with `firstWordOnly`); empty when
// the text has fewer words.
QByteArray PickString(const QByteArray& text, int n, bool firstWordOnly);
// PickString(text, n, true) as a number; -1 when it is none.
qint64 PickNumber(const QByteArray& text, int n);
// Blanks trimmed, then all leading and trailing double quotes removed.
QByteArray TrimQuotes(const QByteArray& text);
// Drops the trailing lines that are blank.
void TrimStrings(QByteArrayList& lines);
// `path` with a trailing "/" unless it is empty or already ends in one.
QString AddBackSlash(const QString& path);

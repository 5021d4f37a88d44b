#pragma once
// The stored text of a message as a person reads it in a source window: every part in the charset
// its own header declares, so that 8-bit text of any charset shows as written.

#include <QByteArray>
#include <QString>

// Header lines and parts without a declared charset read as undeclared text (UTF-8 when valid,
// else Windows-1252); the text of a part declared "charset=X" reads as X. Boundaries of nested
// multiparts and of messages inside messages are followed. CR LF line ends become LF; the bytes
// themselves are not changed by this reading, so callers keep `source` for saving.
QString MessageSourceText(const QByteArray& source);

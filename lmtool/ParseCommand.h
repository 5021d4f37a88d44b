#pragma once
// lmtool parse FILE: loads one message file and prints what the parser made of it.

#include <QStringList>

// One compact JSON object: addresses, subject, computed type, charsets, priority, the body (line
// count, SHA-256, display text) and each attachment's name, type, encoding, size and SHA-256.
// ExitFailure with a message on stderr when the file cannot be read.
int RunParseCommand(const QStringList& arguments);

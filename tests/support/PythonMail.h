#pragma once
// A second opinion on the messages the suite writes: Python's email package (default policy)
// reads them as any conforming mail reader would.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// What Python's reader makes of `message`: "from", "to", "cc" (lists of [name, address]), "subject",
// "longest" (the longest header line), "defects" and "attachments" ([name, type, size]). An empty
// object with `error` set when python3 cannot be run or fails.
QJsonObject ReadWithPython(const QByteArray& message, QString& error);

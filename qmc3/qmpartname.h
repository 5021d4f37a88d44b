#pragma once
// Names for the parts of a message that the sender left unnamed. The reader gives them when it
// makes attachments, and whoever sends such a part on (forwarding) keeps that name, so that the
// name's extension and the part's declared type agree.

#include <QByteArray>

// "Part 2.gif" ("Teil 2.gif" in German): the word for a part, the part's position in the message
// (1 for its first part, counting the text) and the extension that belongs to `contentType` (none
// for a type without one). A message ("message/rfc822") is "Message.eml" ("Nachricht.eml"), or
// "Message 3.eml" with `numbered`, for a second one. In the language set with qmSetLanguage.
QByteArray UnnamedPartName(const QByteArray& contentType, qsizetype position, bool numbered = false);

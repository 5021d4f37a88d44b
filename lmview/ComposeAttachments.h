#pragma once
// The attachments of a message being edited (a forward, a message taken out of the Outbox) live as
// files in the window's work directory until "Später senden" reads them again. The files alone
// would lose what the message said about them: two of the same name would share one file, and the
// type would be guessed again from the name ("att.2" as a troff page instead of the GIF it was).

#include "qmutils.h"

#include <QByteArray>
#include <QList>
#include <QString>

class TqmAttItem;
class TqmMessage;

// What the message declared about one attachment written to the work directory.
struct TWorkAttachment {
    QString Path;
    QByteArray ContentType;
    TqmParameters Parameters;
    QByteArray ContentID;
};

// Writes attachment `index` of `message` into its own numbered folder below `directory`
// ("directory/0/name", "directory/1/name"...), so that parts of the same name keep their own bytes.
// Throws EMessageError when the folder or the file cannot be written.
TWorkAttachment WriteWorkAttachment(const TqmMessage& message, qsizetype index, const QString& directory);

// Gives `item`, just read from `path`, the type, parameters and Content-ID that `written` holds for
// that path; an item read from any other file (one the user added) keeps the type of its name.
void ApplyDeclaredType(const QList<TWorkAttachment>& written, const QString& path, TqmAttItem& item);

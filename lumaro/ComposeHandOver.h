#pragma once
// The main client's side of composing: a new Outbox message starts as a "new_" work file in the
// outgoing queue, made from a source message (the contact file the message window left, or a
// template) or from a recipient and subject (a mailto link); the message window edits it, and the
// changed file is filed into the Outbox.

#include <QDateTime>
#include <QString>

#include <functional>

struct TAccount;

struct TNewMessageSource {
    // A message file whose recipients, sender, text, subject, attachments and other header lines
    // the new message takes over; empty for a message made from the fields below.
    QString SourceFile;
    QString Recipients;
    QString Subject;
};

// Writes the work file; its path, or empty after message 12 when it cannot be written. Without a
// source the sender is the default account and `signature` (the automatic signature, or empty)
// becomes the text; an empty text is one blank line.
QString MakeNewMessageFile(const QString& queueDir, const TNewMessageSource& source, const TAccount& defaultAccount,
                           const QString& signature);

// Runs the editor on the work file and files it into the Outbox when the editor changed it; the
// work file is deleted afterwards unless `keepFile`. The new record number, 0 when nothing was filed.
qint32 EditIntoOutbox(const QString& workFile, const std::function<void(const QString& workFile)>& runEditor, bool keepFile);

// The message window's command line for editing `workFile`.
QStringList EditCommandLine(const QString& workFile);

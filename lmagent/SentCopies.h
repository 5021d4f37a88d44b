#pragma once
// Copies of sent messages for the Sent folder of an IMAP account. Once the SMTP server accepted a
// message, its text is kept in the account's copy directory beside the queue; after the run the
// kept copies are appended to the server's Sent folder, marked \Seen, and each removed once the
// server stored it. A failure there never makes a sent message unsent: it is reported as a
// warning and the copies wait for the next send run.

#include "AgentEvents.h"
#include "DBAgentFunctions.h"

#include <QString>

// "<queueDir>/SentCopies/<account>", the account's name escaped for a file name.
QString SentCopyDir(const QString& queueDir, const QByteArray& accountName);
// False (after a warning) when the copy cannot be written.
bool KeepSentCopy(const QString& dir, const QByteArray& text);
// Stores the copies waiting in `dir` on the job's SentCopy target; returns how many were stored.
int StoreSentCopies(const QString& dir, const TAgentJob& job, const TAgentEvents& events, int timeoutSeconds,
                    const QString& logFile);

#pragma once
// Messages crossing between the programs as single ".eml" files: received mail in the spool
// directory ("pop_", "lmserver_"), the outgoing queue ("smtp_") and the work files of the message
// window ("new_", "edit_") in its SMTP subdirectory. The main client imports the spool into the
// Inbox, builds the queue from the Outbox before a send run and files the sent messages after it.

#include "DBMailboxFunctions.h"

#include <QDateTime>
#include <QList>
#include <QString>

// "<spool>/pop_<n><t>.eml": n counts from 1 on the server, t is the unique time stamp.
QString SpoolFileName(const QString& spoolDir, int serverNumber);
// "<queue>/smtp_<record>.eml".
QString QueueFileName(const QString& queueDir, qint32 outboxRecord);
// "<queue>/new_<t>.eml".
QString NewMessageFileName(const QString& queueDir);
// "<queue>/edit_<record><t>.eml".
QString EditFileName(const QString& queueDir, qint32 record);

bool SpoolHasMail(const QString& spoolDir);

// "new_" and "edit_" files: the message window's work files, which share the queue directory but
// are never sent and never removed by a queue build (one kept after a failed append holds the
// user's text).
bool IsWorkFileName(const QString& fileName);

// A message of a folder as a command that outlives the message list saw it. Record numbers are
// reused (after a reorganize, or when an emptied folder fills again), so the record is still that
// message only while it is live and has the same offset, length and date, and its stored bytes the
// same digest (two messages of one length and date can follow each other at the same place).
struct TMessageMark {
    TListEntry Entry;
    TDateTime Date = 0;
    // SHA-1 of the stored bytes in hex; empty: not compared.
    QByteArray Digest;
};

// The mark of a listed message; its record number 0 when the record cannot be read.
TMessageMark MarkOf(const TFolderFiles& folder, const TListEntry& entry);
bool StillHolds(const TFolderFiles& folder, const TMessageMark& mark);

// The agent writes a received message under its final name + this suffix and renames it when the
// message is complete; only the agent removes such files (see CheckFile.h of the agent).
inline constexpr QLatin1String UnfinishedSuffix(".part");

// Appends every "*.eml" file of the spool, oldest first, to `inbox` and returns how many.
// Exactly once: the import journal ".import" in the spool names each file with the record number it
// is to get before it is appended, so that the files of an import killed between append and
// deletion are recognised (byte for byte) and deleted by the next import instead of being imported
// again. Spool files are deleted in batches after one sync of the Inbox. A file that cannot be
// appended stays (and is reported with 12 at every import) until an import succeeds.
int ImportSpool(const QString& spoolDir, const TFolderFiles& inbox);
// The emptying step before a receive: deletes the plain files of the spool except waiting message
// files, which would otherwise be lost unread, the agent's unfinished files and the import journal.
// False when a deletion failed.
bool ClearSpoolForReceive(const QString& spoolDir);

// Empties the queue (work files stay), exports every listed Outbox message as its "smtp_" file and
// records them in the queue's manifest. False when an export failed; the send run must then not
// start. Refused (reported with 101) while the manifest of an earlier run is still there: emptying
// the queue would forget what that run sent, and the messages would go out again. Call
// ResumeFilingSent first.
bool BuildQueue(const TFolderFiles& outbox, const QList<TListEntry>& listed, const QString& queueDir);
// After a send run: every message of the queue's manifest whose queue file is gone was sent and
// moves to `sent` with the read mark (and out of `listed`); the others stay. Messages moved before
// an interruption are not moved again, so a repeat after a crash never files a message twice (only
// the one in flight at the crash may show twice in Sent) and never leaves a sent one in the Outbox
// to be sent again. Without a manifest there is nothing to file. When the filing fails (reported
// with 101) the manifest stays, so that no queue build can send these messages again.
bool FileSentMessages(const TFolderFiles& outbox, const TFolderFiles& sent, QList<TListEntry>& listed,
                      const QString& queueDir);
// Finishes the filing of a send run that the main client did not see to its end.
bool ResumeFilingSent(const TFolderFiles& outbox, const TFolderFiles& sent, const QString& queueDir);
// Appends a message file to the Outbox. A message without a Message-ID gets one here, once, so that
// every send of it, and a resend after a failure, carries the same one; the file stays unchanged.
qint32 QueueMessageFile(const TFolderFiles& outbox, const QString& messageFile);
// Files a "new_" or "edit_" work file after the message window ended: when it was changed after
// `handedOver` (its modification time then), it is appended to `folder` (queued when that is the
// Outbox) and the message it was made from (`replaced`; record 0 for a new message) is marked
// deleted, but only while the folder still holds that message (StillHolds): one sent, moved or
// deleted meanwhile, or renumbered by a reorganize, is left alone and both stay, reported with 100.
// A failed append reports 12 and keeps the work file, which holds the user's text; otherwise the
// file is deleted unless `keepFile` (debug mode). The new record number, 0 when nothing was filed.
qint32 FileWorkFile(const TFolderFiles& folder, const QString& workFile, const QDateTime& handedOver,
                    const TMessageMark& replaced, bool keepFile);
// Exports a message for the message window; the path of the "edit_" file, or empty on failure.
QString ExportForEditing(const TFolderFiles& folder, const TListEntry& entry, const QString& queueDir);

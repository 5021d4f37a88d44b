#pragma once
// The message commands of the main window without their windows: deleting (to the Trash or for
// good), copying and moving, the drag-and-drop copy rule, marking read or unread, the command lines
// handed to the message window, and the work files of the edit cycle.

#include "DBMailboxFunctions.h"
#include "SpoolFunctions.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <Qt>

inline constexpr int MsgErrorWriting = 12;
inline constexpr int MsgOwnFolder = 29;
inline constexpr int MsgCouldNotDelete = 34;
inline constexpr int MsgMoveMessages = 58;
inline constexpr int MsgCopyMessages = 59;

// In the Trash a message is deleted for good; everywhere else it goes to the Trash.
bool DeletesForGood(const QString& folderName);

// Marks the listed messages deleted in record order. The first that cannot be marked ends the run
// with message 34; the entries deleted are removed from `entries`. A folder left without a displayed
// message is emptied (both files truncated). True when every entry was deleted.
bool DeleteForGood(const TFolderFiles& folder, QList<TListEntry>& entries);

enum class TTransferResult { Done, OwnFolder, Failed };

// Copy to / Move to / drop: refuses the source folder itself (message 29, nothing changes), else
// copies or moves the entries by CopyMessages (moved ones leave `entries`).
TTransferResult TransferMessages(const QString& sourceFolder, const QString& targetFolder,
                                 QList<TListEntry>& entries, bool move);

// A drop copies while Shift or Ctrl is held and moves otherwise.
bool DropCopies(Qt::KeyboardModifiers modifiers);
// The drag text of status panel 0 for the keys held: message 59 when copying, else 58.
int DragStatusMessage(Qt::KeyboardModifiers modifiers);

// Sets or clears the read flag (bit 0) in the index records of the entries and in the entries.
// Stops at the first record that cannot be written and returns false.
bool MarkMessages(const QString& indexPath, QList<TListEntry>& entries, bool read);

// The message window's command lines: view a stored message, edit a work file, show a file.
QStringList ViewArguments(const QString& messageFilePath, qint32 offset, qint32 length);
QStringList EditArguments(const QString& workFile);

// What the new message starts from.
struct TNewMessageSource {
    // A message file whose recipients, sender texts, subject, body, attachments and other headers
    // are taken over; empty for none.
    QString SourceFile;
    QByteArray Recipients;
    QByteArray Subject;
    // The lines of the default signature, used as the body when there is no source file.
    QByteArrayList Signature;
};

// Writes a new "new_" work file into `queueDir`: from the source file, or with the default account's
// sender, the given recipient and subject and the signature as body. An empty body gets one line
// holding a blank. The file's path, empty when it cannot be read or written.
QString MakeNewMessageFile(const QString& queueDir, const TNewMessageSource& source);

// One turn of the edit cycle: the work file handed to the message window and its time then.
struct TEditSession {
    QString WorkFile;
    QDateTime HandedOver;
    // The message the work file came from, as it was then; record 0 for a new message.
    TMessageMark Source;
};

// Prepares editing `entry` of `folder` (record below 1: a new message from `source`). Reports 12 and
// returns a session without work file when the work file cannot be written.
TEditSession StartEdit(const TFolderFiles& folder, const TListEntry& entry, const QString& queueDir,
                       const TNewMessageSource& source = {});
// After the message window ended: a work file changed since it was handed over is appended to the
// folder and replaces the message it was made from, while the folder still holds that message (see
// FileWorkFile). The new record number, 0 when nothing changed or filing failed (reported).
qint32 FinishEdit(const TFolderFiles& folder, const TEditSession& session, bool keepWorkFile);

inline constexpr int MsgKeptInOutbox = 450;

// A reply, forward or redirect arrived (contact file) while no account exists and the user did not
// create one: its text goes into the Outbox, where it waits to be opened once an account exists;
// reported with 450. The contact file is deleted only when that succeeded (else 12, file kept).
bool KeepContactInOutbox(const QString& contactFile, const TFolderFiles& outbox);

#pragma once
// Small helpers of the store: deleting files with the user's warning, emptying a directory,
// confirmations through the caller, and the crash points the crash tests stop the process at.

#include "DBMailboxFunctions.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

class TqmMessage;

// The warning shown when a file cannot be deleted is a fixed English text, not a table message;
// it is reported under this id.
inline constexpr int FileDeleteWarningId = 0;

enum class TConfirmResult { Yes, No, Cancel };
// Asks the user message `id` with `value` filled in; the store never opens a window itself.
using TConfirm = std::function<TConfirmResult(int id, const QString& value)>;

// Deletes `path`; on failure warns "Error, could not delete file " followed by the path.
bool DeleteFileWarn(const QString& path);

// Deletes the plain files of `path` for which `shouldDelete` holds (all when it is empty);
// subdirectories stay. False when any deletion failed.
bool EmptyDirectory(const QString& path, const std::function<bool(const QString& fileName)>& shouldDelete = {});

// Forces what was written through `fileDescriptor` onto the disk.
bool SyncFile(int fileDescriptor);
// Renames `from` to `to`, replacing `to` in one step.
bool ReplaceFile(const QString& from, const QString& to);

// With LUMARO_TEST_CRASH_AT set to `name` (or `name@k`: at the k-th passage) the process kills itself
// with SIGKILL here, so that crash tests can stop it between two steps. Does nothing otherwise.
void TestCrashPoint(const char* name);

namespace detail {

// Offsets of the messages in the bytes of a message file, cut as RebuildIndex cuts them.
QList<qsizetype> MessageStarts(QByteArrayView data);

// The index record of message bytes (separator included): sender, first To address, subject,
// date in local time (see RecordDate; `arrival` dates a message that carries none), the
// attachment flag and, with `withHeld`, the held flag. Offset and length stay 0.
TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld = true, TDateTime arrival = 0);

// Runs the message parser over `bytes`; throws what the parser throws.
void ParseMessageBytes(QByteArrayView bytes, TqmMessage& message);

} // namespace detail

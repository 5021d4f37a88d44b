#pragma once
// Small helpers of the store: deleting files with the user's warning, emptying a directory,
// confirmations through the caller, and the crash points the crash tests stop the process at.

#include "DBMailboxFunctions.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <span>

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

// The starts of the lines of `data` that begin with "F", "B" or "-" in either letter case, in
// ascending order: what the cutting into messages and the attachment flag look at. A line starts at
// 0 and behind every LF and every CR; all of them are found in one pass over the bytes.
QList<qsizetype> MarkedLineStarts(QByteArrayView data);

// Marked line starts of one message, taken from the starts of a whole message file: `Starts` are
// positions in that file, `Base` is where the message begins in it.
struct TMarkedLines {
    std::span<const qsizetype> Starts;
    qsizetype Base = 0;
};

// Offsets of the messages in the bytes of a message file, cut as RebuildIndex cuts them.
QList<qsizetype> MessageStarts(QByteArrayView data);
// The same with the marked line starts of `data` already known.
QList<qsizetype> MessageStarts(QByteArrayView data, const QList<qsizetype>& markedLines);

// The index record of message bytes (separator included): sender, first To address, subject,
// date in local time (see RecordDate; `arrival` dates a message that carries none), the
// attachment flag and, with `withHeld`, the held flag. Offset and length stay 0.
TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld = true, TDateTime arrival = 0);
// The same with the marked line starts of the message already known (a rebuild finds those of the
// whole file in one pass).
TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld, TMarkedLines markedLines, TDateTime arrival = 0);

// Runs the message parser over `bytes`; throws what the parser throws.
void ParseMessageBytes(QByteArrayView bytes, TqmMessage& message);

} // namespace detail

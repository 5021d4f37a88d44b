#pragma once
// Putting received messages into place in the spool, a group at a time: the group's unfinished
// files and the check file are synced, then the files are renamed to their final names and the
// renames made durable by a sync of the spool directory. The commit of one group may run on a
// thread of its own while the next messages arrive, so that the network and the disk work side by
// side; the run waits for it before anything is deleted on the server.

#include <QList>
#include <QString>

#include <atomic>
#include <thread>

struct TSpoolEntry {
    QString Unfinished;
    QString FileName;
};
using TSpoolGroup = QList<TSpoolEntry>;

// Commits `group` with the check file open at `checkFileHandle`; empty, or the text of the first
// failure. A rename that failed leaves the rest unrenamed, their lines marked: the next run fetches
// them again.
QString CommitSpoolGroup(const TSpoolGroup& group, int checkFileHandle, const QString& checkFile);

// Renames `from` to `to` unless `to` exists; false, with errno set, when that failed.
bool RenameWithoutReplacing(const QString& from, const QString& to);

// One group's commit at a time on a thread of its own.
class TBackgroundCommit {
public:
    TBackgroundCommit() = default;
    TBackgroundCommit(const TBackgroundCommit&) = delete;
    TBackgroundCommit& operator=(const TBackgroundCommit&) = delete;
    ~TBackgroundCommit();

    // Starts committing `group` once the group before it is done. Throws EMessageError with the
    // earlier group's failure instead of starting.
    void Start(TSpoolGroup group, int checkFileHandle, const QString& checkFile);
    // Waits for the group in flight; throws EMessageError when it failed.
    void Finish();
    // Waits for the group in flight, whatever became of it.
    void Abandon();
    // A group is still being committed.
    bool Busy() const { return m_busy; }

private:
    std::thread m_thread;
    QString m_failure;
    std::atomic<bool> m_busy = false;
};

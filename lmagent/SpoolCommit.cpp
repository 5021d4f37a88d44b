#include "SpoolCommit.h"

#include "AtomicFile.h"
#include "MailboxHelpFunctions.h"
#include "SharedFunctions.h"
#include "qmexcept.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Forces the content of the file at `path` onto the disk.
bool SyncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fdatasync(fd) == 0;
    ::close(fd);
    return synced;
}

// Syncs the files of a group side by side, and only them: the block layer joins the cache flushes
// of syncs that wait at the same time, where one after the other costs a flush of the disk's cache
// each; and a sync of the whole file system would also wait for everything other programs wrote.
// The first file that could not be synced, or -1.
qsizetype UnsyncedFile(const TSpoolGroup& group)
{
    constexpr qsizetype Threads = 16;
    std::vector<char> failed(size_t(group.size()), 0);
    std::vector<std::thread> threads;
    for (qsizetype first = 0; first < qMin(Threads, group.size()); ++first)
        threads.emplace_back([&group, &failed, first] {
            for (qsizetype i = first; i < group.size(); i += Threads)
                failed[size_t(i)] = !SyncFile(group.at(i).Unfinished);
        });
    for (std::thread& thread : threads)
        thread.join();
    const auto first = std::find(failed.begin(), failed.end(), 1);
    return first == failed.end() ? -1 : qsizetype(first - failed.begin());
}

} // namespace

bool RenameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    // File systems that cannot refuse to replace in one step.
    if (errno != EINVAL)
        return false;
    return QFile::rename(from, to);
}

QString CommitSpoolGroup(const TSpoolGroup& group, int checkFileHandle, const QString& checkFile)
{
    if (group.isEmpty())
        return {};
    if (const qsizetype unsynced = UnsyncedFile(group); unsynced >= 0)
        return WriteFailureText(group.at(unsynced).FileName);
    if (::fdatasync(checkFileHandle) != 0)
        return WriteFailureText(checkFile);
    for (const TSpoolEntry& entry : group) {
        if (!RenameWithoutReplacing(entry.Unfinished, entry.FileName))
            return WriteFailureText(entry.FileName, QString::fromLocal8Bit(std::strerror(errno)));
        TestCrashPoint("receive-renamed");
    }
    if (!SyncDirectoryOf(group.last().FileName))
        return WriteFailureText(QFileInfo(group.last().FileName).absolutePath());
    return {};
}

TBackgroundCommit::~TBackgroundCommit()
{
    Abandon();
}

void TBackgroundCommit::Start(TSpoolGroup group, int checkFileHandle, const QString& checkFile)
{
    Finish();
    m_busy = true;
    m_thread = std::thread([this, group = std::move(group), checkFileHandle, checkFile] {
        m_failure = CommitSpoolGroup(group, checkFileHandle, checkFile);
        m_busy = false;
    });
}

void TBackgroundCommit::Finish()
{
    if (m_thread.joinable())
        m_thread.join();
    if (!m_failure.isEmpty())
        throw EMessageError(std::exchange(m_failure, QString()));
}

void TBackgroundCommit::Abandon()
{
    if (m_thread.joinable())
        m_thread.join();
    m_failure.clear();
}

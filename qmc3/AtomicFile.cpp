#include "AtomicFile.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The rename is only durable once the directory entry itself has reached the disk.
bool SyncDirectoryOf(const QString& path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

TAtomicFile::TAtomicFile(const QString& path, bool ownerOnly)
    : m_file(path), m_ownerOnly(ownerOnly)
{
}

bool TAtomicFile::Open()
{
    m_failed = false;
    // The save file takes over the mode of the file it replaces; a new file is private.
    const bool ownerOnly = m_ownerOnly || !QFileInfo::exists(m_file.fileName());
    if (!m_file.open(QIODevice::WriteOnly))
        return Fail();
    if (ownerOnly && ::fchmod(m_file.handle(), S_IRUSR | S_IWUSR) != 0)
        return Fail();
    return true;
}

bool TAtomicFile::Write(QByteArrayView data)
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_file.write(data.data(), data.size()) != data.size())
        return Fail();
    return true;
}

bool TAtomicFile::Commit()
{
    if (m_failed || !m_file.isOpen())
        return false;
    // A write that failed inside Qt's buffer only shows up in flush() and the error state.
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        return Fail();
    if (::fsync(m_file.handle()) != 0)
        return Fail();
    if (!m_file.commit())
        return false;
    return SyncDirectoryOf(m_file.fileName());
}

bool TAtomicFile::Fail()
{
    m_failed = true;
    if (m_file.isOpen())
        m_file.cancelWriting();
    return false;
}

bool WriteFileAtomically(const QString& path, const QByteArray& content, bool ownerOnly)
{
    TAtomicFile file(path, ownerOnly);
    return file.Open() && file.Write(content) && file.Commit();
}

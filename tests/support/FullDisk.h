#pragma once
// A small tmpfs mounted over a directory for the lifetime of the object, so that a test can run
// code into a full disk for real: short writes, failed flushes and all. Mounting needs root; a
// test skips when Mounted() is false.

#include <QDir>
#include <QFile>
#include <QProcess>

class FullDisk {
public:
    FullDisk(const QString& dir, int kibibytes) : m_dir(dir)
    {
        QDir().mkpath(dir);
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=%1k,mode=0700").arg(kibibytes), QStringLiteral("tmpfs"), dir});
        m_mounted = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir});
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool Mounted() const { return m_mounted; }
    // Takes every free byte but `leave` (rounded to pages) with a filler file.
    void Fill(qint64 leave = 0) const
    {
        QFile filler(QDir(m_dir).filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray page(4096, 'x');
        const qint64 target = qMax<qint64>(0, leave);
        while (filler.write(page) == page.size())
            ;
        filler.resize(qMax<qint64>(0, filler.size() - target));
    }

private:
    QString m_dir;
    bool m_mounted = false;
};

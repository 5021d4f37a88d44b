// Replacing a file: the new content or the old one, never a mix; failed writes are reported even
// when they only show when the buffer is flushed; owner-only permissions for files with passwords.

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestAtomicFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    static QByteArray Content(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Only the file the test wrote lies in the directory: no temporary file was left behind.
    void VerifyOnlyFile(const QString& name)
    {
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    void RemoveAllFiles()
    {
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(m_dir.filePath(name));
    }

private slots:
    void replacesTheContent()
    {
        RemoveAllFiles();
        const QString path = Path("file.txt");
        QVERIFY(WriteFileAtomically(path, "old and longer"));
        QVERIFY(WriteFileAtomically(path, "new"));
        QCOMPARE(Content(path), QByteArray("new"));
        VerifyOnlyFile(QStringLiteral("file.txt"));
    }

    void permissions_data()
    {
        QTest::addColumn<bool>("ownerOnly");
        QTest::addColumn<QFile::Permissions>("expected");
        const QFile::Permissions before = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QTest::newRow("kept") << false << before;
        QTest::newRow("owner only") << true << (QFile::ReadOwner | QFile::WriteOwner);
    }
    void permissions()
    {
        QFETCH(bool, ownerOnly);
        QFETCH(QFile::Permissions, expected);
        RemoveAllFiles();
        const QString path = Path("secret.ini");
        QVERIFY(WriteFileAtomically(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(WriteFileAtomically(path, "new", ownerOnly));
        const QFile::Permissions ownerGroupOther = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
            | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(path) & ownerGroupOther, expected);
    }

    void newOwnerOnlyFileIsNeverReadableByOthers()
    {
        RemoveAllFiles();
        const QString path = Path("new.ini");
        QVERIFY(WriteFileAtomically(path, "password=x", true));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    }

    void missingDirectoryFails()
    {
        QVERIFY(!WriteFileAtomically(Path("no/such/dir/file"), "x"));
    }

    void abandonedWriteKeepsTheOldFile()
    {
        RemoveAllFiles();
        const QString path = Path("kept.txt");
        QVERIFY(WriteFileAtomically(path, "old"));
        {
            TAtomicFile file(path);
            QVERIFY(file.Open());
            QVERIFY(file.Write("half of the new"));
        }
        QCOMPARE(Content(path), QByteArray("old"));
        VerifyOnlyFile(QStringLiteral("kept.txt"));
    }

    void directoryInTheWayFails()
    {
        RemoveAllFiles();
        const QString path = Path("adir");
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("adir")));
        QVERIFY(!WriteFileAtomically(path, "x"));
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("adir")));
    }

    // A file-size limit makes the write fail the way a full disk does: the bytes sit in Qt's
    // buffer until flush, and only then does the system refuse them.
    void failedBufferedWriteIsReportedAndKeepsTheOldFile()
    {
        RemoveAllFiles();
        const QString path = Path("full.txt");
        QVERIFY(WriteFileAtomically(path, "old"));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = saved;
        tiny.rlim_cur = 4;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const bool written = WriteFileAtomically(path, "far more than four bytes");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!written);
        QCOMPARE(Content(path), QByteArray("old"));
        VerifyOnlyFile(QStringLiteral("full.txt"));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"

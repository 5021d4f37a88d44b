// The run paths of the suite's programs and library, in the build tree and in an installed tree:
// every entry is absolute or relative to $ORIGIN. An empty entry would make the dynamic loader
// search the current directory, a relative one the directory the user happens to be in.

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool IsElf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "\x7f" "ELF";
}

// The entries of the RUNPATH or RPATH of `path`, or nothing when it has none.
QStringList RunPathEntries(const QString& path)
{
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), path});
    if (!readelf.waitForFinished(30000))
        return {QStringLiteral("<readelf failed>")};
    QStringList entries;
    for (const QByteArray& line : readelf.readAllStandardOutput().split('\n')) {
        const qsizetype open = line.indexOf("path: [");
        if ((line.contains("(RUNPATH)") || line.contains("(RPATH)")) && open >= 0) {
            const QByteArray value = line.mid(open + 7, line.lastIndexOf(']') - open - 7);
            entries += QString::fromLocal8Bit(value).split(QLatin1Char(':'));
        }
    }
    return entries;
}

void VerifyTree(const QString& root)
{
    int checked = 0;
    QDirIterator files(root, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (!IsElf(path))
            continue;
        ++checked;
        for (const QString& entry : RunPathEntries(path)) {
            const bool sound = entry.startsWith(QLatin1Char('/')) || entry.startsWith(QLatin1String("$ORIGIN"));
            QVERIFY2(sound, qPrintable(QStringLiteral("%1: run path entry '%2'").arg(path, entry)));
        }
    }
    QVERIFY2(checked >= 2, qPrintable(root));
}

} // namespace

class TestRunPaths : public QObject {
    Q_OBJECT

private slots:
    void buildTree() { VerifyTree(QStringLiteral(LUMARO_DIST_DIR)); }

    void installedTree()
    {
        QTemporaryDir prefix;
        QProcess install;
        install.start(QStringLiteral(LUMARO_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(LUMARO_BINARY_DIR), QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        VerifyTree(prefix.path());
    }
};

QTEST_GUILESS_MAIN(TestRunPaths)
#include "tst_runpaths.moc"

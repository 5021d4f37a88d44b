// Program directory, work directory, display date format, private temporary directory and the
// data directory with its derived paths.

#include "Konstanten.h"
#include "ReportCapture.h"
#include "qmmsg.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestPaths : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;

    void MakeFile(const QString& path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    // Installs program paths for a program directory inside the private root.
    void UseProgramDir(const QString& progDir)
    {
        QVERIFY(QDir().mkpath(progDir));
        InitProgramPaths(progDir + QLatin1String("/lumaro"));
    }

private slots:
    void programDirectory_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("main program") << "/opt/lm/lumaro" << "/opt/lm";
        QTest::newRow("modules") << "/opt/lm/modules/lmview" << "/opt/lm";
        QTest::newRow("MODULES upper case") << "/opt/lm/MODULES/lmagent" << "/opt/lm";
        QTest::newRow("Tools mixed case") << "/opt/lm/Tools/lmchglang" << "/opt/lm";
        QTest::newRow("modulesX is no module dir") << "/opt/lm/modulesX/lmview" << "/opt/lm/modulesX";
        QTest::newRow("tools as a prefix only") << "/opt/lm/toolshed/x" << "/opt/lm/toolshed";
    }
    void programDirectory()
    {
        QFETCH(QString, executable);
        QFETCH(QString, expected);
        QCOMPARE(detail::ProgramDirectoryOf(executable), expected);
    }

    void programPathsFollowTheLayout()
    {
        const TProgramPaths p = detail::ComputeProgramPaths(QStringLiteral("/opt/lm"));
        QCOMPARE(p.HelpIndexFile, QStringLiteral("/opt/lm/help/lumaro.inx"));
        QCOMPARE(p.LmviewExe, QStringLiteral("/opt/lm/modules/lmview"));
        QCOMPARE(p.LmchglangExe, QStringLiteral("/opt/lm/tools/lmchglang"));
        QCOMPARE(p.JobFile, QStringLiteral("/opt/lm/lmagent.ini"));
        QCOMPARE(p.DefaultDataDir, QStringLiteral("/opt/lm/default"));
    }

    void workDirectory_data()
    {
        QTest::addColumn<QStringList>("plainFiles");
        QTest::addColumn<QStringList>("directories");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing exists") << QStringList() << QStringList() << "23.tmp";
        QTest::newRow("23.tmp is a directory") << QStringList() << QStringList{"23.tmp"} << "23.tmp";
        QTest::newRow("23.tmp is a file") << QStringList{"23.tmp"} << QStringList() << "1.tmp";
        QTest::newRow("23 and 1 are files, 2 a directory")
            << QStringList{"23.tmp", "1.tmp"} << QStringList{"2.tmp"} << "2.tmp";
    }
    void workDirectory()
    {
        QFETCH(QStringList, plainFiles);
        QFETCH(QStringList, directories);
        QFETCH(QString, expected);
        QTemporaryDir temp;
        for (const QString& name : plainFiles)
            MakeFile(temp.filePath(name));
        for (const QString& name : directories)
            QVERIFY(QDir(temp.path()).mkdir(name));
        QCOMPARE(detail::ChooseWorkDirectory(temp.path()), temp.filePath(expected));
    }

    void workDirectoryFallsBackToTempWhenAllNamesAreFiles()
    {
        QTemporaryDir temp;
        MakeFile(temp.filePath(QStringLiteral("23.tmp")));
        for (int i = 1; i <= 30; ++i)
            MakeFile(temp.filePath(QStringLiteral("%1.tmp").arg(i)));
        QCOMPARE(detail::ChooseWorkDirectory(temp.path()), temp.path());
    }

    void displayDateFormat_data()
    {
        QTest::addColumn<QString>("shortDate");
        QTest::addColumn<QString>("shortTime");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German two-digit year") << "dd.MM.yy" << "hh:mm" << "dd.MM.yyyy hh:mm";
        QTest::newRow("US two-digit year") << "M/d/yy" << "h:mm AP" << "M/d/yyyy h:mm AP";
        QTest::newRow("four-digit year stays") << "yyyy-MM-dd" << "HH:mm" << "yyyy-MM-dd HH:mm";
        QTest::newRow("no year at all") << "dd.MM." << "hh:mm" << "dd.MM. hh:mm";
    }
    void displayDateFormat()
    {
        QFETCH(QString, shortDate);
        QFETCH(QString, shortTime);
        QFETCH(QString, expected);
        QCOMPARE(detail::DisplayDateFormat(shortDate, shortTime), expected);
    }

    void privateTempDirectoryIsOwnerOnly()
    {
        QTemporaryDir base;
        const QString dir = detail::PrivateTempDirectory(base.path());
        QVERIFY(!dir.isEmpty());
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(dir).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        QCOMPARE(detail::PrivateTempDirectory(base.path()), dir);
    }

    void unsafeTempDirectoryIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("writable by others") << "world-writable";
        QTest::newRow("symbolic link") << "symlink";
        QTest::newRow("plain file") << "file";
    }
    void unsafeTempDirectoryIsRefused()
    {
        QFETCH(QString, kind);
        QTemporaryDir base;
        const QString name = base.filePath(QStringLiteral("lumaro-%1").arg(::getuid()));
        if (kind == QLatin1String("world-writable")) {
            QVERIFY(QDir().mkdir(name));
            QCOMPARE(::chmod(QFile::encodeName(name).constData(), 0777), 0);
        } else if (kind == QLatin1String("symlink")) {
            QVERIFY(QDir().mkdir(base.filePath(QStringLiteral("elsewhere"))));
            QVERIFY(QFile::link(base.filePath(QStringLiteral("elsewhere")), name));
        } else {
            MakeFile(name);
        }
        QVERIFY(detail::PrivateTempDirectory(base.path()).isEmpty());
    }

    void systemDirectoriesLieInThePrivateTempDirectory()
    {
        UseProgramDir(m_root.filePath(QStringLiteral("system")));
        const TSystemDirs& s = Paths().System;
        QVERIFY(s.RefusedTempDir.isEmpty());
        QVERIFY(s.TempDir.startsWith(QDir::tempPath() + QLatin1String("/lumaro-")));
        QCOMPARE(s.SourceFile, s.TempDir + QLatin1String("/lmsource.txt"));
        QVERIFY(s.WorkDir.startsWith(s.TempDir + QLatin1Char('/')));
        QVERIFY(s.SendToDir.endsWith(QLatin1String("/lumaro/sendto")));
        QCOMPARE(AttachmentTempDir(), s.TempDir);
    }

    void applyDataDirectory_data()
    {
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<bool>("expectWarning");
        QTest::addColumn<bool>("expectDefault");
        QTest::newRow("empty gives the default quietly") << "" << false << true;
        QTest::newRow("missing directory warns") << "missing" << true << true;
        QTest::newRow("existing directory is taken") << "existing" << false << false;
        QTest::newRow("missing default is no error") << "default" << false << true;
    }
    void applyDataDirectory()
    {
        QFETCH(QString, dataDir);
        QFETCH(bool, expectWarning);
        QFETCH(bool, expectDefault);
        const QString progDir = m_root.filePath(QStringLiteral("apply-") + QString::fromLatin1(QTest::currentDataTag()));
        UseProgramDir(progDir);
        QVERIFY(QDir().mkpath(progDir + QLatin1String("/existing")));
        const QString path = dataDir.isEmpty() ? QString() : progDir + QLatin1Char('/') + dataDir;

        ReportCapture reports;
        ApplyDataDirectory(path);

        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), expectWarning ? 1 : 0);
        if (expectWarning) {
            QCOMPARE(shown.first().Id, 506);
            QVERIFY(shown.first().Text.contains(path));
        }
        const QString expected = expectDefault ? Paths().Program.DefaultDataDir : path;
        QCOMPARE(Paths().Data.DataDir, expected);
        QCOMPARE(Paths().Data.MailDir, expected + QLatin1String("/Mail"));
        QCOMPARE(Paths().Data.SmtpDir, expected + QLatin1String("/Spool/SMTP"));
        QCOMPARE(Paths().Data.AccountsFile, expected + QLatin1String("/Accounts.ldb"));
    }

    void createDataDirectoriesMakesTheWholeSet()
    {
        const QString progDir = m_root.filePath(QStringLiteral("create"));
        UseProgramDir(progDir);
        CreateDataDirectories();
        const TSuitePaths& p = Paths();
        for (const QString& dir : {p.Program.UsersDir, p.Data.DataDir, p.Data.LmabDir, p.Data.MailDir,
                                   p.Data.PhrasesDir, p.System.WorkDir, p.Data.SpoolDir, p.Data.SmtpDir})
            QVERIFY2(QFileInfo(dir).isDir(), qPrintable(dir));
    }

    void createDataDirectoriesCreatesOneLevelOnly()
    {
        const QString progDir = m_root.filePath(QStringLiteral("one-level"));
        UseProgramDir(progDir);
        const QString nested = progDir + QLatin1String("/unmounted/drive");
        detail::MutablePaths().Data = detail::ComputeDataPaths(nested);
        CreateDataDirectories();
        QVERIFY(!QFileInfo::exists(progDir + QLatin1String("/unmounted")));
        QVERIFY(QFileInfo(Paths().Program.UsersDir).isDir());
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"

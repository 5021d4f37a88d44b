// Packed file dates, unique message file names and the start-up order of a program.

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "SharedFunctions.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSharedFunctions : public QObject {
    Q_OBJECT

private slots:
    void packedFileDate_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<quint32>("expected");
        // 2026-12-07 13:25:03: date (46 << 9 | 12 << 5 | 7), time (13 << 11 | 25 << 5 | 1)
        QTest::newRow("odd seconds round down") << QDateTime(QDate(2026, 12, 7), QTime(13, 25, 3))
                                               << ((46u << 9 | 12u << 5 | 7u) << 16 | (13u << 11 | 25u << 5 | 1u));
        QTest::newRow("first representable day") << QDateTime(QDate(1980, 1, 1), QTime(0, 0)) << 0x00210000u;
        QTest::newRow("last second of a day") << QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59))
                                             << ((20u << 9 | 2u << 5 | 29u) << 16 | (23u << 11 | 59u << 5 | 29u));
    }
    void packedFileDate()
    {
        QFETCH(QDateTime, time);
        QFETCH(quint32, expected);
        QCOMPARE(PackedFileDate(time), expected);
    }

    void uniqueNameWaitsForAFreeName()
    {
        QTemporaryDir dir;
        const QDateTime first(QDate(2026, 12, 8), QTime(7, 0, 0));
        const QDateTime later = first.addSecs(2);
        int calls = 0;
        const TClock clock = [&] { return ++calls < 3 ? first : later; };

        QFile taken(QStringLiteral("%1/pop_%2.eml").arg(dir.path()).arg(PackedFileDate(first)));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();

        const QString name = UniqueMessageFileName(dir.path(), QStringLiteral("pop_"), clock);
        QCOMPARE(name, QStringLiteral("%1/pop_%2.eml").arg(dir.path()).arg(PackedFileDate(later)));
        QCOMPARE(calls, 3);
    }

    void startUpUsesTheUsersDataDirectory()
    {
        ScopedRegistry registry;
        QTemporaryDir install;
        const QString dataDir = install.filePath(QStringLiteral("alice-data"));
        QVERIFY(QDir().mkpath(dataDir));
        TRegistryKey(QString()).WriteString(QStringLiteral("CurrentUser"), QStringLiteral("alice"));
        WriteUser(QStringLiteral("alice"), dataDir, QString());

        InitProgramForActiveUser(install.filePath(QStringLiteral("modules/lmagent")));

        QCOMPARE(Paths().Program.ProgDir, install.path());
        QCOMPARE(Paths().Data.DataDir, dataDir);
        QVERIFY(QFileInfo(dataDir + QLatin1String("/Spool/SMTP")).isDir());
        QVERIFY(QFileInfo(install.filePath(QStringLiteral("users"))).isDir());
        QCOMPARE(UserContext().Keys.Forms, QStringLiteral("Users/alice/Forms"));
    }

    void startUpFallsBackToTheDefaultDataDirectory()
    {
        ScopedRegistry registry;
        QTemporaryDir install;
        const QString gone = install.filePath(QStringLiteral("gone"));
        WriteUser(QStringLiteral("default"), gone, QString());

        ReportCapture reports;
        InitProgramForActiveUser(install.filePath(QStringLiteral("lumaro")));

        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 506);
        QCOMPARE(shown.first().Kind, TMessageKind::Warning);
        QCOMPARE(Paths().Data.DataDir, install.filePath(QStringLiteral("default")));
        QVERIFY(QFileInfo(install.filePath(QStringLiteral("default/Mail"))).isDir());
        QVERIFY(!QFileInfo::exists(gone));
        QCOMPARE(ReadUserDataDir(QStringLiteral("default")), gone);
    }
};

QTEST_GUILESS_MAIN(TestSharedFunctions)
#include "tst_sharedfunctions.moc"

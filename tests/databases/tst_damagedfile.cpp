// Setting a damaged database aside before it is recreated: the name it gets, names already taken by
// earlier damage, and a file that cannot be set aside, which is then neither lost nor replaced.

#include "DamagedFile.h"
#include "ReportCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestDamagedFile : public QObject {
    Q_OBJECT

private slots:
    void keptName_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("kept");
        QTest::newRow("first damage") << QStringList{} << "Accounts.ldb.damaged-2026-03-09";
        QTest::newRow("same day again") << QStringList{"Accounts.ldb.damaged-2026-03-09"} << "Accounts.ldb.damaged-2026-03-09-2";
        QTest::newRow("third time") << QStringList{"Accounts.ldb.damaged-2026-03-09", "Accounts.ldb.damaged-2026-03-09-2"}
                                    << "Accounts.ldb.damaged-2026-03-09-3";
    }

    void keptName()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Accounts.ldb"));
        for (const QString& name : taken + QStringList{QStringLiteral("Accounts.ldb")}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8());
        }
        QCOMPARE(SetDamagedFileAside(path, QDate(2026, 3, 9)), dir.filePath(kept));
        QVERIFY(!QFile::exists(path));
        QFile keptFile(dir.filePath(kept));
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), QByteArray("Accounts.ldb"));
        for (const QString& name : taken) {
            QFile earlier(dir.filePath(name));
            QVERIFY(earlier.open(QIODevice::ReadOnly));
            QCOMPARE(earlier.readAll(), name.toUtf8());
        }
    }

    void aFileThatCannotBeSetAsideIsNotReplaced()
    {
        ReportCapture reports;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone/Addressbook.lab"));
        bool created = false;
        QVERIFY(!RecreateDamagedDatabase(path, 1, [&] { return created = true; }));
        QVERIFY(!created);
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, 516);
        QVERIFY(taken.first().Text.contains(path));
    }
};

QTEST_GUILESS_MAIN(TestDamagedFile)
#include "tst_damagedfile.moc"

// A second start of the built accounts manager or address book, while a window of the same title
// listens, only brings that window to the front (message 3026) and ends; "NEW" arguments of the
// second start are not passed on.

#include "ScopedRegistry.h"
#include "SingleInstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class TestSecondStart : public QObject {
    Q_OBJECT

private slots:
    void secondStartRestoresTheFirst_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("lmaccounts") << QStringLiteral(LUMARO_LMACCOUNTS_PROGRAM) << QStringLiteral("Lumaro Mail Mailkonten")
                                    << QStringList{};
        QTest::newRow("lmab with NEW") << QStringLiteral(LUMARO_LMAB_PROGRAM) << QStringLiteral("Lumaro Mail Adressbuch")
                                       << QStringList{"NEW", "Miller", "Anne", "anne@example.org"};
    }

    void secondStartRestoresTheFirst()
    {
        QFETCH(QString, program);
        QFETCH(QString, title);
        QFETCH(QStringList, arguments);
        ScopedRegistry registry;
        TInstanceServer running;
        QVERIFY(running.Listen(title));
        QSignalSpy spy(&running, &TInstanceServer::MessageReceived);
        QProcess second;
        second.start(program, arguments);
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().toInt(), int(wmRestore));
        QTRY_COMPARE(second.state(), QProcess::NotRunning);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSecondStart)
#include "tst_secondstart.moc"

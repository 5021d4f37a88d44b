// The throttle that keeps the transfer windows from drawing per message: the first change shows at
// once, changes within the interval are gathered into one showing at its end, and the newest state
// is never lost.

#include "DisplayThrottle.h"

#include <QElapsedTimer>
#include <QTest>

class TestDisplayThrottle : public QObject {
    Q_OBJECT

private slots:
    void firstChangeShowsAtOnce();
    void burstIsShownOnceMoreAtTheEnd();
    void flushShowsThePendingState();
    void manyChangesDrawFewTimes();
};

void TestDisplayThrottle::firstChangeShowsAtOnce()
{
    int state = 0;
    QList<int> shown;
    TDisplayThrottle throttle([&] { shown.append(state); }, 100);
    state = 1;
    throttle.Changed();
    QCOMPARE(shown, QList<int>{1});
    QVERIFY(!throttle.Pending());
}

void TestDisplayThrottle::burstIsShownOnceMoreAtTheEnd()
{
    int state = 0;
    QList<int> shown;
    TDisplayThrottle throttle([&] { shown.append(state); }, 100);
    QElapsedTimer clock;
    clock.start();
    for (state = 1; state <= 5; ++state)
        throttle.Changed();
    state = 5;
    QCOMPARE(shown, QList<int>{1});
    QVERIFY(throttle.Pending());
    QTRY_COMPARE_WITH_TIMEOUT(shown, (QList<int>{1, 5}), 1000);
    QVERIFY(clock.elapsed() >= 90);
    QVERIFY(!throttle.Pending());
}

void TestDisplayThrottle::flushShowsThePendingState()
{
    int state = 0;
    QList<int> shown;
    TDisplayThrottle throttle([&] { shown.append(state); }, 10000);
    state = 1;
    throttle.Changed();
    state = 2;
    throttle.Changed();
    throttle.Flush();
    QCOMPARE(shown, (QList<int>{1, 2}));
    // Nothing new: nothing is drawn again, neither now nor when the interval ends.
    throttle.Flush();
    QCOMPARE(shown, (QList<int>{1, 2}));
}

// The goal behind it: a receive of thousands of messages within a second draws the window a
// handful of times, not once per message.
void TestDisplayThrottle::manyChangesDrawFewTimes()
{
    int shows = 0;
    TDisplayThrottle throttle([&] { ++shows; }, 100);
    QElapsedTimer clock;
    clock.start();
    int changes = 0;
    while (clock.elapsed() < 350) {
        throttle.Changed();
        ++changes;
        QCoreApplication::processEvents();
    }
    throttle.Flush();
    QVERIFY(changes > 1000);
    QVERIFY2(shows >= 3 && shows <= 6, qPrintable(QString::number(shows)));
}

QTEST_GUILESS_MAIN(TestDisplayThrottle)
#include "tst_displaythrottle.moc"

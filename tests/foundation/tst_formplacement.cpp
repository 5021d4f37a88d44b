// Window placement saved to and restored from the registry, and where windows open: the placement
// rule as a table over screens, stored places and parents, and real windows on the offscreen screen.

#include "FormPlacement.h"
#include "ScopedRegistry.h"
#include "tk_reglib.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

using OptionalRect = std::optional<QRect>;
Q_DECLARE_METATYPE(OptionalRect)

namespace {
const QString FormsKey = QStringLiteral("Users/default/Forms");
}

class TestFormPlacement : public QObject {
    Q_OBJECT

private slots:
    void normalPlacementRoundTrips()
    {
        ScopedRegistry registry;
        QWidget saved;
        saved.setObjectName(QStringLiteral("MainFrm"));
        saved.setGeometry(40, 50, 300, 200);
        SaveFormPlacement(saved, FormsKey);

        const std::optional<TWindowPlacement> stored =
            DecodeWindowPlacement(TRegistryKey(FormsKey).ReadBinary(QStringLiteral("MainFrm")));
        QVERIFY(stored);
        QCOMPARE(stored->Top, 50);

        QWidget restored;
        restored.setObjectName(QStringLiteral("MainFrm"));
        RestoreFormPlacement(restored, FormsKey);
        QCOMPARE(restored.geometry(), QRect(40, 50, 300, 200));
        QVERIFY(!restored.isMaximized());
    }

    void maximizedTopRestoresMaximized()
    {
        ScopedRegistry registry;
        TRegistryKey(FormsKey).WriteBinary(QStringLiteral("MainFrm"),
                                           EncodeWindowPlacement({40, TWindowPlacement::MaximizedTop, 300, 200}));
        QWidget form;
        form.setObjectName(QStringLiteral("MainFrm"));
        RestoreFormPlacement(form, FormsKey);
        QVERIFY(form.windowState() & Qt::WindowMaximized);
    }

    void maximizedFormIsSavedWithTopMinus999()
    {
        ScopedRegistry registry;
        QWidget form;
        form.setObjectName(QStringLiteral("MainFrm"));
        form.setGeometry(40, 50, 300, 200);
        form.showMaximized();
        SaveFormPlacement(form, FormsKey);
        const std::optional<TWindowPlacement> stored =
            DecodeWindowPlacement(TRegistryKey(FormsKey).ReadBinary(QStringLiteral("MainFrm")));
        QVERIFY(stored);
        QVERIFY(stored->Maximized());
    }

    // Nothing usable stored: the window keeps its size and opens in the middle of its screen.
    void invalidValueCentresTheForm_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("too short") << QByteArray(12, '\1');
        QTest::newRow("no size") << EncodeWindowPlacement({10, 10, 0, 0});
    }
    void invalidValueCentresTheForm()
    {
        QFETCH(QByteArray, value);
        ScopedRegistry registry;
        if (!value.isEmpty())
            TRegistryKey(FormsKey).WriteBinary(QStringLiteral("MainFrm"), value);
        QWidget form;
        form.setObjectName(QStringLiteral("MainFrm"));
        form.setGeometry(1, 2, 124, 46);
        RestoreFormPlacement(form, FormsKey);
        QCOMPARE(form.size(), QSize(124, 46));
        QCOMPARE(form.geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    }

    void placeWindow_data()
    {
        QTest::addColumn<OptionalRect>("stored");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<OptionalRect>("parent");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("placed");
        const QList<QRect> one{{0, 0, 1920, 1040}};
        const QList<QRect> two{{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
        const QSize dialog(400, 300);
        const OptionalRect none;
        QTest::newRow("first time, centred on the screen") << none << dialog << none << one << QMargins() << QRect(760, 370, 400, 300);
        QTest::newRow("first time, centred over the parent")
            << none << dialog << OptionalRect({100, 100, 600, 400}) << one << QMargins() << QRect(200, 150, 400, 300);
        QTest::newRow("parent at the corner, window kept on screen")
            << none << dialog << OptionalRect({1700, 900, 400, 300}) << one << QMargins() << QRect(1520, 740, 400, 300);
        QTest::newRow("parent on the second screen")
            << none << dialog << OptionalRect({2000, 100, 800, 600}) << two << QMargins() << QRect(2200, 250, 400, 300);
        QTest::newRow("first time larger than the screen")
            << none << QSize(3000, 2000) << none << one << QMargins() << QRect(0, 0, 1920, 1040);
        QTest::newRow("stored place kept") << OptionalRect({50, 60, 500, 400}) << dialog << none << one << QMargins()
                                           << QRect(50, 60, 500, 400);
        QTest::newRow("stored 15 px below the bottom edge, lifted")
            << OptionalRect({0, 655, 500, 400}) << dialog << none << one << QMargins() << QRect(0, 640, 500, 400);
        QTest::newRow("stored at the top, title bar kept on screen")
            << OptionalRect({0, 0, 500, 400}) << dialog << none << one << QMargins(4, 28, 4, 4) << QRect(4, 28, 500, 400);
        QTest::newRow("stored with the bottom border 1 px below")
            << OptionalRect({10, 640, 500, 400}) << dialog << none << one << QMargins(1, 25, 1, 1) << QRect(10, 639, 500, 400);
        QTest::newRow("stored partly above and left, moved in")
            << OptionalRect({-100, -50, 500, 400}) << dialog << none << one << QMargins() << QRect(0, 0, 500, 400);
        QTest::newRow("stored on a screen now gone, centred with its size")
            << OptionalRect({2500, 100, 500, 400}) << dialog << none << one << QMargins() << QRect(710, 320, 500, 400);
        QTest::newRow("stored on the second screen, kept")
            << OptionalRect({2500, 100, 500, 400}) << dialog << none << two << QMargins() << QRect(2500, 100, 500, 400);
        QTest::newRow("stored larger than the screen, cut")
            << OptionalRect({0, 0, 3000, 2000}) << dialog << none << one << QMargins() << QRect(0, 0, 1920, 1040);
        QTest::newRow("stored place wins over the parent")
            << OptionalRect({50, 60, 500, 400}) << dialog << OptionalRect({1000, 500, 600, 400}) << one << QMargins()
            << QRect(50, 60, 500, 400);
        QTest::newRow("no screen known") << OptionalRect({5, 6, 70, 80}) << dialog << none << QList<QRect>() << QMargins()
                                         << QRect(5, 6, 70, 80);
    }
    void placeWindow()
    {
        QFETCH(OptionalRect, stored);
        QFETCH(QSize, size);
        QFETCH(OptionalRect, parent);
        QFETCH(QList<QRect>, screens);
        QFETCH(QMargins, frame);
        QFETCH(QRect, placed);
        QCOMPARE(PlaceWindow(stored, size, parent, screens, frame), placed);
    }

    // The reported fault: a stored place just below the screen's edge put the status bar out of
    // sight. Shown for real, the whole frame lies on the available area.
    void storedPlaceBelowTheEdgeOpensOnScreen()
    {
        ScopedRegistry registry;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        TRegistryKey(FormsKey).WriteBinary(QStringLiteral("AccountsMainFrm"),
                                           EncodeWindowPlacement({available.left(), available.bottom() - 300 + 15, 400, 300}));
        QWidget form;
        form.setObjectName(QStringLiteral("AccountsMainFrm"));
        RestoreFormPlacement(form, FormsKey);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_VERIFY(available.contains(form.frameGeometry()));
        QCOMPARE(form.size(), QSize(400, 300));
    }

    void secondaryWindowOpensCentredOverItsParent()
    {
        ScopedRegistry registry;
        QWidget parent;
        parent.setGeometry(40, 50, 600, 400);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QWidget secondary(&parent, Qt::Window);
        secondary.setObjectName(QStringLiteral("WizzardFrm"));
        secondary.resize(200, 100);
        RestoreFormPlacement(secondary, FormsKey);
        secondary.show();
        QVERIFY(QTest::qWaitForWindowExposed(&secondary));
        QCOMPARE(secondary.frameGeometry().center(), parent.frameGeometry().center());
    }
};

QTEST_MAIN(TestFormPlacement)
#include "tst_formplacement.moc"

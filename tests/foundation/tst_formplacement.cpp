// Window placement saved to and restored from the registry.

#include "FormPlacement.h"
#include "ScopedRegistry.h"
#include "tk_reglib.h"

#include <QTest>
#include <QWidget>

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

    void invalidValueLeavesTheFormAlone_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("too short") << QByteArray(12, '\1');
    }
    void invalidValueLeavesTheFormAlone()
    {
        QFETCH(QByteArray, value);
        ScopedRegistry registry;
        if (!value.isEmpty())
            TRegistryKey(FormsKey).WriteBinary(QStringLiteral("MainFrm"), value);
        QWidget form;
        form.setObjectName(QStringLiteral("MainFrm"));
        form.setGeometry(1, 2, 123, 45);
        RestoreFormPlacement(form, FormsKey);
        QCOMPARE(form.geometry(), QRect(1, 2, 123, 45));
    }
};

QTEST_MAIN(TestFormPlacement)
#include "tst_formplacement.moc"

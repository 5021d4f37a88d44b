// The server manager's menus name their keys in the suite's language ("Einfg", "Entf",
// "Leertaste" in German), as Qt's translation loaded at program start makes them.

#include "LmserverMain.h"
#include "ProgramStart.h"
#include "Screenshot.h"
#include "TestInstallation.h"

#include <QAction>
#include <QMenu>
#include <QTest>

class TestLmserverKeyNames : public QObject {
    Q_OBJECT

private slots:
    void editMenuKeys_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("de") << 0 << QStringList{"Einfg", "Entf", "Leertaste", "Strg+A", "Strg+F9"};
        QTest::newRow("en") << 2 << QStringList{"Ins", "Del", "Space", "Ctrl+A", "Ctrl+F9"};
    }
    void editMenuKeys()
    {
        QFETCH(int, language);
        QFETCH(QStringList, keys);
        const TestInstallation installation(QStringLiteral("lmserver"), language);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        TLmserverFrm frm({});
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QStringList shown;
        for (const QAction* action : {frm.MarkGetItm, frm.MarkDeleteItm, frm.ToggleMarkItm, frm.SelectAllItm, frm.ConnectItm})
            shown.append(action->shortcut().toString(QKeySequence::NativeText));
        QCOMPARE(shown, keys);
        for (QObject* owner : frm.MarkGetItm->associatedObjects()) {
            if (auto* menu = qobject_cast<QMenu*>(owner)) {
                menu->popup(frm.mapToGlobal(QPoint(20, 20)));
                QVERIFY(QTest::qWaitForWindowExposed(menu));
                SaveScreenshot(*menu, QStringLiteral("lmserver-edit-menu-%1").arg(language == 0 ? "de" : "en"));
                menu->close();
            }
        }
        SetLanguage(0);
        ApplyProgramLanguage(*QCoreApplication::instance());
    }
};

QTEST_MAIN(TestLmserverKeyNames)
#include "tst_lmserver_keynames.moc"

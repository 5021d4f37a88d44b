// The address book in the suite's language down to Qt's own parts: the export's save dialog
// ("Speichern", "Abbrechen") and the key names its menus show ("Entf", "Strg+N").

#include "DBAddressFunctions.h"
#include "LanguageRows.h"
#include "Main.h"
#include "ModalDialogs.h"
#include "ProgramStart.h"
#include "Screenshot.h"
#include "TestInstallation.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TestLmabDialogLanguage : public QObject {
    Q_OBJECT

private slots:
    void exportDialogAndKeyNames_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("exportButton");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("deleteKey");
        QTest::addColumn<QString>("newKey");
        QTest::newRow("de") << 0 << "Exportieren..." << QStringList{"Speichern", "Abbrechen"} << "Entf" << "Strg+N";
        QTest::newRow("en") << 2 << "Export..." << QStringList{"Save", "Cancel"} << "Del" << "Ctrl+N";
    }
    void exportDialogAndKeyNames()
    {
        QFETCH(int, language);
        QFETCH(QString, exportButton);
        QFETCH(QStringList, buttons);
        QFETCH(QString, deleteKey);
        QFETCH(QString, newKey);
        const TestInstallation installation(QStringLiteral("lmab"), language);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        QVERIFY(CreateAddressBook());
        TMainFrm form({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.DeleteItm->shortcut().toString(QKeySequence::NativeText), deleteKey);
        QCOMPARE(form.NewContactItm->shortcut().toString(QKeySequence::NativeText), newKey);

        QStringList shown;
        WhenModal<QMessageBox>([&](QMessageBox& box) {
            for (QAbstractButton* button : box.buttons())
                if (button->text().remove(QLatin1Char('&')) == exportButton)
                    button->click();
            WhenModal<QFileDialog>([&](QFileDialog& dialog) {
                if (auto* box = dialog.findChild<QDialogButtonBox*>())
                    for (QAbstractButton* button : box->buttons())
                        shown.append(button->text().remove(QLatin1Char('&')));
                SaveScreenshot(dialog, QStringLiteral("lmab-export-dialog-%1").arg(language == 0 ? "de" : "en"));
                dialog.reject();
            });
        });
        form.ImportExportItm->trigger();
        QCOMPARE(shown, buttons);
        SetLanguage(0);
        ApplyProgramLanguage(*QCoreApplication::instance());
    }
};

QTEST_MAIN(TestLmabDialogLanguage)
#include "tst_lmab_dialoglanguage.moc"

// The language selector's window offscreen: German shown and English focused without a stored
// value, its own texts switching at once, and pictures in both languages.

#include "LanguageFunctions.h"
#include "Main.h"
#include "Screenshot.h"
#include "TestInstallation.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestChgLangWindow : public QObject {
    Q_OBJECT

private slots:
    void choosingSwitchesTheOwnTexts()
    {
        TestInstallation installation(QStringLiteral("tools/lmchglang"));
        TChgLangFrm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Lumaro Mail Sprachauswahl"));
        QCOMPARE(form.LanguageLbl->text(), QStringLiteral("Deutsch"));
        QCOMPARE(QApplication::focusWidget(), form.EnglishBtn);
        SaveScreenshot(form, QStringLiteral("lmchglang-de"));

        QTest::mouseClick(form.EnglishBtn, Qt::LeftButton);
        QCOMPARE(ReadLanguageValue(), EnglishLanguageValue);
        QCOMPARE(form.LanguageLbl->text(), QStringLiteral("English"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Lumaro Mail Language Select"));
        QCOMPARE(form.GermanBtn->text(), QStringLiteral("&German"));
        QCOMPARE(form.QuitBtn->text(), QStringLiteral("&Quit"));
        SaveScreenshot(form, QStringLiteral("lmchglang-en"));

        QTest::mouseClick(form.GermanBtn, Qt::LeftButton);
        QCOMPARE(ReadLanguageValue(), GermanLanguageValue);
        QCOMPARE(form.CurrentLbl->text(), QStringLiteral("Aktive Sprache:"));
    }
};

QTEST_MAIN(TestChgLangWindow)
#include "tst_chglangwindow.moc"

// The confirmation window with "don't show this warning again": the check box rules.

#include "Alert.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

enum class TPress { Yes, No, Cancel, Close };

// Answers the next confirmation window: optionally flips its check box, then presses `press`.
void AnswerNextAlert(TPress press, bool flipCheckBox, QString* caption = nullptr, bool* boxVisible = nullptr,
                     bool* boxTicked = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto* alert = qobject_cast<TAlertFrm*>(QApplication::activeModalWidget());
        if (!alert) {
            QFAIL("no confirmation window");
            return;
        }
        if (caption)
            *caption = alert->windowTitle();
        if (boxVisible)
            *boxVisible = !alert->DontShowChk->isHidden();
        if (boxTicked)
            *boxTicked = alert->DontShowChk->isChecked();
        if (flipCheckBox)
            alert->DontShowChk->toggle();
        switch (press) {
        case TPress::Yes:
            alert->YesBtn->click();
            break;
        case TPress::No:
            alert->NoBtn->click();
            break;
        case TPress::Cancel:
            alert->CancelBtn->click();
            break;
        case TPress::Close:
            alert->reject();
            break;
        }
    });
}

} // namespace

class TestAlert : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetLanguage(0); }

    void settingAfterAlert_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("after");
        QTest::newRow("yes, ticked: no more asking") << int(arYes) << true << true << true << false;
        QTest::newRow("no, ticked") << int(arNo) << true << true << true << false;
        QTest::newRow("yes, unticked: ask again") << int(arYes) << true << false << false << true;
        QTest::newRow("cancel, ticked, setting on") << int(arCancel) << true << true << true << true;
        QTest::newRow("cancel, unticked, setting off") << int(arCancel) << true << false << false << false;
        QTest::newRow("not offered, ticked") << int(arYes) << false << true << true << true;
        QTest::newRow("not offered, unticked") << int(arNo) << false << false << false << false;
    }

    void settingAfterAlert()
    {
        QFETCH(int, result);
        QFETCH(bool, offered);
        QFETCH(bool, ticked);
        QFETCH(bool, setting);
        QTEST(SettingAfterAlert(result, offered, ticked, setting), "after");
    }

    void confirmWritesTheBoxBack_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<bool>("flip");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("setting");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("after");
        QTest::newRow("yes keeps asking") << int(TPress::Yes) << false << true << true << int(arYes) << true;
        QTest::newRow("ticking and yes stops asking") << int(TPress::Yes) << true << true << true << int(arYes) << false;
        QTest::newRow("ticking and no stops asking") << int(TPress::No) << true << true << true << int(arNo) << false;
        QTest::newRow("ticking and cancel changes nothing")
            << int(TPress::Cancel) << true << true << true << int(arCancel) << true;
        QTest::newRow("closing counts as cancel") << int(TPress::Close) << true << true << true << int(arCancel) << true;
        QTest::newRow("unticking a setting that was off")
            << int(TPress::Yes) << true << true << false << int(arYes) << true;
        QTest::newRow("box not offered") << int(TPress::Yes) << true << false << true << int(arYes) << true;
    }

    void confirmWritesTheBoxBack()
    {
        QFETCH(int, press);
        QFETCH(bool, flip);
        QFETCH(bool, offered);
        QFETCH(bool, setting);
        bool boxVisible = false;
        bool boxTicked = false;
        const bool before = setting;
        AnswerNextAlert(TPress(press), flip, nullptr, &boxVisible, &boxTicked);
        const int result = Confirm(1, {}, setting, offered, QStringLiteral("Wirklich?"));
        QTEST(result, "result");
        QTEST(setting, "after");
        QCOMPARE(boxVisible, offered);
        QCOMPARE(boxTicked, !before);
    }

    void captions()
    {
        bool setting = true;
        QString caption;
        AnswerNextAlert(TPress::Yes, false, &caption);
        Confirm(0, {}, setting, true, QStringLiteral("x"));
        QCOMPARE(caption, QStringLiteral("Bestätigung"));
        AnswerNextAlert(TPress::Yes, false, &caption);
        Confirm(0, QStringLiteral("Ordner löschen"), setting, true, QStringLiteral("x"));
        QCOMPARE(caption, QStringLiteral("Ordner löschen"));
        SetLanguage(2);
        TAlertFrm english;
        QCOMPARE(english.windowTitle(), QStringLiteral("Confirmation"));
        QCOMPARE(english.YesBtn->text(), QStringLiteral("&Yes"));
        QCOMPARE(english.DontShowChk->text(), QStringLiteral("&Don't show this warning again"));
    }
};

QTEST_MAIN(TestAlert)
#include "tst_alert.moc"

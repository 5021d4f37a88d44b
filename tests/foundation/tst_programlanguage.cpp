// What every program sets up before its first window: Qt's own texts (dialog buttons, key names in
// menus) in the suite's language, and the date format of the message lists when the system names
// no locale (C or POSIX) or a locale of its own.

#include "Konstanten.h"
#include "ProgramStart.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QPushButton>
#include <QTest>

class TestProgramLanguage : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        SetLanguage(0);
        ApplyProgramLanguage(*QCoreApplication::instance());
    }

    void qtTextsFollowTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("de Ctrl+S") << 0 << QKeySequence(Qt::CTRL | Qt::Key_S) << "Strg+S";
        QTest::newRow("de Del") << 0 << QKeySequence(Qt::Key_Delete) << "Entf";
        QTest::newRow("de Ins") << 0 << QKeySequence(Qt::Key_Insert) << "Einfg";
        QTest::newRow("de Space") << 0 << QKeySequence(Qt::Key_Space) << "Leertaste";
        QTest::newRow("de Ctrl+Shift+P") << 0 << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P) << "Strg+Umschalt+P";
        QTest::newRow("en Ctrl+S") << 2 << QKeySequence(Qt::CTRL | Qt::Key_S) << "Ctrl+S";
        QTest::newRow("en Del") << 2 << QKeySequence(Qt::Key_Delete) << "Del";
        QTest::newRow("en Space") << 2 << QKeySequence(Qt::Key_Space) << "Space";
    }
    void qtTextsFollowTheLanguage()
    {
        QFETCH(int, language);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, shown);
        SetLanguage(language);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        QCOMPARE(keys.toString(QKeySequence::NativeText), shown);
        const bool german = language == 0;
        QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Save)->text().remove(QLatin1Char('&')),
                 german ? QStringLiteral("Speichern") : QStringLiteral("Save"));
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
                 german ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel"));
    }

    void displayDateFormat_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("C, German") << "C" << false << "dd.MM.yyyy HH:mm" << "08.12.2026 15:15";
        QTest::newRow("POSIX, German") << "POSIX" << false << "dd.MM.yyyy HH:mm" << "08.12.2026 15:15";
        QTest::newRow("C, English") << "C" << true << "M/d/yyyy h:mm AP" << "12/8/2026 3:15 PM";
        QTest::newRow("German system, English suite") << "de_DE" << true << "dd.MM.yyyy HH:mm" << "08.12.2026 15:15";
        QTest::newRow("US system, German suite") << "en_US" << false << "M/d/yyyy h:mm AP" << "12/8/2026 3:15 PM";
    }
    void displayDateFormat()
    {
        QFETCH(QString, system);
        QFETCH(bool, english);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        const QLocale locale = DisplayLocale(QLocale(system), english);
        ChooseDisplayDateFormat(QLocale(system), english);
        QCOMPARE(Paths().DisplayDateFormat, format);
        QCOMPARE(locale.toString(QDateTime(QDate(2026, 12, 8), QTime(15, 15)), Paths().DisplayDateFormat), shown);
    }

    // The tests run with LANG=C.UTF-8, which names no locale: the German suite then writes German
    // numbers and dates wherever Qt formats them.
    void cLocaleTakesTheInterfaceLanguage()
    {
        QCOMPARE(QLocale::system().language(), QLocale::C);
        SetLanguage(0);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        QCOMPARE(QLocale().toString(2.5, 'f', 1), QStringLiteral("2,5"));
        QCOMPARE(QLocale().monthName(12), QStringLiteral("Dezember"));
        SetLanguage(2);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
        QCOMPARE(QLocale().toString(2.5, 'f', 1), QStringLiteral("2.5"));
    }
};

QTEST_MAIN(TestProgramLanguage)
#include "tst_programlanguage.moc"

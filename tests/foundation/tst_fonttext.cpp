// Fonts stored as one text: writing, reading and the short display form.

#include "FontText.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

class TestFontText : public QObject {
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("styles");
        QTest::addColumn<QColor>("color");
        const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
        QTest::newRow("default") << "" << "Arial" << 10 << "" << windowText;
        QTest::newRow("settings default") << "\"MS Sans Serif\", 8, [], [clWindowText]" << "MS Sans Serif" << 8 << ""
                                          << windowText;
        QTest::newRow("bold and italic") << "\"Courier New\", 12, [fsBold|fsItalic], [clRed]" << "Courier New" << 12
                                         << "bi" << QColor(Qt::red);
        QTest::newRow("all styles") << "\"X\", 9, [fsBold|fsItalic|fsUnderline|fsStrikeOut], [clNavy]" << "X" << 9
                                    << "bius" << QColor(0, 0, 128);
        QTest::newRow("hex colour is BGR") << "\"X\", 9, [], [$00FF8000]" << "X" << 9 << "" << QColor(0, 128, 255);
        QTest::newRow("bad size keeps the old one") << "\"X\", big, [], [clBlack]" << "X" << 11 << "" << QColor(Qt::black);
        QTest::newRow("unknown colour") << "\"X\", 9, [], [purple-ish]" << "X" << 9 << "" << windowText;
        QTest::newRow("truncated") << "\"X\"" << "X" << 11 << "" << windowText;
    }

    void read()
    {
        QFETCH(QString, text);
        TFontSpec font;
        font.Font.setPointSize(11);
        font.Font.setBold(true);
        font.Font.setUnderline(true);
        TextToFont(text, font);
        QTEST(font.Font.family(), "family");
        QTEST(font.Font.pointSize(), "size");
        QString styles;
        styles += font.Font.bold() ? QStringLiteral("b") : QString();
        styles += font.Font.italic() ? QStringLiteral("i") : QString();
        styles += font.Font.underline() ? QStringLiteral("u") : QString();
        styles += font.Font.strikeOut() ? QStringLiteral("s") : QString();
        QTEST(styles, "styles");
        QTEST(font.Color, "color");
    }

    void writeAndReadBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "\"Arial\", 10, [], [clWindowText]";
        QTest::newRow("styles") << "\"DejaVu Sans\", 14, [fsBold|fsUnderline], [clGreen]";
        QTest::newRow("hex colour") << "\"DejaVu Sans\", 14, [fsStrikeOut], [$00123456]";
    }

    void writeAndReadBack()
    {
        QFETCH(QString, text);
        TFontSpec font;
        TextToFont(text, font);
        QCOMPARE(FontToText(font), text);
    }

    void displayText()
    {
        TFontSpec font;
        TextToFont(QStringLiteral("\"Arial\", 10, [fsBold], [clBlack]"), font);
        QCOMPARE(FontDisplayText(font), QStringLiteral("Arial 10pt"));
    }
};

QTEST_MAIN(TestFontText)
#include "tst_fonttext.moc"

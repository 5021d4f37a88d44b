// String tables: parsing, language choice, the shared texts and filling in "$T".

#include "tk_langlib.h"

#include <QTest>

class TestLanglib : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetLanguage(0); }

    void parseStringTable_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("7\tHallo\n") << 7 << "Hallo";
        QTest::newRow("escapes") << QByteArray("7\ta\\nb\\tc\\\\d\n") << 7 << "a\nb\tc\\d";
        QTest::newRow("CR LF lines") << QByteArray("7\tHallo\r\n8\tx\r\n") << 7 << "Hallo";
        QTest::newRow("UTF-8") << QByteArray("7\tGr\xc3\xbc\xc3\x9f" "e\n") << 7 << QString::fromUtf8("Grüße");
        QTest::newRow("comment is skipped") << QByteArray("#7\tno\n7\tyes\n") << 7 << "yes";
        QTest::newRow("line without tab is ignored") << QByteArray("7 Hallo\n") << 7 << "";
        QTest::newRow("tab inside the text stays") << QByteArray("7\ta\tb\n") << 7 << "a\tb";
        QTest::newRow("empty text") << QByteArray("7\t\n") << 7 << "";
    }
    void parseStringTable()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, id);
        QFETCH(QString, expected);
        QCOMPARE(detail::ParseStringTable(content).value(id), expected);
    }

    void messageTextFollowsTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German program text") << 0 << 2 << "Zeile eins\nZeile\tzwei \\ Ende";
        QTest::newRow("English program text") << 2 << 2 << "Line one\nLine\ttwo \\ end";
        QTest::newRow("language 1 is German") << 1 << 1 << "Nachricht mit $T und $T";
        QTest::newRow("shared German text") << 0 << 512 << "alle";
        QTest::newRow("shared English text") << 2 << 504 << "private|business";
        QTest::newRow("unknown id is empty") << 2 << 999 << "";
    }
    void messageTextFollowsTheLanguage()
    {
        QFETCH(int, language);
        QFETCH(int, id);
        QFETCH(QString, expected);
        SetLanguage(language);
        QCOMPARE(MessageText(id), expected);
    }

    void sharedTextsCarryTheirPlaceholder()
    {
        SetLanguage(2);
        QCOMPARE(FillIn(MessageText(506), QStringLiteral("/srv/mail")),
                 QStringLiteral("The data directory '/srv/mail' does not exist, the default directory will be used."));
        SetLanguage(0);
        QVERIFY(FillIn(MessageText(506), QStringLiteral("/srv/mail")).startsWith(QStringLiteral("Das angegebene Datenverzeichnis '/srv/mail'")));
    }

    void componentTextsAreReadById()
    {
        QCOMPARE(StringTableText(2001), QStringLiteral("&File"));
        QCOMPARE(StringTableText(2519), QStringLiteral("&Don't show this warning again"));
    }

    void fillIn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("only the first placeholder") << "a $T b $T" << "X" << "a X b $T";
        QTest::newRow("no placeholder") << "plain text" << "X" << "plain text";
        QTest::newRow("value holding the placeholder") << "$T!" << "$T" << "$T!";
        QTest::newRow("empty value") << "[$T]" << "" << "[]";
        QTest::newRow("lower case is no placeholder") << "$t" << "X" << "$t";
    }
    void fillIn()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(FillIn(text, value), expected);
    }
};

QTEST_GUILESS_MAIN(TestLanglib)
#include "tst_langlib.moc"

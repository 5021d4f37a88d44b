// Names and subjects as the encoder writes them: read back the same by our own reader and by
// Python's email package, one recipient per name, no header line longer than 78 characters. And
// address fields as other mailers write them: commas in quotes and comments, names folded across
// lines.

#include "MessageSummary.h"
#include "PythonMail.h"

#include "qmmime.h"
#include "qmmsg.h"
#include "qmutils.h"

#include <QBuffer>
#include <QJsonArray>
#include <QTest>

namespace {

using NameList = QList<QByteArray>;

void Load(const QByteArray& text, TqmMessage& message)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    message.Clear();
    message.LoadFromStream(buffer);
}

QByteArray AddressOf(const char* list, qsizetype i)
{
    return QByteArray(list) + QByteArray::number(i) + "@example.de";
}

QByteArrayList HeaderLines(const QByteArray& text)
{
    return text.left(text.indexOf("\r\n\r\n")).split('\n');
}

// Our reader's entries as "name|address", the form the rows and Python's answer are compared in.
QStringList Entries(const TqmAddressList& list)
{
    QStringList entries;
    for (qsizetype i = 0; i < list.Count(); ++i)
        entries << QString::fromUtf8(list.Items(i).Name + '|' + list.Items(i).Address);
    return entries;
}

QStringList Entries(const QJsonArray& list)
{
    QStringList entries;
    for (const QJsonValue& entry : list)
        entries << entry.toArray().at(0).toString() + QLatin1Char('|') + entry.toArray().at(1).toString();
    return entries;
}

QStringList Expected(const char* list, const NameList& names)
{
    QStringList entries;
    for (qsizetype i = 0; i < names.size(); ++i)
        entries << QString::fromUtf8(names.at(i) + '|' + AddressOf(list, i));
    return entries;
}

} // namespace

class TestHeaderFolding : public QObject {
    Q_OBJECT

private slots:
    void writtenNamesReadBack_data();
    void writtenNamesReadBack();
    void receivedAddressFields_data();
    void receivedAddressFields();
    void foldedLines_data();
    void foldedLines();
};

void TestHeaderFolding::writtenNamesReadBack_data()
{
    QTest::addColumn<QByteArray>("sender");
    QTest::addColumn<NameList>("to");
    QTest::addColumn<NameList>("cc");
    QTest::addColumn<QByteArray>("subject");
    const QByteArray longSubject = QByteArray("Überweisung für Müller & Söhne: Änderung der Größe, Öffnungszeiten "
                                              "und Lieferadresse – bitte prüfen, ob die Maße für das Büro in "
                                              "Düsseldorf-Oberkassel stimmen; Grüße aus Köln und Mönchengladbach, "
                                              "Öhringen, Überlingen und Fürstenfeldbruck")
                                       ;
    QTest::newRow("last, first with umlauts in To and CC")
        << QByteArray("Weiß, Anna") << NameList{"Schmidt, Jürgen", "Müller, Anna"} << NameList{"Öztürk, Ayşe", "Meier, Hans"}
        << QByteArray("Termin");
    QTest::newRow("umlauts without specials") << QByteArray("Björn Weiß") << NameList{"Jürgen Schmidt"} << NameList{}
                                              << QByteArray("Grüße");
    QTest::newRow("quote, backslash and angle") << QByteArray("Jane \"JD\" Doe") << NameList{"C:\\Users\\jörg", "Max <Chef>"}
                                                << NameList{"Dr. Weiß"} << QByteArray("x");
    QTest::newRow("long name folds") << QByteArray("Aßmann-Großkopf, Hans-Jürgen Maximilian Friedrich von Überlingen-Ödenwald")
                                     << NameList{"Aßmann-Großkopf, Hans-Jürgen Maximilian Friedrich von Überlingen-Ödenwald, Dipl.-Ing."}
                                     << NameList{} << QByteArray("Lang");
    QTest::newRow("japanese name with comma") << QByteArray("山田, 太郎") << NameList{"山田, 太郎"} << NameList{"鈴木 花子"}
                                              << QByteArray("会議の件");
    QTest::newRow("255-byte non-ascii subject") << QByteArray("Anna") << NameList{"Bob"} << NameList{}
                                                << CutToCapacity(longSubject, 255);
    QTest::newRow("subject with a plain start") << QByteArray("Anna") << NameList{"Bob"} << NameList{}
                                                << CutToCapacity("Re: Fw: " + longSubject, 255);
    QTest::newRow("long ascii subject") << QByteArray("Anna") << NameList{"Bob"} << NameList{}
                                        << QByteArray("Minutes of the meeting about the budget for next year and the "
                                                      "plans for the new office building in the north of the city");
    QTest::newRow("many recipients") << QByteArray("")
                                     << NameList{"Schmidt, Jürgen", "", "Weiß, Björn", "Meier, Hans", "Zoë", "Ødegaard, Åse"}
                                     << NameList{""} << QByteArray("Rundschreiben");
}

void TestHeaderFolding::writtenNamesReadBack()
{
    QFETCH(QByteArray, sender);
    QFETCH(NameList, to);
    QFETCH(NameList, cc);
    QFETCH(QByteArray, subject);
    TqmMessage message;
    message.CharSet = csUTF8;
    message.Sender.Name = sender;
    message.Sender.Address = "sender@example.de";
    for (qsizetype i = 0; i < to.size(); ++i)
        message.Recipients.AddAddress(AddressOf("to", i), to.at(i));
    for (qsizetype i = 0; i < cc.size(); ++i)
        message.CC.AddAddress(AddressOf("cc", i), cc.at(i));
    message.Subject = subject;
    message.Body = {"Text"};
    const QByteArray text = EncodeMessage(message);
    for (const QByteArray& line : HeaderLines(text))
        QVERIFY2(line.size() - (line.endsWith('\r') ? 1 : 0) <= 78, line.constData());

    TqmMessage ours;
    Load(text, ours);
    QCOMPARE(Entries(ours.Recipients), Expected("to", to));
    QCOMPARE(Entries(ours.CC), Expected("cc", cc));
    QCOMPARE(ours.Sender.Name, sender);
    QCOMPARE(ours.Subject, subject);

    QString error;
    const QJsonObject python = ReadWithPython(text, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(Entries(python.value(QStringLiteral("to")).toArray()), Expected("to", to));
    QCOMPARE(Entries(python.value(QStringLiteral("cc")).toArray()), Expected("cc", cc));
    QCOMPARE(Entries(python.value(QStringLiteral("from")).toArray()),
             QStringList{QString::fromUtf8(sender) + QStringLiteral("|sender@example.de")});
    QCOMPARE(python.value(QStringLiteral("subject")).toString(), QString::fromUtf8(subject));
    QCOMPARE(python.value(QStringLiteral("defects")).toArray(), QJsonArray());
    QVERIFY(python.value(QStringLiteral("longest")).toInt() <= 78);
}

void TestHeaderFolding::receivedAddressFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("comma in quotes") << QByteArray("To: \"Schmidt, Jürgen\" <j@example.de>, b@example.net")
                                     << QStringList{"Schmidt, Jürgen|j@example.de", "|b@example.net"};
    QTest::newRow("encoded word covering the comma")
        << QByteArray("To: =?utf-8?Q?Schmidt=2C_J=C3=BCrgen?= <j@example.de>,\r\n =?iso-8859-1?Q?M=FCller?= <m@example.de>")
        << QStringList{"Schmidt, Jürgen|j@example.de", "Müller|m@example.de"};
    QTest::newRow("name folded across lines")
        << QByteArray("To: =?utf-8?Q?Schmidt=2C?=\r\n =?utf-8?Q?_J=C3=BCrgen?=\r\n <j@example.de>")
        << QStringList{"Schmidt, Jürgen|j@example.de"};
    QTest::newRow("escaped quote") << QByteArray("To: \"Jane \\\"JD\\\", Doe\" <jd@example.org>")
                                   << QStringList{"Jane \"JD\", Doe|jd@example.org"};
    QTest::newRow("comma in a comment") << QByteArray("Cc: j@example.de (Schmidt, Jürgen), k@example.de")
                                        << QStringList{"Schmidt, Jürgen|j@example.de", "|k@example.de"};
    QTest::newRow("angle in quoted name") << QByteArray("To: \"a <b>\" <c@example.org>") << QStringList{"a <b>|c@example.org"};
    QTest::newRow("fold without blank") << QByteArray("To: a@example.org,\r\nb@example.org") << QStringList{"|a@example.org", "|b@example.org"};
}

void TestHeaderFolding::receivedAddressFields()
{
    QFETCH(QByteArray, field);
    QFETCH(QStringList, entries);
    TqmMessage message;
    Load(field + "\r\nSubject: s\r\n\r\nText\r\n", message);
    TqmAddressList& list = field.startsWith("Cc") ? message.CC : message.Recipients;
    QCOMPARE(Entries(list), entries);
}

void TestHeaderFolding::foldedLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArrayList>("folded");
    const QByteArray word(70, 'w');
    QTest::newRow("short stays") << QByteArray("Subject: kurz") << QByteArrayList{"Subject: kurz"};
    const QByteArray shorter(60, 'w');
    QTest::newRow("at the last blank that fits")
        << "Subject: " + shorter + " zwei drei" << QByteArrayList{"Subject: " + shorter + " zwei", " drei"};
    QTest::newRow("a first word too long for its line")
        << "Subject: " + word + " zwei" << QByteArrayList{"Subject: " + word, " zwei"};
    QTest::newRow("never before the first word") << "Subject: " + word + word << QByteArrayList{"Subject: " + word + word};
    QTest::newRow("a long word stays whole")
        << "Subject: a " + word + word + " b" << QByteArrayList{"Subject: a", " " + word + word, " b"};
    QTest::newRow("padding is no fold point")
        << "To:       " + word + " <x@y>" << QByteArrayList{"To:       " + word, " <x@y>"};
    QTest::newRow("indented entry keeps its first word")
        << "          " + word + " <x@y>," << QByteArrayList{"          " + word, " <x@y>,"};
    QTest::newRow("double blank is no fold point")
        << "Subject: " + word + "  zwei" << QByteArrayList{"Subject: " + word + "  zwei"};
}

void TestHeaderFolding::foldedLines()
{
    QFETCH(QByteArray, line);
    QTEST(FoldHeaderLine(line), "folded");
}

QTEST_GUILESS_MAIN(TestHeaderFolding)
#include "tst_headerfolding.moc"

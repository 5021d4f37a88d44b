// The text sent for a queue file, against golden files in tests/data/outgoing: <case>.eml is the
// queue file, <case>.expected what goes on the wire (before dot stuffing).

#include "OutgoingText.h"
#include "TestData.h"

#include <QTest>

class TestOutgoingText : public QObject {
    Q_OBJECT

private slots:
    void goldenFiles_data();
    void goldenFiles();
};

void TestOutgoingText::goldenFiles_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& file : TestDataCases(QStringLiteral("outgoing")))
        QTest::newRow(qPrintable(file)) << file.chopped(4);
}

void TestOutgoingText::goldenFiles()
{
    QFETCH(QString, name);
    const QByteArray queueFile = ReadTestData(QStringLiteral("outgoing/%1.eml").arg(name));
    const QByteArray expected = ReadTestData(QStringLiteral("outgoing/%1.expected").arg(name));
    QCOMPARE(TransmitText(queueFile, {"X-Mailer: Lumaro Mail test -", "", "X-Extra: 1"}), expected);
}

QTEST_GUILESS_MAIN(TestOutgoingText)
#include "tst_outgoingtext.moc"

// Mending lines over 998 octets before a queued message is sent: the result has no such line, the
// parsed message (subject, text, attachments) is the same as before, and only the parts that held
// a long line changed. What cannot be mended says why.

#include "MessageSummary.h"
#include "TestData.h"

#include "qmexcept.h"
#include "qmlinelength.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QTest>

namespace {

void Parse(const QByteArray& text, TqmMessage& message)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    ParseMessage(buffer, message);
}

// What a reader gets out of a message: the subject, the text and each attachment's name and bytes.
QByteArrayList Content(const QByteArray& text)
{
    TqmMessage message;
    Parse(text, message);
    QByteArrayList content{message.Subject, message.Body.join("\n")};
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i) {
        const TqmAttItem& attachment = message.Attachments.Items(i);
        content << attachment.GetFileName() << attachment.ContentType;
        // An enclosed message is compared by what a reader gets out of it.
        if (attachment.ContentType.toLower() == "message/rfc822")
            content << Content(attachment.Data);
        else
            content << attachment.Data;
    }
    return content;
}

} // namespace

class TestLineLength : public QObject {
    Q_OBJECT

private slots:
    void lineLimit_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("overlong");
        QTest::newRow("998 octets") << QByteArray(998, 'a') << false;
        QTest::newRow("999 octets") << QByteArray(999, 'a') << true;
        QTest::newRow("999 octets, CR LF lines") << QByteArray("x\r\n") + QByteArray(999, 'a') + "\r\ny" << true;
        QTest::newRow("many short lines") << QByteArray("abc\r\n").repeated(1000) << false;
    }

    void lineLimit()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, overlong);
        QCOMPARE(HasOverlongLine(text), overlong);
    }

    void messageWithoutLongLinesStaysByteForByte()
    {
        const QByteArray text = ReadTestData(QStringLiteral("outgoing/redirected-multipart.eml"));
        QVERIFY(!HasOverlongLine(text));
        QCOMPARE(MendOverlongLines(text), text);
    }

    void mended_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArrayList>("newFields");
        QTest::addColumn<QByteArrayList>("keptLines");
        QTest::newRow("long subject folded") << QStringLiteral("long-subject.eml") << QByteArrayList{}
                                             << QByteArrayList{"Short body."};
        QTest::newRow("plain text body") << QStringLiteral("long-plain-body.eml")
                                         << QByteArrayList{"MIME-Version: 1.0", "Content-Transfer-Encoding: quoted-printable"}
                                         << QByteArrayList{"Subject: plain"};
        QTest::newRow("text and attachment parts")
            << QStringLiteral("long-multipart.eml")
            << QByteArrayList{"Content-Transfer-Encoding: quoted-printable", "Content-Transfer-Encoding: base64"}
            << QByteArrayList{"preamble", "--b1", "short part stays", "--b1--", "epilogue"};
        QTest::newRow("enclosed message") << QStringLiteral("long-enclosed.eml")
                                          << QByteArrayList{"Content-Transfer-Encoding: quoted-printable"}
                                          << QByteArrayList{"Content-Type: message/rfc822", "See the enclosed message."};
    }

    void mended()
    {
        QFETCH(QString, file);
        QFETCH(QByteArrayList, newFields);
        QFETCH(QByteArrayList, keptLines);
        const QByteArray original = ReadTestData(QStringLiteral("longlines/") + file);
        QVERIFY(HasOverlongLine(original));
        const QByteArray mended = MendOverlongLines(original);
        QVERIFY(!HasOverlongLine(mended));
        QCOMPARE(Content(mended), Content(original));
        const QByteArrayList lines = mended.split('\n');
        for (const QByteArray& field : newFields)
            QVERIFY2(lines.contains(field + '\r'), field.constData());
        for (const QByteArray& line : keptLines)
            QVERIFY2(lines.contains(line + '\r'), line.constData());
        QCOMPARE(MendOverlongLines(mended), mended);
    }

    void unmendable_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("subject without blanks") << QStringLiteral("long-token-subject.eml") << QStringLiteral("\"Subject\"");
        QTest::newRow("no closing boundary") << QStringLiteral("long-no-boundary.eml") << QStringLiteral("\"b1\"");
    }

    void unmendable()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        try {
            MendOverlongLines(ReadTestData(QStringLiteral("longlines/") + file));
            QFAIL("mended what cannot be mended");
        } catch (const EMessageError& error) {
            QVERIFY2(error.Message().contains(reason), qPrintable(error.Message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestLineLength)
#include "tst_linelength.moc"

// Text for people from stored bytes: the charset an HTML page names for itself, HTML decoded by
// declared, named or detected charset, and the source of a message with each part in its charset.
#include "qmcharset.h"
#include "qmsource.h"

#include <QTest>

namespace {

QByteArray Crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

} // namespace

class TestSourceText : public QObject {
    Q_OBJECT

private slots:
    void metaCharset_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("charset");
        QTest::newRow("meta charset") << QByteArray("<html><head><meta charset=\"ISO-8859-1\">") << QByteArray("iso-8859-1");
        QTest::newRow("http-equiv") << QByteArray("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">")
                                    << QByteArray("windows-1252");
        QTest::newRow("unquoted with blanks") << QByteArray("<meta charset = koi8-r >") << QByteArray("koi8-r");
        QTest::newRow("single quotes") << QByteArray("<meta charset='utf-8'/>") << QByteArray("utf-8");
        QTest::newRow("meta without charset first") << QByteArray("<meta name=\"x\"><meta charset=\"utf-8\">") << QByteArray("utf-8");
        QTest::newRow("charset in the text, not in a meta") << QByteArray("<p>charset=utf-8</p>") << QByteArray();
        QTest::newRow("none") << QByteArray("<p>Caf\xe9</p>") << QByteArray();
        QTest::newRow("beyond the first 4096 bytes") << QByteArray(4100, ' ') + "<meta charset=\"utf-8\">" << QByteArray();
    }
    void metaCharset()
    {
        QFETCH(QByteArray, html);
        QFETCH(QByteArray, charset);
        QCOMPARE(HtmlMetaCharset(html), charset);
    }

    void decodeHtml_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("declared");
        QTest::addColumn<QString>("text");
        QTest::newRow("declared wins over meta") << QByteArray("<meta charset=\"iso-8859-1\">Caf\xc3\xa9") << QByteArray("utf-8")
                                                 << QStringLiteral("<meta charset=\"iso-8859-1\">Café");
        QTest::newRow("meta without declared") << QByteArray("<meta charset=\"koi8-r\">\xf4") << QByteArray()
                                               << QStringLiteral("<meta charset=\"koi8-r\">Т");
        QTest::newRow("unknown declared, meta") << QByteArray("<meta charset=\"iso-8859-1\">Caf\xe9") << QByteArray("x-unknown")
                                                << QStringLiteral("<meta charset=\"iso-8859-1\">Café");
        QTest::newRow("nothing: UTF-8") << QByteArray("<p>Caf\xc3\xa9</p>") << QByteArray() << QStringLiteral("<p>Café</p>");
        QTest::newRow("nothing: Windows-1252") << QByteArray("<p>Caf\xe9 \x80</p>") << QByteArray() << QStringLiteral("<p>Café €</p>");
    }
    void decodeHtml()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, declared);
        QFETCH(QString, text);
        QCOMPARE(DecodeHtmlText(bytes, declared), text);
    }

    void messageSource_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain message, undeclared Latin-1")
            << Crlf("Subject: K\xe4se\n\nW\xfcrste\n") << QStringLiteral("Subject: Käse\n\nWürste\n");
        QTest::newRow("declared charset of the message")
            << Crlf("Content-Type: text/plain; charset=koi8-r\n\n\xf4\n") << QStringLiteral("Content-Type: text/plain; charset=koi8-r\n\nТ\n");
        QTest::newRow("each part in its own charset")
            << Crlf("Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain; charset=iso-8859-1\n\n"
                    "Gr\xfc\xdf\x65\n--b\nContent-Type: text/plain; charset=utf-8\n\nGr\xc3\xbc\xc3\x9f\x65\n--b--\n")
            << QStringLiteral("Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain; charset=iso-8859-1\n\n"
                              "Grüße\n--b\nContent-Type: text/plain; charset=utf-8\n\nGrüße\n--b--\n");
        QTest::newRow("a message inside a message has its own header")
            << Crlf("Content-Type: multipart/mixed; boundary=\"o\"\n\n--o\nContent-Type: message/rfc822\n\n"
                    "Content-Type: text/plain; charset=koi8-r\n\n\xf4\n--o--\n")
            << QStringLiteral("Content-Type: multipart/mixed; boundary=\"o\"\n\n--o\nContent-Type: message/rfc822\n\n"
                              "Content-Type: text/plain; charset=koi8-r\n\nТ\n--o--\n");
        QTest::newRow("lone CR and no last line end stay") << QByteArray("A: b\r\n\r\nx\ry") << QStringLiteral("A: b\n\nx\ry");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void messageSource()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, text);
        QCOMPARE(MessageSourceText(source), text);
    }
};

QTEST_GUILESS_MAIN(TestSourceText)
#include "tst_sourcetext.moc"

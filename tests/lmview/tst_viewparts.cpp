// What the view shows of real-world messages: the text view and the HTML view with the parts the
// sender placed after the body, HTML found by the type of the text part, charsets declared, named
// in a meta tag or detected; and how an attachment is opened.
#include "TestData.h"
#include "ViewParts.h"
#include "qmmsg.h"

#include <QTest>

class TestViewParts : public QObject {
    Q_OBJECT

private slots:
    void shownText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("htmlView");
        QTest::addColumn<bool>("isHtml");
        QTest::addColumn<QStringList>("inOrder");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("html, pdf, html: text view") << "apple-mixed-html-pdf-html" << false << true
            << QStringList{"here is the contract", "Bitte unterschreiben, Grüße.", "Sent from my computer"}
            << QStringList{"<br>Bitte", "JVBER"};
        QTest::newRow("html, pdf, html: HTML view") << "apple-mixed-html-pdf-html" << true << true
            << QStringList{"here is the contract", "Bitte unterschreiben, Grüße.", "white-space: pre-wrap\">Sent from my computer</div>"}
            << QStringList{"JVBER"};
        QTest::newRow("alternative with html, pdf, html: text view") << "apple-mixed-alternative-mixed" << false << true
            << QStringList{"[contract.pdf]", "Please sign it."} << QStringList{"<html>", "<br>"};
        QTest::newRow("alternative with html, pdf, html: HTML view") << "apple-mixed-alternative-mixed" << true << true
            << QStringList{"here is the contract:<br><br>", "<br>Please sign it."} << QStringList{"[contract.pdf]"};
        QTest::newRow("text without charset, then one of unknown charset") << "text-without-charset" << false << false
            << QStringList{"Käse und Würste", "Schöne Grüße"} << QStringList{"\uFFFD"};
        QTest::newRow("HTML with a charset in its meta tag") << "html-only-without-charset" << true << true
            << QStringList{"<p>Café ok</p>"} << QStringList{"\uFFFD"};
        QTest::newRow("HTML text part beside an attachment") << "base64-html-without-charset" << true << true
            << QStringList{"<p>Café ok</p>"} << QStringList{};
        QTest::newRow("forwarded message: its text only") << "forwarded-with-attachments" << false << false
            << QStringList{"anbei die weitergeleitete Nachricht."} << QStringList{"Two files for you."};
    }
    void shownText()
    {
        QFETCH(QString, file);
        QFETCH(bool, htmlView);
        QFETCH(bool, isHtml);
        QFETCH(QStringList, inOrder);
        QFETCH(QStringList, absent);
        TqmMessage message;
        message.LoadFromFile(TestDataPath(QStringLiteral("mime/%1.eml").arg(file)));
        const TViewContent content = PrepareViewContent(message);
        QCOMPARE(content.Html, isHtml);
        const QString shown = htmlView ? ViewHtml(message, content) : ViewText(message, content);
        qsizetype at = 0;
        for (const QString& piece : inOrder) {
            const qsizetype found = shown.indexOf(piece, at);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("\"%1\" missing or out of order in:\n%2").arg(piece, shown)));
            at = found + piece.size();
        }
        for (const QString& piece : absent)
            QVERIFY2(!shown.contains(piece), qPrintable(QStringLiteral("\"%1\" shown in:\n%2").arg(piece, shown)));
        // Every part stays in the attachment list.
        QCOMPARE(content.Attachments.size(), message.Attachments.Count());
    }

    void howToOpen_data()
    {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileType");
        QTest::addColumn<QStringList>("handled");
        QTest::addColumn<int>("opening");
        const int own = int(TAttachmentOpening::OwnMessageWindow);
        const int desktop = int(TAttachmentOpening::Desktop);
        const int none = int(TAttachmentOpening::NoHandler);
        QTest::newRow("message by type") << "message/rfc822" << "Message.eml" << "message/rfc822" << QStringList{"message/rfc822"} << own;
        QTest::newRow("message by type, any case") << "Message/RFC822" << "x" << "text/plain" << QStringList{} << own;
        QTest::newRow("message file in edit mode") << "" << "Weitergeleitet.EML" << "message/rfc822" << QStringList{} << own;
        QTest::newRow("picture with a program") << "image/gif" << "Part 2.gif" << "image/gif" << QStringList{"image/gif"} << desktop;
        QTest::newRow("picture without a program") << "image/gif" << "Part 2.gif" << "image/gif" << QStringList{"text/plain"} << none;
        QTest::newRow("declared type helps bytes") << "application/pdf" << "Part 3" << "application/octet-stream"
                                                   << QStringList{"application/pdf"} << desktop;
        QTest::newRow("nothing known") << "application/octet-stream" << "data" << "application/octet-stream" << QStringList{} << none;
    }
    void howToOpen()
    {
        QFETCH(QString, declared);
        QFETCH(QString, name);
        QFETCH(QString, fileType);
        QFETCH(QStringList, handled);
        QFETCH(int, opening);
        const auto hasHandler = [&](const QString& type) { return handled.contains(type); };
        QCOMPARE(int(HowToOpen(declared, name, fileType, hasHandler)), opening);
    }
};

QTEST_MAIN(TestViewParts)
#include "tst_viewparts.moc"

// What the message window lets through from a hostile message: which parts answer a resource
// request of the HTML view, the document that never falls back to Qt's file loader, the real type
// of an attachment about to be opened, and links whose text shows another host.

#include "MessageDocument.h"
#include "MessageLoading.h"
#include "ViewSafety.h"
#include "qmmsg.h"
#include "tk_langlib.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

QByteArray PngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TqmAttItem Part(const QByteArray& name, const QByteArray& data, const QByteArray& contentId = {})
{
    TqmAttItem item;
    item.SetFileName(name);
    item.Data = data;
    item.ContentID = contentId;
    return item;
}

// A message whose parts are a 3x2 image with a Content-ID, a 4x4 image named "x" and a text part.
void FillMessage(TqmMessage& message)
{
    message.Attachments.Add(Part("logo.png", PngBytes(3, 2), "<logo@mail.example>"));
    message.Attachments.Add(Part("x", PngBytes(4, 4)));
    message.Attachments.Add(Part("notes.txt", "Notizen"));
}

QSize ImageSize(const QVariant& answer)
{
    return answer.value<QImage>().size();
}

} // namespace

class TestViewSafety : public QObject {
    Q_OBJECT

private slots:
    void inlineParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("part");
        QTest::newRow("cid by Content-ID") << QStringLiteral("cid:logo@mail.example") << 0;
        QTest::newRow("cid by file name") << QStringLiteral("cid:notes.txt") << 2;
        QTest::newRow("cid percent-encoded") << QStringLiteral("cid:logo%40mail.example") << 0;
        QTest::newRow("bare part name") << QStringLiteral("LOGO.PNG") << 0;
        QTest::newRow("unknown cid") << QStringLiteral("cid:other@mail.example") << -1;
        QTest::newRow("file url") << QStringLiteral("file:///etc/passwd") << -1;
        QTest::newRow("file url of a part name") << QStringLiteral("file:x") << -1;
        QTest::newRow("absolute path") << QStringLiteral("/etc/passwd") << -1;
        QTest::newRow("device") << QStringLiteral("/dev/zero") << -1;
        QTest::newRow("parent of a part name") << QStringLiteral("../x") << -1;
        QTest::newRow("current dir") << QStringLiteral("./x") << -1;
        QTest::newRow("backslash path") << QStringLiteral("..\\x") << -1;
        QTest::newRow("http") << QStringLiteral("http://tracker.example/x") << -1;
        QTest::newRow("scheme-relative") << QStringLiteral("//tracker.example/x") << -1;
        QTest::newRow("data url") << QStringLiteral("data:image/png;base64,iVBORw0KGgo=") << -1;
        QTest::newRow("qrc") << QStringLiteral("qrc:/lumaro/strings/program.txt") << -1;
    }

    void inlineParts()
    {
        QFETCH(QString, name);
        TqmMessage message;
        FillMessage(message);
        QTEST(int(InlinePartFor(QUrl(name), PrepareViewContent(message).Attachments)), "part");
    }

    void documentAnswersOnlyThisMessagesParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("blocked");
        const QSize placeholder(1, 1);
        QTest::newRow("cid of this message") << QStringLiteral("cid:logo@mail.example") << QSize(3, 2) << 0;
        QTest::newRow("bare name of a part") << QStringLiteral("x") << QSize(4, 4) << 0;
        QTest::newRow("local picture by file url") << QStringLiteral("file://$DIR/secret.png") << placeholder << 0;
        QTest::newRow("local picture by path") << QStringLiteral("$DIR/secret.png") << placeholder << 0;
        QTest::newRow("local picture relative") << QStringLiteral("secret.png") << placeholder << 0;
        QTest::newRow("relative parent") << QStringLiteral("../x") << placeholder << 0;
        QTest::newRow("passwd") << QStringLiteral("file:///etc/passwd") << placeholder << 0;
        QTest::newRow("passwd path") << QStringLiteral("/etc/passwd") << placeholder << 0;
        QTest::newRow("endless device") << QStringLiteral("/dev/zero") << placeholder << 0;
        QTest::newRow("remote") << QStringLiteral("http://tracker.example/pixel.gif") << placeholder << 1;
        QTest::newRow("part that is no image") << QStringLiteral("cid:notes.txt") << placeholder << 0;
    }

    // Qt's own loader would read every local name here, relative ones from the current directory.
    void documentAnswersOnlyThisMessagesParts()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile secret(dir.filePath(QStringLiteral("secret.png")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write(PngBytes(7, 7));
        secret.close();
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TqmMessage message;
        FillMessage(message);
        TMessageDocument document;
        document.SetParts(PrepareViewContent(message).Attachments, message);
        const QUrl url(name.replace(QLatin1String("$DIR"), dir.path()));
        QElapsedTimer timer;
        timer.start();
        const QVariant answer = document.resource(QTextDocument::ImageResource, url);
        QDir::setCurrent(previous);
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(answer.typeId(), QMetaType::QImage);
        QTEST(ImageSize(answer), "size");
        QTEST(document.BlockedCount, "blocked");
    }

    void documentLaysOutHostilePageWithPlaceholders()
    {
        TqmMessage message;
        FillMessage(message);
        TMessageDocument document;
        document.SetParts(PrepareViewContent(message).Attachments, message);
        int blocked = 0;
        document.OnBlocked = [&] { ++blocked; };
        document.setHtml(QStringLiteral(
            "<html><head><link rel=stylesheet href=\"file:///etc/passwd\"></head><body><p>Text</p><img src=\"/dev/zero\">"
            "<img src=\"file:///etc/passwd\"><img src=\"https://tracker.example/p.gif\"><img src=\"cid:logo@mail.example\">"));
        QVERIFY2(document.toPlainText().contains(QLatin1String("Text")), qPrintable(document.toPlainText()));
        QVERIFY(document.size().height() > 0);
        QCOMPARE(blocked, 1);
        QCOMPARE(document.resource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("file:///etc/passwd"))),
                 QVariant(QString()));
        QCOMPARE(document.resource(QTextDocument::HtmlResource, QUrl(QStringLiteral("cid:notes.txt"))),
                 QVariant(QStringLiteral("Notizen")));
    }

    void attachmentTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<bool>("runs");
        const QByteArray elf = QByteArray("\x7f" "ELF\x02\x01\x01\0", 8) + QByteArray(120, '\0');
        QTest::newRow("pdf") << QStringLiteral("Rechnung.pdf") << QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n") << QStringLiteral("application/pdf") << false;
        QTest::newRow("text") << QStringLiteral("notes.txt") << QByteArray("Hallo") << QStringLiteral("text/plain") << false;
        QTest::newRow("desktop launcher") << QStringLiteral("invoicefdp.desktop")
                                         << QByteArray("[Desktop Entry]\nType=Application\nExec=sh -c evil\n")
                                         << QStringLiteral("application/x-desktop") << true;
        QTest::newRow("shell script") << QStringLiteral("setup.sh") << QByteArray("#!/bin/sh\nrm -rf ~\n")
                                      << QStringLiteral("application/x-shellscript") << true;
        QTest::newRow("script without extension") << QStringLiteral("readme") << QByteArray("#!/bin/sh\necho\n")
                                                  << QStringLiteral("application/x-shellscript") << true;
        QTest::newRow("elf named pdf") << QStringLiteral("invoice.pdf") << elf << QString() << true;
        QTest::newRow("windows program") << QStringLiteral("tool.exe") << QByteArray("MZ\x90\0", 4)
                                         << QString() << true;
        QTest::newRow("python") << QStringLiteral("run.py") << QByteArray("print(1)\n") << QString() << true;
    }

    void attachmentTypes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QString, mime);
        const TAttachmentType type = AttachmentTypeOf(name, data);
        if (!mime.isEmpty())
            QCOMPARE(type.MimeName, mime);
        QTEST(type.Runs, "runs");
        QVERIFY(!type.Description.isEmpty());
    }

    void misleadingLinks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("shownHost");
        QTest::newRow("other host") << QStringLiteral("https://bank.example/") << QStringLiteral("https://evil.example/login")
                                    << QStringLiteral("bank.example");
        QTest::newRow("same host") << QStringLiteral("https://bank.example/") << QStringLiteral("https://bank.example/login")
                                   << QString();
        QTest::newRow("case and www") << QStringLiteral("www.Bank.example") << QStringLiteral("https://bank.EXAMPLE./x")
                                      << QString();
        QTest::newRow("bare host") << QStringLiteral("bank.example/login") << QStringLiteral("http://evil.example/")
                                   << QStringLiteral("bank.example");
        QTest::newRow("subdomain of the shown") << QStringLiteral("https://bank.example")
                                                << QStringLiteral("https://bank.example.evil.example/") << QStringLiteral("bank.example");
        QTest::newRow("lookalike letters") << QStringLiteral("https://b\u0430nk.example/") << QStringLiteral("https://bank.example/")
                                           << QStringLiteral("xn--bnk-6cd.example");
        QTest::newRow("plain words") << QStringLiteral("Zum Shop") << QStringLiteral("https://shop.example/") << QString();
        QTest::newRow("sentence with dots") << QStringLiteral("Hier klicken.") << QStringLiteral("https://x.example/") << QString();
        QTest::newRow("file name") << QStringLiteral("Rechnung.pdf") << QStringLiteral("https://x.example/r.pdf")
                                   << QStringLiteral("rechnung.pdf");
        QTest::newRow("version number") << QStringLiteral("1.2.3") << QStringLiteral("https://x.example/") << QString();
    }

    void misleadingLinks()
    {
        QFETCH(QString, text);
        QFETCH(QString, target);
        QTEST(MisleadingLinkHost(text, QUrl(target)), "shownHost");
    }

    void fillInEach_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("filled");
        QTest::newRow("two") << QStringLiteral("„$T“ zu „$T“") << QStringList{QStringLiteral("a"), QStringLiteral("b")}
                             << QStringLiteral("„a“ zu „b“");
        QTest::newRow("value holds mark") << QStringLiteral("$T/$T") << QStringList{QStringLiteral("$T"), QStringLiteral("b")}
                                          << QStringLiteral("$T/b");
        QTest::newRow("fewer values") << QStringLiteral("$T $T") << QStringList{QStringLiteral("a")} << QStringLiteral("a $T");
    }

    void fillInEach()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        QTEST(FillInEach(text, values), "filled");
    }
};

QTEST_MAIN(TestViewSafety)
#include "tst_viewsafety.moc"

// The message window's rules without a display: command line, sender selection, recipient
// history and completion, quoted stretches and links, label and hand-over texts, the print header
// block and margin conversion, loading a folder message by offset and length, HTML images.

#include "ComposeRules.h"
#include "DBAccountsFunctions.h"
#include "DBMailboxFunctions.h"
#include "Konstanten.h"
#include "MessageLoading.h"
#include "PrintFunctions.h"
#include "TestData.h"
#include "ViewCommandLine.h"
#include "ViewText.h"
#include "qmmsg.h"
#include "tk_langlib.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using TSpans = QList<TTextSpan>;
Q_DECLARE_METATYPE(TSpans)

namespace {

TAccount Account(const QByteArray& name, const QByteArray& address, const QByteArray& display, bool standard = false)
{
    TAccount account;
    account.Name = name;
    account.SmtpAddress = address;
    account.SmtpName = display;
    account.Standard = standard;
    return account;
}

} // namespace

class TestViewRules : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetLanguage(0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("single");
        QTest::newRow("folder") << QStringList{"/m/Inbox.mbx", "120", "455"} << true << 120 << 455 << false << false;
        QTest::newRow("folder upper case") << QStringList{"/m/X.MbX", "1", "2"} << true << 1 << 2 << false << false;
        QTest::newRow("edit") << QStringList{"/q/new_1.eml", "0", "0", "EDIT"} << true << 0 << 0 << true << true;
        QTest::newRow("edit lower case") << QStringList{"/q/new_1.eml", "0", "0", "edit"} << true << 0 << 0 << false << true;
        QTest::newRow("not numbers") << QStringList{"/m/a.mbx", "x", "1e3"} << true << 0 << 0 << false << false;
        QTest::newRow("single file") << QStringList{"/tmp/a.txt"} << true << 0 << 0 << false << true;
        QTest::newRow("nothing") << QStringList{} << false << 0 << 0 << false << false;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        const std::optional<TViewCommandLine> line = ParseViewCommandLine(arguments);
        QCOMPARE(line.has_value(), valid);
        if (!valid)
            return;
        QTEST(int(line->Offset), "offset");
        QTEST(int(line->Length), "length");
        QTEST(line->EditMode, "edit");
        QTEST(line->SingleFile, "single");
    }

    void senderSelection_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("message5");
        QTest::newRow("exact") << "b@example.org <Bee>" << 1 << false;
        QTest::newRow("address only, case") << "B@EXAMPLE.ORG <Other>" << 1 << false;
        QTest::newRow("later match wins") << "a@example.org" << 2 << false;
        QTest::newRow("unknown") << "z@example.org <Zed>" << 1 << true;
        QTest::newRow("empty") << "" << 1 << false;
    }

    void senderSelection()
    {
        QFETCH(QString, text);
        const TSenderList senders = BuildSenderList({Account("one", "a@example.org", "Ay"),
                                                     Account("two", "b@example.org", "Bee", true),
                                                     Account("three", "a@example.org", "Ay Work"),
                                                     Account("copy", "a@example.org", "Ay")});
        QCOMPARE(senders.Entries.size(), 3);
        QCOMPARE(AccountNameOfEntry(senders.AccountEntries.at(2)), QStringLiteral("three"));
        const TSenderChoice choice = SelectSender(senders, text);
        QTEST(choice.Index, "index");
        QTEST(choice.NotAnAccount, "message5");
    }

    void commandStates_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("redirected");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("expected"); // SendLater Answer Compose Remove Open Html
        QTest::newRow("view") << false << false << false << false << "010001";
        QTest::newRow("view, attachment chosen") << false << false << false << true << "010011";
        QTest::newRow("edit unchanged") << true << false << false << false << "001000";
        QTest::newRow("edit changed with attachment") << true << true << false << true << "101110";
        QTest::newRow("redirected") << true << true << true << true << "100010";
    }

    void commandStates()
    {
        QFETCH(bool, edit);
        QFETCH(bool, changed);
        QFETCH(bool, redirected);
        QFETCH(bool, selected);
        QFETCH(QString, expected);
        const TViewCommandStates s = ComputeViewCommandStates(edit, changed, redirected, selected, true);
        const QString actual = QString::number(s.SendLater) + QString::number(s.Answer) + QString::number(s.Compose)
            + QString::number(s.RemoveAttachment) + QString::number(s.AttachmentOpen) + QString::number(s.HtmlView);
        QCOMPARE(actual, expected);
    }

    void history_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QStringList>("after");
        const QStringList before{"old@x.org", "mid@x.org"};
        QTest::newRow("single address") << "new@x.org" << true << QStringList{"mid@x.org", "new@x.org"};
        QTest::newRow("two addresses") << "a@x.org,b@x.org" << true << before;
        QTest::newRow("one name with a comma") << "\"Schmidt, Jürgen\" <j@example.de>" << true
                                               << QStringList{"mid@x.org", "\"Schmidt, Jürgen\" <j@example.de>"};
        QTest::newRow("three characters") << "a@b" << true << before;
        QTest::newRow("no at sign") << "nobody" << true << before;
        QTest::newRow("already there") << "mid@x.org" << true << before;
        QTest::newRow("history off") << "new@x.org" << false << before;
    }

    void history()
    {
        QFETCH(QString, to);
        QFETCH(bool, keep);
        QStringList history{"old@x.org", "mid@x.org"};
        UpdateHistory(history, to, keep, 2);
        QTEST(history, "after");
    }

    void completion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("completed");
        QTest::addColumn<int>("selectionLength");
        QTest::newRow("first entry") << "bo" << 2 << "bob@x.org" << 7;
        QTest::newRow("case ignored, typed letters kept") << "BE" << 2 << "BEn@x.org" << 7;
        QTest::newRow("name from the address book") << "Bj" << 2 << "Björn Weiß <bjoern@example.net>" << 29;
        QTest::newRow("after a quoted comma") << "\"Schmidt, Jürgen\" <j@example.de>, bo" << 36
                                              << "\"Schmidt, Jürgen\" <j@example.de>, bob@x.org" << 7;
        QTest::newRow("after comma") << "a@y.org,be" << 10 << "a@y.org,ben@x.org" << 7;
        QTest::newRow("comma after caret") << "bo,x" << 2 << "" << 0;
        QTest::newRow("no match") << "zz" << 2 << "" << 0;
        QTest::newRow("replaces old completion") << "bob@x.org" << 1 << "bob@x.org" << 8;
    }

    void completion()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QString, completed);
        const std::optional<TCompletion> result
            = CompleteRecipient(text, caret, {"bob@x.org", "ben@x.org", "Björn Weiß <bjoern@example.net>"});
        QCOMPARE(result.has_value(), !completed.isEmpty());
        if (!result)
            return;
        QCOMPARE(result->Text, completed);
        QCOMPARE(int(result->SelectionStart), caret);
        QTEST(int(result->SelectionLength), "selectionLength");
    }

    void recipientMatches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("matches");
        QTest::newRow("last name") << "wei" << QStringList{"Björn Weiß <bjoern@example.net>", "\"Weiß, Anna\" <anna@example.de>"};
        QTest::newRow("first name after a comma") << "anna" << QStringList{"\"Weiß, Anna\" <anna@example.de>"};
        QTest::newRow("address") << "BJOERN@" << QStringList{"Björn Weiß <bjoern@example.net>"};
        QTest::newRow("quoted name typed without quote") << "Weiß, A" << QStringList{"\"Weiß, Anna\" <anna@example.de>"};
        QTest::newRow("history entry") << "bo" << QStringList{"bob@x.org"};
        QTest::newRow("middle of a word") << "örn" << QStringList{};
        QTest::newRow("blank") << " " << QStringList{};
    }

    void recipientMatches()
    {
        QFETCH(QString, typed);
        const QStringList candidates{"bob@x.org", "Björn Weiß <bjoern@example.net>", "\"Weiß, Anna\" <anna@example.de>",
                                     "bob@x.org"};
        QTEST(MatchingRecipients(typed, candidates), "matches");
    }

    void insertRecipient_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<int>("newCaret");
        const QString chosen = QStringLiteral("\"Weiß, Anna\" <anna@example.de>");
        QTest::newRow("alone") << "wei" << 3 << chosen << 30;
        QTest::newRow("after an entry") << "a@x.org, wei" << 12 << "a@x.org, " + chosen << 39;
        QTest::newRow("before an entry") << "wei,b@y.org" << 3 << chosen + ",b@y.org" << 30;
    }

    void insertRecipient()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        const TCompletion result = InsertRecipient(text, caret, QStringLiteral("\"Weiß, Anna\" <anna@example.de>"));
        QTEST(result.Text, "inserted");
        QTEST(int(result.SelectionStart), "newCaret");
    }

    void quoteStretches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TSpans>("spans");
        QTest::newRow("line starts") << "> a\nb > c\n>>d" << TSpans{{0, 3}, {10, 3}};
        QTest::newRow("empty quote line") << ">\n" << TSpans{{0, 1}};
        QTest::newRow("long line whole") << ">" + QString(400, QLatin1Char('x')) << TSpans{{0, 401}};
        QTest::newRow("none") << "a>b" << TSpans{};
    }

    void quoteStretches()
    {
        QFETCH(QString, text);
        QFETCH(TSpans, spans);
        QCOMPARE(QuoteStretches(text), spans);
    }

    void links_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("http with punctuation") << "See http://a.org/x?y=1." << QStringList{"http://a.org/x?y=1"};
        QTest::newRow("www and mailto") << "www.b.de, mailto:c@d.org" << QStringList{"http://www.b.de", "mailto:c@d.org"};
        QTest::newRow("angle brackets") << "<https://e.org/p>" << QStringList{"https://e.org/p"};
        QTest::newRow("other schemes unmarked") << "file:///etc/passwd javascript:x" << QStringList{};
        QTest::newRow("inside a word") << "xhttp://f.org" << QStringList{};
    }

    void links()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, urls);
        QStringList found;
        for (const TLinkSpan& link : FindLinks(text)) {
            found.append(link.Url);
            QVERIFY(text.mid(link.Span.Start, link.Span.Length).endsWith(link.Url.section(QLatin1String("//www."), -1)));
        }
        QCOMPARE(found, urls);
    }

    void linkActions_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("action");
        QTest::newRow("https") << "https://a.org" << int(TLinkAction::OpenInBrowser);
        QTest::newRow("ftp") << "FTP://a.org" << int(TLinkAction::OpenInBrowser);
        QTest::newRow("mailto") << "mailto:a@b.org" << int(TLinkAction::ComposeMessage);
        QTest::newRow("file") << "file:///etc/passwd" << int(TLinkAction::Refuse);
        QTest::newRow("javascript") << "javascript:alert(1)" << int(TLinkAction::Refuse);
        QTest::newRow("data") << "data:text/html,x" << int(TLinkAction::Refuse);
        QTest::newRow("smb") << "smb://host/share" << int(TLinkAction::Refuse);
    }

    void linkActions()
    {
        QFETCH(QString, url);
        QTEST(int(LinkActionFor(QUrl(url))), "action");
    }

    void labelsAndHandOvers()
    {
        TqmMessage message;
        message.Sender.Address = "jane@example.org";
        message.Sender.Name = "Jane Mary Doe";
        message.Recipients.AddAddress("bob@example.com", "Bob");
        message.Recipients.AddAddress("carl@example.com", "");
        message.Subject = "Plan";
        QCOMPARE(SenderLabelText(message.Sender), QStringLiteral("Jane Mary Doe (jane@example.org)"));
        QCOMPARE(AddressListLabelText(message.Recipients), QStringLiteral("Bob,carl@example.com"));
        QCOMPARE(FilterHandOverText(TFilterField::Sender, message), QStringLiteral("Sender jane@example.org"));
        QCOMPARE(FilterHandOverText(TFilterField::Recipient, message), QStringLiteral("Recipient bob@example.com"));
        QCOMPARE(FilterHandOverText(TFilterField::Subject, message), QStringLiteral("Subject Plan"));
        QCOMPARE(ContactHandOverText(AddressBookContact(message.Sender)), QByteArray("Mary Doe\nJane\njane@example.org\n"));
        message.Sender.Name = "Cher";
        QCOMPARE(ContactHandOverText(AddressBookContact(message.Sender)), QByteArray("Cher\n \njane@example.org\n"));
        message.Sender.Name = "Evil\r\n-platform x\n";
        QCOMPARE(ContactHandOverText(AddressBookContact(message.Sender)), QByteArray("x \nEvil  -platform\njane@example.org\n"));
        QCOMPARE(DateLabelText("", QStringLiteral("dd.MM.yyyy")), QString());
        // 08:05 UTC on this machine's clock.
        QCOMPARE(DateLabelText("Mon, 7 Dec 2026 09:05:00 +0100", QStringLiteral("dd.MM.yyyy HH:mm")),
                 QDateTime(QDate(2026, 12, 7), QTime(8, 5), Qt::UTC).toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    }

    void printHeaderBlock_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("german") << 0 << QByteArray("Date: Mon, 7 Dec 2026 09:05:00 +0100")
                                << QStringList{"Plan", "Von:\tjane@example.org <Jane Doe>", "An:\tbob@example.com,carl@example.com",
                                               "Datum:\tMon, 7 Dec 2026 09:05:00 +0100", ""};
        QTest::newRow("english without date") << 2 << QByteArray()
                                              << QStringList{"Plan", "From:\tjane@example.org <Jane Doe>",
                                                             "To:\tbob@example.com,carl@example.com", "Date:\t", ""};
    }

    void printHeaderBlock()
    {
        QFETCH(int, language);
        QFETCH(QByteArray, date);
        QFETCH(QStringList, lines);
        SetLanguage(language);
        TqmMessage message;
        message.Subject = "Plan";
        message.Sender.Address = "jane@example.org";
        message.Sender.Name = "Jane Doe";
        message.Recipients.AddAddress("bob@example.com", "Bob");
        message.Recipients.AddAddress("carl@example.com", "");
        if (!date.isEmpty())
            message.Headers.append(date);
        const QList<TPrintLine> block = PrintHeaderBlock(message);
        SetLanguage(0);
        QStringList texts;
        for (const TPrintLine& line : block)
            texts.append(line.Text);
        QCOMPARE(texts, lines);
        QCOMPARE(block.first().Bold, true);
        QCOMPARE(block.first().PointSize, 12);
        QCOMPARE(block.at(1).Bold, false);
    }

    void margins_data()
    {
        QTest::addColumn<double>("stored");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<double>("result");
        QTest::newRow("inches unchanged keep 30 mm") << 30.0 << 1 << "" << 30.0;
        QTest::newRow("inches edited") << 30.0 << 1 << "1" << 25.4;
        QTest::newRow("millimetres edited") << 10.0 << 0 << "12.5" << 12.5;
        QTest::newRow("no number keeps") << 10.0 << 0 << "abc" << 10.0;
        QTest::newRow("negative keeps") << 10.0 << 0 << "-3" << 10.0;
    }

    void margins()
    {
        QFETCH(double, stored);
        QFETCH(int, unit);
        QFETCH(QString, edited);
        QFETCH(double, result);
        const TMeasureUnit u = TMeasureUnit(unit);
        const QString shown = MarginText(stored, u);
        if (u == TMeasureUnit::Inches)
            QCOMPARE(shown, QStringLiteral("1.18"));
        QCOMPARE(MarginFromText(edited.isEmpty() ? shown : edited, u, stored), result);
        QCOMPARE(StandardMargins({1, 2, 3, 4, TMeasureUnit::Inches, false}).MarginLeft, 30.0);
    }

    void folderMessageIsReadByOffsetAndLength()
    {
        QTemporaryDir dir;
        const QString mbx = dir.filePath(QStringLiteral("Inbox.mbx"));
        QFile file(mbx);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray first = "From ???\r\nFrom: a@x.org\r\nSubject: Eins\r\n\r\n \r\n";
        const QByteArray second = "From ???\r\nFrom: b@x.org\r\nSubject: Zwei\r\n\r\nText\r\n";
        file.write(first + second);
        file.close();
        TqmMessage message;
        QString error;
        QVERIFY(LoadViewMessage(*ParseViewCommandLine({mbx, QString::number(first.size()), QString::number(second.size())}), message, error));
        QCOMPARE(message.Subject, QByteArray("Zwei"));
        QVERIFY(LoadViewMessage(*ParseViewCommandLine({mbx, "0", QString::number(first.size())}), message, error));
        QCOMPARE(message.Subject, QByteArray("Eins"));
        QVERIFY(message.Body.isEmpty());
        QVERIFY(!LoadViewMessage(*ParseViewCommandLine({mbx, "10", "100000"}), message, error));
        QVERIFY(!error.isEmpty());
    }

    void htmlAlternativeAndImages()
    {
        TqmMessage message;
        message.Body = {"Plain"};
        TqmAttItem alternative;
        alternative.SetFileName("_alt.htm");
        alternative.ContentType = "text/html";
        alternative.Data = "<p>Hi <img src=\"cid:logo.png@x\"></p>";
        message.Attachments.Add(alternative);
        TqmAttItem image;
        image.SetFileName("../logo.png");
        image.Data = "PNG";
        message.Attachments.Add(image);
        TqmAttItem photo;
        photo.SetFileName("IMG_0001.jpg");
        photo.ContentID = "<part1.abc@mail.example>";
        photo.Data = "JPG";
        message.Attachments.Add(photo);
        const TViewContent content = PrepareViewContent(message);
        QVERIFY(content.Html);
        QCOMPARE(content.Attachments.first().FileName, QStringLiteral("Mail.htm"));
        QCOMPARE(content.HtmlPart, 0);
        QCOMPARE(content.Attachments.at(1).FileName, QStringLiteral("logo.png"));
        QCOMPARE(InlinePartFor(QUrl(QStringLiteral("cid:logo.png@x")), content.Attachments), 1);
        QCOMPARE(InlinePartFor(QUrl(QStringLiteral("cid:part1.abc@mail.example")), content.Attachments), 2);
        for (const char* remote : {"http://tracker.example/p.gif", "https://a/b.png", "//cdn.example/x.png", "ftp://h/x"}) {
            QVERIFY(IsRemoteResource(QUrl(QString::fromLatin1(remote))));
            QCOMPARE(InlinePartFor(QUrl(QString::fromLatin1(remote)), content.Attachments), -1);
        }
        QCOMPARE(InlinePartFor(QUrl(QStringLiteral("file:///etc/passwd")), content.Attachments), -1);
    }

    void htmlDetection_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<bool>("html");
        QTest::newRow("html tag") << QByteArray("<html><body>") << true;
        QTest::newRow("doctype lower") << QByteArray("<!doctype html>") << true;
        QTest::newRow("text") << QByteArray("Hallo <html>") << false;
    }

    void htmlDetection()
    {
        QFETCH(QByteArray, first);
        TqmMessage message;
        message.Body = {first};
        QTEST(BodyLooksLikeHtml(message), "html");
    }
};

QTEST_GUILESS_MAIN(TestViewRules)
#include "tst_viewrules.moc"

// The message window offscreen: a folder message read by offset and length with its labels,
// quotes and links; the HTML view that loads nothing remote; a work file edited, saved and parsed
// back; the recipient chooser and phrase inserter; printing to a PDF file.

#include "AdrChoose.h"
#include "DBAccountsFunctions.h"
#include "DBAddressFunctions.h"
#include "Konstanten.h"
#include "Main.h"
#include "ModalDialogs.h"
#include "PhraseFunctions.h"
#include "Phrases.h"
#include "Print.h"
#include "ReportCapture.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "SingleInstance.h"
#include "tk_langlib.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>

namespace {

void SaveScreenshot(QWidget& window, const QString& name)
{
    const QString dir = qEnvironmentVariable("LUMARO_TEST_SCREENSHOTS");
    if (!dir.isEmpty())
        window.grab().save(QDir(dir).filePath(name + QLatin1String(".png")));
}

QByteArray Crlf(const QByteArray& text)
{
    QByteArray lines = text;
    return lines.replace("\n", "\r\n");
}

const QByteArray FirstMessage = Crlf("From ???@???\nFrom: Otto <otto@example.org>\nSubject: Erste\n\nnicht diese\n");
const QByteArray SecondMessage = Crlf(
    "From ???@???\n"
    "From: Jane Doe <jane@example.org>\n"
    "To: Bob <bob@example.com>, carl@example.com\n"
    "CC: Dora <dora@example.net>\n"
    "Subject: Treffen\n"
    "Date: Mon, 7 Dec 2026 09:05:00 +0100\n"
    "MIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\n"
    "\n"
    "--b1\n"
    "Content-Type: text/plain; charset=\"iso-8859-1\"\n"
    "Content-Transfer-Encoding: quoted-printable\n"
    "\n"
    "Hallo Bob,\n"
    "> Gr=FC=DFe von gestern\n"
    "siehe https://example.org/plan und a > b.\n"
    "--b1\n"
    "Content-Type: text/plain; name=\"plan.txt\"\n"
    "Content-Disposition: attachment; filename=\"plan.txt\"\n"
    "\n"
    "Plan\n"
    "--b1--\n");

} // namespace

class TestLmviewFrm : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    static QString WriteFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return path;
    }

    static void Show(QWidget& window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

private slots:
    void initTestCase()
    {
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir.filePath(QStringLiteral("modules/lmview")));
        SetLanguage(0);
        CreateDataDirectories();
        QVERIFY(QDir().mkpath(Paths().System.WorkDir));
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Jane";
        account.Standard = true;
        account.SmtpAddress = "jane@example.org";
        account.SmtpName = "Jane Doe";
        QVERIFY(WriteAccount(0, account) > 0);
    }

    void folderMessageShowsItsLabelsQuotesAndLinks()
    {
        ReportCapture reports;
        const QString mbx = WriteFile(Paths().Data.MailDir + QStringLiteral("/Inbox.mbx"), FirstMessage + SecondMessage);
        TLmviewFrm window(*ParseViewCommandLine({mbx, QString::number(FirstMessage.size()), QString::number(SecondMessage.size())}));
        window.Settings.Display.HtmlViewing = true;
        QVERIFY(window.LoadMessage());
        Show(window);
        QCOMPARE(window.windowTitle(), QStringLiteral("Treffen"));
        QCOMPARE(window.FromLbl->text(), QStringLiteral("Jane Doe (jane@example.org)"));
        QCOMPARE(window.ToLbl->text(), QStringLiteral("Bob,carl@example.com"));
        QCOMPARE(window.CCLbl->text(), QStringLiteral("Dora"));
        QVERIFY(window.CCLbl->isVisible());
        QCOMPARE(window.SubjectLbl->text(), QStringLiteral("Treffen"));
        QVERIFY(!window.DateLbl->text().isEmpty());
        QVERIFY(!window.SmtpPanel->isVisible());
        QCOMPARE(window.AttachLv->count(), 1);
        QCOMPARE(window.AttachLv->item(0)->text(), QStringLiteral("plan.txt"));
        QVERIFY(window.BodyMem->isReadOnly());
        QVERIFY(!window.SendLaterItm->isEnabled());
        QVERIFY(window.AnswerPItm->isEnabled());
        const QTextDocument* document = window.BodyMem->document();
        QCOMPARE(document->findBlockByNumber(1).text(), QStringLiteral("> Grüße von gestern"));
        const QTextCharFormat quote = QTextCursor(document->findBlockByNumber(1)).charFormat();
        QTextCursor inQuote(document->findBlockByNumber(1));
        inQuote.movePosition(QTextCursor::Right);
        QCOMPARE(inQuote.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(inQuote.charFormat().foreground().color(), QColor(0, 0, 128));
        QTextCursor plainLine(document->findBlockByNumber(2));
        plainLine.movePosition(QTextCursor::EndOfBlock);
        QVERIFY(plainLine.charFormat().fontWeight() != int(QFont::Bold));
        const qsizetype linkAt = document->toPlainText().indexOf(QStringLiteral("https://"));
        QTextCursor link(window.BodyMem->document());
        link.setPosition(int(linkAt + 2));
        QCOMPARE(link.charFormat().anchorHref(), QStringLiteral("https://example.org/plan"));
        Q_UNUSED(quote);
        SaveScreenshot(window, QStringLiteral("lmview-view-plain"));
        QVERIFY(window.close());
    }

    void linksOpenOnlyWebSchemes()
    {
        ReportCapture reports;
        const QString file = WriteFile(Paths().System.TempDir + QStringLiteral("/one.eml"), Crlf("From: a@b.org\nSubject: x\n\ny\n"));
        TLmviewFrm window(*ParseViewCommandLine({file}));
        QVERIFY(window.LoadMessage());
        QList<QUrl> opened;
        window.OpenUrl = [&](const QUrl& url) { opened.append(url); };
        window.OpenLink(QUrl(QStringLiteral("https://example.org/")));
        window.OpenLink(QUrl(QStringLiteral("file:///etc/passwd")));
        window.OpenLink(QUrl(QStringLiteral("javascript:alert(1)")));
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/"))});
        const QList<TUserMessage> refused = reports.Take();
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused.first().Id, 26);
    }

    void htmlViewLoadsNothingRemote()
    {
        ReportCapture reports;
        const QByteArray html = Crlf(
            "From: Shop <shop@example.com>\nSubject: Angebot\nMIME-Version: 1.0\nContent-Type: text/html; charset=utf-8\n\n"
            "<html><body><h2>Angebot</h2><p>Nur heute: <b>alles billiger</b>.</p>"
            "<img src=\"http://tracker.example.com/pixel.gif\" width=\"20\" height=\"20\">"
            "<p><a href=\"https://example.com/shop\">Zum Shop</a></p></body></html>\n");
        const QString file = WriteFile(Paths().System.TempDir + QStringLiteral("/html.eml"), html);
        TLmviewFrm window(*ParseViewCommandLine({file}));
        window.Settings.Display.HtmlViewing = true;
        QVERIFY(window.LoadMessage());
        Show(window);
        QVERIFY(window.HtmlPanel->isVisible());
        QVERIFY(!window.BodyMem->isVisible());
        QTRY_VERIFY(window.Html->Document->BlockedCount > 0);
        QVERIFY(window.BlockedLbl->isVisible());
        const QVariant remote = window.Html->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("https://a.example/x.png")));
        QCOMPARE(remote.value<QImage>().size(), QSize(1, 1));
        SaveScreenshot(window, QStringLiteral("lmview-view-html"));
        window.ShowHtml(false);
        QVERIFY(window.BodyMem->isVisible());
    }

    void workFileIsEditedSavedAndParsedBack()
    {
        ReportCapture reports;
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_1.eml"),
                                       Crlf("From: Jane Doe <jane@example.org>\nTo: bob@example.com\n"
                                            "X-LMBCC: x@example.com\nX-LMBCC: y@example.com\nSubject: Entwurf\n\nErste Zeile\n"));
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        QStringList asked;
        window.Dialogs.Ask = [&](const QString& text, QMessageBox::StandardButtons) {
            asked.append(text);
            return QMessageBox::Yes;
        };
        QVERIFY(window.LoadMessage());
        Show(window);
        QVERIFY(window.SmtpPanel->isVisible());
        QVERIFY(!window.HeaderPanel->isVisible());
        QCOMPARE(window.SmtpToEdt->currentText(), QStringLiteral("bob@example.com"));
        QCOMPARE(window.SmtpBCCEdt->text(), QStringLiteral("x@example.com,y@example.com"));
        QCOMPARE(window.OurEmailCmb->currentText(), QStringLiteral("jane@example.org <Jane Doe>"));
        QVERIFY(window.SmtpPages->tabText(1).startsWith(QLatin1String("* ")));
        QVERIFY(!window.SendLaterItm->isEnabled());
        window.BodyMem->moveCursor(QTextCursor::End);
        QTest::keyClicks(window.BodyMem, " und Gruss");
        QVERIFY(window.SendLaterItm->isEnabled());
        window.SmtpSubjectEdt->setText(QStringLiteral("Entwurf für Köln"));
        SaveScreenshot(window, QStringLiteral("lmview-edit"));
        window.SendLaterItmClick();
        QVERIFY(!window.isVisible());
        QVERIFY(asked.isEmpty());
        TqmMessage saved;
        saved.LoadFromFile(work);
        QCOMPARE(saved.Subject, QByteArray("Entwurf für Köln"));
        QCOMPARE(saved.Body, QByteArrayList{"Erste Zeile und Gruss"});
        QCOMPARE(saved.Sender.Address, QByteArray("jane@example.org"));
        QCOMPARE(saved.Headers.GetFieldBody("X-LMBCC"), QByteArray("x@example.com"));
        QVERIFY(window.Settings.History.contains(QStringLiteral("bob@example.com")));
    }

    void unchangedEditWindowClosesWithoutAsking()
    {
        ReportCapture reports;
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_2.eml"),
                                       Crlf("From: nobody@example.net\nSubject: s\n\nx\n"));
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        int asked = 0;
        window.Dialogs.Ask = [&](const QString&, QMessageBox::StandardButtons) {
            ++asked;
            return QMessageBox::Cancel;
        };
        QVERIFY(window.LoadMessage());
        // The sender is no account: the default account is chosen after message 5.
        QCOMPARE(reports.Take().first().Id, 5);
        QCOMPARE(window.OurEmailCmb->currentIndex(), 0);
        Show(window);
        QVERIFY(window.close());
        QCOMPARE(asked, 0);
    }

    // Ctrl+Return sends at once: the work file is written as "Später senden" writes it, the request
    // names it and the sender's account, and the main window hears of it by window message 3029. A held
    // message is not offered for sending. Without a main window listening the user is told.
    void sendNowWritesTheMessageAndAsksTheMainWindow_data()
    {
        QTest::addColumn<bool>("mainWindowListens");
        QTest::newRow("main window listens") << true;
        QTest::newRow("no main window") << false;
    }

    void sendNowWritesTheMessageAndAsksTheMainWindow()
    {
        QFETCH(bool, mainWindowListens);
        ReportCapture reports;
        TInstanceServer mainWindow;
        QSignalSpy received(&mainWindow, &TInstanceServer::MessageReceived);
        if (mainWindowListens)
            QVERIFY(mainWindow.Listen(MainWindowTitle));
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_5.eml"),
                                       Crlf("From: Jane Doe <jane@example.org>\nTo: bob@example.com\nSubject: Jetzt\n\nText\n"));
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        QVERIFY(window.LoadMessage());
        Show(window);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.SendNowItm->isEnabled());
        QVERIFY(!window.SendLaterItm->isEnabled());
        window.SmtpHoldChk->setChecked(true);
        QVERIFY(!window.SendNowItm->isEnabled());
        window.SmtpHoldChk->setChecked(false);
        QVERIFY(window.SendNowItm->isEnabled());
        SaveScreenshot(window, QStringLiteral("lmview-edit-sendnow"));
        window.BodyMem->setFocus();
        QTest::keyClick(window.BodyMem, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
        // The window closed on the key press and missed the release: the later tests must not find
        // Ctrl still held.
        QWidget other;
        Show(other);
        QTest::keyClick(&other, Qt::Key_Control);
        TqmMessage saved;
        saved.LoadFromFile(work);
        QCOMPARE(saved.Subject, QByteArray("Jetzt"));
        QCOMPARE(saved.Body, QByteArrayList{"Text"});
        const std::optional<TSendNowRequest> request = TakeSendNowRequest();
        QVERIFY(request);
        QCOMPARE(request->WorkFile, work);
        QCOMPARE(request->Account, QStringLiteral("Jane"));
        if (mainWindowListens) {
            QTRY_COMPARE(received.count(), 1);
            QCOMPARE(received.first().first().toInt(), int(wmSendNow));
        } else {
            const QList<TUserMessage> shown = reports.Take();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().Id, 40);
        }
    }

    void englishTexts()
    {
        ReportCapture reports;
        SetLanguage(2);
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_3.eml"),
                                       Crlf("From: Jane Doe <jane@example.org>\nTo: bob@example.com\nSubject: Plan\n\nx\n"));
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        QVERIFY(window.LoadMessage());
        Show(window);
        SetLanguage(0);
        QCOMPARE(window.SendLaterItm->text(), QStringLiteral("&Send later"));
        QCOMPARE(window.SendNowItm->text(), QStringLiteral("Send &now"));
        QCOMPARE(window.SmtpPages->tabText(2), QStringLiteral("Options"));
        QCOMPARE(window.ToBtn->text(), QStringLiteral("&To:"));
        SaveScreenshot(window, QStringLiteral("lmview-edit-en"));
    }

    void chooserAddsContactsAndGroups()
    {
        ReportCapture reports;
        QVERIFY(CreateAddressBook());
        TAddressRecord contact;
        contact.Key = "RoeBob";
        contact.LastName = "Roe";
        contact.FirstName = "Bob";
        contact.Email = "bob@example.com";
        contact.Category = "privat";
        contact.PreferredSender = "jane@example.org <Jane Doe>";
        contact.DefaultSubject = "Hallo Bob";
        QVERIFY(WriteAddress(0, contact) > 0);
        TAddressRecord group;
        group.Group = true;
        group.Key = "Team";
        group.Category = "geschäftlich";
        QVERIFY(WriteAddressWithMembers(0, group, {"ann@example.org;Ann", "carl@example.com;Carl"}) > 0);
        TAdrChooseFrm chooser(QStringLiteral("privat|geschäftlich"));
        chooser.SetLists({QStringLiteral("old@example.org")}, {}, {}, TRecipientList::To);
        Show(chooser);
        QCOMPARE(chooser.Listview->topLevelItemCount(), 2);
        chooser.Listview->setCurrentItem(chooser.Listview->findItems(QStringLiteral("Bob Roe"), Qt::MatchExactly).first());
        chooser.ToAddBtn->click();
        chooser.Listview->setCurrentItem(chooser.Listview->findItems(QStringLiteral("Team"), Qt::MatchExactly).first());
        chooser.BCCAddBtn->click();
        QCOMPARE(chooser.Addresses(TRecipientList::To), (QStringList{"old@example.org", "Bob Roe <bob@example.com>"}));
        QCOMPARE(chooser.Addresses(TRecipientList::BCC), (QStringList{"Ann <ann@example.org>", "Carl <carl@example.com>"}));
        QCOMPARE(chooser.SubjectLbl->text(), QStringLiteral("Hallo Bob"));
        chooser.CategoryCmb->setCurrentIndex(1);
        QCOMPARE(chooser.Listview->topLevelItemCount(), 1);
        chooser.CategoryCmb->setCurrentIndex(0);
        SaveScreenshot(chooser, QStringLiteral("adrchoose"));
    }

    // Typing into To (or a copy field) keeps the typed letters, offers contacts by any word of their
    // name, and the chosen "Last, First" contact is saved with its name.
    void toFieldCompletesNamesAndKeepsWhatWasTyped()
    {
        ReportCapture reports;
        QVERIFY(CreateAddressBook());
        TAddressRecord contact;
        contact.Key = "Schmidt, Jürgen";
        contact.LastName = "Schmidt, Jürgen";
        contact.Email = "j@example.de";
        QVERIFY(WriteAddress(0, contact) > 0);
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_3.eml"),
                                       Crlf("From: Jane Doe <jane@example.org>\nSubject: Termin\n\nText\n"));
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        window.Settings.History = {QStringLiteral("bob@example.com")};
        window.Dialogs.Ask = [](const QString&, QMessageBox::StandardButtons) { return QMessageBox::Yes; };
        QVERIFY(window.LoadMessage());
        Show(window);
        QLineEdit* to = window.SmtpToEdt->lineEdit();
        to->setFocus();
        QTest::keyClicks(to, QStringLiteral("BO"));
        QCOMPARE(to->text(), QStringLiteral("BOb@example.com"));
        QCOMPARE(to->selectedText(), QStringLiteral("b@example.com"));
        QTest::keyClick(to, Qt::Key_Delete);
        QTest::keyClicks(to, QStringLiteral(", sch"));
        QCompleter* completer = window.findChild<QCompleter*>();
        QVERIFY(completer && completer->popup()->isVisible());
        QCOMPARE(completer->model()->rowCount(), 1);
        SaveScreenshot(window, QStringLiteral("lmview-to-completion"));
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QCOMPARE(to->text(), QStringLiteral("BO, \"Schmidt, Jürgen\" <j@example.de>"));
        to->setText(QStringLiteral("bob@example.com, \"Schmidt, Jürgen\" <j@example.de>"));

        // The copy fields complete from the same list.
        for (int page = 0; page < window.SmtpPages->count(); ++page) {
            if (window.SmtpPages->widget(page)->isAncestorOf(window.SmtpBCCEdt))
                window.SmtpPages->setCurrentIndex(page);
        }
        window.SmtpBCCEdt->setFocus();
        QTest::keyClicks(window.SmtpBCCEdt, QStringLiteral("schm"));
        QVERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->widget(), window.SmtpBCCEdt);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QCOMPARE(window.SmtpBCCEdt->text(), QStringLiteral("\"Schmidt, Jürgen\" <j@example.de>"));
        QCOMPARE(to->text(), QStringLiteral("bob@example.com, \"Schmidt, Jürgen\" <j@example.de>"));
        window.SendLaterItmClick();
        TqmMessage saved;
        saved.LoadFromFile(work);
        QCOMPARE(saved.Recipients.Count(), 2);
        QCOMPARE(saved.Recipients.Items(1).Name, QByteArray("Schmidt, Jürgen"));
        QCOMPARE(saved.Recipients.Items(1).Address, QByteArray("j@example.de"));
    }

    // "Proj Team" typed into CC: the group of that name becomes its addresses when the message is
    // saved for sending; a name the address book does not know keeps the window open, with the
    // name in the warning, and nothing is written.
    void recipientNamesAreExpandedOrRefused()
    {
        ReportCapture reports;
        QVERIFY(CreateAddressBook());
        TAddressRecord group;
        group.Group = true;
        group.Key = "Proj Team";
        QVERIFY(WriteAddressWithMembers(0, group, {"ann@example.org;Ann", "carl@example.com;Carl"}) > 0);
        const QByteArray original = Crlf("From: Jane Doe <jane@example.org>\nTo: bob@example.com\nSubject: Plan\n\nx\n");
        const QString work = WriteFile(Paths().Data.SmtpDir + QStringLiteral("/new_4.eml"), original);
        TLmviewFrm window(*ParseViewCommandLine({work, "0", "0", "EDIT"}));
        QVERIFY(window.LoadMessage());
        Show(window);
        window.SmtpPages->setCurrentIndex(1);
        QTest::keyClicks(window.SmtpCCEdt, QStringLiteral("dora@example.net,Proj Tem"));
        window.SmtpPages->setCurrentIndex(0);
        window.SendLaterItmClick();
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 80);
        QVERIFY2(shown.first().Text.contains(QLatin1String("'Proj Tem'")), qPrintable(shown.first().Text));
        QVERIFY(window.isVisible());
        QCOMPARE(window.SmtpPages->currentIndex(), 1);
        QFile file(work);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
        file.close();

        window.SmtpCCEdt->clear();
        QTest::keyClicks(window.SmtpCCEdt, QStringLiteral("dora@example.net, proj team"));
        SaveScreenshot(window, QStringLiteral("lmview-recipient-names"));
        window.SendLaterItmClick();
        QVERIFY(!window.isVisible());
        TqmMessage saved;
        saved.LoadFromFile(work);
        QCOMPARE(saved.CC.Count(), 3);
        QByteArrayList cc;
        for (qsizetype i = 0; i < saved.CC.Count(); ++i)
            cc.append(saved.CC.Items(i).Name + " <" + saved.CC.Items(i).Address + ">");
        QCOMPARE(cc, (QByteArrayList{" <dora@example.net>", "Ann <ann@example.org>", "Carl <carl@example.com>"}));
    }

    void phraseInserterHandsTheTextOver()
    {
        QVERIFY(WritePhrase(QStringLiteral("Signaturen"), QStringLiteral("Büro"), QStringLiteral("Jane Doe\nBüro 4")));
        QVERIFY(WritePhrase(QStringLiteral("Antworten"), QStringLiteral("Danke"), QStringLiteral("Vielen Dank!")));
        TPhrasesFrm phrases;
        QString inserted;
        phrases.InsertText = [&](const QString& text) { inserted = text; };
        Show(phrases);
        QCOMPARE(phrases.CategoryCmb->count(), 2);
        QCOMPARE(phrases.CategoryCmb->currentText(), QStringLiteral("Antworten"));
        SaveScreenshot(phrases, QStringLiteral("phrases"));
        phrases.InsertBtn->click();
        QCOMPARE(inserted, QStringLiteral("Vielen Dank!"));
        phrases.CategoryCmb->setCurrentIndex(1);
        phrases.InsertCloseBtn->click();
        QCOMPARE(inserted, QStringLiteral("Jane Doe\nBüro 4"));
        QVERIFY(!phrases.isVisible());
    }

    void printsToPdf()
    {
        ReportCapture reports;
        TqmMessage message;
        message.Subject = "Treffen";
        message.Sender.Address = "jane@example.org";
        message.Sender.Name = "Jane Doe";
        message.Recipients.AddAddress("bob@example.com", "");
        message.Headers.append("Date: Mon, 7 Dec 2026 09:05:00 +0100");
        QString text;
        for (int i = 1; i <= 120; ++i)
            text += QStringLiteral("Zeile %1 des Textes\n").arg(i);
        TPrintSettings settings;
        settings.Unit = TMeasureUnit::Inches;
        TPrintFrm print(message, text, settings, QStringLiteral("\"MS Sans Serif\", 8, [], [clWindowText]"));
        QCOMPARE(print.LeftEdt->text(), QStringLiteral("1.18"));
        Show(print);
        SaveScreenshot(print, QStringLiteral("print-preview"));
        const QString pdf = Paths().System.TempDir + QStringLiteral("/out.pdf");
        print.Printer().setOutputFormat(QPrinter::PdfFormat);
        print.Printer().setOutputFileName(pdf);
        WhenModal<QPrintDialog>([](QPrintDialog& dialog) { dialog.accept(); });
        QVERIFY(print.PrintBtnClick());
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(4) == "%PDF");
        QCOMPARE(print.PrintSettings().MarginLeft, 30.0);
        QVERIFY(print.BuildDocument()->toPlainText().startsWith(QStringLiteral("Treffen\nVon:\tjane@example.org <Jane Doe>")));
    }
};

QTEST_MAIN(TestLmviewFrm)
#include "tst_lmviewfrm.moc"

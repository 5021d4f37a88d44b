// The message window offscreen with forwarded and hard-to-read mail: a forwarded message opens in a
// window of its own whose attachments can be saved and which forwards on; an attachment the desktop
// has no program for offers to be saved; the source window shows and saves the stored bytes.

#include "DBAccountsFunctions.h"
#include "DBMailboxFunctions.h"
#include "Konstanten.h"
#include "Main.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "SingleInstance.h"
#include "SourceView.h"
#include "TestData.h"
#include "WindowMessages.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content);
    return path;
}

void Select(TLmviewFrm& window, int row)
{
    window.AttachLv->setCurrentRow(row);
    QVERIFY(window.AttachLv->item(row)->isSelected());
}

QStringList Captions(const QListWidget& list)
{
    QStringList captions;
    for (int i = 0; i < list.count(); ++i)
        captions.append(list.item(i)->text());
    return captions;
}

// The message windows open besides `known`.
QList<TLmviewFrm*> OtherMessageWindows(const QList<const QWidget*>& known)
{
    QList<TLmviewFrm*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<TLmviewFrm*>(widget);
        if (window && window->isVisible() && !known.contains(window))
            windows.append(window);
    }
    return windows;
}

// Latin-1 text without a declared charset and CR LF line ends, as stored in a folder.
const QByteArray EightBitMessage = "From: Ann <ann@example.com>\r\nSubject: K\xe4se\r\n\r\nK\xe4se und W\xfcrste\r\nzum Fr\xfchst\xfc" "ck\r\n";

} // namespace

class TestLmviewParts : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;
    QTemporaryDir m_target;
    std::unique_ptr<ScopedRegistry> m_registry;

private slots:
    void initTestCase()
    {
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir.filePath(QStringLiteral("modules/lmview")));
        SetLanguage(0);
        CreateDataDirectories();
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Bob";
        account.Standard = true;
        account.SmtpAddress = "bob@example.com";
        account.SmtpName = "Bob Miller";
        QVERIFY(WriteAccount(0, account) > 0);
    }

    void forwardedMessageOpensInItsOwnWindow()
    {
        ReportCapture reports;
        const QString file = Write(QDir(Paths().System.TempDir).filePath(QStringLiteral("fwd.eml")),
                                   ReadTestData(QStringLiteral("mime/forwarded-with-attachments.eml")));
        auto outer = std::make_unique<TLmviewFrm>(*ParseViewCommandLine({file}));
        bool warned = false;
        outer->Dialogs.ConfirmOpen = [&](const QString&, bool) { return warned = true; };
        QStringList handedToDesktop;
        outer->OpenFile = [&](const QString& path) {
            handedToDesktop.append(path);
            return true;
        };
        QVERIFY(outer->LoadMessage());
        outer->show();
        QVERIFY(QTest::qWaitForWindowExposed(outer.get()));
        QCOMPARE(Captions(*outer->AttachLv), (QStringList{"Nachricht.eml", "Nachricht 3.eml"}));

        Select(*outer, 0);
        outer->AttOpenItmClick();
        // Our own window, without the warning meant for programs of the desktop.
        QVERIFY(!warned);
        QVERIFY(handedToDesktop.isEmpty());
        const QList<TLmviewFrm*> opened = OtherMessageWindows({outer.get()});
        QCOMPARE(opened.size(), 1);
        QPointer<TLmviewFrm> inner = opened.first();
        QVERIFY(QTest::qWaitForWindowExposed(inner.data()));
        QCOMPARE(inner->SubjectLbl->text(), QStringLiteral("Fotos vom Ausflug"));
        QCOMPARE(inner->FromLbl->text(), QStringLiteral("Li Wei (li@example.cn)"));
        QVERIFY(inner->HeaderPanel->isVisible());
        QVERIFY(inner->BodyMem->isReadOnly());
        QCOMPARE(inner->BodyMem->toPlainText(), QStringLiteral("Two files for you."));
        QCOMPARE(Captions(*inner->AttachLv), (QStringList{"Teil 2.gif", "plan.pdf"}));
        QVERIFY(inner->AnswerPItm->isEnabled());
        QVERIFY(inner->ForwardPItm->isEnabled());
        SaveScreenshot(*inner, QStringLiteral("lmview-forwarded-inner"));

        // Its attachment is saved with the bytes and the name it came with.
        QString proposed;
        inner->Dialogs.AskSaveFile = [&](const QString&, const QString& name, const QString&) {
            proposed = name;
            return m_target.filePath(QStringLiteral("bild.gif"));
        };
        Select(*inner, 0);
        inner->AttSaveItmClick();
        QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("Teil 2.gif"));
        QCOMPARE(ReadAll(m_target.filePath(QStringLiteral("bild.gif"))), inner->Message().Attachments.Items(0).Data);
        QVERIFY(ReadAll(m_target.filePath(QStringLiteral("bild.gif"))).startsWith("GIF89a"));

        // The outer window may close first: the inner one keeps its own copy of the message.
        QVERIFY(outer->close());
        outer.reset();
        QVERIFY(inner);
        TInstanceServer mainWindow;
        QSignalSpy received(&mainWindow, &TInstanceServer::MessageReceived);
        QVERIFY(mainWindow.Listen(MainWindowTitle));
        inner->ForwardPItmClick();
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.first().first().toInt(), int(wmNewFromContact));
        QTRY_VERIFY(!inner);
        TqmMessage forward;
        forward.LoadFromFile(Paths().Data.ContactFile);
        QVERIFY(forward.Subject.contains("Fotos vom Ausflug"));
        bool gifKept = false;
        for (qsizetype i = 0; i < forward.Attachments.Count(); ++i) {
            const TqmAttItem& item = forward.Attachments.Items(i);
            gifKept |= item.GetFileName() == "Teil 2.gif" && item.ContentType == "image/gif" && item.Data.startsWith("GIF89a");
        }
        QVERIFY(gifKept);
        QVERIFY(reports.Take().isEmpty());
    }

    void attachmentWithoutProgramOffersSaving_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("saved") << true;
        QTest::newRow("declined") << false;
    }
    void attachmentWithoutProgramOffersSaving()
    {
        QFETCH(bool, save);
        ReportCapture reports;
        const QString file = Write(QDir(Paths().System.TempDir).filePath(QStringLiteral("text.eml")),
                                   ReadTestData(QStringLiteral("mime/text-without-charset.eml")));
        TLmviewFrm window(*ParseViewCommandLine({file}));
        QStringList asked;
        window.HasHandler = [&](const QString& type) {
            asked.append(type);
            return false;
        };
        QStringList opened;
        window.OpenFile = [&](const QString& path) {
            opened.append(path);
            return true;
        };
        QString question;
        window.Dialogs.Ask = [&](const QString& text, QMessageBox::StandardButtons) {
            question = text;
            return save ? QMessageBox::Yes : QMessageBox::No;
        };
        int saveDialogs = 0;
        const QString target = m_target.filePath(save ? QStringLiteral("saved.gif") : QStringLiteral("never.gif"));
        window.Dialogs.AskSaveFile = [&](const QString&, const QString&, const QString&) {
            ++saveDialogs;
            return target;
        };
        QVERIFY(window.LoadMessage());
        // The text without a charset is the body, the text of an unknown charset follows it.
        QCOMPARE(window.BodyMem->toPlainText(), QStringLiteral("Käse und Würste\n\nSchöne Grüße"));
        QCOMPARE(Captions(*window.AttachLv), (QStringList{"Teil 2.txt", "Teil 3.gif"}));
        Select(window, 1);
        window.AttOpenItmClick();
        QVERIFY(asked.contains(QStringLiteral("image/gif")));
        QVERIFY(opened.isEmpty());
        QVERIFY2(question.contains(QStringLiteral("„Teil 3.gif“")) && question.contains(QLatin1String("image/gif")),
                 qPrintable(question));
        QCOMPARE(saveDialogs, save ? 1 : 0);
        QCOMPARE(QFileInfo::exists(target), save);
        if (save)
            QCOMPARE(ReadAll(target), window.Message().Attachments.Items(1).Data);
        QVERIFY(reports.Take().isEmpty());
    }

    void sourceWindowShowsAndSavesTheStoredBytes()
    {
        ReportCapture reports;
        const TFolderFiles folder = FolderFilesOf(QDir(Paths().System.TempDir).filePath(QStringLiteral("Inbox.mbx")));
        QVERIFY(CreateEmptyMessageFile(folder.MessageFile));
        QVERIFY(AppendRawBytes(folder.MessageFile, QByteArray(FolderSeparator.data(), FolderSeparator.size()) + "A\r\n"));
        const std::optional<TMessageSpan> span =
            AppendRawBytes(folder.MessageFile, QByteArray(FolderSeparator.data(), FolderSeparator.size()) + EightBitMessage);
        QVERIFY(span);
        TLmviewFrm window(*ParseViewCommandLine(
            {folder.MessageFile, QString::number(span->Offset), QString::number(span->Length)}));
        QVERIFY(window.LoadMessage());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.BodyMem->toPlainText(), QStringLiteral("Käse und Würste\nzum Frühstück"));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F5);
        auto* source = window.findChild<TSourceFrm*>();
        QVERIFY(source);
        QVERIFY(QTest::qWaitForWindowExposed(source));
        QCOMPARE(source->Source(), EightBitMessage);
        QVERIFY(source->SourceMem->isReadOnly());
        QCOMPARE(source->SourceMem->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(source->SourceMem->toPlainText(),
                 QStringLiteral("From: Ann <ann@example.com>\nSubject: Käse\n\nKäse und Würste\nzum Frühstück\n"));

        source->FindEdt->setText(QStringLiteral("würste"));
        QVERIFY(source->FindNext());
        QCOMPARE(source->SourceMem->textCursor().selectedText(), QStringLiteral("Würste"));
        source->CaseChk->setChecked(true);
        QVERIFY(!source->FindNext());
        QVERIFY(source->FindStatusLbl->text().contains(QStringLiteral("„würste“")));
        SaveScreenshot(*source, QStringLiteral("lmview-source"));

        source->AskSaveFile = [&](const QString&, const QString&, const QString&) {
            return m_target.filePath(QStringLiteral("quelle.eml"));
        };
        source->SaveAsBtn->click();
        QCOMPARE(ReadAll(m_target.filePath(QStringLiteral("quelle.eml"))), EightBitMessage);
        QVERIFY(reports.Take().isEmpty());
    }
};

QTEST_MAIN(TestLmviewParts)
#include "tst_lmviewparts.moc"

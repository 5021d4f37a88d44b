// The message window offscreen with hostile messages: header fields holding markup show as text,
// attachments reach the disk only when opened, each into the window's own folder that goes with
// the window, the open warning names the file and its type, and a link whose text shows another
// host asks first.

#include "Alert.h"
#include "Konstanten.h"
#include "Main.h"
#include "ModalDialogs.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileDialog>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Crlf(const QByteArray& text)
{
    QByteArray lines = text;
    return lines.replace("\n", "\r\n");
}

const QByteArray HostileHeaders = Crlf(
    "From: \"<b>x</b>\" <a@b.example>\n"
    "To: <font color=red size=7>Konto gesperrt</font> <c@d.example>\n"
    "CC: \"<img src=/etc/passwd>\" <e@f.example>\n"
    "Subject: <img src=/dev/zero>\n"
    "\n"
    "Text\n");

const QByteArray ThreeAttachments = Crlf(
    "From: a@b.example\nSubject: Anh\u00e4nge\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
    "--b\nContent-Type: text/plain\n\nText\n"
    "--b\nContent-Type: text/plain; name=\"a.txt\"\nContent-Disposition: attachment; filename=\"a.txt\"\n\nerste\n"
    "--b\nContent-Type: text/plain; name=\"a.txt\"\nContent-Disposition: attachment; filename=\"a.txt\"\n\nzweite\n"
    "--b\nContent-Type: application/octet-stream\n"
    "Content-Disposition: attachment; filename*=utf-8''invoice%E2%80%AEfdp.desktop\n\n"
    "[Desktop Entry]\nType=Application\nExec=sh -c 'echo boom'\n"
    "--b--\n");

const QByteArray LinkPage = Crlf(
    "From: bank@bank.example\nSubject: Konto\nMIME-Version: 1.0\nContent-Type: text/html; charset=utf-8\n\n"
    "<p><a href=\"https://evil.example/login\">https://bank.example/</a></p>"
    "<p><a href=\"https://bank.example/hilfe\">Hilfe</a></p>\n");

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The per-window folders that exist in the private temporary directory.
QStringList WindowFolders()
{
    return QDir(Paths().System.TempDir).entryList({QStringLiteral("lmview-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

void Select(TLmviewFrm& window, int row)
{
    window.AttachLv->setCurrentRow(row);
    QVERIFY(window.AttachLv->item(row)->isSelected());
}

} // namespace

class TestLmviewSafety : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    static QString WriteMessage(const QString& name, const QByteArray& content)
    {
        const QString path = QDir(Paths().System.TempDir).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write(content);
        return path;
    }

private slots:
    void initTestCase()
    {
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir.filePath(QStringLiteral("modules/lmview")));
        SetLanguage(0);
        CreateDataDirectories();
    }

    void headerMarkupShowsAsText()
    {
        ReportCapture reports;
        TLmviewFrm window(*ParseViewCommandLine({WriteMessage(QStringLiteral("hostile.eml"), HostileHeaders)}));
        QVERIFY(window.LoadMessage());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QLabel* label : {window.FromLbl, window.ToLbl, window.CCLbl, window.SubjectLbl, window.DateLbl})
            QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(window.SubjectLbl->text(), QStringLiteral("<img src=/dev/zero>"));
        QVERIFY(window.FromLbl->text().contains(QLatin1String("x</b>")));
        QVERIFY(window.ToLbl->text().contains(QLatin1String("Konto gesperrt</font>")));
        // As rich text the image would stretch the label; as text it is one line.
        QVERIFY(window.SubjectLbl->sizeHint().height() < 3 * window.SubjectLbl->fontMetrics().height());
        SaveScreenshot(window, QStringLiteral("lmview-hostile-headers"));
    }

    void attachmentsAreWrittenOnlyOnOpenIntoTheWindowsFolder()
    {
        ReportCapture reports;
        QVERIFY(WindowFolders().isEmpty());
        auto window = std::make_unique<TLmviewFrm>(*ParseViewCommandLine({WriteMessage(QStringLiteral("three.eml"), ThreeAttachments)}));
        window->Settings.Warnings.LVExecuteAttachment = false;
        QStringList opened;
        window->OpenFile = [&](const QString& path) {
            opened.append(path);
            return true;
        };
        QList<std::pair<QString, bool>> warnings;
        window->Dialogs.ConfirmOpen = [&](const QString& text, bool offerCheckBox) {
            warnings.append({text, offerCheckBox});
            return true;
        };
        QVERIFY(window->LoadMessage());
        QCOMPARE(window->AttachLv->count(), 3);
        QCOMPARE(window->AttachLv->item(2)->text(), QStringLiteral("invoicefdp.desktop"));
        QVERIFY(WindowFolders().isEmpty());
        QVERIFY(QDir(Paths().System.WorkDir).isEmpty());

        Select(*window, 0);
        window->AttOpenItmClick();
        Select(*window, 1);
        window->AttOpenItmClick();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened.at(0) != opened.at(1));
        QCOMPARE(QFileInfo(opened.at(1)).fileName(), QStringLiteral("a.txt"));
        QCOMPARE(ReadAll(opened.at(0)), QByteArray("erste"));
        QCOMPARE(ReadAll(opened.at(1)), QByteArray("zweite"));
        // A text file with the warnings switched off opens without a question.
        QVERIFY(warnings.isEmpty());

        Select(*window, 2);
        window->AttOpenItmClick();
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.first().first.contains(QStringLiteral("„invoicefdp.desktop“")));
        QVERIFY(warnings.first().first.contains(QLatin1String("application/x-desktop")));
        QVERIFY(warnings.first().first.contains(MessageText(32)));
        QVERIFY(!warnings.first().second);
        QCOMPARE(QFileInfo(opened.last()).fileName(), QStringLiteral("invoicefdp.desktop"));

        const QStringList folders = WindowFolders();
        QCOMPARE(folders.size(), 1);
        const QString folder = QDir(Paths().System.TempDir).filePath(folders.first());
        QCOMPARE(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        for (const QString& path : opened)
            QVERIFY(path.startsWith(folder + QLatin1Char('/')));
        QVERIFY(window->close());
        QVERIFY(!QFileInfo::exists(folder));
        window.reset();
        QVERIFY(WindowFolders().isEmpty());
    }

    void savingWritesOnlyTheChosenFile()
    {
        ReportCapture reports;
        QTemporaryDir target;
        TLmviewFrm window(*ParseViewCommandLine({WriteMessage(QStringLiteral("save.eml"), ThreeAttachments)}));
        window.Settings.ViewAttachmentDir = target.path();
        QVERIFY(window.LoadMessage());
        QString proposed;
        WhenModal<QFileDialog>([&](QFileDialog& dialog) {
            proposed = dialog.selectedFiles().value(0);
            dialog.selectFile(target.filePath(QStringLiteral("kopie.desktop")));
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        Select(window, 2);
        window.AttSaveItmClick();
        QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("invoicefdp.desktop"));
        QVERIFY(ReadAll(target.filePath(QStringLiteral("kopie.desktop"))).startsWith("[Desktop Entry]"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList{QStringLiteral("kopie.desktop")});
        QVERIFY(WindowFolders().isEmpty());
    }

    void openWarningNamesTheFile()
    {
        ReportCapture reports;
        TLmviewFrm window(*ParseViewCommandLine({WriteMessage(QStringLiteral("warn.eml"), ThreeAttachments)}));
        window.Settings.Warnings.LVExecuteAttachment = true;
        QStringList opened;
        window.OpenFile = [&](const QString& path) {
            opened.append(path);
            return true;
        };
        QVERIFY(window.LoadMessage());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString shown;
        bool checkBoxOffered = true;
        WhenModal<TAlertFrm>([&](TAlertFrm& alert) {
            shown = alert.MessageLbl->text();
            checkBoxOffered = alert.DontShowChk->isVisible();
            SaveScreenshot(alert, QStringLiteral("lmview-open-warning"));
            alert.NoBtn->click();
        });
        Select(window, 2);
        window.AttOpenItmClick();
        QVERIFY(shown.startsWith(QStringLiteral("Anhang: „invoicefdp.desktop“\nTyp: ")));
        QVERIFY(!checkBoxOffered);
        QVERIFY(opened.isEmpty());
        QVERIFY(WindowFolders().isEmpty());
        QVERIFY(window.close());
    }

    void linkShowingAnotherHostAsks()
    {
        ReportCapture reports;
        TLmviewFrm window(*ParseViewCommandLine({WriteMessage(QStringLiteral("link.eml"), LinkPage)}));
        window.Settings.Display.HtmlViewing = true;
        QList<QUrl> opened;
        window.OpenUrl = [&](const QUrl& url) { opened.append(url); };
        QStringList asked;
        QMessageBox::StandardButton answer = QMessageBox::No;
        window.Dialogs.Ask = [&](const QString& text, QMessageBox::StandardButtons) {
            asked.append(text);
            return answer;
        };
        QVERIFY(window.LoadMessage());
        QVERIFY(window.HtmlPanel->isVisibleTo(&window));
        const QUrl misleading(QStringLiteral("https://evil.example/login"));
        emit window.Html->anchorClicked(misleading);
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().contains(QStringLiteral("„bank.example“")));
        QVERIFY(asked.first().contains(QStringLiteral("„evil.example“")));
        QVERIFY(opened.isEmpty());
        answer = QMessageBox::Yes;
        emit window.Html->anchorClicked(misleading);
        QCOMPARE(opened, QList<QUrl>{misleading});
        emit window.Html->anchorClicked(QUrl(QStringLiteral("https://bank.example/hilfe")));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(opened.size(), 2);
    }
};

QTEST_MAIN(TestLmviewSafety)
#include "tst_lmviewsafety.moc"

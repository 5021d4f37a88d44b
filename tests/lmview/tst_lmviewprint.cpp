// Printing in the message window offscreen, as a user without a printer does it: the system print
// dialog printing to a PDF file, "Als PDF speichern..." through the German or English save dialog,
// the page set-up whose margins reach the paper, and failures that say why. What came out is read
// back with poppler's pdftotext and pdfinfo.

#include "Konstanten.h"
#include "Main.h"
#include "ModalDialogs.h"
#include "PageSetup.h"
#include "Print.h"
#include "PrintCommands.h"
#include "PrintFunctions.h"
#include "ProgramStart.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "tk_langlib.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

namespace {

QByteArray Crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QString Tool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString PdfText(const QString& pdf)
{
    return Tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

int PdfPages(const QString& pdf)
{
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(Tool(QStringLiteral("pdfinfo"), {pdf}));
    return pages.hasMatch() ? pages.captured(1).toInt() : 0;
}

// Where the first word of the first page starts, in points from the left paper edge.
double FirstWordLeft(const QString& pdf)
{
    const QRegularExpressionMatch word = QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\""))
                                             .match(Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    return word.hasMatch() ? word.captured(1).toDouble() : -1;
}

QStringList ButtonTexts(const QDialogButtonBox& box)
{
    QStringList texts;
    for (QAbstractButton* button : box.buttons())
        texts.append(button->text().remove(QLatin1Char('&')));
    return texts;
}

void FillSample(TqmMessage& message)
{
    message.Subject = "Quartalsbericht: Zahlen/Fakten";
    message.Sender.Address = "jane@example.org";
    message.Sender.Name = "Jane Doe";
    message.Recipients.AddAddress("bob@example.com", "");
    message.Headers.append("Date: Mon, 7 Dec 2026 09:05:00 +0100");
}

QString SampleText(int lines)
{
    QString text;
    for (int i = 1; i <= lines; ++i)
        text += QStringLiteral("Zeile %1 des Berichts\n").arg(i);
    return text;
}

constexpr auto DefaultFont = "\"DejaVu Sans\", 10, [], [clWindowText]";

} // namespace

class TestLmviewPrint : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;
    QTemporaryDir m_out;
    std::unique_ptr<ScopedRegistry> m_registry;

    static void UseLanguage(int language)
    {
        SetLanguage(language);
        QVERIFY(ApplyProgramLanguage(*QCoreApplication::instance()));
    }

private slots:
    void initTestCase()
    {
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir.filePath(QStringLiteral("modules/lmview")));
        CreateDataDirectories();
        QVERIFY(QDir().mkpath(Paths().System.WorkDir));
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(), "poppler-utils is not installed");
    }

    void cleanup() { UseLanguage(0); }

    // The preview's "Drucken..." opens the system print dialog; its "Print to File (PDF)" entry
    // writes what the preview shows: the header block on page one, every line, numbered pages.
    void printDialogWritesThePages_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("toFile");
        QTest::addColumn<QString>("footer");
        QTest::newRow("de, one page") << 0 << 5 << "In PDF-Datei drucken" << "Seite %1 von %1";
        QTest::newRow("de, long message") << 0 << 300 << "In PDF-Datei drucken" << "Seite %1 von %1";
        QTest::newRow("en, long message") << 2 << 300 << "Print to File (PDF)" << "Page %1 of %1";
    }
    void printDialogWritesThePages()
    {
        QFETCH(int, language);
        QFETCH(int, lines);
        QFETCH(QString, toFile);
        QFETCH(QString, footer);
        UseLanguage(language);
        ReportCapture reports;
        TqmMessage message;
        FillSample(message);
        TPrintFrm print(message, SampleText(lines), TPrintSettings(), QString::fromLatin1(DefaultFont));
        print.show();
        QVERIFY(QTest::qWaitForWindowExposed(&print));
        SaveScreenshot(print, QStringLiteral("print-preview-%1").arg(language == 0 ? "de" : "en"));
        const QString pdf = m_out.filePath(QStringLiteral("printed-%1-%2.pdf").arg(language).arg(lines));
        print.Printer().setOutputFormat(QPrinter::PdfFormat);
        print.Printer().setOutputFileName(pdf);
        QStringList printers;
        WhenModal<QPrintDialog>([&](QPrintDialog& dialog) {
            if (auto* list = dialog.findChild<QComboBox*>(QStringLiteral("printers")))
                for (int i = 0; i < list->count(); ++i)
                    printers.append(list->itemText(i));
            SaveScreenshot(dialog, QStringLiteral("print-dialog-%1").arg(language == 0 ? "de" : "en"));
            dialog.accept();
        });
        QVERIFY(print.PrintBtnClick());
        QVERIFY2(printers.contains(toFile), qPrintable(printers.join(QLatin1Char('|'))));

        const int pages = PdfPages(pdf);
        QVERIFY(lines < 50 ? pages == 1 : pages >= 4);
        const QString text = PdfText(pdf);
        const QStringList pageTexts = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pageTexts.size(), pages);
        QVERIFY(pageTexts.first().contains(QStringLiteral("Quartalsbericht: Zahlen/Fakten")));
        QVERIFY(pageTexts.first().contains(QStringLiteral("jane@example.org <Jane Doe>")));
        // The values stand beside their captions, in one column.
        const QRegularExpression fromLine(QStringLiteral("\\n( *)(Von|From):( +)jane@example.org"));
        const QRegularExpression toLine(QStringLiteral("\\n( *)(An|To):( +)bob@example.com"));
        const QRegularExpressionMatch from = fromLine.match(pageTexts.first());
        const QRegularExpressionMatch to = toLine.match(pageTexts.first());
        QVERIFY2(from.hasMatch() && to.hasMatch(), qPrintable(pageTexts.first().left(400)));
        QCOMPARE(from.capturedStart(3) + from.capturedLength(3) - from.capturedStart(0),
                 to.capturedStart(3) + to.capturedLength(3) - to.capturedStart(0));
        QVERIFY(!pageTexts.last().contains(QStringLiteral("jane@example.org")) || pages == 1);
        QVERIFY(text.contains(QStringLiteral("Zeile 1 des Berichts")));
        QVERIFY(pageTexts.last().contains(QStringLiteral("Zeile %1 des Berichts").arg(lines)));
        QVERIFY(pageTexts.last().contains(footer.arg(pages)));
        // No line is lost or printed twice at the page ends.
        QCOMPARE(text.count(QStringLiteral(" des Berichts")), lines);
    }

    // "Als PDF speichern..." of the message window: the save dialog in the user's language proposes
    // the subject as the file name.
    void saveAsPdfFromTheMessageWindow_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("de") << 0 << "Als PDF speichern" << QStringList{"Speichern", "Abbrechen"};
        QTest::newRow("en") << 2 << "Save as PDF" << QStringList{"Save", "Cancel"};
    }
    void saveAsPdfFromTheMessageWindow()
    {
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(QStringList, buttons);
        UseLanguage(language);
        ReportCapture reports;
        QFile eml(m_out.filePath(QStringLiteral("treffen.eml")));
        QVERIFY(eml.open(QIODevice::WriteOnly));
        eml.write(Crlf("From: Jane Doe <jane@example.org>\nTo: bob@example.com\nSubject: Treffen am Montag\n"
                       "Date: Mon, 7 Dec 2026 09:05:00 +0100\n\nHallo Bob,\nbis Montag.\n"));
        eml.close();
        TLmviewFrm window(*ParseViewCommandLine({eml.fileName()}));
        QVERIFY(window.LoadMessage());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.PdfItm->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));

        const QString target = m_out.filePath(QStringLiteral("saved-%1/Treffen am Montag.pdf").arg(language));
        QVERIFY(QDir().mkpath(QFileInfo(target).absolutePath()));
        QString proposed;
        QString shownTitle;
        QStringList shownButtons;
        WhenModal<QFileDialog>([&](QFileDialog& dialog) {
            shownTitle = dialog.windowTitle();
            if (auto* box = dialog.findChild<QDialogButtonBox*>())
                shownButtons = ButtonTexts(*box);
            if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                proposed = name->text();
            SaveScreenshot(dialog, QStringLiteral("save-pdf-dialog-%1").arg(language == 0 ? "de" : "en"));
            dialog.setDirectory(QFileInfo(target).absolutePath());
            dialog.selectFile(QFileInfo(target).fileName());
            static_cast<QDialog&>(dialog).accept();
        });
        window.PdfItm->trigger();
        QCOMPARE(shownTitle, title);
        QCOMPARE(shownButtons, buttons);
        QCOMPARE(proposed, QStringLiteral("Treffen am Montag.pdf"));
        QVERIFY(QFile::exists(target));
        const QString text = PdfText(target);
        QVERIFY(text.contains(QStringLiteral("Treffen am Montag")));
        QVERIFY(text.contains(QStringLiteral("Hallo Bob,")));
        QVERIFY(text.contains(QStringLiteral("bis Montag.")));
        window.close();
    }

    void proposedFileNames_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Treffen" << "Treffen.pdf";
        QTest::newRow("slashes and colons") << "Re: Plan 1/2" << "Re_ Plan 1_2.pdf";
        QTest::newRow("hidden file") << "..profile" << "profile.pdf";
        QTest::newRow("control characters") << QStringLiteral("A\tB\x01") << "A B_.pdf";
        QTest::newRow("empty") << "" << "Nachricht.pdf";
        QTest::newRow("only refused characters") << "???" << "___.pdf";
    }
    void proposedFileNames()
    {
        QFETCH(QString, subject);
        QFETCH(QString, name);
        QCOMPARE(PdfFileName(subject), name);
    }

    // The page set-up's margins and paper go into the preview's settings and onto the paper, and
    // survive the next rebuild of the pages.
    void pageSetupKeepsItsMargins()
    {
        ReportCapture reports;
        TqmMessage message;
        FillSample(message);
        TPrintFrm print(message, SampleText(3), TPrintSettings(), QString::fromLatin1(DefaultFont));
        print.show();
        QVERIFY(QTest::qWaitForWindowExposed(&print));
        WhenModal<TPageSetupFrm>([](TPageSetupFrm& setup) {
            setup.LeftEdt->setText(QStringLiteral("45"));
            setup.OrientationCmb->setCurrentIndex(1);
            SaveScreenshot(setup, QStringLiteral("page-setup-de"));
            setup.Buttons->button(QDialogButtonBox::Ok)->click();
        });
        print.PrinterBtnClick();
        QCOMPARE(print.LeftEdt->text(), QStringLiteral("45,0"));
        print.PageControl->setCurrentIndex(1);
        print.PageControl->setCurrentIndex(0);
        QCOMPARE(print.LeftEdt->text(), QStringLiteral("45,0"));
        QCOMPARE(print.Printer().pageLayout().margins(QPageLayout::Millimeter).left(), 45.0);
        QCOMPARE(print.Printer().pageLayout().orientation(), QPageLayout::Landscape);

        const QString pdf = m_out.filePath(QStringLiteral("margins.pdf"));
        print.Printer().setOutputFormat(QPrinter::PdfFormat);
        print.Printer().setOutputFileName(pdf);
        WhenModal<QPrintDialog>([](QPrintDialog& dialog) { dialog.accept(); });
        QVERIFY(print.PrintBtnClick());
        QCOMPARE(print.PrintSettings().MarginLeft, 45.0);
        const double left = FirstWordLeft(pdf);
        QVERIFY2(qAbs(left - 45 / MillimetresPerInch * 72) < 3, qPrintable(QString::number(left)));
        const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)"))
                                                 .match(Tool(QStringLiteral("pdfinfo"), {pdf}));
        QVERIFY(size.hasMatch());
        QVERIFY(size.captured(1).toDouble() > size.captured(2).toDouble());
    }

    // Nothing written and nothing lost: the reason is told, and an existing file stays as it was.
    void failedWritesSayWhy()
    {
        ReportCapture reports;
        TqmMessage message;
        FillSample(message);
        const auto document = BuildPrintDocument(message, SampleText(3), QFont());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString missing = m_out.filePath(QStringLiteral("no such folder/x.pdf"));
        printer.setOutputFileName(missing);
        QVERIFY(!PrintDocument(printer, *document));
        const QList<TUserMessage> told = reports.Take();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().Text.contains(missing) && told.first().Text.contains(QStringLiteral(": ")),
                 qPrintable(told.first().Text));
        QVERIFY(!QFile::exists(missing));
    }
};

QTEST_MAIN(TestLmviewPrint)
#include "tst_lmviewprint.moc"

#include "PrintCommands.h"

#include "FontText.h"
#include "PrintFunctions.h"
#include "Reporter.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QTextDocument>

namespace {

constexpr int MsgSavePdfTitle = 281;
constexpr int MsgPdfFilter = 282;
constexpr int MsgPrinterRefused = 284;
constexpr int MsgWriteFailed = 285;
const QString ReplacedFont = QStringLiteral("MS Sans Serif");

QString DocumentTitle(const QTextDocument& document)
{
    return document.metaInformation(QTextDocument::DocumentTitle);
}

// Where the save dialog opens: where the last PDF went in this window, else the documents folder.
QString& PdfDirectory()
{
    static QString directory = [] {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QDir(documents).exists() ? documents : QDir::homePath();
    }();
    return directory;
}

bool ReportWriteFailure(const QString& failure)
{
    if (failure.isEmpty())
        return true;
    ReportText(MsgWriteFailed, TMessageKind::Warning, failure);
    return false;
}

} // namespace

QFont PrintFont(const QString& mailFont)
{
    TFontSpec spec;
    TextToFont(mailFont, spec);
    if (spec.Font.family() == ReplacedFont)
        return QFont(QStringLiteral("Arial"), 9);
    return spec.Font;
}

QPageLayout PrintPageLayout(const QPageLayout& paper, const TPrintSettings& settings)
{
    QPageLayout layout = paper;
    layout.setUnits(QPageLayout::Millimeter);
    layout.setMinimumMargins(QMarginsF());
    layout.setMargins(QMarginsF(settings.MarginLeft, settings.MarginTop, settings.MarginRight, settings.MarginBottom));
    return layout;
}

bool PrintWithDialog(QWidget* parent, QPrinter& printer, const QTextDocument& document,
                     const TPrintSettings& settings)
{
    // The dialog proposes the document name as the PDF file name.
    printer.setDocName(PdfFileName(DocumentTitle(document)).chopped(4));
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // The dialog may have chosen another printer or paper; the margins stay the ones the user set.
    printer.setPageMargins(QMarginsF(settings.MarginLeft, settings.MarginTop, settings.MarginRight, settings.MarginBottom),
                           QPageLayout::Millimeter);
    return PrintDocument(printer, document);
}

bool PrintDocument(QPrinter& printer, const QTextDocument& document)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return ReportWriteFailure(WritePdfFile(document, printer.pageLayout(), DocumentTitle(document), printer.outputFileName()));
    if (printer.isValid() && PaintPages(document, printer) > 0 && printer.printerState() != QPrinter::Error)
        return true;
    Report(MsgPrinterRefused, TMessageKind::Warning, printer.printerName());
    return false;
}

bool SavePdfWithDialog(QWidget* parent, const QTextDocument& document, const QPageLayout& layout,
                       const QString& subject)
{
    QFileDialog dialog(parent, MessageText(MsgSavePdfTitle), PdfDirectory(), MessageText(MsgPdfFilter));
    dialog.setObjectName(QStringLiteral("SavePdfDlg"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix before it asks about replacing a file of that name.
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(PdfFileName(subject));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().constFirst();
    PdfDirectory() = QFileInfo(path).absolutePath();
    return ReportWriteFailure(WritePdfFile(document, layout, DocumentTitle(document), path));
}

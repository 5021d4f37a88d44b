#pragma once
// The message on paper: the header block above the message text, the margins in the unit the
// dialog shows, and the pages laid out, painted with their page numbers and written as PDF. The
// preview, the printer and the PDF file get the same pages from the same functions.

#include "ViewSettings.h"

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>

#include <memory>

class QPageLayout;
class QPagedPaintDevice;
class QTextDocument;
class TqmMessage;

struct TPrintLine {
    QString Text;
    bool Bold = false;
    // 0: the output font's own size.
    int PointSize = 0;
    friend bool operator==(const TPrintLine&, const TPrintLine&) = default;
};

// The subject in bold at 12 points, then "Von:"/"From:", "An:"/"To:", "Datum:"/"Date:" each with a
// tab and the value (the Date field as stored), then an empty line.
QList<TPrintLine> PrintHeaderBlock(const TqmMessage& message);

inline constexpr double MillimetresPerInch = 25.4;
double MillimetresToUnit(double millimetres, TMeasureUnit unit);
double UnitToMillimetres(double value, TMeasureUnit unit);
// A margin as the dialog's edit field shows it.
QString MarginText(double millimetres, TMeasureUnit unit);
// The margin a field's text stands for, or `previous` when the text is no number.
double MarginFromText(const QString& text, TMeasureUnit unit, double previous);

// The standard margins: left 30, others 10 millimetres.
TPrintSettings StandardMargins(const TPrintSettings& settings);

// The header block, then one block per line of `text`, all in `font`.
std::unique_ptr<QTextDocument> BuildPrintDocument(const TqmMessage& message, const QString& text, const QFont& font);
// "Seite n von m" / "Page n of m".
QString PageFooterText(int page, int pageCount);
// Lays `document` out on the pages of `device`, inside the margins the device has, and paints
// them, each with its number in the footer; no line is cut at a page end. The number of pages,
// or 0 when the device could not be painted on (QPainter::begin or a new page failed).
int PaintPages(const QTextDocument& document, QPagedPaintDevice& device);
// The pages as a PDF document with `title`; empty when they could not be painted.
QByteArray PdfOfPages(const QTextDocument& document, const QPageLayout& layout, const QString& title);
// Writes the PDF to `path`, replacing an existing file only once the new one is complete. Empty
// on success, else the text that tells the user why it failed.
QString WritePdfFile(const QTextDocument& document, const QPageLayout& layout, const QString& title,
                     const QString& path);
// The file name proposed for the PDF of a message: the subject without the characters that file
// systems or file managers refuse, "Nachricht"/"Message" when nothing is left, and ".pdf".
QString PdfFileName(const QString& subject);

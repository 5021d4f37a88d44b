#include "PrintFunctions.h"

#include "AtomicFile.h"
#include "SharedFunctions.h"
#include "qmmsg.h"
#include "tk_langlib.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace {

constexpr int MsgFromCaption = 21;
constexpr int MsgToCaption = 22;
constexpr int MsgDateCaption = 23;
constexpr int MsgPageFooter = 280;
constexpr int MsgUntitled = 283;
constexpr int SubjectPointSize = 12;
// Wide enough for "Datum:" and "From:" in the usual fonts, so the values start in one column.
constexpr double TabStopMillimetres = 20;
constexpr double ScreenDpi = 96;
constexpr qsizetype MaxFileNameLength = 100;

TPrintLine Field(int captionId, const QString& value)
{
    return {MessageText(captionId) + QLatin1Char('\t') + value};
}

QString PrintedSender(const TqmMailAddress& sender)
{
    const QString address = QString::fromUtf8(sender.Address);
    if (sender.Name.isEmpty())
        return address;
    return address + QLatin1String(" <") + QString::fromUtf8(sender.Name) + QLatin1Char('>');
}

QString RecipientAddresses(const TqmAddressList& list)
{
    QStringList addresses;
    for (qsizetype i = 0; i < list.Count(); ++i)
        addresses.append(QString::fromUtf8(list.Items(i).Address));
    return addresses.join(QLatin1Char(','));
}

} // namespace

QList<TPrintLine> PrintHeaderBlock(const TqmMessage& message)
{
    return {
        {QString::fromUtf8(message.Subject), true, SubjectPointSize},
        Field(MsgFromCaption, PrintedSender(message.Sender)),
        Field(MsgToCaption, RecipientAddresses(message.Recipients)),
        Field(MsgDateCaption, QString::fromUtf8(message.Headers.GetFieldBody("Date"))),
        {},
    };
}

double MillimetresToUnit(double millimetres, TMeasureUnit unit)
{
    return unit == TMeasureUnit::Inches ? millimetres / MillimetresPerInch : millimetres;
}

double UnitToMillimetres(double value, TMeasureUnit unit)
{
    return unit == TMeasureUnit::Inches ? value * MillimetresPerInch : value;
}

QString MarginText(double millimetres, TMeasureUnit unit)
{
    const int decimals = unit == TMeasureUnit::Inches ? 2 : 1;
    return QLocale().toString(MillimetresToUnit(millimetres, unit), 'f', decimals);
}

double MarginFromText(const QString& text, TMeasureUnit unit, double previous)
{
    bool ok = false;
    double value = QLocale().toDouble(text, &ok);
    if (!ok)
        value = text.toDouble(&ok);
    if (!ok || value < 0)
        return previous;
    // An unchanged field keeps the stored value exactly, so that showing inches loses nothing.
    if (MarginText(previous, unit) == text)
        return previous;
    return UnitToMillimetres(value, unit);
}

TPrintSettings StandardMargins(const TPrintSettings& settings)
{
    TPrintSettings standard = settings;
    const TPrintSettings defaults;
    standard.Unit = TMeasureUnit::Millimetres;
    standard.MarginLeft = defaults.MarginLeft;
    standard.MarginTop = defaults.MarginTop;
    standard.MarginRight = defaults.MarginRight;
    standard.MarginBottom = defaults.MarginBottom;
    return standard;
}

std::unique_ptr<QTextDocument> BuildPrintDocument(const TqmMessage& message, const QString& text, const QFont& font)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    document->setDocumentMargin(0);
    document->setMetaInformation(QTextDocument::DocumentTitle, QString::fromUtf8(message.Subject));
    QTextCursor cursor(document.get());
    bool first = true;
    for (const TPrintLine& line : PrintHeaderBlock(message)) {
        if (!first)
            cursor.insertBlock();
        first = false;
        QTextCharFormat format;
        format.setFont(font);
        format.setFontWeight(line.Bold ? QFont::Bold : QFont::Normal);
        if (line.PointSize > 0)
            format.setFontPointSize(line.PointSize);
        cursor.insertText(line.Text, format);
    }
    QTextCharFormat body;
    body.setFont(font);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        cursor.insertBlock();
        cursor.insertText(line, body);
    }
    return document;
}

QString PageFooterText(int page, int pageCount)
{
    return FillInEach(MessageText(MsgPageFooter), {QString::number(page), QString::number(pageCount)});
}

int PaintPages(const QTextDocument& source, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    // A copy laid out for the device's resolution, so that the preview and the paper break the
    // lines and pages alike.
    const std::unique_ptr<QTextDocument> document(source.clone());
    document->documentLayout()->setPaintDevice(&device);
    QTextOption option = document->defaultTextOption();
    // Tab stops are given in the pixels of a 96 dpi screen; the layout scales them to the device.
    option.setTabStopDistance(TabStopMillimetres / MillimetresPerInch * ScreenDpi);
    document->setDefaultTextOption(option);

    const QFontMetricsF footer(source.defaultFont(), &device);
    const QSizeF area(device.width(), device.height());
    const QSizeF body(area.width(), area.height() - 2 * footer.height());
    document->setPageSize(body);
    const int pageCount = document->pageCount();
    for (int page = 0; page < pageCount; ++page) {
        if (page > 0 && !device.newPage())
            return 0;
        const QRectF shown(0, page * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(0, -shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        // The layout also draws lines that only touch the clip; a line moved to the next page
        // starts exactly at this page's end and would go into the page's text, unseen but found by
        // search and copy.
        context.clip = shown.adjusted(0, 0.5, 0, -0.5);
        document->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(source.defaultFont());
        painter.drawText(QRectF(0, area.height() - footer.height(), area.width(), footer.height()),
                         Qt::AlignRight | Qt::AlignVCenter, PageFooterText(page + 1, pageCount));
    }
    return painter.end() ? pageCount : 0;
}

QByteArray PdfOfPages(const QTextDocument& document, const QPageLayout& layout, const QString& title)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Lumaro Mail"));
        if (PaintPages(document, writer) == 0)
            return {};
    }
    return buffer.data();
}

QString WritePdfFile(const QTextDocument& document, const QPageLayout& layout, const QString& title,
                     const QString& path)
{
    const QByteArray pdf = PdfOfPages(document, layout, title);
    if (pdf.isEmpty())
        return WriteFailureText(path);
    TAtomicFile file(path);
    if (!file.Open() || !file.Write(pdf) || !file.Commit())
        return WriteFailureText(path, file.ErrorString());
    return {};
}

QString PdfFileName(const QString& subject)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name;
    for (const QChar c : subject.simplified())
        name += c.isPrint() && !refused.contains(c) ? c : QLatin1Char('_');
    // A leading dot would hide the file.
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    if (name.size() > MaxFileNameLength) {
        name.truncate(MaxFileNameLength);
        if (name.back().isHighSurrogate())
            name.chop(1);
    }
    name = name.trimmed();
    if (name.isEmpty())
        name = MessageText(MsgUntitled);
    return name + QLatin1String(".pdf");
}

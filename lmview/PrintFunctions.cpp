#include "PrintFunctions.h"

#include "qmmsg.h"
#include "tk_langlib.h"

#include <QLocale>

namespace {

constexpr int MsgFromCaption = 21;
constexpr int MsgToCaption = 22;
constexpr int MsgDateCaption = 23;
constexpr int SubjectPointSize = 12;

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

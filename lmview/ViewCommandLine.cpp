#include "ViewCommandLine.h"

namespace {

qint32 DecimalOrZero(const QStringList& arguments, int index)
{
    bool ok = false;
    const qint32 value = index < arguments.size() ? arguments.at(index).toInt(&ok) : 0;
    return ok ? value : 0;
}

} // namespace

std::optional<TViewCommandLine> ParseViewCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    TViewCommandLine line;
    line.MessageFile = arguments.first();
    line.Offset = DecimalOrZero(arguments, 1);
    line.Length = DecimalOrZero(arguments, 2);
    line.EditMode = arguments.size() > 3 && arguments.at(3) == QLatin1String("EDIT");
    line.SingleFile = !line.MessageFile.toUpper().endsWith(QLatin1String(".MBX"));
    return line;
}

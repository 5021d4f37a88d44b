#pragma once
// What the print dialog hands to the page printer: the header block above the message text and
// the margins in the unit the dialog shows.

#include "ViewSettings.h"

#include <QList>
#include <QString>

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

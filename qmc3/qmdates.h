#pragma once
// Mail dates: the Date field text and the suite's date-time value, time zones and their offsets.
// Parsing takes arbitrary bytes and never throws; an unreadable date gives 0 and an empty zone.

#include <QByteArray>
#include <QDateTime>

// Days since 30 December 1899 with the time of day as fraction. Before that day the whole part
// counts backwards while the fraction still counts forwards (-1.25 is 29 Dec 1899 06:00).
using TDateTime = double;

// Month names as read (upper case) and as written, day names as written, Sunday first.
extern const char* const MailMonthNamesUpper[12];
extern const char* const MailMonthNames[12];
extern const char* const MailDayNames[7];

// Wall-clock conversions: the date and time of a QDateTime are taken as they read in its own time
// spec; the result of DateTimeToQDateTime carries `spec`. An invalid QDateTime gives 0.
TDateTime QDateTimeToDateTime(const QDateTime& value);
QDateTime DateTimeToQDateTime(TDateTime value, Qt::TimeSpec spec = Qt::LocalTime);
TDateTime EncodeDateTime(QDate date, QTime time);

// Reads a Date field body such as "Sun, 7 Dec 2026 13:25:03 +0100 (CET)": `dateTime` gets the time
// as written (no zone applied), `zone` the upper-cased rest after the time. Returns false, with
// `dateTime` 0 and `zone` empty, when the text is no readable date.
bool MailDateToDateTime(const QByteArray& text, TDateTime& dateTime, QByteArray& zone);
// "Mon, 7 Dec 2026 09:05:00 +0100"; the zone text is appended as given. Empty for a value that
// is no date (not finite, or beyond the years QDate and the suite handle).
QByteArray DateTimeToMailDate(const QByteArray& zone, TDateTime dateTime);
// "+0100" for 60, "-0530" for -330.
QByteArray MakeTimeDifferential(int minutes);
// The zone of the local time now, as MakeTimeDifferential writes it; "GMT" when the system has no
// valid time zone.
QByteArray DefaultTimeZoneString();
// The zone in effect at `moment`, written by MakeTimeDifferential.
QByteArray TimeZoneStringAt(const QDateTime& moment);

// The first word of `zone` is a zone name or a numeric offset that TimeZone understands.
bool ValidTimeZone(const QByteArray& zone);
// Offset of the zone in the first word of `zone` from UTC as a day fraction, negative west of
// Greenwich; 0 for anything unreadable.
TDateTime TimeZone(const QByteArray& zone);
// The date of a Date field body converted to UTC; 0 when unreadable.
TDateTime MailDateToGMT(const QByteArray& text);
// The date of a Date field body as the wall clock of this system's time zone shows that moment,
// so that mail from other zones reads and sorts among local mail. A date without a zone the
// suite understands is taken as local already. 0 when unreadable.
TDateTime MailDateToLocal(const QByteArray& text);
// When a Received field body was written (RFC 5322, 3.6.7: the date after its last ";"), as
// MailDateToLocal gives it; 0 when it carries no readable date.
TDateTime ReceivedDateToLocal(const QByteArray& text);

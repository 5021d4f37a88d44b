#include "qmdates.h"

#include "qmutils.h"

#include <QTimeZone>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

const char* const MailMonthNamesUpper[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                             "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const MailMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const MailDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

namespace {

constexpr qint64 MillisecondsPerDay = 86'400'000;

QDate DateTimeBase()
{
    return QDate(1899, 12, 30);
}

// Seconds since the epoch of the years whose local time localtime_r gives here as Qt's does; dates
// outside them take Qt's own way.
constexpr qint64 FirstFastSecond = 0;
constexpr qint64 EndOfFastSeconds = 0x7fffffffLL;

// glibc looks at the zone file again only when tzset is called; Qt calls it before every conversion,
// which costs a file look-up per message of a folder rebuild. Once a second is enough to notice a
// changed zone.
void RefreshTimeZoneNowAndThen()
{
    static std::atomic<qint64> nextRefresh{std::numeric_limits<qint64>::min()};
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch()).count();
    if (now < nextRefresh.load(std::memory_order_relaxed))
        return;
    ::tzset();
    nextRefresh.store(now + 1000, std::memory_order_relaxed);
}

// The wall-clock time of this system's zone at the UTC moment `utc`, as QDateTime::toLocalTime shows
// it (the zone's offset added), read through localtime_r.
QDateTime LocalTimeOf(const QDateTime& utc)
{
    const qint64 seconds = utc.toSecsSinceEpoch();
    if (seconds < FirstFastSecond || seconds >= EndOfFastSeconds)
        return utc.toLocalTime();
    RefreshTimeZoneNowAndThen();
    const std::time_t moment = std::time_t(seconds);
    std::tm local{};
    if (!::localtime_r(&moment, &local))
        return utc.toLocalTime();
    return utc.addSecs(local.tm_gmtoff);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAllDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsDigit);
}

std::optional<int> ReadUnsigned(QByteArrayView text)
{
    if (!IsAllDigits(text) || text.size() > 9)
        return std::nullopt;
    return text.toInt();
}

// A whole number with an optional sign, such as "+0130"; nothing else, not even blanks.
std::optional<int> ReadSigned(QByteArrayView text)
{
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        const auto magnitude = ReadUnsigned(text.sliced(1));
        if (!magnitude)
            return std::nullopt;
        return text[0] == '-' ? -*magnitude : *magnitude;
    }
    return ReadUnsigned(text);
}

// The text up to the first of `separators` (or the end), and the rest after it.
QByteArray TakeWord(QByteArray& text, const char* separators)
{
    qsizetype end = 0;
    while (end < text.size() && !QByteArrayView(separators).contains(text[end]))
        ++end;
    QByteArray word = text.left(end);
    text = text.mid(end + 1).trimmed();
    return word;
}

void DropBeforeFirstDigit(QByteArray& text)
{
    const auto digit = std::find_if(text.cbegin(), text.cend(), IsDigit);
    text = text.mid(digit - text.cbegin()).trimmed();
}

// The month whose name appears earliest in the text; 0 for none.
int FindMonth(const QByteArray& text)
{
    int month = 0;
    qsizetype earliest = text.size();
    for (int index = 0; index < 12; ++index) {
        const qsizetype pos = text.indexOf(MailMonthNamesUpper[index]);
        if (pos >= 0 && pos < earliest) {
            earliest = pos;
            month = index + 1;
        }
    }
    return month;
}

int ExpandTwoDigitYear(int year)
{
    if (year > 50 && year < 100)
        return year + 1900;
    if (year <= 50)
        return year + 2000;
    return year;
}

// "hh:mm" or "hh:mm:ss".
QTime ReadTime(const QByteArray& text)
{
    const QByteArrayList parts = text.split(':');
    if (parts.size() < 2 || parts.size() > 3)
        return {};
    int values[3] = {0, 0, 0};
    for (qsizetype index = 0; index < parts.size(); ++index) {
        const auto value = ReadUnsigned(parts[index]);
        if (!value || parts[index].size() > 2)
            return {};
        values[index] = *value;
    }
    return QTime(values[0], values[1], values[2]);
}

void ChopTrailingComma(QByteArray& text)
{
    if (text.endsWith(','))
        text.chop(1);
}

// The digits of `text` from `pos` on, `count` of them exactly; -1 when any is missing.
int DigitsAt(QByteArrayView text, qsizetype pos, int count)
{
    if (pos + count > text.size())
        return -1;
    int value = 0;
    for (qsizetype at = pos; at < pos + count; ++at) {
        if (!IsDigit(text[at]))
            return -1;
        value = value * 10 + (text[at] - '0');
    }
    return value;
}

// The form mail programs write, "[Day, ]D[D] Mon YYYY HH:MM:SS[ zone]" with single blanks, read
// without copies: a folder rebuild reads one per message. Anything else (false) is left to the
// tolerant reading below, which gives the same result for this form.
bool ReadWrittenDate(const QByteArray& field, TDateTime& dateTime, QByteArray& zone)
{
    const QByteArrayView text = QByteArrayView(field).trimmed();
    if (text.contains('"'))
        return false;
    const auto first = std::find_if(text.begin(), text.end(), IsDigit);
    qsizetype at = first - text.begin();
    const qsizetype dayDigits = at + 1 < text.size() && IsDigit(text[at + 1]) ? 2 : 1;
    const int day = DigitsAt(text, at, int(dayDigits));
    at += dayDigits;
    if (day < 0 || at + 5 > text.size() || text[at] != ' ' || text[at + 4] != ' ')
        return false;
    const QByteArrayView monthName = text.sliced(at + 1, 3);
    const auto month = std::find_if(std::begin(MailMonthNamesUpper), std::end(MailMonthNamesUpper),
                                    [&](const char* name) { return monthName.compare(name, Qt::CaseInsensitive) == 0; });
    at += 5;
    const int year = DigitsAt(text, at, 4);
    const int hour = DigitsAt(text, at + 5, 2);
    const int minute = DigitsAt(text, at + 8, 2);
    const int second = DigitsAt(text, at + 11, 2);
    if (month == std::end(MailMonthNamesUpper) || year < 0 || hour < 0 || minute < 0 || second < 0 || text[at + 4] != ' '
        || text[at + 7] != ':' || text[at + 10] != ':')
        return false;
    at += 13;
    if (at < text.size() && text[at] != ' ')
        return false;
    const QDate date(ExpandTwoDigitYear(year), int(month - std::begin(MailMonthNamesUpper)) + 1, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || date.year() > 9999 || !time.isValid())
        return false;
    dateTime = EncodeDateTime(date, time);
    zone = text.sliced(at).trimmed().toByteArray().toUpper();
    return true;
}

QByteArray FirstWord(const QByteArray& zone)
{
    return PickString(zone.trimmed().toUpper(), 0, true);
}

bool IsLetterZone(const QByteArray& zone)
{
    return zone.size() == 1 && zone[0] >= 'A' && zone[0] <= 'Z' && zone[0] != 'J';
}

bool IsNorthAmericanZone(const QByteArray& zone)
{
    return zone.size() == 3 && QByteArrayView("CEMP").contains(zone[0]) && (zone[1] == 'D' || zone[1] == 'S')
        && zone[2] == 'T';
}

std::optional<int> NamedZoneHours(const QByteArray& zone)
{
    static const struct {
        const char* name;
        int hours;
    } zones[] = {{"UT", 0},   {"GMT", 0},  {"EST", -5}, {"EDT", -4}, {"CST", -6},
                 {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    for (const auto& entry : zones) {
        if (zone == entry.name)
            return entry.hours;
    }
    return std::nullopt;
}

// RFC 822 military zones, with the signs that RFC gives them.
int LetterZoneHours(char letter)
{
    if (letter == 'Z')
        return 0;
    if (letter >= 'A' && letter <= 'I')
        return -(letter - 'A' + 1);
    if (letter >= 'K' && letter <= 'M')
        return -(letter - 'K' + 10);
    return letter - 'N' + 1;
}

TDateTime HoursAndMinutes(int hours, int minutes)
{
    return hours / 24.0 + minutes / 1440.0;
}

} // namespace

TDateTime EncodeDateTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return 0;
    const double days = static_cast<double>(DateTimeBase().daysTo(date));
    const double fraction = time.msecsSinceStartOfDay() / static_cast<double>(MillisecondsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

TDateTime QDateTimeToDateTime(const QDateTime& value)
{
    return value.isValid() ? EncodeDateTime(value.date(), value.time()) : 0;
}

QDateTime DateTimeToQDateTime(TDateTime value, Qt::TimeSpec spec)
{
    if (!std::isfinite(value) || std::abs(value) > 3'000'000)
        return {};
    qint64 days = static_cast<qint64>(std::trunc(value));
    qint64 milliseconds = qRound64(std::abs(value - static_cast<double>(days)) * MillisecondsPerDay);
    if (milliseconds >= MillisecondsPerDay) {
        milliseconds -= MillisecondsPerDay;
        days += value < 0 ? -1 : 1;
    }
    return QDateTime(DateTimeBase().addDays(days), QTime::fromMSecsSinceStartOfDay(int(milliseconds)), spec);
}

bool MailDateToDateTime(const QByteArray& text, TDateTime& dateTime, QByteArray& zone)
{
    dateTime = 0;
    zone.clear();
    if (ReadWrittenDate(text, dateTime, zone))
        return true;
    QByteArray rest = TrimQuotes(text).toUpper();
    DropBeforeFirstDigit(rest);
    const auto day = ReadUnsigned(TakeWord(rest, " "));
    const int month = FindMonth(rest);
    if (!day || month == 0)
        return false;
    DropBeforeFirstDigit(rest);
    QByteArray yearText = TakeWord(rest, " ,");
    const auto year = ReadUnsigned(yearText);
    QByteArray timeText = TakeWord(rest, " ");
    ChopTrailingComma(timeText);
    if (!year)
        return false;
    const QDate date(ExpandTwoDigitYear(*year), month, *day);
    const QTime time = ReadTime(timeText);
    if (!date.isValid() || date.year() > 9999 || !time.isValid())
        return false;
    dateTime = EncodeDateTime(date, time);
    zone = rest;
    return true;
}

QByteArray DateTimeToMailDate(const QByteArray& zone, TDateTime dateTime)
{
    // UTC only to keep the wall clock as it is: local time would move hours inside a DST gap.
    const QDateTime value = DateTimeToQDateTime(dateTime, Qt::UTC);
    if (!value.isValid())
        return {};
    const QDate date = value.date();
    const QTime time = value.time();
    QByteArray text = MailDayNames[date.dayOfWeek() % 7];
    text += ", " + QByteArray::number(date.day()) + ' ' + MailMonthNames[date.month() - 1] + ' '
        + QByteArray::number(date.year()).rightJustified(4, '0') + ' '
        + time.toString(QStringLiteral("hh:mm:ss")).toLatin1();
    if (!zone.isEmpty())
        text += ' ' + zone;
    return text;
}

QByteArray MakeTimeDifferential(int minutes)
{
    const int magnitude = std::abs(minutes);
    return (minutes < 0 ? "-" : "+") + QByteArray::number(magnitude / 60).rightJustified(2, '0')
        + QByteArray::number(magnitude % 60).rightJustified(2, '0');
}

QByteArray TimeZoneStringAt(const QDateTime& moment)
{
    return MakeTimeDifferential(moment.offsetFromUtc() / 60);
}

QByteArray DefaultTimeZoneString()
{
    if (!QTimeZone::systemTimeZone().isValid())
        return QByteArrayLiteral("GMT");
    return TimeZoneStringAt(QDateTime::currentDateTime());
}

bool ValidTimeZone(const QByteArray& zone)
{
    const QByteArray name = FirstWord(zone);
    if (name == "GMT" || name == "UT" || IsNorthAmericanZone(name) || IsLetterZone(name))
        return true;
    return name.size() == 5 && ReadSigned(name).has_value();
}

TDateTime TimeZone(const QByteArray& zone)
{
    const QByteArray name = FirstWord(zone);
    if (const auto hours = NamedZoneHours(name))
        return HoursAndMinutes(*hours, 0);
    if (const auto number = ReadSigned(name))
        return HoursAndMinutes(*number / 100, *number % 100);
    if (IsLetterZone(name))
        return HoursAndMinutes(LetterZoneHours(name[0]), 0);
    return 0;
}

TDateTime MailDateToGMT(const QByteArray& text)
{
    TDateTime dateTime = 0;
    QByteArray zone;
    if (!MailDateToDateTime(text, dateTime, zone))
        return 0;
    return dateTime - TimeZone(zone);
}

TDateTime MailDateToLocal(const QByteArray& text)
{
    TDateTime dateTime = 0;
    QByteArray zone;
    if (!MailDateToDateTime(text, dateTime, zone))
        return 0;
    if (!ValidTimeZone(zone))
        return dateTime;
    const QDateTime utc = DateTimeToQDateTime(dateTime - TimeZone(zone), Qt::UTC);
    return utc.isValid() ? QDateTimeToDateTime(LocalTimeOf(utc)) : dateTime;
}

TDateTime ReceivedDateToLocal(const QByteArray& text)
{
    const qsizetype semicolon = text.lastIndexOf(';');
    return semicolon < 0 ? 0 : MailDateToLocal(text.mid(semicolon + 1));
}

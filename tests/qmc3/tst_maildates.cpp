#include "qmdates.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <ctime>

namespace {

QDateTime At(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// The process runs in `zone` while the object lives.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const QByteArray& zone) : m_previous(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_had)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    QByteArray m_previous;
    bool m_had;
};

int OffsetMinutes(TDateTime offset)
{
    return int(std::lround(offset * 1440));
}

} // namespace

class TestMailDates : public QObject {
    Q_OBJECT

private slots:
    void readDate_data();
    void readDate();
    void unreadableDate_data();
    void unreadableDate();
    void garbageNeverCrashes();
    void writeDate_data();
    void writeDate();
    void writeNoDate();
    void writeThenRead();
    void timeDifferential_data();
    void timeDifferential();
    void timeZoneOffset_data();
    void timeZoneOffset();
    void validTimeZone_data();
    void validTimeZone();
    void dateToGmt();
    void zoneStringOfSystemZones();
    void qDateTimeConversion_data();
    void qDateTimeConversion();
    void localTime_data();
    void localTime();
    void localTimeAgreesWithQt_data();
    void localTimeAgreesWithQt();
};

void TestMailDates::readDate_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("expected");
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("full") << QByteArray("Sun, 7 Dec 2026 13:25:03 +0100") << At(2026, 12, 7, 13, 25, 3)
                          << QByteArray("+0100");
    QTest::newRow("no weekday") << QByteArray("7 Dec 2026 13:25:03 -0530") << At(2026, 12, 7, 13, 25, 3)
                                << QByteArray("-0530");
    QTest::newRow("quoted, lower case") << QByteArray("\"mon, 07 dec 2026 09:05:00 est\"")
                                        << At(2026, 12, 7, 9, 5, 0) << QByteArray("EST");
    QTest::newRow("zone comment kept") << QByteArray("Tue, 8 Dec 2026 10:00:00 +0100 (CET)")
                                       << At(2026, 12, 8, 10, 0, 0) << QByteArray("+0100 (CET)");
    QTest::newRow("comma after year") << QByteArray("8 Dec 2026, 10:00:00 GMT") << At(2026, 12, 8, 10, 0, 0)
                                      << QByteArray("GMT");
    QTest::newRow("no seconds") << QByteArray("8 Dec 2026 10:07 GMT") << At(2026, 12, 8, 10, 7, 0)
                                << QByteArray("GMT");
    QTest::newRow("no zone") << QByteArray("8 Dec 2026 10:07:01") << At(2026, 12, 8, 10, 7, 1) << QByteArray();
    QTest::newRow("year 99") << QByteArray("1 Jan 99 00:00:00 GMT") << At(1999, 1, 1, 0, 0, 0) << QByteArray("GMT");
    QTest::newRow("year 51") << QByteArray("1 Jan 51 00:00:00 GMT") << At(1951, 1, 1, 0, 0, 0) << QByteArray("GMT");
    QTest::newRow("year 50") << QByteArray("1 Jan 50 00:00:00 GMT") << At(2050, 1, 1, 0, 0, 0) << QByteArray("GMT");
    QTest::newRow("year 03") << QByteArray("1 Jan 03 00:00:00 GMT") << At(2003, 1, 1, 0, 0, 0) << QByteArray("GMT");
    QTest::newRow("three-digit year stays") << QByteArray("1 Jan 126 12:00:00 GMT") << At(126, 1, 1, 12, 0, 0)
                                            << QByteArray("GMT");
    QTest::newRow("leap day") << QByteArray("29 Feb 2024 23:59:59 Z") << At(2024, 2, 29, 23, 59, 59)
                              << QByteArray("Z");
    QTest::newRow("written form, zone with comment")
        << QByteArray("Mon, 9 Mar 2026 10:00:00 +0100 (CET)") << At(2026, 3, 9, 10, 0, 0) << QByteArray("+0100 (CET)");
    QTest::newRow("written form, two-digit day, lower-case zone")
        << QByteArray("Mon, 09 Mar 2026 10:00:00 est") << At(2026, 3, 9, 10, 0, 0) << QByteArray("EST");
    QTest::newRow("written form, blanks around") << QByteArray("  9 MAR 2026 23:59:59  ") << At(2026, 3, 9, 23, 59, 59)
                                                 << QByteArray();
    QTest::newRow("written form, two blanks before the zone")
        << QByteArray("9 Mar 2026 10:00:00   GMT") << At(2026, 3, 9, 10, 0, 0) << QByteArray("GMT");
    QTest::newRow("day name without comma") << QByteArray("Mon 9 Mar 2026 10:00:00 +0100") << At(2026, 3, 9, 10, 0, 0)
                                            << QByteArray("+0100");
    QTest::newRow("before 1899") << QByteArray("1 Jan 1800 06:00:00 GMT") << At(1800, 1, 1, 6, 0, 0)
                                 << QByteArray("GMT");
}

void TestMailDates::readDate()
{
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, expected);
    QFETCH(QByteArray, zone);
    TDateTime dateTime = -1;
    QByteArray gotZone("stale");
    QVERIFY(MailDateToDateTime(text, dateTime, gotZone));
    QCOMPARE(DateTimeToQDateTime(dateTime), expected);
    QCOMPARE(gotZone, zone);
}

void TestMailDates::unreadableDate_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("words only") << QByteArray("yesterday evening");
    QTest::newRow("31 February") << QByteArray("31 Feb 2026 10:00:00 GMT");
    QTest::newRow("hour 25") << QByteArray("7 Dec 2026 25:00:00 GMT");
    QTest::newRow("minute 60") << QByteArray("7 Dec 2026 10:60:00 GMT");
    QTest::newRow("no month") << QByteArray("7 Foo 2026 10:00:00 GMT");
    QTest::newRow("no time") << QByteArray("7 Dec 2026");
    QTest::newRow("day only") << QByteArray("7");
    QTest::newRow("letters in time") << QByteArray("7 Dec 2026 1a:00:00 GMT");
    QTest::newRow("day zero") << QByteArray("0 Dec 2026 10:00:00 GMT");
    QTest::newRow("huge year") << QByteArray("7 Dec 99999999999 10:00:00 GMT");
    QTest::newRow("iso form") << QByteArray("2026-12-07T10:00:00Z");
}

void TestMailDates::unreadableDate()
{
    QFETCH(QByteArray, text);
    TDateTime dateTime = 42;
    QByteArray zone("stale");
    QVERIFY(!MailDateToDateTime(text, dateTime, zone));
    QCOMPARE(dateTime, 0.0);
    QVERIFY(zone.isEmpty());
    QCOMPARE(MailDateToGMT(text), 0.0);
}

void TestMailDates::garbageNeverCrashes()
{
    const QByteArray valid("Sun, 7 Dec 2026 13:25:03 +0100");
    QList<QByteArray> inputs;
    for (qsizetype length = 0; length <= valid.size(); ++length)
        inputs << valid.left(length) << valid.mid(length);
    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        QByteArray noise(random.bounded(40), Qt::Uninitialized);
        for (char& byte : noise)
            byte = char(random.bounded(256));
        inputs << noise;
        QByteArray mutated = valid;
        mutated[random.bounded(int(valid.size()))] = char(random.bounded(256));
        inputs << mutated;
    }
    for (const QByteArray& input : std::as_const(inputs)) {
        TDateTime dateTime = 0;
        QByteArray zone;
        if (!MailDateToDateTime(input, dateTime, zone)) {
            QCOMPARE(dateTime, 0.0);
            QVERIFY(zone.isEmpty());
        } else {
            QVERIFY(DateTimeToQDateTime(dateTime).isValid());
        }
        TimeZone(zone);
        ValidTimeZone(input);
    }
}

void TestMailDates::writeDate_data()
{
    QTest::addColumn<QDateTime>("value");
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("padded time, day without zero") << At(2026, 12, 7, 9, 5, 0) << QByteArray("+0100")
                                                   << QByteArray("Mon, 7 Dec 2026 09:05:00 +0100");
    QTest::newRow("sunday") << At(2026, 12, 6, 23, 59, 59) << QByteArray("GMT")
                            << QByteArray("Sun, 6 Dec 2026 23:59:59 GMT");
    QTest::newRow("saturday in May") << At(2026, 5, 30, 0, 0, 0) << QByteArray("-0530")
                                     << QByteArray("Sat, 30 May 2026 00:00:00 -0530");
    QTest::newRow("four-digit year") << At(999, 1, 1, 12, 0, 0) << QByteArray("GMT")
                                     << QByteArray("Tue, 1 Jan 0999 12:00:00 GMT");
    QTest::newRow("no zone") << At(2026, 12, 7, 9, 5, 0) << QByteArray() << QByteArray("Mon, 7 Dec 2026 09:05:00");
}

void TestMailDates::writeDate()
{
    QFETCH(QDateTime, value);
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, expected);
    QCOMPARE(DateTimeToMailDate(zone, QDateTimeToDateTime(value)), expected);
}

void TestMailDates::writeNoDate()
{
    QCOMPARE(DateTimeToMailDate(QByteArrayLiteral("GMT"), std::nan("")), QByteArray());
    QCOMPARE(DateTimeToMailDate(QByteArrayLiteral("GMT"), 1e300), QByteArray());
}

void TestMailDates::writeThenRead()
{
    const TDateTime written = QDateTimeToDateTime(At(2031, 7, 19, 17, 44, 12));
    TDateTime read = 0;
    QByteArray zone;
    QVERIFY(MailDateToDateTime(DateTimeToMailDate(QByteArrayLiteral("+0200"), written), read, zone));
    QCOMPARE(DateTimeToQDateTime(read), DateTimeToQDateTime(written));
    QCOMPARE(zone, QByteArray("+0200"));
}

void TestMailDates::timeDifferential_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("zero") << 0 << QByteArray("+0000");
    QTest::newRow("one hour") << 60 << QByteArray("+0100");
    QTest::newRow("india") << 330 << QByteArray("+0530");
    QTest::newRow("newfoundland") << -210 << QByteArray("-0330");
    QTest::newRow("west") << -330 << QByteArray("-0530");
    QTest::newRow("less than an hour west") << -30 << QByteArray("-0030");
}

void TestMailDates::timeDifferential()
{
    QFETCH(int, minutes);
    QFETCH(QByteArray, expected);
    QCOMPARE(MakeTimeDifferential(minutes), expected);
}

void TestMailDates::timeZoneOffset_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("minutes");
    QTest::newRow("GMT") << QByteArray("GMT") << 0;
    QTest::newRow("UT") << QByteArray("ut") << 0;
    QTest::newRow("EST") << QByteArray("EST") << -300;
    QTest::newRow("EDT") << QByteArray("EDT") << -240;
    QTest::newRow("CST") << QByteArray("CST") << -360;
    QTest::newRow("PDT") << QByteArray("PDT") << -420;
    QTest::newRow("+0100") << QByteArray("+0100") << 60;
    QTest::newRow("-0530") << QByteArray("-0530") << -330;
    QTest::newRow("+0130") << QByteArray("+0130") << 90;
    QTest::newRow("-0001") << QByteArray("-0001") << -1;
    QTest::newRow("numeric with comment") << QByteArray("+0100 (CET)") << 60;
    QTest::newRow("Z") << QByteArray("Z") << 0;
    QTest::newRow("A") << QByteArray("A") << -60;
    QTest::newRow("I") << QByteArray("I") << -540;
    QTest::newRow("K") << QByteArray("K") << -600;
    QTest::newRow("M") << QByteArray("m") << -720;
    QTest::newRow("N") << QByteArray("N") << 60;
    QTest::newRow("Y") << QByteArray("Y") << 720;
    QTest::newRow("J is no zone") << QByteArray("J") << 0;
    QTest::newRow("garbage") << QByteArray("XYZ") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("sign only") << QByteArray("+") << 0;
}

void TestMailDates::timeZoneOffset()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, minutes);
    QCOMPARE(OffsetMinutes(TimeZone(zone)), minutes);
}

void TestMailDates::validTimeZone_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<bool>("valid");
    QTest::newRow("GMT") << QByteArray("GMT") << true;
    QTest::newRow("UT") << QByteArray("UT") << true;
    QTest::newRow("EST") << QByteArray("EST") << true;
    QTest::newRow("MDT") << QByteArray("MDT") << true;
    QTest::newRow("XST") << QByteArray("XST") << false;
    QTest::newRow("ESX") << QByteArray("ESX") << false;
    QTest::newRow("A") << QByteArray("A") << true;
    QTest::newRow("Z") << QByteArray("Z") << true;
    QTest::newRow("J") << QByteArray("J") << false;
    QTest::newRow("+0100") << QByteArray("+0100") << true;
    QTest::newRow("-0001") << QByteArray("-0001") << true;
    QTest::newRow("with comment") << QByteArray("-0530 (IST)") << true;
    QTest::newRow("four digits") << QByteArray("+100") << false;
    QTest::newRow("letters") << QByteArray("+01a0") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("CET") << QByteArray("CET") << false;
}

void TestMailDates::validTimeZone()
{
    QFETCH(QByteArray, zone);
    QFETCH(bool, valid);
    QCOMPARE(ValidTimeZone(zone), valid);
}

void TestMailDates::dateToGmt()
{
    const TDateTime gmt = MailDateToGMT(QByteArrayLiteral("Sun, 7 Dec 2026 13:25:03 -0530"));
    QCOMPARE(DateTimeToQDateTime(gmt, Qt::UTC), QDateTime(QDate(2026, 12, 7), QTime(18, 55, 3), Qt::UTC));
    const TDateTime east = MailDateToGMT(QByteArrayLiteral("7 Dec 2026 00:30:00 +0100 (CET)"));
    QCOMPARE(DateTimeToQDateTime(east, Qt::UTC), QDateTime(QDate(2026, 12, 6), QTime(23, 30, 0), Qt::UTC));
}

void TestMailDates::zoneStringOfSystemZones()
{
    const QTimeZone india("Asia/Kolkata");
    const QTimeZone berlin("Europe/Berlin");
    if (!india.isValid() || !berlin.isValid())
        QSKIP("time zone data not installed");
    QCOMPARE(TimeZoneStringAt(QDateTime(QDate(2026, 7, 1), QTime(12, 0), india)), QByteArray("+0530"));
    QCOMPARE(TimeZoneStringAt(QDateTime(QDate(2026, 1, 1), QTime(12, 0), berlin)), QByteArray("+0100"));
    QCOMPARE(TimeZoneStringAt(QDateTime(QDate(2026, 7, 1), QTime(12, 0), berlin)), QByteArray("+0200"));
    const QByteArray current = DefaultTimeZoneString();
    QVERIFY2(current == "GMT" || ValidTimeZone(current), current.constData());
}

void TestMailDates::qDateTimeConversion_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("base day") << 0.0 << At(1899, 12, 30, 0, 0, 0);
    QTest::newRow("noon next day") << 1.5 << At(1899, 12, 31, 12, 0, 0);
    QTest::newRow("before base") << -1.25 << At(1899, 12, 29, 6, 0, 0);
    QTest::newRow("modern") << 46363.75 << At(2026, 12, 7, 18, 0, 0);
}

void TestMailDates::qDateTimeConversion()
{
    QFETCH(double, value);
    QFETCH(QDateTime, expected);
    QCOMPARE(DateTimeToQDateTime(value), expected);
    QCOMPARE(QDateTimeToDateTime(expected), value);
}

// Read in Berlin: winter is UTC+1, summer UTC+2.
void TestMailDates::localTime_data()
{
    QTest::addColumn<bool>("received");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("local");
    QTest::newRow("New York") << false << QByteArray("Tue, 8 Dec 2026 09:15:00 -0500") << At(2026, 12, 8, 15, 15, 0);
    QTest::newRow("Berlin itself") << false << QByteArray("Tue, 8 Dec 2026 14:00:00 +0100") << At(2026, 12, 8, 14, 0, 0);
    QTest::newRow("Tokyo, the day before here") << false << QByteArray("Wed, 9 Dec 2026 01:30:00 +0900")
                                                << At(2026, 12, 8, 17, 30, 0);
    QTest::newRow("named zone") << false << QByteArray("Tue, 8 Dec 2026 09:15:00 EST") << At(2026, 12, 8, 15, 15, 0);
    QTest::newRow("summer time here") << false << QByteArray("Mon, 6 Jul 2026 12:00:00 GMT") << At(2026, 7, 6, 14, 0, 0);
    QTest::newRow("no zone: taken as local") << false << QByteArray("8 Dec 2026 10:07:01") << At(2026, 12, 8, 10, 7, 1);
    QTest::newRow("unknown zone: taken as local") << false << QByteArray("8 Dec 2026 10:07:01 XYZW")
                                                  << At(2026, 12, 8, 10, 7, 1);
    QTest::newRow("unreadable") << false << QByteArray("next Tuesday") << QDateTime();
    QTest::newRow("Received") << true << QByteArray("from a.example by b.example; Tue, 8 Dec 2026 12:00:00 +0000")
                              << At(2026, 12, 8, 13, 0, 0);
    QTest::newRow("Received, semicolon in a comment")
        << true << QByteArray("from a (x; y) by b with ESMTP id 7;\r\n\tTue, 8 Dec 2026 12:00:00 +0000 (UTC)")
        << At(2026, 12, 8, 13, 0, 0);
    QTest::newRow("Received without date") << true << QByteArray("from a.example by b.example") << QDateTime();
}

void TestMailDates::localTime()
{
    QFETCH(bool, received);
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, local);
    const ScopedTimeZone berlin("Europe/Berlin");
    const TDateTime value = received ? ReceivedDateToLocal(text) : MailDateToLocal(text);
    QCOMPARE(value, local.isValid() ? QDateTimeToDateTime(local) : 0.0);
}

// Every half hour and a few seconds over the years around summer-time changes, and a zone whose
// clocks move by half an hour, as Qt's own conversion shows them; the zone changes between rows.
void TestMailDates::localTimeAgreesWithQt_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("year");
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Kolkata", "UTC"})
        for (int year : {1970, 1996, 2026, 2037})
            QTest::addRow("%s %d", zone, year) << QByteArray(zone) << year;
}

void TestMailDates::localTimeAgreesWithQt()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, year);
    if (!QTimeZone(zone).isValid())
        QSKIP("time zone data not installed");
    const ScopedTimeZone here(zone);
    const QDateTime first(QDate(year, 1, 1), QTime(0, 0, 7), Qt::UTC);
    constexpr int StepSeconds = 30 * 60 + 7;
    for (QDateTime utc = first; utc.date().year() == year; utc = utc.addSecs(StepSeconds)) {
        const QByteArray text = DateTimeToMailDate("+0000", QDateTimeToDateTime(utc));
        const TDateTime expected = QDateTimeToDateTime(utc.toLocalTime());
        if (MailDateToLocal(text) != expected)
            QFAIL(qPrintable(QStringLiteral("%1 in %2").arg(QString::fromLatin1(text), QString::fromLatin1(zone))));
    }
}

QTEST_GUILESS_MAIN(TestMailDates)
#include "tst_maildates.moc"

#include "CheckFile.h"

#include "AtomicFile.h"
#include "SharedFunctions.h"
#include "SpoolFunctions.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <algorithm>

#include <unistd.h>

namespace {

const QByteArray FormatMark("100");
const QByteArray LineEnd("\r\n");
constexpr char Separator = '|';

QString FourDigitYearFormat(QString format)
{
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

// Two-digit years come back from QLocale in the 1900s; take the century that puts the day
// nearest to today.
QDate NearestCentury(QDate day, const QDate& today)
{
    while (day.isValid() && day.daysTo(today) > 50 * 365)
        day = day.addYears(100);
    return day;
}

bool IsFormatMark(const QByteArray& line)
{
    return !line.contains(Separator);
}

// Years beyond this are taken as "never": the day would not survive the date arithmetic.
constexpr int MaxDeleteDays = 100 * 366;
constexpr int LockSliceMs = 100;

} // namespace

// The characters of a unique id (0x21-0x7E) that stay as they are in a key or a field; "|" and
// "%" are encoded.
const QByteArray UidlUnencoded("!\"#$&'()*+,-./:;<=>?@[\\]^_`{}~");

QByteArray TCheckLine::Text() const
{
    QByteArray text = MessageId + Separator + Date;
    if (!DeleteOn.isEmpty() || !PendingFile.isEmpty() || !Uidl.isEmpty())
        text += Separator + DeleteOn;
    if (!PendingFile.isEmpty() || !Uidl.isEmpty())
        text += Separator + PendingFile;
    if (!Uidl.isEmpty())
        text += Separator + Uidl.toPercentEncoding(UidlUnencoded);
    return text;
}

QString EscapeFileNamePart(const QString& text)
{
    QString escaped = text;
    const QString special = QStringLiteral("?:\\/*");
    for (int i = 0; i < special.size(); ++i)
        escaped.replace(special.at(i), QStringLiteral("$%1$").arg(i + 1));
    return escaped;
}

QString CheckFileName(const QString& folderDir, const QByteArray& host, const QByteArray& user)
{
    return folderDir + QLatin1Char('/') + EscapeFileNamePart(QString::fromUtf8(host)) + QLatin1String(" - ")
        + EscapeFileNamePart(QString::fromUtf8(user)) + QLatin1String(".chk");
}

TCheckList ParseCheckFile(const QByteArray& content)
{
    QByteArrayList lines = content.split('\n');
    if (!lines.isEmpty() && IsFormatMark(lines.first().trimmed()))
        lines.removeFirst();
    TCheckList result;
    result.reserve(lines.size());
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArrayList fields = line.split(Separator);
        if (fields.size() < 2)
            continue;
        result.append({fields.at(0), fields.at(1), fields.value(2), fields.value(3), QByteArray::fromPercentEncoding(fields.value(4))});
    }
    return result;
}

TCheckList ReadCheckFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseCheckFile(file.readAll());
}

TSettledLines SettlePendingLines(TCheckList lines, const QString& spoolDir)
{
    TSettledLines settled;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        TCheckLine& line = lines[i];
        if (line.PendingFile.isEmpty())
            continue;
        settled.Changed = true;
        const QString unfinished = spoolDir + QLatin1Char('/') + QFile::decodeName(line.PendingFile);
        const bool neverFinished = !line.PendingFile.contains('/') && QFile::exists(unfinished);
        line.PendingFile.clear();
        if (neverFinished) {
            settled.Unfinished.append(unfinished);
            lines.removeAt(i);
        }
    }
    settled.Lines = std::move(lines);
    return settled;
}

QStringList PendingFilesOfAllAccounts(const QString& folderDir)
{
    QStringList pending;
    const QDir dir(folderDir);
    for (const QString& name : dir.entryList({QStringLiteral("*.chk")}, QDir::Files)) {
        for (const TCheckLine& line : ReadCheckFile(dir.filePath(name))) {
            if (!line.PendingFile.isEmpty())
                pending.append(QFile::decodeName(line.PendingFile));
        }
    }
    return pending;
}

void RemoveStaleUnfinishedFiles(const QString& spoolDir, const QString& folderDir)
{
    const QDir spool(spoolDir);
    const QStringList unfinished = spool.entryList({QLatin1Char('*') + UnfinishedSuffix}, QDir::Files | QDir::Hidden);
    if (unfinished.isEmpty())
        return;
    const QStringList pending = PendingFilesOfAllAccounts(folderDir);
    for (const QString& name : unfinished) {
        if (!pending.contains(name))
            QFile::remove(spool.filePath(name));
    }
}

QByteArray CheckFileContent(const TCheckList& lines)
{
    QByteArray content = FormatMark + LineEnd;
    // Lines of the usual length: one allocation for a mailbox of many thousand messages.
    constexpr qsizetype TypicalLineBytes = 80;
    content.reserve(content.size() + lines.size() * TypicalLineBytes);
    for (const TCheckLine& line : lines)
        content += line.Text() + LineEnd;
    return content;
}

bool WriteCheckFile(const QString& path, const TCheckList& lines)
{
    return WriteFileAtomically(path, CheckFileContent(lines));
}

QByteArray FormatDeletionDay(const QDate& day)
{
    const QLocale locale = QLocale::system();
    return locale.toString(day, FourDigitYearFormat(locale.dateFormat(QLocale::ShortFormat))).toUtf8();
}

std::optional<QDate> ParseDeletionDay(const QByteArray& text, const QDate& today)
{
    const QLocale locale = QLocale::system();
    const QString value = QString::fromUtf8(text).trimmed();
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QDate day = locale.toDate(value, FourDigitYearFormat(shortFormat));
    if (!day.isValid())
        day = locale.toDate(value, shortFormat);
    if (!day.isValid())
        day = QDate::fromString(value, Qt::ISODate);
    if (!day.isValid())
        return std::nullopt;
    return NearestCentury(day, today);
}

bool TCheckFileAppender::Open(const QString& path)
{
    m_file.setFileName(path);
    if (!OpenOwnerOnly(m_file, QIODevice::ReadWrite | QIODevice::Append))
        return false;
    QByteArray start;
    if (m_file.size() == 0) {
        start = FormatMark + LineEnd;
    } else if (m_file.seek(m_file.size() - 1) && m_file.read(1) != "\n") {
        start = LineEnd;
    }
    return m_file.write(start) == start.size() && m_file.flush();
}

bool TCheckFileAppender::Append(const TCheckLine& line)
{
    const QByteArray text = line.Text() + LineEnd;
    return m_file.write(text) == text.size() && m_file.flush();
}

bool TCheckFileAppender::Sync()
{
    return ::fdatasync(m_file.handle()) == 0;
}

QByteArray UidlKey(const QByteArray& uidl)
{
    return "UIDL " + uidl.toPercentEncoding(UidlUnencoded);
}

QByteArray KeyField(QByteArray field)
{
    return field.replace('|', ' ').replace('\r', ' ').replace('\n', ' ');
}

QByteArray DeletionDayOfNewLine(bool keepMails, int deleteDays, const QDate& today)
{
    if (!keepMails)
        return FormatDeletionDay(today);
    if (deleteDays >= 1 && deleteDays <= MaxDeleteDays)
        return FormatDeletionDay(today.addDays(deleteDays));
    return {};
}

TCheckLine FetchedMessageLine(const TFetchedMessage& message, bool keepMails, int deleteDays, const QDate& today)
{
    TCheckLine line;
    if (message.Uidl.isEmpty()) {
        line.MessageId = KeyField(message.MessageId);
        line.Date = KeyField(message.Date);
    } else {
        line.MessageId = UidlKey(message.Uidl);
    }
    line.DeleteOn = DeletionDayOfNewLine(keepMails, deleteDays, today);
    return line;
}

bool AddCheckLines(const QString& path, const TCheckList& lines, int waitMs)
{
    TCheckFileLock lock(path);
    if (!lock.Lock(waitMs))
        return false;
    TCheckList content = ReadCheckFile(path);
    const qsizetype before = content.size();
    for (const TCheckLine& line : lines) {
        const bool known = std::any_of(content.cbegin(), content.cend(), [&](const TCheckLine& old) { return old.SameKey(line); });
        if (!known)
            content.append(line);
    }
    return content.size() == before || WriteCheckFile(path, content);
}

TCheckFileLock::TCheckFileLock(const QString& checkFile) : m_lock(checkFile + QLatin1String(".lock"))
{
    // Only a dead holder gives its lock up: a receive run may take as long as it needs.
    m_lock.setStaleLockTime(0);
}

bool TCheckFileLock::Lock(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock.tryLock(int(qMin<qint64>(LockSliceMs, deadline.remainingTime()))))
            return true;
        if (m_lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
    }
}

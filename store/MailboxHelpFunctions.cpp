#include "MailboxHelpFunctions.h"

#include "Reporter.h"
#include "qmmsg.h"
#include "qmutils.h"
#include "qmuucode.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

bool DeleteFileWarn(const QString& path)
{
    if (QFile::remove(path))
        return true;
    ReportText(FileDeleteWarningId, TMessageKind::Warning, QStringLiteral("Error, could not delete file ") + path);
    return false;
}

bool EmptyDirectory(const QString& path, const std::function<bool(const QString& fileName)>& shouldDelete)
{
    bool allDeleted = true;
    const QDir dir(path);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (shouldDelete && !shouldDelete(name))
            continue;
        if (!QFile::remove(dir.filePath(name)))
            allDeleted = false;
    }
    return allDeleted;
}

bool SyncFile(int fileDescriptor)
{
    return ::fdatasync(fileDescriptor) == 0;
}

bool ReplaceFile(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void TestCrashPoint(const char* name)
{
    static const QByteArray setting = qgetenv("LUMARO_TEST_CRASH_AT");
    if (setting.isEmpty())
        return;
    static int passages = 0;
    const qsizetype at = setting.indexOf('@');
    const QByteArray point = at < 0 ? setting : setting.left(at);
    if (point != name)
        return;
    const int wanted = at < 0 ? 1 : setting.mid(at + 1).toInt();
    if (++passages >= wanted)
        ::raise(SIGKILL);
}

namespace {

bool IsLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// Start of the line after the one at `pos`: behind LF, CR LF or a lone CR.
qsizetype NextLineStart(QByteArrayView data, qsizetype pos)
{
    const char* begin = data.data();
    const qsizetype size = data.size();
    const void* lf = std::memchr(begin + pos, '\n', size_t(size - pos));
    const qsizetype lineEnd = lf ? static_cast<const char*>(lf) - begin : size;
    const void* cr = std::memchr(begin + pos, '\r', size_t(lineEnd - pos));
    if (cr) {
        const qsizetype at = static_cast<const char*>(cr) - begin;
        if (at + 1 < lineEnd)
            return at + 1;
    }
    return lf ? lineEnd + 1 : size;
}

// The line at `pos` without its line end.
QByteArrayView LineAt(QByteArrayView data, qsizetype pos, qsizetype next)
{
    qsizetype end = next;
    while (end > pos && IsLineEnd(data[end - 1]))
        --end;
    return data.sliced(pos, end - pos);
}

bool StartsWithIgnoringCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

bool StartsWithFrom(QByteArrayView data, qsizetype pos)
{
    return StartsWithIgnoringCase(data.sliced(pos), "From ");
}

// "From " with nothing behind it on its line, in any letter case.
bool IsSeparatorLine(QByteArrayView data, qsizetype pos)
{
    return StartsWithFrom(data, pos) && (pos + 5 == data.size() || IsLineEnd(data[pos + 5]));
}

// A header field: a name of printable characters other than the colon, then a colon (RFC 5322, 2.2).
bool IsHeaderFieldLine(QByteArrayView data, qsizetype pos)
{
    qsizetype at = pos;
    while (at < data.size() && data[at] > ' ' && data[at] < 127 && data[at] != ':')
        ++at;
    return at > pos && at < data.size() && data[at] == ':';
}

// Calls `visit` with the start of every line that begins with `first` (in either letter case),
// until it returns true. Line starts are found behind LF and behind CR; memchr skips the rest.
template <typename Visit>
bool AnyLineStartingWith(QByteArrayView data, char first, Visit visit)
{
    const char lower = char(std::tolower(first));
    const char upper = char(std::toupper(first));
    const auto startsLine = [&](qsizetype pos) { return pos < data.size() && (data[pos] == lower || data[pos] == upper); };
    if (startsLine(0) && visit(0))
        return true;
    for (const char end : {'\n', '\r'}) {
        const char* begin = data.data();
        for (const void* at = std::memchr(begin, end, size_t(data.size())); at;) {
            const qsizetype next = static_cast<const char*>(at) - begin + 1;
            if (startsLine(next) && visit(next))
                return true;
            at = next < data.size() ? std::memchr(begin + next, end, size_t(data.size() - next)) : nullptr;
        }
    }
    return false;
}

// The starts of the lines that begin with "F" or "f" and continue as "rom ", in file order.
QList<qsizetype> LineStartsWithFrom(QByteArrayView data)
{
    QList<qsizetype> starts;
    AnyLineStartingWith(data, 'f', [&](qsizetype pos) {
        if (StartsWithFrom(data, pos))
            starts.append(pos);
        return false;
    });
    // Behind LF and behind a lone CR are found in two passes.
    std::sort(starts.begin(), starts.end());
    return starts;
}

bool HasUUCodeStart(QByteArrayView body)
{
    return AnyLineStartingWith(body, 'b', [&](qsizetype pos) {
        return IsUUCodeStart(LineAt(body, pos, NextLineStart(body, pos)));
    });
}

qsizetype HeaderBlockEnd(QByteArrayView bytes)
{
    qsizetype pos = 0;
    while (pos < bytes.size() && !IsLineEnd(bytes[pos]))
        pos = NextLineStart(bytes, pos);
    return pos;
}

enum TRecordField { rfFrom, rfTo, rfSubject, rfDate, rfHeld, rfMimeVersion, rfContentType, rfReceived, rfFieldCount };
// Per field of the record, its header lines with their continuation lines, in message order.
using TRecordFields = std::array<TqmHeaders, rfFieldCount>;

// Every field lookup of the message object upper-cases every line it passes, so each field is looked
// up among its own lines only. "TO" has no colon because the recipient list is matched that way, and
// a line without a colon that begins with it ends that list.
TRecordFields RecordFieldLines(QByteArrayView block)
{
    static constexpr QByteArrayView Names[rfFieldCount] = {"FROM:", "TO", "SUBJECT:", "DATE:", "X-LMHOLD:",
                                                           "MIME-VERSION:", "CONTENT-TYPE:", "RECEIVED:"};
    TRecordFields fields;
    int current = -1;
    for (qsizetype pos = 0; pos < block.size();) {
        const qsizetype next = NextLineStart(block, pos);
        const QByteArrayView line = LineAt(block, pos, next);
        pos = next;
        const bool continuation = line.startsWith(' ') || line.startsWith('\t') || !line.contains(':');
        if (!continuation) {
            const auto name = std::find_if(std::begin(Names), std::end(Names),
                                           [&](QByteArrayView n) { return StartsWithIgnoringCase(line, n); });
            current = name == std::end(Names) ? -1 : int(name - std::begin(Names));
        }
        if (continuation && StartsWithIgnoringCase(line, "TO"))
            fields[rfTo].append(line.toByteArray());
        else if (current >= 0)
            fields[current].append(line.toByteArray());
    }
    return fields;
}

QByteArray FieldBody(const TRecordFields& fields, TRecordField field, const char* name)
{
    return fields[field].isEmpty() ? QByteArray() : fields[field].GetFieldBody(QByteArray(name));
}

// The list shows and sorts local time. A message without a readable date is dated by its first
// Received field, which the last server wrote when it arrived, and failing that by `arrival`.
TDateTime RecordDate(const TRecordFields& fields, TDateTime arrival)
{
    if (const TDateTime written = MailDateToLocal(FieldBody(fields, rfDate, "Date")); written != 0)
        return written;
    if (const TDateTime received = ReceivedDateToLocal(FieldBody(fields, rfReceived, "Received")); received != 0)
        return received;
    return arrival;
}

enum class TAttachments { No, Yes, Unknown };

qsizetype CountDelimiters(QByteArrayView body, const QByteArray& delimiter)
{
    qsizetype count = 0;
    AnyLineStartingWith(body, '-', [&](qsizetype pos) {
        const QByteArrayView rest = body.sliced(pos);
        if (rest.startsWith(delimiter) && !rest.sliced(delimiter.size()).startsWith("--"))
            ++count;
        return false;
    });
    return count;
}

// Whether the parser would find attachments, told from the structure where that is certain: a
// multipart with a second part, a single part that is no text, a uuencoded file in a text (the
// parser keeps it, or on bad data the whole message, as an attachment). The rest needs the parse.
TAttachments AttachmentsByStructure(const TRecordFields& fields, QByteArrayView body)
{
    if (FieldBody(fields, rfMimeVersion, "MIME-Version").contains("1.0")) {
        const QByteArray type = FieldBody(fields, rfContentType, "Content-Type");
        const QByteArray lower = type.toLower();
        if (lower.contains("multipart")) {
            const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), type);
            if (!boundary.isEmpty() && CountDelimiters(body, "--" + boundary) >= 2)
                return TAttachments::Yes;
            return TAttachments::Unknown;
        }
        if (lower.contains("name="))
            return TAttachments::Unknown;
        if (!lower.isEmpty() && !lower.contains("text/"))
            return TAttachments::Yes;
    }
    return HasUUCodeStart(body) ? TAttachments::Yes : TAttachments::No;
}

bool HasAttachments(QByteArrayView bytes, const TRecordFields& fields, QByteArrayView body)
{
    const TAttachments known = AttachmentsByStructure(fields, body);
    if (known != TAttachments::Unknown)
        return known == TAttachments::Yes;
    TqmMessage parsed;
    try {
        detail::ParseMessageBytes(bytes, parsed);
    } catch (...) {
        return false;
    }
    return parsed.Attachments.Count() > 0;
}

} // namespace

namespace detail {

QList<qsizetype> MessageStarts(QByteArrayView data)
{
    QList<qsizetype> starts;
    if (data.isEmpty())
        return starts;
    starts.append(0);
    const QList<qsizetype> fromLines = LineStartsWithFrom(data);
    const auto firstSeparator = std::find_if(fromLines.cbegin(), fromLines.cend(),
                                             [&](qsizetype pos) { return IsSeparatorLine(data, pos); });
    // Bytes before the first separator line come from another tool (an mbox put in place): there a
    // "From " line starts a message only when a header field follows, so ordinary body text never
    // splits one.
    for (auto line = fromLines.cbegin(); line != firstSeparator; ++line) {
        const qsizetype next = NextLineStart(data, *line);
        if (next < data.size() && IsHeaderFieldLine(data, next) && *line > starts.last())
            starts.append(*line);
    }
    // From there on the suite wrote the file and cuts only at its separator lines: a forwarded
    // "From someone@example.org ..." line followed by a header-like line stays in its message.
    for (auto line = firstSeparator; line != fromLines.cend(); ++line) {
        if (*line > starts.last() && IsSeparatorLine(data, *line))
            starts.append(*line);
    }
    return starts;
}

TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld, TDateTime arrival)
{
    const qsizetype headerEnd = HeaderBlockEnd(bytes);
    const TRecordFields fields = RecordFieldLines(bytes.first(headerEnd));
    TIndexRecord record;
    // The fields as TqmMessage::ProcessHeaders reads them, without the lists the record does not show.
    TqmMailAddress sender;
    PickMailAddress(FieldBody(fields, rfFrom, "From"), sender);
    record.From = sender.Name.isEmpty() ? sender.Address : sender.Name;
    QByteArrayList recipients;
    fields[rfTo].GetMultiLineFieldBody(QByteArrayLiteral("TO"), recipients);
    recipients.removeIf([](const QByteArray& entry) { return entry.trimmed().isEmpty(); });
    if (!recipients.isEmpty()) {
        QByteArray name;
        SplitAddress(recipients.first(), record.To, name);
    }
    record.Subject = FieldBody(fields, rfSubject, "Subject");
    record.Date = RecordDate(fields, arrival);
    if (HasAttachments(bytes, fields, bytes.sliced(headerEnd)))
        record.Flags |= mfAttachments;
    if (withHeld && !FieldBody(fields, rfHeld, "X-LMHOLD").isEmpty())
        record.Flags |= mfHeld;
    return record;
}

void ParseMessageBytes(QByteArrayView bytes, TqmMessage& message)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    message.LoadFromStream(buffer);
}

} // namespace detail

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
#include <bit>
#include <cctype>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

using detail::TMarkedLines;

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
    // Most lines are told apart by their first byte, before the slower comparison.
    return (data[pos] == 'F' || data[pos] == 'f') && StartsWithIgnoringCase(data.sliced(pos), "From ");
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

// Whether a line beginning with this byte is looked at: "F" and "f" for separator lines, "B" and
// "b" for uuencoded files, "-" for MIME delimiters.
constexpr std::array<bool, 256> MarkedFirstBytes = [] {
    std::array<bool, 256> marked{};
    for (const unsigned char c : {'F', 'f', 'B', 'b', '-'})
        marked[c] = true;
    return marked;
}();

bool IsMarked(char c)
{
    return MarkedFirstBytes[static_cast<unsigned char>(c)];
}

// Calls `visit` with the start of every line beginning with a marked byte, in ascending order, except
// the first line. Mail lines are short: comparing sixteen bytes at a time, line ends and marked bytes
// at once, costs less than one memchr call per line, the way the file used to be read.
template <typename Visit>
void ForEachMarkedLineStart(QByteArrayView data, Visit visit)
{
    const char* bytes = data.data();
    const qsizetype size = data.size();
    qsizetype at = 0;
    // Whether the byte before `at` ends a line.
    bool afterLineEnd = false;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i f = _mm_set1_epi8('f');
    const __m128i b = _mm_set1_epi8('b');
    const __m128i dash = _mm_set1_epi8('-');
    for (; at + 16 <= size; at += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        const auto ends = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, cr))));
        // "F" and "B" in either case (only they turn into "f" and "b" with the case bit set), and "-".
        const __m128i lower = _mm_or_si128(block, caseBit);
        const auto marked = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(lower, f), _mm_cmpeq_epi8(lower, b)), _mm_cmpeq_epi8(block, dash))));
        for (unsigned starts = ((ends << 1) | unsigned(afterLineEnd)) & marked; starts != 0; starts &= starts - 1)
            visit(at + std::countr_zero(starts));
        afterLineEnd = (ends & 0x8000) != 0;
    }
#endif
    for (; at < size; ++at) {
        if (afterLineEnd && IsMarked(bytes[at]))
            visit(at);
        afterLineEnd = IsLineEnd(bytes[at]);
    }
}

// Calls `visit` with the position in `body` of every line of the body that begins with `first` (a
// lower-case letter or "-") in either letter case, until it returns true. `bodyStart` is where the
// body begins in the message whose marked lines are given.
template <typename Visit>
bool AnyBodyLineStartingWith(QByteArrayView body, qsizetype bodyStart, TMarkedLines marked, char first, Visit visit)
{
    const char upper = char(std::toupper(first));
    const qsizetype from = marked.Base + bodyStart;
    for (auto line = std::lower_bound(marked.Starts.begin(), marked.Starts.end(), from);
         line != marked.Starts.end() && *line < from + body.size(); ++line) {
        const qsizetype pos = *line - from;
        if ((body[pos] == first || body[pos] == upper) && visit(pos))
            return true;
    }
    return false;
}

bool HasUUCodeStart(QByteArrayView body, qsizetype bodyStart, TMarkedLines marked)
{
    return AnyBodyLineStartingWith(body, bodyStart, marked, 'b', [&](qsizetype pos) {
        return IsUUCodeStart(LineAt(body, pos, NextLineStart(body, pos)));
    });
}

enum TRecordField { rfFrom, rfTo, rfSubject, rfDate, rfHeld, rfMimeVersion, rfContentType, rfReceived, rfFieldCount };
// Per field of the record, its header lines with their continuation lines, in message order.
using TRecordFields = std::array<TqmHeaders, rfFieldCount>;

// The record's fields among the header lines, and where the header ends (at the line end of the
// empty line, or at the end of the bytes).
struct THeaderBlock {
    TRecordFields Fields;
    qsizetype End = 0;
};

// Every field lookup of the message object upper-cases every line it passes, so each field is looked
// up among its own lines only. "TO" has no colon because the recipient list is matched that way, and
// a line without a colon that begins with it ends that list.
int RecordFieldOf(QByteArrayView line)
{
    static constexpr QByteArrayView Names[rfFieldCount] = {"FROM:", "TO", "SUBJECT:", "DATE:", "X-LMHOLD:",
                                                           "MIME-VERSION:", "CONTENT-TYPE:", "RECEIVED:"};
    // The names begin with different letters, so the first one tells which name can match.
    int field = -1;
    switch (line.front() | 0x20) {
    case 'f': field = rfFrom; break;
    case 't': field = rfTo; break;
    case 's': field = rfSubject; break;
    case 'd': field = rfDate; break;
    case 'x': field = rfHeld; break;
    case 'm': field = rfMimeVersion; break;
    case 'c': field = rfContentType; break;
    case 'r': field = rfReceived; break;
    default: return -1;
    }
    return StartsWithIgnoringCase(line, Names[field]) ? field : -1;
}

THeaderBlock RecordHeaderBlock(QByteArrayView bytes)
{
    THeaderBlock block;
    int current = -1;
    qsizetype pos = 0;
    while (pos < bytes.size() && !IsLineEnd(bytes[pos])) {
        const qsizetype next = NextLineStart(bytes, pos);
        const QByteArrayView line = LineAt(bytes, pos, next);
        pos = next;
        const bool continuation = line.startsWith(' ') || line.startsWith('\t') || !line.contains(':');
        if (!continuation)
            current = RecordFieldOf(line);
        if (continuation && StartsWithIgnoringCase(line, "TO"))
            block.Fields[rfTo].append(line.toByteArray());
        else if (current >= 0)
            block.Fields[current].append(line.toByteArray());
    }
    block.End = pos;
    return block;
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

qsizetype CountDelimiters(QByteArrayView body, qsizetype bodyStart, TMarkedLines marked, const QByteArray& delimiter)
{
    qsizetype count = 0;
    AnyBodyLineStartingWith(body, bodyStart, marked, '-', [&](qsizetype pos) {
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
TAttachments AttachmentsByStructure(const TRecordFields& fields, QByteArrayView body, qsizetype bodyStart,
                                    TMarkedLines marked)
{
    if (FieldBody(fields, rfMimeVersion, "MIME-Version").contains("1.0")) {
        const QByteArray type = FieldBody(fields, rfContentType, "Content-Type");
        const QByteArray lower = type.toLower();
        if (lower.contains("multipart")) {
            const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), type);
            if (!boundary.isEmpty() && CountDelimiters(body, bodyStart, marked, "--" + boundary) >= 2)
                return TAttachments::Yes;
            return TAttachments::Unknown;
        }
        if (lower.contains("name="))
            return TAttachments::Unknown;
        if (!lower.isEmpty() && !lower.contains("text/"))
            return TAttachments::Yes;
    }
    return HasUUCodeStart(body, bodyStart, marked) ? TAttachments::Yes : TAttachments::No;
}

bool HasAttachments(QByteArrayView bytes, const TRecordFields& fields, qsizetype headerEnd, TMarkedLines marked)
{
    const TAttachments known = AttachmentsByStructure(fields, bytes.sliced(headerEnd), headerEnd, marked);
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

QList<qsizetype> MarkedLineStarts(QByteArrayView data)
{
    QList<qsizetype> starts;
    if (data.isEmpty())
        return starts;
    if (IsMarked(data.front()))
        starts.append(0);
    ForEachMarkedLineStart(data, [&](qsizetype start) {
        if (start > 0)
            starts.append(start);
    });
    return starts;
}

QList<qsizetype> MessageStarts(QByteArrayView data)
{
    return MessageStarts(data, MarkedLineStarts(data));
}

QList<qsizetype> MessageStarts(QByteArrayView data, const QList<qsizetype>& markedLines)
{
    QList<qsizetype> starts;
    if (data.isEmpty())
        return starts;
    starts.append(0);
    // Bytes before the first separator line come from another tool (an mbox put in place): there a
    // "From " line starts a message only when a header field follows, so ordinary body text never
    // splits one. From the first separator line on the suite wrote the file and cuts only at its
    // separator lines: a forwarded "From someone@example.org ..." line followed by a header-like
    // line stays in its message.
    bool suiteWritten = false;
    for (const qsizetype line : markedLines) {
        if (!StartsWithFrom(data, line))
            continue;
        const bool separator = IsSeparatorLine(data, line);
        suiteWritten = suiteWritten || separator;
        if (line <= starts.last())
            continue;
        if (suiteWritten) {
            if (separator)
                starts.append(line);
            continue;
        }
        const qsizetype next = NextLineStart(data, line);
        if (next < data.size() && IsHeaderFieldLine(data, next))
            starts.append(line);
    }
    return starts;
}

TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld, TDateTime arrival)
{
    const QList<qsizetype> marked = MarkedLineStarts(bytes);
    return RecordOfMessage(bytes, withHeld, TMarkedLines{marked, 0}, arrival);
}

TIndexRecord RecordOfMessage(QByteArrayView bytes, bool withHeld, TMarkedLines markedLines, TDateTime arrival)
{
    const auto [fields, headerEnd] = RecordHeaderBlock(bytes);
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
    if (HasAttachments(bytes, fields, headerEnd, markedLines))
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

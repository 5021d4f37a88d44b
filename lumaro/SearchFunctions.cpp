#include "SearchFunctions.h"

#include "qmcharset.h"
#include "qmmime.h"
#include "qmmsgcls.h"
#include "qmutils.h"

#include <QFile>

#include <cstring>

namespace {

constexpr int MaxPartDepth = 8;

constexpr std::array<uchar, 256> FoldTable = [] {
    std::array<uchar, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = uchar(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return table;
}();

inline uchar Fold(char c)
{
    return FoldTable[uchar(c)];
}

qsizetype HeaderEnd(QByteArrayView message)
{
    if (message.startsWith("\r\n") || message.startsWith("\n"))
        return 0;
    const qsizetype crlf = message.indexOf("\r\n\r\n");
    const qsizetype lf = message.indexOf("\n\n");
    if (crlf < 0 && lf < 0)
        return message.size();
    if (lf < 0 || (crlf >= 0 && crlf < lf))
        return crlf + 2;
    return lf + 1;
}

QByteArrayView BodyOf(QByteArrayView message, qsizetype headerEnd)
{
    qsizetype start = headerEnd;
    if (message.sliced(start).startsWith("\r\n"))
        start += 2;
    else if (message.sliced(start).startsWith("\n"))
        start += 1;
    return message.sliced(std::min(start, message.size()));
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// One pass over the whole part: "=XX" becomes its byte, a soft break ("=" at a line end) vanishes,
// anything else stays. The text is only searched, so line ends need not be rewritten.
QByteArray DecodeQuotedPrintable(QByteArrayView body)
{
    QByteArray out(body.size(), Qt::Uninitialized);
    char* to = out.data();
    const char* from = body.data();
    const char* const end = from + body.size();
    while (from < end) {
        const char c = *from++;
        if (c != '=') {
            *to++ = c;
            continue;
        }
        if (from < end && (*from == '\r' || *from == '\n')) {
            from += (*from == '\r' && from + 1 < end && from[1] == '\n') ? 2 : 1;
            continue;
        }
        const int high = from + 1 < end ? HexValue(from[0]) : -1;
        const int low = high >= 0 ? HexValue(from[1]) : -1;
        if (low >= 0) {
            *to++ = char(high * 16 + low);
            from += 2;
        } else {
            *to++ = c;
        }
    }
    out.truncate(to - out.data());
    return out;
}

// Tags are dropped; what stands between them is kept (entities stay as written).
QByteArray StripTags(QByteArrayView html)
{
    QByteArray out(html.size(), Qt::Uninitialized);
    char* to = out.data();
    bool inTag = false;
    for (const char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>' && inTag)
            inTag = false;
        else if (!inTag)
            *to++ = c;
    }
    out.truncate(to - out.data());
    return out;
}

bool IsAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

QByteArray ToUtf8(QByteArray text, const QByteArray& charset)
{
    if (charset.isEmpty() || IsAscii(text))
        return text;
    const QByteArray name = charset.toLower();
    if (name == "utf-8" || name == "us-ascii")
        return text;
    return CharsetToUtf8(text, charset);
}

QByteArray DecodedBody(const TqmHeaders& headers, QByteArrayView body)
{
    const QByteArray encoding = headers.GetFieldBody("Content-Transfer-Encoding").trimmed().toLower();
    if (encoding == "base64")
        return QByteArray::fromBase64(body.toByteArray());
    if (encoding == "quoted-printable")
        return DecodeQuotedPrintable(body);
    return body.toByteArray();
}

void AppendPartText(QByteArray& out, QByteArrayView part, int depth);

void AppendMultipart(QByteArray& out, QByteArrayView body, const QByteArray& boundary, int depth)
{
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0) {
        qsizetype partStart = body.indexOf('\n', at);
        if (partStart < 0 || body.sliced(at + delimiter.size()).startsWith("--"))
            return;
        ++partStart;
        const qsizetype next = body.indexOf(delimiter, partStart);
        const qsizetype partEnd = next < 0 ? body.size() : next;
        AppendPartText(out, body.sliced(partStart, partEnd - partStart), depth + 1);
        at = next;
    }
}

void AppendPartText(QByteArray& out, QByteArrayView part, int depth, const TqmHeaders& headers, qsizetype headerEnd);

void AppendPartText(QByteArray& out, QByteArrayView part, int depth)
{
    if (depth > MaxPartDepth)
        return;
    const qsizetype headerEnd = HeaderEnd(part);
    AppendPartText(out, part, depth, TqmHeaders::FromText(part.first(headerEnd).toByteArray()), headerEnd);
}

void AppendPartText(QByteArray& out, QByteArrayView part, int depth, const TqmHeaders& headers, qsizetype headerEnd)
{
    const QByteArray contentType = headers.GetFieldBody("Content-Type");
    const QByteArray type = GetFirstPart(contentType).toLower();
    const QByteArrayView body = BodyOf(part, headerEnd);
    if (type.startsWith("multipart/")) {
        const QByteArray boundary = GetParameter("boundary=", contentType);
        if (!boundary.isEmpty())
            AppendMultipart(out, body, boundary, depth);
        return;
    }
    if (type == "message/rfc822") {
        AppendPartText(out, DecodedBody(headers, body), depth + 1);
        return;
    }
    if (!type.isEmpty() && !type.startsWith("text/"))
        return;
    QByteArray text = DecodedBody(headers, body);
    if (type == "text/html")
        text = StripTags(text);
    out += ToUtf8(std::move(text), GetParameter("charset=", contentType));
    out += "\r\n";
}

} // namespace

TTextFinder::TTextFinder(QByteArrayView text)
{
    m_text.reserve(text.size());
    for (const char c : text)
        m_text += char(Fold(c));
    const qsizetype m = m_text.size();
    m_shift.fill(m);
    for (qsizetype j = 0; j + 1 < m; ++j) {
        const uchar folded = uchar(m_text[j]);
        m_shift[folded] = m - 1 - j;
        // The lower-case letter skips as its capital does.
        if (folded >= 'A' && folded <= 'Z')
            m_shift[folded - 'A' + 'a'] = m - 1 - j;
    }
}

bool TTextFinder::FoundIn(QByteArrayView haystack) const
{
    const qsizetype m = m_text.size();
    const qsizetype n = haystack.size();
    if (m == 0)
        return true;
    const char* h = haystack.data();
    const char* t = m_text.constData();
    const uchar last = uchar(t[m - 1]);
    for (qsizetype pos = 0; pos + m <= n;) {
        const char c = h[pos + m - 1];
        if (Fold(c) == last) {
            qsizetype j = m - 2;
            while (j >= 0 && Fold(h[pos + j]) == uchar(t[j]))
                --j;
            if (j < 0)
                return true;
        }
        pos += m_shift[uchar(c)];
    }
    return false;
}

QList<TSearchHit> SearchFolder(const QString& folderName, const TFolderFiles& files, const TTextFinder& finder,
                               TSearchMode mode, const TKeepSearching& keepSearching)
{
    QList<TSearchHit> hits;
    QFile messageFile(files.MessageFile);
    if (!messageFile.open(QIODevice::ReadOnly) || messageFile.size() == 0)
        return hits;
    const uchar* mapped = messageFile.map(0, messageFile.size());
    const QByteArray copy = mapped ? QByteArray() : messageFile.readAll();
    const QByteArrayView data = mapped ? QByteArrayView(reinterpret_cast<const char*>(mapped), messageFile.size())
                                       : QByteArrayView(copy);
    for (const TFolderMessage& message : EnumerateLiveMessages(files)) {
        if (keepSearching && !keepSearching())
            break;
        const qint64 offset = message.Index.Offset;
        const qint64 length = message.Index.Length;
        if (offset < 0 || length < 0 || offset + length > data.size())
            continue;
        const QByteArrayView stored = data.sliced(offset, length);
        const bool found = mode == TSearchMode::Raw ? finder.FoundIn(stored) : finder.FoundIn(DecodedSearchText(stored));
        if (found)
            hits.append({folderName, {message.Record, message.Index.Offset, message.Index.Length, message.Index.Flags},
                         message.Index});
    }
    return hits;
}

QByteArray DecodedSearchText(QByteArrayView message)
{
    if (message.startsWith(FolderSeparator))
        message = message.sliced(FolderSeparator.size());
    const qsizetype headerEnd = HeaderEnd(message);
    const TqmHeaders headers = TqmHeaders::FromText(message.first(headerEnd).toByteArray());
    QByteArray out;
    for (const char* field : {"Subject", "From", "To", "CC"}) {
        out += headers.GetFieldBody(field);
        out += "\r\n";
    }
    AppendPartText(out, message, 0, headers, headerEnd);
    return out;
}

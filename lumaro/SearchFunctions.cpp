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

QByteArray DecodeQuotedPrintable(QByteArrayView body)
{
    QByteArray out;
    out.reserve(body.size());
    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = body.indexOf('\n', start);
        if (end < 0)
            end = body.size();
        QByteArrayView line = body.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        const bool softBreak = line.endsWith('=');
        out += TQuotedPrintable::ReplaceHex(softBreak ? line.chopped(1) : line);
        if (!softBreak)
            out += "\r\n";
        start = end + 1;
    }
    return out;
}

// Tags are dropped; what stands between them is kept (entities stay as written).
QByteArray StripTags(QByteArrayView html)
{
    QByteArray out;
    out.reserve(html.size());
    bool inTag = false;
    for (const char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>' && inTag)
            inTag = false;
        else if (!inTag)
            out += c;
    }
    return out;
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

void AppendPartText(QByteArray& out, QByteArrayView part, int depth)
{
    if (depth > MaxPartDepth)
        return;
    const qsizetype headerEnd = HeaderEnd(part);
    const TqmHeaders headers = TqmHeaders::FromText(part.first(headerEnd).toByteArray());
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
    const QByteArray charset = GetParameter("charset=", contentType);
    out += charset.isEmpty() ? text : CharsetToUtf8(text, charset);
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
    for (const char* field : {"Subject", "From"})
        out += headers.GetFieldBody(field) + "\r\n";
    for (const char* field : {"To", "CC"}) {
        QByteArrayList values;
        headers.GetMultiLineFieldBody(field, values);
        for (const QByteArray& value : std::as_const(values))
            out += DecodeHeader(value) + "\r\n";
    }
    AppendPartText(out, message, 0);
    return out;
}

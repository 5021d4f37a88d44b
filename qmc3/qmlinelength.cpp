#include "qmlinelength.h"

#include "qmconst.h"
#include "qmexcept.h"
#include "qmmime.h"
#include "qmutils.h"

#include <QList>

namespace {

constexpr QByteArrayView CrLf = "\r\n";
// Deeper nesting than any real message has; a crafted one must not exhaust the stack.
constexpr int MaxDepth = 50;

[[noreturn]] void Unmendable(TqmMessageId id, const QString& what)
{
    throw EMessageError(qmMessageText(id).arg(what));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The lines of CR LF text; the CR LF is not part of a line. Text that ends with CR LF has no empty
// last line.
QList<QByteArrayView> Lines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf(CrLf, pos);
        if (end < 0)
            end = text.size();
        lines.append(text.sliced(pos, end - pos));
        pos = end + CrLf.size();
    }
    return lines;
}

// A message or body part cut into its header block (each field line with its CR LF) and its body.
struct TEntity {
    QByteArrayView Header;
    QByteArrayView Body;
    bool HasBody = false;
};

TEntity SplitEntity(QByteArrayView text)
{
    if (text.startsWith(CrLf))
        return {{}, text.sliced(CrLf.size()), true};
    const qsizetype end = text.indexOf("\r\n\r\n");
    if (end < 0)
        return {text, {}, false};
    return {text.first(end + CrLf.size()), text.sliced(end + 2 * CrLf.size()), true};
}

QByteArrayView FieldName(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    return colon < 0 ? QByteArrayView() : line.first(colon).trimmed();
}

// The unfolded body of the first field called `name`; empty when there is none.
QByteArray FieldValue(QByteArrayView header, QByteArrayView name)
{
    QByteArray value;
    bool inField = false;
    for (const QByteArrayView line : Lines(header)) {
        const bool continuation = !line.isEmpty() && IsBlank(line.front());
        if (inField && continuation) {
            value += line;
            continue;
        }
        if (inField)
            break;
        if (!continuation && FieldName(line).compare(name, Qt::CaseInsensitive) == 0) {
            inField = true;
            value = line.sliced(line.indexOf(':') + 1).toByteArray();
        }
    }
    return value.trimmed();
}

// RFC 5322, 2.2.3: a field is folded by a CR LF in front of white space. The line is cut at the last
// blank that leaves at most MaxLineLength octets, behind the field name and behind the first word of
// a continuation line, so that no line is made of blanks only.
void AppendFoldedLine(QByteArrayView line, bool continuation, QByteArray& out)
{
    while (line.size() > MaxLineLength) {
        qsizetype first = 1;
        if (!continuation)
            first = line.indexOf(':') + 1;
        while (first < line.size() && IsBlank(line[first]))
            ++first;
        qsizetype cut = MaxLineLength;
        while (cut > first && !IsBlank(line[cut]))
            --cut;
        if (cut <= first)
            Unmendable(qmLineTooLongInHeader, QString::fromUtf8(FieldName(line).isEmpty() ? line.first(40) : FieldName(line)));
        out += line.first(cut);
        out += CrLf;
        line = line.sliced(cut);
        continuation = true;
    }
    out += line;
    out += CrLf;
}

QByteArray MendHeader(QByteArrayView header)
{
    QByteArray out;
    out.reserve(header.size() + 64);
    QByteArrayView field;
    for (const QByteArrayView line : Lines(header)) {
        const bool continuation = !line.isEmpty() && IsBlank(line.front());
        if (!continuation)
            field = line;
        if (line.size() <= MaxLineLength) {
            out += line;
            out += CrLf;
        } else if (FieldName(field).isEmpty()) {
            Unmendable(qmLineTooLongInHeader, QString::fromUtf8(line.first(40)));
        } else {
            AppendFoldedLine(line, continuation, out);
        }
    }
    return out;
}

// Lines nobody reads (a preamble, an epilogue) are cut where they are too long; all other bytes stay.
QByteArray CutLines(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / MaxLineLength * 2);
    qsizetype run = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            run = 0;
        } else if (run++ == MaxLineLength) {
            out += CrLf;
            run = 1;
        }
        out += c;
    }
    return out;
}

QByteArray MendEntity(QByteArrayView text, bool message, int depth);

QByteArray MediaType(QByteArrayView header)
{
    const QByteArray value = FieldValue(header, "Content-Type");
    const qsizetype semicolon = value.indexOf(';');
    const QByteArray type = (semicolon < 0 ? value : value.first(semicolon)).trimmed().toLower();
    return type.isEmpty() ? QByteArray("text/plain") : type;
}

QByteArray TransferEncoding(QByteArrayView header)
{
    return FieldValue(header, "Content-Transfer-Encoding").toLower();
}

bool IsIdentityEncoding(const QByteArray& encoding)
{
    return encoding.isEmpty() || encoding == "7bit" || encoding == "8bit" || encoding == "binary";
}

QByteArray DecodedBody(QByteArrayView body, const QByteArray& encoding)
{
    if (IsIdentityEncoding(encoding))
        return body.toByteArray();
    if (encoding == "base64")
        return QByteArray::fromBase64(body.toByteArray());
    if (encoding == "quoted-printable") {
        QByteArray decoded;
        DecodeQuotedPrintableText(body, decoded);
        return decoded;
    }
    Unmendable(qmLineTooLongUnknownEncoding, QString::fromUtf8(encoding));
}

// The header with its Content-Transfer-Encoding fields replaced by one naming `encoding`; a message
// gets "MIME-Version" too when it has none, or readers would not look at the encoding.
QByteArray WithTransferEncoding(QByteArrayView header, QByteArrayView encoding, bool message)
{
    QByteArray out;
    bool skipping = false;
    for (const QByteArrayView line : Lines(header)) {
        const bool continuation = !line.isEmpty() && IsBlank(line.front());
        if (!continuation)
            skipping = FieldName(line).compare("Content-Transfer-Encoding", Qt::CaseInsensitive) == 0;
        if (!skipping) {
            out += line;
            out += CrLf;
        }
    }
    if (message && FieldValue(header, "MIME-Version").isEmpty())
        out += "MIME-Version: 1.0\r\n";
    out += "Content-Transfer-Encoding: " + encoding.toByteArray() + "\r\n";
    return out;
}

QByteArray ReencodedLeaf(QByteArrayView header, QByteArrayView body, bool message)
{
    const QByteArray data = DecodedBody(body, TransferEncoding(header));
    QByteArray encoded;
    const bool text = MediaType(header).startsWith("text/");
    if (text)
        EncodeQuotedPrintableText(data, encoded);
    else
        EncodeBase64Lines(data, encoded);
    // A body without a final line end gets none from the encoder either.
    if (!data.endsWith('\n') && encoded.endsWith(CrLf))
        encoded.chop(CrLf.size());
    return WithTransferEncoding(header, text ? "quoted-printable" : "base64", message) + CrLf.toByteArray() + encoded;
}

bool IsDelimiter(QByteArrayView line, const QByteArray& dashBoundary)
{
    if (!line.startsWith(dashBoundary))
        return false;
    QByteArrayView rest = line.sliced(dashBoundary.size());
    if (rest.startsWith("--"))
        rest = rest.sliced(2);
    return rest.trimmed().isEmpty();
}

struct TLineSpan {
    qsizetype Start = 0;
    qsizetype End = 0;
};

// RFC 2046, 5.1.1: the CR LF in front of a delimiter line belongs to the delimiter, so a part is
// what lies between the CR LF after one delimiter line and the CR LF before the next.
QByteArray MendMultipart(QByteArrayView body, const QByteArray& boundary, int depth)
{
    const QByteArray dashBoundary = "--" + boundary;
    QList<TLineSpan> delimiters;
    bool closed = false;
    for (qsizetype pos = 0; pos < body.size() && !closed;) {
        qsizetype end = body.indexOf(CrLf, pos);
        if (end < 0)
            end = body.size();
        const QByteArrayView line = body.sliced(pos, end - pos);
        if (!boundary.isEmpty() && IsDelimiter(line, dashBoundary)) {
            delimiters.append({pos, end});
            closed = line.sliced(dashBoundary.size()).startsWith("--");
        }
        pos = end + CrLf.size();
    }
    if (!closed)
        Unmendable(qmLineTooLongNoBoundary, QString::fromUtf8(boundary));
    QByteArray out = CutLines(body.first(delimiters.first().Start));
    for (qsizetype i = 0; i + 1 < delimiters.size(); ++i) {
        out += body.sliced(delimiters[i].Start, delimiters[i].End - delimiters[i].Start);
        const QByteArrayView between = body.sliced(delimiters[i].End, delimiters[i + 1].Start - delimiters[i].End);
        if (between.size() < 2 * CrLf.size()) {
            out += between;
            continue;
        }
        const QByteArrayView part = between.sliced(CrLf.size(), between.size() - 2 * CrLf.size());
        out += CrLf;
        out += HasOverlongLine(part) ? MendEntity(part, false, depth + 1) : part.toByteArray();
        out += CrLf;
    }
    out += CutLines(body.sliced(delimiters.last().Start));
    return out;
}

QByteArray MendEntity(QByteArrayView text, bool message, int depth)
{
    if (depth > MaxDepth)
        Unmendable(qmLineTooLongNestedTooDeeply, QString::number(MaxDepth));
    const TEntity entity = SplitEntity(text);
    const QByteArray header = HasOverlongLine(entity.Header) ? MendHeader(entity.Header) : entity.Header.toByteArray();
    if (!entity.HasBody || !HasOverlongLine(entity.Body))
        return entity.HasBody ? header + CrLf.toByteArray() + entity.Body.toByteArray() : header;
    const QByteArray type = MediaType(header);
    const QByteArray encoding = TransferEncoding(header);
    if (type.startsWith("multipart/") && IsIdentityEncoding(encoding)) {
        const QByteArray value = FieldValue(header, "Content-Type");
        const QByteArray boundary = ParameterValue(ReadParameters(value.mid(value.indexOf(';') + 1)), "boundary");
        return header + CrLf.toByteArray() + MendMultipart(entity.Body, boundary, depth);
    }
    // RFC 2046, 5.2.1: an enclosed message is not encoded itself; its own parts are.
    if ((type == "message/rfc822" || type == "message/global") && IsIdentityEncoding(encoding))
        return header + CrLf.toByteArray() + MendEntity(entity.Body, true, depth + 1);
    return ReencodedLeaf(header, entity.Body, message);
}

} // namespace

bool HasOverlongLine(QByteArrayView text)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            if (i - start > MaxLineLength)
                return true;
            start = i + 1;
        }
    }
    return text.size() - start > MaxLineLength;
}

QByteArray MendOverlongLines(const QByteArray& text)
{
    if (!HasOverlongLine(text))
        return text;
    return MendEntity(text, true, 0);
}

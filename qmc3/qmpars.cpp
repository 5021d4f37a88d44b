#include "qmpars.h"

#include "qmconst.h"
#include "qmexcept.h"
#include "qmmime.h"
#include "qmpump.h"
#include "qmutils.h"
#include "qmuucode.h"

#include <QBuffer>

#include <optional>

namespace {

// Quoted-printable lines are decoded in batches, so that a large part is never held twice.
constexpr qsizetype QuotedPrintableBatch = 1024;
constexpr qsizetype Base64Batch = 64 * 1024;

[[noreturn]] void ThrowParserError(TqmMessageId id)
{
    throw EMessageParserError(qmMessageText(id));
}

QByteArray FieldBody(const TqmHeaders& headers, const char* name)
{
    return headers.GetFieldBody(QByteArray(name));
}

QByteArray TransferEncoding(const TqmHeaders& headers)
{
    return FieldBody(headers, "Content-Transfer-Encoding").trimmed().toLower();
}

TEncoding AttachmentEncoding(const QByteArray& transferEncoding)
{
    if (transferEncoding == "base64" || transferEncoding.startsWith("x-uue"))
        return etBase64;
    if (transferEncoding == "quoted-printable")
        return etQP;
    return etNone;
}

detail::TransferKind KindOf(const QByteArray& transferEncoding)
{
    if (transferEncoding.startsWith("x-uue"))
        return detail::TransferKind::UUEncoded;
    if (transferEncoding == "base64")
        return detail::TransferKind::Base64;
    if (transferEncoding == "quoted-printable")
        return detail::TransferKind::QuotedPrintable;
    return detail::TransferKind::Plain;
}

} // namespace

QByteArrayList detail::SplitTextLines(QByteArrayView text)
{
    QByteArrayList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype lf = text.indexOf('\n', start);
        if (lf < 0)
            lf = text.size();
        qsizetype end = lf;
        if (end > start && text.at(end - 1) == '\r')
            --end;
        lines.append(text.sliced(start, end - start).toByteArray());
        start = lf + 1;
    }
    return lines;
}

namespace {

using detail::SplitTextLines;

bool IsUUEndLine(QByteArrayView line)
{
    return line == "`" || line.compare("end", Qt::CaseInsensitive) == 0;
}

// RFC 2045, 6.8: characters outside the alphabet are ignored; transports append blanks to lines.
QByteArrayView WithoutTrailingWhiteSpace(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.chop(1);
    return line;
}

class QuotedPrintableSink {
public:
    explicit QuotedPrintableSink(QByteArray& data) : m_buffer(&data)
    {
        m_buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    void Add(QByteArrayView line)
    {
        m_lines.append(line.toByteArray());
        m_lastLineSoft = WithoutTrailingWhiteSpace(line).endsWith('=');
        if (m_lines.size() >= QuotedPrintableBatch)
            Flush();
    }
    void Flush()
    {
        TQuotedPrintable(m_buffer, m_lines).Decode();
        m_lines.clear();
    }
    // RFC 2046, 5.1.1: the line end before a delimiter belongs to the delimiter.
    bool LastLineEndsHard() const { return !m_lastLineSoft; }

private:
    QBuffer m_buffer;
    QByteArrayList m_lines;
    bool m_lastLineSoft = false;
};

// Decodes the lines of one part into its data.
class ContentSink {
public:
    ContentSink(detail::TransferKind kind, QByteArray& data) : m_kind(kind), m_data(data)
    {
        if (kind == detail::TransferKind::QuotedPrintable)
            m_quotedPrintable.emplace(data);
    }
    void Add(QByteArrayView line)
    {
        switch (m_kind) {
        case detail::TransferKind::Base64:
            line = WithoutTrailingWhiteSpace(line);
            // Empty lines and the "." a POP3 server ends with carry no data.
            if (!line.isEmpty() && line != ".")
                AddBase64(line);
            break;
        case detail::TransferKind::UUEncoded:
            line = WithoutTrailingWhiteSpace(line);
            if (!line.isEmpty() && line != "." && !IsUUCodeStart(line) && !IsUUEndLine(line)) {
                UUMakeBinData(line, m_decoded);
                m_data += m_decoded;
            }
            break;
        case detail::TransferKind::QuotedPrintable:
            m_quotedPrintable->Add(line);
            m_anyLine = true;
            break;
        case detail::TransferKind::Plain:
            m_data += line;
            m_data += "\r\n";
            m_anyLine = true;
            break;
        }
    }
    // RFC 2046, 5.1.1: the line end before a delimiter belongs to the delimiter.
    void Finish(bool delimited)
    {
        FlushBase64();
        bool hardLineEnd = m_kind == detail::TransferKind::Plain;
        if (m_quotedPrintable) {
            m_quotedPrintable->Flush();
            hardLineEnd = m_quotedPrintable->LastLineEndsHard();
        }
        if (delimited && m_anyLine && hardLineEnd && m_data.endsWith("\r\n"))
            m_data.chop(2);
    }

private:
    // Whole groups of four from consecutive lines decode as one text; a line with padding or an
    // incomplete group ends a batch, so every line still decodes as it would alone.
    void AddBase64(QByteArrayView line)
    {
        if (line.size() % 4 != 0) {
            FlushBase64();
            MakeBinData(line, m_decoded);
            m_data += m_decoded;
            return;
        }
        m_base64 += line;
        if (line.endsWith('=') || m_base64.size() >= Base64Batch)
            FlushBase64();
    }
    void FlushBase64()
    {
        if (m_base64.isEmpty())
            return;
        MakeBinData(m_base64, m_decoded);
        m_data += m_decoded;
        m_base64.resize(0);
    }

    detail::TransferKind m_kind;
    QByteArray& m_data;
    QByteArray m_decoded;
    QByteArray m_base64;
    std::optional<QuotedPrintableSink> m_quotedPrintable;
    bool m_anyLine = false;
};

QByteArray DecodeQuotedPrintable(const QByteArrayList& lines)
{
    QByteArray data;
    QuotedPrintableSink sink(data);
    for (const QByteArray& line : lines)
        sink.Add(line);
    sink.Flush();
    return data;
}

} // namespace

TqmCustomDecoder::TqmCustomDecoder(QIODevice& input, TqmCustomMessage& target)
    : m_target(target)
    , m_copy(input.isSequential() ? std::make_unique<QBuffer>() : nullptr)
    , m_lines(m_copy ? *m_copy : input)
{
    if (m_copy) {
        m_copy->setData(input.readAll());
        m_copy->open(QIODevice::ReadOnly);
    }
}

TqmCustomDecoder::~TqmCustomDecoder() = default;

void TqmCustomDecoder::ProcessHeaders()
{
    m_target.ProcessHeaders(Headers);
}

void TqmCustomDecoder::Process()
{
    FillHeaders(Headers);
    ProcessHeaders();
    try {
        if (FieldBody(Headers, "MIME-VERSION").contains("1.0"))
            DecodeMime();
        else
            DecodePlain();
    } catch (const EMessageParserError& error) {
        AddFallback(error.Message());
    }
    // POP3 retrievals of older versions kept the terminating "." line.
    if (!m_target.Body.isEmpty() && m_target.Body.last() == ".")
        m_target.Body.removeLast();
}

void TqmCustomDecoder::FillHeaders(TqmHeaders& headers)
{
    headers.clear();
    QByteArrayView line;
    while (NextLine(line) && !line.isEmpty())
        headers.append(line.toByteArray());
}

void TqmCustomDecoder::AddFallback(const QString& error)
{
    m_target.Body.append(QByteArrayLiteral("The following error has been occured while processing the message:"));
    m_target.Body.append(error.toUtf8());
    m_target.Body.append(QByteArrayLiteral("The original message will be stored as an attachment"));
    TqmAttItem original;
    original.SetFileName(QByteArrayLiteral("original.eml"));
    original.ContentType = QByteArrayLiteral("message/rfc822");
    original.Encoding = etNone;
    original.Data = m_lines.ReadAll();
    m_target.Attachments.Add(std::move(original));
}

void TqmCustomDecoder::DecodeMime()
{
    const QByteArray contentType = FieldBody(Headers, "Content-Type");
    const QByteArray lower = contentType.toLower();
    if (lower.contains("multipart/alternative")) {
        m_alternativeMessage = true;
        DecodeMultipart(contentType);
    } else if (lower.contains("multipart")) {
        DecodeMultipart(contentType);
    } else if (!lower.isEmpty() && !lower.contains("text/")) {
        DecodeSingleFile(Headers);
    } else {
        const QByteArray name = GetParameter(QByteArrayLiteral("name="), contentType);
        if (!name.isEmpty() && name != "cc:Mail")
            DecodeSingleFile(Headers);
        else
            DecodeSingleText();
    }
}

void TqmCustomDecoder::ApplyTextCharset(const QByteArray& contentType, bool quotedPrintable)
{
    m_target.BodyCharset = GetParameter(QByteArrayLiteral("charset="), contentType);
    const QByteArray charset = m_target.BodyCharset.toLower();
    // Quoted-printable text is taken for Latin-1 unless it says it is ASCII or says nothing.
    if (quotedPrintable && !charset.isEmpty() && charset != "us-ascii")
        m_target.CharSet = csISO8859;
    // Saving again must declare what the text is, or UTF-8 text would go out labelled Latin-1.
    if (charset == "utf-8" || charset == "utf8")
        m_target.CharSet = csUTF8;
    else if (charset == "iso-2022-jp")
        m_target.CharSet = csISO2022jp;
}

void TqmCustomDecoder::DecodeSingleText()
{
    const QByteArray contentType = FieldBody(Headers, "Content-Type");
    const QByteArray type = GetFirstPart(contentType).toLower();
    if (type == "text/html" || type == "text/rtf")
        m_target.SetContentType(type);
    const QByteArray transfer = TransferEncoding(Headers);
    const bool quotedPrintable = transfer == "quoted-printable"
        || FieldBody(Headers, "X-MIME-Autoconverted").toLower().contains("quoted-printable");
    ApplyTextCharset(contentType, quotedPrintable);
    if (transfer == "base64") {
        QByteArray text;
        ReadContent(TransferKind::Base64, false, text);
        m_target.Body = SplitTextLines(text);
        return;
    }
    QByteArrayList lines;
    QByteArrayView line;
    while (NextLine(line)) {
        if (IsUUCodeStart(line)) {
            // A mailer that calls uuencoded text MIME: the message is read as a plain one.
            Headers.Remove(QByteArrayLiteral("MIME-VERSION"));
            Headers.Remove(QByteArrayLiteral("CONTENT-TYPE"));
            Headers.Remove(QByteArrayLiteral("CONTENT-TRANSFER-ENCODING"));
            m_target.Headers = Headers;
            m_target.Body = lines;
            ReadUUFiles(line);
            return;
        }
        lines.append(line.toByteArray());
    }
    m_target.Body = quotedPrintable ? SplitTextLines(DecodeQuotedPrintable(lines)) : lines;
}

TqmAttItem TqmCustomDecoder::MakeAttachment(const TqmHeaders& partHeaders, bool alternative) const
{
    const QByteArray contentType = FieldBody(partHeaders, "Content-Type");
    QByteArray name = DecodeHeader(GetParameter(QByteArrayLiteral("name="), contentType));
    if (name.isEmpty())
        name = GetParameter(QByteArrayLiteral("filename="), FieldBody(partHeaders, "Content-Disposition"));
    if (name.isEmpty()) {
        const QByteArray prefix = alternative ? QByteArrayLiteral("_alt.") : QByteArrayLiteral("att.");
        name = prefix + QByteArray::number(m_target.Attachments.Count());
    }
    TqmAttItem item;
    item.SetFileName(CutToCapacity(name, qmShortTextCapacity));
    // The name's extension must not override what the part itself declares.
    item.ContentType = contentType.isEmpty() ? QByteArrayLiteral("text/plain") : GetFirstPart(contentType);
    item.Encoding = AttachmentEncoding(TransferEncoding(partHeaders));
    return item;
}

void TqmCustomDecoder::DecodeSingleFile(const TqmHeaders& headers)
{
    if (FieldBody(headers, "Content-Type").isEmpty())
        ThrowParserError(qmMissingContentType);
    TqmAttItem item = MakeAttachment(headers, false);
    ReadContent(KindOf(TransferEncoding(headers)), false, item.Data);
    m_target.Attachments.Add(std::move(item));
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::MatchBoundary(QByteArrayView line) const
{
    if (!line.startsWith(m_boundary))
        return PartEnd::NoBoundary;
    return line.sliced(m_boundary.size()).startsWith("--") ? PartEnd::CloseDelimiter : PartEnd::Delimiter;
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::SkipToBoundary()
{
    QByteArrayView line;
    while (NextLine(line)) {
        const PartEnd end = MatchBoundary(line);
        if (end != PartEnd::NoBoundary)
            return end;
    }
    ThrowParserError(qmCannotFindBoundary);
}

void TqmCustomDecoder::DecodeMultipart(const QByteArray& contentType)
{
    const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), contentType);
    // Without a boundary every line beginning with "--" would end a part.
    if (boundary.isEmpty())
        ThrowParserError(qmCannotFindBoundary);
    m_boundary = "--" + boundary;
    if (SkipToBoundary() != PartEnd::Delimiter)
        ThrowParserError(qmCannotFindBoundary);
    if (ReadFirstPart())
        ReadAttachments();
}

void TqmCustomDecoder::EnterAlternativeBody(const QByteArray& contentType)
{
    const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), contentType);
    if (boundary.isEmpty())
        ThrowParserError(qmCannotFindBoundary);
    m_insideAlternative = true;
    m_outerBoundary = m_boundary;
    m_boundary = "--" + boundary;
    if (SkipToBoundary() != PartEnd::Delimiter)
        ThrowParserError(qmCannotFindBoundary);
    FillHeaders(m_partHeaders);
}

bool TqmCustomDecoder::LeaveAlternativeBody()
{
    m_insideAlternative = false;
    m_boundary = m_outerBoundary;
    QByteArrayView line;
    while (NextLine(line)) {
        const PartEnd end = MatchBoundary(line);
        if (end != PartEnd::NoBoundary)
            return end == PartEnd::Delimiter;
    }
    return false;
}

bool TqmCustomDecoder::ReadFirstPart()
{
    FillHeaders(m_partHeaders);
    QByteArray contentType = FieldBody(m_partHeaders, "Content-Type");
    if (contentType.toLower().contains("multipart/alternative")) {
        EnterAlternativeBody(contentType);
        contentType = FieldBody(m_partHeaders, "Content-Type");
    }
    const QByteArray transfer = TransferEncoding(m_partHeaders);
    const bool iso2022jp = GetParameter(QByteArrayLiteral("charset="), contentType).toLower() == "iso-2022-jp";
    // A base64 text (other than Japanese) and a part the sender marked as attachment are not the
    // body: they stay unread and become the first attachment.
    const bool markedAttachment = FieldBody(m_partHeaders, "Content-Disposition").trimmed().toLower().startsWith("attachment");
    if ((transfer == "base64" && !iso2022jp) || markedAttachment) {
        m_partHeadersRead = true;
        return true;
    }
    const bool quotedPrintable = transfer == "quoted-printable";
    ApplyTextCharset(contentType, quotedPrintable);
    QByteArrayList lines;
    PartEnd end;
    if (transfer == "base64") {
        QByteArray text;
        end = ReadContent(TransferKind::Base64, true, text);
        lines = SplitTextLines(text);
    } else {
        end = ReadTextLines(true, lines);
        if (quotedPrintable)
            lines = SplitTextLines(DecodeQuotedPrintable(lines));
    }
    m_target.Body = lines;
    if (m_target.Body.isEmpty())
        m_target.Body.append(QByteArray());
    if (end == PartEnd::EndOfInput)
        ThrowParserError(qmCannotFindBoundary);
    if (end == PartEnd::CloseDelimiter) {
        if (m_insideAlternative)
            return LeaveAlternativeBody();
        m_target.SetContentType(GetFirstPart(contentType));
        return false;
    }
    return true;
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadTextLines(bool toBoundary, QByteArrayList& lines)
{
    QByteArrayView line;
    while (NextLine(line)) {
        if (toBoundary) {
            const PartEnd end = MatchBoundary(line);
            if (end != PartEnd::NoBoundary) {
                // RFC 2046, 5.1.1: the line end before a delimiter belongs to the delimiter.
                if (!lines.isEmpty() && lines.last().isEmpty())
                    lines.removeLast();
                return end;
            }
        }
        lines.append(line.toByteArray());
    }
    return PartEnd::EndOfInput;
}

void TqmCustomDecoder::ReadAttachments()
{
    for (;;) {
        ProcessMessages();
        if (!m_partHeadersRead)
            FillHeaders(m_partHeaders);
        m_partHeadersRead = false;
        TqmAttItem item = MakeAttachment(m_partHeaders, m_insideAlternative || m_alternativeMessage);
        const PartEnd end = ReadContent(KindOf(TransferEncoding(m_partHeaders)), true, item.Data);
        m_target.Attachments.Add(std::move(item));
        if (end == PartEnd::EndOfInput)
            return;
        if (end == PartEnd::CloseDelimiter && (!m_insideAlternative || !LeaveAlternativeBody()))
            return;
    }
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadContent(TransferKind kind, bool toBoundary, QByteArray& data)
{
    ContentSink sink(kind, data);
    QByteArrayView line;
    while (NextLine(line)) {
        if (toBoundary) {
            const PartEnd end = MatchBoundary(line);
            if (end != PartEnd::NoBoundary) {
                sink.Finish(true);
                return end;
            }
        }
        sink.Add(line);
    }
    sink.Finish(false);
    return PartEnd::EndOfInput;
}

void TqmCustomDecoder::DecodePlain()
{
    QByteArrayView line;
    while (NextLine(line)) {
        if (IsUUCodeStart(line)) {
            ReadUUFiles(line);
            return;
        }
        m_target.Body.append(line.toByteArray());
    }
}

void TqmCustomDecoder::ReadUUFiles(QByteArrayView beginLine)
{
    m_target.Encoding = meUU;
    // The blank line our encoder writes before each file.
    if (!m_target.Body.isEmpty() && m_target.Body.last().isEmpty())
        m_target.Body.removeLast();
    QByteArray begin = beginLine.toByteArray();
    while (ReadUUFile(begin)) {
        // Text between and after the files belongs to the body; blank lines and the "end" line
        // around the files do not.
        QByteArrayList text;
        QByteArrayView line;
        bool nextFile = false;
        while (NextLine(line)) {
            if (IsUUCodeStart(line)) {
                begin = line.toByteArray();
                nextFile = true;
                break;
            }
            if (text.isEmpty() && (line.isEmpty() || IsUUEndLine(line)))
                continue;
            text.append(line.toByteArray());
        }
        TrimStrings(text);
        m_target.Body += text;
        if (!nextFile)
            return;
    }
}

bool TqmCustomDecoder::ReadUUFile(QByteArrayView beginLine)
{
    QByteArray name = UUPickFileName(beginLine);
    if (name.isEmpty())
        name = "att." + QByteArray::number(m_target.Attachments.Count());
    TqmAttItem item;
    item.SetFileName(CutToCapacity(name, qmShortTextCapacity));
    QByteArray decoded;
    QByteArrayView line;
    bool more = false;
    while ((more = NextLine(line))) {
        if (IsUUEndLine(line))
            break;
        if (line.isEmpty())
            continue;
        try {
            UUMakeBinData(line, decoded);
        } catch (const EMessageParserError&) {
            ThrowParserError(qmErrorDecodingAttachment);
        }
        item.Data += decoded;
    }
    m_target.Attachments.Add(std::move(item));
    return more;
}

#include "qmpars.h"

#include "qmcharset.h"
#include "qmconst.h"
#include "qmexcept.h"
#include "qmmime.h"
#include "qmpartname.h"
#include "qmpump.h"
#include "qmutils.h"
#include "qmuucode.h"

#include <QBuffer>

#include <optional>

namespace {

constexpr qsizetype QuotedPrintableBatch = 64 * 1024;
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

// Quoted-printable lines are decoded in batches, so that a large part is never held twice.
class QuotedPrintableSink {
public:
    explicit QuotedPrintableSink(QByteArray& data) : m_data(data) {}
    void Add(QByteArrayView line)
    {
        m_text += line;
        m_text += "\r\n";
        m_lastLineSoft = WithoutTrailingWhiteSpace(line).endsWith('=');
        if (m_text.size() >= QuotedPrintableBatch)
            Flush();
    }
    void Flush()
    {
        DecodeQuotedPrintableText(m_text, m_data);
        m_text.resize(0);
    }
    // RFC 2046, 5.1.1: the line end before a delimiter belongs to the delimiter.
    bool LastLineEndsHard() const { return !m_lastLineSoft; }

private:
    QByteArray& m_data;
    QByteArray m_text;
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
    // RFC 2045, 6.8: line breaks carry no meaning, so a group of four may be split between lines
    // and consecutive lines decode as one text. Padding ends a text: what follows decodes as a new
    // one. An incomplete last group is decoded when the part ends (see MakeBinData).
    void AddBase64(QByteArrayView line)
    {
        m_base64 += line;
        if (line.endsWith('='))
            FlushBase64();
        else if (m_base64.size() >= Base64Batch)
            FlushWholeGroups();
    }
    void FlushWholeGroups()
    {
        const qsizetype whole = m_base64.size() & ~qsizetype(3);
        MakeBinData(QByteArrayView(m_base64).first(whole), m_decoded);
        m_data += m_decoded;
        m_base64.remove(0, whole);
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

// Beyond this many multiparts inside each other the message goes to the fallback.
constexpr int MaxNesting = 100;

QByteArray UnBracketed(const QByteArray& id)
{
    QByteArray text = id.trimmed();
    if (text.startsWith('<') && text.endsWith('>'))
        text = text.mid(1, text.size() - 2);
    return text;
}

QByteArray ContentId(const TqmHeaders& headers)
{
    return UnBracketed(headers.GetRawFieldBody(QByteArrayLiteral("Content-ID")));
}

// A file name is one line of text: decoded names may hold any byte.
QByteArray FileNameText(QByteArray name)
{
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return name.trimmed();
}

// A leaf part the reader may take as the body: text that is neither marked as an attachment nor
// named (a named text is a document of its own, also when the sender shows it inline).
bool IsBodyText(const TqmHeaders& headers)
{
    const QByteArray contentType = FieldBody(headers, "Content-Type");
    const QByteArray type = GetFirstPart(contentType).toLower();
    if (!type.isEmpty() && !type.startsWith("text/"))
        return false;
    const QByteArray disposition = headers.GetRawFieldBody(QByteArrayLiteral("Content-Disposition"));
    if (GetFirstPart(disposition).toLower() == "attachment")
        return false;
    return GetParameter(QByteArrayLiteral("name="), contentType).isEmpty()
        && GetParameter(QByteArrayLiteral("filename="), disposition).isEmpty();
}

bool IsPlainText(const TqmHeaders& headers)
{
    const QByteArray type = GetFirstPart(FieldBody(headers, "Content-Type")).toLower();
    return (type.isEmpty() || type == "text/plain") && IsBodyText(headers);
}

// Text a reader shows where it stands: plain text or HTML, neither named nor marked as attachment.
bool IsInlineText(const TqmHeaders& headers)
{
    const QByteArray type = GetFirstPart(FieldBody(headers, "Content-Type")).toLower();
    return (type.isEmpty() || type == "text/plain" || type == "text/html") && IsBodyText(headers);
}

} // namespace

// By the type alone: a related multipart names the type of its root in a parameter.
TqmCustomDecoder::Container TqmCustomDecoder::ContainerOf(const QByteArray& contentType)
{
    const QByteArray type = GetFirstPart(contentType).toLower();
    if (type == "multipart/alternative")
        return Container::Alternative;
    if (type == "multipart/related")
        return Container::Related;
    return Container::Mixed;
}

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
    if (lower.contains("multipart")) {
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
    m_target.BodyContentType = type;
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
    TqmParameters parameters = ReadParameters(contentType);
    QByteArray name = ParameterValue(parameters, "name");
    if (name.isEmpty())
        name = ParameterValue(ReadParameters(partHeaders.GetRawFieldBody("Content-Disposition")), "filename");
    name = FileNameText(DecodeHeader(name));
    if (name.isEmpty()) {
        name = alternative ? "_alt." + QByteArray::number(m_target.Attachments.Count())
                           : MadeUpName(GetFirstPart(contentType));
    }
    TqmAttItem item;
    item.SetFileNameOnly(CutToCapacity(name, qmShortTextCapacity));
    // The name's extension must not override what the part itself declares.
    item.ContentType = contentType.isEmpty() ? QByteArrayLiteral("text/plain") : GetFirstPart(contentType);
    item.Encoding = AttachmentEncoding(TransferEncoding(partHeaders));
    parameters.removeIf([](const TqmParameter& parameter) { return parameter.Name == "name"; });
    item.Parameters = std::move(parameters);
    item.ContentID = ContentId(partHeaders);
    return item;
}

QByteArray TqmCustomDecoder::MadeUpName(const QByteArray& contentType) const
{
    QByteArray name = UnnamedPartName(contentType, m_leafParts);
    // Names of parts hold their position, but a message's name ("Message.eml") does not.
    if (!name.endsWith(".eml"))
        return name;
    for (qsizetype i = 0; i < m_target.Attachments.Count(); ++i) {
        if (m_target.Attachments.Items(i).GetFileName() == name)
            return UnnamedPartName(contentType, m_leafParts, true);
    }
    return name;
}

void TqmCustomDecoder::DecodeSingleFile(const TqmHeaders& headers)
{
    if (FieldBody(headers, "Content-Type").isEmpty())
        ThrowParserError(qmMissingContentType);
    m_leafParts = 1;
    TqmAttItem item = MakeAttachment(headers, false);
    ReadContent(KindOf(TransferEncoding(headers)), false, item.Data);
    m_target.Attachments.Add(std::move(item));
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::MatchBoundary(QByteArrayView line) const
{
    if (!line.startsWith("--"))
        return {};
    // The innermost boundary first; an outer one ends the inner multiparts as well.
    for (qsizetype level = m_boundaries.size() - 1; level >= 0; --level) {
        const QByteArray& boundary = m_boundaries.at(level);
        if (line.startsWith(boundary)) {
            const bool close = line.sliced(boundary.size()).startsWith("--");
            return {close ? PartEnd::CloseDelimiter : PartEnd::Delimiter, level};
        }
    }
    return {};
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::SkipToBoundary()
{
    QByteArrayView line;
    while (NextLine(line)) {
        const PartEnd end = MatchBoundary(line);
        if (end.kind != PartEnd::NoBoundary)
            return end;
    }
    ThrowParserError(qmCannotFindBoundary);
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::SkipEpilogue(qsizetype level)
{
    QByteArrayView line;
    while (NextLine(line)) {
        const PartEnd end = MatchBoundary(line);
        if (end.kind != PartEnd::NoBoundary && end.level < level)
            return end;
    }
    return {PartEnd::EndOfInput};
}

void TqmCustomDecoder::DecodeMultipart(const QByteArray& contentType)
{
    const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), contentType);
    // Without a boundary every line beginning with "--" would end a part.
    if (boundary.isEmpty())
        ThrowParserError(qmCannotFindBoundary);
    m_boundaries = {"--" + boundary};
    if (SkipToBoundary().kind != PartEnd::Delimiter)
        ThrowParserError(qmCannotFindBoundary);
    ReadParts(contentType, PartRole{true, false}, 1);
    // A multipart that holds nothing but its text is that text.
    if (m_bodyFound && m_target.Attachments.Count() == 0)
        m_target.SetContentType(GetFirstPart(m_bodyType));
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadParts(const QByteArray& contentType, PartRole role, int depth)
{
    const Container container = ContainerOf(contentType);
    // RFC 2387, 3.2: the root of a related multipart is the part its "start" names, else the first.
    const QByteArray start = container == Container::Related
        ? UnBracketed(GetParameter(QByteArrayLiteral("start="), contentType))
        : QByteArray();
    const qsizetype level = m_boundaries.size() - 1;
    const bool bodyFoundBefore = m_bodyFound;
    // Further text of a mixed multipart continues what its first part showed: the body, else (in
    // an alternative) the alternative.
    TInlineText continues = TInlineText::None;
    for (int index = 0;; ++index) {
        ProcessMessages();
        TqmHeaders headers;
        FillHeaders(headers);
        PartRole part;
        switch (container) {
        case Container::Mixed:
            if (index == 1)
                continues = role.alternative && (bodyFoundBefore || !m_bodyFound) ? TInlineText::AfterAlternative
                                                                                  : TInlineText::AfterBody;
            part = {role.mayBeBody, role.alternative && index == 0, continues};
            break;
        case Container::Alternative:
            // The plain text is the body; the first alternative stands in for it when it comes first.
            part = {role.mayBeBody && (index == 0 || IsPlainText(headers)), true};
            break;
        case Container::Related: {
            const bool root = start.isEmpty() ? index == 0 : ContentId(headers) == start;
            part = {role.mayBeBody && root, role.alternative && root};
            break;
        }
        }
        const PartEnd end = ReadPart(headers, part, depth);
        if (end.kind == PartEnd::EndOfInput || end.level < level)
            return end;
        if (end.kind == PartEnd::CloseDelimiter)
            return level == 0 ? end : SkipEpilogue(level);
    }
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadPart(const TqmHeaders& headers, PartRole role, int depth)
{
    // A few megabytes of empty parts would otherwise cost seconds and hundreds of megabytes; the
    // fallback keeps the whole text, so nothing is lost.
    if (++m_partsRead > MaxMessageParts)
        throw EMessageParserError(qmMessageText(qmStructureCut).arg(MaxMessageParts));
    const QByteArray contentType = FieldBody(headers, "Content-Type");
    if (GetFirstPart(contentType).toLower().startsWith("multipart/")) {
        const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), contentType);
        if (!boundary.isEmpty())
            return ReadNestedMultipart(contentType, boundary, role, depth);
    }
    return ReadLeaf(headers, role);
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadNestedMultipart(const QByteArray& contentType, const QByteArray& boundary,
                                                               PartRole role, int depth)
{
    // Hostile input could nest parts until the stack runs out.
    if (depth >= MaxNesting)
        ThrowParserError(qmNestedTooDeeply);
    m_boundaries.append("--" + boundary);
    const qsizetype level = m_boundaries.size() - 1;
    PartEnd end = SkipToBoundary();
    // A multipart whose own first delimiter never comes is broken beyond repair.
    if (end.level != level)
        ThrowParserError(qmCannotFindBoundary);
    end = end.kind == PartEnd::Delimiter ? ReadParts(contentType, role, depth + 1) : SkipEpilogue(level);
    m_boundaries.removeLast();
    return end;
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadLeaf(const TqmHeaders& headers, PartRole role)
{
    ++m_leafParts;
    if (role.mayBeBody && !m_bodyFound && IsBodyText(headers)) {
        QByteArray notText;
        const PartEnd end = ReadBody(headers, notText);
        if (m_bodyFound)
            return end;
        // No text after all: the part is kept as it came.
        TqmAttItem item = MakeAttachment(headers, role.alternative);
        item.Data = std::move(notText);
        m_target.Attachments.Add(std::move(item));
        return end;
    }
    TqmAttItem item = MakeAttachment(headers, role.alternative);
    if (role.inlineAs != TInlineText::None && IsInlineText(headers))
        item.Inline = role.inlineAs;
    const PartEnd end = ReadContent(KindOf(TransferEncoding(headers)), true, item.Data);
    m_target.Attachments.Add(std::move(item));
    return end;
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadBody(const TqmHeaders& headers, QByteArray& notText)
{
    const QByteArray contentType = FieldBody(headers, "Content-Type");
    const QByteArray transfer = TransferEncoding(headers);
    PartEnd end;
    QByteArrayList lines;
    if (transfer == "base64") {
        QByteArray text;
        end = ReadContent(TransferKind::Base64, true, text);
        // Text of any charset, declared or not, is the body (the view detects an undeclared one);
        // bytes with NUL in them are no text, whatever their label says.
        if (text.contains('\0')) {
            notText = std::move(text);
            return end;
        }
        lines = SplitTextLines(text);
        ApplyTextCharset(contentType, false);
    } else {
        const bool quotedPrintable = transfer == "quoted-printable";
        ApplyTextCharset(contentType, quotedPrintable);
        end = ReadTextLines(true, lines);
        if (quotedPrintable)
            lines = SplitTextLines(DecodeQuotedPrintable(lines));
    }
    m_bodyFound = true;
    m_bodyType = contentType;
    m_target.BodyContentType = GetFirstPart(contentType).toLower();
    m_target.Body = lines;
    // A body part that is present but empty still counts as the body.
    if (m_target.Body.isEmpty())
        m_target.Body.append(QByteArray());
    if (end.kind == PartEnd::EndOfInput)
        ThrowParserError(qmCannotFindBoundary);
    return end;
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadTextLines(bool toBoundary, QByteArrayList& lines)
{
    QByteArrayView line;
    while (NextLine(line)) {
        if (toBoundary) {
            const PartEnd end = MatchBoundary(line);
            if (end.kind != PartEnd::NoBoundary) {
                // RFC 2046, 5.1.1: the line end before a delimiter belongs to the delimiter.
                if (!lines.isEmpty() && lines.last().isEmpty())
                    lines.removeLast();
                return end;
            }
        }
        lines.append(line.toByteArray());
    }
    return {PartEnd::EndOfInput};
}

TqmCustomDecoder::PartEnd TqmCustomDecoder::ReadContent(TransferKind kind, bool toBoundary, QByteArray& data)
{
    ContentSink sink(kind, data);
    QByteArrayView line;
    while (NextLine(line)) {
        if (toBoundary) {
            const PartEnd end = MatchBoundary(line);
            if (end.kind != PartEnd::NoBoundary) {
                sink.Finish(true);
                return end;
            }
        }
        sink.Add(line);
    }
    sink.Finish(false);
    return {PartEnd::EndOfInput};
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
        name = UnnamedPartName(QByteArrayLiteral("application/octet-stream"), m_target.Attachments.Count() + 1);
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

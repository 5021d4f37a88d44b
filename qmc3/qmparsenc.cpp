#include "qmpars.h"

#include "qmcharset.h"
#include "qmconst.h"
#include "qmexcept.h"
#include "qmmime.h"
#include "qmpump.h"
#include "qmutils.h"
#include "qmuucode.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

bool ForceBCC = false;

namespace {

constexpr qsizetype FlushSize = 64 * 1024;
constexpr qsizetype LongLine = 256;
constexpr qsizetype Base64Slice = 57 * 1024;
constexpr qsizetype UUBlock = 45;

// Transfer-encoding names of attachments, indexed by TEncoding.
constexpr std::array<const char*, 3> EncNames = {"7bit", "Base64", "Quoted-Printable"};
// RFC 5322, 2.1.1: servers refuse longer lines.
constexpr qsizetype MaxLineLength = 998;

// How the content of one attachment can travel unchanged.
struct ContentShape {
    bool eightBit = false;
    bool nul = false;
    bool loneCR = false;   // a CR not followed by LF: quoted-printable would read it back as a line end
    bool longLine = false; // more than 998 octets between line ends
    bool ctrlZ = false;    // Ctrl-Z before a line end, after which the quoted-printable decoder adds none
};

ContentShape ShapeOf(const QByteArray& data)
{
    ContentShape shape;
    qsizetype lineStart = 0;
    const qsizetype n = data.size();
    const char* p = data.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if (b >= 0x80) {
            shape.eightBit = true;
        } else if (b == '\n') {
            shape.longLine = shape.longLine || i - lineStart > MaxLineLength + 1;
            shape.ctrlZ = shape.ctrlZ || (i >= 2 && p[i - 1] == '\r' && p[i - 2] == '\x1A');
            lineStart = i + 1;
        } else if (b == '\r') {
            shape.loneCR = shape.loneCR || i + 1 >= n || p[i + 1] != '\n';
        } else if (b == 0) {
            shape.nul = true;
        }
    }
    shape.longLine = shape.longLine || n - lineStart > MaxLineLength;
    return shape;
}

// The transfer encoding that brings an attachment's bytes through any server unchanged: what the
// item asks for where that is safe, else quoted-printable for text and base64 for the rest.
// Messages and multiparts may only be 7bit or 8bit (RFC 2046, 5.2.1 and 5.1): 8-bit bytes go as
// "8bit"; only NUL, a lone CR or an overlong line forces base64 on them.
QByteArray WireEncoding(const TqmAttItem& item)
{
    if (item.Encoding == etBase64)
        return EncNames.at(etBase64);
    const ContentShape shape = ShapeOf(item.Data);
    const bool quotedPrintableSafe = !shape.loneCR && !shape.ctrlZ;
    if (item.Encoding == etQP)
        return quotedPrintableSafe ? EncNames.at(etQP) : EncNames.at(etBase64);
    const bool lineSafe = !shape.nul && !shape.loneCR && !shape.longLine;
    if (lineSafe && !shape.eightBit)
        return EncNames.at(etNone);
    const QByteArray type = item.ContentType.toLower();
    if (type.startsWith("message/") || type.startsWith("multipart/"))
        return lineSafe ? QByteArray("8bit") : QByteArray(EncNames.at(etBase64));
    if ((type.isEmpty() || type.startsWith("text/")) && quotedPrintableSafe)
        return EncNames.at(etQP);
    return EncNames.at(etBase64);
}

// Fields the encoder writes itself; stored copies of them are left out.
constexpr std::array<const char*, 12> RewrittenFields = {
    "From", "To", "CC", "BCC", "Return-Receipt-To", "X-Priority", "Subject", "Mime-Version",
    "Content-Type", "X-Encoding", "Content-Transfer-Encoding", "Content-Disposition"};

// The field name as the header lookups match it: the line begins with "Name:", in any case.
bool IsRewrittenField(QByteArrayView line)
{
    return std::any_of(RewrittenFields.cbegin(), RewrittenFields.cend(), [line](const char* field) {
        const QByteArrayView name(field);
        return line.size() > name.size() && line.at(name.size()) == ':'
            && line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0;
    });
}

QByteArray FileNamePart(const QByteArray& fileName)
{
    const qsizetype separator = std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\'));
    return fileName.mid(separator + 1);
}

bool IsAlternativeName(const TqmAttItem& item)
{
    return FileNamePart(item.GetFileName()).toLower().startsWith("_alt.");
}

// A header value is one line: a line end in a subject or a name would start a new field.
QByteArray OneLine(QByteArray text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

// A file name as a quoted parameter value; non-ASCII names as encoded words, as mailers do.
QByteArray QuotedFileName(const TqmAttItem& item)
{
    QByteArray name = EncodeHeader(OneLine(FileNamePart(item.GetFileName())));
    name.replace('"', '\'');
    return '"' + name + '"';
}

// A charset name fit to be written back into a field.
bool IsPlainAsciiToken(const QByteArray& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.' || c == ':';
    });
}

QByteArray TypeOrDefault(const QByteArray& contentType)
{
    return contentType.isEmpty() ? QByteArrayLiteral("application/octet-stream") : contentType;
}

bool EndsWithLineEnd(const QByteArray& data)
{
    return data.endsWith('\n') || data.endsWith('\r');
}

// Written line by line as it is: 7bit and 8bit.
bool IsLineEncoding(const QByteArray& encoding)
{
    return encoding == "7bit" || encoding == "8bit";
}


} // namespace

QByteArray MakeUniqueID()
{
    QByteArray id(8, '0');
    for (char& digit : id)
        digit = char('0' + QRandomGenerator::global()->bounded(9));
    return id;
}

TqmCustomEncoder::TqmCustomEncoder(const TqmCustomMessage& source, QIODevice& target) : m_source(source), m_target(target)
{
    for (const QByteArray& line : source.Body) {
        m_longLines = m_longLines || line.size() >= LongLine;
        for (const char c : line) {
            const auto b = static_cast<unsigned char>(c);
            m_bodyHas8Bit = m_bodyHas8Bit || b >= 0x80;
            m_bodyHasControls = m_bodyHasControls || b == 0 || b == '\r';
        }
    }
}

void TqmCustomEncoder::StringToStream(QByteArrayView line)
{
    m_pending += line;
    m_pending += "\r\n";
    if (m_pending.size() >= FlushSize)
        Flush();
}

void TqmCustomEncoder::Flush()
{
    if (m_pending.isEmpty())
        return;
    if (m_target.write(m_pending) != m_pending.size())
        throw EMessageError(QStringLiteral("Cannot write the message: %1").arg(m_target.errorString()));
    m_pending.resize(0);
}

QByteArray TqmCustomEncoder::PaddedFieldName(QByteArray name)
{
    if (!name.endsWith(':'))
        name += ':';
    return name.leftJustified(10, ' ');
}

QByteArray TqmCustomEncoder::DisplayName(const QByteArray& name, qsizetype column)
{
    return EncodePhrase(OneLine(name), column);
}

void TqmCustomEncoder::FieldToStream(QByteArrayView line)
{
    for (const QByteArray& folded : FoldHeaderLine(line))
        StringToStream(folded);
}

// Plain 7-bit text declares its charset as the message says; any other byte (8-bit text in a message
// still marked US-ASCII, NUL, a lone CR) goes out quoted-printable, since transports would damage it.
bool TqmCustomEncoder::BodyNeedsQuotedPrintable() const
{
    return m_source.CharSet == csISO8859 || m_source.CharSet == csUTF8 || m_longLines || m_bodyHas8Bit
        || m_bodyHasControls;
}

QByteArray TqmCustomEncoder::CharsetName() const
{
    switch (m_source.CharSet) {
    case csISO8859:
        if (m_bodyHas8Bit && !m_source.BodyCharset.isEmpty() && IsPlainAsciiToken(m_source.BodyCharset))
            return m_source.BodyCharset;
        return QByteArrayLiteral("iso-8859-1");
    case csISO2022jp:
        return QByteArrayLiteral("iso-2022-jp");
    case csUTF8:
        return QByteArrayLiteral("utf-8");
    case csUSASCII:
        break;
    }
    if (!m_bodyHas8Bit)
        return QByteArrayLiteral("us-ascii");
    // Text read from a message keeps the charset it was declared in (windows-1251, koi8-r...).
    if (!m_source.BodyCharset.isEmpty() && IsPlainAsciiToken(m_source.BodyCharset))
        return m_source.BodyCharset;
    const bool utf8 = std::all_of(m_source.Body.cbegin(), m_source.Body.cend(),
                                  [](const QByteArray& line) { return IsValidUtf8(line); });
    return utf8 ? QByteArrayLiteral("utf-8") : QByteArrayLiteral("iso-8859-1");
}

void TqmCustomEncoder::Process()
{
    PrepareGlobalHeaders();
    if (m_source.Encoding == meUU) {
        WriteUUEncoded();
        Flush();
        return;
    }
    const QByteArray type = m_source.GetContentType();
    const bool hasAttachments = m_source.Attachments.Count() > 0;
    if (type == "multipart/mixed")
        WriteMultipart(false, type);
    else if (type == "multipart/alternative")
        WriteMultipart(true, type);
    else if (hasAttachments)
        WriteFile();
    else if (type == "text/plain")
        WritePlainText();
    else if (type == "text/html" || type == "text/rtf")
        WriteFormattedText(type);
    else if (type.startsWith("multipart/"))
        WriteMultipart(false, type);
    else
        WriteTextPart(type);
    Flush();
}

void TqmCustomEncoder::WriteBodyLines()
{
    for (const QByteArray& line : m_source.Body)
        StringToStream(line);
}

void TqmCustomEncoder::WriteBodyQuotedPrintable()
{
    QByteArray text;
    for (const QByteArray& line : m_source.Body) {
        text += line;
        text += "\r\n";
    }
    QByteArray encoded;
    EncodeQuotedPrintableText(text, encoded);
    WriteText(encoded);
}

void TqmCustomEncoder::WriteText(QByteArrayView text)
{
    m_pending += text;
    if (m_pending.size() >= FlushSize)
        Flush();
}

void TqmCustomEncoder::WritePlainText()
{
    WriteTextPart(QByteArrayLiteral("text/plain"));
}

// The body as one text part: the header pair, an empty line and the text.
void TqmCustomEncoder::WriteTextPart(const QByteArray& contentType)
{
    StringToStream("Content-Type: " + contentType + "; charset=\"" + CharsetName() + '"');
    const bool quotedPrintable = BodyNeedsQuotedPrintable();
    StringToStream(quotedPrintable ? "Content-Transfer-Encoding: quoted-printable" : "Content-Transfer-Encoding: 7bit");
    StringToStream("");
    if (quotedPrintable)
        WriteBodyQuotedPrintable();
    else
        WriteBodyLines();
}

void TqmCustomEncoder::WriteFormattedText(const QByteArray& contentType)
{
    QByteArray field = "Content-Type: " + contentType;
    if (m_source.CharSet != csUSASCII || m_bodyHas8Bit)
        field += "; charset=\"" + CharsetName() + '"';
    StringToStream(field);
    StringToStream("Content-Transfer-Encoding: quoted-printable");
    StringToStream("");
    WriteBodyQuotedPrintable();
}

void TqmCustomEncoder::WriteFile()
{
    const TqmAttItem& item = m_source.Attachments.Items(0);
    const QByteArray name = FileNamePart(item.GetFileName()).toLower();
    const bool bodyForm = m_source.Attachments.Count() == 1 && (name == "_htmbody.htm" || name == "_rtfbody.rtf");
    const QByteArray encoding = WireEncoding(item);
    if (bodyForm)
        StringToStream((name == "_htmbody.htm" ? "Content-Type: text/html" : "Content-Type: text/rtf")
                       + WriteParameters(item.Parameters));
    else
        FieldToStream(ContentTypeField(item, true));
    StringToStream("Content-Transfer-Encoding: " + encoding);
    if (!bodyForm)
        WriteDisposition(item);
    StringToStream("");
    WriteAttachmentContent(item, encoding);
}

void TqmCustomEncoder::WriteMultipart(bool alternativeMode, const QByteArray& contentType)
{
    QByteArray boundary = MakeUniqueID();
    StringToStream("Content-Type: " + contentType + "; boundary=\"" + boundary + '"');
    StringToStream("");
    StringToStream(qmMessageText(qmMimePreamble).toUtf8());
    StringToStream("");
    StringToStream("--" + boundary);
    const TqmAttList& attachments = m_source.Attachments;
    QByteArray outerBoundary;
    bool nested = !alternativeMode && attachments.Count() > 0 && IsAlternativeName(attachments.Items(0));
    if (nested) {
        outerBoundary = boundary;
        boundary = MakeUniqueID();
        StringToStream("Content-Type:  multipart/alternative; boundary=\"" + boundary + '"');
        StringToStream("Content-Transfer-Encoding: 7bit");
        StringToStream("");
        StringToStream("--" + boundary);
    }
    bool delimiterWritten = true;
    if (!m_source.Body.isEmpty()) {
        WritePlainText();
        StringToStream("");
        delimiterWritten = false;
    }
    const bool bodyFormFirst = m_source.Body.isEmpty() && attachments.Count() > 0
        && QByteArrayList{"_htmbody.htm", "_rtfbody.rtf"}.contains(FileNamePart(attachments.Items(0).GetFileName()).toLower());
    for (qsizetype i = 0; i < attachments.Count(); ++i) {
        const TqmAttItem& item = attachments.Items(i);
        if (nested && !IsAlternativeName(item)) {
            if (!delimiterWritten)
                StringToStream("--" + boundary + "--");
            StringToStream("");
            boundary = outerBoundary;
            nested = false;
            delimiterWritten = false;
        }
        if (!delimiterWritten)
            StringToStream("--" + boundary);
        delimiterWritten = false;
        const bool inlineBody = alternativeMode || nested || (i == 0 && bodyFormFirst);
        WriteAttachmentPart(item, inlineBody);
        ProcessMessages();
    }
    if (nested) {
        StringToStream("--" + boundary + "--");
        StringToStream("");
        boundary = outerBoundary;
    }
    StringToStream("--" + boundary + "--");
}

void TqmCustomEncoder::WriteAttachmentPart(const TqmAttItem& item, bool inlineBody)
{
    const QByteArray encoding = WireEncoding(item);
    FieldToStream(ContentTypeField(item, !inlineBody));
    StringToStream("Content-Transfer-Encoding: " + encoding);
    if (!item.ContentID.isEmpty())
        StringToStream("Content-ID: <" + OneLine(item.ContentID) + '>');
    if (!inlineBody)
        WriteDisposition(item);
    StringToStream("");
    WriteAttachmentContent(item, encoding);
    // The line end before the next delimiter belongs to the delimiter (RFC 2046, 5.1.1): text that
    // does not end with a line end is followed directly by it, so that it reads back unchanged.
    if (!IsLineEncoding(encoding) || item.Data.isEmpty() || EndsWithLineEnd(item.Data))
        StringToStream("");
}

QByteArray TqmCustomEncoder::ContentTypeField(const TqmAttItem& item, bool named)
{
    QByteArray field = "Content-Type: " + TypeOrDefault(item.ContentType) + WriteParameters(item.Parameters);
    if (named)
        field += "; name=" + QuotedFileName(item);
    return field;
}

// Parts the message window shows within the text (they carry a Content-ID) go inline.
void TqmCustomEncoder::WriteDisposition(const TqmAttItem& item)
{
    const QByteArray disposition = item.ContentID.isEmpty() ? QByteArrayLiteral("attachment") : QByteArrayLiteral("inline");
    FieldToStream("Content-Disposition: " + disposition + "; filename=" + QuotedFileName(item));
}

void TqmCustomEncoder::WriteAttachmentContent(const TqmAttItem& item, const QByteArray& encoding)
{
    const QByteArray& data = item.Data;
    const TEncoding kind = encoding == EncNames.at(etBase64) ? etBase64 : encoding == EncNames.at(etQP) ? etQP : etNone;
    switch (kind) {
    case etBase64:
        // In slices, so that a large attachment is never held twice in base64.
        for (qsizetype at = 0; at < data.size(); at += Base64Slice) {
            EncodeBase64Lines(QByteArrayView(data).sliced(at, std::min(Base64Slice, data.size() - at)), m_pending);
            if (m_pending.size() >= FlushSize)
                Flush();
        }
        break;
    case etQP: {
        QByteArray encoded;
        EncodeQuotedPrintableText(data, encoded);
        // A soft break after the last line keeps text without a final line end as it is.
        if (!encoded.isEmpty() && !EndsWithLineEnd(data))
            encoded.insert(encoded.size() - 2, '=');
        WriteText(encoded);
        break;
    }
    case etNone:
        for (const QByteArray& line : detail::SplitTextLines(data))
            StringToStream(line);
        break;
    }
}

void TqmCustomEncoder::WriteUUEncoded()
{
    StringToStream("");
    WriteBodyLines();
    QByteArray line;
    for (qsizetype i = 0; i < m_source.Attachments.Count(); ++i) {
        const TqmAttItem& item = m_source.Attachments.Items(i);
        QByteArray name = OneLine(FileNamePart(item.GetFileName()));
        if (name.contains(' '))
            name = '"' + name + '"';
        StringToStream("");
        StringToStream("begin 600 " + name);
        const QByteArray& data = item.Data;
        qsizetype at = 0;
        for (;;) {
            const qsizetype size = std::min(UUBlock, data.size() - at);
            UUMakeTextData(QByteArrayView(data).sliced(at, size), line);
            StringToStream(line);
            at += size;
            if (size < UUBlock)
                break;
        }
        StringToStream("`");
        StringToStream("end");
    }
}

void TqmMessageEncoder::ListHeadersToStream(const QByteArray& name, const TqmAddressList& list)
{
    const QByteArray indent(10, ' ');
    for (qsizetype i = 0; i < list.Count(); ++i) {
        const TqmMailAddress& entry = list.Items(i);
        const QByteArray start = i == 0 ? PaddedFieldName(name) : indent;
        QByteArray line = start + DisplayName(entry.Name, start.size()) + " <" + OneLine(entry.Address) + '>';
        if (i + 1 < list.Count())
            line += ',';
        FieldToStream(line);
    }
}

// Every copy of a rewritten field goes, with its continuation lines, in one pass over the lines: a
// header block of many such fields must not cost a search per field.
void TqmMessageEncoder::WriteOwnHeaders(const TqmHeaders& headers)
{
    bool skipping = false;
    for (const QByteArray& line : headers) {
        const bool continuation = line.startsWith(' ') || line.startsWith('\t');
        if (!continuation)
            skipping = IsRewrittenField(line);
        // An empty line would end the header block early.
        if (!skipping && !line.trimmed().isEmpty())
            FieldToStream(line);
    }
}

void TqmMessageEncoder::PrepareGlobalHeaders()
{
    const TqmMessage& message = m_message;
    const QByteArray from = PaddedFieldName("From");
    FieldToStream(from + DisplayName(message.Sender.Name, from.size()) + " <" + OneLine(message.Sender.Address) + '>');
    ListHeadersToStream("To", message.Recipients);
    ListHeadersToStream("CC", message.CC);
    if (ForceBCC)
        ListHeadersToStream("BCC", message.BCC);
    if (message.ReturnReceipt)
        StringToStream("Return-Receipt-To: <" + OneLine(message.Sender.Address) + '>');
    if (message.Priority == ptLow)
        StringToStream("X-Priority: 5");
    else if (message.Priority == ptHigh)
        StringToStream("X-Priority: 1");
    WriteOwnHeaders(message.Headers);
    if (!message.Subject.isEmpty())
        FieldToStream("Subject: " + EncodeHeader(OneLine(message.Subject), 9));
    if (message.Encoding != meUU)
        StringToStream("Mime-Version: 1.0");
}

#include "MessageSummary.h"

#include "qmpars.h"

#include <QBuffer>
#include <QCryptographicHash>

namespace {

QByteArray Escaped(QByteArrayView text)
{
    QByteArray out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (b < 0x20 || b == 0x7F)
            out += "\\x" + QByteArray::number(b, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

void AppendAddresses(QByteArray& out, const char* field, const TqmAddressList& list)
{
    for (qsizetype i = 0; i < list.Count(); ++i)
        out += QByteArray(field) + ": " + Escaped(list.Items(i).Name) + " <" + Escaped(list.Items(i).Address) + ">\n";
}

bool ShowsContent(const TqmAttItem& item)
{
    const QByteArray type = item.ContentType.toLower();
    return item.Data.size() <= 200 && (type.startsWith("text/") || type.startsWith("message/"));
}

} // namespace

QByteArray MessageSummary(const TqmMessage& message, bool detailed)
{
    QByteArray out;
    out += "content-type: " + message.GetContentType() + '\n';
    out += "encoding: " + QByteArray::number(message.Encoding) + '\n';
    out += "charset: " + QByteArray::number(message.CharSet) + '\n';
    out += "body-charset: " + Escaped(message.BodyCharset) + '\n';
    out += "from: " + Escaped(message.Sender.Name) + " <" + Escaped(message.Sender.Address) + ">\n";
    AppendAddresses(out, "to", message.Recipients);
    AppendAddresses(out, "cc", message.CC);
    AppendAddresses(out, "bcc", message.BCC);
    out += "subject: " + Escaped(message.Subject) + '\n';
    out += "priority: " + QByteArray::number(message.Priority) + '\n';
    out += "return-receipt: " + QByteArray(message.ReturnReceipt ? "yes" : "no") + '\n';
    // Only where the message's own type does not already say what the text is.
    if (detailed && !message.BodyContentType.isEmpty() && message.BodyContentType != "text/plain"
        && message.BodyContentType != message.GetContentType())
        out += "body-type: " + Escaped(message.BodyContentType) + '\n';
    out += "body: " + QByteArray::number(message.Body.size()) + " lines\n";
    for (const QByteArray& line : message.Body)
        out += "  |" + Escaped(line) + '\n';
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i) {
        const TqmAttItem& item = message.Attachments.Items(i);
        out += "attachment: \"" + Escaped(item.GetFileName()) + "\" type=" + Escaped(item.ContentType)
            + " encoding=" + QByteArray::number(item.Encoding) + " size=" + QByteArray::number(item.Data.size())
            + " sha256=" + QCryptographicHash::hash(item.Data, QCryptographicHash::Sha256).toHex().left(16) + '\n';
        if (detailed && !item.Parameters.isEmpty())
            out += "  parameters:" + Escaped(WriteParameters(item.Parameters).mid(1)) + '\n';
        if (detailed && item.Inline != TInlineText::None)
            out += item.Inline == TInlineText::AfterBody ? "  inline: after the body\n" : "  inline: after the alternative\n";
        if (detailed && !item.ContentID.isEmpty())
            out += "  content-id: " + Escaped(item.ContentID) + '\n';
        if (ShowsContent(item))
            out += "  |" + Escaped(item.Data) + '\n';
    }
    return out;
}

void ParseMessage(QIODevice& input, TqmMessage& message, qsizetype bufSize)
{
    message.Clear();
    TqmMessageDecoder decoder(input, message);
    if (bufSize > 0)
        decoder.SetBufSize(bufSize);
    decoder.Process();
}

QByteArray ParseToSummary(const QByteArray& text, qsizetype bufSize)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    TqmMessage message;
    ParseMessage(buffer, message, bufSize);
    return MessageSummary(message);
}

QByteArray EncodeMessage(const TqmMessage& message)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    TqmMessageEncoder(message, buffer).Process();
    return text;
}

#include "ComposeFunctions.h"

#include "RecipientNames.h"

#include "DBAccountsFunctions.h"
#include "qmcharset.h"
#include "qmdates.h"
#include "qmexcept.h"
#include "qmmsg.h"
#include "qmmsgid.h"
#include "qmutils.h"

#include <algorithm>

namespace {

const QByteArray ForwardMarker = "------ mail forwarded, original message follows ------";
const QByteArray QuoteSeparator = "-----------------";

bool StartsWithPrefix(const QByteArray& subject, const QByteArray& prefix)
{
    return subject.left(prefix.size()).toUpper() == prefix;
}

// Quoted and forwarded text is composed in UTF-8, whatever charset the original declared.
QByteArrayList Utf8Body(const TqmMessage& message)
{
    if (message.BodyCharset.isEmpty() && std::all_of(message.Body.cbegin(), message.Body.cend(),
                                                     [](const QByteArray& line) { return IsValidUtf8(line); }))
        return message.Body;
    QByteArrayList lines;
    lines.reserve(message.Body.size());
    for (const QByteArray& line : message.Body)
        lines.append(CharsetToUtf8(line, message.BodyCharset));
    return lines;
}

QByteArrayList TextLines(const QString& text)
{
    QByteArrayList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines.append(line.toUtf8());
    return lines;
}

void EnsureBody(TqmMessage& message)
{
    if (message.Body.isEmpty())
        message.Body.append(" ");
}

bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// RFC 5322, 3.2.4: inside a quoted string a quote and a backslash are escaped.
QByteArray QuotedName(const QByteArray& name)
{
    if (!IsAscii(name))
        return name;
    QByteArray escaped = name;
    escaped.replace('\\', "\\\\");
    escaped.replace('"', "\\\"");
    return '"' + escaped + '"';
}

void AddAddresses(const QString& field, TqmAddressList& list)
{
    for (const QString& piece : SplitAddressField(field)) {
        const QByteArray entry = piece.trimmed().toUtf8();
        if (entry.isEmpty())
            continue;
        TqmMailAddress address;
        PickMailAddress(entry, address);
        list.Add(address);
    }
}

QByteArray DateField(const QDateTime& now)
{
    QByteArray zone = TimeZoneStringAt(now);
    if (zone.isEmpty())
        zone = "GMT";
    return "Date: " + DateTimeToMailDate(zone, QDateTimeToDateTime(now));
}

void AddComposeHeaders(const TComposeInput& input, const TSenderText& sender, TqmMessage& message)
{
    message.Headers.append(DateField(input.Now));
    for (const QString& bcc : SplitAddressField(input.BCC)) {
        if (!bcc.trimmed().isEmpty())
            message.Headers.append("X-LMBCC: " + bcc.trimmed().toUtf8());
    }
    if (!input.ReplyTo.isEmpty())
        message.Headers.append("Reply-To: " + input.ReplyTo);
    if (input.Hold)
        message.Headers.append("X-LMHOLD: 1");
    if (input.Disposition)
        message.Headers.append("Disposition-Notification-To: " + sender.Address);
    if (!input.Redirect.isEmpty()) {
        message.Headers.append("X-LMREDIRECT: " + input.Redirect.toUtf8());
        message.Headers.append("Comments: Message redirected by " + input.Redirect.toUtf8());
    }
    message.Headers.append(input.CarriedFields);
}

} // namespace

QStringList SplitAddressField(const QString& text)
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    for (const QByteArray& piece : SplitAddressList(text.toUtf8()))
        pieces.append(QString::fromUtf8(piece));
    return pieces;
}

void ReadAddressField(const QString& text, TqmAddressList& list)
{
    list.Clear();
    for (const QString& piece : SplitAddressField(text))
        list.AddAddress(piece.toUtf8(), QByteArray());
}

QString ExpandedAddressField(const QString& text, QString& refused)
{
    QByteArrayList entries;
    for (const QString& piece : SplitAddressField(text))
        entries.append(piece.toUtf8());
    const TRecipientExpansion expansion = ExpandRecipientNames(entries);
    refused = QString::fromUtf8(expansion.Refused);
    if (!refused.isEmpty())
        return text;
    return QString::fromUtf8(expansion.Addresses.join(','));
}

QString WriteAddressField(const TqmAddressList& list)
{
    QStringList entries;
    for (qsizetype i = 0; i < list.Count(); ++i)
        entries.append(QString::fromUtf8(FormatMailbox(list.Items(i).Name, list.Items(i).Address)));
    return entries.join(QLatin1Char(','));
}

QString BccFieldText(const TqmHeaders& headers)
{
    QStringList values;
    for (const QByteArray& line : headers) {
        if (line.left(8).toUpper() == "X-LMBCC:")
            values.append(QString::fromUtf8(line.mid(8).trimmed()));
    }
    return values.join(QLatin1Char(','));
}

QByteArray ReplySubject(const QByteArray& subject)
{
    return StartsWithPrefix(subject, "RE:") ? subject : "Re: " + subject;
}

QByteArray ForwardSubject(const QByteArray& subject)
{
    return StartsWithPrefix(subject, "FW:") ? subject : "Fw: " + subject;
}

void BuildReply(const TqmMessage& current, const TReplyOptions& options, TqmMessage& reply)
{
    reply.Clear();
    if (current.Recipients.Count() > 0)
        reply.Sender = current.Recipients.Items(0);
    QByteArray replyAddress;
    QByteArray replyName;
    SplitAddress(current.Headers.GetFieldBody("Reply-To"), replyAddress, replyName);
    reply.Recipients.AddAddress(replyAddress.isEmpty() ? current.Sender.Address : replyAddress, QByteArray());
    if (options.IncludeCC)
        reply.CC.Assign(current.CC);
    AddReplyThreading(current.Headers, reply.Headers);
    reply.Subject = ReplySubject(current.Subject);
    if (options.Quote) {
        for (const QByteArray& line : Utf8Body(current))
            reply.Body.append('>' + line);
        reply.Body.prepend(QuoteSeparator);
        reply.Body.prepend(QByteArray());
    }
    if (!options.Signature.isEmpty())
        reply.Body = TextLines(options.Signature) + reply.Body;
    EnsureBody(reply);
    reply.CharSet = ComposeCharset(reply);
}

void BuildForward(const TqmMessage& current, const TAccount& defaultAccount, TqmMessage& forward)
{
    forward.Clear();
    forward.Assign(current);
    forward.Headers.clear();
    AddForwardThreading(current.Headers, forward.Headers);
    forward.Sender.Address = defaultAccount.SmtpAddress;
    forward.Sender.Name = defaultAccount.SmtpName;
    forward.Recipients.Clear();
    forward.CC.Clear();
    forward.Subject = ForwardSubject(current.Subject);
    const QByteArray firstRecipient = current.Recipients.Count() > 0 ? current.Recipients.Items(0).Address : QByteArray();
    QByteArrayList body{QByteArray(), ForwardMarker, QByteArray(),
                        "To: " + firstRecipient,
                        "From: " + current.Sender.Name + " <" + current.Sender.Address + '>',
                        "Subject: " + current.Subject,
                        "Date: " + current.Headers.GetFieldBody("Date"),
                        QByteArray()};
    forward.Body = body + Utf8Body(current);
    forward.BodyCharset.clear();
    forward.CharSet = ComposeCharset(forward);
}

void BuildRedirect(const TqmMessage& current, TqmMessage& redirect)
{
    redirect.Clear();
    redirect.Assign(current);
    redirect.Headers.clear();
    const QByteArray firstRecipient = current.Recipients.Count() > 0 ? current.Recipients.Items(0).Address : "unknown";
    redirect.Headers.append("X-LMREDIRECT: " + firstRecipient);
    redirect.Headers.append(CarriedFields(current.Headers, true));
    redirect.Recipients.Clear();
    redirect.Body = Utf8Body(current);
    redirect.BodyCharset.clear();
    redirect.CharSet = ComposeCharset(redirect);
}

QByteArrayList CarriedFields(const TqmHeaders& loaded, bool redirected)
{
    QByteArrayList fields;
    if (redirected) {
        const QByteArray id = loaded.GetRawFieldBody("Message-ID");
        if (!id.isEmpty())
            fields.append("Message-ID: " + id);
    }
    for (const QByteArray& name : {QByteArrayLiteral("In-Reply-To"), QByteArrayLiteral("References")}) {
        const QByteArray body = loaded.GetRawFieldBody(name);
        if (!body.isEmpty())
            fields.append(FoldedField(name, body));
    }
    return fields;
}

TSenderText SplitSenderText(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const qsizetype cut = bytes.indexOf(" <");
    if (cut < 0)
        return {bytes, QByteArrayLiteral("\"\"")};
    QByteArray name = bytes.mid(cut + 2);
    name.chop(1);
    return {bytes.left(cut), QuotedName(name)};
}

QStringList BuildComposedMessage(const TComposeInput& input, TqmMessage& message)
{
    message.Clear();
    message.Encoding = input.Mailformat.Encoding == TMailEncoding::Mime ? meMIME : meUU;
    AddAddresses(input.To, message.Recipients);
    AddAddresses(input.CC, message.CC);
    const TSenderText sender = SplitSenderText(input.SenderText);
    message.Sender.Address = sender.Address;
    message.Sender.Name = sender.Name;
    AddComposeHeaders(input, sender, message);
    message.ReturnReceipt = input.Receipt;
    message.Subject = CutToCapacity(input.Subject.toUtf8(), qmShortTextCapacity);
    message.Body = TextLines(input.Text);
    if (message.Body.size() == 1 && message.Body.first().isEmpty())
        message.Body.clear();
    EnsureBody(message);
    QStringList failed;
    for (const QString& file : input.AttachmentFiles) {
        try {
            ApplyDeclaredType(input.WorkAttachments, file, message.Attachments.AddFile(file));
        } catch (const EMessageError& e) {
            failed.append(e.Message());
        }
    }
    message.CharSet = ComposeCharset(message);
    return failed;
}

TCharSet ComposeCharset(const TqmMessage& message)
{
    const bool ascii = IsAscii(message.Subject) && IsAscii(message.Sender.Name)
        && std::all_of(message.Body.cbegin(), message.Body.cend(), [](const QByteArray& line) { return IsAscii(line); });
    return ascii ? csUSASCII : csUTF8;
}

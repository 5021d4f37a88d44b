#include "ViewText.h"

#include "qmdates.h"
#include "qmmsg.h"

#include <QUrl>

#include <array>

namespace {

constexpr std::array<QLatin1StringView, 5> LinkStarts = {
    QLatin1StringView("http://"), QLatin1StringView("https://"), QLatin1StringView("ftp://"),
    QLatin1StringView("mailto:"), QLatin1StringView("www.")};

bool EndsLink(QChar c)
{
    return c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('"');
}

bool IsTrailingPunctuation(QChar c)
{
    return QStringLiteral(".,;:!?)]}'").contains(c);
}

// A link starts at a word boundary: "xhttp://" is no link.
bool StartsLinkAt(const QString& text, qsizetype i, qsizetype& startLength)
{
    if (i > 0 && text.at(i - 1).isLetterOrNumber())
        return false;
    for (const QLatin1StringView start : LinkStarts) {
        if (QStringView(text).mid(i).startsWith(start, Qt::CaseInsensitive)) {
            startLength = start.size();
            return true;
        }
    }
    return false;
}

QString NameOrAddress(const TqmMailAddress& address)
{
    return QString::fromUtf8(address.Name.isEmpty() ? address.Address : address.Name);
}

QString OrBlank(const QString& text)
{
    return text.isEmpty() ? QStringLiteral(" ") : text;
}

} // namespace

QList<TTextSpan> QuoteStretches(const QString& text)
{
    QList<TTextSpan> stretches;
    qsizetype lineStart = 0;
    while (lineStart < text.size()) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (text.at(lineStart) == QLatin1Char('>'))
            stretches.append({lineStart, lineEnd - lineStart});
        lineStart = lineEnd + 1;
    }
    return stretches;
}

QList<TLinkSpan> FindLinks(const QString& text)
{
    QList<TLinkSpan> links;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype startLength = 0;
        if (!StartsLinkAt(text, i, startLength)) {
            ++i;
            continue;
        }
        qsizetype end = i + startLength;
        while (end < text.size() && !EndsLink(text.at(end)))
            ++end;
        while (end > i + startLength && IsTrailingPunctuation(text.at(end - 1)))
            --end;
        if (end > i + startLength) {
            QString url = text.mid(i, end - i);
            if (url.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
                url.prepend(QLatin1String("http://"));
            links.append({{i, end - i}, url});
        }
        i = end + 1;
    }
    return links;
}

TLinkAction LinkActionFor(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp"))
        return TLinkAction::OpenInBrowser;
    if (scheme == QLatin1String("mailto"))
        return TLinkAction::ComposeMessage;
    return TLinkAction::Refuse;
}

QString SenderLabelText(const TqmMailAddress& sender)
{
    const QString address = QString::fromUtf8(sender.Address);
    if (sender.Name.isEmpty())
        return address;
    return QString::fromUtf8(sender.Name) + QLatin1String(" (") + address + QLatin1Char(')');
}

QString AddressListLabelText(const TqmAddressList& list)
{
    QStringList parts;
    for (qsizetype i = 0; i < list.Count(); ++i)
        parts.append(NameOrAddress(list.Items(i)));
    return parts.join(QLatin1Char(','));
}

QString DateLabelText(const QByteArray& dateField, const QString& displayFormat)
{
    const TDateTime value = MailDateToLocal(dateField);
    return value == 0 ? QString() : DateTimeToQDateTime(value).toString(displayFormat);
}

QString FilterHandOverText(TFilterField field, const TqmMessage& message)
{
    switch (field) {
    case TFilterField::Sender:
        return QLatin1String("Sender ") + QString::fromUtf8(message.Sender.Address);
    case TFilterField::Recipient:
        return QLatin1String("Recipient ")
            + (message.Recipients.Count() > 0 ? QString::fromUtf8(message.Recipients.Items(0).Address) : QString());
    case TFilterField::Subject:
        break;
    }
    return QLatin1String("Subject ") + QString::fromUtf8(message.Subject);
}

TContactHandOver AddressBookContact(const TqmMailAddress& sender)
{
    const QString name = QString::fromUtf8(sender.Name);
    const qsizetype blank = name.indexOf(QLatin1Char(' '));
    const QString lastName = blank < 0 ? name : name.mid(blank + 1);
    const QString firstName = blank < 0 ? QString() : name.left(blank);
    return {OrBlank(lastName), OrBlank(firstName), QString::fromUtf8(sender.Address)};
}

#include "VCard.h"

#include "qmcharset.h"

#include <QHash>

namespace {

constexpr qsizetype MaxLineOctets = 75;

struct TProperty {
    QByteArray Name;
    QHash<QByteArray, QByteArray> Params;
    // Bare 2.1 parameters such as "PREF" or "QUOTED-PRINTABLE", upper-cased.
    QList<QByteArray> BareParams;
    QByteArray Value;
};

bool IsQuotedPrintable(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    return colon > 0 && line.left(colon).toUpper().contains("QUOTED-PRINTABLE");
}

// Splits at `separator` outside double quotes.
QList<QByteArray> SplitParams(const QByteArray& text, char separator)
{
    QList<QByteArray> parts{QByteArray()};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted)
            parts.append(QByteArray());
        else
            parts.last().append(c);
    }
    return parts;
}

TProperty ParseProperty(const QByteArray& line)
{
    TProperty property;
    // The first colon outside quotes ends the name and its parameters.
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size() && colon < 0; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            colon = i;
    }
    if (colon < 0)
        return property;
    QList<QByteArray> head = SplitParams(line.left(colon), ';');
    QByteArray name = head.takeFirst().toUpper();
    // A property group ("item1.EMAIL") does not matter here.
    property.Name = name.mid(name.lastIndexOf('.') + 1);
    for (const QByteArray& param : head) {
        const qsizetype equals = param.indexOf('=');
        if (equals < 0) {
            property.BareParams.append(param.trimmed().toUpper());
            continue;
        }
        QByteArray value = param.mid(equals + 1);
        value.replace('"', QByteArray());
        const QByteArray key = param.left(equals).trimmed().toUpper();
        property.Params[key] += (property.Params.contains(key) ? "," : "") + value;
    }
    property.Value = line.mid(colon + 1);
    return property;
}

QByteArray DecodeQuotedPrintable(const QByteArray& value)
{
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        bool ok = false;
        const int byte = value[i] == '=' && i + 2 < value.size() ? value.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (ok) {
            out.append(char(byte));
            i += 2;
        } else {
            out.append(value[i]);
        }
    }
    return out;
}

QString DecodeValue(const TProperty& property)
{
    QByteArray bytes = property.Value;
    const QByteArray encoding = property.Params.value("ENCODING").toUpper();
    if (encoding == "QUOTED-PRINTABLE" || property.BareParams.contains("QUOTED-PRINTABLE"))
        bytes = DecodeQuotedPrintable(bytes);
    const QByteArray charset = property.Params.value("CHARSET");
    return DecodeText(bytes, charset);
}

// RFC 6350, 3.4: "\n", "\,", "\;" and "\\" in text values; splitting happens before unescaping.
QStringList SplitEscaped(const QString& value, QChar separator)
{
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            parts.last().append(next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(QLatin1Char('\n')) : next);
        } else if (c == separator) {
            parts.append(QString());
        } else {
            parts.last().append(c);
        }
    }
    return parts;
}

QString Unescape(const QString& value)
{
    return SplitEscaped(value, QChar()).join(QString());
}

QString Escape(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char(','), QStringLiteral("\\,"));
    text.replace(QLatin1Char(';'), QStringLiteral("\\;"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return text;
}

bool IsPreferred(const TProperty& property)
{
    const QByteArray type = property.Params.value("TYPE").toUpper();
    return property.Params.value("PREF") == "1" || type.split(',').contains("PREF")
           || property.BareParams.contains("PREF");
}

QString WithoutMailto(const QString& uri)
{
    return uri.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) ? uri.mid(7) : uri;
}

void Apply(TVCard& card, const TProperty& property)
{
    const QString value = DecodeValue(property);
    const QByteArray& name = property.Name;
    if (name == "FN") {
        card.FormattedName = Unescape(value);
    } else if (name == "N") {
        const QStringList parts = SplitEscaped(value, QLatin1Char(';'));
        card.LastName = parts.value(0).trimmed();
        card.FirstName = parts.value(1).trimmed();
    } else if (name == "EMAIL") {
        const QString address = WithoutMailto(Unescape(value).trimmed());
        if (address.isEmpty())
            return;
        if (IsPreferred(property))
            card.Emails.prepend(address);
        else
            card.Emails.append(address);
    } else if (name == "CATEGORIES") {
        for (const QString& category : SplitEscaped(value, QLatin1Char(',')))
            if (!category.trimmed().isEmpty())
                card.Categories.append(category.trimmed());
    } else if (name == "NOTE") {
        card.Note = Unescape(value);
    } else if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
        card.Group = value.trimmed().compare(QLatin1String("group"), Qt::CaseInsensitive) == 0;
    } else if (name == "MEMBER" || name == "X-ADDRESSBOOKSERVER-MEMBER") {
        // Members named by another card's identifier ("urn:uuid:...") have no address to keep.
        const QString address = WithoutMailto(value.trimmed());
        if (address.contains(QLatin1Char('@')) && !address.contains(QLatin1Char(':')))
            card.Members.append({address, DecodeText(property.Params.value("X-NAME"))});
    } else if (name == "X-LUMARO-SENDER") {
        card.PreferredSender = Unescape(value);
    } else if (name == "X-LUMARO-SUBJECT") {
        card.DefaultSubject = Unescape(value);
    } else if (name == "X-LUMARO-SIGNATURE") {
        card.Signature = Unescape(value);
    }
}

void AppendLine(QByteArray& out, const QString& line)
{
    out += detail::FoldVCardLine(line.toUtf8());
}

QString ParamValue(QString text)
{
    // A parameter value may not hold double quotes (RFC 6350, 3.3).
    return QLatin1Char('"') + text.remove(QLatin1Char('"')) + QLatin1Char('"');
}

void WriteCard(QByteArray& out, const TVCard& card)
{
    AppendLine(out, QStringLiteral("BEGIN:VCARD"));
    AppendLine(out, QStringLiteral("VERSION:4.0"));
    if (card.Group)
        AppendLine(out, QStringLiteral("KIND:group"));
    AppendLine(out, QStringLiteral("FN:") + Escape(card.FormattedName));
    if (!card.Group)
        AppendLine(out, QStringLiteral("N:%1;%2;;;").arg(Escape(card.LastName), Escape(card.FirstName)));
    for (const QString& email : card.Emails)
        AppendLine(out, QStringLiteral("EMAIL:") + Escape(email));
    QStringList categories;
    for (const QString& category : card.Categories)
        categories.append(Escape(category));
    if (!categories.isEmpty())
        AppendLine(out, QStringLiteral("CATEGORIES:") + categories.join(QLatin1Char(',')));
    if (!card.Note.isEmpty())
        AppendLine(out, QStringLiteral("NOTE:") + Escape(card.Note));
    for (const TVCardMember& member : card.Members) {
        const QString name = member.Name.isEmpty() ? QString() : QStringLiteral(";X-NAME=") + ParamValue(member.Name);
        AppendLine(out, QStringLiteral("MEMBER%1:mailto:%2").arg(name, member.Address));
    }
    const std::pair<const char*, QString> own[] = {{"X-LUMARO-SENDER", card.PreferredSender},
                                                   {"X-LUMARO-SUBJECT", card.DefaultSubject},
                                                   {"X-LUMARO-SIGNATURE", card.Signature}};
    for (const auto& [name, value] : own)
        if (!value.isEmpty())
            AppendLine(out, QLatin1String(name) + QLatin1Char(':') + Escape(value));
    AppendLine(out, QStringLiteral("END:VCARD"));
}

} // namespace

QByteArray detail::FoldVCardLine(const QByteArray& line)
{
    QByteArray out;
    qsizetype start = 0;
    qsizetype limit = MaxLineOctets;
    while (line.size() - start > limit) {
        qsizetype end = start + limit;
        // Never cut between the bytes of one UTF-8 character (continuation bytes are 10xxxxxx).
        while (end > start + 1 && (quint8(line[end]) & 0xC0) == 0x80)
            --end;
        out += line.mid(start, end - start) + "\r\n ";
        start = end;
        limit = MaxLineOctets - 1;
    }
    return out + line.mid(start) + "\r\n";
}

QList<QByteArray> detail::UnfoldVCardLines(const QByteArray& file)
{
    QList<QByteArray> lines;
    bool softBreak = false;
    for (QByteArray raw : file.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (softBreak && !lines.isEmpty()) {
            lines.last() += raw;
        } else if ((raw.startsWith(' ') || raw.startsWith('\t')) && !lines.isEmpty()) {
            lines.last() += raw.mid(1);
        } else {
            lines.append(raw);
        }
        // 2.1: a quoted-printable value goes on after a line ending in "=".
        softBreak = lines.last().endsWith('=') && IsQuotedPrintable(lines.last());
        if (softBreak)
            lines.last().chop(1);
    }
    return lines;
}

QByteArray WriteVCards(const QList<TVCard>& cards)
{
    QByteArray out;
    for (const TVCard& card : cards)
        WriteCard(out, card);
    return out;
}

QList<TVCard> ReadVCards(const QByteArray& file)
{
    QList<TVCard> cards;
    bool inCard = false;
    for (const QByteArray& line : detail::UnfoldVCardLines(file)) {
        const QByteArray upper = line.trimmed().toUpper();
        if (upper == "BEGIN:VCARD") {
            cards.append(TVCard{});
            inCard = true;
        } else if (upper == "END:VCARD") {
            inCard = false;
        } else if (inCard) {
            Apply(cards.last(), ParseProperty(line));
        }
    }
    for (TVCard& card : cards)
        if (card.LastName.isEmpty() && card.FirstName.isEmpty() && !card.Group) {
            // No N property: the formatted name's last word is taken for the last name.
            const qsizetype space = card.FormattedName.trimmed().lastIndexOf(QLatin1Char(' '));
            card.LastName = card.FormattedName.trimmed().mid(space + 1);
            card.FirstName = space < 0 ? QString() : card.FormattedName.trimmed().left(space);
        }
    return cards;
}

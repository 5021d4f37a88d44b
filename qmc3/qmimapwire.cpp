#include "qmimapwire.h"


#include <algorithm>

namespace {

bool IsAtomEnd(char c)
{
    return c == ' ' || c == '(' || c == ')' || c == '\r' || c == '\n';
}

// Reads values from the joined text of a response. Positions only move forward, so any input
// ends; what cannot be read is skipped a byte at a time.
class TValueReader {
public:
    TValueReader(const QByteArray& text, const QList<QByteArray>* literals) : m_text(text), m_literals(literals) {}

    QList<TImapValue> ReadList(bool nested)
    {
        QList<TImapValue> values;
        for (;;) {
            SkipSpaces();
            if (m_pos >= m_text.size())
                return values;
            const char c = m_text.at(m_pos);
            if (c == ')') {
                ++m_pos;
                if (nested)
                    return values;
                continue;
            }
            values.append(ReadValue());
        }
    }

private:
    void SkipSpaces()
    {
        while (m_pos < m_text.size() && (m_text.at(m_pos) == ' ' || m_text.at(m_pos) == '\r' || m_text.at(m_pos) == '\n'))
            ++m_pos;
    }

    TImapValue ReadValue()
    {
        const char c = m_text.at(m_pos);
        if (c == '(') {
            ++m_pos;
            TImapValue list{TImapValue::TKind::List, {}, {}, false};
            list.Items = ReadList(true);
            return list;
        }
        if (c == '"')
            return ReadQuoted();
        if (c == '{')
            return ReadLiteral();
        return ReadAtom();
    }

    TImapValue ReadQuoted()
    {
        TImapValue value{TImapValue::TKind::String, {}, {}, false};
        for (++m_pos; m_pos < m_text.size(); ++m_pos) {
            char c = m_text.at(m_pos);
            if (c == '"') {
                ++m_pos;
                break;
            }
            if (c == '\\' && m_pos + 1 < m_text.size())
                c = m_text.at(++m_pos);
            value.Text.append(c);
        }
        return value;
    }

    TImapValue ReadLiteral()
    {
        const qsizetype close = m_text.indexOf('}', m_pos);
        const qsizetype end = close < 0 ? m_text.size() : close + 1;
        const QByteArray marker = m_text.mid(m_pos + 1, end - m_pos - 2);
        m_pos = end;
        TImapValue value{TImapValue::TKind::String, {}, {}, false};
        bool ok = false;
        const int index = marker.startsWith('#') ? marker.mid(1).toInt(&ok) : -1;
        if (ok && index < 0)
            value.Streamed = true;
        else if (ok && m_literals && index < m_literals->size())
            value.Text = m_literals->at(index);
        return value;
    }

    TImapValue ReadAtom()
    {
        const qsizetype start = m_pos;
        int brackets = 0;
        while (m_pos < m_text.size()) {
            const char c = m_text.at(m_pos);
            // "BODY[HEADER.FIELDS (DATE FROM)]" is one atom: inside brackets spaces and parentheses belong to it.
            if (c == '[')
                ++brackets;
            else if (c == ']' && brackets > 0)
                --brackets;
            else if (brackets == 0 && IsAtomEnd(c))
                break;
            ++m_pos;
        }
        if (m_pos == start)
            ++m_pos;
        const QByteArray atom = m_text.mid(start, m_pos - start);
        if (atom.compare("NIL", Qt::CaseInsensitive) == 0)
            return {};
        return {TImapValue::TKind::Atom, atom, {}, false};
    }

    const QByteArray& m_text;
    const QList<QByteArray>* m_literals;
    qsizetype m_pos = 0;
};

bool IsDirectlyEncoded(char16_t c)
{
    return c >= 0x20 && c <= 0x7e;
}

QByteArray OneLine(QByteArray text)
{
    text.replace('\r', ' ').replace('\n', ' ');
    return text;
}

QByteArray DisplayName(const QByteArray& name)
{
    static const QByteArray Specials = QByteArrayLiteral("()<>[]:;@\\,.\"");
    if (name.startsWith("=?") || std::none_of(name.begin(), name.end(), [](char c) { return Specials.contains(c); }))
        return name;
    QByteArray quoted = name;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

// An address list: ((name adl mailbox host) ...). Group markers (RFC 3501, 7.4.2: a NIL host)
// carry no address and are left out.
QByteArray AddressList(const TImapValue& list)
{
    QByteArrayList addresses;
    for (const TImapValue& address : list.Items) {
        if (address.Items.size() < 4 || address.Items.at(3).Kind == TImapValue::TKind::Nil)
            continue;
        const QByteArray mailbox = address.Items.at(2).Text + '@' + address.Items.at(3).Text;
        const QByteArray name = OneLine(address.Items.at(0).Text).trimmed();
        addresses.append(name.isEmpty() ? mailbox : DisplayName(name) + " <" + mailbox + '>');
    }
    return addresses.join(", ");
}

} // namespace

bool TImapValue::IsAtom(QByteArrayView atom) const
{
    return Kind == TKind::Atom && QByteArrayView(Text).compare(atom, Qt::CaseInsensitive) == 0;
}

namespace detail {

QList<TImapValue> ParseImapValues(const TImapResponse& response)
{
    return TValueReader(response.Text, &response.Literals).ReadList(false);
}

QList<TImapValue> ParseImapValues(const QByteArray& text)
{
    return TValueReader(text, nullptr).ReadList(false);
}

const TImapValue* FetchItem(const TImapValue& items, QByteArrayView name)
{
    for (qsizetype i = 0; i + 1 < items.Items.size(); i += 2)
        if (items.Items.at(i).IsAtom(name))
            return &items.Items.at(i + 1);
    return nullptr;
}

bool NeedsLiteral(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

QByteArray ImapQuoted(QByteArrayView text)
{
    QByteArray quoted;
    quoted.reserve(text.size() + 2);
    quoted.append('"');
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted;
}

QByteArray EncodeMailboxName(const QString& name)
{
    QByteArray wire;
    QByteArray pending;
    auto flush = [&] {
        if (pending.isEmpty())
            return;
        wire += '&' + pending.toBase64(QByteArray::OmitTrailingEquals).replace('/', ',') + '-';
        pending.clear();
    };
    for (const QChar c : name) {
        if (IsDirectlyEncoded(c.unicode())) {
            flush();
            wire += c == QLatin1Char('&') ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
            continue;
        }
        pending.append(char(c.unicode() >> 8));
        pending.append(char(c.unicode() & 0xff));
    }
    flush();
    return wire;
}

QString DecodeMailboxName(const QByteArray& wireName)
{
    QString name;
    for (qsizetype i = 0; i < wireName.size(); ++i) {
        const char c = wireName.at(i);
        if (c != '&') {
            if (uchar(c) < 0x20 || uchar(c) > 0x7e)
                return QString::fromUtf8(wireName);
            name += QLatin1Char(c);
            continue;
        }
        const qsizetype end = wireName.indexOf('-', i);
        if (end < 0)
            return QString::fromUtf8(wireName);
        if (end == i + 1) {
            name += QLatin1Char('&');
            i = end;
            continue;
        }
        QByteArray base64 = wireName.mid(i + 1, end - i - 1).replace(',', '/');
        const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.size() % 2 != 0)
            return QString::fromUtf8(wireName);
        for (qsizetype k = 0; k < decoded.decoded.size(); k += 2)
            name += QChar(char16_t((uchar(decoded.decoded.at(k)) << 8) | uchar(decoded.decoded.at(k + 1))));
        i = end;
    }
    return name;
}

QByteArrayList UidSets(QList<quint32> uids, qsizetype perSet)
{
    // A set this long is still far below the command lengths servers accept (RFC 7162, 4: 8000 octets).
    constexpr qsizetype MaxSetText = 4000;
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    QByteArrayList sets;
    QByteArray set;
    qsizetype inSet = 0;
    for (qsizetype i = 0; i < uids.size();) {
        qsizetype last = i;
        while (last + 1 < uids.size() && uids.at(last + 1) == uids.at(last) + 1 && inSet + (last + 1 - i) < perSet)
            ++last;
        QByteArray run = QByteArray::number(uids.at(i));
        if (last > i)
            run += ':' + QByteArray::number(uids.at(last));
        if (!set.isEmpty())
            set += ',';
        set += run;
        inSet += last - i + 1;
        i = last + 1;
        if (inSet >= perSet || set.size() >= MaxSetText) {
            sets.append(set);
            set.clear();
            inSet = 0;
        }
    }
    if (!set.isEmpty())
        sets.append(set);
    return sets;
}

QList<quint32> SearchUids(const QList<TImapValue>& values, qsizetype from)
{
    QList<quint32> uids;
    for (qsizetype i = from; i < values.size(); ++i) {
        bool ok = false;
        const quint32 uid = values.at(i).Text.toUInt(&ok);
        if (ok && values.at(i).Kind == TImapValue::TKind::Atom && uid > 0)
            uids.append(uid);
    }
    std::sort(uids.begin(), uids.end());
    return uids;
}

TqmHeaders EnvelopeHeaders(const TImapValue& envelope)
{
    TqmHeaders headers;
    const QList<TImapValue>& fields = envelope.Items;
    auto add = [&headers](const char* name, const QByteArray& body) {
        if (!body.isEmpty())
            headers.append(QByteArray(name) + ": " + OneLine(body));
    };
    if (fields.size() < 10)
        return headers;
    add("Date", fields.at(0).Text);
    add("Subject", fields.at(1).Text);
    add("From", AddressList(fields.at(2)));
    add("To", AddressList(fields.at(5)));
    add("Cc", AddressList(fields.at(6)));
    add("Message-Id", fields.at(9).Text);
    return headers;
}

QByteArray ResponseCode(QByteArrayView textAfterStatus)
{
    const QByteArrayView text = textAfterStatus.trimmed();
    if (!text.startsWith('['))
        return {};
    const qsizetype close = text.indexOf(']');
    return close < 0 ? QByteArray() : text.sliced(1, close - 1).toByteArray();
}

} // namespace detail

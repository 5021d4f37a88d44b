#include "qmutils.h"

#include "qmcharset.h"
#include "qmmsgcls.h"

#include <QFileInfo>
#include <QMap>
#include <QMimeDatabase>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool IsUtf8ContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

QByteArray TrimmedShortText(const QByteArray& text)
{
    return CutToCapacity(TrimQuotes(text), qmShortTextCapacity);
}

// The last "<" outside double quotes: a quoted name may hold one ("a <b>" <c@d>).
qsizetype AngleOutsideQuotes(const QByteArray& text)
{
    qsizetype found = -1;
    bool quoted = false;
    for (qsizetype pos = 0; pos < text.size(); ++pos) {
        const char c = text.at(pos);
        if (quoted && c == '\\')
            ++pos;
        else if (c == '"')
            quoted = !quoted;
        else if (c == '<' && !quoted)
            found = pos;
    }
    return found;
}

// The display name before an address: a whole quoted string loses its quotes and escapes; other
// text its outer quotes, as before.
QByteArray PhraseText(const QByteArray& text)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.size() >= 2 && trimmed.startsWith('"') && trimmed.endsWith('"')) {
        QByteArray unquoted;
        bool whole = true;
        for (qsizetype i = 1; i < trimmed.size() - 1 && whole; ++i) {
            if (trimmed.at(i) == '\\' && i + 1 < trimmed.size() - 1)
                ++i;
            else if (trimmed.at(i) == '"')
                whole = false;
            unquoted += trimmed.at(i);
        }
        if (whole)
            return CutToCapacity(unquoted.trimmed(), qmShortTextCapacity);
    }
    return TrimmedShortText(trimmed);
}

bool IsFieldWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct RawParameter {
    QByteArray attribute; // lower case
    QByteArray value;
};

// Where the parameters begin: after the value the field starts with (a type, a disposition), or at 0
// when the text starts with a parameter.
qsizetype ParametersStart(QByteArrayView text)
{
    const qsizetype semicolon = text.indexOf(';');
    const qsizetype equals = text.indexOf('=');
    if (equals >= 0 && (semicolon < 0 || equals < semicolon))
        return 0;
    return semicolon < 0 ? text.size() : semicolon + 1;
}

// A quoted string from the opening quote at `pos`; `pos` ends after the closing quote.
// RFC 5322, 3.2.4: a backslash quotes the next character. Only a quote or a backslash is taken as
// quoted, since mailers write Windows paths with single backslashes (broken, but accepted for
// interoperability).
QByteArray QuotedValue(QByteArrayView text, qsizetype& pos)
{
    QByteArray value;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            break;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '"' || text[pos + 1] == '\\'))
            ++pos;
        value += text[pos];
    }
    return value;
}

QList<RawParameter> RawParameters(QByteArrayView text)
{
    QList<RawParameter> parameters;
    qsizetype pos = ParametersStart(text);
    const qsizetype n = text.size();
    while (pos < n) {
        while (pos < n && (IsFieldWhiteSpace(text[pos]) || text[pos] == ';'))
            ++pos;
        qsizetype end = pos;
        while (end < n && text[end] != '=' && text[end] != ';')
            ++end;
        if (end >= n || text[end] == ';') { // no value: not a parameter
            pos = end;
            continue;
        }
        RawParameter parameter{text.sliced(pos, end - pos).trimmed().toByteArray().toLower(), {}};
        pos = end + 1;
        while (pos < n && IsFieldWhiteSpace(text[pos]))
            ++pos;
        if (pos < n && text[pos] == '"') {
            parameter.value = QuotedValue(text, pos);
        } else {
            end = pos;
            while (end < n && text[end] != ';' && !IsFieldWhiteSpace(text[end]))
                ++end;
            parameter.value = text.sliced(pos, end - pos).toByteArray();
            pos = end;
        }
        // Whatever follows the value up to the next ";" belongs to no parameter.
        while (pos < n && text[pos] != ';')
            ++pos;
        if (!parameter.attribute.isEmpty())
            parameters.append(std::move(parameter));
    }
    return parameters;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray PercentDecoded(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (text[i] == '%' && low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// RFC 2231, 3 and 4: the sections of one attribute ("name*0", "name*1*"...; "name*" alone is
// section 0), by number. Sections with a trailing "*" are percent-encoded, and the first of them
// starts with charset'language'.
struct ExtendedValue {
    QMap<int, std::pair<QByteArray, bool>> sections;

    QByteArray Decoded() const
    {
        QByteArray bytes;
        QByteArray charset;
        // The sections count from 0 without gaps; anything after a gap is not part of the value.
        for (int number = 0; sections.contains(number); ++number) {
            const auto& [value, encoded] = sections[number];
            QByteArrayView text(value);
            if (encoded && number == 0) {
                const qsizetype charsetEnd = text.indexOf('\'');
                const qsizetype languageEnd = charsetEnd < 0 ? -1 : text.indexOf('\'', charsetEnd + 1);
                if (languageEnd >= 0) {
                    charset = text.first(charsetEnd).toByteArray();
                    text = text.sliced(languageEnd + 1);
                }
            }
            bytes += encoded ? PercentDecoded(text) : text.toByteArray();
        }
        return charset.isEmpty() ? bytes : CharsetToUtf8(bytes, charset);
    }
};

enum class AttributeKind { Plain, Extended, Invalid };

// Splits "name*1*" into "name", 1 and true.
AttributeKind ParseExtendedAttribute(const QByteArray& attribute, QByteArray& base, int& section, bool& encoded)
{
    const qsizetype star = attribute.indexOf('*');
    if (star < 0)
        return AttributeKind::Plain;
    if (star == 0)
        return AttributeKind::Invalid;
    base = attribute.first(star);
    QByteArrayView rest = QByteArrayView(attribute).sliced(star + 1);
    section = 0;
    encoded = rest.isEmpty() || rest.endsWith('*');
    if (rest.isEmpty())
        return AttributeKind::Extended;
    if (encoded)
        rest.chop(1);
    bool ok = false;
    section = rest.toInt(&ok);
    // RFC 2231, 3: no leading zeros; a bound keeps hostile input from building huge maps.
    constexpr int MaxSections = 1000;
    const bool valid = ok && section >= 0 && section < MaxSections && (rest.size() == 1 || rest[0] != '0');
    return valid ? AttributeKind::Extended : AttributeKind::Invalid;
}

bool IsAttributeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$&+-.^_`|~").contains(c);
}

bool IsPlainAscii(QByteArrayView value)
{
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= ' ' && c < 0x7F; });
}

} // namespace

TqmParameters ReadParameters(QByteArrayView text)
{
    TqmParameters parameters;
    std::vector<std::pair<QByteArray, ExtendedValue>> extended;
    for (RawParameter& raw : RawParameters(text)) {
        QByteArray base;
        int section = 0;
        bool encoded = false;
        const AttributeKind kind = ParseExtendedAttribute(raw.attribute, base, section, encoded);
        if (kind == AttributeKind::Invalid)
            continue;
        if (kind == AttributeKind::Plain) {
            if (ParameterValue(parameters, raw.attribute).isNull())
                parameters.append({std::move(raw.attribute), raw.value.isNull() ? QByteArray("") : raw.value});
            continue;
        }
        auto it = std::find_if(extended.begin(), extended.end(), [&](const auto& entry) { return entry.first == base; });
        if (it == extended.end()) {
            extended.emplace_back(base, ExtendedValue{});
            it = extended.end() - 1;
        }
        it->second.sections.insert(section, {raw.value, encoded});
    }
    for (const auto& entry : extended) {
        const QByteArray& base = entry.first;
        const auto plain = std::find_if(parameters.begin(), parameters.end(),
                                        [&base](const TqmParameter& parameter) { return parameter.Name == base; });
        if (plain != parameters.end())
            plain->Value = entry.second.Decoded();
        else
            parameters.append({base, entry.second.Decoded()});
    }
    return parameters;
}

QByteArray ParameterValue(const TqmParameters& parameters, QByteArrayView name)
{
    for (const TqmParameter& parameter : parameters) {
        if (QByteArrayView(parameter.Name).compare(name, Qt::CaseInsensitive) == 0)
            return parameter.Value;
    }
    return {};
}

namespace {

// Percent-encoded (RFC 2231, 4) UTF-8 text of a parameter value.
QByteArray ExtendedValue(const QByteArray& value)
{
    constexpr char HexDigits[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : UndeclaredToUtf8(value)) {
        if (IsAttributeChar(c)) {
            out += c;
        } else {
            out += '%';
            out += HexDigits[uchar(c) >> 4];
            out += HexDigits[uchar(c) & 15];
        }
    }
    return out;
}

// Pieces of at most `size` characters that never cut a "%XX" triplet.
QByteArrayList ExtendedSections(const QByteArray& encoded, qsizetype size)
{
    QByteArrayList sections;
    qsizetype start = 0;
    while (start < encoded.size()) {
        qsizetype end = std::min(start + size, encoded.size());
        if (end < encoded.size()) {
            for (qsizetype at = end - 1; at >= end - 2 && at > start; --at) {
                if (encoded.at(at) == '%')
                    end = at;
            }
        }
        sections.append(encoded.mid(start, end - start));
        start = end;
    }
    return sections;
}

// Short enough that "name*NN*=" and the section fit a folded header line.
constexpr qsizetype ExtendedSectionSize = 60;

} // namespace

QByteArray WriteParameters(const TqmParameters& parameters)
{
    QByteArray out;
    for (const TqmParameter& parameter : parameters) {
        if (IsPlainAscii(parameter.Value)) {
            QByteArray value = parameter.Value;
            value.replace('\\', "\\\\").replace('"', "\\\"");
            out += "; " + parameter.Name + "=\"" + value + '"';
            continue;
        }
        const QByteArray encoded = "utf-8''" + ExtendedValue(parameter.Value);
        if (encoded.size() <= ExtendedSectionSize) {
            out += "; " + parameter.Name + "*=" + encoded;
            continue;
        }
        // A long value goes out in numbered sections (RFC 2231, 3), so that the line can be folded
        // between them; only the first names the charset.
        const QByteArrayList sections = ExtendedSections(encoded, ExtendedSectionSize);
        for (qsizetype i = 0; i < sections.size(); ++i)
            out += "; " + parameter.Name + '*' + QByteArray::number(i) + "*=" + sections.at(i);
    }
    return out;
}

QByteArray CutToCapacity(QByteArrayView text, qsizetype capacity)
{
    if (capacity <= 0)
        return {};
    if (text.size() <= capacity)
        return text.toByteArray();
    qsizetype cut = capacity;
    if (text.isValidUtf8()) {
        while (cut > 0 && IsUtf8ContinuationByte(text[cut]))
            --cut;
    }
    return text.first(cut).toByteArray();
}

QByteArrayList SplitAddressList(QByteArrayView text)
{
    QByteArrayList entries;
    bool quoted = false;
    int comment = 0;
    bool angle = false;
    qsizetype start = 0;
    for (qsizetype pos = 0; pos < text.size(); ++pos) {
        const char c = text.at(pos);
        if (c == '\\' && (quoted || comment > 0)) {
            ++pos;
        } else if (c == '"' && comment == 0) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (comment > 0) {
            continue;
        } else if (c == '<') {
            angle = true;
        } else if (c == '>') {
            angle = false;
        } else if (c == ',' && !angle) {
            entries.append(text.sliced(start, pos - start).toByteArray());
            start = pos + 1;
        }
    }
    entries.append(text.sliced(std::min(start, text.size())).toByteArray());
    return entries;
}

void SplitAddress(const QByteArray& text, QByteArray& address, QByteArray& name)
{
    const qsizetype open = AngleOutsideQuotes(text);
    if (open >= 0) {
        const qsizetype close = text.indexOf('>', open + 1);
        if (close < 0) {
            // Broken, but accepted: the entry is kept as a name so the user still sees it.
            address.clear();
            name = TrimmedShortText(text);
            return;
        }
        address = TrimmedShortText(text.mid(open + 1, close - open - 1));
        name = PhraseText(text.left(open) + text.mid(close + 1));
        return;
    }
    const qsizetype bracket = text.indexOf('(');
    if (bracket >= 0) {
        address = TrimmedShortText(text.left(bracket));
        QByteArray comment = text.mid(bracket + 1).trimmed();
        if (comment.endsWith(')'))
            comment.chop(1);
        name = TrimmedShortText(comment);
        return;
    }
    address = CutToCapacity(text.trimmed(), qmShortTextCapacity);
    name.clear();
}

QByteArray FormatMailbox(const QByteArray& name, const QByteArray& address)
{
    const QByteArray plainName = name.trimmed();
    if (plainName.isEmpty())
        return address;
    const bool special = std::any_of(plainName.cbegin(), plainName.cend(),
                                     [](char c) { return c != 0 && std::strchr("()<>[]:;@\\,.\"", c); });
    if (!special)
        return plainName + " <" + address + '>';
    QByteArray escaped = plainName;
    escaped.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + escaped + "\" <" + address + '>';
}

void PickMailAddress(const QByteArray& text, TqmMailAddress& mailAddress)
{
    SplitAddress(text, mailAddress.Address, mailAddress.Name);
}

QByteArray GetContentType(const QString& fileName)
{
    // Only the extension counts: glob patterns on whole names ("README*") do not.
    if (QFileInfo(fileName).suffix().isEmpty())
        return QByteArrayLiteral("application/octet-stream");
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QByteArrayLiteral("application/octet-stream");
    return type.name().toLatin1();
}

QByteArray GetParameter(const QByteArray& name, const QByteArray& text)
{
    QByteArrayView attribute(name);
    if (attribute.endsWith('='))
        attribute.chop(1);
    if (attribute.isEmpty())
        return {};
    return ParameterValue(ReadParameters(text), attribute);
}

QByteArray GetFirstPart(const QByteArray& text)
{
    const QByteArray examined = text.left(qmShortTextCapacity).trimmed();
    qsizetype end = 0;
    while (end < examined.size() && examined[end] != ' ' && examined[end] != '\t' && examined[end] != ';')
        ++end;
    return examined.left(end).trimmed();
}

QByteArray PickString(const QByteArray& text, int n, bool firstWordOnly)
{
    QByteArray rest = text;
    for (int word = 0; word < n; ++word) {
        const qsizetype blank = rest.indexOf(' ');
        if (blank < 0)
            return {};
        rest = rest.mid(blank + 1).trimmed();
    }
    if (firstWordOnly) {
        const qsizetype blank = rest.indexOf(' ');
        if (blank >= 0)
            rest.truncate(blank);
    }
    return rest.trimmed();
}

qint64 PickNumber(const QByteArray& text, int n)
{
    bool ok = false;
    const qint64 number = PickString(text, n, true).toLongLong(&ok);
    return ok ? number : -1;
}

QByteArray TrimQuotes(const QByteArray& text)
{
    QByteArray result = text.trimmed();
    qsizetype begin = 0;
    qsizetype end = result.size();
    while (begin < end && result[begin] == '"')
        ++begin;
    while (end > begin && result[end - 1] == '"')
        --end;
    return result.mid(begin, end - begin);
}

void TrimStrings(QByteArrayList& lines)
{
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
}

QString AddBackSlash(const QString& path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

#include "qmcharset.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

constexpr char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined map to the C1 control
// of the same value (WHATWG), so every byte has a reading and nothing is lost.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(QByteArray& out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

QByteArray Windows1252ToUtf8(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.append(c);
        else if (b < 0xA0)
            AppendUtf8(out, Cp1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at p (1 for ASCII), or 0 when it is malformed.
// RFC 3629, 4: the ranges of well-formed sequences.
int Utf8SequenceLength(const unsigned char* p, qsizetype left)
{
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (left < len || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return len;
}

// Well-formed UTF-8 stays, every malformed byte becomes U+FFFD.
QByteArray RepairUtf8(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 16);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = Utf8SequenceLength(p + i, n - i);
        if (len == 0) {
            out.append(Replacement);
            ++i;
        } else {
            out.append(reinterpret_cast<const char*>(p + i), len);
            i += len;
        }
    }
    return out;
}

bool IsAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

enum class Family { Utf8, Windows1252, Other, Unusable };

// The charset name as iconv should see it, and which converter reads it.
Family Classify(const QByteArray& charset, QByteArray& iconvName)
{
    QByteArray name = charset.trimmed().toLower();
    if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
        name = name.mid(1, name.size() - 2).trimmed();
    // Only plain names reach iconv: "//" would add conversion options, and a name is never long.
    if (name.isEmpty() || name.size() > 64)
        return Family::Unusable;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.'
            || c == ':' || c == '+';
        if (!plain)
            return Family::Unusable;
    }
    if (name == "utf-8" || name == "utf8")
        return Family::Utf8;
    static const QByteArrayView latin1Labels[] = {"us-ascii", "ascii", "ansi_x3.4-1968", "iso-8859-1", "iso8859-1",
        "iso_8859-1", "latin1", "l1", "windows-1252", "cp1252", "x-cp1252", "cp819", "ibm819", "iso-ir-100"};
    for (const QByteArrayView label : latin1Labels) {
        if (name == label)
            return Family::Windows1252;
    }
    // Names mail programs write that glibc does not know, mapped to what they mean in practice.
    static const std::pair<QByteArrayView, QByteArrayView> aliases[] = {{"ks_c_5601-1987", "CP949"},
        {"x-sjis", "SHIFT_JIS"}, {"x-gbk", "GBK"}, {"gb2312", "GBK"}, {"iso-8859-8-i", "ISO-8859-8"},
        {"x-mac-roman", "MACINTOSH"}, {"unicode-1-1-utf-7", "UTF-7"}, {"x-user-defined", ""}};
    for (const auto& [alias, real] : aliases) {
        if (name == alias) {
            if (real.isEmpty())
                return Family::Unusable;
            iconvName = real.toByteArray();
            return Family::Other;
        }
    }
    iconvName = name.toUpper();
    return Family::Other;
}

// Converts through iconv; false when iconv does not know the charset.
bool IconvToUtf8(QByteArrayView bytes, const QByteArray& iconvName, QByteArray& out)
{
    iconv_t cd = iconv_open("UTF-8", iconvName.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.resize(bytes.size() * 2 + 32);
    char* in = const_cast<char*>(bytes.data()); // iconv's signature; the input is not written
    size_t inLeft = size_t(bytes.size());
    size_t used = 0;
    const auto room = [&](size_t wanted) {
        if (size_t(out.size()) - used < wanted)
            out.resize(out.size() * 2 + qsizetype(wanted));
    };
    for (;;) {
        char* outPtr = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        used = size_t(outPtr - out.data());
        if (rc != size_t(-1))
            break;
        if (err == E2BIG) {
            room(out.size());
        } else if ((err == EILSEQ || err == EINVAL) && inLeft > 0) {
            // Invalid, or incomplete at the end: one replacement character per byte that cannot be read.
            room(3);
            std::memcpy(out.data() + used, Replacement, 3);
            used += 3;
            ++in;
            --inLeft;
        } else {
            break;
        }
    }
    // A null input writes the sequence that returns a stateful charset (ISO-2022-JP) to its start.
    for (;;) {
        char* outPtr = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        used = size_t(outPtr - out.data());
        if (rc == size_t(-1) && errno == E2BIG) {
            room(64);
            continue;
        }
        break;
    }
    iconv_close(cd);
    out.resize(qsizetype(used));
    return true;
}

} // namespace

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of ASCII eight bytes at a time.
        while (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const int len = Utf8SequenceLength(p + i, n - i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

QByteArray UndeclaredToUtf8(QByteArrayView bytes)
{
    if (IsValidUtf8(bytes))
        return bytes.toByteArray();
    return Windows1252ToUtf8(bytes);
}

QByteArray CharsetToUtf8(const QByteArray& bytes, const QByteArray& charset, bool* ok)
{
    if (ok)
        *ok = true;
    if (charset.trimmed().isEmpty())
        return UndeclaredToUtf8(bytes);
    QByteArray iconvName;
    switch (Classify(charset, iconvName)) {
    case Family::Utf8:
        return IsValidUtf8(bytes) ? bytes : RepairUtf8(bytes);
    case Family::Windows1252:
        return IsAscii(bytes) ? bytes : Windows1252ToUtf8(bytes);
    case Family::Other: {
        QByteArray out;
        if (IconvToUtf8(bytes, iconvName, out))
            return out;
        break;
    }
    case Family::Unusable:
        break;
    }
    if (ok)
        *ok = false;
    return bytes;
}

QString DecodeText(const QByteArray& bytes, const QByteArray& charset)
{
    bool known = false;
    const QByteArray utf8 = CharsetToUtf8(bytes, charset, &known);
    return QString::fromUtf8(known ? utf8 : UndeclaredToUtf8(bytes));
}

QByteArray HtmlMetaCharset(QByteArrayView html)
{
    const QByteArray head = html.first(std::min<qsizetype>(html.size(), 4096)).toByteArray().toLower();
    for (qsizetype meta = head.indexOf("<meta"); meta >= 0; meta = head.indexOf("<meta", meta + 5)) {
        const qsizetype end = head.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        qsizetype at = tag.indexOf("charset");
        if (at < 0)
            continue;
        at += 7;
        while (at < tag.size() && (tag.at(at) == ' ' || tag.at(at) == '\t'))
            ++at;
        if (at >= tag.size() || tag.at(at) != '=')
            continue;
        ++at;
        while (at < tag.size() && (tag.at(at) == ' ' || tag.at(at) == '\t' || tag.at(at) == '"' || tag.at(at) == '\''))
            ++at;
        qsizetype stop = at;
        while (stop < tag.size() && !QByteArrayView(" \t\"';/>").contains(tag.at(stop)))
            ++stop;
        if (stop > at)
            return tag.mid(at, stop - at);
    }
    return {};
}

QString DecodeHtmlText(const QByteArray& bytes, const QByteArray& charset)
{
    for (const QByteArray& name : {charset, HtmlMetaCharset(bytes)}) {
        bool known = false;
        const QByteArray utf8 = name.trimmed().isEmpty() ? QByteArray() : CharsetToUtf8(bytes, name, &known);
        if (known)
            return QString::fromUtf8(utf8);
    }
    return QString::fromUtf8(UndeclaredToUtf8(bytes));
}

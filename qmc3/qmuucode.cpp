#include "qmuucode.h"

#include "qmexcept.h"
#include "qmpump.h"

#include <array>

namespace {

constexpr unsigned char Invalid = 0xFF;

// Value 0 is the backquote, 1-63 are "!" to "_": zero is never written as a blank.
constexpr char UUAlphabet[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";

// Character -> value: "!" to "_" are code - 32; a backquote and a blank are 0 (old encoders wrote blanks).
constexpr std::array<unsigned char, 256> UUValues = [] {
    std::array<unsigned char, 256> t{};
    t.fill(Invalid);
    for (int c = '!'; c <= '_'; ++c)
        t[c] = static_cast<unsigned char>(c - 32);
    t['`'] = 0;
    t[' '] = 0;
    return t;
}();

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArrayView Trimmed(QByteArrayView s)
{
    while (!s.isEmpty() && IsBlankOrControl(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && IsBlankOrControl(s.back()))
        s.chop(1);
    return s;
}

} // namespace

bool IsUUCodeStart(QByteArrayView line)
{
    // Called for every body line of a message: compare without building a copy.
    if (line.size() < 9 || qstrnicmp(line.data(), "BEGIN", 5) != 0)
        return false;
    // The mode: the first three characters after the word must read as a whole number.
    const QByteArrayView rest = Trimmed(line.sliced(5));
    const QByteArrayView mode = rest.first(std::min<qsizetype>(3, rest.size()));
    qsizetype i = (!mode.isEmpty() && (mode.front() == '+' || mode.front() == '-')) ? 1 : 0;
    if (i == mode.size())
        return false;
    for (; i < mode.size(); ++i) {
        if (mode.at(i) < '0' || mode.at(i) > '9')
            return false;
    }
    return true;
}

QByteArray UUPickFileName(QByteArrayView line)
{
    // "begin <mode> <name>": the word, the mode and the blanks around it are skipped as tokens, so a
    // four-digit mode ("begin 0644 name") gives the same name as the usual three digits.
    qsizetype i = std::min<qsizetype>(5, line.size());
    while (i < line.size() && line.at(i) == ' ')
        ++i;
    while (i < line.size() && line.at(i) != ' ')
        ++i;
    while (i < line.size() && line.at(i) == ' ')
        ++i;
    const QByteArrayView rest = line.sliced(i);
    if (rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        return close < 0 ? QByteArray() : rest.sliced(1, close - 1).toByteArray();
    }
    const qsizetype blank = rest.indexOf(' ');
    return (blank < 0 ? rest : rest.first(blank)).toByteArray();
}

void UUMakeBinData(QByteArrayView line, QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const qsizetype n = line.size();
    if (n == 0) {
        bytes.resize(0);
        return;
    }
    const unsigned char length = UUValues[s[0]];
    unsigned char seen = length;
    for (qsizetype i = 1; i < n; ++i)
        seen |= UUValues[s[i]];
    if (seen & 0x80)
        throw EMessageParserError(QStringLiteral("Invalid Character"));
    // Groups of four characters after the length character give three bytes each. Characters missing
    // at the end count as zero: transports strip trailing blanks, which old encoders wrote for zero.
    bytes.resize((length + 2) / 3 * 3);
    char* d = bytes.data();
    for (qsizetype i = 1; d < bytes.constData() + bytes.size(); i += 4) {
        quint32 v = 0;
        for (qsizetype k = 0; k < 4; ++k)
            v = (v << 6) | (i + k < n ? UUValues[s[i + k]] : 0);
        d[0] = char(v >> 16);
        d[1] = char(v >> 8);
        d[2] = char(v);
        d += 3;
    }
    bytes.resize(length);
    ProcessMessages();
}

void UUMakeTextData(QByteArrayView bytes, QByteArray& line)
{
    // The length character can say at most 63; callers pass 45 bytes per line.
    if (bytes.size() > 63)
        throw EMessageError(QStringLiteral("Too many bytes for one uuencoded line"));
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // 4n/3 characters, plus one when n is not a multiple of three (60 for 45 bytes).
    const qsizetype chars = (4 * n) / 3 + (n % 3 != 0 ? 1 : 0);
    line.resize(1 + (n + 2) / 3 * 4);
    char* d = line.data();
    *d++ = UUAlphabet[n];
    for (qsizetype i = 0; i < n; i += 3) {
        const quint32 v = (quint32(s[i]) << 16) | (i + 1 < n ? quint32(s[i + 1]) << 8 : 0) | (i + 2 < n ? s[i + 2] : 0);
        d[0] = UUAlphabet[v >> 18];
        d[1] = UUAlphabet[(v >> 12) & 63];
        d[2] = UUAlphabet[(v >> 6) & 63];
        d[3] = UUAlphabet[v & 63];
        d += 4;
    }
    line.resize(1 + chars);
}

#include "qmmime.h"

#include "qmcharset.h"
#include "qmexcept.h"
#include "qmpump.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The next line end (CR or LF) at or after a position in [begin, end). The next CR and the next LF
// are each searched again only once the position has passed them, so a text is scanned once.
class TLineEndFinder {
public:
    TLineEndFinder(const char* begin, const char* end) : m_end(end), m_cr(Find(begin, '\r')), m_lf(Find(begin, '\n')) {}

    const char* Next(const char* from)
    {
        if (m_cr < from)
            m_cr = Find(from, '\r');
        if (m_lf < from)
            m_lf = Find(from, '\n');
        return std::min(m_cr, m_lf);
    }

private:
    const char* Find(const char* from, char c) const
    {
        const void* hit = std::memchr(from, c, size_t(m_end - from));
        return hit ? static_cast<const char*>(hit) : m_end;
    }

    const char* m_end;
    const char* m_cr;
    const char* m_lf;
};

constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr unsigned char Invalid = 0xFF;

// Base64 character -> value; "=" fills its place with ones (it is cut off afterwards).
constexpr std::array<unsigned char, 256> Base64Values = [] {
    std::array<unsigned char, 256> t{};
    t.fill(Invalid);
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(Base64Alphabet[i])] = static_cast<unsigned char>(i);
    t['='] = 0x3F;
    return t;
}();

constexpr std::array<unsigned char, 256> HexValues = [] {
    std::array<unsigned char, 256> t{};
    t.fill(Invalid);
    for (int i = 0; i < 10; ++i)
        t['0' + i] = static_cast<unsigned char>(i);
    for (int i = 0; i < 6; ++i) {
        t['A' + i] = static_cast<unsigned char>(10 + i);
        t['a' + i] = static_cast<unsigned char>(10 + i);
    }
    return t;
}();

// Two base64 characters for every 12-bit value: one lookup per half of a three-byte group.
constexpr std::array<std::array<char, 2>, 4096> Base64Pairs = [] {
    std::array<std::array<char, 2>, 4096> t{};
    for (int v = 0; v < 4096; ++v)
        t[v] = {Base64Alphabet[v >> 6], Base64Alphabet[v & 63]};
    return t;
}();

// Writes the base64 of `n` bytes (n <= 57) to `d`, padded with "="; returns the end.
inline char* EncodeBase64Run(const unsigned char* s, qsizetype n, char* d)
{
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const quint32 v = (quint32(s[i]) << 16) | (quint32(s[i + 1]) << 8) | s[i + 2];
        std::memcpy(d, Base64Pairs[v >> 12].data(), 2);
        std::memcpy(d + 2, Base64Pairs[v & 0xFFF].data(), 2);
        d += 4;
    }
    if (i < n) {
        const quint32 v = (quint32(s[i]) << 16) | (i + 1 < n ? quint32(s[i + 1]) << 8 : 0);
        d[0] = Base64Alphabet[v >> 18];
        d[1] = Base64Alphabet[(v >> 12) & 63];
        d[2] = i + 1 < n ? Base64Alphabet[(v >> 6) & 63] : '=';
        d[3] = '=';
        d += 4;
    }
    return d;
}

// Width of a byte in a quoted-printable line: 1 when written as it is, 3 when written as "=XX".
// RFC 2045, 6.7 (2): only 33-60 and 62-126 stand for themselves; a blank is literal inside a line.
constexpr std::array<unsigned char, 256> QpWidth = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = (b == ' ' || (b >= 33 && b <= 126 && b != '=')) ? 1 : 3;
    return t;
}();

// Characters an encoded word of the Q kind may hold as they are in any header (RFC 2047, 5 (3)).
constexpr std::array<bool, 256> QWordSafe = [] {
    std::array<bool, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '!' || b == '*'
            || b == '+' || b == '-' || b == '/';
    return t;
}();

[[noreturn]] void ThrowInvalidCharacter()
{
    throw EMessageParserError(QStringLiteral("Invalid Character"));
}

inline char* WriteHex(char* d, unsigned char b)
{
    d[0] = '=';
    d[1] = HexDigits[b >> 4];
    d[2] = HexDigits[b & 15];
    return d + 3;
}

// Writes the bytes of one quoted-printable line with every "=XX" replaced by its byte to `d` (room
// for `n` bytes) and returns the end. An "=" that is
// not followed by two hexadecimal digits is kept as it is (RFC 2045, 6.7, note 2: robust decoding).
char* HexDecoded(char* d, const char* p, qsizetype n)
{
    qsizetype i = 0;
    while (i < n) {
        const auto* eq = static_cast<const char*>(std::memchr(p + i, '=', size_t(n - i)));
        const qsizetype run = (eq ? eq - p : n) - i;
        std::memcpy(d, p + i, size_t(run));
        d += run;
        i += run;
        if (i >= n)
            break;
        if (i + 2 < n) {
            const unsigned char hi = HexValues[static_cast<unsigned char>(p[i + 1])];
            const unsigned char lo = HexValues[static_cast<unsigned char>(p[i + 2])];
            if ((hi | lo) != Invalid && hi < 16 && lo < 16) {
                *d++ = char((hi << 4) | lo);
                i += 3;
                continue;
            }
        }
        *d++ = '=';
        ++i;
    }
    return d;
}

void AppendHexDecoded(QByteArray& out, const char* p, qsizetype n)
{
    const qsizetype start = out.size();
    out.resize(start + n);
    out.resize(HexDecoded(out.data() + start, p, n) - out.constData());
}

// Encodes the next output line of a paragraph `p` of `n` bytes into `out`, which has room for
// width + 8 bytes, and returns how many bytes of the paragraph the line holds; [begin, end) is the line.
// The line takes bytes while their encoded width (1, or 3 for "=XX") stays within `width`; when bytes
// remain, the cut is made before the last blank that fit (not the first byte), which begins the next
// line, else at the width, and the line ends with a soft break "=".
// RFC 2045, 6.7 (3): a blank at the end of a line is encoded, since transports strip trailing white
// space. A line never starts with "From " (mbox separators), whose "F" is written "=46".
qsizetype EncodeNextLine(const unsigned char* p, qsizetype n, qsizetype width, char* out, char*& begin, char*& end)
{
    char* const first = out + 2; // room to turn the "F" of "From " into "=46"
    char* const limit = first + width;
    char* d = first;
    char* blankOut = nullptr;
    qsizetype blank = 0;
    qsizetype i = 0;
    for (; i < n; ++i) {
        const unsigned char b = p[i];
        if (QpWidth[b] == 1) {
            if (d >= limit)
                break;
            // Without branches: blanks come at random; a blank at 0 leaves `blank` at 0 (no cut there).
            const bool isBlank = b == ' ';
            blank = isBlank ? i : blank;
            blankOut = isBlank ? d : blankOut;
            *d++ = char(b);
        } else {
            if (d + 3 > limit && i > 0) // a width below 3 still takes one byte
                break;
            d = WriteHex(d, b);
        }
    }
    if (i < n && blank > 0) {
        i = blank;
        d = blankOut;
    }
    begin = first;
    if (i >= 5 && std::memcmp(p, "From ", 5) == 0) {
        begin = out;
        std::memcpy(out, "=46", 3);
    }
    if (d[-1] == ' ')
        d = WriteHex(d - 1, ' ');
    if (i < n)
        *d++ = '=';
    end = d;
    return i;
}

void AppendLine(QByteArrayList& lines, const char* begin, const char* end)
{
    lines.append(QByteArray(begin, end - begin));
}

void AppendLine(QByteArray& text, const char* begin, const char* end)
{
    text.append(begin, end - begin);
    text.append("\r\n", 2);
}

// Encodes one paragraph into lines of at most 65 characters, appended to a list or, each followed by
// CR LF, to a text.
template <typename Output>
void EncodeParagraph(const char* text, qsizetype n, Output& output)
{
    constexpr qsizetype Width = 65;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    char buffer[Width + 8];
    char *begin = buffer, *end = buffer;
    if (n == 0)
        AppendLine(output, begin, end);
    while (n > 0) {
        const qsizetype taken = EncodeNextLine(p, n, Width, buffer, begin, end);
        AppendLine(output, begin, end);
        p += taken;
        n -= taken;
    }
}

// Calls `paragraph` (text, size) for each paragraph of `data`: the text between line ends, where
// CR LF and LF CR count as one. A line end at the very end starts no further paragraph.
template <typename Paragraph>
void ForEachParagraph(QByteArrayView data, Paragraph paragraph)
{
    if (data.isEmpty()) // memchr must not see the null pointer of an empty text
        return;
    const char* p = data.data();
    const char* const end = p + data.size();
    TLineEndFinder lineEnds(p, end);
    while (p < end) {
        const char* eol = lineEnds.Next(p);
        paragraph(p, eol - p);
        if (eol == end)
            break;
        const char other = *eol == '\r' ? '\n' : '\r';
        p = eol + 1;
        if (p < end && *p == other)
            ++p;
    }
}

// Writes one quoted-printable line (without its line end) decoded to `d` (room for n + 2 bytes),
// with the CR LF it stands for unless it ends in a soft break, and returns the end; `hard` tells
// whether it did (a paragraph ended).
char* DecodedLine(char* d, const char* p, qsizetype n, bool& hard)
{
    // RFC 2045, 6.7 (3): white space a transport added after a soft break is ignored.
    qsizetype trimmed = n;
    while (trimmed > 0 && (p[trimmed - 1] == ' ' || p[trimmed - 1] == '\t'))
        --trimmed;
    const bool softBreak = trimmed > 0 && p[trimmed - 1] == '=';
    if (softBreak)
        n = trimmed - 1;
    char* const lineStart = d;
    d = HexDecoded(d, p, n);
    hard = !softBreak;
    // Ctrl-Z (26) ends old DOS text files; no line end is added after it.
    if (hard && (d == lineStart || d[-1] != '\x1A')) {
        d[0] = '\r';
        d[1] = '\n';
        d += 2;
    }
    return d;
}

bool AppendDecodedLine(QByteArray& out, const char* p, qsizetype n)
{
    const qsizetype start = out.size();
    out.resize(start + n + 2);
    bool hard = false;
    out.resize(DecodedLine(out.data() + start, p, n, hard) - out.constData());
    return hard;
}

// Base64 of an encoded word: characters outside the alphabet are skipped, missing padding is
// tolerated (broken, but accepted for interoperability).
QByteArray DecodeBase64Lenient(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() * 3 / 4 + 3);
    quint32 bits = 0;
    int count = 0;
    for (const char c : data) {
        if (c == '=')
            break;
        const unsigned char v = Base64Values[static_cast<unsigned char>(c)];
        if (v == Invalid)
            continue;
        bits = (bits << 6) | v;
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.append(char((bits >> count) & 0xFF));
        }
    }
    return out;
}

QByteArray DecodeQWord(QByteArrayView data)
{
    QByteArray underscores = data.toByteArray();
    underscores.replace('_', ' '); // RFC 2047, 4.2 (2): only inside Q-encoded words
    QByteArray out;
    AppendHexDecoded(out, underscores.constData(), underscores.size());
    return out;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct EncodedWord {
    QByteArray charset;
    QByteArray bytes;
    qsizetype end = 0; // index after the closing "?="
};

// Reads "=?charset?X?data?=" at `at` (RFC 2047, 2). Blanks inside the data are accepted (broken,
// but accepted for interoperability); a "?" in the data or a missing end means it is no encoded word.
bool ParseEncodedWord(const QByteArray& text, qsizetype at, EncodedWord& word)
{
    const qsizetype charsetStart = at + 2;
    const qsizetype charsetEnd = text.indexOf('?', charsetStart);
    if (charsetEnd <= charsetStart || charsetEnd + 2 >= text.size() || text.at(charsetEnd + 2) != '?')
        return false;
    for (qsizetype i = charsetStart; i < charsetEnd; ++i) {
        if (IsWhiteSpace(text.at(i)) || text.at(i) == '=')
            return false;
    }
    const char kind = text.at(charsetEnd + 1);
    const qsizetype dataStart = charsetEnd + 3;
    const qsizetype dataEnd = text.indexOf('?', dataStart);
    if (dataEnd < 0 || dataEnd + 1 >= text.size() || text.at(dataEnd + 1) != '=')
        return false;
    const QByteArrayView data = QByteArrayView(text).sliced(dataStart, dataEnd - dataStart);
    if (kind == 'B' || kind == 'b')
        word.bytes = DecodeBase64Lenient(data);
    else if (kind == 'Q' || kind == 'q')
        word.bytes = DecodeQWord(data);
    else
        return false;
    word.charset = text.mid(charsetStart, charsetEnd - charsetStart);
    // RFC 2231, 5: "charset*language"
    if (const qsizetype star = word.charset.indexOf('*'); star >= 0)
        word.charset.truncate(star);
    word.end = dataEnd + 2;
    return true;
}

void AppendDecodedWord(QByteArray& out, const EncodedWord& word)
{
    QByteArray text = CharsetToUtf8(word.bytes, word.charset);
    // A decoded header is one line: CR, LF and NUL from an encoded word would let a reply or a
    // forwarded message carry header lines the sender smuggled in.
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    out += text;
}

constexpr qsizetype MaxEncodedWord = 75;                          // RFC 2047, 2
constexpr qsizetype WordFrame = 10 + 2;                           // "=?utf-8?X?" and "?="
constexpr qsizetype MaxWordPayload = MaxEncodedWord - WordFrame;
constexpr qsizetype MaxHeaderLine = 78;                           // RFC 5322, 2.1.1
// A first word shorter than this is not worth it: it then starts a line of its own.
constexpr qsizetype MinFirstPayload = 12;

int Utf8LeadLength(unsigned char b)
{
    if (b < 0xC0)
        return 1;
    if (b < 0xE0)
        return 2;
    if (b < 0xF0)
        return 3;
    return 4;
}

bool Is8Bit(char c)
{
    return static_cast<unsigned char>(c) >= 0x80;
}

bool IsAsciiText(const QByteArray& text)
{
    return std::none_of(text.cbegin(), text.cend(), Is8Bit);
}

// RFC 5322, 3.2.3: the characters that make a display name a quoted string.
bool HasPhraseSpecials(const QByteArray& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](char c) { return std::strchr("()<>[]:;@\\,.\"", c) && c != 0; });
}

// A whole quoted string: quotes at both ends and none unescaped between them.
bool IsQuotedString(const QByteArray& text)
{
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"'))
        return false;
    qsizetype i = 1;
    while (i < text.size() - 1) {
        if (text.at(i) == '\\')
            i += 2;
        else if (text.at(i) == '"')
            return false;
        else
            ++i;
    }
    // An escaped closing quote leaves the string open.
    return i == text.size() - 1;
}

QByteArray Unquoted(const QByteArray& quoted)
{
    QByteArray text;
    for (qsizetype i = 1; i < quoted.size() - 1; ++i) {
        if (quoted.at(i) == '\\' && i + 1 < quoted.size() - 1)
            ++i;
        text += quoted.at(i);
    }
    return text;
}

// The payload the first encoded word may carry when it follows `column` characters of the line and
// `plainBefore` plain ones of the text; the full payload when the column is unknown (negative) or
// too little room is left.
qsizetype FirstPayload(qsizetype column, qsizetype plainBefore)
{
    if (column < 0)
        return MaxWordPayload;
    const qsizetype room = MaxHeaderLine - column - plainBefore - WordFrame;
    return room >= MinFirstPayload ? std::min(room, MaxWordPayload) : MaxWordPayload;
}

bool IsFoldBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A single blank between two other characters: folding there and unfolding again (which keeps the
// blank) gives the same text, even for readers that squeeze runs of blanks.
bool IsFoldPoint(QByteArrayView line, qsizetype at)
{
    return IsFoldBlank(line.at(at)) && at > 0 && at + 1 < line.size() && !IsFoldBlank(line.at(at - 1))
        && !IsFoldBlank(line.at(at + 1));
}

// Writes `run` (valid UTF-8) as encoded words of at most 75 characters, separated by one blank and
// split only between characters. The first word carries at most `firstPayload` encoded characters,
// so that it can end a line that is already partly filled.
void AppendUtf8Words(QByteArray& out, QByteArrayView run, qsizetype firstPayload = MaxWordPayload)
{
    const auto* p = reinterpret_cast<const unsigned char*>(run.data());
    const qsizetype n = run.size();
    // Q while at most half of the characters need escapes (Latin text stays readable), else B.
    qsizetype characters = 0, escaped = 0;
    for (qsizetype i = 0; i < n; i += Utf8LeadLength(p[i])) {
        ++characters;
        escaped += (QWordSafe[p[i]] || p[i] == ' ') ? 0 : 1;
    }
    const bool useQ = escaped * 2 <= characters;
    qsizetype i = 0;
    bool first = true;
    while (i < n) {
        // Take whole characters while the payload fits.
        qsizetype end = i;
        qsizetype payload = 0;
        const qsizetype limit = first ? std::min(firstPayload, MaxWordPayload) : MaxWordPayload;
        while (end < n) {
            const qsizetype len = std::min<qsizetype>(Utf8LeadLength(p[end]), n - end);
            qsizetype cost = 0;
            if (useQ) {
                for (qsizetype k = 0; k < len; ++k)
                    cost += (QWordSafe[p[end + k]] || p[end + k] == ' ') ? 1 : 3;
            } else {
                cost = (end - i + len + 2) / 3 * 4 - payload;
            }
            if (payload + cost > limit && end > i)
                break;
            payload += cost;
            end += len;
        }
        if (!first)
            out += ' ';
        first = false;
        const QByteArrayView piece = run.sliced(i, end - i);
        if (useQ) {
            out += "=?utf-8?Q?";
            for (const char c : piece) {
                const auto b = static_cast<unsigned char>(c);
                if (b == ' ')
                    out += '_';
                else if (QWordSafe[b])
                    out += c;
                else {
                    char hex[3];
                    WriteHex(hex, b);
                    out.append(hex, 3);
                }
            }
        } else {
            out += "=?utf-8?B?";
            QByteArray b64;
            MakeTextData(piece, b64);
            out += b64;
        }
        out += "?=";
        i = end;
    }
}

} // namespace

void MakeBinData(QByteArrayView line, QByteArray& bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(line.data());
    const qsizetype n = line.size();
    const qsizetype whole = n & ~qsizetype(3);
    bytes.resize(whole / 4 * 3);
    char* d = bytes.data();
    unsigned char seen = 0;
    for (qsizetype i = 0; i < whole; i += 4) {
        const unsigned char a = Base64Values[s[i]], b = Base64Values[s[i + 1]], c = Base64Values[s[i + 2]],
                            e = Base64Values[s[i + 3]];
        seen |= a | b | c | e;
        const quint32 v = (quint32(a) << 18) | (quint32(b) << 12) | (quint32(c) << 6) | e;
        d[0] = char(v >> 16);
        d[1] = char(v >> 8);
        d[2] = char(v);
        d += 3;
    }
    for (qsizetype i = whole; i < n; ++i)
        seen |= Base64Values[s[i]];
    if (seen & 0x80)
        ThrowInvalidCharacter();
    qsizetype padding = 0;
    while (padding < whole && s[whole - 1 - padding] == '=')
        ++padding;
    bytes.resize(std::max<qsizetype>(0, bytes.size() - padding));
    // A last group without its padding: two or three characters still carry one or two bytes
    // (broken, but accepted for interoperability, as lenient decoders do).
    qsizetype rest = n - whole;
    while (rest > 0 && s[whole + rest - 1] == '=')
        --rest;
    if (rest >= 2) {
        quint32 v = 0;
        for (qsizetype i = 0; i < rest; ++i)
            v = (v << 6) | Base64Values[s[whole + i]];
        v <<= 6 * (4 - rest);
        bytes.append(char(v >> 16));
        if (rest == 3)
            bytes.append(char(v >> 8));
    }
    ProcessMessages();
}

void MakeTextData(QByteArrayView bytes, QByteArray& line)
{
    line.resize((bytes.size() + 2) / 3 * 4);
    EncodeBase64Run(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), line.data());
}

void EncodeBase64Lines(QByteArrayView data, QByteArray& out)
{
    constexpr qsizetype LineBytes = 57;
    const qsizetype n = data.size();
    const qsizetype start = out.size();
    out.resize(start + (n + 2) / 3 * 4 + (n + LineBytes - 1) / LineBytes * 2);
    const auto* s = reinterpret_cast<const unsigned char*>(data.data());
    char* d = out.data() + start;
    for (qsizetype at = 0; at < n; at += LineBytes) {
        d = EncodeBase64Run(s + at, std::min(LineBytes, n - at), d);
        d[0] = '\r';
        d[1] = '\n';
        d += 2;
    }
}

void TQuotedPrintable::Encode()
{
    constexpr qsizetype ChunkSize = 64 * 1024;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    QByteArray pending; // the start of a paragraph that continues in the next chunk
    char pairEnd = 0;   // the second byte of a CR LF or LF CR pair that may start the next chunk
    while (!Cancel) {
        const qint64 got = m_stream.read(chunk.data(), ChunkSize);
        if (got <= 0)
            break;
        const char* p = chunk.constData();
        const char* const end = p + got;
        if (pairEnd != 0 && *p == pairEnd)
            ++p;
        pairEnd = 0;
        TLineEndFinder lineEnds(p, end);
        while (p < end) {
            const char* eol = lineEnds.Next(p);
            if (eol == end) {
                pending.append(p, end - p);
                break;
            }
            if (pending.isEmpty()) {
                EncodeParagraph(p, eol - p, m_lines);
            } else {
                pending.append(p, eol - p);
                EncodeParagraph(pending.constData(), pending.size(), m_lines);
                pending.resize(0);
            }
            const char other = *eol == '\r' ? '\n' : '\r';
            p = eol + 1;
            if (p == end)
                pairEnd = other;
            else if (*p == other)
                ++p;
            ProcessMessages();
            if (Cancel)
                return;
        }
        ProcessMessages();
    }
    if (!pending.isEmpty() && !Cancel)
        EncodeParagraph(pending.constData(), pending.size(), m_lines);
}

void TQuotedPrintable::Decode()
{
    constexpr qsizetype FlushSize = 64 * 1024;
    QByteArray out;
    out.reserve(FlushSize + 1024);
    const auto flush = [&] {
        if (!out.isEmpty() && m_stream.write(out) != out.size())
            throw EMessageError(m_stream.errorString());
        out.resize(0);
        ProcessMessages(); // also within one long paragraph of soft breaks
    };
    for (const QByteArray& line : std::as_const(m_lines)) {
        if (Cancel)
            break;
        if (AppendDecodedLine(out, line.constData(), line.size()))
            ProcessMessages();
        if (out.size() >= FlushSize)
            flush();
    }
    flush();
}

void DecodeQuotedPrintableText(QByteArrayView text, QByteArray& out)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    // A line decodes to at most its own bytes and CR LF.
    const qsizetype start = out.size();
    out.resize(start + text.size() + std::max<qsizetype>(text.size(), 2));
    char* d = out.data() + start;
    bool hard = false;
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = lf ? lf : end;
        if (lf && lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        d = DecodedLine(d, p, lineEnd - p, hard);
        p = lf ? lf + 1 : end;
    }
    out.resize(d - out.constData());
}

void EncodeQuotedPrintableText(QByteArrayView data, QByteArray& out)
{
    ForEachParagraph(data, [&out](const char* p, qsizetype n) { EncodeParagraph(p, n, out); });
}

QByteArrayList TQuotedPrintable::ReformatParagraph(QByteArrayView paragraph, int width)
{
    QByteArrayList lines;
    const auto* p = reinterpret_cast<const unsigned char*>(paragraph.data());
    qsizetype n = paragraph.size();
    if (n == 0)
        lines.append(QByteArray());
    QByteArray scratch(std::max(width, 1) + 8, Qt::Uninitialized);
    char *begin, *end;
    while (n > 0) {
        const qsizetype taken = EncodeNextLine(p, n, std::max(width, 1), scratch.data(), begin, end);
        QByteArray line(reinterpret_cast<const char*>(p), taken);
        if (taken < n)
            line += '=';
        lines.append(line);
        p += taken;
        n -= taken;
    }
    return lines;
}

QByteArray TQuotedPrintable::ReplaceHiChars(QByteArrayView line, bool softBreak)
{
    const bool soft = softBreak && line.endsWith('=');
    const qsizetype n = line.size() - (soft ? 1 : 0);
    if (n == 0)
        return soft ? QByteArray("=") : QByteArray();
    // Wide enough for the whole line: no cut.
    QByteArray scratch(3 * n + 8, Qt::Uninitialized);
    char *begin, *end;
    EncodeNextLine(reinterpret_cast<const unsigned char*>(line.data()), n, 3 * n, scratch.data(), begin, end);
    QByteArray encoded(begin, end - begin);
    if (soft)
        encoded += '=';
    return encoded;
}

QByteArray TQuotedPrintable::ReplaceHex(QByteArrayView line)
{
    QByteArray out;
    AppendHexDecoded(out, line.data(), line.size());
    return out;
}

QByteArray DecodeHeader(const QByteArray& text)
{
    if (!text.contains("=?"))
        return text;
    QByteArray out;
    out.reserve(text.size());
    EncodedWord pending; // the last encoded word, not yet converted: adjacent ones may continue it
    bool havePending = false;
    qsizetype written = 0; // text before this index is in `out` or in `pending`
    qsizetype from = 0;
    for (qsizetype at = text.indexOf("=?", from); at >= 0; at = text.indexOf("=?", from)) {
        EncodedWord word;
        if (!ParseEncodedWord(text, at, word)) {
            from = at + 2; // not a complete encoded word: stays as it is
            continue;
        }
        const qsizetype wordEnd = word.end;
        const QByteArrayView between = QByteArrayView(text).sliced(written, at - written);
        bool onlyWhiteSpace = true;
        for (const char c : between)
            onlyWhiteSpace = onlyWhiteSpace && IsWhiteSpace(c);
        // RFC 2047, 6.2: white space between adjacent encoded words is ignored. Their bytes are
        // joined before conversion, since broken senders split a character between two words.
        if (havePending && onlyWhiteSpace && pending.charset.compare(word.charset, Qt::CaseInsensitive) == 0) {
            pending.bytes += word.bytes;
        } else {
            if (havePending)
                AppendDecodedWord(out, pending);
            if (!(havePending && onlyWhiteSpace))
                out += between;
            pending = std::move(word);
            havePending = true;
        }
        written = from = wordEnd;
    }
    if (havePending)
        AppendDecodedWord(out, pending);
    out += QByteArrayView(text).sliced(written);
    return out;
}

QByteArray EncodeHeader(const QByteArray& text)
{
    return EncodeHeader(text, -1);
}

QByteArray EncodeHeader(const QByteArray& text, qsizetype column)
{
    if (text.startsWith('\x1B')) {
        QByteArray encoded;
        MakeTextData(text, encoded);
        return "=?ISO-2022-JP?B?" + encoded + "?=";
    }
    if (IsAsciiText(text))
        return text;
    // Text in another charset is sent as what the user sees (undeclared text reads as Windows-1252).
    const QByteArray utf8 = IsValidUtf8(text) ? text : UndeclaredToUtf8(text);
    const qsizetype first8Bit = std::find_if(utf8.cbegin(), utf8.cend(), Is8Bit) - utf8.cbegin();
    const qsizetype last8Bit = utf8.crend() - std::find_if(utf8.crbegin(), utf8.crend(), Is8Bit) - 1;
    // Only the words holding 8-bit bytes are encoded, so that an address or a plain word around them
    // stays readable; all of it when the plain part holds "=?", which a reader would try to decode.
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    qsizetype runStart = first8Bit;
    while (runStart > 0 && !isBlank(utf8.at(runStart - 1)))
        --runStart;
    qsizetype runEnd = last8Bit + 1;
    while (runEnd < utf8.size() && !isBlank(utf8.at(runEnd)))
        ++runEnd;
    if (utf8.left(runStart).contains("=?") || utf8.mid(runEnd).contains("=?")) {
        runStart = 0;
        runEnd = utf8.size();
    }
    QByteArray out = utf8.left(runStart);
    AppendUtf8Words(out, QByteArrayView(utf8).sliced(runStart, runEnd - runStart), FirstPayload(column, runStart));
    out += QByteArrayView(utf8).sliced(runEnd);
    return out;
}

QByteArray EncodePhrase(const QByteArray& name, qsizetype column)
{
    if (IsQuotedString(name) && IsAsciiText(name))
        return name;
    const QByteArray text = IsQuotedString(name) ? Unquoted(name) : name;
    if (text.isEmpty())
        return text;
    if (IsAsciiText(text)) {
        if (!HasPhraseSpecials(text))
            return text;
        QByteArray escaped = text;
        escaped.replace('\\', "\\\\").replace('"', "\\\"");
        return '"' + escaped + '"';
    }
    if (!HasPhraseSpecials(text) || text.startsWith('\x1B'))
        return EncodeHeader(text, column);
    // RFC 2047, 5 (3): encoded words may stand for words of a phrase, specials and all, but never
    // inside a quoted string; half-encoded, "Schmidt, Jürgen" would read as two addresses. Each run
    // of words that need it becomes encoded words, plain words stay plain: readers differ on the
    // blank between two encoded words (RFC 2047 drops it, some keep it), never on a plain one.
    const QByteArray utf8 = IsValidUtf8(text) ? text : UndeclaredToUtf8(text);
    const QByteArrayList words = utf8.split(' ');
    const auto needsEncoding = [](const QByteArray& word) {
        return !IsAsciiText(word) || HasPhraseSpecials(word) || word.contains("=?");
    };
    QByteArray out;
    for (qsizetype i = 0; i < words.size();) {
        if (i > 0)
            out += ' ';
        if (!needsEncoding(words.at(i))) {
            out += words.at(i++);
            continue;
        }
        qsizetype end = i + 1;
        while (end < words.size() && (needsEncoding(words.at(end)) || words.at(end).isEmpty()))
            ++end;
        AppendUtf8Words(out, words.mid(i, end - i).join(' '), FirstPayload(column, out.size()));
        i = end;
    }
    return out;
}

QByteArrayList FoldHeaderLine(QByteArrayView line)
{
    QByteArrayList lines;
    // Folding whitespace must follow the field name and something after it (RFC 5322, 3.2.2 and 2.2.3).
    qsizetype start = 0;
    // An indented line (the next entry of an address list) keeps its first word likewise.
    const bool indented = !line.isEmpty() && IsFoldBlank(line.at(0));
    qsizetype firstBreak = indented ? 0 : line.indexOf(':') + 1;
    while (firstBreak < line.size() && IsFoldBlank(line.at(firstBreak)))
        ++firstBreak;
    while (line.size() - start > MaxHeaderLine) {
        // The last fold point that leaves a line of at most 78 characters; without one, the first
        // after it: a word longer than a line stays whole.
        qsizetype cut = -1;
        for (qsizetype at = std::max(start + 1, firstBreak); at < line.size() - 1; ++at) {
            if (!IsFoldPoint(line, at))
                continue;
            if (at - start <= MaxHeaderLine) {
                cut = at;
                continue;
            }
            if (cut < 0)
                cut = at;
            break;
        }
        if (cut < 0)
            break;
        lines.append(line.sliced(start, cut - start).toByteArray());
        start = cut;
    }
    lines.append(line.sliced(start).toByteArray());
    return lines;
}

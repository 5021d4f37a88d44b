#include "ListSorting.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

// The bits of a double turned so that their unsigned order is the numeric order; a NaN sorts to one
// end instead of breaking the sort.
quint64 OrderedBits(double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    constexpr quint64 SignBit = quint64(1) << 63;
    return (bits & SignBit) != 0 ? ~bits : bits | SignBit;
}

struct TDateKey {
    quint64 Bits = 0;
    qint32 Position = 0;
};

constexpr quint64 EveryByte = 0x0101010101010101;

// ASCII capitals among eight bytes made small, all eight at once; other bytes stay as they are. The
// sums stay within their bytes, as they are made of the low seven bits only.
quint64 LowerAsciiCapitals(quint64 bytes)
{
    const quint64 low7 = bytes & (0x7f * EveryByte);
    const quint64 fromA = low7 + (0x80 - 'A') * EveryByte;
    const quint64 beyondZ = low7 + (0x80 - 'Z' - 1) * EveryByte;
    const quint64 capitals = fromA & ~beyondZ & ~bytes & (0x80 * EveryByte);
    return bytes | (capitals >> 2);
}

// Bytes `from` to `from` + 7 of `text` as a big-endian number, ASCII letters in lower case, bytes
// behind the text as zero: numbers compare as the bytes do.
quint64 Chunk(QByteArrayView text, qsizetype from)
{
    quint64 bytes = 0;
    if (from < text.size())
        std::memcpy(&bytes, text.data() + from, size_t(std::min<qsizetype>(8, text.size() - from)));
    return LowerAsciiCapitals(qFromBigEndian(bytes));
}

// Sixteen bytes of a text from `Depth` * 16 on; the position decides between equal ones, which keeps
// the sort stable.
struct TTextKey {
    quint64 High = 0;
    quint64 Low = 0;
    qint32 Position = 0;
};

constexpr qsizetype BytesPerKey = 16;

bool operator<(const TTextKey& a, const TTextKey& b)
{
    return std::tie(a.High, a.Low, a.Position) < std::tie(b.High, b.Low, b.Position);
}

void FillKey(TTextKey& key, QByteArrayView text, qsizetype depth)
{
    key.High = Chunk(text, depth * BytesPerKey);
    key.Low = Chunk(text, depth * BytesPerKey + 8);
}

// Rows that agree on the bytes compared so far.
struct TRun {
    qsizetype Begin = 0;
    qsizetype End = 0;
    qsizetype Depth = 0;
};

void AddRuns(const std::vector<TTextKey>& keys, qsizetype begin, qsizetype end, qsizetype depth, std::vector<TRun>& runs)
{
    for (qsizetype first = begin; first < end;) {
        qsizetype last = first + 1;
        while (last < end && keys[size_t(last)].High == keys[size_t(first)].High && keys[size_t(last)].Low == keys[size_t(first)].Low)
            ++last;
        if (last - first > 1)
            runs.push_back(TRun{first, last, depth});
        first = last;
    }
}

} // namespace

QList<qint32> AscendingByDate(qint32 count, const std::function<double(qint32)>& dateOf)
{
    std::vector<TDateKey> keys(size_t(std::max(count, 0)));
    for (qint32 position = 0; position < count; ++position)
        keys[size_t(position)] = TDateKey{OrderedBits(dateOf(position)), position};
    std::sort(keys.begin(), keys.end(), [](const TDateKey& a, const TDateKey& b) {
        return a.Bits < b.Bits || (a.Bits == b.Bits && a.Position < b.Position);
    });
    QList<qint32> order(count);
    for (qint32 i = 0; i < count; ++i)
        order[i] = keys[size_t(i)].Position;
    return order;
}

QList<qint32> AscendingByText(qint32 count, const std::function<QByteArrayView(qint32)>& textOf)
{
    std::vector<QByteArrayView> texts(size_t(std::max(count, 0)));
    std::vector<TTextKey> keys(texts.size());
    for (qint32 position = 0; position < count; ++position) {
        texts[size_t(position)] = textOf(position);
        keys[size_t(position)].Position = position;
        FillKey(keys[size_t(position)], texts[size_t(position)], 0);
    }
    std::sort(keys.begin(), keys.end());
    // Most texts differ within their first sixteen bytes; only rows that agree there are read again,
    // sixteen bytes further on.
    std::vector<TRun> runs;
    AddRuns(keys, 0, qsizetype(keys.size()), 0, runs);
    while (!runs.empty()) {
        const TRun run = runs.back();
        runs.pop_back();
        const auto begin = keys.begin() + run.Begin;
        const auto end = keys.begin() + run.End;
        const qsizetype compared = (run.Depth + 1) * BytesPerKey;
        const bool longer = std::any_of(begin, end, [&](const TTextKey& key) { return texts[size_t(key.Position)].size() > compared; });
        if (!longer) {
            // Equal but for zero bytes behind the shorter text, which comes first.
            std::stable_sort(begin, end, [&](const TTextKey& a, const TTextKey& b) {
                return texts[size_t(a.Position)].size() < texts[size_t(b.Position)].size();
            });
            continue;
        }
        for (auto key = begin; key != end; ++key)
            FillKey(*key, texts[size_t(key->Position)], run.Depth + 1);
        std::sort(begin, end);
        AddRuns(keys, run.Begin, run.End, run.Depth + 1, runs);
    }
    QList<qint32> order(count);
    for (qint32 i = 0; i < count; ++i)
        order[i] = keys[size_t(i)].Position;
    return order;
}

bool IsAscii(QByteArrayView text)
{
    quint64 seen = 0;
    qsizetype at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        quint64 bytes = 0;
        std::memcpy(&bytes, text.data() + at, 8);
        seen |= bytes;
    }
    for (; at < text.size(); ++at)
        seen |= quint8(text[at]);
    return (seen & (0x80 * EveryByte)) == 0;
}

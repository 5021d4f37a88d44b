// Throughput of the transfer encodings of qmc3 against GMime 3 on the same data, in MB/s of decoded
// (raw) data. Base64 works on random bytes; quoted-printable on mostly-ASCII text with some UTF-8.
// Our codecs are driven the way the parser and the composer drive them: base64 encoded into lines
// of 76 characters with CR LF and decoded line by line into a reused buffer, quoted-printable from
// a whole text to a whole text (decoding includes finding the lines). Both sides run alternately,
// five times each; the medians are shown.
//   bench_codecs [megabytes]   (default 128)
#include <gmime/gmime.h>

#include "qmmime.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr qsizetype GMimeChunk = 64 * 1024;
constexpr int Rounds = 5;

double Seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Runs both sides alternately, `Rounds` times each, so that a load that comes and goes falls on
// both alike; `reset` runs untimed before each run. Returns the medians.
std::pair<double, double> Alternating(const std::function<void()>& ours, const std::function<void()>& gmime,
                                      const std::function<void()>& reset = {})
{
    QList<double> oursTimes, gmimeTimes;
    for (int round = 0; round < Rounds; ++round) {
        if (reset)
            reset();
        oursTimes.append(Seconds(ours));
        if (reset)
            reset();
        gmimeTimes.append(Seconds(gmime));
    }
    return {Median(oursTimes), Median(gmimeTimes)};
}

QByteArray RandomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(42);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Lines of words with about one non-ASCII word in twelve, some "=" and tabs, CR LF line ends and
// now and then a long paragraph (minified HTML).
QByteArray MailText(qsizetype size)
{
    static const char* const words[] = {"the", "message", "Lumaro", "mail", "server", "reply", "to", "and",
        "Gr\xC3\xBC\xC3\x9F" "e", "caf\xC3\xA9", "a=b", "x\ty", "quoted-printable", "encoding", "of", "line",
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "<div>", "text", "for"};
    QRandomGenerator random(7);
    QByteArray text;
    text.reserve(size + 4096);
    qsizetype lineLength = 0;
    qsizetype lineLimit = 72;
    while (text.size() < size) {
        text += words[random.bounded(int(std::size(words)))];
        lineLength += 8;
        if (lineLength >= lineLimit) {
            text += "\r\n";
            lineLength = 0;
            lineLimit = random.bounded(100) == 0 ? 20000 : random.bounded(20, 100);
        } else {
            text += ' ';
        }
    }
    if (!text.endsWith("\r\n"))
        text += "\r\n";
    return text;
}

using GMimeStep = size_t (*)(const unsigned char*, size_t, unsigned char*, int*, guint32*);

// Runs a GMime codec over `input` in 64 KB steps into `output` (large enough), the last step through
// `close` when given; returns the bytes written.
size_t GMimeCodec(GMimeStep step, GMimeStep close, const QByteArray& input, QByteArray& output, int state)
{
    guint32 save = 0;
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    const auto* in = reinterpret_cast<const unsigned char*>(input.constData());
    size_t written = 0;
    qsizetype at = 0;
    for (; at + GMimeChunk < input.size(); at += GMimeChunk)
        written += step(in + at, GMimeChunk, out + written, &state, &save);
    const size_t rest = size_t(input.size() - at);
    written += (close ? close : step)(in + at, rest, out + written, &state, &save);
    return written;
}

struct Row {
    const char* name;
    double ours;
    double gmime;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_mime_init();
    const qsizetype megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 128;
    const qsizetype size = megabytes * 1024 * 1024;
    std::printf("Preparing %lld MB of random bytes and %lld MB of mail text...\n", (long long)megabytes,
        (long long)megabytes);
    QList<Row> rows;

    // --- base64: ours as the encoder writes attachments (lines of 76 characters with CR LF) and as
    // the parser reads them (line by line into a reused buffer); GMime's stream steps in 64 KB blocks.
    const QByteArray binary = RandomBytes(size);
    QByteArray encoded;
    QByteArray gmimeOut(qsizetype(GMIME_BASE64_ENCODE_LEN(size_t(binary.size()))) + 1024, Qt::Uninitialized);
    size_t gmimeEncodedSize = 0;
    const auto [oursB64Encode, gmimeB64Encode] = Alternating(
        [&] {
            encoded.resize(0);
            encoded.reserve(binary.size() / 57 * 78 + 80);
            EncodeBase64Lines(binary, encoded);
        },
        [&] { gmimeEncodedSize = GMimeCodec(g_mime_encoding_base64_encode_step, g_mime_encoding_base64_encode_close, binary, gmimeOut, 0); });
    QByteArray decoded;
    QByteArray gmimeDecoded(binary.size() + 1024, Qt::Uninitialized);
    gmimeOut.truncate(qsizetype(gmimeEncodedSize));
    const auto [oursB64Decode, gmimeB64Decode] = Alternating(
        [&] {
            decoded.resize(0);
            decoded.reserve(binary.size());
            QByteArray bytes;
            const char* p = encoded.constData();
            const char* const end = p + encoded.size();
            while (p < end) {
                const auto* eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
                const char* lineEnd = eol ? eol - 1 : end; // without the CR
                MakeBinData(QByteArrayView(p, lineEnd - p), bytes);
                decoded.append(bytes);
                p = eol ? eol + 1 : end;
            }
        },
        [&] { gmimeDecoded.resize(binary.size() + 1024);
            gmimeDecoded.resize(qsizetype(GMimeCodec(g_mime_encoding_base64_decode_step, nullptr, gmimeOut, gmimeDecoded, 0))); });
    if (decoded != binary || gmimeDecoded != binary) {
        std::printf("base64 round trip failed\n");
        return 1;
    }
    rows.append({"base64 encode", oursB64Encode, gmimeB64Encode});
    rows.append({"base64 decode", oursB64Decode, gmimeB64Decode});
    encoded = QByteArray();
    gmimeOut = QByteArray();
    gmimeDecoded = QByteArray();

    // --- quoted-printable: both sides from a text in memory to a text in memory; our decoding
    // includes finding the lines (the whole-text form the parser uses).
    const QByteArray text = MailText(size);
    QByteArray qpText;
    QByteArray gmimeQp(qsizetype(GMIME_QP_ENCODE_LEN(size_t(text.size()))) + 1024, Qt::Uninitialized);
    const auto [oursQpEncode, gmimeQpEncode] = Alternating(
        [&] {
            qpText.resize(0);
            qpText.reserve(text.size() + text.size() / 4);
            EncodeQuotedPrintableText(text, qpText);
        },
        [&] { GMimeCodec(g_mime_encoding_quoted_encode_step, g_mime_encoding_quoted_encode_close, text, gmimeQp, -1); });
    QByteArray qpDecoded;
    QByteArray gmimeQpDecoded(text.size() + qpText.size() / 2, Qt::Uninitialized);
    size_t gmimeQpDecodedSize = 0;
    const auto [oursQpDecode, gmimeQpDecode] = Alternating(
        [&] {
            qpDecoded.resize(0);
            qpDecoded.reserve(text.size() + 1024);
            DecodeQuotedPrintableText(qpText, qpDecoded);
        },
        [&] { gmimeQpDecodedSize = GMimeCodec(g_mime_encoding_quoted_decode_step, nullptr, qpText, gmimeQpDecoded, 0); });
    if (qpDecoded != text) {
        std::printf("quoted-printable round trip failed\n");
        return 1;
    }
    if (QByteArrayView(gmimeQpDecoded.constData(), qsizetype(gmimeQpDecodedSize)) != QByteArrayView(text)) {
        std::printf("GMime did not decode our quoted-printable text to the original\n");
        return 1;
    }
    // The same through the line list of TQuotedPrintable, splitting the text first, for comparison.
    QByteArrayList lines;
    QByteArray listDecoded;
    const double oursQpDecodeList = Seconds([&] {
        lines = qpText.split('\n');
        if (lines.last().isEmpty())
            lines.removeLast();
        for (QByteArray& line : lines)
            line.chop(line.endsWith('\r') ? 1 : 0);
        listDecoded.reserve(text.size() + 1024);
        QBuffer device(&listDecoded);
        device.open(QIODevice::WriteOnly);
        TQuotedPrintable(device, lines).Decode();
    });
    rows.append({"QP encode", oursQpEncode, gmimeQpEncode});
    rows.append({"QP decode", oursQpDecode, gmimeQpDecode});

    const double mb = double(size) / (1024 * 1024);
    std::printf("\n%lld MB per codec, MB/s of decoded data, median of %d runs per side, sides alternating\n",
        (long long)megabytes, Rounds);
    std::printf("%-16s %12s %12s %8s\n", "codec", "qmc3", "GMime 3", "ratio");
    for (const Row& row : rows)
        std::printf("%-16s %12.0f %12.0f %7.2fx\n", row.name, mb / row.ours, mb / row.gmime, row.gmime / row.ours);
    std::printf("\nQP decode of qmc3 includes finding the lines in the text. Through TQuotedPrintable's line\n"
                "list (QByteArray::split first, one run) it reaches %.0f MB/s.\n",
        mb / oursQpDecodeList);
    return 0;
}

// Parsing a message made of many empty MIME parts (a few megabytes of "--b" lines): wall time and
// peak resident memory of one TqmMessage::LoadFromStream, so that the per-part cost and the part
// limit of the parser can be compared before and after a change (bench_manyparts.sh runs this
// program against two builds of libqmc3 side by side).
//   bench_manyparts PARTS  one line: parts, message size, seconds (best of three), peak RSS, attachments
#include "qmmsg.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

QByteArray ManyEmptyParts(qsizetype parts)
{
    QByteArray text = "From: a@example.com\r\nTo: b@example.com\r\nSubject: parts\r\nMIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    text.reserve(text.size() + parts * 7 + 8);
    for (qsizetype i = 0; i < parts; ++i)
        text += "--b\r\n\r\n";
    return text + "--b--\r\n";
}

qint64 PeakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_manyparts PARTS\n");
        return 2;
    }
    const qsizetype parts = std::atoll(argv[1]);
    const QByteArray text = ManyEmptyParts(parts);
    double best = 1e9;
    qsizetype attachments = 0;
    for (int run = 0; run < 3; ++run) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        TqmMessage message;
        QElapsedTimer timer;
        timer.start();
        message.LoadFromStream(buffer);
        best = std::min(best, timer.nsecsElapsed() / 1e9);
        attachments = message.Attachments.Count();
    }
    std::printf("parts %7lld  size %5.2f MB  %7.3f s  peak %6.1f MB  attachments %lld\n", static_cast<long long>(parts),
                text.size() / 1e6, best, PeakResidentBytes() / 1e6, static_cast<long long>(attachments));
    return 0;
}

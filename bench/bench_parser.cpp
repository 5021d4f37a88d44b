// Parse throughput of the qmc3 message parser against GMime 3 on the same corpus (make_corpus), in MB/s
// of message text and messages/s. Both decode every part: our parser does by design (attachments into
// memory, text into Body, header words of sender, recipients and subject); GMime is asked for the same
// header fields and every leaf part is decoded into a memory stream. Messages are read into memory
// first, so that the disk is not measured.
//   bench_parser DIR [qmc3|gmime]  throughput over DIR/*.eml, median of five alternating runs each (one parser only
//                                  when named, for profiling)
//   bench_parser --load FILE  peak resident memory of loading FILE with TqmMessage::LoadFromFile
#include <gmime/gmime.h>

#include "qmmsg.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double Seconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

qint64 PeakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

qint64 g_checksum = 0;

void ParseOurs(const QByteArrayList& messages)
{
    for (const QByteArray& text : messages) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        TqmMessage message;
        message.LoadFromStream(buffer);
        g_checksum += message.Body.size() + message.Subject.size() + message.Recipients.Count();
        for (qsizetype i = 0; i < message.Attachments.Count(); ++i)
            g_checksum += message.Attachments.Items(i).Data.size();
    }
}

void DecodeGMimePart(GMimeObject*, GMimeObject* part, gpointer)
{
    if (!GMIME_IS_PART(part))
        return;
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
    if (!content)
        return;
    GMimeStream* decoded = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, decoded);
    g_checksum += g_mime_stream_length(decoded);
    g_object_unref(decoded);
}

void ParseGMime(const QByteArrayList& messages)
{
    for (const QByteArray& text : messages) {
        GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.constData(), size_t(text.size()));
        GMimeParser* parser = g_mime_parser_new_with_stream(stream);
        GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
        if (message) {
            const char* subject = g_mime_message_get_subject(message);
            g_checksum += subject ? qint64(strlen(subject)) : 0;
            g_checksum += internet_address_list_length(g_mime_message_get_from(message));
            g_checksum += internet_address_list_length(g_mime_message_get_to(message));
            g_checksum += internet_address_list_length(g_mime_message_get_cc(message));
            g_mime_message_foreach(message, DecodeGMimePart, nullptr);
            g_object_unref(message);
        }
        g_object_unref(parser);
        g_object_unref(stream);
    }
}

int Throughput(const QString& directory, const QString& only)
{
    QByteArrayList messages;
    qint64 bytes = 0;
    const QDir dir(directory);
    for (const QString& name : dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        messages.append(file.readAll());
        bytes += messages.last().size();
    }
    if (messages.isEmpty())
        return 1;
    std::printf("corpus: %lld messages, %.1f MB\n", qlonglong(messages.size()), bytes / 1e6);
    // The runs alternate, so that a load that comes and goes and the effects of the process's first
    // allocations fall on both alike; the median of five runs per side counts.
    QList<double> oursRuns, gmimeRuns;
    for (int run = 0; run < 5; ++run) {
        if (only != QLatin1String("gmime"))
            oursRuns.append(Seconds([&] { ParseOurs(messages); }));
        if (only != QLatin1String("qmc3"))
            gmimeRuns.append(Seconds([&] { ParseGMime(messages); }));
    }
    const auto median = [](QList<double> runs) {
        std::sort(runs.begin(), runs.end());
        return runs.isEmpty() ? 0.0 : runs.at(runs.size() / 2);
    };
    const double ours = median(oursRuns);
    const double gmime = median(gmimeRuns);
    for (const auto& [name, seconds] : {std::pair{"qmc3 ", ours}, std::pair{"GMime", gmime}})
        if (seconds > 0)
            std::printf("%s  %8.3f s  %8.1f MB/s  %9.0f messages/s\n", name, seconds, bytes / 1e6 / seconds,
                    messages.size() / seconds);
    std::printf("(checksum %lld)\n", qlonglong(g_checksum));
    return 0;
}

int PeakOfLoading(const QString& path)
{
    const qint64 size = QFileInfo(path).size();
    const qint64 before = PeakResidentBytes();
    TqmMessage message;
    message.LoadFromFile(path);
    const qint64 after = PeakResidentBytes();
    qint64 attachments = 0;
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i)
        attachments += message.Attachments.Items(i).Data.size();
    std::printf("message %.1f MB, decoded attachments %.1f MB\n", size / 1048576.0, attachments / 1048576.0);
    std::printf("peak resident before %.1f MB, after %.1f MB: loading added %.1f MB = %.2f x the message size\n",
                before / 1048576.0, after / 1048576.0, (after - before) / 1048576.0, double(after - before) / size);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--load"))
        return PeakOfLoading(arguments.at(1));
    if (arguments.isEmpty() || arguments.size() > 2) {
        std::fputs("usage: bench_parser DIR | bench_parser --load FILE\n", stderr);
        return 2;
    }
    g_mime_init();
    return Throughput(arguments.first(), arguments.value(1));
}

// Writes the suite's default sounds into the program directory at build time: "newmail.wav", a
// short rising two-note chime, and "nomail.wav", one low soft note. 16-bit mono PCM, 22,050 Hz,
// generated here so that no recording has to be shipped.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int SampleRate = 22050;

struct TNote {
    double Frequency;
    double Seconds;
};

// A sine note with a soft attack and an exponential decay, so that it does not click.
void AppendNote(std::vector<qint16>& samples, const TNote& note, double volume)
{
    const int count = int(note.Seconds * SampleRate);
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / SampleRate;
        const double attack = std::min(1.0, t / 0.01);
        const double envelope = attack * std::exp(-4.0 * t / note.Seconds);
        samples.push_back(qint16(volume * envelope * 32767.0 * std::sin(2.0 * std::numbers::pi * note.Frequency * t)));
    }
}

QByteArray Wave(const std::vector<qint16>& samples)
{
    const quint32 dataSize = quint32(samples.size() * sizeof(qint16));
    QByteArray bytes;
    const auto u32 = [&](quint32 v) { v = qToLittleEndian(v); bytes.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](quint16 v) { v = qToLittleEndian(v); bytes.append(reinterpret_cast<const char*>(&v), 2); };
    bytes.append("RIFF");
    u32(36 + dataSize);
    bytes.append("WAVEfmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(SampleRate);
    u32(SampleRate * 2);
    u16(2);
    u16(16);
    bytes.append("data");
    u32(dataSize);
    for (qint16 sample : samples)
        u16(quint16(sample));
    return bytes;
}

bool WriteTone(const QString& path, const std::vector<TNote>& notes, double volume)
{
    std::vector<qint16> samples;
    for (const TNote& note : notes)
        AppendNote(samples, note, volume);
    const QByteArray bytes = Wave(samples);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool written = WriteTone(dir + QLatin1String("/newmail.wav"), {{880.0, 0.15}, {1318.5, 0.35}}, 0.5)
        && WriteTone(dir + QLatin1String("/nomail.wav"), {{440.0, 0.3}}, 0.35);
    if (!written)
        std::fprintf(stderr, "cannot write the sounds into %s\n", argv[1]);
    return written ? 0 : 1;
}

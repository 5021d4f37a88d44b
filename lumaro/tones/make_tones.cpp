// Writes the suite's default sounds at build time: newmail.wav (two rising tones) and nomail.wav
// (one low tone), 16-bit mono PCM at 22050 Hz, short and quiet, with soft edges so they do not click.
// Usage: make_tones OUTPUT_DIR

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int SampleRate = 22050;
constexpr double Volume = 0.3;
constexpr int FadeSamples = SampleRate / 100;

struct Tone {
    double Frequency;
    int Milliseconds;
};

void AppendTone(std::vector<int16_t>& samples, const Tone& tone)
{
    const int count = SampleRate * tone.Milliseconds / 1000;
    for (int i = 0; i < count; ++i) {
        const double fade = std::min({1.0, double(i) / FadeSamples, double(count - i) / FadeSamples});
        const double value = std::sin(2 * std::numbers::pi * tone.Frequency * i / SampleRate);
        samples.push_back(int16_t(value * fade * Volume * 32767));
    }
}

void PutLittleEndian(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(char(value >> (8 * i) & 0xFF));
}

bool WriteWav(const std::string& path, const std::vector<Tone>& tones)
{
    std::vector<int16_t> samples;
    for (const Tone& tone : tones)
        AppendTone(samples, tone);
    const uint32_t dataBytes = uint32_t(samples.size() * sizeof(int16_t));
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    PutLittleEndian(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLittleEndian(out, 16, 4);              // fmt chunk size
    PutLittleEndian(out, 1, 2);               // PCM
    PutLittleEndian(out, 1, 2);               // mono
    PutLittleEndian(out, SampleRate, 4);
    PutLittleEndian(out, SampleRate * 2, 4);  // bytes per second
    PutLittleEndian(out, 2, 2);               // block align
    PutLittleEndian(out, 16, 2);              // bits per sample
    out.write("data", 4);
    PutLittleEndian(out, dataBytes, 4);
    for (int16_t sample : samples)
        PutLittleEndian(out, uint16_t(sample), 2);
    return bool(out);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: make_tones OUTPUT_DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    if (!WriteWav(dir + "/newmail.wav", {{660, 120}, {880, 180}}) || !WriteWav(dir + "/nomail.wav", {{440, 200}})) {
        std::cerr << "make_tones: cannot write into " << dir << '\n';
        return 1;
    }
    return 0;
}

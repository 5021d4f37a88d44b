// Loads any input, saves the message, loads the saved text and saves again. Saving must not change
// the message: two saves of the same object write the same text apart from the random boundaries.

#include "qmpars.h"

#include <QBuffer>

#include <cstdlib>

namespace {

QByteArray Save(const TqmMessage& message)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    TqmMessageEncoder(message, buffer).Process();
    return text;
}

void Load(QByteArray text, TqmMessage& message)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    TqmMessageDecoder(buffer, message).Process();
}

QByteArray WithoutDigits(QByteArray text)
{
    text.removeIf([](char c) { return c >= '0' && c <= '9'; });
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TqmMessage message;
    Load(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), message);
    const QByteArray first = Save(message);
    if (WithoutDigits(Save(message)) != WithoutDigits(first))
        std::abort();
    TqmMessage reloaded;
    Load(first, reloaded);
    Save(reloaded);
    return 0;
}

// Loads any input as a message: it must end without a crash, a hang or a read outside a buffer.
// Odd input lengths also read through a tiny chunk size, so lines cross chunk boundaries.

#include "qmpars.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    TqmMessage message;
    TqmMessageDecoder decoder(buffer, message);
    if (size % 2 == 1)
        decoder.SetBufSize(7);
    decoder.Process();
    message.GetContentType();
    return 0;
}

#pragma once
// Builds expected record bytes field by field, independently of the record codec under test.

#include <QByteArray>

#include <cstring>

namespace RecordBytes {

inline void Put(QByteArray& record, int offset, const QByteArray& bytes)
{
    record.replace(offset, bytes.size(), bytes);
}

// One length byte, then the text.
inline void PutString(QByteArray& record, int offset, const QByteArray& text)
{
    Put(record, offset, char(text.size()) + text);
}

// Little-endian 32 bits.
inline void PutInt(QByteArray& record, int offset, qint64 value)
{
    const quint32 v = quint32(value);
    const char bytes[] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    Put(record, offset, QByteArray(bytes, 4));
}

// Little-endian IEEE double.
inline void PutDouble(QByteArray& record, int offset, double value)
{
    quint64 bits = 0;
    std::memcpy(&bits, &value, 8);
    QByteArray bytes;
    for (int i = 0; i < 8; ++i)
        bytes += char(bits >> (8 * i));
    Put(record, offset, bytes);
}

} // namespace RecordBytes

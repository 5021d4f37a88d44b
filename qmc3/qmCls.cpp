#include "qmCls.h"

#include "qmexcept.h"

#include <QFileDevice>

#include <cstring>

TLineStream::TLineStream(QIODevice& device) : m_device(device), m_origin(device.isSequential() ? 0 : device.pos())
{
}

void TLineStream::SetBufSize(qsizetype size)
{
    m_bufSize = std::max<qsizetype>(1, size);
}

// Moves the unfinished line to the front of the buffer and appends the next bytes of the device.
// The buffer grows only while one line does not fit.
bool TLineStream::LoadNextPart()
{
    if (m_endOfData)
        return false;
    const qsizetype pending = m_end - m_begin;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_begin, size_t(pending));
        m_begin = 0;
        m_end = pending;
    }
    if (m_buffer.size() < pending + m_bufSize)
        m_buffer.resize(std::max(pending + m_bufSize, m_buffer.size() * 2));
    const qint64 got = m_device.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (got <= 0) {
        // A failed read must not pass for the end of a shorter message.
        if (const auto* file = qobject_cast<const QFileDevice*>(&m_device); file && file->error() != QFileDevice::NoError)
            throw EMessageError(QStringLiteral("Cannot read the message: %1").arg(file->errorString()));
        m_endOfData = true;
        return false;
    }
    m_end += got;
    return true;
}

bool TLineStream::GetNextLine(QByteArrayView& line)
{
    for (;;) {
        const char* start = m_buffer.constData() + m_begin;
        const auto* lf = static_cast<const char*>(
            std::memchr(start + m_scanned, '\n', size_t(m_end - m_begin - m_scanned)));
        if (lf) {
            qsizetype length = lf - start;
            m_begin += length + 1;
            m_scanned = 0;
            if (length > 0 && start[length - 1] == '\r')
                --length;
            line = QByteArrayView(start, length);
            return true;
        }
        m_scanned = m_end - m_begin;
        if (!LoadNextPart())
            break;
    }
    // The last line of an input that does not end with a line end.
    if (m_begin < m_end) {
        line = QByteArrayView(m_buffer.constData() + m_begin, m_end - m_begin);
        m_begin = m_end;
        m_scanned = 0;
        return true;
    }
    m_endOfInput = true;
    line = QByteArrayView();
    return false;
}

void TLineStream::Reset()
{
    if (m_device.isSequential() || !m_device.seek(m_origin))
        throw EMessageError(QStringLiteral("Cannot read the message again: %1").arg(m_device.errorString()));
    m_begin = m_end = m_scanned = 0;
    m_endOfData = m_endOfInput = false;
}

QByteArray TLineStream::ReadAll()
{
    Reset();
    QByteArray all = m_device.readAll();
    m_endOfData = m_endOfInput = true;
    return all;
}

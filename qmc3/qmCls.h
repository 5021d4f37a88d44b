#pragma once
// TLineStream: hands out the lines of a message read from a device in chunks, so that a message of
// any size is split into lines without holding it, or a list of its lines, in memory.

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

// Reads `device` from its position at construction onwards. A line ends at LF; a CR before the LF
// is not part of the line, a CR anywhere else is. Lines of any length are handed out whole.
// The device belongs to the caller and must outlive the reader; Reset needs a device that is not
// sequential.
class TLineStream {
public:
    static constexpr qsizetype DefaultBufSize = 16384;

    explicit TLineStream(QIODevice& device);
    TLineStream(const TLineStream&) = delete;
    TLineStream& operator=(const TLineStream&) = delete;

    // Bytes asked of the device per read; takes effect with the next read.
    void SetBufSize(qsizetype size);
    // The next line, valid until the next call of GetNextLine or Reset. False at the end of input.
    // Throws EMessageError when a file cannot be read.
    bool GetNextLine(QByteArrayView& line);
    bool EndOfInput() const { return m_endOfInput; }
    // Back to the first line. Throws EMessageError when the device cannot seek there.
    void Reset();
    // Everything from the first line to the end of the device, read again.
    QByteArray ReadAll();

private:
    bool LoadNextPart();

    QIODevice& m_device;
    qint64 m_origin = 0;
    qsizetype m_bufSize = DefaultBufSize;
    QByteArray m_buffer;
    qsizetype m_begin = 0;    // start of the next line in m_buffer
    qsizetype m_end = 0;      // end of the bytes read into m_buffer
    qsizetype m_scanned = 0;  // bytes after m_begin known to hold no LF
    bool m_endOfData = false; // the device has nothing more
    bool m_endOfInput = false;
};

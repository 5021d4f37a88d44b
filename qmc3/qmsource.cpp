#include "qmsource.h"

#include "qmcharset.h"
#include "qmmsgcls.h"
#include "qmutils.h"

#include <QByteArrayList>

namespace {

// Walks the lines of a message and hands on runs of lines with the charset they are written in.
class SourceReader {
public:
    QString Read(const QByteArray& source)
    {
        qsizetype start = 0;
        while (start < source.size()) {
            qsizetype end = source.indexOf('\n', start);
            end = end < 0 ? source.size() : end + 1;
            Line(QByteArrayView(source).sliced(start, end - start));
            start = end;
        }
        FlushRun();
        if (m_inHeader)
            EndHeader();
        FlushRun();
        m_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return m_text;
    }

private:
    void Line(QByteArrayView line)
    {
        QByteArrayView bare = line;
        while (bare.endsWith('\n') || bare.endsWith('\r'))
            bare.chop(1);
        if (m_inHeader) {
            m_header += line;
            if (bare.isEmpty())
                EndHeader();
            return;
        }
        for (const QByteArray& boundary : std::as_const(m_boundaries)) {
            if (bare.startsWith(boundary)) {
                SetCharset({});
                m_run += line;
                m_inHeader = !bare.sliced(boundary.size()).startsWith("--");
                return;
            }
        }
        m_run += line;
    }

    // A header block is shown undeclared; it decides how the lines after it read.
    void EndHeader()
    {
        SetCharset({});
        m_run += m_header;
        const TqmHeaders headers = TqmHeaders::FromText(m_header);
        m_header.clear();
        const QByteArray contentType = headers.GetRawFieldBody(QByteArrayLiteral("Content-Type"));
        const QByteArray type = GetFirstPart(contentType).trimmed().toLower();
        const QByteArray boundary = GetParameter(QByteArrayLiteral("boundary="), contentType);
        if (type.startsWith("multipart/") && !boundary.isEmpty())
            m_boundaries.prepend("--" + boundary);
        // A message inside a message starts with its own header.
        m_inHeader = type == "message/rfc822";
        if (type.isEmpty() || type.startsWith("text/"))
            SetCharset(GetParameter(QByteArrayLiteral("charset="), contentType));
    }

    void SetCharset(const QByteArray& charset)
    {
        if (charset == m_charset)
            return;
        FlushRun();
        m_charset = charset;
    }

    void FlushRun()
    {
        m_text += DecodeText(m_run, m_charset);
        m_run.clear();
    }

    QString m_text;
    QByteArray m_run;
    QByteArray m_charset;
    QByteArray m_header;
    QByteArrayList m_boundaries;
    bool m_inHeader = true;
};

} // namespace

QString MessageSourceText(const QByteArray& source)
{
    return SourceReader().Read(source);
}

#include "nkwire.h"

#include <QByteArrayList>

namespace detail {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsBracket(char c) { return QByteArrayView("()[]<>,;").contains(c); }

// A word such as "2", "(320" or "320)" read as a non-negative number; -1 when it is none.
qint64 WordAsNumber(QByteArrayView word)
{
    while (!word.isEmpty() && IsBracket(word.front()))
        word = word.sliced(1);
    while (!word.isEmpty() && IsBracket(word.back()))
        word = word.chopped(1);
    bool ok = false;
    const qint64 number = word.toLongLong(&ok);
    return ok && number >= 0 && IsDigit(word.front()) ? number : -1;
}

// The blank-separated words after the status word.
QByteArrayList WordsAfterStatus(QByteArrayView line)
{
    QByteArrayList words = line.toByteArray().simplified().split(' ');
    if (!words.isEmpty())
        words.removeFirst();
    return words;
}

QByteArray HexEscape(uchar byte) { return "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0'); }

bool IsC0ControlOrDelete(uchar byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7f; }

// U+0080..U+009F in UTF-8: "\xc2\x9b" is CSI to a terminal that reads UTF-8.
bool StartsC1Control(QByteArrayView text, qsizetype i)
{
    return uchar(text[i]) == 0xc2 && i + 1 < text.size() && uchar(text[i + 1]) >= 0x80 && uchar(text[i + 1]) <= 0x9f;
}

} // namespace

QByteArrayView StripLineEnd(QByteArrayView line)
{
    while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
        line.chop(1);
    return line;
}

QByteArray LogLineText(QByteArrayView line)
{
    const QByteArrayView text = StripLineEnd(line);
    QByteArray shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (StartsC1Control(text, i)) {
            shown += HexEscape(uchar(text[i])) + HexEscape(uchar(text[i + 1]));
            ++i;
        } else if (IsC0ControlOrDelete(uchar(text[i])))
            shown += HexEscape(uchar(text[i]));
        else
            shown += text[i];
    }
    return shown;
}

int SmtpReplyCode(QByteArrayView line)
{
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
        return -1;
    return line.first(3).toInt();
}

bool IsContinuationLine(QByteArrayView line)
{
    return SmtpReplyCode(line) > 0 && line.size() > 3 && line[3] == '-';
}

bool EndsMultiLineReply(QByteArrayView line, int code)
{
    return SmtpReplyCode(line) == code && (line.size() == 3 || line[3] == ' ');
}

int Pop3ReplyCode(QByteArrayView line)
{
    if (line.startsWith('+'))
        return 1;
    if (line.startsWith('-'))
        return -1;
    return 0;
}

bool ParseStatReply(QByteArrayView line, qint64& count, qint64& size)
{
    const QByteArrayList words = WordsAfterStatus(line);
    // The count must be the first word; the size is looked for further on.
    count = words.isEmpty() ? -1 : WordAsNumber(words.first());
    if (count < 0)
        return false;
    size = 0;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const qint64 number = WordAsNumber(words.at(i));
        if (number >= 0) {
            size = number;
            break;
        }
    }
    return true;
}

qint64 ParseListSize(QByteArrayView line)
{
    const QByteArrayList words = WordsAfterStatus(line);
    if (words.size() < 2)
        return 0;
    return qMax<qint64>(0, WordAsNumber(words.at(1)));
}

QByteArray ParseUidl(QByteArrayView line)
{
    const QByteArrayList words = WordsAfterStatus(line);
    return words.size() < 2 ? QByteArray() : words.at(1);
}

qsizetype TDotDecoder::Feed(QByteArrayView input, QByteArray& output)
{
    qsizetype pos = 0;
    while (pos < input.size() && !m_finished) {
        if (m_atLineStart && input[pos] == '.') {
            const QByteArrayView rest = input.sliced(pos + 1);
            if (rest.isEmpty() || (rest.front() == '\r' && rest.size() == 1))
                break; // cannot tell "." from ".." or ".text" yet
            if (rest.startsWith('\n') || rest.startsWith("\r\n")) {
                m_finished = true;
                return pos + 1 + (rest.front() == '\n' ? 1 : 2);
            }
            ++pos; // RFC 1939, 3: the stuffed dot is removed
        }
        const qsizetype lineFeed = input.indexOf('\n', pos);
        const qsizetype end = lineFeed < 0 ? input.size() : lineFeed + 1;
        output.append(input.sliced(pos, end - pos));
        m_atLineStart = lineFeed >= 0;
        pos = end;
    }
    return pos;
}

void TDotEncoder::Encode(QByteArrayView input, QByteArray& output)
{
    if (input.isEmpty())
        return;
    output.reserve(output.size() + input.size() + 16);
    qsizetype pos = 0;
    while (pos < input.size()) {
        if (m_atLineStart && input[pos] == '.')
            output.append('.');
        const qsizetype lineFeed = input.indexOf('\n', pos);
        const qsizetype end = lineFeed < 0 ? input.size() : lineFeed + 1;
        output.append(input.sliced(pos, end - pos));
        m_atLineStart = lineFeed >= 0;
        pos = end;
    }
    m_empty = false;
}

QByteArray TDotEncoder::Terminator() const
{
    return m_atLineStart || m_empty ? QByteArray(".\r\n") : QByteArray("\r\n.\r\n");
}

QByteArrayList TCommandPipeline::TakeSendable()
{
    QByteArrayList texts;
    if (m_sent.size() > m_window / 2)
        return texts;
    while (!m_queued.isEmpty() && m_sent.size() < m_window) {
        texts.append(m_queued.constFirst().Text);
        m_sent.append(m_queued.takeFirst());
    }
    return texts;
}

} // namespace detail

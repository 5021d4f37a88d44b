// Writes a deterministic corpus of mail messages for bench_parser: plain and quoted-printable text
// (Latin-1 and UTF-8), multipart/alternative, multipart/mixed with base64 attachments of up to 2 MB,
// nested alternatives, uuencoded files and encoded header words, laid out as common mailers write them.
//   make_corpus DIR [COUNT]      COUNT messages (default 20000) as DIR/NNNNN.eml
//   make_corpus --big FILE [MB]  one message with a base64 attachment of MB megabytes (default 50)
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

const char* const Words[] = {"the", "message", "meeting", "report", "server", "reply", "to", "and", "of",
    "project", "budget", "tomorrow", "please", "attached", "review", "Gr\xC3\xBC\xC3\x9F" "e", "caf\xC3\xA9",
    "M\xC3\xBCnchen", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "x=y", "line", "for", "with"};
const char* const Names[] = {"Anna Schmidt", "Bob Miller", "J\xC3\xBCrgen M\xC3\xBCller", "Fran\xC3\xA7oise Durand",
    "Li Wei", "Dr. Carol King", "Smith, Dave", "\xC3\x85sa Lind"};

class Corpus {
public:
    explicit Corpus(quint32 seed) : m_random(seed) {}

    QByteArray Message(int index);
    QByteArray BigMessage(qsizetype attachmentSize);

private:
    int Pick(int count) { return m_random.bounded(count); }
    QByteArray Text(int lines, bool ascii);
    QByteArray Headers(int index, const QByteArray& extra);
    QByteArray EncodedWord(const QByteArray& utf8);
    QByteArray Bytes(qsizetype size);
    qsizetype AttachmentSize();
    static QByteArray Base64Lines(const QByteArray& data);
    static QByteArray QuotedPrintable(const QByteArray& text);
    static QByteArray UULines(const QByteArray& data);
    QByteArray PlainMessage(int index);
    QByteArray QuotedPrintableMessage(int index);
    QByteArray AlternativeBody(const QByteArray& boundary);
    QByteArray AlternativeMessage(int index);
    QByteArray MixedMessage(int index, bool nested);
    QByteArray UUMessage(int index);

    QRandomGenerator m_random;
};

QByteArray Corpus::Text(int lines, bool ascii)
{
    QByteArray text;
    for (int line = 0; line < lines; ++line) {
        QByteArray current;
        const int width = 40 + Pick(36);
        while (current.size() < width) {
            const char* word = Words[Pick(ascii ? 15 : int(std::size(Words)))];
            current += word;
            current += ' ';
        }
        text += current.trimmed() + "\r\n";
        if (Pick(8) == 0)
            text += "\r\n";
    }
    return text;
}

QByteArray Corpus::EncodedWord(const QByteArray& utf8)
{
    if (Pick(2) == 0)
        return "=?utf-8?B?" + utf8.toBase64() + "?=";
    QByteArray q;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == ' ')
            q += '_';
        else if (b < 0x80 && c != '=' && c != '?' && c != '_')
            q += c;
        else
            q += '=' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    }
    return "=?utf-8?Q?" + q + "?=";
}

QByteArray Corpus::Headers(int index, const QByteArray& extra)
{
    QByteArray h;
    for (int hop = 0; hop < 3; ++hop)
        h += "Received: from mx" + QByteArray::number(hop) + ".example.net (mx.example.net [192.0.2." + QByteArray::number(hop + 1)
            + "])\r\n\tby mail.example.org with ESMTP id " + QByteArray::number(index * 7 + hop, 16) + "\r\n";
    const QByteArray from = Names[Pick(int(std::size(Names)))];
    h += "From: " + (from.contains(',') || from.contains('.') ? '"' + from + '"' : EncodedWord(from)) + " <sender"
        + QByteArray::number(index % 97) + "@example.org>\r\n";
    const int recipients = 1 + Pick(5);
    h += "To: ";
    for (int r = 0; r < recipients; ++r)
        h += (r ? ",\r\n\t" : "") + EncodedWord(Names[Pick(int(std::size(Names)))]) + " <rcpt" + QByteArray::number(r)
            + "@example.com>";
    h += "\r\n";
    if (Pick(3) == 0)
        h += "Cc: copy@example.com, Other Person <other@example.com>\r\n";
    QByteArray subject = Text(1, Pick(3) != 0).trimmed();
    h += "Subject: " + (Pick(3) == 0 ? EncodedWord(subject) : subject) + "\r\n";
    h += "Date: Mon, 7 Dec 2026 09:" + QByteArray::number(10 + index % 50) + ":00 +0100\r\n";
    h += "Message-ID: <" + QByteArray::number(index) + ".corpus@example.org>\r\n";
    return h + extra + "\r\n";
}

QByteArray Corpus::Bytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(m_random.bounded(256));
    return bytes;
}

// Mostly small files, a tenth between 100 KB and 2 MB (log-uniform within each range).
qsizetype AttachmentSizeFrom(double unit, bool large)
{
    const double low = large ? 100e3 : 1e3;
    const double high = large ? 2e6 : 100e3;
    return qsizetype(std::exp(std::log(low) + unit * (std::log(high) - std::log(low))));
}

qsizetype Corpus::AttachmentSize()
{
    return AttachmentSizeFrom(m_random.generateDouble(), Pick(10) == 0);
}

QByteArray Corpus::Base64Lines(const QByteArray& data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + "\r\n";
    return lines;
}

QByteArray Corpus::QuotedPrintable(const QByteArray& text)
{
    QByteArray out;
    qsizetype column = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text.at(i));
        if (b == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            out += "\r\n";
            ++i;
            column = 0;
            continue;
        }
        QByteArray piece = (b >= 0x80 || b == '=') ? '=' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0')
                                                   : QByteArray(1, char(b));
        if (column + piece.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    return out;
}

QByteArray Corpus::UULines(const QByteArray& data)
{
    QByteArray out;
    for (qsizetype at = 0; at < data.size(); at += 45) {
        const QByteArray block = data.mid(at, 45);
        QByteArray line(1, char(32 + block.size()));
        for (qsizetype i = 0; i < block.size(); i += 3) {
            const quint32 v = (quint32(quint8(block[i])) << 16) | (i + 1 < block.size() ? quint32(quint8(block[i + 1])) << 8 : 0)
                | (i + 2 < block.size() ? quint8(block[i + 2]) : 0);
            for (int shift = 18; shift >= 0; shift -= 6) {
                const int value = (v >> shift) & 63;
                line += char(value ? 32 + value : '`');
            }
        }
        out += line + "\r\n";
    }
    return out + "`\r\nend\r\n";
}

QByteArray Corpus::PlainMessage(int index)
{
    if (Pick(2) == 0)
        return Headers(index, {}) + Text(5 + Pick(60), true);
    return Headers(index, "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n")
        + Text(5 + Pick(60), true);
}

QByteArray Corpus::QuotedPrintableMessage(int index)
{
    QByteArray text = Text(5 + Pick(60), false);
    QByteArray charset = "utf-8";
    if (Pick(2) == 0) {
        text = QString::fromUtf8(text).toLatin1();
        charset = "iso-8859-1";
    }
    return Headers(index, "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"" + charset
                              + "\"\r\nContent-Transfer-Encoding: quoted-printable\r\n")
        + QuotedPrintable(text);
}

QByteArray Corpus::AlternativeBody(const QByteArray& boundary)
{
    const QByteArray text = Text(5 + Pick(40), false);
    QByteArray html = "<html><body><p>" + text;
    html.replace("\r\n\r\n", "</p>\r\n<p>");
    html += "</p></body></html>\r\n";
    return "--" + boundary + "\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        + QuotedPrintable(text) + "\r\n--" + boundary
        + "\r\nContent-Type: text/html; charset=\"utf-8\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        + QuotedPrintable(html) + "\r\n--" + boundary + "--\r\n";
}

QByteArray Corpus::AlternativeMessage(int index)
{
    const QByteArray boundary = "----=_Alt_" + QByteArray::number(index);
    return Headers(index, "MIME-Version: 1.0\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"" + boundary + "\"\r\n")
        + "This is a multi-part message in MIME format.\r\n\r\n" + AlternativeBody(boundary);
}

QByteArray Corpus::MixedMessage(int index, bool nested)
{
    const QByteArray boundary = "----=_Mixed_" + QByteArray::number(index);
    QByteArray text = Headers(index, "MIME-Version: 1.0\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"\r\n")
        + "This is a multi-part message in MIME format.\r\n\r\n--" + boundary + "\r\n";
    if (nested) {
        const QByteArray inner = "----=_Inner_" + QByteArray::number(index);
        text += "Content-Type: multipart/alternative; boundary=\"" + inner + "\"\r\n\r\n" + AlternativeBody(inner) + "\r\n";
    } else {
        text += "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" + Text(3 + Pick(20), true) + "\r\n";
    }
    const int files = 1 + Pick(3);
    for (int file = 0; file < files; ++file) {
        const QByteArray name = "file" + QByteArray::number(file) + (Pick(2) ? ".pdf" : ".jpg");
        text += "--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"" + name
            + "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n"
            + Base64Lines(Bytes(AttachmentSize())) + "\r\n";
    }
    return text + "--" + boundary + "--\r\n";
}

QByteArray Corpus::UUMessage(int index)
{
    return Headers(index, {}) + Text(3 + Pick(10), true) + "\r\nbegin 644 data" + QByteArray::number(index) + ".bin\r\n"
        + UULines(Bytes(AttachmentSizeFrom(m_random.generateDouble(), false))) + "\r\n";
}

QByteArray Corpus::Message(int index)
{
    const int kind = Pick(100);
    if (kind < 30)
        return PlainMessage(index);
    if (kind < 50)
        return QuotedPrintableMessage(index);
    if (kind < 65)
        return AlternativeMessage(index);
    if (kind < 85)
        return MixedMessage(index, false);
    if (kind < 90)
        return MixedMessage(index, true);
    return UUMessage(index);
}

QByteArray Corpus::BigMessage(qsizetype attachmentSize)
{
    return Headers(0, "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"BIG\"\r\n")
        + "--BIG\r\nContent-Type: text/plain\r\n\r\nThe file.\r\n--BIG\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
          "Content-Transfer-Encoding: base64\r\n\r\n"
        + Base64Lines(Bytes(attachmentSize)) + "--BIG--\r\n";
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--big")) {
        const qsizetype megabytes = arguments.size() > 2 ? arguments.at(2).toLongLong() : 50;
        return WriteFile(arguments.at(1), Corpus(1).BigMessage(megabytes * 1024 * 1024)) ? 0 : 1;
    }
    if (arguments.isEmpty()) {
        std::fputs("usage: make_corpus DIR [COUNT] | make_corpus --big FILE [MB]\n", stderr);
        return 2;
    }
    const QDir dir(arguments.first());
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 20000;
    if (!QDir().mkpath(dir.path()))
        return 1;
    Corpus corpus(20261207);
    qint64 total = 0;
    for (int index = 0; index < count; ++index) {
        const QByteArray message = corpus.Message(index);
        total += message.size();
        if (!WriteFile(dir.filePath(QStringLiteral("%1.eml").arg(index, 5, 10, QLatin1Char('0'))), message))
            return 1;
    }
    std::printf("%d messages, %.1f MB\n", count, total / 1e6);
    return 0;
}

#pragma once
// Transfer encodings of message content and header words: base64 lines, quoted-printable
// paragraphs and RFC 2047 encoded words. Everything works on bytes; lines of any length are
// decoded whole.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

class QIODevice;

// Decodes one base64 line into `bytes` (replacing its content, reusing its capacity).
// Characters are taken in groups of four; a trailing incomplete group is ignored.
// Throws EMessageParserError "Invalid Character" for anything outside the alphabet and "=".
void MakeBinData(QByteArrayView line, QByteArray& bytes);

// Encodes `bytes` into one base64 line (replacing the content of `line`), padded with "=".
void MakeTextData(QByteArrayView bytes, QByteArray& line);

// Quoted-printable conversion between a byte stream and a list of lines of at most 76 characters.
// Encode reads the stream and appends to the lines; Decode reads the lines and writes the stream.
// Setting Cancel (from an event handled while the pump runs) ends either loop early.
class TQuotedPrintable {
public:
    TQuotedPrintable(QIODevice& stream, QByteArrayList& lines) : m_stream(stream), m_lines(lines) {}
    TQuotedPrintable(const TQuotedPrintable&) = delete;
    TQuotedPrintable& operator=(const TQuotedPrintable&) = delete;

    void Encode();
    void Decode();

    // Cuts one paragraph into lines of at most `width` characters, preferring the last blank
    // (which begins the next line); every line but the last ends with a soft break "=".
    static QByteArrayList ReformatParagraph(QByteArrayView paragraph, int width = 65);
    // Writes control bytes, "=" and bytes >= 128 of one output line as "=XX"; a final soft break stays.
    static QByteArray ReplaceHiChars(QByteArrayView line);
    // Replaces every "=XX" of one line by the byte it names.
    static QByteArray ReplaceHex(QByteArrayView line);

    bool Cancel = false;

private:
    QIODevice& m_stream;
    QByteArrayList& m_lines;
};

// Decodes the encoded words of a header text into UTF-8 (unknown charsets keep their bytes).
QByteArray DecodeHeader(const QByteArray& text);
// Encodes a header text for the wire: ISO-2022-JP text as one B word, other non-ASCII text as
// UTF-8 encoded words; pure ASCII text unchanged.
QByteArray EncodeHeader(const QByteArray& text);

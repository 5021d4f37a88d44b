#pragma once
// Transfer encodings of message content and header words: base64 lines, quoted-printable
// paragraphs and RFC 2047 encoded words. Everything works on bytes; lines of any length are
// decoded whole.

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

class QIODevice;

// Decodes one base64 line into `bytes` (replacing its content, reusing its capacity).
// Characters are taken in groups of four; "=" stands for six one bits, and as many bytes as the
// complete groups end in "=" are removed afterwards. A trailing incomplete group of two or three
// characters (padding left off) gives one or two bytes; a single character gives none. Throws EMessageParserError "Invalid Character" for anything outside the
// alphabet and "=" (a blank or CR included). Processes pending events (ProcessMessages) once per line.
void MakeBinData(QByteArrayView line, QByteArray& bytes);

// Encodes `bytes` into one base64 line (replacing the content of `line`), padded with "=".
void MakeTextData(QByteArrayView bytes, QByteArray& line);
// Appends `data` to `out` as base64 lines of 76 characters (57 bytes; the last one shorter), each
// followed by CR LF.
void EncodeBase64Lines(QByteArrayView data, QByteArray& out);

// The whole-text forms of TQuotedPrintable, for callers that hold the text in memory: they give
// the same lines and bytes without a line list. Encoding appends the lines, each followed by
// CR LF; decoding takes lines ending in LF or CR LF (the last one may have no line end).
void EncodeQuotedPrintableText(QByteArrayView data, QByteArray& out);
void DecodeQuotedPrintableText(QByteArrayView text, QByteArray& out);

// Quoted-printable conversion between a byte stream and a list of lines of at most 76 characters
// (RFC 2045, 6.7). Encode reads the stream from its current position and appends to the lines, one
// paragraph (text between line ends; CR LF and LF CR count as one) after the other; Decode reads the
// lines and writes the stream, ending every paragraph with CR LF. Paragraphs of any length.
// The stream and the list belong to the caller and must outlive the object.
// Setting Cancel (from an event handled while the pump runs) ends either loop early.
class TQuotedPrintable {
public:
    TQuotedPrintable(QIODevice& stream, QByteArrayList& lines) : m_stream(stream), m_lines(lines) {}
    TQuotedPrintable(const TQuotedPrintable&) = delete;
    TQuotedPrintable& operator=(const TQuotedPrintable&) = delete;

    void Encode();
    void Decode();

    // Cuts one paragraph into lines of at most `width` characters once encoded (a byte that
    // ReplaceHiChars writes as "=XX" counts three), preferring the last blank (which begins the next
    // line); every line but the last ends with a soft break "=". Paragraphs of any length.
    static QByteArrayList ReformatParagraph(QByteArrayView paragraph, int width = 65);
    // Encodes one output line: control bytes, DEL, "=" and bytes >= 128 as "=XX", a blank at the end
    // as "=20", and the "F" of a line that starts with "From " as "=46". With `softBreak` the final "="
    // of `line` is the soft break ReformatParagraph appended and stays as it is.
    static QByteArray ReplaceHiChars(QByteArrayView line, bool softBreak);
    // Replaces every "=XX" of one line by the byte it names ("=" and two hexadecimal digits, either
    // case); an "=" without two hexadecimal digits after it stays as it is.
    static QByteArray ReplaceHex(QByteArrayView line);

    bool Cancel = false;

private:
    QIODevice& m_stream;
    QByteArrayList& m_lines;
};

// Decodes the encoded words of a header text into UTF-8 (unknown charsets keep their bytes).
QByteArray DecodeHeader(const QByteArray& text);
// Encodes a header text for the wire: ISO-2022-JP text as one B word, other non-ASCII text as
// UTF-8 encoded words of at most 75 characters; pure ASCII text unchanged.
QByteArray EncodeHeader(const QByteArray& text);
// The same for a text that follows `column` characters of its header line: the first encoded word
// is made short enough to end by column 78 (RFC 5322, 2.1.1), so that folding can keep every line
// within 78 characters.
QByteArray EncodeHeader(const QByteArray& text, qsizetype column);
// A display name as the phrase before "<address>" (RFC 5322, 3.2.5): as it is when it holds no
// specials, a quoted string when it is ASCII with specials ("Schmidt, Hans"), and in a non-ASCII
// name with specials every run of words that holds a special or a non-ASCII letter as encoded words
// (RFC 2047, 5 (3)), so that no special stays bare: encoded words are not decoded inside quotes. An ASCII name given already quoted stays as it is; a non-ASCII one
// is taken as its unquoted text.
QByteArray EncodePhrase(const QByteArray& name, qsizetype column);
// One header line folded into lines of at most 78 characters where blanks allow: each fold comes
// before a single blank between two other characters, which then begins the next line, never
// before the first word after the field name (after the indent of a line that begins with blanks).
// A word longer than a line stays whole.
QByteArrayList FoldHeaderLine(QByteArrayView line);

#pragma once
// The message parser (TqmCustomDecoder, TqmMessageDecoder) and the message encoder
// (TqmCustomEncoder, TqmMessageEncoder): Internet message text to TqmMessage and back.

#include "qmCls.h"
#include "qmmsg.h"

#include <QByteArray>
#include <QByteArrayList>

#include <memory>

class QBuffer;
class QIODevice;

// Process-wide: only when true does the encoder write a BCC field. Nothing in the suite sets it, so
// blind copies never appear in written messages.
extern bool ForceBCC;

namespace detail {
// How the content of a part is written on the wire.
enum class TransferKind { Plain, QuotedPrintable, Base64, UUEncoded };
// Text split into lines at LF or CR LF, as a text list reads it: a line end at the very end starts no
// further line.
QByteArrayList SplitTextLines(QByteArrayView text);
} // namespace detail

// The parts of a multipart message the parser walks; past them it stops with a note (57154) and
// keeps the whole text as "original.eml", as for malformed MIME.
inline constexpr qsizetype MaxMessageParts = 10000;

// Eight random decimal digits, used as a multipart boundary.
QByteArray MakeUniqueID();

// Reads one message from a device into a target message. A decoder serves one message: create it,
// call Process once, destroy it. The device (read from its current position) and the target belong
// to the caller; a sequential device is copied into memory first, so that the input can be read
// again for the "original.eml" fallback.
class TqmCustomDecoder {
public:
    TqmCustomDecoder(QIODevice& input, TqmCustomMessage& target);
    TqmCustomDecoder(const TqmCustomDecoder&) = delete;
    TqmCustomDecoder& operator=(const TqmCustomDecoder&) = delete;
    virtual ~TqmCustomDecoder();

    // Fills the target. Malformed MIME ends in the fallback (an explanation in Body and the whole
    // input as attachment "original.eml"); only errors of the device or of memory reach the caller.
    void Process();
    // Bytes asked of the device per read (tests use tiny sizes to cross every chunk boundary).
    void SetBufSize(qsizetype size) { m_lines.SetBufSize(size); }

protected:
    virtual void ProcessHeaders();

    TqmHeaders Headers;
    TqmCustomMessage& m_target;

private:
    using TransferKind = detail::TransferKind;
    // What ended a part: a delimiter of one of the open multiparts (`level` indexes m_boundaries,
    // 0 is the outermost), or the end of input. NoBoundary: a line that is no delimiter.
    struct PartEnd {
        enum Kind { NoBoundary, Delimiter, CloseDelimiter, EndOfInput } kind = NoBoundary;
        qsizetype level = -1;
    };
    // How a multipart offers its parts (RFC 2046, 5.1.3 and 5.1.4; RFC 2387).
    enum class Container { Mixed, Alternative, Related };
    // Where a part stands in the tree: whether it may become the body, and whether it is named as
    // an alternative form of the body ("_alt.") when it becomes an attachment.
    struct PartRole {
        bool mayBeBody = false;
        bool alternative = false;
        // For a text part of a multipart/mixed after its first part: where it is shown.
        TInlineText inlineAs = TInlineText::None;
    };

    static Container ContainerOf(const QByteArray& contentType);
    void FillHeaders(TqmHeaders& headers);
    void DecodeMime();
    void DecodePlain();
    void DecodeSingleText();
    void DecodeSingleFile(const TqmHeaders& headers);
    void DecodeMultipart(const QByteArray& contentType);
    // The parts of the innermost open multipart, read after its first delimiter, up to the delimiter
    // that ends it (for the outermost: its close delimiter or the end of input).
    PartEnd ReadParts(const QByteArray& contentType, PartRole role, int depth);
    PartEnd ReadPart(const TqmHeaders& headers, PartRole role, int depth);
    PartEnd ReadNestedMultipart(const QByteArray& contentType, const QByteArray& boundary, PartRole role, int depth);
    PartEnd ReadLeaf(const TqmHeaders& headers, PartRole role);
    // Reads a text part into Body; bytes that are no text after all end in `notText` instead, and
    // no body is found.
    PartEnd ReadBody(const TqmHeaders& headers, QByteArray& notText);
    // After a close delimiter of `level`: lines up to the next delimiter of an enclosing multipart.
    PartEnd SkipEpilogue(qsizetype level);
    void ReadUUFiles(QByteArrayView beginLine);
    // False when the input ended inside the file.
    bool ReadUUFile(QByteArrayView beginLine);
    void AddFallback(const QString& error);

    // Lines up to the next delimiter; throws 57110 at the end of input.
    PartEnd SkipToBoundary();
    PartEnd MatchBoundary(QByteArrayView line) const;
    bool NextLine(QByteArrayView& line) { return m_lines.GetNextLine(line); }

    // Content of a part up to the next delimiter (`toBoundary`) or the end of input, decoded into
    // `data`.
    PartEnd ReadContent(TransferKind kind, bool toBoundary, QByteArray& data);
    PartEnd ReadTextLines(bool toBoundary, QByteArrayList& lines);
    void ApplyTextCharset(const QByteArray& contentType, bool quotedPrintable);
    TqmAttItem MakeAttachment(const TqmHeaders& partHeaders, bool alternative) const;
    // The name of an unnamed part at the current position (m_leafParts).
    QByteArray MadeUpName(const QByteArray& contentType) const;

    std::unique_ptr<QBuffer> m_copy;
    TLineStream m_lines;
    // "--" and the boundary of every open multipart, outermost first.
    QByteArrayList m_boundaries;
    QByteArray m_bodyType; // Content-Type of the part that became the body; empty while none did
    bool m_bodyFound = false;
    qsizetype m_partsRead = 0;
    qsizetype m_leafParts = 0; // parts that are no multipart, the body included: the position of a part
};

// The decoder TqmMessage::LoadFromStream runs: a TqmMessage target receives the recipient lists too.
class TqmMessageDecoder : public TqmCustomDecoder {
public:
    TqmMessageDecoder(QIODevice& input, TqmMessage& target) : TqmCustomDecoder(input, target) {}
};

// Writes one message as Internet message text into a device, from its current position. The message
// is only read: saving twice writes the same text (apart from the random boundaries). Device write
// failures throw EMessageError.
class TqmCustomEncoder {
public:
    TqmCustomEncoder(const TqmCustomMessage& source, QIODevice& target);
    TqmCustomEncoder(const TqmCustomEncoder&) = delete;
    TqmCustomEncoder& operator=(const TqmCustomEncoder&) = delete;
    virtual ~TqmCustomEncoder() = default;

    void Process();

protected:
    virtual void PrepareGlobalHeaders() = 0;

    // Writes the line and CR LF.
    void StringToStream(QByteArrayView line);
    // Writes a header line folded at 78 characters where it has room to fold.
    void FieldToStream(QByteArrayView line);
    // Writes text that holds its own line ends.
    void WriteText(QByteArrayView text);
    void Flush();
    // "Name: " padded to ten characters, as the address fields are written.
    static QByteArray PaddedFieldName(QByteArray name);
    // A display name as written in From, To and CC after `column` characters of its line.
    static QByteArray DisplayName(const QByteArray& name, qsizetype column);

    const TqmCustomMessage& m_source;

private:
    void WritePlainText();
    void WriteTextPart(const QByteArray& contentType);
    void WriteFormattedText(const QByteArray& contentType);
    void WriteFile();
    void WriteMultipart(bool alternativeMode, const QByteArray& contentType);
    void WriteAttachmentPart(const TqmAttItem& item, bool inlineBody);
    static QByteArray ContentTypeField(const TqmAttItem& item, bool named);
    void WriteDisposition(const TqmAttItem& item);
    // `encoding`: the transfer encoding the part was declared with.
    void WriteAttachmentContent(const TqmAttItem& item, const QByteArray& encoding);
    void WriteUUEncoded();
    void WriteBodyLines();
    void WriteBodyQuotedPrintable();
    bool BodyNeedsQuotedPrintable() const;
    QByteArray CharsetName() const;

    QIODevice& m_target;
    QByteArray m_pending;
    bool m_longLines = false;
    bool m_bodyHas8Bit = false;
    bool m_bodyHasControls = false; // NUL or a lone CR
};

class TqmMessageEncoder : public TqmCustomEncoder {
public:
    TqmMessageEncoder(const TqmMessage& source, QIODevice& target) : TqmCustomEncoder(source, target), m_message(source) {}

protected:
    void PrepareGlobalHeaders() override;

private:
    void ListHeadersToStream(const QByteArray& name, const TqmAddressList& list);
    // The message's own header lines, less the fields the encoder writes itself.
    void WriteOwnHeaders(const TqmHeaders& headers);

    const TqmMessage& m_message;
};

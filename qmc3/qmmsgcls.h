#pragma once
// The parts a message is made of: mail addresses and address lists, attachments and attachment
// lists, and the raw header lines. Lists own their items; copies are made explicitly with Assign.

#include "qmutils.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <memory>
#include <vector>

// The ordinal values are stored in files and compared by value: never reorder.
enum TMsgEncoding : int { meMIME = 0, meUU = 1 };
enum TCharSet : int { csUSASCII = 0, csISO8859 = 1, csISO2022jp = 2, csUTF8 = 3 };
enum TPriority : int { ptLow = 0, ptNormal = 1, ptHigh = 2 };
enum TEncoding : int { etNone = 0, etBase64 = 1, etQP = 2 };

// One mailbox with its display name, both UTF-8 and at most 255 bytes when they come from a header.
class TqmMailAddress {
public:
    void Assign(const TqmMailAddress& source) { *this = source; }
    void Clear();

    QByteArray Name;
    QByteArray Address;
};

// An ordered list of addresses that owns them. References returned by Items stay valid until the
// item is deleted or replaced.
class TqmAddressList {
public:
    TqmAddressList() = default;
    TqmAddressList(const TqmAddressList&) = delete;
    TqmAddressList& operator=(const TqmAddressList&) = delete;

    // Throws std::out_of_range for an index outside 0..Count()-1.
    TqmMailAddress& Items(qsizetype index) { return *m_items.at(index); }
    const TqmMailAddress& Items(qsizetype index) const { return *m_items.at(index); }
    // Replaces (and frees) the item at `index`.
    void SetItem(qsizetype index, std::unique_ptr<TqmMailAddress> item);
    qsizetype Count() const { return qsizetype(m_items.size()); }

    TqmMailAddress& Add(std::unique_ptr<TqmMailAddress> item);
    TqmMailAddress& Add(const TqmMailAddress& item);
    // Note the order: mailbox first, then display name. Each is cut to 255 bytes.
    TqmMailAddress& AddAddress(const QByteArray& address, const QByteArray& name);
    void Clear() { m_items.clear(); }
    void Delete(qsizetype index);
    void Assign(const TqmAddressList& source);

private:
    std::vector<std::unique_ptr<TqmMailAddress>> m_items;
};

// How a text part that did not become the body was meant to be shown: after the body, or after
// the HTML alternative (a part of the multipart that holds that alternative).
enum class TInlineText : int { None, AfterBody, AfterAlternative };

// One attachment: its decoded content in memory, the name it travels under, its MIME type and the
// transfer encoding to send it with.
class TqmAttItem {
public:
    // Stores the name; a non-empty name also sets ContentType from its extension and Encoding from
    // that type.
    void SetFileName(const QByteArray& fileName);
    // Stores the name alone, for a reader that takes type and encoding from the part itself: the
    // type lookup by extension costs more than the rest of a small part.
    void SetFileNameOnly(const QByteArray& fileName) { m_fileName = fileName; }
    const QByteArray& GetFileName() const { return m_fileName; }
    void Assign(const TqmAttItem& source) { *this = source; }

    QByteArray Data;
    QByteArray ContentType;
    TEncoding Encoding = etNone;
    // The Content-Type parameters the part was received with, other than its name (charset,
    // boundary, format...), written back when the item is sent again.
    TqmParameters Parameters;
    // The part's Content-ID without angle brackets (what a "cid:" link names); empty when none.
    QByteArray ContentID;
    // Set by the reader for unnamed text and HTML parts of a multipart/mixed that the sender shows
    // inline; the part stays an attachment all the same.
    TInlineText Inline = TInlineText::None;

private:
    QByteArray m_fileName;
};

// The transfer encoding an attachment of `contentType` is sent with.
TEncoding EncodingForContentType(const QByteArray& contentType);

// An ordered list of attachments that owns them.
class TqmAttList {
public:
    TqmAttList() = default;
    TqmAttList(const TqmAttList&) = delete;
    TqmAttList& operator=(const TqmAttList&) = delete;

    // Throws std::out_of_range for an index outside 0..Count()-1.
    TqmAttItem& Items(qsizetype index) { return *m_items.at(index); }
    const TqmAttItem& Items(qsizetype index) const { return *m_items.at(index); }
    void SetItem(qsizetype index, std::unique_ptr<TqmAttItem> item);
    qsizetype Count() const { return qsizetype(m_items.size()); }

    TqmAttItem& Add(std::unique_ptr<TqmAttItem> item);
    TqmAttItem& Add(const TqmAttItem& item);
    // A new item named `path` holding that file's content. Throws EMessageError when the file
    // cannot be read; the list is then unchanged.
    TqmAttItem& AddFile(const QString& path);
    void Clear() { m_items.clear(); }
    void Delete(qsizetype index);
    void Exchange(qsizetype first, qsizetype second);
    void Assign(const TqmAttList& source);

private:
    std::vector<std::unique_ptr<TqmAttItem>> m_items;
};

// The raw header lines of a message, one physical line per entry, without line ends. A folded
// field is its first line plus the continuation lines that begin with a blank or a tab.
class TqmHeaders : public QByteArrayList {
public:
    using QByteArrayList::QByteArrayList;
    TqmHeaders() = default;
    explicit TqmHeaders(const QByteArrayList& lines) : QByteArrayList(lines) {}

    // The lines of a header text split at LF, CR LF or CR.
    static TqmHeaders FromText(const QByteArray& text);

    // The unfolded body of the first field called `name` (a trailing colon is optional), decoded
    // and cut to 255 bytes; Content-Type and X-UIDL come back undecoded and uncut. Empty when absent.
    QByteArray GetFieldBody(const QByteArray& name) const;
    // The unfolded body of the first field called `name` as it stands: not decoded, not cut. For
    // structured fields whose parameters carry their own encodings (RFC 2231).
    QByteArray GetRawFieldBody(const QByteArray& name) const;
    // Clears `list` and fills it with the comma-separated entries of every field called `name`
    // (To, CC and BCC fields are merged this way); commas inside double quotes do not separate.
    void GetMultiLineFieldBody(const QByteArray& name, QByteArrayList& list) const;
    // Deletes the first field called `name` with its continuation lines.
    void Remove(const QByteArray& name);
    // Deletes every "X-" field with its continuation lines.
    void RemoveXHeaders();
    // Deletes the first empty line and everything after it.
    void CleanUp();
    bool Contains(const QByteArray& text, bool caseSensitive = false) const;

private:
    qsizetype FindField(const QByteArray& name) const;
    qsizetype FieldEnd(qsizetype first) const;
};

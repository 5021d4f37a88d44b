#pragma once
// Mail messages in memory: the common part of all messages (TqmCustomMessage), an Internet mail
// message (TqmMessage) and a list that owns its messages (TqmMessageList, TqmListMessage).

#include "qmmsgcls.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// Opens a saved attachment with the desktop's handler; returns false when that failed.
using TDocumentOpener = std::function<bool(const QString& path)>;
// Replaces the process-wide opener; an empty function restores the default (xdg-open).
void SetDocumentOpener(TDocumentOpener opener);

// Directory into which ExecuteAttachment saves attachments. Programs set their private temporary
// directory; until then a private directory is created on first use and lives for the process.
// An empty path restores that default.
void SetAttachmentTempDir(const QString& directory);
// Throws EMessageError when the default directory cannot be created.
QString AttachmentTempDir();

// `name` without the characters that make a displayed name differ from the real one: bidi
// controls (U+202A-U+202E, U+2066-U+2069, U+200E, U+200F, U+061C) and zero-width characters
// (U+200B-U+200D, U+2060, U+FEFF). "invoice\u202Efdp.desktop" would otherwise show as
// "invoicepotksed.pdf".
QString WithoutInvisibleControls(const QString& name);

// The part every message has: sender, subject, raw headers, plain-text body and attachments.
// Not copyable; Assign copies one message into another. Files written by ExecuteAttachment are
// deleted when the message is destroyed.
class TqmCustomMessage {
public:
    TqmCustomMessage();
    TqmCustomMessage(const TqmCustomMessage&) = delete;
    TqmCustomMessage& operator=(const TqmCustomMessage&) = delete;
    virtual ~TqmCustomMessage();

    // The MIME type the message's make-up calls for, computed on every call from the encoding,
    // the body, the attachments and the type last set.
    QByteArray GetContentType() const;
    // Stored in lower case.
    void SetContentType(const QByteArray& contentType);
    // Replaces the attachments with copies of `attachments`; the type set becomes "text/plain"
    // without attachments, else "multipart/mixed".
    void SetAttachments(const TqmAttList& attachments);

    // Throws EMessageError 57100 when the sender has no address.
    virtual void Verify();
    virtual void Clear();
    virtual void Assign(const TqmCustomMessage& source);
    virtual void LoadFromStream(QIODevice& stream) = 0;
    virtual void SaveToStream(QIODevice& stream) = 0;
    // Fills the message fields from a header block.
    virtual void ProcessHeaders(const TqmHeaders& headers) = 0;

    // Clear, then LoadFromStream. Throws EMessageError when the file cannot be opened.
    void LoadFromFile(const QString& fileName);
    // Writes through SaveToStream into a new file that replaces `fileName` only when complete.
    // Throws EMessageError when the file cannot be written.
    void SaveToFile(const QString& fileName);
    // Reads the header block from the first 2048 bytes of `stream` (rewound first) into
    // ProcessHeaders; fields beyond them are not seen. An empty stream changes nothing.
    void LoadHeaders(QIODevice& stream);
    // Writes attachment `index` into `directory` (which must exist) under a file name made safe
    // from its FileName (see also WithoutInvisibleControls), and returns the path written. Throws EMessageError when writing fails
    // and std::out_of_range for a bad index.
    QString SaveAttachment(qsizetype index, const QString& directory) const;
    // Saves attachment `index` into AttachmentTempDir(), remembers the file in TempFiles and hands
    // it to the document opener. Throws EMessageError 57112 for a blank name, 57113 when the
    // opener fails.
    void ExecuteAttachment(qsizetype index);

    TqmAttList Attachments;
    TMsgEncoding Encoding = meMIME;
    TqmMailAddress Sender;
    QByteArray Subject;
    TCharSet CharSet = csUSASCII;
    TqmHeaders Headers;
    QByteArrayList Body;
    // Charset declared for the text loaded into Body; empty when none was declared.
    QByteArray BodyCharset;
    // Type of the part Body was read from ("text/html"), lower case without parameters; empty when
    // the message declared none. A multipart message with an HTML text reports its own type.
    QByteArray BodyContentType;
    QStringList TempFiles;
    int Tag = 0;

private:
    QByteArray m_contentType;
};

// An Internet mail message with its recipients. Loading and saving run the message parser and
// encoder.
class TqmMessage : public TqmCustomMessage {
public:
    // Throws EMessageError 57100 without sender address, 57101 when no entry of Recipients, CC or
    // BCC has an address.
    void Verify() override;
    void Clear() override;
    // Recipients, CC, BCC, Priority and ReturnReceipt are copied only from another TqmMessage.
    void Assign(const TqmCustomMessage& source) override;
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;
    // Sender, Subject (when present), Priority, ReturnReceipt and a copy of the headers are
    // replaced; To, CC and BCC entries are appended to Recipients, CC and BCC.
    void ProcessHeaders(const TqmHeaders& headers) override;

    TqmAddressList Recipients;
    TqmAddressList CC;
    TqmAddressList BCC;
    bool ReturnReceipt = false;
    TPriority Priority = ptNormal;
};

class TqmMessageList;

// A message that belongs to a TqmMessageList: it adds itself to the list on construction, the
// list owns and eventually destroys it, and destroying it directly removes it from the list.
// Only TqmMessageList::Add creates one, so every list message has its owner.
class TqmListMessage : public TqmMessage {
public:
    ~TqmListMessage() override;

    TqmMessageList& Owner() const { return m_owner; }

private:
    friend class TqmMessageList;
    explicit TqmListMessage(TqmMessageList& owner);

    TqmMessageList& m_owner;
};

// An ordered list that owns its messages; every message is destroyed with the list.
class TqmMessageList {
public:
    TqmMessageList() = default;
    TqmMessageList(const TqmMessageList&) = delete;
    TqmMessageList& operator=(const TqmMessageList&) = delete;
    ~TqmMessageList();

    // Throws std::out_of_range for an index outside 0..Count()-1.
    TqmListMessage& Items(qsizetype index) const { return *m_items.at(index); }
    qsizetype Count() const { return qsizetype(m_items.size()); }
    // A new empty message at the end of the list.
    TqmListMessage& Add();
    void Clear();
    void Delete(qsizetype index);
    // Destroys `message` when it belongs to this list; returns its former index, or -1.
    qsizetype Remove(TqmListMessage& message);
    qsizetype IndexOf(const TqmListMessage& message) const;

private:
    friend class TqmListMessage;
    void Attach(TqmListMessage* message);
    void Detach(TqmListMessage* message) noexcept;

    std::vector<std::unique_ptr<TqmListMessage>> m_items;
};

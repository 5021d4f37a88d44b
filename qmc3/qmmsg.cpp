#include "qmmsg.h"

#include "AtomicFile.h"
#include "qmconst.h"
#include "qmexcept.h"
#include "qmutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>

namespace {

constexpr qint64 HeaderBlockLimit = 2048;

struct AttachmentEnvironment {
    TDocumentOpener opener;
    QString tempDir;
    std::unique_ptr<QTemporaryDir> defaultTempDir;
};

AttachmentEnvironment& Environment()
{
    static AttachmentEnvironment environment;
    return environment;
}

bool OpenWithDesktop(const QString& path)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

QString NumberedText(int id, qsizetype number)
{
    return qmMessageText(id).replace(QStringLiteral("%d"), QString::number(number));
}

// The name after the last "/" or "\" of a path as written by any mailer.
QByteArray FileNamePart(const QByteArray& fileName)
{
    const qsizetype separator = std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\'));
    return fileName.mid(separator + 1);
}

// A name from a mail may try to leave the directory ("../../.bashrc") or hide itself: only the
// last path component survives, without control characters and leading dots.
bool IsInvisibleControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) || u == 0x200E || u == 0x200F
        || u == 0x061C || (u >= 0x200B && u <= 0x200D) || u == 0x2060 || u == 0xFEFF;
}

// Names that are not UTF-8 keep their bytes: the controls exist only as UTF-8 sequences.
QByteArray WithoutInvisibleControls(const QByteArray& name)
{
    const QString text = QString::fromUtf8(name);
    return text.toUtf8() == name ? ::WithoutInvisibleControls(text).toUtf8() : name;
}

QString SafeAttachmentName(const QByteArray& fileName, qsizetype index)
{
    QByteArray name = WithoutInvisibleControls(FileNamePart(fileName));
    name.removeIf([](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    name = name.trimmed();
    while (name.startsWith('.'))
        name.remove(0, 1);
    name = CutToCapacity(name.trimmed(), qmShortTextCapacity);
    if (name.isEmpty())
        return QStringLiteral("attachment%1").arg(index);
    return QFile::decodeName(name);
}

bool AllAttachmentsAreAlternatives(const TqmAttList& attachments)
{
    for (qsizetype index = 0; index < attachments.Count(); ++index) {
        if (!FileNamePart(attachments.Items(index).GetFileName()).toLower().startsWith("_alt."))
            return false;
    }
    return attachments.Count() > 0;
}

QByteArray BodyFormType(const TqmAttItem& attachment)
{
    const QByteArray name = FileNamePart(attachment.GetFileName()).toLower();
    if (name == "_rtfbody.rtf")
        return QByteArrayLiteral("text/rtf");
    if (name == "_htmbody.htm")
        return QByteArrayLiteral("text/html");
    return {};
}

bool HasAnyAddress(const TqmAddressList& list)
{
    for (qsizetype index = 0; index < list.Count(); ++index) {
        if (!list.Items(index).Address.isEmpty())
            return true;
    }
    return false;
}

void AppendAddresses(const TqmHeaders& headers, const QByteArray& field, TqmAddressList& list)
{
    QByteArrayList entries;
    headers.GetMultiLineFieldBody(field, entries);
    for (const QByteArray& entry : std::as_const(entries)) {
        if (entry.trimmed().isEmpty())
            continue;
        auto address = std::make_unique<TqmMailAddress>();
        PickMailAddress(entry, *address);
        list.Add(std::move(address));
    }
}

// "1 (Highest)" as written by common mailers counts like a bare "1".
TPriority PriorityFromField(const QByteArray& body)
{
    const QByteArray level = PickString(body, 0, true);
    if (level == "1")
        return ptHigh;
    if (level == "5")
        return ptLow;
    return ptNormal;
}

} // namespace

QString WithoutInvisibleControls(const QString& name)
{
    QString result = name;
    result.removeIf(IsInvisibleControl);
    return result;
}

void SetDocumentOpener(TDocumentOpener opener)
{
    Environment().opener = std::move(opener);
}

void SetAttachmentTempDir(const QString& directory)
{
    Environment().tempDir = directory;
}

QString AttachmentTempDir()
{
    AttachmentEnvironment& environment = Environment();
    if (!environment.tempDir.isEmpty())
        return environment.tempDir;
    if (!environment.defaultTempDir) {
        auto directory = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lumaro-attachments-XXXXXX"));
        if (!directory->isValid())
            throw EMessageError(QStringLiteral("Cannot create a temporary directory: %1").arg(directory->errorString()));
        environment.defaultTempDir = std::move(directory);
    }
    return environment.defaultTempDir->path();
}

TqmCustomMessage::TqmCustomMessage() : m_contentType(QByteArrayLiteral("text/plain"))
{
}

TqmCustomMessage::~TqmCustomMessage()
{
    // A file that cannot be deleted is left behind: a destructor must not throw.
    for (const QString& path : std::as_const(TempFiles)) {
        try {
            QFile::remove(path);
        } catch (...) {
        }
    }
}

QByteArray TqmCustomMessage::GetContentType() const
{
    if (Encoding == meUU)
        return {};
    if (AllAttachmentsAreAlternatives(Attachments))
        return QByteArrayLiteral("multipart/alternative");
    const qsizetype count = Attachments.Count();
    if (count == 1 && Body.isEmpty()) {
        const QByteArray bodyForm = BodyFormType(Attachments.Items(0));
        if (!bodyForm.isEmpty())
            return bodyForm;
    }
    if (!Body.isEmpty()) {
        if (count > 0)
            return QByteArrayLiteral("multipart/mixed");
        return m_contentType.isEmpty() ? QByteArrayLiteral("text/plain") : m_contentType;
    }
    if (count == 1)
        return Attachments.Items(0).ContentType;
    return count == 0 ? QByteArrayLiteral("text/plain") : QByteArrayLiteral("multipart/mixed");
}

void TqmCustomMessage::SetContentType(const QByteArray& contentType)
{
    m_contentType = contentType.toLower();
}

void TqmCustomMessage::SetAttachments(const TqmAttList& attachments)
{
    Attachments.Assign(attachments);
    SetContentType(Attachments.Count() == 0 ? QByteArrayLiteral("text/plain") : QByteArrayLiteral("multipart/mixed"));
}

void TqmCustomMessage::Verify()
{
    if (Sender.Address.isEmpty())
        throw EMessageError(qmMessageText(qmSenderRequired));
}

void TqmCustomMessage::Clear()
{
    Body.clear();
    BodyCharset.clear();
    BodyContentType.clear();
    Attachments.Clear();
    Sender.Clear();
    Headers.clear();
    Subject.clear();
    Encoding = meMIME;
    CharSet = csUSASCII;
    m_contentType.clear();
}

void TqmCustomMessage::Assign(const TqmCustomMessage& source)
{
    if (&source == this)
        return;
    Sender = source.Sender;
    Subject = source.Subject;
    Encoding = source.Encoding;
    CharSet = source.CharSet;
    Headers = source.Headers;
    Body = source.Body;
    BodyCharset = source.BodyCharset;
    BodyContentType = source.BodyContentType;
    Attachments.Assign(source.Attachments);
    // With body and attachments copied, the type set gives the same computed type as the source's.
    m_contentType = source.m_contentType;
    Tag = source.Tag;
}

void TqmCustomMessage::LoadFromFile(const QString& fileName)
{
    Clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EMessageError(QStringLiteral("Cannot open file \"%1\": %2").arg(fileName, file.errorString()));
    LoadFromStream(file);
}

void TqmCustomMessage::SaveToFile(const QString& fileName)
{
    TAtomicFile file(fileName);
    if (!file.Open())
        throw EMessageError(QStringLiteral("Cannot create file \"%1\": %2").arg(fileName, file.ErrorString()));
    SaveToStream(file.Device());
    if (!file.Commit())
        throw EMessageError(QStringLiteral("Cannot write file \"%1\": %2").arg(fileName, file.ErrorString()));
}

void TqmCustomMessage::LoadHeaders(QIODevice& stream)
{
    if (!stream.isSequential())
        stream.seek(0);
    const QByteArray block = stream.read(HeaderBlockLimit);
    if (block.isEmpty())
        return;
    TqmHeaders headers = TqmHeaders::FromText(block);
    headers.CleanUp();
    ProcessHeaders(headers);
}

QString TqmCustomMessage::SaveAttachment(qsizetype index, const QString& directory) const
{
    const TqmAttItem& item = Attachments.Items(index);
    const QString path = QDir(directory).filePath(SafeAttachmentName(item.GetFileName(), index));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(item.Data) != item.Data.size()
        || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        throw EMessageError(QStringLiteral("Cannot save attachment to \"%1\": %2").arg(path, reason));
    }
    return path;
}

void TqmCustomMessage::ExecuteAttachment(qsizetype index)
{
    if (Attachments.Items(index).GetFileName().isEmpty())
        throw EMessageError(NumberedText(qmAttachmentNameBlank, index));
    const QString path = SaveAttachment(index, AttachmentTempDir());
    if (!TempFiles.contains(path))
        TempFiles.append(path);
    const TDocumentOpener& opener = Environment().opener;
    const bool opened = opener ? opener(path) : OpenWithDesktop(path);
    if (!opened)
        throw EMessageError(NumberedText(qmErrorExecutingAttachment, -1));
}

void TqmMessage::Verify()
{
    TqmCustomMessage::Verify();
    if (!HasAnyAddress(Recipients) && !HasAnyAddress(CC) && !HasAnyAddress(BCC))
        throw EMessageError(qmMessageText(qmRecipientRequired));
}

void TqmMessage::Clear()
{
    TqmCustomMessage::Clear();
    Recipients.Clear();
    CC.Clear();
    BCC.Clear();
}

void TqmMessage::Assign(const TqmCustomMessage& source)
{
    if (const auto* message = dynamic_cast<const TqmMessage*>(&source); message && message != this) {
        Recipients.Assign(message->Recipients);
        CC.Assign(message->CC);
        BCC.Assign(message->BCC);
        Priority = message->Priority;
        ReturnReceipt = message->ReturnReceipt;
    }
    TqmCustomMessage::Assign(source);
}

void TqmMessage::ProcessHeaders(const TqmHeaders& headers)
{
    PickMailAddress(headers.GetFieldBody(QByteArrayLiteral("From")), Sender);
    AppendAddresses(headers, QByteArrayLiteral("TO"), Recipients);
    AppendAddresses(headers, QByteArrayLiteral("CC"), CC);
    AppendAddresses(headers, QByteArrayLiteral("BCC"), BCC);
    const QByteArray subject = headers.GetFieldBody(QByteArrayLiteral("Subject"));
    if (!subject.isEmpty())
        Subject = subject;
    Priority = PriorityFromField(headers.GetFieldBody(QByteArrayLiteral("X-Priority")));
    ReturnReceipt = !headers.GetFieldBody(QByteArrayLiteral("Return-receipt-to")).isEmpty();
    Headers = headers;
}

TqmListMessage::TqmListMessage(TqmMessageList& owner) : m_owner(owner)
{
    owner.Attach(this);
}

TqmListMessage::~TqmListMessage()
{
    m_owner.Detach(this);
}

TqmMessageList::~TqmMessageList()
{
    Clear();
}

TqmListMessage& TqmMessageList::Add()
{
    return *new TqmListMessage(*this);
}

void TqmMessageList::Clear()
{
    while (!m_items.empty())
        Delete(Count() - 1);
}

void TqmMessageList::Delete(qsizetype index)
{
    std::unique_ptr<TqmListMessage> message = std::move(m_items.at(index));
    m_items.erase(m_items.begin() + index);
}

qsizetype TqmMessageList::Remove(TqmListMessage& message)
{
    const qsizetype index = IndexOf(message);
    if (index >= 0)
        Delete(index);
    return index;
}

qsizetype TqmMessageList::IndexOf(const TqmListMessage& message) const
{
    const auto found = std::find_if(m_items.begin(), m_items.end(),
                                    [&](const auto& item) { return item.get() == &message; });
    return found == m_items.end() ? -1 : qsizetype(found - m_items.begin());
}

void TqmMessageList::Attach(TqmListMessage* message)
{
    // Reserve first: once the pointer is stored nothing may throw, or the message would be freed
    // while it is still being constructed.
    m_items.reserve(m_items.size() + 1);
    m_items.emplace_back(message);
}

void TqmMessageList::Detach(TqmListMessage* message) noexcept
{
    const auto found = std::find_if(m_items.begin(), m_items.end(),
                                    [&](const auto& item) { return item.get() == message; });
    if (found == m_items.end())
        return;
    found->release();
    m_items.erase(found);
}

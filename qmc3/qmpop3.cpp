#include "qmpop3.h"

#include "qmsasl.h"

#include "AtomicFile.h"
#include "nkwire.h"
#include "qmconst.h"
#include "qmdiscard.h"
#include "qmutils.h"
#include "qmwriteguard.h"

#include <QBuffer>

#include <limits>

namespace {

// Keeps the first bytes written to it and swallows the rest, so that a TOP response that never
// ends cannot fill the memory: only the header block is wanted.
class TBoundedSink final : public QIODevice {
public:
    explicit TBoundedSink(qint64 limit) : m_limit(limit) { open(QIODevice::WriteOnly); }
    const QByteArray& Data() const { return m_data; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_data.append(data, qMin(size, qMax<qint64>(0, m_limit - m_data.size())));
        return size;
    }

private:
    QByteArray m_data;
    qint64 m_limit;
};

constexpr qint64 MaxHeaderBlock = 256 * 1024;
// A CAPA list longer than this is not a list of capabilities.
constexpr int MaxCapabilities = 1000;

// Servers count line ends and dot-stuffing differently, and some announce sizes loosely; a body
// past twice the announced size and a mebibyte more is taken as one that never ends.
qint64 RetrievalLimit(qint64 announcedSize)
{
    constexpr qint64 Margin = 1024 * 1024;
    return 2 * qMax<qint64>(announcedSize, 0) + Margin;
}

bool HasLimit(qint64 maxMessageSize)
{
    return maxMessageSize > 0;
}

// Commands sent ahead of their replies. Small replies (TOP) take a wide window; message bodies a
// narrower one, which still keeps the connection busy while a reply is being saved.
constexpr qsizetype HeaderWindow = 64;
constexpr qsizetype RetrieveWindow = 16;
// A line of a UIDL or LIST listing: "70 characters" (RFC 1939, 7) and the message number.
constexpr qint64 ListingLineBytes = 100;

enum TPopCommandKind { ckTop = 1, ckRetr, ckDele };


} // namespace

TqmCustomPOP::TqmCustomPOP(QObject* parent) : TqmMailBase(parent)
{
    DefaultPort = 110;
    ServiceName = "pop3";
    DefaultTlsPort = 995;
    TlsServiceName = "pop3s";
}

int TqmCustomPOP::GetServerReplyCode(QByteArrayView line) const { return detail::Pop3ReplyCode(line); }

void TqmCustomPOP::Verify()
{
    VerifyMailboxLogIn(UserName, Password);
}

void TqmCustomPOP::Open()
{
    Verify();
    ReInit();
    TqmMailBase::Open();
}

void TqmCustomPOP::Command(const QByteArray& command)
{
    SendLine(command);
    QByteArray reply;
    Require(RecvLine(reply) == 1);
}

bool TqmCustomPOP::Pipelines()
{
    if (!UsePipelining || !OnLine())
        return false;
    if (!m_capabilitiesKnown)
        Capabilities();
    return m_capabilities.contains("PIPELINING");
}

QByteArray TqmCustomPOP::ReceiveListing(const char* command, qint64 limit)
{
    QBuffer listing;
    listing.open(QIODevice::ReadWrite);
    const QString overflowText = qmMessageText(qmReplyWithoutEnd).arg(QLatin1String(command)).arg(limit / ListingLineBytes).arg(QString());
    TqmSizeGuard guard(listing, limit, overflowText);
    try {
        RecvLineStream(guard, -1);
    } catch (const EMessageError& error) {
        Close();
        throw EServerError(error.Message());
    }
    return listing.data();
}

void TqmCustomPOP::RefusedInPipeline(detail::TCommandPipeline& pipeline, const QByteArray& reply,
                                     const std::function<bool(int kind)>& multiLine)
{
    QByteArray line;
    TqmDiscardDevice discard;
    while (pipeline.Unanswered() > 0) {
        const detail::TPipelinedCommand command = pipeline.TakeAnswered();
        if (RecvLine(line) == 1 && multiLine(command.Kind))
            RecvLineStream(discard, -1);
    }
    LastReply = reply;
    Require(false);
    throw EServerError(qmReplyText(reply));
}

QByteArrayList TqmCustomPOP::Capabilities()
{
    m_capabilitiesKnown = true;
    m_capabilities.clear();
    m_saslMechanisms.clear();
    SendLine("CAPA");
    QByteArray line;
    if (RecvLine(line) != 1)
        return {};
    QByteArrayList capabilities;
    for (RecvLine(line); line != "."; RecvLine(line)) {
        if (capabilities.size() >= MaxCapabilities) {
            Close();
            throw EServerError(qmMessageText(qmReplyWithoutEnd).arg(QStringLiteral("CAPA")).arg(MaxCapabilities).arg(qmReplyText(line)));
        }
        const QByteArrayList words = line.simplified().split(' ');
        capabilities.append(words.constFirst().toUpper());
        if (capabilities.constLast() == "SASL")
            for (const QByteArray& word : words.mid(1))
                m_saslMechanisms.append(word.toUpper());
    }
    m_capabilities = capabilities;
    return capabilities;
}

void TqmCustomPOP::NegotiateTls()
{
    if (Security != TqmSecurity::secAuto && Security != TqmSecurity::secStartTls)
        return;
    if (!Capabilities().contains("STLS")) {
        if (Security == TqmSecurity::secStartTls)
            Fail(qmMessageText(qmTlsNotOffered).arg(QStringLiteral("STLS")), qmTlsNotOffered);
        // USER and PASS follow at once: "auto" never lets them go out in clear.
        RefusePlainLogIn("STLS");
    }
    Command("STLS");
    StartTls();
    // What the server said in clear may have been forged (RFC 2595, 4).
    Capabilities();
}

void TqmCustomPOP::LogIn()
{
    ++m_session;
    m_capabilitiesKnown = false;
    m_capabilities.clear();
    try {
        ReInit();
        Connect();
        QByteArray greeting;
        const int code = RecvLine(greeting);
        RequireGreeting(code == 1, code == -1, "POP3");
        NegotiateTls();
        if (LogInMethod == TqmLogInMethod::OAuth2) {
            AuthenticateOAuth2();
        } else {
            Command("USER " + UserName);
            SendSecretLine("PASS " + Password, "PASS ****");
            QByteArray reply;
            if (RecvLine(reply) != 1)
                RefusePassword(reply);
        }
        GetStatistics();
    } catch (...) {
        Close();
        throw;
    }
}

void TqmCustomPOP::AuthenticateOAuth2()
{
    if (!m_capabilitiesKnown)
        Capabilities();
    const detail::TSaslMechanism mechanism = detail::ChooseOAuth2Mechanism(m_saslMechanisms);
    if (mechanism == detail::TSaslMechanism::None)
        Fail(qmMessageText(qmNoOAuth2Mechanism), qmNoOAuth2Mechanism);
    const QByteArray command = "AUTH " + detail::SaslMechanismName(mechanism);
    const QByteArray message = mechanism == detail::TSaslMechanism::OAuthBearer
        ? detail::OAuthBearerMessage(UserName, Password, HostName(), Port())
        : detail::XOAuth2Message(UserName, Password);
    const QByteArray response = message.toBase64();
    // Continuations are "+ " lines, which the reply code counts as "+OK".
    const auto isContinuation = [](const QByteArray& line) { return line == "+" || line.startsWith("+ "); };
    QByteArray reply;
    // RFC 5034, 4: an initial response that would make the command longer than 255 octets waits
    // for the server's empty challenge instead.
    if (command.size() + 1 + response.size() <= 255) {
        SendSecretLine(command + ' ' + response, command + " ****");
    } else {
        SendLine(command);
        RecvLine(reply);
        if (!isContinuation(reply))
            RefuseLogIn();
        SendSecretLine(response, "****");
    }
    RecvLine(reply);
    if (isContinuation(reply)) {
        // RFC 7628, 3.2.2: the server's error is a challenge; the failure reply follows our answer.
        SendLine(detail::OAuth2ErrorAcknowledgement(mechanism));
        RecvLine(reply);
        RefusePassword(reply);
    }
    if (!reply.startsWith("+OK"))
        RefusePassword(reply);
}

void TqmCustomPOP::RefusePassword(const QByteArray& reply) const
{
    // RFC 3206: these codes say that the server cannot let anyone in just now, not that the
    // password is wrong; asking for another one would not help.
    for (const char* code : {"[SYS/", "[IN-USE]", "[LOGIN-DELAY]"})
        if (reply.mid(4).trimmed().startsWith(code))
            Require(false);
    RefuseLogIn();
}

void TqmCustomPOP::LogOut()
{
    if (OnLine())
        Command("QUIT");
}

void TqmCustomPOP::GetStatistics()
{
    Command("STAT");
    qint64 count = 0;
    qint64 size = 0;
    Require(detail::ParseStatReply(LastReply, count, size));
    MessageCount = count;
    TotalSize = size;
}

qint64 TqmCustomPOP::ListSize(int index)
{
    Command("LIST " + Number(index));
    return detail::ParseListSize(LastReply);
}

void TqmCustomPOP::RetrieveMessage(int index)
{
    const qint64 size = AnnouncedSize(index);
    if (HasLimit(MaxMessageSize) && size > MaxMessageSize)
        throw EMessageError(qmMessageText(qmMessageAboveLimit).arg(index + 1).arg(size).arg(MaxMessageSize));
    if (OnRetrieving)
        OnRetrieving(*this, index);
    QIODevice* sink = OpenMsgSink(index);
    Command("RETR " + Number(index));
    ReceiveRetrieved(index, sink, size);
}

void TqmCustomPOP::ReceiveRetrieved(int index, QIODevice* device, qint64 announcedSize)
{
    if (device) {
        ReceiveBody(index, *device, announcedSize);
        MsgSinkFinished(index);
    } else {
        QBuffer message;
        message.open(QIODevice::ReadWrite);
        ReceiveBody(index, message, announcedSize);
        message.seek(0);
        OutputMsgStream(index, message);
    }
    if (OnRetrieved)
        OnRetrieved(*this, index);
}

// A size LIST did not tell (0) bounds nothing: then only MaxMessageSize does, so that a server
// that cannot say the size does not make every message above a mebibyte fail.
void TqmCustomPOP::ReceiveBody(int index, QIODevice& device, qint64 announcedSize)
{
    const bool announced = announcedSize > 0;
    const bool bySize = announced && (!HasLimit(MaxMessageSize) || RetrievalLimit(announcedSize) <= MaxMessageSize);
    const qint64 limit = bySize ? RetrievalLimit(announcedSize)
                                : (HasLimit(MaxMessageSize) ? MaxMessageSize : std::numeric_limits<qint64>::max());
    const QString overflowText = bySize ? qmMessageText(qmMessageLargerThanAnnounced)
                                        : qmMessageText(qmMessageGrewAboveLimit).arg(index + 1).arg(MaxMessageSize);
    TqmSizeGuard guard(device, limit, overflowText);
    try {
        RecvLineStream(guard, announcedSize);
    } catch (const EMessageError&) {
        // The rest of the body is still on its way: the session cannot go on.
        Close();
        throw;
    }
}

void TqmCustomPOP::DeleteMessage(int index)
{
    if (OnDeleting)
        OnDeleting(*this, index);
    SendLine("DELE " + Number(index));
    QByteArray reply;
    RecvLine(reply);
}

void TqmPOP::RetrieveAllMessages(bool keepMessages)
{
    OpenConnection();
    for (int index = 0; index < MessageCount; ++index) {
        RetrieveMessage(index);
        if (!keepMessages)
            DeleteMessage(index);
    }
    CloseConnection();
}

void TqmPOP::OutputMsgStream(int, QBuffer& stream) { MessageList.Add().LoadFromStream(stream); }

void TqmRemotePOP::SetMessageDirectory(const QString& directory) { m_messageDirectory = AddBackSlash(directory); }

void TqmRemotePOP::Reset(int index)
{
    TqmRemoteInfoItem& item = RemoteInfo.Items(index);
    item.MarkedToRetrieve = false;
    item.MarkedToDelete = false;
}

void TqmRemotePOP::UpdateRemoteInfo() { Update(true, false); }
void TqmRemotePOP::UpdateUIDL() { Update(false, true); }
void TqmRemotePOP::UpdateRemoteInfoAndUIDL() { Update(true, true); }

void TqmRemotePOP::Update(bool withInfo, bool withUidl)
{
    OpenConnection();
    Fire(OnUpdatingInfo, *this);
    RemoteInfo.Clear();
    m_infoSession = 0;
    if (MessageCount > 0 && Pipelines())
        UpdatePipelined(withInfo, withUidl);
    else
        UpdateOneByOne(withInfo, withUidl);
    m_infoSession = Session();
    if (!KeepConnection)
        CloseConnection();
    Fire(OnInfoUpdated, *this);
}

void TqmRemotePOP::UpdateOneByOne(bool withInfo, bool withUidl)
{
    bool uidlSupported = true;
    for (int index = 0; index < MessageCount; ++index) {
        auto item = std::make_unique<TqmRemoteInfoItem>();
        FillInfoItem(index, *item, withInfo, withUidl, uidlSupported);
        RemoteInfo.Add(std::move(item));
        if (OnNextInfoUpdated)
            OnNextInfoUpdated(*this, index);
    }
}

// C: UIDL          S: +OK / 1 whqtswO00WBw418f9t5JxYwZ / 2 QhdPYR:00WBw1Ph7x7 / .
QByteArrayList TqmRemotePOP::UidlListing(bool& supported)
{
    QByteArrayList uidls(MessageCount);
    SendLine("UIDL");
    QByteArray reply;
    supported = RecvLine(reply) == 1;
    if (!supported)
        return uidls;
    const QByteArray listing = ReceiveListing("UIDL", (MessageCount + 1) * ListingLineBytes);
    for (const QByteArray& line : listing.split('\n')) {
        const QByteArrayList words = line.simplified().split(' ');
        const qint64 number = words.constFirst().toLongLong();
        if (words.size() >= 2 && number >= 1 && number <= MessageCount)
            uidls[number - 1] = words.at(1);
    }
    return uidls;
}

// C: LIST          S: +OK 2 messages (320 octets) / 1 120 / 2 200 / .
QList<qint64> TqmRemotePOP::SizeListing()
{
    QList<qint64> sizes(MessageCount, 0);
    Command("LIST");
    const QByteArray listing = ReceiveListing("LIST", (MessageCount + 1) * ListingLineBytes);
    for (const QByteArray& line : listing.split('\n')) {
        // The line reads like a reply without its status word.
        const qint64 number = line.simplified().split(' ').constFirst().toLongLong();
        if (number >= 1 && number <= MessageCount)
            sizes[number - 1] = detail::ParseListSize("+OK " + line);
    }
    return sizes;
}

void TqmRemotePOP::UpdatePipelined(bool withInfo, bool withUidl)
{
    const int count = int(MessageCount);
    bool uidlSupported = false;
    const QByteArrayList uidls = withUidl ? UidlListing(uidlSupported) : QByteArrayList(count);
    const QList<qint64> sizes = withInfo ? SizeListing() : QList<qint64>(count, 0);
    std::vector<std::unique_ptr<TqmRemoteInfoItem>> items;
    detail::TCommandPipeline pipeline(HeaderWindow);
    for (int index = 0; index < count; ++index) {
        auto item = std::make_unique<TqmRemoteInfoItem>();
        item->UIDL = uidls.at(index);
        item->Size = sizes.at(index);
        if (withInfo && HeadersWanted(index, *item))
            pipeline.Queue({"TOP " + Number(index) + " 1", index, ckTop});
        items.push_back(std::move(item));
    }
    int next = 0;
    const auto addUpTo = [&](int end) {
        for (; next < end; ++next) {
            RemoteInfo.Add(std::move(items[size_t(next)]));
            if (OnNextInfoUpdated)
                OnNextInfoUpdated(*this, next);
        }
    };
    while (!pipeline.Finished()) {
        SendPipelined(pipeline.TakeSendable());
        const detail::TPipelinedCommand command = pipeline.TakeAnswered();
        addUpTo(command.Index);
        QByteArray reply;
        if (RecvLine(reply) != 1)
            RefusedInPipeline(pipeline, reply, [](int kind) { return kind != ckDele; });
        ReadHeaders(*items[size_t(command.Index)]);
        addUpTo(command.Index + 1);
    }
    addUpTo(count);
}

bool TqmRemotePOP::HeadersWanted(int index, const TqmRemoteInfoItem& item) const
{
    return item.UIDL.isEmpty() || !OnHeadersWanted || OnHeadersWanted(index, item);
}

void TqmRemotePOP::ReadHeaders(TqmRemoteInfoItem& item)
{
    TBoundedSink headers(MaxHeaderBlock);
    RecvLineStream(headers, -1);
    item.Headers = TqmHeaders::FromText(headers.Data());
    item.Headers.CleanUp();
    item.HeadersRead = true;
}

void TqmRemotePOP::FillInfoItem(int index, TqmRemoteInfoItem& item, bool withInfo, bool withUidl, bool& uidlSupported)
{
    if (withUidl && uidlSupported) {
        item.UIDL.clear();
        SendLine("UIDL " + Number(index));
        QByteArray reply;
        if (RecvLine(reply) == 1)
            item.UIDL = detail::ParseUidl(reply);
        else
            uidlSupported = false;
    }
    if (!withInfo)
        return;
    item.Size = ListSize(index);
    if (!HeadersWanted(index, item))
        return;
    Command("TOP " + Number(index) + " 1");
    ReadHeaders(item);
}

bool TqmRemotePOP::IDsAreSame(const TqmRemoteInfoItem& first, const TqmRemoteInfoItem& second)
{
    const qsizetype common = qMin(first.Headers.size(), second.Headers.size());
    for (qsizetype i = 0; i < common; ++i)
        if (first.Headers.at(i) != second.Headers.at(i))
            return false;
    if (common > 0)
        return true;
    const QByteArray firstId = first.Headers.GetFieldBody("Message-ID");
    const QByteArray secondId = second.Headers.GetFieldBody("Message-ID");
    return firstId.isEmpty() || secondId.isEmpty() || firstId == secondId;
}

bool TqmRemotePOP::CheckIdentity(int index)
{
    const TqmRemoteInfoItem& seen = RemoteInfo.Items(index);
    TqmRemoteInfoItem current;
    bool uidlSupported = true;
    if (seen.HeadersRead || seen.UIDL.isEmpty()) {
        FillInfoItem(index, current, true, true, uidlSupported);
        if (!IDsAreSame(current, seen))
            Error(qmIDsAreDifferent);
    } else {
        // Listed without its header lines: its unique id is all there is to compare.
        FillInfoItem(index, current, false, true, uidlSupported);
        if (current.UIDL != seen.UIDL)
            Error(qmIDsAreDifferent);
        current.Size = ListSize(index);
    }
    m_checked = {index, current.Size};
    return true;
}

qint64 TqmRemotePOP::AnnouncedSize(int index)
{
    return m_checked.Index == index ? m_checked.Size : ListSize(index);
}

void TqmRemotePOP::Transfer()
{
    if (RemoteInfo.Count() == 0)
        return;
    const bool sameSession = OnLine() && m_infoSession == Session();
    OpenConnection();
    Fire(OnTransferringData, *this);
    if (sameSession && Pipelines()) {
        TransferPipelined();
        Fire(OnDataTransfered, *this);
        CloseConnection();
        return;
    }
    for (int index = 0; index < RemoteInfo.Count(); ++index) {
        const TqmRemoteInfoItem& item = RemoteInfo.Items(index);
        if (!item.MarkedToRetrieve && !item.MarkedToDelete)
            continue;
        // Checked once before both actions, whose size LIST it also reads: message numbers stay
        // the same for the whole session (RFC 1939, 5), so nothing can move between the two.
        CheckIdentity(index);
        if (item.MarkedToRetrieve)
            RetrieveMessage(index);
        if (item.MarkedToDelete)
            DeleteMessage(index);
        m_checked = {};
    }
    Fire(OnDataTransfered, *this);
    CloseConnection();
}

QIODevice* TqmRemotePOP::OpenMsgSink(int index)
{
    return OnOpenMessageSink ? OnOpenMessageSink(*this, index) : nullptr;
}

void TqmRemotePOP::MsgSinkFinished(int index)
{
    if (OnMessageSinkFinished)
        OnMessageSinkFinished(*this, index);
}

void TqmRemotePOP::OutputMsgStream(int index, QBuffer& stream)
{
    if (OnUserMessageSave) {
        OnUserMessageSave(*this, index, stream);
        return;
    }
    const QString fileName = m_messageDirectory + QStringLiteral("msg_%1.eml").arg(index);
    if (!WriteFileAtomically(fileName, stream.data()))
        throw EMessageError(QStringLiteral("Cannot write file \"%1\"").arg(fileName));
}

// The commit order stays the caller's: a message's DELE goes out only after its body was taken
// whole (and its sink finished), so that a message whose saving failed (the caller clears its
// delete mark then) is never deleted; deletions take effect with the QUIT after OnDataTransfered.
void TqmRemotePOP::TransferPipelined()
{
    detail::TCommandPipeline pipeline(RetrieveWindow);
    QString stopText;
    for (int index = 0; index < RemoteInfo.Count() && stopText.isEmpty(); ++index) {
        const TqmRemoteInfoItem& item = RemoteInfo.Items(index);
        if (item.MarkedToRetrieve && HasLimit(MaxMessageSize) && item.Size > MaxMessageSize)
            stopText = qmMessageText(qmMessageAboveLimit).arg(index + 1).arg(item.Size).arg(MaxMessageSize);
        else if (item.MarkedToRetrieve)
            pipeline.Queue({"RETR " + Number(index), index, ckRetr});
        else if (item.MarkedToDelete)
            pipeline.Queue({"DELE " + Number(index), index, ckDele});
    }
    try {
        while (!pipeline.Finished()) {
            SendPipelined(pipeline.TakeSendable());
            const detail::TPipelinedCommand command = pipeline.TakeAnswered();
            QByteArray reply;
            if (command.Kind == ckDele) {
                if (OnDeleting)
                    OnDeleting(*this, command.Index);
                RecvLine(reply);
                continue;
            }
            if (OnRetrieving)
                OnRetrieving(*this, command.Index);
            QIODevice* sink = OpenMsgSink(command.Index);
            if (RecvLine(reply) != 1)
                RefusedInPipeline(pipeline, reply, [](int kind) { return kind == ckRetr; });
            ReceiveRetrieved(command.Index, sink, RemoteInfo.Items(command.Index).Size);
            if (RemoteInfo.Items(command.Index).MarkedToDelete)
                pipeline.Queue({"DELE " + Number(command.Index), command.Index, ckDele});
        }
    } catch (...) {
        // A refusal has read every reply still owed, and the session stays open; after any other
        // failure replies still on their way would be taken for the answers to the next commands.
        if (pipeline.Unanswered() > 0 && OnLine())
            Close();
        throw;
    }
    if (!stopText.isEmpty())
        throw EMessageError(stopText);
}

#include "qmpop3.h"

#include "AtomicFile.h"
#include "nkwire.h"
#include "qmconst.h"
#include "qmutils.h"

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

// Passes a retrieved body on to its device until it grows past the limit; then every write fails
// with `overflowText`, which ends the retrieval.
class TSizeGuard final : public QIODevice {
public:
    TSizeGuard(QIODevice& target, qint64 limit, const QString& overflowText)
        : m_target(target), m_limit(limit), m_overflowText(overflowText)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_written += size;
        if (m_written > m_limit) {
            setErrorString(m_overflowText);
            return -1;
        }
        const qint64 passed = m_target.write(data, size);
        if (passed != size)
            setErrorString(m_target.errorString());
        return passed;
    }

private:
    QIODevice& m_target;
    qint64 m_limit;
    QString m_overflowText;
    qint64 m_written = 0;
};

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
    if (UserName.isEmpty())
        throw EServerError(qmMessageText(qmUserNameRequired));
    if (Password.isEmpty())
        throw EServerError(qmMessageText(qmPasswordRequired));
    TqmMailBase::Verify();
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

QByteArrayList TqmCustomPOP::Capabilities()
{
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
        capabilities.append(line.split(' ').constFirst().toUpper());
    }
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
    try {
        ReInit();
        Connect();
        QByteArray greeting;
        const int code = RecvLine(greeting);
        RequireGreeting(code == 1, code == -1, "POP3");
        NegotiateTls();
        Command("USER " + UserName);
        SendSecretLine("PASS " + Password, "PASS ****");
        QByteArray reply;
        if (RecvLine(reply) != 1)
            RefusePassword(reply);
        GetStatistics();
    } catch (...) {
        Close();
        throw;
    }
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
    if (sink) {
        ReceiveBody(index, *sink, size);
        MsgSinkFinished(index);
    } else {
        QBuffer message;
        message.open(QIODevice::ReadWrite);
        ReceiveBody(index, message, size);
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
    TSizeGuard guard(device, limit, overflowText);
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
    bool uidlSupported = true;
    for (int index = 0; index < MessageCount; ++index) {
        auto item = std::make_unique<TqmRemoteInfoItem>();
        FillInfoItem(index, *item, withInfo, withUidl, uidlSupported);
        RemoteInfo.Add(std::move(item));
        if (OnNextInfoUpdated)
            OnNextInfoUpdated(*this, index);
    }
    if (!KeepConnection)
        CloseConnection();
    Fire(OnInfoUpdated, *this);
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
    Command("TOP " + Number(index) + " 1");
    TBoundedSink headers(MaxHeaderBlock);
    RecvLineStream(headers, -1);
    item.Headers = TqmHeaders::FromText(headers.Data());
    item.Headers.CleanUp();
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
    TqmRemoteInfoItem current;
    bool uidlSupported = true;
    FillInfoItem(index, current, true, true, uidlSupported);
    if (!IDsAreSame(current, RemoteInfo.Items(index)))
        Error(qmIDsAreDifferent);
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
    OpenConnection();
    Fire(OnTransferringData, *this);
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

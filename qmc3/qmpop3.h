#pragma once
// The POP3 clients (RFC 1939, USER/PASS log-in; TLS from the first byte or through STLS, RFC
// 2595, as Security asks): TqmCustomPOP logs in, reads the statistics and
// retrieves or deletes single messages; TqmPOP retrieves everything into message objects;
// TqmRemotePOP first builds a picture of the mailbox (size, header lines and unique id of every
// message, without bodies), lets the caller mark messages, and then transfers exactly the marked
// ones, checking before each action that the message at that position is still the one seen.
// Message indexes are zero-based; the server's message numbers are index + 1.

#include "qmmb.h"
#include "qmmsg.h"
#include "qmpop3cl.h"

#include <functional>

class QBuffer;

namespace detail {
class TCommandPipeline;
}

class TqmCustomPOP : public TqmMailBase {
    Q_OBJECT

public:
    explicit TqmCustomPOP(QObject* parent = nullptr);

    // "+..." is 1, "-..." is -1, anything else 0.
    int GetServerReplyCode(QByteArrayView line) const override;
    // Throws EServerError 57103/57104 for an empty user name or password, then checks Server.
    void Verify() override;
    void Open() override;
    // Greeting, STLS (secStartTls or secAuto), USER, PASS and STAT. A refusal raises EServerError
    // with the server's line, a refused PASS ELogInRefused (unless RFC 3206 says the server is
    // busy or broken); a server without STLS in CAPA gets no user name: secStartTls raises
    // ESocketError 57120, secAuto EPlainLogInRefused (57128, or 57129 with TlsSeenBefore); only
    // secNone logs in without TLS. Any error closes the connection first. The log shows "PASS ****".
    // With LogInMethod OAuth2 the log-in is AUTH (RFC 5034) with OAUTHBEARER or XOAUTH2 from the
    // SASL capability instead of USER/PASS, Password being the access token; a server that offers
    // neither raises EServerError 57230, a refused token ELogInRefused (unless RFC 3206 says the
    // server is busy or broken, as for PASS). The log shows "****".
    void LogIn() override;
    // QUIT, which commits the deletions.
    void LogOut() override;
    void GetStatistics();
    // Retrieves the message, dot transparency undone and without the final ".", into the device of
    // OpenMsgSink or else into memory for OutputMsgStream. A message announced above MaxMessageSize
    // is refused with EMessageError (57160) before RETR, and the session goes on. A body that grows
    // past twice the size LIST announced and 1 MiB more (57127), or past MaxMessageSize (57161),
    // stops with EMessageError and a closed connection, so that a server that never ends a body
    // cannot fill memory or disk, and nothing is deleted.
    void RetrieveMessage(int index);
    // The reply to DELE is not examined.
    void DeleteMessage(int index);

    // True when commands of this session go out ahead of their replies: UsePipelining and the
    // server lists PIPELINING (RFC 2449, 6.6). Asks CAPA once per session when the log-in did not.
    bool Pipelines();

    QByteArray UserName;
    QByteArray Password;
    TqmLogInMethod LogInMethod = TqmLogInMethod::Password;
    // False: one command, one reply, whatever the server offers.
    bool UsePipelining = true;
    // Known after LogIn; -1 before.
    qint64 MessageCount = -1;
    qint64 TotalSize = -1;
    // The largest message RetrieveMessage takes, in bytes; 0 or less: no limit of its own. It also
    // bounds a message whose size LIST does not tell.
    qint64 MaxMessageSize = DefaultMaxMessageSize;
    static constexpr qint64 DefaultMaxMessageSize = 256 * 1024 * 1024;

    TqmNumNotifyEvent OnRetrieving;
    TqmNumNotifyEvent OnRetrieved;
    TqmNumNotifyEvent OnDeleting;

protected:
    // What happens to a retrieved message; `stream` is positioned at its start.
    virtual void OutputMsgStream(int index, QBuffer& stream) = 0;
    // A device that takes the message as it arrives instead of a memory stream (nullptr: none);
    // MsgSinkFinished follows once the whole message is in it.
    virtual QIODevice* OpenMsgSink(int) { return nullptr; }
    virtual void MsgSinkFinished(int) {}
    // The size the server announces for the message (LIST n).
    virtual qint64 AnnouncedSize(int index) { return ListSize(index); }
    // Sends `command` and requires +OK.
    void Command(const QByteArray& command);
    // CAPA (RFC 2449): the capability names, upper case; empty when the server refuses CAPA.
    QByteArrayList Capabilities();
    void NegotiateTls();
    // LIST n: the size of the message, 0 when the server does not say.
    qint64 ListSize(int index);
    static QByteArray Number(int index) { return QByteArray::number(index + 1); }
    // Reads the rest of a multi-line reply (after its +OK) whole; one that grows past `limit`
    // bytes closes the connection and raises EServerError 57139 naming `command`.
    QByteArray ReceiveListing(const char* command, qint64 limit);
    // The replies still owed to a pipeline whose command `failed` was refused are read (their
    // bodies thrown away), so that the session stays in step; then the refusal is raised as
    // EServerError with `reply`.
    [[noreturn]] void RefusedInPipeline(detail::TCommandPipeline& pipeline, const QByteArray& reply,
                                        const std::function<bool(int kind)>& multiLine);
    // Counts log-ins, so that a caller can tell whether an earlier picture is of this session.
    int Session() const { return m_session; }
    // The body of an accepted RETR into `device` (or memory and OutputMsgStream when null).
    void ReceiveRetrieved(int index, QIODevice* device, qint64 announcedSize);

private:
    void ReceiveBody(int index, QIODevice& device, qint64 announcedSize);
    [[noreturn]] void RefusePassword(const QByteArray& reply) const;
    void AuthenticateOAuth2();

    int m_session = 0;
    bool m_capabilitiesKnown = false;
    QByteArrayList m_capabilities;
    // The mechanisms of the SASL capability, upper case.
    QByteArrayList m_saslMechanisms;
};

// Retrieves whole mailboxes into MessageList, one TqmListMessage per message.
class TqmPOP : public TqmCustomPOP {
    Q_OBJECT

public:
    using TqmCustomPOP::TqmCustomPOP;

    // Retrieves every message, deleting each after it was retrieved unless `keepMessages`.
    void RetrieveAllMessages(bool keepMessages);

    TqmMessageList MessageList;

protected:
    void OutputMsgStream(int index, QBuffer& stream) override;
};

class TqmRemotePOP : public TqmCustomPOP {
    Q_OBJECT

public:
    using TqmCustomPOP::TqmCustomPOP;

    const QString& GetMessageDirectory() const { return m_messageDirectory; }
    // A trailing "/" is added unless the value is empty or has one.
    void SetMessageDirectory(const QString& directory);

    // Rebuild RemoteInfo from the server: sizes and header lines, unique ids, or both. The
    // connection stays open afterwards only with KeepConnection.
    void UpdateRemoteInfo();
    void UpdateUIDL();
    void UpdateRemoteInfoAndUIDL();
    void MarkToRetrieve(int index) { RemoteInfo.Items(index).MarkedToRetrieve = true; }
    void MarkToDelete(int index) { RemoteInfo.Items(index).MarkedToDelete = true; }
    void Reset(int index);
    // Retrieves, then deletes, the marked messages in ascending order; deletions take effect with
    // the QUIT at the end. Each marked message is checked once before its actions: one that is no
    // longer the one in RemoteInfo stops the transfer with "IDs are different".
    void Transfer();
    // Throws ESocketError 57105 (after OnError) when the message at `index` changed since the update.
    bool CheckIdentity(int index);
    // Header lines equal up to the shorter list; the unique id is not compared.
    static bool IDsAreSame(const TqmRemoteInfoItem& first, const TqmRemoteInfoItem& second);

    TqmRemoteInfo RemoteInfo;
    bool KeepConnection = false;

    TNotifyEvent OnUpdatingInfo;
    TNotifyEvent OnInfoUpdated;
    TNotifyEvent OnTransferringData;
    TNotifyEvent OnDataTransfered;
    TqmNumNotifyEvent OnNextInfoUpdated;
    // Asked, once the unique id and size of a message are known, whether its header lines are
    // needed; false spares the TOP (HeadersRead stays false). Only messages with a unique id are
    // asked; unset: every message gets its header lines.
    std::function<bool(int index, const TqmRemoteInfoItem& item)> OnHeadersWanted;
    // Takes over the retrieved messages; without it they go to MessageDirectory as msg_N.eml.
    TqmUserMsgSaveEvent OnUserMessageSave;
    // When set, each retrieved message streams into the device it returns (which must stay open
    // until OnMessageSinkFinished) instead of reaching OnUserMessageSave whole in memory.
    std::function<QIODevice*(QObject& sender, int index)> OnOpenMessageSink;
    TqmNumNotifyEvent OnMessageSinkFinished;

protected:
    void OutputMsgStream(int index, QBuffer& stream) override;
    QIODevice* OpenMsgSink(int index) override;
    void MsgSinkFinished(int index) override;
    // The size read by the identity check just made, else LIST.
    qint64 AnnouncedSize(int index) override;

private:
    void Update(bool withInfo, bool withUidl);
    // The same picture through the list forms of UIDL and LIST and pipelined TOP commands.
    void UpdatePipelined(bool withInfo, bool withUidl);
    void UpdateOneByOne(bool withInfo, bool withUidl);
    // `uidlSupported` is cleared by the first refused UIDL, which stops further UIDL commands.
    void FillInfoItem(int index, TqmRemoteInfoItem& item, bool withInfo, bool withUidl, bool& uidlSupported);
    bool HeadersWanted(int index, const TqmRemoteInfoItem& item) const;
    void ReadHeaders(TqmRemoteInfoItem& item);
    // "UIDL" and "LIST" without argument: one line per message; missing ones stay empty or 0.
    QByteArrayList UidlListing(bool& supported);
    QList<qint64> SizeListing();
    // RETR and DELE of the marked messages pipelined; only within the session of the update,
    // where message numbers cannot have moved (RFC 1939, 5).
    void TransferPipelined();

    QString m_messageDirectory;
    // The message the last identity check of Transfer was made for, and the size it read.
    struct TCheckedMessage {
        int Index = -1;
        qint64 Size = 0;
    };
    TCheckedMessage m_checked;
    // The session the last update was made in; 0: none.
    int m_infoSession = 0;
};

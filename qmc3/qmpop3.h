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

class QBuffer;

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

    QByteArray UserName;
    QByteArray Password;
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

private:
    void ReceiveBody(int index, QIODevice& device, qint64 announcedSize);
    [[noreturn]] void RefusePassword(const QByteArray& reply) const;
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
    // `uidlSupported` is cleared by the first refused UIDL, which stops further UIDL commands.
    void FillInfoItem(int index, TqmRemoteInfoItem& item, bool withInfo, bool withUidl, bool& uidlSupported);

    QString m_messageDirectory;
    // The message the last identity check of Transfer was made for, and the size it read.
    struct TCheckedMessage {
        int Index = -1;
        qint64 Size = 0;
    };
    TCheckedMessage m_checked;
};

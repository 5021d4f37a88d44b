#pragma once
// TqmIMAP: the IMAP client (RFC 3501) the agent, the server manager and the sent copies use. It logs
// in (AUTHENTICATE PLAIN, else LOGIN) over TLS as Security asks (IMAPS from the first byte, or
// STARTTLS), selects folders, and works on messages by UID only, so that messages other clients
// remove meanwhile never shift what it acts on. Bodies are fetched many per command and each
// streams into the device the caller opens for it; memory stays bounded for any message size.
//
// Life cycle as for the POP3 client: set Server, UserName, Password and Security; OpenConnection;
// the commands; CloseConnection. A failure closes the connection where the session cannot go on
// and raises one of the library's exceptions.

#include "qmimapwire.h"
#include "qmmb.h"

#include <functional>

struct TqmImapFolder {
    // UTF-8, decoded from the modified UTF-7 the server uses.
    QString Name;
    QByteArray WireName;
    // "\Sent", "\HasNoChildren", ... as the server wrote them.
    QByteArrayList Attributes;
    bool Selectable() const;
    bool HasAttribute(QByteArrayView attribute) const;
};

struct TqmImapMailbox {
    quint32 UidValidity = 0;
    qint64 Exists = 0;
    quint32 UidNext = 0;
};

struct TqmImapMessageInfo {
    quint32 Uid = 0;
    // Octets, as RFC822.SIZE gave it.
    qint64 Size = 0;
    // From ENVELOPE: Date, Subject, From, To, Cc, Message-Id.
    TqmHeaders Headers;
    QByteArrayList Flags;
};

class TqmIMAP : public TqmMailBase {
    Q_OBJECT

public:
    explicit TqmIMAP(QObject* parent = nullptr);

    // Throws EServerError 57103/57104 for an empty user name or password, then checks Server.
    void Verify() override;
    void Open() override;
    // Greeting, CAPABILITY, STARTTLS (secStartTls or secAuto), then AUTHENTICATE PLAIN or LOGIN.
    // A refused log-in raises ELogInRefused unless the response code (RFC 5530) says the server
    // cannot let anyone in just now; security "auto" without STARTTLS refuses as POP3 does.
    // With LogInMethod OAuth2, Password is an access token sent through AUTHENTICATE OAUTHBEARER or
    // XOAUTH2 (RFC 7628), whichever the capabilities offer (OAUTHBEARER first), as an initial
    // response with SASL-IR, else after the server's continuation; a server offering neither raises
    // EServerError 57230. The log shows "AUTHENTICATE <mechanism> ****".
    void LogIn() override;
    void LogOut() override;

    // Upper case, as the server listed them after the log-in.
    bool HasCapability(QByteArrayView name) const;

    // SELECT, or EXAMINE with `readOnly`. A refusal raises EServerError 57251 naming the folder.
    TqmImapMailbox Select(const QString& folder, bool readOnly = false);
    // UID SEARCH with `criteria` ("ALL", "DELETED"), ascending.
    QList<quint32> SearchUids(const QByteArray& criteria = "ALL");
    // UID, RFC822.SIZE, FLAGS and ENVELOPE of `uids` in the selected folder, many per command;
    // messages removed meanwhile are simply missing from the result.
    QList<TqmImapMessageInfo> FetchInfo(const QList<quint32>& uids);

    // Called once per message before its body arrives; returns the device it streams into (null
    // throws it away). `size` is the literal's length.
    using TOpenBody = std::function<QIODevice*(quint32 uid, qint64 size)>;
    // Called once the message's response ended as announced: the body in its device is whole.
    using TBodyDone = std::function<void(quint32 uid)>;
    // UID FETCH of BODY.PEEK[] (the \Seen flag stays as it was) for `uids`, many per command.
    // `announcedSizes` (by UID) bounds each body as POP3 does its RETR: past twice the size and a
    // MiB more, or past MaxMessageSize, the connection is closed (57127, 57161), and a literal
    // that does not end where announced closes it too (57256). A device that refuses a write ends
    // the fetch the same way with its error text.
    void FetchBodies(const QList<quint32>& uids, const QHash<quint32, qint64>& announcedSizes, const TOpenBody& open,
                     const TBodyDone& done);

    // Flags `uids` \Deleted and removes them: UID EXPUNGE where the server has UIDPLUS (RFC 4315),
    // else EXPUNGE when no other message of the folder is flagged \Deleted. Otherwise the flags
    // are taken back, LastWarning says why (57253) and the result is false: nothing of anyone
    // else is ever expunged.
    bool DeleteMessages(const QList<quint32>& uids);
    // Marks `uids` \Seen.
    void MarkSeen(const QList<quint32>& uids);

    // LIST "" "*" with the special-use attributes (RFC 6154) where the server has them.
    QList<TqmImapFolder> ListFolders();
    void CreateFolder(const QString& folder);
    void DeleteFolder(const QString& folder);
    // APPEND of `message` (read from its start) to `folder` with `flags` ("\Seen"). A refusal raises
    // EServerError 57254 naming the folder.
    void Append(const QString& folder, const QByteArray& message, const QByteArrayList& flags);
    // The folder for sent messages: the one marked \Sent, else one named "Sent" or "Gesendet"
    // (case-insensitive, at any level); empty when there is none.
    static QString SentFolder(const QList<TqmImapFolder>& folders);
    // A message's lasting name, written like an IMAP URL (RFC 5092): "INBOX;UIDVALIDITY=7/;UID=42".
    static QByteArray MessageKey(const QString& folder, quint32 uidValidity, quint32 uid);

    // How many untagged EXPUNGE responses arrived since the last Select.
    int ExpungedSinceSelect() const { return m_expunged; }
    // The text of the last condition that was no failure but needs telling (see DeleteMessages).
    QString LastWarning;

    QByteArray UserName;
    QByteArray Password;
    TqmLogInMethod LogInMethod = TqmLogInMethod::Password;
    qint64 MaxMessageSize = DefaultMaxMessageSize;
    static constexpr qint64 DefaultMaxMessageSize = 256 * 1024 * 1024;
    // UIDs per FETCH command; the default keeps a command well below servers' line limits.
    qsizetype FetchBatch = 500;

private:
    struct TTagged {
        bool Ok = false;
        QByteArray Status;
        QByteArray Text;
    };
    using TUntagged = std::function<void(const TImapResponse& response, const QList<TImapValue>& values)>;
    using TContinuation = std::function<void(const QByteArray& line)>;
    using TLiteralSink = std::function<void(const TImapResponse& sofar, qint64 size)>;

    // Sends `command` under a new tag and reads until its tagged response. Untagged responses go
    // to `untagged`; "+" to `continuation`; a literal that ends "BODY[]" to `bodySink`, which must
    // read exactly `size` bytes through StreamLiteral. `shown` replaces the command in the log.
    TTagged Run(const QByteArray& command, const TUntagged& untagged = {}, const TContinuation& continuation = {},
                const TLiteralSink& bodySink = {}, const QByteArray& shown = {});
    // As Run; anything but OK raises EServerError with the server's line.
    void RunOk(const QByteArray& command, const TUntagged& untagged = {});
    // Reads one response, its literals included. Returns false for a continuation request.
    bool ReadResponse(TImapResponse& response, const TLiteralSink& bodySink);
    // Reads `size` bytes into `device`; fewer (the peer closed) raise 10054.
    void StreamLiteral(QIODevice& device, qint64 size);
    void NoteUntagged(const QList<TImapValue>& values);
    void NegotiateTls();
    void Authenticate();
    TTagged AuthenticateOAuth2();
    // The SASL mechanisms of the AUTH= capabilities.
    QByteArrayList SaslMechanisms() const;
    void AskCapabilities();
    void TakeCapabilities(const QList<TImapValue>& values, qsizetype from);
    // Takes the capabilities from a "[CAPABILITY ...]" response code; false when there is none.
    bool TakeCapabilityCode(const QByteArray& text);
    [[noreturn]] void RefuseAuthentication(const TTagged& tagged);
    [[noreturn]] void NotImap(const QByteArray& line);
    static QByteArray MailboxArgument(const QString& folder);

    int m_tag = 0;
    QByteArrayList m_capabilities;
    int m_expunged = 0;
    QString m_selected;
};

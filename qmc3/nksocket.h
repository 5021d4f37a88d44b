#pragma once
// TnkSocket: the TCP client under the mail protocol clients. Name resolution, connect, line and
// stream transfer, progress, cancel and time-out, all on the calling (GUI) thread: every wait runs
// an event loop until its event, a cancel request, an error or the time-out ends it, so the user
// interface stays alive and a cancel button can call Cancel.
//
// Use: set Server (and DefaultPort/ServiceName), Open, Connect, exchange lines, Close. Failures are
// exceptions (ESocketError with a numbered text, ETimedOutError, ECanceledError) after OnError saw
// the text. The bytes travel through a TnkTransport (QSslSocket unless TransportFactory says
// otherwise); Security secTls speaks TLS from the first byte, and StartTls upgrades a plain
// connection for the protocol clients' STARTTLS/STLS. Certificates are verified against the system
// CA store and the host name; a failure raises ECertificateError (nkcertificate.h) with the
// certificate's facts, whose fingerprint the user may pin (PinnedCertificate, for the server
// PinnedServer) to trust that one certificate on that one server.

#include "nkRasCmp.h"
#include "nktransport.h"
#include "nktypes.h"

#include <QByteArrayList>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QAbstractSocket>

#include <functional>
#include <memory>

class QIODevice;

namespace detail {
// The numbered text id of a QtNetwork socket error ("[10061] Connection refused" is 10061).
int SocketErrorCode(QAbstractSocket::SocketError error);
} // namespace detail

class TnkSocket : public QObject {
    Q_OBJECT

public:
    explicit TnkSocket(QObject* parent = nullptr);
    // Writes the transfer log when LogFileName is set.
    ~TnkSocket() override;

    bool GetWinsockLoaded() const;
    void SetWinsockLoaded(bool loaded);
    bool GetWinsockAvailable() const;

    TnkRas* GetRAS() const { return m_ras; }
    // The dial-up component dialled by Open and cancelled by Close; the link clears itself when
    // that component is destroyed.
    void SetRAS(TnkRas* ras) { m_ras = ras; }

    int GetTimeOut() const { return m_timeCounter.Limit(); }
    // Seconds of silence after which a wait fails with "Operation timed out".
    void SetTimeOut(int seconds) { m_timeCounter.SetLimit(seconds); }

    // True from Open until Close.
    bool OnLine() const { return m_transport != nullptr; }
    // True once the TLS handshake of this connection succeeded.
    bool Encrypted() const { return m_encrypted; }

    // Clears the cancel, time-out, error and notification flags; protocol clients call it at the
    // start of each operation.
    virtual void ReInit();
    // SMTP style: the first three characters as a number, -1 when they are not one.
    virtual int GetServerReplyCode(QByteArrayView line) const;
    // Dials RAS when set, then resolves Server and finds the port; does not connect.
    virtual void Open();
    virtual void Close();
    // Ends any wait in progress with ECanceledError and closes the connection.
    virtual void Cancel();
    // Throws ESocketError 57002 when Server is empty.
    virtual void Verify();
    // Connects; with secTls the TLS handshake follows at once.
    void Connect();
    // Upgrades the open connection to TLS (after the server agreed to STARTTLS or STLS). Bytes the
    // server sent before the handshake are a forgery attempt: the connection is closed. A failed
    // handshake or an untrusted certificate closes it too; then ESocketError 57121, or
    // ECertificateError 57122 (untrusted) or 57131 (another certificate than the pinned one).
    void StartTls();

    // Reads one line (LF ends it, trailing CR and LF are removed; at most 1024 bytes are kept, the
    // rest of a longer line is discarded) and returns its reply code. A peer that closes before
    // the line ends raises 10054; a line without end (64 KB and no LF) closes and raises 10040.
    int RecvLine(QByteArray& line);
    // As RecvLine, but keeps up to `maxLength` bytes, and a line longer than that closes the
    // connection and raises 10040: for protocols whose lines carry listings (IMAP's SEARCH).
    int RecvLongLine(QByteArray& line, qsizetype maxLength);
    // Reads a reply that may span lines ("250-..." up to "250 ..."); returns the code of the first
    // line. LastReply holds the last line.
    int RecvLines();
    // Sends `line` and CR LF. A line holding CR or LF raises 10022: it would smuggle in a command.
    void SendLine(const QByteArray& line);
    // As SendLine, but the log and OnLineSent see `shown` (a password masked) instead of `line`.
    void SendSecretLine(const QByteArray& line, const QByteArray& shown);
    // Sends several commands in one write without waiting for replies (RFC 2449 and RFC 2920
    // pipelining). Unlike SendLine it keeps what was received: replies to earlier commands of the
    // same pipeline may already be waiting to be read.
    void SendPipelined(const QByteArrayList& lines);
    // Reads a dot-terminated body into `stream`, one leading "." of each line removed and without
    // the terminating line. `expectedSize` (bytes, or lines with utLines; -1 unknown) only scales
    // the progress.
    void RecvLineStream(QIODevice& stream, qint64 expectedSize);
    // Reads `size` bytes (any number until the peer closes when negative) into `stream`; returns
    // how many arrived, fewer than `size` when the peer closed first.
    qint64 RecvStream(QIODevice& stream, qint64 size);
    enum class TSendMode { Raw, DotStuffed };
    // Sends `stream` from its start. DotStuffed applies dot transparency and ends the data with
    // "." CR LF, in the same write as the last bytes; a line the server sends before that write is
    // done answers nothing and raises EServerError 57130 (see RequireNoUnreadInput). The log shows
    // "Suppressing the message body".
    void SendStream(QIODevice& stream, TSendMode mode = TSendMode::Raw);
    // Request and reply must alternate: when the server sent anything that no request has asked for
    // yet, the connection is closed and EServerError 57130 names `readAlready` (the lines of the reply
    // just read) and the unread lines.
    void RequireNoUnreadInput(const QByteArrayList& readAlready = {});

    // The name the local host goes by, known after Open.
    const QByteArray& LocalHost() const { return m_localHost; }
    // The local address of the connection, known after Connect.
    QHostAddress LocalAddress() const;
    // The host part of Server: the name the certificate must carry.
    QByteArray HostName() const;
    quint16 Port() const { return m_port; }
    // The resolved server address as text, known after Open.
    QString RemoteAddress() const { return m_remoteAddress.toString(); }
    // The numbered text id of the last failure this component raised (10061, 57121, ...), 0 when
    // the failure had no number of its own; what a caller uses to tell failures apart without
    // reading their texts.
    int LastErrorCode() const { return m_raisedError; }

    // Host name or address, optionally ":" and a port number.
    QByteArray Server;
    quint16 DefaultPort = 0;
    // Looked up when Server names no port; unknown services use DefaultPort.
    QByteArray ServiceName;
    // Service and port used instead when Security is secTls.
    quint16 DefaultTlsPort = 0;
    QByteArray TlsServiceName;
    TqmSecurity Security = TqmSecurity::secNone;
    // SHA-256 fingerprint of a certificate trusted although it cannot be verified; empty = none.
    QByteArray PinnedCertificate;
    // The server ("host:port", see ServerPinKey) the pin was accepted for: on any other the pin does
    // not apply. Empty: a pin from before pins named their server, applied to this connection.
    QByteArray PinnedServer;
    // The local address to connect from; null lets the system choose.
    QHostAddress BindAddress;
    // Makes the transport of each connection; empty: a QSslSocket.
    std::function<std::unique_ptr<TnkTransport>()> TransportFactory;
    TqmProtocol Protocol = ptTCP;
    TUnits Units = utOctets;
    // Empty: no transfer log.
    QString LogFileName;
    // The last reply line read.
    QByteArray LastReply;
    // Every line of the last reply RecvLines read.
    QByteArrayList ReplyLines;

    TNotifyEvent OnOpen;
    TNotifyEvent OnConnected;
    TNotifyEvent OnClosing;
    TNotifyEvent OnClosed;
    TNotifyEvent OnCancel;
    TqmErrorEvent OnError;
    TqmProgressEvent OnProgress;
    TqmLineTransmitEvent OnLineSent;
    TqmLineTransmitEvent OnLineReceived;

protected:
    // Raises the numbered text `code` as ESocketError after OnError; 10054 closes first.
    [[noreturn]] void Error(int code);
    [[noreturn]] void TimeOutError();
    [[noreturn]] void CanceledError();
    void RequireConnected();
    // Raises `message` as ESocketError after OnError, like Error does for a numbered text; `code`
    // is the text's id when it has one (see LastErrorCode).
    [[noreturn]] void Fail(QString message, int code = 0);
    // What every raise does first: stops the time-out and lets OnError see `message`.
    void ReportError(QString& message);
    void Log(QByteArrayView line);
    void FireProgress(qint64 position, qint64 total);

private:
    // The one wait: runs the event loop until `done`, cancel, time-out or (with `errorEnds`) a
    // socket error, then raises in that order. The time-out counts silence: data moving either
    // way restarts it.
    void WaitFor(const std::function<bool()>& done, bool errorEnds = true);
    void WaitForInput();
    void Wake() { m_wait.Wake(); }
    void ResolveRemoteHost(const QByteArray& host);
    void GetService(const QByteArray& portText);
    void CreateSocket();
    void ReleaseSocket();
    // The pin when it applies to this connection's host and port, else empty.
    QByteArray ApplicablePin() const;
    [[noreturn]] void TlsFailed(const TnkTlsFailure& failure, const QByteArray& pin);
    [[noreturn]] void CertificateFailed(const TnkTlsFailure& failure, const QByteArray& pin);
    // Everything received and not yet read is dropped.
    void DiscardInput();
    // Moves what the socket received into the line buffer.
    void Pull();
    // Appends the buffered part of the current line to `line`; true when its LF was reached.
    bool TakeLinePart(QByteArray& line, qsizetype maxLength);
    int ReadLine(QByteArray& line, qsizetype keep, qint64 scanLimit);
    void DropConsumedInput();
    void Write(const QByteArray& data);
    void OnSocketError(int code);
    void WriteLogFile() const;

    QPointer<TnkRas> m_ras;
    QPointer<TnkTransport> m_transport;
    TTimeCounter m_timeCounter;
    TEventWait m_wait{m_timeCounter};
    QByteArray m_localHost;
    QHostAddress m_remoteAddress;
    quint16 m_port = 0;
    int m_lookupId = -1;
    QByteArray m_input;
    qsizetype m_inputPos = 0;
    QByteArrayList m_log;
    // The verb of the last command sent ("EHLO"), which a reply without end is named by.
    QByteArray m_lastCommand;

    bool m_canceled = false;
    bool m_hostResolved = false;
    bool m_connected = false;
    bool m_encrypted = false;
    bool m_tlsDone = false;
    TnkTlsFailure m_tlsFailure;
    bool m_closedByPeer = false;
    bool m_errorSeen = false;
    int m_lastError = 0;
    int m_raisedError = 0;
};

#include "nksocket.h"

#include "nkRasCmp.h"
#include "nkcertificate.h"
#include "nkwire.h"
#include "nkwsock.h"
#include "qmconst.h"

#include <QFile>
#include <QHostInfo>

#include <limits>

#include <netdb.h>

namespace {

constexpr int ErrInvalidArgument = 10022;
constexpr int ErrMessageTooLong = 10040;
constexpr int ErrConnectionReset = 10054;
constexpr int ErrHostNotFound = 11001;
constexpr int ErrNoRecovery = 11003;
constexpr int ErrServiceNameRequired = 57005;
constexpr int ErrNotConnected = 57008;

// Bytes asked of a stream per send, and how much may wait in the socket's send buffer before a
// send waits for the peer: large writes avoid a delayed-acknowledgement pause per message.
constexpr qint64 SendChunkSize = 64 * 1024;
constexpr qint64 SendHighWater = 256 * 1024;
constexpr qsizetype CompactThreshold = 64 * 1024;

struct TServerParts {
    QByteArray host;
    QByteArray port;
};

// "host", "host:port", "[v6 address]:port".
TServerParts SplitServer(const QByteArray& server)
{
    if (server.startsWith('[')) {
        const qsizetype close = server.indexOf(']');
        if (close > 0) {
            const QByteArray rest = server.mid(close + 1);
            return {server.mid(1, close - 1), rest.startsWith(':') ? rest.mid(1) : QByteArray()};
        }
    }
    const qsizetype colon = server.indexOf(':');
    if (colon < 0 || server.indexOf(':', colon + 1) >= 0) // none, or a bare IPv6 address
        return {server, {}};
    return {server.left(colon), server.mid(colon + 1)};
}

// IPv4 first: servers listening on 127.0.0.1 are the common case for "localhost".
QHostAddress PreferredAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

} // namespace

namespace detail {

int SocketErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::NetworkError: return 10051;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    default: return int(error);
    }
}

} // namespace detail

TnkSocket::TnkSocket(QObject* parent) : QObject(parent)
{
    m_timeCounter.OnTimedOut = [this] { Wake(); };
}

TnkSocket::~TnkSocket()
{
    delete m_transport.data();
    WriteLogFile();
}

bool TnkSocket::GetWinsockLoaded() const { return Winsock().GetLoaded(); }

void TnkSocket::SetWinsockLoaded(bool loaded)
{
    if (loaded)
        Winsock().LoadWinsock();
    else
        Winsock().FreeWinsock();
}

bool TnkSocket::GetWinsockAvailable() const { return Winsock().GetAvailable(); }

void TnkSocket::ReInit()
{
    m_canceled = false;
    m_timeCounter.ClearTimedOut();
    m_hostResolved = false;
    m_closedByPeer = false;
    m_errorSeen = false;
    m_lastError = 0;
    m_raisedError = 0;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
}

int TnkSocket::GetServerReplyCode(QByteArrayView line) const { return detail::SmtpReplyCode(line); }

void TnkSocket::Verify()
{
    if (Server.trimmed().isEmpty())
        throw ESocketError(qmMessageText(qmServerRequired));
}

void TnkSocket::Open()
{
    if (m_ras)
        m_ras->Dial();
    Fire(OnOpen, *this);
    Verify();
    Winsock().LoadWinsock();
    const TServerParts parts = SplitServer(Server.trimmed());
    m_localHost = QHostInfo::localHostName().toUtf8();
    if (m_localHost.isEmpty())
        m_localHost = parts.host;
    ResolveRemoteHost(parts.host);
    GetService(parts.port);
    CreateSocket();
}

QByteArray TnkSocket::HostName() const { return SplitServer(Server.trimmed()).host; }

QHostAddress TnkSocket::LocalAddress() const { return m_transport ? m_transport->LocalAddress() : QHostAddress(); }

void TnkSocket::ResolveRemoteHost(const QByteArray& host)
{
    if (m_remoteAddress.setAddress(QString::fromLatin1(host)))
        return;
    m_hostResolved = false;
    QList<QHostAddress> found;
    QHostInfo::HostInfoError lookupError = QHostInfo::NoError;
    m_lookupId = QHostInfo::lookupHost(QString::fromUtf8(host), this, [&, this](const QHostInfo& info) {
        if (info.lookupId() != m_lookupId)
            return;
        m_lookupId = -1;
        m_hostResolved = true;
        lookupError = info.error();
        found = info.addresses();
        Wake();
    });
    WaitFor([this] { return m_hostResolved; }, false);
    if (lookupError != QHostInfo::NoError || found.isEmpty())
        Error(lookupError == QHostInfo::HostNotFound || found.isEmpty() ? ErrHostNotFound : ErrNoRecovery);
    m_remoteAddress = PreferredAddress(found);
}

void TnkSocket::GetService(const QByteArray& portText)
{
    const uint port = portText.toUInt();
    if (port > 0 && port <= 0xFFFF) {
        m_port = quint16(port);
        return;
    }
    const bool tls = Security == TqmSecurity::secTls;
    const QByteArray& serviceName = tls ? TlsServiceName : ServiceName;
    if (serviceName.isEmpty())
        Error(ErrServiceNameRequired);
    if (m_canceled)
        CanceledError();
    // The services database is a local file: looking it up does not wait on the network.
    const servent* service = getservbyname(serviceName.constData(), Protocol == ptUDP ? "udp" : "tcp");
    m_port = service ? ntohs(quint16(service->s_port)) : tls ? DefaultTlsPort : DefaultPort;
}

void TnkSocket::CreateSocket()
{
    ReleaseSocket();
    m_transport = TransportFactory ? TransportFactory().release() : new TnkSslTransport;
    connect(m_transport, &TnkTransport::Connected, this, [this] {
        m_connected = true;
        Wake();
    });
    connect(m_transport, &TnkTransport::Encrypted, this, [this] {
        m_encrypted = true;
        m_tlsDone = true;
        Wake();
    });
    connect(m_transport, &TnkTransport::TlsFailed, this, [this](const TnkTlsFailure& failure) {
        m_tlsFailure = failure;
        m_tlsDone = true;
        Wake();
    });
    for (auto signal : {&TnkTransport::ReadyRead, &TnkTransport::BytesWritten})
        connect(m_transport, signal, this, [this] {
            m_timeCounter.TimerOn();
            Wake();
        });
    connect(m_transport, &TnkTransport::Disconnected, this, [this] {
        m_closedByPeer = true;
        Wake();
    });
    connect(m_transport, &TnkTransport::ErrorOccurred, this, &TnkSocket::OnSocketError);
}

void TnkSocket::OnSocketError(int code)
{
    // The peer closing is not an error yet: what it sent before may still be read.
    if (code == ErrConnectionReset)
        m_closedByPeer = true;
    else {
        m_errorSeen = true;
        m_lastError = code;
    }
    Wake();
}

void TnkSocket::ReleaseSocket()
{
    if (!m_transport)
        return;
    TnkTransport* transport = m_transport;
    m_transport = nullptr;
    transport->disconnect(this);
    transport->Abort();
    // Close may run inside one of the transport's own signals.
    transport->deleteLater();
    m_connected = false;
    m_encrypted = false;
    m_input.clear();
    m_inputPos = 0;
}

void TnkSocket::Connect()
{
    if (m_canceled)
        CanceledError();
    if (!m_transport)
        CreateSocket();
    m_connected = false;
    m_transport->ConnectToHost(m_remoteAddress, m_port, BindAddress);
    // A refused or unreachable connection ends the wait at once with its error.
    WaitFor([this] { return m_connected; }, true);
    if (Security == TqmSecurity::secTls)
        StartTls();
    Fire(OnConnected, *this);
}

void TnkSocket::StartTls()
{
    RequireConnected();
    Pull();
    if (m_inputPos < m_input.size()) {
        Close();
        Fail(qmMessageText(qmTlsInjection), qmTlsInjection);
    }
    m_tlsDone = false;
    m_tlsFailure = {};
    const QByteArray pin = ApplicablePin();
    m_transport->StartTls({QString::fromUtf8(HostName()), pin});
    WaitFor([this] { return m_tlsDone || m_closedByPeer; });
    if (!m_encrypted)
        TlsFailed(m_tlsFailure, pin);
}

QByteArray TnkSocket::ApplicablePin() const
{
    return PinAppliesTo(PinnedServer, HostName(), m_port) ? PinnedCertificate.trimmed() : QByteArray();
}

void TnkSocket::TlsFailed(const TnkTlsFailure& failure, const QByteArray& pin)
{
    Close();
    if (!failure.Fingerprint.isEmpty())
        CertificateFailed(failure, pin);
    const QString reason = failure.Reason.isEmpty() ? qmMessageText(ErrConnectionReset) : failure.Reason;
    Fail(qmMessageText(qmTlsFailed).arg(QString::fromUtf8(HostName()), reason), qmTlsFailed);
}

// Raised like Fail, but as ECertificateError with what the user needs to decide on the certificate.
void TnkSocket::CertificateFailed(const TnkTlsFailure& failure, const QByteArray& pin)
{
    TnkCertificateFacts facts = CertificateFacts(failure.Certificate, failure.Errors);
    facts.Host = HostName();
    facts.Port = m_port;
    facts.Fingerprint = failure.Fingerprint;
    facts.ReasonText = failure.Reason;
    facts.PinnedFingerprint = ReplacedPin(pin, failure.Fingerprint);
    const QString host = QString::fromUtf8(HostName());
    const QString fingerprint = QString::fromLatin1(failure.Fingerprint);
    QString message = facts.Changed()
                          ? qmMessageText(qmCertificateChanged).arg(host, failure.Reason, QString::fromLatin1(pin), fingerprint)
                          : qmMessageText(qmCertificateRejected).arg(host, failure.Reason, fingerprint);
    m_raisedError = facts.Changed() ? qmCertificateChanged : qmCertificateRejected;
    ReportError(message);
    throw ECertificateError(message, facts);
}

void TnkSocket::Close()
{
    if (m_transport) {
        Fire(OnClosing, *this);
        ReleaseSocket();
        Fire(OnClosed, *this);
    }
    if (m_ras)
        m_ras->Cancel();
}

void TnkSocket::Cancel()
{
    m_canceled = true;
    Fire(OnCancel, *this);
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    Close();
    Wake();
}

void TnkSocket::WaitFor(const std::function<bool()>& done, bool errorEnds)
{
    m_wait.Run([&] { return done() || m_canceled || (errorEnds && m_errorSeen); });
    if (m_canceled)
        CanceledError();
    if (m_timeCounter.TimedOut())
        TimeOutError();
    if (errorEnds && m_errorSeen && !done())
        Error(m_lastError);
}

void TnkSocket::WaitForInput()
{
    WaitFor([this] { return m_closedByPeer || !m_transport || m_transport->BytesAvailable() > 0; });
    if (!m_transport)
        Error(ErrNotConnected);
}

void TnkSocket::Error(int code)
{
    m_raisedError = code;
    if (code == ErrConnectionReset) {
        m_timeCounter.TimerOff();
        QString message = qmMessageText(code);
        if (OnError)
            OnError(*this, message);
        Close();
        throw ESocketError(message);
    }
    Fail(qmMessageText(code), code);
}

void TnkSocket::Fail(QString message, int code)
{
    m_raisedError = code;
    ReportError(message);
    throw ESocketError(message);
}

void TnkSocket::ReportError(QString& message)
{
    m_timeCounter.TimerOff();
    if (OnError)
        OnError(*this, message);
}

void TnkSocket::TimeOutError()
{
    m_raisedError = qmOperationTimedOut;
    m_timeCounter.TimerOff();
    QString message = qmMessageText(qmOperationTimedOut);
    if (OnError)
        OnError(*this, message);
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    Close();
    throw ETimedOutError(qmMessageText(qmOperationTimedOut));
}

void TnkSocket::CanceledError()
{
    m_raisedError = qmOperationCanceled;
    m_timeCounter.TimerOff();
    QString message = qmMessageText(qmOperationCanceled);
    if (OnError)
        OnError(*this, message);
    throw ECanceledError(qmMessageText(qmOperationCanceled));
}

void TnkSocket::RequireConnected()
{
    if (!m_transport || !m_connected)
        Error(ErrNotConnected);
}

void TnkSocket::Log(QByteArrayView line)
{
    if (!LogFileName.isEmpty())
        m_log.append(line.toByteArray());
}

void TnkSocket::FireProgress(qint64 position, qint64 total)
{
    if (!OnProgress)
        return;
    const int percent = total < 1 ? -1 : int(qMin<qint64>(100, (position * 100 + total / 2) / total));
    OnProgress(*this, percent, position);
}

void TnkSocket::Pull()
{
    if (m_transport && m_transport->BytesAvailable() > 0)
        m_input.append(m_transport->ReadAll());
}

void TnkSocket::DropConsumedInput()
{
    if (m_inputPos == m_input.size()) {
        m_input.clear();
        m_inputPos = 0;
    } else if (m_inputPos > CompactThreshold) {
        m_input.remove(0, m_inputPos);
        m_inputPos = 0;
    }
}

bool TnkSocket::TakeLinePart(QByteArray& line, qsizetype maxLength)
{
    const qsizetype lineFeed = m_input.indexOf('\n', m_inputPos);
    const qsizetype end = lineFeed < 0 ? m_input.size() : lineFeed + 1;
    const qsizetype room = maxLength - line.size();
    if (room > 0)
        line.append(QByteArrayView(m_input).sliced(m_inputPos, qMin(room, end - m_inputPos)));
    m_inputPos = end;
    DropConsumedInput();
    return lineFeed >= 0;
}

int TnkSocket::RecvLine(QByteArray& line)
{
    return ReadLine(line, detail::MaxLineLength, detail::MaxLineScan);
}

int TnkSocket::RecvLongLine(QByteArray& line, qsizetype maxLength)
{
    // Room for the line end and one byte more, which tells a line cut at the limit.
    const int code = ReadLine(line, maxLength + 3, maxLength + 3);
    if (line.size() > maxLength) {
        Close();
        Error(ErrMessageTooLong);
    }
    return code;
}

int TnkSocket::ReadLine(QByteArray& line, qsizetype keep, qint64 scanLimit)
{
    RequireConnected();
    line.clear();
    qint64 scanned = 0;
    for (;;) {
        Pull();
        scanned += m_input.size() - m_inputPos;
        if (TakeLinePart(line, keep))
            break;
        if (m_closedByPeer)
            Error(ErrConnectionReset);
        if (scanned > scanLimit) {
            Close();
            Error(ErrMessageTooLong);
        }
        WaitForInput();
    }
    line = detail::StripLineEnd(line).toByteArray();
    LastReply = line;
    Log(line);
    if (OnLineReceived)
        OnLineReceived(*this, line);
    return GetServerReplyCode(line);
}

int TnkSocket::RecvLines()
{
    // A reply that never ends would otherwise keep the client reading for ever.
    constexpr int MaxReplyLines = 1000;
    QByteArray line;
    const int code = RecvLine(line);
    ReplyLines = {line};
    if (!detail::IsContinuationLine(line))
        return code;
    for (int count = 1; !detail::EndsMultiLineReply(line, code); ++count) {
        if (count > MaxReplyLines) {
            Close();
            throw EServerError(qmMessageText(qmReplyWithoutEnd).arg(QString::fromUtf8(m_lastCommand)).arg(MaxReplyLines).arg(qmReplyText(line)));
        }
        RecvLine(line);
        ReplyLines.append(line);
    }
    return code;
}

void TnkSocket::Write(const QByteArray& data)
{
    if (!m_transport->Write(data))
        Error(ErrConnectionReset);
    while (m_transport && m_transport->BytesToWrite() > SendHighWater) {
        WaitFor([this] { return m_closedByPeer || !m_transport || m_transport->BytesToWrite() <= SendHighWater; });
        if (m_closedByPeer || !m_transport)
            Error(ErrConnectionReset);
    }
}

void TnkSocket::SendLine(const QByteArray& line) { SendSecretLine(line, line); }

void TnkSocket::SendSecretLine(const QByteArray& line, const QByteArray& shown)
{
    RequireConnected();
    if (line.contains('\r') || line.contains('\n'))
        Error(ErrInvalidArgument);
    // Request and reply alternate: whatever the server sent unasked before this command (more
    // lines after a "." for instance) would be taken for the reply to it.
    DiscardInput();
    Write(line + "\r\n");
    m_lastCommand = shown.left(shown.indexOf(' '));
    Log(shown);
    if (OnLineSent)
        OnLineSent(*this, shown);
}

void TnkSocket::SendPipelined(const QByteArrayList& lines)
{
    if (lines.isEmpty())
        return;
    RequireConnected();
    QByteArray data;
    for (const QByteArray& line : lines) {
        if (line.contains('\r') || line.contains('\n'))
            Error(ErrInvalidArgument);
        data += line + "\r\n";
    }
    Write(data);
    m_lastCommand = lines.constLast().left(lines.constLast().indexOf(' '));
    for (const QByteArray& line : lines) {
        Log(line);
        if (OnLineSent)
            OnLineSent(*this, line);
    }
}

void TnkSocket::DiscardInput()
{
    Pull();
    m_input.clear();
    m_inputPos = 0;
}

void TnkSocket::RequireNoUnreadInput(const QByteArrayList& readAlready)
{
    Pull();
    if (m_inputPos == m_input.size())
        return;
    // A few lines tell what the server meant; a flood would only bury it.
    constexpr qsizetype MaxShownLines = 10;
    QByteArrayList shown = readAlready;
    for (const QByteArray& line : m_input.mid(m_inputPos).split('\n')) {
        const QByteArray text = detail::StripLineEnd(line).toByteArray().left(detail::MaxLineLength);
        if (text.isEmpty())
            continue;
        if (shown.size() == MaxShownLines)
            break;
        Log(text);
        shown.append(text);
    }
    QString message = qmMessageText(qmReplyOutOfTurn).arg(qmReplyText(shown.join(" / ")));
    Close();
    ReportError(message);
    throw EServerError(message);
}

void TnkSocket::RecvLineStream(QIODevice& stream, qint64 expectedSize)
{
    RequireConnected();
    constexpr qint64 BytesPerLine = 76;
    if (Units == utLines && expectedSize != -1)
        expectedSize = expectedSize > std::numeric_limits<qint64>::max() / BytesPerLine ? -1 : expectedSize * BytesPerLine;
    detail::TDotDecoder decoder;
    QByteArray decoded;
    qint64 transferred = 0;
    for (;;) {
        Pull();
        m_inputPos += decoder.Feed(QByteArrayView(m_input).sliced(m_inputPos), decoded);
        DropConsumedInput();
        if (!decoded.isEmpty()) {
            if (stream.write(decoded) != decoded.size())
                throw EMessageError(stream.errorString());
            transferred += decoded.size();
            decoded.clear();
            FireProgress(transferred, expectedSize);
        }
        if (decoder.Finished())
            return;
        if (m_closedByPeer)
            Error(ErrConnectionReset);
        WaitForInput();
    }
}

qint64 TnkSocket::RecvStream(QIODevice& stream, qint64 size)
{
    RequireConnected();
    qint64 received = 0;
    for (;;) {
        Pull();
        const qint64 available = m_input.size() - m_inputPos;
        const qint64 take = size < 0 ? available : qMin(available, size - received);
        if (take > 0) {
            if (stream.write(m_input.constData() + m_inputPos, take) != take)
                throw EMessageError(stream.errorString());
            m_inputPos += take;
            DropConsumedInput();
            received += take;
            FireProgress(received, size);
        }
        if (size >= 0 && received >= size)
            return received;
        if (m_closedByPeer) {
            Fire(OnClosed, *this);
            return received;
        }
        WaitForInput();
    }
}

void TnkSocket::SendStream(QIODevice& stream, TSendMode mode)
{
    RequireConnected();
    if (!stream.seek(0))
        throw EMessageError(stream.errorString());
    const qint64 total = stream.size();
    detail::TDotEncoder encoder;
    QByteArray data;
    do {
        const QByteArray chunk = stream.read(SendChunkSize);
        if (mode == TSendMode::DotStuffed) {
            encoder.Encode(chunk, data);
            if (stream.atEnd())
                data += encoder.Terminator();
            // Checked before the terminator goes out too: then the server never sees the end of
            // a message whose fate its replies could no longer tell.
            RequireNoUnreadInput();
        } else
            data = chunk;
        Write(data);
        data.clear();
        FireProgress(stream.pos(), total);
    } while (!stream.atEnd());
    Log(detail::SuppressedBodyLogText);
    if (OnProgress)
        OnProgress(*this, 0, 0);
}

void TnkSocket::WriteLogFile() const
{
    if (LogFileName.isEmpty())
        return;
    QFile file(LogFileName);
    // The log names the account, the server and every recipient, blind copies too.
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly) || !file.setPermissions(ownerOnly))
        return;
    for (const QByteArray& line : m_log)
        file.write(detail::LogLineText(line) + '\n');
}

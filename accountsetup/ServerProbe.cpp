#include "ServerProbe.h"

#include <QSslSocket>
#include <QTimer>

#include <optional>

namespace {

// The probe's one IMAP command goes under this tag.
constexpr char ImapTag[] = "P1";

std::optional<bool> PopCapaOffers(const QList<QByteArray>& lines)
{
    bool offered = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        // RFC 2449: "-ERR" means no CAPA at all, and so no STLS to rely on.
        if (i == 0 && !line.startsWith("+OK"))
            return false;
        if (line == ".")
            return offered;
        offered = offered || line.toUpper() == "STLS";
    }
    return std::nullopt;
}

std::optional<bool> ImapCapabilityOffers(const QList<QByteArray>& lines)
{
    bool offered = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed().toUpper();
        if (line.startsWith("* CAPABILITY "))
            offered = offered || line.split(' ').contains("STARTTLS");
        if (line.startsWith(QByteArray(ImapTag) + ' '))
            return line.startsWith(QByteArray(ImapTag) + " OK") && offered;
    }
    return std::nullopt;
}

std::optional<bool> EhloOffers(const QList<QByteArray>& lines)
{
    bool offered = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        offered = offered || line.mid(4).trimmed().toUpper() == "STARTTLS";
        // RFC 5321, 4.2.1: the last line of a reply has no hyphen after the code.
        if (line.size() == 3 || (line.size() > 3 && line.at(3) != '-'))
            return line.startsWith("250") && offered;
    }
    return std::nullopt;
}

QByteArray UpgradeQuestion(TProbedProtocol protocol)
{
    switch (protocol) {
    case TProbedProtocol::Pop3: return "CAPA\r\n";
    case TProbedProtocol::Imap: return QByteArray(ImapTag) + " CAPABILITY\r\n";
    case TProbedProtocol::Smtp: break;
    }
    return "EHLO localhost\r\n";
}

QByteArray Farewell(TProbedProtocol protocol)
{
    return protocol == TProbedProtocol::Imap ? "P2 LOGOUT\r\n" : "QUIT\r\n";
}

} // namespace

namespace detail {

std::optional<bool> UpgradeOffered(TProbedProtocol protocol, const QByteArray& reply)
{
    // The last element is what follows the last line end: an unfinished line or nothing.
    const QList<QByteArray> lines = reply.split('\n');
    switch (protocol) {
    case TProbedProtocol::Pop3: return PopCapaOffers(lines);
    case TProbedProtocol::Imap: return ImapCapabilityOffers(lines);
    case TProbedProtocol::Smtp: break;
    }
    return EhloOffers(lines);
}

bool GreetingOf(TProbedProtocol protocol, const QByteArray& greeting)
{
    switch (protocol) {
    case TProbedProtocol::Pop3: return greeting.startsWith("+OK");
    // A server that greets with PREAUTH lets anyone in unasked: nothing to propose.
    case TProbedProtocol::Imap: return greeting.startsWith("* OK");
    case TProbedProtocol::Smtp: break;
    }
    return greeting.startsWith("220");
}

} // namespace detail

TServerProbe::TServerProbe(TProbedProtocol protocol, const QString& host, quint16 port, TqmSecurity security, QObject* parent)
    : QObject(parent), Protocol(protocol), Host(host), Port(port), Security(security)
{
}

TServerProbe::~TServerProbe()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        delete m_socket;
    }
}

void TServerProbe::Start(int timeOutMs)
{
    m_socket = new QSslSocket;
    connect(m_socket, &QSslSocket::readyRead, this, &TServerProbe::ReadReply);
    connect(m_socket, &QSslSocket::errorOccurred, this, [this] { Finish(TProbeResult::Failed); });
    connect(m_socket, &QSslSocket::disconnected, this, [this] { Finish(TProbeResult::Failed); });
    // Only whether the server speaks TLS matters here; the connection test verifies the certificate.
    connect(m_socket, &QSslSocket::sslErrors, m_socket, [socket = m_socket.data()] { socket->ignoreSslErrors(); });
    QTimer::singleShot(timeOutMs, this, [this] { Finish(TProbeResult::Failed); });
    if (Security == TqmSecurity::secTls)
        m_socket->connectToHostEncrypted(Host, Port);
    else
        m_socket->connectToHost(Host, Port);
}

void TServerProbe::ReadReply()
{
    m_reply += m_socket->readAll();
    if (m_reply.size() > 64 * 1024)
        return Finish(TProbeResult::Failed);
    if (!m_askedForUpgrade) {
        if (!m_reply.contains('\n'))
            return;
        if (!detail::GreetingOf(Protocol, m_reply))
            return Finish(TProbeResult::Failed);
        if (Security == TqmSecurity::secTls)
            return Finish(TProbeResult::Encrypted);
        m_askedForUpgrade = true;
        m_reply.clear();
        m_socket->write(UpgradeQuestion(Protocol));
        return;
    }
    TProbeResult result = TProbeResult::Pending;
    if (Judge(result))
        Finish(result);
}

bool TServerProbe::Judge(TProbeResult& result) const
{
    const std::optional<bool> offered = detail::UpgradeOffered(Protocol, m_reply);
    if (!offered)
        return false;
    result = *offered ? TProbeResult::StartTlsOffered : TProbeResult::NoEncryption;
    return true;
}

void TServerProbe::Finish(TProbeResult result)
{
    if (m_result != TProbeResult::Pending)
        return;
    m_result = result;
    if (m_socket) {
        m_socket->disconnect(this);
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            m_socket->write(Farewell(Protocol));
        m_socket->disconnectFromHost();
    }
    if (OnFinished)
        OnFinished();
}

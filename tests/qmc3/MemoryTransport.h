#pragma once
// An in-memory transport that plays one server dialogue, written like a transcript:
//   "S: text"        the server sends text and CR LF
//   "C: text"        the client's next line must be text ("C: AUTH *" matches any rest)
//   "C: <DATA>"      takes the client's lines up to and including the "." line
//   "TLS"            the client must start TLS now; the handshake succeeds
//   "TLSFAIL reason" the client must start TLS now; the handshake fails for `reason`
//   "CERTFAIL reason" as TLSFAIL, but the certificate was the reason (a fingerprint comes along)
//   "CLOSE"          the server closes the connection
// The transport answers at once, without sockets or timers; deviations land in Errors().

#include "nktransport.h"

#include <QByteArrayList>
#include <QStringList>

#include <memory>

class MemoryTransport final : public TnkTransport {
    Q_OBJECT

public:
    explicit MemoryTransport(QByteArrayList script) : m_script(std::move(script)) {}

    // A factory for TnkSocket::TransportFactory that hands out `transport` once; the socket owns it.
    static std::function<std::unique_ptr<TnkTransport>()> Factory(MemoryTransport*& transport, QByteArrayList script);

    void ConnectToHost(const QHostAddress& address, quint16 port, const QHostAddress& bindAddress) override;
    void StartTls(const TnkTlsOptions& options) override;
    qint64 BytesAvailable() const override { return m_toClient.size(); }
    QByteArray ReadAll() override { return std::exchange(m_toClient, {}); }
    bool Write(const QByteArray& data) override;
    qint64 BytesToWrite() const override { return 0; }
    void Abort() override { m_aborted = true; }
    QHostAddress LocalAddress() const override { return QHostAddress(QHostAddress::LocalHost); }

    const QStringList& Errors() const { return m_errors; }
    // Everything the client sent before TLS was on, and all it sent.
    const QByteArray& SentInClear() const { return m_sentInClear; }
    const QByteArray& Sent() const { return m_sent; }
    bool Finished() const { return m_step >= m_script.size(); }
    bool Aborted() const { return m_aborted; }
    const TnkTlsOptions& TlsOptions() const { return m_tlsOptions; }

private:
    void Run();
    bool Step();
    bool TakeLine(QByteArray& line);
    void Later(const std::function<void()>& signal);

    QByteArrayList m_script;
    qsizetype m_step = 0;
    QByteArray m_toClient;
    QByteArray m_fromClient;
    QByteArray m_sent;
    QByteArray m_sentInClear;
    QStringList m_errors;
    TnkTlsOptions m_tlsOptions;
    bool m_tlsRequested = false;
    bool m_encrypted = false;
    bool m_aborted = false;
};

#pragma once
// The byte stream under the socket client: connect, switch on TLS, read, write, close, and the
// events that wake a waiting client. TnkSslTransport is the real one (QSslSocket, the system CA
// store and host name verification); tests put an in-memory transport in its place to play
// broken servers without timed waits on loopback sockets.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

class QSslSocket;

// What a TLS handshake needs besides the connection.
struct TnkTlsOptions {
    // The name the certificate must be issued to: the host name (or address) the user gave.
    QString PeerName;
    // SHA-256 fingerprint (hex, colons and case ignored) of a certificate the user chose to
    // trust although it cannot be verified; empty = none.
    QByteArray PinnedCertificate;
};

// Why a TLS handshake failed. `Fingerprint` is set when the certificate was the reason, so that
// the user can compare it and pin it; `Certificate` and `Errors` then say what it is and what is
// wrong with it.
struct TnkTlsFailure {
    QString Reason;
    QByteArray Fingerprint;
    QSslCertificate Certificate = QSslCertificate();
    QList<QSslError::SslError> Errors = {};
};

class TnkTransport : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // `bindAddress` null: the system chooses the local address.
    virtual void ConnectToHost(const QHostAddress& address, quint16 port, const QHostAddress& bindAddress) = 0;
    // Starts the handshake on the open connection; Encrypted or TlsFailed follows.
    virtual void StartTls(const TnkTlsOptions& options) = 0;
    virtual qint64 BytesAvailable() const = 0;
    virtual QByteArray ReadAll() = 0;
    // Queues all of `data`; false when the transport cannot take it.
    virtual bool Write(const QByteArray& data) = 0;
    virtual qint64 BytesToWrite() const = 0;
    virtual void Abort() = 0;
    virtual QHostAddress LocalAddress() const = 0;

signals:
    void Connected();
    void Encrypted();
    void ReadyRead();
    void BytesWritten();
    void Disconnected();
    // A numbered socket error text id (10061 refused, ...).
    void ErrorOccurred(int code);
    void TlsFailed(const TnkTlsFailure& failure);
};

class TnkSslTransport final : public TnkTransport {
    Q_OBJECT

public:
    explicit TnkSslTransport(QObject* parent = nullptr);
    ~TnkSslTransport() override;

    void ConnectToHost(const QHostAddress& address, quint16 port, const QHostAddress& bindAddress) override;
    void StartTls(const TnkTlsOptions& options) override;
    qint64 BytesAvailable() const override;
    QByteArray ReadAll() override;
    bool Write(const QByteArray& data) override;
    qint64 BytesToWrite() const override;
    void Abort() override;
    QHostAddress LocalAddress() const override;

private:
    void OnSslErrors(const QList<QSslError>& errors);
    void OnSocketError();

    QPointer<QSslSocket> m_socket;
    TnkTlsOptions m_tls;
    bool m_handshaking = false;
    TnkTlsFailure m_certificateFailure;
};

namespace detail {

// SHA-256 of the certificate's DER form, lower-case hex pairs joined by ":".
QByteArray CertificateFingerprint(const QSslCertificate& certificate);
// A certificate that failed verification is still trusted when the user pinned exactly it.
bool PinnedCertificateMatches(const QSslCertificate& certificate, QByteArrayView pinned);
// The verification errors as one line of text.
QString TlsErrorsText(const QList<QSslError>& errors);
// The extra CA certificates of LUMARO_TEST_CA_FILE (a PEM file), empty when it is not set.
QList<QSslCertificate> TestCaCertificates();

} // namespace detail

#include "nktransport.h"

#include "nkcertificate.h"
#include "nksocket.h"

#include <QCryptographicHash>
#include <QSslConfiguration>
#include <QSslSocket>

namespace {

// What QtNetwork may read ahead of us: a server that floods the connection cannot make it grow.
constexpr qint64 ReadBufferSize = 256 * 1024;

} // namespace

namespace detail {

QByteArray CertificateFingerprint(const QSslCertificate& certificate)
{
    return certificate.digest(QCryptographicHash::Sha256).toHex(':');
}

bool PinnedCertificateMatches(const QSslCertificate& certificate, QByteArrayView pinned)
{
    return !certificate.isNull() && SameFingerprint(CertificateFingerprint(certificate), pinned);
}

QString TlsErrorsText(const QList<QSslError>& errors)
{
    QStringList texts;
    for (const QSslError& error : errors)
        if (!texts.contains(error.errorString()))
            texts.append(error.errorString());
    return texts.join(QStringLiteral("; "));
}

QList<QSslCertificate> TestCaCertificates()
{
    const QString path = qEnvironmentVariable("LUMARO_TEST_CA_FILE");
    return path.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(path, QSsl::Pem);
}

} // namespace detail

TnkSslTransport::TnkSslTransport(QObject* parent) : TnkTransport(parent), m_socket(new QSslSocket)
{
    m_socket->setReadBufferSize(ReadBufferSize);
    connect(m_socket, &QSslSocket::connected, this, [this] {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit Connected();
    });
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        m_handshaking = false;
        emit Encrypted();
    });
    connect(m_socket, &QSslSocket::readyRead, this, &TnkTransport::ReadyRead);
    connect(m_socket, &QSslSocket::bytesWritten, this, &TnkTransport::BytesWritten);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &TnkTransport::BytesWritten);
    connect(m_socket, &QSslSocket::disconnected, this, &TnkTransport::Disconnected);
    connect(m_socket, &QSslSocket::sslErrors, this, &TnkSslTransport::OnSslErrors);
    connect(m_socket, &QSslSocket::errorOccurred, this, &TnkSslTransport::OnSocketError);
}

TnkSslTransport::~TnkSslTransport()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        // The transport may go inside one of the socket's own signals.
        m_socket->deleteLater();
    }
}

void TnkSslTransport::ConnectToHost(const QHostAddress& address, quint16 port, const QHostAddress& bindAddress)
{
    if (!bindAddress.isNull() && !m_socket->bind(bindAddress)) {
        emit ErrorOccurred(detail::SocketErrorCode(m_socket->error()));
        return;
    }
    m_socket->connectToHost(address, port);
}

void TnkSslTransport::StartTls(const TnkTlsOptions& options)
{
    m_tls = options;
    m_handshaking = true;
    m_certificateFailure = {};
    QSslConfiguration configuration = m_socket->sslConfiguration();
    configuration.addCaCertificates(detail::TestCaCertificates());
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(options.PeerName);
    m_socket->startClientEncryption();
}

void TnkSslTransport::OnSslErrors(const QList<QSslError>& errors)
{
    const QSslCertificate certificate = m_socket->peerCertificate();
    if (detail::PinnedCertificateMatches(certificate, m_tls.PinnedCertificate)) {
        m_socket->ignoreSslErrors();
        return;
    }
    QList<QSslError::SslError> kinds;
    for (const QSslError& error : errors)
        kinds.append(error.error());
    m_certificateFailure = {detail::TlsErrorsText(errors), detail::CertificateFingerprint(certificate), certificate, kinds};
}

void TnkSslTransport::OnSocketError()
{
    if (!m_handshaking) {
        emit ErrorOccurred(detail::SocketErrorCode(m_socket->error()));
        return;
    }
    m_handshaking = false;
    emit TlsFailed(m_certificateFailure.Reason.isEmpty() ? TnkTlsFailure{m_socket->errorString(), {}} : m_certificateFailure);
}

qint64 TnkSslTransport::BytesAvailable() const { return m_socket->bytesAvailable(); }

QByteArray TnkSslTransport::ReadAll() { return m_socket->readAll(); }

// Handed to the system at once: Qt would otherwise wait for the next pass of the event loop, which
// costs a wake-up per command and holds back a pipeline until the client waits for a reply.
bool TnkSslTransport::Write(const QByteArray& data)
{
    if (m_socket->write(data) != data.size())
        return false;
    m_socket->flush();
    return true;
}

qint64 TnkSslTransport::BytesToWrite() const { return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite(); }

void TnkSslTransport::Abort() { m_socket->abort(); }

QHostAddress TnkSslTransport::LocalAddress() const { return m_socket->localAddress(); }

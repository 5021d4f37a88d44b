#pragma once
// A server certificate the system does not trust, as the user gets to see it, and the rule that
// ties a trusted certificate (a pin) to one server.
//
// A pin is the SHA-256 fingerprint of one certificate plus the server it was accepted for,
// "host:port" as the connection used them. It trusts that certificate on that server only: the
// same certificate on another port (a POP3 and an SMTP server of one provider often share one)
// stays untrusted until the user trusts it there as well. A pin stored before pins named their
// server has an empty server and applies wherever its owner hands it on.

#include "qmexcept.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

// Why a certificate failed verification, in kinds the programs name in the user's language.
enum class TnkCertificateProblem { SelfSigned, UnknownIssuer, Expired, NotYetValid, HostNameMismatch, Revoked, Other };

struct TnkCertificateFacts {
    // The host as the account names it and the port the connection used.
    QByteArray Host;
    quint16 Port = 0;
    QString Subject;
    QString Issuer;
    QDateTime ValidFrom;
    QDateTime ValidUntil;
    // SHA-256 of the certificate, lower-case hex pairs joined by ":".
    QByteArray Fingerprint;
    // Each kind once, in the order verification reported them.
    QList<TnkCertificateProblem> Problems;
    // Qt's own (English) description of the errors, for logs.
    QString ReasonText;
    // The pin that applied to this server and names another certificate: the server's certificate
    // changed since the user trusted it. Empty when no pin applied.
    QByteArray PinnedFingerprint;

    bool Changed() const { return !PinnedFingerprint.isEmpty(); }
};

// A connection refused because of its certificate; the message is the library's English text.
class ECertificateError : public ESocketError {
public:
    ECertificateError(QString message, TnkCertificateFacts facts) : ESocketError(std::move(message)), m_facts(std::move(facts)) {}
    const TnkCertificateFacts& Facts() const noexcept { return m_facts; }

private:
    TnkCertificateFacts m_facts;
};

TnkCertificateProblem CertificateProblemOf(QSslError::SslError error);
// Subject, issuer and validity of `certificate` and the problems of `errors`; host, port,
// fingerprint and pin are the caller's.
TnkCertificateFacts CertificateFacts(const QSslCertificate& certificate, const QList<QSslError::SslError>& errors);
// "CN=mail.example.org, O=Example" from the certificate's subject or issuer fields.
QString CertificateNameText(const QSslCertificate& certificate, bool issuer);

// "host:port" in lower case, the host without blanks: the server a pin belongs to.
QByteArray ServerPinKey(QByteArrayView host, quint16 port);
// Whether a pin accepted for `pinServer` applies to a connection to host:port. An empty
// `pinServer` (a pin from before pins named their server) applies to any.
bool PinAppliesTo(QByteArrayView pinServer, QByteArrayView host, quint16 port);
// Hex digits only, lower case: "AB:cd 01" and "abcd01" are the same fingerprint.
QByteArray NormalizedFingerprint(QByteArrayView fingerprint);
bool SameFingerprint(QByteArrayView a, QByteArrayView b);
// The pin a failed certificate replaced: `applicablePin` when it names another certificate than
// `fingerprint`, else empty. A certificate that changed on a pinned server is never trusted.
QByteArray ReplacedPin(QByteArrayView applicablePin, QByteArrayView fingerprint);

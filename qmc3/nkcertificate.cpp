#include "nkcertificate.h"

#include <cctype>

TnkCertificateProblem CertificateProblemOf(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return TnkCertificateProblem::SelfSigned;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::InvalidCaCertificate:
    case QSslError::CertificateUntrusted:
        return TnkCertificateProblem::UnknownIssuer;
    case QSslError::CertificateExpired:
        return TnkCertificateProblem::Expired;
    case QSslError::CertificateNotYetValid:
        return TnkCertificateProblem::NotYetValid;
    case QSslError::HostNameMismatch:
        return TnkCertificateProblem::HostNameMismatch;
    case QSslError::CertificateRevoked:
        return TnkCertificateProblem::Revoked;
    default:
        return TnkCertificateProblem::Other;
    }
}

QString CertificateNameText(const QSslCertificate& certificate, bool issuer)
{
    static const QList<QSslCertificate::SubjectInfo> fields{QSslCertificate::CommonName, QSslCertificate::Organization,
                                                            QSslCertificate::OrganizationalUnitName,
                                                            QSslCertificate::LocalityName, QSslCertificate::CountryName};
    static const QStringList names{QStringLiteral("CN"), QStringLiteral("O"), QStringLiteral("OU"), QStringLiteral("L"),
                                   QStringLiteral("C")};
    QStringList parts;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QStringList values = issuer ? certificate.issuerInfo(fields.at(i)) : certificate.subjectInfo(fields.at(i));
        for (const QString& value : values)
            parts.append(names.at(i) + QLatin1Char('=') + value);
    }
    return parts.join(QStringLiteral(", "));
}

TnkCertificateFacts CertificateFacts(const QSslCertificate& certificate, const QList<QSslError::SslError>& errors)
{
    TnkCertificateFacts facts;
    if (!certificate.isNull()) {
        facts.Subject = CertificateNameText(certificate, false);
        facts.Issuer = CertificateNameText(certificate, true);
        facts.ValidFrom = certificate.effectiveDate();
        facts.ValidUntil = certificate.expiryDate();
    }
    for (const QSslError::SslError error : errors) {
        const TnkCertificateProblem problem = CertificateProblemOf(error);
        if (!facts.Problems.contains(problem))
            facts.Problems.append(problem);
    }
    return facts;
}

QByteArray ServerPinKey(QByteArrayView host, quint16 port)
{
    return host.toByteArray().trimmed().toLower() + ':' + QByteArray::number(port);
}

bool PinAppliesTo(QByteArrayView pinServer, QByteArrayView host, quint16 port)
{
    const QByteArray server = pinServer.toByteArray().trimmed().toLower();
    return server.isEmpty() || server == ServerPinKey(host, port);
}

QByteArray NormalizedFingerprint(QByteArrayView fingerprint)
{
    QByteArray digits;
    for (const char c : fingerprint)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits.append(char(std::tolower(static_cast<unsigned char>(c))));
    return digits;
}

bool SameFingerprint(QByteArrayView a, QByteArrayView b)
{
    const QByteArray normalized = NormalizedFingerprint(a);
    return !normalized.isEmpty() && normalized == NormalizedFingerprint(b);
}

QByteArray ReplacedPin(QByteArrayView applicablePin, QByteArrayView fingerprint)
{
    const QByteArray pin = applicablePin.toByteArray().trimmed();
    return pin.isEmpty() || SameFingerprint(pin, fingerprint) ? QByteArray() : pin;
}

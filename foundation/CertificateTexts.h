#pragma once
// What the certificate dialog and the error texts say about a certificate the system does not
// trust, in the user's language (shared texts 520-529).

#include "nkcertificate.h"

#include <QString>

// Shared text ids of the certificate texts.
namespace CertificateText {
inline constexpr int SelfSigned = 520;
inline constexpr int UnknownIssuer = 521;
inline constexpr int Expired = 522;
inline constexpr int NotYetValid = 523;
inline constexpr int HostNameMismatch = 524;
inline constexpr int Revoked = 525;
inline constexpr int Other = 526;
inline constexpr int ChangedWarning = 527;
inline constexpr int Untrusted = 528;
inline constexpr int TrustNewCaption = 529;
} // namespace CertificateText

// Component tags of the certificate window (English captions at tag + 2000).
namespace CertificateTag {
inline constexpr int Form = 600;
inline constexpr int Server = 601;
inline constexpr int Subject = 602;
inline constexpr int Issuer = 603;
inline constexpr int ValidFrom = 604;
inline constexpr int ValidUntil = 605;
inline constexpr int Fingerprint = 606;
inline constexpr int PinnedFingerprint = 607;
inline constexpr int Reason = 608;
inline constexpr int Trust = 609;
inline constexpr int Cancel = 610;
} // namespace CertificateTag

// One problem as a sentence; `host` is the name the certificate should have been issued to.
QString CertificateProblemText(TnkCertificateProblem problem, const QByteArray& host);
// Every problem of `facts`, one sentence a line; "could not be verified" when none is known.
QString CertificateReasonText(const TnkCertificateFacts& facts);
// "host:port".
QString CertificateServerText(const TnkCertificateFacts& facts);
// The first thing the user reads: untrusted, or (loudly) changed since it was trusted.
QString CertificateHeadline(const TnkCertificateFacts& facts);
// The user's error text for a refused certificate: the headline, the reasons and the
// fingerprints (the trusted one too when the certificate changed).
QString CertificateErrorText(const TnkCertificateFacts& facts);
// A component caption outside a form: `german`, or the English text of `tag`.
QString CertificateCaption(int tag, const QString& german);
// In the system's short date and time format; "-" for an unknown date.
QString CertificateDateText(const QDateTime& moment);
// A fingerprint in two lines of 16 byte pairs (the first ending in its ":"), so that it fits a
// dialog and reads in halves.
QString FingerprintLines(const QByteArray& fingerprint);

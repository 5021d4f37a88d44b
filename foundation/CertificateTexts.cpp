#include "CertificateTexts.h"

#include "tk_langlib.h"

#include <QLocale>

QString CertificateProblemText(TnkCertificateProblem problem, const QByteArray& host)
{
    switch (problem) {
    case TnkCertificateProblem::SelfSigned: return MessageText(CertificateText::SelfSigned);
    case TnkCertificateProblem::UnknownIssuer: return MessageText(CertificateText::UnknownIssuer);
    case TnkCertificateProblem::Expired: return MessageText(CertificateText::Expired);
    case TnkCertificateProblem::NotYetValid: return MessageText(CertificateText::NotYetValid);
    case TnkCertificateProblem::HostNameMismatch:
        return FillIn(MessageText(CertificateText::HostNameMismatch), QString::fromUtf8(host));
    case TnkCertificateProblem::Revoked: return MessageText(CertificateText::Revoked);
    case TnkCertificateProblem::Other: break;
    }
    return MessageText(CertificateText::Other);
}

QString CertificateReasonText(const TnkCertificateFacts& facts)
{
    if (facts.Problems.isEmpty())
        return CertificateProblemText(TnkCertificateProblem::Other, facts.Host);
    QStringList lines;
    for (const TnkCertificateProblem problem : facts.Problems)
        lines.append(CertificateProblemText(problem, facts.Host));
    return lines.join(QLatin1Char('\n'));
}

QString CertificateServerText(const TnkCertificateFacts& facts)
{
    return QString::fromUtf8(facts.Host) + QLatin1Char(':') + QString::number(facts.Port);
}

QString CertificateHeadline(const TnkCertificateFacts& facts)
{
    return FillIn(MessageText(facts.Changed() ? CertificateText::ChangedWarning : CertificateText::Untrusted),
                  CertificateServerText(facts));
}

QString CertificateCaption(int tag, const QString& german)
{
    return IsEnglish() ? StringTableText(tag + 2000) : german;
}

QString CertificateErrorText(const TnkCertificateFacts& facts)
{
    QString text = CertificateHeadline(facts) + QLatin1Char('\n') + CertificateReasonText(facts);
    if (facts.Changed())
        text += QLatin1Char('\n') + CertificateCaption(CertificateTag::PinnedFingerprint, QStringLiteral("Bisher vertraut:"))
                + QLatin1Char(' ') + QString::fromLatin1(facts.PinnedFingerprint);
    return text + QLatin1Char('\n') + CertificateCaption(CertificateTag::Fingerprint, QStringLiteral("SHA-256-Fingerabdruck:"))
           + QLatin1Char(' ') + QString::fromLatin1(facts.Fingerprint);
}

QString CertificateDateText(const QDateTime& moment)
{
    return moment.isValid() ? QLocale::system().toString(moment.toLocalTime(), QLocale::ShortFormat) : QStringLiteral("-");
}

QString FingerprintLines(const QByteArray& fingerprint)
{
    const QString text = QString::fromLatin1(fingerprint);
    // 16 pairs and their colons: "ab:" times 16.
    constexpr qsizetype HalfLength = 48;
    if (text.size() <= HalfLength)
        return text;
    return text.left(HalfLength) + QLatin1Char('\n') + text.mid(HalfLength);
}

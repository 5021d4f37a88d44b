#include "AgentEvents.h"

void TAgentEvents::Status(const QString& text) const
{
    if (OnStatus)
        OnStatus(text);
}

void TAgentEvents::DialStatus(const QString& text) const
{
    if (OnDialStatus)
        OnDialStatus(text);
}

void TAgentEvents::Progress(int percent) const
{
    if (OnProgress)
        OnProgress(qBound(0, percent, 100));
}

void TAgentEvents::Title(const QString& title) const
{
    if (OnTitle)
        OnTitle(title);
}

std::optional<QByteArray> TAgentEvents::Password(const QString& caption, const QString& text) const
{
    return OnPasswordRequest ? OnPasswordRequest(caption, text) : std::nullopt;
}

bool TAgentEvents::Question(const QString& text) const
{
    return OnQuestion ? OnQuestion(text) : true;
}

bool TAgentEvents::TrustCertificate(const TnkCertificateFacts& facts) const
{
    return OnCertificateQuestion && OnCertificateQuestion(facts);
}

#include "LogInRetry.h"

#include "AccountSecrets.h"
#include "DBAccountsFunctions.h"
#include "Reporter.h"
#include "qmconst.h"
#include "qmexcept.h"
#include "tk_langlib.h"

QString ErrorStatusText(const QByteArray& server, const QString& text)
{
    return FillInEach(MessageText(AgentText::ErrorStatus), {QString::fromUtf8(server), text});
}

std::optional<QByteArray> AskRefusedPassword(const TAgentEvents& events, const TAgentJob& job, TMailService service,
                                             const ELogInRefused& refusal)
{
    // A new password cannot help an account that signs in with OAuth2: only a new sign-in can.
    if (job.Auth == TAuthMethod::OAuth2)
        throw EServerError(FillIn(MessageText(AgentText::AccessTokenRefused), qmReplyText(refusal.Reply())));
    events.Status(ErrorStatusText(job.Server, refusal.Message()));
    const QString user = QString::fromUtf8(job.Username);
    const QString caption = QStringLiteral("%1 (%2)").arg(user, QString::fromUtf8(job.Server));
    const QString text = FillInEach(MessageText(AgentText::PasswordRefused), {user, qmReplyText(refusal.Reply())});
    const std::optional<QByteArray> password = events.Password(caption, text);
    if (!password || password->isEmpty())
        return std::nullopt;
    const QString account = QString::fromUtf8(job.AccountName);
    QString error;
    if (!account.isEmpty() && events.Question(FillIn(MessageText(AgentText::StorePassword), account))
        && !StoreAccountSecretPassword(job.AccountName, service, *password, error))
        Report(AgentText::PasswordNotStored, TMessageKind::Warning, account);
    return password;
}

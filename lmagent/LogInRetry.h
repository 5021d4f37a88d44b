#pragma once
// A refused log-in is retried as a person would retry it by hand: the agent asks for the password
// again, once per run, through the same password window as for an empty password, and offers to
// keep the new one in the account.

#include "AgentEvents.h"
#include "DBAccountSecurity.h"
#include "DBAgentFunctions.h"

#include <optional>

class ELogInRefused;

// The status line of a failed run: "<server> Error: <text>" in the user's language.
QString ErrorStatusText(const QByteArray& server, const QString& text);

// Shows the refusal, asks for the password and, when the user agrees, stores it in the job's
// account (a failure to store is reported). Nothing when the user cancelled or typed nothing. An
// OAuth2 job asks nothing: its refusal is raised as EServerError telling the user to sign in again.
std::optional<QByteArray> AskRefusedPassword(const TAgentEvents& events, const TAgentJob& job, TMailService service,
                                             const ELogInRefused& refusal);

#pragma once
// The user's keep and delete rules, applied on the server while the agent receives: a new message
// that a rule decides is not downloaded; a delete rule deletes it on the server, a keep rule leaves
// it there unread. The header lines and sizes come from the picture of the mailbox the agent builds
// anyway. Each decision is written to the rule log in the spool directory, which the main client
// reads after a receive ("... messages left on the server by rules").

#include "ReceiveRules.h"

#include <QByteArrayList>
#include <QList>
#include <QString>

class TqmRemoteInfoItem;

struct TServerRulesOutcome {
    int Kept = 0;
    int Deleted = 0;
    // One line per decided message: "KEEP" or "DELETE", the server position, the size and the rule.
    QByteArrayList LogLines;
};

// Changes the plans of the messages that would be retrieved now; messages retrieved before keep
// their plan. `items[i]` describes the message of `plans[i]`.
TServerRulesOutcome ApplyServerRules(QList<TMessagePlan>& plans, const QList<const TqmRemoteInfoItem*>& items,
                                     const QByteArrayList& ruleLines);

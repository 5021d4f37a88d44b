#include "ServerRules.h"

#include "FilterFunctions.h"
#include "qmmsg.h"
#include "qmpop3cl.h"


namespace {

TFilterFields FieldsOf(const TqmRemoteInfoItem& item)
{
    TqmMessage message;
    message.ProcessHeaders(item.Headers);
    return FilterFieldsOf(message);
}

} // namespace

TServerRulesOutcome ApplyServerRules(QList<TMessagePlan>& plans, const QList<const TqmRemoteInfoItem*>& items,
                                     const QByteArrayList& ruleLines)
{
    TServerRulesOutcome outcome;
    if (ruleLines.isEmpty())
        return outcome;
    for (qsizetype i = 0; i < plans.size() && i < items.size(); ++i) {
        TMessagePlan& plan = plans[i];
        if (!plan.Retrieve)
            continue;
        const TServerRuleResult result = ServerRuleDecision(ruleLines, FieldsOf(*items.at(i)), items.at(i)->Size);
        if (result.Decision == TServerRuleDecision::None)
            continue;
        const bool keep = result.Decision == TServerRuleDecision::Keep;
        plan.Retrieve = false;
        plan.Delete = !keep;
        // Never saved, so its check-file line is never written: the rules decide again next time.
        plan.Use = TLineUse::AfterSave;
        (keep ? outcome.Kept : outcome.Deleted) += 1;
        outcome.LogLines.append(QByteArray(keep ? "KEEP " : "DELETE ") + QByteArray::number(i + 1) + ' '
                                + QByteArray::number(items.at(i)->Size) + ' ' + result.Rule);
    }
    return outcome;
}

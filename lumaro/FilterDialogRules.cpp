#include "FilterDialogRules.h"

TRuleListButtons ComputeRuleListButtons(int count, int selected)
{
    const bool any = selected >= 0 && selected < count;
    return {any, any, any && selected > 0, any && selected < count - 1};
}

TRuleEditorState ComputeRuleEditorState(const TRuleEditorInput& input)
{
    TRuleEditorState state;
    const bool sized = input.SizeKb > 0;
    state.CriteriaEnabled = !sized;
    state.MoveEnabled = !sized;
    state.ClearCriteria = sized;
    state.SwitchToKeep = sized && input.MoveChecked;
    const bool criteria = !sized && (input.FromFilled || input.ToFilled || input.SubjectFilled);
    state.OkEnabled = sized || criteria;
    return state;
}

TFilterRule PrefilledRule(const QString& text)
{
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const QString word = blank < 0 ? text : text.left(blank);
    const QByteArray rest = blank < 0 ? QByteArray() : text.mid(blank + 1).toUtf8();
    TFilterRule rule;
    if (word == QLatin1String("Sender"))
        rule.From = rest;
    else if (word == QLatin1String("Recipient"))
        rule.To = rest;
    else
        rule.Subject = rest;
    return rule;
}

bool CriterionFitsRuleLine(const QString& criteria)
{
    return !criteria.contains(QLatin1Char('"'));
}

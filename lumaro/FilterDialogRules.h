#pragma once
// The enabling rules of the two filter dialogs as plain data, so that the forms only apply them:
// the rule list's buttons, the rule editor's fields, and the rule that a message window's
// "add to filter" request pre-fills.

#include "FilterFunctions.h"

#include <QString>

struct TRuleListButtons {
    bool Edit = false;
    bool Remove = false;
    bool Up = false;
    bool Down = false;
};

// `selected` is the selected row, -1 for none.
TRuleListButtons ComputeRuleListButtons(int count, int selected);

struct TRuleEditorInput {
    int SizeKb = 0;
    bool FromFilled = false;
    bool ToFilled = false;
    bool SubjectFilled = false;
    bool MoveChecked = false;
};

struct TRuleEditorState {
    // With a size the rule acts on the server: no criteria, no move.
    bool CriteriaEnabled = true;
    bool MoveEnabled = true;
    bool ClearCriteria = false;
    // A checked move button gives way to the keep button.
    bool SwitchToKeep = false;
    bool OkEnabled = false;
};

TRuleEditorState ComputeRuleEditorState(const TRuleEditorInput& input);

// A criteria text can be stored in a rule line: it holds no double quote, which would end its value.
bool CriterionFitsRuleLine(const QString& criteria);

// The rule the editor starts from for a pre-fill text "<word> <rest>": "Sender" puts the rest into
// the sender criteria, "Recipient" into the recipient criteria, any other word into the subject.
TFilterRule PrefilledRule(const QString& text);

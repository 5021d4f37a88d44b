#pragma once
// The user's message filter rules: the rule file "filter.ldb" (one rule a line, CR LF), the rule
// line format, and matching a message's sender, recipients and subject against a rule.
// The main client sorts Inbox messages into folders with the "move" rules; the agent applies the
// "keep" and "delete" rules and the size criterion on the server while it receives.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

class TqmMessage;

enum class TFilterAction { Keep, Delete, MoveTo };

struct TFilterRule {
    TFilterAction Action = TFilterAction::MoveTo;
    QByteArray To;       // recipient criteria, separated by commas
    QByteArray From;     // sender criteria
    QByteArray Subject;  // subject criteria
    QByteArray Folder;   // internal folder name; only for MoveTo
    QByteArray Size;     // kilobytes; empty: no size criterion

    bool operator==(const TFilterRule&) const = default;
};

// The texts of a message that rules look at, as they stand in its header.
struct TFilterFields {
    QByteArray Subject;
    // The sender's address immediately followed by the display name.
    QByteArray Sender;
    // The same for each address of the To list, in order (CC is not consulted).
    QByteArrayList Recipients;
};

TFilterRule ParseFilterRule(const QByteArray& line);
// The rule as a line: the parts in fixed order, each after one blank, the line trimmed.
QByteArray FilterRuleLine(const TFilterRule& rule);

// The rule lines of `path`; a missing or unreadable file is an empty list. Empty lines are
// skipped.
QByteArrayList LoadFilterRules(const QString& path);
// Replaces the file with `lines` (owner-only, written whole or not at all).
bool SaveFilterRules(const QString& path, const QByteArrayList& lines);

TFilterFields FilterFieldsOf(const TqmMessage& message);
// Criteria are ORed: subject criteria first, then sender, then recipients. The size criterion
// takes no part here.
bool FilterRuleMatches(const TFilterRule& rule, const TFilterFields& fields);

// What the server-side rules decide for one message on the server.
enum class TServerRuleDecision { None, Keep, Delete };

struct TServerRuleResult {
    TServerRuleDecision Decision = TServerRuleDecision::None;
    // The rule line that decided; empty with None.
    QByteArray Rule;
};

// The first keep or delete rule (in file order) that decides for a message of `sizeBytes` with
// `fields`: a rule with a size criterion decides for every message larger than that many
// kilobytes, a rule without one when its criteria match. Move rules are left to the local run.
TServerRuleResult ServerRuleDecision(const QByteArrayList& ruleLines, const TFilterFields& fields, qint64 sizeBytes);

// The rule log "<spool>/rules.log": the agent appends one line per message a server rule decided
// ("KEEP" or "DELETE", the server position, the size, the rule); the main client counts the kept
// ones after a receive. The emptying of the spool before the next receive removes it.
QString RuleLogPath(const QString& spoolDir);
// Appends the lines (synced); false when they could not be written.
bool AppendRuleLog(const QString& spoolDir, const QByteArrayList& lines);
int CountKeptInRuleLog(const QString& spoolDir);

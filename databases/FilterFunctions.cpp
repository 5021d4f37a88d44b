#include "FilterFunctions.h"

#include "AtomicFile.h"
#include "qmmsg.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

constexpr char FromKey[] = "-FROM:";
constexpr char ToKey[] = "-TO:";
constexpr char SubjectKey[] = "-SUBJECT:";
constexpr char SizeKey[] = "-LARGER THAN:";
constexpr char MoveKey[] = "-MOVETO:";
constexpr char KeepKey[] = "-KEEP";
constexpr char DeleteKey[] = "-DELETE";

// The text after `key`, a blank and a double quote, up to the next double quote (or the end of
// the line); empty when the key does not occur. Keys are matched case-sensitively.
QByteArray ValueOf(const QByteArray& line, const char* key)
{
    const QByteArray marker = QByteArray(key) + " \"";
    const qsizetype start = line.indexOf(marker);
    if (start < 0)
        return {};
    const qsizetype from = start + marker.size();
    const qsizetype end = line.indexOf('"', from);
    return end < 0 ? line.mid(from) : line.mid(from, end - from);
}

void AppendPart(QByteArray& line, const char* key, const QByteArray& value)
{
    if (!value.isEmpty())
        line += ' ' + QByteArray(key) + " \"" + value + '"';
}

// Only the letters a to z are upper-cased, as criteria and fields are compared byte for byte.
QByteArray UpperAscii(QByteArray text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

bool CriterionMatches(const QByteArray& criterion, const QByteArray& upperField)
{
    if (criterion == "-" && upperField.isEmpty())
        return true;
    return !criterion.isEmpty() && upperField.contains(criterion);
}

// Criteria are split at every comma and not trimmed: blanks around a comma belong to them.
bool AnyCriterionMatches(const QByteArray& criteria, const QByteArray& field)
{
    if (criteria.isEmpty())
        return false;
    const QByteArray upperField = UpperAscii(field);
    for (const QByteArray& criterion : UpperAscii(criteria).split(','))
        if (CriterionMatches(criterion, upperField))
            return true;
    return false;
}

bool RecipientsMatch(const QByteArray& criteria, const QByteArrayList& recipients)
{
    if (recipients.isEmpty())
        return AnyCriterionMatches(criteria, {});
    for (const QByteArray& recipient : recipients)
        if (AnyCriterionMatches(criteria, recipient))
            return true;
    return false;
}

QByteArray AddressText(const TqmMailAddress& address)
{
    return address.Address + address.Name;
}

} // namespace

TFilterRule ParseFilterRule(const QByteArray& line)
{
    TFilterRule rule;
    if (line.endsWith(KeepKey))
        rule.Action = TFilterAction::Keep;
    else if (line.endsWith(DeleteKey))
        rule.Action = TFilterAction::Delete;
    rule.From = ValueOf(line, FromKey);
    rule.To = ValueOf(line, ToKey);
    rule.Subject = ValueOf(line, SubjectKey);
    rule.Size = ValueOf(line, SizeKey);
    rule.Folder = ValueOf(line, MoveKey);
    return rule;
}

QByteArray FilterRuleLine(const TFilterRule& rule)
{
    QByteArray line;
    AppendPart(line, FromKey, rule.From);
    AppendPart(line, ToKey, rule.To);
    AppendPart(line, SubjectKey, rule.Subject);
    AppendPart(line, SizeKey, rule.Size);
    switch (rule.Action) {
    case TFilterAction::Keep:
        line += ' ' + QByteArray(KeepKey);
        break;
    case TFilterAction::Delete:
        line += ' ' + QByteArray(DeleteKey);
        break;
    case TFilterAction::MoveTo:
        line += ' ' + QByteArray(MoveKey) + " \"" + rule.Folder + '"';
        break;
    }
    return line.trimmed();
}

QByteArrayList LoadFilterRules(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray rule = line.endsWith('\r') ? line.chopped(1) : line;
        if (!rule.trimmed().isEmpty())
            lines.append(rule);
    }
    return lines;
}

bool SaveFilterRules(const QString& path, const QByteArrayList& lines)
{
    QByteArray content;
    for (const QByteArray& line : lines)
        content += line + "\r\n";
    return WriteFileAtomically(path, content, true);
}

TFilterFields FilterFieldsOf(const TqmMessage& message)
{
    TFilterFields fields;
    fields.Subject = message.Subject;
    fields.Sender = AddressText(message.Sender);
    for (qsizetype i = 0; i < message.Recipients.Count(); ++i)
        fields.Recipients.append(AddressText(message.Recipients.Items(i)));
    return fields;
}

bool FilterRuleMatches(const TFilterRule& rule, const TFilterFields& fields)
{
    return AnyCriterionMatches(rule.Subject, fields.Subject) || AnyCriterionMatches(rule.From, fields.Sender)
        || RecipientsMatch(rule.To, fields.Recipients);
}

TServerRuleResult ServerRuleDecision(const QByteArrayList& ruleLines, const TFilterFields& fields, qint64 sizeBytes)
{
    for (const QByteArray& line : ruleLines) {
        const TFilterRule rule = ParseFilterRule(line);
        if (rule.Action == TFilterAction::MoveTo)
            continue;
        bool sizeOk = false;
        const qint64 kilobytes = rule.Size.trimmed().toLongLong(&sizeOk);
        const bool decides = sizeOk && kilobytes > 0 ? sizeBytes > kilobytes * 1024 : FilterRuleMatches(rule, fields);
        if (decides)
            return {rule.Action == TFilterAction::Keep ? TServerRuleDecision::Keep : TServerRuleDecision::Delete, line};
    }
    return {};
}

QString RuleLogPath(const QString& spoolDir)
{
    return QDir(spoolDir).filePath(QStringLiteral("rules.log"));
}

bool AppendRuleLog(const QString& spoolDir, const QByteArrayList& lines)
{
    if (lines.isEmpty())
        return true;
    QFile file(RuleLogPath(spoolDir));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray text = lines.join('\n') + '\n';
    return file.write(text) == text.size() && file.flush() && ::fsync(file.handle()) == 0;
}

int CountKeptInRuleLog(const QString& spoolDir)
{
    QFile file(RuleLogPath(spoolDir));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int kept = 0;
    while (!file.atEnd())
        if (file.readLine().startsWith("KEEP "))
            ++kept;
    return kept;
}

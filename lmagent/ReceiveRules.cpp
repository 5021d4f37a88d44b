#include "ReceiveRules.h"

#include <QSet>

namespace {

// Years beyond this are taken as "never": the day would not survive the date arithmetic.
constexpr int MaxDeleteDays = 100 * 366;

QByteArray WithoutSeparators(QByteArray field)
{
    return field.replace('|', ' ').replace('\r', ' ').replace('\n', ' ');
}

// Unique ids may hold any printable character, "|" included.
QByteArray UidlKey(const QByteArray& uidl)
{
    return "UIDL " + uidl.toPercentEncoding("!\"#$&'()*+,-./:;<=>?@[\\]^_`{}~");
}

qsizetype FindLine(const TCheckList& list, const TCheckLine& key)
{
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).SameKey(key))
            return i;
    return -1;
}

bool DeletionDayHasCome(const TCheckLine& line, const QDate& today)
{
    if (line.DeleteOn.isEmpty())
        return false;
    const std::optional<QDate> day = ParseDeletionDay(line.DeleteOn, today);
    return day && *day <= today;
}

TCheckLine NewLine(const TCheckLine& key, const TReceiveRules& rules)
{
    TCheckLine line = key;
    if (rules.DeleteDays >= 1 && rules.DeleteDays <= MaxDeleteDays)
        line.DeleteOn = FormatDeletionDay(rules.Today.addDays(rules.DeleteDays));
    return line;
}

TMessagePlan PlanWithoutKeeping(const TCheckLine& key, TCheckList& oldList, const TReceiveRules& rules)
{
    const qsizetype found = FindLine(oldList, key);
    if (found >= 0)
        return {false, true, oldList.takeAt(found), TLineUse::UntilQuit};
    TCheckLine line = key;
    line.DeleteOn = FormatDeletionDay(rules.Today);
    return {true, true, line, TLineUse::AfterSaveUntilQuit};
}

TMessagePlan PlanKeeping(const TCheckLine& key, TCheckList& oldList, const TReceiveRules& rules)
{
    const qsizetype found = FindLine(oldList, key);
    if (found < 0)
        return {true, false, NewLine(key, rules), TLineUse::AfterSave};
    if (DeletionDayHasCome(oldList.at(found), rules.Today))
        return {false, true, oldList.takeAt(found), TLineUse::UntilQuit};
    return {false, false, oldList.at(found), TLineUse::Carried};
}

} // namespace

TCheckList MessageKeys(const QList<TRemoteMessage>& messages)
{
    TCheckList keys;
    QSet<QByteArray> seen;
    for (const TRemoteMessage& message : messages) {
        TCheckLine key{WithoutSeparators(message.MessageId), WithoutSeparators(message.Date), {}};
        const QByteArray text = key.Text();
        const bool ambiguous = (key.MessageId.isEmpty() && key.Date.isEmpty()) || seen.contains(text);
        seen.insert(text);
        if (ambiguous && !message.Uidl.isEmpty())
            key.MessageId = UidlKey(message.Uidl);
        keys.append(key);
    }
    return keys;
}

QList<TMessagePlan> PlanMessages(const QList<TRemoteMessage>& messages, TCheckList oldList,
                                 const TReceiveRules& rules)
{
    QList<TMessagePlan> plans;
    for (const TCheckLine& key : MessageKeys(messages))
        plans.append(rules.KeepMails ? PlanKeeping(key, oldList, rules) : PlanWithoutKeeping(key, oldList, rules));
    return plans;
}

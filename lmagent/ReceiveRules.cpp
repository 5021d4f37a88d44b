#include "ReceiveRules.h"

#include <QSet>

namespace {

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
    line.DeleteOn = DeletionDayOfNewLine(rules.KeepMails, rules.DeleteDays, rules.Today);
    return line;
}

// The line of a message: by its key, else by its unique id, under which the server manager
// records what it fetched.
qsizetype FindMessageLine(const TCheckList& list, const TCheckLine& key, const QByteArray& uidl)
{
    const qsizetype found = FindLine(list, key);
    if (found >= 0 || uidl.isEmpty())
        return found;
    return FindLine(list, TCheckLine{UidlKey(uidl), {}, {}, {}});
}

TMessagePlan PlanWithoutKeeping(const TCheckLine& key, const QByteArray& uidl, TCheckList& oldList,
                                const TReceiveRules& rules)
{
    const qsizetype found = FindMessageLine(oldList, key, uidl);
    if (found >= 0)
        return {false, true, oldList.takeAt(found), TLineUse::UntilQuit};
    return {true, true, NewLine(key, rules), TLineUse::AfterSaveUntilQuit};
}

TMessagePlan PlanKeeping(const TCheckLine& key, const QByteArray& uidl, TCheckList& oldList, const TReceiveRules& rules)
{
    const qsizetype found = FindMessageLine(oldList, key, uidl);
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
        TCheckLine key{KeyField(message.MessageId), KeyField(message.Date), {}};
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
    const TCheckList keys = MessageKeys(messages);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QByteArray& uidl = messages.at(i).Uidl;
        plans.append(rules.KeepMails ? PlanKeeping(keys.at(i), uidl, oldList, rules)
                                     : PlanWithoutKeeping(keys.at(i), uidl, oldList, rules));
    }
    return plans;
}

#include "ReceiveRules.h"

#include <QSet>

namespace {

QByteArray KeyText(const TCheckLine& line) { return line.MessageId + '|' + line.Date; }

// The old lines by key and by recorded unique id, so that planning a mailbox of many thousand
// messages does not search the whole list for each. A line that is taken (to be deleted now) is
// found no more; a carried line may be found again by a second message of the same key.
class TOldLines {
public:
    explicit TOldLines(TCheckList lines) : m_lines(std::move(lines)), m_taken(m_lines.size(), false)
    {
        m_byUidl.reserve(m_lines.size());
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (!m_lines.at(i).Uidl.isEmpty())
                m_byUidl[m_lines.at(i).Uidl].append(i);
    }

    // The line of a message: by the unique id it records, by its key, else by the key under which
    // the server manager records what it fetched; -1 when there is none.
    qsizetype Find(const TCheckLine& key, const QByteArray& uidl)
    {
        qsizetype found = uidl.isEmpty() ? -1 : First(m_byUidl.value(uidl));
        if (found >= 0)
            return found;
        // Most messages of a large mailbox are found by their unique id: the keys are indexed
        // only once a message is not.
        IndexKeys();
        found = First(m_byKey.value(KeyText(key)));
        if (found < 0 && !uidl.isEmpty())
            found = First(m_byKey.value(UidlKey(uidl) + '|'));
        return found;
    }
    const TCheckLine& At(qsizetype i) const { return m_lines.at(i); }
    TCheckLine Take(qsizetype i)
    {
        m_taken[i] = true;
        return m_lines.at(i);
    }

private:
    void IndexKeys()
    {
        if (m_keysIndexed)
            return;
        m_keysIndexed = true;
        m_byKey.reserve(m_lines.size());
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            m_byKey[KeyText(m_lines.at(i))].append(i);
    }
    qsizetype First(const QList<qsizetype>& candidates) const
    {
        for (qsizetype i : candidates)
            if (!m_taken.at(i))
                return i;
        return -1;
    }

    TCheckList m_lines;
    QList<bool> m_taken;
    QHash<QByteArray, QList<qsizetype>> m_byKey;
    QHash<QByteArray, QList<qsizetype>> m_byUidl;
    bool m_keysIndexed = false;
};

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

TMessagePlan PlanWithoutKeeping(const TCheckLine& key, const QByteArray& uidl, TOldLines& oldLines,
                                const TReceiveRules& rules)
{
    const qsizetype found = oldLines.Find(key, uidl);
    if (found >= 0)
        return {false, true, oldLines.Take(found), TLineUse::UntilQuit};
    return {true, true, NewLine(key, rules), TLineUse::AfterSaveUntilQuit};
}

TMessagePlan PlanKeeping(const TCheckLine& key, const QByteArray& uidl, TOldLines& oldLines, const TReceiveRules& rules)
{
    const qsizetype found = oldLines.Find(key, uidl);
    if (found < 0)
        return {true, false, NewLine(key, rules), TLineUse::AfterSave};
    if (DeletionDayHasCome(oldLines.At(found), rules.Today))
        return {false, true, oldLines.Take(found), TLineUse::UntilQuit};
    return {false, false, oldLines.At(found), TLineUse::Carried};
}

} // namespace

TCheckList MessageKeys(const QList<TRemoteMessage>& messages)
{
    TCheckList keys;
    keys.reserve(messages.size());
    QSet<QByteArray> seen;
    seen.reserve(messages.size());
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
    plans.reserve(messages.size());
    const TCheckList keys = MessageKeys(messages);
    TOldLines oldLines(std::move(oldList));
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QByteArray& uidl = messages.at(i).Uidl;
        plans.append(rules.KeepMails ? PlanKeeping(keys.at(i), uidl, oldLines, rules)
                                     : PlanWithoutKeeping(keys.at(i), uidl, oldLines, rules));
        if (!uidl.isEmpty())
            plans.last().Line.Uidl = uidl;
    }
    return plans;
}

QHash<QByteArray, TCheckLine> LinesByUidl(const TCheckList& list)
{
    static const QByteArray Prefix = UidlKey({});
    QHash<QByteArray, TCheckLine> lines;
    for (const TCheckLine& line : list) {
        if (!line.Uidl.isEmpty())
            lines.insert(line.Uidl, line);
        else if (line.MessageId.startsWith(Prefix) && line.Date.isEmpty())
            lines.insert(QByteArray::fromPercentEncoding(line.MessageId.mid(Prefix.size())), line);
    }
    return lines;
}

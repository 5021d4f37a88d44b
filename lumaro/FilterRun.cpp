#include "FilterRun.h"

#include "FilterFunctions.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QMap>
#include <QSet>

namespace {

// Enough for the header block that message loading looks at, after the separator line.
constexpr qint64 HeaderReadLimit = 2048 + FolderSeparator.size();

TFilterFields HeaderFields(const TFolderFiles& inbox, const TListEntry& entry)
{
    const std::optional<QByteArray> raw
        = ReadRawMessage(inbox.MessageFile, entry.Offset, std::min<qint64>(entry.Length, HeaderReadLimit));
    if (!raw)
        return {};
    QByteArray header = *raw;
    if (header.startsWith(FolderSeparator.toByteArray()))
        header.remove(0, FolderSeparator.size());
    QBuffer buffer(&header);
    buffer.open(QIODevice::ReadOnly);
    TqmMessage message;
    message.LoadHeaders(buffer);
    return FilterFieldsOf(message);
}

QList<TFilterRule> MoveRules(const QByteArrayList& ruleLines)
{
    QList<TFilterRule> rules;
    for (const QByteArray& line : ruleLines) {
        TFilterRule rule = ParseFilterRule(line);
        if (rule.Action == TFilterAction::MoveTo && !rule.Folder.isEmpty())
            rules.append(std::move(rule));
    }
    return rules;
}

} // namespace

QStringList PlanFilterMoves(const QByteArrayList& ruleLines, const TFolderFiles& inbox, const QList<TListEntry>& entries)
{
    const QList<TFilterRule> rules = MoveRules(ruleLines);
    QStringList targets;
    targets.reserve(entries.size());
    for (const TListEntry& entry : entries) {
        QString target;
        if (!rules.isEmpty()) {
            const TFilterFields fields = HeaderFields(inbox, entry);
            for (const TFilterRule& rule : rules) {
                if (FilterRuleMatches(rule, fields)) {
                    target = QString::fromUtf8(rule.Folder);
                    break;
                }
            }
        }
        targets.append(target);
    }
    return targets;
}

TFilterRunResult RunLocalFilter(const QByteArrayList& ruleLines, const TFolderFiles& inbox, QList<TListEntry>& entries,
                                const std::function<TFolderFiles(const QString&)>& folderFiles)
{
    const QStringList targets = PlanFilterMoves(ruleLines, inbox, entries);
    // Grouped by target so that each folder is written once; QMap keeps the grouping stable.
    QMap<QString, QList<TListEntry>> byTarget;
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (!targets.at(i).isEmpty())
            byTarget[targets.at(i)].append(entries.at(i));

    TFilterRunResult result;
    QSet<qint32> movedRecords;
    for (auto it = byTarget.begin(); it != byTarget.end(); ++it) {
        const TFolderFiles target = folderFiles(it.key());
        // A missing target folder is reported by the move ("error writing") and keeps its messages.
        if (target.MessageFile == inbox.MessageFile)
            continue;
        QList<TListEntry> group = it.value();
        const QList<TListEntry> wanted = group;
        if (!CopyMessages(inbox, target, group, TCopyOptions{true, false}))
            result.Failed = true;
        // What CopyMessages left in `group` was not moved.
        for (const TListEntry& entry : wanted)
            if (std::none_of(group.cbegin(), group.cend(), [&](const TListEntry& e) { return e.Record == entry.Record; }))
                movedRecords.insert(entry.Record);
    }
    result.Moved = int(movedRecords.size());
    entries.removeIf([&](const TListEntry& entry) { return movedRecords.contains(entry.Record); });
    return result;
}

#include "FilterRun.h"

#include "FilterFunctions.h"
#include "qmmsg.h"

#include <QMap>
#include <QSet>

namespace {

// The header block is read up to its empty line, as the parser reads it; trace and signature fields
// often fill kilobytes before From and Subject. The cap only guards against a message that never
// ends its header block.
constexpr qint64 HeaderBlockLimit = 256 * 1024;
constexpr qint64 FirstHeaderRead = 8 * 1024;

QByteArray WithoutSeparator(QByteArray raw)
{
    if (raw.startsWith(FolderSeparator.toByteArray()))
        raw.remove(0, FolderSeparator.size());
    return raw;
}

bool HoldsHeaderEnd(const QByteArray& text)
{
    return text.startsWith('\n') || text.startsWith("\r\n") || text.contains("\n\n") || text.contains("\n\r\n");
}

// The header block of the message, perhaps with some of its body; nothing when the message
// cannot be read.
std::optional<QByteArray> ReadHeaderBlock(const TFolderFiles& inbox, const TListEntry& entry)
{
    const qint64 limit = std::min<qint64>(entry.Length, FolderSeparator.size() + HeaderBlockLimit);
    for (qint64 size = std::min(limit, FirstHeaderRead);; size = std::min(limit, size * 2)) {
        const std::optional<QByteArray> raw = ReadRawMessage(inbox.MessageFile, entry.Offset, size);
        if (!raw)
            return {};
        QByteArray text = WithoutSeparator(*raw);
        if (size == limit || HoldsHeaderEnd(text))
            return text;
    }
}

TFilterFields HeaderFields(const TFolderFiles& inbox, const TListEntry& entry)
{
    const std::optional<QByteArray> raw = ReadHeaderBlock(inbox, entry);
    if (!raw)
        return {};
    // FromText ends at the empty line: what was read of the body is no header.
    TqmHeaders headers = TqmHeaders::FromText(*raw);
    headers.CleanUp();
    TqmMessage message;
    message.ProcessHeaders(headers);
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

#include "ComposeRules.h"

#include "DBAccountsFunctions.h"
#include "qmutils.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// An entry as the user may have typed it: a quoted name without its quotes.
QByteArray PlainEntry(const QString& candidate)
{
    QByteArray bytes = candidate.toUtf8();
    return bytes.startsWith('"') ? bytes.mid(1) : bytes;
}

} // namespace

QString SenderEntryText(const QByteArray& address, const QByteArray& name)
{
    return QString::fromUtf8(address) + QLatin1String(" <") + QString::fromUtf8(name) + QLatin1Char('>');
}

QString AccountNameOfEntry(const QString& accountEntry)
{
    const qsizetype semicolon = accountEntry.indexOf(QLatin1Char(';'));
    return semicolon < 0 ? QString() : accountEntry.mid(semicolon + 1);
}

TSenderList BuildSenderList(const QList<TAccount>& accounts)
{
    TSenderList list;
    for (const TAccount& account : accounts) {
        const QString entry = SenderEntryText(account.SmtpAddress, account.SmtpName);
        qsizetype index = list.Entries.indexOf(entry);
        if (index < 0) {
            index = list.Entries.size();
            list.Entries.append(entry);
            list.AccountEntries.append(entry + QLatin1Char(';') + QString::fromUtf8(account.Name));
        }
        if (account.Standard && list.DefaultIndex < 0)
            list.DefaultIndex = int(index);
    }
    if (list.DefaultIndex < 0 && !list.Entries.isEmpty())
        list.DefaultIndex = 0;
    return list;
}

TSenderChoice SelectSender(const TSenderList& senders, const QString& text)
{
    const qsizetype exact = senders.Entries.indexOf(text);
    if (exact >= 0)
        return {int(exact), false};
    const qsizetype cut = text.indexOf(QLatin1String(" <"));
    const QString address = (cut < 0 ? text : text.left(cut)).toUpper();
    int match = -1;
    for (qsizetype i = 0; i < senders.Entries.size(); ++i) {
        if (!address.isEmpty() && senders.Entries.at(i).left(address.size()).toUpper() == address)
            match = int(i);
    }
    if (match >= 0)
        return {match, false};
    return {senders.DefaultIndex, !text.isEmpty()};
}

bool UpdateHistory(QStringList& history, const QString& to, bool keepHistory, int maxCount)
{
    if (!keepHistory || SplitAddressList(to.toUtf8()).size() != 1 || to.size() <= 3 || !to.contains(QLatin1Char('@'))
        || history.contains(to))
        return false;
    history.append(to);
    while (history.size() > qMax(maxCount, 0))
        history.removeFirst();
    return true;
}

qsizetype TypedRecipientStart(const QString& text, qsizetype caret)
{
    const QString before = text.left(caret);
    const QString piece = QString::fromUtf8(SplitAddressList(before.toUtf8()).constLast());
    qsizetype start = before.size() - piece.size();
    while (start < caret && text.at(start).isSpace())
        ++start;
    return start;
}

QStringList MatchingRecipients(const QString& typed, const QStringList& candidates)
{
    QStringList matches;
    if (typed.trimmed().isEmpty())
        return matches;
    const auto matchesWord = [&typed](const QString& candidate) {
        QByteArray address;
        QByteArray name;
        SplitAddress(candidate.toUtf8(), address, name);
        if (QString::fromUtf8(address).startsWith(typed, Qt::CaseInsensitive))
            return true;
        const QStringList words = QString::fromUtf8(name).split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        return std::any_of(words.cbegin(), words.cend(), [&typed](const QString& word) { return word.startsWith(typed, Qt::CaseInsensitive); });
    };
    for (const QString& candidate : candidates) {
        if (matches.contains(candidate))
            continue;
        if (candidate.startsWith(typed, Qt::CaseInsensitive) || QString::fromUtf8(PlainEntry(candidate)).startsWith(typed, Qt::CaseInsensitive)
            || matchesWord(candidate))
            matches.append(candidate);
    }
    return matches;
}

std::optional<TCompletion> CompleteRecipient(const QString& text, qsizetype caret, const QStringList& candidates)
{
    if (text.mid(caret).contains(QLatin1Char(',')))
        return std::nullopt;
    const qsizetype typedStart = TypedRecipientStart(text, caret);
    const QString typed = text.mid(typedStart, caret - typedStart);
    if (typed.isEmpty())
        return std::nullopt;
    for (const QString& candidate : candidates) {
        // What was typed stays as typed; only the rest comes from the entry.
        if (candidate.startsWith(typed, Qt::CaseInsensitive)) {
            const QString completed = text.left(caret) + candidate.mid(typed.size());
            return TCompletion{completed, caret, completed.size() - caret};
        }
    }
    return std::nullopt;
}

TCompletion InsertRecipient(const QString& text, qsizetype caret, const QString& chosen)
{
    const qsizetype typedStart = TypedRecipientStart(text, caret);
    const QString completed = text.left(typedStart) + chosen;
    return TCompletion{completed + text.mid(caret), completed.size(), 0};
}

TViewCommandStates ComputeViewCommandStates(bool editMode, bool changed, bool redirected, bool attachmentSelected,
                                            bool htmlMessage, bool held)
{
    TViewCommandStates states;
    states.SendLater = editMode && changed;
    states.SendNow = editMode && !held;
    states.Answer = !editMode;
    // The text of a redirected message is passed on unchanged.
    states.Compose = editMode && !redirected;
    states.RemoveAttachment = editMode && !redirected && attachmentSelected;
    states.AttachmentOpen = attachmentSelected;
    states.HtmlView = !editMode && htmlMessage;
    return states;
}

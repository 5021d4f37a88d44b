#include "ComposeRules.h"

#include "DBAccountsFunctions.h"

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
    if (!keepHistory || to.contains(QLatin1Char(',')) || to.size() <= 3 || !to.contains(QLatin1Char('@'))
        || history.contains(to))
        return false;
    history.append(to);
    while (history.size() > qMax(maxCount, 0))
        history.removeFirst();
    return true;
}

std::optional<TCompletion> CompleteRecipient(const QString& text, qsizetype caret, const QStringList& history)
{
    if (text.mid(caret).contains(QLatin1Char(',')))
        return std::nullopt;
    const qsizetype typedStart = text.left(caret).lastIndexOf(QLatin1Char(',')) + 1;
    const QString typed = text.mid(typedStart, caret - typedStart);
    if (typed.isEmpty())
        return std::nullopt;
    for (const QString& entry : history) {
        if (entry.startsWith(typed, Qt::CaseInsensitive)) {
            const QString completed = text.left(typedStart) + entry;
            return TCompletion{completed, caret, completed.size() - caret};
        }
    }
    return std::nullopt;
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

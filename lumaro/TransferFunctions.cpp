#include "TransferFunctions.h"

#include "Reporter.h"
#include "SpoolFunctions.h"

#include <algorithm>

namespace {

QByteArray ListedServer(const QByteArrayList& servers, const QByteArray& wanted)
{
    if (wanted.isEmpty())
        return {};
    const QByteArray folded = wanted.toLower();
    const auto found = std::find_if(servers.cbegin(), servers.cend(),
                                    [&folded](const QByteArray& server) { return server.toLower() == folded; });
    return found == servers.cend() ? QByteArray() : *found;
}

// The listed messages less those open in a message window, each of which is named to the user.
QList<TListEntry> QueuedEntries(const TFolderFiles& outbox, const QList<TListEntry>& listed, const QList<qint32>& beingEdited)
{
    QList<TListEntry> queued;
    for (const TListEntry& entry : listed) {
        if (!beingEdited.contains(entry.Record)) {
            queued.append(entry);
            continue;
        }
        const std::optional<TIndexRecord> record = ReadIndexRecord(outbox.IndexFile, entry.Record);
        Report(MsgOpenForEditing, TMessageKind::Information, QString::fromUtf8(record ? record->Subject : QByteArray()));
    }
    return queued;
}

} // namespace

QByteArray PreselectedSmtpServer(const QByteArrayList& servers, const QByteArray& remembered,
                                 const QByteArray& defaultAccountServer)
{
    for (const QByteArray& candidate : {remembered, defaultAccountServer}) {
        const QByteArray listed = ListedServer(servers, candidate);
        if (!listed.isEmpty())
            return listed;
    }
    return servers.size() == 1 ? servers.first() : QByteArray();
}

QByteArrayList PreselectedPopAccounts(const QByteArrayList& accounts, const QByteArrayList& remembered)
{
    QByteArrayList ticked;
    for (const QByteArray& account : remembered)
        if (accounts.contains(account))
            ticked.append(account);
    if (ticked.isEmpty() && accounts.size() == 1)
        ticked = accounts;
    return ticked;
}

QByteArray MailerHeaderLine(const QByteArray& buildText)
{
    return "X-Mailer: Lumaro Mail " + buildText + " -";
}

bool PrepareHeaderList(QByteArrayList& headers, const QByteArray& buildText, const QString& path)
{
    if (headers.isEmpty())
        headers.append(MailerHeaderLine(buildText));
    return WriteHeaderList(headers, path);
}

TSendResult RunSendJob(const QByteArray& smtpServer, const TFolderFiles& outbox, const TFolderFiles& sent,
                       QList<TListEntry>& listed, const QString& queueDir, TAgentJob& job, const TAgentRunner& runAgent,
                       const QList<qint32>& beingEdited)
{
    TSendResult result;
    // What an interrupted run sent must leave the Outbox (and `listed`) before a new queue could
    // send it again.
    if (!FileSentMessages(outbox, sent, listed, queueDir))
        return result;
    if (!FillSendJob(job, smtpServer, &result.Failure))
        return result;
    if (!BuildQueue(outbox, QueuedEntries(outbox, listed, beingEdited), queueDir))
        return result;
    result.Started = true;
    runAgent(job);
    const qsizetype before = listed.size();
    FileSentMessages(outbox, sent, listed, queueDir);
    result.Sent = int(before - listed.size());
    result.Unsent = int(listed.size());
    return result;
}

TReceiveResult RunReceiveJob(const QByteArrayList& accountNames, TAgentJob& job, const TAgentRunner& runAgent,
                             const QString& failureFile)
{
    TReceiveResult result;
    for (const QByteArray& name : accountNames) {
        QString secretFailure;
        if (!FillReceiveJob(job, name, KeepModeFromAccount, &secretFailure)) {
            if (!secretFailure.isEmpty()) {
                result.FailedAccounts.append(name);
                result.FailureReasons.append(secretFailure);
            }
            continue;
        }
        ++result.Runs;
        // A reason left by an agent that died must not be taken for this run's.
        TakeJobFailure(failureFile);
        if (!runAgent(job)) {
            result.FailedAccounts.append(name);
            result.FailureReasons.append(TakeJobFailure(failureFile));
        }
    }
    return result;
}

QString FailedAccountsText(const TReceiveResult& result)
{
    QStringList lines;
    for (qsizetype i = 0; i < result.FailedAccounts.size(); ++i) {
        const QString name = QString::fromUtf8(result.FailedAccounts.at(i));
        const QString reason = result.FailureReasons.value(i);
        lines.append(reason.isEmpty() ? name : name + QStringLiteral(": ") + reason);
    }
    return lines.join(QLatin1Char('\n'));
}

TTransmitPlan PlanTransmit(bool ignoreSmtp, bool ignorePop, bool receiveFirst, bool outboxHasMessages)
{
    return {!ignoreSmtp && outboxHasMessages, !ignorePop, receiveFirst};
}

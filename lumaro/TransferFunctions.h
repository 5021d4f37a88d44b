#pragma once
// Send, receive and transmit as the main client carries them out. It never talks to a mail server:
// it prepares the queue, writes one agent job per transfer, runs the agent and files what the
// agent left behind. Which messages were sent is judged by the queue files the agent deleted.

#include "DBAgentFunctions.h"
#include "DBMailboxFunctions.h"

#include <QByteArrayList>
#include <QList>
#include <QStringList>

#include <functional>

// Writes `job` to the job file, runs the agent and waits for it; true when the agent ended without
// its error flag.
using TAgentRunner = std::function<bool(const TAgentJob& job)>;

// "X-Mailer: Lumaro Mail <build> -".
QByteArray MailerHeaderLine(const QByteArray& buildText);
// Before the first agent run of a program run: an empty header list gets the X-Mailer line; the
// list is then saved for the agent. False when it could not be saved.
bool PrepareHeaderList(QByteArrayList& headers, const QByteArray& buildText, const QString& path);

// The server the Send dialog offers first, spelled as in `servers`: the remembered one while an
// account still names it, else the default account's, else the only one; empty when none applies.
// Server names compare without regard to case, as host names do.
QByteArray PreselectedSmtpServer(const QByteArrayList& servers, const QByteArray& remembered,
                                 const QByteArray& defaultAccountServer);

// The accounts the Receive dialog ticks first: the remembered ones that still exist, else the only
// account, so that a new user's first receive needs no tick.
QByteArrayList PreselectedPopAccounts(const QByteArrayList& accounts, const QByteArrayList& remembered);

struct TSendResult {
    // The queue was built and the agent run; false when an export failed or the sent messages of
    // an earlier run could not be filed (nothing was sent).
    bool Started = false;
    int Sent = 0;
    int Unsent = 0;
    // Why the agent was not started although the queue could be built: the account's password or
    // access token could not be had (see FillSendJob). Empty otherwise.
    QString Failure;
};

inline constexpr int MsgOpenForEditing = 451;

// Sends the listed Outbox messages through `smtpServer`: finishes the filing of an interrupted
// earlier run (when that fails nothing is sent: the queue build would send those messages again),
// builds the queue in list order, runs the agent, then files the sent messages into Sent (read) and
// takes them out of `listed`; unsent ones stay in the Outbox. Records in `beingEdited` are open in a
// message window: they are not queued and each is named in report 451.
TSendResult RunSendJob(const QByteArray& smtpServer, const TFolderFiles& outbox, const TFolderFiles& sent,
                       QList<TListEntry>& listed, const QString& queueDir, TAgentJob& job, const TAgentRunner& runAgent,
                       const QList<qint32>& beingEdited = {});

struct TReceiveResult {
    int Runs = 0;
    // Accounts whose run ended with the agent's error flag; the others went on regardless.
    QByteArrayList FailedAccounts;
    // Why each of them failed, as the agent said (empty when it said nothing), in the same order.
    QStringList FailureReasons;
};

// One agent run per account, in the given order; names without an account are skipped, and an
// account whose password or access token cannot be had fails with that reason. The reason
// a failed run leaves beside the job file (`failureFile`) is taken for the report.
TReceiveResult RunReceiveJob(const QByteArrayList& accountNames, TAgentJob& job, const TAgentRunner& runAgent,
                             const QString& failureFile = JobFailureFile());
// One line per failed account: its name, and after a colon the reason when there is one.
QString FailedAccountsText(const TReceiveResult& result);

// What Transmit does, from the transmit settings and the Outbox.
struct TTransmitPlan {
    bool Send = false;
    bool Receive = false;
    bool ReceiveFirst = false;
};

TTransmitPlan PlanTransmit(bool ignoreSmtp, bool ignorePop, bool receiveFirst, bool outboxHasMessages);

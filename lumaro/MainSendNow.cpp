// TMainFrm: "Send now" asked for by a message window (window message 3029). The message window's
// work file is filed into the Outbox when the window has ended; then the one message goes out through
// the SMTP server of its sender's account with the send job of Send. A message that was not sent stays
// in the Outbox, and the window says why.

#include "Main.h"

#include "FolderSet.h"
#include "RegistryFunctions.h"
#include "SpoolFunctions.h"
#include "TransferFunctions.h"
#include "tk_langlib.h"

#include <QLabel>

namespace {

constexpr int MsgErrorWriting = 12;
constexpr int MsgSent = 402;
constexpr int MsgNotSent = 416;
constexpr int MsgTransferRunning = 417;
constexpr int MsgNoSmtpServer = 418;
constexpr int MsgNotInOutbox = 419;
constexpr int MsgServerRefused = 420;

std::optional<TListEntry> OutboxEntry(qint32 record)
{
    if (record <= 0)
        return std::nullopt;
    for (const TListEntry& entry : ListEntries(EnumerateLiveMessages(SpecialFolderPaths(TSpecialFolder::Outbox)))) {
        if (entry.Record == record)
            return entry;
    }
    return std::nullopt;
}

} // namespace

void TMainFrm::SendNowRequested()
{
    const std::optional<TSendNowRequest> request = TakeSendNowRequest();
    if (!request)
        return;
    TSendNowOrder order;
    switch (m_sendNow.Requested(request->WorkFile, request->Account.toUtf8(), order)) {
    case TSendNowRequests::TArrival::Waiting:
        break;
    case TSendNowRequests::TArrival::Ready:
        SendNow(order);
        break;
    case TSendNowRequests::TArrival::Unknown:
        Dialogs.Inform(FillIn(MessageText(MsgNotSent), MessageText(MsgNotInOutbox)));
        break;
    }
}

void TMainFrm::SendNow(const TSendNowOrder& order)
{
    const auto notSent = [this](int reason) { Dialogs.Inform(FillIn(MessageText(MsgNotSent), MessageText(reason))); };
    // The job file and the queue belong to one agent run at a time.
    if (Running.Agent > 0 || Running.ServerManager > 0) {
        notSent(MsgTransferRunning);
        return;
    }
    const std::optional<TListEntry> entry = OutboxEntry(order.Record);
    if (!entry) {
        notSent(MsgNotInOutbox);
        return;
    }
    const QByteArray server = SendNowServer(order.Account);
    if (server.isEmpty()) {
        notSent(MsgNoSmtpServer);
        return;
    }
    SetTransferControlsEnabled(false);
    QList<TListEntry> listed{*entry};
    const TSendResult result
        = RunSendJob(server, SpecialFolderPaths(TSpecialFolder::Outbox), SpecialFolderPaths(TSpecialFolder::Sent), listed,
                     Paths().Data.SmtpDir, m_job, [this](const TAgentJob& job) { return RunAgent(job); });
    AskHangUp(THangUpPlace::AfterTransfer);
    SetTransferControlsEnabled(true);
    ActivateFolder();
    if (result.Sent > 0)
        SetTransientStatus(FillIn(MessageText(MsgSent), QString::number(result.Sent)));
    else
        notSent(result.Started ? MsgServerRefused : MsgErrorWriting);
}

#include "CommandStates.h"

#include <algorithm>

namespace {

constexpr int UserPanelWidth = 100;
constexpr int CountPanelPerHundred = 15;

bool TransmitPossible(const TCommandInputs& in, bool sendPossible, bool receivePossible)
{
    const TTransmitChoice& t = in.Transmit;
    if (t.IgnoreSmtp && t.IgnorePop)
        return false;
    return (sendPossible && t.HasSmtpServer) || t.IgnoreSmtp || (receivePossible && t.HasPopServers) || t.IgnorePop;
}

bool TransmitUnconfigured(const TTransmitChoice& t)
{
    const bool sendPart = t.HasSmtpServer && !t.IgnoreSmtp;
    const bool receivePart = t.HasPopServers && !t.IgnorePop;
    return !(t.IgnoreSmtp && t.IgnorePop) && !sendPart && !receivePart;
}

} // namespace

TCommandStates ComputeCommandStates(const TCommandInputs& in)
{
    TCommandStates s;
    s.Open = in.SelectedRows == 1;
    s.Properties = s.Open;
    s.RenameFolder = in.FolderRemovable;
    s.DeleteFolder = in.FolderRemovable;
    s.SelectionCommands = in.TreeFocused ? in.FolderRemovable : in.SelectedRows > 0;
    s.ShowLogfile = in.LogActive;
    const bool transferFree = !in.Running.ServerManager && !in.Running.Agent;
    s.Send = in.OutboxMessages > 0 && transferFree;
    s.Receive = transferFree;
    s.TransmitNeedsSettings = transferFree && TransmitUnconfigured(in.Transmit);
    s.Transmit = TransmitPossible(in, s.Send, s.Receive) || s.TransmitNeedsSettings;
    s.ServerManager = transferFree;
    s.MailAccounts = !in.Running.MailAccounts;
    s.Users = !in.Running.Any();
    s.ExecuteFilter = in.InboxMessages > 0;
    return s;
}

std::array<int, 4> StatusPanelWidths(int statusBarWidth)
{
    const int width = std::max(statusBarWidth, 0);
    const int countPanel = CountPanelPerHundred * (width / 100);
    const int textPanel = std::max((width - countPanel - UserPanelWidth) / 2, 0);
    return {textPanel, textPanel, UserPanelWidth, countPanel};
}

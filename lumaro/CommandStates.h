#pragma once
// Which commands of the main window are enabled, computed from the window's state, and the widths
// of the status bar panels.

#include <array>

// How many of each program the main window waits for are running. Counts, not flags: message windows
// nest (a reply opened while a message is shown), and the inner one ending must not free the outer's
// commands.
struct TRunningFlags {
    int ServerManager = 0;
    int MailAccounts = 0;
    int MessageWindow = 0;
    int Agent = 0;

    bool Any() const { return ServerManager > 0 || MailAccounts > 0 || MessageWindow > 0 || Agent > 0; }
};

struct TTransmitChoice {
    bool IgnoreSmtp = false;
    bool IgnorePop = false;
    bool HasSmtpServer = false;
    bool HasPopServers = false;
};

struct TCommandInputs {
    int SelectedRows = 0;
    bool TreeFocused = false;
    // The selected folder is a user folder without sub-folders.
    bool FolderRemovable = false;
    bool LogActive = false;
    int OutboxMessages = 0;
    int InboxMessages = 0;
    TRunningFlags Running;
    TTransmitChoice Transmit;
};

struct TCommandStates {
    bool Open = false;
    bool Properties = false;
    // Delete, Copy to, Move to, Mark as and Select All share one state.
    bool SelectionCommands = false;
    bool RenameFolder = false;
    bool DeleteFolder = false;
    bool ShowLogfile = false;
    bool Send = false;
    bool Receive = false;
    bool Transmit = false;
    // Transmit has neither an SMTP server to send through nor an account to receive from: F9 opens
    // the transmit settings first instead of doing nothing.
    bool TransmitNeedsSettings = false;
    bool ServerManager = false;
    bool MailAccounts = false;
    bool Users = false;
    bool ExecuteFilter = false;
};

TCommandStates ComputeCommandStates(const TCommandInputs& in);

// Panels 0 and 1 share what panel 2 (100) and panel 3 (15 per 100 pixels) leave; never negative.
std::array<int, 4> StatusPanelWidths(int statusBarWidth);

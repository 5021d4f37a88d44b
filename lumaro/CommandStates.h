#pragma once
// Which commands of the main window are enabled, computed from the window's state, and the widths
// of the status bar panels.

#include <array>

// One flag per program the main window waits for.
struct TRunningFlags {
    bool ServerManager = false;
    bool MailAccounts = false;
    bool MessageWindow = false;
    bool Agent = false;

    bool Any() const { return ServerManager || MailAccounts || MessageWindow || Agent; }
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
    bool ServerManager = false;
    bool MailAccounts = false;
    bool Users = false;
    bool ExecuteFilter = false;
};

TCommandStates ComputeCommandStates(const TCommandInputs& in);

// Panels 0 and 1 share what panel 2 (100) and panel 3 (15 per 100 pixels) leave; never negative.
std::array<int, 4> StatusPanelWidths(int statusBarWidth);

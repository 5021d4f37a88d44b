#pragma once
// Which commands of the server manager's window are enabled, as plain data: the window only
// applies the result. Marking stays possible while a mailbox is being listed (its rows are there
// already), but not while the marks are carried out.

enum class TActivity { Idle, Listing, CarryingOut };

struct TCommandInputs {
    TActivity Activity = TActivity::Idle;
    int ShownRows = 0;
    int SelectedRows = 0;
    // Some line is marked for fetching or deleting.
    bool AnyWork = false;
    // The remembered choices name something to connect to.
    bool CanRefresh = false;
};

struct TCommandStates {
    bool Connect = false;
    bool Stop = false;
    bool Action = false;
    bool Mark = false;
    bool SelectAll = false;
    bool Refresh = false;
};

TCommandStates ComputeCommandStates(const TCommandInputs& in);

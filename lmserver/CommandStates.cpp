#include "CommandStates.h"

TCommandStates ComputeCommandStates(const TCommandInputs& in)
{
    const bool idle = in.Activity == TActivity::Idle;
    TCommandStates s;
    s.Connect = idle;
    s.Stop = !idle;
    s.Action = idle && in.AnyWork;
    s.Mark = in.Activity != TActivity::CarryingOut && in.SelectedRows > 0;
    s.SelectAll = in.ShownRows > 0;
    s.Refresh = idle && in.CanRefresh;
    return s;
}

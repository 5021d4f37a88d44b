#include "DialupQuestions.h"

THangUpStep DecideHangUp(const THangUpInput& input)
{
    if (!input.HasConnection || (!input.Force && !input.OwnConnection))
        return THangUpStep::Skip;
    if (input.Warning)
        return THangUpStep::Ask;
    return input.Remembered ? THangUpStep::HangUp : THangUpStep::Skip;
}

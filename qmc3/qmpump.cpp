#include "qmpump.h"

#include <QElapsedTimer>

namespace {

constexpr qint64 MinimumPumpIntervalMs = 20;

TMessagePump& Pump()
{
    static TMessagePump pump;
    return pump;
}

QElapsedTimer& SinceLastPump()
{
    static QElapsedTimer timer;
    return timer;
}

} // namespace

void SetMessagePump(TMessagePump pump)
{
    Pump() = std::move(pump);
    SinceLastPump().invalidate();
}

void ProcessMessages()
{
    if (!Pump())
        return;
    QElapsedTimer& timer = SinceLastPump();
    if (timer.isValid() && timer.elapsed() < MinimumPumpIntervalMs)
        return;
    ProcessMessagesNow();
}

void ProcessMessagesNow()
{
    if (!Pump())
        return;
    SinceLastPump().start();
    Pump()();
}

#include "nktypes.h"

#include <QEventLoop>

namespace {

struct TSecurityName {
    TqmSecurity Security;
    const char* Text;
};

constexpr TSecurityName SecurityNames[] = {
    {TqmSecurity::secNone, "none"},
    {TqmSecurity::secAuto, "auto"},
    {TqmSecurity::secStartTls, "starttls"},
    {TqmSecurity::secTls, "tls"},
};

} // namespace

TqmSecurity SecurityFromText(QByteArrayView text)
{
    const QByteArray word = text.trimmed().toByteArray().toLower();
    for (const TSecurityName& name : SecurityNames)
        if (word == name.Text)
            return name.Security;
    return TqmSecurity::secAuto;
}

QByteArray SecurityText(TqmSecurity security)
{
    for (const TSecurityName& name : SecurityNames)
        if (security == name.Security)
            return name.Text;
    return "auto";
}

TTimeCounter::TTimeCounter()
{
    m_timer.setInterval(1000);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Tick(); });
}

void TTimeCounter::TimerOn()
{
    m_countdown = m_limit;
    m_timer.start();
}

void TTimeCounter::Tick()
{
    if (--m_countdown > 0)
        return;
    m_timedOut = true;
    m_timer.stop();
    if (OnTimedOut)
        OnTimedOut();
}

TEventWait::TEventWait(TTimeCounter& counter) : m_counter(counter) {}

void TEventWait::Run(const std::function<bool()>& done)
{
    m_counter.TimerOn();
    QEventLoop* outer = m_loop;
    while (!done() && !m_counter.TimedOut()) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
    }
    m_loop = outer;
    m_counter.TimerOff();
}

void TEventWait::Wake()
{
    if (m_loop)
        m_loop->quit();
}

#include "DisplayThrottle.h"

TDisplayThrottle::TDisplayThrottle(std::function<void()> show, int intervalMs, QObject* parent)
    : QObject(parent), m_show(std::move(show)), m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TDisplayThrottle::Flush);
}

void TDisplayThrottle::Changed()
{
    m_pending = true;
    if (!m_sinceShown.isValid() || m_sinceShown.elapsed() >= m_intervalMs) {
        Show();
        return;
    }
    if (!m_timer.isActive())
        m_timer.start(int(m_intervalMs - m_sinceShown.elapsed()));
}

void TDisplayThrottle::Flush()
{
    if (m_pending)
        Show();
}

void TDisplayThrottle::Show()
{
    m_timer.stop();
    m_pending = false;
    m_sinceShown.start();
    m_show();
}

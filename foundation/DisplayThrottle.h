#pragma once
// Shows a changing state (a status line, a progress bar) at most once per interval: nobody reads
// faster than that, and drawing the agent's window for every message cost as much as receiving
// it. The newest state is never lost: a change within the interval is shown by a timer at its end,
// and Flush shows it at once (before a question, at the end of a run).

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class TDisplayThrottle : public QObject {
public:
    // `show` draws the newest state, which the caller keeps.
    explicit TDisplayThrottle(std::function<void()> show, int intervalMs = DefaultIntervalMs, QObject* parent = nullptr);

    // The state changed: shown now when the last showing is an interval ago, else at its end.
    void Changed();
    // Shows a change not yet shown now.
    void Flush();
    bool Pending() const { return m_pending; }

    static constexpr int DefaultIntervalMs = 100;

private:
    void Show();

    std::function<void()> m_show;
    int m_intervalMs;
    QElapsedTimer m_sinceShown;
    QTimer m_timer;
    bool m_pending = false;
};

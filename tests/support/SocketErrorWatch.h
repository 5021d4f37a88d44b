#pragma once
// Watches a socket component's OnError for the lifetime of the object. An error the test did not
// take with Take() fails the test when the watch ends: a fixture fails on surprises.

#include "nksocket.h"

#include <QStringList>
#include <QTest>

class SocketErrorWatch {
public:
    explicit SocketErrorWatch(TnkSocket& socket)
    {
        socket.OnError = [this](QObject&, QString& message) { m_errors.append(message); };
    }
    ~SocketErrorWatch()
    {
        for (const QString& error : std::as_const(m_errors))
            QTest::qFail(qPrintable(QStringLiteral("unexpected OnError: %1").arg(error)), __FILE__, __LINE__);
    }
    SocketErrorWatch(const SocketErrorWatch&) = delete;
    SocketErrorWatch& operator=(const SocketErrorWatch&) = delete;

    // The errors so far, handed over to the test.
    QStringList Take() { return std::exchange(m_errors, {}); }

private:
    QStringList m_errors;
};

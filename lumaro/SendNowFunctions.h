#pragma once
// "Send now" from a message window: the window writes its work file as "Später senden" does and asks
// the main window (window message 3029) to send that message at once. The main window files the work
// file into the Outbox only when the message window has ended, and the request may arrive before or
// after that; TSendNowRequests pairs the two. The sending itself is the main window's send job for
// the one message, through the SMTP server of the sender's account.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

// The message to send: its Outbox record and the account named by the message window.
struct TSendNowOrder {
    qint32 Record = 0;
    QByteArray Account;
};

// Owned by the main window; lives as long as it.
class TSendNowRequests {
public:
    enum class TArrival {
        // The message window still runs: EditEnded gives the order.
        Waiting,
        // Its edit has ended: send the order now.
        Ready,
        // No message window of this main window wrote that work file.
        Unknown,
    };

    void EditStarted(const QString& workFile);
    // The message window of `workFile` ended and its file became Outbox record `record` (0: nothing
    // was filed). The order when the request came first.
    std::optional<TSendNowOrder> EditEnded(const QString& workFile, qint32 record);
    TArrival Requested(const QString& workFile, const QByteArray& account, TSendNowOrder& order);

private:
    QSet<QString> m_editing;
    QHash<QString, QByteArray> m_waiting;
    // Recently ended edits, oldest first: a request arrives within moments of its window's end.
    QStringList m_endedOrder;
    QHash<QString, qint32> m_ended;
};

// The SMTP server of the account `accountName`, else the default account's; empty when neither has one.
QByteArray SendNowServer(const QByteArray& accountName);

#pragma once
// Types shared by the socket client, the dial-up component and the mail protocol clients: how a
// transfer size is counted, the event signatures, and the silence timer every wait runs.

#include "qmexcept.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QBuffer;
class QEventLoop;

// Ordinal values are stored by callers: never reorder.
enum TUnits : int { utOctets = 0, utLines = 1 };
enum TqmProtocol : int { ptTCP = 0, ptUDP = 1 };

// Transport security of a connection. secTls speaks TLS from the first byte (POP3S, SMTPS);
// secStartTls upgrades a plain connection and fails when the server does not offer it; secAuto
// upgrades when offered; secNone never encrypts.
enum class TqmSecurity { secNone, secAuto, secStartTls, secTls };
// The stored words "none", "auto", "starttls", "tls"; anything else (an empty text too) is auto.
TqmSecurity SecurityFromText(QByteArrayView text);
QByteArray SecurityText(TqmSecurity security);
// How a POP3 or SMTP client proves who it is: with the password, or with an OAuth2 access token
// (held in the client's Password) through SASL OAUTHBEARER or XOAUTH2.
enum class TqmLogInMethod { Password, OAuth2 };

// Every event passes the component that fired it as `sender`.
using TNotifyEvent = std::function<void(QObject& sender)>;
// The handler may rewrite `message`; the exception raised afterwards carries the rewritten text.
using TqmErrorEvent = std::function<void(QObject& sender, QString& message)>;
// `percent` is -1 when the expected size is unknown; `transferred` counts bytes.
using TqmProgressEvent = std::function<void(QObject& sender, int percent, qint64 transferred)>;
using TqmNumNotifyEvent = std::function<void(QObject& sender, int number)>;
// `contents` holds the whole retrieved message, positioned at its start.
using TqmUserMsgSaveEvent = std::function<void(QObject& sender, int number, QBuffer& contents)>;
// The line without its CR LF, as it appears in the transfer log.
using TqmLineTransmitEvent = std::function<void(QObject& sender, const QByteArray& line)>;
// Setting `proceed` to true goes on with the next recipient instead of failing the send.
using TqmAddressRejectedEvent =
    std::function<void(QObject& sender, const QByteArray& address, const QByteArray& serverReply, bool& proceed)>;

inline void Fire(const TNotifyEvent& event, QObject& sender)
{
    if (event)
        event(sender);
}

// Counts whole seconds of silence: TimerOn loads the countdown with the limit, every tick takes
// one second off, and at zero the timed-out flag is set and `OnTimedOut` runs. The flag stays set
// until ClearTimedOut, so a wait that sees it can raise the time-out after the timer stopped.
class TTimeCounter {
public:
    TTimeCounter();
    TTimeCounter(const TTimeCounter&) = delete;
    TTimeCounter& operator=(const TTimeCounter&) = delete;

    void TimerOn();
    void TimerOff() { m_timer.stop(); }
    bool TimedOut() const { return m_timedOut; }
    void ClearTimedOut() { m_timedOut = false; }

    // Seconds; values below 1 count as 1.
    int Limit() const { return m_limit; }
    void SetLimit(int seconds) { m_limit = qMax(1, seconds); }

    std::function<void()> OnTimedOut;

private:
    void Tick();

    QTimer m_timer;
    int m_limit = 60;
    int m_countdown = 0;
    bool m_timedOut = false;
};

// The one way the library waits: runs an event loop (so the program's windows stay alive) until a
// condition holds or the time counter runs out. Whoever changes what the condition looks at calls
// Wake. The caller raises what ended the wait; the counter is stopped on return.
class TEventWait {
public:
    explicit TEventWait(TTimeCounter& counter);
    TEventWait(const TEventWait&) = delete;
    TEventWait& operator=(const TEventWait&) = delete;

    void Run(const std::function<bool()>& done);
    void Wake();

private:
    TTimeCounter& m_counter;
    QEventLoop* m_loop = nullptr;
};

#pragma once
// A short look at a guessed server before it is proposed: connect (TLS from the first byte on the
// TLS ports), read the greeting, and on the other ports ask whether the server offers STLS (POP3
// CAPA) or STARTTLS (IMAP CAPABILITY, SMTP EHLO). No credentials are sent; the certificate is not judged here,
// since the connection test that follows verifies it and lets the user decide. The owner keeps
// the probe until it has finished or its time is up.

#include "DBAccountSecurity.h"
#include "nktypes.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QSslSocket;

enum class TProbeResult { Pending, Encrypted, StartTlsOffered, NoEncryption, Failed };
enum class TProbedProtocol { Pop3, Imap, Smtp };

class TServerProbe : public QObject {
    Q_OBJECT
public:
    // `security`: secTls probes TLS from the first byte, anything else the upgrade offer.
    TServerProbe(TProbedProtocol protocol, const QString& host, quint16 port, TqmSecurity security, QObject* parent = nullptr);
    ~TServerProbe() override;
    TServerProbe(const TServerProbe&) = delete;
    TServerProbe& operator=(const TServerProbe&) = delete;

    // Finishes as Failed when nothing conclusive came within `timeOutMs`.
    void Start(int timeOutMs);
    TProbeResult Result() const { return m_result; }
    bool Finished() const { return m_result != TProbeResult::Pending; }

    const TProbedProtocol Protocol;
    const QString Host;
    const quint16 Port;
    const TqmSecurity Security;
    // Called once, when the result is known.
    std::function<void()> OnFinished;

private:
    void ReadReply();
    // Whether the reply collected so far is complete; fills `result` when it is.
    bool Judge(TProbeResult& result) const;
    void Finish(TProbeResult result);

    QPointer<QSslSocket> m_socket;
    QByteArray m_reply;
    bool m_askedForUpgrade = false;
    TProbeResult m_result = TProbeResult::Pending;
};

namespace detail {
// Whether a complete POP3 CAPA answer, IMAP CAPABILITY answer (up to the tagged line of "P1") or
// SMTP EHLO answer (multi-line, CRLF) offers STLS or STARTTLS; nullopt while the answer is still
// incomplete.
std::optional<bool> UpgradeOffered(TProbedProtocol protocol, const QByteArray& reply);
// Whether `greeting` (the first line) is the greeting of a server of `protocol`.
bool GreetingOf(TProbedProtocol protocol, const QByteArray& greeting);
} // namespace detail

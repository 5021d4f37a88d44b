#pragma once
// The connection test of the account wizard, without windows: it logs in to the POP3 server and
// quits, and greets the SMTP server (EHLO, STARTTLS or TLS as chosen, AUTH when asked) and quits,
// with the suite's own mail clients and exactly the settings the account will store. A failure is
// sorted into what a person can act on (host not found, connection refused, TLS failed, log-in
// refused, ...) and said in plain words in the active language, with the server's own words below.
//
// Each test waits in the library's event loop, so a Cancel button keeps working: Cancel ends the
// test in progress and every later one of the same object. An untrusted certificate is offered to
// OnUntrustedCertificate; when that trusts it, the test is tried once more with the certificate
// pinned for that server, and the result carries the pin for the account to keep.

#include "DBAccountSecurity.h"
#include "nkcertificate.h"
#include "nktypes.h"

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QString>

#include <functional>

class TnkSocket;
class TqmMailBase;

struct TServerTestSettings {
    // "host" or "host:port", as the account record holds it.
    QByteArray Server;
    TqmSecurity Security = TqmSecurity::secStartTls;
    QByteArray UserName;
    QByteArray Password;
    // A certificate the user trusts for this server; empty = none.
    TServerPin Pin;
    // How the incoming server is tested (ignored for SMTP).
    TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
    // OAuth2: Password is an access token, sent as the clients send it.
    TqmLogInMethod LogInMethod = TqmLogInMethod::Password;
};

enum class TTestStage { Connecting, Encrypting, LoggingIn };

enum class TTestOutcome {
    Success,
    HostNotFound,
    Refused,
    Unreachable,
    TimedOut,
    ConnectionClosed,
    TlsNotOffered,
    TlsFailed,
    CertificateUntrusted,
    LogInRefused,
    PlainLogInRefused,
    NoLogInMethod,
    UnexpectedReply,
    Canceled,
    OtherError
};

struct TServerTestResult {
    TTestOutcome Outcome = TTestOutcome::Success;
    // Whether the connection was encrypted when the log-in (or, without one, the greeting) was made.
    bool Encrypted = false;
    // Whether a log-in was made; false for an SMTP server tested without authentication.
    bool LoggedIn = false;
    // The library's or the server's own words about the failure; empty on success.
    QString Detail;
    // The untrusted certificate (CertificateUntrusted).
    TnkCertificateFacts Certificate;
    // The certificate the user chose to trust during this test: the account keeps it as its pin.
    TServerPin TrustedPin;
};

class TConnectionTest {
public:
    TConnectionTest() = default;
    TConnectionTest(const TConnectionTest&) = delete;
    TConnectionTest& operator=(const TConnectionTest&) = delete;

    // USER, PASS (after STLS or over TLS as the security says) and QUIT; for settings.Incoming
    // IMAP the IMAP log-in and LOGOUT instead.
    TServerTestResult TestPop3(const TServerTestSettings& settings);
    // Greeting, EHLO, STARTTLS (or TLS from the first byte), AUTH with `authenticate`, QUIT.
    TServerTestResult TestSmtp(const TServerTestSettings& settings, bool authenticate);
    // Ends the test in progress with the outcome Canceled; later tests of this object are canceled
    // at once. May be called from inside a test's wait (a button click).
    void Cancel();
    bool Canceled() const { return m_canceled; }

    // Seconds of silence after which a server counts as not answering.
    int TimeOut = 30;
    // The local address to connect from; null lets the system choose.
    QHostAddress BindAddress;
    // Where each test is; `service` names the server.
    std::function<void(TMailService service, TTestStage stage)> OnStage;
    // Asked when a server's certificate cannot be verified; true trusts this one certificate.
    std::function<bool(TMailService service, const TnkCertificateFacts& certificate)> OnUntrustedCertificate;
    // Work done on the incoming server while logged in (listing its folders); what it raises is
    // a failure of the test like any other.
    std::function<void(TqmMailBase& client)> WhileLoggedIn;

private:
    TServerTestResult Run(TMailService service, TServerTestSettings settings, bool authenticate);
    TServerTestResult Attempt(TMailService service, const TServerTestSettings& settings, bool authenticate);
    void Watch(TnkSocket& client, TMailService service, TServerTestResult& result, bool& logInOffered);

    QPointer<TnkSocket> m_client;
    bool m_canceled = false;
};

// The outcome in plain words (active language) for the server shown as `server` ("host:port"),
// followed by the server's or the library's own words when there are any.
QString DescribeTestResult(const TServerTestResult& result, const QString& server);
// What a test is doing, for the progress line.
QString DescribeTestStage(TTestStage stage, const QString& server);

namespace detail {
// What went wrong, from what the client raised. `code`: the client's LastErrorCode; `duringLogIn`:
// the credentials were being offered; `encrypted`: the connection was encrypted at that moment.
enum class TRaised { Socket, Server, PlainLogInRefused, TimedOut, Canceled, Other };
TTestOutcome ClassifyFailure(TRaised raised, int code, bool duringLogIn, bool encrypted, const QString& text);
} // namespace detail

#include "ConnectionTest.h"

#include "CertificatePins.h"
#include "CertificateTexts.h"
#include "WizardRules.h"
#include "qmconst.h"
#include "qmimap.h"
#include "qmpop3.h"
#include "qmsmtp.h"
#include "tk_langlib.h"

#include <algorithm>

namespace {

bool OneOf(int code, std::initializer_list<int> codes)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TTestOutcome SocketOutcome(int code)
{
    if (OneOf(code, {11001, 11002, 11003, 11004, 57004}))
        return TTestOutcome::HostNotFound;
    if (code == 10061)
        return TTestOutcome::Refused;
    if (OneOf(code, {10050, 10051, 10064, 10065}))
        return TTestOutcome::Unreachable;
    if (OneOf(code, {10060, qmOperationTimedOut}))
        return TTestOutcome::TimedOut;
    if (OneOf(code, {10052, 10053, 10054}))
        return TTestOutcome::ConnectionClosed;
    if (code == qmTlsNotOffered)
        return TTestOutcome::TlsNotOffered;
    if (OneOf(code, {qmTlsFailed, qmTlsInjection}))
        return TTestOutcome::TlsFailed;
    if (OneOf(code, {qmCertificateRejected, qmCertificateChanged}))
        return TTestOutcome::CertificateUntrusted;
    if (OneOf(code, {qmPlainLogInRefused, qmTlsDowngrade}))
        return TTestOutcome::PlainLogInRefused;
    if (code == qmOperationCanceled)
        return TTestOutcome::Canceled;
    return TTestOutcome::OtherError;
}

// A refusal over a plain connection that asks for encryption: Dovecot's "Plaintext authentication
// disallowed on non-secure (SSL/TLS) connections", SMTP's 530 "Must issue a STARTTLS command first"
// and 538 "Encryption required".
bool AsksForEncryption(const QString& reply)
{
    if (reply.startsWith(QLatin1String("530")) || reply.startsWith(QLatin1String("538")))
        return true;
    for (const char* word : {"plaintext", "tls", "ssl", "encrypt"})
        if (reply.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

int SuccessText(const TServerTestResult& result)
{
    if (result.LoggedIn)
        return result.Encrypted ? WizardText::TestLoggedIn : WizardText::TestLoggedInInClear;
    return result.Encrypted ? WizardText::TestConnected : WizardText::TestConnectedInClear;
}

int FailureText(TTestOutcome outcome)
{
    switch (outcome) {
    case TTestOutcome::HostNotFound: return WizardText::TestHostNotFound;
    case TTestOutcome::Refused: return WizardText::TestRefused;
    case TTestOutcome::Unreachable: return WizardText::TestUnreachable;
    case TTestOutcome::TimedOut: return WizardText::TestTimedOut;
    case TTestOutcome::ConnectionClosed: return WizardText::TestClosed;
    case TTestOutcome::TlsNotOffered: return WizardText::TestTlsNotOffered;
    case TTestOutcome::TlsFailed: return WizardText::TestTlsFailed;
    case TTestOutcome::CertificateUntrusted: return WizardText::TestCertificate;
    case TTestOutcome::LogInRefused: return WizardText::TestLogInRefused;
    case TTestOutcome::PlainLogInRefused: return WizardText::TestPlainRefused;
    case TTestOutcome::NoLogInMethod: return WizardText::TestNoLogInMethod;
    case TTestOutcome::UnexpectedReply: return WizardText::TestUnexpectedReply;
    case TTestOutcome::Canceled: return WizardText::TestCanceled;
    case TTestOutcome::Success:
    case TTestOutcome::OtherError: break;
    }
    return WizardText::TestOtherError;
}

} // namespace

namespace detail {

TTestOutcome ClassifyFailure(TRaised raised, int code, bool duringLogIn, bool encrypted, const QString& text)
{
    switch (raised) {
    case TRaised::Canceled: return TTestOutcome::Canceled;
    case TRaised::TimedOut: return TTestOutcome::TimedOut;
    case TRaised::PlainLogInRefused: return TTestOutcome::PlainLogInRefused;
    case TRaised::Socket: return SocketOutcome(code);
    case TRaised::Other: return TTestOutcome::OtherError;
    case TRaised::Server: break;
    }
    // Many servers offer AUTH only over TLS: without it, no mechanism means "encrypt first".
    if (text == qmMessageText(qmNoAuthMechanism))
        return encrypted ? TTestOutcome::NoLogInMethod : TTestOutcome::PlainLogInRefused;
    if (!duringLogIn)
        return TTestOutcome::UnexpectedReply;
    return !encrypted && AsksForEncryption(text) ? TTestOutcome::PlainLogInRefused : TTestOutcome::LogInRefused;
}

} // namespace detail

TServerTestResult TConnectionTest::TestPop3(const TServerTestSettings& settings)
{
    return Run(TMailService::Pop, settings, true);
}

TServerTestResult TConnectionTest::TestSmtp(const TServerTestSettings& settings, bool authenticate)
{
    return Run(TMailService::Smtp, settings, authenticate);
}

void TConnectionTest::Cancel()
{
    m_canceled = true;
    if (m_client)
        m_client->Cancel();
}

TServerTestResult TConnectionTest::Run(TMailService service, TServerTestSettings settings, bool authenticate)
{
    TServerTestResult result = Attempt(service, settings, authenticate);
    if (result.Outcome != TTestOutcome::CertificateUntrusted || m_canceled || !OnUntrustedCertificate
        || !OnUntrustedCertificate(service, result.Certificate))
        return result;
    // Trusted once, tried once more: a second refusal shows as it is.
    settings.Pin = PinFromFacts(result.Certificate);
    result = Attempt(service, settings, authenticate);
    if (result.Outcome != TTestOutcome::CertificateUntrusted)
        result.TrustedPin = settings.Pin;
    return result;
}

void TConnectionTest::Watch(TnkSocket& client, TMailService service, TServerTestResult& result, bool& logInOffered)
{
    auto stage = [this, service](TTestStage reached) {
        if (OnStage)
            OnStage(service, reached);
    };
    client.OnOpen = [stage](QObject&) { stage(TTestStage::Connecting); };
    client.OnLineSent = [stage, &client, &result, &logInOffered](QObject&, const QByteArray& line) {
        // IMAP commands carry a tag before the command name.
        const QByteArray command = line.startsWith('A') && line.contains(' ') ? line.mid(line.indexOf(' ') + 1) : line;
        if (line == "STLS" || line == "STARTTLS" || command == "STARTTLS")
            stage(TTestStage::Encrypting);
        else if (line.startsWith("USER ") || line.startsWith("AUTH ") || command.startsWith("AUTHENTICATE ")
                 || command.startsWith("LOGIN ")) {
            logInOffered = true;
            result.Encrypted = client.Encrypted();
            stage(TTestStage::LoggingIn);
        }
    };
}

TServerTestResult TConnectionTest::Attempt(TMailService service, const TServerTestSettings& settings, bool authenticate)
{
    TServerTestResult result;
    if (m_canceled) {
        result.Outcome = TTestOutcome::Canceled;
        return result;
    }
    TqmPOP pop;
    TqmIMAP imap;
    TqmSMTP smtp;
    const bool incoming = service == TMailService::Pop;
    TqmMailBase& client = !incoming ? static_cast<TqmMailBase&>(smtp)
                          : settings.Incoming == TIncomingProtocol::Imap ? static_cast<TqmMailBase&>(imap) : pop;
    client.Server = settings.Server;
    client.Security = settings.Security;
    ApplyPin(client, settings.Pin);
    client.BindAddress = BindAddress;
    client.SetTimeOut(TimeOut);
    pop.UserName = imap.UserName = smtp.UserName = settings.UserName;
    pop.Password = imap.Password = smtp.Password = settings.Password;
    pop.LogInMethod = imap.LogInMethod = smtp.LogInMethod = settings.LogInMethod;
    bool logInOffered = false;
    Watch(client, service, result, logInOffered);
    m_client = &client;
    detail::TRaised raised = detail::TRaised::Other;
    try {
        client.OpenConnection();
        result.Encrypted = client.Encrypted();
        result.LoggedIn = service == TMailService::Pop;
        if (incoming && WhileLoggedIn) {
            logInOffered = false;
            WhileLoggedIn(client);
        }
        if (service == TMailService::Smtp && authenticate) {
            smtp.Authenticate();
            result.LoggedIn = true;
        }
        logInOffered = false;
        client.CloseConnection();
        m_client = nullptr;
        if (m_canceled)
            result.Outcome = TTestOutcome::Canceled;
        return result;
    } catch (const ECertificateError& error) {
        raised = detail::TRaised::Socket;
        result.Detail = error.Message();
        result.Certificate = error.Facts();
    } catch (const EPlainLogInRefused& error) {
        raised = detail::TRaised::PlainLogInRefused;
        result.Detail = error.Message();
    } catch (const ESocketError& error) {
        raised = detail::TRaised::Socket;
        result.Detail = error.Message();
    } catch (const EServerError& error) {
        raised = detail::TRaised::Server;
        result.Detail = error.Message();
    } catch (const ETimedOutError& error) {
        raised = detail::TRaised::TimedOut;
        result.Detail = error.Message();
    } catch (const ECanceledError& error) {
        raised = detail::TRaised::Canceled;
        result.Detail = error.Message();
    } catch (const EqmException& error) {
        result.Detail = error.Message();
    }
    m_client = nullptr;
    client.Close();
    result.LoggedIn = false;
    result.Outcome = m_canceled ? TTestOutcome::Canceled
                                : detail::ClassifyFailure(raised, client.LastErrorCode(), logInOffered, result.Encrypted,
                                                          result.Detail);
    return result;
}

QString DescribeTestStage(TTestStage stage, const QString& server)
{
    switch (stage) {
    case TTestStage::Connecting: return FillIn(MessageText(WizardText::StageConnecting), server);
    case TTestStage::Encrypting: return FillIn(MessageText(WizardText::StageEncrypting), server);
    case TTestStage::LoggingIn: break;
    }
    return FillIn(MessageText(WizardText::StageLoggingIn), server);
}

QString DescribeTestResult(const TServerTestResult& result, const QString& server)
{
    switch (result.Outcome) {
    case TTestOutcome::Success: return FillIn(MessageText(SuccessText(result)), server);
    case TTestOutcome::Canceled: return MessageText(WizardText::TestCanceled);
    case TTestOutcome::CertificateUntrusted:
        return FillInEach(MessageText(WizardText::TestCertificate),
                          {server, CertificateReasonText(result.Certificate), QString::fromLatin1(result.Certificate.Fingerprint)});
    default: break;
    }
    QString text = FillIn(MessageText(FailureText(result.Outcome)), server);
    if (!result.Detail.isEmpty())
        text += QLatin1Char('\n') + FillIn(MessageText(WizardText::TestDetail), result.Detail);
    return text;
}

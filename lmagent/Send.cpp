#include "Send.h"

#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "DialupFunctions.h"
#include "LogInRetry.h"
#include "OutgoingText.h"
#include "Reporter.h"
#include "SentCopies.h"
#include "SharedFunctions.h"
#include "qmconst.h"
#include "SpoolFunctions.h"
#include "tk_langlib.h"
#include "qmlinelength.h"
#include "qmutils.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

namespace {

constexpr int SubjectShown = 30;

// The message window expands names when a message is queued; one that reached the queue another
// way (copied into the Outbox) could still name "Proj Team", which would go out as "RCPT TO:<Proj Team>".
QByteArray FirstRecipientWithoutAt(const TqmMessage& message)
{
    for (const TqmAddressList* list : {&message.Recipients, &message.CC, &message.BCC}) {
        for (qsizetype i = 0; i < list->Count(); ++i) {
            const QByteArray& address = list->Items(i).Address;
            if (!address.contains('@'))
                return address.isEmpty() ? list->Items(i).Name : address;
        }
    }
    return {};
}

QString ShortSubject(const QByteArray& subject)
{
    const QString text = QString::fromUtf8(subject);
    return text.size() > SubjectShown ? text.left(SubjectShown) + QStringLiteral("...") : text;
}

} // namespace

void RemoveAllFields(TqmHeaders& headers, const QByteArray& name)
{
    for (qsizetype before = -1; before != headers.size();) {
        before = headers.size();
        headers.Remove(name);
    }
}

void ApplyBlindCopies(TqmMessage& message)
{
    QByteArrayList addresses;
    message.Headers.GetMultiLineFieldBody("X-LMBCC", addresses);
    message.BCC.Clear();
    // A blind copy may carry its name as the message window wrote it ("Name" <box@host>).
    for (const QByteArray& entry : std::as_const(addresses)) {
        TqmMailAddress address;
        PickMailAddress(entry, address);
        if (!address.Address.isEmpty())
            message.BCC.Add(address);
    }
    RemoveAllFields(message.Headers, "X-LMBCC");
}

QStringList QueueFiles(const QString& queueDir)
{
    const QDir dir(queueDir);
    QStringList files;
    for (const QString& name : dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name))
        if (!IsWorkFileName(name))
            files.append(dir.filePath(name));
    return files;
}

TSendRun::TSendRun(const TAgentJob& job, const TSendPaths& paths, const TAgentEvents& events)
    : m_job(job), m_paths(paths), m_events(events)
{
}

QString TSendRun::Text(int id, const QString& value)
{
    return FillIn(MessageText(id), value);
}

bool TSendRun::Execute(TDialUp& dialUp, int timeoutSeconds, bool debugMode)
{
    m_events.Title(Text(AgentText::Sending));
    m_timeoutSeconds = timeoutSeconds;
    Configure(timeoutSeconds, debugMode);
    try {
        if (!EnsureConnection(dialUp, QString::fromUtf8(m_job.RasService), m_job.RasHangUp, m_events))
            throw ESocketError(Text(AgentText::NoConnection));
        m_running = true;
        Connect();
        m_headerLines = ReadHeaderList(m_paths.HeadersFile);
        for (const QString& path : QueueFiles(m_paths.QueueDir))
            if (!SendFile(path))
                break;
        m_smtp.CloseConnection();
        StoreSentCopies(SentCopyDir(m_paths.QueueDir, m_job.AccountName), m_job, m_events, m_timeoutSeconds, m_paths.LogFile);
        m_running = false;
        // Closing says "Connection closed"; the user must still see why a message stayed.
        if (m_failed)
            m_events.Status(m_lastFailure);
        return !m_failed;
    } catch (const ECanceledError&) {
        m_lastFailure = Text(AgentText::Cancelled);
    } catch (const EqmException& error) {
        m_lastFailure = ErrorStatusText(m_job.Server, ShownErrorText(error));
    }
    m_running = false;
    if (m_smtp.OnLine())
        m_smtp.Close();
    m_events.Status(m_lastFailure);
    return false;
}

void TSendRun::Configure(int timeoutSeconds, bool debugMode)
{
    m_smtp.Server = m_job.Server;
    m_smtp.Security = m_job.Security;
    ApplyPin(m_smtp, {m_job.PinnedServer, m_job.PinnedCertificate});
    m_smtp.TlsSeenBefore = TlsSeenBefore(m_job.AccountName, TMailService::Smtp, m_job.Server);
    if (!m_job.Username.isEmpty()) {
        if (debugMode)
            Report(AgentText::SmtpWithAuth, TMessageKind::Information);
        m_smtp.UserName = m_job.Username;
        m_smtp.Password = m_job.Password;
        m_smtp.LogInMethod = m_job.Auth == TAuthMethod::OAuth2 ? TqmLogInMethod::OAuth2 : TqmLogInMethod::Password;
    }
    m_smtp.LogFileName = m_paths.LogFile;
    m_smtp.SetTimeOut(timeoutSeconds);
    m_smtp.MailMessage = &m_message;
    ConnectEvents();
}

void TSendRun::ConnectEvents()
{
    m_smtp.OnOpen = [this](QObject&) {
        m_events.Status(Text(AgentText::Connecting) + QStringLiteral(": ") + QString::fromUtf8(m_job.Server));
        m_events.Progress(0);
    };
    m_smtp.OnPrepare = [this](QObject&) { m_events.Progress(0); };
    m_smtp.OnSending = [this](QObject&) { m_events.Status(Text(AgentText::SendingMessage, ShortSubject(m_message.Subject))); };
    m_smtp.OnMailSent = [this](QObject&) { m_events.Progress(100); };
    m_smtp.OnProgress = [this](QObject&, int percent, qint64) {
        if (percent >= 0)
            m_events.Progress(percent);
    };
    m_smtp.OnClosing = [this](QObject&) { m_events.Status(Text(AgentText::ClosingConnection)); };
    m_smtp.OnClosed = [this](QObject&) {
        m_events.Status(Text(AgentText::ConnectionClosed));
        m_events.Progress(0);
    };
    m_smtp.OnCancel = [this](QObject&) { m_events.Status(Text(AgentText::Cancelled)); };
    // After a permanent refusal the other recipients still get the message; the user learns who
    // did not. A temporary one (4xx) stops the message before DATA: its file stays, and the next
    // send delivers it to everyone once.
    m_smtp.OnAddressRejected = [](QObject&, const QByteArray& address, const QByteArray& reply, bool& proceed) {
        ReportText(AgentText::AddressRejected, TMessageKind::Warning,
                   FillIn(MessageText(AgentText::AddressRejected), QString::fromUtf8(address)) + qmReplyText(reply));
        proceed = !reply.startsWith('4');
    };
}

void TSendRun::OpenConnection()
{
    try {
        m_smtp.OpenConnection();
    } catch (const ECertificateError& error) {
        if (!m_events.TrustCertificate(error.Facts()))
            throw;
        TrustCertificate(m_job.AccountName, TMailService::Smtp, error.Facts(), m_smtp);
        m_smtp.OpenConnection();
    }
}

void TSendRun::Connect()
{
    OpenConnection();
    if (m_smtp.UpgradedToTls())
        RememberTlsSeen(m_job.AccountName, TMailService::Smtp, m_job.Server);
    if (!m_smtp.UserName.isEmpty())
        AuthenticateWithRetry();
}

void TSendRun::AuthenticateWithRetry()
{
    try {
        m_smtp.Authenticate();
    } catch (const ELogInRefused& refusal) {
        const std::optional<QByteArray> password = AskRefusedPassword(m_events, m_job, TMailService::Smtp, refusal);
        if (!password)
            throw;
        m_job.Password = *password;
        m_smtp.Password = *password;
        // RFC 4954, 4: after a failed AUTH the client may try again in the same session.
        if (m_smtp.OnLine())
            m_smtp.Authenticate();
        else
            Connect();
    }
}

void TSendRun::Cancel()
{
    if (m_running)
        m_smtp.Cancel();
}

// The message object gives the envelope (sender, recipients, blind copies) and the subject shown;
// the text goes out as the queue file holds it.
void TSendRun::PrepareMessage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EMessageError(FillInEach(MessageText(AgentText::CouldNotRead), {path, file.errorString()}));
    m_queueText = file.readAll();
    QBuffer buffer(&m_queueText);
    buffer.open(QIODevice::ReadOnly);
    m_message.Clear();
    m_message.LoadFromStream(buffer);
    ApplyBlindCopies(m_message);
}

void TSendRun::Transmit(QByteArray text)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    m_events.Progress(0);
    m_smtp.SendMessageData(buffer);
}

bool TSendRun::SendFile(const QString& path)
{
    try {
        PrepareMessage(path);
        if (!m_message.Headers.GetFieldBody("X-LMHOLD").trimmed().isEmpty())
            return true;
        if (const QByteArray recipient = FirstRecipientWithoutAt(m_message); !recipient.isEmpty()) {
            ReportText(AgentText::RecipientNotAnAddress, TMessageKind::Warning,
                       Text(AgentText::RecipientNotAnAddress, QString::fromUtf8(m_message.Subject)) + QString::fromUtf8(recipient));
            return true;
        }
        const std::optional<QByteArray> text = MendedText();
        if (!text)
            return true;
        Transmit(*text);
        if (!m_job.SentCopy.Server.isEmpty())
            KeepSentCopy(SentCopyDir(m_paths.QueueDir, m_job.AccountName), *text);
    } catch (const ECanceledError&) {
        throw;
    } catch (const EqmException& error) {
        return AskAfterFailure(ShownErrorText(error));
    }
    if (!QFile::remove(path))
        ReportText(AgentText::CouldNotDelete, TMessageKind::Warning, QStringLiteral("Error, could not delete file ") + path);
    return true;
}

// Strict servers refuse a line over 998 octets on every run; mended, the message goes out, and one
// that cannot be mended stays queued (like a held one) with a warning instead of failing each time.
std::optional<QByteArray> TSendRun::MendedText()
{
    const QByteArray text = TransmitText(m_queueText, m_headerLines);
    try {
        return MendOverlongLines(text);
    } catch (const EMessageError& error) {
        ReportText(AgentText::LineTooLongHeld, TMessageKind::Warning,
                   Text(AgentText::LineTooLongHeld, QString::fromUtf8(m_message.Subject)) + error.Message());
        return std::nullopt;
    }
}

bool TSendRun::AskAfterFailure(const QString& text)
{
    m_lastFailure = Text(AgentText::MessageError, text);
    m_events.Status(m_lastFailure);
    m_failed = true;
    if (!m_events.Question(Text(AgentText::SendFailedQuestion, QString::fromUtf8(m_message.Subject)) + QStringLiteral("\n\n") + text))
        return false;
    RecoverSession();
    return true;
}

// A refused command leaves the server in the middle of a transaction, and a time-out closes
// the connection: either way the next message needs a clean session.
void TSendRun::RecoverSession()
{
    if (m_smtp.OnLine()) {
        try {
            m_smtp.Reset();
            return;
        } catch (const ECanceledError&) {
            throw;
        } catch (const EqmException&) {
            m_smtp.Close();
        }
    }
    Connect();
}

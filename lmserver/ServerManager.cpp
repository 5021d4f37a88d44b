#include "ServerManager.h"

#include "AtomicFile.h"
#include "CertificatePins.h"
#include "DBAccountsFunctions.h"
#include "DBAgentFunctions.h"
#include "Konstanten.h"
#include "LmserverTexts.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "qmexcept.h"
#include "tk_langlib.h"

#include <QBuffer>
#include <QDate>
#include <QScopeGuard>

namespace {

// Sets a flag for the lifetime of the object.
class TBusyScope {
public:
    explicit TBusyScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TBusyScope() { m_flag = false; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    bool& m_flag;
};

// The agent may be in the middle of a receive run of the same account, which holds the check file
// for its whole run.
constexpr int CheckFileLockWaitMs = 10000;

// What the agent's check file needs of a fetched message: its unique id, else its key headers.
TFetchedMessage FetchedMessage(const QByteArray& uidl, const QByteArray& message)
{
    constexpr qsizetype MaxHeaderBlock = 256 * 1024;
    TqmHeaders headers = TqmHeaders::FromText(message.left(MaxHeaderBlock));
    headers.CleanUp();
    return {uidl, headers.GetFieldBody("Message-Id"), headers.GetFieldBody("Date")};
}

} // namespace

std::optional<TAgentJob> detail::ReceiveJobOf(const TServerEntry& entry)
{
    QByteArrayList names{entry.AccountName};
    if (entry.AccountName.isEmpty())
        names = AccountNames();
    const QByteArray& action = entry.Incoming == TIncomingProtocol::Imap ? ImapReceiveAction : ReceiveAction;
    for (const QByteArray& name : std::as_const(names)) {
        TAgentJob job;
        if (FillReceiveJob(job, name, KeepModeFromAccount) && job.Server == entry.Server && job.Username == entry.UserName
            && job.Action == action)
            return job;
    }
    return std::nullopt;
}

TServerManager::TServerManager(const TLmserverSettings& settings, const TServerEvents& events)
    : m_settings(settings), m_events(events)
{
    ConnectEvents();
}

void TServerManager::Status(const QString& text) const
{
    if (m_events.Status)
        m_events.Status(text);
}

void TServerManager::Progress(int percent) const
{
    if (m_events.Progress)
        m_events.Progress(percent);
}

void TServerManager::ConnectEvents()
{
    m_pop.OnOpen = [this](QObject&) {
        Status(ConnectingStatus(m_pop.Server));
        Progress(0);
    };
    m_pop.OnUpdatingInfo = [this](QObject&) { Status(CheckingStatus(m_pop.Server)); };
    m_pop.OnRetrieving = [this](QObject&, int index) {
        Status(ReceivingStatus(index, m_pop.MessageCount));
        Progress(0);
    };
    m_pop.OnRetrieved = [this](QObject&, int) {
        Status(MessageText(LmserverText::MessageReceived));
        Progress(100);
    };
    m_pop.OnDeleting = [this](QObject&, int index) { Status(DeletingStatus(index)); };
    m_pop.OnProgress = [this](QObject&, int percent, qint64) {
        if (percent >= 0)
            Progress(percent);
    };
    m_pop.OnClosing = [this](QObject&) { Status(MessageText(LmserverText::ClosingConnection)); };
    m_pop.OnClosed = [this](QObject&) { Status(MessageText(LmserverText::ConnectionClosed)); };
    m_pop.OnCancel = [this](QObject&) { Status(MessageText(LmserverText::Cancelled)); };
    m_pop.OnError = [this](QObject&, const QString& error) { Status(ErrorStatus(error)); };
    m_pop.OnUserMessageSave = [this](QObject&, int, QBuffer& contents) { m_retrieved = contents.data(); };
    m_imap.OnOpen = [this](QObject&) {
        Status(ConnectingStatus(m_imap.Server));
        Progress(0);
    };
    m_imap.OnProgress = m_pop.OnProgress;
    m_imap.OnClosing = m_pop.OnClosing;
    m_imap.OnClosed = m_pop.OnClosed;
    m_imap.OnCancel = m_pop.OnCancel;
    m_imap.OnError = m_pop.OnError;
}

TqmMailBase& TServerManager::ClientOf(int server)
{
    if (Table.Servers().at(server).Incoming == TIncomingProtocol::Imap)
        return m_imap;
    return m_pop;
}

void TServerManager::Cancel()
{
    m_cancelled = true;
    m_pop.Cancel();
    m_imap.Cancel();
}

void TServerManager::Connect(const TConnectPlan& plan, bool getHeaders)
{
    const TBusyScope busy(m_busy);
    m_cancelled = false;
    Table.Clear();
    for (const TConnectTarget& target : plan.Targets) {
        if (m_cancelled)
            break;
        ConnectServer(target, getHeaders);
    }
    if (m_cancelled)
        Status(MessageText(LmserverText::Cancelled));
}

void TServerManager::ConnectServer(const TConnectTarget& target, bool getHeaders)
{
    TConnectTarget withPassword = target;
    if (withPassword.Password.isEmpty()) {
        const std::optional<QByteArray> typed = m_events.PasswordRequest ? m_events.PasswordRequest(target) : std::nullopt;
        if (!typed)
            return;
        withPassword.Password = *typed;
    }
    TServerEntry entry;
    entry.AccountName = withPassword.AccountName;
    entry.Server = withPassword.Server;
    entry.UserName = withPassword.UserName;
    entry.Password = withPassword.Password;
    entry.Security = withPassword.Security;
    entry.Pin = withPassword.Pin;
    entry.Auth = withPassword.Auth;
    entry.Incoming = withPassword.Incoming;
    entry.Folders = withPassword.Folders;
    const int server = Table.AddServer(entry);
    if (m_events.ServerAdded)
        m_events.ServerAdded(server);
    m_pop.Configure(entry, m_settings);
    ConfigureImap(entry);
    m_pop.OnNextInfoUpdated = [this, getHeaders](QObject&, int index) { AppendListedLine(index, getHeaders); };
    try {
        try {
            ListServer(server, getHeaders);
        } catch (const ELogInRefused& refusal) {
            if (m_cancelled || !PasswordAskedAgain(server, refusal))
                throw;
            ListServer(server, getHeaders);
        }
    } catch (const EqmException& error) {
        // Stop closes the connection, so the next command may fail for that reason.
        if (!m_cancelled)
            ListingFailed(server, ShownErrorText(error));
    }
    m_pop.OnNextInfoUpdated = nullptr;
    if (ClientOf(server).OnLine())
        ClientOf(server).Close();
    Progress(0);
    if (m_events.ServerChanged)
        m_events.ServerChanged(server);
}

void TServerManager::ListServer(int server, bool getHeaders)
{
    if (Table.Servers().at(server).Incoming == TIncomingProtocol::Imap)
        return ListImapServer(server);
    // Without headers only the unique ids are listed: no TOP reaches a broken message, and
    // the ids still tell whether a message moved before it is fetched or deleted.
    TrustingOnce(server, [this, getHeaders] {
        if (getHeaders)
            m_pop.UpdateRemoteInfoAndUIDL();
        else
            m_pop.UpdateUIDL();
    });
    Table.Server(server).ListedCount = m_pop.MessageCount;
}

bool TServerManager::PasswordAskedAgain(int server, const ELogInRefused& refusal)
{
    if (!m_events.PasswordRequest || Table.Server(server).Auth == TAuthMethod::OAuth2)
        return false;
    if (ClientOf(server).OnLine())
        ClientOf(server).Close();
    // The refusal stays readable in the status line while the password window is open.
    Status(ErrorStatus(ShownErrorText(refusal)));
    TServerEntry& entry = Table.Server(server);
    TConnectTarget target{entry.Server, entry.UserName, QByteArray(), entry.Security, entry.Pin};
    target.AccountName = entry.AccountName;
    target.Incoming = entry.Incoming;
    const std::optional<QByteArray> typed = m_events.PasswordRequest(target);
    if (!typed || typed->isEmpty())
        return false;
    entry.Password = *typed;
    m_pop.Configure(entry, m_settings);
    ConfigureImap(entry);
    return true;
}

void TServerManager::TrustingOnce(int server, const std::function<void()>& step)
{
    try {
        step();
    } catch (const ECertificateError& error) {
        if (!m_events.CertificateQuestion || !m_events.CertificateQuestion(error.Facts()))
            throw;
        TServerEntry& entry = Table.Server(server);
        TrustCertificate(entry.AccountName, TMailService::Pop, error.Facts(), ClientOf(server));
        entry.Pin = PinFromFacts(error.Facts());
        step();
    }
}

void TServerManager::AppendListedLine(int index, bool getHeaders)
{
    const TqmRemoteInfoItem& item = m_pop.RemoteInfo.Items(index);
    TMessageLine line = getHeaders ? LineFromHeaders(item.Headers, item.Size) : LineWithoutHeaders(index + 1);
    line.Listed = item;
    Table.AppendLine(line);
    if (m_pop.MessageCount > 0)
        Progress(int((index + 1) * 100 / m_pop.MessageCount));
    if (m_events.LineAdded)
        m_events.LineAdded(int(Table.Lines().size()) - 1);
}

void TServerManager::ListingFailed(int server, const QString& error)
{
    Table.DropLinesOf(server);
    Table.Server(server).Failed = true;
    Table.Server(server).Error = ErrorStatus(error);
    Status(Table.Server(server).Error);
}

void TServerManager::CarryOut(const QString& spoolDir)
{
    const TBusyScope busy(m_busy);
    m_cancelled = false;
    m_spoolFailed = false;
    for (int server = 0; server < int(Table.Servers().size()) && !m_cancelled && !m_spoolFailed; ++server)
        if (!Table.Servers().at(server).Failed && Table.HasWork(server))
            CarryOutServer(server, spoolDir);
    if (m_cancelled)
        Status(MessageText(LmserverText::Cancelled));
}

void TServerManager::CarryOutServer(int server, const QString& spoolDir)
{
    if (Table.Servers().at(server).Incoming == TIncomingProtocol::Imap)
        return CarryOutImapServer(server, spoolDir);
    const TServerEntry entry = Table.Servers().at(server);
    m_pop.Configure(entry, m_settings);
    m_fetched.clear();
    QList<int> deleted;
    // Whatever ends the pass, what is in the spool counts as received.
    const auto record = qScopeGuard([&] { RecordFetched(entry); });
    try {
        TrustingOnce(server, [this] { m_pop.OpenConnection(); });
        const bool safe = PositionsAreSafe(entry);
        if (safe)
            ProcessLines(server, spoolDir, deleted);
        // QUIT: the server carries out the deletions only now.
        m_pop.CloseConnection();
        if (!deleted.isEmpty()) {
            Table.RemoveDeletedLines(server, deleted);
            if (m_events.ServerChanged)
                m_events.ServerChanged(server);
        }
        Progress(safe && !m_spoolFailed ? 100 : 0);
        return;
    } catch (const EqmException& error) {
        QString text = m_cancelled ? MessageText(LmserverText::Cancelled) : ErrorStatus(ShownErrorText(error));
        if (!deleted.isEmpty())
            text += QLatin1Char(' ') + MessageText(LmserverText::QuitFailed);
        Status(text);
    }
    if (m_pop.OnLine())
        m_pop.Close();
    Progress(0);
}

// Without unique ids and without headers the lines say nothing about their messages; then only an
// unchanged message count lets the positions be trusted.
bool TServerManager::PositionsAreSafe(const TServerEntry& entry)
{
    for (int row = entry.FirstLine; row < entry.FirstLine + entry.Count; ++row) {
        const TqmRemoteInfoItem& listed = Table.Lines().at(row).Listed;
        if (listed.UIDL.isEmpty() && listed.Headers.isEmpty() && m_pop.MessageCount != entry.ListedCount) {
            Status(MessageText(LmserverText::CountChanged));
            return false;
        }
    }
    return true;
}

void TServerManager::ProcessLines(int server, const QString& spoolDir, QList<int>& deleted)
{
    const TServerEntry entry = Table.Servers().at(server);
    int saved = 0;
    for (int position = 0; position < entry.Count; ++position) {
        const int row = entry.FirstLine + position;
        const QString mark = Table.Lines().at(row).MarkText;
        if (!WantsRetrieve(mark) && !WantsDelete(mark))
            continue;
        // RFC 1939: message numbers stay fixed within a session, so one check covers RETR and DELE.
        if (!m_pop.IsListedMessage(position, Table.Lines().at(row).Listed)) {
            Status(LmserverMessage(LmserverText::MessageChanged, QString::number(position + 1)));
            continue;
        }
        if (WantsRetrieve(mark)) {
            m_pop.RetrieveMessage(position);
            // A spool that cannot take this message will not take the next: stop, delete nothing more.
            if (!SaveMessage(spoolDir, ++saved, m_retrieved)) {
                m_spoolFailed = true;
                return;
            }
            m_fetched.append(FetchedMessage(Table.Lines().at(row).Listed.UIDL, m_retrieved));
            SetMark(row, Mark::Got);
        }
        if (WantsDelete(mark)) {
            m_pop.DeleteMessage(position);
            if (m_pop.GetServerReplyCode(m_pop.LastReply) == 1)
                deleted.append(row);
            else
                Status(LmserverMessage(LmserverText::DeleteRefused, QString::number(position + 1)));
        }
    }
}

bool TServerManager::SaveMessage(const QString& spoolDir, int number, const QByteArray& message)
{
    const QString fileName = UniqueMessageFileName(spoolDir, QStringLiteral("lmserver_%1").arg(number));
    TAtomicFile file(fileName, true);
    if (file.Open() && file.Write(message) && file.Commit())
        return true;
    const QString error = fileName + QLatin1String(": ") + file.ErrorString();
    Status(LmserverMessage(LmserverText::WriteError, error));
    Report(LmserverText::WriteError, TMessageKind::Warning, error);
    return false;
}

void TServerManager::RecordFetched(const TServerEntry& entry)
{
    if (m_fetched.isEmpty())
        return;
    const std::optional<TAgentJob> job = detail::ReceiveJobOf(entry);
    if (!job)
        return;
    TCheckList lines;
    for (const TFetchedMessage& message : std::as_const(m_fetched))
        lines.append(FetchedMessageLine(message, job->KeepMails, job->DeleteDays, QDate::currentDate()));
    const QString checkFile = CheckFileName(Paths().Data.MailDir, job->Server, job->Username);
    if (AddCheckLines(checkFile, lines, CheckFileLockWaitMs))
        return;
    Status(LmserverMessage(LmserverText::CheckFileNotWritten, checkFile));
    Report(LmserverText::CheckFileNotWritten, TMessageKind::Warning, checkFile);
}

void TServerManager::SetMark(int row, const QString& mark)
{
    Table.Line(row).MarkText = mark;
    if (m_events.LineChanged)
        m_events.LineChanged(row);
}

#include "Receive.h"

#include "ReceiveImap.h"
#include "ReceivePop3.h"

#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "DialupFunctions.h"
#include "FilterFunctions.h"
#include "LogInRetry.h"
#include "MailboxHelpFunctions.h"
#include "ServerRules.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "SpoolFunctions.h"
#include "qmdiscard.h"
#include "qmwriteguard.h"
#include "tk_langlib.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>


#include <sys/statvfs.h>

namespace {

// Received messages are put into place in groups, behind one round of disk syncs each (see
// CommitSpoolGroup). A group that is full while the one before is still being committed grows on
// up to the second limits rather than holding up the download: a slow disk gets fewer, larger
// groups.
constexpr qsizetype GroupMessages = 64;
constexpr qint64 GroupBytes = 32 * 1024 * 1024;
constexpr qsizetype MaxGroupMessages = 1024;
constexpr qint64 MaxGroupBytes = 64 * 1024 * 1024;
// The server manager holds a check file only while it adds a few lines.
constexpr int CheckFileLockWaitMs = 30000;

bool LineBelongs(const TMessagePlan& plan, bool saved, bool deletionsConfirmed)
{
    switch (plan.Use) {
    case TLineUse::Carried: return true;
    case TLineUse::AfterSave: return saved;
    case TLineUse::AfterSaveUntilQuit: return saved && !deletionsConfirmed;
    case TLineUse::UntilQuit: return !deletionsConfirmed;
    }
    return false;
}

// One statvfs, where QStorageInfo would read the mount table each time.
qint64 AvailableBytes(const QString& directory)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(directory).constData(), &info) != 0)
        return QStorageInfo(directory).bytesAvailable();
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

// Refuses a write that the spool's disk budget (TDiskBudget, Receive.h) does not cover, with
// `fullText`, which ends the retrieval before anything of it is deleted.
class TDiskReserveGuard final : public TqmWriteGuard {
public:
    TDiskReserveGuard(QIODevice& target, TDiskBudget& budget, QString fullText)
        : TqmWriteGuard(target), m_budget(budget), m_fullText(std::move(fullText))
    {
    }

protected:
    QString Refusal(qint64 size) override { return m_budget.Take(size) ? QString() : m_fullText; }

private:
    TDiskBudget& m_budget;
    QString m_fullText;
};

QString MessageDescription(int index, const TqmRemoteInfoItem& item)
{
    const QByteArray subject = item.Headers.GetFieldBody("Subject").trimmed();
    const QByteArray from = item.Headers.GetFieldBody("From").trimmed();
    return QStringLiteral("#%1: %2 (%3), %4 Bytes")
        .arg(index + 1)
        .arg(QString::fromUtf8(subject), QString::fromUtf8(from))
        .arg(item.Size);
}

// Passes a received message on to its spool file. A short write leaves no error behind in the file
// (a full disk), so the failure is told here, naming the file the user will look for.
class TSpoolSink final : public TqmWriteGuard {
public:
    TSpoolSink(QFile& file, QString shownName) : TqmWriteGuard(file), m_file(file), m_shownName(std::move(shownName)) {}

protected:
    QString Refusal(qint64) override { return {}; }
    QString FailureText() const override { return WriteFailureText(m_shownName, m_file.errorString()); }

private:
    QFile& m_file;
    QString m_shownName;
};

} // namespace

TReceiveRun::TReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events)
    : m_job(job), m_paths(paths), m_events(events)
{
    Limits.FreeSpace = [](const QString& directory) { return AvailableBytes(directory); };
}

qint64 TReceiveRun::FreeSpace() const
{
    return Limits.FreeSpace(m_paths.SpoolDir);
}

bool TDiskBudget::Covers(qint64 bytes)
{
    bytes = qMax<qint64>(bytes, 0);
    if (bytes <= m_left)
        return true;
    Measure();
    return bytes <= m_aboveReserve;
}

bool TDiskBudget::Take(qint64 bytes)
{
    if (bytes > m_left)
        Measure();
    if (bytes > m_left)
        return false;
    m_left -= bytes;
    return true;
}

void TDiskBudget::Measure()
{
    m_aboveReserve = m_freeSpace() - m_reserve;
    m_left = qMax<qint64>(qMin(m_aboveReserve, DiskCheckInterval), 0);
}

void TReceiveRun::RequireDiskSpace(qint64 bytes)
{
    if (!m_diskBudget->Covers(bytes))
        throw EMessageError(Text(AgentText::DiskNearlyFull, m_paths.SpoolDir));
}

QString TReceiveRun::Text(int id, const QString& value)
{
    return FillIn(MessageText(id), value);
}

QString TReceiveRun::Prefix() const
{
    return QStringLiteral("%1 (%2):\n").arg(QString::fromUtf8(m_job.Server), QString::fromUtf8(m_job.Username));
}

bool TReceiveRun::AskPassword()
{
    m_events.Status(Text(AgentText::EnterPassword));
    const QString caption = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(m_job.Username), QString::fromUtf8(m_job.Server));
    const std::optional<QByteArray> password = m_events.Password(caption, Text(AgentText::MailboxPassword));
    if (password)
        m_job.Password = *password;
    return password.has_value();
}

bool TReceiveRun::Execute(TDialUp& dialUp, int timeoutSeconds, const QDate& today)
{
    m_events.Title(Text(AgentText::Receiving));
    // The password typed here serves this run only.
    if (m_job.Password.isEmpty() && !AskPassword())
        return true;
    m_timeoutSeconds = timeoutSeconds;
    Configure(timeoutSeconds);
    try {
        if (!EnsureConnection(dialUp, QString::fromUtf8(m_job.RasService), m_job.RasForceService, m_events))
            throw ESocketError(Text(AgentText::NoConnection));
        RunWithLogInRetry(today);
        m_running = false;
        return true;
    } catch (const ECanceledError&) {
        m_failure = Text(AgentText::Cancelled);
        m_events.Status(m_failure);
    } catch (const EqmException& error) {
        Fail(ShownErrorText(error));
    } catch (const std::exception& error) {
        Fail(QString::fromLocal8Bit(error.what()));
    }
    m_running = false;
    if (Client().OnLine())
        Client().Close();
    return false;
}

void TReceiveRun::RunWithLogInRetry(const QDate& today)
{
    // From here on Cancel reaches the client, also while it still looks up the server's name.
    m_running = true;
    try {
        Run(today);
    } catch (const ELogInRefused& refusal) {
        const std::optional<QByteArray> password = AskRefusedPassword(m_events, m_job, TMailService::Pop, refusal);
        if (!password)
            throw;
        m_job.Password = *password;
        Configure(m_timeoutSeconds);
        Run(today);
    }
}

void TReceiveRun::Cancel()
{
    if (m_running)
        Client().Cancel();
}

void TReceiveRun::Fail(const QString& text)
{
    // Closing shows "Connection closed", which must not hide the reason.
    if (Client().OnLine())
        Client().Close();
    m_failure = ErrorStatusText(m_job.Server, text);
    m_events.Status(m_failure);
}

void TReceiveRun::ConnectCommonEvents(TqmMailBase& client)
{
    client.OnOpen = [this](QObject&) {
        m_events.Status(Prefix() + Text(AgentText::Connecting));
        m_events.Progress(0);
    };
    client.OnProgress = [this](QObject&, int percent, qint64) {
        if (percent >= 0)
            m_events.Progress(percent);
    };
    client.OnClosing = [this](QObject&) { m_events.Status(Text(AgentText::ClosingConnection)); };
    client.OnClosed = [this](QObject&) {
        m_events.Status(Text(AgentText::ConnectionClosed));
        m_events.Progress(0);
    };
    client.OnCancel = [this](QObject&) { m_events.Status(Text(AgentText::Cancelled)); };
}

TReceiveRun::~TReceiveRun() = default;

void TReceiveRun::Run(const QDate& today)
{
    // The check file is rewritten at the end from what is read now: nobody else may change it
    // in between (the server manager adds the lines of what it fetched under this lock).
    TCheckFileLock lock(m_paths.CheckFile);
    if (!lock.Lock(CheckFileLockWaitMs))
        throw EMessageError(Text(AgentText::CheckFileInUse, m_paths.CheckFile));
    const TCheckList oldList = SettleCheckFile();
    RemoveStaleUnfinishedFiles(m_paths.SpoolDir, QFileInfo(m_paths.CheckFile).absolutePath());
    // A message known by its unique id is planned from its line: only new messages, which the
    // keep and delete rules may still look at, need their header lines (one TOP each).
    m_knownByUidl = LinesByUidl(oldList);
    OpenConnection();
    if (Client().UpgradedToTls())
        RememberTlsSeen(m_job.AccountName, TMailService::Pop, m_job.Server);
    ReadPicture();
    m_plans = PlanMessages(RemoteMessages(), oldList, {m_job.KeepMails, m_job.DeleteDays, today});
    m_saved = QList<bool>(m_plans.size(), false);
    ApplyRules();
    LeaveTooLargeOnServer();
    MarkMessages();
    if (!m_checkAppender.Open(m_paths.CheckFile))
        throw EMessageError(WriteFailureText(m_paths.CheckFile));
    m_diskBudget = std::make_unique<TDiskBudget>([this] { return FreeSpace(); }, Limits.DiskReserve);
    bool deletionsConfirmed = false;
    try {
        deletionsConfirmed = Transfer();
        FlushGroup();
    } catch (...) {
        KeepCompleteMessagesAfterError();
        throw;
    }
    m_checkAppender.Close();
    WriteCheckFile(deletionsConfirmed);
}

void TReceiveRun::OpenConnection()
{
    try {
        Client().OpenConnection();
    } catch (const ECertificateError& error) {
        if (!m_events.TrustCertificate(error.Facts()))
            throw;
        TrustCertificate(m_job.AccountName, TMailService::Pop, error.Facts(), Client());
        Client().OpenConnection();
    }
}

// The lines a killed run left pending are settled, and the check file rewritten without them,
// before their unfinished files go: a second crash in between must not leave a line without file.
TCheckList TReceiveRun::SettleCheckFile()
{
    TSettledLines settled = SettlePendingLines(ReadCheckFile(m_paths.CheckFile), m_paths.SpoolDir);
    if (!settled.Changed)
        return settled.Lines;
    if (!::WriteCheckFile(m_paths.CheckFile, settled.Lines))
        throw EMessageError(WriteFailureText(m_paths.CheckFile));
    TestCrashPoint("receive-settled");
    for (const QString& unfinished : std::as_const(settled.Unfinished))
        QFile::remove(unfinished);
    return settled.Lines;
}

QList<TRemoteMessage> TReceiveRun::RemoteMessages()
{
    QList<TRemoteMessage> messages;
    messages.reserve(Picture().Count());
    for (qsizetype i = 0; i < Picture().Count(); ++i) {
        const TqmRemoteInfoItem& item = Picture().Items(i);
        const auto known = item.HeadersRead ? m_knownByUidl.constEnd() : m_knownByUidl.constFind(item.UIDL);
        if (known != m_knownByUidl.constEnd())
            messages.append({known->MessageId, known->Date, item.UIDL});
        else
            messages.append({item.Headers.GetFieldBody("Message-Id"), item.Headers.GetFieldBody("Date"), item.UIDL});
    }
    return messages;
}

void TReceiveRun::ApplyRules()
{
    QList<const TqmRemoteInfoItem*> items;
    for (qsizetype i = 0; i < Picture().Count(); ++i)
        items.append(&Picture().Items(i));
    const TServerRulesOutcome outcome = ApplyServerRules(m_plans, items, LoadFilterRules(m_paths.RulesFile));
    if (!AppendRuleLog(m_paths.SpoolDir, outcome.LogLines))
        Report(AgentText::WriteError, TMessageKind::Warning, RuleLogPath(m_paths.SpoolDir));
}

void TReceiveRun::LeaveTooLargeOnServer()
{
    if (Limits.MaxMessageSize <= 0)
        return;
    QStringList tooLarge;
    for (int i = 0; i < m_plans.size(); ++i) {
        const TqmRemoteInfoItem& item = Picture().Items(i);
        if (!m_plans.at(i).Retrieve || item.Size <= Limits.MaxMessageSize)
            continue;
        // Not retrieved, so not deleted either, and without a line: the next run looks again.
        m_plans[i].Retrieve = false;
        m_plans[i].Delete = false;
        tooLarge.append(MessageDescription(i, item));
    }
    if (tooLarge.isEmpty())
        return;
    const QString limit = QString::number(Limits.MaxMessageSize / (1024 * 1024));
    const QString text = Text(AgentText::MessagesTooLarge, limit) + QLatin1Char('\n') + tooLarge.join(QLatin1Char('\n'));
    ReportText(AgentText::MessagesTooLarge, TMessageKind::Warning, text);
}

void TReceiveRun::MarkMessages()
{
    for (int i = 0; i < m_plans.size(); ++i) {
        Picture().Items(i).MarkedToRetrieve = m_plans.at(i).Retrieve;
        Picture().Items(i).MarkedToDelete = m_plans.at(i).Delete;
    }
}

// The message streams into "<final name>.part", so that its size never matters for the memory.
QIODevice* TReceiveRun::OpenSpoolFile(int index)
{
    RequireDiskSpace(Picture().Items(index).Size);
    const QString fileName = UniqueMessageFileName(m_paths.SpoolDir, SpoolName(index));
    m_receiving = std::make_unique<QFile>(fileName + UnfinishedSuffix);
    if (!OpenOwnerOnly(*m_receiving, QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QString reason = m_receiving->errorString();
        m_receiving.reset();
        SpoolFailed(index, fileName, reason);
        m_discard = std::make_unique<TqmDiscardDevice>();
        return m_discard.get();
    }
    m_sink = std::make_unique<TSpoolSink>(*m_receiving, fileName);
    m_receivingSink = std::make_unique<TDiskReserveGuard>(*m_sink, *m_diskBudget, Text(AgentText::DiskNearlyFull, m_paths.SpoolDir));
    return m_receivingSink.get();
}

// The commit order of one message: the unfinished file is complete, then its check-file line is
// appended marked with that file, and only then (in FlushGroup) the file is renamed into place.
// A crash before the rename leaves a marked line whose file still exists: the next run drops both
// and retrieves the message again. After the rename the line stands.
void TReceiveRun::SpoolFileComplete(int index)
{
    if (!m_receiving)
        return;
    const QString unfinished = m_receiving->fileName();
    const QString fileName = unfinished.chopped(UnfinishedSuffix.size());
    const bool written = m_receiving->flush() && m_receiving->error() == QFileDevice::NoError;
    const QString reason = m_receiving->errorString();
    const qint64 size = m_receiving->pos();
    m_receivingSink.reset();
    m_sink.reset();
    m_receiving.reset();
    if (!written) {
        QFile::remove(unfinished);
        SpoolFailed(index, fileName, reason);
        return;
    }
    TestCrashPoint("receive-part-written");
    TCheckLine line = m_plans.at(index).Line;
    line.PendingFile = QFile::encodeName(QFileInfo(unfinished).fileName());
    if (!m_checkAppender.Append(line))
        throw EMessageError(WriteFailureText(m_paths.CheckFile));
    TestCrashPoint("receive-line-written");
    m_saved[index] = true;
    m_group.append({unfinished, fileName});
    m_groupBytes += size;
    const bool full = m_group.size() >= GroupMessages || m_groupBytes >= GroupBytes;
    const bool overfull = m_group.size() >= MaxGroupMessages || m_groupBytes >= MaxGroupBytes;
    if ((full && !m_commit.Busy()) || overfull)
        StartGroupCommit();
}

void TReceiveRun::StartGroupCommit()
{
    m_commit.Start(std::exchange(m_group, {}), m_checkAppender.Handle(), m_paths.CheckFile);
    m_groupBytes = 0;
}

// Every message received so far is in place and on disk when this returns (see CommitSpoolGroup):
// the deletions that follow, and the QUIT of POP3, never touch a message that is not. A failure ends
// the run before them, so that the server deletes nothing of it.
void TReceiveRun::FlushGroup()
{
    m_commit.Finish();
    const TSpoolGroup group = std::exchange(m_group, {});
    m_groupBytes = 0;
    if (const QString failure = CommitSpoolGroup(group, m_checkAppender.Handle(), m_paths.CheckFile); !failure.isEmpty())
        throw EMessageError(failure);
}

// The messages retrieved whole before the error are kept; the one cut off is removed, and its
// line was never written.
void TReceiveRun::KeepCompleteMessagesAfterError()
{
    if (m_receiving) {
        m_receivingSink.reset();
        m_sink.reset();
        QFile::remove(m_receiving->fileName());
        m_receiving.reset();
    }
    // A group that failed leaves its lines marked with the unfinished files: the next run
    // retrieves those messages again.
    m_commit.Abandon();
    CommitSpoolGroup(std::exchange(m_group, {}), m_checkAppender.Handle(), m_paths.CheckFile);
}

void TReceiveRun::SpoolFailed(int index, const QString& fileName, const QString& reason)
{
    // Never delete on the server what is not safe here; the next run retrieves it again.
    Picture().Items(index).MarkedToDelete = false;
    ReportText(AgentText::WriteError, TMessageKind::Warning, WriteFailureText(fileName, reason));
}

void TReceiveRun::WriteCheckFile(bool deletionsConfirmed)
{
    TCheckList lines;
    QSet<QByteArray> keys;
    for (qsizetype i = 0; i < m_plans.size(); ++i) {
        const TMessagePlan& plan = m_plans.at(i);
        const QByteArray key = plan.Line.MessageId + '|' + plan.Line.Date;
        if (LineBelongs(plan, m_saved.at(i), deletionsConfirmed) && !keys.contains(key)) {
            keys.insert(key);
            lines.append(plan.Line);
        }
    }
    if (!::WriteCheckFile(m_paths.CheckFile, lines))
        throw EMessageError(WriteFailureText(m_paths.CheckFile));
}

std::unique_ptr<TReceiveRun> MakeReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events)
{
    if (job.Action == ImapReceiveAction)
        return std::make_unique<TImapReceiveRun>(job, paths, events);
    return std::make_unique<TPop3ReceiveRun>(job, paths, events);
}

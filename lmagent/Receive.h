#pragma once
// One receive run: the messages of one account into the spool directory, with the keep-on-server
// bookkeeping of the account's check file. What is common to every protocol lives here; the POP3
// and IMAP sessions derive from TReceiveRun (ReceivePop3.h, ReceiveImap.h) and MakeReceiveRun picks
// one by the job's action.
//
// Exactly once: a message is either in the spool under its final name with its check-file line,
// or it is retrieved again; the server deletes nothing before both are on disk. During the run each
// saved message appends its line to the check file (marked with its unfinished file until it is
// renamed, see SpoolFileComplete); the file is rewritten once at the end. A run that fails half-way
// thus leaves the lines carried over, the lines of the messages saved so far, and the lines of the
// messages marked for deletion until the server confirmed their deletion.

#include "AgentEvents.h"
#include "CertificatePins.h"
#include "DBAccountSecurity.h"
#include "DBAgentFunctions.h"
#include "ReceiveRules.h"
#include "SpoolCommit.h"
#include "qmmb.h"
#include "qmpop3.h"

#include <QFile>

#include <functional>
#include <memory>

class TDialUp;

// The bytes a run may still write to the spool's disk above its reserve. The file system is asked
// again only once DiskCheckInterval bytes were written since it last answered, not for every
// message: a few hundred KiB of what other programs write meanwhile may go unnoticed.
class TDiskBudget {
public:
    static constexpr qint64 DiskCheckInterval = 256 * 1024;
    TDiskBudget(std::function<qint64()> freeSpace, qint64 reserve) : m_freeSpace(std::move(freeSpace)), m_reserve(reserve) {}
    // True when `bytes` more would leave the reserve; nothing is taken.
    bool Covers(qint64 bytes);
    // Takes `bytes` from the budget; false when they would eat into the reserve.
    bool Take(qint64 bytes);

private:
    void Measure();

    std::function<qint64()> m_freeSpace;
    qint64 m_reserve;
    qint64 m_left = 0;
    qint64 m_aboveReserve = 0;
};

struct TReceivePaths {
    QString SpoolDir;
    QString CheckFile;
    // Empty: no transfer log.
    QString LogFile;
    // The user's filter rules, whose keep and delete rules act on the server.
    QString RulesFile;
};

// What a run may take from the server and from the disk.
struct TReceiveLimits {
    // Messages announced above it stay on the server with a warning; 0 or less: no limit.
    qint64 MaxMessageSize = TqmCustomPOP::DefaultMaxMessageSize;
    // A download stops before the free space of the spool's disk falls below this.
    qint64 DiskReserve = 128 * 1024 * 1024;
    // Free bytes on the disk of a directory; the file system's figure unless a test sets it.
    std::function<qint64(const QString& directory)> FreeSpace;
};

class TReceiveRun {
public:
    virtual ~TReceiveRun();
    TReceiveRun(const TReceiveRun&) = delete;
    TReceiveRun& operator=(const TReceiveRun&) = delete;

    // False when the run failed (the error flag); asking for a password and getting none is no
    // failure. `dialUp` is asked for a connection first.
    // A refused password is asked for once more (and may be stored); the run then starts over.
    bool Execute(TDialUp& dialUp, int timeoutSeconds, const QDate& today);
    // From the client's start (the server's name being looked up) to the run's end.
    bool Running() const { return m_running; }
    // Ends a running transfer: the connection, or the look-up before it, is dropped and no deletion
    // is committed.
    void Cancel();
    // The status line that told why the run failed; empty after success.
    const QString& FailureText() const { return m_failure; }

    TReceiveLimits Limits;

protected:
    TReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events);

    // The protocol's client, configured by Configure.
    virtual TqmMailBase& Client() = 0;
    // Item i describes the message of plan i: its size, header lines (HeadersRead) and unique id,
    // and the marks Transfer acts on.
    virtual TqmRemoteInfo& Picture() = 0;
    virtual void Configure(int timeoutSeconds) = 0;
    // After the log-in: fills Picture(). Messages whose unique id is in KnownByUidl() need no
    // header lines.
    virtual void ReadPicture() = 0;
    // Retrieves the marked messages through OpenSpoolFile and SpoolFileComplete, makes them durable
    // with FlushGroup, deletes the marked ones and closes the session. True when the server
    // confirmed every deletion.
    virtual bool Transfer() = 0;
    // The start of the spool file names of this protocol's messages ("pop_3").
    virtual QString SpoolName(int index) const = 0;

    // The job's server, security, pin, log-in, log file, time-out and size limit on `client`, and
    // the events every client has (connecting, progress, closing, cancel).
    template <typename Client>
    void ConfigureClient(Client& client, int timeoutSeconds)
    {
        client.Server = m_job.Server;
        client.Security = m_job.Security;
        ApplyPin(client, {m_job.PinnedServer, m_job.PinnedCertificate});
        client.TlsSeenBefore = TlsSeenBefore(m_job.AccountName, TMailService::Pop, m_job.Server);
        client.UserName = m_job.Username;
        client.Password = m_job.Password;
        client.LogInMethod = m_job.Auth == TAuthMethod::OAuth2 ? TqmLogInMethod::OAuth2 : TqmLogInMethod::Password;
        client.LogFileName = m_paths.LogFile;
        client.SetTimeOut(timeoutSeconds);
        client.MaxMessageSize = Limits.MaxMessageSize;
        ConnectCommonEvents(client);
    }
    void ConnectCommonEvents(TqmMailBase& client);
    QIODevice* OpenSpoolFile(int index);
    void SpoolFileComplete(int index);
    void FlushGroup();
    bool Saved(int index) const { return m_saved.at(index); }
    const TMessagePlan& Plan(int index) const { return m_plans.at(index); }
    const QHash<QByteArray, TCheckLine>& KnownByUidl() const { return m_knownByUidl; }
    const TAgentJob& Job() const { return m_job; }
    const TAgentEvents& Events() const { return m_events; }
    const TReceivePaths& RunPaths() const { return m_paths; }
    QString Prefix() const;
    static QString Text(int id, const QString& value = {});

private:
    // False when the user cancelled.
    bool AskPassword();
    void RunWithLogInRetry(const QDate& today);
    void Run(const QDate& today);
    // Opens the connection; a certificate the user trusts when asked is pinned for the account's
    // incoming server and the connection tried once more.
    void OpenConnection();
    QList<TRemoteMessage> RemoteMessages();
    void ApplyRules();
    // Messages above Limits.MaxMessageSize are neither retrieved nor deleted; one warning names them.
    void LeaveTooLargeOnServer();
    void MarkMessages();
    qint64 FreeSpace() const;
    // Throws EMessageError when `bytes` more would leave less than the reserve on the spool's disk.
    void RequireDiskSpace(qint64 bytes);
    TCheckList SettleCheckFile();
    void KeepCompleteMessagesAfterError();
    void SpoolFailed(int index, const QString& fileName, const QString& reason);
    void WriteCheckFile(bool deletionsConfirmed);
    void Fail(const QString& text);

    TAgentJob m_job;
    TReceivePaths m_paths;
    const TAgentEvents& m_events;
    QList<TMessagePlan> m_plans;
    QHash<QByteArray, TCheckLine> m_knownByUidl;
    QList<bool> m_saved;

    // Hands the group on to m_commit, which puts it into place while the next messages arrive.
    void StartGroupCommit();

    // Messages complete in their unfinished files, with their lines appended, not yet renamed.
    TSpoolGroup m_group;
    qint64 m_groupBytes = 0;
    TCheckFileAppender m_checkAppender;
    // After m_checkAppender, whose file it syncs: it goes first and waits for its thread.
    TBackgroundCommit m_commit;
    std::unique_ptr<TDiskBudget> m_diskBudget;
    // The unfinished file of the message being retrieved, or the sink of one that cannot be saved.
    std::unique_ptr<QFile> m_receiving;
    // What the message streams into: the spool file, which names itself when the disk is full,
    // behind the disk-space guard.
    std::unique_ptr<QIODevice> m_sink;
    std::unique_ptr<QIODevice> m_receivingSink;
    std::unique_ptr<QIODevice> m_discard;
    bool m_running = false;
    int m_timeoutSeconds = 60;
    QString m_failure;
};

// The run for the job's action: IMAP for "IMAP", else POP3.
std::unique_ptr<TReceiveRun> MakeReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events);

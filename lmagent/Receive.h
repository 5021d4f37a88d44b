#pragma once
// One receive run: the messages of one POP3 account into the spool directory, with the
// keep-on-server bookkeeping of the account's check file.
//
// Exactly once: a message is either in the spool under its final name with its check-file line,
// or it is retrieved again; the server deletes nothing before both are on disk. During the run each
// saved message appends its line to the check file (marked with its unfinished file until it is
// renamed, see SpoolFileComplete); the file is rewritten once at the end. A run that fails half-way
// thus leaves the lines carried over, the lines of the messages saved so far, and the lines of the
// messages marked for deletion until the server confirmed QUIT.

#include "AgentEvents.h"
#include "DBAgentFunctions.h"
#include "ReceiveRules.h"
#include "qmpop3.h"

#include <QFile>

#include <functional>
#include <memory>

class TDialUp;

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
    TReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events);
    ~TReceiveRun();
    TReceiveRun(const TReceiveRun&) = delete;
    TReceiveRun& operator=(const TReceiveRun&) = delete;

    // False when the run failed (the error flag); asking for a password and getting none is no
    // failure. `dialUp` is asked for a connection first.
    // A refused password is asked for once more (and may be stored); the run then starts over.
    bool Execute(TDialUp& dialUp, int timeoutSeconds, const QDate& today);
    // From the POP3 client's start (the server's name being looked up) to the run's end.
    bool Running() const { return m_running; }
    // Ends a running transfer: the connection, or the look-up before it, is dropped and no deletion
    // is committed.
    void Cancel();
    // The status line that told why the run failed; empty after success.
    const QString& FailureText() const { return m_failure; }

    TReceiveLimits Limits;

private:
    // False when the user cancelled.
    bool AskPassword();
    void Configure(int timeoutSeconds);
    void ConnectEvents();
    void RunWithLogInRetry(const QDate& today);
    void Run(const QDate& today);
    // Opens the connection; a certificate the user trusts when asked is pinned for the account's
    // POP3 server and the connection tried once more.
    void OpenConnection();
    QList<TRemoteMessage> RemoteMessages() const;
    void ApplyRules();
    // Messages above Limits.MaxMessageSize are neither retrieved nor deleted; one warning names them.
    void LeaveTooLargeOnServer();
    void MarkMessages();
    qint64 FreeSpace() const;
    // Throws EMessageError when `bytes` more would leave less than the reserve on the spool's disk.
    void RequireDiskSpace(qint64 bytes) const;
    TCheckList SettleCheckFile();
    QIODevice* OpenSpoolFile(int index);
    void SpoolFileComplete(int index);
    void FlushGroup();
    void KeepCompleteMessagesAfterError();
    void SpoolFailed(int index, const QString& fileName, const QString& reason);
    void WriteCheckFile(bool quitConfirmed);
    void Fail(const QString& text);
    QString Prefix() const;
    static QString Text(int id, const QString& value = {});

    TAgentJob m_job;
    TReceivePaths m_paths;
    const TAgentEvents& m_events;
    TqmRemotePOP m_pop;
    QList<TMessagePlan> m_plans;
    QHash<QByteArray, TCheckLine> m_knownByUidl;
    QList<bool> m_saved;

    // Messages complete in their unfinished files, with their lines appended, not yet renamed.
    struct TGroupEntry {
        QString Unfinished;
        QString FileName;
    };
    QList<TGroupEntry> m_group;
    qint64 m_groupBytes = 0;
    TCheckFileAppender m_checkAppender;
    // The unfinished file of the message being retrieved, or the sink of one that cannot be saved.
    std::unique_ptr<QFile> m_receiving;
    // What the message streams into: the spool file, which names itself when the disk is full,
    // behind the disk-space guard.
    std::unique_ptr<QIODevice> m_sink;
    std::unique_ptr<QIODevice> m_receivingSink;
    std::unique_ptr<QIODevice> m_discard;
    bool m_running = false;
    QString m_failure;
};

#pragma once
// One receive run: the messages of one POP3 account into the spool directory, with the
// keep-on-server bookkeeping of the account's check file.
//
// The check file is rewritten after every message saved, so that a run that fails half-way
// neither retrieves a saved message twice nor forgets one it did not save: it then holds the
// lines carried over, the lines of the messages saved so far, and the lines of the messages
// marked for deletion until the server confirmed QUIT.

#include "AgentEvents.h"
#include "DBAgentFunctions.h"
#include "ReceiveRules.h"
#include "qmpop3.h"

class TDialUp;

struct TReceivePaths {
    QString SpoolDir;
    QString CheckFile;
    // Empty: no transfer log.
    QString LogFile;
    // The user's filter rules, whose keep and delete rules act on the server.
    QString RulesFile;
};

class TReceiveRun {
public:
    TReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events);
    TReceiveRun(const TReceiveRun&) = delete;
    TReceiveRun& operator=(const TReceiveRun&) = delete;

    // False when the run failed (the error flag); asking for a password and getting none is no
    // failure. `dialUp` is asked for a connection first.
    bool Execute(TDialUp& dialUp, int timeoutSeconds, const QDate& today);
    bool Connected() const { return m_pop.OnLine(); }
    // Drops the connection: no deletion is committed.
    void Cancel() { m_pop.Cancel(); }

private:
    // False when the user cancelled.
    bool AskPassword();
    void Configure(int timeoutSeconds);
    void ConnectEvents();
    void Run(const QDate& today);
    QList<TRemoteMessage> RemoteMessages() const;
    void ApplyRules();
    void MarkMessages();
    void SaveMessage(int index, QBuffer& contents);
    void SpoolFailed(int index, const QString& fileName);
    void WriteCheckFile(bool quitConfirmed, int pendingIndex = -1, const QString& pendingFile = {});
    void Fail(const QString& text);
    QString Prefix() const;
    static QString Text(int id, const QString& value = {});

    TAgentJob m_job;
    TReceivePaths m_paths;
    const TAgentEvents& m_events;
    TqmRemotePOP m_pop;
    QList<TMessagePlan> m_plans;
    QList<bool> m_saved;
};

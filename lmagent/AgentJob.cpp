#include "AgentJob.h"

#include "CheckFile.h"
#include "Konstanten.h"
#include "Receive.h"
#include "RegistryFunctions.h"
#include "Send.h"
#include "UserSettings.h"
#include "tk_reglib.h"

#include <QFile>

TAgentSettings ReadAgentSettings()
{
    const TRegistryKey general(UserContext().Keys.General);
    TAgentSettings settings;
    settings.LogActive = general.ReadBool(QStringLiteral("LogActive"), false);
    settings.DebugMode = general.ReadBool(QStringLiteral("DebugMode"), false);
    settings.PopTimeout = general.ReadInteger(QStringLiteral("PopTimeout"), 60);
    if (settings.PopTimeout < 1)
        settings.PopTimeout = 60;
    settings.MaxMessageSize = LoadPopMaxMessageSize(UserContext().Keys.General);
    return settings;
}

std::optional<TAgentJob> TakeJob(const QString& path, bool keepFile)
{
    std::optional<TAgentJob> job = ReadJob(path);
    if (job && !keepFile)
        QFile::remove(path);
    return job;
}

QDate AgentToday()
{
    const QDate stand = QDate::fromString(qEnvironmentVariable("LUMARO_TEST_TODAY"), Qt::ISODate);
    return stand.isValid() ? stand : QDate::currentDate();
}

TAgentRun::TAgentRun(const TAgentJob& job, const TAgentSettings& settings, const TAgentEvents& events,
                     std::shared_ptr<TnkRasBackend> rasBackend)
    : m_job(job), m_settings(settings), m_events(events), m_dialUp(std::move(rasBackend))
{
}

TAgentRun::~TAgentRun() = default;

QString TAgentRun::LogFile() const
{
    return m_settings.LogActive ? Paths().Data.LogFile : QString();
}

void TAgentRun::Execute()
{
    if (m_job.Action == ReceiveAction || m_job.Action == ImapReceiveAction)
        Receive();
    else if (m_job.Action == SendAction)
        Send();
    // The main client names the reason beside the account when it reports the failed runs.
    if (m_errorFlag && !m_failureFile.isEmpty())
        WriteJobFailure(FailureText(), m_failureFile);
}

void TAgentRun::Receive()
{
    const TReceivePaths paths{Paths().Data.SpoolDir,
                              CheckFileName(Paths().Data.MailDir, m_job.Server, m_job.Username), LogFile(),
                              Paths().Data.FilterFile};
    m_receive = MakeReceiveRun(m_job, paths, m_events);
    m_receive->Limits.MaxMessageSize = m_settings.MaxMessageSize;
    m_errorFlag = !m_receive->Execute(m_dialUp, m_settings.PopTimeout, AgentToday());
}

void TAgentRun::Send()
{
    const TSendPaths paths{Paths().Data.SmtpDir, Paths().Program.HeadersFile, LogFile()};
    m_send = std::make_unique<TSendRun>(m_job, paths, m_events);
    m_errorFlag = !m_send->Execute(m_dialUp, m_settings.PopTimeout, m_settings.DebugMode);
}

bool TAgentRun::Transferring() const
{
    return (m_receive && m_receive->Running()) || (m_send && m_send->Running());
}

void TAgentRun::Cancel()
{
    if (m_receive && m_receive->Running())
        m_receive->Cancel();
    else if (m_send && m_send->Running())
        m_send->Cancel();
    else
        m_dialUp.Cancel();
}

QString TAgentRun::FailureText() const
{
    if (m_receive)
        return m_receive->FailureText();
    return m_send ? m_send->FailureText() : QString();
}

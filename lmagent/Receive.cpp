#include "Receive.h"

#include "DialupFunctions.h"
#include "FilterFunctions.h"
#include "ServerRules.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <unistd.h>

namespace {

const QString NoConnection = QStringLiteral("No active connection");

// Written, flushed and synced to disk, or false (and nothing left behind).
bool WriteWholeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size() && file.flush()
        && ::fsync(file.handle()) == 0;
    if (!written && file.isOpen())
        file.remove();
    return written;
}

bool LineBelongs(const TMessagePlan& plan, bool saved, bool quitConfirmed)
{
    switch (plan.Use) {
    case TLineUse::Carried: return true;
    case TLineUse::AfterSave: return saved;
    case TLineUse::AfterSaveUntilQuit: return saved && !quitConfirmed;
    case TLineUse::UntilQuit: return !quitConfirmed;
    }
    return false;
}

} // namespace

TReceiveRun::TReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events)
    : m_job(job), m_paths(paths), m_events(events)
{
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
    Configure(timeoutSeconds);
    try {
        if (!EnsureConnection(dialUp, QString::fromUtf8(m_job.RasService), m_job.RasForceService, m_events))
            throw ESocketError(NoConnection);
        Run(today);
        return true;
    } catch (const ECanceledError&) {
        m_events.Status(Text(AgentText::Cancelled));
    } catch (const EqmException& error) {
        Fail(error.Message());
    } catch (const std::exception& error) {
        Fail(QString::fromLocal8Bit(error.what()));
    }
    if (m_pop.OnLine())
        m_pop.Close();
    return false;
}

void TReceiveRun::Fail(const QString& text)
{
    m_events.Status(QString::fromUtf8(m_job.Server) + QStringLiteral(" Error: ") + text);
}

void TReceiveRun::Configure(int timeoutSeconds)
{
    m_pop.Server = m_job.Server;
    m_pop.UserName = m_job.Username;
    m_pop.Password = m_job.Password;
    m_pop.KeepConnection = true;
    m_pop.LogFileName = m_paths.LogFile;
    m_pop.SetTimeOut(timeoutSeconds);
    ConnectEvents();
}

void TReceiveRun::ConnectEvents()
{
    m_pop.OnOpen = [this](QObject&) {
        m_events.Status(Prefix() + Text(AgentText::Connecting));
        m_events.Progress(0);
    };
    m_pop.OnUpdatingInfo = [this](QObject&) { m_events.Status(Prefix() + Text(AgentText::CheckingMailbox)); };
    m_pop.OnTransferringData = [this](QObject&) { m_events.Status(Prefix() + Text(AgentText::OrganizingMailbox)); };
    m_pop.OnRetrieving = [this](QObject&, int index) {
        m_events.Status(Text(AgentText::ReceivingMessage, QString::number(index + 1)) + QString::number(m_pop.MessageCount));
        m_events.Progress(0);
    };
    m_pop.OnRetrieved = [this](QObject&, int) { m_events.Progress(100); };
    m_pop.OnDeleting = [this](QObject&, int index) {
        m_events.Status(Text(AgentText::DeletingMessage, QString::number(index + 1)));
    };
    m_pop.OnProgress = [this](QObject&, int percent, qint64) {
        if (percent >= 0)
            m_events.Progress(percent);
    };
    m_pop.OnClosing = [this](QObject&) { m_events.Status(Text(AgentText::ClosingConnection)); };
    m_pop.OnClosed = [this](QObject&) {
        m_events.Status(Text(AgentText::ConnectionClosed));
        m_events.Progress(0);
    };
    m_pop.OnCancel = [this](QObject&) { m_events.Status(Text(AgentText::Cancelled)); };
    m_pop.OnUserMessageSave = [this](QObject&, int index, QBuffer& contents) { SaveMessage(index, contents); };
}

void TReceiveRun::Run(const QDate& today)
{
    m_pop.OpenConnection();
    const TCheckList oldList = SettlePendingLines(ReadCheckFile(m_paths.CheckFile), m_paths.SpoolDir);
    m_pop.UpdateRemoteInfoAndUIDL();
    m_plans = PlanMessages(RemoteMessages(), oldList, {m_job.KeepMails, m_job.DeleteDays, today});
    m_saved = QList<bool>(m_plans.size(), false);
    ApplyRules();
    MarkMessages();
    m_pop.Transfer();
    m_pop.CloseConnection();
    WriteCheckFile(true);
}

QList<TRemoteMessage> TReceiveRun::RemoteMessages() const
{
    QList<TRemoteMessage> messages;
    for (qsizetype i = 0; i < m_pop.RemoteInfo.Count(); ++i) {
        const TqmRemoteInfoItem& item = m_pop.RemoteInfo.Items(i);
        messages.append({item.Headers.GetFieldBody("Message-Id"), item.Headers.GetFieldBody("Date"), item.UIDL});
    }
    return messages;
}

void TReceiveRun::ApplyRules()
{
    QList<const TqmRemoteInfoItem*> items;
    for (qsizetype i = 0; i < m_pop.RemoteInfo.Count(); ++i)
        items.append(&m_pop.RemoteInfo.Items(i));
    const TServerRulesOutcome outcome = ApplyServerRules(m_plans, items, LoadFilterRules(m_paths.RulesFile));
    if (!AppendRuleLog(m_paths.SpoolDir, outcome.LogLines))
        Report(AgentText::WriteError, TMessageKind::Warning, RuleLogPath(m_paths.SpoolDir));
}

void TReceiveRun::MarkMessages()
{
    for (int i = 0; i < m_plans.size(); ++i) {
        if (m_plans.at(i).Retrieve)
            m_pop.MarkToRetrieve(i);
        if (m_plans.at(i).Delete)
            m_pop.MarkToDelete(i);
    }
}

// The spool file appears under its ".eml" name only when complete, so that the main client never
// imports half a message. Its check-file line is written before that rename, marked with the
// unfinished file, so that a crash at any point neither repeats nor loses the message.
void TReceiveRun::SaveMessage(int index, QBuffer& contents)
{
    const QString fileName = UniqueMessageFileName(m_paths.SpoolDir, QStringLiteral("pop_%1").arg(index + 1));
    const QString unfinished = fileName + QLatin1String(".part");
    if (!WriteWholeFile(unfinished, contents.data())) {
        SpoolFailed(index, fileName);
        return;
    }
    m_saved[index] = true;
    WriteCheckFile(false, index, QFileInfo(unfinished).fileName());
    if (!QFile::rename(unfinished, fileName)) {
        m_saved[index] = false;
        WriteCheckFile(false);
        SpoolFailed(index, fileName);
    }
}

void TReceiveRun::SpoolFailed(int index, const QString& fileName)
{
    QFile::remove(fileName + QLatin1String(".part"));
    // Never delete on the server what is not safe here; the next run retrieves it again.
    m_pop.RemoteInfo.Items(index).MarkedToDelete = false;
    Report(AgentText::WriteError, TMessageKind::Warning, fileName);
}

void TReceiveRun::WriteCheckFile(bool quitConfirmed, int pendingIndex, const QString& pendingFile)
{
    TCheckList lines;
    QSet<QByteArray> keys;
    for (qsizetype i = 0; i < m_plans.size(); ++i) {
        const TMessagePlan& plan = m_plans.at(i);
        const QByteArray key = plan.Line.MessageId + '|' + plan.Line.Date;
        if (LineBelongs(plan, m_saved.at(i), quitConfirmed) && !keys.contains(key)) {
            keys.insert(key);
            lines.append(plan.Line);
            if (i == pendingIndex)
                lines.last().PendingFile = QFile::encodeName(pendingFile);
        }
    }
    if (!::WriteCheckFile(m_paths.CheckFile, lines))
        throw EMessageError(Text(AgentText::WriteError, m_paths.CheckFile));
}

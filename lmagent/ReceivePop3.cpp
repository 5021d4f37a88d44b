#include "ReceivePop3.h"

#include "AgentEvents.h"
#include "CertificatePins.h"
#include "DBAccountSecurity.h"

void TPop3ReceiveRun::Configure(int timeoutSeconds)
{
    ConfigureClient(m_pop, timeoutSeconds);
    m_pop.KeepConnection = true;
    ConnectEvents();
}

void TPop3ReceiveRun::ConnectEvents()
{
    m_pop.OnUpdatingInfo = [this](QObject&) { Events().Status(Prefix() + Text(AgentText::CheckingMailbox)); };
    m_pop.OnTransferringData = [this](QObject&) { Events().Status(Prefix() + Text(AgentText::OrganizingMailbox)); };
    m_pop.OnRetrieving = [this](QObject&, int index) {
        Events().Status(Text(AgentText::ReceivingMessage, QString::number(index + 1)) + QString::number(m_pop.MessageCount));
        Events().Progress(0);
    };
    m_pop.OnRetrieved = [this](QObject&, int) { Events().Progress(100); };
    m_pop.OnDeleting = [this](QObject&, int index) {
        Events().Status(Text(AgentText::DeletingMessage, QString::number(index + 1)));
    };
    m_pop.OnOpenMessageSink = [this](QObject&, int index) { return OpenSpoolFile(index); };
    m_pop.OnMessageSinkFinished = [this](QObject&, int index) { SpoolFileComplete(index); };
    // Deletions take effect with the QUIT that follows: every message of the run must be in place
    // and on disk before it.
    m_pop.OnDataTransfered = [this](QObject&) { FlushGroup(); };
}

void TPop3ReceiveRun::ReadPicture()
{
    // A message known by its unique id is planned from its line: only new messages, which the
    // keep and delete rules may still look at, need their header lines (one TOP each).
    m_pop.OnHeadersWanted = [this](int, const TqmRemoteInfoItem& item) { return !KnownByUidl().contains(item.UIDL); };
    m_pop.UpdateRemoteInfoAndUIDL();
}

bool TPop3ReceiveRun::Transfer()
{
    m_pop.Transfer();
    // An empty mailbox leaves Transfer nothing to do, and the session still open.
    m_pop.CloseConnection();
    return true;
}

#pragma once
// The receive run over POP3: the picture from UIDL, LIST and TOP (TOP only for messages the check
// file does not know), RETR into the spool and DELE, committed by the QUIT at the end.

#include "Receive.h"
#include "qmpop3.h"

class TPop3ReceiveRun final : public TReceiveRun {
public:
    TPop3ReceiveRun(const TAgentJob& job, const TReceivePaths& paths, const TAgentEvents& events)
        : TReceiveRun(job, paths, events)
    {
    }

protected:
    TqmMailBase& Client() override { return m_pop; }
    TqmRemoteInfo& Picture() override { return m_pop.RemoteInfo; }
    void Configure(int timeoutSeconds) override;
    void ReadPicture() override;
    bool Transfer() override;
    QString SpoolName(int index) const override { return QStringLiteral("pop_%1").arg(index + 1); }

private:
    void ConnectEvents();

    TqmRemotePOP m_pop;
};

#pragma once
// Making sure a network connection is up before a transfer: nothing to do on a local network,
// otherwise the job's dial-up entry is used when it is up, or dialled (hanging up another
// connection first when the job forces its own entry).

#include "AgentEvents.h"
#include "DialUp.h"

// Ensures a connection for a job using dial-up entry `entry` (empty: local network). `force`:
// another active connection is hung up and the entry dialled. Writes the dial-up status line and
// `OwnConnection`; false when the transfer cannot go on.
bool EnsureConnection(TDialUp& dialUp, const QString& entry, bool force, const TAgentEvents& events);

// The registry value telling the main client that the agent dialled the connection.
void WriteOwnConnection(bool own);

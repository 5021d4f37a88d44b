#pragma once
// The POP3 client of the server manager: the remote-POP component of the library, set up for one
// mailbox in one place, with the check that the message at a position is still the one that was
// listed (another client may have deleted mail since, and then the numbers moved).

#include "LmserverSettings.h"
#include "MessageTable.h"
#include "qmpop3.h"

class TServerPOP : public TqmRemotePOP {
    Q_OBJECT

public:
    using TqmRemotePOP::TqmRemotePOP;

    // Server, login and security of one mailbox, time-out and transfer log from the settings.
    void Configure(const TServerEntry& entry, const TLmserverSettings& settings);
    // Remembers for the account that the server agreed to TLS, so that "auto" later refuses it
    // without.
    void LogIn() override;

    // True when message `index` of the open session is the one `listed` describes: by its unique
    // id when the listing got one, else by its size and header lines (the library's identity rule).
    // A message the listing knows nothing about cannot be told apart and counts as the same.
    // A refused command means "not the same"; socket errors are raised.
    bool IsListedMessage(int index, const TqmRemoteInfoItem& listed);

private:
    QByteArray m_accountName;
    bool SameUidl(int index, const QByteArray& uidl);
    bool SameHeaders(int index, const TqmRemoteInfoItem& listed);
};

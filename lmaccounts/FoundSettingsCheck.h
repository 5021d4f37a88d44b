#pragma once
// The candidates of a look-up tried for real before they are offered as found: the connection
// test logs in to each incoming candidate (POP3 or IMAP, as the candidate says) in turn until one
// takes the log-in, and greets each outgoing candidate (AUTH with the same credentials when it
// wants a log-in) until one works. OAuth2-only candidates cannot be tried with a password and are
// passed over.

#include "ConnectionTest.h"
#include "FoundSettings.h"
#include "WizardRules.h"

#include <QList>

struct TCandidateCheck {
    // The index into the found candidates that worked; -1 when none did.
    int Chosen = -1;
    // One result per candidate tried, in the order tried.
    QList<TServerTestResult> Results;
    // The candidates tried, as indices into the found list (parallel to Results).
    QList<int> Tried;
};

struct TFoundSettingsCheck {
    TCandidateCheck Incoming;
    TCandidateCheck Outgoing;
    bool Canceled = false;

    bool Works() const { return !Canceled && Incoming.Chosen >= 0 && Outgoing.Chosen >= 0; }
};

// Whether the connection test can try this candidate with a password.
bool CanTryWithPassword(const TFoundServer& server);
TFoundSettingsCheck CheckFoundSettings(TConnectionTest& test, const TFoundSettings& found, const QString& password);

// The wizard's server fields for a found server (its port and security).
TServerChoice ServerChoiceOfFound(const TFoundServer& server);
// The incoming protocol of a found server: IMAP for "imap", else POP3.
TIncomingProtocol IncomingProtocolOfFound(const TFoundServer& server);
// The wizard's choices with the found servers filled in (the first of each side unless `check`
// chose others), the incoming protocol following the incoming server; name, address and password
// stay as typed.
TWizardChoices ChoicesWithFound(TWizardChoices choices, const TFoundSettings& found, const TFoundSettingsCheck* check = nullptr);

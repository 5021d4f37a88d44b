#pragma once
// Which mailboxes a connect opens: the one quick-connect server, or each ticked account in list
// order, read by name from the accounts database. Names that no longer name an account are
// returned apart so that the caller can say so (message 13) and go on, and so are accounts whose
// password or access token cannot be had (a locked keyring, a sign-in that must be renewed), with
// the reason (message 300).

#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "nktypes.h"
#include "LmserverSettings.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

struct TConnectTarget {
    QByteArray Server;
    QByteArray UserName;
    // Empty: ask the user.
    QByteArray Password;
    // The account's transport security; a quick connection uses "auto" without a pin, or "none"
    // when the user allowed it to log in without encryption.
    TqmSecurity Security = TqmSecurity::secAuto;
    TServerPin Pin = {};
    // Empty for a quick connection.
    QByteArray AccountName = {};
    // With OAuth2, Password is a fresh access token and a refusal asks for no password.
    TAuthMethod Auth = TAuthMethod::Password;
    // A quick connection speaks the protocol chosen for it.
    TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
    // IMAP: the server folders the account receives from beside the inbox, as ticked in the
    // accounts editor (UTF-8); none for a quick connection.
    QByteArrayList Folders = {};
};

struct TConnectPlan {
    QList<TConnectTarget> Targets;
    QStringList MissingAccounts;
    QStringList SecretFailures;
};

using TAccountLookup = std::function<std::optional<TAccount>(const QString& name)>;

// The accounts database of the active user.
std::optional<TAccount> ReadAccountByName(const QString& name);

TConnectPlan PlanConnect(const TLmserverSettings& settings, const TAccountLookup& lookup = ReadAccountByName);

// The security of a quick connection to `server` ("host" or "host:port"): TLS from the first byte
// when the port is the protocol's TLS port (995 for POP3, 993 for IMAP), else "auto", or "none"
// when the user allowed a log-in without encryption.
TqmSecurity QuickConnectSecurity(const QString& server, TIncomingProtocol incoming, bool plainText);

// True when the remembered choices name something to connect to (for "Refresh").
bool HasConnectChoice(const TLmserverSettings& settings);
// The connect dialog's rule for its Connect button.
bool CanConnect(bool quickConnect, const QString& server, const QString& user, int tickedAccounts);

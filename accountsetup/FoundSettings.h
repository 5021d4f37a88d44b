#pragma once
// What the look-up of an address's settings found: where from, the incoming and the outgoing
// servers as candidates (best first), and the provider's OAuth2 endpoints when it names them.
// Plain values; the wizard and lmtool take the first candidate of each side unless a connection
// test rules it out.

#include "DBAccountSecurity.h"
#include "nktypes.h"

#include <QByteArray>
#include <QList>
#include <QString>

enum class TSettingsSource { Autoconfig, Provider, Srv, Guess };

// "autoconfig", "provider", "srv", "guess".
QByteArray SettingsSourceText(TSettingsSource source);

struct TFoundServer {
    // "pop3", "imap" or "smtp".
    QByteArray Protocol;
    QString Host;
    quint16 Port = 0;
    // Only secTls and secStartTls: the look-up never proposes a server without encryption.
    TqmSecurity Security = TqmSecurity::secTls;
    // With the address's placeholders already filled in.
    QString Username;
    TAuthMethod Authentication = TAuthMethod::Password;
    // Whether the server also takes a password when Authentication is OAuth2 (an app password).
    bool AcceptsPassword = true;
    // False for an outgoing server that takes mail without a log-in.
    bool NeedsLogIn = true;

    friend bool operator==(const TFoundServer&, const TFoundServer&) = default;
};

struct TFoundSettings {
    TSettingsSource Source = TSettingsSource::Autoconfig;
    // The provider's name as its document gives it; may be empty.
    QString ProviderName;
    QList<TFoundServer> Incoming;
    QList<TFoundServer> Outgoing;
    // Filled when the document names OAuth2 endpoints; the client id may still be empty.
    TOAuth2Registration OAuth2;

    bool IsComplete() const { return !Incoming.isEmpty() && !Outgoing.isEmpty(); }
};

// "tls", "starttls" or "none".
QByteArray SecurityJsonText(TqmSecurity security);
// "password", "oauth2" or "none" (an outgoing server without log-in).
QByteArray AuthenticationText(const TFoundServer& server);
// The settings as the one JSON line of `lmtool autoconfig`, keys in a fixed order and without
// the line end: {"source":…,"incoming":{"protocol","host","port","security","username",
// "authentication"},"outgoing":{"host","port","security","username","authentication"}}.
QByteArray FoundSettingsJson(const TFoundSettings& settings, int incoming = 0, int outgoing = 0);

#pragma once
// A Mail Autoconfig document (the clientConfig format, version 1.1) read into what the look-up
// needs: the provider's name and domains, its incoming (POP3, IMAP) and outgoing (SMTP) servers,
// and its OAuth2 endpoints. Servers without encryption and entries with a port that is no number
// from 1 to 65535 are left out and counted, so that the caller can say why nothing usable was
// found. The shipped provider files use the same format.
//
//   <clientConfig version="1.1"><emailProvider id="example.org">
//     <domain>example.org</domain><displayName>Example Mail</displayName>
//     <incomingServer type="pop3"><hostname>pop.example.org</hostname><port>995</port>
//       <socketType>SSL</socketType><username>%EMAILADDRESS%</username>
//       <authentication>password-cleartext</authentication></incomingServer>
//     <outgoingServer type="smtp">…</outgoingServer>
//   </emailProvider><oAuth2><authURL>…</authURL><tokenURL>…</tokenURL><scope>…</scope></oAuth2>
//   </clientConfig>

#include "FoundSettings.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Documents above this size are not read at all.
inline constexpr qsizetype AutoconfigSizeLimit = 1024 * 1024;

enum class TDocumentProblem { None, NotXml, NotAutoconfig, TooLarge };

struct TAutoconfigDocument {
    TDocumentProblem Problem = TDocumentProblem::None;
    QString ProviderName;
    // Lower case.
    QStringList Domains;
    // POP3 before IMAP, TLS before STARTTLS, otherwise in the document's order.
    QList<TFoundServer> Incoming;
    QList<TFoundServer> Outgoing;
    TOAuth2Registration OAuth2;
    int PlainServers = 0;
    int BadPorts = 0;

    bool Serves(const QString& domain) const { return Domains.contains(domain.toLower()); }
};

TAutoconfigDocument ParseAutoconfigDocument(QByteArrayView xml, const QString& address);

// %EMAILADDRESS%, %EMAILLOCALPART% and %EMAILDOMAIN% replaced from `address`.
QString FillAddressPlaceholders(const QString& text, const QString& address);
// The part after the last "@", lower case; empty for an address without one or without a local part.
QString AddressDomain(const QString& address);
// One "@", a local part, and a domain with a dot and without blanks or slashes.
bool LooksLikeAddress(const QString& address);

#pragma once
// Trust on first use, one pin per server: what "Trust" in the certificate window stores, and which
// pin a connection gets. The window (CertificateDialog.h) asks; these functions decide and store.

#include "DBAccountSecurity.h"
#include "nkcertificate.h"

class TnkSocket;

// What Trust stores: the fingerprint of the certificate for exactly the server that presented it.
TServerPin PinFromFacts(const TnkCertificateFacts& facts);
// Whether `pin` trusts a certificate of host:port; a pin of an earlier version names no server and
// applies to the service it was read for.
bool PinApplies(const TServerPin& pin, QByteArrayView host, quint16 port);
// Gives `socket` the pin; the socket itself checks it against the host and port it connects to.
void ApplyPin(TnkSocket& socket, const TServerPin& pin);
// The user's Trust: stores the pin of the certificate for the account's service (nothing is
// stored without an account name) and gives it to `socket`, which can then be connected again.
void TrustCertificate(const QByteArray& accountName, TMailService service, const TnkCertificateFacts& facts, TnkSocket& socket);

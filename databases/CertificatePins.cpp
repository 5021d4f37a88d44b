#include "CertificatePins.h"

#include "nksocket.h"

TServerPin PinFromFacts(const TnkCertificateFacts& facts)
{
    return {ServerPinKey(facts.Host, facts.Port), facts.Fingerprint};
}

bool PinApplies(const TServerPin& pin, QByteArrayView host, quint16 port)
{
    return !pin.IsEmpty() && PinAppliesTo(pin.Server, host, port);
}

void ApplyPin(TnkSocket& socket, const TServerPin& pin)
{
    socket.PinnedCertificate = pin.Fingerprint;
    socket.PinnedServer = pin.Server;
}

void TrustCertificate(const QByteArray& accountName, TMailService service, const TnkCertificateFacts& facts, TnkSocket& socket)
{
    const TServerPin pin = PinFromFacts(facts);
    WriteServerPin(accountName, service, pin);
    ApplyPin(socket, pin);
}

#include "AutoconfigDocument.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

namespace {

struct TServerEntry {
    bool Incoming = true;
    QString Type;
    QString Host;
    QString Port;
    QString SocketType;
    QString Username;
    QStringList Authentication;
};

std::optional<TqmSecurity> SecurityOfSocketType(const QString& socketType)
{
    const QString type = socketType.trimmed().toUpper();
    // "SSL" is the name of version 1.1; later revisions of the format say "TLS".
    if (type == QLatin1String("SSL") || type == QLatin1String("TLS"))
        return TqmSecurity::secTls;
    if (type == QLatin1String("STARTTLS"))
        return TqmSecurity::secStartTls;
    if (type == QLatin1String("PLAIN"))
        return TqmSecurity::secNone;
    return std::nullopt;
}

bool IsPasswordMethod(const QString& method)
{
    return method == QLatin1String("password-cleartext") || method == QLatin1String("password-encrypted")
           || method == QLatin1String("plain") || method == QLatin1String("secure");
}

// The first method of the entry the suite can use; none listed means a password.
void ApplyAuthentication(TFoundServer& server, const QStringList& methods)
{
    QStringList lower;
    for (const QString& method : methods)
        lower.append(method.trimmed().toLower());
    server.AcceptsPassword = lower.isEmpty() || std::any_of(lower.begin(), lower.end(), IsPasswordMethod);
    for (const QString& m : lower) {
        if (IsPasswordMethod(m))
            return;
        if (m == QLatin1String("oauth2")) {
            server.Authentication = TAuthMethod::OAuth2;
            return;
        }
        if (m == QLatin1String("none") && server.Protocol == "smtp") {
            server.NeedsLogIn = false;
            return;
        }
    }
}

void AddServer(TAutoconfigDocument& document, const TServerEntry& entry, const QString& address)
{
    const QString type = entry.Type.trimmed().toLower();
    const bool known = entry.Incoming ? (type == QLatin1String("pop3") || type == QLatin1String("imap")) : type == QLatin1String("smtp");
    if (!known)
        return;
    bool ok = false;
    const uint port = entry.Port.trimmed().toUInt(&ok);
    if (!ok || port < 1 || port > 0xFFFF) {
        ++document.BadPorts;
        return;
    }
    const std::optional<TqmSecurity> security = SecurityOfSocketType(entry.SocketType);
    if (!security || *security == TqmSecurity::secNone) {
        ++document.PlainServers;
        return;
    }
    TFoundServer server;
    server.Protocol = type.toLatin1();
    server.Host = FillAddressPlaceholders(entry.Host.trimmed(), address);
    server.Port = quint16(port);
    server.Security = *security;
    server.Username = FillAddressPlaceholders(entry.Username.trimmed(), address);
    ApplyAuthentication(server, entry.Authentication);
    if (server.Host.isEmpty())
        return;
    (entry.Incoming ? document.Incoming : document.Outgoing).append(server);
}

int Rank(const TFoundServer& server)
{
    return (server.Protocol == "imap" ? 2 : 0) + (server.Security == TqmSecurity::secTls ? 0 : 1);
}

class TReader {
public:
    TReader(QByteArrayView xml, const QString& address) : m_xml(xml.toByteArray()), m_address(address) {}

    TAutoconfigDocument Read()
    {
        if (!m_xml.readNextStartElement() || m_xml.name() != QLatin1String("clientConfig")) {
            m_document.Problem = m_xml.hasError() ? TDocumentProblem::NotXml : TDocumentProblem::NotAutoconfig;
            return m_document;
        }
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("emailProvider"))
                ReadProvider();
            else if (m_xml.name() == QLatin1String("oAuth2"))
                ReadOAuth2();
            else
                m_xml.skipCurrentElement();
        }
        // A document cut short or broken after its servers still must not count as read.
        if (m_xml.hasError()) {
            m_document = {};
            m_document.Problem = TDocumentProblem::NotXml;
            return m_document;
        }
        for (auto* list : {&m_document.Incoming, &m_document.Outgoing})
            std::stable_sort(list->begin(), list->end(), [](const TFoundServer& a, const TFoundServer& b) { return Rank(a) < Rank(b); });
        return m_document;
    }

private:
    void ReadProvider()
    {
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("domain"))
                m_document.Domains.append(m_xml.readElementText().trimmed().toLower());
            else if (name == QLatin1String("displayName") && m_document.ProviderName.isEmpty())
                m_document.ProviderName = m_xml.readElementText().trimmed();
            else if (name == QLatin1String("incomingServer") || name == QLatin1String("outgoingServer"))
                ReadServer(name == QLatin1String("incomingServer"));
            else
                m_xml.skipCurrentElement();
        }
    }

    void ReadServer(bool incoming)
    {
        TServerEntry entry;
        entry.Incoming = incoming;
        entry.Type = m_xml.attributes().value(QLatin1String("type")).toString();
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == QLatin1String("hostname"))
                entry.Host = m_xml.readElementText();
            else if (name == QLatin1String("port"))
                entry.Port = m_xml.readElementText();
            else if (name == QLatin1String("socketType"))
                entry.SocketType = m_xml.readElementText();
            else if (name == QLatin1String("username"))
                entry.Username = m_xml.readElementText();
            else if (name == QLatin1String("authentication"))
                entry.Authentication.append(m_xml.readElementText());
            else
                m_xml.skipCurrentElement();
        }
        AddServer(m_document, entry, m_address);
    }

    void ReadOAuth2()
    {
        TOAuth2Registration& oauth = m_document.OAuth2;
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            const QByteArray text = m_xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().toUtf8();
            if (name == QLatin1String("authURL"))
                oauth.AuthUrl = text;
            else if (name == QLatin1String("tokenURL"))
                oauth.TokenUrl = text;
            else if (name == QLatin1String("scope"))
                oauth.Scope = text;
            else if (name == QLatin1String("clientId"))
                oauth.ClientId = text;
            else if (name == QLatin1String("clientSecret"))
                oauth.ClientSecret = text;
        }
    }

    QXmlStreamReader m_xml;
    const QString& m_address;
    TAutoconfigDocument m_document;
};

} // namespace

TAutoconfigDocument ParseAutoconfigDocument(QByteArrayView xml, const QString& address)
{
    if (xml.size() > AutoconfigSizeLimit) {
        TAutoconfigDocument document;
        document.Problem = TDocumentProblem::TooLarge;
        return document;
    }
    return TReader(xml, address).Read();
}

QString FillAddressPlaceholders(const QString& text, const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    QString filled = text;
    filled.replace(QLatin1String("%EMAILADDRESS%"), address);
    filled.replace(QLatin1String("%EMAILLOCALPART%"), address.left(std::max<qsizetype>(at, 0)));
    filled.replace(QLatin1String("%EMAILDOMAIN%"), at < 0 ? QString() : address.mid(at + 1));
    return filled;
}

QString AddressDomain(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return at <= 0 ? QString() : address.mid(at + 1).trimmed().toLower();
}

bool LooksLikeAddress(const QString& address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.count(QLatin1Char('@')) != 1 || trimmed.contains(QLatin1Char(' ')))
        return false;
    const QString domain = AddressDomain(trimmed);
    return domain.contains(QLatin1Char('.')) && !domain.startsWith(QLatin1Char('.')) && !domain.endsWith(QLatin1Char('.'))
           && !domain.contains(QLatin1Char('/')) && !domain.contains(QLatin1Char('\\')) && !domain.contains(QLatin1Char(':'));
}

#include "FoundSettings.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// A JSON string literal, escaped as QJsonDocument escapes it.
QByteArray JsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray Member(const char* name, const QByteArray& value)
{
    return '"' + QByteArray(name) + "\":" + value;
}

QByteArray ServerJson(const TFoundServer& server, bool withProtocol)
{
    QByteArrayList members;
    if (withProtocol)
        members << Member("protocol", JsonString(QString::fromLatin1(server.Protocol)));
    members << Member("host", JsonString(server.Host)) << Member("port", QByteArray::number(server.Port))
            << Member("security", JsonString(QString::fromLatin1(SecurityJsonText(server.Security))))
            << Member("username", JsonString(server.Username))
            << Member("authentication", JsonString(QString::fromLatin1(AuthenticationText(server))));
    return '{' + members.join(',') + '}';
}

} // namespace

QByteArray SettingsSourceText(TSettingsSource source)
{
    switch (source) {
    case TSettingsSource::Autoconfig: return "autoconfig";
    case TSettingsSource::Provider: return "provider";
    case TSettingsSource::Srv: return "srv";
    case TSettingsSource::Guess: return "guess";
    }
    return {};
}

QByteArray SecurityJsonText(TqmSecurity security)
{
    switch (security) {
    case TqmSecurity::secTls: return "tls";
    case TqmSecurity::secStartTls: return "starttls";
    default: return "none";
    }
}

QByteArray AuthenticationText(const TFoundServer& server)
{
    if (!server.NeedsLogIn)
        return "none";
    return server.Authentication == TAuthMethod::OAuth2 ? "oauth2" : "password";
}

QByteArray FoundSettingsJson(const TFoundSettings& settings, int incoming, int outgoing)
{
    const QByteArray source = JsonString(QString::fromLatin1(SettingsSourceText(settings.Source)));
    const QByteArray in = settings.Incoming.size() > incoming ? ServerJson(settings.Incoming.at(incoming), true) : "null";
    const QByteArray out = settings.Outgoing.size() > outgoing ? ServerJson(settings.Outgoing.at(outgoing), false) : "null";
    return '{' + Member("source", source) + ',' + Member("incoming", in) + ',' + Member("outgoing", out) + '}';
}

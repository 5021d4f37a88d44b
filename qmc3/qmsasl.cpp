#include "qmsasl.h"

#include <QMessageAuthenticationCode>

namespace detail {

namespace {

struct TMechanismName {
    TSaslMechanism Mechanism;
    const char* Name;
};

constexpr TMechanismName MechanismNames[] = {
    {TSaslMechanism::Plain, "PLAIN"},
    {TSaslMechanism::Login, "LOGIN"},
    {TSaslMechanism::CramMd5, "CRAM-MD5"},
    {TSaslMechanism::XOAuth2, "XOAUTH2"},
    {TSaslMechanism::OAuthBearer, "OAUTHBEARER"},
};

QByteArrayList UpperCase(const QByteArrayList& words)
{
    QByteArrayList upper;
    for (const QByteArray& word : words)
        upper.append(word.toUpper());
    return upper;
}

} // namespace

TSaslMechanism ChooseSaslMechanism(const QByteArrayList& offered, bool encrypted)
{
    const QByteArrayList upper = UpperCase(offered);
    const QList<TSaslMechanism> order = encrypted
        ? QList<TSaslMechanism>{TSaslMechanism::Plain, TSaslMechanism::Login, TSaslMechanism::CramMd5}
        : QList<TSaslMechanism>{TSaslMechanism::CramMd5, TSaslMechanism::Plain, TSaslMechanism::Login};
    for (const TSaslMechanism mechanism : order)
        if (upper.contains(SaslMechanismName(mechanism)))
            return mechanism;
    return TSaslMechanism::None;
}

QByteArray SaslMechanismName(TSaslMechanism mechanism)
{
    for (const TMechanismName& name : MechanismNames)
        if (name.Mechanism == mechanism)
            return name.Name;
    return {};
}

TSaslMechanism ChooseOAuth2Mechanism(const QByteArrayList& offered)
{
    const QByteArrayList upper = UpperCase(offered);
    for (const TSaslMechanism mechanism : {TSaslMechanism::OAuthBearer, TSaslMechanism::XOAuth2})
        if (upper.contains(SaslMechanismName(mechanism)))
            return mechanism;
    return TSaslMechanism::None;
}

QByteArray XOAuth2Message(const QByteArray& user, const QByteArray& accessToken)
{
    return "user=" + user + "\x01" "auth=Bearer " + accessToken + "\x01\x01";
}

QByteArray OAuthBearerMessage(const QByteArray& user, const QByteArray& accessToken, const QByteArray& host, quint16 port)
{
    QByteArray saslName = user;
    saslName.replace('=', "=3D").replace(',', "=2C");
    return "n,a=" + saslName + ",\x01host=" + host + "\x01port=" + QByteArray::number(port) + "\x01" "auth=Bearer "
        + accessToken + "\x01\x01";
}

QByteArray OAuth2ErrorAcknowledgement(TSaslMechanism mechanism)
{
    return mechanism == TSaslMechanism::OAuthBearer ? QByteArrayLiteral("AQ==") : QByteArray();
}

QByteArray SaslPlainMessage(const QByteArray& user, const QByteArray& password)
{
    return '\0' + user + '\0' + password;
}

QByteArray CramMd5Response(const QByteArray& user, const QByteArray& password, const QByteArray& challenge)
{
    return user + ' ' + QMessageAuthenticationCode::hash(challenge, password, QCryptographicHash::Md5).toHex();
}

bool DecodeChallenge(QByteArrayView replyLine, QByteArray& challenge)
{
    const QByteArray text = replyLine.size() > 4 ? replyLine.sliced(4).trimmed().toByteArray() : QByteArray();
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    challenge = *decoded;
    return true;
}

QHash<QByteArray, QByteArray> ParseEhloKeywords(const QByteArrayList& replyLines)
{
    QHash<QByteArray, QByteArray> keywords;
    for (qsizetype i = 1; i < replyLines.size(); ++i) {
        const QByteArray text = replyLines.at(i).mid(4).trimmed();
        const qsizetype blank = text.indexOf(' ');
        const QByteArray keyword = (blank < 0 ? text : text.left(blank)).toUpper();
        if (!keyword.isEmpty())
            keywords.insert(keyword, blank < 0 ? QByteArray() : text.mid(blank + 1).trimmed());
    }
    return keywords;
}

} // namespace detail

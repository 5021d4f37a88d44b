#include "AccountLogIn.h"

#include "nktransport.h"
#include "tk_langlib.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace {

// Message ids of the shared table.
constexpr int NotSignedInText = 625;
constexpr int SignInAgainText = 626;
constexpr int TokenEndpointFailedText = 627;
constexpr int TokenEndpointTimedOutText = 628;

// An access token this close to its end would expire during the connection.
constexpr int ExpiryMarginSeconds = 60;

QString AccountText(const TAccount& account) { return QString::fromUtf8(account.Name); }

QSslConfiguration TokenTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> testCas = detail::TestCaCertificates();
    if (!testCas.isEmpty())
        tls.addCaCertificates(testCas);
    return tls;
}

bool StillValid(const TOAuth2Tokens& tokens, const QDateTime& now)
{
    return !tokens.AccessToken.isEmpty() && tokens.Expires.isValid() && now.secsTo(tokens.Expires) > ExpiryMarginSeconds;
}

std::optional<QByteArray> FreshAccessToken(const TAccount& account, const TOAuth2Tokens& tokens, QString& error,
                                           const QDateTime& now)
{
    if (StillValid(tokens, now))
        return tokens.AccessToken;
    if (tokens.RefreshToken.isEmpty()) {
        error = FillIn(MessageText(NotSignedInText), AccountText(account));
        return std::nullopt;
    }
    const TTokenReply reply = RefreshOAuth2Tokens(ReadAccountSecurity(account.Name).OAuth2, tokens.RefreshToken, now);
    if (!reply.Error.isEmpty()) {
        error = reply.Refused ? FillInEach(MessageText(SignInAgainText), {AccountText(account), reply.Error})
                              : FillInEach(MessageText(TokenEndpointFailedText), {AccountText(account), reply.Error});
        if (reply.Refused) {
            // A refused refresh token never works again; keeping it would only repeat the refusal.
            QString ignored;
            StoreOAuth2Tokens(account.Name, {}, ignored);
        }
        return std::nullopt;
    }
    if (!StoreOAuth2Tokens(account.Name, reply.Tokens, error))
        return std::nullopt;
    return reply.Tokens.AccessToken;
}

} // namespace

QByteArray FormBody(const QList<std::pair<QByteArray, QByteArray>>& fields)
{
    QByteArrayList parts;
    for (const auto& [name, value] : fields)
        parts.append(QUrl::toPercentEncoding(QString::fromUtf8(name)) + '=' + QUrl::toPercentEncoding(QString::fromUtf8(value)));
    return parts.join('&');
}

std::optional<TLogInSecret> LogInSecret(const TAccount& account, TMailService service, QString& error, const QDateTime& now)
{
    if (service == TMailService::Smtp && !account.SmtpAuth)
        return TLogInSecret{};
    const TAuthMethod method = ReadAccountSecurity(account.Name).Auth;
    const std::optional<TAccountSecrets> secrets = ReadAccountSecrets(account, error);
    if (!secrets)
        return std::nullopt;
    if (method == TAuthMethod::Password)
        return TLogInSecret{service == TMailService::Pop ? secrets->PopPassword : secrets->SmtpPassword, method};
    const std::optional<QByteArray> token = FreshAccessToken(account, secrets->OAuth2, error, now);
    if (!token)
        return std::nullopt;
    return TLogInSecret{*token, method};
}

TTokenReply ParseTokenReply(int httpStatus, const QByteArray& body, const QDateTime& now, const QByteArray& previousRefresh)
{
    TTokenReply reply;
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QString errorCode = object.value(QStringLiteral("error")).toString();
    if (httpStatus != 200 || !errorCode.isEmpty()) {
        // RFC 6749, 5.2: 400 with an error code; invalid_grant means the grant is dead.
        reply.Refused = errorCode == QLatin1String("invalid_grant") || errorCode == QLatin1String("unauthorized_client");
        reply.Error = errorCode.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus) : errorCode;
        const QString description = object.value(QStringLiteral("error_description")).toString();
        if (!description.isEmpty())
            reply.Error += QStringLiteral(": ") + description.left(200);
        return reply;
    }
    reply.Tokens.AccessToken = object.value(QStringLiteral("access_token")).toString().toLatin1();
    reply.Tokens.RefreshToken = object.value(QStringLiteral("refresh_token")).toString().toLatin1();
    if (reply.Tokens.RefreshToken.isEmpty())
        reply.Tokens.RefreshToken = previousRefresh;
    // Without expires_in the token is used once and renewed before the next connection.
    const int expiresIn = object.value(QStringLiteral("expires_in")).toInt(0);
    reply.Tokens.Expires = now.addSecs(expiresIn);
    if (reply.Tokens.AccessToken.isEmpty())
        reply.Error = QStringLiteral("no access_token");
    return reply;
}

TTokenReply RequestTokens(const QByteArray& tokenUrl, const QByteArray& form, const QDateTime& now,
                          const QByteArray& previousRefresh, int timeoutMs)
{
    const QUrl url(QString::fromUtf8(tokenUrl));
    if (url.scheme() != QLatin1String("https"))
        return {{}, false, QStringLiteral("the token endpoint must be https")};
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    request.setSslConfiguration(TokenTls());
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* answer = network.post(request, form);
    QEventLoop loop;
    QObject::connect(answer, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!answer->isFinished()) {
        answer->abort();
        delete answer;
        return {{}, false, MessageText(TokenEndpointTimedOutText)};
    }
    const int status = answer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = answer->readAll().left(64 * 1024);
    const QString transportError = answer->error() == QNetworkReply::OperationCanceledError
                                       ? MessageText(TokenEndpointTimedOutText)
                                       : answer->errorString();
    delete answer;
    if (status == 0)
        return {{}, false, transportError};
    return ParseTokenReply(status, body, now, previousRefresh);
}

TTokenReply RefreshOAuth2Tokens(const TOAuth2Registration& registration, const QByteArray& refreshToken,
                                const QDateTime& now, int timeoutMs)
{
    QList<std::pair<QByteArray, QByteArray>> fields{
        {"grant_type", "refresh_token"}, {"refresh_token", refreshToken}, {"client_id", registration.ClientId}};
    if (!registration.ClientSecret.isEmpty())
        fields.append({"client_secret", registration.ClientSecret});
    return RequestTokens(registration.TokenUrl, FormBody(fields), now, refreshToken, timeoutMs);
}

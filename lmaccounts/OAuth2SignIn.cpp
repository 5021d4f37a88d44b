#include "OAuth2SignIn.h"

#include "tk_langlib.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QRandomGenerator>

namespace {

// Message ids of the accounts manager's table.
constexpr int BrowserFailedText = 160;
constexpr int WrongStateText = 161;
constexpr int AuthorizationRefusedText = 162;
constexpr int NoAnswerFromUserText = 163;
constexpr int ListenFailedText = 164;
constexpr int CancelledText = 165;
constexpr int TokenRequestFailedText = 166;
constexpr int RegistrationIncompleteText = 167;

constexpr auto Base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

} // namespace

namespace detail {

QByteArray NewCodeVerifier()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toBase64(Base64Url);
}

QByteArray CodeChallengeS256(const QByteArray& verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(Base64Url);
}

} // namespace detail

TOAuth2SignIn::TOAuth2SignIn(const TOAuth2Registration& registration, QObject* parent)
    : QObject(parent), m_registration(registration)
{
    m_browserTimer.setSingleShot(true);
    connect(&m_browserTimer, &QTimer::timeout, this, [this] { Finish({{}, MessageText(NoAnswerFromUserText)}); });
}

TOAuth2SignIn::~TOAuth2SignIn() = default;

void TOAuth2SignIn::Start()
{
    if (!m_registration.IsComplete()) {
        Finish({{}, MessageText(RegistrationIncompleteText)});
        return;
    }
    m_running = true;
    // RFC 8252, 7.3 and 8.3: the loopback address itself, on a port the system chooses.
    m_handler = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, this);
    if (!CallbackText.isEmpty())
        m_handler->setCallbackText(CallbackText);
    if (!m_handler->isListening()) {
        Finish({{}, MessageText(ListenFailedText)});
        return;
    }
    m_flow = new QOAuth2AuthorizationCodeFlow(this);
    m_flow->setAuthorizationUrl(QUrl(QString::fromUtf8(m_registration.AuthUrl)));
    m_flow->setAccessTokenUrl(QUrl(QString::fromUtf8(m_registration.TokenUrl)));
    m_flow->setClientIdentifier(QString::fromUtf8(m_registration.ClientId));
    m_flow->setScope(QString::fromUtf8(m_registration.Scope));
    m_flow->setReplyHandler(m_handler);
    m_verifier = detail::NewCodeVerifier();
    const QString challenge = QString::fromLatin1(detail::CodeChallengeS256(m_verifier));
    m_flow->setModifyParametersFunction([challenge](QAbstractOAuth::Stage stage, QMultiMap<QString, QVariant>* parameters) {
        if (stage != QAbstractOAuth::Stage::RequestingAuthorization)
            return;
        parameters->insert(QStringLiteral("code_challenge"), challenge);
        parameters->insert(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    });
    connect(m_flow, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl& url) {
        if (!OpenBrowser || !OpenBrowser(url))
            Finish({{}, MessageText(BrowserFailedText)});
    });
    m_flow->grant();
    // The code is exchanged here, with the verifier and a time limit, instead of by the flow, which
    // would wait for ever and ignore a redirect with a wrong state without a word.
    disconnect(m_handler, &QAbstractOAuthReplyHandler::callbackReceived, m_flow, nullptr);
    connect(m_handler, &QAbstractOAuthReplyHandler::callbackReceived, this, &TOAuth2SignIn::CallbackReceived);
    if (m_running)
        m_browserTimer.start(BrowserTimeoutMs);
}

void TOAuth2SignIn::CallbackReceived(const QVariantMap& values)
{
    if (!m_running)
        return;
    m_browserTimer.stop();
    const QString error = values.value(QStringLiteral("error")).toString();
    if (!error.isEmpty()) {
        const QString description = values.value(QStringLiteral("error_description")).toString().left(200);
        Finish({{}, FillIn(MessageText(AuthorizationRefusedText), description.isEmpty() ? error : error + QStringLiteral(": ") + description)});
        return;
    }
    // RFC 6749, 10.12: a redirect that does not carry our state may come from anyone.
    if (values.value(QStringLiteral("state")).toString() != m_flow->state()) {
        Finish({{}, MessageText(WrongStateText)});
        return;
    }
    const QByteArray code = values.value(QStringLiteral("code")).toString().toUtf8();
    QList<std::pair<QByteArray, QByteArray>> fields{{"grant_type", "authorization_code"},
                                                    {"code", code},
                                                    {"redirect_uri", m_handler->callback().toUtf8()},
                                                    {"client_id", m_registration.ClientId},
                                                    {"code_verifier", m_verifier}};
    if (!m_registration.ClientSecret.isEmpty())
        fields.append({"client_secret", m_registration.ClientSecret});
    m_handler->close();
    const TTokenReply reply =
        RequestTokens(m_registration.TokenUrl, FormBody(fields), QDateTime::currentDateTimeUtc(), {}, TokenTimeoutMs);
    if (!reply.Error.isEmpty()) {
        Finish({{}, FillIn(MessageText(TokenRequestFailedText), reply.Error)});
        return;
    }
    Finish({reply.Tokens, {}});
}

void TOAuth2SignIn::Cancel()
{
    if (m_running)
        Finish({{}, MessageText(CancelledText)});
}

void TOAuth2SignIn::Finish(const TSignInResult& result)
{
    m_running = false;
    m_browserTimer.stop();
    if (m_handler)
        m_handler->close();
    emit Finished(result);
}

TSignInResult SignInAndWait(TOAuth2SignIn& signIn)
{
    TSignInResult result;
    QEventLoop loop;
    QObject::connect(&signIn, &TOAuth2SignIn::Finished, &loop, [&](const TSignInResult& finished) {
        result = finished;
        loop.quit();
    });
    signIn.Start();
    if (signIn.Running())
        loop.exec();
    return result;
}

#pragma once
// The OAuth2 sign-in of an account: the authorization code flow in the user's own browser with a
// loopback redirect (RFC 8252, 7.3) and PKCE S256 (RFC 7636), the browser step through Qt Network
// Authorization. The redirect's `state` must be the one sent, else the sign-in fails; the code is
// then exchanged for tokens at the token endpoint (see AccountLogIn.h), which must answer within a
// time limit. Owned by whoever starts it (the account editor); one sign-in per object.

#include "AccountLogIn.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class QOAuth2AuthorizationCodeFlow;
class QOAuthHttpServerReplyHandler;

namespace detail {
// RFC 7636, 4.1: 32 random bytes, base64url without padding (43 characters).
QByteArray NewCodeVerifier();
// RFC 7636, 4.2: BASE64URL(SHA256(verifier)) without padding.
QByteArray CodeChallengeS256(const QByteArray& verifier);
} // namespace detail

struct TSignInResult {
    TOAuth2Tokens Tokens;
    // Empty on success; a message for the user otherwise.
    QString Error;
};

class TOAuth2SignIn : public QObject {
    Q_OBJECT

public:
    explicit TOAuth2SignIn(const TOAuth2Registration& registration, QObject* parent = nullptr);
    ~TOAuth2SignIn() override;

    // Listens on 127.0.0.1 and hands the authorization URL to OpenBrowser. Finished follows
    // exactly once: signed in, refused, wrong state, no answer within BrowserTimeoutMs from the
    // user, or none from the token endpoint within TokenTimeoutMs.
    void Start();
    void Cancel();
    bool Running() const { return m_running; }

    // Opens the URL in the user's browser; false when no browser could be started.
    std::function<bool(const QUrl&)> OpenBrowser;
    int BrowserTimeoutMs = 5 * 60 * 1000;
    int TokenTimeoutMs = TokenEndpointTimeoutMs;
    // The page the browser shows after the redirect.
    QString CallbackText;

signals:
    void Finished(const TSignInResult& result);

private:
    void CallbackReceived(const QVariantMap& values);
    void Finish(const TSignInResult& result);

    TOAuth2Registration m_registration;
    QOAuth2AuthorizationCodeFlow* m_flow = nullptr;
    QOAuthHttpServerReplyHandler* m_handler = nullptr;
    QByteArray m_verifier;
    QTimer m_browserTimer;
    bool m_running = false;
};

// Runs a sign-in to its end in a local event loop; for tests and scripts.
TSignInResult SignInAndWait(TOAuth2SignIn& signIn);

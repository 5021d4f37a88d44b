#pragma once
// What a connection of an account logs in with: its password, or for an account that signs in with
// OAuth2 a valid access token. An access token that has expired (or expires within a minute) is
// renewed with the refresh token at the registration's token endpoint before it is handed out, and
// the new tokens are stored where the account keeps its secrets. Tokens never reach a log.

#include "AccountSecrets.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct TLogInSecret {
    QByteArray Secret;
    TAuthMethod Method = TAuthMethod::Password;
};

inline constexpr int TokenEndpointTimeoutMs = 20000;

// Nothing, with a message for the user in `error`, when the keyring cannot be read, the account
// was never signed in, or the token endpoint refused the refresh token or did not answer.
std::optional<TLogInSecret> LogInSecret(const TAccount& account, TMailService service, QString& error,
                                        const QDateTime& now = QDateTime::currentDateTimeUtc());

// application/x-www-form-urlencoded, every byte outside the unreserved set percent-encoded (so a
// "+" in a token stays a "+").
QByteArray FormBody(const QList<std::pair<QByteArray, QByteArray>>& fields);

// The answer of a token endpoint (RFC 6749, 5.1 and 5.2).
struct TTokenReply {
    TOAuth2Tokens Tokens;
    // The endpoint answered, but refused the grant (invalid_grant and the like): only a new sign-in helps.
    bool Refused = false;
    // Empty on success.
    QString Error;
};

// A successful token response as tokens; a response without a new refresh token keeps
// `previousRefresh` (RFC 6749, 6: the server may issue a new one).
TTokenReply ParseTokenReply(int httpStatus, const QByteArray& body, const QDateTime& now, const QByteArray& previousRefresh);
// POSTs `form` (application/x-www-form-urlencoded) to `tokenUrl` over HTTPS and waits for the
// answer in a local event loop, at most `timeoutMs`. LUMARO_TEST_CA_FILE is trusted as for the mail
// servers.
TTokenReply RequestTokens(const QByteArray& tokenUrl, const QByteArray& form, const QDateTime& now,
                          const QByteArray& previousRefresh, int timeoutMs = TokenEndpointTimeoutMs);
TTokenReply RefreshOAuth2Tokens(const TOAuth2Registration& registration, const QByteArray& refreshToken,
                                const QDateTime& now, int timeoutMs = TokenEndpointTimeoutMs);

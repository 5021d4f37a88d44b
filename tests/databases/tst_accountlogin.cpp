// The token endpoint's answers as the log-in code reads them, the form encoding of the requests,
// the stored token bundle and the job line that tells the agent to use a token.

#include "AccountLogIn.h"
#include "DBAgentFunctions.h"

#include <QTemporaryDir>
#include <QTest>

class TestAccountLogIn : public QObject {
    Q_OBJECT

private slots:
    void tokenReplies_data();
    void tokenReplies();
    void formBodyKeepsEveryByte();
    void tokenBundleRoundTrip();
    void jobCarriesTheSignInMethod();
};

namespace {
const QDateTime Now(QDate(2026, 3, 9), QTime(12, 0), Qt::UTC);
}

void TestAccountLogIn::tokenReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("access");
    QTest::addColumn<QByteArray>("refresh");
    QTest::addColumn<int>("lifetime");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("error");
    QTest::newRow("granted") << 200 << QByteArray(R"({"access_token":"A","refresh_token":"R","expires_in":3600})") << QByteArray("A")
                             << QByteArray("R") << 3600 << false << QString();
    QTest::newRow("refresh keeps the old refresh token") << 200 << QByteArray(R"({"access_token":"B","expires_in":60})")
                                                         << QByteArray("B") << QByteArray("old") << 60 << false << QString();
    QTest::newRow("no lifetime: renewed next time") << 200 << QByteArray(R"({"access_token":"C"})") << QByteArray("C")
                                                    << QByteArray("old") << 0 << false << QString();
    QTest::newRow("revoked") << 400 << QByteArray(R"({"error":"invalid_grant","error_description":"revoked"})") << QByteArray()
                             << QByteArray() << 0 << true << QStringLiteral("invalid_grant: revoked");
    QTest::newRow("server trouble") << 503 << QByteArray("<html>busy</html>") << QByteArray() << QByteArray() << 0 << false
                                    << QStringLiteral("HTTP 503");
    QTest::newRow("error with 200") << 200 << QByteArray(R"({"error":"invalid_client"})") << QByteArray() << QByteArray() << 0
                                    << false << QStringLiteral("invalid_client");
    QTest::newRow("no token") << 200 << QByteArray(R"({"token_type":"Bearer"})") << QByteArray() << QByteArray("old") << 0
                              << false << QStringLiteral("no access_token");
}

void TestAccountLogIn::tokenReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, access);
    QFETCH(QByteArray, refresh);
    QFETCH(int, lifetime);
    QFETCH(bool, refused);
    QFETCH(QString, error);
    const TTokenReply reply = ParseTokenReply(status, body, Now, "old");
    QCOMPARE(reply.Error, error);
    QCOMPARE(reply.Refused, refused);
    QCOMPARE(reply.Tokens.AccessToken, access);
    if (error.isEmpty()) {
        QCOMPARE(reply.Tokens.RefreshToken, refresh);
        QCOMPARE(Now.secsTo(reply.Tokens.Expires), lifetime);
    }
}

void TestAccountLogIn::formBodyKeepsEveryByte()
{
    // "+" would be a blank in a form, "&" and "=" would split it.
    QCOMPARE(FormBody({{"grant_type", "refresh_token"}, {"refresh_token", "a+b/c=d&e f"}}),
             QByteArray("grant_type=refresh_token&refresh_token=a%2Bb%2Fc%3Dd%26e%20f"));
}

void TestAccountLogIn::tokenBundleRoundTrip()
{
    const TOAuth2Tokens tokens{"access+/=", "refresh", Now.addSecs(3600)};
    QCOMPARE(DecodeOAuth2Tokens(EncodeOAuth2Tokens(tokens)), tokens);
    QVERIFY(DecodeOAuth2Tokens("not json").IsEmpty());
    QVERIFY(!DecodeOAuth2Tokens(EncodeOAuth2Tokens({"a", "r", {}})).Expires.isValid());
}

void TestAccountLogIn::jobCarriesTheSignInMethod()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lmagent.ini"));
    TAgentJob job;
    job.Action = ReceiveAction;
    job.Password = "token";
    job.Auth = TAuthMethod::OAuth2;
    QVERIFY(WriteJob(job, path));
    QCOMPARE(ReadJob(path)->Auth, TAuthMethod::OAuth2);
    // A password job is written exactly as before.
    job.Auth = TAuthMethod::Password;
    QVERIFY(WriteJob(job, path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("AuthMethod"));
    QCOMPARE(ReadJob(path)->Auth, TAuthMethod::Password);
}

QTEST_GUILESS_MAIN(TestAccountLogIn)
#include "tst_accountlogin.moc"

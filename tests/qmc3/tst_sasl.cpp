#include "qmsasl.h"

#include <QTest>

using detail::TSaslMechanism;

Q_DECLARE_METATYPE(TSaslMechanism)

class TestSasl : public QObject {
    Q_OBJECT

private slots:
    void cramMd5FollowsRfc2195Example();
    void plainFollowsRfc4616Example();
    void mechanismChoice_data();
    void mechanismChoice();
    void challengeDecoding_data();
    void challengeDecoding();
    void oauthBearerFollowsRfc7628Example();
    void xoauth2Message();
    void oauth2MechanismChoice_data();
    void oauth2MechanismChoice();
};

void TestSasl::oauthBearerFollowsRfc7628Example()
{
    // RFC 7628, 4.1.
    const QByteArray message = detail::OAuthBearerMessage("user@example.com", "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==",
                                                          "server.example.com", 143);
    QCOMPARE(message, QByteArray("n,a=user@example.com,\x01host=server.example.com\x01port=143\x01"
                                 "auth=Bearer vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==\x01\x01"));
    // RFC 5801, 5.1: "," and "=" in the authorization identity are escaped.
    QVERIFY(detail::OAuthBearerMessage("a,b=c", "t", "h", 1).startsWith("n,a=a=2Cb=3Dc,\x01"));
    QCOMPARE(detail::OAuth2ErrorAcknowledgement(TSaslMechanism::OAuthBearer), QByteArray("AQ=="));
    QCOMPARE(detail::OAuth2ErrorAcknowledgement(TSaslMechanism::XOAuth2), QByteArray());
}

void TestSasl::xoauth2Message()
{
    QCOMPARE(detail::XOAuth2Message("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"),
             QByteArray("user=someuser@example.com\x01" "auth=Bearer ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg\x01\x01"));
}

void TestSasl::oauth2MechanismChoice_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<TSaslMechanism>("chosen");
    QTest::newRow("both: the standard one") << QByteArray("PLAIN XOAUTH2 OAUTHBEARER") << TSaslMechanism::OAuthBearer;
    QTest::newRow("xoauth2 only") << QByteArray("PLAIN LOGIN XOAUTH2") << TSaslMechanism::XOAuth2;
    QTest::newRow("letter case ignored") << QByteArray("oauthbearer") << TSaslMechanism::OAuthBearer;
    QTest::newRow("passwords only") << QByteArray("PLAIN LOGIN CRAM-MD5") << TSaslMechanism::None;
    QTest::newRow("nothing offered") << QByteArray() << TSaslMechanism::None;
}

void TestSasl::oauth2MechanismChoice()
{
    QFETCH(QByteArray, offered);
    QFETCH(TSaslMechanism, chosen);
    QCOMPARE(detail::ChooseOAuth2Mechanism(offered.split(' ')), chosen);
}

void TestSasl::cramMd5FollowsRfc2195Example()
{
    QByteArray challenge;
    QVERIFY(detail::DecodeChallenge("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+", challenge));
    QCOMPARE(challenge, QByteArray("<1896.697170952@postoffice.reston.mci.net>"));
    const QByteArray response = detail::CramMd5Response("tim", "tanstaaftanstaaf", challenge);
    QCOMPARE(response, QByteArray("tim b913a602c7eda7a495b4e6e7334d3890"));
    QCOMPARE(response.toBase64(), QByteArray("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"));
}

void TestSasl::plainFollowsRfc4616Example()
{
    const QByteArray message = detail::SaslPlainMessage("tim", "tanstaaftanstaaf");
    QCOMPARE(message, QByteArray("\0tim\0tanstaaftanstaaf", 21));
    QCOMPARE(message.toBase64(), QByteArray("AHRpbQB0YW5zdGFhZnRhbnN0YWFm"));
}

void TestSasl::mechanismChoice_data()
{
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<TSaslMechanism>("chosen");
    QTest::newRow("tls prefers plain") << QByteArray("CRAM-MD5 LOGIN PLAIN") << true << TSaslMechanism::Plain;
    QTest::newRow("tls login before cram") << QByteArray("CRAM-MD5 LOGIN") << true << TSaslMechanism::Login;
    QTest::newRow("tls cram last") << QByteArray("CRAM-MD5 GSSAPI") << true << TSaslMechanism::CramMd5;
    QTest::newRow("clear prefers cram") << QByteArray("PLAIN LOGIN CRAM-MD5") << false << TSaslMechanism::CramMd5;
    QTest::newRow("clear plain before login") << QByteArray("LOGIN PLAIN") << false << TSaslMechanism::Plain;
    QTest::newRow("letter case ignored") << QByteArray("login") << false << TSaslMechanism::Login;
    QTest::newRow("none known") << QByteArray("GSSAPI XOAUTH2") << true << TSaslMechanism::None;
    QTest::newRow("nothing offered") << QByteArray() << false << TSaslMechanism::None;
}

void TestSasl::mechanismChoice()
{
    QFETCH(QByteArray, offered);
    QFETCH(bool, encrypted);
    QFETCH(TSaslMechanism, chosen);
    QCOMPARE(detail::ChooseSaslMechanism(offered.split(' '), encrypted), chosen);
}

void TestSasl::challengeDecoding_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("challenge");
    QTest::newRow("base64") << QByteArray("334 PDEyMzQ+") << true << QByteArray("<1234>");
    QTest::newRow("trailing blank") << QByteArray("334 PDEyMzQ+ ") << true << QByteArray("<1234>");
    QTest::newRow("not base64") << QByteArray("334 Please send your password!") << false << QByteArray();
    QTest::newRow("foreign character") << QByteArray("334 PDEy*MzQ+") << false << QByteArray();
    QTest::newRow("empty") << QByteArray("334") << true << QByteArray();
}

void TestSasl::challengeDecoding()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(QByteArray, challenge);
    QByteArray decoded;
    QCOMPARE(detail::DecodeChallenge(line, decoded), valid);
    if (valid)
        QCOMPARE(decoded, challenge);
}

QTEST_GUILESS_MAIN(TestSasl)
#include "tst_sasl.moc"

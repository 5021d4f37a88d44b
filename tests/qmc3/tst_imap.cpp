// The IMAP client: its wire format as tables, and sessions against scripted servers that break the
// rules in the ways the agent must survive (bodies longer than their literal, literals without end,
// EXPUNGE in the middle of a FETCH, a server gone after the literal, a server without UIDPLUS).

#include "FakeServer.h"
#include "qmconst.h"
#include "qmimap.h"
#include "qmsasl.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

const QByteArrayList LogIn{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN] ready",
                           "C: A1 AUTHENTICATE PLAIN " + QByteArray("\0alice\0secret", 13).toBase64(),
                           "S: A1 OK [CAPABILITY IMAP4rev1 UIDPLUS] logged in",
                           "C: A2 SELECT INBOX", "S: * 2 EXISTS", "S: * OK [UIDVALIDITY 7] valid",
                           "S: * OK [UIDNEXT 9] next", "S: A2 OK [READ-WRITE] selected"};

const QByteArray FetchCommand = "C: A3 UID FETCH 1:2 (UID RFC822.SIZE BODY.PEEK[])";

void Configure(TqmIMAP& imap, const FakeServer& server)
{
    imap.Server = server.Address();
    imap.UserName = "alice";
    imap.Password = "secret";
    imap.SetTimeOut(10);
}

struct TFetchResult {
    std::map<quint32, QByteArray> Bodies;
    QString Error;
    int Expunged = 0;
};

TFetchResult Fetch(const QByteArrayList& script, qint64 maxMessageSize = TqmIMAP::DefaultMaxMessageSize)
{
    FakeServer server(LogIn + script);
    TqmIMAP imap;
    Configure(imap, server);
    imap.MaxMessageSize = maxMessageSize;
    TFetchResult result;
    std::map<quint32, std::unique_ptr<QBuffer>> open;
    try {
        imap.OpenConnection();
        const TqmImapMailbox mailbox = imap.Select(QStringLiteral("INBOX"));
        if (mailbox.UidValidity != 7 || mailbox.Exists != 2 || mailbox.UidNext != 9)
            result.Error = QStringLiteral("SELECT read wrong");
        imap.FetchBodies(
            {1, 2}, {},
            [&](quint32 uid, qint64) {
                open[uid] = std::make_unique<QBuffer>();
                open[uid]->open(QIODevice::WriteOnly);
                return open[uid].get();
            },
            [&](quint32 uid) { result.Bodies[uid] = open.at(uid)->data(); });
        result.Expunged = imap.ExpungedSinceSelect();
    } catch (const EqmException& error) {
        result.Error = error.Message();
    }
    if (!server.Errors().isEmpty())
        result.Error += server.Errors().join(QLatin1Char('\n'));
    return result;
}

} // namespace

class TestImap : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qmSetLanguage(TqmLanguage::English); }
    void mailboxNames_data();
    void mailboxNames();
    void uidSets_data();
    void uidSets();
    void envelopeBecomesHeaderLines();
    void responseValuesSurviveGarbage();
    void hostileFetches_data();
    void hostileFetches();
    void deletion_data();
    void deletion();
    void logIn_data();
    void logIn();
    void oauth2LogIn_data();
    void oauth2LogIn();
    void appendWaitsForTheServer();
};

void TestImap::mailboxNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("ascii") << QStringLiteral("Archive/2024") << QByteArray("Archive/2024");
    QTest::newRow("umlaut") << QStringLiteral("Entwürfe") << QByteArray("Entw&APw-rfe");
    QTest::newRow("ampersand") << QStringLiteral("Tom & Jerry") << QByteArray("Tom &- Jerry");
    QTest::newRow("rfc example") << QStringLiteral("~peter/mail/台北/日本語")
                                 << QByteArray("~peter/mail/&U,BTFw-/&ZeVnLIqe-");
    QTest::newRow("two runs") << QStringLiteral("Größe") << QByteArray("Gr&APYA3w-e");
}

void TestImap::mailboxNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, wire);
    QCOMPARE(detail::EncodeMailboxName(name), wire);
    QCOMPARE(detail::DecodeMailboxName(wire), name);
    // A name that is not modified UTF-7 is shown as the server sent it.
    QCOMPARE(detail::DecodeMailboxName("Broken&AP"), QStringLiteral("Broken&AP"));
}

void TestImap::uidSets_data()
{
    QTest::addColumn<QList<quint32>>("uids");
    QTest::addColumn<int>("perSet");
    QTest::addColumn<QByteArrayList>("sets");
    QTest::newRow("runs") << QList<quint32>{9, 1, 2, 3, 4, 7, 10, 11, 12} << 100 << QByteArrayList{"1:4,7,9:12"};
    QTest::newRow("duplicates") << QList<quint32>{5, 5, 6} << 100 << QByteArrayList{"5:6"};
    QTest::newRow("split run") << QList<quint32>{1, 2, 3, 4, 5} << 2 << QByteArrayList{"1:2", "3:4", "5"};
    QTest::newRow("empty") << QList<quint32>{} << 10 << QByteArrayList{};
}

void TestImap::uidSets()
{
    QFETCH(QList<quint32>, uids);
    QFETCH(int, perSet);
    QFETCH(QByteArrayList, sets);
    QCOMPARE(detail::UidSets(uids, perSet), sets);
}

void TestImap::envelopeBecomesHeaderLines()
{
    TImapResponse response;
    response.Text = "(\"Mon, 7 Feb 1994 21:52:25 -0800\" {#0} ((\"Fred, Foobar\" NIL \"foobar\" \"example.com\")) NIL NIL "
                    "((NIL NIL \"imap\" \"example.org\")(\"=?utf-8?q?J=C3=B6rg?=\" NIL \"j\" \"example.org\")) "
                    "((NIL NIL \"team\" NIL)(NIL NIL \"x\" \"example.net\")(NIL NIL NIL NIL)) NIL NIL "
                    "\"<B27397-0100000@example.com>\")";
    response.Literals = {"afternoon\r\nmeeting"};
    const QList<TImapValue> values = detail::ParseImapValues(response);
    QCOMPARE(values.size(), 1);
    const TqmHeaders headers = detail::EnvelopeHeaders(values.at(0));
    QCOMPARE(headers, TqmHeaders({"Date: Mon, 7 Feb 1994 21:52:25 -0800", "Subject: afternoon  meeting",
                                  "From: \"Fred, Foobar\" <foobar@example.com>",
                                  "To: imap@example.org, =?utf-8?q?J=C3=B6rg?= <j@example.org>", "Cc: x@example.net",
                                  "Message-Id: <B27397-0100000@example.com>"}));
}

void TestImap::responseValuesSurviveGarbage()
{
    for (const QByteArray& garbage : {QByteArray("(((("), QByteArray("))) \"unclosed"), QByteArray("{#99} {#-1} {"),
                                      QByteArray("BODY[HEADER.FIELDS (A B)] x"), QByteArray(")(\\")}) {
        const QList<TImapValue> values = detail::ParseImapValues(garbage);
        QVERIFY2(values.size() <= garbage.size(), garbage.constData());
    }
    const QList<TImapValue> section = detail::ParseImapValues("BODY[HEADER.FIELDS (A B)] NIL");
    QCOMPARE(section.size(), 2);
    QCOMPARE(section.at(0).Text, QByteArray("BODY[HEADER.FIELDS (A B)]"));
    QCOMPARE(section.at(1).Kind, TImapValue::TKind::Nil);
}

void TestImap::hostileFetches_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<qint64>("maxMessageSize");
    QTest::addColumn<QByteArrayList>("complete");
    QTest::addColumn<int>("expunged");
    QTest::addColumn<QString>("error");
    const qint64 noLimit = TqmIMAP::DefaultMaxMessageSize;

    QTest::newRow("expunge between, empty message")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 RFC822.SIZE 5 BODY[] {5}", "S% hello", "S: )",
                          "S: * 2 EXPUNGE", "S: * 1 FETCH (UID 2 RFC822.SIZE 0 BODY[] {0}", "S: )", "S: A3 OK done"}
        << noLimit << QByteArrayList{"hello", ""} << 1 << QString();
    QTest::newRow("flags after the body") << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 BODY[] {3}", "S% abc",
                                                            "S:  FLAGS (\\Seen))", "S: A3 OK done"}
                                          << noLimit << QByteArrayList{"abc"} << 0 << QString();
    QTest::newRow("body longer than its literal")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 RFC822.SIZE 5 BODY[] {5}", "S% hello world)", "S: ",
                          "S: A3 OK done"}
        << noLimit << QByteArrayList{} << 0 << qmMessageText(qmLiteralOverrun).arg(5);
    QTest::newRow("literal without end")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 BODY[] {99999999999}", "SILENT"} << qint64(1024 * 1024)
        << QByteArrayList{} << 0 << qmMessageText(qmMessageGrewAboveLimit).arg(1).arg(1024 * 1024);
    QTest::newRow("far above the announced size")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 RFC822.SIZE 10 BODY[] {50000000}", "SILENT"} << noLimit
        << QByteArrayList{} << 0 << qmMessageText(qmMessageLargerThanAnnounced);
    QTest::newRow("closed after the literal")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 RFC822.SIZE 5 BODY[] {5}", "S% hello", "CLOSE"} << noLimit
        << QByteArrayList{} << 0 << QStringLiteral("10054");
    QTest::newRow("closed inside the literal")
        << QByteArrayList{FetchCommand, "S: * 1 FETCH (UID 1 RFC822.SIZE 5 BODY[] {5}", "S% hel", "CLOSE"} << noLimit
        << QByteArrayList{} << 0 << QStringLiteral("10054");
    QTest::newRow("body before its uid") << QByteArrayList{FetchCommand, "S: * 1 FETCH (BODY[] {5}", "S% hello", "SILENT"}
                                         << noLimit << QByteArrayList{} << 0 << qmMessageText(qmBodyBeforeUid);
    QTest::newRow("no imap at all") << QByteArrayList{FetchCommand, "S: 220 smtp.example.org ESMTP", "SILENT"} << noLimit
                                    << QByteArrayList{} << 0
                                    << qmMessageText(qmNoImapResponse).arg(QStringLiteral("127.0.0.1"), QStringLiteral("220 smtp.example.org ESMTP"));
}

void TestImap::hostileFetches()
{
    QFETCH(QByteArrayList, script);
    QFETCH(qint64, maxMessageSize);
    QFETCH(QByteArrayList, complete);
    QFETCH(int, expunged);
    QFETCH(QString, error);
    const TFetchResult result = Fetch(script, maxMessageSize);
    if (error.isEmpty())
        QCOMPARE(result.Error, QString());
    else
        QVERIFY2(result.Error.contains(error), qPrintable(result.Error));
    QByteArrayList bodies;
    for (const auto& [uid, body] : result.Bodies)
        bodies.append(body);
    // Only bodies whose response ended as announced count as received.
    QCOMPARE(bodies, complete);
    QCOMPARE(result.Expunged, expunged);
}

void TestImap::deletion_data()
{
    QTest::addColumn<QByteArray>("capabilities");
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<bool>("expunged");
    const QByteArray store = "C: A3 UID STORE 4,6 +FLAGS.SILENT (\\Deleted)";
    QTest::newRow("uidplus") << QByteArray("IMAP4rev1 UIDPLUS")
                             << QByteArrayList{store, "S: A3 OK", "C: A4 UID EXPUNGE 4,6", "S: * 2 EXPUNGE",
                                               "S: * 3 EXPUNGE", "S: A4 OK"}
                             << true;
    QTest::newRow("no uidplus, nothing else flagged")
        << QByteArray("IMAP4rev1") << QByteArrayList{store, "S: A3 OK", "C: A4 UID SEARCH DELETED", "S: * SEARCH 6 4",
                                                     "S: A4 OK", "C: A5 EXPUNGE", "S: A5 OK"}
        << true;
    QTest::newRow("no uidplus, another message flagged")
        << QByteArray("IMAP4rev1") << QByteArrayList{store, "S: A3 OK", "C: A4 UID SEARCH DELETED", "S: * SEARCH 2 4 6",
                                                     "S: A4 OK", "C: A5 UID STORE 4,6 -FLAGS.SILENT (\\Deleted)", "S: A5 OK"}
        << false;
}

void TestImap::deletion()
{
    QFETCH(QByteArray, capabilities);
    QFETCH(QByteArrayList, script);
    QFETCH(bool, expunged);
    QByteArrayList logIn = LogIn;
    logIn[2] = "S: A1 OK [CAPABILITY " + capabilities + "] logged in";
    FakeServer server(logIn + script + QByteArrayList{"C: A6 LOGOUT", "S: * BYE", "S: A6 OK"});
    TqmIMAP imap;
    Configure(imap, server);
    imap.OpenConnection();
    imap.Select(QStringLiteral("inbox"));
    QCOMPARE(imap.DeleteMessages({6, 4}), expunged);
    QCOMPARE(imap.LastWarning.isEmpty(), expunged);
    QCOMPARE(server.Errors(), QStringList());
}

void TestImap::logIn_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("askAgain");
    const QByteArray greeting = "S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN] ready";
    const QByteArray authenticate = "C: A1 AUTHENTICATE PLAIN *";
    QTest::newRow("refused") << QByteArrayList{greeting, authenticate, "S: A1 NO [AUTHENTICATIONFAILED] wrong"}
                             << QStringLiteral("refused the log-in") << true;
    QTest::newRow("unavailable") << QByteArrayList{greeting, authenticate, "S: A1 NO [UNAVAILABLE] try later"}
                                 << QStringLiteral("[UNAVAILABLE] try later") << false;
    QTest::newRow("login command, quoted")
        << QByteArrayList{"S: * OK ready", "C: A1 CAPABILITY", "S: * CAPABILITY IMAP4rev1", "S: A1 OK",
                          "C: A2 LOGIN \"alice\" \"se\\\"cret\"", "S: A2 OK logged in", "C: A3 CAPABILITY",
                          "S: * CAPABILITY IMAP4rev1 UIDPLUS", "S: A3 OK", "C: A4 LOGOUT", "S: * BYE", "CLOSE"}
        << QString() << false;
    QTest::newRow("challenge without sasl-ir")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready", "C: A1 AUTHENTICATE PLAIN", "S: +",
                          "C: " + QByteArray("\0alice\0se\"cret", 14).toBase64(), "S: A1 OK [CAPABILITY IMAP4rev1] in",
                          "C: A2 LOGOUT", "S: A2 OK"}
        << QString() << false;
    QTest::newRow("pop3 server") << QByteArrayList{"S: +OK POP3 ready", "SILENT"}
                                 << QStringLiteral("IMAP server") << false;
    QTest::newRow("greeting bye") << QByteArrayList{"S: * BYE too many connections", "SILENT"}
                                  << QStringLiteral("* BYE too many connections") << false;
}

void TestImap::logIn()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QString, error);
    QFETCH(bool, askAgain);
    FakeServer server(script);
    TqmIMAP imap;
    Configure(imap, server);
    imap.Password = "se\"cret";
    if (QTest::currentDataTag() == QByteArray("refused") || QTest::currentDataTag() == QByteArray("unavailable"))
        imap.Password = "secret";
    QString raised;
    bool refused = false;
    try {
        imap.OpenConnection();
        imap.CloseConnection();
    } catch (const ELogInRefused& refusal) {
        raised = refusal.Message();
        refused = true;
    } catch (const EqmException& failure) {
        raised = failure.Message();
    }
    if (error.isEmpty())
        QCOMPARE(raised, QString());
    else
        QVERIFY2(raised.contains(error), qPrintable(raised));
    QCOMPARE(refused, askAgain);
    QCOMPARE(server.Errors(), QStringList());
}

void TestImap::oauth2LogIn_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<QByteArray>("mechanism");
    QTest::addColumn<QString>("error");
    const QByteArray xoauth2 = detail::XOAuth2Message("alice", "tok-123").toBase64();
    const QByteArrayList logOut{"C: A2 CAPABILITY", "S: * CAPABILITY IMAP4rev1", "S: A2 OK", "C: A3 LOGOUT", "S: A3 OK"};
    QTest::newRow("oauthbearer preferred, initial response")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN AUTH=XOAUTH2 AUTH=OAUTHBEARER] ready",
                          "C: A1 AUTHENTICATE OAUTHBEARER *", "S: A1 OK in"} + logOut
        << QByteArray("OAUTHBEARER") << QString();
    QTest::newRow("xoauth2 after the continuation")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 AUTH=PLAIN AUTH=XOAUTH2] ready", "C: A1 AUTHENTICATE XOAUTH2", "S: +",
                          "C: " + xoauth2, "S: A1 OK in"} + logOut
        << QByteArray("XOAUTH2") << QString();
    // RFC 7628, 3.2.2: the error comes as a challenge, answered with ^A, before the tagged NO.
    QTest::newRow("token refused")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=OAUTHBEARER] ready", "C: A1 AUTHENTICATE OAUTHBEARER *",
                          "S: + " + QByteArray(R"({"status":"invalid_token"})").toBase64(), "C: AQ==",
                          "S: A1 NO [AUTHENTICATIONFAILED] bad token"}
        << QByteArray("OAUTHBEARER") << QStringLiteral("refused the log-in");
    QTest::newRow("xoauth2 refused")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] ready", "C: A1 AUTHENTICATE XOAUTH2 " + xoauth2,
                          "S: + " + QByteArray(R"({"status":"400"})").toBase64(), "C: ", "S: A1 NO [AUTHENTICATIONFAILED] no"}
        << QByteArray("XOAUTH2") << QStringLiteral("refused the log-in");
    QTest::newRow("no oauth2 mechanism")
        << QByteArrayList{"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN] ready", "SILENT"} << QByteArray()
        << qmMessageText(qmNoOAuth2Mechanism);
}

// The token goes where the mechanism puts it, never into the log.
void TestImap::oauth2LogIn()
{
    QFETCH(QByteArrayList, script);
    QFETCH(QByteArray, mechanism);
    QFETCH(QString, error);
    FakeServer server(script);
    QTemporaryDir logDir;
    const QString logFile = logDir.filePath(QStringLiteral("imap.log"));
    QString raised;
    {
        // The client writes its log when it goes.
        TqmIMAP imap;
        Configure(imap, server);
        imap.Password = "tok-123";
        imap.LogInMethod = TqmLogInMethod::OAuth2;
        imap.LogFileName = logFile;
        try {
            imap.OpenConnection();
            imap.CloseConnection();
        } catch (const EqmException& failure) {
            raised = failure.Message();
        }
    }
    if (error.isEmpty())
        QCOMPARE(raised, QString());
    else
        QVERIFY2(raised.contains(error), qPrintable(raised));
    QCOMPARE(server.Errors(), QStringList());
    if (mechanism == "OAUTHBEARER")
        QVERIFY(server.Received().contains(
            detail::OAuthBearerMessage("alice", "tok-123", "127.0.0.1", server.Port()).toBase64()));
    QFile log(logFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logText = log.readAll();
    // With SASL-IR the response is on the command's line, else on its own after the continuation.
    const bool initialResponse = script.first().contains("SASL-IR");
    if (!mechanism.isEmpty())
        QVERIFY2(logText.contains("AUTHENTICATE " + mechanism + (initialResponse ? " ****" : "\n+\n****")), logText.constData());
    QVERIFY(!logText.contains(detail::XOAuth2Message("alice", "tok-123").toBase64()));
    QVERIFY(!logText.contains("tok-123"));
}

void TestImap::appendWaitsForTheServer()
{
    const QByteArray message = "Subject: x\r\n\r\nbody\r\n";
    FakeServer server(LogIn.mid(0, 3)
                      + QByteArrayList{"C: A2 APPEND \"Entw&APw-rfe\" (\\Seen) {20}", "PAUSE 50", "S: + go", "C: Subject: x",
                                       "C: ", "C: body", "C: ", "S: A2 NO [TRYCREATE] no such folder"});
    TqmIMAP imap;
    Configure(imap, server);
    imap.OpenConnection();
    QString raised;
    try {
        imap.Append(QStringLiteral("Entwürfe"), message, {"\\Seen"});
    } catch (const EServerError& error) {
        raised = error.Message();
    }
    QVERIFY2(raised.contains(QStringLiteral("\"Entwürfe\"")) && raised.contains(QLatin1String("TRYCREATE")), qPrintable(raised));
    QCOMPARE(server.Errors(), QStringList());
}

QTEST_GUILESS_MAIN(TestImap)
#include "tst_imap.moc"

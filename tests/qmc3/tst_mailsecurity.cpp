// SMTP and POP3 against broken and hostile servers, played by an in-memory transport: TLS modes,
// downgrades, forged bytes around STARTTLS, log-in mechanisms and what reaches the log.

#include "MemoryTransport.h"
#include "qmmsg.h"
#include "qmpop3.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray User = "alice";
const QByteArray Password = "s3cret";
// base64 of NUL alice NUL s3cret, of "alice" and of "s3cret"
const QByteArray PlainToken = "AGFsaWNlAHMzY3JldA==";
const QByteArray UserToken = "YWxpY2U=";
const QByteArray PasswordToken = "czNjcmV0";

const QByteArrayList SmtpGreeting{"S: 220 smtp.example ESMTP", "C: EHLO *"};
const QByteArrayList SmtpTlsOffered{"S: 250-smtp.example", "S: 250-SIZE 1000", "S: 250 STARTTLS"};
const QByteArrayList SmtpAfterTls{"C: EHLO *", "S: 250-smtp.example", "S: 250-SIZE 1000", "S: 250 AUTH LOGIN PLAIN CRAM-MD5"};
const QByteArrayList Quit{"C: QUIT", "S: 221 bye"};

struct TOutcome {
    QString Error;
    QByteArray SentInClear;
    QByteArray Sent;
    QByteArray Log;
    QStringList ScriptErrors;
    bool ScriptFinished = false;
    bool OnLine = false;
};

QByteArray ReadLog(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename Client, typename Work>
TOutcome Play(Client& client, const QByteArrayList& script, TqmSecurity security, Work work)
{
    QTemporaryDir dir;
    MemoryTransport* transport = nullptr;
    TOutcome outcome;
    {
        client.Server = "127.0.0.1";
        client.Security = security;
        client.SetTimeOut(5);
        client.LogFileName = dir.filePath(QStringLiteral("transfer.log"));
        client.TransportFactory = MemoryTransport::Factory(transport, script);
        try {
            work();
        } catch (const EqmException& error) {
            outcome.Error = error.Message();
        }
        outcome.OnLine = client.OnLine();
        if (transport) {
            outcome.SentInClear = transport->SentInClear();
            outcome.Sent = transport->Sent();
            outcome.ScriptErrors = transport->Errors();
            outcome.ScriptFinished = transport->Finished();
        }
        client.Close();
    }
    return outcome;
}

TOutcome PlaySmtp(const QByteArrayList& script, TqmSecurity security, bool authenticate, QIODevice* message = nullptr)
{
    QTemporaryDir dir;
    TOutcome outcome;
    TqmMessage mail;
    mail.Sender.Address = "alice@example.org";
    mail.Recipients.AddAddress("bob@example.org", {});
    mail.Recipients.AddAddress("carol@example.org", {});
    {
        TqmSMTP smtp;
        smtp.UserName = User;
        smtp.Password = Password;
        smtp.MailMessage = &mail;
        smtp.OnAddressRejected = [](QObject&, const QByteArray&, const QByteArray&, bool& proceed) { proceed = true; };
        outcome = Play(smtp, script, security, [&] {
            smtp.OpenConnection();
            if (authenticate)
                smtp.Authenticate();
            if (message)
                smtp.SendMessageData(*message);
            smtp.CloseConnection();
        });
        smtp.LogFileName = dir.filePath(QStringLiteral("log"));
    }
    outcome.Log = ReadLog(dir.filePath(QStringLiteral("log")));
    return outcome;
}

TOutcome PlayPop3(const QByteArrayList& script, TqmSecurity security)
{
    QTemporaryDir dir;
    TOutcome outcome;
    {
        TqmRemotePOP pop;
        pop.UserName = User;
        pop.Password = Password;
        outcome = Play(pop, script, security, [&] {
            pop.OpenConnection();
            pop.CloseConnection();
        });
        pop.LogFileName = dir.filePath(QStringLiteral("log"));
    }
    outcome.Log = ReadLog(dir.filePath(QStringLiteral("log")));
    return outcome;
}

struct TLogInOutcome {
    TOutcome Transfer;
    bool Refused = false;
    bool Downgrade = false;
    QString Server;
};

// One connection with TlsSeenBefore set as given: POP3 logs in, SMTP logs in and authenticates
// when asked to. A refusal is recorded with what EPlainLogInRefused tells the programs.
TLogInOutcome PlayLogIn(bool pop3, const QByteArrayList& script, TqmSecurity security, bool tlsSeenBefore, bool authenticate)
{
    TqmRemotePOP pop;
    TqmSMTP smtp;
    TqmMailBase& client = pop3 ? static_cast<TqmMailBase&>(pop) : smtp;
    pop.UserName = smtp.UserName = User;
    pop.Password = smtp.Password = Password;
    client.TlsSeenBefore = tlsSeenBefore;
    TLogInOutcome outcome;
    outcome.Transfer = Play(client, script, security, [&] {
        try {
            client.OpenConnection();
            if (authenticate)
                smtp.Authenticate();
            client.CloseConnection();
        } catch (const EPlainLogInRefused& refusal) {
            outcome.Refused = true;
            outcome.Downgrade = refusal.Downgrade();
            outcome.Server = refusal.Server();
            throw;
        }
    });
    return outcome;
}

} // namespace

Q_DECLARE_METATYPE(TqmSecurity)

class TestMailSecurity : public QObject {
    Q_OBJECT

private slots:
    void smtpDialogues_data();
    void smtpDialogues();
    void smtpMessageChecks_data();
    void smtpMessageChecks();
    void pop3Dialogues_data();
    void pop3Dialogues();
    void plainLogInRefused_data();
    void plainLogInRefused();
    void tlsHandshakeNamesTheHost_data();
    void tlsHandshakeNamesTheHost();
    void defaultPortFollowsTheMode_data();
    void defaultPortFollowsTheMode();
};

void TestMailSecurity::smtpDialogues_data()
{
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QString>("error");
    // The rest of this must never travel unencrypted.
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("auto upgrades, plain over tls")
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 220 go ahead", "TLS"} + SmtpAfterTls
            + QByteArrayList{"C: AUTH PLAIN " + PlainToken, "S: 235 ok"} + Quit
        << TqmSecurity::secAuto << QString() << PlainToken << QByteArray("AUTH PLAIN ****");
    QTest::newRow("none without tls prefers cram-md5")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH PLAIN LOGIN CRAM-MD5", "C: AUTH CRAM-MD5",
                                         "S: 334 PDEyMzQ+", "C: *", "S: 235 ok"} + Quit
        << TqmSecurity::secNone << QString() << PasswordToken << QByteArray("AUTH CRAM-MD5\n334 PDEyMzQ+\n****");
    QTest::newRow("auto without tls sends no auth")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH PLAIN LOGIN CRAM-MD5"}
        << TqmSecurity::secAuto << QStringLiteral("127.0.0.1 offers no encrypted connection (no STARTTLS)")
        << QByteArray("AUTH") << QByteArray();
    QTest::newRow("auto, helo only, sends no auth")
        << SmtpGreeting + QByteArrayList{"S: 502 unknown", "C: HELO *", "S: 250 hi"}
        << TqmSecurity::secAuto << QStringLiteral("127.0.0.1 offers no encrypted connection (no STARTTLS)")
        << QByteArray("AUTH") << QByteArray();
    QTest::newRow("login masks both lines")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH LOGIN", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                                         "C: " + UserToken, "S: 334 UGFzc3dvcmQ6", "C: " + PasswordToken, "S: 235 ok"} + Quit
        << TqmSecurity::secNone << QString() << QByteArray() << QByteArray("AUTH LOGIN\n334 VXNlcm5hbWU6\n****\n334 UGFzc3dvcmQ6\n****");
    QTest::newRow("ehlo refused falls back to helo")
        << SmtpGreeting + QByteArrayList{"S: 502 unknown", "C: HELO *", "S: 250 hi", "C: AUTH LOGIN", "S: 334 x", "C: *",
                                         "S: 334 y", "C: *", "S: 235 ok"} + Quit
        << TqmSecurity::secNone << QString() << QByteArray() << QByteArray("HELO ");
    QTest::newRow("starttls required, not offered")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH PLAIN LOGIN"}
        << TqmSecurity::secStartTls << QStringLiteral("does not offer STARTTLS") << PlainToken << QByteArray();
    QTest::newRow("starttls required, helo only")
        << SmtpGreeting + QByteArrayList{"S: 500 what", "C: HELO *", "S: 250 hi"}
        << TqmSecurity::secStartTls << QStringLiteral("does not offer STARTTLS") << UserToken << QByteArray();
    QTest::newRow("starttls refused")
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 454 TLS not available"}
        << TqmSecurity::secAuto << QStringLiteral("454 TLS not available") << PlainToken << QByteArray();
    QTest::newRow("handshake fails")
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 220 go ahead", "TLSFAIL wrong version number"}
        << TqmSecurity::secStartTls << QStringLiteral("secure connection to 127.0.0.1 failed: wrong version number")
        << PlainToken << QByteArray();
    QTest::newRow("certificate rejected names fingerprint")
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 220 go ahead", "CERTFAIL The certificate has expired"}
        << TqmSecurity::secAuto << QStringLiteral("The certificate has expired\nSHA-256 fingerprint: ab:cd:ef")
        << PlainToken << QByteArray();
    QTest::newRow("plain text after ready to start tls")
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 220 Ready to start TLS", "S: 250-AUTH PLAIN"}
        << TqmSecurity::secAuto << QStringLiteral("sent data before the secure connection") << PlainToken << QByteArray();
    QTest::newRow("no known mechanism")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH GSSAPI"}
        << TqmSecurity::secNone << QStringLiteral("no log-in method") << PasswordToken << QByteArray();
    // The server's own refusal says more than "no log-in method" would.
    QTest::newRow("no auth keyword")
        << SmtpGreeting + QByteArrayList{"S: 250 smtp.example", "C: AUTH LOGIN", "S: 502 5.5.1 AUTH not enabled"}
        << TqmSecurity::secNone << QStringLiteral("502 5.5.1 AUTH not enabled") << PasswordToken << QByteArray();
    QTest::newRow("cram-md5 challenge not base64")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH CRAM-MD5", "C: AUTH CRAM-MD5",
                                         "S: 334 send me your password!"}
        << TqmSecurity::secNone << QStringLiteral("not valid base64") << QByteArray() << QByteArray();
    QByteArrayList flood = SmtpGreeting;
    for (int i = 0; i <= 1000; ++i)
        flood.append("S: 250-X-LINE-" + QByteArray::number(i));
    flood.append("S: 250 AUTH PLAIN");
    QTest::newRow("ehlo reply of 1000 lines") << flood << TqmSecurity::secAuto << QStringLiteral("250-X-LINE-1000")
                                              << PlainToken << QByteArray();
}

void TestMailSecurity::smtpDialogues()
{
    QFETCH(QByteArrayList, script);
    QFETCH(TqmSecurity, security);
    QFETCH(QString, error);
    QFETCH(QByteArray, secret);
    QFETCH(QByteArray, logged);
    const TOutcome outcome = PlaySmtp(script, security, true);
    QCOMPARE(outcome.ScriptErrors, QStringList());
    if (error.isEmpty()) {
        QCOMPARE(outcome.Error, QString());
        QVERIFY(outcome.ScriptFinished);
    } else {
        QVERIFY2(outcome.Error.contains(error), qPrintable(outcome.Error));
        // A refusal the server sent leaves the session open, as any refused SMTP command does.
        const bool serverReply = error.left(3).toInt() > 0;
        QVERIFY(!outcome.OnLine || error.contains(QLatin1String("no log-in")) || serverReply);
    }
    if (!secret.isEmpty())
        QVERIFY2(!outcome.SentInClear.contains(secret), outcome.SentInClear.constData());
    QVERIFY(!outcome.Log.contains(Password) && !outcome.Log.contains(PlainToken) && !outcome.Log.contains(PasswordToken));
    QVERIFY2(outcome.Log.contains(logged), outcome.Log.constData());
}

void TestMailSecurity::smtpMessageChecks_data()
{
    const QByteArrayList envelope{"C: MAIL FROM:<alice@example.org>", "S: 250 ok", "C: RCPT TO:<bob@example.org>"};
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<qsizetype>("messageSize");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("dataCommandSent");
    QTest::newRow("larger than SIZE")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 SIZE 100"} << qsizetype(101)
        << QStringLiteral("(101 bytes) is larger than the server accepts (100 bytes)") << false;
    QTest::newRow("exactly SIZE")
        << SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 SIZE 100"} + envelope
            + QByteArrayList{"S: 250 ok", "C: RCPT TO:<carol@example.org>", "S: 250 ok", "C: DATA", "S: 354 go", "C: <DATA>",
                             "S: 250 queued"} + Quit
        << qsizetype(100) << QString() << true;
    // The message stays queued: a reply out of turn cannot tell what the server did with it.
    QTest::newRow("early reply before the dot is not the acceptance")
        << SmtpGreeting + QByteArrayList{"S: 250 smtp.example"} + envelope
            + QByteArrayList{"S: 250 ok", "C: RCPT TO:<carol@example.org>", "S: 250 ok", "C: DATA", "S: 354 go",
                             "S: 250 early"}
        << qsizetype(10) << QStringLiteral("250 early") << true;
    QTest::newRow("every recipient refused sends no data")
        << SmtpGreeting + QByteArrayList{"S: 250 smtp.example"} + envelope
            + QByteArrayList{"S: 550 no such user", "C: RCPT TO:<carol@example.org>", "S: 550 nor this one"}
        << qsizetype(10) << QStringLiteral("550 nor this one") << false;
}

void TestMailSecurity::smtpMessageChecks()
{
    QFETCH(QByteArrayList, script);
    QFETCH(qsizetype, messageSize);
    QFETCH(QString, error);
    QFETCH(bool, dataCommandSent);
    QByteArray text(messageSize - 2, 'x');
    text += "\r\n";
    QBuffer message(&text);
    message.open(QIODevice::ReadOnly);
    const TOutcome outcome = PlaySmtp(script, TqmSecurity::secNone, false, &message);
    QCOMPARE(outcome.ScriptErrors, QStringList());
    QVERIFY2(error.isEmpty() ? outcome.Error.isEmpty() : outcome.Error.contains(error), qPrintable(outcome.Error));
    QVERIFY(outcome.ScriptFinished);
    QCOMPARE(outcome.Sent.contains("\r\nDATA\r\n"), dataCommandSent);
}

void TestMailSecurity::pop3Dialogues_data()
{
    const QByteArrayList login{"C: USER alice", "S: +OK", "C: PASS s3cret", "S: +OK", "C: STAT", "S: +OK 0 0",
                               "C: QUIT", "S: +OK bye"};
    const QByteArrayList capaWithStls{"C: CAPA", "S: +OK", "S: USER", "S: STLS", "S: ."};
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QString>("error");
    QTest::newRow("implicit tls before the greeting")
        << QByteArrayList{"TLS", "S: +OK ready"} + login << TqmSecurity::secTls << QString();
    QTest::newRow("auto with stls asks capa again")
        << QByteArrayList{"S: +OK ready"} + capaWithStls
            + QByteArrayList{"C: STLS", "S: +OK begin", "TLS", "C: CAPA", "S: +OK", "S: USER", "S: ."} + login
        << TqmSecurity::secAuto << QString();
    QTest::newRow("auto without stls sends no user name")
        << QByteArrayList{"S: +OK ready", "C: CAPA", "S: +OK", "S: USER", "S: ."} << TqmSecurity::secAuto
        << QStringLiteral("127.0.0.1 offers no encrypted connection (no STLS)");
    QTest::newRow("auto, capa refused")
        << QByteArrayList{"S: +OK ready", "C: CAPA", "S: -ERR unknown"} << TqmSecurity::secAuto
        << QStringLiteral("127.0.0.1 offers no encrypted connection (no STLS)");
    QTest::newRow("none sends no capa") << QByteArrayList{"S: +OK ready"} + login << TqmSecurity::secNone << QString();
    QTest::newRow("starttls required, not offered")
        << QByteArrayList{"S: +OK ready", "C: CAPA", "S: +OK", "S: USER", "S: ."} << TqmSecurity::secStartTls
        << QStringLiteral("does not offer STLS");
    QTest::newRow("starttls required, capa refused")
        << QByteArrayList{"S: +OK ready", "C: CAPA", "S: -ERR what"} << TqmSecurity::secStartTls
        << QStringLiteral("does not offer STLS");
    QTest::newRow("stls refused")
        << QByteArrayList{"S: +OK ready"} + capaWithStls + QByteArrayList{"C: STLS", "S: -ERR not now"}
        << TqmSecurity::secAuto << QStringLiteral("-ERR not now");
    QTest::newRow("forged line after stls")
        << QByteArrayList{"S: +OK ready"} + capaWithStls + QByteArrayList{"C: STLS", "S: +OK begin", "S: +OK logged in"}
        << TqmSecurity::secStartTls << QStringLiteral("sent data before the secure connection");
    QTest::newRow("handshake fails")
        << QByteArrayList{"TLSFAIL no shared cipher"} << TqmSecurity::secTls << QStringLiteral("failed: no shared cipher");
}

void TestMailSecurity::pop3Dialogues()
{
    QFETCH(QByteArrayList, script);
    QFETCH(TqmSecurity, security);
    QFETCH(QString, error);
    const TOutcome outcome = PlayPop3(script, security);
    QCOMPARE(outcome.ScriptErrors, QStringList());
    if (error.isEmpty()) {
        QCOMPARE(outcome.Error, QString());
        QVERIFY(outcome.ScriptFinished);
        QVERIFY2(outcome.Log.contains("PASS ****"), outcome.Log.constData());
    } else {
        QVERIFY2(outcome.Error.contains(error), qPrintable(outcome.Error));
        QVERIFY(!outcome.OnLine);
        QVERIFY(!outcome.Sent.contains("USER"));
    }
    QVERIFY(!outcome.Log.contains(Password));
    if (security != TqmSecurity::secNone && outcome.Sent.contains("STLS"))
        QVERIFY(!outcome.SentInClear.contains("PASS"));
}

void TestMailSecurity::plainLogInRefused_data()
{
    const QByteArrayList popNoStls{"S: +OK ready", "C: CAPA", "S: +OK", "S: USER", "S: ."};
    const QByteArrayList popLogIn{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS s3cret", "S: +OK", "C: STAT",
                                  "S: +OK 0 0", "C: QUIT", "S: +OK bye"};
    const QByteArrayList smtpNoTls = SmtpGreeting + QByteArrayList{"S: 250-smtp.example", "S: 250 AUTH PLAIN"};
    QTest::addColumn<bool>("pop3");
    QTest::addColumn<QByteArrayList>("script");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<bool>("tlsSeenBefore");
    QTest::addColumn<bool>("authenticate");
    // 0: logged in, 1: refused, 2: refused as a downgrade.
    QTest::addColumn<int>("refusal");

    QTest::newRow("pop3 auto, no stls") << true << popNoStls << TqmSecurity::secAuto << false << false << 1;
    QTest::newRow("pop3 auto, stls seen before") << true << popNoStls << TqmSecurity::secAuto << true << false << 2;
    QTest::newRow("pop3 none, stls seen before") << true << popLogIn << TqmSecurity::secNone << true << false << 0;
    QTest::newRow("smtp auto, no starttls, auth") << false << smtpNoTls << TqmSecurity::secAuto << false << true << 1;
    QTest::newRow("smtp auto, no starttls, no auth: a local relay")
        << false << smtpNoTls + Quit << TqmSecurity::secAuto << false << false << 0;
    QTest::newRow("smtp auto, starttls seen before, no auth")
        << false << smtpNoTls << TqmSecurity::secAuto << true << false << 2;
    QTest::newRow("smtp auto, starttls seen before and offered")
        << false
        << SmtpGreeting + SmtpTlsOffered + QByteArrayList{"C: STARTTLS", "S: 220 go ahead", "TLS"} + SmtpAfterTls
            + QByteArrayList{"C: AUTH PLAIN " + PlainToken, "S: 235 ok"} + Quit
        << TqmSecurity::secAuto << true << true << 0;
    QTest::newRow("smtp none, auth in clear")
        << false << smtpNoTls + QByteArrayList{"C: AUTH PLAIN " + PlainToken, "S: 235 ok"} + Quit
        << TqmSecurity::secNone << true << true << 0;
}

void TestMailSecurity::plainLogInRefused()
{
    QFETCH(bool, pop3);
    QFETCH(QByteArrayList, script);
    QFETCH(TqmSecurity, security);
    QFETCH(bool, tlsSeenBefore);
    QFETCH(bool, authenticate);
    QFETCH(int, refusal);
    const TLogInOutcome outcome = PlayLogIn(pop3, script, security, tlsSeenBefore, authenticate);
    QCOMPARE(outcome.Transfer.ScriptErrors, QStringList());
    if (refusal == 0) {
        QCOMPARE(outcome.Transfer.Error, QString());
        QVERIFY(outcome.Transfer.ScriptFinished);
        return;
    }
    QVERIFY2(outcome.Refused, qPrintable(outcome.Transfer.Error));
    QCOMPARE(outcome.Downgrade, refusal == 2);
    QCOMPARE(outcome.Server, QStringLiteral("127.0.0.1"));
    QVERIFY(outcome.Transfer.Error.startsWith(QLatin1String("127.0.0.1 ")));
    QVERIFY(outcome.Transfer.Error.contains(QLatin1String("\"none\"")));
    QVERIFY(!outcome.Transfer.OnLine);
    for (const char* command : {"USER", "PASS", "AUTH", "MAIL FROM"})
        QVERIFY2(!outcome.Transfer.Sent.contains(command), outcome.Transfer.Sent.constData());
}

// A pin reaches the handshake only on the server it was trusted for.
void TestMailSecurity::tlsHandshakeNamesTheHost_data()
{
    QTest::addColumn<QByteArray>("pinnedServer");
    QTest::addColumn<QByteArray>("handedOn");
    QTest::newRow("pin of an earlier version") << QByteArray() << QByteArray("AB:CD");
    QTest::newRow("pin of this server") << QByteArray("127.0.0.1:995") << QByteArray("AB:CD");
    QTest::newRow("pin of another port") << QByteArray("127.0.0.1:465") << QByteArray();
    QTest::newRow("pin of another host") << QByteArray("localhost:995") << QByteArray();
}

void TestMailSecurity::tlsHandshakeNamesTheHost()
{
    QFETCH(QByteArray, pinnedServer);
    QFETCH(QByteArray, handedOn);
    TqmRemotePOP pop;
    pop.UserName = User;
    pop.Password = Password;
    pop.PinnedCertificate = "AB:CD";
    pop.PinnedServer = pinnedServer;
    const QByteArrayList script{"TLS", "S: -ERR go away"};
    TnkTlsOptions seen;
    const TOutcome outcome = Play(pop, script, TqmSecurity::secTls, [&] {
        MemoryTransport* transport = nullptr;
        pop.TransportFactory = MemoryTransport::Factory(transport, script);
        try {
            pop.OpenConnection();
        } catch (const EServerError&) {
            seen = transport->TlsOptions();
            throw;
        }
    });
    QCOMPARE(outcome.Error, QStringLiteral("-ERR go away"));
    QCOMPARE(seen.PeerName, QStringLiteral("127.0.0.1"));
    QCOMPARE(seen.PinnedCertificate, handedOn);
}

void TestMailSecurity::defaultPortFollowsTheMode_data()
{
    QTest::addColumn<bool>("pop3");
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<int>("port");
    QTest::newRow("pop3 plain") << true << TqmSecurity::secAuto << QByteArray("127.0.0.1") << 110;
    QTest::newRow("pop3 stls") << true << TqmSecurity::secStartTls << QByteArray("127.0.0.1") << 110;
    QTest::newRow("pop3s") << true << TqmSecurity::secTls << QByteArray("127.0.0.1") << 995;
    QTest::newRow("pop3s, port given") << true << TqmSecurity::secTls << QByteArray("127.0.0.1:2995") << 2995;
    QTest::newRow("smtp plain") << false << TqmSecurity::secNone << QByteArray("127.0.0.1") << 25;
    QTest::newRow("smtp starttls") << false << TqmSecurity::secStartTls << QByteArray("127.0.0.1") << 25;
    QTest::newRow("smtps") << false << TqmSecurity::secTls << QByteArray("127.0.0.1") << 465;
}

void TestMailSecurity::defaultPortFollowsTheMode()
{
    QFETCH(bool, pop3);
    QFETCH(TqmSecurity, security);
    QFETCH(QByteArray, server);
    QFETCH(int, port);
    TqmRemotePOP pop;
    TqmSMTP smtp;
    pop.UserName = User;
    pop.Password = Password;
    TnkSocket& client = pop3 ? static_cast<TnkSocket&>(pop) : smtp;
    client.Server = server;
    client.Security = security;
    client.Open();
    QCOMPARE(int(client.Port()), port);
    client.Close();
}

QTEST_GUILESS_MAIN(TestMailSecurity)
#include "tst_mailsecurity.moc"

// The look-up of an address's mail settings against real servers on 127.0.0.1: every source
// (autoconfig document over HTTPS, provider file, DNS SRV from dnsmasq, a probed guess) ends in a
// received and a sent message with the settings it found; broken documents (not XML, over 1 MiB,
// plain-text servers, a redirect to HTTP) and broken provider files are passed over with a clear
// note; a look-up where every source hangs ends within 15 seconds, and Cancel ends it at once.
// lmtool autoconfig prints the one JSON line and exits 1 with the reasons when nothing was found.

#include "AutoconfigDocument.h"
#include "FoundSettingsCheck.h"
#include "LookupServers.h"
#include "SettingsLookup.h"
#include "ServerProbe.h"
#include "qmimap.h"
#include "qmmsg.h"
#include "qmpop3.h"
#include "qmsmtp.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr const char* Lmtool = LUMARO_LMTOOL_PROGRAM;

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray ProviderFile(const QString& domain, const QByteArray& popPort, const QByteArray& smtpPort)
{
    return "<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\"><emailProvider id=\"x\"><domain>" + domain.toUtf8()
           + "</domain><displayName>Testprovider</displayName>"
             "<incomingServer type=\"pop3\"><hostname>localhost</hostname><port>" + popPort
           + "</port><socketType>SSL</socketType><username>%EMAILLOCALPART%</username>"
             "<authentication>password-cleartext</authentication></incomingServer>"
             "<outgoingServer type=\"smtp\"><hostname>localhost</hostname><port>" + smtpPort
           + "</port><socketType>STARTTLS</socketType><username>%EMAILLOCALPART%</username>"
             "<authentication>password-cleartext</authentication></outgoingServer></emailProvider></clientConfig>\n";
}

struct TProgramRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

TProgramRun RunLmtool(const QStringList& arguments, const QByteArray& password = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!password.isEmpty())
        environment.insert(QStringLiteral("LUMARO_PASSWORD"), QString::fromUtf8(password));
    process.setProcessEnvironment(environment);
    process.start(QString::fromLocal8Bit(Lmtool), QStringList{QStringLiteral("autoconfig")} + arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

class TestSettingsLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everySourceEndsInAReceivedAndASentMessage_data();
    void everySourceEndsInAReceivedAndASentMessage();
    void brokenDocumentsArePassedOver_data();
    void brokenDocumentsArePassedOver();
    void providerFileWithAWrongPort();
    void shippedProviderFiles();
    void guessNeverProposesAServerWithoutEncryption();
    void imapOnlyProviderEndsInAReceivedMessage_data();
    void imapOnlyProviderEndsInAReceivedMessage();
    void guessPrefersPop3WhenBothAnswer();
    void upgradeOfferIsReadFromTheWholeAnswer_data();
    void upgradeOfferIsReadFromTheWholeAnswer();
    void everySourceHangingEndsWithin15Seconds();
    void cancelEndsTheLookUpAtOnce();
    void lmtoolPrintsOneJsonLine();
    void lmtoolTestTriesTheCandidates();

private:
    TLookupOutcome Lookup(const QString& address)
    {
        TSettingsLookup lookup;
        lookup.Options.ProviderDirectory = m_providers.path();
        return lookup.Run(address);
    }

    LookupServers m_servers;
    QTemporaryDir m_providers;
};

void TestSettingsLookup::initTestCase()
{
    const QString error = m_servers.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    WriteFile(m_providers.filePath(QStringLiteral("provider.xml")),
              ProviderFile(QStringLiteral("provider.test"), QByteArray::number(m_servers.Pop3.TlsPort()),
                           QByteArray::number(m_servers.Smtp.Port())));
}

void TestSettingsLookup::everySourceEndsInAReceivedAndASentMessage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("user");
    QTest::newRow("autoconfig document") << "alice@good.test" << QByteArray("autoconfig") << "alice";
    QTest::newRow("autoconfig after an https redirect") << "alice@httpsredirect.test" << QByteArray("autoconfig") << "alice";
    QTest::newRow("provider file") << "alice@provider.test" << QByteArray("provider") << "alice";
    QTest::newRow("dns srv") << "alice@srv.test" << QByteArray("srv") << "alice@srv.test";
    QTest::newRow("guess") << "alice@guess.test" << QByteArray("guess") << "alice@guess.test";
}

void TestSettingsLookup::everySourceEndsInAReceivedAndASentMessage()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, source);
    QFETCH(QString, user);
    if (source == "srv" && !m_servers.DnsError.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no DNS server for SRV records: ") + m_servers.DnsError));
    QElapsedTimer clock;
    clock.start();
    const TLookupOutcome outcome = Lookup(address);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(outcome.Found, qPrintable(outcome.Notes.join(QLatin1Char('\n'))));
    const TFoundSettings& found = *outcome.Found;
    QCOMPARE(SettingsSourceText(found.Source), source);
    QCOMPARE(found.Incoming.first().Username, user);
    QCOMPARE(found.Incoming.first().Host, QStringLiteral("localhost"));
    QCOMPARE(found.Incoming.first().Port, m_servers.Pop3.TlsPort());
    QCOMPARE(found.Incoming.first().Security, TqmSecurity::secTls);
    QCOMPARE(found.Outgoing.first().Port, m_servers.Smtp.Port());
    QCOMPARE(found.Outgoing.first().Security, TqmSecurity::secStartTls);
    if (source == "autoconfig" || source == "provider")
        QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));

    // The found set is tried with the user's password: the server's user for the document's name.
    if (user != QLatin1String("alice")) {
        for (auto* side : {&outcome.Found->Incoming, &outcome.Found->Outgoing})
            const_cast<QList<TFoundServer>*>(side)->first().Username = QStringLiteral("alice");
    }
    TConnectionTest test;
    test.TimeOut = 10;
    const TFoundSettingsCheck check = CheckFoundSettings(test, found, QStringLiteral("secret"));
    QVERIFY(check.Works());

    const TFoundServer& in = found.Incoming.at(check.Incoming.Chosen);
    QByteArray retrieved;
    TqmRemotePOP pop;
    pop.Server = in.Host.toUtf8() + ':' + QByteArray::number(in.Port);
    pop.UserName = in.Username.toUtf8();
    pop.Password = "secret";
    pop.Security = in.Security;
    pop.SetTimeOut(20);
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { retrieved = contents.data(); };
    try {
        pop.OpenConnection();
        pop.RetrieveMessage(0);
        pop.CloseConnection();
    } catch (const EqmException& error) {
        QFAIL(qPrintable(error.Message()));
    }
    QVERIFY2(retrieved.contains("Subject: Willkommen"), retrieved.constData());

    const TFoundServer& out = found.Outgoing.at(check.Outgoing.Chosen);
    const QByteArray subject = "Sent with the settings of " + source;
    TqmMessage message;
    message.Sender.Address = "alice@good.test";
    message.Recipients.AddAddress("bob@example.org", {});
    message.Subject = subject;
    message.Body = {"Hallo Bob"};
    TqmSMTP smtp;
    smtp.Server = out.Host.toUtf8() + ':' + QByteArray::number(out.Port);
    smtp.UserName = out.Username.toUtf8();
    smtp.Password = "secret";
    smtp.Security = out.Security;
    smtp.SetTimeOut(20);
    smtp.MailMessage = &message;
    try {
        smtp.OpenConnection();
        QVERIFY(smtp.Encrypted());
        smtp.Authenticate();
        smtp.Send_Message();
        smtp.CloseConnection();
    } catch (const EqmException& error) {
        QFAIL(qPrintable(error.Message()));
    }
    bool sent = false;
    for (const QFileInfo& file : QDir(m_servers.Received.path()).entryInfoList({QStringLiteral("*.eml")})) {
        QFile stored(file.filePath());
        sent = sent || (stored.open(QIODevice::ReadOnly) && stored.readAll().contains(subject));
    }
    QVERIFY(sent);
}

void TestSettingsLookup::brokenDocumentsArePassedOver_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("note");
    QTest::newRow("not xml") << "alice@notxml.test" << "kein gültiges Autoconfig-Dokument";
    QTest::newRow("over 1 MiB, announced") << "alice@huge.test" << "größer als 1 MiB";
    QTest::newRow("over 1 MiB, streamed") << "alice@hugestream.test" << "größer als 1 MiB";
    QTest::newRow("only plain-text servers") << "alice@onlyplain.test" << "nur Server ohne Verschlüsselung";
    QTest::newRow("redirect to http") << "alice@redirect.test" << "auf die unverschlüsselte Adresse http://";
    QTest::newRow("no document") << "alice@missing.test" << "HTTP-Status 404";
}

void TestSettingsLookup::brokenDocumentsArePassedOver()
{
    QFETCH(QString, address);
    QFETCH(QString, note);
    const TLookupOutcome outcome = Lookup(address);
    QVERIFY(!outcome.Found);
    QVERIFY(!outcome.Canceled);
    const QString notes = outcome.Notes.join(QLatin1Char('\n'));
    QVERIFY2(notes.contains(note), qPrintable(notes));
    QVERIFY2(outcome.Notes.last().startsWith(QStringLiteral("Für %1 wurden keine Einstellungen gefunden").arg(address)), qPrintable(notes));

    // A plain-text server listed before an encrypted one is not the one proposed.
    const TLookupOutcome mixed = Lookup(QStringLiteral("alice@plain.test"));
    QVERIFY(mixed.Found);
    for (const auto* side : {&mixed.Found->Incoming, &mixed.Found->Outgoing})
        for (const TFoundServer& server : *side)
            QVERIFY(server.Host == QLatin1String("localhost") && server.Security != TqmSecurity::secNone);
}

void TestSettingsLookup::providerFileWithAWrongPort()
{
    QTemporaryDir directory;
    // One entry with a port out of range, one without a number; the good entries still count.
    QByteArray content = ProviderFile(QStringLiteral("ports.test"), "99999", QByteArray::number(m_servers.Smtp.Port()));
    content.replace("</emailProvider>", "<incomingServer type=\"pop3\"><hostname>localhost</hostname><port>"
                                            + QByteArray::number(m_servers.Pop3.TlsPort())
                                            + "</port><socketType>SSL</socketType></incomingServer>"
                                              "<outgoingServer type=\"smtp\"><hostname>x</hostname><port>smtp</port>"
                                              "<socketType>SSL</socketType></outgoingServer></emailProvider>");
    WriteFile(directory.filePath(QStringLiteral("ports.xml")), content);
    WriteFile(directory.filePath(QStringLiteral("allbad.xml")), ProviderFile(QStringLiteral("allbad.test"), "0", "65536"));
    TSettingsLookup lookup;
    lookup.Options.ProviderDirectory = directory.path();
    const TLookupOutcome good = lookup.Run(QStringLiteral("alice@ports.test"));
    QVERIFY(good.Found);
    QCOMPARE(good.Found->Incoming.size(), 1);
    QCOMPARE(good.Found->Incoming.first().Port, m_servers.Pop3.TlsPort());
    QCOMPARE(good.Found->Outgoing.size(), 1);
    QVERIFY(good.Notes.join(QLatin1Char('\n')).contains(QStringLiteral("ports.xml enthält einen Server mit ungültigem Port")));
    const TLookupOutcome bad = lookup.Run(QStringLiteral("alice@allbad.test"));
    QVERIFY(!bad.Found);
    QVERIFY(bad.Notes.join(QLatin1Char('\n')).contains(QStringLiteral("allbad.xml enthält einen Server mit ungültigem Port")));
}

void TestSettingsLookup::shippedProviderFiles()
{
    const QDir directory(QStringLiteral(LUMARO_PROVIDERS_DIR));
    const QStringList files = directory.entryList({QStringLiteral("*.xml")}, QDir::Files);
    QCOMPARE(files.size(), 11);
    QSet<QString> domains;
    for (const QString& name : files) {
        QFile file(directory.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const TAutoconfigDocument document = ParseAutoconfigDocument(file.readAll(), QStringLiteral("erika@example.org"));
        QVERIFY2(document.Problem == TDocumentProblem::None, qPrintable(name));
        QVERIFY2(!document.Domains.isEmpty() && !document.ProviderName.isEmpty(), qPrintable(name));
        QVERIFY2(document.BadPorts == 0 && document.PlainServers == 0, qPrintable(name));
        QVERIFY2(!document.Incoming.isEmpty() && !document.Outgoing.isEmpty(), qPrintable(name));
        for (const QString& domain : document.Domains) {
            QVERIFY2(!domains.contains(domain), qPrintable(domain + QLatin1String(" twice")));
            domains.insert(domain);
        }
        const bool pop3 = std::any_of(document.Incoming.begin(), document.Incoming.end(), [](const TFoundServer& s) { return s.Protocol == "pop3"; });
        // iCloud offers IMAP only; every other listed provider POP3, and that comes first.
        QCOMPARE(pop3, !document.Serves(QStringLiteral("icloud.com")));
        if (pop3)
            QCOMPARE(document.Incoming.first().Protocol, QByteArray("pop3"));
        if (document.OAuth2.AuthUrl.size() > 0)
            QVERIFY2(document.OAuth2.AuthUrl.startsWith("https://") && document.OAuth2.TokenUrl.startsWith("https://"), qPrintable(name));
    }
    for (const char* domain : {"gmx.de", "web.de", "t-online.de", "freenet.de", "online.de", "posteo.de", "mailbox.org",
                               "gmail.com", "outlook.com", "hotmail.com", "yahoo.com", "icloud.com"})
        QVERIFY2(domains.contains(QLatin1String(domain)), domain);
}

void TestSettingsLookup::guessNeverProposesAServerWithoutEncryption()
{
    // A POP3 server that offers no STLS.
    QTcpServer plain;
    QVERIFY(plain.listen(QHostAddress::LocalHost));
    connect(&plain, &QTcpServer::newConnection, this, [&plain] {
        QTcpSocket* socket = plain.nextPendingConnection();
        socket->write("+OK hi\r\n");
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            const QByteArray line = socket->readAll();
            socket->write(line.startsWith("CAPA") ? "+OK\r\nUSER\r\nUIDL\r\n.\r\n" : "-ERR\r\n");
        });
    });
    // An IMAP server whose capabilities name no STARTTLS.
    QTcpServer plainImap;
    QVERIFY(plainImap.listen(QHostAddress::LocalHost));
    connect(&plainImap, &QTcpServer::newConnection, this, [&plainImap] {
        QTcpSocket* socket = plainImap.nextPendingConnection();
        socket->write("* OK [CAPABILITY IMAP4rev1 STARTTLS] hi\r\n");
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            const QByteArray line = socket->readAll();
            const QByteArray tag = line.left(line.indexOf(' '));
            // Only the answer to CAPABILITY counts: the greeting's code could have been forged.
            socket->write(line.contains("CAPABILITY") ? "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\n" + tag + " OK done\r\n"
                                                      : tag + " BAD\r\n");
        });
    });
    const QByteArray saved = qgetenv("LUMARO_TEST_GUESS_MAP");
    qputenv("LUMARO_TEST_GUESS_MAP", "pop.plainguess.test:110=127.0.0.1:" + QByteArray::number(plain.serverPort())
                                         + ",imap.plainguess.test:143=127.0.0.1:" + QByteArray::number(plainImap.serverPort())
                                         + ",smtp.plainguess.test:465=localhost:" + QByteArray::number(m_servers.Smtp.TlsPort()));
    const TLookupOutcome outcome = Lookup(QStringLiteral("alice@plainguess.test"));
    qputenv("LUMARO_TEST_GUESS_MAP", saved);
    QVERIFY(!outcome.Found);
    const QString notes = outcome.Notes.join(QLatin1Char('\n'));
    QVERIFY2(notes.contains(QStringLiteral("127.0.0.1:%1 bietet keine Verschlüsselung an").arg(plain.serverPort())), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("127.0.0.1:%1 bietet keine Verschlüsselung an").arg(plainImap.serverPort())), qPrintable(notes));
}

void TestSettingsLookup::imapOnlyProviderEndsInAReceivedMessage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("imaps");
    QTest::newRow("autoconfig document") << "alice@imaponly.test" << QByteArray("autoconfig") << true;
    QTest::newRow("dns srv") << "alice@imapsrv.test" << QByteArray("srv") << true;
    QTest::newRow("guess, IMAPS on 993") << "alice@imapguess.test" << QByteArray("guess") << true;
    QTest::newRow("guess, STARTTLS on 143") << "alice@imapstarttls.test" << QByteArray("guess") << false;
}

void TestSettingsLookup::imapOnlyProviderEndsInAReceivedMessage()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, source);
    QFETCH(bool, imaps);
    if (source == "srv" && !m_servers.DnsError.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no DNS server for SRV records: ") + m_servers.DnsError));
    const TLookupOutcome outcome = Lookup(address);
    QVERIFY2(outcome.Found, qPrintable(outcome.Notes.join(QLatin1Char('\n'))));
    TFoundSettings found = *outcome.Found;
    QCOMPARE(SettingsSourceText(found.Source), source);
    QCOMPARE(found.Incoming.size(), 1);
    const TFoundServer& incoming = found.Incoming.first();
    QCOMPARE(incoming.Protocol, QByteArray("imap"));
    QCOMPARE(incoming.Host, QStringLiteral("localhost"));
    QCOMPARE(incoming.Port, imaps ? m_servers.Imap.TlsPort() : m_servers.Imap.Port());
    QCOMPARE(incoming.Security, imaps ? TqmSecurity::secTls : TqmSecurity::secStartTls);
    // A guess takes the address as the user name; this server knows the local part.
    found.Incoming.first().Username = found.Outgoing.first().Username = QStringLiteral("alice");

    TConnectionTest test;
    test.TimeOut = 10;
    const TFoundSettingsCheck check = CheckFoundSettings(test, found, QStringLiteral("secret"));
    QVERIFY(check.Works());
    QCOMPARE(check.Incoming.Chosen, 0);
    QVERIFY(check.Incoming.Results.first().Encrypted);
    const TWizardChoices choices = ChoicesWithFound({}, found, &check);
    QCOMPARE(choices.Incoming, TIncomingProtocol::Imap);
    QCOMPARE(ServerFieldText(TMailService::Pop, choices.Pop, choices.Incoming), "localhost:" + QByteArray::number(incoming.Port));
    QCOMPARE(choices.Pop.Security, incoming.Security);

    // A wrong password is a refused log-in over IMAP, not a passed-over candidate.
    TConnectionTest wrong;
    wrong.TimeOut = 10;
    const TFoundSettingsCheck refused = CheckFoundSettings(wrong, found, QStringLiteral("Falsch"));
    QCOMPARE(refused.Incoming.Tried, QList<int>{0});
    QCOMPARE(refused.Incoming.Results.first().Outcome, TTestOutcome::LogInRefused);

    TqmIMAP imap;
    imap.Server = "localhost:" + QByteArray::number(incoming.Port);
    imap.Security = incoming.Security;
    imap.UserName = "alice";
    imap.Password = "secret";
    imap.SetTimeOut(20);
    QBuffer body;
    try {
        imap.OpenConnection();
        QCOMPARE(imap.Select(QStringLiteral("INBOX"), true).Exists, qint64(1));
        imap.FetchBodies(imap.SearchUids(), {}, [&](quint32, qint64) -> QIODevice* {
            body.open(QIODevice::WriteOnly);
            return &body;
        }, [](quint32) {});
        imap.CloseConnection();
    } catch (const EqmException& error) {
        QFAIL(qPrintable(error.Message()));
    }
    QVERIFY2(body.data().contains("Subject: Willkommen"), body.data().constData());
}

void TestSettingsLookup::guessPrefersPop3WhenBothAnswer()
{
    const TLookupOutcome outcome = Lookup(QStringLiteral("alice@both.test"));
    QVERIFY2(outcome.Found, qPrintable(outcome.Notes.join(QLatin1Char('\n'))));
    QCOMPARE(outcome.Found->Incoming.size(), 2);
    QCOMPARE(outcome.Found->Incoming.at(0).Protocol, QByteArray("pop3"));
    QCOMPARE(outcome.Found->Incoming.at(0).Port, m_servers.Pop3.TlsPort());
    QCOMPARE(outcome.Found->Incoming.at(1).Protocol, QByteArray("imap"));
    QCOMPARE(ChoicesWithFound({}, *outcome.Found).Incoming, TIncomingProtocol::Pop3);
    // The candidate that works decides: with POP3 refused, IMAP is proposed.
    TFoundSettings found = *outcome.Found;
    found.Incoming[0].Username = QStringLiteral("nobody");
    found.Incoming[1].Username = found.Outgoing[0].Username = QStringLiteral("alice");
    TConnectionTest test;
    test.TimeOut = 10;
    const TFoundSettingsCheck check = CheckFoundSettings(test, found, QStringLiteral("secret"));
    QCOMPARE(check.Incoming.Tried, (QList<int>{0, 1}));
    QCOMPARE(check.Incoming.Chosen, 1);
    QCOMPARE(ChoicesWithFound({}, found, &check).Incoming, TIncomingProtocol::Imap);
}

void TestSettingsLookup::upgradeOfferIsReadFromTheWholeAnswer_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("offered");
    const int pop = int(TProbedProtocol::Pop3), imap = int(TProbedProtocol::Imap), smtp = int(TProbedProtocol::Smtp);
    // offered: 1 yes, 0 no, -1 the answer is not complete yet.
    QTest::newRow("pop3 stls") << pop << QByteArray("+OK\r\nUSER\r\nSTLS\r\n.\r\n") << 1;
    QTest::newRow("pop3 without") << pop << QByteArray("+OK\r\nUSER\r\n.\r\n") << 0;
    QTest::newRow("pop3 no capa") << pop << QByteArray("-ERR unknown\r\n") << 0;
    QTest::newRow("pop3 unfinished") << pop << QByteArray("+OK\r\nSTLS\r\n") << -1;
    QTest::newRow("imap starttls") << imap << QByteArray("* CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED\r\nP1 OK done\r\n") << 1;
    QTest::newRow("imap lower case") << imap << QByteArray("* capability imap4rev1 starttls\r\np1 ok\r\n") << 1;
    QTest::newRow("imap without") << imap << QByteArray("* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nP1 OK\r\n") << 0;
    QTest::newRow("imap word inside another") << imap << QByteArray("* CAPABILITY IMAP4rev1 XSTARTTLS\r\nP1 OK\r\n") << 0;
    QTest::newRow("imap refused") << imap << QByteArray("* CAPABILITY STARTTLS\r\nP1 BAD no\r\n") << 0;
    QTest::newRow("imap unfinished") << imap << QByteArray("* CAPABILITY IMAP4rev1 STARTTLS\r\nP1 OK") << -1;
    QTest::newRow("smtp starttls") << smtp << QByteArray("250-hello\r\n250-STARTTLS\r\n250 SIZE\r\n") << 1;
    QTest::newRow("smtp unfinished") << smtp << QByteArray("250-hello\r\n250-STARTTLS\r\n") << -1;
}

void TestSettingsLookup::upgradeOfferIsReadFromTheWholeAnswer()
{
    QFETCH(int, protocol);
    QFETCH(QByteArray, reply);
    QFETCH(int, offered);
    const std::optional<bool> read = detail::UpgradeOffered(TProbedProtocol(protocol), reply);
    QCOMPARE(read.has_value() ? int(*read) : -1, offered);
}

void TestSettingsLookup::everySourceHangingEndsWithin15Seconds()
{
    // A DNS server that never answers, and mail servers that take the connection and say nothing.
    QUdpSocket silentDns;
    const QHostAddress dnsAddress(QStringLiteral("127.0.0.%1").arg(100 + QCoreApplication::applicationPid() % 100));
    QVERIFY(silentDns.bind(dnsAddress, 53));
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QByteArray target = "127.0.0.1:" + QByteArray::number(silent.serverPort());
    const QByteArray savedDns = qgetenv("LUMARO_TEST_DNS_SERVER");
    const QByteArray savedMap = qgetenv("LUMARO_TEST_GUESS_MAP");
    qputenv("LUMARO_TEST_DNS_SERVER", dnsAddress.toString().toLatin1());
    qputenv("LUMARO_TEST_GUESS_MAP", "pop.hang.test:995=" + target + ",pop.hang.test:110=" + target + ",smtp.hang.test:465=" + target
                                         + ",smtp.hang.test:587=" + target);
    QElapsedTimer clock;
    clock.start();
    const TLookupOutcome outcome = Lookup(QStringLiteral("alice@hang.test"));
    const qint64 elapsed = clock.elapsed();
    qputenv("LUMARO_TEST_DNS_SERVER", savedDns);
    qputenv("LUMARO_TEST_GUESS_MAP", savedMap);
    qInfo("every source hanging: %lld ms", elapsed);
    QVERIFY(!outcome.Found);
    QVERIFY2(elapsed < 15000, qPrintable(QString::number(elapsed)));
    QVERIFY(outcome.Notes.first().contains(QStringLiteral("hat in der Wartezeit nicht geantwortet")));
}

void TestSettingsLookup::cancelEndsTheLookUpAtOnce()
{
    TSettingsLookup lookup;
    lookup.Options.ProviderDirectory = m_providers.path();
    QList<TLookupStage> stages;
    lookup.OnStage = [&](TLookupStage stage) { stages.append(stage); };
    QElapsedTimer clock;
    QTimer::singleShot(300, [&] {
        clock.start();
        lookup.Cancel();
    });
    const TLookupOutcome outcome = lookup.Run(QStringLiteral("alice@hang.test"));
    QVERIFY(clock.isValid());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(outcome.Canceled);
    QVERIFY(!outcome.Found);
    QCOMPARE(stages, QList<TLookupStage>{TLookupStage::Autoconfig});
    QCOMPARE(outcome.Notes.last(), QStringLiteral("Die Suche wurde abgebrochen."));
    // Once canceled, the object stays canceled.
    QVERIFY(lookup.Run(QStringLiteral("alice@good.test")).Canceled);
}

void TestSettingsLookup::lmtoolPrintsOneJsonLine()
{
    const TProgramRun good = RunLmtool({QStringLiteral("alice@good.test")});
    QCOMPARE(good.ExitCode, 0);
    const QByteArray expected = "{\"source\":\"autoconfig\",\"incoming\":{\"protocol\":\"pop3\",\"host\":\"localhost\",\"port\":"
                                + QByteArray::number(m_servers.Pop3.TlsPort())
                                + ",\"security\":\"tls\",\"username\":\"alice\",\"authentication\":\"password\"},"
                                  "\"outgoing\":{\"host\":\"localhost\",\"port\":"
                                + QByteArray::number(m_servers.Smtp.Port())
                                + ",\"security\":\"starttls\",\"username\":\"alice\",\"authentication\":\"password\"}}\n";
    QCOMPARE(good.Out, expected);

    // The provider files shipped with the suite are found beside the program.
    const TProgramRun gmx = RunLmtool({QStringLiteral("erika@gmx.de")});
    QCOMPARE(gmx.ExitCode, 0);
    QVERIFY2(gmx.Out.startsWith("{\"source\":\"provider\",\"incoming\":{\"protocol\":\"pop3\",\"host\":\"pop.gmx.net\",\"port\":995,"
                                "\"security\":\"tls\",\"username\":\"erika@gmx.de\""),
             gmx.Out.constData());

    const TProgramRun nothing = RunLmtool({QStringLiteral("alice@notxml.test")});
    QCOMPARE(nothing.ExitCode, 1);
    QVERIFY(nothing.Out.isEmpty());
    QVERIFY2(nothing.Err.contains("wurden keine Einstellungen gefunden"), nothing.Err.constData());
    QCOMPARE(RunLmtool({QStringLiteral("keine-adresse")}).ExitCode, 1);
    QCOMPARE(RunLmtool({}).ExitCode, 2);
}

void TestSettingsLookup::lmtoolTestTriesTheCandidates()
{
    const TProgramRun works = RunLmtool({QStringLiteral("alice@good.test"), QStringLiteral("--test")}, "secret");
    QCOMPARE(works.ExitCode, 0);
    QVERIFY(works.Out.startsWith("{\"source\":\"autoconfig\""));
    const TProgramRun refused = RunLmtool({QStringLiteral("alice@good.test"), QStringLiteral("--test")}, "Falsch-7431");
    QCOMPARE(refused.ExitCode, 1);
    QVERIFY(refused.Out.isEmpty());
    QVERIFY2(refused.Err.contains("incoming localhost:" + QByteArray::number(m_servers.Pop3.TlsPort()) + ": log-in refused"),
             refused.Err.constData());
    // The password never appears in what lmtool says.
    QVERIFY(!refused.Err.contains("Falsch-7431"));
    // An IMAP-only provider is tried over IMAP and printed as found.
    const TProgramRun imap = RunLmtool({QStringLiteral("alice@imaponly.test"), QStringLiteral("--test")}, "secret");
    QCOMPARE(imap.ExitCode, 0);
    QVERIFY2(imap.Out.startsWith("{\"source\":\"autoconfig\",\"incoming\":{\"protocol\":\"imap\",\"host\":\"localhost\",\"port\":"
                                 + QByteArray::number(m_servers.Imap.TlsPort()) + ",\"security\":\"tls\""),
             imap.Out.constData());
    const TProgramRun imapRefused = RunLmtool({QStringLiteral("alice@imaponly.test"), QStringLiteral("--test")}, "Falsch-7431");
    QCOMPARE(imapRefused.ExitCode, 1);
    QVERIFY2(imapRefused.Err.contains("incoming localhost:" + QByteArray::number(m_servers.Imap.TlsPort()) + ": log-in refused"),
             imapRefused.Err.constData());
}

QTEST_GUILESS_MAIN(TestSettingsLookup)
#include "tst_settingslookup.moc"

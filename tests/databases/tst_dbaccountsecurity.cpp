// Per-account transport security in the registry: defaults, round trip, names that are not plain
// group names, the servers TLS was seen on, the two pins beside the one of earlier versions, and the
// group following the account through rename, copy and removal.

#include "DBAccountSecurity.h"
#include "RegistryFunctions.h"
#include "tk_reglib.h"

#include <QTest>

Q_DECLARE_METATYPE(TMailService)

class TestDBAccountSecurity : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        SetActiveUser(QStringLiteral("alice"));
        TRegistryKey(UserKey(QStringLiteral("alice"))).DeleteKey(QStringLiteral("Accounts"));
    }

    void missingGroupIsAutoWithoutPin()
    {
        const TAccountSecurity security = ReadAccountSecurity("Nowhere");
        QCOMPARE(security.PopSecurity, TqmSecurity::secAuto);
        QCOMPARE(security.SmtpSecurity, TqmSecurity::secAuto);
        QVERIFY(security.PopPin.IsEmpty());
        QVERIFY(security.SmtpPin.IsEmpty());
        QCOMPARE(security.Incoming, TIncomingProtocol::Pop3);
        QCOMPARE(security.Secrets, TSecretStore::Record);
    }

    void protocolAndSecretStoreRoundTrip()
    {
        TAccountSecurity security;
        security.Incoming = TIncomingProtocol::Imap;
        security.Secrets = TSecretStore::Keyring;
        security.Auth = TAuthMethod::OAuth2;
        security.OAuth2 = {"client-1", "", "https://auth.example/authorize", "https://auth.example/token", "mail"};
        WriteAccountSecurity("Work", security);
        const TRegistryKey key(QStringLiteral("Users/alice/Accounts/Work"));
        QCOMPARE(key.ReadString(QStringLiteral("IncomingProtocol")), QStringLiteral("imap"));
        QCOMPARE(key.ReadString(QStringLiteral("SecretStore")), QStringLiteral("keyring"));
        const TAccountSecurity read = ReadAccountSecurity("Work");
        QCOMPARE(read.Incoming, TIncomingProtocol::Imap);
        QCOMPARE(read.Secrets, TSecretStore::Keyring);
        QCOMPARE(read.Auth, TAuthMethod::OAuth2);
        QCOMPARE(read.OAuth2, security.OAuth2);
        QVERIFY(read.OAuth2.IsComplete());
        QVERIFY(read.ImapSentCopy);
        QCOMPARE(IncomingProtocolFromText(" IMAP "), TIncomingProtocol::Imap);
        QCOMPARE(IncomingProtocolFromText("smoke"), TIncomingProtocol::Pop3);
    }

    void imapFoldersAndSentCopyRoundTrip()
    {
        TAccountSecurity security;
        security.ImapFolders = {"Entw\xc3\xbcrfe", "Listen/Qt"};
        security.ImapSentCopy = false;
        WriteAccountSecurity("Work", security);
        const TAccountSecurity read = ReadAccountSecurity("Work");
        QCOMPARE(read.ImapFolders, security.ImapFolders);
        QVERIFY(!read.ImapSentCopy);
    }

    void storedAsTheWordsInTheUsersKey()
    {
        WriteAccountSecurity("Work", {TqmSecurity::secStartTls, TqmSecurity::secTls, {"pop.work:110", "ab:cd"},
                                      {"smtp.work:587", "ef:01"}});
        const TRegistryKey key(QStringLiteral("Users/alice/Accounts/Work"));
        QCOMPARE(key.ReadString(QStringLiteral("PopSecurity")), QStringLiteral("starttls"));
        QCOMPARE(key.ReadString(QStringLiteral("SmtpSecurity")), QStringLiteral("tls"));
        QCOMPARE(key.ReadString(QStringLiteral("PopPinnedCertificate")), QStringLiteral("ab:cd"));
        QCOMPARE(key.ReadString(QStringLiteral("PopPinnedServer")), QStringLiteral("pop.work:110"));
        QCOMPARE(key.ReadString(QStringLiteral("SmtpPinnedCertificate")), QStringLiteral("ef:01"));
        QCOMPARE(key.ReadString(QStringLiteral("SmtpPinnedServer")), QStringLiteral("smtp.work:587"));
        // An earlier version reads its one pin here: it finds the POP3 pin.
        QCOMPARE(key.ReadString(QStringLiteral("PinnedCertificate")), QStringLiteral("ab:cd"));
    }

    void pinOfAnEarlierVersionIsThePop3Pin()
    {
        TRegistryKey key(QStringLiteral("Users/alice/Accounts/Old"));
        key.WriteString(QStringLiteral("PinnedCertificate"), QStringLiteral(" AB:CD "));
        key.Flush();
        TAccountSecurity security = ReadAccountSecurity("Old");
        QCOMPARE(security.PopPin, (TServerPin{{}, "AB:CD"}));
        QVERIFY(security.SmtpPin.IsEmpty());
        // Forgetting it leaves nothing an earlier or this version would still read as a pin.
        security.PopPin = {};
        WriteAccountSecurity("Old", security);
        QVERIFY(ReadAccountSecurity("Old").PopPin.IsEmpty());
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts/Old")).ReadString(QStringLiteral("PinnedCertificate")), QString());
    }

    void trustingOneServerKeepsEverythingElse()
    {
        WriteAccountSecurity("Work", {TqmSecurity::secTls, TqmSecurity::secStartTls, {"pop.work:995", "11"}, {}});
        WriteServerPin("Work", TMailService::Smtp, {"smtp.work:587", "22"});
        const TAccountSecurity security = ReadAccountSecurity("Work");
        QCOMPARE(security.PopSecurity, TqmSecurity::secTls);
        QCOMPARE(security.SmtpSecurity, TqmSecurity::secStartTls);
        QCOMPARE(security.PopPin, (TServerPin{"pop.work:995", "11"}));
        QCOMPARE(security.SmtpPin, (TServerPin{"smtp.work:587", "22"}));
        // No account, no group: a pin of the wizard's test connection is not stored on its own.
        WriteServerPin("", TMailService::Pop, {"pop.work:995", "33"});
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys(), QStringList{QStringLiteral("Work")});
    }

    void namesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("Home");
        QTest::newRow("slash") << QByteArray("Home/Work");
        QTest::newRow("backslash") << QByteArray("Home\\Work");
        QTest::newRow("percent") << QByteArray("100%");
        QTest::newRow("blanks and umlauts") << QByteArray("M\xc3\xbcller GmbH");
    }
    void namesRoundTrip()
    {
        QFETCH(QByteArray, name);
        WriteAccountSecurity(name, {TqmSecurity::secNone, TqmSecurity::secStartTls, {"pop:110", "01:02"}});
        WriteAccountSecurity(name + "x", {});
        const TAccountSecurity read = ReadAccountSecurity(name);
        QCOMPARE(read.PopSecurity, TqmSecurity::secNone);
        QCOMPARE(read.SmtpSecurity, TqmSecurity::secStartTls);
        QCOMPARE(read.PopPin.Fingerprint, QByteArray("01:02"));
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys().size(), 2);
    }

    void renameCopyAndRemoveCarryTheGroup()
    {
        WriteAccountSecurity("Old", {TqmSecurity::secTls, TqmSecurity::secNone, {}, {"smtp:25", "ff"}});
        WriteAccountSecurity("Stale", {TqmSecurity::secNone, TqmSecurity::secNone, {"pop:110", "00"}});
        RenameAccountSecurity("Old", "New");
        QCOMPARE(ReadAccountSecurity("New").SmtpPin, (TServerPin{"smtp:25", "ff"}));
        QVERIFY(!TRegistryKey(QStringLiteral("Users/alice/Accounts")).KeyExists(QStringLiteral("Old")));
        CopyAccountSecurity("New", "Copy");
        QCOMPARE(ReadAccountSecurity("Copy").PopSecurity, TqmSecurity::secTls);
        QCOMPARE(ReadAccountSecurity("New").PopSecurity, TqmSecurity::secTls);
        // A copy of an account without a group leaves no stale values behind.
        CopyAccountSecurity("Nothing", "Stale");
        QVERIFY(!TRegistryKey(QStringLiteral("Users/alice/Accounts")).KeyExists(QStringLiteral("Stale")));
        RemoveAccountSecurity("Copy");
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys(), QStringList{QStringLiteral("New")});
    }

    void tlsSeenIsPerServiceAndServer_data()
    {
        QTest::addColumn<TMailService>("askedService");
        QTest::addColumn<QByteArray>("askedServer");
        QTest::addColumn<bool>("seen");
        QTest::newRow("same") << TMailService::Pop << QByteArray("pop.example.org") << true;
        QTest::newRow("letter case and blanks") << TMailService::Pop << QByteArray(" POP.Example.org ") << true;
        QTest::newRow("other service") << TMailService::Smtp << QByteArray("pop.example.org") << false;
        QTest::newRow("other server") << TMailService::Pop << QByteArray("mail.example.org") << false;
        QTest::newRow("other port") << TMailService::Pop << QByteArray("pop.example.org:1110") << false;
    }
    void tlsSeenIsPerServiceAndServer()
    {
        QFETCH(TMailService, askedService);
        QFETCH(QByteArray, askedServer);
        QFETCH(bool, seen);
        RememberTlsSeen("Work", TMailService::Pop, "pop.example.org");
        QCOMPARE(TlsSeenBefore("Work", askedService, askedServer), seen);
        QVERIFY(!TlsSeenBefore("Home", askedService, askedServer));
    }

    void tlsSeenNeedsAnAccountAndFollowsIt()
    {
        RememberTlsSeen("", TMailService::Smtp, "smtp.example.org");
        QVERIFY(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys().isEmpty());
        QVERIFY(!TlsSeenBefore("", TMailService::Smtp, "smtp.example.org"));
        RememberTlsSeen("Old", TMailService::Smtp, "smtp.example.org");
        RenameAccountSecurity("Old", "New");
        CopyAccountSecurity("New", "Copy");
        QVERIFY(TlsSeenBefore("New", TMailService::Smtp, "smtp.example.org"));
        QVERIFY(TlsSeenBefore("Copy", TMailService::Smtp, "smtp.example.org"));
        QVERIFY(!TlsSeenBefore("Old", TMailService::Smtp, "smtp.example.org"));
        RemoveAccountSecurity("Copy");
        RememberTlsSeen("Copy", TMailService::Pop, "pop.example.org");
        QVERIFY(!TlsSeenBefore("Copy", TMailService::Smtp, "smtp.example.org"));
    }
};

QTEST_GUILESS_MAIN(TestDBAccountSecurity)
#include "tst_dbaccountsecurity.moc"

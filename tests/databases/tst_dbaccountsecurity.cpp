// Per-account transport security in the registry: defaults, round trip, names that are not plain
// group names, the servers TLS was seen on, and the group following the account through rename,
// copy and removal.

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
        QVERIFY(security.PinnedCertificate.isEmpty());
    }

    void storedAsTheWordsInTheUsersKey()
    {
        WriteAccountSecurity("Work", {TqmSecurity::secStartTls, TqmSecurity::secTls, "ab:cd"});
        const TRegistryKey key(QStringLiteral("Users/alice/Accounts/Work"));
        QCOMPARE(key.ReadString(QStringLiteral("PopSecurity")), QStringLiteral("starttls"));
        QCOMPARE(key.ReadString(QStringLiteral("SmtpSecurity")), QStringLiteral("tls"));
        QCOMPARE(key.ReadString(QStringLiteral("PinnedCertificate")), QStringLiteral("ab:cd"));
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
        WriteAccountSecurity(name, {TqmSecurity::secNone, TqmSecurity::secStartTls, "01:02"});
        WriteAccountSecurity(name + "x", {});
        const TAccountSecurity read = ReadAccountSecurity(name);
        QCOMPARE(read.PopSecurity, TqmSecurity::secNone);
        QCOMPARE(read.SmtpSecurity, TqmSecurity::secStartTls);
        QCOMPARE(read.PinnedCertificate, QByteArray("01:02"));
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys().size(), 2);
    }

    void renameCopyAndRemoveCarryTheGroup()
    {
        WriteAccountSecurity("Old", {TqmSecurity::secTls, TqmSecurity::secNone, "ff"});
        WriteAccountSecurity("Stale", {TqmSecurity::secNone, TqmSecurity::secNone, "00"});
        RenameAccountSecurity("Old", "New");
        QCOMPARE(ReadAccountSecurity("New").PinnedCertificate, QByteArray("ff"));
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

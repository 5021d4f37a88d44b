// Trust on first use, per server, without a network: which pin applies to a connection, when a
// certificate counts as changed, what Trust stores and hands to the socket, and how Qt's
// verification errors become the kinds the user reads.

#include "CertificatePins.h"
#include "RegistryFunctions.h"
#include "nksocket.h"
#include "tk_reglib.h"

#include <QTest>

Q_DECLARE_METATYPE(TServerPin)
Q_DECLARE_METATYPE(QSslError::SslError)
Q_DECLARE_METATYPE(TnkCertificateProblem)

class TestCertificatePins : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        SetActiveUser(QStringLiteral("alice"));
        TRegistryKey(UserKey(QStringLiteral("alice"))).DeleteKey(QStringLiteral("Accounts"));
    }

    void whichPinApplies_data()
    {
        QTest::addColumn<TServerPin>("pin");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("applies");
        const TServerPin pop{"pop.example.org:995", "ab:cd"};
        QTest::newRow("its server") << pop << QByteArray("pop.example.org") << 995 << true;
        QTest::newRow("letter case and blanks") << pop << QByteArray(" POP.Example.ORG ") << 995 << true;
        QTest::newRow("same host, other port (SMTP)") << pop << QByteArray("pop.example.org") << 465 << false;
        QTest::newRow("other host, same port") << pop << QByteArray("mail.example.org") << 995 << false;
        QTest::newRow("server renamed in the account") << TServerPin{"old.example.org:995", "ab:cd"}
                                                       << QByteArray("pop.example.org") << 995 << false;
        QTest::newRow("earlier version's pin names no server") << TServerPin{{}, "ab:cd"} << QByteArray("pop.example.org")
                                                               << 110 << true;
        QTest::newRow("no fingerprint, no pin") << TServerPin{"pop.example.org:995", {}} << QByteArray("pop.example.org")
                                                << 995 << false;
    }
    void whichPinApplies()
    {
        QFETCH(TServerPin, pin);
        QFETCH(QByteArray, host);
        QFETCH(int, port);
        QFETCH(bool, applies);
        QCOMPARE(PinApplies(pin, host, quint16(port)), applies);
    }

    void changedCertificate_data()
    {
        QTest::addColumn<QByteArray>("applicablePin");
        QTest::addColumn<QByteArray>("fingerprint");
        QTest::addColumn<QByteArray>("replaced");
        QTest::newRow("no pin: only untrusted") << QByteArray() << QByteArray("ab:cd") << QByteArray();
        QTest::newRow("the pinned one, written otherwise") << QByteArray("AB CD") << QByteArray("ab:cd") << QByteArray();
        QTest::newRow("another certificate") << QByteArray("ab:cd") << QByteArray("ab:ce") << QByteArray("ab:cd");
        QTest::newRow("blank pin") << QByteArray("  ") << QByteArray("ab:cd") << QByteArray();
    }
    void changedCertificate()
    {
        QFETCH(QByteArray, applicablePin);
        QFETCH(QByteArray, fingerprint);
        QFETCH(QByteArray, replaced);
        QCOMPARE(ReplacedPin(applicablePin, fingerprint), replaced);
    }

    void trustStoresThatServerOfThatAccountOnly()
    {
        WriteAccountSecurity("Work", {TqmSecurity::secStartTls, TqmSecurity::secStartTls, {"pop.work:110", "11"}, {}});
        TnkCertificateFacts facts;
        facts.Host = "Smtp.Work";
        facts.Port = 587;
        facts.Fingerprint = "22:33";
        TnkSocket socket;
        TrustCertificate("Work", TMailService::Smtp, facts, socket);
        const TAccountSecurity stored = ReadAccountSecurity("Work");
        QCOMPARE(stored.SmtpPin, (TServerPin{"smtp.work:587", "22:33"}));
        QCOMPARE(stored.PopPin, (TServerPin{"pop.work:110", "11"}));
        QCOMPARE(stored.SmtpSecurity, TqmSecurity::secStartTls);
        QCOMPARE(socket.PinnedCertificate, QByteArray("22:33"));
        QCOMPARE(socket.PinnedServer, QByteArray("smtp.work:587"));
        // A connection without an account (quick connect, the wizard's test) trusts for this run.
        TnkSocket quick;
        TrustCertificate("", TMailService::Pop, facts, quick);
        QCOMPARE(quick.PinnedServer, QByteArray("smtp.work:587"));
        QCOMPARE(TRegistryKey(QStringLiteral("Users/alice/Accounts")).SubKeys(), QStringList{QStringLiteral("Work")});
    }

    void problemKinds_data()
    {
        QTest::addColumn<QSslError::SslError>("error");
        QTest::addColumn<TnkCertificateProblem>("problem");
        QTest::newRow("self-signed") << QSslError::SelfSignedCertificate << TnkCertificateProblem::SelfSigned;
        QTest::newRow("self-signed in chain") << QSslError::SelfSignedCertificateInChain << TnkCertificateProblem::SelfSigned;
        QTest::newRow("local issuer") << QSslError::UnableToGetLocalIssuerCertificate << TnkCertificateProblem::UnknownIssuer;
        QTest::newRow("first certificate") << QSslError::UnableToVerifyFirstCertificate << TnkCertificateProblem::UnknownIssuer;
        QTest::newRow("expired") << QSslError::CertificateExpired << TnkCertificateProblem::Expired;
        QTest::newRow("not yet valid") << QSslError::CertificateNotYetValid << TnkCertificateProblem::NotYetValid;
        QTest::newRow("host name") << QSslError::HostNameMismatch << TnkCertificateProblem::HostNameMismatch;
        QTest::newRow("revoked") << QSslError::CertificateRevoked << TnkCertificateProblem::Revoked;
        QTest::newRow("signature") << QSslError::CertificateSignatureFailed << TnkCertificateProblem::Other;
    }
    void problemKinds()
    {
        QFETCH(QSslError::SslError, error);
        QFETCH(TnkCertificateProblem, problem);
        QCOMPARE(CertificateProblemOf(error), problem);
    }

    void problemsAreListedOnceInOrder()
    {
        const TnkCertificateFacts facts = CertificateFacts(
            QSslCertificate(), {QSslError::HostNameMismatch, QSslError::SelfSignedCertificate, QSslError::SelfSignedCertificateInChain});
        QCOMPARE(facts.Problems, (QList{TnkCertificateProblem::HostNameMismatch, TnkCertificateProblem::SelfSigned}));
        QVERIFY(facts.Subject.isEmpty() && !facts.ValidFrom.isValid());
    }
};

QTEST_GUILESS_MAIN(TestCertificatePins)
#include "tst_certificatepins.moc"

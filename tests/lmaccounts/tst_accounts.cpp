// The accounts manager's rules on a private accounts database: the editor's enabling table, the
// stored values, and Add, Copy, Remove and Set Default with the account's own
// settings group.

#include "AccountEdtRules.h"
#include "AccountsFunctions.h"
#include "OAuth2SignIn.h"
#include "ReportCapture.h"
#include "TestInstallation.h"
#include "tk_reglib.h"

#include <QTest>

namespace {

TAccount Named(const QByteArray& name)
{
    TAccount account;
    account.Name = name;
    account.SmtpAddress = name.toLower() + "@example.org";
    return account;
}

QStringList Captions()
{
    QStringList captions;
    for (const TAccountListEntry& entry : ListAccounts())
        captions.append(entry.Caption);
    return captions;
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"));
        QVERIFY(CreateAccountsDatabase());
    }
    void cleanup() { m_installation.reset(); }

    void editorStates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dialUpChosen");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<bool>("authPop");
        // OK, RasRb, dial-up options, delete options, AuthPop, SMTP login
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("short name") << "Abc" << false << 0 << true << false << false
                                    << QList<bool>{true, false, false, true, false, false};
        QTest::newRow("two characters") << "Ab" << false << 0 << true << false << false
                                        << QList<bool>{false, false, false, true, false, false};
        QTest::newRow("entries, none chosen") << "Home" << false << 2 << true << false << false
                                              << QList<bool>{true, true, false, true, false, false};
        QTest::newRow("entry chosen") << "Home" << true << 2 << true << false << false
                                      << QList<bool>{true, true, true, true, false, false};
        QTest::newRow("not kept") << "Home" << false << 0 << false << false << false
                                  << QList<bool>{true, false, false, false, false, false};
        QTest::newRow("auth") << "Home" << false << 0 << true << true << false
                              << QList<bool>{true, false, false, true, true, true};
        QTest::newRow("auth with POP3 login") << "Home" << false << 0 << true << true << true
                                              << QList<bool>{true, false, false, true, true, false};
        QTest::newRow("POP3 login without auth") << "Home" << false << 0 << true << false << true
                                                 << QList<bool>{true, false, false, true, false, false};
    }

    void editorStates()
    {
        QFETCH(QString, name);
        QFETCH(bool, dialUpChosen);
        QFETCH(int, entries);
        QFETCH(bool, keep);
        QFETCH(bool, auth);
        QFETCH(bool, authPop);
        QFETCH(QList<bool>, expected);
        const TAccountEdtStates s = ComputeAccountEdtStates({name, dialUpChosen, entries, keep, auth, authPop});
        QCOMPARE(s.OK, expected[0]);
        QCOMPARE(s.RasRb, expected[1]);
        QCOMPARE(s.RasForceService && s.RasHangUp && s.RasEdit, expected[2]);
        QCOMPARE(s.RasForceService || s.RasHangUp || s.RasEdit, expected[2]);
        QCOMPARE(s.PopDeleteMails && s.PopDeleteDays, expected[3]);
        QCOMPARE(s.PopDeleteMails || s.PopDeleteDays, expected[3]);
        QCOMPARE(s.SmtpAuthPop, expected[4]);
        QCOMPARE(s.SmtpLogin, expected[5]);
    }

    void signInStates_data()
    {
        QTest::addColumn<bool>("keyring");
        QTest::addColumn<bool>("inKeyring");
        QTest::addColumn<bool>("oauth2");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("signingIn");
        // KeyringChk, RegistrationFields, SignInBtn, Passwords
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("password, no keyring") << false << false << false << false << false << QList<bool>{false, false, false, true};
        QTest::newRow("password, keyring runs") << true << false << false << false << false << QList<bool>{true, false, false, true};
        QTest::newRow("in a keyring that is gone: can move out") << false << true << false << false << false
                                                                 << QList<bool>{true, false, false, true};
        QTest::newRow("oauth2 incomplete") << true << false << true << false << false << QList<bool>{true, true, false, false};
        QTest::newRow("oauth2 complete") << true << false << true << true << false << QList<bool>{true, true, true, false};
        QTest::newRow("signing in") << true << true << true << true << true << QList<bool>{false, false, false, false};
    }

    void signInStates()
    {
        QFETCH(bool, keyring);
        QFETCH(bool, inKeyring);
        QFETCH(bool, oauth2);
        QFETCH(bool, complete);
        QFETCH(bool, signingIn);
        QFETCH(QList<bool>, expected);
        const TSignInStates s = ComputeSignInStates({keyring, inKeyring ? TSecretStore::Keyring : TSecretStore::Record,
                                                     oauth2 ? TAuthMethod::OAuth2 : TAuthMethod::Password, complete, signingIn});
        QCOMPARE((QList<bool>{s.KeyringChk, s.RegistrationFields, s.SignInBtn, s.Passwords}), expected);
    }

    void pkceFollowsRfc7636Example()
    {
        // RFC 7636, appendix B.
        QCOMPARE(detail::CodeChallengeS256("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
                 QByteArray("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
        const QByteArray verifier = detail::NewCodeVerifier();
        QCOMPARE(verifier.size(), 43);
        QVERIFY(verifier != detail::NewCodeVerifier());
    }

    void deleteDays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("usual") << "14" << 14;
        QTest::newRow("year") << "365" << 365;
        QTest::newRow("too many") << "400" << 0;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("word") << "ten" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks") << " 7 " << 7;
    }

    void deleteDays()
    {
        QFETCH(QString, text);
        QFETCH(int, stored);
        TAccountFields fields = FieldsOfAccount(Named("Home"));
        fields.PopDeleteDays = text;
        const int record = AddAccount(AccountFromFields(TAccount{}, fields));
        QCOMPARE(ReadAccount(record)->PopDeleteDays, stored);
    }

    void fieldsAreCutAndPop3LoginCopied()
    {
        TAccountFields fields = FieldsOfAccount(TAccount{});
        fields.Name = QString(60, QLatin1Char('n'));
        fields.SmtpAddress = QString(90, QLatin1Char('a'));
        fields.PopUsername = QStringLiteral("alice");
        fields.PopPassword = QStringLiteral("secret");
        fields.SmtpUsername = QStringLiteral("stale");
        fields.SmtpAuth = true;
        fields.SmtpAuthPop = true;
        const TAccount account = AccountFromFields(TAccount{}, fields);
        QCOMPARE(account.Name.size(), 50);
        QCOMPARE(account.SmtpAddress.size(), 80);
        QCOMPARE(account.SmtpUsername, QByteArray("alice"));
        QCOMPARE(account.SmtpPassword, QByteArray("secret"));
    }

    void onlyTheFirstAccountBecomesDefault()
    {
        QCOMPARE(AddAccount(Named("First")), 1);
        QCOMPARE(AddAccount(Named("Second")), 2);
        QCOMPARE(Captions(), (QStringList{QStringLiteral("First [standard]"), QStringLiteral("Second")}));
        QVERIFY(AccountNameTaken("First"));
        QVERIFY(!AccountNameTaken("First", 1));
        QVERIFY(!AccountNameTaken("first"));
    }

    void removingTheDefaultMovesItToTheFirst_data()
    {
        QTest::addColumn<int>("removed");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("selected");
        QTest::newRow("default") << 1 << QStringList{QStringLiteral("B [standard]"), QStringLiteral("C")} << 2;
        QTest::newRow("other") << 2 << QStringList{QStringLiteral("A [standard]"), QStringLiteral("C")} << 1;
    }

    void removingTheDefaultMovesItToTheFirst()
    {
        QFETCH(int, removed);
        QFETCH(QStringList, captions);
        QFETCH(int, selected);
        for (const QByteArray name : {"A", "B", "C"})
            AddAccount(Named(name));
        QCOMPARE(RemoveAccount(removed), selected);
        QCOMPARE(Captions(), captions);
    }

    void removingTheLastAccountLeavesNone()
    {
        AddAccount(Named("Only"));
        QCOMPARE(RemoveAccount(1), 0);
        QVERIFY(ListAccounts().isEmpty());
        QCOMPARE(FindDefaultAccount(), 0);
    }

    void copyName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("record");
        QTest::addColumn<QByteArray>("copy");
        QTest::newRow("usual") << QByteArray("Home") << 3 << QByteArray("Home3");
        QTest::newRow("full name keeps its number") << QByteArray(50, 'x') << 12 << QByteArray(48, 'x') + "12";
        QTest::newRow("not cut inside a character") << QByteArray(48, 'x') + "\xc3\xa4" << 7
                                                    << QByteArray(48, 'x') + "7";
    }

    void copyName()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, record);
        QFETCH(QByteArray, copy);
        QCOMPARE(CopyName(name, record), copy);
    }

    void copyIsNotTheDefaultAndCarriesTheSettingsGroup()
    {
        AddAccount(Named("Spare"));
        AddAccount(Named("Other"));
        const int home = AddAccount(Named("Home"));
        TRegistryKey(AccountSettingsKey("Home")).WriteString(QStringLiteral("PopSecurity"), QStringLiteral("tls"));
        SetDefaultAccount(home);
        const int copy = CopyAccount(home);
        const std::optional<TAccount> stored = ReadAccount(copy);
        QCOMPARE(stored->Name, QByteArray("Home3"));
        QVERIFY(!stored->Standard);
        QCOMPARE(FindDefaultAccount(), home);
        QCOMPARE(TRegistryKey(AccountSettingsKey("Home3")).ReadString(QStringLiteral("PopSecurity")), QStringLiteral("tls"));
    }

    void renameMovesAndRemoveDropsTheSettingsGroup()
    {
        const int record = AddAccount(Named("Home/Office"));
        TRegistryKey(AccountSettingsKey("Home/Office")).WriteString(QStringLiteral("SmtpSecurity"), QStringLiteral("starttls"));
        TAccount renamed = *ReadAccount(record);
        renamed.Name = "Office";
        QVERIFY(UpdateAccount(record, renamed));
        QVERIFY(!TRegistryKey(AccountSettingsKey("Home/Office")).ValueExists(QStringLiteral("SmtpSecurity")));
        QCOMPARE(TRegistryKey(AccountSettingsKey("Office")).ReadString(QStringLiteral("SmtpSecurity")), QStringLiteral("starttls"));
        RemoveAccount(record);
        QVERIFY(!TRegistryKey(AccountSettingsKey("Office")).ValueExists(QStringLiteral("SmtpSecurity")));
    }

    void setDefaultLeavesExactlyOne()
    {
        for (const QByteArray name : {"A", "B", "C"})
            AddAccount(Named(name));
        QVERIFY(SetDefaultAccount(3));
        QCOMPARE(Captions(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C [standard]")}));
        QVERIFY(SetDefaultAccount(3));
        QCOMPARE(FindDefaultAccount(), 3);
        QVERIFY(!SetDefaultAccount(9));

        // A file that ended up with two defaults is mended by choosing one.
        TAccount second = *ReadAccount(2);
        second.Standard = true;
        QVERIFY(WriteAccount(2, second) != 0);
        QVERIFY(SetDefaultAccount(2));
        QCOMPARE(Captions(), (QStringList{QStringLiteral("A"), QStringLiteral("B [standard]"), QStringLiteral("C")}));
    }

    void userLabelDoublesAmpersands()
    {
        QCOMPARE(UserLabelText(QStringLiteral("Tom & Jerry")), QStringLiteral("Tom && Jerry"));
    }

private:
    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_GUILESS_MAIN(TestAccounts)
#include "tst_accounts.moc"

// Passwords in the desktop's keyring: a private session bus with an unlocked GNOME keyring. The
// secrets move into the keyring and back without loss, the account record holds none while they are
// there, the editor's save carries them along a rename, the built agent still receives from Dovecot
// with the password the job took from the keyring, and a keyring that goes away gives a clear
// message and changes nothing.

#include "AccountSecrets.h"
#include "AccountsFunctions.h"
#include "AgentFixture.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "Keyring.h"
#include "Konstanten.h"
#include "PrivateKeyring.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestKeyringEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void movesIntoKeyringAndBack();
    void editorSaveCarriesSecretsAlongRename();
    void agentReceivesWithKeyringPassword();
    // Stops the keyring for good: must stay the last test.
    void keyringGoneChangesNothing();

private:
    int AccountRecord() const { return FindAccountByName("Work"); }
    TAccount StoredRecord() const { return ReadAccount(AccountRecord()).value_or(TAccount{}); }
    QByteArray AccountsFileBytes() const;

    PrivateKeyring m_keyring;
    Pop3Mailbox m_mailbox;
    std::unique_ptr<ScopedRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_programDir;
};

void TestKeyringEndToEnd::initTestCase()
{
    const QString keyringError = m_keyring.Start();
    QVERIFY2(keyringError.isEmpty(), qPrintable(keyringError));
    QVERIFY(KeyringAvailable());
    const QString error = m_mailbox.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestKeyringEndToEnd::init()
{
    m_registry = std::make_unique<ScopedRegistry>();
    m_programDir = std::make_unique<QTemporaryDir>();
    const QString dataDir = m_programDir->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(dataDir));
    WriteUser(DefaultUserName, dataDir, {});
    InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("modules/lmagent")));
    SetLanguage(1);
    QVERIFY(CreateAccountsDatabase());
    TAccount account;
    account.Name = "Work";
    account.PopServer = m_mailbox.Address();
    account.PopUsername = "alice";
    account.PopPassword = "secret";
    account.SmtpAuth = true;
    account.SmtpUsername = "alice";
    account.SmtpPassword = "smtp=secret;\xc3\xa4";
    account.PopKeepMails = false;
    QVERIFY(WriteAccount(0, account) > 0);
    TAccountSecurity security;
    security.PopSecurity = TqmSecurity::secNone;
    WriteAccountSecurity("Work", security);
    m_mailbox.SetMessages({TestMessage("<one@example.org>", "Mon, 9 Mar 2026 10:00:00 +0100", "first")});
}

void TestKeyringEndToEnd::cleanup()
{
    RemoveKeyringSecrets("Work");
    RemoveKeyringSecrets("Office");
    m_programDir.reset();
    m_registry.reset();
}

QByteArray TestKeyringEndToEnd::AccountsFileBytes() const
{
    QFile file(Paths().Data.AccountsFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestKeyringEndToEnd::movesIntoKeyringAndBack()
{
    const QByteArray scrambled = ScramblePassword("secret");
    QVERIFY(AccountsFileBytes().contains(scrambled));
    QString error;
    QVERIFY2(MoveAccountSecrets(AccountRecord(), TSecretStore::Keyring, error), qPrintable(error));
    QCOMPARE(ReadAccountSecurity("Work").Secrets, TSecretStore::Keyring);
    QVERIFY(StoredRecord().PopPassword.isEmpty());
    QVERIFY(StoredRecord().SmtpPassword.isEmpty());
    QVERIFY(!AccountsFileBytes().contains(scrambled));
    QCOMPARE(AccountPassword(StoredRecord(), TMailService::Pop, error), std::optional<QByteArray>("secret"));
    QCOMPARE(AccountPassword(StoredRecord(), TMailService::Smtp, error), std::optional<QByteArray>("smtp=secret;\xc3\xa4"));
    // Moving again changes nothing.
    QVERIFY(MoveAccountSecrets(AccountRecord(), TSecretStore::Keyring, error));
    QCOMPARE(AccountPassword(StoredRecord(), TMailService::Pop, error), std::optional<QByteArray>("secret"));

    const TOAuth2Tokens tokens{"access", "refresh+/=", QDateTime(QDate(2026, 3, 9), QTime(12, 0), Qt::UTC)};
    QVERIFY2(StoreOAuth2Tokens("Work", tokens, error), qPrintable(error));
    QVERIFY(!TRegistryKey(AccountSecurityKey("Work")).ValueExists(QStringLiteral("OAuth2Tokens")));

    QVERIFY2(MoveAccountSecrets(AccountRecord(), TSecretStore::Record, error), qPrintable(error));
    QCOMPARE(ReadAccountSecurity("Work").Secrets, TSecretStore::Record);
    QCOMPARE(StoredRecord().PopPassword, QByteArray("secret"));
    QCOMPARE(StoredRecord().SmtpPassword, QByteArray("smtp=secret;\xc3\xa4"));
    QCOMPARE(ReadAccountSecrets(StoredRecord(), error)->OAuth2, tokens);
    QCOMPARE(ReadKeyringSecret(AccountSecurityKey("Work") + QStringLiteral("/PopPassword")).Status, TKeyringStatus::NotFound);
    QCOMPARE(ReadKeyringSecret(AccountSecurityKey("Work") + QStringLiteral("/OAuth2Tokens")).Status, TKeyringStatus::NotFound);
}

void TestKeyringEndToEnd::editorSaveCarriesSecretsAlongRename()
{
    QString error;
    std::optional<TAccountDraft> draft = ReadAccountDraft(AccountRecord(), error);
    QVERIFY(draft);
    draft->Account.Name = "Office";
    draft->Account.PopPassword = "typed anew";
    draft->Security.Secrets = TSecretStore::Keyring;
    const int record = AccountRecord();
    QVERIFY2(UpdateAccount(record, *draft, error), qPrintable(error));
    QCOMPARE(ReadAccount(record)->Name, QByteArray("Office"));
    QVERIFY(ReadAccount(record)->PopPassword.isEmpty());
    QCOMPARE(ReadKeyringSecret(AccountSecurityKey("Office") + QStringLiteral("/PopPassword")).Secret, QByteArray("typed anew"));
    QCOMPARE(ReadKeyringSecret(AccountSecurityKey("Work") + QStringLiteral("/PopPassword")).Status, TKeyringStatus::NotFound);

    // Opened again in the editor, the passwords are there to be seen and tested.
    draft = ReadAccountDraft(record, error);
    QVERIFY(draft);
    QCOMPARE(draft->Account.PopPassword, QByteArray("typed anew"));
    QCOMPARE(draft->Account.SmtpPassword, QByteArray("smtp=secret;\xc3\xa4"));
    QCOMPARE(draft->Security.Secrets, TSecretStore::Keyring);
    RemoveAccount(record);
    QCOMPARE(ReadKeyringSecret(AccountSecurityKey("Office") + QStringLiteral("/PopPassword")).Status, TKeyringStatus::NotFound);
}

void TestKeyringEndToEnd::agentReceivesWithKeyringPassword()
{
    QString error;
    QVERIFY2(MoveAccountSecrets(AccountRecord(), TSecretStore::Keyring, error), qPrintable(error));
    TAgentJob job;
    QVERIFY2(FillReceiveJob(job, "Work", KeepModeFromAccount, &error), qPrintable(error));
    QCOMPARE(job.Password, QByteArray("secret"));
    AgentInstallation agent;
    QVERIFY(agent.IsReady());
    QVERIFY(agent.WriteJob(job));
    const AgentResult result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QCOMPARE(AgentInstallation::EmlFiles(agent.SpoolDir()).size(), 1);
    QVERIFY(m_mailbox.Messages().isEmpty());
}

void TestKeyringEndToEnd::keyringGoneChangesNothing()
{
    QString error;
    QVERIFY2(MoveAccountSecrets(AccountRecord(), TSecretStore::Keyring, error), qPrintable(error));
    m_keyring.StopKeyring();
    QVERIFY(!KeyringAvailable());

    TAgentJob job;
    QVERIFY(!FillReceiveJob(job, "Work", KeepModeFromAccount, &error));
    QVERIFY2(error.contains(QLatin1String("'Work'")) && error.contains(QStringLiteral("Schlüsselbund")), qPrintable(error));
    QVERIFY(job.Password.isEmpty());
    error.clear();
    QVERIFY(!MoveAccountSecrets(AccountRecord(), TSecretStore::Record, error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadAccountSecurity("Work").Secrets, TSecretStore::Keyring);

    // Into a keyring that is gone: refused with the reason, the record keeps the passwords.
    TAccount home = StoredRecord();
    home.Name = "Home";
    home.PopPassword = "secret";
    home.SmtpPassword = "smtp=secret;\xc3\xa4";
    home.Stored.clear();
    const int homeRecord = WriteAccount(0, home);
    QVERIFY(homeRecord > 0);
    error.clear();
    QVERIFY(!MoveAccountSecrets(homeRecord, TSecretStore::Keyring, error));
    QVERIFY2(error.contains(QStringLiteral("kein Schlüsselbund-Dienst")), qPrintable(error));
    QCOMPARE(ReadAccountSecurity("Home").Secrets, TSecretStore::Record);
    QCOMPARE(ReadAccount(homeRecord)->PopPassword, QByteArray("secret"));
    QCOMPARE(ReadAccount(homeRecord)->SmtpPassword, QByteArray("smtp=secret;\xc3\xa4"));
}

QTEST_GUILESS_MAIN(TestKeyringEndToEnd)
#include "tst_keyring_e2e.moc"

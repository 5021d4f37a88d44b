// A refused password against the real Dovecot: the receive run asks for it again once (the
// password window replaced by a stand-in), logs in with the typed one and, when the user agrees,
// stores it in the account, so that the next run logs in without asking.

#include "AgentFixture.h"
#include "CheckFile.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "DialupFunctions.h"
#include "Konstanten.h"
#include "ReceivePop3.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class TestReloginEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refusedPasswordAskedAgain_data();
    void refusedPasswordAskedAgain();

private:
    // Runs one receive job of the account; `typed` answers the password window (nothing: Cancel).
    bool Receive(const std::optional<QByteArray>& typed, bool store, QStringList& prompts);
    QByteArray StoredPassword() const;
    int SpoolCount() const { return int(QDir(Paths().Data.SpoolDir).entryList({QStringLiteral("*.eml")}, QDir::Files).size()); }

    Pop3Mailbox m_mailbox;
    std::unique_ptr<ScopedRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_programDir;
};

void TestReloginEndToEnd::initTestCase()
{
    const QString error = m_mailbox.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestReloginEndToEnd::init()
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
    account.PopPassword = "outdated";
    account.PopKeepMails = false;
    QVERIFY(WriteAccount(0, account) > 0);
    TAccountSecurity security;
    security.PopSecurity = TqmSecurity::secNone;
    WriteAccountSecurity("Work", security);
    m_mailbox.SetMessages({TestMessage("<one@example.org>", "Mon, 9 Mar 2026 10:00:00 +0100", "first")});
}

void TestReloginEndToEnd::cleanup()
{
    m_programDir.reset();
    m_registry.reset();
}

bool TestReloginEndToEnd::Receive(const std::optional<QByteArray>& typed, bool store, QStringList& prompts)
{
    TAgentJob job;
    if (!FillReceiveJob(job, "Work", KeepModeFromAccount))
        return false;
    TAgentEvents events;
    events.OnPasswordRequest = [&](const QString& caption, const QString& text) {
        prompts.append(caption + QLatin1Char('|') + text);
        return typed;
    };
    events.OnQuestion = [&](const QString& text) {
        prompts.append(text);
        return store;
    };
    const TReceivePaths paths{Paths().Data.SpoolDir, CheckFileName(Paths().Data.MailDir, job.Server, job.Username), {}, {}};
    TPop3ReceiveRun run(job, paths, events);
    TDialUp dialUp(NotInstalledRasBackend());
    return run.Execute(dialUp, 20, QDate(2026, 3, 10));
}

QByteArray TestReloginEndToEnd::StoredPassword() const
{
    const std::optional<TAccount> account = ReadAccount(FindAccountByName("Work"));
    return account ? account->PopPassword : QByteArray("<no account>");
}

void TestReloginEndToEnd::refusedPasswordAskedAgain_data()
{
    QTest::addColumn<std::optional<QByteArray>>("typed");
    QTest::addColumn<bool>("store");
    QTest::addColumn<bool>("received");
    QTest::addColumn<QByteArray>("storedAfter");
    QTest::newRow("typed and stored") << std::optional<QByteArray>("secret") << true << true << QByteArray("secret");
    QTest::newRow("typed for this run only") << std::optional<QByteArray>("secret") << false << true << QByteArray("outdated");
    QTest::newRow("typed wrong again") << std::optional<QByteArray>("wrong too") << true << false << QByteArray("wrong too");
    QTest::newRow("cancelled") << std::optional<QByteArray>() << true << false << QByteArray("outdated");
}

void TestReloginEndToEnd::refusedPasswordAskedAgain()
{
    QFETCH(std::optional<QByteArray>, typed);
    QFETCH(bool, store);
    QFETCH(bool, received);
    QFETCH(QByteArray, storedAfter);
    QStringList prompts;
    QCOMPARE(Receive(typed, store, prompts), received);
    QVERIFY(!prompts.isEmpty());
    QVERIFY2(prompts.first().startsWith(QStringLiteral("alice (%1)|").arg(QString::fromUtf8(m_mailbox.Address()))), qPrintable(prompts.first()));
    QVERIFY2(prompts.first().contains(QLatin1String("Bitte geben Sie das Kennwort erneut ein."))
                 && prompts.first().contains(QLatin1String("Antwort des Servers: -ERR")),
             qPrintable(prompts.first()));
    // Asked once; the question to store follows only a typed password.
    QCOMPARE(prompts.size(), typed ? 2 : 1);
    if (typed)
        QCOMPARE(prompts.at(1), QStringLiteral("Soll das neue Kennwort im Mailkonto 'Work' gespeichert werden?"));
    QCOMPARE(SpoolCount(), received ? 1 : 0);
    QCOMPARE(m_mailbox.Messages().size(), received ? 0 : 1);
    QCOMPARE(StoredPassword(), storedAfter);
    if (storedAfter != "secret")
        return;
    // The stored password works: the next run asks nothing.
    m_mailbox.AddMessage(TestMessage("<two@example.org>", "Mon, 9 Mar 2026 11:00:00 +0100", "second"));
    QStringList none;
    QVERIFY(Receive(std::nullopt, false, none));
    QCOMPARE(none, QStringList());
    QCOMPARE(SpoolCount(), 2);
}

QTEST_GUILESS_MAIN(TestReloginEndToEnd)
#include "tst_relogin_e2e.moc"

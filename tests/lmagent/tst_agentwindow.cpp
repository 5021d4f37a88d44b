// The agent's window offscreen against scripted POP3 servers: closing by itself, staying open
// with the error flag, the password window, Cancel during a transfer, and a log-in in clear
// refused under security "auto".

#include "DBAccountSecurity.h"
#include "FakeServer.h"
#include "Konstanten.h"
#include "Main.h"
#include "Password.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The jobs say security "none": this old server offers no TLS, so the log-in goes on in clear.
QByteArrayList LogIn(const QByteArray& password, const QByteArray& reply)
{
    return {"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS " + password, "S: " + reply};
}

QByteArrayList HeaderOfOne()
{
    return {"S: +OK", "S: Message-ID: <a@example.org>", "S: Date: Mon, 9 Mar 2026 10:00:00 +0100", "S: ", "S: body", "S: ."};
}

} // namespace

class TestAgentWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void closesAfterSuccess();
    void staysOpenWithErrorFlag();
    void refusedLogInShowsTheWholeReason_data();
    void refusedLogInShowsTheWholeReason();
    void passwordCancelEndsQuietly();
    void typedPasswordLogsIn();
    void cancelDuringTransferCommitsNothing();
    void withoutJobEndsAtOnce();
    void plainLogInRefused_data();
    void plainLogInRefused();

private:
    void WriteJob(const QByteArray& server, const QByteArray& password, TqmSecurity security = TqmSecurity::secNone) const;
    QStringList SpoolFiles() const;
    void Start(TAgentFrm& form) const;

    std::unique_ptr<ScopedRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_programDir;
};

void TestAgentWindow::init()
{
    m_registry = std::make_unique<ScopedRegistry>();
    m_programDir = std::make_unique<QTemporaryDir>();
    const QString dataDir = m_programDir->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(dataDir));
    WriteUser(DefaultUserName, dataDir, {});
    InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("modules/lmagent")));
    QCOMPARE(Paths().Data.DataDir, dataDir);
}

void TestAgentWindow::cleanup()
{
    m_programDir.reset();
    m_registry.reset();
}

void TestAgentWindow::WriteJob(const QByteArray& server, const QByteArray& password, TqmSecurity security) const
{
    TAgentJob job;
    job.Action = "POP3";
    job.AccountName = "Work";
    job.Server = server;
    job.Username = "alice";
    job.Password = password;
    job.Security = security;
    QVERIFY(::WriteJob(job));
}

QStringList TestAgentWindow::SpoolFiles() const
{
    return QDir(Paths().Data.SpoolDir).entryList(QDir::Files);
}

void TestAgentWindow::Start(TAgentFrm& form) const
{
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
}

void TestAgentWindow::closesAfterSuccess()
{
    FakeServer server(LogIn("secret", "+OK") + QByteArrayList{"C: STAT", "S: +OK 0 0", "C: QUIT", "S: +OK bye"});
    WriteJob(server.Address(), "secret");
    TAgentFrm form(NotInstalledRasBackend(), false);
    Start(form);
    QTRY_VERIFY(form.JobDone());
    QVERIFY(!form.ErrorFlag());
    QTRY_VERIFY(!form.isVisible());
    // An empty mailbox still ends its session with QUIT.
    QCOMPARE(form.StatusLbl->text(), QStringLiteral("Verbindung beendet"));
    QVERIFY(server.Done());
    QVERIFY(server.Errors().isEmpty());
    QVERIFY(!QFile::exists(Paths().Program.JobFile));
}

void TestAgentWindow::staysOpenWithErrorFlag()
{
    FakeServer server(LogIn("wrong", "-ERR [AUTH] Authentication failed."));
    WriteJob(server.Address(), "wrong");
    TAgentFrm form(NotInstalledRasBackend(), false);
    form.AskPassword = [](const QString&, const QString&) { return std::nullopt; };
    Start(form);
    QTRY_VERIFY(form.JobDone());
    QVERIFY(form.ErrorFlag());
    QVERIFY(form.isVisible());
    QCOMPARE(form.CancelBtn->text(), QStringLiteral("Schließen"));
    QCOMPARE(form.StatusLbl->text(), QString::fromUtf8(server.Address())
                                         + QStringLiteral(" Fehler: 127.0.0.1 hat die Anmeldung abgelehnt: vermutlich sind "
                                                          "Benutzername oder Kennwort falsch. Antwort des Servers: -ERR [AUTH] "
                                                          "Authentication failed."));
    QVERIFY(!QFile::exists(Paths().Program.JobFile));
    QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
    QVERIFY(!form.isVisible());
}

void TestAgentWindow::refusedLogInShowsTheWholeReason_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("asked");
    QTest::newRow("german") << 1 << QStringLiteral("Fehler: 127.0.0.1 hat die Anmeldung abgelehnt")
                            << QStringLiteral("Bitte geben Sie das Kennwort erneut ein.");
    QTest::newRow("english") << 2 << QStringLiteral("Error: 127.0.0.1 refused the log-in")
                             << QStringLiteral("Please enter the password again.");
}

// The refusal is asked about once and then shown whole, wrapped, in the user's language, and can
// be selected and copied into a question to the provider.
void TestAgentWindow::refusedLogInShowsTheWholeReason()
{
    QFETCH(int, language);
    QFETCH(QString, reason);
    QFETCH(QString, asked);
    SetLanguage(language);
    FakeServer server(LogIn("wrong", "-ERR [AUTH] Authentication failed."));
    WriteJob(server.Address(), "wrong");
    TAgentFrm form(NotInstalledRasBackend(), false);
    QStringList prompts;
    form.AskPassword = [&](const QString& caption, const QString& text) {
        prompts.append(caption + QLatin1Char('|') + text);
        return std::nullopt;
    };
    Start(form);
    QTRY_VERIFY(form.JobDone());
    SetLanguage(1);
    QCOMPARE(prompts.size(), 1);
    QVERIFY2(prompts.first().startsWith(QStringLiteral("alice (%1)|").arg(QString::fromUtf8(server.Address()))), qPrintable(prompts.first()));
    QVERIFY2(prompts.first().contains(asked) && prompts.first().contains(QLatin1String("-ERR [AUTH] Authentication failed.")),
             qPrintable(prompts.first()));
    QVERIFY(form.ErrorFlag());
    const QString status = form.StatusLbl->text();
    QVERIFY2(status.contains(reason) && status.endsWith(QLatin1String("-ERR [AUTH] Authentication failed.")), qPrintable(status));
    QVERIFY(form.StatusLbl->wordWrap());
    QTRY_VERIFY(form.StatusLbl->height() >= form.StatusLbl->heightForWidth(form.StatusLbl->width()));
    // Too long for one line of the window: it wraps instead of being cut off.
    QVERIFY(form.StatusLbl->heightForWidth(form.StatusLbl->width()) >= 2 * form.StatusLbl->fontMetrics().lineSpacing());
    QVERIFY(form.StatusLbl->fontMetrics().horizontalAdvance(status) > form.StatusLbl->width());
    QVERIFY(form.frameGeometry().width() <= form.screen()->availableGeometry().width());
    QVERIFY(form.StatusLbl->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    form.StatusLbl->setSelection(0, int(status.size()));
    QCOMPARE(form.StatusLbl->selectedText(), status);
    SaveScreenshot(form, QStringLiteral("agent-refused-log-in-%1").arg(QLatin1String(QTest::currentDataTag())));
}

void TestAgentWindow::passwordCancelEndsQuietly()
{
    WriteJob("127.0.0.1:1", "");
    TAgentFrm form(NotInstalledRasBackend(), false);
    QString caption;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<TPasswordFrm*>(QApplication::activeModalWidget())) {
            caption = dialog->windowTitle();
            dialog->reject();
        }
    });
    answer.start(20);
    Start(form);
    QTRY_VERIFY(form.JobDone());
    QCOMPARE(caption, QStringLiteral("alice (127.0.0.1:1)"));
    QVERIFY(!form.ErrorFlag());
    QTRY_VERIFY(!form.isVisible());
    QVERIFY(SpoolFiles().isEmpty());
}

void TestAgentWindow::typedPasswordLogsIn()
{
    FakeServer server(LogIn("typed secret", "+OK") + QByteArrayList{"C: STAT", "S: +OK 0 0", "C: QUIT", "S: +OK bye"});
    WriteJob(server.Address(), "");
    TAgentFrm form(NotInstalledRasBackend(), false);
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<TPasswordFrm*>(QApplication::activeModalWidget())) {
            dialog->PasswordEdt->setText(QStringLiteral("typed secret"));
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        }
    });
    answer.start(20);
    Start(form);
    QTRY_VERIFY(form.JobDone());
    QVERIFY2(!form.ErrorFlag(), qPrintable(form.StatusLbl->text()));
    QVERIFY(server.Errors().isEmpty());
    QTRY_VERIFY(!form.isVisible());
}

void TestAgentWindow::cancelDuringTransferCommitsNothing()
{
    QByteArrayList script = LogIn("secret", "+OK") + QByteArrayList{"C: STAT", "S: +OK 1 120", "C: CAPA", "S: -ERR", "C: UIDL 1", "S: +OK 1 u1",
                                                                     "C: LIST 1", "S: +OK 1 120", "C: TOP 1 1"};
    script += HeaderOfOne();
    script += QByteArrayList{"C: UIDL 1", "S: +OK 1 u1", "C: LIST 1", "S: +OK 1 120", "C: TOP 1 1"};
    script += HeaderOfOne();
    script += QByteArrayList{"C: RETR 1", "S: +OK", "S: Message-ID: <a@example.org>", "SILENT"};
    FakeServer server(script);
    WriteJob(server.Address(), "secret");
    TAgentFrm form(NotInstalledRasBackend(), false);
    // The job runs inside the event loop, so the click has to come from there too.
    QTimer cancelWhenStalled;
    connect(&cancelWhenStalled, &QTimer::timeout, this, [&] {
        if (server.Done()) {
            cancelWhenStalled.stop();
            QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
        }
    });
    cancelWhenStalled.start(20);
    Start(form);
    QTRY_VERIFY(form.JobDone());
    QVERIFY(form.isVisible());
    QVERIFY(form.ErrorFlag());
    QCOMPARE(form.StatusLbl->text(), QStringLiteral("Operation abgebrochen"));
    QCOMPARE(form.CancelBtn->text(), QStringLiteral("Schließen"));
    QTRY_VERIFY(server.ClientDisconnected());
    QVERIFY(!server.Received().contains("DELE"));
    QVERIFY(!server.Received().contains("QUIT"));
    QVERIFY(server.Errors().isEmpty());
    QVERIFY(SpoolFiles().isEmpty());
}

void TestAgentWindow::withoutJobEndsAtOnce()
{
    TAgentFrm form(NotInstalledRasBackend(), false);
    form.show();
    QTRY_VERIFY(!form.isVisible());
    QVERIFY(!form.JobDone());
}

void TestAgentWindow::plainLogInRefused_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("tlsSeenBefore");
    // Named with the server it refused.
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("remedy");
    QTest::newRow("german") << 1 << false << QStringLiteral("127.0.0.1 bietet keine verschlüsselte Verbindung an")
                            << QStringLiteral("\"Keine (Klartext)\"");
    QTest::newRow("english") << 2 << false << QStringLiteral("127.0.0.1 offers no encrypted connection")
                             << QStringLiteral("\"None (plain text)\"");
    QTest::newRow("german downgrade") << 1 << true << QStringLiteral("127.0.0.1 hat früher eine verschlüsselte Verbindung angeboten")
                                      << QStringLiteral("\"Keine (Klartext)\"");
    QTest::newRow("english downgrade") << 2 << true << QStringLiteral("127.0.0.1 offered an encrypted connection before")
                                       << QStringLiteral("\"None (plain text)\"");
}

void TestAgentWindow::plainLogInRefused()
{
    QFETCH(int, language);
    QFETCH(bool, tlsSeenBefore);
    QFETCH(QString, reason);
    QFETCH(QString, remedy);
    SetLanguage(language);
    FakeServer server({"S: +OK ready", "C: CAPA", "S: +OK", "S: USER", "S: .", "SILENT"});
    if (tlsSeenBefore)
        RememberTlsSeen("Work", TMailService::Pop, server.Address());
    WriteJob(server.Address(), "secret", TqmSecurity::secAuto);
    TAgentFrm form(NotInstalledRasBackend(), false);
    Start(form);
    QTRY_VERIFY(form.JobDone());
    SetLanguage(1);
    QVERIFY(form.ErrorFlag());
    const QString status = form.StatusLbl->text();
    QVERIFY2(status.contains(reason) && status.contains(remedy), qPrintable(status));
    QVERIFY(server.Errors().isEmpty());
    QVERIFY(!server.Received().contains("USER") && !server.Received().contains("PASS"));
}

QTEST_MAIN(TestAgentWindow)
#include "tst_agentwindow.moc"

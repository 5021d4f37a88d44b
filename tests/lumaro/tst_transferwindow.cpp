// Send, Receive, Transmit (F9) and the filter run as a person starts them in the main window, with
// the built agent against the real test servers. The agent is reached through a small wrapper that
// notes each job it is started with, so the order of the runs can be checked from outside.

#include "AgentFixture.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "EnhListView.h"
#include "FilterFunctions.h"
#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "MessageCommands.h"
#include "Main.h"
#include "MainWindowFixture.h"
#include "ModalDialogs.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScriptedRasBackend.h"
#include "SharedFunctions.h"
#include "Screenshot.h"
#include "TestServers.h"
#include "TransferDialogs.h"
#include "tk_langlib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

QByteArray OutboxMessage(const QByteArray& subject, const QByteArray& extraHeaders = {})
{
    return "From: Anna <anna@example.org>\r\nTo: <bob@example.org>\r\nSubject: " + subject + "\r\n" + extraHeaders
        + "Message-ID: <" + subject + "@example.org>\r\n\r\nText of " + subject + "\r\n";
}

QByteArray MessageFrom(const QByteArray& from, const QByteArray& subject)
{
    return "From: " + from + "\r\nTo: anna@example.org\r\nSubject: " + subject + "\r\nMessage-ID: <" + subject
        + "@x>\r\nDate: Mon, 9 Mar 2026 10:00:00 +0100\r\n\r\nText.\r\n";
}

QByteArray Subjects(const TFolderFiles& folder)
{
    QByteArray subjects;
    for (const TFolderMessage& message : EnumerateLiveMessages(folder))
        subjects += message.Index.Subject + ((message.Index.Flags & mfRead) ? "(read) " : " ");
    return subjects.trimmed();
}

// The last line of each message, in record order.
QByteArrayList Bodies(TSpecialFolder folder)
{
    QByteArrayList bodies;
    const TFolderFiles files = SpecialFolderPaths(folder);
    for (const TFolderMessage& message : EnumerateLiveMessages(files)) {
        const QByteArray bytes = ReadRawMessage(files.MessageFile, message.Index.Offset, message.Index.Length).value_or("");
        bodies.append(bytes.trimmed().split('\n').last().trimmed());
    }
    return bodies;
}

QByteArray Subjects(TSpecialFolder folder)
{
    return Subjects(SpecialFolderPaths(folder));
}

} // namespace

class TestTransferWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AgentInstallation> m_agent;
    QByteArray m_previousRegistry;
    QStringList m_told;
    QStringList m_confirmed;
    bool m_confirmAnswer = true;

    // The wrapper writes "<Action> <Server>" of every job to runs.txt, then starts the agent.
    bool WrapAgent() const
    {
        const QString real = m_agent->Program() + QLatin1String("-real");
        if (!QFile::rename(m_agent->Program(), real))
            return false;
        const QByteArray script = "#!/bin/sh\n"
                                  "dir=$(dirname \"$0\")\n"
                                  "sed -n 's/^\\(Action\\|Server\\)=//p' \"$dir/../lmagent.ini\" | tr -d '\\r' "
                                  "| tr '\\n' ' ' >> \"$dir/../runs.txt\"\n"
                                  "echo >> \"$dir/../runs.txt\"\n"
                                  "exec \"$dir/lmagent-real\" \"$@\"\n";
        QFile file(m_agent->Program());
        return LumaroTest::WriteBytes(m_agent->Program(), script)
            && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QStringList AgentRuns() const
    {
        QFile file(m_agent->ProgramDir() + QLatin1String("/runs.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList runs;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                runs.append(QString::fromUtf8(line.trimmed()));
        return runs;
    }

    static void AddAccount(const QByteArray& name, const QByteArray& popServer, const QByteArray& smtpServer = {})
    {
        TAccount account;
        account.Name = name;
        account.Standard = CountAccounts() == 0;
        account.PopServer = popServer;
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = false;
        account.SmtpServer = smtpServer;
        account.SmtpAddress = "anna@example.org";
        account.SmtpAuth = true;
        account.SmtpUsername = "alice";
        account.SmtpPassword = "secret";
        QVERIFY(WriteAccount(0, account) > 0);
        // The test servers offer no TLS.
        WriteAccountSecurity(name, {TqmSecurity::secNone, TqmSecurity::secNone});
    }

    std::unique_ptr<TMainFrm> StartedWindow()
    {
        auto frm = std::make_unique<TMainFrm>(QStringList{});
        frm->Dialogs.AskYesNo = [](const QString&) { return false; };
        frm->Dialogs.Inform = [this](const QString& text) { m_told.append(text); };
        frm->Dialogs.Confirm = [this](const QString& text, bool&) {
            m_confirmed.append(text);
            return m_confirmAnswer;
        };
        frm->resize(900, 500);
        return ShownMainWindow(std::move(frm));
    }

    // As the message window does: appends to the Outbox, then the main window refreshes.
    static void AppendToOutbox(TMainFrm& frm, const QByteArrayList& messages)
    {
        const QString work = Paths().Data.DataDir + QLatin1String("/outbox-work.txt");
        for (const QByteArray& message : messages) {
            QVERIFY(LumaroTest::WriteBytes(work, message));
            QVERIFY(AppendMessageFile(SpecialFolderPaths(TSpecialFolder::Outbox), work) > 0);
        }
        frm.RefreshCommandStates();
    }

    // Clicks the tool bar button of that name.
    static void Click(TMainFrm& frm, const char* buttonName)
    {
        auto* button = frm.Actions.Toolbar->findChild<QAction*>(QLatin1String(buttonName));
        QVERIFY(button);
        QWidget* widget = frm.Actions.Toolbar->widgetForAction(button);
        QVERIFY(widget && widget->isEnabled());
        QTest::mouseClick(widget, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        qputenv("LUMARO_TEST_AUTOCLOSE", "1");
        m_previousRegistry = qgetenv("LUMARO_REGISTRY");
    }

    void init()
    {
        m_agent = std::make_unique<AgentInstallation>();
        QVERIFY(m_agent->IsReady());
        QVERIFY(WrapAgent());
        qputenv("LUMARO_REGISTRY", QFile::encodeName(m_agent->RegistryFile()));
        InitProgramForActiveUser(m_agent->ProgramDir() + QLatin1String("/lumaro"));
        SetLanguage(0);
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        QVERIFY(CreateAccountsDatabase());
        m_told.clear();
        m_confirmed.clear();
        m_confirmAnswer = true;
    }

    void cleanup()
    {
        qputenv("LUMARO_REGISTRY", m_previousRegistry);
        m_agent.reset();
    }

    void sendButtonSendsTheOutboxButTheHeldMessage()
    {
        QTemporaryDir received;
        TestServer smtp;
        const QString error = smtp.StartSmtp(received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        AddAccount("Anna", "127.0.0.1:1", smtp.Address());
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        AppendToOutbox(*frm, {OutboxMessage("first"), OutboxMessage("held", "X-LMHOLD: 1\r\n"), OutboxMessage("third")});

        // No server was used before: the only one is chosen, and Send can be pressed at once.
        QString offered;
        WhenModal<TSendSimpleFrm>([&](TSendSimpleFrm& dialog) {
            offered = QString::fromUtf8(dialog.Server());
            SaveScreenshot(dialog, QStringLiteral("send-dialog"));
            dialog.SendBtn->click();
        });
        Click(*frm, "SendSpd");

        QCOMPARE(offered, QString::fromUtf8(smtp.Address()));
        QCOMPARE(frm->Settings.SmtpServer, QString::fromUtf8(smtp.Address()));
        QCOMPARE(LoadMainSettings(UserContext().Keys).SmtpServer, frm->Settings.SmtpServer);
        QCOMPARE(AgentRuns(), QStringList{QLatin1String("SMTP ") + smtp.Address()});
        QCOMPARE(frm->CurrentFolder(), SpecialFolderName(TSpecialFolder::Outbox));
        QCOMPARE(frm->MessageModel->rowCount(), 1);
        QCOMPARE(Subjects(TSpecialFolder::Outbox), QByteArray("held"));
        QCOMPARE(Subjects(TSpecialFolder::Sent), QByteArray("first(read) third(read)"));
        QCOMPARE(QDir(received.path()).entryList({QStringLiteral("*.eml")}).size(), 2);
        QCOMPARE(frm->StatusPanel1->text(), QStringLiteral("2 Nachrichten gesendet · 1 im Postausgang geblieben"));
        QVERIFY(frm->FolderTv->isEnabled());
        SaveScreenshot(*frm, QStringLiteral("mainwindow-after-send"));
    }

    // The ticked accounts run one after the other in list order; a failing one is named afterwards
    // and does not stop the next.
    void receiveButtonRunsTheTickedAccountsInOrder()
    {
        Pop3Mailbox work, home;
        for (Pop3Mailbox* box : {&work, &home})
            QVERIFY(box->Start().isEmpty());
        work.SetMessages({TestMessage("<w1@x>", "Mon, 9 Mar 2026 10:00:00 +0100", "work one")});
        home.SetMessages({TestMessage("<h1@x>", "Mon, 9 Mar 2026 11:00:00 +0100", "home one"),
                          TestMessage("<h2@x>", "Mon, 9 Mar 2026 12:00:00 +0100", "home two")});
        AddAccount("work", work.Address());
        AddAccount("broken", "127.0.0.1:1");
        AddAccount("home", home.Address());
        AddAccount("unticked", home.Address());
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);

        WhenModal<TReceiveMultipleFrm>([](TReceiveMultipleFrm& dialog) {
            for (int row = 0; row < 3; ++row)
                dialog.Listbox->item(row)->setCheckState(Qt::Checked);
            SaveScreenshot(dialog, QStringLiteral("receive-dialog"));
            dialog.ReceiveBtn->click();
        });
        Click(*frm, "ReceiveSpd");

        QCOMPARE(AgentRuns(), (QStringList{QLatin1String("POP3 ") + work.Address(), QStringLiteral("POP3 127.0.0.1:1"),
                                           QLatin1String("POP3 ") + home.Address()}));
        QCOMPARE(m_told.size(), 1);
        QVERIFY2(m_told.first().contains(QLatin1String("broken")) && !m_told.first().contains(QLatin1String("work")),
                 qPrintable(m_told.first()));
        // The failed account is named with the agent's reason, in the user's language.
        QVERIFY2(m_told.first().endsWith(QLatin1String("\nbroken: 127.0.0.1:1 Fehler: [10061] Verbindung abgelehnt")),
                 qPrintable(m_told.first()));
        QCOMPARE(frm->CurrentFolder(), SpecialFolderName(TSpecialFolder::Inbox));
        QCOMPARE(frm->MessageModel->rowCount(), 3);
        QCOMPARE(Bodies(TSpecialFolder::Inbox), (QByteArrayList{"work one", "home one", "home two"}));
        QVERIFY(work.Messages().isEmpty() && home.Messages().isEmpty());
        QVERIFY(frm->StatusPanel1->text().contains(FillIn(MessageText(39), QStringLiteral("3"))));
        QCOMPARE(frm->Settings.PopServers, (QStringList{QStringLiteral("work"), QStringLiteral("broken"), QStringLiteral("home")}));
        // Stored at once, not only when the window closes: a start after a crash ticks them again.
        QCOMPARE(LoadMainSettings(UserContext().Keys).PopServers, frm->Settings.PopServers);
        SaveScreenshot(*frm, QStringLiteral("mainwindow-after-receive"));
    }

    // F9 with "receive first": the agent receives, then sends; afterwards the local filter runs by
    // itself and moves by sender with the "news,-" rule, the first of two matching rules winning.
    void transmitReceivesFirstThenSendsThenFilters()
    {
        QTemporaryDir received;
        TestServer smtp;
        QVERIFY(smtp.StartSmtp(received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}).isEmpty());
        Pop3Mailbox box;
        QVERIFY(box.Start().isEmpty());
        box.SetMessages({MessageFrom("NewsBot <newsbot@shop.example>", "offer"),
                         MessageFrom("Bob <bob@example.org>", "news about bob"),
                         MessageFrom("Bob <bob@example.org>", "hello")});
        AddAccount("Anna", box.Address(), smtp.Address());
        QVERIFY(SaveFilterRules(Paths().Data.FilterFile,
                                {"-FROM: \"news,-\" -MOVETO: \"Archiv\"", "-SUBJECT: \"news\" -MOVETO: \"Neuigkeiten\""}));
        for (const char* name : {"Archiv", "Neuigkeiten"})
            QVERIFY(LumaroTest::CreateFolder(FolderPaths(QString::fromLatin1(name))));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->Settings.ActionSmtpServer = QString::fromUtf8(smtp.Address());
        frm->Settings.ActionPopServers = {QStringLiteral("Anna")};
        frm->Settings.ActionFirstReceive = true;
        frm->Settings.General.AutoLocalFilter = true;
        AppendToOutbox(*frm, {OutboxMessage("reply")});
        QVERIFY(frm->Actions.TransmitItm->isEnabled());

        QTest::keyClick(frm.get(), Qt::Key_F9);

        QCOMPARE(AgentRuns(), (QStringList{QLatin1String("POP3 ") + box.Address(), QLatin1String("SMTP ") + smtp.Address()}));
        QCOMPARE(Subjects(TSpecialFolder::Sent), QByteArray("reply(read)"));
        QCOMPARE(QDir(received.path()).entryList({QStringLiteral("*.eml")}).size(), 1);
        QCOMPARE(Subjects(TSpecialFolder::Inbox), QByteArray("hello"));
        QCOMPARE(Subjects(FolderPaths(QStringLiteral("Archiv"))), QByteArray("offer"));
        QCOMPARE(Subjects(FolderPaths(QStringLiteral("Neuigkeiten"))), QByteArray("news about bob"));
        QCOMPARE(frm->CurrentFolder(), SpecialFolderName(TSpecialFolder::Inbox));
        QCOMPARE(frm->MessageModel->rowCount(), 1);
    }

    // Keep and delete rules are carried out by the agent; the window says how many stayed.
    void receiveReportsWhatTheServerRulesLeft()
    {
        Pop3Mailbox box;
        QVERIFY(box.Start().isEmpty());
        const QByteArray large = TestMessage("<big@x>", "Mon, 9 Mar 2026 10:00:00 +0100", QByteArray(3000, 'x'));
        box.SetMessages({MessageFrom("win@example.org", "You won the LOTTERY"), large, MessageFrom("bob@example.org", "fine")});
        AddAccount("Anna", box.Address());
        QVERIFY(SaveFilterRules(Paths().Data.FilterFile, {"-SUBJECT: \"lottery\" -DELETE", "-LARGER THAN: \"2\" -KEEP"}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        WhenModal<TReceiveMultipleFrm>([](TReceiveMultipleFrm& dialog) {
            dialog.Listbox->item(0)->setCheckState(Qt::Checked);
            dialog.ReceiveBtn->click();
        });
        frm->Actions.ReceiveItm->trigger();

        QCOMPARE(box.Messages(), QByteArrayList{large});
        QCOMPARE(Subjects(TSpecialFolder::Inbox), QByteArray("fine"));
        QVERIFY2(frm->StatusPanel1->text().contains(FillIn(MessageText(401), QStringLiteral("1"))),
                 qPrintable(frm->StatusPanel1->text()));
        SaveScreenshot(*frm, QStringLiteral("mainwindow-after-server-rules"));
    }

    // New mail is not appended out of sight: after the receive the first new message is scrolled into
    // view, the selection stays where it was, and the Inbox counts the new unread messages.
    void receiveShowsTheFirstNewMessage()
    {
        Pop3Mailbox box;
        QVERIFY(box.Start().isEmpty());
        box.SetMessages({TestMessage("<n1@x>", "Mon, 9 Mar 2026 10:00:00 +0100", "new one"),
                         TestMessage("<n2@x>", "Mon, 9 Mar 2026 11:00:00 +0100", "new two")});
        AddAccount("Anna", box.Address());
        const TFolderFiles inbox = SpecialFolderPaths(TSpecialFolder::Inbox);
        QVERIFY(LumaroTest::CreateFolder(inbox));
        for (int i = 0; i < 150; ++i)
            QVERIFY(LumaroTest::AddMessage(inbox, {"old@example.org", "anna@example.org", "old " + QByteArray::number(i), {}, mfRead}));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(frm->FolderTv->topLevelItem(0)->text(0), SpecialFolderName(TSpecialFolder::Inbox));
        WhenModal<TReceiveMultipleFrm>([](TReceiveMultipleFrm& dialog) {
            dialog.Listbox->item(0)->setCheckState(Qt::Checked);
            dialog.ReceiveBtn->click();
        });
        Click(*frm, "ReceiveSpd");

        QCOMPARE(frm->MessageModel->rowCount(), 152);
        const QModelIndex first = frm->MessageModel->index(150, 0);
        QCOMPARE(frm->MessageModel->Entry(150).Record, 151);
        QVERIFY(frm->MessageLv->viewport()->rect().contains(frm->MessageLv->visualRect(first)));
        QVERIFY(!frm->MessageLv->selectionModel()->isRowSelected(150, {}));
        QCOMPARE(frm->MessageLv->SelectedRows(), QList<int>{0});
        QCOMPARE(frm->FolderTv->topLevelItem(0)->text(0), SpecialFolderName(TSpecialFolder::Inbox) + QLatin1String(" (2)"));
        // The columns make room for the new senders, which are longer than the old ones.
        const QString sender = frm->MessageModel->index(150, 0).data().toString();
        QFont bold = frm->MessageLv->font();
        bold.setBold(true);
        QVERIFY(frm->MessageLv->columnWidth(0) >= QFontMetrics(bold).horizontalAdvance(sender));
        SaveScreenshot(*frm, QStringLiteral("mainwindow-new-mail-in-view"));
    }

    // "Sofort senden" in a message window: the main window files the work file into the Outbox, then
    // sends that one message through the SMTP server of the sender's account; another Outbox message
    // stays. A server that cannot be reached leaves it in the Outbox, and the window says so and why.
    void sendNowFromTheMessageWindow_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::newRow("reaches the server") << true;
        QTest::newRow("server unreachable") << false;
    }

    void sendNowFromTheMessageWindow()
    {
        QFETCH(bool, reachable);
        QTemporaryDir received;
        TestServer smtp;
        QVERIFY(smtp.StartSmtp(received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {}).isEmpty());
        AddAccount("Other", "127.0.0.1:1", "127.0.0.1:2");
        AddAccount("Anna", "127.0.0.1:1", reachable ? smtp.Address() : QByteArray("127.0.0.1:1"));
        QVERIFY(QFile::copy(QStringLiteral(FAKE_SENDNOW_LMVIEW), Paths().Program.LmviewExe));
        qputenv("LUMARO_TEST_SENDNOW_ACCOUNT", "Anna");
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(frm->ListenForWindowMessages());
        AppendToOutbox(*frm, {OutboxMessage("waiting")});

        TNewMessageSource source;
        source.Recipients = "bob@example.org";
        source.Subject = "sent at once";
        frm->NewMessage(false, source);

        if (reachable) {
            QTRY_COMPARE_WITH_TIMEOUT(Subjects(TSpecialFolder::Sent), QByteArray("sent at once(read)"), 20000);
            QCOMPARE(Subjects(TSpecialFolder::Outbox), QByteArray("waiting"));
            QCOMPARE(QDir(received.path()).entryList({QStringLiteral("*.eml")}).size(), 1);
            QCOMPARE(AgentRuns(), QStringList{QLatin1String("SMTP ") + smtp.Address()});
            QCOMPARE(frm->StatusPanel1->text(), FillIn(MessageText(402), QStringLiteral("1")));
            QVERIFY(m_told.isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(m_told.size(), 1, 20000);
            QCOMPARE(m_told.first(), FillIn(MessageText(416), MessageText(420)));
            QCOMPARE(Subjects(TSpecialFolder::Outbox), QByteArray("waiting sent at once"));
            QVERIFY(Subjects(TSpecialFolder::Sent).isEmpty());
        }
        QVERIFY(frm->FolderTv->isEnabled());
        QVERIFY(!TakeSendNowRequest());
        qunsetenv("LUMARO_TEST_SENDNOW_ACCOUNT");
    }

    // F9 before Transmit was ever set up opens its settings first; OK there goes on with the transfer,
    // Cancel leaves everything as it is.
    void transmitWithoutSettingsAsksForThemFirst_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("settings confirmed") << true;
        QTest::newRow("settings cancelled") << false;
    }

    void transmitWithoutSettingsAsksForThemFirst()
    {
        QFETCH(bool, confirm);
        Pop3Mailbox box;
        QVERIFY(box.Start().isEmpty());
        box.SetMessages({MessageFrom("Bob <bob@example.org>", "hello")});
        AddAccount("Anna", box.Address());
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(frm->Actions.TransmitItm->isEnabled());
        bool shown = false;
        WhenModal<TSendReceiveConfFrm>([&](TSendReceiveConfFrm& dialog) {
            shown = true;
            SaveScreenshot(dialog, QStringLiteral("transmit-settings-from-f9"));
            if (!confirm) {
                dialog.reject();
                return;
            }
            dialog.Listbox->item(0)->setCheckState(Qt::Checked);
            dialog.ActionIgnoreSmtpChk->setChecked(true);
            dialog.OKBtn->click();
        });

        QTest::keyClick(frm.get(), Qt::Key_F9);

        QVERIFY(shown);
        if (confirm) {
            QCOMPARE(AgentRuns(), QStringList{QLatin1String("POP3 ") + box.Address()});
            QCOMPARE(Subjects(TSpecialFolder::Inbox), QByteArray("hello"));
            QCOMPARE(frm->Settings.ActionPopServers, QStringList{QStringLiteral("Anna")});
        } else {
            QVERIFY(AgentRuns().isEmpty());
            QVERIFY(frm->Settings.ActionPopServers.isEmpty());
        }
    }

    // Where dial-up connections exist: F9 offline asks to go online first (No leaves everything as it
    // is); the tool button shows a running connection, and releasing it asks to hang up.
    void dialUpQuestionsAndButton()
    {
        AddAccount("Anna", "127.0.0.1:1");
        auto backend = std::make_shared<ScriptedRasBackend>();
        backend->EntryNames = {QStringLiteral("Provider")};
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        frm->UseRasBackend(backend);
        frm->Settings.ActionPopServers = {QStringLiteral("Anna")};
        frm->Settings.ActionIgnoreSmtp = true;
        frm->RefreshCommandStates();
        QAction* button = frm->Actions.DialupSpd;
        QVERIFY(!button->isChecked() && !button->isEnabled());

        m_confirmAnswer = false;
        QTest::keyClick(frm.get(), Qt::Key_F9);
        QCOMPARE(m_confirmed, QStringList{MessageText(60)});
        QVERIFY(AgentRuns().isEmpty());

        backend->Active = {{QStringLiteral("Provider"), QStringLiteral("conn-1"), true}};
        frm->UseRasBackend(backend);
        QVERIFY(button->isChecked() && button->isEnabled());
        QCOMPARE(button->toolTip(), FillIn(MessageText(67), QStringLiteral("Provider")));
        m_confirmAnswer = true;
        button->toggle();
        QCOMPARE(m_confirmed.last(), FillIn(MessageText(65), QStringLiteral("Provider")));
        QCOMPARE(backend->HungUp, QStringList{QStringLiteral("conn-1")});
    }
};

QTEST_MAIN(TestTransferWindow)
#include "tst_transferwindow.moc"

// The server manager on an IMAP account against Dovecot requiring TLS: the inbox and a ticked folder
// listed from ENVELOPE and RFC822.SIZE, fetching, deleting and fetching-and-deleting by UID folder by
// folder, a message another client removed meanwhile, a folder recreated meanwhile, a ticked folder
// the server lacks, and the agent's next receive, which fetches nothing the manager took. Then the
// window as a person uses it, in German and English: look, mark, fetch one, delete one, close it
// every way; and a quick connection over IMAP through the connect window. Pictures go to
// $LUMARO_TEST_SCREENSHOTS when it is set.

#include "AgentFixture.h"
#include "CheckFile.h"
#include "Connect.h"
#include "ConnectPlan.h"
#include "DBAccountsFunctions.h"
#include "EnhListView.h"
#include "LmserverMain.h"
#include "LmserverTexts.h"
#include "MessageListModel.h"
#include "ServerManager.h"
#include "SharedFunctions.h"
#include "TableMarks.h"
#include "TestServers.h"
#include "tk_langlib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <utility>

#include <algorithm>

namespace {

QByteArray MessageNumber(int n)
{
    const QByteArray number = QByteArray::number(n);
    return "From: Sender " + number + " <s" + number + "@example.org>\r\nTo: alice@example.org\r\nSubject: Message " + number
           + "\r\nDate: Mon, 2 Mar 2026 10:0" + number + ":00 +0100\r\nMessage-ID: <" + number
           + "@example.org>\r\n\r\nBody of message " + number + "\r\n";
}

void SaveScreenshot(QWidget& window, const QString& name)
{
    const QString dir = qEnvironmentVariable("LUMARO_TEST_SCREENSHOTS");
    if (!dir.isEmpty())
        window.grab().save(QDir(dir).filePath(name + QLatin1String(".png")));
}

} // namespace

class TestLmserverImap : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetLanguage(2);
        QString error = TestServer::MakeCertificates(m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = m_server.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init()
    {
        m_agent = std::make_unique<AgentInstallation>();
        QVERIFY(m_agent->IsReady());
        // This process works in the agent's installation, as the server manager started beside it.
        m_registry = qgetenv("LUMARO_REGISTRY");
        qputenv("LUMARO_REGISTRY", QFile::encodeName(m_agent->RegistryFile()));
        InitProgramForActiveUser(m_agent->Program());
        m_statuses.clear();
        CreateAccount();
        TqmIMAP imap;
        Connect(imap);
        imap.Select(QStringLiteral("INBOX"));
        imap.DeleteMessages(imap.SearchUids());
        for (int n = 1; n <= 3; ++n)
            imap.Append(QStringLiteral("INBOX"), MessageNumber(n), {});
        imap.CloseConnection();
    }

    void cleanup()
    {
        m_agent.reset();
        qputenv("LUMARO_REGISTRY", m_registry);
    }

    void listsCarriesOutAndTheAgentRepeatsNothing()
    {
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Servers().size(), 1);
        QVERIFY2(!manager.Table.Servers().first().Failed, qPrintable(manager.Table.Servers().first().Error));
        QCOMPARE(manager.Table.Lines().size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const TMessageLine& line = manager.Table.Lines().at(n - 1);
            QCOMPARE(line.Subject, QStringLiteral("Message %1").arg(n));
            QVERIFY2(line.Sender.contains(QStringLiteral("Sender %1").arg(n)), qPrintable(line.Sender));
            QCOMPARE(line.Size, QString::number(MessageNumber(n).size()));
        }
        manager.Table.SetMark({0}, Mark::Get);
        manager.Table.SetMark({1}, Mark::Delete);
        manager.Table.SetMark({2}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        // The deleted messages' lines leave the list; the fetched one stays, marked as fetched.
        QCOMPARE(Marks(manager.Table), QStringList{Mark::Got});
        QCOMPARE(SpoolMessages(), (QByteArrayList{MessageNumber(1), MessageNumber(3)}));
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 1"});
        QCOMPARE(ReadCheckFile(CheckFile()).size(), 2);

        TAgentJob job;
        QVERIFY(FillReceiveJob(job, "Home", KeepModeFromAccount));
        QCOMPARE(job.Action, QByteArray("IMAP"));
        QVERIFY(m_agent->WriteJob(job));
        const AgentResult result = m_agent->Run();
        QVERIFY2(result.ExitCode == 0, result.Errors.constData());
        QCOMPARE(SpoolMessages(), QByteArrayList());
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 1"});
    }

    void messageRemovedMeanwhileIsSkipped()
    {
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Lines().size(), 3);
        {
            TqmIMAP other;
            Connect(other);
            other.Select(QStringLiteral("INBOX"));
            other.DeleteMessages({manager.Table.Lines().at(1).Uid});
            other.CloseConnection();
        }
        manager.Table.SetMark({0, 1}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::GetDelete, Mark::Nothing}));
        QVERIFY2(m_statuses.contains(LmserverMessage(LmserverText::MessageChanged, QStringLiteral("2"))),
                 qPrintable(m_statuses.join(QLatin1Char('\n'))));
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(1)});
        QCOMPARE(ServerSubjects(), QByteArrayList{"Message 3"});
    }

    // Two folders: every line says its folder, each folder's marks act on that folder only, and
    // the check file names each message by its folder, so the agent takes none of them again.
    void twoFoldersListedAndCarriedOutPerFolder()
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapMarkRead = true;
        WriteAccountSecurity("Home", security);
        FillDraftsFolder({4, 5});
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QVERIFY2(!manager.Table.Servers().first().Failed, qPrintable(manager.Table.Servers().first().Error));
        QCOMPARE(Column(manager.Table, &TMessageLine::Subject), (QStringList{"Message 1", "Message 2", "Message 3", "Message 4", "Message 5"}));
        QCOMPARE(Column(manager.Table, &TMessageLine::Folder), (QStringList{"INBOX", "INBOX", "INBOX", Drafts, Drafts}));
        QCOMPARE(manager.Table.Servers().first().ListedFolders.size(), 2);
        QVERIFY(m_statuses.contains(FolderCheckingStatus(Drafts)));

        manager.Table.SetMark({0, 3}, Mark::Get);
        manager.Table.SetMark({1, 4}, Mark::GetDelete);
        manager.Table.SetMark({2}, Mark::Delete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QCOMPARE(Column(manager.Table, &TMessageLine::Subject), (QStringList{"Message 1", "Message 4"}));
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::Got, Mark::Got}));
        QCOMPARE(SpoolMessages(), (QByteArrayList{MessageNumber(1), MessageNumber(2), MessageNumber(4), MessageNumber(5)}));
        // What stays on the server is marked read, as the account asks of fetched mail.
        QCOMPARE(ServerSubjects(QStringLiteral("INBOX"), "\\Seen"), QByteArrayList{"Message 1"});
        QCOMPARE(ServerSubjects(Drafts, "\\Seen"), QByteArrayList{"Message 4"});
        QFile checkFile(CheckFile());
        QVERIFY(checkFile.open(QIODevice::ReadOnly));
        const QByteArray checkLines = checkFile.readAll();
        QCOMPARE(checkLines.count("INBOX;UIDVALIDITY="), 2);
        QCOMPARE(checkLines.count("Entw&APw-rfe;UIDVALIDITY="), 2);

        QVERIFY(RunAgent());
        QCOMPARE(SpoolMessages(), QByteArrayList());
    }

    // A folder deleted and made anew holds other messages under the listed UIDs: nothing of it is
    // touched, and the other folder's marks are still carried out.
    void recreatedFolderIsLeftAlone()
    {
        FillDraftsFolder({4});
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        QCOMPARE(manager.Table.Lines().size(), 4);
        FillDraftsFolder({5});
        manager.Table.SetMark({0, 3}, Mark::GetDelete);
        manager.CarryOut(Paths().Data.SpoolDir);
        QVERIFY2(m_statuses.contains(LmserverMessage(LmserverText::FolderRecreatedNamed, Drafts)),
                 qPrintable(m_statuses.join(QLatin1Char('\n'))));
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::Nothing, Mark::Nothing, Mark::GetDelete}));
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(1)});
        QCOMPARE(ServerSubjects(Drafts), QByteArrayList{"Message 5"});
        QCOMPARE(ServerSubjects(), (QByteArrayList{"Message 2", "Message 3"}));
    }

    // A ticked folder the server does not have is named on the mailbox's node; the inbox is listed.
    void missingTickedFolderLeavesTheInboxListed()
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapFolders = {"Gibt es nicht"};
        WriteAccountSecurity("Home", security);
        TServerManager manager(m_settings, Events());
        manager.Connect(PlanConnect(m_settings), true);
        const TServerEntry& entry = manager.Table.Servers().first();
        QVERIFY(!entry.Failed);
        QCOMPARE(manager.Table.Lines().size(), 3);
        QVERIFY2(entry.Error.contains(QLatin1String("Gibt es nicht")), qPrintable(entry.Error));
        QVERIFY(m_statuses.contains(entry.Error));
    }

    // Look, mark, fetch one, delete one; then close the window each way a person does.
    void windowOnTwoFolders_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("inbox");
        QTest::addColumn<QString>("folderCaption");
        QTest::newRow("de") << 0 << QStringLiteral("Posteingang") << QStringLiteral("Ordner");
        QTest::newRow("en") << 2 << QStringLiteral("Inbox") << QStringLiteral("Folder");
    }
    void windowOnTwoFolders()
    {
        QFETCH(int, language);
        QFETCH(QString, inbox);
        QFETCH(QString, folderCaption);
        SetLanguage(language);
        FillDraftsFolder({4, 5});
        m_settings.SMDeleteMails = false;
        WriteLmserverSettings(m_settings);
        std::unique_ptr<TLmserverFrm> frm = OpenListed();
        QVERIFY(frm);
        QCOMPARE(frm->Model->rowCount(), 5);
        QCOMPARE(frm->Model->headerData(TMessageListModel::ColFolder, Qt::Horizontal, Qt::DisplayRole).toString(), folderCaption);
        const int fetchRow = RowOfSubject(*frm, QStringLiteral("Message 4"));
        const int deleteRow = RowOfSubject(*frm, QStringLiteral("Message 2"));
        QCOMPARE(Cell(*frm, fetchRow, TMessageListModel::ColFolder), Drafts);
        QCOMPARE(Cell(*frm, deleteRow, TMessageListModel::ColFolder), inbox);
        // The folder column is inside the window: nothing to scroll to see it.
        const QHeaderView* header = frm->Listview->header();
        QVERIFY(!header->isSectionHidden(TMessageListModel::ColFolder));
        QVERIFY(header->sectionViewportPosition(TMessageListModel::ColFolder) + header->sectionSize(TMessageListModel::ColFolder)
                <= frm->Listview->viewport()->width());

        frm->Listview->setFocus();
        frm->Listview->clearSelection();
        frm->Listview->SelectRow(fetchRow);
        QTest::keyClick(frm->Listview, Qt::Key_Insert);
        frm->Listview->clearSelection();
        frm->Listview->SelectRow(deleteRow);
        QTest::keyClick(frm->Listview, Qt::Key_Delete);
        const QString suffix = language == 0 ? QStringLiteral("de") : QStringLiteral("en");
        SaveScreenshot(*frm, QStringLiteral("lmserver_imap_marked_") + suffix);
        QTest::keyClick(frm->Listview, Qt::Key_F9);
        QTRY_VERIFY(!frm->Manager.Busy());
        QCOMPARE(frm->StatusLbl->text(), MessageText(LmserverText::ConnectionClosed));
        QCOMPARE(SpoolMessages(), QByteArrayList{MessageNumber(4)});
        QCOMPARE(frm->Model->rowCount(), 4);
        QCOMPARE(ServerSubjects(), (QByteArrayList{"Message 1", "Message 3"}));
        QCOMPARE(ServerSubjects(Drafts).size(), 2);
        SaveScreenshot(*frm, QStringLiteral("lmserver_imap_done_") + suffix);

        // Esc, then the window manager's close button, then File > Exit: each closes the window.
        QTest::keyClick(frm.get(), Qt::Key_Escape);
        QTRY_VERIFY(!frm->isVisible());
        frm = OpenListed();
        QVERIFY(frm && frm->close());
        frm = OpenListed();
        QVERIFY(frm);
        frm->QuitItm->trigger();
        QTRY_VERIFY(!frm->isVisible());
    }

    // The connect window offers IMAP for a quick connection: the server's caption and the port
    // hint follow the protocol, the headers choice, which IMAP does not need, is off, and the
    // choice is remembered.
    void quickConnectOverImap_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("imapCaption");
        QTest::newRow("de") << 0 << QStringLiteral("&IMAP-Server:");
        QTest::newRow("en") << 2 << QStringLiteral("&IMAP server:");
    }
    void quickConnectOverImap()
    {
        QFETCH(int, language);
        QFETCH(QString, imapCaption);
        SetLanguage(language);
        auto frm = std::make_unique<TLmserverFrm>(QStringList());
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        bool answered = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* form = qobject_cast<TConnectFrm*>(QApplication::activeModalWidget());
            if (!form || std::exchange(answered, true))
                return;
            form->QuickChk->setChecked(true);
            form->ProtocolCmb->setCurrentIndex(1);
            QCOMPARE(form->ServerLbl->text(), imapCaption);
            QVERIFY(form->PortHintLbl->text().contains(QLatin1String(":993")));
            QVERIFY(!form->HeadersChk->isEnabled());
            // STARTTLS on the plain port, as without a port on 143.
            form->ServerEdt->setText(QString::fromUtf8(m_server.TlsAddress(m_server.Port())));
            form->UserEdt->setText(QStringLiteral("alice"));
            form->PasswordEdt->setText(QStringLiteral("secret"));
            SaveScreenshot(*form, QStringLiteral("lmserver_connect_imap_") + (language == 0 ? "de" : "en"));
            QTest::mouseClick(form->ConnectBtn, Qt::LeftButton);
        });
        answer.start(20);
        frm->ConnectItm->trigger();
        QVERIFY(answered);
        QTRY_VERIFY(!frm->Manager.Busy());
        QCOMPARE(Column(frm->Manager.Table, &TMessageLine::Subject), (QStringList{"Message 1", "Message 2", "Message 3"}));
        frm.reset();
        QCOMPARE(ReadLmserverSettings().QuickProtocol, TIncomingProtocol::Imap);
    }

private:
    const QString Drafts = QString::fromUtf8("Entwürfe");

    // The account ticks the folder Entwürfe, made anew (another UIDVALIDITY) with the numbered messages.
    void FillDraftsFolder(const QList<int>& numbers)
    {
        TAccountSecurity security = ReadAccountSecurity("Home");
        security.ImapFolders = {Drafts.toUtf8()};
        WriteAccountSecurity("Home", security);
        TqmIMAP imap;
        Connect(imap);
        for (const TqmImapFolder& folder : imap.ListFolders())
            if (folder.Name == Drafts)
                imap.DeleteFolder(Drafts);
        imap.CreateFolder(Drafts);
        for (int n : numbers)
            imap.Append(Drafts, MessageNumber(n), {});
        imap.CloseConnection();
    }

    bool RunAgent()
    {
        TAgentJob job;
        if (!FillReceiveJob(job, "Home", KeepModeFromAccount) || !m_agent->WriteJob(job))
            return false;
        const AgentResult result = m_agent->Run();
        if (result.ExitCode != 0)
            qWarning("%s", result.Errors.constData());
        return result.ExitCode == 0;
    }

    static QStringList Column(const TMessageTable& table, QString TMessageLine::*field)
    {
        QStringList texts;
        for (const TMessageLine& line : table.Lines())
            texts.append(line.*field);
        return texts;
    }

    static QString Cell(const TLmserverFrm& frm, int row, int column)
    {
        return frm.Model->data(frm.Model->index(row, column), Qt::DisplayRole).toString();
    }

    static int RowOfSubject(const TLmserverFrm& frm, const QString& subject)
    {
        for (int row = 0; row < frm.Model->rowCount(); ++row)
            if (Cell(frm, row, TMessageListModel::ColSubject) == subject)
                return row;
        return -1;
    }

    // The window started on the account with "/update", once both folders are listed.
    static std::unique_ptr<TLmserverFrm> OpenListed()
    {
        auto frm = std::make_unique<TLmserverFrm>(QStringList{QStringLiteral("/update")});
        frm->show();
        const bool listed = QTest::qWaitForWindowExposed(frm.get())
                            && QTest::qWaitFor([&] { return !frm->Manager.Busy() && frm->Treeview->topLevelItemCount() == 1; }, 20000);
        return listed ? std::move(frm) : nullptr;
    }

    TServerEvents Events()
    {
        TServerEvents events;
        events.Status = [this](const QString& text) { m_statuses.append(text); };
        return events;
    }

    QByteArray ServerAddress() const { return m_server.TlsAddress(m_server.TlsPort()); }

    void CreateAccount()
    {
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Home";
        account.PopServer = ServerAddress();
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = true;
        QCOMPARE(WriteAccount(0, account), 1);
        TAccountSecurity security;
        security.PopSecurity = TqmSecurity::secTls;
        security.Incoming = TIncomingProtocol::Imap;
        WriteAccountSecurity("Home", security);
        m_settings.QuickConnect = false;
        m_settings.AccountsNames = {QStringLiteral("Home")};
    }

    void Connect(TqmIMAP& imap) const
    {
        imap.Server = ServerAddress();
        imap.Security = TqmSecurity::secTls;
        imap.UserName = "alice";
        imap.Password = "secret";
        imap.SetTimeOut(20);
        imap.OpenConnection();
    }

    // The subjects of the folder's messages, of those with `flag` when one is given.
    QByteArrayList ServerSubjects(const QString& folder = QStringLiteral("INBOX"), const QByteArray& flag = {}) const
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(folder, true);
        QByteArrayList subjects;
        for (const TqmImapMessageInfo& info : imap.FetchInfo(imap.SearchUids()))
            if (flag.isEmpty() || info.Flags.contains(flag))
                subjects.append(info.Headers.GetFieldBody("Subject"));
        imap.CloseConnection();
        return subjects;
    }

    // The spool's messages in name order; the spool is emptied, as the main client does.
    QByteArrayList SpoolMessages() const
    {
        const QStringList files = AgentInstallation::EmlFiles(Paths().Data.SpoolDir);
        QByteArrayList messages = AgentInstallation::Contents(files);
        for (const QString& file : files)
            QFile::remove(file);
        std::sort(messages.begin(), messages.end());
        return messages;
    }

    QString CheckFile() const { return CheckFileName(Paths().Data.MailDir, ServerAddress(), "alice"); }

    QTemporaryDir m_certificates;
    TestServer m_server;
    std::unique_ptr<AgentInstallation> m_agent;
    TLmserverSettings m_settings;
    QStringList m_statuses;
    QByteArray m_registry;
};

QTEST_MAIN(TestLmserverImap)
#include "tst_lmserver_imap_e2e.moc"

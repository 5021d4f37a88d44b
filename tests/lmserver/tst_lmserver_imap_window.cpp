// The server manager's window on an IMAP account with two folders against Dovecot requiring TLS, as
// a person uses it: the list with its folder column, marking with the keys, carrying out, closing
// the window with Esc, the close button and the menu; and the connect window's quick connection
// over IMAP. German and English; pictures go to $LUMARO_TEST_SCREENSHOTS when it is set.

#include "Connect.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "EnhListView.h"
#include "Konstanten.h"
#include "LmserverMain.h"
#include "LmserverTexts.h"
#include "MessageListModel.h"
#include "ScopedRegistry.h"
#include "SharedFunctions.h"
#include "TestServers.h"
#include "qmimap.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

namespace {

void SaveScreenshot(QWidget& window, const QString& name)
{
    const QString dir = qEnvironmentVariable("LUMARO_TEST_SCREENSHOTS");
    if (!dir.isEmpty())
        window.grab().save(QDir(dir).filePath(name + QLatin1String(".png")));
}

QByteArray Message(int n)
{
    const QByteArray number = QByteArray::number(n);
    return "From: Absender " + number + " <s" + number + "@example.org>\r\nTo: alice@example.org\r\nSubject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?= "
           + number + "\r\nDate: Tue, 3 Mar 2026 09:1" + number + ":00 +0100\r\nMessage-ID: <w" + number
           + "@example.org>\r\n\r\nText " + number + "\r\n";
}

const QString Drafts = QString::fromUtf8("Entwürfe");

} // namespace

class TestLmserverImapWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_certificates;
    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    QByteArray ServerAddress() const { return m_server.TlsAddress(m_server.TlsPort()); }

    void Connect(TqmIMAP& imap) const
    {
        imap.Server = ServerAddress();
        imap.Security = TqmSecurity::secTls;
        imap.UserName = "alice";
        imap.Password = "secret";
        imap.SetTimeOut(20);
        imap.OpenConnection();
    }

    // The inbox holds messages 1 to 3, the folder Entwürfe 4 and 5.
    void FillMailbox()
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(QStringLiteral("INBOX"));
        imap.DeleteMessages(imap.SearchUids());
        for (const TqmImapFolder& folder : imap.ListFolders())
            if (folder.Name == Drafts)
                imap.DeleteFolder(Drafts);
        imap.CreateFolder(Drafts);
        for (int n = 1; n <= 5; ++n)
            imap.Append(n <= 3 ? QStringLiteral("INBOX") : Drafts, Message(n), {});
        imap.CloseConnection();
    }

    QByteArrayList ServerSubjects(const QString& folder) const
    {
        TqmIMAP imap;
        Connect(imap);
        imap.Select(folder, true);
        QByteArrayList subjects;
        for (const TqmImapMessageInfo& info : imap.FetchInfo(imap.SearchUids()))
            subjects.append(info.Headers.GetFieldBody("Subject"));
        imap.CloseConnection();
        return subjects;
    }

    // A fresh installation whose IMAP account "Privat" ticks the folder Entwürfe and is the one
    // the server manager connects to.
    void FreshInstallation(int language)
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        TRegistryKey().WriteInteger(QStringLiteral("Language"), language);
        InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("lmserver")));
        QVERIFY(CreateAccountsDatabase());
        TAccount account;
        account.Name = "Privat";
        account.PopServer = ServerAddress();
        account.PopUsername = "alice";
        account.PopPassword = "secret";
        account.PopKeepMails = true;
        QCOMPARE(WriteAccount(0, account), 1);
        TAccountSecurity security;
        security.PopSecurity = TqmSecurity::secTls;
        security.Incoming = TIncomingProtocol::Imap;
        security.ImapFolders = {Drafts.toUtf8()};
        WriteAccountSecurity("Privat", security);
        TLmserverSettings settings;
        settings.AccountsNames = {QStringLiteral("Privat")};
        settings.SMDeleteMails = false;
        WriteLmserverSettings(settings);
    }

    QStringList SpoolFiles() const
    {
        return QDir(Paths().Data.SpoolDir).entryList({QStringLiteral("lmserver_*.eml")}, QDir::Files);
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

    // Opens the window on the account and waits until both folders are listed.
    std::unique_ptr<TLmserverFrm> OpenListed()
    {
        auto frm = std::make_unique<TLmserverFrm>(QStringList{QStringLiteral("/update")});
        frm->show();
        if (!QTest::qWaitForWindowExposed(frm.get()))
            return nullptr;
        frm->activateWindow();
        QTest::qWaitForWindowActive(frm.get());
        const bool listed = QTest::qWaitFor([&] { return !frm->Manager.Busy() && frm->Treeview->topLevelItemCount() == 1; }, 20000);
        return listed ? std::move(frm) : nullptr;
    }

private slots:
    void initTestCase()
    {
        QString error = TestServer::MakeCertificates(m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = m_server.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void init() { FillMailbox(); }

    // Look, mark, fetch one, delete one; then close the window each way a person does.
    void twoFoldersMarkedCarriedOutAndClosed_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("inbox");
        QTest::addColumn<QString>("folderCaption");
        QTest::addColumn<QString>("closed");
        QTest::newRow("de") << 0 << QStringLiteral("Posteingang") << QStringLiteral("Ordner") << QStringLiteral("Verbindung beendet");
        QTest::newRow("en") << 2 << QStringLiteral("Inbox") << QStringLiteral("Folder") << QStringLiteral("Connection closed");
    }
    void twoFoldersMarkedCarriedOutAndClosed()
    {
        QFETCH(int, language);
        QFETCH(QString, inbox);
        QFETCH(QString, folderCaption);
        QFETCH(QString, closed);
        const QString suffix = language == 0 ? QStringLiteral("de") : QStringLiteral("en");
        FreshInstallation(language);
        std::unique_ptr<TLmserverFrm> frm = OpenListed();
        QVERIFY(frm);
        QCOMPARE(frm->Model->rowCount(), 5);
        QVERIFY(frm->Treeview->topLevelItem(0)->text(0).endsWith(QLatin1String("(alice): 5 ") + MessageText(LmserverText::Messages)));
        QVERIFY(!frm->Listview->isColumnHidden(TMessageListModel::ColFolder));
        QCOMPARE(frm->Model->headerData(TMessageListModel::ColFolder, Qt::Horizontal, Qt::DisplayRole).toString(), folderCaption);
        const int fetchRow = RowOfSubject(*frm, QString::fromUtf8("Grüße 4"));
        const int deleteRow = RowOfSubject(*frm, QString::fromUtf8("Grüße 2"));
        QCOMPARE(Cell(*frm, fetchRow, TMessageListModel::ColFolder), Drafts);
        QCOMPARE(Cell(*frm, deleteRow, TMessageListModel::ColFolder), inbox);
        // The folder column is inside the window: nothing to scroll to see it.
        const QHeaderView* header = frm->Listview->header();
        QVERIFY2(header->sectionViewportPosition(TMessageListModel::ColFolder) + header->sectionSize(TMessageListModel::ColFolder)
                     <= frm->Listview->viewport()->width(),
                 "folder column cut off");

        frm->Listview->setFocus();
        frm->Listview->clearSelection();
        frm->Listview->SelectRow(fetchRow);
        QTest::keyClick(frm->Listview, Qt::Key_Insert);
        frm->Listview->clearSelection();
        frm->Listview->SelectRow(deleteRow);
        QTest::keyClick(frm->Listview, Qt::Key_Delete);
        SaveScreenshot(*frm, QStringLiteral("lmserver_imap_marked_") + suffix);
        QVERIFY(frm->ActionItm->isEnabled());
        QTest::keyClick(frm->Listview, Qt::Key_F9);
        QTRY_VERIFY(!frm->Manager.Busy());
        QCOMPARE(frm->StatusLbl->text(), closed);
        QCOMPARE(SpoolFiles().size(), 1);
        QCOMPARE(frm->Model->rowCount(), 4);
        QCOMPARE(RowOfSubject(*frm, QString::fromUtf8("Grüße 2")), -1);
        QCOMPARE(ServerSubjects(QStringLiteral("INBOX")).size(), 2);
        QCOMPARE(ServerSubjects(Drafts).size(), 2);
        SaveScreenshot(*frm, QStringLiteral("lmserver_imap_done_") + suffix);

        // Esc, then the window manager's close button, then File > Exit: each closes the window.
        QTest::keyClick(frm.get(), Qt::Key_Escape);
        QTRY_VERIFY(!frm->isVisible());
        frm = OpenListed();
        QVERIFY(frm);
        QCOMPARE(frm->Model->rowCount(), 4);
        QVERIFY(frm->close());
        QVERIFY(!frm->isVisible());
        frm = OpenListed();
        QVERIFY(frm);
        QVERIFY(frm->QuitItm->isEnabled());
        frm->QuitItm->trigger();
        QTRY_VERIFY(!frm->isVisible());
    }

    // The connect window offers IMAP for a quick connection: the server's caption and the port
    // hint follow the protocol, and the headers choice, which IMAP does not need, is off.
    void quickConnectOverImap_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("imapCaption");
        QTest::addColumn<QString>("popCaption");
        QTest::newRow("de") << 0 << QStringLiteral("&IMAP-Server:") << QStringLiteral("&POP3-Server:");
        QTest::newRow("en") << 2 << QStringLiteral("&IMAP server:") << QStringLiteral("&POP3 server:");
    }
    void quickConnectOverImap()
    {
        QFETCH(int, language);
        QFETCH(QString, imapCaption);
        QFETCH(QString, popCaption);
        FreshInstallation(language);
        auto window = std::make_unique<TLmserverFrm>(QStringList());
        TLmserverFrm& frm = *window;
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        bool answered = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* form = qobject_cast<TConnectFrm*>(QApplication::activeModalWidget());
            if (!form || answered)
                return;
            answered = true;
            form->QuickChk->setChecked(true);
            QVERIFY(form->HeadersChk->isEnabled());
            form->ProtocolCmb->setCurrentIndex(1);
            QCOMPARE(form->ServerLbl->text(), imapCaption);
            QVERIFY(form->PortHintLbl->text().contains(QLatin1String("993")));
            QVERIFY(!form->HeadersChk->isEnabled());
            form->ServerEdt->setText(QString::fromUtf8(m_server.TlsAddress(m_server.Port())));
            form->UserEdt->setText(QStringLiteral("alice"));
            form->PasswordEdt->setText(QStringLiteral("secret"));
            SaveScreenshot(*form, QStringLiteral("lmserver_connect_imap_") + (language == 0 ? "de" : "en"));
            form->ProtocolCmb->setCurrentIndex(0);
            QCOMPARE(form->ServerLbl->text(), popCaption);
            QVERIFY(form->PortHintLbl->text().contains(QLatin1String("995")));
            form->ProtocolCmb->setCurrentIndex(1);
            QTest::mouseClick(form->ConnectBtn, Qt::LeftButton);
        });
        answer.start(20);
        frm.ConnectItm->trigger();
        QVERIFY(answered);
        QTRY_VERIFY(!frm.Manager.Busy());
        QCOMPARE(frm.Model->rowCount(), 3);
        QVERIFY(!frm.Manager.Table.Servers().first().Failed);
        QCOMPARE(frm.Settings.QuickProtocol, TIncomingProtocol::Imap);
        QCOMPARE(ReadLmserverSettings().QuickProtocol, TIncomingProtocol::Pop3);
        frm.close();
        window.reset();
        // The choice is remembered for the next start.
        QCOMPARE(ReadLmserverSettings().QuickProtocol, TIncomingProtocol::Imap);
    }
};

QTEST_MAIN(TestLmserverImapWindow)
#include "tst_lmserver_imap_window.moc"

// The server manager's window offscreen against a real Dovecot: start with "/update", the list
// filling, the marking keys, carrying out the marks, the settings written at the end, and the
// connect and password windows. Pictures go to $LUMARO_TEST_SCREENSHOTS when it is set.

#include "Connect.h"
#include "EnhListView.h"
#include "FakeServer.h"
#include "LmserverMain.h"
#include "LmserverTexts.h"
#include "MessageListModel.h"
#include "Password.h"
#include "Pop3Mailbox.h"
#include "ScopedRegistry.h"
#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
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
    return "From: Sender " + number + " <s" + number + "@example.org>\r\nSubject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?= number " + number
        + "\r\nDate: Tue, 3 Mar 2026 09:1" + number + ":00 +0100\r\n\r\nText " + number + "\r\n";
}

} // namespace

class TestLmserverWindow : public QObject {
    Q_OBJECT

private:
    Pop3Mailbox m_mailbox;
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    void FreshInstallation(int language)
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        TRegistryKey().WriteInteger(QStringLiteral("Language"), language);
        InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("lmserver")));
        TLmserverSettings settings;
        settings.QuickConnect = true;
        settings.QuickServer = QString::fromUtf8(m_mailbox.Address());
        settings.QuickUsername = QStringLiteral("alice");
        settings.QuickPassword = "secret";
        // The test mailbox offers no TLS.
        settings.QuickPlainText = true;
        WriteLmserverSettings(settings);
    }

    QStringList SpoolFiles() const
    {
        return QDir(Paths().Data.SpoolDir).entryList({QStringLiteral("lmserver_*.eml")}, QDir::Files);
    }

private slots:
    void initTestCase()
    {
        const QString error = m_mailbox.Start();
        if (!error.isEmpty())
            QFAIL(qPrintable(error));
    }

    void updateListsMarksAndCarriesOut()
    {
        m_mailbox.SetMessages({Message(1), Message(2), Message(3)});
        FreshInstallation(0);
        auto frm = std::make_unique<TLmserverFrm>(QStringList{QStringLiteral("/update")});
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frm.get()));
        QTRY_COMPARE(frm->Model->rowCount(), 3);
        QTRY_VERIFY(!frm->Manager.Busy());
        QCOMPARE(frm->windowTitle(), QStringLiteral("Lumaro Mail Server Manager"));
        QVERIFY(frm->Treeview->topLevelItem(0)->text(0).endsWith(QLatin1String("(alice): 3 Nachrichten")));
        QCOMPARE(frm->Model->data(frm->Model->index(0, 0), Qt::DisplayRole).toString(), QString::fromUtf8("Grüße number 1"));
        QCOMPARE(frm->Listview->FocusedRow(), 0);
        QVERIFY(!frm->ActionItm->isEnabled());

        frm->Listview->setFocus();
        QTest::keyClick(frm->Listview, Qt::Key_Insert);
        QCOMPARE(frm->Manager.Table.Lines().at(0).MarkText, Mark::Get);
        QTest::keyClick(frm->Listview, Qt::Key_Space);
        QCOMPARE(frm->Manager.Table.Lines().at(0).MarkText, Mark::Delete);
        frm->Listview->clearSelection();
        frm->Listview->SelectRow(1);
        frm->MarkGetDeleteItm->trigger();
        QCOMPARE(frm->Manager.Table.Lines().at(0).MarkText, Mark::Delete);
        SaveScreenshot(*frm, QStringLiteral("lmserver_main"));
        QTest::keyClick(frm->Listview, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(frm->Listview->SelectedCount(), 3);
        QTest::keyClick(frm->Listview, Qt::Key_Insert);
        frm->MarkGetDeleteItm->trigger();
        QVERIFY(frm->ActionItm->isEnabled());

        QTest::keyClick(frm->Listview, Qt::Key_F9);
        QTRY_VERIFY(!frm->Manager.Busy());
        QVERIFY(m_mailbox.Messages().isEmpty());
        QCOMPARE(SpoolFiles().size(), 3);
        QCOMPARE(frm->Model->rowCount(), 0);
        QVERIFY(frm->Treeview->topLevelItem(0)->text(0).endsWith(QLatin1String("(alice): 0 Nachrichten")));
        QCOMPARE(frm->StatusLbl->text(), QStringLiteral("Verbindung beendet"));
        QCOMPARE(frm->ProgressBar->value(), 100);
        QVERIFY(!frm->ActionItm->isEnabled());
        SaveScreenshot(*frm, QStringLiteral("lmserver_main_done"));

        frm->Listview->setColumnWidth(TMessageListModel::ColSender, 123);
        frm.reset();
        const TRegistryKey columns(UserContext().Keys.Columns + QLatin1String("/lmserver"));
        QCOMPARE(columns.ReadInteger(QStringLiteral("Count"), -1), 5);
        QCOMPARE(columns.ReadInteger(QStringLiteral("Width1"), 0), 123);
    }

    // "Empfangen/Löschen" leaves the list as the server now is: deleted messages go, the count
    // follows, fetched ones show their mark, and the progress bar shows the pass finished.
    void carryingOutRefreshesTheList()
    {
        m_mailbox.SetMessages({Message(1), Message(2), Message(3), Message(4)});
        FreshInstallation(0);
        TLmserverFrm frm({QStringLiteral("/update")});
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QTRY_COMPARE(frm.Model->rowCount(), 4);
        QTRY_VERIFY(!frm.Manager.Busy());
        const QList<std::pair<int, QAction*>> marks{{0, frm.MarkDeleteItm}, {1, frm.MarkGetItm}, {2, frm.MarkGetDeleteItm}};
        for (const auto& [row, mark] : marks) {
            frm.Listview->clearSelection();
            frm.Listview->SelectRow(row);
            mark->trigger();
        }
        frm.Settings.SMDeleteMails = false;
        QVERIFY(frm.ActionItm->isEnabled());
        frm.ActionItm->trigger();
        QTRY_VERIFY(!frm.Manager.Busy());
        QCOMPARE(m_mailbox.Messages(), (QByteArrayList{Message(2), Message(4)}));
        QCOMPARE(frm.Model->rowCount(), 2);
        QCOMPARE(frm.Model->data(frm.Model->index(0, 0), Qt::DisplayRole).toString(), QString::fromUtf8("Grüße number 2"));
        QCOMPARE(frm.Model->data(frm.Model->index(1, 0), Qt::DisplayRole).toString(), QString::fromUtf8("Grüße number 4"));
        QCOMPARE(frm.Manager.Table.Lines().at(0).MarkText, Mark::Got);
        QVERIFY(frm.Treeview->topLevelItem(0)->text(0).endsWith(QLatin1String("(alice): 2 Nachrichten")));
        QCOMPARE(frm.ProgressBar->value(), 100);
        QCOMPARE(frm.Listview->FocusedRow(), 0);
        SaveScreenshot(frm, QStringLiteral("lmserver_after_carry_out"));
    }

    // A server's reply is quoted in the status line; as rich text it would load the named file.
    void hostileReplyShowsAsText()
    {
        FreshInstallation(0);
        const QByteArray hostile = "-ERR <img src=\"/dev/zero\"> <font color=red>Konto gesperrt</font>";
        FakeServer server({"S: " + hostile, "CLOSE"});
        TLmserverSettings settings = ReadLmserverSettings();
        settings.QuickServer = QString::fromUtf8(server.Address());
        WriteLmserverSettings(settings);
        TLmserverFrm frm({QStringLiteral("/update")});
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QTRY_VERIFY(frm.StatusLbl->text().contains(QLatin1String("<img src=\"/dev/zero\">")));
        QTRY_VERIFY(!frm.Manager.Busy());
        QCOMPARE(frm.StatusLbl->textFormat(), Qt::PlainText);
        // The status wraps now: a loaded picture, not the text, would make it tall at the window's width.
        QVERIFY(frm.StatusLbl->heightForWidth(frm.StatusLbl->width()) < 3 * frm.StatusLbl->fontMetrics().height());
        SaveScreenshot(frm, QStringLiteral("lmserver_hostile_reply"));
    }

    // A refused log-in is told in the user's language, quoting the server, while the password is
    // asked for again; cancelled, the node keeps the reason, and the status line wraps and can be
    // copied.
    void refusedLogInNamedOnItsNode()
    {
        FreshInstallation(0);
        TLmserverSettings settings = ReadLmserverSettings();
        settings.QuickPassword = "wrong";
        WriteLmserverSettings(settings);
        QString statusWhileAsked;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<TPasswordFrm*>(QApplication::activeModalWidget())) {
                statusWhileAsked = qobject_cast<TLmserverFrm*>(dialog->parentWidget())->StatusLbl->text();
                dialog->reject();
            }
        });
        answer.start(20);
        TLmserverFrm frm({QStringLiteral("/update")});
        frm.resize(520, 360);
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QTRY_VERIFY(frm.Treeview->topLevelItemCount() == 1 && frm.Treeview->topLevelItem(0)->text(0).endsWith(QLatin1String("[FEHLER]")));
        QTRY_VERIFY(!frm.Manager.Busy());
        const QString reason = frm.Treeview->topLevelItem(0)->toolTip(0);
        QVERIFY2(reason.startsWith(QLatin1String("Fehler: 127.0.0.1 hat die Anmeldung abgelehnt"))
                     && reason.contains(QLatin1String("Antwort des Servers: -ERR")),
                 qPrintable(reason));
        QCOMPARE(frm.StatusLbl->text(), reason);
        QCOMPARE(statusWhileAsked, reason);
        QVERIFY(frm.StatusLbl->wordWrap());
        QVERIFY(frm.StatusLbl->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        frm.StatusLbl->setText(QString());
        frm.Treeview->setCurrentItem(nullptr);
        frm.Treeview->setCurrentItem(frm.Treeview->topLevelItem(0));
        QCOMPARE(frm.StatusLbl->text(), reason);
        QTRY_VERIFY(frm.StatusLbl->height() >= frm.StatusLbl->heightForWidth(frm.StatusLbl->width()));
        SaveScreenshot(frm, QStringLiteral("lmserver_refused_log_in"));
    }

    void connectWindowRules()
    {
        FreshInstallation(0);
        TLmserverSettings settings = ReadLmserverSettings();
        settings.QuickConnect = false;
        settings.AccountsNames = {QStringLiteral("Privat")};
        TConnectFrm form(settings, {QStringLiteral("Arbeit"), QStringLiteral("Privat")});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.AccountsLst->item(1)->checkState(), Qt::Checked);
        QVERIFY(form.ConnectBtn->isEnabled());
        form.AccountsLst->item(1)->setCheckState(Qt::Unchecked);
        QVERIFY(!form.ConnectBtn->isEnabled());
        form.AccountsLst->item(0)->setCheckState(Qt::Checked);
        SaveScreenshot(form, QStringLiteral("lmserver_connect_accounts"));
        form.QuickChk->setChecked(true);
        QVERIFY(form.ServerEdt->isVisible());
        QVERIFY(form.ConnectBtn->isEnabled());
        form.ServerEdt->setText(QStringLiteral("pop"));
        QVERIFY(!form.ConnectBtn->isEnabled());
        form.ServerEdt->setText(QStringLiteral("pop.example.org"));
        form.HeadersChk->setChecked(false);
        QVERIFY(form.PlainTextChk->isVisible() && form.PlainTextChk->isChecked());
        form.PlainTextChk->setChecked(false);
        SaveScreenshot(form, QStringLiteral("lmserver_connect_quick"));
        form.ApplyTo(settings);
        QVERIFY(!settings.QuickPlainText);
        QVERIFY(settings.QuickConnect);
        QVERIFY(!settings.GetHeaders);
        QCOMPARE(settings.AccountsNames, QStringList{QStringLiteral("Arbeit")});
        QCOMPARE(settings.QuickServer, QStringLiteral("pop.example.org"));
    }

    void englishWindows()
    {
        m_mailbox.SetMessages({Message(1)});
        FreshInstallation(2);
        TConnectFrm form(ReadLmserverSettings(), {QStringLiteral("Work")});
        QCOMPARE(form.windowTitle(), QStringLiteral("Connect to mail servers"));
        QCOMPARE(form.ConnectBtn->text(), QStringLiteral("&Connect"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        SaveScreenshot(form, QStringLiteral("lmserver_connect_english"));

        TPasswordFrm password;
        password.setWindowTitle(QStringLiteral("alice (pop.example.org)"));
        password.PromptLbl->setText(MessageText(LmserverText::MailboxPassword));
        password.show();
        QVERIFY(QTest::qWaitForWindowExposed(&password));
        QCOMPARE(password.CancelBtn->text(), QStringLiteral("Cancel"));
        SaveScreenshot(password, QStringLiteral("lmserver_password"));

        TLmserverFrm frm({QStringLiteral("/update")});
        QList<QByteArray> asked;
        frm.Settings.QuickPassword.clear();
        frm.AskPassword = [&](const TConnectTarget& target) {
            asked.append(target.Server);
            return std::optional<QByteArray>("secret");
        };
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        QTRY_COMPARE(frm.Model->rowCount(), 1);
        QTRY_VERIFY(!frm.Manager.Busy());
        QCOMPARE(asked, QList<QByteArray>{m_mailbox.Address()});
        QCOMPARE(frm.Model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Sender"));
        QCOMPARE(frm.ActionItm->text(), QStringLiteral("&Receive/Delete"));
        SaveScreenshot(frm, QStringLiteral("lmserver_main_english"));
    }
};

QTEST_MAIN(TestLmserverWindow)
#include "tst_lmserver_window.moc"

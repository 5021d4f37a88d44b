// The accounts editor's choice of IMAP folders against Dovecot: the server's folders are listed to
// tick (umlauts and hierarchy included, the inbox left out), a ticked folder the server lacks stays
// visible, the ticks come back into the editor, and a refused log-in says so and changes nothing.

#include "AccountEdt.h"
#include "AccountsFunctions.h"
#include "LanguageRows.h"
#include "ScriptedRasBackend.h"
#include "Screenshot.h"
#include "ServerFoldersDlg.h"
#include "TestInstallation.h"
#include "TestServers.h"
#include "qmimap.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// The rows of the folder list once it has been read: text and tick.
QList<std::pair<QString, bool>> Rows(const QListWidget& list)
{
    QList<std::pair<QString, bool>> rows;
    for (int row = 0; row < list.count(); ++row)
        rows.append({list.item(row)->text(), list.item(row)->checkState() == Qt::Checked});
    return rows;
}

} // namespace

class TestServerFolders : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { m_installation.reset(); }
    void foldersAreTickedFromTheServer_data() { AddLanguageRows(); }
    void foldersAreTickedFromTheServer();
    void refusedLogInChangesNothing();

private:
    void OpenEditor(TAccountEdtFrm& form, const QString& password, const QString& folders);
    // Runs `step` on the folder dialog once its list has been read.
    static void WhenRead(const std::function<void(TServerFoldersDlg&)>& step, int triesLeft = 2000);

    QTemporaryDir m_certificates;
    TestServer m_imap;
    std::unique_ptr<TestInstallation> m_installation;
};

void TestServerFolders::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    error = m_imap.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), {}, m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    TqmIMAP imap;
    imap.Server = "localhost:" + QByteArray::number(m_imap.TlsPort());
    imap.Security = TqmSecurity::secTls;
    imap.UserName = "alice";
    imap.Password = "secret";
    imap.OpenConnection();
    imap.CreateFolder(QStringLiteral("Entwürfe"));
    imap.CreateFolder(QStringLiteral("Archiv/2026"));
    imap.CloseConnection();
}

void TestServerFolders::OpenEditor(TAccountEdtFrm& form, const QString& password, const QString& folders)
{
    TAccount account;
    account.Name = "Home";
    form.SetAccount(account);
    TAccountSecurity security;
    security.Incoming = TIncomingProtocol::Imap;
    security.PopSecurity = TqmSecurity::secTls;
    form.SetSecurity(security);
    form.PopServerEdt->setText(QStringLiteral("localhost:%1").arg(m_imap.TlsPort()));
    form.PopUsernameEdt->setText(QStringLiteral("alice"));
    form.PopPasswordEdt->setText(password);
    form.ImapFoldersEdt->setPlainText(folders);
    form.show();
}

void TestServerFolders::WhenRead(const std::function<void(TServerFoldersDlg&)>& step, int triesLeft)
{
    // Polled from timers: the listing waits in nested event loops that must unwind before it ends.
    QTimer::singleShot(10, [step, triesLeft] {
        auto* dialog = qobject_cast<TServerFoldersDlg*>(QApplication::activeModalWidget());
        if (dialog && dialog->OKBtn->isEnabled())
            step(*dialog);
        else if (triesLeft > 0)
            WhenRead(step, triesLeft - 1);
        else if (QApplication::activeModalWidget())
            QApplication::activeModalWidget()->close();
    });
}

void TestServerFolders::foldersAreTickedFromTheServer()
{
    QFETCH(int, language);
    m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"), language);
    QVERIFY(CreateAccountsDatabase());
    const bool english = language == 2;
    TAccountEdtFrm form(std::make_shared<ScriptedRasBackend>());
    OpenEditor(form, QStringLiteral("secret"), QStringLiteral("Alt\nArchiv/2026"));
    QVERIFY(form.ChooseFoldersBtn->isEnabled());

    QList<std::pair<QString, bool>> rows;
    WhenRead([&](TServerFoldersDlg& dialog) {
        rows = Rows(*dialog.FoldersLst);
        SaveScreenshot(dialog, english ? QStringLiteral("lmaccounts-server-folders-en") : QStringLiteral("lmaccounts-server-folders-de"));
        for (int row = 0; row < dialog.FoldersLst->count(); ++row) {
            QListWidgetItem* item = dialog.FoldersLst->item(row);
            const bool wanted = item->text() == QStringLiteral("Entwürfe") || item->text() == QStringLiteral("Archiv/2026");
            item->setCheckState(wanted ? Qt::Checked : Qt::Unchecked);
        }
        dialog.OKBtn->click();
    });
    form.ChooseFoldersBtn->click();

    const QString missing = english ? QStringLiteral("Alt (not on the server)") : QStringLiteral("Alt (nicht auf dem Server)");
    QVERIFY2(rows.contains({QStringLiteral("Entwürfe"), false}), qPrintable(QDebug::toString(rows)));
    QVERIFY(rows.contains({QStringLiteral("Archiv/2026"), true}));
    QVERIFY(rows.contains({QStringLiteral("Sent"), false}));
    QCOMPARE(rows.last(), std::make_pair(missing, true));
    for (const auto& row : rows)
        QVERIFY(row.first.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) != 0);
    const QByteArrayList ticked = form.Security().ImapFolders;
    QCOMPARE(QSet<QByteArray>(ticked.begin(), ticked.end()), (QSet<QByteArray>{"Entw\xc3\xbcrfe", "Archiv/2026"}));
}

void TestServerFolders::refusedLogInChangesNothing()
{
    m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"), 0);
    QVERIFY(CreateAccountsDatabase());
    TAccountEdtFrm form(std::make_shared<ScriptedRasBackend>());
    OpenEditor(form, QStringLiteral("wrong"), QStringLiteral("Archiv/2026"));
    QString status;
    QList<std::pair<QString, bool>> rows;
    WhenRead([&](TServerFoldersDlg& dialog) {
        status = dialog.StatusLbl->text();
        rows = Rows(*dialog.FoldersLst);
        dialog.FoldersLst->item(0)->setCheckState(Qt::Unchecked);
        dialog.CancelBtn->click();
    });
    form.ChooseFoldersBtn->click();
    QVERIFY2(status.contains(QStringLiteral("Anmeldung")), qPrintable(status));
    // The ticked folder is still offered to untick, though the server could not be asked.
    QCOMPARE(rows, (QList<std::pair<QString, bool>>{{QStringLiteral("Archiv/2026"), true}}));
    QCOMPARE(form.ImapFoldersEdt->toPlainText(), QStringLiteral("Archiv/2026"));
}

QTEST_MAIN(TestServerFolders)
#include "tst_serverfolders.moc"

// The agent's window over Dovecot whose self-signed certificate nothing trusts: the certificate
// window comes up over it with the server's facts; Cancel leaves the error, told in the user's
// language with the fingerprint, and no pin; Trust stores the pin for that server of the account,
// and the same run connects again and receives.

#include "CertificateDialog.h"
#include "DBAccountSecurity.h"
#include "Konstanten.h"
#include "Main.h"
#include "RegistryFunctions.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "SharedFunctions.h"
#include "TestServers.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray Message = "From: a@example.org\r\nSubject: window\r\nMessage-ID: <window@example.org>\r\n\r\nbody\r\n";

} // namespace

class TestAgentCertificate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void answer_data();
    void answer();

private:
    QTemporaryDir m_certificates;
    QTemporaryDir m_selfSigned;
    QTemporaryDir m_source;
    TestServer m_pop3;
    QByteArray m_served;
    std::unique_ptr<ScopedRegistry> m_registry;
    std::unique_ptr<QTemporaryDir> m_programDir;
};

void TestAgentCertificate::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    qunsetenv("LUMARO_TEST_CA_FILE");
    for (const char* suffix : {"pem", "key"})
        QVERIFY(QFile::copy(m_certificates.filePath(QStringLiteral("other.") + QLatin1String(suffix)),
                            m_selfSigned.filePath(QStringLiteral("server.") + QLatin1String(suffix))));
    m_served = QSslCertificate::fromPath(m_selfSigned.filePath(QStringLiteral("server.pem"))).value(0).digest(QCryptographicHash::Sha256).toHex(':');
    QFile file(m_source.filePath(QStringLiteral("1")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message) == Message.size());
    file.close();
    error = m_pop3.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_selfSigned.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestAgentCertificate::init()
{
    m_registry = std::make_unique<ScopedRegistry>();
    m_programDir = std::make_unique<QTemporaryDir>();
    const QString dataDir = m_programDir->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(dataDir));
    WriteUser(DefaultUserName, dataDir, {});
    InitProgramForActiveUser(m_programDir->filePath(QStringLiteral("modules/lmagent")));
}

void TestAgentCertificate::cleanup()
{
    SetLanguage(0);
    m_programDir.reset();
    m_registry.reset();
}

void TestAgentCertificate::answer_data()
{
    QTest::addColumn<bool>("trust");
    QTest::addColumn<int>("language");
    QTest::newRow("cancel, German") << false << 0;
    QTest::newRow("cancel, English") << false << 2;
    QTest::newRow("trust") << true << 0;
}

void TestAgentCertificate::answer()
{
    QFETCH(bool, trust);
    QFETCH(int, language);
    SetLanguage(language);
    const QByteArray server = "localhost:" + QByteArray::number(m_pop3.Port());
    TAgentJob job;
    job.Action = "POP3";
    job.AccountName = "Work";
    job.Server = server;
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = true;
    job.Security = TqmSecurity::secStartTls;
    QVERIFY(::WriteJob(job));

    TAgentFrm form(NotInstalledRasBackend(), false);
    int asked = 0;
    QString shownServer;
    QString shownFingerprint;
    QTimer answerWindow;
    connect(&answerWindow, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<TCertificateFrm*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        ++asked;
        shownServer = dialog->ServerLbl->text();
        shownFingerprint = dialog->FingerprintLbl->text().remove(QLatin1Char('\n'));
        SaveScreenshot(*dialog, QStringLiteral("lmagent-certificate-%1").arg(language == 2 ? QLatin1String("en") : QLatin1String("de")));
        QTest::mouseClick(trust ? dialog->TrustBtn : dialog->CancelBtn, Qt::LeftButton);
    });
    answerWindow.start(20);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY_WITH_TIMEOUT(form.JobDone(), 30000);
    QCOMPARE(asked, 1);
    QCOMPARE(shownServer, QString::fromLatin1(server));
    QCOMPARE(shownFingerprint, QString::fromLatin1(m_served));
    const TServerPin pin = ReadAccountSecurity("Work").PopPin;
    if (trust) {
        QVERIFY2(!form.ErrorFlag(), qPrintable(form.StatusLbl->text()));
        QCOMPARE(pin, (TServerPin{server, m_served}));
        QCOMPARE(QDir(Paths().Data.SpoolDir).entryList({QStringLiteral("*.eml")}).size(), 1);
        return;
    }
    QVERIFY(form.ErrorFlag());
    QVERIFY(pin.IsEmpty());
    const QString status = form.StatusLbl->text();
    QVERIFY2(status.contains(language == 2 ? QStringLiteral("is not trusted") : QStringLiteral("nicht vertrauenswürdig")), qPrintable(status));
    QVERIFY2(status.contains(QString::fromLatin1(m_served)), qPrintable(status));
}

QTEST_MAIN(TestAgentCertificate)
#include "tst_agentcertificate.moc"

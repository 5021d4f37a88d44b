// The built agent sending received multipart messages from its queue (as a redirect or forward
// leaves them there) through the aiosmtpd test server: the server gets the queue file's bytes,
// less the agent's own fields and plus the header list, byte for byte.

#include "AgentFixture.h"
#include "TestData.h"
#include "TestServers.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray AgentFields = "X-LMREDIRECT: yes\r\nX-LMBCC: hidden@example.org\r\n";
const QByteArray HeaderListLine = "X-Mailer: Lumaro Mail test -";

QByteArray WithHeaderAtEnd(const QByteArray& message, const QByteArray& line)
{
    const qsizetype end = message.indexOf("\r\n\r\n");
    return message.left(end + 2) + line + "\r\n" + message.mid(end + 2);
}

} // namespace

class TestSendQueueEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void receivedMessagesGoOutUnchanged_data();
    void receivedMessagesGoOutUnchanged();

private:
    QTemporaryDir m_received;
    TestServer m_server;
    int m_delivered = 0;
};

void TestSendQueueEndToEnd::initTestCase()
{
    const QString error = m_server.StartSmtp(m_received.path(), QStringLiteral("alice"), QStringLiteral("secret"), {});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSendQueueEndToEnd::receivedMessagesGoOutUnchanged_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"html-inline-images-and-attachment", "alternative-with-related", "nested-forward",
                             "rfc2231-names", "apple-mixed-alternative-mixed", "parameters-without-blanks"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestSendQueueEndToEnd::receivedMessagesGoOutUnchanged()
{
    QFETCH(QString, name);
    const QByteArray received = ReadTestData(QStringLiteral("mime/%1.eml").arg(name));
    AgentInstallation agent;
    QVERIFY(agent.IsReady());
    QVERIFY(QDir().mkpath(agent.QueueDir()));
    QVERIFY(WriteHeaderList({HeaderListLine}, agent.HeadersFile()));
    QFile queueFile(agent.QueueDir() + QStringLiteral("/smtp_1.eml"));
    QVERIFY(queueFile.open(QIODevice::WriteOnly));
    queueFile.write(AgentFields + received);
    queueFile.close();
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = m_server.Address();
    QVERIFY(agent.WriteJob(job));
    const AgentResult result = agent.Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(!queueFile.exists());
    ++m_delivered;
    QFile envelope(m_received.filePath(QStringLiteral("%1.envelope").arg(m_delivered)));
    QFile text(m_received.filePath(QStringLiteral("%1.eml").arg(m_delivered)));
    QVERIFY(envelope.open(QIODevice::ReadOnly) && text.open(QIODevice::ReadOnly));
    QVERIFY2(envelope.readAll().trimmed().endsWith("\nhidden@example.org"), qPrintable(envelope.fileName()));
    QCOMPARE(text.readAll(), WithHeaderAtEnd(received, HeaderListLine));
}

QTEST_GUILESS_MAIN(TestSendQueueEndToEnd)
#include "tst_sendqueue_e2e.moc"

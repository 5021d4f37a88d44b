// The built agent sending its queue through the aiosmtpd test server: what the server received
// (envelope and text) and what stays in the queue.

#include "AgentFixture.h"
#include "PythonMail.h"
#include "TestData.h"
#include "TestServers.h"

#include "qmlinelength.h"
#include "qmmsg.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonObject>

#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray QueueMessage(const QByteArray& subject, const QByteArray& extraHeaders = {}, const QByteArray& to = "to@example.org")
{
    return "From: Sender <sender@example.org>\r\nTo: <" + to + ">\r\nSubject: " + subject + "\r\n"
        + "Date: Mon, 9 Mar 2026 10:00:00 +0100\r\nMessage-ID: <" + subject + "@example.org>\r\n" + extraHeaders
        + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
        + "Text of " + subject + "\r\n.\r\n.dot line\r\n";
}

// What a reader gets out of a message: the text and each attachment's name and bytes.
QByteArrayList ReadableContent(QByteArray text)
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    TqmMessage message;
    message.LoadFromStream(buffer);
    QByteArrayList content{message.Subject, message.Body.join("\n")};
    for (qsizetype i = 0; i < message.Attachments.Count(); ++i)
        content << message.Attachments.Items(i).GetFileName() << message.Attachments.Items(i).Data;
    return content;
}

struct Delivery {
    QByteArrayList Envelope;
    QByteArray Text;
};

} // namespace

class TestSendEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sendsNormalKeepsHeld();
    void blindCopiesAndRedirect();
    void rejectedRecipient();
    void authentication_data();
    void authentication();
    void notAMessage();
    void longLinesAreMendedAndWorkFilesStay();
    void namesWithCommasReachEveryRecipient();

private:
    TAgentJob Job() const;
    void Queue(const QString& name, const QByteArray& content) const;
    QStringList QueueNames() const;
    QList<Delivery> Deliveries() const;

    QTemporaryDir m_received;
    TestServer m_server;
    std::unique_ptr<AgentInstallation> m_agent;
    int m_seen = 0;
};

void TestSendEndToEnd::initTestCase()
{
    const QString error = m_server.StartSmtp(m_received.path(), QStringLiteral("alice"), QStringLiteral("secret"),
                                             {QStringLiteral("rejected@example.org")});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSendEndToEnd::init()
{
    m_agent = std::make_unique<AgentInstallation>();
    QVERIFY(m_agent->IsReady());
    QVERIFY(QDir().mkpath(m_agent->QueueDir()));
    QVERIFY(WriteHeaderList({"X-Mailer: Lumaro Mail test -"}, m_agent->HeadersFile()));
    m_seen = int(QDir(m_received.path()).entryList({QStringLiteral("*.envelope")}, QDir::Files).size());
}

void TestSendEndToEnd::cleanup()
{
    m_agent.reset();
}

TAgentJob TestSendEndToEnd::Job() const
{
    TAgentJob job;
    job.Action = "SMTP";
    job.Server = m_server.Address();
    return job;
}

void TestSendEndToEnd::Queue(const QString& name, const QByteArray& content) const
{
    QFile file(m_agent->QueueDir() + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList TestSendEndToEnd::QueueNames() const
{
    return QDir(m_agent->QueueDir()).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
}

// What the server accepted during this test, in order.
QList<Delivery> TestSendEndToEnd::Deliveries() const
{
    QList<Delivery> deliveries;
    for (int n = m_seen + 1;; ++n) {
        QFile envelope(m_received.filePath(QStringLiteral("%1.envelope").arg(n)));
        QFile text(m_received.filePath(QStringLiteral("%1.eml").arg(n)));
        if (!envelope.open(QIODevice::ReadOnly) || !text.open(QIODevice::ReadOnly))
            return deliveries;
        deliveries.append({envelope.readAll().trimmed().split('\n'), text.readAll()});
    }
}

void TestSendEndToEnd::sendsNormalKeepsHeld()
{
    Queue(QStringLiteral("smtp_1.eml"), QueueMessage("held", "X-LMHOLD: 1\r\n"));
    Queue(QStringLiteral("smtp_2.eml"), QueueMessage("normal"));
    Queue(QStringLiteral("smtp_3.eml"), QueueMessage("empty hold", "X-LMHOLD: \r\n"));
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QCOMPARE(QueueNames(), QStringList{QStringLiteral("smtp_1.eml")});
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 2);
    QCOMPARE(deliveries.at(0).Envelope, (QByteArrayList{"sender@example.org", "to@example.org"}));
    const QByteArray& text = deliveries.at(0).Text;
    QVERIFY2(text.contains("Subject: normal\r\n"), text.constData());
    QVERIFY(text.contains("\r\nX-Mailer: Lumaro Mail test -\r\n"));
    QVERIFY(text.contains("\r\n.\r\n.dot line\r\n"));
    QVERIFY(deliveries.at(1).Text.contains("Subject: empty hold\r\n"));
}

void TestSendEndToEnd::blindCopiesAndRedirect()
{
    Queue(QStringLiteral("smtp_1.eml"),
          QueueMessage("bcc", "X-LMBCC: hidden1@example.org\r\nX-LMREDIRECT: yes\r\nX-LMBCC: hidden2@example.org\r\n"));
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(QueueNames().isEmpty());
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries.at(0).Envelope,
             (QByteArrayList{"sender@example.org", "to@example.org", "hidden1@example.org", "hidden2@example.org"}));
    const QByteArray text = deliveries.at(0).Text.toLower();
    QVERIFY2(!text.contains("x-lmbcc") && !text.contains("x-lmredirect") && !text.contains("hidden") && !text.contains("bcc:"),
             text.constData());
}

void TestSendEndToEnd::rejectedRecipient()
{
    Queue(QStringLiteral("smtp_1.eml"), QueueMessage("reject", "Cc: <rejected@example.org>\r\n"));
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY2(result.Errors.contains("report 11: Die Nachricht an 'rejected@example.org' wurde vom SMTP-Server abgewiesen, Grund:\n550"),
             result.Errors.constData());
    QVERIFY(QueueNames().isEmpty());
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries.at(0).Envelope, (QByteArrayList{"sender@example.org", "to@example.org"}));
}

void TestSendEndToEnd::authentication_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("sent");
    QTest::newRow("right password") << QByteArray("secret") << true;
    QTest::newRow("wrong password") << QByteArray("wrong") << false;
}

void TestSendEndToEnd::authentication()
{
    QFETCH(QByteArray, password);
    QFETCH(bool, sent);
    Queue(QStringLiteral("smtp_1.eml"), QueueMessage("auth"));
    TAgentJob job = Job();
    job.Username = "alice";
    job.Password = password;
    // The test server offers no TLS; under "auto" no password would be sent at all.
    job.Security = TqmSecurity::secNone;
    QVERIFY(m_agent->WriteJob(job));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == (sent ? 0 : 1), result.Errors.constData());
    QCOMPARE(QueueNames().isEmpty(), sent);
    QCOMPARE(Deliveries().size(), sent ? 1 : 0);
}

void TestSendEndToEnd::notAMessage()
{
    Queue(QStringLiteral("smtp_1.eml"), QByteArray("\x00\x01 not a message at all \xff", 26));
    Queue(QStringLiteral("smtp_2.eml"), QueueMessage("after garbage"));
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QCOMPARE(result.ExitCode, 1);
    QVERIFY2(result.Errors.contains("question: Beim Versenden der Nachricht"), result.Errors.constData());
    QCOMPARE(QueueNames(), QStringList{QStringLiteral("smtp_1.eml")});
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 1);
    QVERIFY(deliveries.at(0).Text.contains("Subject: after garbage"));
}

// The server refuses lines over 998 octets ("500 Line too long"). A forwarded message with a long
// text line and a long binary line arrives mended and reads the same; a subject that cannot be
// folded stays queued with a warning; the message window's work files are not sent.
void TestSendEndToEnd::longLinesAreMendedAndWorkFilesStay()
{
    const QByteArray forwarded = ReadTestData(QStringLiteral("longlines/long-multipart.eml"));
    Queue(QStringLiteral("smtp_1.eml"), forwarded);
    Queue(QStringLiteral("smtp_2.eml"), ReadTestData(QStringLiteral("longlines/long-token-subject.eml")));
    Queue(QStringLiteral("new_3123.eml"), QueueMessage("draft"));
    Queue(QStringLiteral("edit_4123.eml"), QueueMessage("being edited"));
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY2(result.Errors.contains("report 60: Die Nachricht 'xxxx") && result.Errors.contains("\"Subject\""),
             result.Errors.constData());
    QCOMPARE(QueueNames(), (QStringList{QStringLiteral("edit_4123.eml"), QStringLiteral("new_3123.eml"), QStringLiteral("smtp_2.eml")}));
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries.at(0).Envelope, (QByteArrayList{"anna@example.org", "bob@example.net"}));
    const QByteArray& text = deliveries.at(0).Text;
    QVERIFY(!HasOverlongLine(text));
    QVERIFY(text.contains("\r\nContent-Transfer-Encoding: base64\r\n"));
    QCOMPARE(ReadableContent(text), ReadableContent(forwarded));
}


// What the message window writes for "Last, First" names with umlauts goes to each person once: one
// RCPT per recipient, and a text whose header a conforming reader reads back with the same names.
void TestSendEndToEnd::namesWithCommasReachEveryRecipient()
{
    TqmMessage message;
    message.CharSet = csUTF8;
    message.Sender.Name = "Weiß, Anna";
    message.Sender.Address = "sender@example.org";
    message.Recipients.AddAddress("j@example.de", "Schmidt, Jürgen");
    message.Recipients.AddAddress("bjoern@example.net", "Weiß, Björn");
    message.CC.AddAddress("ayse@example.org", "Öztürk, Ayşe");
    message.Headers = TqmHeaders{"Date: Mon, 9 Mar 2026 10:00:00 +0100", "Message-ID: <names@example.org>",
                                 "X-LMBCC: \"Meier, Hans\" <hans@example.org>"};
    message.Subject = "Grüße an Jürgen, Björn und Ayşe – die Änderungen für Müller & Söhne sind übernommen, "
                      "bitte prüft die Maße für das Büro in Düsseldorf";
    message.Body = {"Hallo zusammen"};
    QBuffer queued;
    queued.open(QIODevice::WriteOnly);
    message.SaveToStream(queued);
    Queue(QStringLiteral("smtp_1.eml"), queued.data());
    QVERIFY(m_agent->WriteJob(Job()));
    const AgentResult result = m_agent->Run();
    QVERIFY2(result.ExitCode == 0, result.Errors.constData());
    QVERIFY(QueueNames().isEmpty());
    const QList<Delivery> deliveries = Deliveries();
    QCOMPARE(deliveries.size(), 1);
    QCOMPARE(deliveries.at(0).Envelope, (QByteArrayList{"sender@example.org", "j@example.de", "bjoern@example.net",
                                                         "ayse@example.org", "hans@example.org"}));
    QString error;
    const QJsonObject python = ReadWithPython(deliveries.at(0).Text, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const auto names = [&python](const char* field) {
        QStringList entries;
        for (const QJsonValue& entry : python.value(QLatin1String(field)).toArray())
            entries << entry.toArray().at(0).toString() + QLatin1Char('|') + entry.toArray().at(1).toString();
        return entries;
    };
    QCOMPARE(names("to"), (QStringList{"Schmidt, Jürgen|j@example.de", "Weiß, Björn|bjoern@example.net"}));
    QCOMPARE(names("cc"), QStringList{"Öztürk, Ayşe|ayse@example.org"});
    QCOMPARE(names("from"), QStringList{"Weiß, Anna|sender@example.org"});
    QCOMPARE(python.value(QStringLiteral("subject")).toString(), QString::fromUtf8(message.Subject));
    QVERIFY(python.value(QStringLiteral("longest")).toInt() <= 78);
    QVERIFY(!deliveries.at(0).Text.contains("hans@example.org"));
}

QTEST_GUILESS_MAIN(TestSendEndToEnd)
#include "tst_send_e2e.moc"

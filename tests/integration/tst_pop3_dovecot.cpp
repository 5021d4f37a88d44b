#include "SocketErrorWatch.h"
#include "TestServers.h"
#include "qmconst.h"
#include "qmpop3.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray DotsMessage()
{
    return "From: a@example.org\r\nTo: b@example.org\r\nSubject: dots\r\nMessage-ID: <dots@example.org>\r\n\r\n"
           ".a line with one leading dot\r\n..two dots\r\n.\r\n. \r\nend\r\n";
}

QByteArray EightBitMessage()
{
    return "From: a@example.org\r\nSubject: 8bit\r\nMessage-ID: <8bit@example.org>\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
           "Gr\xc3\xbc\xc3\x9f"
           "e aus K\xc3\xb6ln\r\nLatin-1 \xe4\xf6\xfc and a NUL-free binary tail \x80\x81\xfe\r\n";
}

QByteArray BigMessage()
{
    QByteArray attachment(5 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(attachment.data()), attachment.size() / 4);
    QByteArray encoded;
    const QByteArray base64 = attachment.toBase64();
    for (qsizetype pos = 0; pos < base64.size(); pos += 76)
        encoded += base64.mid(pos, 76) + "\r\n";
    return "From: a@example.org\r\nSubject: big\r\nMessage-ID: <big@example.org>\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\nContent-Type: text/plain\r\n\r\nsee attachment\r\n"
           "--b1\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           + encoded + "--b1--\r\n";
}

} // namespace

class TestPop3Dovecot : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void updateReadsTheMailbox();
    void retrieveGivesTheStoredBytes();
    void wrongPasswordShowsServerReply();
    void requiredStlsIsNeverDowngraded();
    void transferDeletesMarkedAndKeepsTheRest();

private:
    void Configure(TqmRemotePOP& pop) const;

    QTemporaryDir m_source;
    QByteArrayList m_messages;
    TestServer m_server;
};

void TestPop3Dovecot::initTestCase()
{
    m_messages = {DotsMessage(), EightBitMessage(), BigMessage()};
    for (qsizetype i = 0; i < m_messages.size(); ++i) {
        QFile file(m_source.filePath(QStringLiteral("%1.eml").arg(i)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_messages.at(i));
    }
    const QString error = m_server.StartPop3(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestPop3Dovecot::Configure(TqmRemotePOP& pop) const
{
    pop.Server = m_server.Address();
    pop.UserName = "alice";
    pop.Password = "secret";
    pop.SetTimeOut(20);
}

void TestPop3Dovecot::updateReadsTheMailbox()
{
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop);
    pop.UpdateRemoteInfoAndUIDL();
    QCOMPARE(pop.MessageCount, qint64(3));
    QCOMPARE(pop.RemoteInfo.Count(), 3);
    QSet<QByteArray> uids;
    for (int i = 0; i < 3; ++i) {
        const TqmRemoteInfoItem& item = pop.RemoteInfo.Items(i);
        QCOMPARE(item.Size, qint64(m_messages.at(i).size()));
        QVERIFY(!item.UIDL.isEmpty());
        uids.insert(item.UIDL);
        QVERIFY(!item.Headers.isEmpty());
        QVERIFY(!item.Headers.contains(QByteArray()));
    }
    QCOMPARE(uids.size(), 3);
    QCOMPARE(pop.RemoteInfo.Items(0).Headers.GetFieldBody("Subject"), QByteArray("dots"));
    QCOMPARE(pop.RemoteInfo.Items(2).Headers.GetFieldBody("Subject"), QByteArray("big"));
    QVERIFY(!pop.OnLine());
}

void TestPop3Dovecot::retrieveGivesTheStoredBytes()
{
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop);
    QByteArrayList retrieved;
    pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { retrieved.append(contents.readAll()); };
    int lastPercent = 0;
    pop.OnProgress = [&](QObject&, int percent, qint64) { lastPercent = percent; };
    pop.OpenConnection();
    for (int i = 0; i < 3; ++i)
        pop.RetrieveMessage(i);
    pop.CloseConnection();
    QCOMPARE(retrieved.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(retrieved.at(i) == m_messages.at(i), qPrintable(QStringLiteral("message %1 differs").arg(i)));
    QCOMPARE(lastPercent, 100);
}

void TestPop3Dovecot::wrongPasswordShowsServerReply()
{
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop);
    pop.Password = "wrong";
    try {
        pop.OpenConnection();
        QFAIL("logged in with a wrong password");
    } catch (const ELogInRefused& error) {
        // Said as a refused log-in, quoting the server: never its bare reply alone.
        QVERIFY2(error.Message().startsWith(QLatin1String("127.0.0.1 refused the log-in")), qPrintable(error.Message()));
        QVERIFY2(error.Message().endsWith(QString::fromUtf8(error.Reply())), qPrintable(error.Message()));
        QVERIFY2(error.Reply().startsWith("-ERR"), error.Reply().constData());
    }
    QVERIFY(!pop.OnLine());
}

void TestPop3Dovecot::requiredStlsIsNeverDowngraded()
{
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop);
    pop.Security = TqmSecurity::secStartTls;
    QVERIFY_THROWS_EXCEPTION(ESocketError, pop.OpenConnection());
    QCOMPARE(errors.Take(), QStringList{qmMessageText(qmTlsNotOffered).arg(QStringLiteral("STLS"))});
    QVERIFY(!pop.OnLine());
}

void TestPop3Dovecot::transferDeletesMarkedAndKeepsTheRest()
{
    {
        TqmRemotePOP pop;
        SocketErrorWatch errors(pop);
        Configure(pop);
        pop.KeepConnection = true;
        pop.UpdateRemoteInfoAndUIDL();
        QByteArrayList retrieved;
        pop.OnUserMessageSave = [&](QObject&, int, QBuffer& contents) { retrieved.append(contents.readAll()); };
        pop.MarkToRetrieve(0);
        pop.MarkToDelete(0);
        pop.MarkToRetrieve(1);
        pop.Transfer();
        QCOMPARE(retrieved, (QByteArrayList{m_messages.at(0), m_messages.at(1)}));
        QVERIFY(!pop.OnLine());
    }
    TqmRemotePOP pop;
    SocketErrorWatch errors(pop);
    Configure(pop);
    pop.UpdateRemoteInfo();
    QCOMPARE(pop.MessageCount, qint64(2));
    QCOMPARE(pop.RemoteInfo.Items(0).Headers.GetFieldBody("Subject"), QByteArray("8bit"));
    QCOMPARE(pop.RemoteInfo.Items(1).Headers.GetFieldBody("Subject"), QByteArray("big"));
}

QTEST_GUILESS_MAIN(TestPop3Dovecot)
#include "tst_pop3_dovecot.moc"

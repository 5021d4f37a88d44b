// The IMAP client against Dovecot requiring TLS: every security mode, folders with umlauts, a sent
// copy in the \Sent folder, bodies fetched without touching \Seen, deletion, and a large body
// streamed to a file.

#include "TestServers.h"
#include "qmimap.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

Q_DECLARE_METATYPE(TqmSecurity)

namespace {

QByteArray Message(int n)
{
    return "From: Anna <anna@example.org>\r\nTo: alice@example.org\r\nSubject: message " + QByteArray::number(n)
           + "\r\nMessage-ID: <" + QByteArray::number(n) + "@example.org>\r\nDate: Mon, 2 Jan 2023 10:00:0" + QByteArray::number(n)
           + " +0100\r\n\r\nbody " + QByteArray::number(n) + "\r\n";
}

// The bodies of `uids` in the selected folder, by UID.
std::map<quint32, QByteArray> FetchAll(TqmIMAP& imap, const QList<quint32>& uids)
{
    std::map<quint32, std::unique_ptr<QBuffer>> open;
    std::map<quint32, QByteArray> bodies;
    imap.FetchBodies(
        uids, {},
        [&](quint32 uid, qint64) {
            open[uid] = std::make_unique<QBuffer>();
            open[uid]->open(QIODevice::WriteOnly);
            return open[uid].get();
        },
        [&](quint32 uid) { bodies[uid] = open.at(uid)->data(); });
    return bodies;
}

} // namespace

class TestImapDovecot : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void securityModes_data();
    void securityModes();
    void foldersSentCopyAndDeletion();
    void largeBodyStreamsToFile();

private:
    void Connect(TqmIMAP& imap, TqmSecurity security = TqmSecurity::secTls);

    QTemporaryDir m_certificates;
    QTemporaryDir m_source;
    TestServer m_server;
};

void TestImapDovecot::initTestCase()
{
    QString error = TestServer::MakeCertificates(m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (int n = 1; n <= 3; ++n) {
        QFile file(m_source.filePath(QString::number(n)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Message(n)) > 0);
    }
    error = m_server.StartImap(QStringLiteral("alice"), QStringLiteral("secret"), m_source.path(), m_certificates.path());
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestImapDovecot::Connect(TqmIMAP& imap, TqmSecurity security)
{
    imap.Server = m_server.TlsAddress(security == TqmSecurity::secTls ? m_server.TlsPort() : m_server.Port());
    imap.UserName = "alice";
    imap.Password = "secret";
    imap.Security = security;
    imap.SetTimeOut(20);
    // Dovecot trusts a client on its own address as if it were encrypted.
    imap.BindAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    imap.OpenConnection();
}

void TestImapDovecot::securityModes_data()
{
    QTest::addColumn<TqmSecurity>("security");
    QTest::addColumn<QString>("error");
    QTest::newRow("imaps") << TqmSecurity::secTls << QString();
    QTest::newRow("starttls") << TqmSecurity::secStartTls << QString();
    QTest::newRow("auto") << TqmSecurity::secAuto << QString();
    QTest::newRow("none: the server refuses") << TqmSecurity::secNone << QStringLiteral("log-in method");
}

void TestImapDovecot::securityModes()
{
    QFETCH(TqmSecurity, security);
    QFETCH(QString, error);
    TqmIMAP imap;
    try {
        Connect(imap, security);
    } catch (const EqmException& failure) {
        QVERIFY2(!error.isEmpty() && failure.Message().contains(error), qPrintable(failure.Message()));
        return;
    }
    QVERIFY(error.isEmpty());
    QVERIFY(imap.Encrypted());
    QVERIFY(imap.HasCapability("UIDPLUS"));
    const TqmImapMailbox inbox = imap.Select(QStringLiteral("INBOX"), true);
    QCOMPARE(inbox.Exists, 3);
    QVERIFY(inbox.UidValidity != 0);
    const QList<quint32> uids = imap.SearchUids();
    QCOMPARE(uids.size(), 3);
    const QList<TqmImapMessageInfo> infos = imap.FetchInfo(uids);
    QCOMPARE(infos.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(infos.at(i).Headers.GetFieldBody("Subject"), "message " + QByteArray::number(i + 1));
        QCOMPARE(infos.at(i).Headers.GetFieldBody("From"), QByteArray("Anna <anna@example.org>"));
        QCOMPARE(infos.at(i).Headers.GetFieldBody("Message-Id"), "<" + QByteArray::number(i + 1) + "@example.org>");
        QCOMPARE(infos.at(i).Size, Message(i + 1).size());
    }
    const std::map<quint32, QByteArray> bodies = FetchAll(imap, uids);
    QCOMPARE(bodies.size(), size_t(3));
    QCOMPARE(bodies.at(uids.at(1)), Message(2));
    imap.CloseConnection();
}

void TestImapDovecot::foldersSentCopyAndDeletion()
{
    TqmIMAP imap;
    Connect(imap);
    const QString drafts = QStringLiteral("Entwürfe");
    imap.CreateFolder(drafts);
    const QList<TqmImapFolder> folders = imap.ListFolders();
    const auto found = std::find_if(folders.begin(), folders.end(), [&](const TqmImapFolder& f) { return f.Name == drafts; });
    QVERIFY(found != folders.end());
    QCOMPARE(found->WireName, QByteArray("Entw&APw-rfe"));
    QCOMPARE(TqmIMAP::SentFolder(folders), QStringLiteral("Sent"));

    imap.Append(TqmIMAP::SentFolder(folders), Message(7), {"\\Seen"});
    imap.Select(QStringLiteral("Sent"));
    const QList<TqmImapMessageInfo> sent = imap.FetchInfo(imap.SearchUids());
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().Flags.contains("\\Seen"));

    for (int n = 4; n <= 6; ++n)
        imap.Append(drafts, Message(n), {});
    imap.Select(drafts);
    const QList<quint32> uids = imap.SearchUids();
    QCOMPARE(uids.size(), 3);
    QCOMPARE(FetchAll(imap, uids).at(uids.at(2)), Message(6));
    // BODY.PEEK[] leaves the messages unread.
    for (const TqmImapMessageInfo& info : imap.FetchInfo(uids))
        QVERIFY(!info.Flags.contains("\\Seen"));
    QVERIFY(imap.DeleteMessages(uids.mid(0, 2)));
    QCOMPARE(imap.SearchUids(), uids.mid(2));
    imap.CloseConnection();
}

void TestImapDovecot::largeBodyStreamsToFile()
{
    QByteArray large = "Subject: large\r\n\r\n";
    const QByteArray line = QByteArray(76, 'x') + "\r\n";
    while (large.size() < 6 * 1024 * 1024)
        large += line;
    TqmIMAP imap;
    Connect(imap);
    imap.CreateFolder(QStringLiteral("Large"));
    imap.Append(QStringLiteral("Large"), large, {});
    imap.Select(QStringLiteral("Large"));
    QTemporaryDir target;
    QFile file(target.filePath(QStringLiteral("large.eml.part")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    bool done = false;
    imap.FetchBodies(imap.SearchUids(), {}, [&](quint32, qint64) { return &file; }, [&](quint32) { done = true; });
    file.close();
    QVERIFY(done);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), large);
    imap.CloseConnection();
}

QTEST_GUILESS_MAIN(TestImapDovecot)
#include "tst_imap_dovecot.moc"

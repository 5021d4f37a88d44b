// The check that the message at a position is still the one listed, against scripted servers:
// by unique id when the listing got one, else by size and header lines.

#include "FakeServer.h"
#include "ServerPOP.h"

#include <QTest>

Q_DECLARE_METATYPE(TqmRemoteInfoItem)

namespace {

const QByteArrayList LogIn{"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK", "C: STAT", "S: +OK 3 300"};
const QByteArrayList LogOut{"C: QUIT", "S: +OK bye"};

TqmRemoteInfoItem Listed(const QByteArray& uidl, const QByteArray& subject = "Subject: a")
{
    TqmRemoteInfoItem item;
    item.UIDL = uidl;
    item.Size = 100;
    item.Headers = TqmHeaders{subject, "Message-ID: <1@example.org>"};
    return item;
}

QByteArrayList Top(const QByteArray& subject)
{
    return {"C: TOP 2 1", "S: +OK", "S: " + subject, "S: Message-ID: <1@example.org>", "S: ", "S: first body line", "S: ."};
}

} // namespace

class TestServerPop : public QObject {
    Q_OBJECT

private slots:
    void isListedMessage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<TqmRemoteInfoItem>("listed");
        QTest::addColumn<QByteArrayList>("dialogue");
        QTest::addColumn<bool>("same");
        QTest::newRow("same unique id") << 1 << Listed("abc") << QByteArrayList{"C: UIDL 2", "S: +OK 2 abc"} << true;
        QTest::newRow("other unique id") << 1 << Listed("abc") << QByteArrayList{"C: UIDL 2", "S: +OK 2 abd"} << false;
        QTest::newRow("message gone") << 1 << Listed("abc") << QByteArrayList{"C: UIDL 2", "S: -ERR no such message"} << false;
        QTest::newRow("beyond the count: nothing asked") << 3 << Listed("abc") << QByteArrayList{} << false;
        QTest::newRow("same size and headers") << 1 << Listed({}) << (QByteArrayList{"C: LIST 2", "S: +OK 2 100"} + Top("Subject: a"))
                                               << true;
        QTest::newRow("other size: no TOP") << 1 << Listed({}) << QByteArrayList{"C: LIST 2", "S: +OK 2 101"} << false;
        QTest::newRow("other headers") << 1 << Listed({}) << (QByteArrayList{"C: LIST 2", "S: +OK 2 100"} + Top("Subject: b"))
                                       << false;
        QTest::newRow("TOP refused") << 1 << Listed({}) << QByteArrayList{"C: LIST 2", "S: +OK 2 100", "C: TOP 2 1", "S: -ERR"}
                                     << false;
    }
    void isListedMessage()
    {
        QFETCH(int, index);
        QFETCH(TqmRemoteInfoItem, listed);
        QFETCH(QByteArrayList, dialogue);
        FakeServer server(LogIn + dialogue + LogOut);
        TServerPOP pop;
        pop.Configure({server.Address(), "alice", "secret", TqmSecurity::secNone}, TLmserverSettings());
        pop.OpenConnection();
        QTEST(pop.IsListedMessage(index, listed), "same");
        pop.CloseConnection();
        QTRY_VERIFY(server.Done());
        QCOMPARE(server.Errors(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestServerPop)
#include "tst_serverpop.moc"

// The server manager's POP3 work end to end against a real Dovecot: listing with and without
// headers, fetching into the spool, fetching and deleting, two servers, a mailbox changed by
// another client between listing and carrying out, a spool that cannot take the mail, and Stop.

#include "DBAccountSecurity.h"
#include "Pop3Mailbox.h"
#include "ReportCapture.h"
#include "ServerManager.h"
#include "TableMarks.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

namespace {

QByteArray MessageNumber(int n)
{
    const QByteArray number = QByteArray::number(n);
    // A line starting with "." proves that the dot transparency is undone before saving.
    return "From: Sender " + number + " <s" + number + "@example.org>\r\nTo: alice@example.org\r\nSubject: Message " + number
        + "\r\nDate: Mon, 2 Mar 2026 10:0" + number + ":00 +0100\r\nMessage-ID: <" + number
        + "@example.org>\r\n\r\nBody of message " + number + "\r\n.line with a dot\r\n";
}

QByteArrayList Messages(int count)
{
    QByteArrayList messages;
    for (int n = 1; n <= count; ++n)
        messages.append(MessageNumber(n));
    return messages;
}

// Makes every file write beyond a few bytes fail, as a full disk does, for its lifetime.
class FullDisk {
public:
    FullDisk() : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit tiny = m_saved;
        tiny.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int);
};

} // namespace

class TestLmserverE2E : public QObject {
    Q_OBJECT

private:
    Pop3Mailbox m_mailbox;
    std::unique_ptr<QTemporaryDir> m_spool;
    TLmserverSettings m_settings;
    TServerEvents m_events;
    std::unique_ptr<TServerManager> m_manager;
    QStringList m_statuses;

    // The test mailbox offers no TLS.
    TConnectTarget Target(const QByteArray& password = "secret") const
    {
        return {m_mailbox.Address(), "alice", password, TqmSecurity::secNone};
    }

    void ConnectOnce(bool getHeaders = true) { m_manager->Connect({{Target()}, {}}, getHeaders); }

    QStringList SpoolFiles() const
    {
        return QDir(m_spool->path()).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    }
    QByteArray SpoolFile(const QString& name) const
    {
        QFile file(m_spool->filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool StatusSeen(const QString& text) const
    {
        return std::any_of(m_statuses.begin(), m_statuses.end(), [&](const QString& s) { return s.contains(text); });
    }

private slots:
    void initTestCase()
    {
        SetLanguage(2);
        const QString error = m_mailbox.Start();
        if (!error.isEmpty())
            QFAIL(qPrintable(error));
        m_events.Status = [this](const QString& text) { m_statuses.append(text); };
    }

    void init()
    {
        m_spool = std::make_unique<QTemporaryDir>();
        m_statuses.clear();
        m_manager = std::make_unique<TServerManager>(m_settings, m_events);
    }

    void listsWithHeaders()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce();
        const TMessageTable& table = m_manager->Table;
        QCOMPARE(table.Servers().size(), 1);
        QCOMPARE(NodeText(table.Servers().at(0)), QString::fromUtf8("127.0.0.1:" + m_mailbox.Address().split(':').last())
                                                      + QStringLiteral(" (alice): 3 Messages"));
        QCOMPARE(table.Lines().size(), 3);
        QCOMPARE(LineText(table.Lines().at(1)),
                 QStringLiteral("Message 2|Sender 2 <s2@example.org>|Mon, 2 Mar 2026 10:02:00 +0100|%1|NOP")
                     .arg(MessageNumber(2).size()));
        QVERIFY(!table.Lines().at(0).Listed.UIDL.isEmpty());
        QVERIFY(StatusSeen(QStringLiteral("Checking mailbox...: 127.0.0.1")));
        QVERIFY(!m_manager->Busy());
    }

    void listsWithoutHeaders()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce(false);
        QStringList lines;
        for (const TMessageLine& line : m_manager->Table.Lines())
            lines.append(LineText(line));
        QCOMPARE(lines, (QStringList{"Message #1||||NOP", "Message #2||||NOP", "Message #3||||NOP"}));
        QVERIFY(!m_manager->Table.Lines().at(2).Listed.UIDL.isEmpty());
    }

    void emptyMailboxAndFailingServer()
    {
        m_mailbox.SetMessages({});
        m_manager->Connect({{Target("wrong"), Target()}, {}}, true);
        const TMessageTable& table = m_manager->Table;
        QCOMPARE(table.Servers().size(), 2);
        QVERIFY(NodeText(table.Servers().at(0)).endsWith(QLatin1String("): [ERROR]")));
        QVERIFY(NodeText(table.Servers().at(1)).endsWith(QLatin1String("): 0 Messages")));
        QVERIFY(table.Lines().isEmpty());
        QVERIFY(StatusSeen(QStringLiteral("Error: ")));
    }

    void autoRefusesAMailboxWithoutTls_data()
    {
        QTest::addColumn<bool>("tlsSeenBefore");
        QTest::addColumn<QString>("reason");
        QTest::newRow("never offered") << false << QStringLiteral("127.0.0.1 offers no encrypted connection");
        QTest::newRow("offered before") << true << QStringLiteral("127.0.0.1 offered an encrypted connection before");
    }
    void autoRefusesAMailboxWithoutTls()
    {
        QFETCH(bool, tlsSeenBefore);
        QFETCH(QString, reason);
        m_mailbox.SetMessages(Messages(1));
        RemoveAccountSecurity("Work");
        if (tlsSeenBefore)
            RememberTlsSeen("Work", TMailService::Pop, m_mailbox.Address());
        TConnectTarget target = Target();
        target.Security = TqmSecurity::secAuto;
        target.AccountName = "Work";
        m_manager->Connect({{target, Target()}, {}}, true);
        const TMessageTable& table = m_manager->Table;
        QVERIFY(NodeText(table.Servers().at(0)).endsWith(QLatin1String("): [ERROR]")));
        QVERIFY2(StatusSeen(reason) && StatusSeen(QStringLiteral("\"None (plain text)\"")), qPrintable(m_statuses.join(u'\n')));
        // Only the mailbox with an explicit "none" was listed.
        QCOMPARE(table.Lines().size(), 1);
        RemoveAccountSecurity("Work");
    }

    void asksForMissingPassword()
    {
        m_mailbox.SetMessages(Messages(1));
        QList<QByteArray> asked;
        TServerEvents events = m_events;
        std::optional<QByteArray> answer = QByteArray("secret");
        events.PasswordRequest = [&](const TConnectTarget& target) {
            asked.append(target.UserName);
            return answer;
        };
        TServerManager manager(m_settings, events);
        manager.Connect({{Target(QByteArray())}, {}}, true);
        QCOMPARE(asked, QList<QByteArray>{"alice"});
        QCOMPARE(manager.Table.Lines().size(), 1);
        answer.reset();
        manager.Connect({{Target(QByteArray())}, {}}, true);
        QVERIFY(manager.Table.Servers().isEmpty());
    }

    // A refused password is asked for once more; the new one is used for the listing and kept for
    // carrying out the marks, and a second refusal is final.
    void refusedPasswordIsAskedAgainOnce_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("lines");
        QTest::newRow("right the second time") << QByteArray("secret") << 1;
        QTest::newRow("wrong again") << QByteArray("still wrong") << 0;
        QTest::newRow("cancelled") << QByteArray() << 0;
    }
    void refusedPasswordIsAskedAgainOnce()
    {
        QFETCH(QByteArray, typed);
        QFETCH(int, lines);
        m_mailbox.SetMessages(Messages(1));
        int asked = 0;
        TServerEvents events = m_events;
        events.PasswordRequest = [&](const TConnectTarget& target) -> std::optional<QByteArray> {
            ++asked;
            if (!target.Password.isEmpty() || typed.isEmpty())
                return std::nullopt;
            return typed;
        };
        TServerManager manager(m_settings, events);
        manager.Connect({{Target("wrong")}, {}}, true);
        QCOMPARE(asked, 1);
        QCOMPARE(manager.Table.Lines().size(), lines);
        QCOMPARE(manager.Table.Servers().at(0).Failed, lines == 0);
        if (lines > 0) {
            manager.Table.SetMark({0}, Mark::Get);
            manager.CarryOut(m_spool->path());
            QCOMPARE(SpoolFiles().size(), 1);
        }
    }

    void getSavesByteEqualSpoolFiles()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce();
        m_manager->Table.SetMark({0, 2}, Mark::Get);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(Marks(m_manager->Table), (QStringList{"GE!", "NOP", "GE!"}));
        const QStringList files = SpoolFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files.at(0).startsWith(QLatin1String("lmserver_1")));
        QVERIFY(files.at(1).startsWith(QLatin1String("lmserver_2")));
        QCOMPARE(SpoolFile(files.at(0)), MessageNumber(1));
        QCOMPARE(SpoolFile(files.at(1)), MessageNumber(3));
        QCOMPARE(QFile::permissions(m_spool->filePath(files.at(0))) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
        QCOMPARE(m_mailbox.Messages().size(), 3);
        QVERIFY(StatusSeen(QStringLiteral("Receiving message #3 of 3...")));
    }

    void getAndDeleteEmptiesTheServer()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce();
        m_manager->Table.SetMark({0, 1, 2}, Mark::GetDelete);
        m_manager->CarryOut(m_spool->path());
        // The deleted messages leave the list, which stays the picture of the server.
        QVERIFY(m_manager->Table.Lines().isEmpty());
        QCOMPARE(m_manager->Table.Servers().at(0).Count, 0);
        QVERIFY(NodeText(m_manager->Table.Servers().at(0)).endsWith(QLatin1String(": 0 Messages")));
        QVERIFY(m_mailbox.Messages().isEmpty());
        QCOMPARE(SpoolFiles().size(), 3);
        QCOMPARE(SpoolFile(SpoolFiles().at(1)), MessageNumber(2));
    }

    void deleteOnlyAndRefetch()
    {
        m_mailbox.SetMessages(Messages(2));
        ConnectOnce();
        m_manager->Table.SetMark({0}, Mark::Delete);
        m_manager->Table.SetMark({1}, Mark::Get);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(Marks(m_manager->Table), (QStringList{"GE!"}));
        QCOMPARE(m_mailbox.Messages(), QByteArrayList{MessageNumber(2)});
        QCOMPARE(SpoolFiles().size(), 1);
        // A fetched line can be marked again; it now stands at the position its message moved to.
        m_manager->Table.ToggleMark({0});
        QCOMPARE(m_manager->Table.Lines().at(0).MarkText, Mark::Get);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(SpoolFiles().size(), 2);
        QVERIFY(!StatusSeen(QStringLiteral("has changed on the server")));
    }

    // After deletions the remaining lines name the messages at their new positions: a second pass
    // deletes exactly what is marked, without a new listing.
    void secondPassAfterDeletionsHitsTheRightMessages()
    {
        m_mailbox.SetMessages(Messages(4));
        m_manager->Connect({{Target(), Target()}, {}}, false);
        TMessageTable& table = m_manager->Table;
        table.SetMark({0, 2}, Mark::Delete);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(table.Servers().at(0).Count, 2);
        QCOMPARE(table.Servers().at(1).FirstLine, 2);
        QCOMPARE(m_mailbox.Messages(), (QByteArrayList{MessageNumber(2), MessageNumber(4)}));
        table.SetMark({1}, Mark::GetDelete);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(m_mailbox.Messages(), QByteArrayList{MessageNumber(2)});
        QCOMPARE(SpoolFiles().size(), 1);
        QCOMPARE(SpoolFile(SpoolFiles().at(0)), MessageNumber(4));
        QCOMPARE(table.Servers().at(0).Count, 1);
    }

    // Numbering of the spool files starts at 1 for each server; the unique-name rule keeps the
    // two "lmserver_1" files apart.
    void twoServersNumberedFromOneEach()
    {
        m_mailbox.SetMessages(Messages(2));
        m_manager->Connect({{Target(), Target()}, {}}, true);
        TMessageTable& table = m_manager->Table;
        QCOMPARE(table.Servers().size(), 2);
        QCOMPARE(table.Servers().at(1).FirstLine, 2);
        table.SetMark({0}, Mark::Get);
        table.SetMark({3}, Mark::Get);
        m_manager->CarryOut(m_spool->path());
        const QStringList files = SpoolFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files.at(0).startsWith(QLatin1String("lmserver_1")));
        QVERIFY(files.at(1).startsWith(QLatin1String("lmserver_1")));
        QByteArrayList contents{SpoolFile(files.at(0)), SpoolFile(files.at(1))};
        std::sort(contents.begin(), contents.end());
        QCOMPARE(contents, (QByteArrayList{MessageNumber(1), MessageNumber(2)}));
    }

    // Another client deleted the first message after the list was built: the numbers moved, and
    // nothing that was not listed at its position is fetched or deleted.
    void positionChangeSkipsAndKeepsMarks()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce();
        m_mailbox.RemoveMessage(0);
        m_manager->Table.SetMark({1}, Mark::GetDelete);
        m_manager->Table.SetMark({2}, Mark::Delete);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(Marks(m_manager->Table), (QStringList{"NOP", "GEL", "DEL"}));
        QCOMPARE(m_mailbox.Messages(), (QByteArrayList{MessageNumber(2), MessageNumber(3)}));
        QVERIFY(SpoolFiles().isEmpty());
        QVERIFY(StatusSeen(QStringLiteral("Message #2 has changed on the server")));
        QVERIFY(StatusSeen(QStringLiteral("Message #3 has changed on the server")));
    }

    void positionChangeWithoutHeaders()
    {
        m_mailbox.SetMessages(Messages(3));
        ConnectOnce(false);
        m_mailbox.RemoveMessage(0);
        m_manager->Table.SetMark({1}, Mark::GetDelete);
        m_manager->CarryOut(m_spool->path());
        QCOMPARE(m_manager->Table.Lines().at(1).MarkText, Mark::GetDelete);
        QCOMPARE(m_mailbox.Messages().size(), 2);
        QVERIFY(SpoolFiles().isEmpty());
    }

    // Mail is deleted on the server only once it is safe on disk.
    void fullSpoolDeletesNothing()
    {
        m_mailbox.SetMessages(Messages(2));
        ConnectOnce();
        m_manager->Table.SetMark({0, 1}, Mark::GetDelete);
        ReportCapture reports;
        {
            const FullDisk full;
            m_manager->CarryOut(m_spool->path());
        }
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.at(0).Id, 12);
        QVERIFY(taken.at(0).Text.startsWith(QLatin1String("Error writing: ")));
        QCOMPARE(Marks(m_manager->Table), (QStringList{"GEL", "GEL"}));
        QCOMPARE(m_mailbox.Messages().size(), 2);
        QVERIFY(SpoolFiles().isEmpty());
        QVERIFY(QDir(m_spool->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // Stop between two replies ends the listing and keeps the lines that arrived.
    void stopDuringListing()
    {
        m_mailbox.SetMessages(Messages(6));
        TServerEvents events = m_events;
        TServerManager* manager = nullptr;
        bool stop = true;
        events.LineAdded = [&](int row) {
            if (row == 1 && std::exchange(stop, false))
                manager->Cancel();
        };
        TServerManager stoppable(m_settings, events);
        manager = &stoppable;
        stoppable.Connect({{Target(), Target()}, {}}, true);
        QCOMPARE(stoppable.Table.Servers().size(), 1);
        QCOMPARE(stoppable.Table.Lines().size(), 2);
        QVERIFY(!stoppable.Table.Servers().at(0).Failed);
        QVERIFY(!stoppable.Busy());
        QVERIFY(StatusSeen(QStringLiteral("Operation cancelled")));
        // The mailbox is intact and can be listed again.
        stoppable.Connect({{Target()}, {}}, true);
        QCOMPARE(stoppable.Table.Lines().size(), 6);
    }
};

QTEST_GUILESS_MAIN(TestLmserverE2E)
#include "tst_lmserver_e2e.moc"

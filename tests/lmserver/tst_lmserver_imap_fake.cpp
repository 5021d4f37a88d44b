// The server manager's carrying out on IMAP against a scripted server, for what Dovecot does not do
// on demand: the connection lost between two folders. What the first folder expunged is gone from
// the server, so its lines leave the list; the second folder's marks stay for the next pass.

#include "FakeServer.h"
#include "LmserverTexts.h"
#include "ServerManager.h"
#include "SharedFunctions.h"
#include "TableMarks.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

TMessageLine ImapLine(const char* subject, const QString& folder, quint32 uid, const QString& mark)
{
    TMessageLine line;
    line.Subject = QString::fromUtf8(subject);
    line.Folder = folder;
    line.Uid = uid;
    line.MarkText = mark;
    return line;
}

} // namespace

class TestLmserverImapFake : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetLanguage(0);
        QVERIFY(m_programDir.isValid());
        InitProgramForActiveUser(m_programDir.filePath(QStringLiteral("lmserver")));
    }

    void connectionLostBetweenFolders()
    {
        FakeServer server({"S: * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN UIDPLUS] ready",
                           "C: A1 AUTHENTICATE PLAIN " + QByteArray("\0alice\0secret", 13).toBase64(),
                           "S: A1 OK [CAPABILITY IMAP4rev1 UIDPLUS] logged in",
                           "C: A2 SELECT INBOX", "S: * OK [UIDVALIDITY 7] valid", "S: A2 OK [READ-WRITE] selected",
                           "C: A3 UID SEARCH UID 4", "S: * SEARCH 4", "S: A3 OK",
                           "C: A4 UID STORE 4 +FLAGS.SILENT (\\Deleted)", "S: A4 OK",
                           "C: A5 UID EXPUNGE 4", "S: * 2 EXPUNGE", "S: A5 OK",
                           "C: A6 SELECT \"Listen\"", "CLOSE"});
        TLmserverSettings settings;
        settings.PopTimeout = 10;
        QStringList statuses;
        TServerEvents events;
        events.Status = [&statuses](const QString& text) { statuses.append(text); };
        int changed = 0;
        events.ServerChanged = [&changed](int) { ++changed; };
        TServerManager manager(settings, events);
        TServerEntry entry;
        entry.Server = server.Address();
        entry.UserName = "alice";
        entry.Password = "secret";
        entry.Security = TqmSecurity::secNone;
        entry.Incoming = TIncomingProtocol::Imap;
        entry.ListedFolders = {{QStringLiteral("INBOX"), 7}, {QStringLiteral("Listen"), 3}};
        manager.Table.AddServer(entry);
        manager.Table.AppendLine(ImapLine("inbox 1", QStringLiteral("INBOX"), 3, Mark::Nothing));
        manager.Table.AppendLine(ImapLine("inbox 2", QStringLiteral("INBOX"), 4, Mark::Delete));
        manager.Table.AppendLine(ImapLine("list 1", QStringLiteral("Listen"), 4, Mark::GetDelete));

        manager.CarryOut(m_programDir.path());
        QVERIFY2(server.Errors().isEmpty(), qPrintable(server.Errors().join(QLatin1Char('\n'))));
        QVERIFY(server.Done());
        QCOMPARE(Marks(manager.Table), (QStringList{Mark::Nothing, Mark::GetDelete}));
        QCOMPARE(manager.Table.Lines().at(1).Subject, QStringLiteral("list 1"));
        QCOMPARE(manager.Table.Servers().first().Count, 2);
        QCOMPARE(changed, 1);
        QVERIFY2(statuses.last().startsWith(MessageText(LmserverText::ErrorPrefix)), qPrintable(statuses.join(QLatin1Char('\n'))));
        QVERIFY(!manager.Busy());
    }

private:
    QTemporaryDir m_programDir;
};

QTEST_GUILESS_MAIN(TestLmserverImapFake)
#include "tst_lmserver_imap_fake.moc"

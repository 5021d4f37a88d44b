// The server manager's rules without a display: marks and their cycle, node texts and lines,
// the table's numbering per server, the connect plan, the command states, the settings and the
// list model.

#include "CommandStates.h"
#include "ConnectPlan.h"
#include "LmserverSettings.h"
#include "MessageListModel.h"
#include "MessageTable.h"
#include "TableMarks.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTest>

namespace {

TMessageLine Line(const char* subject, qint64 size)
{
    TMessageLine line;
    line.Subject = QString::fromUtf8(subject);
    line.Size = QString::number(size);
    line.Listed.Size = size;
    return line;
}

// Two servers: "a" with three lines, "b" with two.
TMessageTable TwoServers()
{
    TMessageTable table;
    table.AddServer({"a.example", "alice"});
    for (const char* subject : {"a1", "a2", "a3"})
        table.AppendLine(Line(subject, 10));
    table.AddServer({"b.example", "bob"});
    for (const char* subject : {"b1", "b2"})
        table.AppendLine(Line(subject, 10));
    return table;
}

} // namespace

class TestLmserverRules : public QObject {
    Q_OBJECT

private slots:
    void init() { SetLanguage(0); }

    void markCycle_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("next");
        QTest::newRow("nothing") << "NOP" << "GET";
        QTest::newRow("get") << "GET" << "DEL";
        QTest::newRow("delete") << "DEL" << "GEL";
        QTest::newRow("get and delete") << "GEL" << "NOP";
        QTest::newRow("fetched") << "GE!" << "GET";
        QTest::newRow("deleted") << "DE!" << "GET";
    }
    void markCycle()
    {
        QFETCH(QString, mark);
        QFETCH(QString, next);
        QCOMPARE(NextMark(mark), next);
    }

    void nodeText_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty, German") << 0 << 0 << false << "pop.example (alice): 0 Nachrichten";
        QTest::newRow("empty, English") << 2 << 0 << false << "pop.example (alice): 0 Messages";
        QTest::newRow("three") << 0 << 3 << false << "pop.example (alice): 3 Nachrichten";
        QTest::newRow("error") << 2 << 0 << true << "pop.example (alice): [ERROR]";
        QTest::newRow("error, German") << 0 << 0 << true << "pop.example (alice): [FEHLER]";
    }
    void nodeText()
    {
        QFETCH(int, language);
        SetLanguage(language);
        QFETCH(int, count);
        QFETCH(bool, failed);
        TServerEntry entry{"pop.example", "alice"};
        entry.Count = count;
        entry.Failed = failed;
        QTEST(NodeText(entry), "text");
    }

    void linesWithoutHeaders_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("lines");
        // Text 7 ends in a blank in German, and " #" follows it.
        QTest::newRow("German") << 0 << QStringList{"Nachricht  #1||||NOP", "Nachricht  #2||||NOP", "Nachricht  #3||||NOP"};
        QTest::newRow("English") << 2 << QStringList{"Message #1||||NOP", "Message #2||||NOP", "Message #3||||NOP"};
    }
    void linesWithoutHeaders()
    {
        QFETCH(int, language);
        SetLanguage(language);
        QStringList lines;
        for (int number = 1; number <= 3; ++number)
            lines.append(LineText(LineWithoutHeaders(number)));
        QTEST(lines, "lines");
    }

    void lineFromHeaders_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("Subject: Hello\r\nFrom: Ann <ann@example.org>\r\nDate: Mon, 2 Mar 2026 10:00:00 +0100")
                               << "Hello|Ann <ann@example.org>|Mon, 2 Mar 2026 10:00:00 +0100|1234|NOP";
        QTest::newRow("encoded word") << QByteArray("Subject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\r\nFrom: b@example.org")
                                      << QString::fromUtf8("Grüße|b@example.org||1234|NOP");
        QTest::newRow("folded subject") << QByteArray("Subject: one\r\n two\r\nFrom: c@example.org")
                                        << "one two|c@example.org||1234|NOP";
        QTest::newRow("no headers at all") << QByteArray() << "|||1234|NOP";
    }
    void lineFromHeaders()
    {
        QFETCH(QByteArray, header);
        QTEST(LineText(LineFromHeaders(TqmHeaders::FromText(header), 1234)), "text");
    }

    // A "|" in a subject stays in its field: the fields are kept apart, not split again.
    void barInSubjectKeepsColumns()
    {
        const TMessageLine line = LineFromHeaders(TqmHeaders::FromText("Subject: a|b\r\nFrom: x@example.org"), 5);
        QCOMPARE(line.Subject, QStringLiteral("a|b"));
        QCOMPARE(line.Sender, QStringLiteral("x@example.org"));
    }

    void numberingPerServer()
    {
        TMessageTable table = TwoServers();
        QCOMPARE(table.Servers().at(1).FirstLine, 3);
        QCOMPARE(table.Servers().at(1).Count, 2);
        QCOMPARE(table.LineAt(1, 0).Subject, QStringLiteral("b1"));
        QCOMPARE(table.LineAt(0, 2).Subject, QStringLiteral("a3"));
        table.SetMark({4}, Mark::Get);
        QVERIFY(!table.HasWork(0));
        QVERIFY(table.HasWork(1));
        QVERIFY(!table.AnyMarkedDelete());
    }

    void markingCommands()
    {
        TMessageTable table = TwoServers();
        table.SetMark({0, 1, 4}, Mark::GetDelete);
        QCOMPARE(Marks(table), (QStringList{"GEL", "GEL", "NOP", "NOP", "GEL"}));
        QVERIFY(!table.AnyMarkedDelete());
        table.ToggleMark({0, 2});
        QCOMPARE(Marks(table), (QStringList{"NOP", "GEL", "GET", "NOP", "GEL"}));
        table.ToggleMark({2});
        QVERIFY(table.AnyMarkedDelete());
        table.SetMark({0, 1, 2, 3, 4}, Mark::Got);
        QVERIFY(!table.AnyWork());
        table.ToggleMark({3});
        QVERIFY(table.AnyWork());
    }

    // A server whose listing failed loses the lines it had got so far.
    void dropLinesOfLastServer()
    {
        TMessageTable table = TwoServers();
        table.DropLinesOf(1);
        QCOMPARE(table.Lines().size(), 3);
        QCOMPARE(table.Servers().at(1).Count, 0);
    }

    void connectPlan()
    {
        TLmserverSettings settings;
        settings.AccountsNames = {"Work", "Gone", "Home"};
        const auto lookup = [](const QString& name) -> std::optional<TAccount> {
            if (name == QLatin1String("Gone"))
                return std::nullopt;
            TAccount account;
            account.Name = name.toUtf8();
            account.PopServer = name.toUtf8() + ".example";
            account.PopUsername = name.toLower().toUtf8();
            account.PopPassword = name == QLatin1String("Home") ? QByteArray() : QByteArray("pw");
            return account;
        };
        const TConnectPlan plan = PlanConnect(settings, lookup);
        QCOMPARE(plan.MissingAccounts, QStringList{"Gone"});
        QCOMPARE(plan.Targets.size(), 2);
        QCOMPARE(plan.Targets.at(0).Server, QByteArray("Work.example"));
        QCOMPARE(plan.Targets.at(0).AccountName, QByteArray("Work"));
        QCOMPARE(plan.Targets.at(1).UserName, QByteArray("home"));
        QVERIFY(plan.Targets.at(1).Password.isEmpty());

        settings.QuickConnect = true;
        settings.QuickServer = QStringLiteral("quick.example");
        settings.QuickUsername = QStringLiteral("q");
        settings.QuickPassword = "secret";
        const TConnectPlan quick = PlanConnect(settings, lookup);
        QCOMPARE(quick.Targets.size(), 1);
        QCOMPARE(quick.Targets.at(0).Password, QByteArray("secret"));
        QCOMPARE(quick.Targets.at(0).Security, TqmSecurity::secAuto);
        QVERIFY(quick.Targets.at(0).AccountName.isEmpty());
        settings.QuickPlainText = true;
        QCOMPARE(PlanConnect(settings, lookup).Targets.at(0).Security, TqmSecurity::secNone);
        QVERIFY(quick.MissingAccounts.isEmpty());
        QCOMPARE(quick.Targets.at(0).Incoming, TIncomingProtocol::Pop3);
        settings.QuickProtocol = TIncomingProtocol::Imap;
        QCOMPARE(PlanConnect(settings, lookup).Targets.at(0).Incoming, TIncomingProtocol::Imap);
    }

    void quickConnectSecurity_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("imap");
        QTest::addColumn<bool>("plainText");
        QTest::addColumn<int>("security");
        QTest::newRow("pop3 without port") << "pop.example" << false << false << int(TqmSecurity::secAuto);
        QTest::newRow("pop3s port") << "pop.example:995" << false << true << int(TqmSecurity::secTls);
        QTest::newRow("imap without port, plain allowed") << "imap.example" << true << true << int(TqmSecurity::secNone);
        QTest::newRow("imaps port") << "imap.example:993" << true << false << int(TqmSecurity::secTls);
        QTest::newRow("imaps port with pop3") << "mail.example:993" << false << false << int(TqmSecurity::secAuto);
        QTest::newRow("pop3s port with imap") << "mail.example:995" << true << false << int(TqmSecurity::secAuto);
        QTest::newRow("imap own port") << "imap.example:1143" << true << false << int(TqmSecurity::secAuto);
        QTest::newRow("bracketed v6 with imaps port") << "[::1]:993" << true << false << int(TqmSecurity::secTls);
    }
    void quickConnectSecurity()
    {
        QFETCH(QString, server);
        QFETCH(bool, imap);
        QFETCH(bool, plainText);
        const TIncomingProtocol protocol = imap ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
        QTEST(int(QuickConnectSecurity(server, protocol, plainText)), "security");
    }

    // The folders are named as the agent names them in the check file, or its next run would
    // fetch again what the server manager took.
    void imapFoldersToList_data()
    {
        QTest::addColumn<QByteArrayList>("ticked");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("none") << QByteArrayList() << QStringList{"INBOX"};
        QTest::newRow("blanks and empty names")
            << QByteArrayList{" Entw\xc3\xbcrfe ", "", "  "} << QStringList{"INBOX", QString::fromUtf8("Entw\xc3\xbcrfe")};
        QTest::newRow("inbox in any case, repeats") << QByteArrayList{"inbox", "Listen/Qt", "Inbox", "Listen/Qt", "listen/qt"}
                                                    << QStringList{"INBOX", "Listen/Qt", "listen/qt"};
    }
    void imapFoldersToList()
    {
        QFETCH(QByteArrayList, ticked);
        QTEST(ImapFoldersToFetch(ticked), "listed");
    }

    void canConnect_data()
    {
        QTest::addColumn<bool>("quick");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("ticked");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("quick, all long enough") << true << "pop1" << "ab" << 0 << true;
        QTest::newRow("quick, server of 3") << true << "pop" << "ab" << 5 << false;
        QTest::newRow("quick, user of 1") << true << "pop.example" << "a" << 5 << false;
        QTest::newRow("accounts, one ticked") << false << "" << "" << 1 << true;
        QTest::newRow("accounts, none ticked") << false << "pop.example" << "alice" << 0 << false;
    }
    void canConnect()
    {
        QFETCH(bool, quick);
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(int, ticked);
        QTEST(CanConnect(quick, server, user, ticked), "enabled");
    }

    void commandStates_data()
    {
        QTest::addColumn<int>("activity");
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("anyWork");
        // Connect, Stop, Action, Mark, SelectAll, Refresh
        QTest::addColumn<QString>("states");
        QTest::newRow("idle, nothing listed") << int(TActivity::Idle) << 0 << false << "C....R";
        QTest::newRow("idle, selection, marks") << int(TActivity::Idle) << 2 << true << "C.AMSR";
        QTest::newRow("listing: marking goes on") << int(TActivity::Listing) << 1 << true << ".S.MS.";
        QTest::newRow("carrying out: marks locked") << int(TActivity::CarryingOut) << 1 << true << ".S..S.";
    }
    void commandStates()
    {
        QFETCH(int, activity);
        QFETCH(int, selected);
        QFETCH(bool, anyWork);
        TCommandInputs in;
        in.Activity = TActivity(activity);
        in.SelectedRows = selected;
        in.ShownRows = selected > 0 ? 5 : 0;
        in.AnyWork = anyWork;
        in.CanRefresh = true;
        const TCommandStates s = ComputeCommandStates(in);
        QString states;
        states += s.Connect ? 'C' : '.';
        states += s.Stop ? 'S' : '.';
        states += s.Action ? 'A' : '.';
        states += s.Mark ? 'M' : '.';
        states += s.SelectAll ? 'S' : '.';
        states += s.Refresh ? 'R' : '.';
        QTEST(states, "states");
    }

    // The quick-connect password is stored scrambled, in a file only its owner can read, even
    // when the file was readable by others before.
    void settingsRoundTripWithScrambledPassword()
    {
        QFile::remove(RegistryFilePath());
        {
            QFile file(RegistryFilePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup);
        }
        ReadCurrentUserSettingsPaths();
        TLmserverSettings s;
        s.QuickServer = QStringLiteral("pop.example");
        s.QuickUsername = QStringLiteral("alice");
        s.QuickPassword = "s3cret pass";
        s.QuickConnect = true;
        s.QuickPlainText = true;
        s.QuickProtocol = TIncomingProtocol::Imap;
        s.GetHeaders = false;
        s.AccountsNames = {"One", "Two", "Three"};
        s.SMDeleteMails = false;
        WriteLmserverSettings(s);
        s.AccountsNames = {"Two"};
        WriteLmserverSettings(s);

        const TLmserverSettings read = ReadLmserverSettings();
        QCOMPARE(read.QuickPassword, QByteArray("s3cret pass"));
        QCOMPARE(read.AccountsNames, QStringList{"Two"});
        QVERIFY(read.QuickConnect);
        QVERIFY(read.QuickPlainText);
        QCOMPARE(read.QuickProtocol, TIncomingProtocol::Imap);
        QVERIFY(!read.GetHeaders);
        QVERIFY(!read.SMDeleteMails);
        const TRegistryKey key(UserContext().Keys.Lmserver);
        QVERIFY(!key.ValueExists(QStringLiteral("AccountsNames2")));
        QVERIFY(!key.ReadBinary(QStringLiteral("QuickPassword")).contains("s3cret"));
        QFile raw(RegistryFilePath());
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.readAll().contains("s3cret"));
        const QFileDevice::Permissions permissions = QFile::permissions(RegistryFilePath());
        QVERIFY(permissions.testFlag(QFileDevice::ReadOwner));
        QVERIFY(!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther)));
    }

    void modelShowsOneServerAndSorts()
    {
        TMessageTable table = TwoServers();
        table.Line(0).Listed.Size = 300;
        table.Line(1).Listed.Size = 20;
        table.Line(2).Listed.Size = 1000;
        TMessageListModel model(table);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetServer(1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.TableRow(0), 3);
        model.SetServer(0);
        model.sort(TMessageListModel::ColBytes, Qt::DescendingOrder);
        QCOMPARE(model.TableRow(0), 2);
        QCOMPARE(model.TableRow(2), 1);
        QCOMPARE(model.RowOfTableRow(0), 1);
        QCOMPARE(model.data(model.index(1, TMessageListModel::ColSubject), Qt::DisplayRole).toString(), QStringLiteral("a1"));
        // Lines arriving for another server do not show here; the shown server's new lines are
        // added behind the sorted ones.
        table.AddServer({"c.example", "carol"});
        table.AppendLine(Line("c1", 1));
        model.ShowNewLines();
        QCOMPARE(model.rowCount(), 3);
        model.SetServer(2);
        model.sort(TMessageListModel::ColSubject, Qt::DescendingOrder);
        table.AppendLine(Line("c0", 2));
        table.AppendLine(Line("c9", 3));
        model.ShowNewLines();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.TableRow(2), 7);
    }

};

QTEST_GUILESS_MAIN(TestLmserverRules)
#include "tst_lmserver_rules.moc"

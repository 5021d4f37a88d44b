// Send and receive jobs with a stand-in agent: which messages end in Sent (read) and which stay,
// that an interrupted filing is finished before the next queue, one agent run per account in order,
// failures that do not stop the next account, and the local filter run over the Inbox.

#include "DialupQuestions.h"
#include "FilterFunctions.h"
#include "FilterRun.h"
#include "FolderFixture.h"
#include "SpoolFunctions.h"
#include "TransferFunctions.h"
#include "DBAccountsFunctions.h"
#include "SendNowFunctions.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace LumaroTest;

Q_DECLARE_METATYPE(THangUpInput)
Q_DECLARE_METATYPE(THangUpStep)

class TestTransfer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TFolderFiles m_inbox, m_outbox, m_sent, m_archive, m_news;

    static QByteArray Subjects(const TFolderFiles& folder)
    {
        QByteArray subjects;
        for (const TFolderMessage& message : EnumerateLiveMessages(folder))
            subjects += message.Index.Subject + ((message.Index.Flags & mfRead) ? "(read) " : " ");
        return subjects.trimmed();
    }

    QList<TListEntry> Fill(const TFolderFiles& folder, const QList<TMessageSpec>& specs)
    {
        CreateFolder(folder);
        for (const TMessageSpec& spec : specs)
            AddMessage(folder, spec);
        return ListEntries(EnumerateLiveMessages(folder));
    }

    // The agent "sends" the messages whose subject is not held.
    static TAgentRunner SendingAgent(const QString& queueDir, const QByteArray& held)
    {
        return [queueDir, held](const TAgentJob&) {
            for (const QString& name : QDir(queueDir).entryList({QStringLiteral("smtp_*.eml")})) {
                QFile file(QDir(queueDir).filePath(name));
                file.open(QIODevice::ReadOnly);
                if (!file.readAll().contains("Subject: " + held + "\r\n"))
                    QFile::remove(file.fileName());
            }
            return true;
        };
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        QDir().mkpath(Paths().Data.MailDir);
        QDir().mkpath(Paths().Data.SmtpDir);
        m_inbox = FolderPaths(QStringLiteral("Inbox"));
        m_outbox = FolderPaths(QStringLiteral("Outbox"));
        m_sent = FolderPaths(QStringLiteral("Sent"));
        m_archive = FolderPaths(QStringLiteral("Archive"));
        m_news = FolderPaths(QStringLiteral("News"));
    }

    void preselectedSmtpServer_data()
    {
        QTest::addColumn<QByteArrayList>("servers");
        QTest::addColumn<QByteArray>("remembered");
        QTest::addColumn<QByteArray>("defaultServer");
        QTest::addColumn<QByteArray>("preselected");
        const QByteArrayList two{"smtp.work.example", "mail.home.example"};
        QTest::newRow("remembered") << two << QByteArray("mail.home.example") << QByteArray("smtp.work.example")
                                    << QByteArray("mail.home.example");
        QTest::newRow("remembered in other case, spelled as listed")
            << two << QByteArray("MAIL.home.example") << QByteArray() << QByteArray("mail.home.example");
        QTest::newRow("remembered one no account names any more, default account's")
            << two << QByteArray("old.example") << QByteArray("smtp.work.example") << QByteArray("smtp.work.example");
        QTest::newRow("nothing remembered, default account's")
            << two << QByteArray() << QByteArray("mail.home.example") << QByteArray("mail.home.example");
        QTest::newRow("the only one") << QByteArrayList{"smtp.work.example"} << QByteArray() << QByteArray()
                                      << QByteArray("smtp.work.example");
        QTest::newRow("several, none to go by") << two << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("no server") << QByteArrayList() << QByteArray("old.example") << QByteArray("old.example")
                                   << QByteArray();
    }
    void preselectedSmtpServer()
    {
        QFETCH(QByteArrayList, servers);
        QFETCH(QByteArray, remembered);
        QFETCH(QByteArray, defaultServer);
        QFETCH(QByteArray, preselected);
        QCOMPARE(PreselectedSmtpServer(servers, remembered, defaultServer), preselected);
    }

    void preselectedPopAccounts_data()
    {
        QTest::addColumn<QByteArrayList>("accounts");
        QTest::addColumn<QByteArrayList>("remembered");
        QTest::addColumn<QByteArrayList>("ticked");
        const QByteArrayList two{"Work", "Home"};
        QTest::newRow("remembered, in the remembered order") << two << QByteArrayList{"Home", "Work"} << QByteArrayList{"Home", "Work"};
        QTest::newRow("a removed account drops out") << two << QByteArrayList{"Gone", "Work"} << QByteArrayList{"Work"};
        QTest::newRow("first start, the only account") << QByteArrayList{"Work"} << QByteArrayList() << QByteArrayList{"Work"};
        QTest::newRow("remembered one renamed, the only account")
            << QByteArrayList{"Work"} << QByteArrayList{"Old"} << QByteArrayList{"Work"};
        QTest::newRow("first start, several: the user chooses") << two << QByteArrayList() << QByteArrayList();
    }
    void preselectedPopAccounts()
    {
        QFETCH(QByteArrayList, accounts);
        QFETCH(QByteArrayList, remembered);
        QFETCH(QByteArrayList, ticked);
        QCOMPARE(PreselectedPopAccounts(accounts, remembered), ticked);
    }

    void sendFilesSentMessagesAndKeepsTheHeldOne()
    {
        CreateFolder(m_sent);
        QList<TListEntry> listed = Fill(m_outbox, {{"me@x", "a@y", "one", {}}, {"me@x", "b@y", "held", {}}, {"me@x", "c@y", "three", {}}});
        TAgentJob job;
        const QString queue = Paths().Data.SmtpDir;
        const TSendResult result = RunSendJob("smtp.example.org", m_outbox, m_sent, listed, queue, job, SendingAgent(queue, "held"));
        QVERIFY(result.Started);
        QCOMPARE(result.Sent, 2);
        QCOMPARE(result.Unsent, 1);
        QCOMPARE(job.Action, SendAction);
        QCOMPARE(job.Server, QByteArray("smtp.example.org"));
        QCOMPARE(Subjects(m_outbox), QByteArray("held"));
        QCOMPARE(Subjects(m_sent), QByteArray("one(read) three(read)"));
        QCOMPARE(listed.size(), 1);
        QVERIFY(QDir(queue).entryList(QDir::Files).isEmpty());
    }

    // The main client was killed after the agent had sent "one": the next send files it and does
    // not hand it to the agent again.
    void nextSendFinishesAnInterruptedFilingFirst()
    {
        CreateFolder(m_sent);
        QList<TListEntry> listed = Fill(m_outbox, {{"me@x", "a@y", "one", {}}, {"me@x", "b@y", "two", {}}});
        const QString queue = Paths().Data.SmtpDir;
        QVERIFY(BuildQueue(m_outbox, listed, queue));
        QVERIFY(QFile::remove(QueueFileName(queue, listed.first().Record)));

        QList<TListEntry> relisted = ListEntries(EnumerateLiveMessages(m_outbox));
        QByteArrayList handedToAgent;
        TAgentJob job;
        RunSendJob("smtp", m_outbox, m_sent, relisted, queue, job, [&](const TAgentJob&) {
            handedToAgent = QDir(queue).entryList({QStringLiteral("smtp_*.eml")}).join(' ').toUtf8().split(' ');
            return true;
        });
        QCOMPARE(handedToAgent, QByteArrayList{"smtp_2.eml"});
        QCOMPARE(relisted.size(), 1);
        QCOMPARE(Subjects(m_sent), QByteArray("one(read)"));
        QCOMPARE(Subjects(m_outbox), QByteArray("two"));
    }

    // The message window is open on "two": it stays in the Outbox, and the user is told why.
    void messageOpenForEditingIsNotSent()
    {
        CreateFolder(m_sent);
        QList<TListEntry> listed = Fill(m_outbox, {{"me@x", "a@y", "one", {}}, {"me@x", "b@y", "two", {}}});
        const QString queue = Paths().Data.SmtpDir;
        TAgentJob job;
        ReportCapture reports;
        const TSendResult result = RunSendJob("smtp", m_outbox, m_sent, listed, queue, job, SendingAgent(queue, {}),
                                              {listed[1].Record});
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, MsgOpenForEditing);
        QVERIFY2(shown.first().Text.contains("'two'"), qPrintable(shown.first().Text));
        QCOMPARE(result.Sent, 1);
        QCOMPARE(result.Unsent, 1);
        QCOMPARE(Subjects(m_outbox), QByteArray("two"));
        QCOMPARE(Subjects(m_sent), QByteArray("one(read)"));
    }

    // An earlier run sent "one" but it could not be filed: nothing goes to the agent, "one"
    // above all, until the filing succeeds.
    void failedFilingSendsNothing()
    {
        CreateFolder(m_sent);
        QList<TListEntry> listed = Fill(m_outbox, {{"me@x", "a@y", "one", {}}, {"me@x", "b@y", "two", {}}});
        const QString queue = Paths().Data.SmtpDir;
        QVERIFY(BuildQueue(m_outbox, listed, queue));
        QVERIFY(QFile::remove(QueueFileName(queue, listed.first().Record)));
        QVERIFY(QFile::remove(m_sent.MessageFile));
        bool agentRan = false;
        TAgentJob job;
        ReportCapture reports;
        const TSendResult result = RunSendJob("smtp", m_outbox, m_sent, listed, queue, job, [&](const TAgentJob&) {
            agentRan = true;
            return true;
        });
        QCOMPARE(reports.Take().last().Id, 101);
        QVERIFY(!result.Started);
        QVERIFY(!agentRan);
        QVERIFY(QFile::exists(QDir(queue).filePath(QStringLiteral("queue.lst"))));
        QCOMPARE(Subjects(m_outbox), QByteArray("one two"));

        CreateFolder(m_sent);
        QVERIFY(RunSendJob("smtp", m_outbox, m_sent, listed, queue, job, SendingAgent(queue, {})).Started);
        QCOMPARE(Subjects(m_sent), QByteArray("one(read) two(read)"));
        QCOMPARE(Subjects(m_outbox), QByteArray());
    }

    void receiveRunsOncePerAccountInOrderAndGoesOnAfterAFailure()
    {
        ScopedRegistry registry;
        QVERIFY(CreateAccountsDatabase());
        for (const char* name : {"work", "home", "spare"}) {
            TAccount account;
            account.Name = name;
            account.PopServer = QByteArray("pop.") + name;
            QVERIFY(WriteAccount(CountAccounts() + 1, account) > 0);
        }
        QByteArrayList servers;
        TAgentJob job;
        QTemporaryDir programDir;
        const QString failureFile = JobFailureFile(programDir.filePath(QStringLiteral("lmagent.ini")));
        // Left by an agent that died before: never taken for a later run's reason.
        QVERIFY(WriteJobFailure(QStringLiteral("stale"), failureFile));
        const TReceiveResult result = RunReceiveJob(
            {"home", "gone", "work", "spare"}, job,
            [&](const TAgentJob& j) {
                servers.append(j.Server);
                if (j.AccountName == "home")
                    WriteJobFailure(QStringLiteral("pop.home Fehler: [10061] Verbindung abgelehnt"), failureFile);
                return j.AccountName == "work";
            },
            failureFile);
        QCOMPARE(servers, QByteArrayList({"pop.home", "pop.work", "pop.spare"}));
        QCOMPARE(result.Runs, 3);
        QCOMPARE(result.FailedAccounts, (QByteArrayList{"home", "spare"}));
        QCOMPARE(FailedAccountsText(result), QStringLiteral("home: pop.home Fehler: [10061] Verbindung abgelehnt\nspare"));
        QVERIFY(!QFile::exists(failureFile));
    }

    // The message window's request and the end of its edit come in either order; whichever is second
    // gives the order. A request for a work file no window of this main window wrote is unknown, and a
    // name used again by a later edit does not send the earlier message.
    void sendNowPairsRequestAndEdit_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("request while the window runs") << "start request end" << "order 7 at end";
        QTest::newRow("request after the window ended") << "start end request" << "order 7 at request";
        QTest::newRow("request from a stranger") << "request" << "unknown";
        QTest::newRow("name used again") << "start end start request end8" << "order 8 at end";
        QTest::newRow("nothing filed") << "start request end0" << "order 0 at end";
    }

    void sendNowPairsRequestAndEdit()
    {
        QFETCH(QString, steps);
        QFETCH(QString, outcome);
        const QString work = QStringLiteral("/queue/new_1.eml");
        TSendNowRequests requests;
        QString seen;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("start")) {
                requests.EditStarted(work);
            } else if (step.startsWith(QLatin1String("end"))) {
                const int record = step.size() > 3 ? step.mid(3).toInt() : 7;
                const std::optional<TSendNowOrder> order = requests.EditEnded(work, record);
                if (order)
                    seen = QStringLiteral("order %1 at end").arg(order->Record);
                QVERIFY(!order || order->Account == "Anna");
            } else {
                TSendNowOrder order;
                switch (requests.Requested(work, "Anna", order)) {
                case TSendNowRequests::TArrival::Ready:
                    seen = QStringLiteral("order %1 at request").arg(order.Record);
                    QCOMPARE(order.Account, QByteArray("Anna"));
                    break;
                case TSendNowRequests::TArrival::Unknown:
                    seen = QStringLiteral("unknown");
                    break;
                case TSendNowRequests::TArrival::Waiting:
                    break;
                }
            }
        }
        QCOMPARE(seen, outcome);
    }

    void transmitPlan()
    {
        QVERIFY(!PlanTransmit(false, false, false, false).Send);
        QVERIFY(PlanTransmit(false, true, false, true).Send && !PlanTransmit(false, true, false, true).Receive);
        QVERIFY(PlanTransmit(true, false, true, true).ReceiveFirst);
    }

    void hangUpQuestion_data()
    {
        QTest::addColumn<THangUpInput>("input");
        QTest::addColumn<THangUpStep>("step");
        QTest::newRow("no connection") << THangUpInput{false, true, true, true, true} << THangUpStep::Skip;
        QTest::newRow("after a transfer, not ours") << THangUpInput{true, false, false, true, true} << THangUpStep::Skip;
        QTest::newRow("after a transfer, ours") << THangUpInput{true, false, true, true, true} << THangUpStep::Ask;
        QTest::newRow("closing, not ours") << THangUpInput{true, true, false, true, false} << THangUpStep::Ask;
        QTest::newRow("no question, remembered yes") << THangUpInput{true, true, false, false, true} << THangUpStep::HangUp;
        QTest::newRow("no question, remembered no") << THangUpInput{true, true, true, false, false} << THangUpStep::Skip;
    }

    void hangUpQuestion()
    {
        QFETCH(THangUpInput, input);
        QFETCH(THangUpStep, step);
        QCOMPARE(DecideHangUp(input), step);
    }

    void headerListGetsTheMailerLineOnce()
    {
        const QString path = m_dir.filePath(QStringLiteral("headers.ini"));
        QByteArrayList headers;
        QVERIFY(PrepareHeaderList(headers, "3.20 (abc)", path));
        QVERIFY(PrepareHeaderList(headers, "3.20 (abc)", path));
        QCOMPARE(ReadHeaderList(path), QByteArrayList{"X-Mailer: Lumaro Mail 3.20 (abc) -"});
    }

    void filterMovesByTheFirstMatchingRule()
    {
        QList<TListEntry> entries = Fill(m_inbox, {{"NewsBot@shop", "me@x", "offer", {}},
                                                   {"", "me@x", "no sender", {}},
                                                   {"bob@x", "me@x", "hello", {}},
                                                   {"bob@x", "me@x", "news about bob", {}}});
        CreateFolder(m_archive);
        CreateFolder(m_news);
        const QByteArrayList rules{"-FROM: \"news,-\" -MOVETO: \"Archive\"", "-SUBJECT: \"news\" -MOVETO: \"News\"",
                                   "-SUBJECT: \"hello\" -DELETE"};
        const TFilterRunResult result = RunLocalFilter(rules, m_inbox, entries, FolderPaths);
        QCOMPARE(result.Moved, 3);
        QVERIFY(!result.Failed);
        QCOMPARE(Subjects(m_archive), QByteArray("offer no sender"));
        QCOMPARE(Subjects(m_news), QByteArray("news about bob"));
        QCOMPARE(Subjects(m_inbox), QByteArray("hello"));
        QCOMPARE(entries.size(), 1);
    }

    // Most mail arrives with kilobytes of trace and signature fields above From, To and Subject.
    void filterReadsTheWholeHeaderBlock_data()
    {
        QTest::addColumn<int>("traceSize");
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<bool>("moved");
        QTest::newRow("from") << 4096 << QByteArray("-FROM: \"news@shop\" -MOVETO: \"News\"") << true;
        QTest::newRow("to") << 4096 << QByteArray("-TO: \"list@x\" -MOVETO: \"News\"") << true;
        QTest::newRow("subject") << 4096 << QByteArray("-SUBJECT: \"weekly\" -MOVETO: \"News\"") << true;
        QTest::newRow("subject behind 40 KB") << 40960 << QByteArray("-SUBJECT: \"weekly\" -MOVETO: \"News\"") << true;
        QTest::newRow("body is no header") << 4096 << QByteArray("-SUBJECT: \"in the body\" -MOVETO: \"News\"") << false;
    }

    void filterReadsTheWholeHeaderBlock()
    {
        QFETCH(int, traceSize);
        QFETCH(QByteArray, rule);
        QFETCH(bool, moved);
        CreateFolder(m_inbox);
        CreateFolder(m_news);
        QByteArray trace;
        for (int i = 0; trace.size() < traceSize; ++i)
            trace += "Received: from relay" + QByteArray::number(i) + ".example.net by mx.example.org; Mon, 1 Jan 2024\r\n"
                     "ARC-Seal: i=" + QByteArray::number(i) + "; a=rsa-sha256; cv=none; d=example.net; s=arc\r\n"
                     "DKIM-Signature: v=1; a=rsa-sha256; d=example.net; b=" + QByteArray(60, 'A') + "\r\n";
        const QByteArray text = FolderSeparator.toByteArray() + trace
            + "From: news@shop\r\nTo: list@x\r\nSubject: weekly\r\n\r\n" + QByteArray(5000, 'b')
            + "\r\nSubject: in the body\r\n";
        const std::optional<TMessageSpan> span = AppendRawBytes(m_inbox.MessageFile, text);
        QVERIFY(span);
        TIndexRecord record;
        record.Offset = span->Offset;
        record.Length = span->Length;
        QVERIFY(AppendIndexRecord(m_inbox.IndexFile, record) > 0);
        QList<TListEntry> entries = ListEntries(EnumerateLiveMessages(m_inbox));
        const TFilterRunResult result = RunLocalFilter({rule}, m_inbox, entries, FolderPaths);
        QCOMPARE(result.Moved, moved ? 1 : 0);
        QCOMPARE(CountMessages(m_news.IndexFile, true), moved ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"

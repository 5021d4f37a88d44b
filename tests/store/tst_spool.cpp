// Spool and queue: importing the spool into the Inbox (and keeping what failed), the emptying step
// before a receive, building the queue, filing sent messages, and the work file names.

#include "FolderSet.h"
#include "MailboxHelpFunctions.h"
#include "ReportCapture.h"
#include "SpoolFunctions.h"
#include "StoreTestSupport.h"
#include "qmmsgcls.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

class TestSpool : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TFolderFiles m_inbox;
    TFolderFiles m_outbox;
    TFolderFiles m_sent;

    static QString SpoolPath(const QString& name) { return QDir(Paths().Data.SpoolDir).filePath(name); }
    static QString QueuePath(const QString& name) { return QDir(Paths().Data.SmtpDir).filePath(name); }

    static QStringList Files(const QString& dir)
    {
        return QDir(dir).entryList(QDir::Files, QDir::Name);
    }

    QList<TListEntry> FillOutbox(const QList<QByteArray>& subjects)
    {
        for (const QByteArray& subject : subjects)
            AppendMessage(m_outbox, Message(subject), m_dir.path());
        return ListEntries(EnumerateLiveMessages(m_outbox));
    }

    static QByteArray Subjects(const TFolderFiles& folder)
    {
        QByteArray subjects;
        for (const TFolderMessage& message : EnumerateLiveMessages(folder))
            subjects += message.Index.Subject + ((message.Index.Flags & mfRead) ? "(read) " : " ");
        return subjects.trimmed();
    }

    // The Message-ID fields of each live message of `folder`, in record order.
    static QList<QByteArrayList> MessageIdFields(const TFolderFiles& folder)
    {
        QList<QByteArrayList> messages;
        for (const TListEntry& entry : ListEntries(EnumerateLiveMessages(folder))) {
            const QByteArray text = ReadRawMessage(folder.MessageFile, entry.Offset, entry.Length).value_or(QByteArray());
            messages.append(IdFieldsOfText(text.mid(FolderSeparator.size())));
        }
        return messages;
    }

    static QByteArrayList IdFieldsOfText(const QByteArray& text)
    {
        QByteArrayList fields;
        for (const QByteArray& line : TqmHeaders::FromText(text.left(text.indexOf("\r\n\r\n")))) {
            if (line.toLower().startsWith("message-id:"))
                fields.append(line);
        }
        return fields;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseDataDirectory(m_dir.path());
        m_inbox = FolderPaths(QStringLiteral("Inbox"));
        m_outbox = FolderPaths(QStringLiteral("Outbox"));
        m_sent = FolderPaths(QStringLiteral("Sent"));
    }

    void init()
    {
        for (const TFolderFiles& folder : {m_inbox, m_outbox, m_sent})
            QVERIFY(CreateFolderFiles(folder));
        EmptyDirectory(Paths().Data.SpoolDir);
        EmptyDirectory(Paths().Data.SmtpDir);
    }

    void workFileNames()
    {
        const QRegularExpression stamp(QStringLiteral("^[0-9]+\\.eml$"));
        const QString pop = QFileInfo(SpoolFileName(Paths().Data.SpoolDir, 3)).fileName();
        QVERIFY2(pop.startsWith(QStringLiteral("pop_3")) && stamp.match(pop.mid(5)).hasMatch(), qPrintable(pop));
        const QString edit = QFileInfo(EditFileName(Paths().Data.SmtpDir, 12)).fileName();
        QVERIFY2(edit.startsWith(QStringLiteral("edit_12")) && stamp.match(edit.mid(7)).hasMatch(), qPrintable(edit));
        const QString created = QFileInfo(NewMessageFileName(Paths().Data.SmtpDir)).fileName();
        QVERIFY2(created.startsWith(QStringLiteral("new_")) && stamp.match(created.mid(4)).hasMatch(), qPrintable(created));
        QCOMPARE(QueueFileName(Paths().Data.SmtpDir, 7), QueuePath(QStringLiteral("smtp_7.eml")));
    }

    void importAppendsAndDeletesOnlyMessageFiles()
    {
        QVERIFY(!SpoolHasMail(Paths().Data.SpoolDir));
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("pop_1.eml")), Message("one")));
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("lmserver_2.eml")), Message("two")));
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("contact.txt")), "x"));
        QVERIFY(SpoolHasMail(Paths().Data.SpoolDir));
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, m_inbox), 2);
        QCOMPARE(Files(Paths().Data.SpoolDir), QStringList{QStringLiteral("contact.txt")});
        QByteArray subjects = Subjects(m_inbox);
        QVERIFY2(subjects == "one two" || subjects == "two one", subjects.constData());
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, m_inbox), 0);
    }

    // Two accounts received one after the other: the Inbox gets their mail in arrival order,
    // whatever the names and the directory order say; files of the same moment go by name.
    void importFollowsTheArrivalOrder()
    {
        const QDateTime start = QDateTime::currentDateTime().addSecs(-60);
        const QList<std::tuple<const char*, QByteArray, int>> arrivals{{"pop_2.eml", "first", 0},
                                                                       {"pop_3.eml", "second", 0},
                                                                       {"pop_10.eml", "third", 1},
                                                                       {"pop_1.eml", "fourth", 2},
                                                                       {"lmserver_1.eml", "fifth", 3}};
        for (const auto& [name, subject, second] : arrivals) {
            const QString path = SpoolPath(QString::fromLatin1(name));
            QVERIFY(WriteContent(path, Message(subject)));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(start.addSecs(second), QFileDevice::FileModificationTime));
        }
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, m_inbox), 5);
        QCOMPARE(Subjects(m_inbox), QByteArray("first second third fourth fifth"));
    }

    void failedImportKeepsTheFileAndReportsEachTime()
    {
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("pop_1.eml")), Message("one")));
        QVERIFY(QFile::remove(m_inbox.MessageFile));
        for (int attempt = 0; attempt < 2; ++attempt) {
            ReportCapture reports;
            QCOMPARE(ImportSpool(Paths().Data.SpoolDir, m_inbox), 0);
            const TUserMessage report = reports.Take().value(0);
            QCOMPARE(report.Id, 12);
            // What could not be written is the folder; the spool file only waits.
            QVERIFY2(report.Text.contains(m_inbox.MessageFile), qPrintable(report.Text));
        }
        // The emptying step before the next receive keeps it, so the next import gets it.
        QVERIFY(ClearSpoolForReceive(Paths().Data.SpoolDir));
        QVERIFY(CreateEmptyMessageFile(m_inbox.MessageFile));
        QCOMPARE(ImportSpool(Paths().Data.SpoolDir, m_inbox), 1);
        QCOMPARE(Subjects(m_inbox), QByteArray("one"));
    }

    void clearSpoolKeepsWaitingMessagesAndDirectories()
    {
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("pop_1.eml")), Message("one")));
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("contact.txt")), "x"));
        QVERIFY(WriteContent(SpoolPath(QStringLiteral("partial.tmp")), "x"));
        QVERIFY(ClearSpoolForReceive(Paths().Data.SpoolDir));
        QCOMPARE(Files(Paths().Data.SpoolDir), QStringList{QStringLiteral("pop_1.eml")});
        QVERIFY(QFileInfo(Paths().Data.SmtpDir).isDir());
    }

    // A work file kept after a failed append, or one open in the message window, holds the user's
    // text: the build removes only what an earlier queue left.
    void buildQueueExportsWithoutSeparatorAndKeepsWorkFiles()
    {
        const QList<TListEntry> listed = FillOutbox({"a", "b"});
        QVERIFY(WriteContent(QueuePath(QStringLiteral("edit_9123.eml")), "kept edit"));
        QVERIFY(WriteContent(QueuePath(QStringLiteral("new_4711.eml")), "kept new message"));
        QVERIFY(WriteContent(QueuePath(QStringLiteral("smtp_9.eml")), "stale queue file"));
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QCOMPARE(Files(Paths().Data.SmtpDir),
                 QStringList({QStringLiteral("edit_9123.eml"), QStringLiteral("new_4711.eml"), QStringLiteral("queue.lst"),
                              QStringLiteral("smtp_1.eml"), QStringLiteral("smtp_2.eml")}));
        QCOMPARE(Content(QueuePath(QStringLiteral("smtp_2.eml"))), Message("b"));
        QCOMPARE(Content(QueuePath(QStringLiteral("edit_9123.eml"))), QByteArray("kept edit"));
    }

    void workFileNamesAreNotQueueFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("workFile");
        QTest::newRow("new") << QStringLiteral("new_123.eml") << true;
        QTest::newRow("edit") << QStringLiteral("edit_4123.eml") << true;
        QTest::newRow("queue file") << QStringLiteral("smtp_4.eml") << false;
        QTest::newRow("manifest") << QStringLiteral("queue.lst") << false;
        QTest::newRow("new without extension") << QStringLiteral("new_1.tmp") << false;
    }

    void workFileNamesAreNotQueueFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, workFile);
        QCOMPARE(IsWorkFileName(name), workFile);
    }

    // The agent sent "a"; filing it into Sent fails (after the run, or again at the next send). The
    // manifest stays, so no queue build can send "a" a second time; once Sent can be written, the
    // next send files "a" once and queues only what is left.
    void failedFilingKeepsTheManifest_data()
    {
        QTest::addColumn<int>("failedAttempts");
        QTest::newRow("filing after the run fails") << 1;
        QTest::newRow("filing before the next build fails too") << 2;
    }

    void failedFilingKeepsTheManifest()
    {
        QFETCH(int, failedAttempts);
        QList<TListEntry> listed = FillOutbox({"a", "b"});
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QVERIFY(QFile::remove(QueuePath(QStringLiteral("smtp_1.eml"))));
        QVERIFY(QFile::remove(m_sent.MessageFile));
        for (int attempt = 0; attempt < failedAttempts; ++attempt) {
            ReportCapture reports;
            QVERIFY(!FileSentMessages(m_outbox, m_sent, listed, Paths().Data.SmtpDir));
            QCOMPARE(reports.Take().last().Id, 101);
            QVERIFY(QFile::exists(QueuePath(QStringLiteral("queue.lst"))));
            QVERIFY(!BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
            const QList<TUserMessage> refusal = reports.Take();
            QCOMPARE(refusal.size(), 1);
            QCOMPARE(refusal.first().Id, 101);
            QVERIFY(!QFile::exists(QueuePath(QStringLiteral("smtp_1.eml"))));
        }
        QCOMPARE(Subjects(m_outbox), QByteArray("a b"));

        QVERIFY(CreateEmptyMessageFile(m_sent.MessageFile));
        QVERIFY(FileSentMessages(m_outbox, m_sent, listed, Paths().Data.SmtpDir));
        QCOMPARE(Subjects(m_sent), QByteArray("a(read)"));
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QCOMPARE(Files(Paths().Data.SmtpDir), QStringList({QStringLiteral("queue.lst"), QStringLiteral("smtp_2.eml")}));
    }

    // A manifest written before it carried dates still files what was sent.
    void manifestWithoutDatesIsRead()
    {
        QList<TListEntry> listed = FillOutbox({"a", "b"});
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QByteArray old;
        for (const TListEntry& entry : listed)
            old += QByteArray::number(entry.Record) + ' ' + QByteArray::number(entry.Offset) + ' ' + QByteArray::number(entry.Length) + '\n';
        QVERIFY(WriteContent(QueuePath(QStringLiteral("queue.lst")), old));
        QVERIFY(QFile::remove(QueuePath(QStringLiteral("smtp_2.eml"))));
        QVERIFY(FileSentMessages(m_outbox, m_sent, listed, Paths().Data.SmtpDir));
        QCOMPARE(Subjects(m_outbox), QByteArray("a"));
        QCOMPARE(Subjects(m_sent), QByteArray("b(read)"));
    }

    void buildQueueFailsOnAnUnreadableMessage()
    {
        QList<TListEntry> listed = FillOutbox({"a"});
        listed.append(TListEntry{2, 5000, 10, 0});
        ReportCapture reports;
        QVERIFY(!BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QCOMPARE(reports.Take().value(0).Id, 11);
    }

    // The agent deleted the queue files of the messages it sent; the others remain.
    void fileSentMessages_data()
    {
        QTest::addColumn<QByteArray>("sentSubjects");
        QTest::addColumn<QByteArray>("outboxAfter");
        QTest::addColumn<QByteArray>("sentAfter");
        QTest::newRow("stopped after the first") << QByteArray("a") << QByteArray("b c") << QByteArray("a(read)");
        QTest::newRow("held one stays") << QByteArray("ac") << QByteArray("b") << QByteArray("a(read) c(read)");
        QTest::newRow("nothing sent") << QByteArray() << QByteArray("a b c") << QByteArray();
        QTest::newRow("all sent") << QByteArray("abc") << QByteArray() << QByteArray("a(read) b(read) c(read)");
    }

    void fileSentMessages()
    {
        QFETCH(QByteArray, sentSubjects);
        QFETCH(QByteArray, outboxAfter);
        QFETCH(QByteArray, sentAfter);
        QList<TListEntry> listed = FillOutbox({"a", "b", "c"});
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        for (const char subject : sentSubjects)
            QVERIFY(QFile::remove(QueuePath(QStringLiteral("smtp_%1.eml").arg(subject - 'a' + 1))));

        QVERIFY(FileSentMessages(m_outbox, m_sent, listed, Paths().Data.SmtpDir));
        QCOMPARE(Subjects(m_outbox), outboxAfter);
        QCOMPARE(Subjects(m_sent), sentAfter);
        QCOMPARE(listed.size(), 3 - sentSubjects.size());
        QCOMPARE(Files(Paths().Data.SmtpDir), QStringList());
        if (outboxAfter.isEmpty())
            QCOMPARE(QFileInfo(m_outbox.MessageFile).size(), 0);
    }

    // The main client died after the agent sent "a" (or while filing it): the next send or start
    // files what was sent, once, before a new queue could send it again.
    void interruptedFilingIsFinishedOnce_data()
    {
        QTest::addColumn<bool>("firstAlreadyFiled");
        QTest::newRow("killed before filing") << false;
        QTest::newRow("killed after filing the first") << true;
    }

    void interruptedFilingIsFinishedOnce()
    {
        QFETCH(bool, firstAlreadyFiled);
        QList<TListEntry> listed = FillOutbox({"a", "b", "c"});
        QVERIFY(BuildQueue(m_outbox, listed, Paths().Data.SmtpDir));
        QVERIFY(QFile::remove(QueuePath(QStringLiteral("smtp_1.eml"))));
        QVERIFY(QFile::remove(QueuePath(QStringLiteral("smtp_2.eml"))));
        if (firstAlreadyFiled) {
            QList<TListEntry> first{listed.first()};
            QVERIFY(CopyMessages(m_outbox, m_sent, first, TCopyOptions{true, true}));
        }
        QVERIFY(ResumeFilingSent(m_outbox, m_sent, Paths().Data.SmtpDir));
        QCOMPARE(Subjects(m_outbox), QByteArray("c"));
        QCOMPARE(Subjects(m_sent), QByteArray("a(read) b(read)"));
        QCOMPARE(Files(Paths().Data.SmtpDir), QStringList());
        QVERIFY(ResumeFilingSent(m_outbox, m_sent, Paths().Data.SmtpDir));
        QCOMPARE(Subjects(m_sent), QByteArray("a(read) b(read)"));
    }

    void fileWorkFile_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("appendFails");
        QTest::addColumn<QByteArray>("outboxAfter");
        QTest::addColumn<bool>("fileKept");
        QTest::newRow("edited") << true << false << QByteArray("b edited") << false;
        QTest::newRow("closed unchanged") << false << false << QByteArray("a b") << false;
        QTest::newRow("append fails") << true << true << QByteArray() << true;
    }

    void fileWorkFile()
    {
        QFETCH(bool, changed);
        QFETCH(bool, appendFails);
        QFETCH(QByteArray, outboxAfter);
        QFETCH(bool, fileKept);
        const QList<TListEntry> listed = FillOutbox({"a", "b"});
        const QString path = ExportForEditing(m_outbox, listed[0], Paths().Data.SmtpDir);
        const QDateTime handedOver = QFileInfo(path).lastModified();
        if (changed) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(file.write(Message("edited")) > 0 && file.flush());
            QVERIFY(file.setFileTime(handedOver.addSecs(2), QFileDevice::FileModificationTime));
        }
        if (appendFails)
            QVERIFY(QFile::remove(m_outbox.MessageFile));
        ReportCapture reports;
        const qint32 record = FileWorkFile(m_outbox, path, handedOver, MarkOf(m_outbox, listed[0]), false);
        QCOMPARE(record, (changed && !appendFails) ? 3 : 0);
        QCOMPARE(reports.Take().size(), appendFails ? 1 : 0);
        if (!appendFails)
            QCOMPARE(Subjects(m_outbox), outboxAfter);
        QCOMPARE(QFile::exists(path), fileKept);
        if (appendFails)
            QVERIFY(CreateEmptyMessageFile(m_outbox.MessageFile));
        QVERIFY(BuildQueue(m_outbox, ListEntries(EnumerateLiveMessages(m_outbox)), Paths().Data.SmtpDir));
        QCOMPARE(QFile::exists(path), fileKept);
    }

    // The message window was open on "b" while the folder changed under it. Saving replaces "b"
    // only while the folder still holds it; otherwise both stay and the user is told.
    void savedEditReplacesOnlyTheSameMessage_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QByteArray>("outboxAfter");
        QTest::addColumn<QByteArray>("sentAfter");
        QTest::addColumn<bool>("warned");
        QTest::newRow("nothing happened") << QString() << QByteArray("a b2") << QByteArray() << false;
        QTest::newRow("sent") << QStringLiteral("send") << QByteArray("a b2") << QByteArray("b(read)") << true;
        QTest::newRow("deleted") << QStringLiteral("delete") << QByteArray("a b2") << QByteArray() << true;
        QTest::newRow("reorganized, other message on its record")
            << QStringLiteral("reorganize") << QByteArray("b cc b2") << QByteArray() << true;
        QTest::newRow("emptied and filled again")
            << QStringLiteral("refill") << QByteArray("x y b2") << QByteArray("a(read) b(read)") << true;
    }

    void savedEditReplacesOnlyTheSameMessage()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QByteArray, outboxAfter);
        QFETCH(QByteArray, sentAfter);
        QFETCH(bool, warned);
        QList<TListEntry> listed = FillOutbox({"a", "b"});
        const TMessageMark editing = MarkOf(m_outbox, listed[1]);
        const QString path = ExportForEditing(m_outbox, listed[1], Paths().Data.SmtpDir);
        const QDateTime handedOver = QFileInfo(path).lastModified();
        if (meanwhile == QLatin1String("send")) {
            QList<TListEntry> sent{listed[1]};
            QVERIFY(CopyMessages(m_outbox, m_sent, sent, TCopyOptions{true, true}));
        } else if (meanwhile == QLatin1String("delete")) {
            QVERIFY(MarkDeleted(m_outbox.IndexFile, listed[1].Record));
        } else if (meanwhile == QLatin1String("reorganize")) {
            QVERIFY(MarkDeleted(m_outbox.IndexFile, listed[0].Record));
            QVERIFY(ReorganizeFolder(m_outbox, QStringLiteral("Outbox")));
            AppendMessage(m_outbox, Message("cc"), m_dir.path());
        } else if (meanwhile == QLatin1String("refill")) {
            QVERIFY(CopyMessages(m_outbox, m_sent, listed, TCopyOptions{true, true}));
            QCOMPARE(QFileInfo(m_outbox.MessageFile).size(), 0);
            FillOutbox({"x", "y"});
        }
        QVERIFY(WriteContent(path, Message("b2")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(handedOver.addSecs(2), QFileDevice::FileModificationTime));
        file.close();

        ReportCapture reports;
        QVERIFY(FileWorkFile(m_outbox, path, handedOver, editing, false) > 0);
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), warned ? 1 : 0);
        if (warned)
            QCOMPARE(shown.first().Id, 100);
        QCOMPARE(Subjects(m_outbox), outboxAfter);
        QCOMPARE(Subjects(m_sent), sentAfter);
    }

    // Every way into the Outbox: the message window's work file, a copy from another folder, and
    // the queue function itself. Each leaves the Outbox with exactly one Message-ID.
    void queueingGivesExactlyOneMessageId_data()
    {
        QTest::addColumn<QByteArray>("extraHeaders");
        QTest::addColumn<QByteArray>("keptField");
        QTest::newRow("without id") << QByteArray() << QByteArray();
        QTest::newRow("with id") << QByteArray("Message-Id: <kept@example.org>\r\n") << QByteArray("Message-Id: <kept@example.org>");
    }
    void queueingGivesExactlyOneMessageId()
    {
        QFETCH(QByteArray, extraHeaders);
        QFETCH(QByteArray, keptField);
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        QVERIFY(CreateFolderFiles(outbox));
        const QByteArray message = Message("queued", "Hello.\r\n", extraHeaders);
        const QString workFile = QueuePath(QStringLiteral("new_1.eml"));
        QVERIFY(WriteContent(workFile, message));
        QVERIFY(QueueMessageFile(outbox, workFile) > 0);
        QCOMPARE(Content(workFile), message);
        const QDateTime handedOver = QFileInfo(workFile).lastModified().addSecs(-2);
        QVERIFY(FileWorkFile(outbox, workFile, handedOver, {}, false) > 0);
        AppendMessage(m_inbox, message, m_dir.path());
        QList<TListEntry> copied = ListEntries(EnumerateLiveMessages(m_inbox));
        QVERIFY(CopyMessages(m_inbox, outbox, copied));

        const QList<QByteArrayList> ids = MessageIdFields(outbox);
        QCOMPARE(ids.size(), 3);
        QSet<QByteArray> distinct;
        for (const QByteArrayList& fields : ids) {
            QCOMPARE(fields.size(), 1);
            if (!keptField.isEmpty())
                QCOMPARE(fields.first(), keptField);
            else
                QVERIFY2(fields.first().endsWith("@example.org>"), fields.first().constData());
            distinct.insert(fields.first());
        }
        QCOMPARE(distinct.size(), keptField.isEmpty() ? 3 : 1);
    }

    // A message that stays in the Outbox after a failed send goes out again with the same id.
    void resendKeepsTheMessageId()
    {
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        QVERIFY(CreateFolderFiles(outbox));
        const QString workFile = QueuePath(QStringLiteral("new_1.eml"));
        QVERIFY(WriteContent(workFile, Message("queued")));
        QVERIFY(QueueMessageFile(outbox, workFile) > 0);
        QList<TListEntry> listed = ListEntries(EnumerateLiveMessages(outbox));
        QByteArrayList sends;
        for (int run = 0; run < 2; ++run) {
            QVERIFY(BuildQueue(outbox, listed, Paths().Data.SmtpDir));
            const QByteArrayList fields = IdFieldsOfText(Content(QueueFileName(Paths().Data.SmtpDir, listed[0].Record)));
            QCOMPARE(fields.size(), 1);
            sends.append(fields.first());
            // The send failed: its queue file is still there, and the message stays.
            QVERIFY(FileSentMessages(outbox, m_sent, listed, Paths().Data.SmtpDir));
            QCOMPARE(listed.size(), 1);
        }
        QCOMPARE(sends[0], sends[1]);
        QCOMPARE(MessageIdFields(outbox).value(0), QByteArrayList{sends[0]});
    }

    void otherFoldersAreNotQueued()
    {
        const QString workFile = QueuePath(QStringLiteral("new_1.eml"));
        QVERIFY(WriteContent(workFile, Message("draft")));
        QVERIFY(!IsOutbox(m_sent));
        QVERIFY(FileWorkFile(m_sent, workFile, QFileInfo(workFile).lastModified().addSecs(-2), {}, false) > 0);
        QList<TListEntry> copied = ListEntries(EnumerateLiveMessages(m_sent));
        QVERIFY(CopyMessages(m_sent, m_inbox, copied));
        QCOMPARE(MessageIdFields(m_sent), QList<QByteArrayList>{QByteArrayList()});
        QCOMPARE(MessageIdFields(m_inbox), QList<QByteArrayList>{QByteArrayList()});
    }

    void exportForEditing()
    {
        const QList<TListEntry> listed = FillOutbox({"a", "b"});
        const QString path = ExportForEditing(m_outbox, listed[1], Paths().Data.SmtpDir);
        QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("edit_2")));
        QCOMPARE(Content(path), Message("b"));
    }
};

QTEST_GUILESS_MAIN(TestSpool)
#include "tst_spool.moc"

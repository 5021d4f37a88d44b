// The message commands without a window: delete, copy and move, the drop rule, marking, the message
// window's command lines and the edit cycle with its work files.

#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "MessageCommands.h"
#include "ReportCapture.h"
#include "SpoolFunctions.h"
#include "TestInstallation.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LumaroTest;

namespace {

QList<TListEntry> LiveEntries(const QString& folder)
{
    return ListEntries(EnumerateLiveMessages(FolderPaths(folder)));
}

QByteArrayList Subjects(const QString& folder)
{
    QByteArrayList subjects;
    for (const TFolderMessage& message : EnumerateLiveMessages(FolderPaths(folder)))
        subjects.append(message.Index.Subject);
    return subjects;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMessageCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestInstallation> m_installation;

    // The five special folders and "Work" holding messages "a", "b", "c".
    void AddFolders()
    {
        for (const QString& name : ListFolders() + QStringList{"Work"})
            QVERIFY(CreateFolder(FolderPaths(name)));
        for (const char* subject : {"a", "b", "c"})
            QVERIFY(AddMessage(FolderPaths("Work"), {"anna@example.org", "bert@example.org", subject, {}, 0, false}) > 0);
    }

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lumaro"));
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        QVERIFY(QDir().mkpath(Paths().Data.SmtpDir));
        AddFolders();
    }

    void cleanup() { m_installation.reset(); }

    void trashDeletesForGood_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("forGood");
        QTest::newRow("Trash") << "Papierkorb" << true;
        QTest::newRow("Trash in other letter case") << "papierkorb" << true;
        QTest::newRow("Inbox") << "Posteingang" << false;
        QTest::newRow("user folder") << "Work" << false;
        QTest::newRow("sub-folder named like the Trash") << "Work$Papierkorb" << false;
    }

    void trashDeletesForGood()
    {
        QFETCH(QString, folder);
        QFETCH(bool, forGood);
        QCOMPARE(DeletesForGood(folder), forGood);
    }

    void deletingForGoodEmptiesTheFolderWhenNothingIsLeft_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QByteArrayList>("left");
        QTest::newRow("one of three") << QList<int>{1} << QByteArrayList{"a", "c"};
        QTest::newRow("all three") << QList<int>{0, 1, 2} << QByteArrayList{};
    }

    void deletingForGoodEmptiesTheFolderWhenNothingIsLeft()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QByteArrayList, left);
        const TFolderFiles work = FolderPaths("Work");
        const QList<TListEntry> all = LiveEntries("Work");
        QList<TListEntry> entries;
        for (const int row : rows)
            entries.append(all[row]);
        QVERIFY(DeleteForGood(work, entries));
        QVERIFY(entries.isEmpty());
        QCOMPARE(Subjects("Work"), left);
        const bool emptied = left.isEmpty();
        QCOMPARE(QFileInfo(work.MessageFile).size() == 0, emptied);
        QCOMPARE(QFileInfo(work.IndexFile).size() == IndexRecordSize, emptied);
    }

    void deletingAMissingRecordStopsWithMessage34()
    {
        ReportCapture reports;
        QList<TListEntry> entries = LiveEntries("Work");
        entries.insert(1, TListEntry{99, 0, 10, 0});
        QVERIFY(!DeleteForGood(FolderPaths("Work"), entries));
        QCOMPARE(reports.Take().first().Id, MsgCouldNotDelete);
        // The message before the bad entry is gone, the ones after it stay.
        QCOMPARE(Subjects("Work"), (QByteArrayList{"b", "c"}));
        QCOMPARE(entries.size(), 3);
    }

    void transfer_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("move");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArrayList>("sourceLeft");
        QTest::addColumn<QByteArrayList>("targetHolds");
        QTest::addColumn<int>("report");
        const auto done = int(TTransferResult::Done);
        QTest::newRow("move to the Trash") << "Papierkorb" << true << done << QByteArrayList{"c"}
                                           << QByteArrayList{"a", "b"} << 0;
        QTest::newRow("copy to the Inbox") << "Posteingang" << false << done << QByteArrayList{"a", "b", "c"}
                                           << QByteArrayList{"a", "b"} << 0;
        QTest::newRow("move into the own folder") << "Work" << true << int(TTransferResult::OwnFolder)
                                                  << QByteArrayList{"a", "b", "c"} << QByteArrayList{"a", "b", "c"}
                                                  << MsgOwnFolder;
        QTest::newRow("copy into the own folder") << "Work" << false << done << QByteArrayList{"a", "b", "c", "a", "b"}
                                                  << QByteArrayList{"a", "b", "c", "a", "b"} << 0;
    }

    void transfer()
    {
        QFETCH(QString, target);
        QFETCH(bool, move);
        QFETCH(int, result);
        QFETCH(QByteArrayList, sourceLeft);
        QFETCH(QByteArrayList, targetHolds);
        QFETCH(int, report);
        ReportCapture reports;
        const QByteArray before = FileBytes(FolderPaths("Work").MessageFile);
        QList<TListEntry> entries = LiveEntries("Work").first(2);
        const std::optional<QByteArray> firstBefore =
            ReadRawMessage(FolderPaths("Work").MessageFile, entries[0].Offset, entries[0].Length);
        QCOMPARE(int(TransferMessages("Work", target, entries, move)), result);
        QCOMPARE(Subjects("Work"), sourceLeft);
        QCOMPARE(Subjects(target), targetHolds);
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.isEmpty() ? 0 : shown.first().Id, report);
        if (result == int(TTransferResult::OwnFolder))
            QCOMPARE(FileBytes(FolderPaths("Work").MessageFile), before);
        // The first message of the target is message "a" byte for byte.
        const TListEntry copy = LiveEntries(target).first();
        QCOMPARE(ReadRawMessage(FolderPaths(target).MessageFile, copy.Offset, copy.Length), firstBefore);
    }

    void movingEverythingShrinksTheSource()
    {
        QList<TListEntry> entries = LiveEntries("Work");
        QCOMPARE(TransferMessages("Work", "Papierkorb", entries, true), TTransferResult::Done);
        QVERIFY(entries.isEmpty());
        QCOMPARE(QFileInfo(FolderPaths("Work").MessageFile).size(), 0);
        QCOMPARE(Subjects("Papierkorb"), (QByteArrayList{"a", "b", "c"}));
    }

    void anUnreadableMessageEndsTheCopyAfterThoseBeforeIt()
    {
        ReportCapture reports;
        QList<TListEntry> entries = LiveEntries("Work");
        entries[1].Offset = 1 << 30;
        QCOMPARE(TransferMessages("Work", "Posteingang", entries, true), TTransferResult::Failed);
        QCOMPARE(reports.Take().first().Id, MsgErrorWriting);
        QCOMPARE(Subjects("Posteingang"), QByteArrayList{"a"});
        QCOMPARE(Subjects("Work"), (QByteArrayList{"b", "c"}));
        QCOMPARE(entries.size(), 2);
    }

    void dropRule_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("copies");
        QTest::newRow("no key") << int(Qt::NoModifier) << false;
        QTest::newRow("Ctrl") << int(Qt::ControlModifier) << true;
        QTest::newRow("Shift") << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl and Shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << true;
        QTest::newRow("Alt") << int(Qt::AltModifier) << false;
    }

    void dropRule()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, copies);
        QCOMPARE(DropCopies(Qt::KeyboardModifiers(modifiers)), copies);
        QCOMPARE(DragStatusMessage(Qt::KeyboardModifiers(modifiers)), copies ? MsgCopyMessages : MsgMoveMessages);
    }

    void marking()
    {
        const QString index = FolderPaths("Work").IndexFile;
        QVERIFY(AddMessage(FolderPaths("Work"), {"x", "y", "held", {}, mfHeld | mfAttachments, false}) > 0);
        QList<TListEntry> entries = LiveEntries("Work");
        QVERIFY(MarkMessages(index, entries, true));
        for (const TFolderMessage& message : EnumerateLiveMessages(FolderPaths("Work")))
            QVERIFY(message.Index.Flags & mfRead);
        QCOMPARE(entries.last().Flags, qint32(mfRead | mfHeld | mfAttachments));
        QVERIFY(MarkMessages(index, entries, false));
        QCOMPARE(ReadIndexRecord(index, entries.last().Record)->Flags, qint32(mfHeld | mfAttachments));
        QCOMPARE(entries.first().Flags, 0);
        QList<TListEntry> missing{TListEntry{42, 0, 0, 0}};
        QVERIFY(!MarkMessages(index, missing, true));
    }

    void commandLines()
    {
        QCOMPARE(ViewArguments("/m/Inbox.mbx", 7, 120), (QStringList{"/m/Inbox.mbx", "7", "120"}));
        QCOMPARE(EditArguments("/q/edit_1.eml"), (QStringList{"/q/edit_1.eml", "0", "0", "EDIT"}));
    }

    void editCycle_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<QByteArrayList>("subjects");
        QTest::newRow("closed without saving") << false << false << QByteArrayList{"a", "b", "c"};
        QTest::newRow("saved") << true << false << QByteArrayList{"a", "c", "b edited"};
        QTest::newRow("saved in debug mode") << true << true << QByteArrayList{"a", "c", "b edited"};
    }

    void editCycle()
    {
        QFETCH(bool, saved);
        QFETCH(bool, debug);
        QFETCH(QByteArrayList, subjects);
        const TFolderFiles work = FolderPaths("Work");
        const TEditSession session = StartEdit(work, LiveEntries("Work")[1], Paths().Data.SmtpDir);
        QVERIFY(QFileInfo(session.WorkFile).fileName().startsWith("edit_"));
        QVERIFY(FileBytes(session.WorkFile).contains("Subject: b\r\n"));
        if (saved) {
            QByteArray bytes = FileBytes(session.WorkFile).replace("Subject: b", "Subject: b edited");
            QVERIFY(WriteBytes(session.WorkFile, bytes));
            QFile file(session.WorkFile);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(session.HandedOver.addSecs(2), QFileDevice::FileModificationTime));
        }
        const qint32 record = FinishEdit(work, session, debug);
        QCOMPARE(record > 0, saved);
        QCOMPARE(Subjects("Work"), subjects);
        QCOMPARE(QFile::exists(session.WorkFile), debug);
    }

    // A reply arrived while no account exists and the user did not create one: the text waits in
    // the Outbox; only a contact file that reached it is deleted.
    void contactWithoutAccountIsKeptInTheOutbox_data()
    {
        QTest::addColumn<bool>("outboxWritable");
        QTest::newRow("kept in the Outbox") << true;
        QTest::newRow("Outbox cannot be written") << false;
    }

    void contactWithoutAccountIsKeptInTheOutbox()
    {
        QFETCH(bool, outboxWritable);
        const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
        const QString contact = Paths().Data.ContactFile;
        QVERIFY(QDir().mkpath(QFileInfo(contact).path()));
        QVERIFY(WriteBytes(contact, "From: Anna <anna@example.org>\r\nTo: bert@example.org\r\nSubject: Re: Frage\r\n\r\n"
                                    "Meine Antwort\r\n"));
        if (!outboxWritable)
            QVERIFY(QFile::remove(outbox.MessageFile));
        ReportCapture reports;
        QCOMPARE(KeepContactInOutbox(contact, outbox), outboxWritable);
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, outboxWritable ? MsgKeptInOutbox : MsgErrorWriting);
        QCOMPARE(QFile::exists(contact), !outboxWritable);
        if (outboxWritable) {
            QVERIFY2(shown.first().Text.contains(SpecialFolderName(TSpecialFolder::Outbox)), qPrintable(shown.first().Text));
            QCOMPARE(Subjects(SpecialFolderName(TSpecialFolder::Outbox)), QByteArrayList{"Re: Frage"});
        }
    }

    void newMessageFile_data()
    {
        QTest::addColumn<QByteArrayList>("signature");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("signature") << QByteArrayList{"-- ", "Anna"} << QByteArray("\r\n\r\n-- \r\nAnna");
        QTest::newRow("no signature: one blank line") << QByteArrayList{} << QByteArray("\r\n\r\n \r\n");
    }

    void newMessageFile()
    {
        QFETCH(QByteArrayList, signature);
        QFETCH(QByteArray, body);
        const QString path = MakeNewMessageFile(Paths().Data.SmtpDir, {{}, "x@example.org, y@example.org", "Hallo", signature});
        QVERIFY(QFileInfo(path).fileName().startsWith("new_"));
        const QByteArray bytes = FileBytes(path);
        QVERIFY2(bytes.contains("<x@example.org>") && bytes.contains("<y@example.org>"), bytes.constData());
        QVERIFY(bytes.contains("Subject: Hallo\r\n"));
        QVERIFY2(bytes.contains(body), bytes.constData());
    }

    void newMessageFromASourceTakesItOver()
    {
        const QString source = Paths().Data.SpoolDir + "/contact.txt";
        QVERIFY(QDir().mkpath(Paths().Data.SpoolDir));
        QVERIFY(WriteBytes(source, "From: Anna <anna@example.org>\r\nTo: bert@example.org\r\nCC: carl@example.org\r\n"
                                   "Subject: Vorlage\r\n\r\nText der Vorlage\r\n"));
        const QString path = MakeNewMessageFile(Paths().Data.SmtpDir, {source, "ignored@example.org", "ignored", {}});
        const QByteArray bytes = FileBytes(path);
        for (const char* expected : {"bert@example.org", "carl@example.org", "Subject: Vorlage", "Text der Vorlage", "anna@example.org"})
            QVERIFY2(bytes.contains(expected), expected);
        QVERIFY(!bytes.contains("ignored"));
    }
};

QTEST_GUILESS_MAIN(TestMessageCommands)
#include "tst_messagecommands.moc"

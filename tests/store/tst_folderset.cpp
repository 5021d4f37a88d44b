// The folder set: special folders by language, the folder list and tree, create / rename / delete
// with their refusals, reorganize and empty-trash commands, folder state and the start-up check.

#include "FolderSet.h"
#include "ReportCapture.h"
#include "StoreTestSupport.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

namespace {

constexpr int German = 0;
constexpr int English = 2;

QByteArray TreeText(const QList<TFolderNode>& nodes, const QByteArray& indent = {})
{
    QByteArray text;
    for (const TFolderNode& node : nodes) {
        text += indent + node.Text.toUtf8() + " [" + node.FileName.toUtf8() + "]\n";
        text += TreeText(node.Children, indent + "  ");
    }
    return text;
}

// Answers every question with `answer` and remembers what was asked.
struct TScriptedConfirm {
    TConfirmResult Answer = TConfirmResult::Yes;
    QList<QPair<int, QString>> Asked;

    TConfirm Function()
    {
        return [this](int id, const QString& value) {
            Asked.append({id, value});
            return Answer;
        };
    }
};

} // namespace

class TestFolderSet : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QString MailPath(const QString& name) { return QDir(Paths().Data.MailDir).filePath(name); }

    static void MakeFolders(const QStringList& fileNames)
    {
        for (const QString& name : fileNames)
            QVERIFY(CreateFolderFiles(FolderPaths(name)));
    }

    static QStringList MailDirFiles()
    {
        return QDir(Paths().Data.MailDir).entryList(QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseDataDirectory(m_dir.path());
    }

    void init()
    {
        SetLanguage(German);
        QDir(Paths().Data.MailDir).removeRecursively();
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
    }

    void isSpecial_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("special");
        QTest::newRow("german inbox") << German << QStringLiteral("Posteingang") << true;
        QTest::newRow("any letter case") << German << QStringLiteral("gesendete NACHRICHTEN") << true;
        QTest::newRow("english name for a german user") << German << QStringLiteral("Inbox") << false;
        QTest::newRow("english inbox") << English << QStringLiteral("inbox") << true;
        QTest::newRow("english trash") << English << QStringLiteral("Trash") << true;
        QTest::newRow("german trash for an english user") << English << QStringLiteral("Papierkorb") << false;
        QTest::newRow("ordinary") << English << QStringLiteral("Work") << false;
    }

    void isSpecial()
    {
        QFETCH(int, language);
        QFETCH(QString, name);
        QFETCH(bool, special);
        SetLanguage(language);
        QCOMPARE(IsSpecialFolder(name), special);
    }

    void emptyDirectoryListsTheSpecialFolders()
    {
        QCOMPARE(ListFolders(), QStringList({QStringLiteral("Posteingang"), QStringLiteral("Postausgang"),
                                             QStringLiteral("Vorlagen"), QStringLiteral("Gesendete Nachrichten"),
                                             QStringLiteral("Papierkorb")}));
    }

    void folderListAndTree()
    {
        SetLanguage(English);
        MakeFolders({QStringLiteral("zeta"), QStringLiteral("Alpha"), QStringLiteral("beta$child"),
                     QStringLiteral("inbox"), QStringLiteral("Sent$Old"), QStringLiteral("Alpha$x")});
        QVERIFY(WriteContent(MailPath(QStringLiteral("notes.txt")), "x"));
        const QStringList list = ListFolders();
        QCOMPARE(list, QStringList({QStringLiteral("Inbox"), QStringLiteral("Outbox"), QStringLiteral("Templates"),
                                    QStringLiteral("Sent"), QStringLiteral("Trash"), QStringLiteral("Alpha"),
                                    QStringLiteral("Alpha$x"), QStringLiteral("beta$child"), QStringLiteral("Sent$Old"),
                                    QStringLiteral("zeta")}));
        QCOMPARE(TreeText(FolderTree(list)), QByteArray("Inbox [Inbox]\nOutbox [Outbox]\nTemplates [Templates]\n"
                                                        "Sent [Sent]\n  Old [Sent$Old]\nTrash [Trash]\n"
                                                        "Alpha [Alpha]\n  x [Alpha$x]\nbeta [beta]\n"
                                                        "  child [beta$child]\nzeta [zeta]\n"));
    }

    void createFolder_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<int>("report");
        QTest::addColumn<QString>("createdFile");
        QTest::newRow("top level") << German << QStringLiteral("Projects") << QString() << 0 << QStringLiteral("Projects.mbx");
        QTest::newRow("below a folder") << German << QStringLiteral("Sub") << QStringLiteral("Work") << 0 << QStringLiteral("Work$Sub.mbx");
        QTest::newRow("english special name for a german user") << German << QStringLiteral("Inbox") << QString() << 0 << QStringLiteral("Inbox.mbx");
        QTest::newRow("special name for an english user") << English << QStringLiteral("INBOX") << QString() << 43 << QString();
        QTest::newRow("shown as a child") << German << QStringLiteral("old") << QString() << 43 << QString();
        QTest::newRow("existing in other case") << German << QStringLiteral("work") << QString() << 43 << QString();
        QTest::newRow("bracket") << German << QStringLiteral("a(b") << QString() << 42 << QString();
        QTest::newRow("dollar") << German << QStringLiteral("a$b") << QString() << 42 << QString();
        QTest::newRow("slash") << German << QStringLiteral("a/b") << QString() << 42 << QString();
        QTest::newRow("question mark") << German << QStringLiteral("why?") << QString() << 42 << QString();
        QTest::newRow("empty name") << German << QString() << QString() << 42 << QString();
        QTest::newRow("hidden file name") << German << QStringLiteral(".hidden") << QString() << 42 << QString();
        QTest::newRow("hidden child") << German << QStringLiteral(".x") << QStringLiteral("Work") << 42 << QString();
        QTest::newRow("dot inside") << German << QStringLiteral("v1.2") << QString() << 0 << QStringLiteral("v1.2.mbx");
        QTest::newRow("name too long for a file") << German << QString(300, QLatin1Char('n')) << QString() << 20 << QString();
    }

    void createFolder()
    {
        QFETCH(int, language);
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(int, report);
        QFETCH(QString, createdFile);
        SetLanguage(language);
        MakeFolders({QStringLiteral("Work"), QStringLiteral("Work$Old")});
        const QStringList before = MailDirFiles();
        ReportCapture reports;
        QCOMPARE(CreateFolder(name, parent), report == 0);
        if (report == 0) {
            QVERIFY(IndexIsCurrent(MailPath(createdFile.chopped(4) + QStringLiteral(".idx"))));
            QCOMPARE(QFileInfo(MailPath(createdFile)).size(), 0);
            return;
        }
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken[0].Id, report);
        if (report == 20)
            QVERIFY(taken[0].Text.contains(name));
        QCOMPARE(MailDirFiles(), before);
    }

    void renameFolder_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<int>("report");
        QTest::addColumn<QString>("renamedTo");
        QTest::newRow("new name") << QStringLiteral("Work") << QStringLiteral("Job") << QString() << 0 << QStringLiteral("Job");
        QTest::newRow("capital letters") << QStringLiteral("Work") << QStringLiteral("WORK") << QString() << 0 << QStringLiteral("WORK");
        QTest::newRow("into a parent") << QStringLiteral("Home") << QStringLiteral("Home") << QStringLiteral("Work") << 0 << QStringLiteral("Work$Home");
        QTest::newRow("name shown as a child") << QStringLiteral("Home") << QStringLiteral("old") << QString() << 43 << QString();
        QTest::newRow("file exists") << QStringLiteral("Home") << QStringLiteral("Work") << QString() << 20 << QString();
        QTest::newRow("bad character") << QStringLiteral("Home") << QStringLiteral("a*b") << QString() << 42 << QString();
    }

    void renameFolder()
    {
        QFETCH(QString, current);
        QFETCH(QString, newName);
        QFETCH(QString, parent);
        QFETCH(int, report);
        QFETCH(QString, renamedTo);
        MakeFolders({QStringLiteral("Work"), QStringLiteral("Work$Old"), QStringLiteral("Home")});
        const TFolderFiles old = FolderPaths(current);
        QVERIFY(WriteContent(old.MessageFile, "From \r\nSubject: kept\r\n\r\n"));
        const QStringList before = MailDirFiles();
        ReportCapture reports;
        QCOMPARE(RenameFolder(current, newName, parent), report == 0);
        if (report == 0) {
            const TFolderFiles renamed = FolderPaths(renamedTo);
            QCOMPARE(Content(renamed.MessageFile), QByteArray("From \r\nSubject: kept\r\n\r\n"));
            QVERIFY(IndexIsCurrent(renamed.IndexFile));
            QVERIFY(!QFile::exists(old.MessageFile) && !QFile::exists(old.IndexFile));
            return;
        }
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.value(0).Id, report);
        if (report == 20)
            QVERIFY(taken[0].Text.contains(current));
        QCOMPARE(MailDirFiles(), before);
    }

    void deleteFolder_data()
    {
        QTest::addColumn<TConfirmResult>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("yes") << TConfirmResult::Yes << true;
        QTest::newRow("no") << TConfirmResult::No << false;
        QTest::newRow("cancel") << TConfirmResult::Cancel << false;
    }

    void deleteFolder()
    {
        QFETCH(TConfirmResult, answer);
        QFETCH(bool, deleted);
        MakeFolders({QStringLiteral("Work"), QStringLiteral("Work$Old")});
        TScriptedConfirm confirm{answer, {}};
        QCOMPARE(DeleteFolder(QStringLiteral("Work"), confirm.Function()), deleted);
        QCOMPARE(confirm.Asked, (QList<QPair<int, QString>>{{23, QStringLiteral("Work")}}));
        QCOMPARE(QFile::exists(MailPath(QStringLiteral("Work.mbx"))), !deleted);
        QCOMPARE(QFile::exists(MailPath(QStringLiteral("Work.idx"))), !deleted);
        QVERIFY(QFile::exists(MailPath(QStringLiteral("Work$Old.mbx"))));
    }

    void deleteFolderWithoutIndexDeletesNothing()
    {
        MakeFolders({QStringLiteral("Work")});
        QVERIFY(QFile::remove(MailPath(QStringLiteral("Work.idx"))));
        TScriptedConfirm confirm;
        ReportCapture reports;
        QVERIFY(!DeleteFolder(QStringLiteral("Work"), confirm.Function()));
        const TUserMessage warning = reports.Take().value(0);
        QCOMPARE(warning.Id, FileDeleteWarningId);
        QCOMPARE(warning.Text, QStringLiteral("Error, could not delete file ") + MailPath(QStringLiteral("Work.idx")));
        QVERIFY(QFile::exists(MailPath(QStringLiteral("Work.mbx"))));
    }

    void reorganizeCommand()
    {
        MakeFolders({QStringLiteral("Work$Old")});
        const TFolderFiles folder = FolderPaths(QStringLiteral("Work$Old"));
        QVERIFY(AppendMessage(folder, Message("a"), m_dir.path()) == 1);
        QVERIFY(AppendMessage(folder, Message("b"), m_dir.path()) == 2);
        QVERIFY(MarkDeleted(folder.IndexFile, 1));

        TScriptedConfirm refuse{TConfirmResult::No, {}};
        QVERIFY(!ReorganizeFolderCommand(QStringLiteral("Work$Old"), refuse.Function()));
        QCOMPARE(CountMessages(folder.IndexFile, false), 2);

        TScriptedConfirm accept;
        ReportCapture reports;
        QVERIFY(ReorganizeFolderCommand(QStringLiteral("Work$Old"), accept.Function()));
        QCOMPARE(accept.Asked, (QList<QPair<int, QString>>{{26, QStringLiteral("Old")}}));
        const TUserMessage progress = reports.Take().value(0);
        QCOMPARE(progress.Id, 49);
        QVERIFY(progress.Text.contains(QStringLiteral("'Old'")));
        QCOMPARE(IndexSummary(folder.IndexFile).count('\n'), 2);
        QCOMPARE(Content(folder.MessageFile), "From \r\n" + Message("b"));
    }

    void emptyTrash_data()
    {
        QTest::addColumn<bool>("askFirst");
        QTest::addColumn<TConfirmResult>("answer");
        QTest::addColumn<bool>("emptied");
        QTest::newRow("asked, yes") << true << TConfirmResult::Yes << true;
        QTest::newRow("asked, no") << true << TConfirmResult::No << false;
        QTest::newRow("not asked") << false << TConfirmResult::No << true;
    }

    void emptyTrash()
    {
        QFETCH(bool, askFirst);
        QFETCH(TConfirmResult, answer);
        QFETCH(bool, emptied);
        const TFolderFiles trash = SpecialFolderPaths(TSpecialFolder::Trash);
        QVERIFY(CreateFolderFiles(trash));
        AppendMessage(trash, Message("a"), m_dir.path());
        AppendMessage(trash, Message("b"), m_dir.path());
        QVERIFY(MarkDeleted(trash.IndexFile, 1));
        TScriptedConfirm confirm{answer, {}};
        QCOMPARE(EmptyTrashCommand(askFirst, confirm.Function()), emptied);
        QCOMPARE(confirm.Asked.size(), askFirst ? 1 : 0);
        QCOMPARE(CountMessages(trash.IndexFile, false), emptied ? 0 : 2);
        QCOMPARE(QFileInfo(trash.MessageFile).size() == 0, emptied);
    }

    void folderState()
    {
        MakeFolders({QStringLiteral("Work")});
        const TFolderFiles folder = FolderPaths(QStringLiteral("Work"));
        for (const QByteArray subject : {"a", "b", "c"})
            AppendMessage(folder, Message(subject), m_dir.path());
        QVERIFY(MarkDeleted(folder.IndexFile, 2));
        const TFolderState state = FolderState(QStringLiteral("Work"));
        QCOMPARE(state.Size, QFileInfo(folder.MessageFile).size());
        QCOMPARE(state.Physical, 3);
        QCOMPARE(state.Deleted, 1);
        QCOMPARE(state.Live, 2);
    }

    void startUpCheck()
    {
        SetLanguage(English);
        MakeFolders({QStringLiteral("Work"), QStringLiteral("Old")});
        QVERIFY(WriteContent(MailPath(QStringLiteral("Work.mbx")), "From \r\n" + Message("a") + "From \r\n" + Message("b")));
        QVERIFY(QFile::remove(MailPath(QStringLiteral("Work.idx"))));
        QVERIFY(WriteContent(MailPath(QStringLiteral("Old.idx")), QByteArray(192, '\0')));
        ReportCapture reports;
        CheckAllFolders(ListFolders());

        QStringList fixed;
        int checked = 0;
        for (const TUserMessage& report : reports.Take()) {
            if (report.Id == 10)
                ++checked;
            else if (report.Id == 3)
                fixed.append(report.Text);
        }
        QCOMPARE(checked, 7);
        // New special folders get their index; Work had lost its index, Old has a blank header.
        QCOMPARE(fixed.size(), 7);
        for (const QString& name : ListFolders()) {
            QCOMPARE(CheckIndexHealth(FolderPaths(name)), TIndexHealth::Sound);
            QVERIFY(QFile::exists(FolderPaths(name).MessageFile));
        }
        QCOMPARE(CountMessages(FolderPaths(QStringLiteral("Work")).IndexFile, true), 2);

        CheckAllFolders(ListFolders());
        QCOMPARE(reports.Take().size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestFolderSet)
#include "tst_folderset.moc"

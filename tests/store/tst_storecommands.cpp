// The lmtool store commands run as a program: list, append, export, rebuild, reorganize,
// import-spool and check, their JSON lines, exit codes and refusals.

#include "FullDisk.h"
#include "LmtoolRun.h"
#include "StoreTestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

class TestStoreCommands : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static TFolderFiles FolderFiles() { return FolderPaths(QStringLiteral("Work")); }
    QString FolderFile() const { return m_dir.filePath(QStringLiteral("Mail/Work.mbx")); }

    QString WriteMessage(const QString& name, const QByteArray& subject)
    {
        const QString path = m_dir.filePath(name);
        WriteContent(path, Message(subject));
        return path;
    }

    static QByteArrayList Subjects(const TToolRun& run)
    {
        QByteArrayList subjects;
        for (const QJsonObject& line : run.Lines)
            subjects.append(line.value(QStringLiteral("subject")).toString().toUtf8());
        return subjects;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        UseDataDirectory(m_dir.path());
        QVERIFY(QDir().mkpath(Paths().Data.SpoolDir));
    }

    void init()
    {
        QFile::remove(FolderFile());
        QFile::remove(FolderFiles().IndexFile);
    }

    void appendListAndExport()
    {
        const QString a = WriteMessage(QStringLiteral("a.eml"), "Gr\xc3\xbc\xc3\x9f" "e");
        const QString b = WriteMessage(QStringLiteral("b.eml"), "Second");
        const TToolRun append = RunLmtool({QStringLiteral("append"), FolderFile(), a, b});
        QCOMPARE(append.ExitCode, 0);
        QCOMPARE(append.Lines.size(), 2);
        QCOMPARE(append.Lines[1].value(QStringLiteral("record")).toInt(), 2);

        QVERIFY(MarkDeleted(FolderFiles().IndexFile, 1));
        const TToolRun list = RunLmtool({QStringLiteral("list"), FolderFile()});
        QCOMPARE(list.ExitCode, 0);
        QCOMPARE(list.Lines.size(), 2);
        const QJsonObject first = list.Lines[0];
        QCOMPARE(first.value(QStringLiteral("record")).toInt(), 1);
        QCOMPARE(first.value(QStringLiteral("offset")).toInt(), 0);
        QCOMPARE(first.value(QStringLiteral("length")).toInt(), 7 + Message("Gr\xc3\xbc\xc3\x9f" "e").size());
        QCOMPARE(first.value(QStringLiteral("deleted")).toBool(), true);
        QCOMPARE(first.value(QStringLiteral("from")).toString(), QStringLiteral("Anna Beispiel"));
        QCOMPARE(first.value(QStringLiteral("to")).toString(), QStringLiteral("bob@example.net"));
        QCOMPARE(first.value(QStringLiteral("subject")).toString(), QStringLiteral("Grüße"));
        QCOMPARE(first.value(QStringLiteral("date")).toDouble(), ReadIndexRecord(FolderFiles().IndexFile, 1)->Date);
        QCOMPARE(list.Lines[1].value(QStringLiteral("deleted")).toBool(), false);

        const QString target = m_dir.filePath(QStringLiteral("out.eml"));
        const TToolRun exported = RunLmtool({QStringLiteral("export"), FolderFile(), QStringLiteral("2"), target});
        QCOMPARE(exported.ExitCode, 0);
        QCOMPARE(Content(target), Message("Second"));
        QCOMPARE(RunLmtool({QStringLiteral("export"), FolderFile(), QStringLiteral("3"), target}).ExitCode, 1);
    }

    // Record text reaches JSON intact: quotes, backslashes and control characters escaped, bytes
    // that are no UTF-8 read as Latin-1.
    void listEscapesRecordText_data()
    {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QString>("listed");
        QTest::newRow("quote and backslash") << QByteArray("say \"hi\" \\o/") << QStringLiteral("say \"hi\" \\o/");
        QTest::newRow("control character") << QByteArray("tab\there\x01") << QStringLiteral("tab\there\x01");
        QTest::newRow("latin-1 byte") << QByteArray("caf\xe9") << QStringLiteral("caf\u00e9");
    }

    void listEscapesRecordText()
    {
        QFETCH(QByteArray, subject);
        QFETCH(QString, listed);
        QCOMPARE(RunLmtool({QStringLiteral("append"), FolderFile(), WriteMessage(QStringLiteral("s.eml"), subject)}).ExitCode, 0);
        const TToolRun list = RunLmtool({QStringLiteral("list"), FolderFile()});
        QCOMPARE(list.ExitCode, 0);
        QCOMPARE(list.Lines.size(), 1);
        QCOMPARE(list.Lines[0].value(QStringLiteral("subject")).toString(), listed);
    }

    void rebuildAndReorganize()
    {
        QVERIFY(WriteContent(FolderFile(), "From \r\n" + Message("a") + "From \r\n" + Message("b", "from here on\r\n")));
        const TToolRun rebuild = RunLmtool({QStringLiteral("rebuild"), FolderFile()});
        QCOMPARE(rebuild.ExitCode, 0);
        QCOMPARE(rebuild.Lines.value(0).value(QStringLiteral("records")).toInt(), 2);
        QVERIFY(MarkDeleted(FolderFiles().IndexFile, 1));
        const TToolRun reorganize = RunLmtool({QStringLiteral("reorganize"), FolderFile()});
        QCOMPARE(reorganize.ExitCode, 0);
        QCOMPARE(Subjects(RunLmtool({QStringLiteral("list"), FolderFile()})), QByteArrayList{"b"});
    }

    void damagedIndexIsRefused()
    {
        QVERIFY(WriteContent(FolderFile(), "From \r\n" + Message("a")));
        QVERIFY(WriteContent(FolderFiles().IndexFile, detail::IndexHeader() + QByteArray(100, 'x')));
        const TToolRun list = RunLmtool({QStringLiteral("list"), FolderFile()});
        QCOMPARE(list.ExitCode, 1);
        QVERIFY(list.Errors.contains("damaged"));
        QCOMPARE(RunLmtool({QStringLiteral("append"), FolderFile(), WriteMessage(QStringLiteral("a.eml"), "a")}).ExitCode, 1);
    }

    void importSpoolAndCheck()
    {
        QDir(Paths().Data.MailDir).removeRecursively();
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        const TToolRun check = RunLmtool({QStringLiteral("check"), m_dir.path()});
        QCOMPARE(check.ExitCode, 0);
        QStringList healthy;
        for (const QJsonObject& line : check.Lines) {
            if (line.contains(QStringLiteral("folder")) && line.value(QStringLiteral("health")) == QStringLiteral("sound"))
                healthy.append(line.value(QStringLiteral("folder")).toString());
        }
        // The registry of the test says nothing about the language: German folder names.
        QCOMPARE(healthy.first(), QStringLiteral("Posteingang"));
        QCOMPARE(healthy.size(), 5);

        WriteMessage(QStringLiteral("Spool/pop_1.eml"), "spooled");
        const TToolRun import = RunLmtool({QStringLiteral("import-spool"), m_dir.path()});
        QCOMPARE(import.ExitCode, 0);
        QCOMPARE(import.Lines.value(0).value(QStringLiteral("imported")).toInt(), 1);
        QCOMPARE(Subjects(RunLmtool({QStringLiteral("list"), m_dir.filePath(QStringLiteral("Mail/Posteingang.mbx"))})),
                 QByteArrayList{"spooled"});
    }

    // A full disk: the report names the folder that could not be written and says why, the spool
    // file stays for the next import, and no empty journal is left behind.
    void importOnAFullDiskNamesTheFolder()
    {
        QTemporaryDir base;
        const QString dataDir = base.filePath(QStringLiteral("data"));
        FullDisk disk(dataDir, 512);
        if (!disk.Mounted())
            QSKIP("a small file system cannot be mounted here (needs root)");
        QVERIFY(QDir().mkpath(dataDir + QLatin1String("/Spool")) && QDir().mkpath(dataDir + QLatin1String("/Mail")));
        QCOMPARE(RunLmtool({QStringLiteral("check"), dataDir}).ExitCode, 0);
        const QString spoolFile = dataDir + QLatin1String("/Spool/pop_1.eml");
        WriteContent(spoolFile, Message("spooled") + QByteArray(100 * 1024, 'x') + "\r\n");
        disk.Fill();
        const TToolRun import = RunLmtool({QStringLiteral("import-spool"), dataDir});
        QCOMPARE(import.ExitCode, 1);
        QString reported;
        for (const QJsonObject& line : import.Lines)
            reported += line.value(QStringLiteral("text")).toString();
        QVERIFY2(reported.startsWith(QStringLiteral("Der Datenträger ist voll: '%1/Mail/Posteingang.mbx'").arg(dataDir)),
                 qPrintable(reported));
        QVERIFY(QFile::exists(spoolFile));
        QCOMPARE(QDir(dataDir + QLatin1String("/Spool")).entryList({QStringLiteral(".import")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("list without folder") << QStringList{QStringLiteral("list")};
        QTest::newRow("append without files") << QStringList{QStringLiteral("append"), QStringLiteral("x.mbx")};
        QTest::newRow("export record not a number") << QStringList{QStringLiteral("export"), QStringLiteral("x.mbx"), QStringLiteral("one"), QStringLiteral("t")};
        QTest::newRow("check with option") << QStringList{QStringLiteral("check"), QStringLiteral("--all")};
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        const TToolRun run = RunLmtool(arguments);
        QCOMPARE(run.ExitCode, 2);
        QVERIFY(run.Errors.startsWith("usage:"));
    }
};

QTEST_GUILESS_MAIN(TestStoreCommands)
#include "tst_storecommands.moc"

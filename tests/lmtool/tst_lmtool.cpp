// lmtool run as a program on databases made here: its JSON lines, its exit codes and usage text.

#include "DBAccountsFunctions.h"
#include "DBAddressFunctions.h"
#include "Konstanten.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct TToolRun {
    int ExitCode = -1;
    QList<QJsonObject> Lines;
    QByteArray Output;
    QByteArray Errors;
};

TToolRun RunTool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(LMTOOL_PATH), arguments);
    TToolRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.ExitCode = process.exitCode();
    run.Output = process.readAllStandardOutput();
    run.Errors = process.readAllStandardError();
    for (const QByteArray& line : run.Output.split('\n')) {
        if (!line.isEmpty())
            run.Lines.append(QJsonDocument::fromJson(line).object());
    }
    return run;
}

} // namespace

class TestLmtool : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString DataDir() const { return m_dir.path(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(DataDir());
        QVERIFY(QDir().mkpath(Paths().Data.LmabDir));

        QVERIFY(CreateAccountsDatabase());
        TAccount work;
        work.Name = "Work";
        work.Standard = true;
        work.PopServer = "pop.example.org";
        work.PopPassword = "p=;\"\xc3\xa4";
        work.SmtpAuth = true;
        work.SmtpPassword = "smtp-pw";
        work.PopDeleteDays = 30;
        QCOMPARE(WriteAccount(0, work), 1);
        TAccount gone;
        gone.Name = "Gone";
        QCOMPARE(WriteAccount(0, gone), 2);
        QVERIFY(DeleteAccount(2));
        TAccount home;
        home.Name = "Home";
        QCOMPARE(WriteAccount(0, home), 3);

        QVERIFY(CreateAddressBook());
        TAddressRecord contact;
        contact.Key = "DoeJane";
        contact.LastName = "Doe";
        contact.FirstName = "Jane";
        contact.Email = "jane@example.org";
        contact.Category = "privat";
        QCOMPARE(WriteAddress(0, contact), 1);
        TAddressRecord removed = contact;
        removed.Key = "Removed";
        QCOMPARE(WriteAddress(0, removed), 2);
        QVERIFY(DeleteAddress(2));
        TAddressRecord group;
        group.Group = true;
        group.Key = "Friends";
        QCOMPARE(WriteAddressWithMembers(0, group, {"a@example.org;Anna", "b@example.org"}), 2);
    }

    void accountsWithoutPasswords()
    {
        const TToolRun run = RunTool({QStringLiteral("accounts"), DataDir()});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Lines.size(), 2);
        const QJsonObject work = run.Lines.at(0);
        QCOMPARE(work.value(QStringLiteral("record")).toInt(), 1);
        QCOMPARE(work.value(QStringLiteral("Name")).toString(), QStringLiteral("Work"));
        QCOMPARE(work.value(QStringLiteral("Standard")).toBool(), true);
        QCOMPARE(work.value(QStringLiteral("PopKeepMails")).toBool(), true);
        QCOMPARE(work.value(QStringLiteral("PopDeleteDays")).toInt(), 30);
        QCOMPARE(work.value(QStringLiteral("SmtpAuth")).toBool(), true);
        QCOMPARE(work.value(QStringLiteral("PopServer")).toString(), QStringLiteral("pop.example.org"));
        QVERIFY(!work.contains(QStringLiteral("PopPassword")));
        QVERIFY(!work.contains(QStringLiteral("SmtpPassword")));
        QCOMPARE(work.size(), 19);
        QCOMPARE(run.Lines.at(1).value(QStringLiteral("record")).toInt(), 3);
        QVERIFY(!run.Output.contains("smtp-pw"));
    }

    void accountsWithPasswords()
    {
        const TToolRun run = RunTool({QStringLiteral("accounts"), DataDir(), QStringLiteral("--with-passwords")});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Lines.size(), 2);
        const QJsonObject work = run.Lines.at(0);
        QCOMPARE(work.value(QStringLiteral("PopPassword")).toString(), QString::fromUtf8("p=;\"\xc3\xa4"));
        QCOMPARE(work.value(QStringLiteral("SmtpPassword")).toString(), QStringLiteral("smtp-pw"));
        QCOMPARE(work.size(), 21);
    }

    void addressbook()
    {
        const TToolRun run = RunTool({QStringLiteral("addressbook"), DataDir()});
        QCOMPARE(run.ExitCode, 0);
        QCOMPARE(run.Lines.size(), 2);
        const QJsonObject contact = run.Lines.at(0);
        QCOMPARE(contact.value(QStringLiteral("record")).toInt(), 1);
        QCOMPARE(contact.value(QStringLiteral("group")).toBool(), false);
        QCOMPARE(contact.value(QStringLiteral("key")).toString(), QStringLiteral("DoeJane"));
        QCOMPARE(contact.value(QStringLiteral("last_name")).toString(), QStringLiteral("Doe"));
        QCOMPARE(contact.value(QStringLiteral("first_name")).toString(), QStringLiteral("Jane"));
        QCOMPARE(contact.value(QStringLiteral("email")).toString(), QStringLiteral("jane@example.org"));
        QCOMPARE(contact.value(QStringLiteral("category")).toString(), QStringLiteral("privat"));
        QCOMPARE(contact.value(QStringLiteral("format")).toInt(), 1);
        QCOMPARE(contact.value(QStringLiteral("members")).toArray(), QJsonArray());
        for (const char* key : {"subject", "sender", "info", "signature"})
            QVERIFY(contact.value(QLatin1String(key)).isString());
        const QJsonObject group = run.Lines.at(1);
        QCOMPARE(group.value(QStringLiteral("record")).toInt(), 2);
        QCOMPARE(group.value(QStringLiteral("group")).toBool(), true);
        QCOMPARE(group.value(QStringLiteral("members")).toArray(),
                 QJsonArray({QStringLiteral("a@example.org;Anna"), QStringLiteral("b@example.org")}));
    }

    void wrongCommandLinesGiveUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")};
        QTest::newRow("accounts without directory") << QStringList{QStringLiteral("accounts")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("accounts"), QStringLiteral("x"), QStringLiteral("--all")};
        QTest::newRow("option first") << QStringList{QStringLiteral("accounts"), QStringLiteral("--with-passwords")};
        QTest::newRow("addressbook with two directories") << QStringList{QStringLiteral("addressbook"), QStringLiteral("a"), QStringLiteral("b")};
    }
    void wrongCommandLinesGiveUsage()
    {
        QFETCH(QStringList, arguments);
        const TToolRun run = RunTool(arguments);
        QCOMPARE(run.ExitCode, 2);
        QVERIFY(run.Output.isEmpty());
        QVERIFY(run.Errors.contains("lmtool accounts DATADIR [--with-passwords]"));
        QVERIFY(run.Errors.contains("lmtool addressbook DATADIR"));
    }

    void unreadableDataFails_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("accounts") << QStringLiteral("accounts") << QStringLiteral("Accounts.ldb");
        QTest::newRow("addressbook") << QStringLiteral("addressbook") << QStringLiteral("Addressbook.lab");
    }
    void unreadableDataFails()
    {
        QFETCH(QString, command);
        QFETCH(QString, fileName);
        const TToolRun missingDir = RunTool({command, m_dir.filePath(QStringLiteral("nowhere"))});
        QCOMPARE(missingDir.ExitCode, 1);
        QVERIFY(!missingDir.Errors.isEmpty());

        QTemporaryDir other;
        QFile damaged(other.filePath(fileName));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(2000, 'x'));
        damaged.close();
        const TToolRun run = RunTool({command, other.path()});
        QCOMPARE(run.ExitCode, 1);
        QVERIFY(run.Output.isEmpty());
        QVERIFY(run.Errors.contains(fileName.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestLmtool)
#include "tst_lmtool.moc"

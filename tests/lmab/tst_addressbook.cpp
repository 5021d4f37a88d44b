// The address book's rules on a private book: rows and captions, the contact and group checks,
// the "NEW" command line, group renames, and the categories of the user settings file.

#include "AddressFunctions.h"
#include "DBAccountsFunctions.h"
#include "ReportCapture.h"
#include "TestInstallation.h"
#include "UserSettings.h"
#include "tk_reglib.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

TAddressRecord Contact(const QByteArray& last, const QByteArray& first, const QByteArray& email = {})
{
    TAddressRecord record;
    record.LastName = last;
    record.FirstName = first;
    record.Key = ContactKey(last, first);
    record.Email = email;
    return record;
}

TAddressRecord Group(const QByteArray& name)
{
    TAddressRecord record;
    record.Group = true;
    record.Key = name;
    return record;
}

// A contact file as the message window writes it, in a directory that lives as long as the test.
QString ContactFile(const QByteArray& content)
{
    static QTemporaryDir directory;
    static int count = 0;
    const QString path = directory.filePath(QStringLiteral("contact-%1").arg(++count));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

} // namespace

class TestAddressBook : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lmab"));
        QVERIFY(CreateAddressBook());
    }
    void cleanup() { m_installation.reset(); }

    void rowsShowCaptionsAndGroups()
    {
        SaveAddress(0, Contact("Miller", "Anne", "anne@example.org"), {}, {});
        SaveAddress(0, Contact("Solo", "", "solo@example.org"), {}, {});
        SaveAddress(0, Group("Friends"), {"anne@example.org;Miller, Anne"}, {});
        const QList<TAddressRow> rows = AddressRows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].Caption, QStringLiteral("Miller, Anne"));
        QCOMPARE(rows[0].Email, QStringLiteral("anne@example.org"));
        QCOMPARE(rows[1].Caption, QStringLiteral("Solo"));
        QCOMPARE(rows[2].Caption, QStringLiteral("Friends"));
        QVERIFY(rows[2].Group);
        QVERIFY(rows[2].Email.isEmpty());
        QCOMPARE(rows[2].Record, 3);
    }

    void contactChecks_data()
    {
        QTest::addColumn<QByteArray>("last");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<int>("own");
        QTest::addColumn<int>("problem");
        // The book holds "Schmidt Tom" as record 1.
        QTest::newRow("new name") << QByteArray("Schmidt") << QByteArray("Anna") << 0 << 0;
        QTest::newRow("same name") << QByteArray("Schmidt") << QByteArray("Tom") << 0 << AddressText::DuplicateName;
        QTest::newRow("same key, other split") << QByteArray("SchmidtT") << QByteArray("om") << 0
                                               << AddressText::DuplicateName;
        QTest::newRow("own record") << QByteArray("Schmidt") << QByteArray("Tom") << 1 << 0;
        QTest::newRow("comma in last name") << QByteArray("Schmidt, Tom") << QByteArray() << 0 << AddressText::CommaInName;
        QTest::newRow("comma in first name") << QByteArray("Meier") << QByteArray("A,B") << 0 << AddressText::CommaInName;
        QTest::newRow("case matters") << QByteArray("schmidt") << QByteArray("tom") << 0 << 0;
    }

    void contactChecks()
    {
        QFETCH(QByteArray, last);
        QFETCH(QByteArray, first);
        QFETCH(int, own);
        QFETCH(int, problem);
        QCOMPARE(SaveAddress(0, Contact("Schmidt", "Tom"), {}, {}), 1);
        QCOMPARE(CheckContact(Contact(last, first), own), problem);
    }

    void groupNameMayNotBeTakenByAContact()
    {
        SaveAddress(0, Contact("Team", ""), {}, {});
        QCOMPARE(CheckGroup(Group("Team"), 0), AddressText::DuplicateName);
        QCOMPARE(CheckGroup(Group("Team"), 1), 0);
        QCOMPARE(CheckGroup(Group("Crew"), 0), 0);
    }

    void newArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("isNew");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("email");
        QTest::newRow("nothing") << QStringList{} << false << "" << "" << "";
        QTest::newRow("edit does nothing") << QStringList{"x", "EDIT"} << false << "" << "" << "";
        QTest::newRow("trimmed") << QStringList{"NEW", "  Miller ", " Anne", "anne@example.org"} << true << "Miller"
                                 << "Anne" << "anne@example.org";
        QTest::newRow("blank last name") << QStringList{"NEW", "  ", "", "a@example.org"} << true << "" << ""
                                         << "a@example.org";
        QTest::newRow("missing parts") << QStringList{"NEW", "Miller"} << true << "Miller" << "" << "";
        QTest::newRow("lower case is no command") << QStringList{"new", "Miller"} << false << "" << "" << "";
        // Names from a message arrive in a file; whatever they look like, they stay names.
        QTest::newRow("contact file")
            << QStringList{"NEW", "--contact-file", ContactFile("-platformpluginpath \n /tmp/lumaro-1000/23.tmp\nx@example.org\n")}
            << true << "-platformpluginpath" << "/tmp/lumaro-1000/23.tmp" << "x@example.org";
        QTest::newRow("contact file in UTF-8") << QStringList{"NEW", "--contact-file", ContactFile("Müller\nJürgen\nj@example.de\n")}
                                               << true << "Müller" << "Jürgen" << "j@example.de";
        QTest::newRow("contact file missing") << QStringList{"NEW", "--contact-file", "/nonexistent/contact"} << true << ""
                                              << "" << "";
    }

    void newArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, isNew);
        QFETCH(QString, last);
        QFETCH(QString, first);
        QFETCH(QString, email);
        const std::optional<TNewContactArguments> parsed = ParseNewContactArguments(arguments);
        QCOMPARE(parsed.has_value(), isNew);
        if (!parsed)
            return;
        QCOMPARE(parsed->LastName, last);
        QCOMPARE(parsed->FirstName, first);
        QCOMPARE(parsed->Email, email);
        QCOMPARE(ContactNameAcceptable(parsed->LastName), last.size() >= 2);
    }

    void renamingAGroupLeavesOnlyTheNewFile()
    {
        const int record = SaveAddress(0, Group("Old"), {"a@example.org", "b@example.org;Bee"}, {});
        QVERIFY(QFile::exists(GroupFileName("Old")));
        QByteArrayList members;
        TAddressRecord group = *ReadAddressWithMembers(record, members);
        group.Key = "New";
        QCOMPARE(SaveAddress(record, group, members, "Old"), record);
        QVERIFY(!QFile::exists(GroupFileName("Old")));
        QCOMPARE(ReadGroupMembers("New"), (QByteArrayList{"a@example.org", "b@example.org;Bee"}));
        QCOMPARE(FindAddressByKey("New"), record);

        // Saving under the same name keeps its file.
        QCOMPARE(SaveAddress(record, group, {"c@example.org"}, "New"), record);
        QCOMPARE(ReadGroupMembers("New"), QByteArrayList{"c@example.org"});
    }

    void memberLines()
    {
        QCOMPARE(MemberLine(QStringLiteral("a@example.org"), QString()), QByteArray("a@example.org"));
        QCOMPARE(MemberLine(QStringLiteral("a@example.org"), QStringLiteral("Miller, Anne")),
                 QByteArray("a@example.org;Miller, Anne"));
    }

    void categories_data()
    {
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("read");
        QTest::newRow("own list") << QStringList{"Familie", "Verein"} << QStringList{"Familie", "Verein"};
        QTest::newRow("empty stores the default") << QStringList{} << QStringList{"privat", "geschäftlich"};
        QTest::newRow("comma survives") << QStringList{"a, b", "c"} << QStringList{"a, b", "c"};
    }

    void categories()
    {
        QFETCH(QStringList, written);
        QFETCH(QStringList, read);
        QCOMPARE(ReadCategories(), (QStringList{"privat", "geschäftlich"}));
        WriteCategories(written);
        QCOMPARE(ReadCategories(), read);
        // The registry is the one store that the recipient chooser reads too.
        QCOMPARE(TRegistryKey(UserContext().Keys.General).ReadString(QStringLiteral("AdrCategories")),
                 read.join(QLatin1Char('|')));
        QCOMPARE(LoadGeneralSettings(UserContext().Keys.General).AdrCategories, read.join(QLatin1Char('|')));
        QVERIFY(!QFile::exists(Paths().Data.UserIniFile));
    }

    // The settings file of an earlier version: its categories join the registry's list once.
    void categoriesAreCarriedOverOnce_data()
    {
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<QString>("inRegistry");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("windows code page") << QByteArray("[General]\r\nAdrCategories=privat|Verein|gesch\xe4" "ftlich\r\n")
                                           << QString() << QStringList{"privat", "Verein", "geschäftlich"};
        QTest::newRow("written by QSettings, with a comma")
            << QByteArray("[%General]\nAdrCategories=\"Sport, Spiel|Familie\"\n") << QString()
            << QStringList{"Sport, Spiel", "Familie"};
        QTest::newRow("joins the registry's list") << QByteArray("[General]\nAdrCategories=Familie|Kunden\n")
                                                   << QStringLiteral("Kunden|Presse")
                                                   << QStringList{"Kunden", "Presse", "Familie"};
        QTest::newRow("file without categories") << QByteArray("[General]\nOther=1\n") << QStringLiteral("Presse")
                                                 << QStringList{"Presse"};
    }
    void categoriesAreCarriedOverOnce()
    {
        QFETCH(QByteArray, settingsFile);
        QFETCH(QString, inRegistry);
        QFETCH(QStringList, expected);
        QFile file(Paths().Data.UserIniFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settingsFile);
        file.close();
        TRegistryKey general(UserContext().Keys.General);
        if (!inRegistry.isEmpty())
            general.WriteString(QStringLiteral("AdrCategories"), inRegistry);

        QCOMPARE(ReadCategories(), expected);
        // Removing one afterwards sticks: the file is not read again.
        WriteCategories(expected.mid(1));
        QCOMPARE(ReadCategories(), expected.mid(1).isEmpty() ? DefaultCategories() : expected.mid(1));
    }

    void sendersComeFromTheAccounts()
    {
        QVERIFY(CreateAccountsDatabase());
        TAccount first;
        first.Name = "Home";
        first.SmtpAddress = "anne@example.org";
        first.SmtpName = "Anne";
        TAccount second = first;
        second.Name = "Copy";
        TAccount third = first;
        third.Name = "Work";
        third.SmtpAddress = "anne@work.example";
        third.Standard = true;
        for (const TAccount& account : {first, second, third})
            QVERIFY(WriteAccount(0, account) != 0);
        QCOMPARE(SenderEntries(), (QStringList{"anne@example.org <Anne>", "anne@work.example <Anne>"}));
        QCOMPARE(DefaultSenderEntry(), QStringLiteral("anne@work.example <Anne>"));
    }

    void signaturesAreThePhrasesOfTheirCategory()
    {
        QVERIFY(QDir().mkpath(Paths().Data.PhrasesDir));
        for (const char* name : {"Signaturen$Kurz", "Signaturen$Mit$2$Doppelpunkt", "Grüße$Lang", "Ohne"}) {
            QFile file(QDir(Paths().Data.PhrasesDir).filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(SignatureNames(), (QStringList{"Kurz", "Mit:Doppelpunkt"}));
    }

    void columnsKeyIsTheProgramsOwn()
    {
        QCOMPARE(AddressBookColumnsKey(), QStringLiteral("Users/default/Columns/lmab"));
    }

private:
    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_GUILESS_MAIN(TestAddressBook)
#include "tst_addressbook.moc"

// Recipients as a message is queued: addresses pass, names of the address book become their
// addresses (groups all their members), and anything else without "@" is refused by name.

#include "DBAddressFunctions.h"
#include "Konstanten.h"
#include "RecipientNames.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestRecipientNames : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void AddContact(const QByteArray& last, const QByteArray& first, const QByteArray& email)
    {
        TAddressRecord record;
        record.Key = last + first;
        record.LastName = last;
        record.FirstName = first;
        record.Email = email;
        QVERIFY(WriteAddress(0, record) > 0);
    }

    static void AddGroup(const QByteArray& name, const QByteArrayList& members)
    {
        TAddressRecord record;
        record.Group = true;
        record.Key = name;
        QVERIFY(WriteAddressWithMembers(0, record, members) > 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        QVERIFY(QDir().mkpath(Paths().Data.LmabDir));
        QVERIFY(CreateAddressBook());
        AddContact("Doe", "Jane", "jane@example.org");
        AddContact("Roe", "Richard", "");
        AddGroup("Proj Team", {"bob@example.net;Bob", "carol@example.net;Carol"});
        AddGroup("Broken", {"bob@example.net;Bob", "nobody;Nobody"});
        AddContact("Weiß", "Björn", "bjoern@example.net");
        AddContact("Müller, Dr.", "Anna", "anna@example.de");
    }

    // What the To field offers while typing: contacts with their names, quoted where a comma or a
    // dot needs it, groups by name; contacts without an address are left out.
    void bookRecipients()
    {
        QCOMPARE(AddressBookRecipients(),
                 (QByteArrayList{"Jane Doe <jane@example.org>", "Proj Team", "Broken", "Björn Weiß <bjoern@example.net>",
                                 "\"Anna Müller, Dr.\" <anna@example.de>"}));
    }

    void expand_data()
    {
        QTest::addColumn<QByteArrayList>("entries");
        QTest::addColumn<QByteArrayList>("addresses");
        QTest::addColumn<QByteArray>("refused");
        QTest::newRow("addresses pass, empty pieces dropped")
            << QByteArrayList{"a@example.org", " ", " Anna <anna@example.org>"}
            << QByteArrayList{"a@example.org", "Anna <anna@example.org>"} << QByteArray();
        QTest::newRow("group in place of its name")
            << QByteArrayList{"x@example.org", "Proj Team", "z@example.org"}
            << QByteArrayList{"x@example.org", "Bob <bob@example.net>", "Carol <carol@example.net>", "z@example.org"}
            << QByteArray();
        QTest::newRow("group name in other case")
            << QByteArrayList{" proj team"} << QByteArrayList{"Bob <bob@example.net>", "Carol <carol@example.net>"}
            << QByteArray();
        QTest::newRow("contact by key") << QByteArrayList{"DoeJane"} << QByteArrayList{"Jane Doe <jane@example.org>"} << QByteArray();
        QTest::newRow("contact first last") << QByteArrayList{"Jane Doe"} << QByteArrayList{"Jane Doe <jane@example.org>"}
                                            << QByteArray();
        QTest::newRow("contact last first") << QByteArrayList{"doe jane"} << QByteArrayList{"Jane Doe <jane@example.org>"}
                                            << QByteArray();
        QTest::newRow("name with a comma stays one entry")
            << QByteArrayList{"Müller, Dr. Anna"} << QByteArrayList{"\"Anna Müller, Dr.\" <anna@example.de>"} << QByteArray();
        QTest::newRow("unknown name") << QByteArrayList{"a@example.org", "Proj Teem", "Proj Team"}
                                      << QByteArrayList{"a@example.org"} << QByteArray("Proj Teem");
        QTest::newRow("contact without address") << QByteArrayList{"Richard Roe"} << QByteArrayList{}
                                                 << QByteArray("Richard Roe");
        QTest::newRow("group member that is no address")
            << QByteArrayList{"Broken"} << QByteArrayList{"Bob <bob@example.net>"} << QByteArray("Broken: nobody");
    }

    void expand()
    {
        QFETCH(QByteArrayList, entries);
        QFETCH(QByteArrayList, addresses);
        QFETCH(QByteArray, refused);
        const TRecipientExpansion expansion = ExpandRecipientNames(entries);
        QCOMPARE(expansion.Addresses, addresses);
        QCOMPARE(expansion.Refused, refused);
    }
};

QTEST_GUILESS_MAIN(TestRecipientNames)
#include "tst_recipientnames.moc"

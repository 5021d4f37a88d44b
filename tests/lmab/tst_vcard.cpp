// vCard files: our own export read back (card by card and through the address book), cards in the
// shapes other programs write (folded lines, 2.1 quoted-printable in other charsets, several EMAIL
// lines, groups), folding limits, and garbage that must not crash.

#include "AddressFunctions.h"
#include "ReportCapture.h"
#include "TestData.h"
#include "TestInstallation.h"
#include "VCard.h"

#include <QFile>
#include <QTest>

namespace {

QByteArray ReadData(const QString& name)
{
    QFile file(qEnvironmentVariable("LUMARO_TEST_DATA") + QStringLiteral("/vcard/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TVCard Person(const QString& last, const QString& first, const QStringList& emails)
{
    TVCard card;
    card.LastName = last;
    card.FirstName = first;
    card.FormattedName = (first + QLatin1Char(' ') + last).trimmed();
    card.Emails = emails;
    return card;
}

} // namespace

class TestVCard : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { m_installation.reset(); }

    void ownCardsReadBack()
    {
        TVCard person = Person(QStringLiteral("Müller; Sohn"), QStringLiteral("Jürgen"), {QStringLiteral("j@example.org")});
        person.Categories = {QStringLiteral("Verein, Sport")};
        person.Note = QStringLiteral("Zeile eins\nZeile zwei mit \\ und ; und , und ") + QString(80, QLatin1Char('x'));
        person.PreferredSender = QStringLiteral("me@example.org <Me>");
        person.DefaultSubject = QStringLiteral("Training");
        person.Signature = QStringLiteral("Kurz");
        TVCard group;
        group.Group = true;
        group.FormattedName = QStringLiteral("Chor");
        group.Members = {{QStringLiteral("a@example.org"), QStringLiteral("Anne \"Alto\" A.")},
                         {QStringLiteral("b@example.org"), QString()}};
        const QList<TVCard> cards = ReadVCards(WriteVCards({person, group}));
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[0], person);
        group.Members[0].Name = QStringLiteral("Anne Alto A.");
        QCOMPARE(cards[1], group);
    }

    void foreignCards_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("emails");
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QString>("note");
        QTest::newRow("3.0 folded, preferred address")
            << "contacts-3.0-folded.vcf" << 0 << "Müller" << "Jürgen"
            << QStringList{"jm@example.com", "juergen@example.org"} << QStringList{"Verein", "Familie"}
            << "Spielt Schach, Go und\nTennis. Dieser Hinweis ist so lang, dass er auf mehrere Zeilen gefaltet wurde.";
        QTest::newRow("3.0 without N, grouped EMAIL")
            << "contacts-3.0-folded.vcf" << 1 << "Lovelace" << "Ada" << QStringList{"ada@example.org"} << QStringList{}
            << "";
        QTest::newRow("2.1 quoted-printable in Latin-1 and UTF-8")
            << "contact-2.1-quoted-printable.vcf" << 0 << "Schön" << "René"
            << QStringList{"rene@example.org", "r.schoen@example.net"} << QStringList{}
            << "Erste Zeile\r\nZweite Zeile mit ä und weiter";
    }

    void foreignCards()
    {
        QFETCH(QString, file);
        QFETCH(int, index);
        QFETCH(QString, last);
        QFETCH(QString, first);
        QFETCH(QStringList, emails);
        QFETCH(QStringList, categories);
        QFETCH(QString, note);
        const QList<TVCard> cards = ReadVCards(ReadData(file));
        QVERIFY(index < cards.size());
        const TVCard& card = cards[index];
        QVERIFY(!card.Group);
        QCOMPARE(card.LastName, last);
        QCOMPARE(card.FirstName, first);
        QCOMPARE(card.Emails, emails);
        QCOMPARE(card.Categories, categories);
        QCOMPARE(card.Note, note);
    }

    void foreignGroups()
    {
        const QList<TVCard> cards = ReadVCards(ReadData(QStringLiteral("groups.vcf")));
        QCOMPARE(cards.size(), 2);
        QVERIFY(cards[0].Group && cards[1].Group);
        QCOMPARE(cards[0].FormattedName, QStringLiteral("Chor"));
        QCOMPARE(cards[0].Members, (QList<TVCardMember>{{QStringLiteral("alt@example.org"), QString()}}));
        QCOMPARE(cards[1].Members, (QList<TVCardMember>{{QStringLiteral("links@example.org"), QString()}}));
    }

    void foldedLinesStayWithinTheLimit_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("ascii") << QByteArray("NOTE:") + QByteArray(300, 'a');
        QTest::newRow("two-byte characters") << QByteArray("NOTE:") + QString(200, QChar(0xE4)).toUtf8();
        QTest::newRow("three-byte characters") << QByteArray("NOTE:x") + QString(100, QChar(0x20AC)).toUtf8();
        QTest::newRow("exactly 75") << QByteArray(75, 'b');
    }

    void foldedLinesStayWithinTheLimit()
    {
        QFETCH(QByteArray, line);
        const QByteArray folded = detail::FoldVCardLine(line);
        QVERIFY(folded.endsWith("\r\n"));
        for (const QByteArray& part : folded.chopped(2).split('\n')) {
            QVERIFY(part.chopped(part.endsWith('\r') ? 1 : 0).size() <= 75);
            QVERIFY(QString::fromUtf8(part).toUtf8() == part);
        }
        QCOMPARE(detail::UnfoldVCardLines(folded).value(0), line);
    }

    void garbageIsSkipped_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("cards");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("no card") << QByteArray("hello\r\nworld") << 0;
        QTest::newRow("unterminated") << QByteArray("BEGIN:VCARD\r\nFN:A B\r\nEMAIL:a@b") << 1;
        QTest::newRow("lines without colon") << QByteArray("BEGIN:VCARD\r\nFN\r\n;;;\r\n\"::\"\r\nEND:VCARD") << 1;
        QTest::newRow("dangling soft break") << QByteArray("BEGIN:VCARD\r\nNOTE;QUOTED-PRINTABLE:a=") << 1;
        QTest::newRow("bad escape at end") << QByteArray("BEGIN:VCARD\r\nNOTE:\\\r\nEND:VCARD") << 1;
    }

    void garbageIsSkipped()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, cards);
        QCOMPARE(ReadVCards(file).size(), cards);
    }

    void bookRoundTrip()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lmab"));
        QVERIFY(CreateAddressBook());
        const QList<TVCard> foreign = ReadVCards(ReadData(QStringLiteral("contacts-3.0-folded.vcf")))
                                      + ReadVCards(ReadData(QStringLiteral("contact-2.1-quoted-printable.vcf")))
                                      + ReadVCards(ReadData(QStringLiteral("groups.vcf")));
        const TImportResult first = ImportCards(foreign, QStringLiteral("privat"));
        QCOMPARE(first.Imported, 5);
        QCOMPARE(first.Skipped, 0);
        const TImportResult again = ImportCards(foreign, QStringLiteral("privat"));
        QCOMPARE(again.Imported, 0);
        QCOMPARE(again.Skipped, 5);

        const std::optional<TAddressRecord> juergen = ReadAddress(FindAddressByKey("MüllerJürgen"));
        QVERIFY(juergen);
        QCOMPARE(juergen->Email, QByteArray("jm@example.com"));
        QCOMPARE(juergen->Category, QByteArray("Verein"));
        QVERIFY(juergen->Info.endsWith(" juergen@example.org"));
        QVERIFY(!juergen->Info.contains('\n'));
        QCOMPARE(ReadGroupMembers("Nachbarn"), QByteArrayList{"links@example.org"});
        const std::optional<TAddressRecord> ada = ReadAddress(FindAddressByKey("LovelaceAda"));
        QCOMPARE(ada->Category, QByteArray("privat"));

        // What the book exports reads back into an empty book as the same records and members.
        const QList<TVCard> exported = ReadVCards(WriteVCards(ExportCards()));
        QCOMPARE(exported, ExportCards());
        QVERIFY(CreateAddressBook());
        QCOMPARE(ImportCards(exported, QStringLiteral("x")).Imported, 5);
        QCOMPARE(ExportCards(), exported);
        QCOMPARE(exported[3].Members, (QList<TVCardMember>{{QStringLiteral("alt@example.org"), QString()}}));
    }

    void cardsWithoutAUsableNameAreSkipped()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lmab"));
        QVERIFY(CreateAddressBook());
        TVCard nameless;
        nameless.Emails = {QStringLiteral("x@example.org")};
        TVCard firstOnly = Person(QString(), QStringLiteral("Cher"), {});
        TVCard comma = Person(QStringLiteral("Doe, Jr."), QStringLiteral("John"), {});
        const TImportResult result = ImportCards({nameless, firstOnly, comma}, QStringLiteral("privat"));
        QCOMPARE(result.Imported, 2);
        QCOMPARE(result.Skipped, 1);
        QVERIFY(FindAddressByKey("Cher") != 0);
        QVERIFY(FindAddressByKey("Doe  Jr.John") != 0);
    }

private:
    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_GUILESS_MAIN(TestVCard)
#include "tst_vcard.moc"

// Finding messages: the case rule of the finder, raw and decoded search over folders, deleted
// records, sub-folders of the same name, and stopping between messages.

#include "FolderFixture.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "SearchFunctions.h"
#include "TestInstallation.h"
#include "tk_langlib.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LumaroTest;

namespace {

// Appends message bytes with the record the store would index for them.
qint32 AddRaw(const TFolderFiles& folder, const QByteArray& message, bool deleted = false)
{
    const QByteArray bytes = FolderSeparator.toByteArray() + message;
    const std::optional<TMessageSpan> span = AppendRawBytes(folder.MessageFile, bytes);
    if (!span)
        return 0;
    TIndexRecord record = detail::RecordOfMessage(bytes);
    record.Offset = span->Offset;
    record.Length = span->Length;
    const qint32 n = AppendIndexRecord(folder.IndexFile, record);
    if (n > 0 && deleted)
        MarkDeleted(folder.IndexFile, n);
    return n;
}

const QByteArray PlainMessage = "From: Anna <anna@example.org>\r\nTo: bert@example.org\r\n"
                                "Received: from relay.example.net\r\nSubject: Plain\r\n\r\nNothing special here.\r\n";
// "Geheimwort im Anhang" in base64 inside a text part; a quoted-printable HTML part with a soft break
// inside "Zwiebel" and a tag inside "Kar<b>tof</b>fel"; an encoded subject.
const QByteArray MimeMessage =
    "From: =?utf-8?q?J=C3=BCrgen?= <j@example.org>\r\nTo: bert@example.org\r\n"
    "Subject: =?iso-8859-1?q?Gr=FC=DFe?=\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
    "--XX\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "R2VoZWltd29ydCBpbSBBbmhhbmc=\r\n"
    "--XX\r\nContent-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
    "<p>Zwie=\r\nbel und Kar<b>tof</b>fel, =DCbel</p>\r\n"
    "--XX\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "QmluYXJ5d29ydA==\r\n"
    "--XX--\r\n";

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestInstallation> m_installation;

    QByteArrayList HitSubjects(const QString& folder, const QByteArray& text, TSearchMode mode)
    {
        QByteArrayList subjects;
        for (const TSearchHit& hit : SearchFolder(folder, FolderPaths(folder), TTextFinder(text), mode))
            subjects.append(hit.Record.Subject);
        return subjects;
    }

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lumaro"));
        QVERIFY(QDir().mkpath(Paths().Data.MailDir));
        const TFolderFiles inbox = FolderPaths("Posteingang");
        QVERIFY(CreateFolder(inbox));
        QVERIFY(AddRaw(inbox, PlainMessage) > 0);
        QVERIFY(AddRaw(inbox, MimeMessage) > 0);
        QVERIFY(AddRaw(inbox, "Subject: Gone\r\n\r\nNothing special here either.\r\n", true) > 0);
    }

    void cleanup() { m_installation.reset(); }

    void finder_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("haystack");
        QTest::addColumn<bool>("found");
        QTest::newRow("same case") << QByteArray("word") << QByteArray("a word here") << true;
        QTest::newRow("other case") << QByteArray("WoRd") << QByteArray("A WORD HERE") << true;
        QTest::newRow("at the very end") << QByteArray("end") << QByteArray("the END") << true;
        QTest::newRow("at the start") << QByteArray("the") << QByteArray("The end") << true;
        QTest::newRow("longer than the haystack") << QByteArray("longer") << QByteArray("long") << false;
        QTest::newRow("near miss") << QByteArray("words") << QByteArray("word wordz") << false;
        QTest::newRow("repeated prefix") << QByteArray("aab") << QByteArray("aaaab") << true;
        QTest::newRow("umlauts are not folded") << QByteArray("Über") << QByteArray("über") << false;
        QTest::newRow("umlauts as written") << QByteArray("über") << QByteArray("Grüße über alles") << true;
        QTest::newRow("empty text") << QByteArray() << QByteArray("x") << true;
        QTest::newRow("bytes above 127 next to letters") << QByteArray("\xe9T") << QByteArray("caf\xc3\xa9t\xe9t") << true;
    }

    void finder()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, haystack);
        QFETCH(bool, found);
        QCOMPARE(TTextFinder(text).FoundIn(haystack), found);
    }

    void hits_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArrayList>("subjects");
        const int raw = int(TSearchMode::Raw);
        const int decoded = int(TSearchMode::Decoded);
        QTest::newRow("raw: a header line") << QByteArray("relay.EXAMPLE") << raw << QByteArrayList{"Plain"};
        QTest::newRow("raw: deleted records never listed") << QByteArray("nothing special") << raw
                                                           << QByteArrayList{"Plain"};
        QTest::newRow("raw: base64 only in its encoded form") << QByteArray("Geheimwort") << raw << QByteArrayList{};
        QTest::newRow("raw: the encoded form") << QByteArray("R2VoZWltd29yd") << raw << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: inside base64") << QByteArray("geheimwort im") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: across a soft break") << QByteArray("zwiebel") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: across tags") << QByteArray("Kartoffel") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: charset converted") << QByteArray("Übel") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: encoded subject") << QByteArray("Grüße") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: encoded sender name") << QByteArray("Jürgen") << decoded << QByteArrayList{"Grüße"};
        QTest::newRow("decoded: attachments are not text") << QByteArray("Binarywort") << decoded << QByteArrayList{};
        QTest::newRow("decoded: header lines other than the names") << QByteArray("relay") << decoded
                                                                     << QByteArrayList{};
        QTest::newRow("decoded: plain body") << QByteArray("NOTHING SPECIAL") << decoded << QByteArrayList{"Plain"};
    }

    void hits()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, mode);
        QFETCH(QByteArrayList, subjects);
        QCOMPARE(HitSubjects("Posteingang", text, TSearchMode(mode)), subjects);
    }

    void hitCarriesTheStoredSpan()
    {
        const QList<TSearchHit> hits = SearchFolder("Posteingang", FolderPaths("Posteingang"), TTextFinder("subject: plain"),
                                                    TSearchMode::Raw);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().Folder, QStringLiteral("Posteingang"));
        QCOMPARE(hits.first().Entry.Record, 1);
        QCOMPARE(ReadRawMessage(FolderPaths("Posteingang").MessageFile, hits.first().Entry.Offset,
                                hits.first().Entry.Length)
                     ->mid(FolderSeparator.size()),
                 PlainMessage);
    }

    void subFoldersOfTheSameNameAreSearchedEach()
    {
        for (const char* name : {"Privat$Archiv", "Work$Archiv"}) {
            QVERIFY(CreateFolder(FolderPaths(name)));
            QVERIFY(AddRaw(FolderPaths(name), QByteArray("Subject: in ") + name + "\r\n\r\nArchivtext\r\n") > 0);
        }
        QCOMPARE(HitSubjects("Privat$Archiv", "archivtext", TSearchMode::Raw), QByteArrayList{"in Privat$Archiv"});
        QCOMPARE(HitSubjects("Work$Archiv", "archivtext", TSearchMode::Raw), QByteArrayList{"in Work$Archiv"});
    }

    void stopEndsBetweenMessages()
    {
        int asked = 0;
        const QList<TSearchHit> hits = SearchFolder("Posteingang", FolderPaths("Posteingang"), TTextFinder("e"),
                                                    TSearchMode::Raw, [&asked] { return ++asked < 2; });
        QCOMPARE(asked, 2);
        QCOMPARE(hits.size(), 1);
    }

    void missingOrBrokenFilesFindNothing()
    {
        QVERIFY(SearchFolder("Nix", FolderPaths("Nix"), TTextFinder("a"), TSearchMode::Raw).isEmpty());
        const TFolderFiles inbox = FolderPaths("Posteingang");
        QFile::resize(inbox.MessageFile, 20);
        QVERIFY(SearchFolder("Posteingang", inbox, TTextFinder("special"), TSearchMode::Decoded).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"

// The phrase store: file names with the five escapes, the category list with the signature
// category, listing by category, and saving edited phrases without losing the old one.

#include "Konstanten.h"
#include "PhraseFunctions.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPhrases : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void PutFile(const QString& fileName, const QByteArray& content = "text")
    {
        QFile file(Paths().Data.PhrasesDir + QLatin1Char('/') + fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        detail::MutablePaths().Data = detail::ComputeDataPaths(m_dir.path());
        SetLanguage(0);
    }

    void init()
    {
        QDir(Paths().Data.PhrasesDir).removeRecursively();
        QVERIFY(QDir().mkpath(Paths().Data.PhrasesDir));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain") << "Gruss" << "kurz" << "Gruss$kurz";
        QTest::newRow("colon and slash") << "Info" << "Zeit: 9/10" << "Info$Zeit$2$ 9$4$10";
        QTest::newRow("all five") << "A" << "?:\\/*" << "A$$1$$2$$3$$4$$5$";
        QTest::newRow("dollar in name") << "A" << "5$ pro Stück" << "A$5$ pro Stück";
        QTest::newRow("no category") << "" << "Hallo" << "Hallo";
    }

    void fileNames()
    {
        QFETCH(QString, category);
        QFETCH(QString, name);
        QFETCH(QString, fileName);
        QCOMPARE(PhraseFileName(category, name), Paths().Data.PhrasesDir + QLatin1Char('/') + fileName);
        QCOMPARE(PhraseEntryOfFileName(fileName), (TPhraseEntry{category, name}));
    }

    void unsafePairsAreNotStored_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty name") << "A" << "";
        QTest::newRow("slash in category") << "../x" << "n";
        QTest::newRow("dollar in category") << "a$b" << "n";
        QTest::newRow("dot dot without category") << "" << "..";
    }

    void unsafePairsAreNotStored()
    {
        QFETCH(QString, category);
        QFETCH(QString, name);
        QVERIFY(PhraseFileName(category, name).isEmpty());
        QVERIFY(!WritePhrase(category, name, QStringLiteral("x")));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 0);
    }

    void categoriesIncludeSignaturesAndPutTheEmptyOneFirst()
    {
        PutFile(QStringLiteral("zeta$a"));
        PutFile(QStringLiteral("Alpha$b"));
        PutFile(QStringLiteral("ohne"));
        PutFile(QStringLiteral("Alpha$c"));
        QVERIFY(QDir(Paths().Data.PhrasesDir).mkdir(QStringLiteral("sub$dir")));
        const QList<TPhraseEntry> entries = ScanPhrases();
        QCOMPARE(entries.size(), 4);
        QCOMPARE(PhraseCategories(entries), (QStringList{"", "Alpha", "Signaturen", "zeta"}));
        QCOMPARE(PhrasesOfCategory(entries, QStringLiteral("Alpha")), (QStringList{"b", "c"}));
        QCOMPARE(PhrasesOfCategory(entries, QString()), QStringList{"ohne"});
        QCOMPARE(PhrasesOfCategory(entries, AllPhrasesCategory).size(), 4);
        SetLanguage(2);
        QCOMPARE(PhraseCategories({}), QStringList{"Signatures"});
        SetLanguage(0);
    }

    void textIsStoredWithCrLfForTheOwnerAndReadBack()
    {
        QVERIFY(WritePhrase(QStringLiteral("Signaturen"), QStringLiteral("Büro"), QStringLiteral("Grüße\nJane\r\n")));
        const QString path = PhraseFileName(QStringLiteral("Signaturen"), QStringLiteral("Büro"));
        QCOMPARE(*ReadPhrase(QStringLiteral("Signaturen"), QStringLiteral("Büro")), QByteArray("Grüße\r\nJane\r\n"));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(SignatureText(QStringLiteral("Büro")), QStringLiteral("Grüße\nJane\n"));
        QCOMPARE(SignatureText(QStringLiteral("fehlt")), QString());
        QVERIFY(!ReadPhrase(QStringLiteral("Signaturen"), QStringLiteral("fehlt")));
    }

    void savingEditedPhrases_data()
    {
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("namesAfter");
        QTest::newRow("new phrase") << "" << "c" << int(TPhraseSaveResult::Saved) << QStringList{"a", "b", "c"};
        QTest::newRow("new over existing") << "" << "b" << int(TPhraseSaveResult::NameTaken) << QStringList{"a", "b"};
        QTest::newRow("rename onto other") << "a" << "b" << int(TPhraseSaveResult::NameTaken) << QStringList{"a", "b"};
        QTest::newRow("rename") << "a" << "z" << int(TPhraseSaveResult::Saved) << QStringList{"b", "z"};
        QTest::newRow("same name") << "a" << "a" << int(TPhraseSaveResult::Saved) << QStringList{"a", "b"};
    }

    void savingEditedPhrases()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(int, result);
        QFETCH(QStringList, namesAfter);
        const QString k = QStringLiteral("K");
        QVERIFY(WritePhrase(k, QStringLiteral("a"), QStringLiteral("alt a")));
        QVERIFY(WritePhrase(k, QStringLiteral("b"), QStringLiteral("alt b")));
        QCOMPARE(int(SaveEditedPhrase(k, oldName, k, newName, QStringLiteral("neu"))), result);
        QStringList names = PhrasesOfCategory(ScanPhrases(), k);
        names.sort();
        QCOMPARE(names, namesAfter);
        if (result == int(TPhraseSaveResult::Saved))
            QCOMPARE(PhraseText(k, newName), QStringLiteral("neu"));
    }
};

QTEST_GUILESS_MAIN(TestPhrases)
#include "tst_phrases.moc"

// The language selector's work: the stored value, its texts in both languages, and the special
// folders of every user carried over to the new language's names, or left alone when a name is taken.

#include "LanguageFunctions.h"
#include "ReportCapture.h"
#include "TestInstallation.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

void MakeFolder(const QString& mailDir, const QString& name, const QByteArray& content = "From x\r\n")
{
    QVERIFY(QDir().mkpath(mailDir));
    for (const char* suffix : {".mbx", ".idx"}) {
        QFile file(QDir(mailDir).filePath(name + QLatin1String(suffix)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content + suffix);
    }
}

QStringList FolderFiles(const QString& mailDir)
{
    return QDir(mailDir).entryList(QDir::Files, QDir::Name);
}

QStringList FilesOf(const QStringList& names)
{
    QStringList files;
    for (const QString& name : names)
        files << name + QStringLiteral(".idx") << name + QStringLiteral(".mbx");
    files.sort();
    return files;
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("tools/lmchglang"));
        m_otherData = std::make_unique<QTemporaryDir>();
        WriteUser(QStringLiteral("bob"), m_otherData->path(), {});
    }
    void cleanup()
    {
        m_otherData.reset();
        m_installation.reset();
    }

    void textsFollowTheStoredLanguage_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("englishButton");
        QTest::addColumn<bool>("focusEnglish");
        QTest::newRow("missing") << -1 << "Deutsch" << "&Englisch" << true;
        QTest::newRow("German") << 1 << "Deutsch" << "&Englisch" << true;
        QTest::newRow("English") << 2 << "English" << "&English" << false;
        QTest::newRow("other value") << 7 << "Deutsch" << "&Englisch" << true;
    }

    void textsFollowTheStoredLanguage()
    {
        QFETCH(int, stored);
        QFETCH(QString, current);
        QFETCH(QString, englishButton);
        QFETCH(bool, focusEnglish);
        if (stored >= 0)
            TRegistryKey().WriteInteger(QStringLiteral("Language"), stored);
        SetLanguage(ReadLanguageValue());
        const TSelectorTexts texts = SelectorTexts();
        QCOMPARE(texts.CurrentLanguage, current);
        QCOMPARE(texts.EnglishButton, englishButton);
        QCOMPARE(texts.FocusEnglishButton, focusEnglish);
    }

    void switchingRenamesTheSpecialFoldersOfEveryUser()
    {
        ReportCapture reports;
        const QString ownMail = Paths().Data.MailDir;
        const QString bobMail = QDir(m_otherData->path()).filePath(QStringLiteral("Mail"));
        for (const QString& name : SpecialFolderNames(false))
            MakeFolder(ownMail, name);
        MakeFolder(ownMail, QStringLiteral("Projekte"));
        MakeFolder(bobMail, QStringLiteral("Posteingang"), "bob's inbox");

        QVERIFY(ChooseLanguage(EnglishLanguageValue));
        QCOMPARE(ReadLanguageValue(), EnglishLanguageValue);
        QCOMPARE(FolderFiles(ownMail), FilesOf(SpecialFolderNames(true) << QStringLiteral("Projekte")));
        QCOMPARE(FolderFiles(bobMail), FilesOf({QStringLiteral("Inbox")}));
        QFile inbox(QDir(bobMail).filePath(QStringLiteral("Inbox.mbx")));
        QVERIFY(inbox.open(QIODevice::ReadOnly));
        QCOMPARE(inbox.readAll(), QByteArray("bob's inbox.mbx"));

        // Choosing the active language again changes nothing; going back restores the German names.
        QVERIFY(ChooseLanguage(EnglishLanguageValue));
        QVERIFY(ChooseLanguage(GermanLanguageValue));
        QCOMPARE(FolderFiles(bobMail), FilesOf({QStringLiteral("Posteingang")}));
        QCOMPARE(ReadLanguageValue(), GermanLanguageValue);
    }

    void aTakenNameStopsEverything()
    {
        ReportCapture reports;
        const QString ownMail = Paths().Data.MailDir;
        const QString bobMail = QDir(m_otherData->path()).filePath(QStringLiteral("Mail"));
        MakeFolder(ownMail, QStringLiteral("Posteingang"));
        MakeFolder(bobMail, QStringLiteral("Papierkorb"));
        MakeFolder(bobMail, QStringLiteral("Trash"));

        QVERIFY(!ChooseLanguage(EnglishLanguageValue));
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, LanguageText::FolderTaken);
        QVERIFY(taken.first().Text.contains(QDir(bobMail).filePath(QStringLiteral("Trash"))));
        QCOMPARE(FolderFiles(ownMail), FilesOf({QStringLiteral("Posteingang")}));
        QCOMPARE(FolderFiles(bobMail), FilesOf({QStringLiteral("Papierkorb"), QStringLiteral("Trash")}));
        QCOMPARE(ReadLanguageValue(), 0);
    }

    void aFailedRenamePutsTheOthersBack()
    {
        const QString mail = Paths().Data.MailDir;
        MakeFolder(mail, QStringLiteral("Posteingang"));
        MakeFolder(mail, QStringLiteral("Vorlagen"));
        TRenamePlan plan = PlanSpecialFolderRenames({mail}, false, true);
        QCOMPARE(plan.Renames.size(), 4);
        QVERIFY(plan.Taken.isEmpty());
        // A folder that vanished after planning makes the third rename fail.
        QFile::remove(plan.Renames[2].From);
        QCOMPARE(CarryOutRenames(plan), plan.Renames[2].From);
        QCOMPARE(FolderFiles(mail), (QStringList{"Posteingang.idx", "Posteingang.mbx", "Vorlagen.idx"}));
    }

    void folderNamesOfBothLanguages()
    {
        QCOMPARE(SpecialFolderNames(false), (QStringList{"Posteingang", "Postausgang", "Vorlagen", "Gesendete Nachrichten", "Papierkorb"}));
        QCOMPARE(SpecialFolderNames(true), (QStringList{"Inbox", "Outbox", "Templates", "Sent", "Trash"}));
        QCOMPARE(UserMailDirectories().size(), 2);
    }

private:
    std::unique_ptr<TestInstallation> m_installation;
    std::unique_ptr<QTemporaryDir> m_otherData;
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"

// The user guide as the build installs it: every help context the programs ask for, and every line
// of the help index, leads to an existing page and anchor in both languages; every page shows only
// pictures that exist (and stay small), links only pages and anchors that exist, is listed in the
// contents, and has its counterpart in the other language; the search finds pages by their words.

#include "HelpContexts.h"
#include "HelpIndex.h"
#include "HelpPages.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTextDocument>

namespace {

constexpr qint64 PictureLimit = 200 * 1024;

const QString GuideDir = QStringLiteral(LUMARO_DIST_DIR "/help");

QString Language(bool english)
{
    return english ? QStringLiteral("en") : QStringLiteral("de");
}

QStringList PageNames(const QString& languageDir)
{
    QStringList names;
    for (const QFileInfo& file : QDir(languageDir).entryInfoList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name))
        names.append(file.completeBaseName());
    return names;
}

// The contexts of the index's lines.
QList<int> IndexedContexts()
{
    QFile file(GuideDir + QStringLiteral("/lumaro.inx"));
    QList<int> contexts;
    if (!file.open(QIODevice::ReadOnly))
        return contexts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        bool number = false;
        const int context = line.left(line.indexOf(' ')).toInt(&number);
        if (number)
            contexts.append(context);
    }
    return contexts;
}

} // namespace

class TestHelpGuide : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        InitProgramPaths(QFileInfo(GuideDir).absolutePath() + QStringLiteral("/lumaro"));
        ForgetHelpIndex();
    }

    void cleanup() { SetLanguage(0); }

    void contextLeadsToPageAndAnchor_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<bool>("english");
        QList<int> contexts(HelpContext::All.begin(), HelpContext::All.end());
        for (int context : IndexedContexts()) {
            if (!contexts.contains(context))
                contexts.append(context);
        }
        for (int context : contexts) {
            for (bool english : {false, true})
                QTest::addRow("%d %s", context, qPrintable(Language(english))) << context << english;
        }
    }

    void contextLeadsToPageAndAnchor()
    {
        QFETCH(int, context);
        QFETCH(bool, english);
        SetLanguage(english ? 2 : 0);
        ReportCapture reports;
        const QUrl url = HelpUrlForContext(context, {});
        QVERIFY2(!url.isEmpty(), "the help index has no line for this context");
        QCOMPARE(QFileInfo(url.toLocalFile()).absolutePath(), QFileInfo(GuideDir + QLatin1Char('/') + Language(english)).absoluteFilePath());
        QTextDocument page;
        QVERIFY2(LoadHelpPage(url.toLocalFile(), page), qPrintable(url.toLocalFile()));
        if (url.hasFragment())
            QVERIFY2(HelpAnchors(page).contains(url.fragment()), qPrintable(url.toString()));
    }

    void pageIsComplete_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("page");
        for (bool english : {false, true}) {
            const QString language = Language(english);
            for (const QString& page : PageNames(GuideDir + QLatin1Char('/') + language))
                QTest::addRow("%s %s", qPrintable(language), qPrintable(page)) << language << page;
        }
    }

    void pageIsComplete()
    {
        QFETCH(QString, language);
        QFETCH(QString, page);
        const QString dir = GuideDir + QLatin1Char('/') + language;
        QTextDocument document;
        QVERIFY(LoadHelpPage(dir + QLatin1Char('/') + page + QStringLiteral(".htm"), document));
        QVERIFY2(!document.metaInformation(QTextDocument::DocumentTitle).isEmpty(), "the page has no title");
        for (const QString& image : HelpImages(document)) {
            const QFileInfo file(dir + QLatin1Char('/') + image);
            QVERIFY2(file.isFile(), qPrintable(image + QStringLiteral(" is missing")));
            QVERIFY2(file.size() < PictureLimit, qPrintable(image + QStringLiteral(" is too large")));
        }
        for (const QString& link : HelpLinks(document)) {
            const QUrl url(link);
            QVERIFY2(url.scheme().isEmpty(), qPrintable(link + QStringLiteral(" leaves the guide")));
            QString target = url.path().isEmpty() ? page + QStringLiteral(".htm") : url.path();
            QTextDocument linked;
            QVERIFY2(LoadHelpPage(dir + QLatin1Char('/') + target, linked), qPrintable(link + QStringLiteral(" is missing")));
            if (url.hasFragment())
                QVERIFY2(HelpAnchors(linked).contains(url.fragment()), qPrintable(link + QStringLiteral(": no such anchor")));
        }
        const QString other = GuideDir + (language == QLatin1String("de") ? QStringLiteral("/en/") : QStringLiteral("/de/"));
        QVERIFY2(QFile::exists(other + page + QStringLiteral(".htm")), "the other language lacks this page");
        const THelpLibrary library(dir);
        bool listed = false;
        for (const THelpPage& listedPage : library.Pages())
            listed = listed || listedPage.Name == page;
        QVERIFY(listed);
        QCOMPARE(library.Pages().first().Name, QStringLiteral("index"));
    }

    // Every picture shipped is shown somewhere, so none is forgotten when a page changes.
    void everyPictureIsShown()
    {
        for (const QString& language : {QStringLiteral("de"), QStringLiteral("en")}) {
            const QString dir = GuideDir + QLatin1Char('/') + language;
            QStringList shown;
            for (const QString& page : PageNames(dir)) {
                QTextDocument document;
                LoadHelpPage(dir + QLatin1Char('/') + page + QStringLiteral(".htm"), document);
                shown += HelpImages(document);
            }
            for (const QFileInfo& picture : QDir(dir + QStringLiteral("/img")).entryInfoList({QStringLiteral("*.png")}))
                QVERIFY2(shown.contains(QStringLiteral("img/") + picture.fileName()), qPrintable(language + QLatin1Char('/') + picture.fileName()));
        }
    }

    void searchNeedsEveryWord_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("notFound");
        QTest::newRow("de case ignored") << "de" << "posteingang" << "folders" << "";
        QTest::newRow("de both words") << "de" << "Zertifikat Fingerabdruck" << "setup" << "shortcuts";
        QTest::newRow("en both words") << "en" << "certificate fingerprint" << "setup" << "shortcuts";
        QTest::newRow("en one word") << "en" << "Inbox" << "folders" << "";
    }

    void searchNeedsEveryWord()
    {
        QFETCH(QString, language);
        QFETCH(QString, query);
        QFETCH(QString, found);
        QFETCH(QString, notFound);
        const THelpLibrary library(GuideDir + QLatin1Char('/') + language);
        QStringList names;
        for (const THelpPage& page : library.Search(query)) {
            names.append(page.Name);
            for (const QString& word : HelpSearchWords(query))
                QVERIFY(page.Text.contains(word, Qt::CaseInsensitive) || page.Title.contains(word, Qt::CaseInsensitive));
        }
        if (!found.isEmpty())
            QVERIFY2(names.contains(found), qPrintable(names.join(QLatin1Char(' '))));
        if (!notFound.isEmpty())
            QVERIFY(!names.contains(notFound));
        QVERIFY(library.Search(QStringLiteral("   ")).isEmpty());
    }
};

QTEST_MAIN(TestHelpGuide)
#include "tst_helpguide.moc"

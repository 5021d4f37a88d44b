// The context help index, unpacking the help, and replacing a placeholder in a file.

#include "HelpIndex.h"
#include "Konstanten.h"
#include "ReportCapture.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHelpIndex : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_programDir;

private slots:
    void init()
    {
        InitProgramPaths(m_programDir.filePath(QStringLiteral("lumaro")));
        QDir(Paths().Program.HelpDir).removeRecursively();
        QDir().mkpath(Paths().Program.HelpDir);
        ForgetHelpIndex();
    }

    void pageName_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("page");
        QTest::newRow("match") << QByteArray("12 mail_send\n") << 12 << "mail_send";
        QTest::newRow("prefix of a longer number") << QByteArray("12 mail_send\n") << 1 << "";
        QTest::newRow("longer number does not match") << QByteArray("120 other\n12 mail_send\n") << 12 << "mail_send";
        QTest::newRow("first line wins") << QByteArray("5 one\n5 two\n") << 5 << "one";
        QTest::newRow("CR LF") << QByteArray("7 page\r\n") << 7 << "page";
        QTest::newRow("no blank") << QByteArray("7page\n") << 7 << "";
        QTest::newRow("empty index") << QByteArray() << 7 << "";
    }

    void pageName()
    {
        QFETCH(QByteArray, index);
        QFETCH(int, context);
        QTEST(HelpPageName(index, context), "page");
    }

    void pageForContext()
    {
        QVERIFY(Write(Paths().Program.HelpIndexFile, "12 mail_send\n13 settings#send\n"));
        ReportCapture reports;
        const QString help = Paths().Program.HelpDir;
        QCOMPARE(HelpUrlForContext(12, {}), QUrl::fromLocalFile(help + QStringLiteral("/de/mail_send.htm")));
        QCOMPARE(HelpUrlForContext(1, {}), QUrl());
        QUrl anchored = QUrl::fromLocalFile(help + QStringLiteral("/de/settings.htm"));
        anchored.setFragment(QStringLiteral("send"));
        QCOMPARE(HelpUrlForContext(13, {}), anchored);
        SetLanguage(2);
        anchored.setPath(help + QStringLiteral("/en/settings.htm"));
        QCOMPARE(HelpUrlForContext(13, {}), anchored);
        SetLanguage(0);
        QVERIFY(reports.Take().isEmpty());
    }

    void missingIndexReports501()
    {
        ReportCapture reports;
        QCOMPARE(HelpUrlForContext(12, {}), QUrl());
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 501);
    }

    void extractorRunsOnceAndLinksTheHelp()
    {
        const TProgramPaths& p = Paths().Program;
        QVERIFY(Write(p.HelpExtractor, "archive"));
        QVERIFY(Write(p.HelpDir + QStringLiteral("/template.htm"), "<a href=\"%LINK%index.htm\">%LINK%</a>"));
        int runs = 0;
        auto extractor = [&](const QString& program) {
            ++runs;
            [&] { QCOMPARE(program, p.HelpExtractor); }();
            return Write(p.HelpIndexFile, "902 template\n903 start\n4 topic\n");
        };
        ReportCapture reports;
        QCOMPARE(HelpUrlForContext(4, extractor), QUrl::fromLocalFile(p.HelpDir + QStringLiteral("/de/topic.htm")));
        QCOMPARE(runs, 1);
        QVERIFY(!QFile::exists(p.HelpExtractor));
        const QByteArray link = (p.HelpDir + QLatin1Char('/')).toUtf8();
        QCOMPARE(Read(p.HelpDir + QStringLiteral("/start.htm")), "<a href=\"" + link + "index.htm\">" + link + "</a>");
        HelpUrlForContext(4, extractor);
        QCOMPARE(runs, 1);
    }

    void replaceInFile()
    {
        const QString source = m_programDir.filePath(QStringLiteral("source.txt"));
        const QString target = m_programDir.filePath(QStringLiteral("target.txt"));
        QVERIFY(Write(source, "a %X% b %X%"));
        QVERIFY(ReplaceInFile(source, target, QStringLiteral("%X%"), QStringLiteral("Grüße")));
        QCOMPARE(QString::fromUtf8(Read(target)), QStringLiteral("a Grüße b Grüße"));
        QVERIFY(!ReplaceInFile(m_programDir.filePath(QStringLiteral("missing.txt")), target, QStringLiteral("%X%"), {}));
        QCOMPARE(QString::fromUtf8(Read(target)), QStringLiteral("a Grüße b Grüße"));
    }

    // Help pages of earlier versions are in the Windows code page and declare it.
    void replaceInFileReadsTheWindowsCodePage_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("umlauts and quotes") << QByteArray("\x84Hilfe\x93 f\xfcr %X%") << QStringLiteral("„Hilfe“ für /hilfe/");
        QTest::newRow("declared code page") << QByteArray("<meta charset=\"windows-1252\">\xc4 %X%")
                                            << QStringLiteral("<meta charset=\"utf-8\">Ä /hilfe/");
        QTest::newRow("declared in content type") << QByteArray("content=\"text/html; charset=ISO-8859-1\">\xe9%X%")
                                                  << QStringLiteral("content=\"text/html; charset=utf-8\">é/hilfe/");
        QTest::newRow("utf-8 keeps its declaration") << QByteArray("charset=iso-8859-1 \xc3\xa4%X%")
                                                     << QStringLiteral("charset=iso-8859-1 ä/hilfe/");
    }
    void replaceInFileReadsTheWindowsCodePage()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, expected);
        const QString sourcePath = m_programDir.filePath(QStringLiteral("legacy.htm"));
        const QString target = m_programDir.filePath(QStringLiteral("legacy-out.htm"));
        QVERIFY(Write(sourcePath, source));
        QVERIFY(ReplaceInFile(sourcePath, target, QStringLiteral("%X%"), QStringLiteral("/hilfe/")));
        QCOMPARE(Read(target), expected.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestHelpIndex)
#include "tst_helpindex.moc"

// Registration as the desktop's mail program and for message files: the Exec line, the edit of
// mimeapps.list that keeps a person's entries, the registered state, and the real xdg-mime's answer.

#include "CommandLine.h"
#include "regftyp.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A person's list with entries of other programs, a comment and a group we never touch.
const QByteArray PersonsList = "# my associations\n"
                               "[Default Applications]\n"
                               "text/html=firefox.desktop;\n"
                               "x-scheme-handler/mailto=thunderbird.desktop;\n"
                               "\n"
                               "[Removed Associations]\n"
                               "x-scheme-handler/mailto=lumaro.desktop;other.desktop;\n"
                               "\n"
                               "[Custom Group]\n"
                               "key=value\n";

} // namespace

class TestRegistration : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    TRegistrationPaths PathsIn(const QString& name)
    {
        TRegistrationPaths paths;
        paths.ApplicationsDir = m_dir.filePath(name + QLatin1String("/data/applications"));
        paths.ConfigDir = m_dir.filePath(name + QLatin1String("/config"));
        paths.Program = m_dir.filePath(name + QLatin1String("/prog dir/lumaro"));
        paths.Icon = m_dir.filePath(name + QLatin1String("/prog dir/lumaro.svg"));
        return paths;
    }

private slots:
    void execArgument_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "/opt/lumaro/lumaro" << "/opt/lumaro/lumaro";
        QTest::newRow("blank") << "/home/a b/lumaro" << "\"/home/a b/lumaro\"";
        QTest::newRow("quote and dollar") << "/x/\"q\"$/lumaro" << "\"/x/\\\\\"q\\\\\"\\\\$/lumaro\"";
        QTest::newRow("percent") << "/x/100%/lumaro" << "/x/100%%/lumaro";
        QTest::newRow("backslash") << "/x/a\\b/lumaro" << "\"/x/a\\\\\\\\b/lumaro\"";
    }

    void execArgument()
    {
        QFETCH(QString, program);
        QFETCH(QString, written);
        QCOMPARE(detail::ExecArgument(program), written);
        QCOMPARE(detail::ExecProgram(written + QLatin1String(" %u")), program);
    }

    void defaultEntryIsWrittenAndOtherEntriesStay_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file") << QByteArray()
                                 << QByteArray("[Default Applications]\nx-scheme-handler/mailto=lumaro.desktop;\n\n"
                                               "[Added Associations]\nx-scheme-handler/mailto=lumaro.desktop;\n");
        QTest::newRow("person's list") << PersonsList
                                       << QByteArray("# my associations\n"
                                                     "[Default Applications]\n"
                                                     "text/html=firefox.desktop;\n"
                                                     "x-scheme-handler/mailto=lumaro.desktop;thunderbird.desktop;\n"
                                                     "\n"
                                                     "[Removed Associations]\n"
                                                     "x-scheme-handler/mailto=other.desktop;\n"
                                                     "\n"
                                                     "[Custom Group]\n"
                                                     "key=value\n"
                                                     "\n"
                                                     "[Added Associations]\n"
                                                     "x-scheme-handler/mailto=lumaro.desktop;\n");
        QTest::newRow("already first, blanks around =")
            << QByteArray("[Default Applications]\nx-scheme-handler/mailto = lumaro.desktop;a.desktop\n"
                          "[Added Associations]\nx-scheme-handler/mailto=a.desktop;lumaro.desktop;\n")
            << QByteArray("[Default Applications]\nx-scheme-handler/mailto=lumaro.desktop;a.desktop;\n"
                          "[Added Associations]\nx-scheme-handler/mailto=lumaro.desktop;a.desktop;\n");
        QTest::newRow("group without the type")
            << QByteArray("[Default Applications]\ntext/html=firefox.desktop;\n\n[Other]\nx=y\n")
            << QByteArray("[Default Applications]\ntext/html=firefox.desktop;\nx-scheme-handler/mailto=lumaro.desktop;\n"
                          "\n[Other]\nx=y\n\n[Added Associations]\nx-scheme-handler/mailto=lumaro.desktop;\n");
    }

    void defaultEntryIsWrittenAndOtherEntriesStay()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString mailto = QStringLiteral("x-scheme-handler/mailto");
        const QByteArray written = detail::WithDefaultApplication(before, mailto, DesktopFileName);
        QCOMPARE(written, after);
        QCOMPARE(detail::DefaultApplication(written, mailto), DesktopFileName);
        // Registering again changes nothing.
        QCOMPARE(detail::WithDefaultApplication(written, mailto, DesktopFileName), written);
    }

    void registerWritesBothFilesAndReadsBackAsRegistered()
    {
        const TRegistrationPaths paths = PathsIn(QStringLiteral("one"));
        QVERIFY(WriteAll(paths.ConfigDir + QLatin1String("/mimeapps.list"), PersonsList));
        QVERIFY(!IsRegistered(TRegistration::MailClient, paths));
        QString error;
        QVERIFY(Register(TRegistration::MailClient, paths, error));
        QVERIFY(error.isEmpty());
        QVERIFY(IsRegistered(TRegistration::MailClient, paths));
        QVERIFY(!IsRegistered(TRegistration::EmlFiles, paths));

        const QByteArray entry = ReadAll(paths.ApplicationsDir + QLatin1String("/lumaro.desktop"));
        QCOMPARE(detail::DesktopEntryValue(entry, QStringLiteral("Exec")),
                 QStringLiteral("\"%1\" %u").arg(paths.Program));
        QCOMPARE(detail::DesktopEntryValue(entry, QStringLiteral("MimeType")),
                 QStringLiteral("x-scheme-handler/mailto;message/rfc822;"));
        QCOMPARE(detail::DesktopEntryValue(entry, QStringLiteral("Icon")), paths.Icon);
        const QByteArray list = ReadAll(paths.ConfigDir + QLatin1String("/mimeapps.list"));
        for (const char* kept : {"text/html=firefox.desktop;", "# my associations", "[Custom Group]\nkey=value"})
            QVERIFY2(list.contains(kept), kept);

        QVERIFY(Register(TRegistration::EmlFiles, paths, error));
        QVERIFY(IsRegistered(TRegistration::EmlFiles, paths));
        QCOMPARE(detail::DefaultApplication(ReadAll(paths.ConfigDir + QLatin1String("/mimeapps.list")),
                                            QStringLiteral("message/rfc822")),
                 DesktopFileName);
    }

    void anotherInstallationsEntryIsNotOurs()
    {
        TRegistrationPaths paths = PathsIn(QStringLiteral("two"));
        QString error;
        QVERIFY(Register(TRegistration::MailClient, paths, error));
        paths.Program = m_dir.filePath(QStringLiteral("elsewhere/lumaro"));
        QVERIFY(!IsRegistered(TRegistration::MailClient, paths));
    }

    void aDesktopsOwnListIsFollowedAndUpdated()
    {
        TRegistrationPaths paths = PathsIn(QStringLiteral("three"));
        paths.Desktops = {QStringLiteral("gnome")};
        const QString gnomeList = paths.ConfigDir + QLatin1String("/gnome-mimeapps.list");
        QVERIFY(WriteAll(gnomeList, "[Default Applications]\nx-scheme-handler/mailto=evolution.desktop;\n"));
        QString error;
        QVERIFY(WriteAll(paths.ConfigDir + QLatin1String("/mimeapps.list"),
                         "[Default Applications]\nx-scheme-handler/mailto=lumaro.desktop;\n"));
        QVERIFY(Register(TRegistration::EmlFiles, paths, error));
        QVERIFY(!IsRegistered(TRegistration::MailClient, paths));
        QVERIFY(Register(TRegistration::MailClient, paths, error));
        QVERIFY(IsRegistered(TRegistration::MailClient, paths));
        QCOMPARE(detail::DefaultApplication(ReadAll(gnomeList), QStringLiteral("x-scheme-handler/mailto")),
                 DesktopFileName);
    }

    void unwritableConfigDirectoryNamesTheFile()
    {
        TRegistrationPaths paths = PathsIn(QStringLiteral("four"));
        QVERIFY(WriteAll(m_dir.filePath(QStringLiteral("four/blocker")), "a file, not a directory"));
        paths.ConfigDir = m_dir.filePath(QStringLiteral("four/blocker"));
        QString error;
        QVERIFY(!Register(TRegistration::MailClient, paths, error));
        QCOMPARE(error, paths.ConfigDir + QLatin1String("/mimeapps.list"));
        QVERIFY(!IsRegistered(TRegistration::MailClient, paths));
    }

    // The desktop starts us with "%u": a message file arrives as a file URL.
    void fileUrlFromTheDesktopOpensTheMessageFile()
    {
        const TArgumentAction action = ParseArgument(QStringLiteral("file:///home/a%40b/Mail%20x.eml"));
        QCOMPARE(action.Kind, TArgumentKind::EmlFile);
        QCOMPARE(action.Path, QStringLiteral("/home/a@b/Mail x.eml"));
    }

    void xdgMimeNamesOurDesktopFileAfterRegister()
    {
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (xdgMime.isEmpty())
            QSKIP("xdg-mime (Debian package xdg-utils) is not installed");
        TRegistrationPaths paths = PathsIn(QStringLiteral("xdg"));
        // xdg-mime only names entries whose program exists; its Exec reader does not take quotes.
        paths.Program = m_dir.filePath(QStringLiteral("xdg/prog/lumaro"));
        QVERIFY(WriteAll(paths.Program, "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(paths.Program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(WriteAll(paths.ConfigDir + QLatin1String("/mimeapps.list"), PersonsList));
        QString error;
        QVERIFY(Register(TRegistration::MailClient, paths, error));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                                 "MATE_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), paths.ConfigDir);
        env.insert(QStringLiteral("XDG_DATA_HOME"), QFileInfo(paths.ApplicationsDir).absolutePath());
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), m_dir.filePath(QStringLiteral("xdg/none")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), m_dir.filePath(QStringLiteral("xdg/none")));
        QProcess query;
        query.setProcessEnvironment(env);
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
        QVERIFY(query.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(query.readAllStandardOutput()).trimmed(), DesktopFileName);
    }
};

QTEST_GUILESS_MAIN(TestRegistration)
#include "tst_registration.moc"

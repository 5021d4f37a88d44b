// Whether the desktop has a program for a type: associations in mimeapps.list, the types desktop
// entries declare, parent types, and entries that are named but not installed.
#include "DesktopHandlers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Write(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

class TestDesktopHandlers : public QObject {
    Q_OBJECT

private slots:
    void handlerFound_data()
    {
        QTest::addColumn<QByteArray>("mimeapps");   // written to the user's config folder
        QTest::addColumn<QByteArray>("entry");      // MimeType line of "viewer.desktop" in the data folder
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("found");
        const QByteArray none;
        QTest::newRow("declared by an entry") << none << QByteArray("MimeType=image/gif;image/png;") << "image/gif" << true;
        QTest::newRow("other types only") << none << QByteArray("MimeType=image/png;") << "image/gif" << false;
        QTest::newRow("type case ignored") << none << QByteArray("MimeType=Image/GIF;") << "image/gif" << true;
        QTest::newRow("parent type") << none << QByteArray("MimeType=text/plain;") << "text/csv" << true;
        QTest::newRow("catch-all is no parent") << none << QByteArray("MimeType=application/octet-stream;") << "application/pdf" << false;
        QTest::newRow("catch-all asked for itself") << none << QByteArray("MimeType=application/octet-stream;")
                                                    << "application/octet-stream" << true;
        QTest::newRow("default application") << QByteArray("[Default Applications]\napplication/pdf=viewer.desktop\n")
                                             << QByteArray("MimeType=image/png;") << "application/pdf" << true;
        QTest::newRow("added association") << QByteArray("[Added Associations]\napplication/pdf=gone.desktop;viewer.desktop;\n")
                                           << QByteArray() << "application/pdf" << true;
        QTest::newRow("association to a missing entry") << QByteArray("[Default Applications]\napplication/pdf=gone.desktop\n")
                                                        << QByteArray() << "application/pdf" << false;
        QTest::newRow("removed associations are no handlers") << QByteArray("[Removed Associations]\napplication/pdf=viewer.desktop\n")
                                                              << QByteArray() << "application/pdf" << false;
        QTest::newRow("nothing installed") << none << none << "image/gif" << false;
        QTest::newRow("no type") << none << QByteArray("MimeType=image/gif;") << QString() << false;
    }
    void handlerFound()
    {
        QFETCH(QByteArray, mimeapps);
        QFETCH(QByteArray, entry);
        QFETCH(QString, type);
        QFETCH(bool, found);
        QTemporaryDir root;
        TDesktopDirectories directories;
        directories.ConfigDirs = {root.filePath(QStringLiteral("config"))};
        directories.ApplicationDirs = {root.filePath(QStringLiteral("data/applications")),
                                       root.filePath(QStringLiteral("system/applications"))};
        if (!mimeapps.isEmpty())
            Write(root.filePath(QStringLiteral("config/mimeapps.list")), mimeapps);
        Write(root.filePath(QStringLiteral("system/applications/viewer.desktop")),
              "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\n" + entry + "\n");
        QCOMPARE(DesktopHandlerExists(type, directories), found);
    }

    // Entries in sub-folders have ids joined with "-", as the desktop's lookup names them.
    void entryInSubFolder()
    {
        QTemporaryDir root;
        TDesktopDirectories directories{{root.filePath(QStringLiteral("config"))}, {root.filePath(QStringLiteral("apps"))}};
        Write(root.filePath(QStringLiteral("apps/kde/viewer.desktop")), "[Desktop Entry]\nType=Application\n");
        Write(root.filePath(QStringLiteral("config/mimeapps.list")), "[Default Applications]\nimage/gif=kde-viewer.desktop\n");
        QVERIFY(DesktopHandlerExists(QStringLiteral("image/gif"), directories));
    }
};

QTEST_GUILESS_MAIN(TestDesktopHandlers)
#include "tst_desktophandlers.moc"

#include "DesktopHandlers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMimeDatabase>
#include <QSet>

namespace {

QStringList PathList(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    QStringList paths = (value.isEmpty() ? fallback : value).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return paths;
}

QString HomeDir(const char* variable, const QString& relative)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + relative : value;
}

// The types `mimeType` stands for: itself and the types it is a kind of, without the catch-all.
QSet<QString> TypesFor(const QString& mimeType)
{
    const QString name = mimeType.toLower();
    QSet<QString> types{name};
    const QMimeType type = QMimeDatabase().mimeTypeForName(name);
    if (type.isValid()) {
        types.insert(type.name());
        for (const QString& ancestor : type.allAncestors()) {
            if (ancestor != QLatin1String("application/octet-stream"))
                types.insert(ancestor);
        }
    }
    return types;
}

// The desktop entries a "key=a.desktop;b.desktop;" line names, when its key is one of `types`.
QStringList EntriesOf(const QByteArray& line, const QSet<QString>& types, char separator)
{
    const qsizetype equals = line.indexOf(separator);
    if (equals <= 0)
        return {};
    const QString key = QString::fromUtf8(line.left(equals)).trimmed().toLower();
    if (!types.contains(key))
        return {};
    return QString::fromUtf8(line.mid(equals + 1)).trimmed().split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// Entries that mimeapps.list associates with one of `types` (defaults and added associations).
QStringList AssociatedEntries(const QString& file, const QSet<QString>& types)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly))
        return {};
    QStringList entries;
    bool associating = false;
    while (!list.atEnd()) {
        const QByteArray line = list.readLine().trimmed();
        if (line.startsWith('[')) {
            associating = line == "[Default Applications]" || line == "[Added Associations]";
            continue;
        }
        if (associating)
            entries += EntriesOf(line, types, '=');
    }
    return entries;
}

// True when the desktop entry declares one of `types` in its MimeType line.
bool DeclaresType(const QString& desktopFile, const QSet<QString>& types)
{
    QFile entry(desktopFile);
    if (!entry.open(QIODevice::ReadOnly))
        return false;
    while (!entry.atEnd()) {
        const QByteArray line = entry.readLine().trimmed();
        if (!line.startsWith("MimeType="))
            continue;
        for (const QString& type : QString::fromUtf8(line.mid(9)).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (types.contains(type.trimmed().toLower()))
                return true;
        }
        return false;
    }
    return false;
}

// Desktop file ids ("org.example.Viewer.desktop", a sub-folder's name joined with "-") with their paths.
QHash<QString, QString> DesktopEntries(const QStringList& applicationDirs)
{
    QHash<QString, QString> entries;
    for (const QString& dir : applicationDirs) {
        QDirIterator it(dir, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id = QDir(dir).relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-'));
            // The first folder in the search order wins.
            if (!entries.contains(id))
                entries.insert(id, path);
        }
    }
    return entries;
}

} // namespace

TDesktopDirectories DesktopDirectoriesFromEnvironment()
{
    TDesktopDirectories directories;
    directories.ConfigDirs = QStringList{HomeDir("XDG_CONFIG_HOME", QStringLiteral("/.config"))}
        + PathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    const QStringList dataDirs = QStringList{HomeDir("XDG_DATA_HOME", QStringLiteral("/.local/share"))}
        + PathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& dir : dataDirs)
        directories.ApplicationDirs.append(dir + QLatin1String("/applications"));
    return directories;
}

bool DesktopHandlerExists(const QString& mimeType, const TDesktopDirectories& directories)
{
    if (mimeType.isEmpty())
        return false;
    const QSet<QString> types = TypesFor(mimeType);
    const QHash<QString, QString> entries = DesktopEntries(directories.ApplicationDirs);
    for (const QString& dir : directories.ConfigDirs + directories.ApplicationDirs) {
        for (const QString& id : AssociatedEntries(dir + QLatin1String("/mimeapps.list"), types)) {
            if (entries.contains(id.trimmed()))
                return true;
        }
    }
    for (const QString& path : entries) {
        if (DeclaresType(path, types))
            return true;
    }
    return false;
}

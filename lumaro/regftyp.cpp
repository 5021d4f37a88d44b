#include "regftyp.h"

#include "AtomicFile.h"
#include "Konstanten.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <functional>

namespace {

const QString DefaultGroup = QStringLiteral("Default Applications");
const QString AddedGroup = QStringLiteral("Added Associations");
const QString RemovedGroup = QStringLiteral("Removed Associations");
const QString MimeappsName = QStringLiteral("mimeapps.list");
const QString ExecKey = QStringLiteral("Exec");
// Characters that make a desktop entry quote an Exec argument.
const QString ReservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// Characters that need a backslash inside a quoted Exec argument.
const QString QuotedEscapes = QStringLiteral("\"`$\\");

using TIdChange = std::function<QStringList(QStringList ids)>;

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

bool IsGroupHeader(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

// The key of a "key=value" line (blanks around "=" ignored); empty for other lines.
QString KeyOf(const QString& line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals < 0 || IsGroupHeader(line) ? QString() : line.left(equals).trimmed();
}

QString ValueOf(const QString& line)
{
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QStringList IdsOf(const QString& value)
{
    QStringList ids;
    for (const QString& id : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!id.trimmed().isEmpty())
            ids.append(id.trimmed());
    }
    return ids;
}

QString EntryLine(const QString& mimeType, const QStringList& ids)
{
    return mimeType + QLatin1Char('=') + ids.join(QLatin1Char(';')) + QLatin1Char(';');
}

qsizetype GroupHeaderIndex(const QStringList& lines, const QString& group)
{
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed() == header)
            return i;
    }
    return -1;
}

// Changes the list of desktop ids of `mimeType` in `group`: a changed empty list removes the line,
// a missing line or group is added when the change gives ids.
void EditEntry(QStringList& lines, const QString& group, const QString& mimeType, const TIdChange& change)
{
    const qsizetype header = GroupHeaderIndex(lines, group);
    if (header < 0) {
        const QStringList ids = change({});
        if (ids.isEmpty())
            return;
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        if (!lines.isEmpty())
            lines.append(QString());
        lines << QLatin1Char('[') + group + QLatin1Char(']') << EntryLine(mimeType, ids) << QString();
        return;
    }
    qsizetype lastFilled = header;
    for (qsizetype i = header + 1; i < lines.size() && !IsGroupHeader(lines[i]); ++i) {
        if (KeyOf(lines[i]) == mimeType) {
            const QStringList ids = change(IdsOf(ValueOf(lines[i])));
            if (ids.isEmpty())
                lines.removeAt(i);
            else
                lines[i] = EntryLine(mimeType, ids);
            return;
        }
        if (!lines[i].trimmed().isEmpty())
            lastFilled = i;
    }
    const QStringList ids = change({});
    if (!ids.isEmpty())
        lines.insert(lastFilled + 1, EntryLine(mimeType, ids));
}

QString MimeappsPath(const QString& configDir, const QString& desktop = {})
{
    return configDir + QLatin1Char('/') + (desktop.isEmpty() ? QString() : desktop + QLatin1Char('-')) + MimeappsName;
}

// The lists that decide the user's default, in the order the desktops read them.
QStringList MimeappsLists(const TRegistrationPaths& paths)
{
    QStringList lists;
    for (const QString& desktop : paths.Desktops)
        lists.append(MimeappsPath(paths.ConfigDir, desktop));
    lists.append(MimeappsPath(paths.ConfigDir));
    return lists;
}

QString EffectiveDefault(const TRegistrationPaths& paths, const QString& mimeType)
{
    for (const QString& list : MimeappsLists(paths)) {
        const QString id = detail::DefaultApplication(ReadWholeFile(list), mimeType);
        if (!id.isEmpty())
            return id;
    }
    return {};
}

bool EnsureDirectory(const QString& dir)
{
    return QFileInfo(dir).isDir() || QDir().mkpath(dir);
}

bool WriteDesktopEntry(const TRegistrationPaths& paths, QString& error)
{
    const QString path = paths.ApplicationsDir + QLatin1Char('/') + DesktopFileName;
    if (EnsureDirectory(paths.ApplicationsDir)
        && WriteFileAtomically(path, detail::DesktopEntry(paths.Program, paths.Icon)))
        return true;
    error = path;
    return false;
}

bool WriteDefault(const QString& list, const QString& mimeType, QString& error)
{
    if (EnsureDirectory(QFileInfo(list).absolutePath())
        && WriteFileAtomically(list, detail::WithDefaultApplication(ReadWholeFile(list), mimeType, DesktopFileName)))
        return true;
    error = list;
    return false;
}

} // namespace

TRegistrationPaths CurrentRegistrationPaths()
{
    TRegistrationPaths paths;
    paths.ApplicationsDir = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    paths.ConfigDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString& desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        paths.Desktops.append(desktop.toLower());
    paths.Program = Paths().Program.LumaroExe;
    paths.Icon = Paths().Program.ProgDir + QLatin1String("/lumaro.svg");
    return paths;
}

QString MimeTypeOf(TRegistration registration)
{
    return registration == TRegistration::MailClient ? QStringLiteral("x-scheme-handler/mailto")
                                                     : QStringLiteral("message/rfc822");
}

bool IsRegistered(TRegistration registration, const TRegistrationPaths& paths)
{
    if (EffectiveDefault(paths, MimeTypeOf(registration)) != DesktopFileName)
        return false;
    const QByteArray entry = ReadWholeFile(paths.ApplicationsDir + QLatin1Char('/') + DesktopFileName);
    const QString program = detail::ExecProgram(detail::DesktopEntryValue(entry, ExecKey));
    return !program.isEmpty() && Canonical(program) == Canonical(paths.Program);
}

bool Register(TRegistration registration, const TRegistrationPaths& paths, QString& error)
{
    const QString mimeType = MimeTypeOf(registration);
    if (!WriteDesktopEntry(paths, error) || !WriteDefault(MimeappsPath(paths.ConfigDir), mimeType, error))
        return false;
    // A desktop's own list overrides mimeapps.list: where it names another default, it names ours now.
    for (const QString& desktop : paths.Desktops) {
        const QString list = MimeappsPath(paths.ConfigDir, desktop);
        if (!detail::DefaultApplication(ReadWholeFile(list), mimeType).isEmpty() && !WriteDefault(list, mimeType, error))
            return false;
    }
    return true;
}

namespace detail {

QString ExecArgument(const QString& program)
{
    QString argument = program;
    const bool quoted = std::any_of(program.begin(), program.end(),
                                    [](QChar c) { return ReservedCharacters.contains(c); });
    if (quoted) {
        argument.clear();
        for (const QChar c : program) {
            if (QuotedEscapes.contains(c))
                argument += QLatin1Char('\\');
            argument += c;
        }
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    argument.replace(QLatin1Char('%'), QLatin1String("%%"));
    // The key's own string escape comes last: every backslash of the value is written doubled.
    return argument.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
}

QString ExecProgram(const QString& execValue)
{
    QString value;
    // Undo the string escapes first (\\, \s, \t, \n), then read the first argument.
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        if (execValue[i] == QLatin1Char('\\') && i + 1 < execValue.size()) {
            const QChar next = execValue[++i];
            value += next == QLatin1Char('s') ? QChar(u' ') : next == QLatin1Char('t') ? QChar(u'\t')
                : next == QLatin1Char('n')    ? QChar(u'\n')
                                              : next;
        } else {
            value += execValue[i];
        }
    }
    value = value.trimmed();
    QString program;
    if (value.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < value.size() && value[i] != QLatin1Char('"'); ++i) {
            if (value[i] == QLatin1Char('\\') && i + 1 < value.size())
                ++i;
            program += value[i];
        }
    } else {
        program = value.section(QLatin1Char(' '), 0, 0);
    }
    return program.replace(QLatin1String("%%"), QLatin1String("%"));
}

QByteArray DesktopEntry(const QString& program, const QString& icon)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Version=1.0\n"
                                        "Name=Lumaro Mail\n"
                                        "GenericName=Mail Client\n"
                                        "GenericName[de]=E-Mail-Programm\n"
                                        "Comment=Read, write and file e-mail\n"
                                        "Comment[de]=E-Mails lesen, schreiben und ablegen\n"
                                        "Exec=%1 %u\n"
                                        "Icon=%2\n"
                                        "Terminal=false\n"
                                        "Categories=Network;Email;\n"
                                        "MimeType=x-scheme-handler/mailto;message/rfc822;\n")
                             .arg(ExecArgument(program), icon);
    return text.toUtf8();
}

QString DesktopEntryValue(const QByteArray& desktopFile, const QString& key)
{
    bool inEntry = false;
    for (const QString& line : QString::fromUtf8(desktopFile).split(QLatin1Char('\n'))) {
        if (IsGroupHeader(line))
            inEntry = line.trimmed() == QLatin1String("[Desktop Entry]");
        else if (inEntry && KeyOf(line) == key)
            return ValueOf(line);
    }
    return {};
}

QString DefaultApplication(const QByteArray& mimeappsList, const QString& mimeType)
{
    const QStringList lines = QString::fromUtf8(mimeappsList).split(QLatin1Char('\n'));
    const qsizetype header = GroupHeaderIndex(lines, DefaultGroup);
    if (header < 0)
        return {};
    for (qsizetype i = header + 1; i < lines.size() && !IsGroupHeader(lines[i]); ++i) {
        if (KeyOf(lines[i]) == mimeType)
            return IdsOf(ValueOf(lines[i])).value(0);
    }
    return {};
}

QByteArray WithDefaultApplication(const QByteArray& mimeappsList, const QString& mimeType, const QString& desktopId)
{
    QStringList lines = QString::fromUtf8(mimeappsList).split(QLatin1Char('\n'));
    const TIdChange first = [&](QStringList ids) {
        ids.removeAll(desktopId);
        ids.prepend(desktopId);
        return ids;
    };
    EditEntry(lines, DefaultGroup, mimeType, first);
    EditEntry(lines, AddedGroup, mimeType, first);
    EditEntry(lines, RemovedGroup, mimeType, [&](QStringList ids) {
        ids.removeAll(desktopId);
        return ids;
    });
    return lines.join(QLatin1Char('\n')).toUtf8();
}

} // namespace detail

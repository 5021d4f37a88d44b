#include "Konstanten.h"

#include "Reporter.h"
#include "SharedFunctions.h"
#include "tk_langlib.h"
#include "qmmsg.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace detail {

TSuitePaths& MutablePaths()
{
    static TSuitePaths paths;
    return paths;
}

QString ProgramDirectoryOf(const QString& executablePath)
{
    const QFileInfo executable(executablePath);
    const QString dir = executable.absolutePath();
    const QString last = QFileInfo(dir).fileName().toUpper();
    if (last == QLatin1String("MODULES") || last == QLatin1String("TOOLS"))
        return QFileInfo(dir).absolutePath();
    return dir;
}

TProgramPaths ComputeProgramPaths(const QString& progDir)
{
    TProgramPaths p;
    p.ProgDir = progDir;
    p.HelpDir = progDir + QLatin1String("/help");
    p.HelpIndexFile = p.HelpDir + QLatin1String("/lumaro.inx");
    p.HelpExtractor = p.HelpDir + QLatin1String("/lmhelp");
    p.UsersDir = progDir + QLatin1String("/users");
    p.DefaultDataDir = progDir + QLatin1String("/default");
    p.ModulesDir = progDir + QLatin1String("/modules");
    p.ToolsDir = progDir + QLatin1String("/tools");
    p.UpdateFile = progDir + QLatin1String("/update.txt");
    p.LumaroExe = progDir + QLatin1String("/lumaro");
    p.LmabExe = progDir + QLatin1String("/lmab");
    p.LmserverExe = progDir + QLatin1String("/lmserver");
    p.LmagentExe = p.ModulesDir + QLatin1String("/lmagent");
    p.LmaccountsExe = p.ModulesDir + QLatin1String("/lmaccounts");
    p.LmviewExe = p.ModulesDir + QLatin1String("/lmview");
    p.LmchglangExe = p.ToolsDir + QLatin1String("/lmchglang");
    p.JobFile = progDir + QLatin1String("/lmagent.ini");
    p.HeadersFile = progDir + QLatin1String("/headers.ini");
    p.NewMailSound = progDir + QLatin1String("/newmail.wav");
    p.NoMailSound = progDir + QLatin1String("/nomail.wav");
    return p;
}

TDataPaths ComputeDataPaths(const QString& dataDir)
{
    TDataPaths d;
    d.DataDir = dataDir;
    d.DatabaseDir = dataDir;
    d.MailDir = dataDir + QLatin1String("/Mail");
    d.PhrasesDir = dataDir + QLatin1String("/Phrases");
    d.LmabDir = dataDir + QLatin1String("/Lmab");
    d.SpoolDir = dataDir + QLatin1String("/Spool");
    d.InSpoolDir = d.SpoolDir;
    d.SmtpDir = d.SpoolDir + QLatin1String("/SMTP");
    d.ContactFile = d.SpoolDir + QLatin1String("/contact.txt");
    d.AddressbookFile = d.DatabaseDir + QLatin1String("/Addressbook.lab");
    d.AccountsFile = d.DatabaseDir + QLatin1String("/Accounts.ldb");
    d.UserIniFile = d.DatabaseDir + QLatin1String("/lumaro.ini");
    d.FilterFile = dataDir + QLatin1String("/filter.ldb");
    d.LogFile = dataDir + QLatin1String("/logfile.txt");
    return d;
}

QString ChooseWorkDirectory(const QString& tempDir)
{
    QStringList candidates{QStringLiteral("23.tmp")};
    for (int i = 1; i <= 30; ++i)
        candidates << QStringLiteral("%1.tmp").arg(i);
    for (const QString& name : candidates) {
        const QFileInfo candidate(tempDir + QLatin1Char('/') + name);
        if (!candidate.exists() || candidate.isDir())
            return candidate.filePath();
    }
    return tempDir;
}

QString DisplayDateFormat(const QString& shortDateFormat, const QString& shortTimeFormat)
{
    QString date = shortDateFormat;
    if (!date.contains(QLatin1String("yyyy"))) {
        const qsizetype at = date.indexOf(QLatin1String("yy"));
        if (at >= 0)
            date.insert(at, QLatin1String("yy"));
    }
    return date + QLatin1Char(' ') + shortTimeFormat;
}

QString PrivateTempDirectory(const QString& base)
{
    const QString path = QStringLiteral("%1/lumaro-%2").arg(base).arg(::getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    // lstat: a symbolic link planted under our name must not redirect our files.
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()
        || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return path;
}

} // namespace detail

namespace {

QString FallbackTempDirectory()
{
    // Lives as long as the process; removed with its content at exit.
    static QTemporaryDir fallback(QDir::tempPath() + QLatin1String("/lumaro-XXXXXX"));
    return fallback.path();
}

TSystemDirs ComputeSystemDirs()
{
    TSystemDirs s;
    const QString base = QDir::tempPath();
    s.TempDir = detail::PrivateTempDirectory(base);
    if (s.TempDir.isEmpty()) {
        s.RefusedTempDir = QStringLiteral("%1/lumaro-%2").arg(base).arg(::getuid());
        s.TempDir = FallbackTempDirectory();
    }
    s.SourceFile = s.TempDir + QLatin1String("/lmsource.txt");
    s.SendToDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/lumaro/sendto");
    s.WorkDir = detail::ChooseWorkDirectory(s.TempDir);
    return s;
}

void SetDataDirectory(const QString& dataDir)
{
    TSuitePaths& paths = detail::MutablePaths();
    paths.Data = detail::ComputeDataPaths(dataDir);
    paths.System.WorkDir = detail::ChooseWorkDirectory(paths.System.TempDir);
}

} // namespace

const TSuitePaths& Paths()
{
    return detail::MutablePaths();
}

void InitProgramPaths(const QString& executablePath)
{
    TSuitePaths& paths = detail::MutablePaths();
    paths.Program = detail::ComputeProgramPaths(detail::ProgramDirectoryOf(executablePath));
    paths.System = ComputeSystemDirs();
    // Attachments opened from messages land in the private directory, not in the shared /tmp.
    SetAttachmentTempDir(paths.System.TempDir);
    ChooseDisplayDateFormat(QLocale::system(), IsEnglish());
    SetDataDirectory(paths.Program.DefaultDataDir);
}

QLocale DisplayLocale(const QLocale& system, bool english)
{
    if (system.language() != QLocale::C)
        return system;
    return english ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QLocale::German, QLocale::Germany);
}

void ChooseDisplayDateFormat(const QLocale& system, bool english)
{
    const QLocale locale = DisplayLocale(system, english);
    detail::MutablePaths().DisplayDateFormat = detail::DisplayDateFormat(locale.dateFormat(QLocale::ShortFormat),
                                                                         locale.timeFormat(QLocale::ShortFormat));
}

void ApplyDataDirectory(const QString& path)
{
    const QString defaultDir = Paths().Program.DefaultDataDir;
    const QString wanted = path.isEmpty() ? defaultDir : path;
    if (QFileInfo(wanted).isDir()) {
        SetDataDirectory(wanted);
        return;
    }
    if (wanted != defaultDir)
        Report(506, TMessageKind::Warning, wanted);
}

void UseDefaultDataDirectory()
{
    SetDataDirectory(Paths().Program.DefaultDataDir);
}

void CreateDataDirectories()
{
    const TSuitePaths& p = Paths();
    const QString inOrder[] = {p.Program.UsersDir, p.Data.DataDir, p.Data.DatabaseDir, p.Data.LmabDir,
                               p.Data.MailDir, p.Data.PhrasesDir, p.System.WorkDir, p.Data.SpoolDir,
                               p.Data.InSpoolDir, p.Data.SmtpDir};
    for (const QString& dir : inOrder) {
        // Only the last component: a data directory on an unmounted drive must not be recreated
        // as a tree of empty folders.
        if (!QFileInfo(dir).isDir())
            CreatePrivateDirectory(dir);
    }
}

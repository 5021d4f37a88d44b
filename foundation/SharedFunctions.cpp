#include "SharedFunctions.h"
#include "CertificateTexts.h"

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "qmexcept.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

constexpr int UnsafeTempDirMessage = 514;
constexpr int PlainLogInRefusedMessage = 517;
constexpr int TlsDowngradeMessage = 518;
constexpr int DiskFullMessage = 535;
constexpr int WriteFailedBecause = 536;
constexpr int WriteFailed = 537;
// Less than this is taken for a full disk: no message file or index record fits any more.
constexpr quint64 NearlyFullBytes = 64 * 1024;
// While the packed date stays the same the name stays taken; it changes every two seconds.
constexpr unsigned long NameRetryDelayMs = 50;

} // namespace

void InitProgramForActiveUser(const QString& executablePath)
{
    InitProgramPaths(executablePath);
    ReadLanguage();
    ReportRefusedTempDirectory();
    ReadInstallationValues();
    BuildUserList();
    ReadCurrentUserSettingsPaths();
    ApplyDataDirectory(UserContext().UserDataDir);
    CreateDataDirectories();
}

void ReportRefusedTempDirectory()
{
    if (!Paths().System.RefusedTempDir.isEmpty())
        Report(UnsafeTempDirMessage, TMessageKind::Warning, Paths().System.RefusedTempDir);
}

quint32 PackedFileDate(const QDateTime& localTime)
{
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    const quint32 packedDate = quint32(date.year() - 1980) << 9 | quint32(date.month()) << 5 | quint32(date.day());
    const quint32 packedTime = quint32(time.hour()) << 11 | quint32(time.minute()) << 5 | quint32(time.second() / 2);
    return packedDate << 16 | packedTime;
}

QString UniqueMessageFileName(const QString& dir, const QString& prefix, const TClock& now)
{
    for (;;) {
        const QString name = QStringLiteral("%1/%2%3.eml").arg(dir, prefix).arg(PackedFileDate(now()));
        if (!QFileInfo::exists(name))
            return name;
        QThread::msleep(NameRetryDelayMs);
    }
}

bool OpenOwnerOnly(QFile& file, QIODevice::OpenMode mode)
{
    return file.open(mode, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool CreatePrivateDirectory(const QString& path)
{
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return QFileInfo(path).isDir();
}

QString ShownErrorText(const EqmException& error)
{
    if (const auto* certificate = dynamic_cast<const ECertificateError*>(&error))
        return CertificateErrorText(certificate->Facts());
    const auto* refusal = dynamic_cast<const EPlainLogInRefused*>(&error);
    if (!refusal)
        return error.Message();
    return FillIn(MessageText(refusal->Downgrade() ? TlsDowngradeMessage : PlainLogInRefusedMessage), refusal->Server());
}

bool DiskIsFull(const QString& path)
{
    QFileInfo existing(path);
    while (!existing.exists() && !existing.isRoot() && !existing.filePath().isEmpty())
        existing = QFileInfo(existing.absolutePath());
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(existing.absoluteFilePath()).constData(), &fs) != 0)
        return false;
    return quint64(fs.f_bavail) * fs.f_frsize < NearlyFullBytes;
}

QString WriteFailureText(const QString& path, const QString& systemError)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (DiskIsFull(path))
        return FillIn(MessageText(DiskFullMessage), shown);
    // Qt's text for a device without a recorded error says nothing.
    if (systemError.isEmpty() || systemError == QLatin1String("Unknown error"))
        return FillIn(MessageText(WriteFailed), shown);
    return FillInEach(MessageText(WriteFailedBecause), {shown, systemError});
}

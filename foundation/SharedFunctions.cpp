#include "SharedFunctions.h"
#include "CertificateTexts.h"

#include "Konstanten.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "qmexcept.h"
#include "tk_langlib.h"

#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>

namespace {

constexpr int UnsafeTempDirMessage = 514;
constexpr int PlainLogInRefusedMessage = 517;
constexpr int TlsDowngradeMessage = 518;
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

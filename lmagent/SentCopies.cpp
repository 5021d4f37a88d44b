#include "SentCopies.h"

#include "AtomicFile.h"
#include "CertificatePins.h"
#include "CheckFile.h"
#include "DBAccountSecurity.h"
#include "Reporter.h"
#include "SharedFunctions.h"
#include "qmconst.h"
#include "qmimap.h"
#include "tk_langlib.h"

#include <QDir>
#include <QFile>

namespace {

namespace SentCopyText {
inline constexpr int NotStored = 333;
inline constexpr int Storing = 334;
} // namespace SentCopyText

QString Text(int id, const QString& value = {})
{
    return FillIn(MessageText(id), value);
}

void OpenTrusting(TqmIMAP& imap, const TAgentJob& job, const TAgentEvents& events)
{
    try {
        imap.OpenConnection();
    } catch (const ECertificateError& error) {
        if (!events.TrustCertificate(error.Facts()))
            throw;
        TrustCertificate(job.AccountName, TMailService::Pop, error.Facts(), imap);
        imap.OpenConnection();
    }
}

void Configure(TqmIMAP& imap, const TAgentJob& job, int timeoutSeconds, const QString& logFile)
{
    const TSentCopyTarget& target = job.SentCopy;
    imap.Server = target.Server;
    imap.UserName = target.Username;
    imap.Password = target.Password;
    imap.LogInMethod = target.Auth == TAuthMethod::OAuth2 ? TqmLogInMethod::OAuth2 : TqmLogInMethod::Password;
    imap.Security = target.Security;
    ApplyPin(imap, {target.PinnedServer, target.PinnedCertificate});
    imap.TlsSeenBefore = TlsSeenBefore(job.AccountName, TMailService::Pop, target.Server);
    imap.SetTimeOut(timeoutSeconds);
    imap.LogFileName = logFile;
}

} // namespace

QString SentCopyDir(const QString& queueDir, const QByteArray& accountName)
{
    return queueDir + QStringLiteral("/SentCopies/") + EscapeFileNamePart(QString::fromUtf8(accountName));
}

bool KeepSentCopy(const QString& dir, const QByteArray& text)
{
    const QString parent = QFileInfo(dir).path();
    const QString path = CreatePrivateDirectory(parent) && CreatePrivateDirectory(dir)
                             ? UniqueMessageFileName(dir, QStringLiteral("copy_"))
                             : QString();
    if (!path.isEmpty() && WriteFileAtomically(path, text, /*ownerOnly=*/true))
        return true;
    ReportText(SentCopyText::NotStored, TMessageKind::Warning,
               Text(SentCopyText::NotStored, WriteFailureText(path.isEmpty() ? dir : path)));
    return false;
}

int StoreSentCopies(const QString& dir, const TAgentJob& job, const TAgentEvents& events, int timeoutSeconds,
                    const QString& logFile)
{
    const QStringList names = QDir(dir).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    if (names.isEmpty() || job.SentCopy.Server.isEmpty())
        return 0;
    events.Status(Text(SentCopyText::Storing, QString::fromUtf8(job.SentCopy.Server)));
    TqmIMAP imap;
    Configure(imap, job, timeoutSeconds, logFile);
    int stored = 0;
    try {
        OpenTrusting(imap, job, events);
        const QString sent = TqmIMAP::SentFolder(imap.ListFolders());
        if (sent.isEmpty())
            throw EServerError(qmMessageText(qmNoSentFolder));
        for (const QString& name : names) {
            QFile file(dir + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly))
                throw EMessageError(WriteFailureText(file.fileName(), file.errorString()));
            imap.Append(sent, file.readAll(), {"\\Seen"});
            file.close();
            // Stored on the server: a copy left here by a failed removal would be stored twice.
            if (!QFile::remove(file.fileName()))
                throw EMessageError(WriteFailureText(file.fileName()));
            ++stored;
        }
        imap.CloseConnection();
    } catch (const EqmException& error) {
        if (imap.OnLine())
            imap.Close();
        ReportText(SentCopyText::NotStored, TMessageKind::Warning, Text(SentCopyText::NotStored, ShownErrorText(error)));
    }
    return stored;
}

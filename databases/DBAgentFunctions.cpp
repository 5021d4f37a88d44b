#include "DBAgentFunctions.h"

#include "AccountLogIn.h"
#include "AtomicFile.h"
#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

const QByteArray LineEnd("\r\n");

QByteArray Section(const char* name)
{
    return '[' + QByteArray(name) + ']' + LineEnd;
}

QByteArray Entry(const char* key, const QByteArray& value)
{
    return QByteArray(key) + '=' + value + LineEnd;
}

QByteArray Entry(const char* key, qint32 value)
{
    return Entry(key, QByteArray::number(value));
}

QByteArray Entry(const char* key, bool value)
{
    return Entry(key, QByteArray(value ? "1" : "0"));
}

bool FitsOnOneLine(const QByteArray& value)
{
    return !value.contains('\r') && !value.contains('\n');
}

QByteArray FoldersEntry(const QByteArrayList& folders)
{
    if (folders.isEmpty())
        return {};
    QByteArrayList encoded;
    for (const QByteArray& folder : folders)
        encoded.append(folder.toPercentEncoding());
    return Entry("Folders", encoded.join(','));
}

QByteArrayList FoldersFromEntry(const QByteArray& value)
{
    QByteArrayList folders;
    for (const QByteArray& folder : value.split(','))
        if (!folder.trimmed().isEmpty())
            folders.append(QByteArray::fromPercentEncoding(folder.trimmed()));
    return folders;
}

TAuthMethod AuthMethodFromText(const QByteArray& text)
{
    return text.trimmed().toLower() == "oauth2" ? TAuthMethod::OAuth2 : TAuthMethod::Password;
}

QByteArray SentCopySection(const TSentCopyTarget& target)
{
    if (target.Server.isEmpty())
        return {};
    return Section("SentCopy") + Entry("Server", target.Server) + Entry("Username", target.Username)
        + Entry("Password", target.Password) + Entry("Security", SecurityText(target.Security))
        + Entry("PinnedCertificate", target.PinnedCertificate) + Entry("PinnedServer", target.PinnedServer)
        + (target.Auth == TAuthMethod::OAuth2 ? Entry("AuthMethod", QByteArray("oauth2")) : QByteArray());
}

QByteArray JobFileContent(const TAgentJob& job)
{
    return Section("Main") + Entry("Action", job.Action) + Entry("AccountName", job.AccountName)
        + Entry("Server", job.Server) + Entry("KeepMails", job.KeepMails)
        + Entry("CheckMails", job.CheckMails) + Entry("DeleteDays", job.DeleteDays)
        + Entry("Security", SecurityText(job.Security)) + Entry("PinnedCertificate", job.PinnedCertificate)
        + Entry("PinnedServer", job.PinnedServer) + FoldersEntry(job.Folders)
        + (job.MarkRead ? Entry("MarkRead", true) : QByteArray())
        + (job.Auth == TAuthMethod::OAuth2 ? Entry("AuthMethod", QByteArray("oauth2")) : QByteArray())
        + Section("User") + Entry("Username", job.Username) + Entry("Password", job.Password)
        + Section("Ras") + Entry("RasService", job.RasService)
        + Entry("RasForceService", job.RasForceService) + Entry("RasHangUp", job.RasHangUp)
        + SentCopySection(job.SentCopy);
}

QByteArrayList FileLines(const QByteArray& content)
{
    QByteArrayList lines = content.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

// "Section/Key" (both lower-cased, as INI names compare without regard to case) → raw value.
// The first occurrence of a key wins; lines outside a section, comments and lines without "="
// are ignored.
QHash<QByteArray, QByteArray> ParseIni(const QByteArray& content)
{
    QHash<QByteArray, QByteArray> values;
    QByteArray section;
    for (const QByteArray& line : FileLines(content)) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            section = trimmed.sliced(1, trimmed.size() - 2).trimmed().toLower();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (section.isEmpty() || trimmed.startsWith(';') || equals < 0)
            continue;
        const QByteArray key = section + '/' + line.first(equals).trimmed().toLower();
        if (!values.contains(key))
            values.insert(key, line.sliced(equals + 1));
    }
    return values;
}

qint32 IntegerValue(const QByteArray& text)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

bool BoolValue(const QByteArray& text)
{
    return IntegerValue(text) != 0;
}

} // namespace

bool WriteJob(const TAgentJob& job, const QString& path)
{
    for (const QByteArray* text : {&job.Action, &job.AccountName, &job.Server, &job.Username, &job.Password,
                                   &job.RasService, &job.PinnedCertificate, &job.PinnedServer, &job.SentCopy.Server,
                                   &job.SentCopy.Username, &job.SentCopy.Password, &job.SentCopy.PinnedCertificate,
                                   &job.SentCopy.PinnedServer}) {
        if (!FitsOnOneLine(*text))
            return false;
    }
    return WriteFileAtomically(path, JobFileContent(job), /*ownerOnly=*/true);
}

std::optional<TAgentJob> ReadJob(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    const QHash<QByteArray, QByteArray> values = ParseIni(content);
    const auto value = [&values](const char* key) { return values.value(QByteArray(key).toLower()); };

    TAgentJob job;
    job.Action = value("Main/Action");
    job.AccountName = value("Main/AccountName");
    job.Server = value("Main/Server");
    job.KeepMails = BoolValue(value("Main/KeepMails"));
    job.CheckMails = BoolValue(value("Main/CheckMails"));
    job.DeleteDays = IntegerValue(value("Main/DeleteDays"));
    job.Security = SecurityFromText(value("Main/Security"));
    job.PinnedCertificate = value("Main/PinnedCertificate").trimmed();
    job.PinnedServer = value("Main/PinnedServer").trimmed();
    job.Auth = AuthMethodFromText(value("Main/AuthMethod"));
    job.Folders = FoldersFromEntry(value("Main/Folders"));
    job.MarkRead = BoolValue(value("Main/MarkRead"));
    job.Username = value("User/Username");
    job.Password = value("User/Password");
    job.RasService = value("Ras/RasService");
    job.RasForceService = BoolValue(value("Ras/RasForceService"));
    job.RasHangUp = BoolValue(value("Ras/RasHangUp"));
    job.SentCopy.Server = value("SentCopy/Server").trimmed();
    job.SentCopy.Username = value("SentCopy/Username");
    job.SentCopy.Password = value("SentCopy/Password");
    job.SentCopy.Security = SecurityFromText(value("SentCopy/Security"));
    job.SentCopy.PinnedCertificate = value("SentCopy/PinnedCertificate").trimmed();
    job.SentCopy.PinnedServer = value("SentCopy/PinnedServer").trimmed();
    job.SentCopy.Auth = AuthMethodFromText(value("SentCopy/AuthMethod"));
    return job;
}

bool FillReceiveJob(TAgentJob& job, const QByteArray& accountName, int keepMode, QString* error)
{
    const int n = FindAccountByName(accountName);
    const std::optional<TAccount> account = n > 0 ? ReadAccount(n) : std::nullopt;
    if (!account)
        return false;
    QString reason;
    const std::optional<TLogInSecret> secret = LogInSecret(*account, TMailService::Pop, reason);
    if (!secret) {
        if (error)
            *error = reason;
        return false;
    }
    job.AccountName = account->Name;
    job.Server = account->PopServer;
    job.Username = account->PopUsername;
    job.Password = secret->Secret;
    job.Auth = secret->Method;
    job.RasService = account->RASService;
    job.RasForceService = account->RasForceService;
    job.RasHangUp = account->RasHangUp;
    switch (keepMode) {
    case KeepModeForceKeep: job.KeepMails = true; break;
    case KeepModeForceDelete: job.KeepMails = false; break;
    default: job.KeepMails = account->PopKeepMails; break;
    }
    const bool deletesKeptMails = account->PopDeleteMails && account->PopDeleteDays > 0;
    job.CheckMails = deletesKeptMails;
    job.DeleteDays = deletesKeptMails ? account->PopDeleteDays : 0;
    const TAccountSecurity security = ReadAccountSecurity(account->Name);
    job.Security = security.PopSecurity;
    job.PinnedCertificate = security.PopPin.Fingerprint;
    job.PinnedServer = security.PopPin.Server;
    const bool imap = security.Incoming == TIncomingProtocol::Imap;
    job.Action = imap ? ImapReceiveAction : ReceiveAction;
    job.Folders = imap ? security.ImapFolders : QByteArrayList();
    job.MarkRead = imap && security.ImapMarkRead;
    return true;
}

bool FillSendJob(TAgentJob& job, const QByteArray& smtpServer, QString* error)
{
    job.Action = SendAction;
    job.Server = smtpServer;
    const int n = FindAccountBySmtpServer(smtpServer);
    const TAccount account = n > 0 ? ReadAccount(n).value_or(TAccount{}) : TAccount{};
    job.AccountName = account.Name;
    job.RasService = account.RASService;
    job.RasForceService = account.RasForceService;
    job.RasHangUp = account.RasHangUp;
    job.Username = account.SmtpAuth ? account.SmtpUsername : QByteArray();
    QString reason;
    const std::optional<TLogInSecret> secret = n > 0 ? LogInSecret(account, TMailService::Smtp, reason) : TLogInSecret{};
    job.Password = secret ? secret->Secret : QByteArray();
    job.Auth = secret ? secret->Method : TAuthMethod::Password;
    const TAccountSecurity security = n > 0 ? ReadAccountSecurity(account.Name) : TAccountSecurity{};
    job.Security = security.SmtpSecurity;
    job.PinnedCertificate = security.SmtpPin.Fingerprint;
    job.PinnedServer = security.SmtpPin.Server;
    job.SentCopy = {};
    if (n > 0 && security.Incoming == TIncomingProtocol::Imap && security.ImapSentCopy) {
        QString copyReason;
        const std::optional<TLogInSecret> imapSecret = LogInSecret(account, TMailService::Pop, copyReason);
        if (imapSecret)
            job.SentCopy = {account.PopServer, account.PopUsername, imapSecret->Secret, security.PopSecurity,
                            security.PopPin.Fingerprint, security.PopPin.Server, imapSecret->Method};
    }
    if (!secret && error)
        *error = reason;
    return secret.has_value();
}

QByteArrayList ReadHeaderList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList lines;
    for (const QByteArray& line : FileLines(file.readAll())) {
        if (!line.trimmed().isEmpty())
            lines.append(line);
    }
    return lines;
}

bool WriteHeaderList(const QByteArrayList& lines, const QString& path)
{
    QByteArray content;
    for (const QByteArray& line : lines) {
        if (!FitsOnOneLine(line))
            return false;
        content += line + LineEnd;
    }
    return WriteFileAtomically(path, content);
}

QString JobFailureFile(const QString& jobFile)
{
    return jobFile.isEmpty() ? QString() : QFileInfo(jobFile).dir().filePath(QStringLiteral("lmagent.err"));
}

bool WriteJobFailure(const QString& text, const QString& path)
{
    return !path.isEmpty() && WriteFileAtomically(path, text.toUtf8(), true);
}

QString TakeJobFailure(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    file.remove();
    return text;
}

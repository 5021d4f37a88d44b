#include "DatabaseCommands.h"

#include "DBAccountsFunctions.h"
#include "DBAddressFunctions.h"
#include "Konstanten.h"
#include "ToolCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

// The database functions work on the active user's paths: point them at DATADIR.
bool UseDataDirectory(const QString& dataDir)
{
    if (!QFileInfo(dataDir).isDir())
        return false;
    detail::MutablePaths().Data = detail::ComputeDataPaths(QDir::cleanPath(dataDir));
    return true;
}

QJsonObject AccountObject(int record, const TAccount& account, bool withPasswords)
{
    QJsonObject object{
        {QStringLiteral("record"), record},
        {QStringLiteral("Standard"), account.Standard},
        {QStringLiteral("Name"), JsonText(account.Name)},
        {QStringLiteral("PopServer"), JsonText(account.PopServer)},
        {QStringLiteral("PopUsername"), JsonText(account.PopUsername)},
        {QStringLiteral("PopKeepMails"), account.PopKeepMails},
        {QStringLiteral("PopDeleteMails"), account.PopDeleteMails},
        {QStringLiteral("PopDeleteDays"), account.PopDeleteDays},
        {QStringLiteral("SmtpServer"), JsonText(account.SmtpServer)},
        {QStringLiteral("SmtpName"), JsonText(account.SmtpName)},
        {QStringLiteral("SmtpAddress"), JsonText(account.SmtpAddress)},
        {QStringLiteral("SmtpCompany"), JsonText(account.SmtpCompany)},
        {QStringLiteral("RASService"), JsonText(account.RASService)},
        {QStringLiteral("RasForceService"), account.RasForceService},
        {QStringLiteral("RasHangUp"), account.RasHangUp},
        {QStringLiteral("SmtpAuth"), account.SmtpAuth},
        {QStringLiteral("SmtpUsername"), JsonText(account.SmtpUsername)},
        {QStringLiteral("SmtpReplyToAdr"), JsonText(account.SmtpReplyToAdr)},
        {QStringLiteral("SmtpAuthPop"), account.SmtpAuthPop},
    };
    if (withPasswords) {
        object.insert(QStringLiteral("PopPassword"), JsonText(account.PopPassword));
        object.insert(QStringLiteral("SmtpPassword"), JsonText(account.SmtpPassword));
    }
    return object;
}

QJsonArray JsonLines(const QByteArrayList& lines)
{
    QJsonArray array;
    for (const QByteArray& line : lines)
        array.append(JsonText(line));
    return array;
}

QJsonObject AddressObject(int record, const TAddressRecord& address, const QByteArrayList& members)
{
    return QJsonObject{
        {QStringLiteral("record"), record},
        {QStringLiteral("group"), address.Group},
        {QStringLiteral("category"), JsonText(address.Category)},
        {QStringLiteral("key"), JsonText(address.Key)},
        {QStringLiteral("last_name"), JsonText(address.LastName)},
        {QStringLiteral("first_name"), JsonText(address.FirstName)},
        {QStringLiteral("email"), JsonText(address.Email)},
        {QStringLiteral("subject"), JsonText(address.DefaultSubject)},
        {QStringLiteral("sender"), JsonText(address.PreferredSender)},
        {QStringLiteral("info"), JsonText(address.Info)},
        {QStringLiteral("signature"), JsonText(address.Signature)},
        {QStringLiteral("format"), address.RecordFormat},
        {QStringLiteral("members"), JsonLines(members)},
    };
}

} // namespace

int RunAccountsCommand(const QStringList& arguments)
{
    const QString withPasswordsOption = QStringLiteral("--with-passwords");
    if (arguments.isEmpty() || arguments.size() > 2
        || (arguments.size() == 2 && arguments.at(1) != withPasswordsOption)
        || arguments.first().startsWith(QLatin1Char('-')))
        return ExitUsage;
    if (!UseDataDirectory(arguments.first()))
        return Fail(QStringLiteral("no such data directory: %1").arg(arguments.first()));
    if (!CheckAccountsDatabase())
        return Fail(QStringLiteral("%1 is missing, outdated or damaged").arg(Paths().Data.AccountsFile));
    const bool withPasswords = arguments.size() == 2;
    const int count = CountAccounts();
    for (int n = 1; n <= count; ++n) {
        if (const std::optional<TAccount> account = ReadAccount(n))
            WriteJsonLine(AccountObject(n, *account, withPasswords));
    }
    return ExitSuccess;
}

int RunAddressbookCommand(const QStringList& arguments)
{
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-')))
        return ExitUsage;
    if (!UseDataDirectory(arguments.first()))
        return Fail(QStringLiteral("no such data directory: %1").arg(arguments.first()));
    if (!CheckAddressBook())
        return Fail(QStringLiteral("%1 is missing, outdated or damaged").arg(Paths().Data.AddressbookFile));
    const int count = CountAddresses();
    for (int k = 1; k <= count; ++k) {
        QByteArrayList members;
        if (const std::optional<TAddressRecord> address = ReadAddressWithMembers(k, members))
            WriteJsonLine(AddressObject(k, *address, members));
    }
    return ExitSuccess;
}

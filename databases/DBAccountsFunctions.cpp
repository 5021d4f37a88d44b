#include "DBAccountsFunctions.h"

#include "DBAccountSecurity.h"
#include "DamagedFile.h"
#include "Konstanten.h"
#include "RecordFile.h"
#include "Reporter.h"
#include "qmutils.h"

#include <QFile>

using namespace RecordCodec;

namespace {

namespace Field {
constexpr qsizetype Deleted = 0;
constexpr qsizetype Standard = 8;
constexpr TStringField Name{9, 50};
constexpr TStringField PopServer{111, 50};
constexpr TStringField PopUsername{162, 50};
constexpr TStringField PopPassword{213, 50};
constexpr qsizetype PopKeepMails = 264;
constexpr qsizetype PopDeleteMails = 265;
constexpr qsizetype PopDeleteDays = 268;
constexpr qsizetype PopPort = 272;
constexpr TStringField SmtpServer{276, 50};
constexpr TStringField SmtpName{327, 50};
constexpr TStringField SmtpAddress{378, 80};
constexpr TStringField SmtpCompany{459, 50};
constexpr qsizetype SmtpPort = 512;
constexpr qsizetype Reserved143 = 516;
constexpr TStringField RASService{520, 50};
constexpr qsizetype RasForceService = 571;
constexpr qsizetype RasHangUp = 572;
constexpr qsizetype SmtpAuth = 573;
constexpr TStringField SmtpUsername{574, 80};
constexpr TStringField SmtpPassword{655, 80};
constexpr TStringField SmtpReplyToAdr{736, 80};
constexpr qsizetype SmtpAuthPop = 840;
} // namespace Field

const QByteArray FormatMark("LM102");

TRecordFile AccountsFile()
{
    return TRecordFile(Paths().Data.AccountsFile, AccountRecordSize);
}

QByteArray FreshAccountRecord()
{
    QByteArray record(AccountRecordSize, '\0');
    WriteBool(record, Field::PopKeepMails, true);
    WriteBool(record, Field::PopDeleteMails, true);
    WriteInt32(record, Field::PopDeleteDays, 2);
    WriteInt32(record, Field::PopPort, 110);
    WriteInt32(record, Field::SmtpPort, 25);
    WriteInt32(record, Field::Reserved143, 143);
    return record;
}

void WritePassword(QByteArray& record, TStringField field, const QByteArray& plain)
{
    WriteString(record, field, ScramblePassword(CutToCapacity(plain, field.Capacity)));
}

// The number of the first present account that `matches`, 0 when none does.
template <typename Predicate>
int FindAccount(Predicate matches)
{
    const auto records = AccountsFile().ReadAllMarked(Field::Name, FormatMark);
    if (!records)
        return 0;
    for (qsizetype n = 1; n < records->size(); ++n) {
        const TAccount account = detail::DecodeAccount(records->at(n));
        if (!account.Deleted && matches(account))
            return int(n);
    }
    return 0;
}

QList<TAccount> PresentAccounts()
{
    QList<TAccount> accounts;
    if (const auto records = AccountsFile().ReadAllMarked(Field::Name, FormatMark)) {
        for (qsizetype n = 1; n < records->size(); ++n) {
            TAccount account = detail::DecodeAccount(records->at(n));
            if (!account.Deleted)
                accounts.append(std::move(account));
        }
    }
    return accounts;
}

} // namespace

namespace detail {

QByteArray EncodeAccount(const TAccount& account)
{
    QByteArray record = account.Stored.size() == AccountRecordSize ? account.Stored : FreshAccountRecord();
    WriteBool(record, Field::Deleted, account.Deleted);
    WriteBool(record, Field::Standard, account.Standard);
    WriteString(record, Field::Name, account.Name);
    WriteString(record, Field::PopServer, account.PopServer);
    WriteString(record, Field::PopUsername, account.PopUsername);
    WritePassword(record, Field::PopPassword, account.PopPassword);
    WriteBool(record, Field::PopKeepMails, account.PopKeepMails);
    WriteBool(record, Field::PopDeleteMails, account.PopDeleteMails);
    WriteInt32(record, Field::PopDeleteDays, account.PopDeleteDays);
    WriteInt32(record, Field::PopPort, 110);
    WriteString(record, Field::SmtpServer, account.SmtpServer);
    WriteString(record, Field::SmtpName, account.SmtpName);
    WriteString(record, Field::SmtpAddress, account.SmtpAddress);
    WriteString(record, Field::SmtpCompany, account.SmtpCompany);
    WriteInt32(record, Field::SmtpPort, 25);
    WriteString(record, Field::RASService, account.RASService);
    WriteBool(record, Field::RasForceService, account.RasForceService);
    WriteBool(record, Field::RasHangUp, account.RasHangUp);
    WriteBool(record, Field::SmtpAuth, account.SmtpAuth);
    WriteString(record, Field::SmtpUsername, account.SmtpUsername);
    WritePassword(record, Field::SmtpPassword, account.SmtpPassword);
    WriteString(record, Field::SmtpReplyToAdr, account.SmtpReplyToAdr);
    WriteBool(record, Field::SmtpAuthPop, account.SmtpAuthPop);
    return record;
}

TAccount DecodeAccount(const QByteArray& record)
{
    TAccount account;
    account.Deleted = ReadBool(record, Field::Deleted);
    account.Standard = ReadBool(record, Field::Standard);
    account.Name = ReadText(record, Field::Name);
    account.PopServer = ReadText(record, Field::PopServer);
    account.PopUsername = ReadText(record, Field::PopUsername);
    account.PopPassword = UnscramblePassword(ReadString(record, Field::PopPassword));
    account.PopKeepMails = ReadBool(record, Field::PopKeepMails);
    account.PopDeleteMails = ReadBool(record, Field::PopDeleteMails);
    account.PopDeleteDays = ReadInt32(record, Field::PopDeleteDays);
    account.SmtpServer = ReadText(record, Field::SmtpServer);
    account.SmtpName = ReadText(record, Field::SmtpName);
    account.SmtpAddress = ReadText(record, Field::SmtpAddress);
    account.SmtpCompany = ReadText(record, Field::SmtpCompany);
    account.RASService = ReadText(record, Field::RASService);
    account.RasForceService = ReadBool(record, Field::RasForceService);
    account.RasHangUp = ReadBool(record, Field::RasHangUp);
    account.SmtpAuth = ReadBool(record, Field::SmtpAuth);
    account.SmtpUsername = ReadText(record, Field::SmtpUsername);
    account.SmtpPassword = UnscramblePassword(ReadString(record, Field::SmtpPassword));
    account.SmtpReplyToAdr = ReadText(record, Field::SmtpReplyToAdr);
    account.SmtpAuthPop = ReadBool(record, Field::SmtpAuthPop);
    account.Stored = record;
    return account;
}

QByteArray AccountsHeader()
{
    QByteArray header(AccountRecordSize, '\0');
    WriteString(header, Field::Name, FormatMark);
    return header;
}

} // namespace detail

QByteArray ScramblePassword(QByteArrayView plain, quint16 startValue)
{
    QByteArray scrambled(plain.size(), Qt::Uninitialized);
    quint16 state = startValue;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const quint8 out = quint8(plain[i]) ^ quint8(state >> 8);
        scrambled[i] = char(out);
        state = quint16((state + out) * 41253u + 17389u);
    }
    return scrambled;
}

QByteArray UnscramblePassword(QByteArrayView scrambled, quint16 startValue)
{
    QByteArray plain(scrambled.size(), Qt::Uninitialized);
    quint16 state = startValue;
    for (qsizetype i = 0; i < scrambled.size(); ++i) {
        const quint8 in = quint8(scrambled[i]);
        plain[i] = char(in ^ quint8(state >> 8));
        state = quint16((state + in) * 41253u + 17389u);
    }
    return plain;
}

int CountAccounts()
{
    const auto records = AccountsFile().RecordCount();
    return records && *records > 1 ? int(*records - 1) : 0;
}

std::optional<TAccount> ReadAccount(int n)
{
    if (n < 1 || !CheckAccountsDatabase())
        return std::nullopt;
    const auto record = AccountsFile().Read(n);
    if (!record)
        return std::nullopt;
    TAccount account = detail::DecodeAccount(*record);
    if (account.Deleted)
        return std::nullopt;
    return account;
}

int WriteAccount(int n, const TAccount& account)
{
    const TRecordFile file = AccountsFile();
    if (n < 1) {
        // Appending to a file without its header would put the account where the header belongs.
        const auto records = file.RecordCount();
        if (!records || *records < 1)
            return 0;
        n = int(*records);
    }
    return file.Write(n, detail::EncodeAccount(account)) ? n : 0;
}

bool DeleteAccount(int n)
{
    std::optional<TAccount> account = ReadAccount(n);
    if (!account)
        return false;
    QByteArray record = account->Stored;
    WriteBool(record, Field::Deleted, true);
    return AccountsFile().Write(n, record);
}

int FindDefaultAccount()
{
    return FindAccount([](const TAccount& account) { return account.Standard; });
}

int FindAccountByName(const QByteArray& name)
{
    return FindAccount([&name](const TAccount& account) { return account.Name == name; });
}

bool StoreAccountPassword(const QByteArray& name, TMailService service, const QByteArray& password)
{
    const int n = FindAccountByName(name);
    std::optional<TAccount> account = ReadAccount(n);
    if (!account)
        return false;
    (service == TMailService::Smtp ? account->SmtpPassword : account->PopPassword) = password;
    return WriteAccount(n, *account) == n;
}

int FindAccountBySmtpServer(const QByteArray& smtpServer)
{
    return FindAccount([&smtpServer](const TAccount& account) { return account.SmtpServer == smtpServer; });
}

QByteArrayList AccountNames()
{
    QByteArrayList names;
    for (const TAccount& account : PresentAccounts())
        names.append(account.Name);
    return names;
}

QByteArrayList SmtpServers()
{
    QByteArrayList servers;
    QByteArrayList seen;
    for (const TAccount& account : PresentAccounts()) {
        const QByteArray folded = account.SmtpServer.toLower();
        if (account.SmtpServer.isEmpty() || seen.contains(folded))
            continue;
        seen.append(folded);
        servers.append(account.SmtpServer);
    }
    return servers;
}

TAccount ReadDefaultAccount()
{
    const int n = FindDefaultAccount();
    if (n > 0) {
        if (std::optional<TAccount> account = ReadAccount(n))
            return *account;
    }
    return {};
}

bool CheckAccountsDatabase()
{
    const auto header = AccountsFile().Read(0);
    return header && HasFormatMark(*header, Field::Name, FormatMark);
}

bool CreateAccountsDatabase()
{
    return AccountsFile().Create({detail::AccountsHeader()}, /*ownerOnly=*/true);
}

bool PrepareAccountsDatabase(int outdatedMessage, int failedMessage)
{
    bool ready = true;
    if (!QFile::exists(Paths().Data.AccountsFile))
        ready = CreateAccountsDatabase();
    else if (!CheckAccountsDatabase())
        ready = RecreateDamagedDatabase(Paths().Data.AccountsFile, outdatedMessage, CreateAccountsDatabase);
    if (!ready && failedMessage != 0)
        Report(failedMessage, TMessageKind::Error);
    return ready;
}

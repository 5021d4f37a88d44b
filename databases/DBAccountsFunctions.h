#pragma once
// The accounts database "Accounts.ldb" of the active user (Paths().Data.AccountsFile): 848-byte
// records, record 0 a header marked "LM102", accounts from record 1 on. Deleted accounts stay in the
// file, marked. Every function opens the file, works and closes it; none throws. Passwords are held
// in plain text in TAccount and scrambled only in the file.

#include <QByteArray>
#include <QByteArrayList>

#include <optional>

struct TAccount {
    bool Deleted = false;
    bool Standard = false;
    QByteArray Name;
    QByteArray PopServer;
    QByteArray PopUsername;
    QByteArray PopPassword;
    bool PopKeepMails = true;
    bool PopDeleteMails = true;
    qint32 PopDeleteDays = 2;
    QByteArray SmtpServer;
    QByteArray SmtpName;
    QByteArray SmtpAddress;
    QByteArray SmtpCompany;
    QByteArray RASService;
    bool RasForceService = false;
    bool RasHangUp = false;
    bool SmtpAuth = false;
    QByteArray SmtpUsername;
    QByteArray SmtpPassword;
    QByteArray SmtpReplyToAdr;
    bool SmtpAuthPop = false;
    // The record as it was read, so that rewriting it keeps the reserved fields; empty for a new one.
    QByteArray Stored;
};

inline constexpr qsizetype AccountRecordSize = 848;
inline constexpr quint16 PasswordStartValue = 3187;

// Number of records after the header, deleted ones included; 0 when the file cannot be read.
int CountAccounts();
// The account of record n with its passwords in plain text; nothing for n < 1, a deleted record,
// a foreign header mark or any read error.
std::optional<TAccount> ReadAccount(int n);
// Writes the account at record n, or appends it for n < 1; the record number, 0 on failure.
int WriteAccount(int n, const TAccount& account);
// Marks record n deleted in place; the other records keep their numbers.
bool DeleteAccount(int n);

int FindDefaultAccount();
int FindAccountByName(const QByteArray& name);
enum class TMailService;
// Replaces the POP3 or SMTP password of the account named `name` (exact match); false when there
// is no such account or it cannot be written.
bool StoreAccountPassword(const QByteArray& name, TMailService service, const QByteArray& password);
int FindAccountBySmtpServer(const QByteArray& smtpServer);
QByteArrayList AccountNames();
// Non-empty SMTP servers in record order, each once regardless of letter case.
QByteArrayList SmtpServers();
// The default account, or an account with the default values when there is none.
TAccount ReadDefaultAccount();

bool CheckAccountsDatabase();
// Replaces the file by one holding the header only, readable by its owner only.
bool CreateAccountsDatabase();
// Start-up: a missing file is created silently; an outdated or damaged one is set aside, reported
// (`outdatedMessage` of the program's table: 31 in the main client) and created anew. False when
// no usable file could be made, after `failedMessage` when that is not 0.
bool PrepareAccountsDatabase(int outdatedMessage = 31, int failedMessage = 0);

// The keyed byte stream of the password fields; Unscramble(Scramble(x)) == x.
QByteArray ScramblePassword(QByteArrayView plain, quint16 startValue = PasswordStartValue);
QByteArray UnscramblePassword(QByteArrayView scrambled, quint16 startValue = PasswordStartValue);

namespace detail {
QByteArray EncodeAccount(const TAccount& account);
TAccount DecodeAccount(const QByteArray& record);
QByteArray AccountsHeader();
} // namespace detail

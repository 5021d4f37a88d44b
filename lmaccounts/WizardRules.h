#pragma once
// The first-account wizard's choices as plain data: its pages, which page may be left, the ports
// that follow the chosen security, "host:port" typed into a server field, and how the choices
// become the account record and the account's security settings.

#include "AccountsFunctions.h"
#include "ConnectionTest.h"
#include "DBAccountSecurity.h"

#include <QString>

#include <optional>

// Message numbers of the wizard and its connection test in the accounts manager's string table.
namespace WizardText {
inline constexpr int StageConnecting = 30;
inline constexpr int StageEncrypting = 31;
inline constexpr int StageLoggingIn = 32;
inline constexpr int TestLoggedIn = 33;
inline constexpr int TestLoggedInInClear = 34;
inline constexpr int TestConnected = 35;
inline constexpr int TestConnectedInClear = 36;
inline constexpr int TestHostNotFound = 37;
inline constexpr int TestRefused = 38;
inline constexpr int TestUnreachable = 39;
inline constexpr int TestTimedOut = 40;
inline constexpr int TestClosed = 41;
inline constexpr int TestTlsNotOffered = 42;
inline constexpr int TestTlsFailed = 43;
inline constexpr int TestCertificate = 44;
inline constexpr int TestLogInRefused = 45;
inline constexpr int TestPlainRefused = 46;
inline constexpr int TestNoLogInMethod = 47;
inline constexpr int TestUnexpectedReply = 48;
inline constexpr int TestCanceled = 49;
inline constexpr int TestOtherError = 50;
inline constexpr int TestDetail = 51;
inline constexpr int SummarySuccess = 52;
inline constexpr int SummaryFailure = 53;
inline constexpr int ConfirmPlainText = 54;
inline constexpr int SummaryCanceled = 55;
inline constexpr int TestWaiting = 56;
inline constexpr int CertificateTrusted = 57;
inline constexpr int FoundIn = 100;
inline constexpr int FromAutoconfig = 101;
inline constexpr int FromProviderFile = 102;
inline constexpr int FromSrv = 103;
inline constexpr int FromGuess = 104;
inline constexpr int FoundIncoming = 105;
inline constexpr int FoundOutgoing = 106;
inline constexpr int FoundUserName = 107;
inline constexpr int FoundTls = 108;
inline constexpr int FoundStartTls = 109;
inline constexpr int FoundWorks = 110;
inline constexpr int FoundFails = 111;
inline constexpr int LookupNothing = 112;
inline constexpr int LookupCanceled = 113;
inline constexpr int CheckingFound = 115;
inline constexpr int FoundNotTested = 116;
inline constexpr int FoundIncomingImap = 252;
} // namespace WizardText

// The first page asks name, address and password; the second looks the settings up and tries them.
enum TWizardPage : int {
    wpStart, wpLookup, wpIncoming, wpOutgoing, wpLogin, wpAccountName, wpConnectionTest, WizardPageCount
};

// The security modes in the order of the wizard's lists: encrypted ones first, STARTTLS the default.
inline constexpr TqmSecurity WizardSecurityModes[] = {TqmSecurity::secStartTls, TqmSecurity::secTls, TqmSecurity::secNone};
// The index of `security` in WizardSecurityModes; "auto" counts as STARTTLS.
int WizardSecurityIndex(TqmSecurity security);

// One server as the wizard shows it: the host, the port field's text and the security.
struct TServerChoice {
    QString Host;
    QString Port;
    TqmSecurity Security = TqmSecurity::secStartTls;
};

struct TWizardChoices {
    QString SmtpName;
    QString SmtpAddress;
    // The incoming server speaks this; its fields are the "Pop" ones, as in the account record.
    TIncomingProtocol Incoming = TIncomingProtocol::Pop3;
    TServerChoice Pop{{}, QStringLiteral("110"), TqmSecurity::secStartTls};
    TServerChoice Smtp{{}, QStringLiteral("587"), TqmSecurity::secStartTls};
    QString PopUsername;
    QString PopPassword;
    // The SMTP server gets the POP3 log-in; on by default, since most providers ask for it.
    bool SmtpAuth = true;
    QString Name;
    // Certificates the user chose to trust during the connection test.
    TServerPin PopPin;
    TServerPin SmtpPin;
};

// The port a server of `service` listens on for `security`: POP3 110 or 995 (TLS from the first
// byte), IMAP 143 or 993, SMTP submission 587 or 465. `incoming` tells POP3 from IMAP.
quint16 StandardPort(TMailService service, TqmSecurity security, TIncomingProtocol incoming = TIncomingProtocol::Pop3);
// What the port field shows after the security changed: the user's own port stays, otherwise the
// standard port of the new security.
QString PortAfterSecurityChange(const QString& shownPort, bool typedByUser, TMailService service, TqmSecurity security,
                                TIncomingProtocol incoming = TIncomingProtocol::Pop3);
// A port number from 1 to 65535.
std::optional<quint16> ParsePort(const QString& text);

// A server field's text split into host and port: "host", "host:port", "[v6 address]:port"; a bare
// IPv6 address has no port. Port is empty when none was typed.
struct THostAndPort {
    QString Host;
    QString Port;
};
THostAndPort SplitHostAndPort(const QString& text);
// A server as its page's fields show it: a port typed into the server field ("host:port") wins
// over the port field.
TServerChoice ServerChoiceOfFields(const QString& serverText, const QString& portText, TqmSecurity security);

// What goes into the record's server field: the host, with ":port" when the port differs from the
// one the mail client chooses by itself for that security ("[v6]:port" for an IPv6 address).
QByteArray ServerFieldText(TMailService service, const TServerChoice& server,
                           TIncomingProtocol incoming = TIncomingProtocol::Pop3);
// "host:port" as the wizard names a server to the user.
QString ServerDisplayText(const TServerChoice& server);
// A host without blanks, a valid port, and room for both in the record's 50 bytes.
bool ServerChoiceComplete(TMailService service, const TServerChoice& server,
                          TIncomingProtocol incoming = TIncomingProtocol::Pop3);

// Whether Next may leave `page` (Finish on the last page) with these choices.
bool WizardCanLeave(TWizardPage page, const TWizardChoices& choices);
// Where Next leads from the look-up page: past the server pages when a found set worked.
TWizardPage WizardPageAfterLookup(bool foundWorking);
// The account name proposed on entering the account name page: the address when the name is still empty.
QString WizardProposedName(const QString& name, const QString& address);
// An account name of more than one character.
bool WizardCanFinish(const QString& name);

// The new record (every field the wizard does not ask keeps its new-record value) and its security.
TAccountDraft WizardDraft(const TWizardChoices& choices);
// The choices a stored draft was made of: what the wizard shows when it reopens after a name conflict.
TWizardChoices ChoicesOfDraft(const TAccountDraft& draft);
// What the connection test uses for `service`: exactly what the account will store.
TServerTestSettings WizardTestSettings(TMailService service, const TWizardChoices& choices);

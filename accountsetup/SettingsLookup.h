#pragma once
// The look-up of an address's mail settings, source after source until one gives both an
// incoming and an outgoing server:
//   1. the provider's own Mail Autoconfig document, over HTTPS only:
//      https://autoconfig.<domain>/mail/config-v1.1.xml?emailaddress=<address>, then
//      https://<domain>/.well-known/autoconfig/mail/config-v1.1.xml (both asked at once, the
//      first preferred);
//   2. the suite's provider files (providers/*.xml of the program directory, same format);
//   3. DNS SRV records (RFC 6186: _pop3s, _pop3, _imaps, _imap, _submissions, _submission);
//   4. a guess: pop., pop3., mail. + domain on 995, then 110 with STLS; imap., mail. on 993, then
//      143 with STARTTLS (after every POP3 one); smtp., mail. on 465, then 587 with STARTTLS, all
//      probed at once with a short time-out.
// A server without encryption is never proposed; what was passed over and why is kept as notes in
// the active language. Each source has its own time limit, so that the whole look-up ends within
// 15 seconds even when every source hangs. Run waits in the event loop: Cancel (a button) works.
//
// Test-only variables: LUMARO_TEST_AUTOCONFIG_URL (a base URL replacing both document locations:
// BASE/mail/config-v1.1.xml?emailaddress=ADDRESS), LUMARO_TEST_CA_FILE (trusted for it),
// LUMARO_TEST_DNS_SERVER (the DNS server's IP address for the SRV queries; port 53, since
// QDnsLookup of Qt 6.4 takes no port) and LUMARO_TEST_GUESS_MAP ("host:port=host:port,…": the
// guessed servers probed instead at the mapped places; unmapped guesses are not tried at all).

#include "AutoconfigDocument.h"
#include "FoundSettings.h"

#include <QEventLoop>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct TLookupOptions {
    // Where the provider files lie; empty: providers/ in the program directory.
    QString ProviderDirectory;
    // Milliseconds per source. Together with the provider files' few milliseconds they stay
    // below 15 seconds.
    int AutoconfigTimeOut = 4500;
    int SrvTimeOut = 3500;
    int GuessTimeOut = 5000;
};

enum class TLookupStage { Autoconfig, Provider, Srv, Guess };

struct TLookupOutcome {
    std::optional<TFoundSettings> Found;
    bool Canceled = false;
    // Why sources gave nothing (or gave servers that were passed over), in the active language.
    QStringList Notes;
};

class TSettingsLookup {
public:
    TSettingsLookup();
    ~TSettingsLookup();
    TSettingsLookup(const TSettingsLookup&) = delete;
    TSettingsLookup& operator=(const TSettingsLookup&) = delete;

    // An address that does not look like one is refused at once, with a note.
    TLookupOutcome Run(const QString& address);
    // Ends a running look-up (and every later one of this object) as canceled.
    void Cancel();

    TLookupOptions Options;
    // Which source is being asked.
    std::function<void(TLookupStage stage)> OnStage;

private:
    std::optional<TFoundSettings> AskAutoconfig(const QString& address, QStringList& notes);
    std::optional<TFoundSettings> AskProviderFiles(const QString& address, QStringList& notes);
    std::optional<TFoundSettings> AskSrv(const QString& address, QStringList& notes);
    std::optional<TFoundSettings> AskGuess(const QString& address, QStringList& notes);
    // Waits in the event loop until `done` holds, `timeOutMs` have passed or the look-up was canceled.
    void WaitFor(const std::function<bool()>& done, int timeOutMs);
    void Wake();
    void Stage(TLookupStage stage);

    QEventLoop* m_loop = nullptr;
    bool m_canceled = false;
};

// Settings from a document, when it names both sides; notes why not otherwise. `where` names the
// document in the notes (a URL or a file name).
std::optional<TFoundSettings> SettingsOfDocument(const TAutoconfigDocument& document, TSettingsSource source,
                                                 const QString& where, QStringList& notes);

// The shared texts of the look-up (shared string table, German n, English n + 1000).
namespace LookupText {
inline constexpr int NotAnAddress = 600;
inline constexpr int NoAnswer = 601;
inline constexpr int NetworkError = 602;
inline constexpr int NotXml = 603;
inline constexpr int TooLarge = 604;
inline constexpr int RedirectToHttp = 605;
inline constexpr int OnlyPlainText = 606;
inline constexpr int BadPort = 607;
inline constexpr int NoSrvRecords = 608;
inline constexpr int GuessWithoutEncryption = 609;
inline constexpr int NothingFound = 610;
inline constexpr int Canceled = 611;
inline constexpr int HttpStatus = 612;
inline constexpr int Incomplete = 613;
inline constexpr int StageAutoconfig = 614;
inline constexpr int StageProvider = 615;
inline constexpr int StageSrv = 616;
inline constexpr int StageGuess = 617;
inline constexpr int NoProviderFile = 618;
inline constexpr int NoGuessAnswered = 619;
} // namespace LookupText

// What a stage is doing, for a progress line ("Asking the provider's autoconfig document …").
QString DescribeLookupStage(TLookupStage stage);

namespace detail {
// One SRV answer.
struct TSrvAnswer {
    QString Target;
    quint16 Port = 0;
    quint16 Priority = 0;
    quint16 Weight = 0;
};
// RFC 2782: the lowest priority first, within one priority the heaviest first; a target of "."
// says the service is not offered at all, so that name gives nothing.
std::optional<TSrvAnswer> ChooseSrvAnswer(QList<TSrvAnswer> answers);
// "host:port" → "host:port" pairs of LUMARO_TEST_GUESS_MAP.
QHash<QString, QString> GuessMapOf(const QString& text);
} // namespace detail

#include "SettingsLookup.h"

#include "AutoconfigDocument.h"
#include "Konstanten.h"
#include "ServerProbe.h"
#include "nktransport.h"
#include "tk_langlib.h"

#include <QCoreApplication>
#include <QDir>
#include <QDnsLookup>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrlQuery>

#include <algorithm>
#include <memory>

namespace {

constexpr int RedirectLimit = 5;

QString Text(int id, const QString& value)
{
    return FillIn(MessageText(id), value);
}

QString Text(int id, const QString& first, const QString& second)
{
    return FillInEach(MessageText(id), {first, second});
}

// One autoconfig document fetched over HTTPS, following HTTPS redirects only and reading at most
// AutoconfigSizeLimit bytes.
class TDocumentFetch : public QObject {
public:
    TDocumentFetch(QNetworkAccessManager& manager, const QUrl& url, std::function<void()> wake)
        : Where(url.toString(QUrl::RemoveQuery)), m_manager(manager), m_wake(std::move(wake))
    {
        Get(url);
    }
    ~TDocumentFetch() override { Drop(); }

    const QString Where;
    bool Done = false;
    QByteArray Body;
    QString Note;

private:
    void Get(const QUrl& url)
    {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(detail::TestCaCertificates());
        request.setSslConfiguration(tls);
        m_url = url;
        m_reply = m_manager.get(request);
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
            if (m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > AutoconfigSizeLimit)
                Finish({}, Text(LookupText::TooLarge, Where));
        });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] {
            if (StatusCode() != 200)
                return;
            m_body += m_reply->readAll();
            if (m_body.size() > AutoconfigSizeLimit)
                Finish({}, Text(LookupText::TooLarge, Where));
        });
        connect(m_reply, &QNetworkReply::finished, this, &TDocumentFetch::Finished);
    }

    int StatusCode() const { return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

    void Finished()
    {
        const int status = StatusCode();
        if (status >= 300 && status < 400)
            return Redirect(m_url.resolved(m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl()));
        if (status != 0 && status != 200)
            return Finish({}, Text(LookupText::HttpStatus, Where, QString::number(status)));
        if (m_reply->error() != QNetworkReply::NoError)
            return Finish({}, Text(LookupText::NetworkError, Where, m_reply->errorString()));
        m_body += m_reply->readAll();
        if (m_body.size() > AutoconfigSizeLimit)
            return Finish({}, Text(LookupText::TooLarge, Where));
        Finish(m_body, {});
    }

    void Redirect(const QUrl& target)
    {
        // HTTPS only: a document reached over plain HTTP could have been changed on the way.
        if (target.scheme() != QLatin1String("https"))
            return Finish({}, Text(LookupText::RedirectToHttp, Where, target.toString(QUrl::RemoveQuery)));
        if (++m_redirects > RedirectLimit)
            return Finish({}, Text(LookupText::NetworkError, Where, QStringLiteral("too many redirects")));
        Drop();
        m_body.clear();
        Get(target);
    }

    void Finish(const QByteArray& body, const QString& note)
    {
        if (Done)
            return;
        Done = true;
        Body = body;
        Note = note;
        Drop();
        m_wake();
    }

    void Drop()
    {
        if (!m_reply)
            return;
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }

    QNetworkAccessManager& m_manager;
    std::function<void()> m_wake;
    QNetworkReply* m_reply = nullptr;
    QUrl m_url;
    QByteArray m_body;
    int m_redirects = 0;
};

QList<QUrl> AutoconfigUrls(const QString& address)
{
    const QString domain = AddressDomain(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("emailaddress"), QString::fromLatin1(QUrl::toPercentEncoding(address)));
    const QString testBase = qEnvironmentVariable("LUMARO_TEST_AUTOCONFIG_URL");
    if (!testBase.isEmpty()) {
        QUrl url(testBase + QStringLiteral("/mail/config-v1.1.xml"));
        url.setQuery(query);
        return {url};
    }
    QUrl first(QStringLiteral("https://autoconfig.%1/mail/config-v1.1.xml").arg(domain));
    first.setQuery(query);
    return {first, QUrl(QStringLiteral("https://%1/.well-known/autoconfig/mail/config-v1.1.xml").arg(domain))};
}

QString ProviderDirectory(const TLookupOptions& options)
{
    if (!options.ProviderDirectory.isEmpty())
        return options.ProviderDirectory;
    QString program = Paths().Program.ProgDir;
    if (program.isEmpty())
        program = detail::ProgramDirectoryOf(QCoreApplication::applicationFilePath());
    return program + QStringLiteral("/providers");
}

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(AutoconfigSizeLimit + 1);
}

TFoundServer ServerAt(const QByteArray& protocol, const QString& host, quint16 port, TqmSecurity security, const QString& address)
{
    TFoundServer server;
    server.Protocol = protocol;
    server.Host = host;
    server.Port = port;
    server.Security = security;
    server.Username = address;
    return server;
}

struct TSrvQuery {
    const char* Protocol;
    const char* Service;
    TqmSecurity Security;
    bool Incoming;
};

// RFC 6186, RFC 8314: the services asked, those with TLS from the first byte preferred.
constexpr TSrvQuery SrvQueries[] = {
    {"pop3", "_pop3s._tcp.", TqmSecurity::secTls, true},
    {"pop3", "_pop3._tcp.", TqmSecurity::secStartTls, true},
    {"imap", "_imaps._tcp.", TqmSecurity::secTls, true},
    {"imap", "_imap._tcp.", TqmSecurity::secStartTls, true},
    {"smtp", "_submissions._tcp.", TqmSecurity::secTls, false},
    {"smtp", "_submission._tcp.", TqmSecurity::secStartTls, false},
};

struct TGuess {
    TProbedProtocol Protocol;
    const char* Prefix;
    quint16 Port;
    TqmSecurity Security;
};

// POP3 before IMAP, since a server found for both is proposed as POP3, the suite's own way in.
constexpr TGuess Guesses[] = {
    {TProbedProtocol::Pop3, "pop.", 995, TqmSecurity::secTls},        {TProbedProtocol::Pop3, "pop3.", 995, TqmSecurity::secTls},
    {TProbedProtocol::Pop3, "mail.", 995, TqmSecurity::secTls},       {TProbedProtocol::Pop3, "pop.", 110, TqmSecurity::secStartTls},
    {TProbedProtocol::Pop3, "pop3.", 110, TqmSecurity::secStartTls},  {TProbedProtocol::Pop3, "mail.", 110, TqmSecurity::secStartTls},
    {TProbedProtocol::Imap, "imap.", 993, TqmSecurity::secTls},       {TProbedProtocol::Imap, "mail.", 993, TqmSecurity::secTls},
    {TProbedProtocol::Imap, "imap.", 143, TqmSecurity::secStartTls},  {TProbedProtocol::Imap, "mail.", 143, TqmSecurity::secStartTls},
    {TProbedProtocol::Smtp, "smtp.", 465, TqmSecurity::secTls},       {TProbedProtocol::Smtp, "mail.", 465, TqmSecurity::secTls},
    {TProbedProtocol::Smtp, "smtp.", 587, TqmSecurity::secStartTls},  {TProbedProtocol::Smtp, "mail.", 587, TqmSecurity::secStartTls},
};

QByteArray FoundProtocolName(TProbedProtocol protocol)
{
    switch (protocol) {
    case TProbedProtocol::Pop3: return "pop3";
    case TProbedProtocol::Imap: return "imap";
    case TProbedProtocol::Smtp: break;
    }
    return "smtp";
}

} // namespace

namespace detail {

std::optional<TSrvAnswer> ChooseSrvAnswer(QList<TSrvAnswer> answers)
{
    if (answers.isEmpty())
        return std::nullopt;
    std::stable_sort(answers.begin(), answers.end(), [](const TSrvAnswer& a, const TSrvAnswer& b) {
        return a.Priority != b.Priority ? a.Priority < b.Priority : a.Weight > b.Weight;
    });
    TSrvAnswer best = answers.first();
    // RFC 2782: a target of "." means that the service is decidedly not available at this domain.
    if (best.Target.isEmpty() || best.Target == QLatin1String("."))
        return std::nullopt;
    if (best.Target.endsWith(QLatin1Char('.')))
        best.Target.chop(1);
    return best;
}

QHash<QString, QString> GuessMapOf(const QString& text)
{
    QHash<QString, QString> map;
    for (const QString& pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals > 0)
            map.insert(pair.left(equals).trimmed().toLower(), pair.mid(equals + 1).trimmed());
    }
    return map;
}

} // namespace detail

std::optional<TFoundSettings> SettingsOfDocument(const TAutoconfigDocument& document, TSettingsSource source, const QString& where,
                                                 QStringList& notes)
{
    if (document.BadPorts > 0)
        notes.append(Text(LookupText::BadPort, where));
    if (document.Incoming.isEmpty() || document.Outgoing.isEmpty()) {
        notes.append(Text(document.PlainServers > 0 ? LookupText::OnlyPlainText : LookupText::Incomplete, where));
        return std::nullopt;
    }
    TFoundSettings settings;
    settings.Source = source;
    settings.ProviderName = document.ProviderName;
    settings.Incoming = document.Incoming;
    settings.Outgoing = document.Outgoing;
    settings.OAuth2 = document.OAuth2;
    return settings;
}

QString DescribeLookupStage(TLookupStage stage)
{
    switch (stage) {
    case TLookupStage::Autoconfig: return MessageText(LookupText::StageAutoconfig);
    case TLookupStage::Provider: return MessageText(LookupText::StageProvider);
    case TLookupStage::Srv: return MessageText(LookupText::StageSrv);
    case TLookupStage::Guess: return MessageText(LookupText::StageGuess);
    }
    return {};
}

TSettingsLookup::TSettingsLookup() = default;
TSettingsLookup::~TSettingsLookup() = default;

TLookupOutcome TSettingsLookup::Run(const QString& address)
{
    TLookupOutcome outcome;
    const QString trimmed = address.trimmed();
    if (!LooksLikeAddress(trimmed)) {
        outcome.Notes.append(Text(LookupText::NotAnAddress, trimmed));
        return outcome;
    }
    using TSource = std::optional<TFoundSettings> (TSettingsLookup::*)(const QString&, QStringList&);
    const std::pair<TLookupStage, TSource> sources[] = {
        {TLookupStage::Autoconfig, &TSettingsLookup::AskAutoconfig},
        {TLookupStage::Provider, &TSettingsLookup::AskProviderFiles},
        {TLookupStage::Srv, &TSettingsLookup::AskSrv},
        {TLookupStage::Guess, &TSettingsLookup::AskGuess},
    };
    for (const auto& [stage, ask] : sources) {
        if (!m_canceled) {
            Stage(stage);
            outcome.Found = (this->*ask)(trimmed, outcome.Notes);
        }
        if (m_canceled) {
            outcome.Found.reset();
            outcome.Canceled = true;
            outcome.Notes.append(MessageText(LookupText::Canceled));
            return outcome;
        }
        if (outcome.Found)
            return outcome;
    }
    outcome.Notes.append(Text(LookupText::NothingFound, trimmed));
    return outcome;
}

void TSettingsLookup::Cancel()
{
    m_canceled = true;
    Wake();
}

void TSettingsLookup::Stage(TLookupStage stage)
{
    if (OnStage)
        OnStage(stage);
}

void TSettingsLookup::WaitFor(const std::function<bool()>& done, int timeOutMs)
{
    QEventLoop loop;
    m_loop = &loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeOutMs);
    while (!done() && !m_canceled && deadline.isActive())
        loop.exec();
    m_loop = nullptr;
}

void TSettingsLookup::Wake()
{
    if (m_loop)
        m_loop->quit();
}

std::optional<TFoundSettings> TSettingsLookup::AskAutoconfig(const QString& address, QStringList& notes)
{
    QNetworkAccessManager manager;
    manager.setTransferTimeout(Options.AutoconfigTimeOut);
    std::vector<std::unique_ptr<TDocumentFetch>> fetches;
    for (const QUrl& url : AutoconfigUrls(address))
        fetches.push_back(std::make_unique<TDocumentFetch>(manager, url, [this] { Wake(); }));
    // The first location wins when it answers; the second is only waited for when the first failed.
    WaitFor([&] {
        for (const auto& fetch : fetches) {
            if (!fetch->Done)
                return false;
            if (!fetch->Body.isEmpty())
                return true;
        }
        return true;
    }, Options.AutoconfigTimeOut);
    for (const auto& fetch : fetches) {
        if (!fetch->Done) {
            notes.append(Text(LookupText::NoAnswer, fetch->Where));
            continue;
        }
        if (!fetch->Note.isEmpty()) {
            notes.append(fetch->Note);
            continue;
        }
        const TAutoconfigDocument document = ParseAutoconfigDocument(fetch->Body, address);
        if (document.Problem != TDocumentProblem::None) {
            notes.append(Text(document.Problem == TDocumentProblem::TooLarge ? LookupText::TooLarge : LookupText::NotXml, fetch->Where));
            continue;
        }
        if (auto found = SettingsOfDocument(document, TSettingsSource::Autoconfig, fetch->Where, notes))
            return found;
    }
    return std::nullopt;
}

std::optional<TFoundSettings> TSettingsLookup::AskProviderFiles(const QString& address, QStringList& notes)
{
    const QString domain = AddressDomain(address);
    const QDir directory(ProviderDirectory(Options));
    for (const QString& name : directory.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
        const TAutoconfigDocument document = ParseAutoconfigDocument(ReadSmallFile(directory.filePath(name)), address);
        if (document.Problem == TDocumentProblem::None && document.Serves(domain))
            return SettingsOfDocument(document, TSettingsSource::Provider, name, notes);
    }
    notes.append(Text(LookupText::NoProviderFile, domain));
    return std::nullopt;
}

std::optional<TFoundSettings> TSettingsLookup::AskSrv(const QString& address, QStringList& notes)
{
    const QString domain = AddressDomain(address);
    const QHostAddress nameserver(qEnvironmentVariable("LUMARO_TEST_DNS_SERVER"));
    std::vector<std::unique_ptr<QDnsLookup>> lookups;
    for (const TSrvQuery& query : SrvQueries) {
        auto lookup = std::make_unique<QDnsLookup>(QDnsLookup::SRV, QLatin1String(query.Service) + domain);
        if (!nameserver.isNull())
            lookup->setNameserver(nameserver);
        QObject::connect(lookup.get(), &QDnsLookup::finished, lookup.get(), [this] { Wake(); });
        lookup->lookup();
        lookups.push_back(std::move(lookup));
    }
    WaitFor([&] { return std::all_of(lookups.begin(), lookups.end(), [](const auto& l) { return l->isFinished(); }); },
            Options.SrvTimeOut);
    TFoundSettings settings;
    settings.Source = TSettingsSource::Srv;
    for (size_t i = 0; i < lookups.size(); ++i) {
        if (!lookups[i]->isFinished()) {
            lookups[i]->abort();
            continue;
        }
        QList<detail::TSrvAnswer> answers;
        for (const QDnsServiceRecord& record : lookups[i]->serviceRecords())
            answers.append({record.target(), record.port(), record.priority(), record.weight()});
        const std::optional<detail::TSrvAnswer> chosen = detail::ChooseSrvAnswer(answers);
        if (!chosen)
            continue;
        const TSrvQuery& query = SrvQueries[i];
        (query.Incoming ? settings.Incoming : settings.Outgoing)
            .append(ServerAt(query.Protocol, chosen->Target, chosen->Port, query.Security, address));
    }
    if (settings.IsComplete())
        return settings;
    notes.append(Text(LookupText::NoSrvRecords, domain));
    return std::nullopt;
}

std::optional<TFoundSettings> TSettingsLookup::AskGuess(const QString& address, QStringList& notes)
{
    const QString domain = AddressDomain(address);
    const QHash<QString, QString> map = detail::GuessMapOf(qEnvironmentVariable("LUMARO_TEST_GUESS_MAP"));
    const bool mapped = qEnvironmentVariableIsSet("LUMARO_TEST_GUESS_MAP");
    std::vector<std::unique_ptr<TServerProbe>> probes;
    for (const TGuess& guess : Guesses) {
        QString host = QLatin1String(guess.Prefix) + domain;
        quint16 port = guess.Port;
        if (mapped) {
            const QString target = map.value(QStringLiteral("%1:%2").arg(host).arg(port));
            const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
            if (colon <= 0)
                continue;
            host = target.left(colon);
            port = target.mid(colon + 1).toUShort();
        }
        auto probe = std::make_unique<TServerProbe>(guess.Protocol, host, port, guess.Security);
        probe->OnFinished = [this] { Wake(); };
        probe->Start(Options.GuessTimeOut - 250);
        probes.push_back(std::move(probe));
    }
    WaitFor([&] { return std::all_of(probes.begin(), probes.end(), [](const auto& p) { return p->Finished(); }); },
            Options.GuessTimeOut);
    TFoundSettings settings;
    settings.Source = TSettingsSource::Guess;
    for (const auto& probe : probes) {
        const bool incoming = probe->Protocol != TProbedProtocol::Smtp;
        if (probe->Result() == TProbeResult::NoEncryption)
            notes.append(Text(LookupText::GuessWithoutEncryption, QStringLiteral("%1:%2").arg(probe->Host).arg(probe->Port)));
        if (probe->Result() != TProbeResult::Encrypted && probe->Result() != TProbeResult::StartTlsOffered)
            continue;
        (incoming ? settings.Incoming : settings.Outgoing)
            .append(ServerAt(FoundProtocolName(probe->Protocol), probe->Host, probe->Port, probe->Security, address));
    }
    if (settings.IsComplete())
        return settings;
    notes.append(Text(LookupText::NoGuessAnswered, domain));
    return std::nullopt;
}

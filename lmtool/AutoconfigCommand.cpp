#include "AutoconfigCommand.h"

#include "FoundSettingsCheck.h"
#include "SettingsLookup.h"
#include "ToolCommands.h"

#include <cstdio>

namespace {

QString OutcomeWords(TTestOutcome outcome)
{
    switch (outcome) {
    case TTestOutcome::Success: return QStringLiteral("works");
    case TTestOutcome::HostNotFound: return QStringLiteral("host not found");
    case TTestOutcome::Refused: return QStringLiteral("connection refused");
    case TTestOutcome::Unreachable: return QStringLiteral("unreachable");
    case TTestOutcome::TimedOut: return QStringLiteral("timed out");
    case TTestOutcome::ConnectionClosed: return QStringLiteral("connection closed");
    case TTestOutcome::TlsNotOffered: return QStringLiteral("no TLS offered");
    case TTestOutcome::TlsFailed: return QStringLiteral("TLS failed");
    case TTestOutcome::CertificateUntrusted: return QStringLiteral("certificate not trusted");
    case TTestOutcome::LogInRefused: return QStringLiteral("log-in refused");
    case TTestOutcome::PlainLogInRefused: return QStringLiteral("log-in without encryption refused");
    case TTestOutcome::NoLogInMethod: return QStringLiteral("no usable log-in method");
    case TTestOutcome::UnexpectedReply: return QStringLiteral("unexpected reply");
    case TTestOutcome::Canceled: return QStringLiteral("canceled");
    case TTestOutcome::OtherError: break;
    }
    return QStringLiteral("failed");
}

QStringList CheckLines(const char* side, const QList<TFoundServer>& servers, const TCandidateCheck& check)
{
    QStringList lines;
    for (qsizetype i = 0; i < check.Tried.size(); ++i) {
        const TFoundServer& server = servers.at(check.Tried.at(i));
        const TServerTestResult& result = check.Results.at(i);
        QString line = QStringLiteral("%1 %2:%3: %4").arg(QLatin1String(side), server.Host).arg(server.Port).arg(OutcomeWords(result.Outcome));
        if (!result.Detail.isEmpty())
            line += QStringLiteral(" (%1)").arg(result.Detail);
        lines.append(line);
    }
    if (check.Tried.isEmpty())
        lines.append(QStringLiteral("%1: no candidate that can be tried with a password").arg(QLatin1String(side)));
    return lines;
}

} // namespace

int RunAutoconfigCommand(const QStringList& arguments)
{
    const bool test = arguments.contains(QStringLiteral("--test"));
    QStringList rest = arguments;
    rest.removeAll(QStringLiteral("--test"));
    if (rest.size() != 1)
        return ExitUsage;
    TSettingsLookup lookup;
    const TLookupOutcome outcome = lookup.Run(rest.first());
    if (!outcome.Found)
        return Fail(outcome.Notes.join(QStringLiteral("\nlmtool: ")));
    const TFoundSettings& found = *outcome.Found;
    if (!test) {
        std::puts(FoundSettingsJson(found).constData());
        return ExitSuccess;
    }
    TConnectionTest connectionTest;
    connectionTest.TimeOut = 10;
    const TFoundSettingsCheck check = CheckFoundSettings(connectionTest, found, qEnvironmentVariable("LUMARO_PASSWORD"));
    if (!check.Works())
        return Fail(QStringLiteral("no working set among the %1 settings:\n").arg(QString::fromLatin1(SettingsSourceText(found.Source)))
                    + (CheckLines("incoming", found.Incoming, check.Incoming) + CheckLines("outgoing", found.Outgoing, check.Outgoing))
                          .join(QLatin1Char('\n')));
    std::puts(FoundSettingsJson(found, check.Incoming.Chosen, check.Outgoing.Chosen).constData());
    return ExitSuccess;
}

#include "FoundSettingsCheck.h"

namespace {

TServerTestSettings TestSettingsOf(TMailService service, const TFoundServer& server, const QString& password)
{
    TServerTestSettings settings;
    settings.Incoming = IncomingProtocolOfFound(server);
    settings.Server = ServerFieldText(service, ServerChoiceOfFound(server), settings.Incoming);
    settings.Security = server.Security;
    settings.UserName = server.Username.toUtf8();
    settings.Password = password.toUtf8();
    return settings;
}

TCandidateCheck CheckSide(TConnectionTest& test, TMailService service, const QList<TFoundServer>& candidates, const QString& password)
{
    TCandidateCheck check;
    for (int i = 0; i < candidates.size() && !test.Canceled(); ++i) {
        const TFoundServer& server = candidates.at(i);
        if (!CanTryWithPassword(server))
            continue;
        const TServerTestSettings settings = TestSettingsOf(service, server, password);
        const TServerTestResult result = service == TMailService::Pop ? test.TestPop3(settings) : test.TestSmtp(settings, server.NeedsLogIn);
        check.Tried.append(i);
        check.Results.append(result);
        if (result.Outcome == TTestOutcome::Success) {
            check.Chosen = i;
            break;
        }
    }
    return check;
}

} // namespace

bool CanTryWithPassword(const TFoundServer& server)
{
    return server.Authentication == TAuthMethod::Password || server.AcceptsPassword || !server.NeedsLogIn;
}

TFoundSettingsCheck CheckFoundSettings(TConnectionTest& test, const TFoundSettings& found, const QString& password)
{
    TFoundSettingsCheck check;
    check.Incoming = CheckSide(test, TMailService::Pop, found.Incoming, password);
    check.Outgoing = CheckSide(test, TMailService::Smtp, found.Outgoing, password);
    check.Canceled = test.Canceled();
    return check;
}

TServerChoice ServerChoiceOfFound(const TFoundServer& server)
{
    return {server.Host, QString::number(server.Port), server.Security};
}

TIncomingProtocol IncomingProtocolOfFound(const TFoundServer& server)
{
    return server.Protocol == "imap" ? TIncomingProtocol::Imap : TIncomingProtocol::Pop3;
}

TWizardChoices ChoicesWithFound(TWizardChoices choices, const TFoundSettings& found, const TFoundSettingsCheck* check)
{
    auto pick = [](const QList<TFoundServer>& list, int chosen) -> const TFoundServer* {
        if (chosen >= 0 && chosen < list.size())
            return &list.at(chosen);
        return list.isEmpty() ? nullptr : &list.first();
    };
    if (const TFoundServer* in = pick(found.Incoming, check ? check->Incoming.Chosen : -1)) {
        choices.Incoming = IncomingProtocolOfFound(*in);
        choices.Pop = ServerChoiceOfFound(*in);
        choices.PopUsername = in->Username;
    }
    if (const TFoundServer* out = pick(found.Outgoing, check ? check->Outgoing.Chosen : -1)) {
        choices.Smtp = ServerChoiceOfFound(*out);
        choices.SmtpAuth = out->NeedsLogIn;
    }
    return choices;
}

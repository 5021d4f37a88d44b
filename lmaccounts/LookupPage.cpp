#include "LookupPage.h"

#include "AccountEdtRules.h"
#include "FormHelpers.h"
#include "WizardPageParts.h"
#include "tk_langlib.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tag { TitleTag = 702, TextTag, StopTag, EditTag, PopCaptionTag, SmtpCaptionTag };

QString SourceText(const TFoundSettings& found)
{
    switch (found.Source) {
    case TSettingsSource::Autoconfig: return MessageText(WizardText::FromAutoconfig);
    case TSettingsSource::Provider: return FillIn(MessageText(WizardText::FromProviderFile), found.ProviderName);
    case TSettingsSource::Srv: return MessageText(WizardText::FromSrv);
    case TSettingsSource::Guess: return MessageText(WizardText::FromGuess);
    }
    return {};
}

QString ServerText(int text, const TFoundServer& server)
{
    const int security = server.Security == TqmSecurity::secTls ? WizardText::FoundTls : WizardText::FoundStartTls;
    return FillInEach(MessageText(text), {ServerDisplayText(ServerChoiceOfFound(server)), MessageText(security)});
}

} // namespace

QString DescribeFoundSettings(const TFoundSettings& found)
{
    QStringList lines{FillIn(MessageText(WizardText::FoundIn), SourceText(found))};
    const TWizardChoices choices = ChoicesWithFound({}, found);
    if (!found.Incoming.isEmpty()) {
        const TFoundServer& incoming = found.Incoming.first();
        const bool imap = IncomingProtocolOfFound(incoming) == TIncomingProtocol::Imap;
        lines.append(ServerText(imap ? WizardText::FoundIncomingImap : WizardText::FoundIncoming, incoming));
    }
    if (!found.Outgoing.isEmpty())
        lines.append(ServerText(WizardText::FoundOutgoing, found.Outgoing.first()));
    if (!choices.PopUsername.isEmpty())
        lines.append(FillIn(MessageText(WizardText::FoundUserName), choices.PopUsername));
    return lines.join(QLatin1Char('\n'));
}

TLookupPage::TLookupPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Pan%1").arg(wpLookup + 1));
    TitleLbl = NewPageTitle(this, QStringLiteral("Einstellungen suchen"), TitleTag);
    QLabel* textLbl = NewLabel(this,
                               QStringLiteral("Der Assistent sucht die Einstellungen Ihres Providers und prüft sie mit Ihrem "
                                              "Kennwort. Alle Felder lassen sich danach noch ändern."),
                               TextTag);
    textLbl->setWordWrap(true);
    StageLbl = NewResultLabel(this, "StageLbl");
    FoundLbl = NewResultLabel(this, "FoundLbl");
    PopResultLbl = NewResultLabel(this, "PopResultLbl");
    SmtpResultLbl = NewResultLabel(this, "SmtpResultLbl");
    SummaryLbl = NewResultLabel(this, "SummaryLbl");
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 0);
    ProgressBar->setTextVisible(false);
    StopBtn = NewButton(this, QStringLiteral("Suche &abbrechen"), StopTag);
    StopBtn->setObjectName(QStringLiteral("StopBtn"));
    EditBtn = NewButton(this, QStringLiteral("Einstellungen &bearbeiten"), EditTag);
    EditBtn->setObjectName(QStringLiteral("EditBtn"));
    connect(StopBtn, &QPushButton::clicked, this, &TLookupPage::Cancel);

    auto* results = new QFormLayout;
    PopCaptionLbl = NewLabel(this, QStringLiteral("Posteingang (POP3):"), PopCaptionTag);
    QLabel* smtpCaption = NewLabel(this, QStringLiteral("Postausgang (SMTP):"), SmtpCaptionTag);
    results->addRow(PopCaptionLbl, PopResultLbl);
    results->addRow(smtpCaption, SmtpResultLbl);
    ResultRow = {PopCaptionLbl, PopResultLbl, smtpCaption, SmtpResultLbl};
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(ProgressBar, 1);
    progressRow->addWidget(StopBtn);
    progressRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLbl);
    layout->addSpacing(8);
    layout->addWidget(textLbl);
    layout->addSpacing(8);
    layout->addWidget(StageLbl);
    layout->addLayout(progressRow);
    layout->addWidget(FoundLbl);
    layout->addLayout(results);
    ShowResultRows(false);
    layout->addWidget(SummaryLbl);
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(EditBtn);
    editRow->addStretch();
    layout->addLayout(editRow);
    layout->addStretch();
    SetRunning(false);
}

void TLookupPage::Run(const TWizardChoices& choices)
{
    if (m_running)
        return;
    m_choices = choices;
    m_finished = false;
    m_check.reset();
    for (QLabel* label : {StageLbl, FoundLbl, PopResultLbl, SmtpResultLbl, SummaryLbl})
        label->clear();
    ShowResultRows(false);
    m_lookup = std::make_unique<TSettingsLookup>();
    m_lookup->Options = Options;
    m_lookup->OnStage = [this](TLookupStage stage) { StageLbl->setText(DescribeLookupStage(stage)); };
    SetRunning(true);
    const TLookupOutcome outcome = m_lookup->Run(choices.SmtpAddress);
    m_lookup.reset();
    if (outcome.Found) {
        m_choices = ChoicesWithFound(m_choices, *outcome.Found);
        ShowIncomingCaption();
        FoundLbl->setText(DescribeFoundSettings(*outcome.Found));
        if (OnSettingsFound)
            OnSettingsFound(m_choices);
        Check(*outcome.Found);
    } else {
        FoundLbl->setText(outcome.Notes.join(QLatin1Char('\n')));
        ShowSummary(outcome.Canceled ? WizardText::LookupCanceled : WizardText::LookupNothing);
    }
    m_finished = !outcome.Canceled && !(m_check && m_check->Canceled);
    SetRunning(false);
}

void TLookupPage::Check(const TFoundSettings& found)
{
    StageLbl->setText(MessageText(WizardText::CheckingFound));
    m_test = std::make_unique<TConnectionTest>();
    if (PrepareTest)
        PrepareTest(*m_test);
    m_test->OnUntrustedCertificate = OnUntrustedCertificate;
    ShowResultRows(true);
    PopResultLbl->setText(MessageText(WizardText::TestWaiting));
    SmtpResultLbl->setText(MessageText(WizardText::TestWaiting));
    m_check = CheckFoundSettings(*m_test, found, m_choices.PopPassword);
    m_test.reset();
    ShowCheck(found, *m_check);
    if (m_check->Canceled)
        return ShowSummary(WizardText::LookupCanceled);
    m_choices = ChoicesWithFound(m_choices, found, &*m_check);
    ShowIncomingCaption();
    if (OnSettingsFound)
        OnSettingsFound(m_choices);
    ShowSummary(m_check->Works() ? WizardText::FoundWorks : WizardText::FoundFails);
}

void TLookupPage::ShowCheck(const TFoundSettings& found, const TFoundSettingsCheck& check)
{
    const std::pair<QLabel*, std::pair<const TCandidateCheck*, const QList<TFoundServer>*>> sides[] = {
        {PopResultLbl, {&check.Incoming, &found.Incoming}}, {SmtpResultLbl, {&check.Outgoing, &found.Outgoing}}};
    for (const auto& [label, side] : sides) {
        const auto& [candidates, servers] = side;
        QStringList lines;
        for (qsizetype i = 0; i < candidates->Tried.size(); ++i) {
            const TServerTestResult& result = candidates->Results.at(i);
            const TFoundServer& server = servers->at(candidates->Tried.at(i));
            lines.append(DescribeTestResult(result, ServerDisplayText(ServerChoiceOfFound(server))));
            const TMailService service = label == PopResultLbl ? TMailService::Pop : TMailService::Smtp;
            if (!result.TrustedPin.IsEmpty() && OnPinTrusted && candidates->Chosen == candidates->Tried.at(i))
                OnPinTrusted(service, result.TrustedPin);
        }
        label->setText(lines.isEmpty() ? MessageText(WizardText::FoundNotTested) : lines.join(QLatin1Char('\n')));
    }
}

void TLookupPage::ShowIncomingCaption()
{
    PopCaptionLbl->setText(MessageText(IncomingCaptions(m_choices.Incoming).Group) + QLatin1Char(':'));
}

void TLookupPage::ShowResultRows(bool shown)
{
    for (QWidget* widget : std::as_const(ResultRow))
        widget->setVisible(shown);
}

void TLookupPage::ShowSummary(int text)
{
    StageLbl->clear();
    SummaryLbl->setText(MessageText(text));
}

void TLookupPage::Cancel()
{
    if (m_lookup)
        m_lookup->Cancel();
    if (m_test)
        m_test->Cancel();
}

void TLookupPage::SetRunning(bool running)
{
    m_running = running;
    ProgressBar->setVisible(running);
    StopBtn->setVisible(running);
    EditBtn->setVisible(!running);
    if (OnStateChanged)
        OnStateChanged();
}

#include "ConnectionTestPage.h"

#include "AccountEdtRules.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "WizardPageParts.h"
#include "tk_langlib.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tag { TitleTag = 633, TextTag, PopCaptionTag, SmtpCaptionTag, TestTag, StopTag };

} // namespace

TConnectionTestPage::TConnectionTestPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Pan%1").arg(wpConnectionTest + 1));
    TitleLbl = NewPageTitle(this, QStringLiteral("Verbindungstest"), TitleTag);
    QLabel* textLbl = NewLabel(this,
                               QStringLiteral("Beide Server werden jetzt mit Ihren Angaben geprüft: Anmeldung am Posteingang, "
                                              "Verbindung und Anmeldung am Postausgang. Es wird keine Nachricht abgeholt "
                                              "oder gesendet."),
                               TextTag);
    textLbl->setWordWrap(true);
    PopResultLbl = NewResultLabel(this, "PopResultLbl");
    SmtpResultLbl = NewResultLabel(this, "SmtpResultLbl");
    SummaryLbl = NewResultLabel(this, "SummaryLbl");
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 0);
    ProgressBar->setTextVisible(false);
    TestBtn = NewButton(this, QStringLiteral("&Erneut testen"), TestTag);
    TestBtn->setObjectName(QStringLiteral("TestBtn"));
    StopBtn = NewButton(this, QStringLiteral("Test &abbrechen"), StopTag);
    StopBtn->setObjectName(QStringLiteral("StopBtn"));
    // Queued: the test waits in the event loop, and the click must have returned first.
    connect(TestBtn, &QPushButton::clicked, this, [this] { RunTest(m_choices); }, Qt::QueuedConnection);
    connect(StopBtn, &QPushButton::clicked, this, &TConnectionTestPage::CancelTest);

    auto* results = new QFormLayout;
    PopCaptionLbl = NewLabel(this, QStringLiteral("Posteingang (POP3):"), PopCaptionTag);
    results->addRow(PopCaptionLbl, PopResultLbl);
    results->addRow(NewLabel(this, QStringLiteral("Postausgang (SMTP):"), SmtpCaptionTag), SmtpResultLbl);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(ProgressBar, 1);
    progressRow->addWidget(StopBtn);
    progressRow->addWidget(TestBtn);
    // Takes the bar's room while it is hidden, so that "Test again" keeps its own size.
    progressRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLbl);
    layout->addSpacing(8);
    layout->addWidget(textLbl);
    layout->addSpacing(8);
    layout->addLayout(results);
    layout->addLayout(progressRow);
    layout->addWidget(SummaryLbl);
    layout->addStretch();
    SetRunning(false);
}

QLabel* TConnectionTestPage::ResultLabel(TMailService service) const
{
    return service == TMailService::Pop ? PopResultLbl : SmtpResultLbl;
}

void TConnectionTestPage::RunTest(const TWizardChoices& choices)
{
    if (m_test)
        return;
    m_choices = choices;
    PopCaptionLbl->setText(MessageText(IncomingCaptions(choices.Incoming).Group) + QLatin1Char(':'));
    m_finished = m_succeeded = false;
    m_test = std::make_unique<TConnectionTest>();
    if (PrepareTest)
        PrepareTest(*m_test);
    m_test->OnStage = [this](TMailService service, TTestStage stage) {
        const TServerChoice& server = service == TMailService::Pop ? m_choices.Pop : m_choices.Smtp;
        ResultLabel(service)->setText(DescribeTestStage(stage, ServerDisplayText(server)));
    };
    m_test->OnUntrustedCertificate = OnUntrustedCertificate;
    PopResultLbl->setText(MessageText(WizardText::TestWaiting));
    SmtpResultLbl->setText(MessageText(WizardText::TestWaiting));
    SummaryLbl->clear();
    SetRunning(true);

    const TServerTestResult pop = TestServer(TMailService::Pop, m_choices);
    const TServerTestResult smtp = TestServer(TMailService::Smtp, m_choices);
    const bool canceled = m_test->Canceled();
    m_test.reset();
    m_finished = !canceled;
    m_succeeded = pop.Outcome == TTestOutcome::Success && smtp.Outcome == TTestOutcome::Success;
    const int summary = canceled ? WizardText::SummaryCanceled : m_succeeded ? WizardText::SummarySuccess : WizardText::SummaryFailure;
    SummaryLbl->setText(MessageText(summary));
    SetRunning(false);
}

TServerTestResult TConnectionTestPage::TestServer(TMailService service, const TWizardChoices& choices)
{
    const TServerTestSettings settings = WizardTestSettings(service, choices);
    const TServerTestResult result =
        service == TMailService::Pop ? m_test->TestPop3(settings) : m_test->TestSmtp(settings, choices.SmtpAuth);
    const TServerChoice& server = service == TMailService::Pop ? choices.Pop : choices.Smtp;
    QString text = DescribeTestResult(result, ServerDisplayText(server));
    if (!result.TrustedPin.IsEmpty()) {
        text += QLatin1Char('\n') + FillIn(MessageText(WizardText::CertificateTrusted), ServerDisplayText(server));
        (service == TMailService::Pop ? m_choices.PopPin : m_choices.SmtpPin) = result.TrustedPin;
        if (OnPinTrusted)
            OnPinTrusted(service, result.TrustedPin);
    }
    ResultLabel(service)->setText(text);
    return result;
}

void TConnectionTestPage::CancelTest()
{
    if (m_test)
        m_test->Cancel();
}

void TConnectionTestPage::SetRunning(bool running)
{
    ProgressBar->setVisible(running);
    StopBtn->setVisible(running);
    TestBtn->setVisible(!running);
    (running ? StopBtn : TestBtn)->setFocus();
    if (OnStateChanged)
        OnStateChanged();
}

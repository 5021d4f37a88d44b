#pragma once
// The wizard's second page: looks up the settings of the address typed on the first page
// (accountsetup's TSettingsLookup) with a progress line, a busy bar and a Cancel button, shows
// what was found and where from, hands the found servers to the wizard's fields at once, and then
// tries them with the connection test (lmaccounts_core's CheckFoundSettings), so that only a set
// that works is offered as found.

#include "ConnectionTest.h"
#include "FoundSettingsCheck.h"
#include "SettingsLookup.h"
#include "WizardRules.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

class TLookupPage : public QWidget {
    Q_OBJECT
public:
    explicit TLookupPage(QWidget* parent = nullptr);

    // Looks up and checks the settings for `choices`' address and password; returns when both are
    // done or canceled.
    void Run(const TWizardChoices& choices);
    void Cancel();
    bool Running() const { return m_running; }
    // True once a look-up ran to its end (whatever it found) and was not canceled.
    bool Finished() const { return m_finished; }
    // A found set passed the connection test.
    bool FoundWorking() const { return m_check && m_check->Works(); }

    // Adjusts the look-up before it starts (tests name the provider files and the time-outs).
    TLookupOptions Options;
    // Adjusts each connection test before it starts (tests choose the local address).
    std::function<void(TConnectionTest& test)> PrepareTest;
    std::function<bool(TMailService service, const TnkCertificateFacts& certificate)> OnUntrustedCertificate;
    std::function<void(TMailService service, const TServerPin& pin)> OnPinTrusted;
    // The found servers, to be shown in the wizard's fields (once when found, again when the test
    // chose other candidates).
    std::function<void(const TWizardChoices& choices)> OnSettingsFound;
    std::function<void()> OnStateChanged;

    QLabel* TitleLbl;
    QLabel* StageLbl;
    QLabel* FoundLbl;
    // Names the incoming protocol of the servers found.
    QLabel* PopCaptionLbl;
    QLabel* PopResultLbl;
    QLabel* SmtpResultLbl;
    // The captions and labels of the two result rows, shown only once found servers are tested.
    QList<QWidget*> ResultRow;
    QLabel* SummaryLbl;
    QProgressBar* ProgressBar;
    QPushButton* StopBtn;
    QPushButton* EditBtn;

private:
    void Check(const TFoundSettings& found);
    void ShowCheck(const TFoundSettings& found, const TFoundSettingsCheck& check);
    void ShowSummary(int text);
    void ShowResultRows(bool shown);
    void ShowIncomingCaption();
    void SetRunning(bool running);

    std::unique_ptr<TSettingsLookup> m_lookup;
    std::unique_ptr<TConnectionTest> m_test;
    std::optional<TFoundSettingsCheck> m_check;
    TWizardChoices m_choices;
    bool m_running = false;
    bool m_finished = false;
};

// What the look-up page says about found settings: where from, both servers and the user name.
QString DescribeFoundSettings(const TFoundSettings& found);

#pragma once
// The wizard's last page: runs the connection test (lmaccounts_core's TConnectionTest) on the
// choices made so far and shows, per server, what the test is doing and then what it found, with a
// busy bar while it runs, a Cancel button for the test and a button to run it again.

#include "ConnectionTest.h"
#include "WizardRules.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

class TConnectionTestPage : public QWidget {
    Q_OBJECT
public:
    explicit TConnectionTestPage(QWidget* parent = nullptr);

    // Tests both servers of `choices`; returns when both are done or the test was canceled.
    void RunTest(const TWizardChoices& choices);
    void CancelTest();
    bool Running() const { return m_test != nullptr; }
    // True once a test ran to its end (whatever it found) and was not canceled.
    bool Finished() const { return m_finished; }
    bool Succeeded() const { return m_succeeded; }

    // Adjusts each new test before it starts (tests choose the local address and the time-out).
    std::function<void(TConnectionTest& test)> PrepareTest;
    // Asked when a certificate cannot be verified; true trusts it (see TConnectionTest).
    std::function<bool(TMailService service, const TnkCertificateFacts& certificate)> OnUntrustedCertificate;
    // A certificate the user trusted during the test, for the account to keep.
    std::function<void(TMailService service, const TServerPin& pin)> OnPinTrusted;
    // The test started or ended: the wizard's buttons follow.
    std::function<void()> OnStateChanged;

    QLabel* TitleLbl;
    // Names the incoming protocol of the choices tested.
    QLabel* PopCaptionLbl;
    QLabel* PopResultLbl;
    QLabel* SmtpResultLbl;
    QLabel* SummaryLbl;
    QProgressBar* ProgressBar;
    QPushButton* TestBtn;
    QPushButton* StopBtn;

private:
    TServerTestResult TestServer(TMailService service, const TWizardChoices& choices);
    QLabel* ResultLabel(TMailService service) const;
    void SetRunning(bool running);

    std::unique_ptr<TConnectionTest> m_test;
    TWizardChoices m_choices;
    bool m_finished = false;
    bool m_succeeded = false;
};

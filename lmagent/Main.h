#pragma once
// The agent's window: two status lines, a progress bar and the Cancel button. It takes the job
// file when it is first shown, runs the job on its first activation and then closes itself,
// unless the run set the error flag: then it stays open with the button reading "Close".

#include "AgentEvents.h"
#include "AgentJob.h"
#include "DisplayThrottle.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

class TAgentFrm : public QWidget {
    Q_OBJECT
public:
    // `autoClose`: close at the end even with the error flag set.
    TAgentFrm(std::shared_ptr<TnkRasBackend> rasBackend, bool autoClose, QWidget* parent = nullptr);
    ~TAgentFrm() override;

    bool ErrorFlag() const { return m_run && m_run->ErrorFlag(); }
    bool JobDone() const { return m_jobDone; }

    // How questions are answered; a message box unless replaced.
    std::function<bool(const QString& text)> AskQuestion;
    // Whether to trust a certificate the system does not; the certificate window unless replaced.
    std::function<bool(const TnkCertificateFacts& facts)> AskCertificate;
    // How a password is asked for; the password window unless replaced. Nothing: cancelled.
    std::function<std::optional<QByteArray>(const QString& caption, const QString& text)> AskPassword;

    QLabel* StatusLbl;
    QLabel* DialStatusLbl;
    QProgressBar* ProgressBar;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectEvents();
    void ShowStatus(QLabel* label, const QString& text);
    // Draws the newest transfer status and progress (see m_display).
    void ShowTransferState();
    void FitText();
    void TakeJobFile();
    void StartJob();
    void RunJob();
    void CancelBtnClick();
    void Finish();

    std::shared_ptr<TnkRasBackend> m_rasBackend;
    bool m_autoClose;
    TAgentSettings m_settings;
    // The transfer status and progress change per message and reply; they are drawn at most every
    // 100 ms, and always before a question and at the end. Declared before the run, which reports
    // to it until it is gone.
    QString m_statusText;
    int m_progress = 0;
    TDisplayThrottle m_display{[this] { ShowTransferState(); }};
    TAgentEvents m_events;
    std::optional<TAgentJob> m_job;
    std::unique_ptr<TAgentRun> m_run;
    bool m_jobTaken = false;
    bool m_jobStarted = false;
    bool m_jobDone = false;
};

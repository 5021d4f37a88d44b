#pragma once
// The progress window of the main client: a modal "please wait" window that runs one long folder
// job (reorganise, import the spool, repair an index) once it is on screen, then closes itself.
// One instance lives as long as the main window and is reused for every job.

#include <QDialog>

#include <functional>

class QLabel;

enum TProgressMode { pmReorganize = 1, pmImportSpool = 2, pmRepair = 3 };

class TProgressFrm : public QDialog {
    Q_OBJECT
public:
    explicit TProgressFrm(QWidget* parent = nullptr);

    // Shows the window modally with `text`, runs `job` when it is first shown and returns when the
    // window has closed itself.
    void Execute(const QString& text, TProgressMode mode, const std::function<void()>& job);
    TProgressMode Mode() const { return m_mode; }

    QLabel* ProgressLbl;
    QLabel* ProgressImg;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RunJob();

    std::function<void()> m_job;
    TProgressMode m_mode = pmRepair;
    bool m_jobPending = false;
};

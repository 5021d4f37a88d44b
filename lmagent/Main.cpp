#include "Main.h"

#include "CertificateDialog.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "Password.h"
#include "RegistryFunctions.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int MinimumWidth = 380;
// An error of several lines is read more easily in a wider window.
constexpr int ErrorWidth = 560;
// A window manager that keeps new windows from taking the focus never activates ours; the job
// then starts this long after the window was shown, so that the waiting main client is not stuck.
constexpr int StartWithoutActivationMs = 1000;

QLabel* StatusLine(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumHeight(2 * label->fontMetrics().height());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Errors quote servers and paths at length: the whole text shows, and can be copied for a
    // question to the provider.
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

} // namespace

TAgentFrm::TAgentFrm(std::shared_ptr<TnkRasBackend> rasBackend, bool autoClose, QWidget* parent)
    : QWidget(parent), m_rasBackend(std::move(rasBackend)), m_autoClose(autoClose), m_settings(ReadAgentSettings())
{
    setObjectName(QStringLiteral("AgentFrm"));
    setMinimumWidth(MinimumWidth);
    StatusLbl = StatusLine(this);
    StatusLbl->setObjectName(QStringLiteral("StatusLbl"));
    DialStatusLbl = StatusLine(this);
    DialStatusLbl->setObjectName(QStringLiteral("DialStatusLbl"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    CancelBtn = new QPushButton(MessageText(AgentText::CancelCaption), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(CancelBtn, &QPushButton::clicked, this, &TAgentFrm::CancelBtnClick);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StatusLbl);
    layout->addWidget(DialStatusLbl);
    // Room the window gets beyond what the texts need stays below them.
    layout->addStretch(1);
    layout->addWidget(ProgressBar);
    layout->addLayout(buttonRow);
    // Wrapping labels give no size of their own: start as small as the texts allow.
    resize(MinimumWidth, layout->totalHeightForWidth(MinimumWidth));
    AskPassword = [this](const QString& caption, const QString& text) { return TPasswordFrm::Ask(this, caption, text); };
    AskQuestion = [this](const QString& text) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    AskCertificate = [this](const TnkCertificateFacts& facts) { return TCertificateFrm::Ask(this, facts); };
    ConnectEvents();
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
    TranslateFormIfEnglish(this);
}

TAgentFrm::~TAgentFrm() = default;

void TAgentFrm::ConnectEvents()
{
    m_events.OnStatus = [this](const QString& text) {
        m_statusText = text;
        m_display.Changed();
    };
    m_events.OnDialStatus = [this](const QString& text) {
        m_display.Flush();
        ShowStatus(DialStatusLbl, text);
    };
    m_events.OnProgress = [this](int percent) {
        m_progress = percent;
        m_display.Changed();
    };
    m_events.OnTitle = [this](const QString& title) {
        setWindowTitle(title);
        QApplication::setApplicationDisplayName(title);
    };
    m_events.OnPasswordRequest = [this](const QString& caption, const QString& text) {
        m_display.Flush();
        return AskPassword(caption, text);
    };
    m_events.OnQuestion = [this](const QString& text) {
        m_display.Flush();
        return AskQuestion(text);
    };
    m_events.OnCertificateQuestion = [this](const TnkCertificateFacts& facts) {
        m_display.Flush();
        return AskCertificate(facts);
    };
}

void TAgentFrm::ShowTransferState()
{
    if (StatusLbl->text() != m_statusText)
        ShowStatus(StatusLbl, m_statusText);
    ProgressBar->setValue(m_progress);
}

void TAgentFrm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_jobTaken)
        TakeJobFile();
}

void TAgentFrm::TakeJobFile()
{
    m_jobTaken = true;
    m_job = TakeJob(Paths().Program.JobFile, m_settings.DebugMode);
    if (!m_job) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    m_run = std::make_unique<TAgentRun>(*m_job, m_settings, m_events, m_rasBackend);
    m_run->SetFailureFile(JobFailureFile());
    QTimer::singleShot(StartWithoutActivationMs, this, &TAgentFrm::StartJob);
}

void TAgentFrm::ShowStatus(QLabel* label, const QString& text)
{
    label->setText(text);
    FitText();
}

// Grows the window (never shrinks it) until the wrapped status lines show whole.
void TAgentFrm::FitText()
{
    if (!layout())
        return;
    const int available = screen() ? screen()->availableGeometry().width() * 9 / 10 : ErrorWidth;
    int width = this->width();
    if (layout()->totalHeightForWidth(width) > height() && width < ErrorWidth)
        width = qMin(ErrorWidth, available);
    const int needed = layout()->totalHeightForWidth(width);
    if (width != this->width() || needed > height())
        resize(width, qMax(height(), needed));
}

void TAgentFrm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        StartJob();
}

void TAgentFrm::StartJob()
{
    if (!m_run || m_jobStarted)
        return;
    m_jobStarted = true;
    QTimer::singleShot(0, this, &TAgentFrm::RunJob);
}

void TAgentFrm::RunJob()
{
    m_run->Execute();
    m_display.Flush();
    m_jobDone = true;
    Finish();
}

void TAgentFrm::Finish()
{
    if (m_run->ErrorFlag() && !m_autoClose) {
        CancelBtn->setText(MessageText(AgentText::CloseCaption));
        return;
    }
    close();
}

void TAgentFrm::CancelBtnClick()
{
    if (m_run && m_run->Transferring()) {
        m_run->Cancel();
        CancelBtn->setText(MessageText(AgentText::CloseCaption));
        return;
    }
    close();
}

void TAgentFrm::closeEvent(QCloseEvent* event)
{
    if (m_run && m_jobStarted && !m_jobDone)
        m_run->Cancel();
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    QWidget::closeEvent(event);
}

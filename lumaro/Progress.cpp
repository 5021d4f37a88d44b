#include "Progress.h"

#include "FormTranslation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>

namespace {

// The job starts once the window had a chance to paint; it closes a moment after the job ended.
constexpr int CloseDelayMs = 10;
constexpr int FormTag = 57;

} // namespace

TProgressFrm::TProgressFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProgressFrm"));
    setWindowTitle(QStringLiteral("Bitte warten..."));
    SetTag(this, FormTag);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    ProgressImg = new QLabel(this);
    ProgressImg->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    ProgressLbl = new QLabel(this);
    ProgressLbl->setTextFormat(Qt::PlainText);
    ProgressLbl->setMinimumWidth(300);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(ProgressImg);
    layout->addWidget(ProgressLbl, 1);
    TranslateFormIfEnglish(this);
}

void TProgressFrm::Execute(const QString& text, TProgressMode mode, const std::function<void()>& job)
{
    ProgressLbl->setText(text);
    m_mode = mode;
    m_job = job;
    m_jobPending = true;
    exec();
}

void TProgressFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_jobPending)
        QTimer::singleShot(0, this, &TProgressFrm::RunJob);
}

void TProgressFrm::RunJob()
{
    if (!m_jobPending)
        return;
    m_jobPending = false;
    if (m_job)
        m_job();
    m_job = {};
    QTimer::singleShot(CloseDelayMs, this, &QDialog::accept);
}

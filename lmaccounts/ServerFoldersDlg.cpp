#include "ServerFoldersDlg.h"

#include "CertificateDialog.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "ServerFolders.h"
#include "tk_langlib.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Tag { OKTag = 49, FormTag = 830 };
constexpr int ReadingText = 270;
constexpr int TickText = 271;
constexpr int MissingText = 272;
constexpr int NoFoldersText = 273;

} // namespace

TServerFoldersDlg::TServerFoldersDlg(const TServerTestSettings& settings, const QStringList& ticked, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_ticked(ticked)
{
    setObjectName(QStringLiteral("ServerFoldersDlg"));
    setWindowTitle(QStringLiteral("Ordner auf dem Server"));
    SetTag(this, FormTag);
    StatusLbl = new QLabel(this);
    StatusLbl->setObjectName(QStringLiteral("StatusLbl"));
    StatusLbl->setWordWrap(true);
    FoldersLst = new QListWidget(this);
    FoldersLst->setObjectName(QStringLiteral("FoldersLst"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StatusLbl);
    layout->addWidget(FoldersLst);
    layout->addWidget(NewDialogButtons(this, OKBtn, CancelBtn, OKTag));
    // Enabled once the list has been read.
    OKBtn->setEnabled(false);
    TranslateFormIfEnglish(this);
    AskTrust = [this](const TnkCertificateFacts& certificate) { return TCertificateFrm::Ask(this, certificate); };
    resize(420, 360);
}

TServerFoldersDlg::~TServerFoldersDlg() = default;

QStringList TServerFoldersDlg::Ticked() const
{
    QStringList ticked;
    for (int row = 0; row < FoldersLst->count(); ++row) {
        const QListWidgetItem* item = FoldersLst->item(row);
        if (item->checkState() == Qt::Checked)
            ticked.append(item->data(Qt::UserRole).toString());
    }
    return ticked;
}

void TServerFoldersDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        // Read once the window shows, so that the person sees what is being waited for.
        QTimer::singleShot(0, this, &TServerFoldersDlg::ReadFolders);
    }
}

void TServerFoldersDlg::reject()
{
    if (m_test)
        m_test->Cancel();
    QDialog::reject();
}

void TServerFoldersDlg::ReadFolders()
{
    StatusLbl->setText(MessageText(ReadingText));
    m_test = std::make_unique<TConnectionTest>();
    m_test->OnUntrustedCertificate = [this](TMailService, const TnkCertificateFacts& certificate) { return AskTrust(certificate); };
    const TServerFolders found = ListServerFolders(*m_test, m_settings);
    const bool canceled = m_test->Canceled();
    m_test.reset();
    if (canceled)
        return;
    m_trustedPin = found.Test.TrustedPin;
    const bool listed = found.Test.Outcome == TTestOutcome::Success;
    // Without the server's list the ticked folders still show, so they can be unticked.
    for (const TFolderTick& tick : FolderTicks(found.Folders, m_ticked)) {
        auto* item = new QListWidgetItem(tick.Missing && listed ? tick.Name + QLatin1Char(' ') + MessageText(MissingText) : tick.Name,
                                         FoldersLst);
        item->setData(Qt::UserRole, tick.Name);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(tick.Ticked ? Qt::Checked : Qt::Unchecked);
    }
    if (!listed)
        StatusLbl->setText(DescribeTestResult(found.Test, QString::fromUtf8(m_settings.Server)));
    else
        StatusLbl->setText(MessageText(found.Folders.isEmpty() ? NoFoldersText : TickText));
    OKBtn->setEnabled(true);
    FoldersLst->setFocus();
    if (FoldersLst->count() > 0)
        FoldersLst->setCurrentRow(0);
}

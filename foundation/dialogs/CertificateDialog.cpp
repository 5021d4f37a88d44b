#include "CertificateDialog.h"

#include "CertificateTexts.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int TextWidth = 460;

QLabel* FactLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QLabel* FingerprintLabel(QWidget* parent, const char* name, const QByteArray& fingerprint)
{
    QLabel* label = FactLabel(parent, name, FingerprintLines(fingerprint));
    label->setWordWrap(false);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return label;
}

// Red on a pale ground, in bold: the warning that a trusted certificate was replaced.
void MakeLoud(QLabel* label)
{
    label->setFrameShape(QFrame::Box);
    label->setMargin(8);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xe8, 0xe8));
    palette.setColor(QPalette::WindowText, QColor(0xa0, 0x00, 0x00));
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

} // namespace

TCertificateFrm::TCertificateFrm(const TnkCertificateFacts& facts, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertificateFrm"));
    setWindowTitle(QStringLiteral("Zertifikat prüfen"));
    SetTag(this, CertificateTag::Form);
    HeadlineLbl = FactLabel(this, "HeadlineLbl", CertificateHeadline(facts));
    HeadlineLbl->setMinimumWidth(TextWidth);
    if (facts.Changed())
        MakeLoud(HeadlineLbl);
    ServerLbl = FactLabel(this, "ServerLbl", CertificateServerText(facts));
    SubjectLbl = FactLabel(this, "SubjectLbl", facts.Subject);
    IssuerLbl = FactLabel(this, "IssuerLbl", facts.Issuer);
    ValidFromLbl = FactLabel(this, "ValidFromLbl", CertificateDateText(facts.ValidFrom));
    ValidUntilLbl = FactLabel(this, "ValidUntilLbl", CertificateDateText(facts.ValidUntil));
    FingerprintLbl = FingerprintLabel(this, "FingerprintLbl", facts.Fingerprint);
    PinnedFingerprintLbl = FingerprintLabel(this, "PinnedFingerprintLbl", facts.PinnedFingerprint);
    ReasonLbl = FactLabel(this, "ReasonLbl", CertificateReasonText(facts));

    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    AddRow(form, QStringLiteral("Server:"), CertificateTag::Server, ServerLbl);
    AddRow(form, QStringLiteral("Ausgestellt für:"), CertificateTag::Subject, SubjectLbl);
    AddRow(form, QStringLiteral("Ausgestellt von:"), CertificateTag::Issuer, IssuerLbl);
    AddRow(form, QStringLiteral("Gültig ab:"), CertificateTag::ValidFrom, ValidFromLbl);
    AddRow(form, QStringLiteral("Gültig bis:"), CertificateTag::ValidUntil, ValidUntilLbl);
    AddRow(form, QStringLiteral("SHA-256-Fingerabdruck:"), CertificateTag::Fingerprint, FingerprintLbl);
    if (facts.Changed())
        AddRow(form, QStringLiteral("Bisher vertraut:"), CertificateTag::PinnedFingerprint, PinnedFingerprintLbl);
    else
        PinnedFingerprintLbl->hide();
    AddRow(form, QStringLiteral("Grund:"), CertificateTag::Reason, ReasonLbl);

    auto* buttons = new QDialogButtonBox(this);
    TrustBtn = buttons->addButton(QStringLiteral("&Vertrauen"), QDialogButtonBox::AcceptRole);
    CancelBtn = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    TrustBtn->setObjectName(QStringLiteral("TrustBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    SetTag(TrustBtn, CertificateTag::Trust);
    SetTag(CancelBtn, CertificateTag::Cancel);
    TrustBtn->setAutoDefault(false);
    CancelBtn->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HeadlineLbl);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(buttons);
    TranslateFormIfEnglish(this);
    // After the translation, which would give the button its usual caption again.
    if (facts.Changed())
        TrustBtn->setText(MessageText(CertificateText::TrustNewCaption));
    CancelBtn->setFocus();
    FitToScreen();
}

void TCertificateFrm::FitToScreen()
{
    const QScreen* shown = screen();
    if (!shown)
        return;
    const QSize available = shown->availableGeometry().size();
    setMaximumSize(available);
    resize(sizeHint().boundedTo(available));
}

bool TCertificateFrm::Ask(QWidget* parent, const TnkCertificateFacts& facts)
{
    TCertificateFrm form(facts, parent);
    return form.exec() == QDialog::Accepted;
}

#include "Password.h"

#include "FormTranslation.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int FormTag = 521;
constexpr int OKTag = 522;
constexpr int CancelTag = 523;

} // namespace

TPasswordFrm::TPasswordFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordFrm"));
    setWindowTitle(QStringLiteral("Kennwort"));
    SetTag(this, FormTag);
    PromptLbl = new QLabel(this);
    PromptLbl->setTextFormat(Qt::PlainText);
    // The prompt may quote a server's refusal, which can be longer than any window is wide.
    PromptLbl->setWordWrap(true);
    PromptLbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PromptLbl->setMaximumWidth(520);
    PasswordEdt = new QLineEdit(this);
    PasswordEdt->setObjectName(QStringLiteral("PasswordEdt"));
    PasswordEdt->setEchoMode(QLineEdit::Password);
    PasswordEdt->setMinimumWidth(260);
    auto* buttons = new QDialogButtonBox(this);
    OKBtn = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    CancelBtn = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    OKBtn->setDefault(true);
    SetTag(OKBtn, OKTag);
    SetTag(CancelBtn, CancelTag);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PromptLbl);
    layout->addWidget(PasswordEdt);
    layout->addWidget(buttons);
    TranslateFormIfEnglish(this);
}

std::optional<QByteArray> TPasswordFrm::Ask(QWidget* parent, const QString& caption, const QString& text)
{
    TPasswordFrm form(parent);
    form.setWindowTitle(caption);
    form.PromptLbl->setText(text);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.PasswordEdt->text().toUtf8();
}

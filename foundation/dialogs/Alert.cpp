#include "Alert.h"

#include "FormTranslation.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

enum Tags { FormTag = 510, YesTag = 511, NoTag = 512, CancelTag = 513, DontShowTag = 519 };
constexpr int IconSize = 32;

QPushButton* ResultButton(QDialog* dialog, const QString& caption, int tag, int result)
{
    auto* button = new QPushButton(caption, dialog);
    SetTag(button, tag);
    QObject::connect(button, &QPushButton::clicked, dialog, [dialog, result] { dialog->done(result); });
    return button;
}

} // namespace

TAlertFrm::TAlertFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AlertFrm"));
    setWindowTitle(QStringLiteral("Bestätigung"));
    SetTag(this, FormTag);
    IconImg = new QLabel(this);
    MessageLbl = new QLabel(this);
    MessageLbl->setWordWrap(true);
    MessageLbl->setTextFormat(Qt::PlainText);
    DontShowChk = new QCheckBox(QStringLiteral("&Diese Meldung nicht mehr anzeigen"), this);
    SetTag(DontShowChk, DontShowTag);
    YesBtn = ResultButton(this, QStringLiteral("&Ja"), YesTag, arYes);
    NoBtn = ResultButton(this, QStringLiteral("&Nein"), NoTag, arNo);
    CancelBtn = ResultButton(this, QStringLiteral("Abbrechen"), CancelTag, arCancel);
    YesBtn->setDefault(true);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(IconImg, 0, Qt::AlignTop);
    textRow->addWidget(MessageLbl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(YesBtn);
    buttons->addWidget(NoBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(textRow);
    layout->addWidget(DontShowChk);
    layout->addLayout(buttons);
    TranslateFormIfEnglish(this);
}

void TAlertFrm::Setup(TAlertIcon icon, const QString& caption, const QString& text, bool offerCheckBox, bool settingOn)
{
    if (!caption.isEmpty())
        setWindowTitle(caption);
    const auto pixmap = icon == TAlertIcon::Warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion;
    IconImg->setPixmap(style()->standardIcon(pixmap).pixmap(IconSize, IconSize));
    MessageLbl->setText(text);
    DontShowChk->setVisible(offerCheckBox);
    DontShowChk->setChecked(!settingOn);
}

bool TAlertFrm::DontShowAgainTicked() const
{
    return DontShowChk->isChecked();
}

bool SettingAfterAlert(int result, bool offered, bool ticked, bool setting)
{
    if (!offered || result == arCancel)
        return setting;
    return !ticked;
}

int Confirm(int iconKind, const QString& caption, bool& setting, bool offerCheckBox, const QString& text,
            QWidget* parent)
{
    TAlertFrm alert(parent);
    alert.Setup(iconKind == 0 ? TAlertIcon::Warning : TAlertIcon::Question, caption, text, offerCheckBox, setting);
    QApplication::beep();
    int result = alert.exec();
    // Closing the window by its frame counts as Cancel.
    if (result != arYes && result != arNo)
        result = arCancel;
    setting = SettingAfterAlert(result, offerCheckBox, alert.DontShowAgainTicked(), setting);
    return result;
}

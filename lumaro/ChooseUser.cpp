#include "ChooseUser.h"

#include "FormTranslation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
enum Tags { FormTag = 166, TextTag, NotChooseUserTag, UsersTag, OKTag = 164, CancelTag = 513 };
}

TChooseUserFrm::TChooseUserFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChooseUserFrm"));
    setWindowTitle(QStringLiteral("Programmbenutzer bestimmen"));
    SetTag(this, FormTag);
    auto* text = new QLabel(QStringLiteral("Wählen Sie eine Benutzeridentität aus."), this);
    SetTag(text, TextTag);
    auto* usersLbl = new QLabel(QStringLiteral("&Benutzer:"), this);
    SetTag(usersLbl, UsersTag);
    UsersCmb = new QComboBox(this);
    UsersCmb->setObjectName(QStringLiteral("UsersCmb"));
    UsersCmb->setMinimumContentsLength(24);
    usersLbl->setBuddy(UsersCmb);
    NotChooseUserChk = new QCheckBox(
        QStringLiteral("&Nicht mehr fragen, den gewählten Benutzer beim nächsten Programmstart verwenden."), this);
    NotChooseUserChk->setObjectName(QStringLiteral("NotChooseUserChk"));
    SetTag(NotChooseUserChk, NotChooseUserTag);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    SetTag(OKBtn, OKTag);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    SetTag(CancelBtn, CancelTag);

    auto* userRow = new QHBoxLayout;
    userRow->addWidget(usersLbl);
    userRow->addWidget(UsersCmb, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(userRow);
    layout->addWidget(NotChooseUserChk);
    layout->addLayout(buttons);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    TranslateFormIfEnglish(this);
}

void TChooseUserFrm::Setup(const QStringList& users, const QString& current, bool askAtStart)
{
    UsersCmb->clear();
    UsersCmb->addItems(users);
    UsersCmb->setCurrentIndex(std::max(int(users.indexOf(current)), 0));
    NotChooseUserChk->setChecked(!askAtStart);
}

TUserChoice TChooseUserFrm::Choice() const
{
    return TUserChoice{UsersCmb->currentText(), !NotChooseUserChk->isChecked()};
}

std::optional<TUserChoice> ShowUserChooser(const QStringList& users, const QString& current, bool askAtStart)
{
    TChooseUserFrm chooser;
    chooser.Setup(users, current, askAtStart);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.Choice();
}

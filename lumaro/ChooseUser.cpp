#include "ChooseUser.h"

#include "DialogButtons.h"
#include "FormTranslation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
enum Tags { FormTag = 166, TextTag, NotChooseUserTag, UsersTag };
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
    const TDialogButtons buttons = CreateDialogButtons(this);
    OKBtn = buttons.OK;
    CancelBtn = buttons.Cancel;

    auto* userRow = new QHBoxLayout;
    userRow->addWidget(usersLbl);
    userRow->addWidget(UsersCmb, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(userRow);
    layout->addWidget(NotChooseUserChk);
    layout->addLayout(buttons.Row);
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

#include "EditUser.h"

#include "DialogButtons.h"
#include "DirectoryDialog.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "UserFunctions.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int MsgNameTaken = 69;
constexpr int MsgChooseDataDir = 71;
constexpr int MsgNameInvalid = 187;
enum Tags { FormTag = 158, TextTag, NameTag, DataDirTag, EditTag, StandardTag };
constexpr auto HandPicked = "1";
constexpr auto Following = "0";

} // namespace

TEditUserFrm::TEditUserFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EditUserFrm"));
    setWindowTitle(QStringLiteral("Programmbenutzer bearbeiten"));
    SetTag(this, FormTag);
    BrowseDirectory = [this](const QString& start) {
        return ::BrowseDirectory(this, MessageText(MsgChooseDataDir), start);
    };
    Warn = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Warning, this, windowTitle(), text); };

    auto* text = new QLabel(QStringLiteral("Legen Sie hier den Namen und das Datenverzeichnis des Benutzers fest."), this);
    SetTag(text, TextTag);
    text->setWordWrap(true);
    auto* nameLbl = new QLabel(QStringLiteral("&Name:"), this);
    SetTag(nameLbl, NameTag);
    UserEdt = new QLineEdit(this);
    UserEdt->setObjectName(QStringLiteral("UserEdt"));
    nameLbl->setBuddy(UserEdt);
    auto* dataDirLbl = new QLabel(QStringLiteral("Datenverzeichnis:"), this);
    SetTag(dataDirLbl, DataDirTag);
    DataDirPan = new QLineEdit(this);
    DataDirPan->setObjectName(QStringLiteral("DataDirPan"));
    DataDirPan->setReadOnly(true);
    DataDirPan->setPlaceholderText(Paths().Program.DefaultDataDir);
    DataDirPan->setMinimumWidth(380);
    EditBtn = TaggedButton(this, "EditBtn", EditTag, QStringLiteral("Ä&ndern..."));
    StandardBtn = TaggedButton(this, "StandardBtn", StandardTag, QStringLiteral("&Standard"));
    CheckLbl = new QLabel(QLatin1String(Following), this);
    CheckLbl->setObjectName(QStringLiteral("CheckLbl"));
    CheckLbl->hide();
    const TDialogButtons buttons = CreateDialogButtons(this);
    OKBtn = buttons.OK;
    CancelBtn = buttons.Cancel;

    auto* grid = new QGridLayout;
    grid->addWidget(nameLbl, 0, 0);
    grid->addWidget(UserEdt, 0, 1, 1, 3);
    grid->addWidget(dataDirLbl, 1, 0);
    grid->addWidget(DataDirPan, 1, 1);
    grid->addWidget(EditBtn, 1, 2);
    grid->addWidget(StandardBtn, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addStretch();
    layout->addLayout(buttons.Row);

    connect(DataDirPan, &QLineEdit::textChanged, DataDirPan, &QWidget::setToolTip);
    connect(UserEdt, &QLineEdit::textChanged, this, &TEditUserFrm::UserEdtChanged);
    connect(EditBtn, &QPushButton::clicked, this, &TEditUserFrm::EditBtnClick);
    // The default directory is a choice too: typing on in the name must not replace it.
    connect(StandardBtn, &QPushButton::clicked, this, [this] {
        CheckLbl->setText(QLatin1String(HandPicked));
        DataDirPan->clear();
    });
    TranslateFormIfEnglish(this);
}

void TEditUserFrm::Setup(const QString& name, bool editableName, const QString& dataDir, const QStringList& users)
{
    m_users = users;
    m_newUser = editableName;
    CheckLbl->setText(QLatin1String(Following));
    UserEdt->setText(name);
    UserEdt->setReadOnly(!editableName);
    DataDirPan->setText(dataDir);
    OKBtn->setEnabled(!name.isEmpty());
}

QString TEditUserFrm::UserName() const
{
    return UserEdt->text();
}

QString TEditUserFrm::DataDir() const
{
    return DataDirPan->text();
}

void TEditUserFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_newUser)
        UserEdt->setFocus();
    else
        EditBtn->setFocus();
}

void TEditUserFrm::UserEdtChanged(const QString& name)
{
    OKBtn->setEnabled(!name.isEmpty());
    if (m_newUser && CheckLbl->text() == QLatin1String(Following))
        DataDirPan->setText(NewUserDataDir(Paths().Program.UsersDir, name));
}

void TEditUserFrm::EditBtnClick()
{
    const QString start = DataDirPan->text().isEmpty() ? Paths().Program.DefaultDataDir : DataDirPan->text();
    const std::optional<QString> chosen = BrowseDirectory(start);
    if (!chosen)
        return;
    CheckLbl->setText(QLatin1String(HandPicked));
    DataDirPan->setText(PickedDataDir(*chosen, Paths().Program.DefaultDataDir));
}

void TEditUserFrm::accept()
{
    if (m_newUser) {
        switch (CheckNewUserName(UserName(), m_users)) {
        case TUserNameCheck::Taken:
            Warn(MessageText(MsgNameTaken));
            return;
        case TUserNameCheck::Invalid:
        case TUserNameCheck::Empty:
            Warn(MessageText(MsgNameInvalid));
            return;
        case TUserNameCheck::Valid:
            break;
        }
    }
    QDialog::accept();
}

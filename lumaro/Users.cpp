#include "Users.h"

#include "DialogButtons.h"
#include "EditUser.h"
#include "FormTranslation.h"
#include "RegistryFunctions.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int MsgRestartNeeded = 55;
constexpr int MsgDeleteUser = 68;
constexpr int MsgDataDirNotCreated = 188;
enum Tags { FormTag = 150, TextTag, AddTag, EditTag, DeleteTag, ActivateTag, CloseTag, ChooseUserTag };

std::optional<TUserEdit> EditorDialog(QWidget* parent, const TUserEdit& start, bool newUser, const QStringList& users)
{
    TEditUserFrm editor(parent);
    editor.Setup(start.Name, newUser, start.DataDir, users);
    if (editor.exec() != QDialog::Accepted)
        return std::nullopt;
    return TUserEdit{editor.UserName(), editor.DataDir()};
}

} // namespace

TUsersFrm::TUsersFrm(QWidget* parent) : QDialog(parent), m_activeUser(UserContext().Installation.CurrentUser)
{
    setObjectName(QStringLiteral("UsersFrm"));
    setWindowTitle(QStringLiteral("Programmbenutzer verwalten"));
    SetTag(this, FormTag);
    AskYesNo = [this](const QString& text) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    Inform = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Information, this, windowTitle(), text); };
    Warn = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Warning, this, windowTitle(), text); };
    RunEditor = [this](const TUserEdit& start, bool newUser, const QStringList& users) {
        return EditorDialog(this, start, newUser, users);
    };

    auto* text = new QLabel(QStringLiteral("Verwalten Sie hier verschiedene Benutzeridentitäten. Jeder Benutzer kann "
                                           "ein eigenes Datenverzeichnis haben."), this);
    SetTag(text, TextTag);
    text->setWordWrap(true);
    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    AddBtn = TaggedButton(this, "AddBtn", AddTag, QStringLiteral("&Hinzufügen..."));
    EditBtn = TaggedButton(this, "EditBtn", EditTag, QStringLiteral("&Bearbeiten..."));
    DeleteBtn = TaggedButton(this, "DeleteBtn", DeleteTag, QStringLiteral("&Entfernen..."));
    ActivateBtn = TaggedButton(this, "ActivateBtn", ActivateTag, QStringLiteral("&Aktivieren"));
    CloseBtn = TaggedButton(this, "CloseBtn", CloseTag, QStringLiteral("&Schließen"));
    ChooseUserChk = new QCheckBox(QStringLiteral("Benutzer zu &Programmbeginn auswählen"), this);
    ChooseUserChk->setObjectName(QStringLiteral("ChooseUserChk"));
    SetTag(ChooseUserChk, ChooseUserTag);

    ListPop = new QMenu(this);
    ListPop->setObjectName(QStringLiteral("ListPop"));
    for (QPushButton* button : {AddBtn, EditBtn, DeleteBtn, ActivateBtn}) {
        QAction* item = ListPop->addAction(button->text(), button, &QPushButton::click);
        SetTag(item, TagOf(button));
    }

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {AddBtn, EditBtn, DeleteBtn, ActivateBtn})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* middle = new QHBoxLayout;
    middle->addWidget(ListBox, 1);
    middle->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(middle, 1);
    layout->addWidget(ChooseUserChk);
    resize(480, 320);

    connect(ListBox, &QListWidget::currentRowChanged, this, &TUsersFrm::RefreshButtons);
    // Queued: the editor refills the list, deleting the item whose signal is still being delivered.
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (EditBtn->isEnabled())
                EditBtnClick();
        }, Qt::QueuedConnection);
    });
    connect(ListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QList<QAction*> items = ListPop->actions();
        const QList<QPushButton*> commands{AddBtn, EditBtn, DeleteBtn, ActivateBtn};
        for (qsizetype i = 0; i < items.size(); ++i)
            items[i]->setEnabled(commands[i]->isEnabled());
        ListPop->popup(ListBox->viewport()->mapToGlobal(at));
    });
    connect(AddBtn, &QPushButton::clicked, this, &TUsersFrm::AddBtnClick);
    connect(EditBtn, &QPushButton::clicked, this, &TUsersFrm::EditBtnClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TUsersFrm::DeleteBtnClick);
    connect(ActivateBtn, &QPushButton::clicked, this, &TUsersFrm::ActivateBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

    ChooseUserChk->setChecked(UserContext().Installation.ChooseUser);
    FillList(m_activeUser);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Users);
}

void TUsersFrm::FillList(const QString& select)
{
    const QSignalBlocker blocker(ListBox);
    ListBox->clear();
    int selected = 0;
    for (const QString& user : UserContext().Users) {
        if (user.compare(select, Qt::CaseInsensitive) == 0)
            selected = ListBox->count();
        ListBox->addItem(UserListEntry(user, m_activeUser));
    }
    ListBox->setCurrentRow(ListBox->count() > 0 ? selected : -1);
    RefreshButtons();
}

QString TUsersFrm::SelectedUser() const
{
    const QListWidgetItem* item = ListBox->currentItem();
    return item ? UserOfEntry(item->text()) : QString();
}

void TUsersFrm::RefreshButtons()
{
    const TUserButtonStates states = ComputeUserButtonStates(SelectedUser(), m_activeUser, ListBox->count());
    EditBtn->setEnabled(states.Edit);
    DeleteBtn->setEnabled(states.Remove);
    ActivateBtn->setEnabled(states.Activate);
    ChooseUserChk->setEnabled(states.ChooseUser);
}

void TUsersFrm::AddBtnClick()
{
    const std::optional<TUserEdit> edit = RunEditor(TUserEdit{}, true, UserContext().Users);
    if (!edit)
        return;
    if (!AddUser(edit->Name, edit->DataDir))
        Warn(FillIn(MessageText(MsgDataDirNotCreated), edit->DataDir));
    FillList(edit->Name);
}

void TUsersFrm::EditBtnClick()
{
    const QString user = SelectedUser();
    const std::optional<TUserEdit> edit = RunEditor(TUserEdit{user, ReadUserDataDir(user)}, false, UserContext().Users);
    if (!edit)
        return;
    EditUser(user, edit->DataDir);
    if (user.compare(m_activeUser, Qt::CaseInsensitive) == 0)
        Inform(MessageText(MsgRestartNeeded));
}

void TUsersFrm::DeleteBtnClick()
{
    const QString user = SelectedUser();
    if (!DeleteBtn->isEnabled() || !AskYesNo(FillIn(MessageText(MsgDeleteUser), user)))
        return;
    RemoveUser(user);
    FillList(UserContext().Users.value(0));
    ListBox->setCurrentRow(0);
}

void TUsersFrm::ActivateBtnClick()
{
    const QString user = SelectedUser();
    if (user.isEmpty())
        return;
    m_activeUser = user;
    FillList(user);
    accept();
}

void TUsersFrm::done(int result)
{
    StoreChooseUser(ChooseUserChk->isChecked());
    QDialog::done(result);
}

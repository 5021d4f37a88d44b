#include "AccountsMain.h"

#include "AccountEdt.h"
#include "AccountsFunctions.h"
#include "FormHelpers.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "RegistryFunctions.h"
#include "AccountSecrets.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "Wizzard.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Tag { InfoTag = 10, AddTag, EditTag, RemoveTag, CopyTag, StandardTag, CloseTag };

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, int tag)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    SetTag(button, tag);
    return button;
}

bool AskYesNo(QWidget* parent, const QString& question)
{
    return ShowPlainMessageBox(QMessageBox::Question, parent, AccountsWindowTitle(), question, QMessageBox::Yes | QMessageBox::No)
           == QMessageBox::Yes;
}

} // namespace

TAccountsMainFrm::TAccountsMainFrm(std::shared_ptr<TnkRasBackend> dialUpBackend, QWidget* parent)
    : QWidget(parent), m_dialUpBackend(std::move(dialUpBackend))
{
    setObjectName(QStringLiteral("AccountsMainFrm"));
    setWindowTitle(AccountsWindowTitle());
    EditAccount = [this](TAccountDraft& draft, bool wizard) { return OpenDialog(draft, wizard); };
    AskQuestion = [this](const QString& question) { return AskYesNo(this, question); };

    InfoLbl = new QLabel(QStringLiteral("Legen Sie hier Ihre Mailkonten fest."), this);
    SetTag(InfoLbl, InfoTag);
    UserLbl = new QLabel(FillIn(MessageText(8), UserLabelText(UserContext().Installation.CurrentUser)), this);
    UserLbl->setObjectName(QStringLiteral("UserLbl"));
    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->installEventFilter(this);
    AddBtn = Button(this, "AddBtn", QStringLiteral("&Hinzufügen..."), AddTag);
    EditBtn = Button(this, "EditBtn", QStringLiteral("&Bearbeiten..."), EditTag);
    DeleteBtn = Button(this, "DeleteBtn", QStringLiteral("&Entfernen..."), RemoveTag);
    CopyBtn = Button(this, "CopyBtn", QStringLiteral("&Kopieren"), CopyTag);
    StandardBtn = Button(this, "StandardBtn", QStringLiteral("Als &Standard"), StandardTag);
    CloseBtn = Button(this, "CloseBtn", QStringLiteral("Schließen"), CloseTag);

    ListBoxPop = new QMenu(this);
    const std::pair<QPushButton*, void (TAccountsMainFrm::*)()> commands[] = {
        {AddBtn, &TAccountsMainFrm::AddBtnClick},         {EditBtn, &TAccountsMainFrm::EditBtnClick},
        {DeleteBtn, &TAccountsMainFrm::DeleteBtnClick},   {CopyBtn, &TAccountsMainFrm::CopyBtnClick},
        {StandardBtn, &TAccountsMainFrm::StandardBtnClick}};
    for (const auto& [button, handler] : commands) {
        connect(button, &QPushButton::clicked, this, handler);
        QAction* item = ListBoxPop->addAction(button->text(), this, handler);
        SetTag(item, TagOf(button));
    }
    connect(CloseBtn, &QPushButton::clicked, this, &QWidget::close);
    // The window looks and works like a dialog, so Esc closes it as the other programs' windows close.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    ListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ListBoxPop->popup(ListBox->viewport()->mapToGlobal(pos)); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, &TAccountsMainFrm::EditBtnClick);
    connect(ListBox, &QListWidget::currentRowChanged, this, &TAccountsMainFrm::UpdateButtons);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {AddBtn, EditBtn, DeleteBtn, CopyBtn, StandardBtn})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* middle = new QHBoxLayout;
    middle->addWidget(ListBox, 1);
    middle->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLbl);
    layout->addLayout(middle, 1);
    layout->addWidget(UserLbl);
    resize(460, 300);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Accounts);
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
    FillList(0);
}

void TAccountsMainFrm::ListenForWindowMessages()
{
    ListenForRestore(this);
}

bool TAccountsMainFrm::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        // The first account is asked for as soon as the window is up: a new user came here for it.
        if (ListBox->count() == 0)
            QTimer::singleShot(0, this, &TAccountsMainFrm::AddBtnClick);
    }
    return handled;
}

void TAccountsMainFrm::closeEvent(QCloseEvent* event)
{
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    event->accept();
}

bool TAccountsMainFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && SelectedRecord() != 0) {
        DeleteBtnClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TAccountsMainFrm::FillList(int selectRecord)
{
    ListBox->clear();
    int selectRow = 0;
    for (const TAccountListEntry& entry : ListAccounts()) {
        auto* item = new QListWidgetItem(entry.Caption, ListBox);
        item->setData(Qt::UserRole, entry.Record);
        if (entry.Record == selectRecord)
            selectRow = ListBox->count() - 1;
    }
    if (ListBox->count() > 0)
        ListBox->setCurrentRow(selectRow);
    UpdateButtons();
}

int TAccountsMainFrm::SelectedRecord() const
{
    const QListWidgetItem* item = ListBox->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : 0;
}

void TAccountsMainFrm::UpdateButtons()
{
    const bool selected = ListBox->currentRow() >= 0;
    for (QPushButton* button : {EditBtn, DeleteBtn, CopyBtn, StandardBtn})
        button->setEnabled(selected);
    const QList<QAction*> items = ListBoxPop->actions();
    for (int i = 1; i < items.size(); ++i)
        items[i]->setEnabled(selected);
}

bool TAccountsMainFrm::OpenDialog(TAccountDraft& draft, bool wizard)
{
    if (wizard)
        return TWizzardFrm::Run(this, draft);
    return TAccountEdtFrm::Run(this, draft, m_dialUpBackend);
}

bool TAccountsMainFrm::EditUntilUnique(TAccountDraft& draft, bool wizard, int ownRecord)
{
    // The draft keeps what was typed, security included, across a name conflict; nothing is
    // stored before the name is accepted.
    while (EditAccount(draft, wizard)) {
        if (!AccountNameTaken(draft.Account.Name, ownRecord))
            return true;
        Report(AccountsText::DuplicateName, TMessageKind::Warning);
    }
    return false;
}

void TAccountsMainFrm::AddBtnClick()
{
    TAccountDraft draft;
    draft.Security.Secrets = PreferredSecretStore();
    if (!EditUntilUnique(draft, ListAccounts().isEmpty(), 0))
        return;
    QString error;
    const int record = AddAccount(draft, &error);
    if (record == 0)
        Report(AccountsText::WriteError, TMessageKind::Error);
    else if (!error.isEmpty())
        ReportText(AccountsText::SecretsNotMoved, TMessageKind::Warning, error);
    FillList(record);
}

void TAccountsMainFrm::EditBtnClick()
{
    const int record = SelectedRecord();
    QString error;
    std::optional<TAccountDraft> draft = ReadAccountDraft(record, error);
    if (!draft) {
        if (!error.isEmpty())
            ReportText(AccountsText::SecretsNotMoved, TMessageKind::Error, error);
        return;
    }
    if (!EditUntilUnique(*draft, false, record))
        return;
    if (!UpdateAccount(record, *draft, error)) {
        if (error.isEmpty())
            Report(AccountsText::WriteError, TMessageKind::Error);
        else
            ReportText(AccountsText::SecretsNotMoved, TMessageKind::Error, error);
    }
    FillList(record);
}

void TAccountsMainFrm::DeleteBtnClick()
{
    const int record = SelectedRecord();
    const std::optional<TAccount> account = ReadAccount(record);
    if (!account || !AskQuestion(FillIn(MessageText(AccountsText::ConfirmRemove), QString::fromUtf8(account->Name))))
        return;
    FillList(RemoveAccount(record));
}

void TAccountsMainFrm::CopyBtnClick()
{
    const int copy = CopyAccount(SelectedRecord());
    if (copy == 0)
        Report(AccountsText::WriteError, TMessageKind::Error);
    FillList(copy);
}

void TAccountsMainFrm::StandardBtnClick()
{
    const int record = SelectedRecord();
    if (!SetDefaultAccount(record))
        Report(AccountsText::WriteError, TMessageKind::Error);
    FillList(record);
}

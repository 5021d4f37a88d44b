#pragma once
// The accounts manager's window: the list of accounts of the active user with Add, Edit, Remove,
// Copy and Set Default. The commands run on lmaccounts_core; the dialogs they open and the question
// they ask can be replaced (tests answer them without a person).

#include "AccountsFunctions.h"
#include "DialUp.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

class TAccountsMainFrm : public QWidget {
    Q_OBJECT
public:
    explicit TAccountsMainFrm(std::shared_ptr<TnkRasBackend> dialUpBackend, QWidget* parent = nullptr);

    // Listens for the window messages of a second start.
    void ListenForWindowMessages();

    void AddBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    void CopyBtnClick();
    void StandardBtnClick();

    // Opens the editor (or, for the very first account, the wizard) on `draft`; false on Cancel.
    std::function<bool(TAccountDraft& draft, bool wizard)> EditAccount;
    std::function<bool(const QString& question)> AskQuestion;

    QLabel* InfoLbl;
    QLabel* UserLbl;
    QListWidget* ListBox;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* CopyBtn;
    QPushButton* StandardBtn;
    QPushButton* CloseBtn;
    QMenu* ListBoxPop;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList(int selectRecord);
    int SelectedRecord() const;
    void UpdateButtons();
    // Runs the dialog until it is cancelled or the name is not taken by another account.
    bool EditUntilUnique(TAccountDraft& draft, bool wizard, int ownRecord);
    bool OpenDialog(TAccountDraft& draft, bool wizard);

    std::shared_ptr<TnkRasBackend> m_dialUpBackend;
    bool m_activated = false;
};

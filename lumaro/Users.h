#pragma once
// The user manager: the list of user identities with the active one marked, adding, editing,
// removing and activating users, and whether to ask for the user at start. Activating closes the
// dialog; the main window then changes the active user when ActiveUser() differs from the one it runs.

#include "UserFunctions.h"

#include <QDialog>

#include <functional>
#include <optional>

class QAction;
class QCheckBox;
class QListWidget;
class QMenu;
class QPushButton;

// What the user editor returns.
struct TUserEdit {
    QString Name;
    QString DataDir;
};

class TUsersFrm : public QDialog {
    Q_OBJECT
public:
    explicit TUsersFrm(QWidget* parent = nullptr);

    // The active user when the dialog closed (changed by Activate).
    QString ActiveUser() const { return m_activeUser; }

    // How the dialog asks and tells the user; tests replace them.
    std::function<bool(const QString& text)> AskYesNo;
    std::function<void(const QString& text)> Inform;
    std::function<void(const QString& text)> Warn;
    // Runs the user editor: the start values, whether the name is editable (a new user), the names in
    // use; nothing on Cancel.
    std::function<std::optional<TUserEdit>(const TUserEdit& start, bool newUser, const QStringList& users)> RunEditor;

    QListWidget* ListBox;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* ActivateBtn;
    QPushButton* CloseBtn;
    QCheckBox* ChooseUserChk;
    QMenu* ListPop;

    void done(int result) override;

private:
    void FillList(const QString& select);
    QString SelectedUser() const;
    void RefreshButtons();
    void AddBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    void ActivateBtnClick();

    QString m_activeUser;
};

#pragma once
// The user editor: a user's name (editable only for a new user) and data directory. While no
// directory was picked by hand, a new user's directory follows the name below the users directory;
// the Default button gives the default data directory (an empty panel). OK refuses a new name that is
// taken or unusable and keeps the editor open.

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TEditUserFrm : public QDialog {
    Q_OBJECT
public:
    explicit TEditUserFrm(QWidget* parent = nullptr);

    // `users`: the names a new user must not take.
    void Setup(const QString& name, bool editableName, const QString& dataDir, const QStringList& users);
    QString UserName() const;
    // Empty: the default data directory.
    QString DataDir() const;

    std::function<std::optional<QString>(const QString& start)> BrowseDirectory;
    std::function<void(const QString& text)> Warn;

    QLineEdit* UserEdt;
    QLineEdit* DataDirPan;
    QPushButton* EditBtn;
    QPushButton* StandardBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    // "0" until a directory was picked by hand, then "1".
    QLabel* CheckLbl;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UserEdtChanged(const QString& name);
    void EditBtnClick();

    QStringList m_users;
    bool m_newUser = true;
};

#pragma once
// The phrase manager: the categories of the phrase store, the phrases of the current category, and
// Add, Edit and Remove through the phrase editor. Every change rescans the store.

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

class TFloskelnConfFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFloskelnConfFrm(QWidget* parent = nullptr);

    // Rescans the store and selects `category` (else the first) and `name` (else the first).
    void Refresh(const QString& category = {}, const QString& name = {});
    QString CurrentCategory() const { return m_category; }
    QString SelectedPhrase() const;

    // How the manager asks before removing; a message box unless a test replaces it.
    std::function<bool(const QString& text)> AskYesNo;

    QListWidget* CategoriesLb;
    QListWidget* FloskelnLb;
    QLabel* CategoryLbl;
    QPushButton* InsertBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* CloseBtn;
    QMenu* PopupMnu;

    void InsertBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RefreshButtons();
    void RunEditor(const QString& name);

    QString m_category;
};

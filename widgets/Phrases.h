#pragma once
// The phrase inserter: the categories of the phrase store and, for the chosen one, its phrases.
// Non-modal; the owner receives the chosen phrase's text through InsertText and puts it at its
// caret. The store is scanned each time the window is shown.

#include <QDialog>

#include <functional>

class QComboBox;
class QListWidget;
class QPushButton;

class TPhrasesFrm : public QDialog {
    Q_OBJECT
public:
    explicit TPhrasesFrm(QWidget* parent = nullptr);

    // Reads the store again and selects the first category.
    void Refresh();

    std::function<void(const QString& text)> InsertText;

    QComboBox* CategoryCmb;
    QListWidget* PhrasesLb;
    QPushButton* InsertBtn;
    QPushButton* InsertCloseBtn;
    QPushButton* CloseBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CategoryCmbChange();
    void InsertBtnClick();
    void InsertCloseBtnClick();
    void UpdateButtons();
};

#pragma once
// The address book settings: the list of categories offered for contacts and groups.

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

class TSettingsFrm : public QDialog {
    Q_OBJECT
public:
    TSettingsFrm(const QStringList& categories, QWidget* parent = nullptr);

    // Edits `categories` modally; on OK the list (the default one when emptied) is stored.
    static bool Run(QWidget* parent, QStringList& categories);

    QStringList Categories() const;
    void AddBtnClick();
    void RemoveBtnClick();
    void StandardBtnClick();

    QListWidget* CategoriesLb;
    QLineEdit* CategoryEdt;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QPushButton* StandardBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void SetCategories(const QStringList& categories);
};

// The list after adding `text`: unchanged when the text is empty or already in it.
QStringList WithCategory(QStringList categories, const QString& text);

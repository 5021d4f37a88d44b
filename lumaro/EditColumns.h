#pragma once
// The columns dialog: the four captions available, the displayed list in its order, and the steps
// of ColumnEditing behind the buttons.

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

class TEditColumnsFrm : public QDialog {
    Q_OBJECT
public:
    explicit TEditColumnsFrm(QWidget* parent = nullptr);

    // `available` and `defaults` are the four captions in the active language; `displayed` the
    // stored column list.
    void Setup(const QStringList& available, const QStringList& defaults, const QStringList& displayed);
    QStringList Displayed() const { return m_displayed; }

    QLabel* InfoLbl;
    QListWidget* AColumnsLb;
    QListWidget* ColumnsLb;
    QPushButton* AddBtn;
    QPushButton* RemoveBtn;
    QPushButton* UpBtn;
    QPushButton* DownBtn;
    QPushButton* StandardBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void ShowDisplayed(int selectedRow);
    void RefreshButtons();

    QStringList m_displayed;
    QStringList m_defaults;
};

#pragma once
// The tool bar dialog: one ticked entry per tool bar button (dividers included) showing the button's
// image; the ticks become the visibility flags used at the next start.

#include <QDialog>
#include <QList>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;

class TToolbarFrm : public QDialog {
    Q_OBJECT
public:
    explicit TToolbarFrm(QWidget* parent = nullptr);

    void Setup(const QList<QAction*>& buttons, const QList<bool>& visible);
    QList<bool> Ticks() const;

    QLabel* InfoLbl;
    QListWidget* Listbox;
    QPushButton* StandardBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

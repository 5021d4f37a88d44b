#pragma once
// The two dialogs of the message filter: the rule list (`TFilterLocalConfFrm`), which loads and
// saves the rule file, and the rule editor (`TFilterLocalConf2Frm`) for one rule. The enabling rules
// live in FilterDialogRules; these forms only apply them.

#include "FilterFunctions.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

class TFilterLocalConf2Frm : public QDialog {
    Q_OBJECT
public:
    explicit TFilterLocalConf2Frm(QWidget* parent = nullptr);

    // Runs the editor on `rule`; the rebuilt line, or empty when cancelled.
    QByteArray Edit(const TFilterRule& rule);

    QLineEdit* FromContainsEdt;
    QLineEdit* ToContainsEdt;
    QLineEdit* SubjectContainsEdt;
    QSpinBox* KbytesEdt;
    QRadioButton* ActionKeepRb;
    QRadioButton* ActionDeleteRb;
    QRadioButton* ActionMoveRb;
    QTreeWidget* TreeView;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void OKBtnClick();
    void FillFolders();
    void SelectFolder(const QString& folderFileName);
    void UpdateStates();
    TFilterRule Result() const;
};

class TFilterLocalConfFrm : public QDialog {
    Q_OBJECT
public:
    // `rulesFile` is the user's rule file.
    TFilterLocalConfFrm(const QString& rulesFile, bool autoLocalFilter, QWidget* parent = nullptr);

    bool AutoLocalFilter() const;
    // A text handed over by a message window: the first activation adds a rule pre-filled from it.
    void SetPrefill(const QString& text);

    QListWidget* ListBox;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* RemoveBtn;
    QPushButton* UpBtn;
    QPushButton* DownBtn;
    QCheckBox* AutoLocalFilterChk;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QLabel* MessageLbl;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddBtnClick();
    void AddRule(const TFilterRule& rule);
    void EditBtnClick();
    void RemoveBtnClick();
    void MoveSelected(int by);
    void OKBtnClick();
    void UpdateButtons();

    QString m_rulesFile;
};

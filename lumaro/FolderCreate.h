#pragma once
// The folder dialog of New folder and Rename folder: the name and, below the root node, the
// top-level user folders the folder can go into. What it shows comes from TFolderDialogSetup.

#include "FolderCommands.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class TFolderCreateFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFolderCreateFrm(QWidget* parent = nullptr);

    void Setup(const TFolderDialogSetup& setup);
    QString FolderName() const;
    // The parent chosen: a top-level folder's file name, empty for the root.
    QString ParentFolder() const;

    QLabel* FolderLbl;
    QLineEdit* FolderEdt;
    QLabel* ParentLbl;
    QTreeWidget* FolderTv;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void FolderEdtChange();
};

#pragma once
// Folder properties: size, records, displayed and deleted messages. Closing it with Reorganize or
// Rename asks the main window to run that command.

#include "FolderCommands.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TFolderInfoFrm : public QDialog {
    Q_OBJECT
public:
    enum TResult { Closed = 0, ReorganizeChosen = 10, RenameChosen = 11 };

    explicit TFolderInfoFrm(QWidget* parent = nullptr);
    void Show(const TFolderInfo& info);

    QLabel* SizeLbl;
    QLabel* RecordsLbl;
    QLabel* DisplayedLbl;
    QLabel* DeletedLbl;
    QLabel* ReorganizeNeededLbl;
    QPushButton* ReorganizeBtn;
    QPushButton* RenameBtn;
    QPushButton* CloseBtn;
    // Says why Rename is not offered; hidden when it is.
    QLabel* RenameRefusalLbl;
};

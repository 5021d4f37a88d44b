#pragma once
// The template chooser of New message: the messages of the Templates folder by subject and
// recipient. OK chooses the selected template, None a message without one, Cancel no message.

#include "DBMailboxFunctions.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

class TDraftFrm : public QDialog {
    Q_OBJECT
public:
    enum TResult { Cancelled = 0, TemplateChosen = 1, NoTemplate = 2 };

    explicit TDraftFrm(QWidget* parent = nullptr);

    // Lists the displayed messages of `templates` in record order and focuses the first row.
    void Setup(const TFolderFiles& templates);
    // The selected row's entry (record 0 when none is selected).
    TListEntry Chosen() const;

    QTreeWidget* ListView;
    QPushButton* OKBtn;
    QPushButton* NoBtn;
    QPushButton* CancelBtn;
};

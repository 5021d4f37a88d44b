#pragma once
// The folder chooser of Copy to and Move to: a copy of the caller's folder tree with its first node
// selected. The tree items carry their folder file names in Qt::UserRole.

#include <QDialog>

class QPushButton;
class QTreeWidget;

class TFolderChooseFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFolderChooseFrm(QWidget* parent = nullptr);

    // Copies the nodes of `source`, selects the first one and sets the caption.
    void Setup(const QTreeWidget& source, const QString& caption);
    // The folder file name of the selected node; empty when none is selected.
    QString ChosenFolder() const;

    QTreeWidget* FolderTv;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

// Runs the chooser modally; the chosen folder file name, or empty when cancelled.
QString ChooseFolder(const QTreeWidget& source, const QString& caption, QWidget* parent);

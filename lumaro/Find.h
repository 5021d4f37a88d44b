#pragma once
// The Find dialog: searches one folder or all of them for a text and opens a hit in the message
// window. The search runs between window events, so Stop is honoured between two messages.

#include "SearchFunctions.h"

#include <QDialog>
#include <QList>
#include <QPair>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class TFindFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFindFrm(QWidget* parent = nullptr);

    // The folders in tree order as (display name, folder file name), and the folder preselected.
    void Setup(const QList<QPair<QString, QString>>& folders, const QString& currentFolder);
    bool Searching() const { return m_searching; }

    // Opens a hit; set by the main window.
    std::function<void(const QString& folder, const TListEntry& entry)> OpenMessage;
    // Tells the user that nothing was found; a message box unless a test replaces it.
    std::function<void(const QString& text)> Inform;

    QLabel* InfoLbl;
    QLineEdit* FindEdt;
    QComboBox* FolderCmb;
    QCheckBox* AllChk;
    QCheckBox* DecodedChk;
    QTreeWidget* ListView;
    QPushButton* SearchBtn;
    QPushButton* OpenBtn;
    QPushButton* StopBtn;
    QPushButton* CloseBtn;

    void SearchBtnClick();
    void StopBtnClick();
    void OpenBtnClick();

public slots:
    void reject() override;

private:
    void RefreshButtons();
    void SearchOneFolder(int comboIndex, const TTextFinder& finder, TSearchMode mode);
    void AddHit(const TSearchHit& hit);

    bool m_searching = false;
};

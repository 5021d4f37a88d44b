#pragma once
// The help window of the suite: the user guide of the interface language in a QTextBrowser, with
// the list of its pages on the left and a search field that lists the pages containing the words
// typed. There is one per program; ShowHelp opens it at the page of a help context.

#include <QUrl>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTextBrowser;
class QToolButton;
class THelpLibrary;

class THelpFrm : public QWidget {
    Q_OBJECT

public:
    explicit THelpFrm(QWidget* parent = nullptr);
    ~THelpFrm() override;

    // Shows `url` (a page of the guide, with an anchor as fragment) and brings the window forward.
    void ShowUrl(const QUrl& url);

    QToolButton* BackBtn;
    QToolButton* ForwardBtn;
    QToolButton* ContentsBtn;
    QLineEdit* SearchEdt;
    QLabel* ResultLbl;
    QListWidget* PagesLst;
    QTextBrowser* Browser;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    void FillPages(const QStringList& names, const QStringList& titles);
    void ShowContents();
    void SearchEdtChange(const QString& query);
    void SearchEdtReturn();
    void PagesLstActivate(QListWidgetItem* item);
    void BrowserSourceChange(const QUrl& url);
    void ContentsBtnClick();

    std::unique_ptr<THelpLibrary> m_library;
    QStringList m_searchWords;
};

// The program's help window, created on first use. It belongs to `owner`'s window (a modal dialog
// that is open wins), so that it can be used beside a modal dialog and closes with its owner.
THelpFrm* HelpWindow(QWidget* owner);
// The help window when one exists, else nullptr.
THelpFrm* ExistingHelpWindow();

#pragma once
// The message window: one message per process, shown read-only (view mode) or composed (edit
// mode), fixed by the command line. The window owns the current message for its whole life and
// hands replies, forwards, redirects and filter texts to the main client; in edit mode "Später
// senden" writes the work file named on the command line. The rules live in lmview_core; this
// class wires them to the widgets.

#include "ComposeRules.h"
#include "MessageLoading.h"
#include "ViewCommandLine.h"
#include "ViewSettings.h"
#include "qmmsg.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTextBrowser>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolBar;
class TAdrChooseFrm;
class TFindFrm;
class TPhrasesFrm;
enum class TFilterField;
enum class TRecipientList;

// The HTML view: answers image requests from the message's own files only; every remote request
// stays blank and is counted, so that the window can say that remote content was blocked.
class THtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit THtmlView(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

    std::function<QString(const QString& name)> LocalFile;
    // Called for each remote request refused; images are requested while the page is laid out.
    std::function<void()> OnBlocked;
    int BlockedCount = 0;
};

// How the window asks and tells; tests replace the message boxes.
struct TViewDialogs {
    std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons buttons)> Ask;
};

class TLmviewFrm : public QMainWindow {
    Q_OBJECT
public:
    TLmviewFrm(const TViewCommandLine& commandLine, QWidget* parent = nullptr);
    ~TLmviewFrm() override;

    // Loads the message and fills the window; false after message 16 when it cannot be read.
    bool LoadMessage();
    const TqmMessage& Message() const { return m_message; }
    bool Changed() const { return m_changed; }
    void ShowHtml(bool on);
    // The link handling of the text and HTML views.
    void OpenLink(const QUrl& url);

    // Commands
    void SendLaterItmClick();
    void AnswerPItmClick();
    void ForwardPItmClick();
    void RedirectItmClick();
    void AttOpenItmClick();
    void AttSaveItmClick();
    void AttAddItmClick();
    void AttRemoveItmClick();
    void SaveAsItmClick();
    void SourceItmClick();
    void PropertiesItmClick();
    void PrintItmClick();
    void FloskelItmClick();
    void FindItmClick();
    void FilterItmClick(TFilterField field);
    void AddToAdrItmClick();
    void ChooseRecipients(TRecipientList focused);

    TViewDialogs Dialogs;
    TViewSettings Settings;
    // Called instead of the desktop when a link is opened (tests).
    std::function<void(const QUrl&)> OpenUrl;

    // Components
    QToolBar* Toolbar;
    QAction* SendLaterItm;
    QAction* SaveAsItm;
    QAction* AnswerPItm;
    QAction* ForwardPItm;
    QAction* RedirectItm;
    QAction* AttOpenItm;
    QAction* AttSaveItm;
    QAction* AttAddItm;
    QAction* AttRemoveItm;
    QAction* AdrItm;
    QAction* PrintItm;
    QAction* PropertiesItm;
    QAction* CloseItm;
    QAction* UndoItm;
    QAction* CutItm;
    QAction* CopyItm;
    QAction* PasteItm;
    QAction* FloskelItm;
    QAction* FindItm;
    QAction* SelectAllItm;
    QAction* WordWrapItm;
    QAction* HtmlItm;
    QAction* SourceItm;
    QAction* FilterSenderItm;
    QAction* FilterRecipientItm;
    QAction* FilterSubjectItm;
    QAction* AddToAdrItm;
    QAction* HelpItm;
    QAction* InfoItm;
    QMenu* AttSendToMnu;
    QMenu* AttSendToPop;
    QMenu* AttPop;

    QWidget* HeaderPanel;
    QLabel* FromLbl;
    QLabel* ToLbl;
    QLabel* CCCaptionLbl;
    QLabel* CCLbl;
    QLabel* SubjectLbl;
    QLabel* DateLbl;

    QWidget* SmtpPanel;
    QLineEdit* SmtpSubjectEdt;
    QTabWidget* SmtpPages;
    QComboBox* OurEmailCmb;
    QComboBox* AccountNamesCmb;
    QPushButton* ToBtn;
    QComboBox* SmtpToEdt;
    QPushButton* CCBtn;
    QLineEdit* SmtpCCEdt;
    QPushButton* BCCBtn;
    QLineEdit* SmtpBCCEdt;
    QCheckBox* SmtpHoldChk;
    QCheckBox* SmtpReceiptChk;
    QCheckBox* SmtpDispositionChk;
    QCheckBox* SmtpRedirectChk;

    QListWidget* AttachLv;
    QTextBrowser* BodyMem;
    QWidget* HtmlPanel;
    THtmlView* Html;
    QLabel* BlockedLbl;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolbar();
    QWidget* CreateHeaderPanel();
    QWidget* CreateSmtpPanel();
    void CreateCentralWidget();
    void ConnectChangeSignals();

    void FillWindow();
    void FillViewHeader();
    void FillComposePanel();
    void FillAttachmentList();
    void FillSenderLists();
    void SelectSender(const QString& text, bool warn);
    void ColourText();
    void RefreshCommandStates();
    void MarkChanged();
    void UpdateCopiesCaption();
    void UpdateCaretPanel();
    void CompleteTo(const QString& text);
    void BuildSendToMenus();
    void SendAttachmentTo(const QString& entry);

    bool MainWindowFound();
    void HandOverToMainWindow(TqmMessage& message);
    bool WriteComposedMessage();
    void ApplyChooserResult(const TAdrChooseFrm& chooser);
    int SelectedAttachment() const;
    QString ComposedSenderText() const;

    TViewCommandLine m_commandLine;
    TqmMessage m_message;
    TViewContent m_content;
    TSenderList m_senders;
    QString m_workDir;
    bool m_redirected = false;
    bool m_changed = false;
    bool m_filling = false;
    bool m_firstShow = true;
    bool m_addressBookRunning = false;
    qsizetype m_lastToLength = 0;
    TPhrasesFrm* m_phrases = nullptr;
    TFindFrm* m_find = nullptr;
};

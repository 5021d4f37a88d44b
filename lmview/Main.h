#pragma once
// The message window: one message per process, shown read-only (view mode) or composed (edit
// mode), fixed by the command line. The window owns the current message for its whole life and
// hands replies, forwards, redirects and filter texts to the main client; in edit mode "Später
// senden" writes the work file named on the command line. The rules live in lmview_core; this
// class wires them to the widgets.

#include "ComposeAttachments.h"
#include "ComposeRules.h"
#include "MessageDocument.h"
#include "MessageLoading.h"
#include "ViewCommandLine.h"
#include "ViewSettings.h"
#include "qmmsg.h"

#include <QCompleter>
#include <QMainWindow>
#include <QMessageBox>
#include <QTextBrowser>

#include <functional>
#include <memory>

class QCheckBox;
class QTemporaryDir;
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

// The HTML view: every resource comes from its TMessageDocument (the message's own parts or a
// placeholder), so that nothing is read from the network or the file system.
class THtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit THtmlView(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
    // The visible texts of every link of the page that leads to `href`.
    QStringList AnchorTexts(const QUrl& href) const;

    TMessageDocument* Document;
};

// How the window asks and tells; tests replace the message boxes.
struct TViewDialogs {
    std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons buttons)> Ask;
    // The warning before an attachment is opened; `offerCheckBox` is false for programs and
    // scripts, whose warning cannot be switched off. True to open.
    std::function<bool(const QString& text, bool offerCheckBox)> ConfirmOpen;
    // The file to save an attachment as (title, proposed path, filters); empty when cancelled.
    std::function<QString(const QString& title, const QString& proposed, const QString& filter)> AskSaveFile;
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
    // A link of the HTML view: asks first when its visible text shows another host.
    void OpenHtmlLink(const QUrl& url);
    // The directory of this window's attachment files, created on first use and removed with the
    // window; empty (after message 3) when it cannot be created.
    QString AttachmentDirectory();

    // Commands
    void SendLaterItmClick();
    // Writes the work file as "Später senden" does and asks the main window to send it at once.
    void SendNowItmClick();
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
    // The system print dialog, then the pages as the preview shows them.
    void PrintItmClick();
    void PreviewItmClick();
    // The pages as a PDF file, through a save dialog that proposes the subject.
    void PdfItmClick();
    void FloskelItmClick();
    void FindItmClick();
    void FilterItmClick(TFilterField field);
    void AddToAdrItmClick();
    void ChooseRecipients(TRecipientList focused);

    TViewDialogs Dialogs;
    TViewSettings Settings;
    // Called instead of the desktop when a link is opened (tests).
    std::function<void(const QUrl&)> OpenUrl;
    // Called instead of the desktop when an attachment file is opened (tests); true when opened.
    std::function<bool(const QString& path)> OpenFile;
    // Whether the desktop has a program for a MIME type (tests). Unset: the desktop's associations
    // are asked, unless OpenFile stands in for the desktop.
    std::function<bool(const QString& mimeType)> HasHandler;

    // Shows `message` (the bytes of a message file named `name`) in a message window of its own,
    // in view mode, which keeps its own copy of the file; nullptr after a report when it cannot.
    TLmviewFrm* OpenMessageWindow(const QByteArray& message, const QString& name);

    // Components
    QToolBar* Toolbar;
    QAction* SendNowItm;
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
    QAction* PreviewItm;
    QAction* PdfItm;
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
    // Completes the entry being typed in a recipient field (To, CC or BCC).
    void CompleteRecipientIn(QLineEdit* edit, const QString& text);
    // Offers the history and address book entries that the entry being typed fits.
    void OfferRecipients(QLineEdit* edit, const QString& text);
    void InsertChosenRecipient(const QString& chosen);
    void BuildSendToMenus();
    void SendAttachmentTo(const QString& entry);

    bool MainWindowFound();
    void HandOverToMainWindow(TqmMessage& message);
    enum class TWriteResult { Declined, Written, Failed };
    // Declined when the user did not want a message without subject or recipient saved; a failed
    // write has been reported. `usedAccount`: the account whose sender the message carries.
    TWriteResult WriteComposedMessage(QString* usedAccount = nullptr);
    // Replaces address book names in To, CC and BCC by their addresses; false (reported, the field
    // focused) when an entry is neither an address nor such a name.
    bool ExpandRecipientFields();
    void ApplyChooserResult(const TAdrChooseFrm& chooser);
    int SelectedAttachment() const;
    bool ConfirmOpening(int index);
    // The bytes and the declared type of the attachment in row `index` of the list.
    QByteArray AttachmentBytes(int index, QString* declaredType = nullptr) const;
    bool DesktopCanOpen(const QString& mimeType) const;
    // The save dialog for the bytes of an attachment; failures are reported.
    void SaveAttachmentAs(const QString& name, const QByteArray& bytes);
    // Writes attachment `index` of the message into its own folder of AttachmentDirectory(), so
    // that parts of the same name never overwrite each other; empty after a report on failure.
    QString WriteAttachment(qsizetype index);
    bool OpenAttachmentFile(const QString& path);
    QString ComposedSenderText() const;

    TViewCommandLine m_commandLine;
    TqmMessage m_message;
    TViewContent m_content;
    // Edit mode: the loaded message's attachments in the work directory, with their declared types.
    QList<TWorkAttachment> m_workAttachments;
    TSenderList m_senders;
    std::unique_ptr<QTemporaryDir> m_attachmentDir;
    // Holds the message file of a window opened on a message inside another message.
    std::unique_ptr<QTemporaryDir> m_ownMessageDir;
    bool m_redirected = false;
    bool m_changed = false;
    bool m_filling = false;
    bool m_firstShow = true;
    bool m_addressBookRunning = false;
    // Per recipient field, the length of its text after the last edit or completion.
    QHash<const QLineEdit*, qsizetype> m_lastRecipientLengths;
    // History, then the address book: what the recipient fields complete from.
    QStringList m_recipientCandidates;
    QCompleter* m_recipientCompleter = nullptr;
    TPhrasesFrm* m_phrases = nullptr;
    TFindFrm* m_find = nullptr;
};

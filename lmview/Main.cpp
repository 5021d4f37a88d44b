#include "Main.h"

#include "Alert.h"
#include "Find.h"
#include "FontText.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "Phrases.h"
#include "RegistryFunctions.h"
#include "ReportBoxes.h"
#include "Reporter.h"
#include "ViewParts.h"
#include "ViewText.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int MsgWorkDirFailed = 3;
constexpr int MsgWarningCaption = 24;
constexpr int MsgLoadFailed = 16;
constexpr int MsgBlocked = 25;
constexpr int SendNowTag = 670;
constexpr int SendNowButtonTag = 671;
constexpr int PdfTag = 860;
constexpr int PreviewTag = 861;

QAction* Act(QWidget* owner, const char* name, int tag, const QString& text, const QKeySequence& key = {})
{
    auto* action = new QAction(text, owner);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(key);
    SetTag(action, tag);
    owner->addAction(action);
    return action;
}

QMenu* Menu(QMenuBar* bar, int tag, const QString& text)
{
    QMenu* menu = bar->addMenu(text);
    SetTag(menu->menuAction(), tag);
    return menu;
}

QLabel* Caption(const QString& text, int tag)
{
    auto* label = new QLabel(text);
    SetTag(label, tag);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* ValueLabel(const char* name)
{
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(name));
    // The texts come from the message: as rich text a subject could load files and draw fake
    // warnings in the header.
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setContextMenuPolicy(Qt::CustomContextMenu);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

} // namespace

THtmlView::THtmlView(QWidget* parent) : QTextBrowser(parent), Document(new TMessageDocument(this))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setDocument(Document);
}

// QTextBrowser's own loader reads local files; every caller gets the document's answer instead.
QVariant THtmlView::loadResource(int type, const QUrl& name)
{
    return Document->Resource(type, name);
}

QStringList THtmlView::AnchorTexts(const QUrl& href) const
{
    QStringList texts;
    QString current;
    const auto finish = [&] {
        if (!current.isEmpty())
            texts.append(current);
        current.clear();
    };
    for (QTextBlock block = Document->begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.isAnchor() && QUrl(format.anchorHref()) == href)
                current += fragment.fragment().text();
            else
                finish();
        }
        finish();
    }
    return texts;
}

TLmviewFrm::TLmviewFrm(const TViewCommandLine& commandLine, QWidget* parent)
    : QMainWindow(parent), m_commandLine(commandLine)
{
    setObjectName(QStringLiteral("TLmviewFrm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    Settings = LoadViewSettings(UserContext().Keys);
    Dialogs.Ask = [this](const QString& text, QMessageBox::StandardButtons buttons) {
        return ShowPlainMessageBox(QMessageBox::Question, this, QApplication::applicationDisplayName(), text, buttons);
    };
    Dialogs.ConfirmOpen = [this](const QString& text, bool offerCheckBox) {
        return Confirm(0, MessageText(MsgWarningCaption), Settings.Warnings.LVExecuteAttachment, offerCheckBox, text, this) == arYes;
    };
    Dialogs.AskSaveFile = [this](const QString& title, const QString& proposed, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, proposed, filter);
    };
    CreateActions();
    CreateMenus();
    CreateToolbar();
    CreateCentralWidget();
    StatusPanel0 = new QLabel;
    StatusPanel1 = new QLabel;
    statusBar()->addWidget(StatusPanel0, 1);
    StatusPanel1->setMinimumWidth(90);
    StatusPanel1->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(StatusPanel1);
    ConnectChangeSignals();
    FillSenderLists();
    resize(760, 560);
    TranslateFormIfEnglish(this);
}

TLmviewFrm::~TLmviewFrm() = default;

void TLmviewFrm::CreateActions()
{
    SendNowItm = Act(this, "SendNowItm", SendNowTag, QStringLiteral("So&fort senden"), QKeySequence(Qt::CTRL | Qt::Key_Return));
    // Ctrl with the keypad's Enter does the same.
    SendNowItm->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    SendLaterItm = Act(this, "SendLaterItm", 100, QStringLiteral("&Später senden"), QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAsItm = Act(this, "SaveAsItm", 101, QStringLiteral("Speichern &unter..."));
    AnswerPItm = Act(this, "AnswerPItm", 102, QStringLiteral("Nachricht &beantworten"));
    ForwardPItm = Act(this, "ForwardPItm", 103, QStringLiteral("Nachricht &weiterleiten"));
    RedirectItm = Act(this, "RedirectItm", 104, QStringLiteral("Nachricht &umleiten"));
    AttOpenItm = Act(this, "AttOpenItm", 105, QStringLiteral("Ö&ffnen"));
    AttSaveItm = Act(this, "AttSaveItm", 106, QStringLiteral("Speichern &unter..."));
    AttAddItm = Act(this, "AttAddItm", 107, QStringLiteral("&Hinzufügen..."));
    AttRemoveItm = Act(this, "AttRemoveItm", 108, QStringLiteral("&Entfernen"));
    AdrItm = Act(this, "AdrItm", 109, QStringLiteral("&Adressbuch"));
    PrintItm = Act(this, "PrintItm", 110, QStringLiteral("&Drucken..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    PreviewItm = Act(this, "PreviewItm", PreviewTag, QStringLiteral("Seiten&ansicht..."));
    PdfItm = Act(this, "PdfItm", PdfTag, QStringLiteral("Als &PDF speichern..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    PropertiesItm = Act(this, "PropertiesItm", 111, QStringLiteral("&Eigenschaften..."), QKeySequence(Qt::ALT | Qt::Key_Return));
    CloseItm = Act(this, "CloseItm", 112, QStringLiteral("Schließen"), QKeySequence(Qt::Key_Escape));
    UndoItm = Act(this, "UndoItm", 113, QStringLiteral("&Rückgängig"), QKeySequence::Undo);
    CutItm = Act(this, "CutItm", 114, QStringLiteral("&Ausschneiden"), QKeySequence::Cut);
    CopyItm = Act(this, "CopyItm", 115, QStringLiteral("&Kopieren"), QKeySequence::Copy);
    PasteItm = Act(this, "PasteItm", 116, QStringLiteral("&Einfügen"), QKeySequence::Paste);
    FloskelItm = Act(this, "FloskelItm", 117, QStringLiteral("&Floskel einfügen..."), QKeySequence(Qt::CTRL | Qt::Key_Y));
    FindItm = Act(this, "FindItm", 118, QStringLiteral("&Suchen..."), QKeySequence::Find);
    SelectAllItm = Act(this, "SelectAllItm", 119, QStringLiteral("Alles &markieren"), QKeySequence::SelectAll);
    WordWrapItm = Act(this, "WordWrapItm", 120, QStringLiteral("&Zeilenumbruch"));
    HtmlItm = Act(this, "HtmlItm", 121, QStringLiteral("&HTML-Darstellung"));
    SourceItm = Act(this, "SourceItm", 122, QStringLiteral("&Quelltext"), QKeySequence(Qt::Key_F5));
    FilterSenderItm = Act(this, "FilterSenderItm", 123, QStringLiteral("&Absender"));
    FilterRecipientItm = Act(this, "FilterRecipientItm", 124, QStringLiteral("&Empfänger"));
    FilterSubjectItm = Act(this, "FilterSubjectItm", 125, QStringLiteral("&Betreff"));
    AddToAdrItm = Act(this, "AddToAdrItm", 126, QStringLiteral("&Absender in Adressbuch übernehmen"));
    HelpItm = Act(this, "HelpItm", 127, QStringLiteral("&Inhalt"), QKeySequence::HelpContents);
    InfoItm = Act(this, "InfoItm", 128, QStringLiteral("Inf&o"));
    WordWrapItm->setCheckable(true);
    WordWrapItm->setChecked(true);
    HtmlItm->setCheckable(true);
    const QList<std::pair<QAction*, QStyle::StandardPixmap>> icons{
        {SendLaterItm, QStyle::SP_DialogSaveButton}, {AnswerPItm, QStyle::SP_ArrowBack},
        {ForwardPItm, QStyle::SP_ArrowForward}, {PrintItm, QStyle::SP_FileDialogDetailedView},
        {AttAddItm, QStyle::SP_FileIcon}, {FloskelItm, QStyle::SP_FileDialogContentsView},
        {PropertiesItm, QStyle::SP_FileDialogInfoView}, {SourceItm, QStyle::SP_FileDialogListView},
        {AdrItm, QStyle::SP_DirHomeIcon}, {InfoItm, QStyle::SP_MessageBoxInformation}};
    for (const auto& [action, pixmap] : icons)
        action->setIcon(style()->standardIcon(pixmap));
    SendNowItm->setIcon(QIcon::fromTheme(QStringLiteral("mail-send"), style()->standardIcon(QStyle::SP_CommandLink)));
}

void TLmviewFrm::CreateMenus()
{
    QMenu* file = Menu(menuBar(), 130, QStringLiteral("&Datei"));
    file->addActions({SendNowItm, SendLaterItm, SaveAsItm});
    file->addSeparator();
    file->addActions({AnswerPItm, ForwardPItm, RedirectItm});
    file->addSeparator();
    QMenu* attachment = file->addMenu(QStringLiteral("An&hang"));
    SetTag(attachment->menuAction(), 131);
    attachment->addActions({AttOpenItm, AttSaveItm});
    AttSendToMnu = attachment->addMenu(QStringLiteral("&Senden an"));
    SetTag(AttSendToMnu->menuAction(), 132);
    attachment->addActions({AttAddItm, AttRemoveItm});
    file->addActions({AdrItm, PrintItm, PreviewItm, PdfItm, PropertiesItm});
    file->addSeparator();
    file->addAction(CloseItm);
    QMenu* edit = Menu(menuBar(), 133, QStringLiteral("&Bearbeiten"));
    edit->addActions({UndoItm});
    edit->addSeparator();
    edit->addActions({CutItm, CopyItm, PasteItm, FloskelItm});
    edit->addSeparator();
    edit->addActions({FindItm, SelectAllItm});
    QMenu* view = Menu(menuBar(), 134, QStringLiteral("&Ansicht"));
    view->addActions({WordWrapItm, HtmlItm, SourceItm});
    QMenu* extras = Menu(menuBar(), 135, QStringLiteral("E&xtras"));
    QMenu* filter = extras->addMenu(QStringLiteral("In &Eingangsfilter übernehmen"));
    SetTag(filter->menuAction(), 136);
    filter->addActions({FilterSenderItm, FilterRecipientItm, FilterSubjectItm});
    extras->addAction(AddToAdrItm);
    QMenu* help = Menu(menuBar(), 137, QStringLiteral("&Hilfe"));
    help->addActions({HelpItm, InfoItm});
    AttPop = new QMenu(this);
    AttPop->addActions({AttOpenItm, AttSaveItm});
    AttSendToPop = AttPop->addMenu(QStringLiteral("&Senden an"));
    SetTag(AttSendToPop->menuAction(), 132);
    AttPop->addActions({AttAddItm, AttRemoveItm});
}

void TLmviewFrm::CreateToolbar()
{
    Toolbar = addToolBar(QStringLiteral("Toolbar"));
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setMovable(false);
    Toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar->setIconSize(QSize(20, 20));
    const QList<std::pair<QAction*, const char*>> buttons{
        {SendLaterItm, "SendLaterSpd"}, {AnswerPItm, "AnswerSpd"}, {ForwardPItm, "ForwardSpd"},
        {PrintItm, "PrintSpd"}, {AttAddItm, "AttachInsertSpd"}, {FloskelItm, "FloskelnSpd"},
        {PropertiesItm, "PropertiesSpd"}, {SourceItm, "SourceSpd"}, {AdrItm, "AdrSpd"}, {InfoItm, "InfoSpd"}};
    const QStringList texts{QStringLiteral("Später senden"), QStringLiteral("Antworten"), QStringLiteral("Weiterleiten"),
                            QStringLiteral("Drucken"), QStringLiteral("Anhang"), QStringLiteral("Floskel"),
                            QStringLiteral("Eigenschaften"), QStringLiteral("Quelltext"), QStringLiteral("Adressen"),
                            QStringLiteral("Info")};
    const auto addButton = [this](QAction* action, const char* name, const QString& text, int tag) {
        auto* proxy = new QAction(action->icon(), text, Toolbar);
        proxy->setObjectName(QLatin1String(name));
        SetTag(proxy, tag);
        connect(proxy, &QAction::triggered, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, proxy, &QAction::setEnabled);
        Toolbar->addAction(proxy);
    };
    addButton(SendNowItm, "SendNowSpd", QStringLiteral("Sofort senden"), SendNowButtonTag);
    for (int i = 0; i < buttons.size(); ++i)
        addButton(buttons.at(i).first, buttons.at(i).second, texts.at(i), 140 + i);
}

QWidget* TLmviewFrm::CreateHeaderPanel()
{
    HeaderPanel = new QWidget;
    HeaderPanel->setObjectName(QStringLiteral("HeaderPanel"));
    FromLbl = ValueLabel("FromLbl");
    ToLbl = ValueLabel("ToLbl");
    CCLbl = ValueLabel("CCLbl");
    SubjectLbl = ValueLabel("SubjectLbl");
    DateLbl = ValueLabel("DateLbl");
    DateLbl->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    CCCaptionLbl = Caption(QStringLiteral("CC:"), 152);
    auto* grid = new QGridLayout(HeaderPanel);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    grid->addWidget(Caption(QStringLiteral("Von:"), 150), 0, 0);
    grid->addWidget(FromLbl, 0, 1);
    grid->addWidget(Caption(QStringLiteral("Datum:"), 154), 0, 2);
    grid->addWidget(DateLbl, 0, 3);
    grid->addWidget(Caption(QStringLiteral("An:"), 151), 1, 0);
    grid->addWidget(ToLbl, 1, 1, 1, 3);
    grid->addWidget(CCCaptionLbl, 2, 0);
    grid->addWidget(CCLbl, 2, 1, 1, 3);
    grid->addWidget(Caption(QStringLiteral("Betreff:"), 153), 3, 0);
    grid->addWidget(SubjectLbl, 3, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    for (QLabel* label : {FromLbl, ToLbl, CCLbl, SubjectLbl, DateLbl}) {
        connect(label, &QLabel::customContextMenuRequested, this, [this, label](const QPoint& at) {
            QMenu menu;
            QAction* copy = menu.addAction(IsEnglish() ? QStringLiteral("Copy to clipboard") : QStringLiteral("Ins Clipboard kopieren"));
            copy->setObjectName(QStringLiteral("ClipboardPItm"));
            if (menu.exec(label->mapToGlobal(at)) == copy)
                QApplication::clipboard()->setText(label->text());
        });
    }
    return HeaderPanel;
}

QWidget* TLmviewFrm::CreateSmtpPanel()
{
    SmtpPanel = new QWidget;
    SmtpPanel->setObjectName(QStringLiteral("SmtpPanel"));
    SmtpSubjectEdt = new QLineEdit;
    SmtpSubjectEdt->setMaxLength(255);
    OurEmailCmb = new QComboBox;
    AccountNamesCmb = new QComboBox;
    AccountNamesCmb->setVisible(false);
    ToBtn = new QPushButton(QStringLiteral("&An:"));
    SetTag(ToBtn, 160);
    SmtpToEdt = new QComboBox;
    SmtpToEdt->setEditable(true);
    SmtpToEdt->setInsertPolicy(QComboBox::NoInsert);
    CCBtn = new QPushButton(QStringLiteral("&CC:"));
    SetTag(CCBtn, 161);
    SmtpCCEdt = new QLineEdit;
    BCCBtn = new QPushButton(QStringLiteral("&BCC:"));
    SetTag(BCCBtn, 162);
    SmtpBCCEdt = new QLineEdit;
    SmtpHoldChk = new QCheckBox(QStringLiteral("Nachricht &zurückhalten"));
    SetTag(SmtpHoldChk, 163);
    SmtpReceiptChk = new QCheckBox(QStringLiteral("Empfangsbestätigung vom &Server anfordern"));
    SetTag(SmtpReceiptChk, 164);
    SmtpDispositionChk = new QCheckBox(QStringLiteral("Empfangsbestätigung vom &Benutzer anfordern"));
    SetTag(SmtpDispositionChk, 165);
    SmtpRedirectChk = new QCheckBox;
    SmtpRedirectChk->setEnabled(false);

    auto* recipients = new QWidget;
    auto* recipientsLayout = new QGridLayout(recipients);
    auto* senderLbl = new QLabel(QStringLiteral("Ab&sender:"));
    senderLbl->setBuddy(OurEmailCmb);
    SetTag(senderLbl, 166);
    recipientsLayout->addWidget(senderLbl, 0, 0);
    recipientsLayout->addWidget(OurEmailCmb, 0, 1);
    recipientsLayout->addWidget(AccountNamesCmb, 0, 2);
    recipientsLayout->addWidget(ToBtn, 1, 0);
    recipientsLayout->addWidget(SmtpToEdt, 1, 1, 1, 2);
    recipientsLayout->setColumnStretch(1, 1);
    auto* copies = new QWidget;
    auto* copiesLayout = new QGridLayout(copies);
    copiesLayout->addWidget(CCBtn, 0, 0);
    copiesLayout->addWidget(SmtpCCEdt, 0, 1);
    copiesLayout->addWidget(BCCBtn, 1, 0);
    copiesLayout->addWidget(SmtpBCCEdt, 1, 1);
    auto* options = new QWidget;
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->setSpacing(2);
    for (QCheckBox* box : {SmtpHoldChk, SmtpReceiptChk, SmtpDispositionChk, SmtpRedirectChk})
        optionsLayout->addWidget(box);
    SetTag(recipients, 168);
    SetTag(copies, 169);
    SetTag(options, 175);
    SmtpPages = new QTabWidget;
    SmtpPages->addTab(recipients, QStringLiteral("Empfänger"));
    SmtpPages->addTab(copies, QStringLiteral("Kopien"));
    SmtpPages->addTab(options, QStringLiteral("Optionen"));
    SmtpPages->setMaximumHeight(SmtpPages->sizeHint().height());

    auto* layout = new QGridLayout(SmtpPanel);
    layout->setContentsMargins(4, 4, 4, 0);
    auto* subjectLbl = new QLabel(QStringLiteral("Be&treff:"));
    subjectLbl->setBuddy(SmtpSubjectEdt);
    SetTag(subjectLbl, 167);
    layout->addWidget(SmtpPages, 0, 0, 1, 2);
    layout->addWidget(subjectLbl, 1, 0);
    layout->addWidget(SmtpSubjectEdt, 1, 1);
    return SmtpPanel;
}

void TLmviewFrm::CreateCentralWidget()
{
    AttachLv = new QListWidget;
    AttachLv->setObjectName(QStringLiteral("AttachLv"));
    AttachLv->setViewMode(QListView::ListMode);
    AttachLv->setFlow(QListView::LeftToRight);
    AttachLv->setWrapping(true);
    AttachLv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    AttachLv->setContextMenuPolicy(Qt::CustomContextMenu);
    AttachLv->setMaximumHeight(48);
    BodyMem = new QTextBrowser;
    BodyMem->setObjectName(QStringLiteral("BodyMem"));
    BodyMem->setOpenLinks(false);
    BodyMem->setUndoRedoEnabled(true);
    // Pasted or dropped HTML would load its images from the file system.
    BodyMem->setAcceptRichText(false);
    Html = new THtmlView;
    Html->setObjectName(QStringLiteral("Html"));
    BlockedLbl = new QLabel(MessageText(MsgBlocked));
    BlockedLbl->setStyleSheet(QStringLiteral("background: #ffffcc; padding: 3px;"));
    BlockedLbl->setVisible(false);
    Html->Document->OnBlocked = [this] { BlockedLbl->setVisible(true); };
    HtmlPanel = new QWidget;
    HtmlPanel->setObjectName(QStringLiteral("HtmlPanel"));
    auto* htmlLayout = new QVBoxLayout(HtmlPanel);
    htmlLayout->setContentsMargins(0, 0, 0, 0);
    htmlLayout->setSpacing(0);
    htmlLayout->addWidget(BlockedLbl);
    htmlLayout->addWidget(Html);
    HtmlPanel->setVisible(false);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(CreateHeaderPanel());
    layout->addWidget(CreateSmtpPanel());
    layout->addWidget(AttachLv);
    layout->addWidget(BodyMem, 1);
    layout->addWidget(HtmlPanel, 1);
    setCentralWidget(central);
}

bool TLmviewFrm::LoadMessage()
{
    QString error;
    if (!LoadViewMessage(m_commandLine, m_message, error)) {
        Report(MsgLoadFailed, TMessageKind::Error, error);
        return false;
    }
    // The stored default names a font of another desktop: it stands for this desktop's own.
    if (Settings.Display.MailFont != DefaultMailFont) {
        TFontSpec font;
        TextToFont(Settings.Display.MailFont, font);
        BodyMem->setFont(font.Font);
    }
    FillWindow();
    return true;
}

void TLmviewFrm::FillWindow()
{
    m_filling = true;
    const bool edit = m_commandLine.EditMode;
    m_redirected = IsRedirected(m_message);
    HeaderPanel->setVisible(!edit);
    SmtpPanel->setVisible(edit);
    // The tool bar shows the buttons of its mode only, so that all of them fit.
    for (const char* name : {"SendNowSpd", "SendLaterSpd"})
        Toolbar->findChild<QAction*>(QLatin1String(name))->setVisible(edit);
    for (const char* name : {"AnswerSpd", "ForwardSpd"})
        Toolbar->findChild<QAction*>(QLatin1String(name))->setVisible(!edit);
    BodyMem->setReadOnly(!edit || m_redirected);
    OurEmailCmb->setEnabled(!m_redirected);
    SmtpSubjectEdt->setEnabled(!m_redirected);
    if (!edit)
        m_content = PrepareViewContent(m_message);
    BodyMem->setPlainText(edit ? BodyText(m_message) : ViewText(m_message, m_content));
    if (edit)
        FillComposePanel();
    else
        FillViewHeader();
    BodyMem->moveCursor(QTextCursor::Start);
    FillAttachmentList();
    if (!edit && m_content.Html && Settings.Display.HtmlViewing)
        ShowHtml(true);
    BodyMem->document()->setModified(false);
    m_filling = false;
    m_changed = false;
    RefreshCommandStates();
}

void TLmviewFrm::RefreshCommandStates()
{
    const TViewCommandStates states = ComputeViewCommandStates(m_commandLine.EditMode, m_changed, m_redirected,
                                                               SelectedAttachment() >= 0, m_content.Html,
                                                               SmtpHoldChk->isChecked());
    SendLaterItm->setEnabled(states.SendLater);
    SendNowItm->setEnabled(states.SendNow);
    for (QAction* action : {AnswerPItm, ForwardPItm, RedirectItm, FilterSenderItm, FilterRecipientItm,
                            FilterSubjectItm, AddToAdrItm})
        action->setEnabled(states.Answer);
    for (QAction* action : {FloskelItm, AttAddItm, PasteItm, CutItm, UndoItm})
        action->setEnabled(states.Compose);
    for (QWidget* widget : {static_cast<QWidget*>(ToBtn), static_cast<QWidget*>(CCBtn), static_cast<QWidget*>(BCCBtn)})
        widget->setEnabled(states.Compose);
    AttRemoveItm->setEnabled(states.RemoveAttachment);
    AttOpenItm->setEnabled(states.AttachmentOpen);
    AttSaveItm->setEnabled(states.AttachmentOpen && !m_commandLine.EditMode);
    AttSendToMnu->setEnabled(states.AttachmentOpen);
    AttSendToPop->setEnabled(states.AttachmentOpen);
    HtmlItm->setEnabled(states.HtmlView);
}

void TLmviewFrm::MarkChanged()
{
    if (m_filling || !m_commandLine.EditMode)
        return;
    m_changed = true;
    RefreshCommandStates();
}

int TLmviewFrm::SelectedAttachment() const
{
    const QListWidgetItem* item = AttachLv->currentItem();
    return item && item->isSelected() ? AttachLv->row(item) : -1;
}

void TLmviewFrm::UpdateCaretPanel()
{
    const QTextCursor cursor = BodyMem->textCursor();
    StatusPanel1->setText(QStringLiteral("%1:%2").arg(cursor.positionInBlock() + 1).arg(cursor.blockNumber() + 1));
}

void TLmviewFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
    BuildSendToMenus();
    if (!m_commandLine.EditMode)
        (HtmlPanel->isVisible() ? static_cast<QWidget*>(Html) : static_cast<QWidget*>(BodyMem))->setFocus();
    else if (SmtpToEdt->currentText().isEmpty())
        SmtpToEdt->setFocus();
    else
        BodyMem->setFocus();
    const bool allEmpty = SmtpSubjectEdt->text().isEmpty() && SmtpToEdt->currentText().isEmpty()
        && SmtpCCEdt->text().isEmpty() && SmtpBCCEdt->text().isEmpty();
    if (m_commandLine.EditMode && Settings.General.AutoChooseRecipient && allEmpty)
        QMetaObject::invokeMethod(this, [this] { ChooseRecipients(TRecipientList{}); }, Qt::QueuedConnection);
}

void TLmviewFrm::closeEvent(QCloseEvent* event)
{
    if (m_changed && SendLaterItm->isEnabled()) {
        const QMessageBox::StandardButton answer = Dialogs.Ask(
            MessageText(4), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Yes && WriteComposedMessage() == TWriteResult::Declined) {
            event->ignore();
            return;
        }
    }
    if (m_phrases)
        m_phrases->close();
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    SaveViewSettings(UserContext().Keys, Settings);
    event->accept();
    // Opened and saved parts live only as long as the window that wrote them.
    m_attachmentDir.reset();
}

QString TLmviewFrm::AttachmentDirectory()
{
    if (!m_attachmentDir) {
        const QString base = Paths().System.TempDir.isEmpty() ? QDir::tempPath() : Paths().System.TempDir;
        auto directory = std::make_unique<QTemporaryDir>(QDir(base).filePath(QStringLiteral("lmview-XXXXXX")));
        if (!directory->isValid()) {
            Report(MsgWorkDirFailed, TMessageKind::Warning);
            return {};
        }
        m_attachmentDir = std::move(directory);
    }
    return m_attachmentDir->path();
}

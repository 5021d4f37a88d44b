#include "Settings.h"

#include "DialogButtons.h"
#include "FontText.h"
#include "FormTranslation.h"
#include "ShellFunctions.h"
#include "SoundPlayer.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int MsgRestartNeeded = 55;
constexpr int MsgConfirmChange = 61;
constexpr int MsgRegistered = 62;
constexpr int MsgNotRegistered = 63;
constexpr int MsgSettingInvoked = 64;
constexpr int MsgChooseSound = 180;
constexpr int MsgSoundFilter = 181;
constexpr int MsgNoAudioDevice = 182;
constexpr int MsgSoundUnplayable = 183;
constexpr int MsgCommandMissing = 184;
constexpr int MsgRegistrationFailed = 185;
constexpr int MsgDefaultFont = 186;
constexpr int MsgFileNotFound = 502;
// Help topics of the pages, in page order.
constexpr int FirstPageHelpContext = HelpContext::SettingsGeneral;

enum Tags {
    FormTag = 100, GeneralTag, SendTag, ReceiveTag, MaintenanceTag, AdvancedTag, FolderChooserTag, ShowTreeviewTag,
    ShowComboboxTag, CharsetTag, MessageWindowTag, FontTag, StandardFontTag, HighlightUrlsTag, HighlightQuotingTag,
    HtmlViewingTag, MoreTag, UsersTag, PhrasesTag, FilterTag, ColumnsTag, FormatTag, EncodingMimeTag, EncodingUUTag,
    LogWarningTag, StandardTag, ComposingTag, QuoteMailsTag, AutoChooseRecipientTag, AutoSignatureTag,
    AutoRequestReceiptTag, SoundsTag, SoundNewMailTag, SoundNoMailTag, TestTag, TrashTag, EmptyTrashTag, WarningsTag,
    WarningsTextTag, WarningsStandardTag, LogfileTag, LogActiveTag, SystemTag, MailclientTag, MailclientBtnTag,
    EmlTag, EmlBtnTag, HelpTag = 170
};

template <typename Widget>
Widget* Tagged(Widget* widget, const char* name, int tag)
{
    widget->setObjectName(QLatin1String(name));
    SetTag(widget, tag);
    return widget;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, int tag, const QString& caption)
{
    return Tagged(new QCheckBox(caption, parent), name, tag);
}

QGroupBox* Group(QWidget* parent, int tag, const QString& caption)
{
    auto* group = new QGroupBox(caption, parent);
    SetTag(group, tag);
    return group;
}

QWidget* Page(QTabWidget* tabs, int tag, const QString& caption)
{
    auto* page = new QWidget(tabs);
    tabs->addTab(page, caption);
    SetTag(page, tag);
    return page;
}

// Buttons in a row from the left, the rest of the row empty.
QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    for (QWidget* button : buttons)
        row->addWidget(button);
    row->addStretch();
    return row;
}

void SetChecked(QAbstractButton* button, bool checked)
{
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

std::optional<QString> SoundFileDialog(QWidget* parent, const QString& start)
{
    const QString file = QFileDialog::getOpenFileName(parent, MessageText(MsgChooseSound), start, MessageText(MsgSoundFilter));
    return file.isEmpty() ? std::nullopt : std::optional<QString>(file);
}

std::optional<QFont> FontDialog(QWidget* parent, const QFont& current)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current, parent);
    return ok ? std::optional<QFont>(font) : std::nullopt;
}

} // namespace

TSettingsFrm::TSettingsFrm(QWidget* parent)
    : QDialog(parent), Registration(CurrentRegistrationPaths()), m_newMailPlayer(new TSoundPlayer(this)),
      m_noMailPlayer(new TSoundPlayer(this))
{
    setObjectName(QStringLiteral("SettingsFrm"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    SetTag(this, FormTag);
    Dialogs.AskOkCancel = [this](const QString& text) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    Dialogs.Inform = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Information, this, windowTitle(), text); };
    Dialogs.Warn = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Warning, this, windowTitle(), text); };
    Dialogs.ChooseSoundFile = [this](const QString& start) { return SoundFileDialog(this, start); };
    Dialogs.ChooseFont = [this](const QFont& current) { return FontDialog(this, current); };

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    CreateGeneralPage();
    CreateSendPage();
    CreateReceivePage();
    CreateMaintenancePage();
    CreateAdvancedPage();

    HelpBtn = TaggedButton(this, "HelpBtn", HelpTag, QStringLiteral("&Hilfe"));
    const TDialogButtons buttons = CreateDialogButtons(this, {HelpBtn});
    OKBtn = buttons.OK;
    CancelBtn = buttons.Cancel;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addLayout(buttons.Row);

    ConnectControls();
    TranslateFormIfEnglish(this);
}

QWidget* TSettingsFrm::CreateGeneralPage()
{
    QWidget* page = Page(PageControl, GeneralTag, QStringLiteral("Allgemein"));
    QGroupBox* folders = Group(page, FolderChooserTag, QStringLiteral("Ordnerauswahl im Hauptfenster"));
    ShowTreeviewChk = CheckBox(folders, "ShowTreeviewChk", ShowTreeviewTag, QStringLiteral("&Links neben der Nachrichtenliste"));
    ShowComboboxChk = CheckBox(folders, "ShowComboboxChk", ShowComboboxTag, QStringLiteral("Ü&ber der Nachrichtenliste"));
    auto* foldersLayout = new QVBoxLayout(folders);
    foldersLayout->addWidget(ShowTreeviewChk);
    foldersLayout->addWidget(ShowComboboxChk);

    QGroupBox* window = Group(page, MessageWindowTag, QStringLiteral("Nachrichtenfenster"));
    FontBtn = TaggedButton(window, "FontBtn", FontTag, QStringLiteral("&Schriftart..."));
    StandardFontBtn = TaggedButton(window, "StandardFontBtn", StandardFontTag, QStringLiteral("S&tandard"));
    FontDisplayLbl = new QLabel(window);
    FontDisplayLbl->setObjectName(QStringLiteral("FontDisplayLbl"));
    FontDisplayLbl->setFrameShape(QFrame::StyledPanel);
    FontDisplayLbl->setMinimumHeight(36);
    HighlightUrlsChk = CheckBox(window, "HighlightUrlsChk", HighlightUrlsTag, QStringLiteral("&URLs hervorheben"));
    HighlightQuotingChk = CheckBox(window, "HighlightQuotingChk", HighlightQuotingTag, QStringLiteral("&Zitate farbig darstellen"));
    HtmlViewingChk = CheckBox(window, "HtmlViewingChk", HtmlViewingTag, QStringLiteral("&HTML automatisch anzeigen"));
    auto* windowLayout = new QVBoxLayout(window);
    windowLayout->addWidget(FontDisplayLbl);
    windowLayout->addLayout(ButtonRow({FontBtn, StandardFontBtn}));
    windowLayout->addWidget(HighlightUrlsChk);
    windowLayout->addWidget(HighlightQuotingChk);
    windowLayout->addWidget(HtmlViewingChk);

    QGroupBox* more = Group(page, MoreTag, QStringLiteral("Weitere Einstellungen"));
    UsersBtn = TaggedButton(more, "UsersBtn", UsersTag, QStringLiteral("Be&nutzer..."));
    PhrasesBtn = TaggedButton(more, "PhrasesBtn", PhrasesTag, QStringLiteral("&Textbausteine..."));
    FilterBtn = TaggedButton(more, "FilterBtn", FilterTag, QStringLiteral("&Filter..."));
    ColumnsBtn = TaggedButton(more, "ColumnsBtn", ColumnsTag, QStringLiteral("S&palten..."));
    auto* moreLayout = new QHBoxLayout(more);
    for (QPushButton* button : {UsersBtn, PhrasesBtn, FilterBtn, ColumnsBtn})
        moreLayout->addWidget(button);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(folders);
    layout->addWidget(window);
    layout->addWidget(more);
    layout->addStretch();
    return page;
}

QWidget* TSettingsFrm::CreateSendPage()
{
    QWidget* page = Page(PageControl, SendTag, QStringLiteral("Senden"));
    QGroupBox* format = Group(page, FormatTag, QStringLiteral("Nachrichtenformat"));
    EncodingMimeChk = Tagged(new QRadioButton(QStringLiteral("&MIME/Base64"), format), "EncodingMimeChk", EncodingMimeTag);
    EncodingUUChk = Tagged(new QRadioButton(QStringLiteral("&UUEncode"), format), "EncodingUUChk", EncodingUUTag);
    auto* encodings = new QButtonGroup(format);
    encodings->addButton(EncodingMimeChk);
    encodings->addButton(EncodingUUChk);
    CharsetCmb = Tagged(new QComboBox(format), "CharsetCmb", CharsetTag);
    CharsetCmb->addItems({QStringLiteral("keine"), QStringLiteral("Quoted Printable"), QStringLiteral("Base64")});
    StandardBtn = TaggedButton(format, "StandardBtn", StandardTag, QStringLiteral("&Standard"));
    auto* formatLayout = new QGridLayout(format);
    formatLayout->addWidget(EncodingMimeChk, 0, 0);
    formatLayout->addWidget(CharsetCmb, 0, 1);
    formatLayout->addWidget(EncodingUUChk, 1, 0);
    formatLayout->addLayout(ButtonRow({StandardBtn}), 2, 0, 1, 2);
    formatLayout->setColumnStretch(2, 1);

    QGroupBox* composing = Group(page, ComposingTag, QStringLiteral("Verfassen"));
    QuoteMailsChk = CheckBox(composing, "QuoteMailsChk", QuoteMailsTag, QStringLiteral("Beim Antworten den Originaltext &zitieren"));
    AutoChooseRecipientChk = CheckBox(composing, "AutoChooseRecipientChk", AutoChooseRecipientTag,
                                      QStringLiteral("&Empfängerauswahl bei neuen Nachrichten öffnen"));
    AutoSignatureChk = CheckBox(composing, "AutoSignatureChk", AutoSignatureTag, QStringLiteral("S&ignatur anfügen:"));
    SignatureCmb = new QComboBox(composing);
    SignatureCmb->setObjectName(QStringLiteral("SignatureCmb"));
    SignatureCmb->setMinimumContentsLength(20);
    AutoRequestReceiptChk = CheckBox(composing, "AutoRequestReceiptChk", AutoRequestReceiptTag,
                                     QStringLiteral("Immer &Lesebestätigung anfordern"));
    auto* signatureRow = new QHBoxLayout;
    signatureRow->addWidget(AutoSignatureChk);
    signatureRow->addWidget(SignatureCmb);
    signatureRow->addStretch();
    auto* composingLayout = new QVBoxLayout(composing);
    composingLayout->addWidget(QuoteMailsChk);
    composingLayout->addWidget(AutoChooseRecipientChk);
    composingLayout->addLayout(signatureRow);
    composingLayout->addWidget(AutoRequestReceiptChk);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(format);
    layout->addWidget(composing);
    layout->addStretch();
    return page;
}

void TSettingsFrm::CreateSoundRow(QGridLayout* grid, int row, QCheckBox*& check, QLineEdit*& panel,
                                  QPushButton*& browse, QPushButton*& test)
{
    QWidget* parent = grid->parentWidget();
    panel = new QLineEdit(parent);
    panel->setReadOnly(true);
    panel->setMinimumWidth(260);
    panel->installEventFilter(this);
    browse = new QPushButton(QStringLiteral("..."), parent);
    browse->setFixedWidth(32);
    test = Tagged(new QPushButton(QStringLiteral("Testen"), parent), "", TestTag);
    grid->addWidget(check, row, 0, 1, 3);
    grid->addWidget(panel, row + 1, 0);
    grid->addWidget(browse, row + 1, 1);
    grid->addWidget(test, row + 1, 2);
}

QWidget* TSettingsFrm::CreateReceivePage()
{
    QWidget* page = Page(PageControl, ReceiveTag, QStringLiteral("Empfangen"));
    QGroupBox* sounds = Group(page, SoundsTag, QStringLiteral("Klänge"));
    auto* grid = new QGridLayout(sounds);
    SoundNewMailChk = CheckBox(sounds, "SoundNewMailChk", SoundNewMailTag, QStringLiteral("Klang bei &neuen Nachrichten:"));
    CreateSoundRow(grid, 0, SoundNewMailChk, SoundNewMailPan, SoundNewMailBtn, SoundNewMailTestBtn);
    SoundNoMailChk = CheckBox(sounds, "SoundNoMailChk", SoundNoMailTag, QStringLiteral("Klang, wenn &keine neuen Nachrichten da sind:"));
    CreateSoundRow(grid, 2, SoundNoMailChk, SoundNoMailPan, SoundNoMailBtn, SoundNoMailTestBtn);
    grid->setColumnStretch(0, 1);
    SoundNewMailPan->setObjectName(QStringLiteral("SoundNewMailPan"));
    SoundNewMailBtn->setObjectName(QStringLiteral("SoundNewMailBtn"));
    SoundNewMailTestBtn->setObjectName(QStringLiteral("SoundNewMailTestBtn"));
    SoundNoMailPan->setObjectName(QStringLiteral("SoundNoMailPan"));
    SoundNoMailBtn->setObjectName(QStringLiteral("SoundNoMailBtn"));
    SoundNoMailTestBtn->setObjectName(QStringLiteral("SoundNoMailTestBtn"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sounds);
    layout->addStretch();
    return page;
}

QWidget* TSettingsFrm::CreateMaintenancePage()
{
    QWidget* page = Page(PageControl, MaintenanceTag, QStringLiteral("Wartung"));
    QGroupBox* trash = Group(page, TrashTag, QStringLiteral("Papierkorb"));
    EmptyTrashChk = CheckBox(trash, "EmptyTrashChk", EmptyTrashTag, QStringLiteral("Papierkorb beim &Beenden leeren"));
    auto* trashLayout = new QVBoxLayout(trash);
    trashLayout->addWidget(EmptyTrashChk);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(trash);
    layout->addStretch();
    return page;
}

QWidget* TSettingsFrm::CreateAdvancedPage()
{
    QWidget* page = Page(PageControl, AdvancedTag, QStringLiteral("Erweitert"));
    QGroupBox* warnings = Group(page, WarningsTag, QStringLiteral("Warnungen"));
    auto* warningsText = Tagged(new QLabel(QStringLiteral("Alle abgeschalteten Warnungen und Rückfragen wieder anzeigen:"), warnings),
                                "", WarningsTextTag);
    warningsText->setWordWrap(true);
    WarningsStandardBtn = TaggedButton(warnings, "WarningsStandardBtn", WarningsStandardTag, QStringLiteral("&Standard..."));
    auto* warningsLayout = new QVBoxLayout(warnings);
    warningsLayout->addWidget(warningsText);
    warningsLayout->addLayout(ButtonRow({WarningsStandardBtn}));

    QGroupBox* logfile = Group(page, LogfileTag, QStringLiteral("Logdatei"));
    LogActiveChk = CheckBox(logfile, "LogActiveChk", LogActiveTag, QStringLiteral("Transaktionen in LOGFILE.TXT &protokollieren"));
    LogWarningLbl = Tagged(new QLabel(logfile), "LogWarningLbl", LogWarningTag);
    LogWarningLbl->setText(QStringLiteral("Achtung: Die Logdatei enthält den vollständigen Dialog mit den Mailservern, "
                                          "auch Adressen und Nachrichtentexte (Passwörter werden unkenntlich gemacht). "
                                          "Schalten Sie die Protokollierung nur zur Fehlersuche ein."));
    LogWarningLbl->setWordWrap(true);
    auto* logLayout = new QVBoxLayout(logfile);
    logLayout->addWidget(LogActiveChk);
    logLayout->addWidget(LogWarningLbl);

    QGroupBox* system = Group(page, SystemTag, QStringLiteral("System"));
    auto* mailclientText = Tagged(new QLabel(QStringLiteral("Als Standard-Mailprogramm (mailto:-Links):"), system), "", MailclientTag);
    MailclientBtn = TaggedButton(system, "MailclientBtn", MailclientBtnTag, QStringLiteral("&Einrichten..."));
    MailclientStatusLbl = new QLabel(system);
    MailclientStatusLbl->setObjectName(QStringLiteral("MailclientStatusLbl"));
    auto* emlText = Tagged(new QLabel(QStringLiteral("Für Nachrichtendateien (.eml):"), system), "", EmlTag);
    EmlBtn = TaggedButton(system, "EmlBtn", EmlBtnTag, QStringLiteral("E&inrichten..."));
    EmlStatusLbl = new QLabel(system);
    EmlStatusLbl->setObjectName(QStringLiteral("EmlStatusLbl"));
    auto* systemLayout = new QGridLayout(system);
    systemLayout->addWidget(mailclientText, 0, 0);
    systemLayout->addWidget(MailclientBtn, 0, 1);
    systemLayout->addWidget(MailclientStatusLbl, 0, 2);
    systemLayout->addWidget(emlText, 1, 0);
    systemLayout->addWidget(EmlBtn, 1, 1);
    systemLayout->addWidget(EmlStatusLbl, 1, 2);
    systemLayout->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(warnings);
    layout->addWidget(logfile);
    layout->addWidget(system);
    layout->addStretch();
    return page;
}

void TSettingsFrm::ConnectControls()
{
    ConnectGeneralPage();
    ConnectSendPage();
    ConnectSoundRow(SoundNewMailChk, SoundNewMailBtn, SoundNewMailTestBtn,
                    &TGeneralSettings::PlaySoundNewMail, &TGeneralSettings::SoundNewMail, m_newMailPlayer);
    ConnectSoundRow(SoundNoMailChk, SoundNoMailBtn, SoundNoMailTestBtn,
                    &TGeneralSettings::PlaySoundNoMail, &TGeneralSettings::SoundNoMail, m_noMailPlayer);
    connect(EmptyTrashChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.EmptyTrash = on; });
    connect(WarningsStandardBtn, &QPushButton::clicked, this, &TSettingsFrm::WarningsStandardBtnClick);
    connect(LogActiveChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.LogActive = on; });
    connect(MailclientBtn, &QPushButton::clicked, this, [this] { RegisterBtnClick(TRegistration::MailClient); });
    connect(EmlBtn, &QPushButton::clicked, this, [this] { RegisterBtnClick(TRegistration::EmlFiles); });
    connect(HelpBtn, &QPushButton::clicked, this, &TSettingsFrm::HelpBtnClick);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &TSettingsFrm::HelpBtnClick);
}

void TSettingsFrm::ConnectGeneralPage()
{
    connect(ShowTreeviewChk, &QCheckBox::toggled, this,
            [this](bool on) { Change(on ? TSettingsEvent::TreeviewTicked : TSettingsEvent::TreeviewUnticked); });
    connect(ShowComboboxChk, &QCheckBox::toggled, this,
            [this](bool on) { Change(on ? TSettingsEvent::ComboboxTicked : TSettingsEvent::ComboboxUnticked); });
    connect(FontBtn, &QPushButton::clicked, this, &TSettingsFrm::FontBtnClick);
    connect(StandardFontBtn, &QPushButton::clicked, this, [this] {
        m_values.Display.MailFont = DefaultMailFont;
        ShowFont();
    });
    connect(HighlightUrlsChk, &QCheckBox::toggled, this, [this](bool on) { m_values.Display.HighlightURLs = on; });
    connect(HighlightQuotingChk, &QCheckBox::toggled, this, [this](bool on) { m_values.Display.HighlightQuoting = on; });
    connect(HtmlViewingChk, &QCheckBox::toggled, this, [this](bool on) { m_values.Display.HtmlViewing = on; });
    connect(UsersBtn, &QPushButton::clicked, this, [this] { RunCommand(Commands.Users, UsersBtn); });
    connect(PhrasesBtn, &QPushButton::clicked, this, [this] { RunCommand(Commands.Phrases, PhrasesBtn); });
    connect(FilterBtn, &QPushButton::clicked, this, [this] { RunCommand(Commands.Filter, FilterBtn); });
    connect(ColumnsBtn, &QPushButton::clicked, this, [this] { RunCommand(Commands.Columns, ColumnsBtn); });
}

void TSettingsFrm::ConnectSendPage()
{
    connect(EncodingMimeChk, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Change(TSettingsEvent::EncodingMime);
    });
    connect(EncodingUUChk, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Change(TSettingsEvent::EncodingUU);
    });
    connect(CharsetCmb, &QComboBox::activated, this,
            [this](int index) { m_values.Mailformat.Charset = CharsetOfIndex(index); });
    connect(StandardBtn, &QPushButton::clicked, this, [this] { Change(TSettingsEvent::StandardFormat); });
    connect(QuoteMailsChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.QuoteMails = on; });
    connect(AutoChooseRecipientChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.AutoChooseRecipient = on; });
    connect(AutoSignatureChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.AutoSignature = on; });
    connect(SignatureCmb, &QComboBox::activated, this,
            [this](int index) { Change(TSettingsEvent::SignatureChosen, SignatureCmb->itemText(index)); });
    connect(AutoRequestReceiptChk, &QCheckBox::toggled, this, [this](bool on) { m_values.General.AutoRequestReceipt = on; });
}

void TSettingsFrm::ConnectSoundRow(QCheckBox* check, QPushButton* browse, QPushButton* test,
                                   bool TGeneralSettings::*play, QString TGeneralSettings::*file, TSoundPlayer* player)
{
    connect(check, &QCheckBox::toggled, this, [this, play](bool on) { m_values.General.*play = on; });
    connect(browse, &QPushButton::clicked, this, [this, file] { ChooseSound(file); });
    connect(test, &QPushButton::clicked, this, [this, player, file] { TestSound(player, m_values.General.*file); });
    connect(player, &TSoundPlayer::PlayingChanged, this, &TSettingsFrm::ShowEnabling);
    connect(player, &TSoundPlayer::Failed, this,
            [this](const QString& failed) { Dialogs.Warn(FillIn(MessageText(MsgSoundUnplayable), failed)); });
}

// A click on a sound panel chooses a file as its "..." button does.
bool TSettingsFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == SoundNewMailPan)
            SoundNewMailBtn->click();
        else if (watched == SoundNoMailPan)
            SoundNoMailBtn->click();
    }
    return QDialog::eventFilter(watched, event);
}

void TSettingsFrm::Setup(const TSettingsValues& values, const QStringList& signatures)
{
    m_values = values;
    FillSignatures(signatures);
    ShowValues();
    ShowRegistration();
    PageControl->setCurrentIndex(pgGeneral);
}

void TSettingsFrm::FillSignatures(const QStringList& signatures)
{
    const QSignalBlocker blocker(SignatureCmb);
    const QString chosen = m_values.General.Signature;
    SignatureCmb->clear();
    SignatureCmb->addItem(QString());
    SignatureCmb->addItems(signatures);
    // A stored signature whose phrase is gone stays choosable instead of being dropped silently.
    if (!chosen.isEmpty() && !signatures.contains(chosen))
        SignatureCmb->addItem(chosen);
    SignatureCmb->setCurrentIndex(std::max(SignatureCmb->findText(chosen), 0));
}

void TSettingsFrm::ShowValues()
{
    const TGeneralSettings& g = m_values.General;
    const TDisplaySettings& d = m_values.Display;
    SetChecked(ShowTreeviewChk, d.ShowTreeview);
    SetChecked(ShowComboboxChk, d.ShowCombobox);
    SetChecked(HighlightUrlsChk, d.HighlightURLs);
    SetChecked(HighlightQuotingChk, d.HighlightQuoting);
    SetChecked(HtmlViewingChk, d.HtmlViewing);
    SetChecked(EncodingMimeChk, m_values.Mailformat.Encoding == TMailEncoding::Mime);
    SetChecked(EncodingUUChk, m_values.Mailformat.Encoding == TMailEncoding::UUEncode);
    {
        const QSignalBlocker blocker(CharsetCmb);
        CharsetCmb->setCurrentIndex(CharsetIndex(m_values.Mailformat.Charset));
    }
    SetChecked(QuoteMailsChk, g.QuoteMails);
    SetChecked(AutoChooseRecipientChk, g.AutoChooseRecipient);
    SetChecked(AutoSignatureChk, g.AutoSignature);
    {
        const QSignalBlocker blocker(SignatureCmb);
        SignatureCmb->setCurrentIndex(std::max(SignatureCmb->findText(g.Signature), 0));
    }
    SetChecked(AutoRequestReceiptChk, g.AutoRequestReceipt);
    SetChecked(SoundNewMailChk, g.PlaySoundNewMail);
    SoundNewMailPan->setText(g.SoundNewMail);
    SoundNewMailPan->setToolTip(g.SoundNewMail);
    SetChecked(SoundNoMailChk, g.PlaySoundNoMail);
    SoundNoMailPan->setText(g.SoundNoMail);
    SoundNoMailPan->setToolTip(g.SoundNoMail);
    SetChecked(EmptyTrashChk, g.EmptyTrash);
    SetChecked(LogActiveChk, g.LogActive);
    ShowFont();
    ShowEnabling();
}

void TSettingsFrm::ShowFont()
{
    const TFontSpec shown = DisplayFont(m_values.Display.MailFont);
    TFontSpec stored;
    TextToFont(m_values.Display.MailFont, stored);
    const QString description = FontDisplayText(shown);
    FontDisplayLbl->setText(FontFamilyInstalled(stored.Font.family())
                                ? description
                                : FillIn(MessageText(MsgDefaultFont), description));
    FontDisplayLbl->setFont(shown.Font);
    QPalette palette = FontDisplayLbl->palette();
    palette.setColor(QPalette::WindowText, shown.Color);
    FontDisplayLbl->setPalette(palette);
}

void TSettingsFrm::ShowEnabling()
{
    TSettingsEnablingInputs in;
    in.Values = m_values;
    in.PlayingNewMail = m_newMailPlayer->Playing();
    in.PlayingNoMail = m_noMailPlayer->Playing();
    in.MailclientRegistered = m_mailclientRegistered;
    in.EmlRegistered = m_emlRegistered;
    const TSettingsEnabling e = ComputeSettingsEnabling(in);
    CharsetCmb->setEnabled(e.Charset);
    SoundNewMailTestBtn->setEnabled(e.TestNewMail);
    SoundNoMailTestBtn->setEnabled(e.TestNoMail);
    MailclientBtn->setEnabled(e.MailclientRegister);
    EmlBtn->setEnabled(e.EmlRegister);
}

void TSettingsFrm::ShowRegistration()
{
    m_mailclientRegistered = IsRegistered(TRegistration::MailClient, Registration);
    m_emlRegistered = IsRegistered(TRegistration::EmlFiles, Registration);
    MailclientStatusLbl->setText(MessageText(m_mailclientRegistered ? MsgRegistered : MsgNotRegistered));
    EmlStatusLbl->setText(MessageText(m_emlRegistered ? MsgRegistered : MsgNotRegistered));
    ShowEnabling();
}

void TSettingsFrm::Change(TSettingsEvent event, const QString& signature)
{
    ApplySettingsEvent(m_values, event, signature);
    ShowValues();
}

void TSettingsFrm::RunCommand(const std::function<void()>& command, QPushButton* button)
{
    if (command)
        command();
    else
        Dialogs.Inform(FillIn(MessageText(MsgCommandMissing), button->text().remove(QLatin1Char('&'))));
}

void TSettingsFrm::FontBtnClick()
{
    TFontSpec current = DisplayFont(m_values.Display.MailFont);
    const std::optional<QFont> chosen = Dialogs.ChooseFont(current.Font);
    if (!chosen)
        return;
    current.Font = *chosen;
    m_values.Display.MailFont = FontToText(current);
    ShowFont();
}

void TSettingsFrm::ChooseSound(QString TGeneralSettings::*file)
{
    const std::optional<QString> chosen = Dialogs.ChooseSoundFile(m_values.General.*file);
    if (!chosen)
        return;
    m_values.General.*file = *chosen;
    ShowValues();
}

void TSettingsFrm::TestSound(TSoundPlayer* player, const QString& file)
{
    switch (player->Play(file)) {
    case TSoundStart::Started:
        break;
    case TSoundStart::NoAudioDevice:
        Dialogs.Inform(MessageText(MsgNoAudioDevice));
        break;
    case TSoundStart::MissingFile:
        Dialogs.Warn(FillIn(MessageText(MsgFileNotFound), file));
        break;
    }
}

void TSettingsFrm::WarningsStandardBtnClick()
{
    if (!Dialogs.AskOkCancel(MessageText(MsgConfirmChange)))
        return;
    m_warningsReset = true;
    Dialogs.Inform(MessageText(MsgRestartNeeded));
}

void TSettingsFrm::RegisterBtnClick(TRegistration registration)
{
    if (!Dialogs.AskOkCancel(MessageText(MsgConfirmChange)))
        return;
    QString failedFile;
    if (Register(registration, Registration, failedFile))
        Dialogs.Inform(MessageText(MsgSettingInvoked));
    else
        Dialogs.Warn(FillIn(MessageText(MsgRegistrationFailed), failedFile));
    ShowRegistration();
}

void TSettingsFrm::HelpBtnClick()
{
    ShowHelp(FirstPageHelpContext + PageControl->currentIndex(), this);
}

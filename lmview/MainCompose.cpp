// The edit mode of the message window: the compose panel, the recipient chooser and phrases,
// attachments, the recipient fields' history and completion, and "Später senden".

#include "Main.h"

#include "AdrChoose.h"
#include "ComposeFunctions.h"
#include "DBAccountsFunctions.h"
#include "Konstanten.h"
#include "PhraseFunctions.h"
#include "RecipientNames.h"
#include "Phrases.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "UserSettings.h"
#include "ViewText.h"
#include "WindowMessages.h"
#include "lminfo.h"
#include "qmexcept.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>

#include <functional>

namespace {

constexpr int MsgNotAnAccount = 5;
constexpr int MsgEncodeFailed = 12;
constexpr int MsgSaveFailed = 13;
constexpr int MsgNewMessageCaption = 17;
constexpr int MsgNoSubject = 19;
constexpr int MsgMainWindowSilent = 40;
constexpr int MsgAllFiles = 29;
constexpr int MsgNotAnAddress = 80;
constexpr int CopiesPage = 1;

QList<TAccount> AllAccounts()
{
    QList<TAccount> accounts;
    const int count = CountAccounts();
    for (int n = 1; n <= count; ++n) {
        if (const std::optional<TAccount> account = ReadAccount(n))
            accounts.append(*account);
    }
    return accounts;
}

} // namespace

void TLmviewFrm::FillSenderLists()
{
    m_senders = BuildSenderList(AllAccounts());
    OurEmailCmb->addItems(m_senders.Entries);
    AccountNamesCmb->addItems(m_senders.AccountEntries);
    AccountNamesCmb->setVisible(Settings.General.DebugMode);
}

void TLmviewFrm::SelectSender(const QString& text, bool warn)
{
    const TSenderChoice choice = ::SelectSender(m_senders, text);
    if (choice.NotAnAccount && warn)
        Report(MsgNotAnAccount, TMessageKind::Information, text);
    OurEmailCmb->setCurrentIndex(choice.Index);
    AccountNamesCmb->setCurrentIndex(choice.Index);
}

void TLmviewFrm::FillComposePanel()
{
    const QString subject = QString::fromUtf8(m_message.Subject);
    setWindowTitle(subject.isEmpty() ? MessageText(MsgNewMessageCaption) : subject);
    SmtpToEdt->addItems(Settings.History);
    m_recipientCandidates = Settings.History;
    for (const QByteArray& recipient : AddressBookRecipients())
        m_recipientCandidates.append(QString::fromUtf8(recipient));
    SmtpToEdt->setCurrentText(WriteAddressField(m_message.Recipients));
    SmtpCCEdt->setText(WriteAddressField(m_message.CC));
    SmtpBCCEdt->setText(BccFieldText(m_message.Headers));
    for (const QLineEdit* edit : {SmtpToEdt->lineEdit(), SmtpCCEdt, SmtpBCCEdt})
        m_lastRecipientLengths[edit] = edit->text().size();
    SmtpSubjectEdt->setText(subject);
    SmtpHoldChk->setChecked(!m_message.Headers.GetFieldBody("X-LMHOLD").isEmpty());
    SmtpRedirectChk->setChecked(m_redirected);
    SmtpRedirectChk->setVisible(m_redirected);
    SmtpReceiptChk->setChecked(m_message.ReturnReceipt);
    SmtpDispositionChk->setChecked(!m_message.Headers.GetFieldBody("Disposition-Notification-To").isEmpty());
    const QString senderText = SenderEntryText(m_message.Sender.Address, m_message.Sender.Name);
    if (m_redirected) {
        SmtpRedirectChk->setText(QString::fromUtf8(m_message.Headers.GetFieldBody("X-LMREDIRECT")));
        m_senders.Entries.append(senderText);
        m_senders.AccountEntries.append(senderText + QLatin1Char(';'));
        OurEmailCmb->addItem(senderText);
        AccountNamesCmb->addItem(senderText + QLatin1Char(';'));
    }
    SelectSender(m_message.Sender.Address.isEmpty() ? QString() : senderText, true);
    UpdateCopiesCaption();
    SmtpPages->setCurrentIndex(0);
}

void TLmviewFrm::ConnectChangeSignals()
{
    connect(BodyMem, &QTextEdit::textChanged, this, &TLmviewFrm::MarkChanged);
    connect(BodyMem, &QTextBrowser::anchorClicked, this, &TLmviewFrm::OpenLink);
    connect(Html, &QTextBrowser::anchorClicked, this, &TLmviewFrm::OpenHtmlLink);
    connect(BodyMem, &QTextEdit::cursorPositionChanged, this, &TLmviewFrm::UpdateCaretPanel);
    connect(SmtpSubjectEdt, &QLineEdit::textEdited, this, &TLmviewFrm::MarkChanged);
    for (QLineEdit* edit : {SmtpCCEdt, SmtpBCCEdt}) {
        connect(edit, &QLineEdit::textChanged, this, &TLmviewFrm::UpdateCopiesCaption);
        connect(edit, &QLineEdit::textEdited, this, &TLmviewFrm::MarkChanged);
    }
    connect(SmtpToEdt, &QComboBox::currentTextChanged, this, &TLmviewFrm::MarkChanged);
    for (QLineEdit* edit : {SmtpToEdt->lineEdit(), SmtpCCEdt, SmtpBCCEdt})
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) { CompleteRecipientIn(edit, text); });
    // The combo box's own completer would put the history entry's letters over what was typed.
    SmtpToEdt->setCompleter(nullptr);
    SmtpToEdt->setInsertPolicy(QComboBox::NoInsert);
    m_recipientCompleter = new QCompleter(new QStringListModel(this), this);
    m_recipientCompleter->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    connect(m_recipientCompleter, qOverload<const QString&>(&QCompleter::activated), this, &TLmviewFrm::InsertChosenRecipient);
    connect(OurEmailCmb, &QComboBox::currentIndexChanged, this, [this](int index) {
        AccountNamesCmb->setCurrentIndex(index);
        MarkChanged();
    });
    for (QCheckBox* box : {SmtpHoldChk, SmtpReceiptChk, SmtpDispositionChk})
        connect(box, &QCheckBox::toggled, this, &TLmviewFrm::MarkChanged);
    connect(AttachLv, &QListWidget::itemSelectionChanged, this, &TLmviewFrm::RefreshCommandStates);
    connect(AttachLv, &QListWidget::itemDoubleClicked, this, &TLmviewFrm::AttOpenItmClick);
    connect(AttachLv, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { AttPop->exec(AttachLv->mapToGlobal(at)); });
    connect(ToBtn, &QPushButton::clicked, this, [this] { ChooseRecipients(TRecipientList::To); });
    connect(CCBtn, &QPushButton::clicked, this, [this] { ChooseRecipients(TRecipientList::CC); });
    connect(BCCBtn, &QPushButton::clicked, this, [this] { ChooseRecipients(TRecipientList::BCC); });

    connect(SendLaterItm, &QAction::triggered, this, &TLmviewFrm::SendLaterItmClick);
    connect(SendNowItm, &QAction::triggered, this, &TLmviewFrm::SendNowItmClick);
    connect(SaveAsItm, &QAction::triggered, this, &TLmviewFrm::SaveAsItmClick);
    connect(AnswerPItm, &QAction::triggered, this, &TLmviewFrm::AnswerPItmClick);
    connect(ForwardPItm, &QAction::triggered, this, &TLmviewFrm::ForwardPItmClick);
    connect(RedirectItm, &QAction::triggered, this, &TLmviewFrm::RedirectItmClick);
    connect(AttOpenItm, &QAction::triggered, this, &TLmviewFrm::AttOpenItmClick);
    connect(AttSaveItm, &QAction::triggered, this, &TLmviewFrm::AttSaveItmClick);
    connect(AttAddItm, &QAction::triggered, this, &TLmviewFrm::AttAddItmClick);
    connect(AttRemoveItm, &QAction::triggered, this, &TLmviewFrm::AttRemoveItmClick);
    connect(AdrItm, &QAction::triggered, this, [] { StartProgram(Paths().Program.LmabExe); });
    connect(PrintItm, &QAction::triggered, this, &TLmviewFrm::PrintItmClick);
    connect(PreviewItm, &QAction::triggered, this, &TLmviewFrm::PreviewItmClick);
    connect(PdfItm, &QAction::triggered, this, &TLmviewFrm::PdfItmClick);
    connect(PropertiesItm, &QAction::triggered, this, &TLmviewFrm::PropertiesItmClick);
    connect(CloseItm, &QAction::triggered, this, &QWidget::close);
    connect(UndoItm, &QAction::triggered, BodyMem, &QTextEdit::undo);
    connect(CutItm, &QAction::triggered, BodyMem, &QTextEdit::cut);
    connect(CopyItm, &QAction::triggered, this, [this] { HtmlPanel->isVisible() ? Html->copy() : BodyMem->copy(); });
    connect(PasteItm, &QAction::triggered, this, [this] {
        BodyMem->textCursor().insertText(QGuiApplication::clipboard()->text());
    });
    connect(SelectAllItm, &QAction::triggered, this, [this] { HtmlPanel->isVisible() ? Html->selectAll() : BodyMem->selectAll(); });
    connect(FloskelItm, &QAction::triggered, this, &TLmviewFrm::FloskelItmClick);
    connect(FindItm, &QAction::triggered, this, &TLmviewFrm::FindItmClick);
    connect(WordWrapItm, &QAction::toggled, this, [this](bool on) {
        BodyMem->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    });
    connect(HtmlItm, &QAction::triggered, this, &TLmviewFrm::ShowHtml);
    connect(SourceItm, &QAction::triggered, this, &TLmviewFrm::SourceItmClick);
    connect(FilterSenderItm, &QAction::triggered, this, [this] { FilterItmClick(TFilterField::Sender); });
    connect(FilterRecipientItm, &QAction::triggered, this, [this] { FilterItmClick(TFilterField::Recipient); });
    connect(FilterSubjectItm, &QAction::triggered, this, [this] { FilterItmClick(TFilterField::Subject); });
    connect(AddToAdrItm, &QAction::triggered, this, &TLmviewFrm::AddToAdrItmClick);
    connect(HelpItm, &QAction::triggered, this, [this] { ShowHelp(m_commandLine.EditMode ? HelpContext::MessageCompose : HelpContext::MessageView, this); });
    connect(InfoItm, &QAction::triggered, this, [] { ShowInfoDialog(); });
}

void TLmviewFrm::UpdateCopiesCaption()
{
    const QString caption = IsEnglish() ? QStringLiteral("Copies") : QStringLiteral("Kopien");
    const bool filled = !SmtpCCEdt->text().isEmpty() || !SmtpBCCEdt->text().isEmpty();
    SmtpPages->setTabText(CopiesPage, filled ? QLatin1String("* ") + caption : caption);
}

// Completes only while the text grows, so that deleting a completed rest is not undone at once.
void TLmviewFrm::CompleteRecipientIn(QLineEdit* edit, const QString& text)
{
    const bool grew = text.size() > m_lastRecipientLengths.value(edit);
    m_lastRecipientLengths[edit] = text.size();
    if (!grew)
        return;
    OfferRecipients(edit, text);
    const std::optional<TCompletion> completion = CompleteRecipient(text, edit->cursorPosition(), m_recipientCandidates);
    if (!completion)
        return;
    edit->setText(completion->Text);
    edit->setSelection(int(completion->SelectionStart + completion->SelectionLength), -int(completion->SelectionLength));
    m_lastRecipientLengths[edit] = completion->SelectionStart;
}

void TLmviewFrm::OfferRecipients(QLineEdit* edit, const QString& text)
{
    const qsizetype caret = edit->cursorPosition();
    const qsizetype start = TypedRecipientStart(text, caret);
    const QStringList matches = MatchingRecipients(text.mid(start, caret - start), m_recipientCandidates);
    auto* model = static_cast<QStringListModel*>(m_recipientCompleter->model());
    model->setStringList(matches);
    // One list serves the three fields: it opens under the one being typed in.
    m_recipientCompleter->setWidget(edit);
    if (matches.isEmpty())
        m_recipientCompleter->popup()->hide();
    else
        m_recipientCompleter->complete();
}

void TLmviewFrm::InsertChosenRecipient(const QString& chosen)
{
    auto* edit = qobject_cast<QLineEdit*>(m_recipientCompleter->widget());
    if (!edit)
        return;
    // An inline completion still selected is no part of what was typed.
    QString text = edit->text();
    qsizetype caret = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        caret = edit->selectionStart();
        text.remove(caret, edit->selectedText().size());
    }
    const TCompletion inserted = InsertRecipient(text, caret, chosen);
    edit->setText(inserted.Text);
    edit->setCursorPosition(int(inserted.SelectionStart));
    m_lastRecipientLengths[edit] = inserted.Text.size();
    MarkChanged();
}

QString TLmviewFrm::ComposedSenderText() const
{
    return OurEmailCmb->currentText();
}

void TLmviewFrm::ChooseRecipients(TRecipientList focused)
{
    // The address book may have changed the categories since this window was opened.
    TAdrChooseFrm chooser(CurrentAddressCategories().join(QLatin1Char('|')), this);
    chooser.SenderLbl->setText(ComposedSenderText());
    chooser.RunAddressBook = [this, &chooser] {
        RunAndWait(Paths().Program.LmabExe, {}, m_addressBookRunning);
        chooser.SetCategories(CurrentAddressCategories());
    };
    chooser.SetLists(SplitAddressField(SmtpToEdt->currentText()), SplitAddressField(SmtpCCEdt->text()),
                     SplitAddressField(SmtpBCCEdt->text()), focused);
    if (chooser.exec() == QDialog::Accepted)
        ApplyChooserResult(chooser);
}

void TLmviewFrm::ApplyChooserResult(const TAdrChooseFrm& chooser)
{
    if (OurEmailCmb->isEnabled())
        SelectSender(chooser.SenderLbl->text(), true);
    const QString signature = chooser.SignatureLbl->text();
    if (!signature.isEmpty()) {
        const QString text = BodyMem->toPlainText();
        if (text.isEmpty() || text == SignatureText(Settings.General.Signature))
            BodyMem->setPlainText(SignatureText(signature));
    }
    if (!chooser.SubjectLbl->text().isEmpty() && SmtpSubjectEdt->text().isEmpty())
        SmtpSubjectEdt->setText(chooser.SubjectLbl->text());
    SmtpToEdt->setCurrentText(chooser.Addresses(TRecipientList::To).join(QLatin1Char(',')));
    SmtpCCEdt->setText(chooser.Addresses(TRecipientList::CC).join(QLatin1Char(',')));
    SmtpBCCEdt->setText(chooser.Addresses(TRecipientList::BCC).join(QLatin1Char(',')));
    MarkChanged();
}

void TLmviewFrm::FloskelItmClick()
{
    if (!m_phrases) {
        m_phrases = new TPhrasesFrm(this);
        m_phrases->InsertText = [this](const QString& text) { BodyMem->textCursor().insertText(text); };
    }
    m_phrases->show();
    m_phrases->raise();
}

void TLmviewFrm::AttAddItmClick()
{
    const QString file = QFileDialog::getOpenFileName(this, QString(), Settings.ViewAttachmentDir, MessageText(MsgAllFiles));
    if (file.isEmpty())
        return;
    Settings.ViewAttachmentDir = QFileInfo(file).absolutePath();
    auto* item = new QListWidgetItem(QFileIconProvider().icon(QFileInfo(file)), QFileInfo(file).fileName(), AttachLv);
    item->setData(Qt::UserRole, file);
    AttachLv->setVisible(true);
    MarkChanged();
}

void TLmviewFrm::AttRemoveItmClick()
{
    qDeleteAll(AttachLv->selectedItems());
    AttachLv->setVisible(AttachLv->count() > 0);
    MarkChanged();
}

void TLmviewFrm::SendLaterItmClick()
{
    if (!SendLaterItm->isEnabled() || WriteComposedMessage() == TWriteResult::Declined)
        return;
    m_changed = false;
    close();
}

// The main window files the work file into the Outbox once this window has ended and then sends it;
// a message that could not be written is not asked for (the failure was reported).
void TLmviewFrm::SendNowItmClick()
{
    if (!SendNowItm->isEnabled())
        return;
    QString account;
    const TWriteResult written = WriteComposedMessage(&account);
    if (written == TWriteResult::Declined)
        return;
    m_changed = false;
    if (written == TWriteResult::Written) {
        WriteSendNowRequest({m_commandLine.MessageFile, account});
        if (!PostWindowMessage(MainWindowTitle, wmSendNow))
            Report(MsgMainWindowSilent, TMessageKind::Warning);
    }
    close();
}

// A failed write is reported and counts as done, since the main client keeps its work file unchanged.
TLmviewFrm::TWriteResult TLmviewFrm::WriteComposedMessage(QString* usedAccount)
{
    const bool incomplete = SmtpToEdt->currentText().isEmpty() || SmtpSubjectEdt->text().isEmpty();
    if (Settings.Warnings.LVNoSubject && incomplete
        && Dialogs.Ask(MessageText(MsgNoSubject), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return TWriteResult::Declined;
    if (!ExpandRecipientFields())
        return TWriteResult::Declined;
    SendLaterItm->setEnabled(false);
    SendNowItm->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString accountName = AccountNameOfEntry(AccountNamesCmb->currentText());
    const int accountNumber = FindAccountByName(accountName.toUtf8());
    const std::optional<TAccount> chosen = accountNumber > 0 ? ReadAccount(accountNumber) : std::nullopt;
    const TAccount account = chosen ? *chosen : ReadDefaultAccount();
    if (Settings.General.DebugMode)
        Dialogs.Ask(QStringLiteral("Found Account: ") + QString::fromUtf8(account.Name), QMessageBox::Ok);
    TComposeInput input;
    input.SenderText = ComposedSenderText();
    input.To = SmtpToEdt->currentText();
    input.CC = SmtpCCEdt->text();
    input.BCC = SmtpBCCEdt->text();
    input.Subject = SmtpSubjectEdt->text();
    input.Text = BodyMem->toPlainText();
    for (int i = 0; i < AttachLv->count(); ++i)
        input.AttachmentFiles.append(AttachLv->item(i)->data(Qt::UserRole).toString());
    input.WorkAttachments = m_workAttachments;
    input.Hold = SmtpHoldChk->isChecked();
    input.Receipt = SmtpReceiptChk->isChecked();
    input.Disposition = SmtpDispositionChk->isChecked();
    input.Redirect = SmtpRedirectChk->isChecked() ? SmtpRedirectChk->text() : QString();
    input.ReplyTo = account.SmtpReplyToAdr;
    input.CarriedFields = CarriedFields(m_message.Headers, m_redirected);
    input.Mailformat = Settings.Mailformat;
    TqmMessage message;
    for (const QString& error : BuildComposedMessage(input, message))
        Report(MsgEncodeFailed, TMessageKind::Warning, error);
    UpdateHistory(Settings.History, input.To, Settings.KeepHistory, Settings.MaxHistoryCount);
    if (usedAccount)
        *usedAccount = QString::fromUtf8(account.Name);
    TWriteResult result = TWriteResult::Written;
    try {
        message.SaveToFile(m_commandLine.MessageFile);
    } catch (const EMessageError& e) {
        Report(MsgSaveFailed, TMessageKind::Warning, e.Message());
        result = TWriteResult::Failed;
    }
    QApplication::restoreOverrideCursor();
    return result;
}

bool TLmviewFrm::ExpandRecipientFields()
{
    struct TField {
        QWidget* Editor;
        int Page;
        std::function<QString()> Get;
        std::function<void(const QString&)> Set;
    };
    const QList<TField> fields{
        {SmtpToEdt, 0, [this] { return SmtpToEdt->currentText(); }, [this](const QString& t) { SmtpToEdt->setEditText(t); }},
        {SmtpCCEdt, CopiesPage, [this] { return SmtpCCEdt->text(); }, [this](const QString& t) { SmtpCCEdt->setText(t); }},
        {SmtpBCCEdt, CopiesPage, [this] { return SmtpBCCEdt->text(); }, [this](const QString& t) { SmtpBCCEdt->setText(t); }},
    };
    for (const TField& field : fields) {
        QString refused;
        const QString expanded = ExpandedAddressField(field.Get(), refused);
        if (!refused.isEmpty()) {
            Report(MsgNotAnAddress, TMessageKind::Warning, refused);
            SmtpPages->setCurrentIndex(field.Page);
            field.Editor->setFocus();
            return false;
        }
        if (expanded != field.Get())
            field.Set(expanded);
    }
    return true;
}

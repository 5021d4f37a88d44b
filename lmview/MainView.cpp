// The view mode of the message window: header labels, coloured quotes and links, the HTML view,
// attachments, and everything handed to the main client or the desktop.

#include "Main.h"

#include "ComposeFunctions.h"
#include "DBAccountsFunctions.h"
#include "DBMailboxFunctions.h"
#include "Alert.h"
#include "Find.h"
#include "Konstanten.h"
#include "MailInfo.h"
#include "PhraseFunctions.h"
#include "Print.h"
#include "PrintCommands.h"
#include "PrintFunctions.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "SourceView.h"
#include "DesktopHandlers.h"
#include "ViewParts.h"
#include "ViewSafety.h"
#include "ViewText.h"
#include "WindowMessages.h"
#include "lminfo.h"
#include "qmcharset.h"
#include "qmexcept.h"
#include "tk_langlib.h"
#include "xProcs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QListWidget>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QUrlQuery>

namespace {

constexpr int MsgFileError = 1;
constexpr int MsgMainNotFound = 8;
constexpr int MsgOpenAttachmentFailed = 9;
constexpr int MsgSaveAttachmentTitle = 10;
constexpr int MsgSaveMessageTitle = 11;
constexpr int MsgSaveFailed = 13;
constexpr int MsgSaveAttachmentFailed = 14;
constexpr int MsgIncludeCC = 18;
constexpr int MsgLinkRefused = 26;
constexpr int MsgNoHandler = 200;
constexpr int MsgOpenFailedSave = 201;
constexpr int MsgMessageWindowFailed = 202;
constexpr int MsgMisleadingLink = 33;
constexpr int SeparatorLength = 7;
const QColor QuoteColour(0, 0, 128);

// "Title|filter|filter": the dialog title and its name filters.
std::pair<QString, QString> DialogTexts(int id)
{
    const QStringList parts = MessageText(id).split(QLatin1Char('|'));
    return {parts.value(0), parts.mid(1).join(QLatin1String(";;"))};
}

QString WithExtension(const QString& file, const QString& extension)
{
    return QFileInfo(file).suffix().isEmpty() ? file + extension : file;
}

bool WriteBytes(const QString& path, const QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush())
        return true;
    error = file.errorString();
    return false;
}

} // namespace

void TLmviewFrm::FillViewHeader()
{
    setWindowTitle(QString::fromUtf8(m_message.Subject));
    FromLbl->setText(SenderLabelText(m_message.Sender));
    const QString cc = AddressListLabelText(m_message.CC);
    CCLbl->setText(cc);
    CCLbl->setVisible(!cc.isEmpty());
    CCCaptionLbl->setVisible(!cc.isEmpty());
    ToLbl->setText(AddressListLabelText(m_message.Recipients));
    DateLbl->setText(DateLabelText(m_message.Headers.GetFieldBody("Date"), Paths().DisplayDateFormat));
    SubjectLbl->setText(QString::fromUtf8(m_message.Subject));
    // The text is read-only, so plain letters are free to answer and forward.
    AnswerPItm->setShortcut(QKeySequence(Qt::Key_A));
    ForwardPItm->setShortcut(QKeySequence(Qt::Key_F));
    ColourText();
}

void TLmviewFrm::ColourText()
{
    const QString text = BodyMem->toPlainText();
    QTextCursor cursor(BodyMem->document());
    cursor.beginEditBlock();
    if (Settings.Display.HighlightQuoting) {
        QTextCharFormat quote;
        quote.setFontWeight(QFont::Bold);
        quote.setForeground(QuoteColour);
        for (const TTextSpan& span : QuoteStretches(text)) {
            cursor.setPosition(int(span.Start));
            cursor.setPosition(int(span.Start + span.Length), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(quote);
        }
    }
    if (Settings.Display.HighlightURLs) {
        for (const TLinkSpan& link : FindLinks(text)) {
            QTextCharFormat format;
            format.setAnchor(true);
            format.setAnchorHref(link.Url);
            format.setForeground(palette().link());
            format.setFontUnderline(true);
            cursor.setPosition(int(link.Span.Start));
            cursor.setPosition(int(link.Span.Start + link.Span.Length), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(format);
        }
    }
    cursor.endEditBlock();
}

void TLmviewFrm::FillAttachmentList()
{
    if (m_commandLine.EditMode) {
        // The composed message reads its attachments from files again when it is saved.
        for (qsizetype i = 0; i < m_message.Attachments.Count(); ++i) {
            const QString path = WriteAttachment(i);
            if (path.isEmpty())
                continue;
            auto* item = new QListWidgetItem(QFileIconProvider().icon(QFileInfo(path)), QFileInfo(path).fileName(), AttachLv);
            item->setData(Qt::UserRole, path);
        }
    } else {
        for (const TAttachmentEntry& entry : m_content.Attachments) {
            auto* item = new QListWidgetItem(QFileIconProvider().icon(QFileInfo(entry.FileName)), entry.FileName, AttachLv);
            item->setData(Qt::UserRole, entry.Index);
        }
    }
    AttachLv->setVisible(AttachLv->count() > 0);
}

QString TLmviewFrm::WriteAttachment(qsizetype index)
{
    const QString directory = AttachmentDirectory();
    if (directory.isEmpty())
        return {};
    try {
        const TWorkAttachment written = WriteWorkAttachment(m_message, index, directory);
        if (m_commandLine.EditMode)
            m_workAttachments.append(written);
        return written.Path;
    } catch (const EMessageError& e) {
        Report(MsgSaveAttachmentFailed, TMessageKind::Warning, e.Message());
    }
    return {};
}

void TLmviewFrm::ShowHtml(bool on)
{
    HtmlItm->setChecked(on);
    BodyMem->setVisible(!on);
    HtmlPanel->setVisible(on);
    if (!on)
        return;
    BlockedLbl->setVisible(false);
    Html->Document->SetParts(m_content.Attachments, m_message);
    Html->setHtml(ViewHtml(m_message, m_content));
}

void TLmviewFrm::OpenLink(const QUrl& url)
{
    switch (LinkActionFor(url)) {
    case TLinkAction::OpenInBrowser:
        if (OpenUrl)
            OpenUrl(url);
        else
            QDesktopServices::openUrl(url);
        return;
    case TLinkAction::ComposeMessage:
        // The main client composes the new message, as for a mailto link given to it.
        WriteHandOver(url.toString());
        if (!PostWindowMessage(MainWindowTitle, wmHandOver))
            Report(MsgMainNotFound, TMessageKind::Warning);
        return;
    case TLinkAction::Refuse:
        break;
    }
    Report(MsgLinkRefused, TMessageKind::Warning, url.toString());
}

void TLmviewFrm::OpenHtmlLink(const QUrl& url)
{
    QString shownHost;
    const QStringList texts = LinkActionFor(url) == TLinkAction::OpenInBrowser ? Html->AnchorTexts(url) : QStringList();
    for (qsizetype i = 0; i < texts.size() && shownHost.isEmpty(); ++i)
        shownHost = MisleadingLinkHost(texts.at(i), url);
    if (!shownHost.isEmpty()
        && Dialogs.Ask(FillInEach(MessageText(MsgMisleadingLink), {shownHost, url.host()}),
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    OpenLink(url);
}

QByteArray TLmviewFrm::AttachmentBytes(int index, QString* declaredType) const
{
    if (m_commandLine.EditMode) {
        QFile file(AttachLv->item(index)->data(Qt::UserRole).toString());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    const TAttachmentEntry& entry = m_content.Attachments.at(index);
    if (declaredType)
        *declaredType = entry.ContentType;
    return m_message.Attachments.Items(entry.Index).Data;
}

bool TLmviewFrm::DesktopCanOpen(const QString& mimeType) const
{
    if (HasHandler)
        return HasHandler(mimeType);
    return OpenFile ? true : DesktopHandlerExists(mimeType);
}

// Programs and scripts are always warned about; other files as the user's setting says.
bool TLmviewFrm::ConfirmOpening(int index)
{
    const QString name = AttachLv->item(index)->text();
    const TAttachmentType type = AttachmentTypeOf(name, AttachmentBytes(index).left(64 * 1024));
    if (!type.Runs && !Settings.Warnings.LVExecuteAttachment)
        return true;
    return Dialogs.ConfirmOpen(OpenWarningText(name, type), !type.Runs);
}

bool TLmviewFrm::OpenAttachmentFile(const QString& path)
{
    return OpenFile ? OpenFile(path) : OpenDocument(path);
}

// A message is shown here, in a window of its own; anything else goes to the desktop's program for
// its type, and where the desktop has none the user may save it instead.
void TLmviewFrm::AttOpenItmClick()
{
    const int index = SelectedAttachment();
    if (index < 0)
        return;
    const QString name = AttachLv->item(index)->text();
    QString declaredType;
    const QByteArray data = AttachmentBytes(index, &declaredType);
    const TAttachmentType type = AttachmentTypeOf(name, data.left(64 * 1024));
    const auto canOpen = [this](const QString& mimeType) { return DesktopCanOpen(mimeType); };
    switch (HowToOpen(declaredType, name, type.MimeName, canOpen)) {
    case TAttachmentOpening::OwnMessageWindow:
        OpenMessageWindow(data, name);
        return;
    case TAttachmentOpening::NoHandler: {
        const QString shownType = declaredType.isEmpty() || declaredType == QLatin1String("application/octet-stream")
            ? type.MimeName : declaredType;
        if (Dialogs.Ask(FillInEach(MessageText(MsgNoHandler), {name, shownType}), QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes)
            SaveAttachmentAs(name, data);
        return;
    }
    case TAttachmentOpening::Desktop:
        break;
    }
    if (!ConfirmOpening(index))
        return;
    const QString path = m_commandLine.EditMode ? AttachLv->item(index)->data(Qt::UserRole).toString()
                                                : WriteAttachment(m_content.Attachments.at(index).Index);
    if (!path.isEmpty() && !OpenAttachmentFile(path)
        && Dialogs.Ask(FillIn(MessageText(MsgOpenFailedSave), name), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        SaveAttachmentAs(name, data);
}

void TLmviewFrm::AttSaveItmClick()
{
    const int index = SelectedAttachment();
    if (index < 0 || m_commandLine.EditMode)
        return;
    SaveAttachmentAs(m_content.Attachments.at(index).FileName, AttachmentBytes(index));
}

void TLmviewFrm::SaveAttachmentAs(const QString& name, const QByteArray& bytes)
{
    const auto [title, filter] = DialogTexts(MsgSaveAttachmentTitle);
    const QString proposed = QDir(Settings.ViewAttachmentDir).filePath(name);
    const QString target = Dialogs.AskSaveFile(title, proposed, filter);
    if (target.isEmpty())
        return;
    Settings.ViewAttachmentDir = QFileInfo(target).absolutePath();
    QString error;
    if (!WriteBytes(target, bytes, error))
        Report(MsgSaveAttachmentFailed, TMessageKind::Warning, error);
}

TLmviewFrm* TLmviewFrm::OpenMessageWindow(const QByteArray& message, const QString& name)
{
    const QString base = Paths().System.TempDir.isEmpty() ? QDir::tempPath() : Paths().System.TempDir;
    auto directory = std::make_unique<QTemporaryDir>(QDir(base).filePath(QStringLiteral("lmview-XXXXXX")));
    QString fileName = QFileInfo(name).fileName();
    if (fileName.isEmpty() || fileName.startsWith(QLatin1Char('.')))
        fileName = QStringLiteral("message.eml");
    if (!fileName.endsWith(QLatin1String(".eml"), Qt::CaseInsensitive))
        fileName += QLatin1String(".eml");
    QString error = directory->errorString();
    const QString path = directory->filePath(fileName);
    if (!directory->isValid() || !WriteBytes(path, message, error)) {
        Report(MsgMessageWindowFailed, TMessageKind::Warning, error);
        return nullptr;
    }
    TViewCommandLine commandLine;
    commandLine.MessageFile = path;
    auto* window = new TLmviewFrm(commandLine);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->m_ownMessageDir = std::move(directory);
    window->OpenUrl = OpenUrl;
    window->OpenFile = OpenFile;
    window->HasHandler = HasHandler;
    if (!window->LoadMessage()) {
        delete window;
        return nullptr;
    }
    window->show();
    // Beside this window, so that both stay in sight.
    window->move(pos() + QPoint(32, 32));
    return window;
}

void TLmviewFrm::BuildSendToMenus()
{
    const QDir dir(Paths().System.SendToDir);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Executable, QDir::Name)) {
        QString name = entry.completeBaseName();
        if (name.startsWith(QLatin1Char('$')))
            name.remove(0, 1);
        for (QMenu* menu : {AttSendToMnu, AttSendToPop}) {
            QAction* action = menu->addAction(name);
            connect(action, &QAction::triggered, this, [this, path = entry.absoluteFilePath()] { SendAttachmentTo(path); });
        }
    }
}

void TLmviewFrm::SendAttachmentTo(const QString& entry)
{
    const int index = SelectedAttachment();
    if (index < 0)
        return;
    const QString path = m_commandLine.EditMode ? AttachLv->item(index)->data(Qt::UserRole).toString()
                                                : WriteAttachment(m_content.Attachments.at(index).Index);
    if (!path.isEmpty())
        StartProgram(entry, {path});
}

void TLmviewFrm::SaveAsItmClick()
{
    const auto [title, filter] = DialogTexts(MsgSaveMessageTitle);
    QString chosenFilter;
    const QString target = QFileDialog::getSaveFileName(this, title, Settings.ViewAttachmentDir, filter, &chosenFilter);
    if (target.isEmpty())
        return;
    Settings.ViewAttachmentDir = QFileInfo(target).absolutePath();
    const bool asText = chosenFilter.contains(QLatin1String("*.txt"));
    try {
        if (asText) {
            QString error;
            if (!WriteBytes(WithExtension(target, QStringLiteral(".txt")), BodyMem->toPlainText().toUtf8(), error))
                Report(MsgSaveFailed, TMessageKind::Warning, error);
        } else {
            m_message.SaveToFile(WithExtension(target, QStringLiteral(".eml")));
        }
    } catch (const EMessageError& e) {
        Report(MsgSaveFailed, TMessageKind::Warning, e.Message());
    }
}

void TLmviewFrm::SourceItmClick()
{
    std::optional<QByteArray> raw;
    if (m_commandLine.SingleFile) {
        QFile file(m_commandLine.MessageFile);
        if (file.open(QIODevice::ReadOnly))
            raw = file.readAll();
    } else {
        raw = ReadRawMessage(m_commandLine.MessageFile, m_commandLine.Offset + SeparatorLength,
                             m_commandLine.Length - SeparatorLength);
    }
    if (!raw) {
        Report(MsgFileError, TMessageKind::Warning);
        return;
    }
    auto* source = new TSourceFrm(*raw, QString::fromUtf8(m_message.Subject), this);
    source->setAttribute(Qt::WA_DeleteOnClose);
    source->show();
}

void TLmviewFrm::PropertiesItmClick()
{
    QByteArray source;
    if (m_commandLine.SingleFile) {
        QFile file(m_commandLine.MessageFile);
        if (file.open(QIODevice::ReadOnly))
            source = file.readAll();
    } else {
        source = ReadRawMessage(m_commandLine.MessageFile, m_commandLine.Offset + SeparatorLength,
                                m_commandLine.Length - SeparatorLength).value_or(QByteArray());
    }
    TMailInfoFrm info(this);
    info.Show(DetailsOf(m_message, source, source.size()));
    info.exec();
}

void TLmviewFrm::PrintItmClick()
{
    QPrinter printer(QPrinter::HighResolution);
    const auto document = BuildPrintDocument(m_message, BodyMem->toPlainText(), PrintFont(Settings.Display.MailFont));
    PrintWithDialog(this, printer, *document, Settings.Print);
}

void TLmviewFrm::PreviewItmClick()
{
    TPrintFrm print(m_message, BodyMem->toPlainText(), Settings.Print, Settings.Display.MailFont, this);
    print.exec();
    Settings.Print = print.PrintSettings();
}

void TLmviewFrm::PdfItmClick()
{
    const QPrinter paper(QPrinter::HighResolution);
    const auto document = BuildPrintDocument(m_message, BodyMem->toPlainText(), PrintFont(Settings.Display.MailFont));
    SavePdfWithDialog(this, *document, PrintPageLayout(paper.pageLayout(), Settings.Print), QString::fromUtf8(m_message.Subject));
}

void TLmviewFrm::FindItmClick()
{
    if (!m_find) {
        m_find = new TFindFrm(this);
        m_find->Find = [this](const QString& text, QTextDocument::FindFlags flags) {
            const QTextCursor found = BodyMem->document()->find(text, BodyMem->textCursor().selectionEnd(), flags);
            if (found.isNull()) {
                Report(20, TMessageKind::Information);
                return;
            }
            BodyMem->setTextCursor(found);
        };
    }
    m_find->show();
    m_find->raise();
}

bool TLmviewFrm::MainWindowFound()
{
    if (WindowExists(MainWindowTitle))
        return true;
    Report(MsgMainNotFound, TMessageKind::Warning);
    return false;
}

void TLmviewFrm::FilterItmClick(TFilterField field)
{
    if (!MainWindowFound())
        return;
    WriteHandOver(FilterHandOverText(field, m_message));
    PostWindowMessage(MainWindowTitle, wmFilterFromHandOver);
}

void TLmviewFrm::AddToAdrItmClick()
{
    // Removed when the address book has ended; it reads the file at start.
    QTemporaryFile contactFile(Paths().System.TempDir + QLatin1String("/contact-XXXXXX"));
    if (!contactFile.open() || contactFile.write(ContactHandOverText(AddressBookContact(m_message.Sender))) < 0
        || !contactFile.flush()) {
        Report(MsgFileError, TMessageKind::Warning);
        return;
    }
    contactFile.close();
    RunAndWait(Paths().Program.LmabExe, {QStringLiteral("NEW"), ContactFileArgument, contactFile.fileName()},
               m_addressBookRunning);
}

// The new message goes to the main client through the contact file; a failed write is reported
// and the main client is told all the same, as it finds the old contact file missing.
void TLmviewFrm::HandOverToMainWindow(TqmMessage& message)
{
    try {
        message.SaveToFile(Paths().Data.ContactFile);
    } catch (const EMessageError&) {
        Report(MsgFileError, TMessageKind::Warning);
    }
    PostWindowMessage(MainWindowTitle, wmNewFromContact);
    close();
}

void TLmviewFrm::AnswerPItmClick()
{
    if (!MainWindowFound())
        return;
    TReplyOptions options;
    options.Quote = Settings.General.QuoteMails;
    if (Settings.General.AutoSignature)
        options.Signature = SignatureText(Settings.General.Signature);
    options.IncludeCC = m_message.CC.Count() > 0 && Settings.Warnings.LVUseCCRecipients
        && Dialogs.Ask(MessageText(MsgIncludeCC), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    TqmMessage reply;
    BuildReply(m_message, options, reply);
    HandOverToMainWindow(reply);
}

void TLmviewFrm::ForwardPItmClick()
{
    if (!MainWindowFound())
        return;
    TqmMessage forward;
    BuildForward(m_message, ReadDefaultAccount(), forward);
    HandOverToMainWindow(forward);
}

void TLmviewFrm::RedirectItmClick()
{
    if (!MainWindowFound())
        return;
    TqmMessage redirect;
    BuildRedirect(m_message, redirect);
    HandOverToMainWindow(redirect);
}

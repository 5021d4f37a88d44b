#include "Main.h"

#include "AddressListModel.h"
#include "AdrEdt.h"
#include "AtomicFile.h"
#include "EnhListView.h"
#include "FormHelpers.h"
#include "FormPlacement.h"
#include "FormTranslation.h"
#include "GroupEdt.h"
#include "RegistryFunctions.h"
#include "Reporter.h"
#include "Settings.h"
#include "ShellFunctions.h"
#include "lminfo.h"
#include "tk_langlib.h"
#include "tk_reglib.h"
#include "ReportBoxes.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

namespace {

enum Tag {
    FileTag = 10, NewContactTag, NewGroupTag, OpenTag, DeleteTag, ImportExportTag, ExitTag, ExtrasTag, SettingsTag,
    HelpTag, ContentsTag, InfoTag, ColumnsTag, ImportTag, ExportTag, CancelTag
};

constexpr int DefaultColumnWidth = 150;

QAction* NewAction(QMenu* menu, const char* name, const QString& caption, int tag, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    SetTag(action, tag);
    return action;
}

QString ComponentText(const QString& german, int tag)
{
    return IsEnglish() ? StringTableText(tag + ComponentTextOffset) : german;
}

} // namespace

TMainFrm::TMainFrm(const QStringList& arguments, QWidget* parent) : QMainWindow(parent), m_newContact(ParseNewContactArguments(arguments))
{
    setObjectName(QStringLiteral("LmabMainFrm"));
    setWindowTitle(AddressBookWindowTitle());
    EditRecord = [this](TAddressRecord& record, QByteArrayList& members, int own) {
        return OpenDialog(record, members, own);
    };
    AskQuestion = [this](const QString& question) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    m_categories = ReadCategories();

    Model = new TAddressListModel(this);
    Listview = new TEnhListView(this);
    Listview->setObjectName(QStringLiteral("Listview"));
    Listview->setModel(Model);
    SetTag(Listview, ColumnsTag);
    Listview->header()->setStretchLastSection(true);
    setCentralWidget(Listview);
    CreateMenus();
    connect(Listview, &TEnhListView::SelectionChanged, this, &TMainFrm::UpdateCommands);
    // Queued: the contact editor's loop must not run inside the view's own double-click handling.
    connect(Listview, &QAbstractItemView::doubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, &TMainFrm::OpenItmClick, Qt::QueuedConnection); });
    resize(520, 420);
    TranslateFormIfEnglish(this);
    Model->Captions = ComponentText(QStringLiteral("Name|E-Mail"), ColumnsTag).split(QLatin1Char('|'));

    Listview->SetColumnsKey(AddressBookColumnsKey());
    for (int column = 0; column < TAddressListModel::ColumnCount; ++column)
        Listview->setColumnWidth(column, DefaultColumnWidth);
    Listview->RestoreColumnWidths();
    FillList();
    RestoreFormPlacement(*this, UserContext().Keys.Forms);
}

void TMainFrm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Datei"));
    SetTag(file->menuAction(), FileTag);
    NewContactItm = NewAction(file, "NewContactItm", QStringLiteral("&Neuer Kontakt"), NewContactTag, QKeySequence(Qt::CTRL | Qt::Key_N));
    NewGroupItm = NewAction(file, "NewGroupItm", QStringLiteral("Neue &Gruppe"), NewGroupTag);
    OpenItm = NewAction(file, "OpenItm", QStringLiteral("Ö&ffnen"), OpenTag, QKeySequence(Qt::CTRL | Qt::Key_O));
    OpenItm->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    DeleteItm = NewAction(file, "DeleteItm", QStringLiteral("&Löschen..."), DeleteTag, QKeySequence(Qt::Key_Delete));
    file->addSeparator();
    ImportExportItm = NewAction(file, "ImportExportItm", QStringLiteral("&Import/Export..."), ImportExportTag);
    file->addSeparator();
    ExitItm = NewAction(file, "ExitItm", QStringLiteral("&Beenden"), ExitTag, QKeySequence(Qt::Key_Escape));
    QMenu* extras = menuBar()->addMenu(QStringLiteral("E&xtras"));
    SetTag(extras->menuAction(), ExtrasTag);
    SettingsItm = NewAction(extras, "SettingsItm", QStringLiteral("&Einstellungen..."), SettingsTag);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    SetTag(help->menuAction(), HelpTag);
    ContentsItm = NewAction(help, "ContentsItm", QStringLiteral("&Inhalt"), ContentsTag, QKeySequence(Qt::Key_F1));
    InfoItm = NewAction(help, "InfoItm", QStringLiteral("Inf&o"), InfoTag);
    // The shortcuts work in the list, where the focus is, without the menu being open.
    addActions({NewContactItm, OpenItm, DeleteItm, ExitItm, ContentsItm});

    connect(NewContactItm, &QAction::triggered, this, &TMainFrm::NewContactItmClick);
    connect(NewGroupItm, &QAction::triggered, this, &TMainFrm::NewGroupItmClick);
    connect(OpenItm, &QAction::triggered, this, &TMainFrm::OpenItmClick);
    connect(DeleteItm, &QAction::triggered, this, &TMainFrm::DeleteItmClick);
    connect(ImportExportItm, &QAction::triggered, this, &TMainFrm::ImportExportItmClick);
    connect(ExitItm, &QAction::triggered, this, &QWidget::close);
    connect(SettingsItm, &QAction::triggered, this, &TMainFrm::SettingsItmClick);
    connect(ContentsItm, &QAction::triggered, this, [this] { ShowHelp(HelpContext::AddressBook, this); });
    connect(InfoItm, &QAction::triggered, this, [] { ShowInfoDialog(); });
}

void TMainFrm::ListenForWindowMessages()
{
    ListenForRestore(this);
}

bool TMainFrm::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        if (m_newContact)
            QTimer::singleShot(0, this, &TMainFrm::NewContactItmClick);
    }
    return handled;
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    WriteCategories(m_categories);
    Listview->SaveColumnWidths();
    SaveFormPlacement(*this, UserContext().Keys.Forms);
    event->accept();
}

void TMainFrm::FillList()
{
    Model->SetRows(AddressRows());
    Listview->ApplySort();
    SelectRow(0);
}

void TMainFrm::SelectRow(int row)
{
    if (row >= 0 && row < Model->rowCount())
        Listview->SelectRow(row);
    UpdateCommands();
}

void TMainFrm::UpdateCommands()
{
    const int selected = Listview->SelectedCount();
    OpenItm->setEnabled(selected == 1);
    DeleteItm->setEnabled(selected >= 1);
}

bool TMainFrm::OpenDialog(TAddressRecord& record, QByteArrayList& members, int own)
{
    if (record.Group)
        return TGroupEdtFrm::Run(this, record, members, m_categories, own);
    return TAdrEdtFrm::Run(this, record, m_categories);
}

bool TMainFrm::EditUntilAccepted(TAddressRecord& record, QByteArrayList& members, int own)
{
    while (EditRecord(record, members, own)) {
        const int problem = record.Group ? CheckGroup(record, own) : CheckContact(record, own);
        if (problem == 0)
            return true;
        Report(problem, TMessageKind::Warning);
    }
    return false;
}

void TMainFrm::AddRecord(TAddressRecord record, QByteArrayList members)
{
    if (!EditUntilAccepted(record, members, 0))
        return;
    const int written = SaveAddress(0, record, members, {});
    if (written == 0) {
        Report(AddressText::AccessError, TMessageKind::Error);
        return;
    }
    const std::optional<TAddressRecord> stored = ReadAddress(written);
    const int row = Model->AppendRow(RowOfRecord(written, stored.value_or(record)));
    Listview->clearSelection();
    SelectRow(row);
}

void TMainFrm::NewContactItmClick()
{
    TAddressRecord record;
    record.Category = m_categories.value(0).toUtf8();
    if (m_newContact) {
        record.LastName = m_newContact->LastName.toUtf8();
        record.FirstName = m_newContact->FirstName.toUtf8();
        record.Email = m_newContact->Email.toUtf8();
        m_newContact.reset();
    }
    AddRecord(record, {});
}

void TMainFrm::NewGroupItmClick()
{
    TAddressRecord record;
    record.Group = true;
    record.Category = m_categories.value(0).toUtf8();
    AddRecord(record, {});
}

void TMainFrm::OpenItmClick()
{
    if (Listview->SelectedCount() != 1)
        return;
    const int row = Listview->SelectedRows().value(0, -1);
    const int number = Model->Row(row).Record;
    QByteArrayList members;
    std::optional<TAddressRecord> record = ReadAddressWithMembers(number, members);
    if (!record)
        return;
    const QByteArray oldKey = record->Key;
    if (!EditUntilAccepted(*record, members, number))
        return;
    if (SaveAddress(number, *record, members, oldKey) == 0) {
        Report(AddressText::AccessError, TMessageKind::Error);
        return;
    }
    Model->ReplaceRow(row, RowOfRecord(number, ReadAddress(number).value_or(*record)));
}

void TMainFrm::DeleteItmClick()
{
    const QList<int> rows = Listview->SelectedRows();
    if (rows.isEmpty() || !AskQuestion(MessageText(AddressText::ConfirmDelete)))
        return;
    QList<int> removed;
    for (const int row : rows)
        if (DeleteAddress(Model->Row(row).Record))
            removed.append(row);
    if (removed.size() != rows.size())
        Report(AddressText::AccessError, TMessageKind::Error);
    const int focused = Listview->FocusedRow();
    Model->RemoveRows(removed);
    Listview->clearSelection();
    SelectRow(std::min(std::max(focused, 0), Model->rowCount() - 1));
}

void TMainFrm::ImportExportItmClick()
{
    const QString converterDir = TRegistryKey().ReadString(QLatin1String(RegValue::ProgDirLmconvert));
    if (!converterDir.isEmpty()) {
        if (!QProcess::startDetached(converterDir + QStringLiteral("/lmconvert")))
            Report(502, TMessageKind::Warning, converterDir + QStringLiteral("/lmconvert"));
        return;
    }
    QMessageBox box(QMessageBox::Question, windowTitle(), MessageText(14), QMessageBox::NoButton, this);
    QPushButton* importBtn = box.addButton(ComponentText(QStringLiteral("&Importieren..."), ImportTag), QMessageBox::AcceptRole);
    QPushButton* exportBtn = box.addButton(ComponentText(QStringLiteral("&Exportieren..."), ExportTag), QMessageBox::AcceptRole);
    box.addButton(ComponentText(QStringLiteral("Abbrechen"), CancelTag), QMessageBox::RejectRole);
    box.exec();
    const QString filter = MessageText(15) + QStringLiteral(";;") + MessageText(16);
    if (box.clickedButton() == importBtn) {
        const QString fileName = QFileDialog::getOpenFileName(this, QString(), QString(), filter);
        if (!fileName.isEmpty())
            ImportFile(fileName);
    } else if (box.clickedButton() == exportBtn) {
        const QString fileName = QFileDialog::getSaveFileName(this, QString(), QStringLiteral("lumaro.vcf"), filter);
        if (!fileName.isEmpty())
            ExportFile(fileName);
    }
}

bool TMainFrm::ImportFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Report(AddressText::ReadError, TMessageKind::Warning, fileName);
        return false;
    }
    const TImportResult result = ImportCards(ReadVCards(file.readAll()), m_categories.value(0));
    FillList();
    QString text = FillIn(MessageText(AddressText::Imported), QString::number(result.Imported));
    if (result.Skipped > 0)
        text += QLatin1Char('\n') + FillIn(MessageText(AddressText::ImportSkipped), QString::number(result.Skipped));
    ReportText(AddressText::Imported, TMessageKind::Information, text);
    return true;
}

bool TMainFrm::ExportFile(const QString& fileName)
{
    const QList<TVCard> cards = ExportCards();
    if (!WriteFileAtomically(fileName, WriteVCards(cards), /*ownerOnly=*/true)) {
        Report(AddressText::WriteError, TMessageKind::Warning, fileName);
        return false;
    }
    Report(AddressText::Exported, TMessageKind::Information, QString::number(cards.size()));
    return true;
}

void TMainFrm::SettingsItmClick()
{
    TSettingsFrm::Run(this, m_categories);
}

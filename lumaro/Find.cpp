#include "Find.h"

#include "FolderSet.h"
#include "FormParts.h"
#include "FormTranslation.h"
#include "Konstanten.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Tags {
    FormTag = 620,
    InfoTag = 621,
    FindTag = 622,
    FolderTag = 623,
    AllTag = 624,
    DecodedTag = 625,
    ListTag = 626,
    SearchTag = 627,
    OpenTag = 628,
    StopTag = 629,
    CloseTag = 630,
};
constexpr int MsgNothingFound = 72;
// Window events are let through this often while a folder is searched.
constexpr int PumpIntervalMs = 30;
constexpr int RecordRole = Qt::UserRole;
constexpr int OffsetRole = Qt::UserRole + 1;
constexpr int LengthRole = Qt::UserRole + 2;
constexpr int FolderRole = Qt::UserRole + 3;

QString Text(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

TFindFrm::TFindFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindFrm"));
    setWindowTitle(QStringLiteral("Nachrichten suchen"));
    SetTag(this, FormTag);
    Inform = [this](const QString& text) { ShowPlainMessageBox(QMessageBox::Information, this, windowTitle(), text); };
    InfoLbl = new QLabel(QStringLiteral("Suchen Sie Nachrichten, die eine bestimmte Zeichenfolge enthalten. "
                                        "Groß- und Kleinschreibung wird nicht beachtet."), this);
    InfoLbl->setWordWrap(true);
    SetTag(InfoLbl, InfoTag);
    auto* findLbl = new QLabel(QStringLiteral("Suchen &nach:"), this);
    SetTag(findLbl, FindTag);
    FindEdt = new QLineEdit(this);
    FindEdt->setObjectName(QStringLiteral("FindEdt"));
    findLbl->setBuddy(FindEdt);
    auto* folderLbl = new QLabel(QStringLiteral("&Ordner:"), this);
    SetTag(folderLbl, FolderTag);
    FolderCmb = new QComboBox(this);
    FolderCmb->setObjectName(QStringLiteral("FolderCmb"));
    folderLbl->setBuddy(FolderCmb);
    AllChk = TaggedCheckBox(QStringLiteral("&Alle Ordner durchsuchen"), AllTag, this);
    DecodedChk = TaggedCheckBox(QStringLiteral("&Dekodierten Text durchsuchen"), DecodedTag, this);
    ListView = new QTreeWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
    ListView->setHeaderLabels({QStringLiteral("Ordner"), QStringLiteral("Absender"), QStringLiteral("Empfänger"),
                               QStringLiteral("Betreff"), QStringLiteral("Datum")});
    SetTag(ListView, ListTag);
    ListView->header()->resizeSection(0, 110);
    ListView->header()->resizeSection(1, 140);
    ListView->header()->resizeSection(2, 140);
    ListView->header()->resizeSection(3, 200);
    SearchBtn = TaggedButton(QStringLiteral("&Suchen"), SearchTag, this);
    SearchBtn->setDefault(true);
    OpenBtn = TaggedButton(QStringLiteral("Nachricht ö&ffnen"), OpenTag, this);
    StopBtn = TaggedButton(QStringLiteral("Abbrechen"), StopTag, this);
    CloseBtn = TaggedButton(QStringLiteral("Schließen"), CloseTag, this);

    connect(FindEdt, &QLineEdit::textChanged, this, &TFindFrm::RefreshButtons);
    connect(AllChk, &QCheckBox::toggled, FolderCmb, &QWidget::setDisabled);
    connect(ListView, &QTreeWidget::itemSelectionChanged, this, &TFindFrm::RefreshButtons);
    // Queued: opening waits for the message window, during which Search may clear this list.
    connect(ListView, &QTreeWidget::itemDoubleClicked, this, [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (OpenBtn->isEnabled())
                OpenBtnClick();
        }, Qt::QueuedConnection);
    });
    connect(SearchBtn, &QPushButton::clicked, this, &TFindFrm::SearchBtnClick);
    connect(OpenBtn, &QPushButton::clicked, this, &TFindFrm::OpenBtnClick);
    connect(StopBtn, &QPushButton::clicked, this, &TFindFrm::StopBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* fields = new QHBoxLayout;
    fields->addWidget(findLbl);
    fields->addWidget(FindEdt, 2);
    fields->addWidget(folderLbl);
    fields->addWidget(FolderCmb, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(AllChk);
    checks->addWidget(DecodedChk);
    checks->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SearchBtn);
    buttons->addWidget(StopBtn);
    buttons->addStretch();
    buttons->addWidget(OpenBtn);
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLbl);
    layout->addLayout(fields);
    layout->addLayout(checks);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);
    resize(760, 420);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Search);
    RefreshButtons();
}

void TFindFrm::Setup(const QList<QPair<QString, QString>>& folders, const QString& currentFolder)
{
    FolderCmb->clear();
    for (const auto& [displayName, folderName] : folders)
        FolderCmb->addItem(displayName, folderName);
    FolderCmb->setCurrentIndex(std::max(0, FolderCmb->findData(currentFolder)));
    FindEdt->setFocus();
    RefreshButtons();
}

void TFindFrm::RefreshButtons()
{
    SearchBtn->setEnabled(!FindEdt->text().isEmpty() && !m_searching);
    OpenBtn->setEnabled(!ListView->selectedItems().isEmpty() && !m_searching);
    CloseBtn->setEnabled(!m_searching);
    StopBtn->setVisible(m_searching);
}

void TFindFrm::SearchBtnClick()
{
    if (m_searching || FindEdt->text().isEmpty())
        return;
    ListView->clear();
    m_searching = true;
    RefreshButtons();
    const TTextFinder finder(FindEdt->text().toUtf8());
    const TSearchMode mode = DecodedChk->isChecked() ? TSearchMode::Decoded : TSearchMode::Raw;
    if (AllChk->isChecked()) {
        for (int i = 0; i < FolderCmb->count() && m_searching; ++i) {
            FolderCmb->setCurrentIndex(i);
            SearchOneFolder(i, finder, mode);
            QApplication::processEvents();
        }
    } else {
        SearchOneFolder(FolderCmb->currentIndex(), finder, mode);
    }
    m_searching = false;
    RefreshButtons();
    if (ListView->topLevelItemCount() == 0) {
        Inform(MessageText(MsgNothingFound));
        FindEdt->setFocus();
        return;
    }
    ListView->setCurrentItem(ListView->topLevelItem(0));
    ListView->setFocus();
}

void TFindFrm::SearchOneFolder(int comboIndex, const TTextFinder& finder, TSearchMode mode)
{
    const QString folderName = FolderCmb->itemData(comboIndex).toString();
    if (folderName.isEmpty())
        return;
    QElapsedTimer sincePump;
    sincePump.start();
    const auto keepSearching = [this, &sincePump] {
        if (sincePump.elapsed() >= PumpIntervalMs) {
            QApplication::processEvents();
            sincePump.restart();
        }
        return m_searching;
    };
    for (const TSearchHit& hit : SearchFolder(folderName, FolderPaths(folderName), finder, mode, keepSearching))
        AddHit(hit);
}

void TFindFrm::AddHit(const TSearchHit& hit)
{
    const QString date = hit.Record.Date == 0 ? QString()
                                              : DateTimeToQDateTime(hit.Record.Date).toString(Paths().DisplayDateFormat);
    auto* item = new QTreeWidgetItem({FolderDisplayName(hit.Folder), Text(hit.Record.From), Text(hit.Record.To),
                                      Text(hit.Record.Subject), date});
    item->setData(0, RecordRole, hit.Entry.Record);
    item->setData(0, OffsetRole, hit.Entry.Offset);
    item->setData(0, LengthRole, hit.Entry.Length);
    item->setData(0, FolderRole, hit.Folder);
    ListView->addTopLevelItem(item);
}

void TFindFrm::StopBtnClick()
{
    m_searching = false;
}

void TFindFrm::OpenBtnClick()
{
    const QList<QTreeWidgetItem*> selected = ListView->selectedItems();
    if (selected.isEmpty() || !OpenMessage)
        return;
    const QTreeWidgetItem* item = selected.first();
    TListEntry entry;
    entry.Record = item->data(0, RecordRole).toInt();
    entry.Offset = item->data(0, OffsetRole).toInt();
    entry.Length = item->data(0, LengthRole).toInt();
    OpenMessage(item->data(0, FolderRole).toString(), entry);
}

void TFindFrm::reject()
{
    // Escape or the window's close button during a search stop it; the dialog stays until it ended.
    if (m_searching) {
        m_searching = false;
        return;
    }
    QDialog::reject();
}

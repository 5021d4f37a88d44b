#include "FloskelnConf.h"

#include "FloskelnConf2.h"
#include "FormParts.h"
#include "FormTranslation.h"
#include "PhraseFunctions.h"
#include "Reporter.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"
#include "ReportBoxes.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags {
    FormTag = 670,
    InfoTag = 671,
    CategoriesTag = 672,
    InsertTag = 673,
    EditTag = 674,
    DeleteTag = 675,
    CloseTag = 676,
    PhrasesTag = 677,
};
constexpr int MsgErrorDeleting = 13;
constexpr int MsgDeleteEntry = 70;

void SelectText(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    list->setCurrentItem(found.isEmpty() ? list->item(0) : found.first());
}

} // namespace

TFloskelnConfFrm::TFloskelnConfFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FloskelnConfFrm"));
    setWindowTitle(QStringLiteral("Floskeln"));
    SetTag(this, FormTag);
    AskYesNo = [this](const QString& text) {
        return ShowPlainMessageBox(QMessageBox::Question, this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
    };
    CategoriesLb = new QListWidget(this);
    CategoriesLb->setObjectName(QStringLiteral("CategoriesLb"));
    FloskelnLb = new QListWidget(this);
    FloskelnLb->setObjectName(QStringLiteral("FloskelnLb"));
    FloskelnLb->setContextMenuPolicy(Qt::CustomContextMenu);
    CategoryLbl = new QLabel(this);
    CategoryLbl->setTextFormat(Qt::PlainText);
    CategoryLbl->setObjectName(QStringLiteral("CategoryLbl"));
    QFont bold = CategoryLbl->font();
    bold.setBold(true);
    CategoryLbl->setFont(bold);
    InsertBtn = TaggedButton(QStringLiteral("&Hinzufügen..."), InsertTag, this);
    EditBtn = TaggedButton(QStringLiteral("&Bearbeiten..."), EditTag, this);
    DeleteBtn = TaggedButton(QStringLiteral("&Entfernen..."), DeleteTag, this);
    CloseBtn = TaggedButton(QStringLiteral("Schließen"), CloseTag, this);
    PopupMnu = new QMenu(this);
    PopupMnu->addAction(InsertBtn->text(), this, &TFloskelnConfFrm::InsertBtnClick);
    PopupMnu->addAction(EditBtn->text(), this, &TFloskelnConfFrm::EditBtnClick);
    PopupMnu->addAction(DeleteBtn->text(), this, &TFloskelnConfFrm::DeleteBtnClick);

    connect(CategoriesLb, &QListWidget::currentTextChanged, this, [this](const QString& category) {
        if (category != m_category && CategoriesLb->currentRow() >= 0)
            Refresh(category);
    });
    connect(FloskelnLb, &QListWidget::currentRowChanged, this, &TFloskelnConfFrm::RefreshButtons);
    // Queued: the editor refills the list, deleting the item whose signal is still being delivered.
    connect(FloskelnLb, &QListWidget::itemDoubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, &TFloskelnConfFrm::EditBtnClick, Qt::QueuedConnection); });
    connect(FloskelnLb, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMnu->actions().at(1)->setEnabled(EditBtn->isEnabled());
        PopupMnu->actions().at(2)->setEnabled(DeleteBtn->isEnabled());
        PopupMnu->popup(FloskelnLb->viewport()->mapToGlobal(at));
    });
    connect(InsertBtn, &QPushButton::clicked, this, &TFloskelnConfFrm::InsertBtnClick);
    connect(EditBtn, &QPushButton::clicked, this, &TFloskelnConfFrm::EditBtnClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TFloskelnConfFrm::DeleteBtnClick);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(InsertBtn);
    buttons->addWidget(EditBtn);
    buttons->addWidget(DeleteBtn);
    buttons->addStretch();
    buttons->addWidget(CloseBtn);
    auto* grid = new QGridLayout;
    grid->addWidget(TaggedLabel(QStringLiteral("Kategorie:"), CategoriesTag, this), 0, 0);
    grid->addWidget(CategoryLbl, 0, 1);
    grid->addWidget(CategoriesLb, 1, 0);
    grid->addWidget(FloskelnLb, 1, 1);
    grid->addLayout(buttons, 1, 2);
    grid->setColumnStretch(1, 1);
    auto* info = TaggedLabel(QStringLiteral("Definieren Sie hier Textbausteine (Floskeln). Sie können sie später in jede neue "
                                      "Nachricht oder auch als Signatur einfügen."),
                       InfoTag, this);
    info->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addLayout(grid, 1);
    resize(560, 360);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::Phrases);
}

void TFloskelnConfFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Refresh(m_category, SelectedPhrase());
}

void TFloskelnConfFrm::Refresh(const QString& category, const QString& name)
{
    const QList<TPhraseEntry> entries = ScanPhrases();
    const QStringList categories = PhraseCategories(entries);
    {
        const QSignalBlocker blocker(CategoriesLb);
        CategoriesLb->clear();
        CategoriesLb->addItems(categories);
        SelectText(CategoriesLb, category);
    }
    m_category = CategoriesLb->currentItem() ? CategoriesLb->currentItem()->text() : QString();
    CategoryLbl->setText(m_category);
    {
        const QSignalBlocker blocker(FloskelnLb);
        FloskelnLb->clear();
        FloskelnLb->addItems(PhrasesOfCategory(entries, m_category));
        SelectText(FloskelnLb, name);
    }
    RefreshButtons();
}

QString TFloskelnConfFrm::SelectedPhrase() const
{
    const QListWidgetItem* item = FloskelnLb->currentItem();
    return item ? item->text() : QString();
}

void TFloskelnConfFrm::RefreshButtons()
{
    const bool selected = FloskelnLb->currentItem() != nullptr;
    EditBtn->setEnabled(selected);
    DeleteBtn->setEnabled(selected);
}

void TFloskelnConfFrm::RunEditor(const QString& name)
{
    TFloskelnConf2Frm editor(this);
    editor.Setup(PhraseCategories(ScanPhrases()), m_category, name);
    if (editor.exec() == QDialog::Accepted)
        Refresh(editor.Category(), editor.Name());
}

void TFloskelnConfFrm::InsertBtnClick()
{
    RunEditor({});
}

void TFloskelnConfFrm::EditBtnClick()
{
    if (EditBtn->isEnabled())
        RunEditor(SelectedPhrase());
}

void TFloskelnConfFrm::DeleteBtnClick()
{
    const QString name = SelectedPhrase();
    if (name.isEmpty() || !AskYesNo(MessageText(MsgDeleteEntry)))
        return;
    if (!DeletePhrase(m_category, name))
        Report(MsgErrorDeleting, TMessageKind::Warning);
    Refresh(m_category);
}

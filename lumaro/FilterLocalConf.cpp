#include "FilterLocalConf.h"

#include "FilterDialogRules.h"
#include "FolderSet.h"
#include "FormHelpers.h"
#include "FormTranslation.h"
#include "Reporter.h"
#include "ShellFunctions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int KbytesMaximum = 32000;
constexpr int KbytesStep = 1000;
constexpr int MsgErrorWriting = 12;
constexpr int MsgQuoteInCriterion = 410;

enum FormTag {
    RuleListTag = 700, RuleListTextTag, AddTag, EditTag, RemoveTag, UpTag, DownTag, AutoTag, OkTag, CancelTag,
    EditorTag = 720, FromTag, ToTag, SubjectTag, SizeTag, KeepTag, DeleteTag, MoveTag, ActionTag,
    EditorHelpTag = 149,
};

void AddFolderNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const QList<TFolderNode>& nodes)
{
    for (const TFolderNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, node.Text);
        item->setData(0, Qt::UserRole, node.FileName);
        AddFolderNodes(item, tree, node.Children);
    }
}

} // namespace

TFilterLocalConf2Frm::TFilterLocalConf2Frm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FilterLocalConf2Frm"));
    setWindowTitle(QStringLiteral("Filterregel bearbeiten"));
    SetTag(this, EditorTag);
    auto* help = NewLabel(this,
                       QStringLiteral("Definieren Sie hier die gewünschte Filterregel. Groß-/Kleinschreibung wird nicht "
                                      "beachtet. Die Kritierien werden mit ODER verknüpft, mehrere Kriterien müssen mit "
                                      "Komma getrennt werden. Um ein leeres Feld zu erkennen, setzen Sie \"-\"."),
                       EditorHelpTag);
    help->setWordWrap(true);
    FromContainsEdt = new QLineEdit(this);
    ToContainsEdt = new QLineEdit(this);
    SubjectContainsEdt = new QLineEdit(this);
    KbytesEdt = new QSpinBox(this);
    KbytesEdt->setRange(0, KbytesMaximum);
    KbytesEdt->setSingleStep(KbytesStep);
    KbytesEdt->setSuffix(QStringLiteral(" KB"));
    auto* criteria = new QGridLayout;
    criteria->addWidget(NewLabel(this, QStringLiteral("&VON"), FromTag, FromContainsEdt), 0, 0);
    criteria->addWidget(FromContainsEdt, 0, 1);
    criteria->addWidget(NewLabel(this, QStringLiteral("&AN/CC"), ToTag, ToContainsEdt), 1, 0);
    criteria->addWidget(ToContainsEdt, 1, 1);
    criteria->addWidget(NewLabel(this, QStringLiteral("&BETREFF"), SubjectTag, SubjectContainsEdt), 2, 0);
    criteria->addWidget(SubjectContainsEdt, 2, 1);
    criteria->addWidget(NewLabel(this, QStringLiteral("&Größer als"), SizeTag, KbytesEdt), 3, 0);
    criteria->addWidget(KbytesEdt, 3, 1, Qt::AlignLeft);

    auto* actions = new QGroupBox(QStringLiteral("Nachrichten, die zutreffen, werden"), this);
    SetTag(actions, ActionTag);
    ActionKeepRb = new QRadioButton(QStringLiteral("auf dem Server &belassen"), actions);
    SetTag(ActionKeepRb, KeepTag);
    ActionDeleteRb = new QRadioButton(QStringLiteral("auf dem Server &gelöscht"), actions);
    SetTag(ActionDeleteRb, DeleteTag);
    ActionMoveRb = new QRadioButton(QStringLiteral("&empfangen und in folgenden Ordner verschoben:"), actions);
    SetTag(ActionMoveRb, MoveTag);
    TreeView = new QTreeWidget(actions);
    TreeView->setHeaderHidden(true);
    TreeView->setMinimumHeight(140);
    auto* actionLayout = new QVBoxLayout(actions);
    actionLayout->addWidget(ActionKeepRb);
    actionLayout->addWidget(ActionDeleteRb);
    actionLayout->addWidget(ActionMoveRb);
    actionLayout->addWidget(TreeView);

    OKBtn = NewButton(this, QStringLiteral("OK"), OkTag);
    OKBtn->setDefault(true);
    CancelBtn = NewButton(this, QStringLiteral("Abbrechen"), CancelTag);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addLayout(criteria);
    layout->addWidget(actions, 1);
    layout->addLayout(buttons);
    resize(460, 480);

    for (QLineEdit* edit : {FromContainsEdt, ToContainsEdt, SubjectContainsEdt})
        connect(edit, &QLineEdit::textChanged, this, &TFilterLocalConf2Frm::UpdateStates);
    connect(KbytesEdt, &QSpinBox::valueChanged, this, &TFilterLocalConf2Frm::UpdateStates);
    for (QRadioButton* radio : {ActionKeepRb, ActionDeleteRb, ActionMoveRb})
        connect(radio, &QRadioButton::toggled, this, &TFilterLocalConf2Frm::UpdateStates);
    connect(OKBtn, &QPushButton::clicked, this, &TFilterLocalConf2Frm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::FilterEditor);
}

// The rule line encloses each criteria text in double quotes and ends it at the next one: a quote
// typed into a criterion would end it early and let the rest rewrite the rule.
void TFilterLocalConf2Frm::OKBtnClick()
{
    for (QLineEdit* edit : {FromContainsEdt, ToContainsEdt, SubjectContainsEdt}) {
        if (!CriterionFitsRuleLine(edit->text())) {
            Report(MsgQuoteInCriterion, TMessageKind::Warning);
            edit->setFocus();
            edit->setCursorPosition(int(edit->text().indexOf(QLatin1Char('"'))));
            return;
        }
    }
    accept();
}

void TFilterLocalConf2Frm::FillFolders()
{
    TreeView->clear();
    AddFolderNodes(nullptr, TreeView, FolderTree(ListFolders()));
    TreeView->expandAll();
    TreeView->setCurrentItem(TreeView->topLevelItem(0));
}

void TFilterLocalConf2Frm::SelectFolder(const QString& folderFileName)
{
    for (QTreeWidgetItemIterator it(TreeView); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString().compare(folderFileName, Qt::CaseInsensitive) == 0) {
            TreeView->setCurrentItem(*it);
            return;
        }
    }
}

QByteArray TFilterLocalConf2Frm::Edit(const TFilterRule& rule)
{
    FillFolders();
    FromContainsEdt->setText(QString::fromUtf8(rule.From));
    ToContainsEdt->setText(QString::fromUtf8(rule.To));
    SubjectContainsEdt->setText(QString::fromUtf8(rule.Subject));
    KbytesEdt->setValue(rule.Size.trimmed().toInt());
    SelectFolder(QString::fromUtf8(rule.Folder));
    (rule.Action == TFilterAction::Keep     ? ActionKeepRb
     : rule.Action == TFilterAction::Delete ? ActionDeleteRb
                                            : ActionMoveRb)
        ->setChecked(true);
    UpdateStates();
    return exec() == QDialog::Accepted ? FilterRuleLine(Result()) : QByteArray();
}

void TFilterLocalConf2Frm::UpdateStates()
{
    const TRuleEditorState state
        = ComputeRuleEditorState({KbytesEdt->value(), !FromContainsEdt->text().isEmpty(), !ToContainsEdt->text().isEmpty(),
                                  !SubjectContainsEdt->text().isEmpty(), ActionMoveRb->isChecked()});
    for (QLineEdit* edit : {FromContainsEdt, ToContainsEdt, SubjectContainsEdt}) {
        if (state.ClearCriteria && !edit->text().isEmpty())
            edit->clear();
        edit->setEnabled(state.CriteriaEnabled);
    }
    if (state.SwitchToKeep)
        ActionKeepRb->setChecked(true);
    ActionMoveRb->setEnabled(state.MoveEnabled);
    TreeView->setEnabled(ActionMoveRb->isChecked());
    OKBtn->setEnabled(state.OkEnabled);
}

TFilterRule TFilterLocalConf2Frm::Result() const
{
    TFilterRule rule;
    rule.Action = ActionKeepRb->isChecked()     ? TFilterAction::Keep
                  : ActionDeleteRb->isChecked() ? TFilterAction::Delete
                                                : TFilterAction::MoveTo;
    rule.From = FromContainsEdt->text().toUtf8();
    rule.To = ToContainsEdt->text().toUtf8();
    rule.Subject = SubjectContainsEdt->text().toUtf8();
    if (KbytesEdt->value() >= 1)
        rule.Size = QByteArray::number(KbytesEdt->value());
    if (rule.Action == TFilterAction::MoveTo && TreeView->currentItem())
        rule.Folder = TreeView->currentItem()->data(0, Qt::UserRole).toString().toUtf8();
    return rule;
}

TFilterLocalConfFrm::TFilterLocalConfFrm(const QString& rulesFile, bool autoLocalFilter, QWidget* parent)
    : QDialog(parent), m_rulesFile(rulesFile)
{
    setObjectName(QStringLiteral("FilterLocalConfFrm"));
    setWindowTitle(QStringLiteral("Eingangsfilter"));
    SetTag(this, RuleListTag);
    auto* text = NewLabel(this, QStringLiteral("Definieren Sie hier die Regeln des Eingangsfilters."), RuleListTextTag);
    ListBox = new QListWidget(this);
    ListBox->setMinimumWidth(420);
    AddBtn = NewButton(this, QStringLiteral("&Hinzufügen..."), AddTag);
    EditBtn = NewButton(this, QStringLiteral("&Bearbeiten..."), EditTag);
    RemoveBtn = NewButton(this, QStringLiteral("&Entfernen"), RemoveTag);
    UpBtn = NewButton(this, QStringLiteral("Nach &oben"), UpTag);
    DownBtn = NewButton(this, QStringLiteral("Nach &unten"), DownTag);
    AutoLocalFilterChk = new QCheckBox(QStringLiteral("Au&tomatisch ausführen"), this);
    SetTag(AutoLocalFilterChk, AutoTag);
    AutoLocalFilterChk->setChecked(autoLocalFilter);
    OKBtn = NewButton(this, QStringLiteral("OK"), OkTag);
    OKBtn->setDefault(true);
    CancelBtn = NewButton(this, QStringLiteral("Abbrechen"), CancelTag);
    MessageLbl = new QLabel(this);
    // The prefill quotes a sender or subject of a message.
    MessageLbl->setTextFormat(Qt::PlainText);
    MessageLbl->hide();

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {AddBtn, EditBtn, RemoveBtn, UpBtn, DownBtn})
        side->addWidget(button);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(ListBox, 1);
    middle->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(AutoLocalFilterChk);
    bottom->addStretch();
    bottom->addWidget(OKBtn);
    bottom->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    resize(620, 360);

    for (const QByteArray& line : LoadFilterRules(m_rulesFile))
        ListBox->addItem(QString::fromUtf8(line));
    ListBox->setCurrentRow(ListBox->count() > 0 ? 0 : -1);
    connect(ListBox, &QListWidget::currentRowChanged, this, &TFilterLocalConfFrm::UpdateButtons);
    // Queued: the rule editor's loop runs while the list's signal is still being delivered.
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (EditBtn->isEnabled())
                EditBtnClick();
        }, Qt::QueuedConnection);
    });
    connect(AddBtn, &QPushButton::clicked, this, &TFilterLocalConfFrm::AddBtnClick);
    connect(EditBtn, &QPushButton::clicked, this, &TFilterLocalConfFrm::EditBtnClick);
    connect(RemoveBtn, &QPushButton::clicked, this, &TFilterLocalConfFrm::RemoveBtnClick);
    connect(UpBtn, &QPushButton::clicked, this, [this] { MoveSelected(-1); });
    connect(DownBtn, &QPushButton::clicked, this, [this] { MoveSelected(1); });
    connect(OKBtn, &QPushButton::clicked, this, &TFilterLocalConfFrm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
    TranslateFormIfEnglish(this);
    InstallHelpKey(this, HelpContext::FilterRules);
}

bool TFilterLocalConfFrm::AutoLocalFilter() const
{
    return AutoLocalFilterChk->isChecked();
}

void TFilterLocalConfFrm::SetPrefill(const QString& text)
{
    MessageLbl->setText(text);
}

void TFilterLocalConfFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (MessageLbl->text().isEmpty())
        return;
    const TFilterRule rule = PrefilledRule(MessageLbl->text());
    MessageLbl->clear();
    // After the list is on screen, so that the editor opens above it.
    QTimer::singleShot(0, this, [this, rule] { AddRule(rule); });
}

void TFilterLocalConfFrm::AddBtnClick()
{
    AddRule({});
}

void TFilterLocalConfFrm::AddRule(const TFilterRule& rule)
{
    TFilterLocalConf2Frm editor(this);
    const QByteArray line = editor.Edit(rule);
    if (line.isEmpty())
        return;
    ListBox->addItem(QString::fromUtf8(line));
    ListBox->setCurrentRow(ListBox->count() - 1);
}

void TFilterLocalConfFrm::EditBtnClick()
{
    QListWidgetItem* item = ListBox->currentItem();
    if (!item)
        return;
    TFilterLocalConf2Frm editor(this);
    const QByteArray line = editor.Edit(ParseFilterRule(item->text().toUtf8()));
    if (!line.isEmpty())
        item->setText(QString::fromUtf8(line));
}

void TFilterLocalConfFrm::RemoveBtnClick()
{
    delete ListBox->takeItem(ListBox->currentRow());
    ListBox->setCurrentRow(ListBox->count() > 0 ? 0 : -1);
    UpdateButtons();
}

void TFilterLocalConfFrm::MoveSelected(int by)
{
    const int row = ListBox->currentRow();
    const int target = row + by;
    if (row < 0 || target < 0 || target >= ListBox->count())
        return;
    QListWidgetItem* item = ListBox->takeItem(row);
    ListBox->insertItem(target, item);
    ListBox->setCurrentRow(target);
}

void TFilterLocalConfFrm::OKBtnClick()
{
    QByteArrayList lines;
    for (int i = 0; i < ListBox->count(); ++i)
        lines.append(ListBox->item(i)->text().toUtf8());
    if (!SaveFilterRules(m_rulesFile, lines)) {
        Report(MsgErrorWriting, TMessageKind::Warning, m_rulesFile);
        return;
    }
    accept();
}

void TFilterLocalConfFrm::UpdateButtons()
{
    const TRuleListButtons buttons = ComputeRuleListButtons(ListBox->count(), ListBox->currentRow());
    EditBtn->setEnabled(buttons.Edit);
    RemoveBtn->setEnabled(buttons.Remove);
    UpBtn->setEnabled(buttons.Up);
    DownBtn->setEnabled(buttons.Down);
}

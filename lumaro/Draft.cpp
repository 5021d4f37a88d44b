#include "Draft.h"

#include "FormTranslation.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Tags { FormTag = 680, InfoTag = 681, ListTag = 682, NoTag = 683, CancelTag = 684 };
constexpr int RecordRole = Qt::UserRole;
constexpr int OffsetRole = Qt::UserRole + 1;
constexpr int LengthRole = Qt::UserRole + 2;

} // namespace

TDraftFrm::TDraftFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DraftFrm"));
    setWindowTitle(QStringLiteral("Vorlage auswählen"));
    SetTag(this, FormTag);
    auto* info = new QLabel(QStringLiteral("Wählen Sie eine Vorlage, mit der die neue Nachricht beginnen soll."), this);
    info->setWordWrap(true);
    SetTag(info, InfoTag);
    ListView = new QTreeWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setRootIsDecorated(false);
    ListView->setHeaderLabels({QStringLiteral("Betreff"), QStringLiteral("Empfänger")});
    SetTag(ListView, ListTag);
    ListView->header()->resizeSection(0, 240);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    NoBtn = new QPushButton(QStringLiteral("&Keine"), this);
    SetTag(NoBtn, NoTag);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    SetTag(CancelBtn, CancelTag);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(TemplateChosen); });
    connect(NoBtn, &QPushButton::clicked, this, [this] { done(NoTemplate); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ListView, &QTreeWidget::itemDoubleClicked, this, [this] { done(TemplateChosen); });
    connect(ListView, &QTreeWidget::currentItemChanged, this,
            [this] { OKBtn->setEnabled(ListView->currentItem() != nullptr); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(NoBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);
    resize(480, 320);
    TranslateFormIfEnglish(this);
}

void TDraftFrm::Setup(const TFolderFiles& templates)
{
    ListView->clear();
    for (const TFolderMessage& message : EnumerateLiveMessages(templates)) {
        auto* item = new QTreeWidgetItem(
            {QString::fromUtf8(message.Index.Subject), QString::fromUtf8(message.Index.To)});
        item->setData(0, RecordRole, message.Record);
        item->setData(0, OffsetRole, message.Index.Offset);
        item->setData(0, LengthRole, message.Index.Length);
        ListView->addTopLevelItem(item);
    }
    ListView->setCurrentItem(ListView->topLevelItem(0));
    OKBtn->setEnabled(ListView->currentItem() != nullptr);
    ListView->setFocus();
}

TListEntry TDraftFrm::Chosen() const
{
    const QTreeWidgetItem* item = ListView->currentItem();
    if (!item)
        return {};
    return {item->data(0, RecordRole).toInt(), item->data(0, OffsetRole).toInt(), item->data(0, LengthRole).toInt(), 0};
}

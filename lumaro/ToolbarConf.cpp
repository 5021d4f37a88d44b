#include "ToolbarConf.h"

#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Tags { FormTag = 650, InfoTag = 651, StandardTag = 652, CancelTag = 653, DividerTag = 654 };

// A divider shows as a short vertical line.
QIcon DividerImage()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::gray, 2));
    painter.drawLine(8, 1, 8, 15);
    return QIcon(pixmap);
}

QString ButtonText(const QAction* button)
{
    QString text = button->text();
    return text.remove(QLatin1Char('&'));
}

} // namespace

TToolbarFrm::TToolbarFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ToolbarFrm"));
    setWindowTitle(QStringLiteral("Toolbar bearbeiten"));
    SetTag(this, FormTag);
    InfoLbl = new QLabel(QStringLiteral("Wählen Sie die Schaltflächen, die in der Toolbar angezeigt werden sollen."), this);
    InfoLbl->setWordWrap(true);
    SetTag(InfoLbl, InfoTag);
    Listbox = new QListWidget(this);
    Listbox->setObjectName(QStringLiteral("Listbox"));
    StandardBtn = new QPushButton(QStringLiteral("&Standard"), this);
    SetTag(StandardBtn, StandardTag);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abbrechen"), this);
    SetTag(CancelBtn, CancelTag);
    connect(StandardBtn, &QPushButton::clicked, this, [this] {
        for (int i = 0; i < Listbox->count(); ++i)
            Listbox->item(i)->setCheckState(Qt::Checked);
    });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(StandardBtn);
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(InfoLbl);
    layout->addWidget(Listbox, 1);
    layout->addLayout(buttons);
    resize(340, 440);
    TranslateFormIfEnglish(this);
}

void TToolbarFrm::Setup(const QList<QAction*>& buttons, const QList<bool>& visible)
{
    Listbox->clear();
    const QString divider = IsEnglish() ? StringTableText(ComponentTextOffset + DividerTag) : QStringLiteral("Trennlinie");
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const QAction* button = buttons[i];
        auto* item = button->isSeparator() ? new QListWidgetItem(DividerImage(), divider, Listbox)
                                           : new QListWidgetItem(button->icon(), ButtonText(button), Listbox);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(visible.value(i, true) ? Qt::Checked : Qt::Unchecked);
    }
}

QList<bool> TToolbarFrm::Ticks() const
{
    QList<bool> ticks;
    for (int i = 0; i < Listbox->count(); ++i)
        ticks.append(Listbox->item(i)->checkState() == Qt::Checked);
    return ticks;
}

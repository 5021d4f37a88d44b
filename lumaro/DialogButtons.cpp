#include "DialogButtons.h"

#include "FormTranslation.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QPushButton* TaggedButton(QWidget* parent, const char* name, int tag, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    SetTag(button, tag);
    return button;
}

TDialogButtons CreateDialogButtons(QDialog* dialog, std::initializer_list<QPushButton*> further)
{
    TDialogButtons buttons;
    buttons.OK = TaggedButton(dialog, "OKBtn", OKButtonTag, QStringLiteral("OK"));
    buttons.OK->setDefault(true);
    buttons.Cancel = TaggedButton(dialog, "CancelBtn", CancelButtonTag, QStringLiteral("Abbrechen"));
    QObject::connect(buttons.OK, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(buttons.Cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    buttons.Row = new QHBoxLayout;
    buttons.Row->addStretch();
    buttons.Row->addWidget(buttons.OK);
    buttons.Row->addWidget(buttons.Cancel);
    for (QPushButton* button : further)
        buttons.Row->addWidget(button);
    return buttons;
}

#include "WizardPageParts.h"

#include "FormHelpers.h"

#include <QLabel>

QLabel* NewPageTitle(QWidget* parent, const QString& caption, int tag)
{
    QLabel* title = NewLabel(parent, caption, tag);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    return title;
}

QLabel* NewResultLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

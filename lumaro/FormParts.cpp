#include "FormParts.h"

#include "FormTranslation.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {

template <typename TWidget>
TWidget* Tagged(const QString& text, int tag, QWidget* parent)
{
    auto* widget = new TWidget(text, parent);
    SetTag(widget, tag);
    return widget;
}

} // namespace

QPushButton* TaggedButton(const QString& text, int tag, QWidget* parent)
{
    return Tagged<QPushButton>(text, tag, parent);
}

QLabel* TaggedLabel(const QString& text, int tag, QWidget* parent)
{
    return Tagged<QLabel>(text, tag, parent);
}

QCheckBox* TaggedCheckBox(const QString& text, int tag, QWidget* parent)
{
    return Tagged<QCheckBox>(text, tag, parent);
}

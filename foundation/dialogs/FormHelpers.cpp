#include "FormHelpers.h"

#include "FormTranslation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

QLineEdit* NewEdit(QWidget* parent, const char* name, int capacity)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(capacity);
    return edit;
}

QLabel* AddRow(QFormLayout* layout, const QString& caption, int tag, QWidget* field)
{
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    SetTag(label, tag);
    layout->addRow(label, field);
    return label;
}

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const QString& caption, int tag)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    SetTag(box, tag);
    return box;
}

QComboBox* NewCombo(QWidget* parent, const char* name, bool editable)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(editable);
    return box;
}

#include "FormHelpers.h"

#include "FormTranslation.h"
#include "SingleInstance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

QPushButton* NewButton(QWidget* parent, const QString& caption, int tag)
{
    auto* button = new QPushButton(caption, parent);
    SetTag(button, tag);
    return button;
}

QLabel* NewLabel(QWidget* parent, const QString& caption, int tag, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    SetTag(label, tag);
    if (buddy)
        label->setBuddy(buddy);
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

QDialogButtonBox* NewDialogButtons(QDialog* dialog, QPushButton*& okBtn, QPushButton*& cancelBtn, int okTag)
{
    auto* buttons = new QDialogButtonBox(dialog);
    okBtn = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cancelBtn = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    okBtn->setDefault(true);
    SetTag(okBtn, okTag);
    SetTag(cancelBtn, okTag + 1);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

void ListenForRestore(QWidget* window)
{
    auto* server = new TInstanceServer(window);
    QObject::connect(server, &TInstanceServer::MessageReceived, window, [window](int message) {
        if (message != wmRestore)
            return;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    });
    server->Listen(window->windowTitle());
}

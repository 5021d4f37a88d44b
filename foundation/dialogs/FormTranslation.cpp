#include "FormTranslation.h"

#include "tk_langlib.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>

namespace {

QString WithoutAccelerators(QString text)
{
    return text.remove(QLatin1Char('&'));
}

void SetHint(QWidget* widget, const QString& hint)
{
    widget->setToolTip(hint);
    widget->setStatusTip(hint);
}

// A page of a tab widget: its caption is the tab text.
bool TranslateTabPage(QWidget* page, const QString& caption)
{
    for (QWidget* parent = page->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(parent)) {
            const int index = tabs->indexOf(page);
            if (index < 0)
                return false;
            tabs->setTabText(index, caption);
            return true;
        }
    }
    return false;
}

// A report-style view: a tree view without a root decoration is the suite's list view.
bool IsListView(const QWidget* widget)
{
    const auto* view = qobject_cast<const QTreeView*>(widget);
    return view && !view->rootIsDecorated();
}

void TranslateListColumns(QTreeView* view, const QString& text)
{
    if (auto* tree = qobject_cast<QTreeWidget*>(view)) {
        const QStringList parts = SplitParts(text, tree->columnCount());
        for (int i = 0; i < parts.size(); ++i)
            tree->headerItem()->setText(i, parts[i]);
        return;
    }
    if (QAbstractItemModel* model = view->model()) {
        const QStringList parts = SplitParts(text, model->columnCount());
        for (int i = 0; i < parts.size(); ++i)
            model->setHeaderData(i, Qt::Horizontal, parts[i]);
    }
}

void TranslateComboItems(QComboBox* combo, const QString& text)
{
    const QStringList parts = SplitParts(text, combo->count());
    for (int i = 0; i < parts.size(); ++i)
        combo->setItemText(i, parts[i]);
}

bool IsEditLike(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTreeView*>(widget);
}

void TranslateWidget(QWidget* widget, const QString& caption, const QString& hint)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(caption);
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        menu->setTitle(caption);
        menu->menuAction()->setStatusTip(hint);
    } else if (IsListView(widget)) {
        // The text lists the columns or items, "Subject|Sender|...": shown as a hint it would be noise.
        TranslateListColumns(qobject_cast<QTreeView*>(widget), caption);
        return;
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        TranslateComboItems(combo, caption);
        return;
    } else if (IsEditLike(widget)) {
        // Edit fields and trees keep their content; only the hint changes.
    } else if (widget->isWindow()) {
        widget->setWindowTitle(caption);
    } else if (!TranslateTabPage(widget, caption)) {
        return;
    }
    SetHint(widget, hint);
}

void TranslateTagged(QObject* object, int captionOffset, int hintOffset)
{
    const int tag = TagOf(object);
    if (tag == 0)
        return;
    const QString caption = StringTableText(tag + captionOffset);
    const QString hint = WithoutAccelerators(StringTableText(tag + hintOffset));
    TranslateComponent(object, caption, hint);
}

// Windows of their own (dialogs owned by the form) translate themselves when they are created;
// pop-up menus belong to the form.
bool IsOwnWindow(const QObject* object)
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget);
}

void TranslateChildren(QObject* parent, int captionOffset, int hintOffset)
{
    for (QObject* child : parent->children()) {
        if (IsOwnWindow(child))
            continue;
        TranslateTagged(child, captionOffset, hintOffset);
        TranslateChildren(child, captionOffset, hintOffset);
    }
}

} // namespace

void SetTag(QObject* object, int tag)
{
    object->setProperty(TagProperty, tag);
}

int TagOf(const QObject* object)
{
    return object->property(TagProperty).toInt();
}

QStringList SplitParts(const QString& text, int count)
{
    QStringList parts = text.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i < count; ++i)
        result.append(i < parts.size() ? parts[i] : QString());
    return result;
}

void TranslateComponent(QObject* component, const QString& caption, const QString& hint)
{
    if (auto* action = qobject_cast<QAction*>(component)) {
        action->setText(caption);
        action->setToolTip(hint);
        action->setStatusTip(hint);
    } else if (auto* widget = qobject_cast<QWidget*>(component)) {
        TranslateWidget(widget, caption, hint);
    }
}

void TranslateForm(QWidget* form, int captionOffset, int hintOffset)
{
    TranslateTagged(form, captionOffset, hintOffset);
    TranslateChildren(form, captionOffset, hintOffset);
}

void TranslateAllForms(int captionOffset, int hintOffset)
{
    for (QWidget* form : QApplication::topLevelWidgets()) {
        if (!qobject_cast<QMenu*>(form))
            TranslateForm(form, captionOffset, hintOffset);
    }
}

void TranslateFormIfEnglish(QWidget* form)
{
    if (IsEnglish())
        TranslateForm(form);
}

// Switching forms to English: the component rule for each kind of widget, and which forms are
// translated.

#include "FormTranslation.h"
#include "tk_langlib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

using TWidgetFactory = std::function<QObject*(QWidget* form)>;
using TText = std::function<QString(QObject*)>;

QString Hint(QObject* object)
{
    if (auto* action = qobject_cast<QAction*>(object))
        return action->statusTip();
    return qobject_cast<QWidget*>(object)->toolTip();
}

} // namespace

Q_DECLARE_METATYPE(TWidgetFactory)
Q_DECLARE_METATYPE(TText)

class TestFormTranslation : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetLanguage(0); }

    void componentRule_data()
    {
        QTest::addColumn<TWidgetFactory>("create");
        QTest::addColumn<TText>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        auto tagged = [](QObject* object, int tag) {
            SetTag(object, tag);
            return object;
        };
        QTest::newRow("label") << TWidgetFactory([=](QWidget* f) { return tagged(new QLabel(QStringLiteral("&Datei"), f), 1); })
                               << TText([](QObject* o) { return qobject_cast<QLabel*>(o)->text(); }) << "&File" << "File";
        QTest::newRow("button") << TWidgetFactory([=](QWidget* f) { return tagged(new QPushButton(f), 2); })
                                << TText([](QObject* o) { return qobject_cast<QPushButton*>(o)->text(); })
                                << "&Send now" << "Send now";
        QTest::newRow("check box") << TWidgetFactory([=](QWidget* f) { return tagged(new QCheckBox(f), 1); })
                                   << TText([](QObject* o) { return qobject_cast<QCheckBox*>(o)->text(); }) << "&File" << "File";
        QTest::newRow("radio button") << TWidgetFactory([=](QWidget* f) { return tagged(new QRadioButton(f), 1); })
                                      << TText([](QObject* o) { return qobject_cast<QRadioButton*>(o)->text(); })
                                      << "&File" << "File";
        QTest::newRow("tool button") << TWidgetFactory([=](QWidget* f) { return tagged(new QToolButton(f), 4); })
                                     << TText([](QObject* o) { return qobject_cast<QToolButton*>(o)->text(); })
                                     << "Options" << "Options";
        QTest::newRow("group box") << TWidgetFactory([=](QWidget* f) { return tagged(new QGroupBox(f), 4); })
                                   << TText([](QObject* o) { return qobject_cast<QGroupBox*>(o)->title(); })
                                   << "Options" << "Options";
        QTest::newRow("menu item") << TWidgetFactory([=](QWidget* f) { return tagged(new QAction(QStringLiteral("x"), f), 1); })
                                   << TText([](QObject* o) { return qobject_cast<QAction*>(o)->text(); }) << "&File" << "File";
        QTest::newRow("menu") << TWidgetFactory([=](QWidget* f) { return tagged(new QMenu(f), 1); })
                              << TText([](QObject* o) { return qobject_cast<QMenu*>(o)->title(); }) << "&File" << "File";
        QTest::newRow("tab sheet") << TWidgetFactory([=](QWidget* f) {
            auto* tabs = new QTabWidget(f);
            auto* page = new QWidget;
            tabs->addTab(page, QStringLiteral("Optionen"));
            return tagged(page, 4);
        }) << TText([](QObject* o) {
            auto* tabs = qobject_cast<QTabWidget*>(o->parent()->parent());
            return tabs->tabText(tabs->indexOf(qobject_cast<QWidget*>(o)));
        }) << "Options" << "Options";
        QTest::newRow("list view with more columns than parts") << TWidgetFactory([=](QWidget* f) {
            auto* list = new QTreeWidget(f);
            list->setRootIsDecorated(false);
            list->setHeaderLabels({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
            return tagged(list, 3);
        }) << TText([](QObject* o) {
            QTreeWidgetItem* header = qobject_cast<QTreeWidget*>(o)->headerItem();
            return QStringList{header->text(0), header->text(1), header->text(2)}.join(QLatin1Char(','));
        }) << "Name,E-Mail," << "";
        QTest::newRow("list view over a model") << TWidgetFactory([=](QWidget* f) {
            auto* list = new QTreeView(f);
            list->setRootIsDecorated(false);
            auto* model = new QStandardItemModel(0, 1, list);
            list->setModel(model);
            return tagged(list, 3);
        }) << TText([](QObject* o) {
            return qobject_cast<QTreeView*>(o)->model()->headerData(0, Qt::Horizontal).toString();
        }) << "Name" << "";
        QTest::newRow("combo box with more items than parts") << TWidgetFactory([=](QWidget* f) {
            auto* combo = new QComboBox(f);
            combo->addItems({QStringLiteral("Name"), QStringLiteral("Adresse"), QStringLiteral("Betreff")});
            return tagged(combo, 3);
        }) << TText([](QObject* o) {
            auto* combo = qobject_cast<QComboBox*>(o);
            return QStringList{combo->itemText(0), combo->itemText(1), combo->itemText(2)}.join(QLatin1Char(','));
        }) << "Name,E-Mail," << "";
        QTest::newRow("edit field keeps its text") << TWidgetFactory([=](QWidget* f) {
            return tagged(new QLineEdit(QStringLiteral("Eingabe"), f), 1);
        }) << TText([](QObject* o) { return qobject_cast<QLineEdit*>(o)->text(); }) << "Eingabe" << "File";
        QTest::newRow("tree view keeps its items") << TWidgetFactory([=](QWidget* f) {
            auto* tree = new QTreeWidget(f);
            tree->setHeaderLabels({QStringLiteral("Ordner")});
            return tagged(tree, 1);
        }) << TText([](QObject* o) { return qobject_cast<QTreeWidget*>(o)->headerItem()->text(0); })
           << "Ordner" << "File";
        QTest::newRow("untagged") << TWidgetFactory([](QWidget* f) { return new QLabel(QStringLiteral("bleibt"), f); })
                                  << TText([](QObject* o) { return qobject_cast<QLabel*>(o)->text(); }) << "bleibt" << "";
    }

    void componentRule()
    {
        QFETCH(TWidgetFactory, create);
        QFETCH(TText, text);
        QWidget form;
        QObject* component = create(&form);
        TranslateForm(&form);
        QTEST(text(component), "caption");
        QTEST(Hint(component), "hint");
    }

    void formCaptionAndOwnedDialogs()
    {
        QWidget form;
        SetTag(&form, 4);
        auto* dialog = new QDialog(&form);
        SetTag(dialog, 1);
        auto* inDialog = new QLabel(QStringLiteral("bleibt"), dialog);
        SetTag(inDialog, 1);
        TranslateForm(&form);
        QCOMPARE(form.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog->windowTitle(), QString());
        QCOMPARE(inDialog->text(), QStringLiteral("bleibt"));
    }

    void allFormsOrOnlyWhenEnglish()
    {
        auto first = std::make_unique<QWidget>();
        auto second = std::make_unique<QWidget>();
        auto* a = new QLabel(first.get());
        auto* b = new QLabel(second.get());
        SetTag(a, 1);
        SetTag(b, 4);
        SetLanguage(1);
        TranslateFormIfEnglish(first.get());
        QCOMPARE(a->text(), QString());
        TranslateAllForms();
        QCOMPARE(a->text(), QStringLiteral("&File"));
        QCOMPARE(b->text(), QStringLiteral("Options"));
        SetLanguage(2);
        a->clear();
        TranslateFormIfEnglish(first.get());
        QCOMPARE(a->text(), QStringLiteral("&File"));
    }

    void splitParts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("exact") << "a|b" << 2 << QStringList{"a", "b"};
        QTest::newRow("runs out") << "a|b" << 3 << QStringList{"a", "b", ""};
        QTest::newRow("more parts than places") << "a|b|c" << 2 << QStringList{"a", "b"};
        QTest::newRow("empty text") << "" << 2 << QStringList{"", ""};
        QTest::newRow("empty middle part") << "a||c" << 3 << QStringList{"a", "", "c"};
    }

    void splitParts()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QTEST(SplitParts(text, count), "parts");
    }
};

QTEST_MAIN(TestFormTranslation)
#include "tst_formtranslation.moc"

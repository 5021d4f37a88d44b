// The filter and transfer dialogs offscreen: the rule editor's enabling rules as a table, the editor
// and the rule list driven through their widgets (pre-fill from a message window, a size rule,
// saving the rule file), and pictures of every dialog in both languages.

#include "FilterDialogRules.h"
#include "FilterLocalConf.h"
#include "LanguageRows.h"
#include "ModalDialogs.h"
#include "ReportCapture.h"
#include "Screenshot.h"
#include "TransferDialogs.h"
#include "tk_langlib.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

Q_DECLARE_METATYPE(TRuleEditorInput)

class TestFilterForms : public QObject {
    Q_OBJECT

private slots:
    void editorStates_data()
    {
        QTest::addColumn<TRuleEditorInput>("input");
        QTest::addColumn<bool>("criteriaEnabled");
        QTest::addColumn<bool>("switchToKeep");
        QTest::addColumn<bool>("ok");
        QTest::newRow("empty") << TRuleEditorInput{0, false, false, false, true} << true << false << false;
        QTest::newRow("subject") << TRuleEditorInput{0, false, false, true, true} << true << false << true;
        QTest::newRow("size with move") << TRuleEditorInput{2000, true, false, false, true} << false << true << true;
        QTest::newRow("size with delete") << TRuleEditorInput{1, false, false, false, false} << false << false << true;
    }

    void editorStates()
    {
        QFETCH(TRuleEditorInput, input);
        QFETCH(bool, criteriaEnabled);
        QFETCH(bool, switchToKeep);
        QFETCH(bool, ok);
        const TRuleEditorState state = ComputeRuleEditorState(input);
        QCOMPARE(state.CriteriaEnabled, criteriaEnabled);
        QCOMPARE(state.MoveEnabled, criteriaEnabled);
        QCOMPARE(state.SwitchToKeep, switchToKeep);
        QCOMPARE(state.OkEnabled, ok);
    }

    void listButtons()
    {
        const TRuleListButtons none = ComputeRuleListButtons(0, -1);
        QVERIFY(!none.Edit && !none.Remove && !none.Up && !none.Down);
        const TRuleListButtons first = ComputeRuleListButtons(3, 0);
        QVERIFY(first.Edit && !first.Up && first.Down);
        const TRuleListButtons last = ComputeRuleListButtons(3, 2);
        QVERIFY(last.Up && !last.Down);
    }

    void prefillFromAMessageWindow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("sender") << "Sender bob@example.org" << QByteArray("-FROM: \"bob@example.org\" -MOVETO: \"Inbox\"");
        QTest::newRow("recipient") << "Recipient list@x.org" << QByteArray("-TO: \"list@x.org\" -MOVETO: \"Inbox\"");
        QTest::newRow("subject") << "Subject Hello world" << QByteArray("-SUBJECT: \"Hello world\" -MOVETO: \"Inbox\"");
    }

    // The list opens the editor pre-filled once it is shown; OK in both saves the rule file.
    void prefillFromAMessageWindow()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        const QString rules = dir.filePath(QStringLiteral("filter.ldb"));
        TFilterLocalConfFrm list(rules, false);
        list.SetPrefill(text);
        WhenModal<TFilterLocalConf2Frm>([&list](TFilterLocalConf2Frm& editor) {
            // No folder list in this test: the tree is empty, so the folder is whatever exists.
            editor.TreeView->clear();
            auto* inbox = new QTreeWidgetItem(editor.TreeView, {QStringLiteral("Inbox")});
            inbox->setData(0, Qt::UserRole, QStringLiteral("Inbox"));
            editor.TreeView->setCurrentItem(inbox);
            editor.OKBtn->click();
            QTimer::singleShot(0, &list, [&list] { list.OKBtn->click(); });
        });
        list.exec();
        QCOMPARE(LoadFilterRules(rules), QByteArrayList{line});
    }

    void sizeEmptiesTheCriteriaAndGivesUpTheMove()
    {
        TFilterLocalConf2Frm editor;
        WhenModal<TFilterLocalConf2Frm>([](TFilterLocalConf2Frm& e) {
            e.KbytesEdt->setValue(2000);
            QVERIFY(!e.FromContainsEdt->isEnabled());
            QVERIFY(e.FromContainsEdt->text().isEmpty());
            QVERIFY(e.ActionKeepRb->isChecked());
            e.OKBtn->click();
        });
        QCOMPARE(editor.Edit({TFilterAction::MoveTo, {}, "news", {}, "Inbox", {}}), QByteArray("-LARGER THAN: \"2000\" -KEEP"));
    }

    // A criterion is stored between double quotes, so a quote in it would rewrite the rule: the subject
    // text x" -MOVETO: "Trash would turn a move to Archive into a move to Trash. OK refuses it and
    // stays open on the field; without the quote the rule is kept as meant.
    void aDoubleQuoteInACriterionIsRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("sender") << "FromContainsEdt";
        QTest::newRow("recipient") << "ToContainsEdt";
        QTest::newRow("subject") << "SubjectContainsEdt";
    }

    void aDoubleQuoteInACriterionIsRefused()
    {
        QFETCH(QString, field);
        ReportCapture reports;
        TFilterLocalConf2Frm editor;
        bool refused = false;
        WhenModal<TFilterLocalConf2Frm>([&](TFilterLocalConf2Frm& e) {
            QLineEdit* edit = field == QLatin1String("FromContainsEdt") ? e.FromContainsEdt
                : field == QLatin1String("ToContainsEdt")                 ? e.ToContainsEdt
                                                                          : e.SubjectContainsEdt;
            // No folder list in this test: the chosen folder is put in by hand.
            e.TreeView->clear();
            auto* archive = new QTreeWidgetItem(e.TreeView, {QStringLiteral("Archive")});
            archive->setData(0, Qt::UserRole, QStringLiteral("Archive"));
            e.TreeView->setCurrentItem(archive);
            edit->setText(QStringLiteral("x\" -MOVETO: \"Trash"));
            e.OKBtn->click();
            refused = e.isVisible();
            const QList<TUserMessage> shown = reports.Take();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().Id, 410);
            edit->setText(QStringLiteral("x -MOVETO: Trash"));
            e.OKBtn->click();
        });
        const QByteArray line = editor.Edit({TFilterAction::MoveTo, {}, {}, {}, "Archive", {}});
        QVERIFY(refused);
        QCOMPARE(ParseFilterRule(line).Folder, QByteArray("Archive"));
        QVERIFY2(line.endsWith("-MOVETO: \"Archive\""), line.constData());
    }

    void transferDialogs()
    {
        TSendSimpleFrm send({"smtp.one.example", "smtp.two.example"}, "gone.example");
        QVERIFY(!send.SendBtn->isEnabled());
        send.SmtpServerCmb->setCurrentIndex(1);
        QVERIFY(send.SendBtn->isEnabled());
        QCOMPARE(send.Server(), QByteArray("smtp.two.example"));

        TReceiveMultipleFrm receive({"work", "home"}, {"home"});
        QCOMPARE(receive.Ticked(), QByteArrayList{"home"});
        receive.Listbox->item(1)->setCheckState(Qt::Unchecked);
        QVERIFY(!receive.ReceiveBtn->isEnabled());

        TSendReceiveConfFrm conf({"work", "home"}, {"smtp.one.example"}, {"smtp.one.example", {"work"}, true, false, true});
        QVERIFY(!conf.ActionSmtpServerCmb->isEnabled());
        conf.ActionIgnorePopChk->setChecked(true);
        QVERIFY(!conf.Listbox->isEnabled());
        const TTransmitSettings settings = conf.Settings();
        QCOMPARE(settings.PopServers, QByteArrayList{"work"});
        QVERIFY(settings.IgnoreSmtp && settings.IgnorePop && settings.FirstReceive);
    }

    void pictures_data()
    {
        AddLanguageRows();
    }

    void pictures()
    {
        QFETCH(int, language);
        SetLanguage(language);
        const QString suffix = QString::fromLatin1(QTest::currentDataTag());
        QTemporaryDir dir;
        const QString rules = dir.filePath(QStringLiteral("filter.ldb"));
        QVERIFY(SaveFilterRules(rules, {"-FROM: \"news,-\" -MOVETO: \"Archiv\"", "-LARGER THAN: \"2000\" -KEEP"}));
        TFilterLocalConfFrm list(rules, true);
        list.show();
        SaveScreenshot(list, QStringLiteral("filterlist-") + suffix);
        TFilterLocalConf2Frm editor;
        editor.FromContainsEdt->setText(QStringLiteral("news,-"));
        editor.ActionMoveRb->setChecked(true);
        editor.show();
        SaveScreenshot(editor, QStringLiteral("filtereditor-") + suffix);
        QVERIFY(editor.width() <= 1024 && editor.height() <= 768);
        TSendSimpleFrm send({"smtp.example.org"}, "smtp.example.org");
        send.show();
        SaveScreenshot(send, QStringLiteral("send-") + suffix);
        TReceiveMultipleFrm receive({"Arbeit", "Privat"}, {"Privat"});
        receive.show();
        SaveScreenshot(receive, QStringLiteral("receive-") + suffix);
        TSendReceiveConfFrm conf({"Arbeit", "Privat"}, {"smtp.example.org"}, {"smtp.example.org", {"Privat"}, false, false, false});
        conf.show();
        SaveScreenshot(conf, QStringLiteral("transmit-") + suffix);
        QCOMPARE(conf.windowTitle(), language == 2 ? QStringLiteral("Transmit settings") : QStringLiteral("Übermitteln konfigurieren"));
        SetLanguage(0);
    }
};

QTEST_MAIN(TestFilterForms)
#include "tst_filterforms.moc"

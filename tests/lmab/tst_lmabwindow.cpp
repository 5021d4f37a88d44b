// The address book's windows offscreen: "NEW" on the first activation, the checks that reopen the
// dialogs, bold groups, Delete, the group members page, the settings, and pictures of each window.

#include "AddressListModel.h"
#include "AdrChoose.h"
#include "AdrEdt.h"
#include "EnhListView.h"
#include "GroupEdt.h"
#include "LanguageRows.h"
#include "Main.h"
#include "ReportCapture.h"
#include "Screenshot.h"
#include "Settings.h"
#include "TestInstallation.h"
#include "UserSettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

TAddressRecord Contact(const QByteArray& last, const QByteArray& first, const QByteArray& email)
{
    TAddressRecord record;
    record.LastName = last;
    record.FirstName = first;
    record.Key = ContactKey(last, first);
    record.Email = email;
    record.Category = "privat";
    return record;
}

} // namespace

class TestLmabWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { m_installation.reset(); }

    void newArgumentOpensAPresetContact()
    {
        Install();
        TMainFrm form({QStringLiteral("NEW"), QStringLiteral("  "), QStringLiteral(" Anne "), QStringLiteral("anne@example.org")});
        QStringList shown;
        bool okEnabled = true;
        form.EditRecord = [&](TAddressRecord& record, QByteArrayList&, int) {
            TAdrEdtFrm dialog(ReadCategories());
            dialog.SetRecord(record);
            shown = {dialog.LastNameEdt->text(), dialog.FirstNameEdt->text(), dialog.EmailEdt->text(),
                     dialog.CategoryCmb->currentText()};
            okEnabled = dialog.OKBtn->isEnabled();
            dialog.LastNameEdt->setText(QStringLiteral("Miller"));
            record = dialog.Record();
            return true;
        };
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(form.Model->rowCount(), 1);
        QCOMPARE(shown, (QStringList{QString(), QStringLiteral("Anne"), QStringLiteral("anne@example.org"),
                                     QStringLiteral("privat")}));
        QVERIFY(!okEnabled);
        QCOMPARE(form.Model->Row(0).Caption, QStringLiteral("Miller, Anne"));
        QCOMPARE(form.Listview->SelectedRows(), QList<int>{0});
    }

    void checksReopenTheDialog()
    {
        Install();
        QVERIFY(WriteAddress(0, Contact("Miller", "Anne", "anne@example.org")) == 1);
        TMainFrm form({});
        ReportCapture reports;
        const QList<std::pair<QByteArray, QByteArray>> tries = {{"Miller", "Anne"}, {"Mill, er", "Bob"}, {"Miller", "Bob"}};
        int opened = 0;
        form.EditRecord = [&](TAddressRecord& record, QByteArrayList&, int) {
            if (opened >= tries.size())
                return false;
            record = Contact(tries[opened].first, tries[opened].second, "b@example.org");
            ++opened;
            return true;
        };
        form.NewContactItmClick();
        QCOMPARE(opened, 3);
        QList<int> ids;
        for (const TUserMessage& message : reports.Take())
            ids.append(message.Id);
        QCOMPARE(ids, (QList<int>{AddressText::DuplicateName, AddressText::CommaInName}));
        QCOMPARE(form.Model->rowCount(), 2);
        QCOMPARE(form.Model->Row(1).Caption, QStringLiteral("Miller, Bob"));
    }

    void groupsAreBoldAndOpenTheirDialog()
    {
        Install();
        WriteAddress(0, Contact("Miller", "Anne", "anne@example.org"));
        TAddressRecord group;
        group.Group = true;
        group.Key = "Team";
        WriteAddressWithMembers(0, group, {"anne@example.org;Miller, Anne"});
        TMainFrm form({});
        QCOMPARE(form.Model->rowCount(), 2);
        QVERIFY(form.Model->data(form.Model->index(1, 0), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!form.Model->data(form.Model->index(0, 0), Qt::FontRole).isValid());
        form.EditRecord = [&](TAddressRecord& record, QByteArrayList& members, int own) {
            [&] {
                QVERIFY(record.Group);
                QCOMPARE(own, 2);
                QCOMPARE(members, QByteArrayList{"anne@example.org;Miller, Anne"});
            }();
            record.Key = "Crew";
            return true;
        };
        form.Listview->clearSelection();
        form.Listview->SelectRow(1);
        QVERIFY(form.OpenItm->isEnabled());
        form.OpenItmClick();
        QCOMPARE(form.Model->Row(1).Caption, QStringLiteral("Crew"));
        QVERIFY(!QFile::exists(GroupFileName("Team")));
        QCOMPARE(ReadGroupMembers("Crew"), QByteArrayList{"anne@example.org;Miller, Anne"});
    }

    void deleteRemovesTheSelectedRows()
    {
        Install();
        for (const QByteArray last : {"Alpha", "Beta", "Gamma"})
            WriteAddress(0, Contact(last, "", last.toLower() + "@example.org"));
        TMainFrm form({});
        bool answer = false;
        form.AskQuestion = [&](const QString& question) {
            [&] { QCOMPARE(question, QStringLiteral("Sollen die ausgewählten Kontakte gelöscht werden..?")); }();
            return answer;
        };
        form.Listview->SelectRow(0);
        form.Listview->selectionModel()->select(form.Model->index(1, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(!form.OpenItm->isEnabled());
        QVERIFY(form.DeleteItm->isEnabled());
        form.DeleteItmClick();
        QCOMPARE(form.Model->rowCount(), 3);
        answer = true;
        form.DeleteItmClick();
        QCOMPARE(form.Model->rowCount(), 1);
        QCOMPARE(form.Model->Row(0).Caption, QStringLiteral("Gamma"));
        QCOMPARE(AddressRows().size(), 1);
        QCOMPARE(form.Listview->SelectedCount(), 1);
    }

    void membersPage()
    {
        Install();
        WriteAddress(0, Contact("Miller", "Anne", "anne@example.org"));
        TGroupEdtFrm dialog(ReadCategories());
        int asked = 0;
        dialog.AskQuestion = [&](const QString&) {
            ++asked;
            return false;
        };
        QCOMPARE(dialog.ContactsLb->count(), 1);
        dialog.ContactsLb->setCurrentRow(0);
        dialog.ContactsLbClick();
        QCOMPARE(dialog.AddressEdt->text(), QStringLiteral("anne@example.org"));
        QCOMPARE(dialog.DisplayNameEdt->text(), QStringLiteral("Miller, Anne"));
        dialog.AddBtnClick();
        dialog.AddBtnClick();
        QCOMPARE(asked, 1);
        QCOMPARE(dialog.Members(), QByteArrayList{"anne@example.org;Miller, Anne"});
        dialog.MembersLb->setCurrentRow(0);
        dialog.RemoveBtnClick();
        QVERIFY(dialog.Members().isEmpty());
        QVERIFY(!dialog.OKBtn->isEnabled());
        dialog.NameEdt->setText(QStringLiteral("Team"));
        QVERIFY(dialog.OKBtn->isEnabled());
    }

    void settingsKeepTheCategoryRules()
    {
        Install();
        TSettingsFrm dialog(ReadCategories());
        dialog.CategoryEdt->setText(QStringLiteral("privat"));
        dialog.AddBtnClick();
        dialog.CategoryEdt->setText(QStringLiteral(" "));
        dialog.AddBtnClick();
        dialog.CategoryEdt->setText(QStringLiteral("Verein"));
        dialog.AddBtnClick();
        QCOMPARE(dialog.Categories(), (QStringList{"privat", "geschäftlich", "Verein"}));
        dialog.CategoriesLb->setCurrentRow(0);
        dialog.RemoveBtnClick();
        QCOMPARE(dialog.Categories(), (QStringList{"geschäftlich", "Verein"}));
        dialog.StandardBtnClick();
        QCOMPARE(dialog.Categories(), (QStringList{"privat", "geschäftlich"}));
    }

    // A category made in the address book's settings is offered by the recipient chooser of the
    // message window, which reads the shared list when it opens, while the address book still runs.
    void categoryMadeHereIsOfferedByTheRecipientChooser()
    {
        Install();
        TAddressRecord member = Contact("Huber", "Eva", "eva@example.org");
        member.Category = "Verein";
        QVERIFY(WriteAddress(0, member) == 1);
        QVERIFY(WriteAddress(0, Contact("Miller", "Anne", "anne@example.org")) == 2);
        TMainFrm form({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool added = false;
        auto* answer = new QTimer(&form);
        connect(answer, &QTimer::timeout, &form, [&] {
            auto* settings = qobject_cast<TSettingsFrm*>(QApplication::activeModalWidget());
            if (!settings)
                return;
            answer->stop();
            settings->CategoryEdt->setText(QStringLiteral("Verein"));
            settings->AddBtn->click();
            added = settings->Categories().contains(QStringLiteral("Verein"));
            settings->OKBtn->click();
        });
        answer->start(20);
        form.SettingsItm->trigger();
        QVERIFY(added);

        TAdrChooseFrm chooser(CurrentAddressCategories().join(QLatin1Char('|')));
        const int index = chooser.CategoryCmb->findText(QStringLiteral("Verein"));
        QVERIFY(index > 0);
        chooser.CategoryCmb->setCurrentIndex(index);
        QCOMPARE(chooser.Listview->topLevelItemCount(), 1);
        QCOMPARE(chooser.Listview->topLevelItem(0)->text(1), QStringLiteral("eva@example.org"));
        form.close();
    }

    void pictures_data()
    {
        AddLanguageRows();
    }

    void pictures()
    {
        QFETCH(int, language);
        Install(language);
        const QString suffix = language == 2 ? QStringLiteral("-en") : QStringLiteral("-de");
        WriteAddress(0, Contact("Miller", "Anne", "anne@example.org"));
        WriteAddress(0, Contact("Schmidt", "Tom", "tom.schmidt@example.com"));
        TAddressRecord group;
        group.Group = true;
        group.Key = "Team";
        WriteAddressWithMembers(0, group, {"anne@example.org;Miller, Anne"});
        TMainFrm form({});
        form.show();
        SaveScreenshot(form, QStringLiteral("lmab-main") + suffix);
        TAdrEdtFrm contact(ReadCategories());
        contact.SetRecord(*ReadAddress(1));
        contact.show();
        SaveScreenshot(contact, QStringLiteral("lmab-contact") + suffix);
        TGroupEdtFrm groupDialog(ReadCategories());
        groupDialog.SetRecord(*ReadAddress(3), ReadGroupMembers("Team"));
        groupDialog.show();
        SaveScreenshot(groupDialog, QStringLiteral("lmab-group") + suffix);
        groupDialog.PageControl->setCurrentIndex(1);
        SaveScreenshot(groupDialog, QStringLiteral("lmab-group-members") + suffix);
        TSettingsFrm settings(ReadCategories());
        settings.show();
        SaveScreenshot(settings, QStringLiteral("lmab-settings") + suffix);
        QCOMPARE(form.windowTitle(), language == 2 ? QStringLiteral("Lumaro Mail Address Book") : QStringLiteral("Lumaro Mail Adressbuch"));
        QCOMPARE(form.Model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("E-Mail"));
    }

    void columnWidthsAreKept()
    {
        Install();
        {
            TMainFrm form({});
            QCOMPARE(form.Listview->columnWidth(0), 150);
            form.Listview->setColumnWidth(0, 222);
            form.close();
        }
        TMainFrm again({});
        QCOMPARE(again.Listview->columnWidth(0), 222);
    }

private:
    void Install(int language = 0)
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("lmab"), language);
        QVERIFY(CreateAddressBook());
    }

    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_MAIN(TestLmabWindow)
#include "tst_lmabwindow.moc"

// The accounts manager's windows offscreen: the wizard on the first start, the duplicate-name loop,
// the editor's live rules and the dial-up entries, the trusted certificates with Forget, Remove, and
// pictures of every page.

#include "AccountEdt.h"
#include "AccountsFunctions.h"
#include "AccountsMain.h"
#include "LanguageRows.h"
#include "ModalDialogs.h"
#include "ReportCapture.h"
#include "Screenshot.h"
#include "ScriptedRasBackend.h"
#include "TestInstallation.h"
#include "tk_reglib.h"
#include "Wizzard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QPlainTextEdit>
#include <QTest>

namespace {

const QByteArray PopFingerprint = "3f:a1:07:5c:9e:22:b4:d0:11:8e:6a:f3:c2:09:7b:e5:44:90:ad:1c:58:2f:e7:63:b9:0d:71:c8:a6:35:fe:12";

QString Flat(const QString& text) { return QString(text).remove(QLatin1Char('\n')); }

std::shared_ptr<ScriptedRasBackend> Backend(const QStringList& entries)
{
    auto backend = std::make_shared<ScriptedRasBackend>();
    backend->EntryNames = entries;
    return backend;
}

} // namespace

class TestAccountsWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { m_installation.reset(); }

    void firstStartRunsTheWizard_data()
    {
        AddLanguageRows();
    }

    void firstStartRunsTheWizard()
    {
        QFETCH(int, language);
        Install(language);
        TAccountsMainFrm form(Backend({}));
        QList<bool> wizards;
        form.EditAccount = [&](TAccountDraft& draft, bool wizard) {
            wizards.append(wizard);
            TWizzardFrm wizzard;
            FillWizard(wizzard);
            draft = wizzard.Draft();
            return true;
        };
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(form.ListBox->count(), 1);
        QCOMPARE(wizards, QList<bool>{true});
        const QString marker = language == 2 ? QStringLiteral("default") : QStringLiteral("standard");
        QCOMPARE(form.ListBox->item(0)->text(), QStringLiteral("alice@example.org [%1]").arg(marker));
        QCOMPARE(ReadAccount(1)->PopServer, QByteArray("127.0.0.1:1"));
        QVERIFY(form.EditBtn->isEnabled());
        SaveScreenshot(form, language == 2 ? QStringLiteral("lmaccounts-main-en") : QStringLiteral("lmaccounts-main-de"));
    }

    void duplicateNameReopensTheEditor()
    {
        Install();
        AddAccount(NamedAccount("Home"));
        TAccountsMainFrm form(Backend({}));
        ReportCapture reports;
        QStringList offered{QStringLiteral("Home"), QStringLiteral("Work")};
        int opened = 0;
        form.EditAccount = [&](TAccountDraft& draft, bool wizard) {
            if (wizard || opened >= offered.size())
                return false;
            draft.Account.Name = offered[opened++].toUtf8();
            return true;
        };
        form.AddBtnClick();
        QCOMPARE(opened, 2);
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, AccountsText::DuplicateName);
        QCOMPARE(form.ListBox->count(), 2);
        QCOMPARE(form.ListBox->currentItem()->text(), QStringLiteral("Work"));
    }

    // Adding under a taken name must leave that account's security and pins alone, and the editor
    // reopened after the conflict shows what was typed, never the other account's settings.
    void nameConflictTouchesNoOtherAccountsSecurity()
    {
        Install();
        const TAccountSecurity home{TqmSecurity::secTls, TqmSecurity::secTls, {"pop.home:995", "aa:aa"}, {"smtp.home:465", "ab:ab"}};
        const TAccountSecurity work{TqmSecurity::secStartTls, TqmSecurity::secStartTls, {"pop.work:110", "cc:cc"}, {}};
        TAccount account = NamedAccount("Home");
        const int homeRecord = AddAccount(TAccountDraft{account, home});
        account.Name = "Work";
        AddAccount(TAccountDraft{account, work});
        TAccountsMainFrm form(Backend({}));
        ReportCapture reports;
        QList<TAccountSecurity> shown;
        const TAccountSecurity typed{TqmSecurity::secNone, TqmSecurity::secNone, {"pop.new:110", "bb:bb"}, {}};

        // Add: first under "Home", then, after the warning, under "Office".
        EditorSteps({[&](TAccountEdtFrm& editor) {
                         editor.NameEdt->setText(QStringLiteral("Home"));
                         editor.SetSecurity(typed);
                     },
                     [&](TAccountEdtFrm& editor) {
                         shown.append(editor.Security());
                         editor.NameEdt->setText(QStringLiteral("Office"));
                     }});
        form.AddBtnClick();
        QCOMPARE(reports.Take().size(), 1);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].PopPin, typed.PopPin);
        QCOMPARE(shown[0].PopSecurity, TqmSecurity::secNone);
        QCOMPARE(ReadAccountSecurity("Home").PopPin, home.PopPin);
        QCOMPARE(ReadAccountSecurity("Home").SmtpPin, home.SmtpPin);
        QCOMPARE(ReadAccountSecurity("Home").PopSecurity, TqmSecurity::secTls);
        QCOMPARE(ReadAccountSecurity("Office").PopPin, typed.PopPin);
        QCOMPARE(ReadAccountSecurity("Office").SmtpSecurity, TqmSecurity::secNone);

        // Edit Home: renamed to "Work" (taken) with its POP3 pin forgotten, then to "House".
        shown.clear();
        EditorSteps({[&](TAccountEdtFrm& editor) {
                         shown.append(editor.Security());
                         editor.NameEdt->setText(QStringLiteral("Work"));
                         editor.PopPinForgetBtn->click();
                         editor.SmtpSecurityCmb->setCurrentIndex(3);
                     },
                     [&](TAccountEdtFrm& editor) {
                         shown.append(editor.Security());
                         editor.NameEdt->setText(QStringLiteral("House"));
                     }});
        form.ListBox->setCurrentRow(homeRecord - 1);
        form.EditBtnClick();
        QCOMPARE(reports.Take().size(), 1);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].PopPin, home.PopPin);
        QVERIFY(shown[1].PopPin.IsEmpty());
        QCOMPARE(shown[1].SmtpPin, home.SmtpPin);
        QCOMPARE(shown[1].SmtpSecurity, TqmSecurity::secNone);
        QCOMPARE(ReadAccountSecurity("Work").PopPin, work.PopPin);
        QCOMPARE(ReadAccountSecurity("Work").SmtpSecurity, TqmSecurity::secStartTls);
        QVERIFY(ReadAccountSecurity("House").PopPin.IsEmpty());
        QCOMPARE(ReadAccountSecurity("House").SmtpPin, home.SmtpPin);
        QCOMPARE(ReadAccountSecurity("House").SmtpSecurity, TqmSecurity::secNone);
        QVERIFY(!TRegistryKey(AccountSettingsKey("Home")).ValueExists(QStringLiteral("SmtpSecurity")));
    }

    void removeAsksAndMovesTheDefault()
    {
        Install();
        AddAccount(NamedAccount("Home"));
        AddAccount(NamedAccount("Work"));
        TAccountsMainFrm form(Backend({}));
        QStringList asked;
        bool answer = false;
        form.AskQuestion = [&](const QString& question) {
            asked.append(question);
            return answer;
        };
        form.ListBox->setCurrentRow(0);
        QTest::keyClick(form.ListBox, Qt::Key_Delete);
        QCOMPARE(asked, QStringList{QStringLiteral("Soll das Mailkonto 'Home' wirklich gelöscht werden..?")});
        QCOMPARE(form.ListBox->count(), 2);
        answer = true;
        form.DeleteBtnClick();
        QCOMPARE(form.ListBox->count(), 1);
        QCOMPARE(form.ListBox->item(0)->text(), QStringLiteral("Work [standard]"));
        QVERIFY(form.ListBox->item(0)->isSelected());
    }

    void editorFollowsItsRules()
    {
        Install();
        TAccountEdtFrm form(Backend({QStringLiteral("Provider"), QStringLiteral("Mobile")}));
        TAccount account = NamedAccount("Home");
        account.RASService = "Mobile";
        form.SetAccount(account);
        QCOMPARE(form.RASServiceCmb->count(), 3);
        QCOMPARE(form.RASServiceCmb->currentText(), QStringLiteral("Mobile"));
        QVERIFY(form.RasRb->isChecked());
        QVERIFY(form.RasEditBtn->isEnabled());
        form.LanRb->click();
        QCOMPARE(form.RASServiceCmb->currentIndex(), 0);
        QVERIFY(!form.RasForceServiceChk->isEnabled());
        form.RasRb->click();
        QCOMPARE(form.RASServiceCmb->currentText(), QStringLiteral("Provider"));

        form.PopKeepMailsChk->click();
        QVERIFY(!form.PopDeleteMailsChk->isChecked());
        QVERIFY(!form.PopDeleteDaysEdt->isEnabled());

        form.PopUsernameEdt->setText(QStringLiteral("alice"));
        form.PopPasswordEdt->setText(QStringLiteral("pw"));
        QVERIFY(!form.SmtpAuthPopChk->isEnabled());
        form.SmtpAuthChk->click();
        QVERIFY(form.SmtpUsernameEdt->isEnabled());
        form.SmtpAuthPopChk->click();
        QCOMPARE(form.SmtpUsernameEdt->text(), QStringLiteral("alice"));
        QVERIFY(!form.SmtpUsernameEdt->isEnabled());
        form.PopPasswordEdt->setText(QStringLiteral("changed"));
        QCOMPARE(form.SmtpPasswordEdt->text(), QStringLiteral("changed"));

        form.NameEdt->setText(QStringLiteral("Ho"));
        QVERIFY(!form.OKBtn->isEnabled());
        form.NameEdt->setText(QStringLiteral("Hom"));
        QVERIFY(form.OKBtn->isEnabled());
        // "none" for either protocol brings the warning about plain text.
        QVERIFY(form.PlainTextWarningLbl->isHidden());
        form.SmtpSecurityCmb->setCurrentIndex(3);
        QCOMPARE(form.Security().SmtpSecurity, TqmSecurity::secNone);
        QVERIFY(!form.PlainTextWarningLbl->isHidden());
        form.SetSecurity({TqmSecurity::secNone, TqmSecurity::secAuto, {}});
        QVERIFY(!form.PlainTextWarningLbl->isHidden());
        form.SetSecurity({});
        QVERIFY(form.PlainTextWarningLbl->isHidden());

        const TAccount edited = form.Account();
        QCOMPARE(edited.RASService, QByteArray("Provider"));
        QVERIFY(!edited.PopKeepMails);
        QCOMPARE(edited.SmtpPassword, QByteArray("changed"));
    }

    void pinsAreShownAndForgotten_data() { AddLanguageRows(); }
    void pinsAreShownAndForgotten()
    {
        QFETCH(int, language);
        Install(language);
        TAccountEdtFrm form(Backend({}));
        form.SetAccount(NamedAccount("Home"));
        form.SetSecurity({TqmSecurity::secTls, TqmSecurity::secStartTls, {"pop.example.org:995", PopFingerprint}, {"smtp.example.org:587", "ab:cd"}});
        QVERIFY(Flat(form.PopPinLbl->text()).contains(QString::fromLatin1(PopFingerprint)));
        QVERIFY(form.PopPinLbl->text().contains(QLatin1String("pop.example.org:995")));
        QVERIFY(form.SmtpPinLbl->text().contains(QLatin1String("smtp.example.org:587")));
        QVERIFY(form.PopPinLbl->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(form.PopPinForgetBtn->text(), language == 2 ? QStringLiteral("&Forget") : QStringLiteral("&Vergessen"));
        form.SmtpPinForgetBtn->click();
        QCOMPARE(form.Security().SmtpPin, TServerPin());
        QCOMPARE(form.Security().PopPin, (TServerPin{"pop.example.org:995", PopFingerprint}));
        QCOMPARE(form.SmtpPinLbl->text(),
                 language == 2 ? QStringLiteral("(no certificate trusted)") : QStringLiteral("(keinem Zertifikat vertraut)"));
        QVERIFY(!form.SmtpPinForgetBtn->isEnabled());
        QVERIFY(form.PopPinForgetBtn->isEnabled());
        // The pin of an earlier version names no server: the editor says whose it is.
        form.SetSecurity({TqmSecurity::secAuto, TqmSecurity::secAuto, {{}, "ab:cd"}, {}});
        QVERIFY(form.PopPinLbl->text().contains(language == 2 ? QLatin1String("POP3 server of this account")
                                                              : QLatin1String("POP3-Server dieses Kontos")));
        form.PopPinForgetBtn->click();
        QVERIFY(form.Security().PopPin.IsEmpty());
    }

    // The incoming protocol renames what names it and enables the IMAP-only controls; what the
    // editor does not show (where secrets live, the sign-in method) comes back unchanged.
    void incomingProtocolIsChosen_data() { AddLanguageRows(); }
    void incomingProtocolIsChosen()
    {
        QFETCH(int, language);
        Install(language);
        const bool english = language == 2;
        TAccountEdtFrm form(Backend({}));
        form.SetAccount(NamedAccount("Home"));
        TAccountSecurity stored;
        stored.Secrets = TSecretStore::Keyring;
        stored.Auth = TAuthMethod::OAuth2;
        form.SetSecurity(stored);
        form.show();
        QCOMPARE(form.IncomingProtocolCmb->currentText(), QStringLiteral("POP3"));
        QVERIFY(!form.ImapFoldersEdt->isEnabled());
        QVERIFY(!form.ImapSentCopyChk->isEnabled());
        const auto labelOf = [&form](QWidget* field) {
            for (QLabel* label : form.findChildren<QLabel*>())
                if (label->buddy() == field)
                    return label->text();
            return QString();
        };
        QCOMPARE(labelOf(form.PopServerEdt), english ? QStringLiteral("&POP3 server:") : QStringLiteral("&POP3-Server:"));
        const QString popLogIn = english ? QStringLiteral("&Use the POP3 login") : QStringLiteral("POP3-Anmeldung &verwenden");
        const QString imapLogIn = english ? QStringLiteral("&Use the IMAP login") : QStringLiteral("IMAP-Anmeldung &verwenden");
        QCOMPARE(form.SmtpAuthPopChk->text(), popLogIn);

        form.IncomingProtocolCmb->setCurrentIndex(1);
        QCOMPARE(form.SmtpAuthPopChk->text(), imapLogIn);
        form.PageControl->setCurrentIndex(2);
        QCOMPARE(labelOf(form.PopServerEdt), english ? QStringLiteral("&IMAP server:") : QStringLiteral("&IMAP-Server:"));
        QCOMPARE(labelOf(form.PopSecurityCmb), QStringLiteral("IM&AP:"));
        QVERIFY(form.ImapFoldersEdt->isEnabled());
        QVERIFY(form.ImapSentCopyChk->isChecked());
        form.ImapFoldersEdt->setPlainText(QStringLiteral(" Entwürfe \n\nINBOX\nListen/Qt\nEntwürfe"));
        form.ImapSentCopyChk->setChecked(false);
        const TAccountSecurity edited = form.Security();
        QCOMPARE(edited.Incoming, TIncomingProtocol::Imap);
        QCOMPARE(edited.ImapFolders, (QByteArrayList{"Entw\xc3\xbcrfe", "Listen/Qt"}));
        QVERIFY(!edited.ImapSentCopy);
        QCOMPARE(edited.Secrets, TSecretStore::Keyring);
        QCOMPARE(edited.Auth, TAuthMethod::OAuth2);
        SaveScreenshot(form, english ? QStringLiteral("lmaccounts-editor-imap-en-page3") : QStringLiteral("lmaccounts-editor-imap-de-page3"));
        form.PageControl->setCurrentIndex(0);
        SaveScreenshot(form, english ? QStringLiteral("lmaccounts-editor-imap-en-page1") : QStringLiteral("lmaccounts-editor-imap-de-page1"));

        // A second account opened in the same editor shows its own protocol and folders.
        TAccountSecurity pop;
        form.SetSecurity(pop);
        QCOMPARE(form.IncomingProtocolCmb->currentIndex(), 0);
        QCOMPARE(form.SmtpAuthPopChk->text(), popLogIn);
        QCOMPARE(form.ImapFoldersEdt->toPlainText(), QString());
        QCOMPARE(form.Security().Secrets, TSecretStore::Record);
    }

    void wizardReopensWithWhatWasTyped()
    {
        Install();
        TWizzardFrm first;
        FillWizard(first);
        first.SmtpSecurityCmb->setCurrentIndex(WizardSecurityIndex(TqmSecurity::secTls));
        first.NameEdt->setText(QStringLiteral("Taken"));
        const TAccountDraft typed = first.Draft();
        TWizzardFrm again;
        again.SetChoices(ChoicesOfDraft(typed));
        const TAccountDraft reopened = again.Draft();
        QCOMPARE(reopened.Account.Name, QByteArray("Taken"));
        QCOMPARE(reopened.Account.SmtpName, typed.Account.SmtpName);
        QCOMPARE(reopened.Account.PopServer, typed.Account.PopServer);
        QCOMPARE(reopened.Account.SmtpServer, typed.Account.SmtpServer);
        QCOMPARE(reopened.Account.PopPassword, QByteArray("secret"));
        QCOMPARE(detail::EncodeAccount(reopened.Account), detail::EncodeAccount(typed.Account));
        QCOMPARE(again.SmtpPortEdt->text(), QStringLiteral("1"));
        QCOMPARE(reopened.Security.SmtpSecurity, TqmSecurity::secTls);
    }

    void dialUpEditorFailureIsSaid()
    {
        Install();
        TAccountEdtFrm form(Backend({QStringLiteral("Provider")}));
        ReportCapture reports;
        form.RasRb->click();
        form.RasEditBtnClick();
        // The test machine's editor may or may not exist; the entry is never one the system knows.
        const QList<TUserMessage> taken = reports.Take();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().Id, AccountsText::EntryEditorMissing);
        QVERIFY(taken.first().Text.contains(QStringLiteral("Provider")));
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
        TAccountEdtFrm editor(Backend({QStringLiteral("Provider")}));
        editor.SetAccount(NamedAccount("Home"));
        editor.SetSecurity({TqmSecurity::secStartTls, TqmSecurity::secAuto, {"pop.example.org:995", PopFingerprint}, {}});
        editor.show();
        for (int page = 0; page < editor.PageControl->count(); ++page) {
            editor.PageControl->setCurrentIndex(page);
            SaveScreenshot(editor, QStringLiteral("lmaccounts-editor%1-page%2").arg(suffix).arg(page + 1));
        }
        // The wizard's pictures are taken by its own test, which walks it against real servers.
        TWizzardFrm wizzard;
        FillWizard(wizzard);
        QCOMPARE(wizzard.NextBtn->text(), language == 2 ? QStringLiteral("&Finish") : QStringLiteral("&Fertigstellen"));
        QVERIFY(wizzard.PrevBtn->isEnabled());
        wizzard.ShowPage(0);
        QVERIFY(!wizzard.PrevBtn->isEnabled());
    }

private:
    void Install(int language = 0)
    {
        m_installation = std::make_unique<TestInstallation>(QStringLiteral("modules/lmaccounts"), language);
        QVERIFY(CreateAccountsDatabase());
    }

    static TAccount NamedAccount(const QByteArray& name)
    {
        TAccount account;
        account.Name = name;
        return account;
    }

    // Answers the editor dialogs the command opens, one step each, and clicks OK after each step.
    static void EditorSteps(QList<std::function<void(TAccountEdtFrm&)>> steps)
    {
        if (steps.isEmpty())
            return;
        const auto step = steps.takeFirst();
        WhenModal<TAccountEdtFrm>([step, steps](TAccountEdtFrm& editor) {
            step(editor);
            EditorSteps(steps);
            editor.OKBtn->click();
        });
    }

    static void FillWizard(TWizzardFrm& wizzard)
    {
        wizzard.SmtpNameEdt->setText(QStringLiteral("Alice Example"));
        wizzard.SmtpAddressEdt->setText(QStringLiteral("alice@example.org"));
        // Nothing listens at port 1: a connection test started on the way ends at once.
        wizzard.PopServerEdt->setText(QStringLiteral("127.0.0.1:1"));
        wizzard.SmtpServerEdt->setText(QStringLiteral("127.0.0.1:1"));
        wizzard.PopUsernameEdt->setText(QStringLiteral("alice"));
        wizzard.PopPasswordEdt->setText(QStringLiteral("secret"));
        for (int page = 1; page < WizardPageCount; ++page)
            wizzard.NextBtnClick();
    }

    std::unique_ptr<TestInstallation> m_installation;
};

QTEST_MAIN(TestAccountsWindow)
#include "tst_accountswindow.moc"

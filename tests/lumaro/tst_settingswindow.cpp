// The Settings dialog, the user manager, the user editor and the user chooser offscreen, and what the
// main window does with them: the warnings reset after Cancel, OK with logging switched off, and the
// change of the active user. Pictures of every window in both languages with LUMARO_TEST_SCREENSHOTS.

#include "ChooseUser.h"
#include "EditUser.h"
#include "FolderFixture.h"
#include "FolderSet.h"
#include "FontText.h"
#include "Konstanten.h"
#include "Main.h"
#include "MainWindowFixture.h"
#include "PhraseFunctions.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ModalDialogs.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "Settings.h"
#include "UserPanel.h"
#include "Users.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QtEndian>

#include <memory>

using namespace LumaroTest;

namespace {

constexpr QSize SmallScreen(1024, 768);

bool FitsSmallScreen(QWidget& window)
{
    window.adjustSize();
    const QSize size = window.frameGeometry().size().expandedTo(window.sizeHint());
    return size.width() <= SmallScreen.width() && size.height() <= SmallScreen.height() - 40;
}

QString Language(bool english)
{
    return english ? QStringLiteral("en") : QStringLiteral("de");
}

QStringList TopLevelTexts(const QTreeWidget& tree)
{
    QStringList texts;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        texts.append(tree.topLevelItem(i)->text(0));
    return texts;
}

} // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;
    QStringList m_told;
    QStringList m_warned;

    void FreshInstallation(int language = 0)
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(language);
        TRegistryKey().WriteInteger(QStringLiteral("Language"), language);
        ReadInstallationValues();
        BuildUserList();
        ReadCurrentUserSettingsPaths();
        QDir().mkpath(Paths().Data.MailDir);
        QDir().mkpath(Paths().Data.SmtpDir);
        m_told.clear();
        m_warned.clear();
    }

    TRegistrationPaths PrivateRegistration() const
    {
        TRegistrationPaths paths;
        paths.ApplicationsDir = m_programDir->filePath(QStringLiteral("xdg/applications"));
        paths.ConfigDir = m_programDir->filePath(QStringLiteral("xdg/config"));
        paths.Program = Paths().Program.LumaroExe;
        paths.Icon = Paths().Program.ProgDir + QLatin1String("/lumaro.svg");
        return paths;
    }

    // A Settings dialog whose questions are answered with `answer` and whose messages are recorded.
    void Prepare(TSettingsFrm& settings, bool answer = true)
    {
        settings.Dialogs.AskOkCancel = [answer](const QString&) { return answer; };
        settings.Dialogs.Inform = [this](const QString& text) { m_told.append(text); };
        settings.Dialogs.Warn = [this](const QString& text) { m_warned.append(text); };
        settings.Registration = PrivateRegistration();
    }

    std::unique_ptr<TMainFrm> StartedWindow()
    {
        auto frm = std::make_unique<TMainFrm>(QStringList{});
        frm->Dialogs.AskYesNo = [](const QString&) { return false; };
        frm->Dialogs.Inform = [this](const QString& text) { m_told.append(text); };
        frm->resize(900, 500);
        return ShownMainWindow(std::move(frm));
    }

private slots:
    void cleanup()
    {
        SetLanguage(0);
        m_registry.reset();
        m_programDir.reset();
    }

    void pictures_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("German") << false;
        QTest::newRow("English") << true;
    }

    void pictures()
    {
        QFETCH(bool, english);
        FreshInstallation(english ? 2 : 0);
        WriteUser(QStringLiteral("anna"), {}, {});
        BuildUserList();
        TSettingsFrm settings;
        Prepare(settings);
        settings.Setup(SettingsValuesOf(LoadMainSettings(UserContext().Keys)), {QStringLiteral("Büro")});
        settings.show();
        QVERIFY(QTest::qWaitForWindowExposed(&settings));
        QVERIFY(FitsSmallScreen(settings));
        QCOMPARE(settings.PageControl->tabText(0), english ? QStringLiteral("General") : QStringLiteral("Allgemein"));
        QCOMPARE(settings.MailclientStatusLbl->text(), MessageText(63));
        for (int page = 0; page < settings.PageControl->count(); ++page) {
            settings.PageControl->setCurrentIndex(page);
            SaveScreenshot(settings, QStringLiteral("settings-%1-%2").arg(page + 1).arg(Language(english)));
        }

        TUsersFrm users;
        users.show();
        QVERIFY(QTest::qWaitForWindowExposed(&users));
        QVERIFY(FitsSmallScreen(users));
        SaveScreenshot(users, QLatin1String("users-") + Language(english));
        TEditUserFrm editor;
        editor.Setup({}, true, {}, UserContext().Users);
        editor.UserEdt->setText(QStringLiteral("carla"));
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QVERIFY(FitsSmallScreen(editor));
        SaveScreenshot(editor, QLatin1String("edituser-") + Language(english));
        TChooseUserFrm chooser;
        chooser.Setup(UserContext().Users, QStringLiteral("anna"), true);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(FitsSmallScreen(chooser));
        SaveScreenshot(chooser, QLatin1String("chooseuser-") + Language(english));
    }

    void controlsFollowTheRules()
    {
        FreshInstallation();
        TSettingsFrm settings;
        Prepare(settings);
        TSettingsValues values = SettingsValuesOf(LoadMainSettings(UserContext().Keys));
        values.General.Signature = QStringLiteral("Gelöscht");
        settings.Setup(values, {QStringLiteral("Büro")});
        QCOMPARE(settings.SignatureCmb->count(), 3);  // none, Büro and the stored one that is gone

        settings.ShowTreeviewChk->click();
        QVERIFY(settings.ShowTreeviewChk->isChecked());
        settings.ShowComboboxChk->click();
        settings.ShowTreeviewChk->click();
        QVERIFY(!settings.ShowTreeviewChk->isChecked());
        settings.ShowComboboxChk->click();
        QVERIFY(settings.ShowTreeviewChk->isChecked());

        settings.EncodingUUChk->click();
        QVERIFY(!settings.CharsetCmb->isEnabled());
        settings.CharsetCmb->setCurrentIndex(0);
        settings.StandardBtn->click();
        QVERIFY(settings.EncodingMimeChk->isChecked());
        QVERIFY(settings.CharsetCmb->isEnabled());
        QCOMPARE(settings.CharsetCmb->currentIndex(), 1);

        settings.SignatureCmb->activated(1);
        QVERIFY(settings.AutoSignatureChk->isChecked());
        settings.SignatureCmb->activated(0);
        QVERIFY(!settings.AutoSignatureChk->isChecked());
        QCOMPARE(settings.Values().General.Signature, QString());

        settings.PhrasesBtn->click();
        QCOMPARE(m_told, QStringList{FillIn(MessageText(184), QStringLiteral("Textbausteine..."))});
    }

    void fontButtons()
    {
        FreshInstallation();
        TSettingsFrm settings;
        Prepare(settings);
        TSettingsValues values;
        values.Display.MailFont = QStringLiteral("\"No Such Font Here\", 30, [fsBold], [clWindowText]");
        settings.Setup(values, {});
        QCOMPARE(settings.FontDisplayLbl->font().family(), QApplication::font().family());
        QCOMPARE(settings.FontDisplayLbl->font().pointSize(), QApplication::font().pointSize());
        QVERIFY(settings.FontDisplayLbl->text().startsWith(QStringLiteral("Standardschrift (")));
        QCOMPARE(settings.Values().Display.MailFont, values.Display.MailFont);

        const QString installed = QFontDatabase::families().value(0, QApplication::font().family());
        settings.Dialogs.ChooseFont = [installed](const QFont&) { return std::optional<QFont>(QFont(installed, 13)); };
        settings.FontBtn->click();
        TFontSpec chosen;
        TextToFont(settings.Values().Display.MailFont, chosen);
        QCOMPARE(chosen.Font.family(), installed);
        QCOMPARE(chosen.Font.pointSize(), 13);
        QCOMPARE(settings.FontDisplayLbl->text(), FontDisplayText(chosen));
        settings.StandardFontBtn->click();
        QCOMPARE(settings.Values().Display.MailFont, DefaultMailFont);
    }

    void soundChoosersAndTestButtons()
    {
        FreshInstallation();
        TSettingsFrm settings;
        Prepare(settings);
        TSettingsValues values;
        values.General.SoundNoMail.clear();
        values.General.SoundNewMail = m_programDir->filePath(QStringLiteral("missing.wav"));
        settings.Setup(values, {});
        QVERIFY(settings.SoundNewMailTestBtn->isEnabled());
        QVERIFY(!settings.SoundNoMailTestBtn->isEnabled());
        settings.SoundNewMailTestBtn->click();
        QCOMPARE(m_warned, QStringList{FillIn(MessageText(502), values.General.SoundNewMail)});

        const QString chosen = m_programDir->filePath(QStringLiteral("bell.wav"));
        settings.Dialogs.ChooseSoundFile = [chosen](const QString&) { return std::optional<QString>(chosen); };
        QTest::mouseClick(settings.SoundNoMailPan, Qt::LeftButton);
        QCOMPARE(settings.SoundNoMailPan->text(), chosen);
        QCOMPARE(settings.Values().General.SoundNoMail, chosen);
        QVERIFY(settings.SoundNoMailTestBtn->isEnabled());
    }

    // The build writes the default sounds; a header that lies about its length would not play.
    void defaultSoundsAreBuilt_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("new mail") << "newmail.wav";
        QTest::newRow("no mail") << "nomail.wav";
    }

    void defaultSoundsAreBuilt()
    {
        QFETCH(QString, name);
        QFile file(QStringLiteral(LUMARO_DIST_DIR "/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt " && wav.mid(36, 4) == "data");
        const auto littleEndian = [&wav](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
        QCOMPARE(littleEndian(4), quint32(wav.size() - 8));
        QCOMPARE(littleEndian(40), quint32(wav.size() - 44));
        QVERIFY(wav.size() > 44 + 22050 / 10);
    }

    void registerButtonsShowTheState()
    {
        FreshInstallation();
        TSettingsFrm settings;
        Prepare(settings);
        settings.Setup(TSettingsValues{}, {});
        QVERIFY(settings.MailclientBtn->isEnabled());
        settings.MailclientBtn->click();
        QCOMPARE(m_told, QStringList{MessageText(64)});
        QCOMPARE(settings.MailclientStatusLbl->text(), MessageText(62));
        QVERIFY(!settings.MailclientBtn->isEnabled());
        QCOMPARE(settings.EmlStatusLbl->text(), MessageText(63));
        QVERIFY(IsRegistered(TRegistration::MailClient, PrivateRegistration()));

        TSettingsFrm cancelled;
        Prepare(cancelled, false);
        cancelled.Setup(TSettingsValues{}, {});
        cancelled.EmlBtn->click();
        QVERIFY(!IsRegistered(TRegistration::EmlFiles, PrivateRegistration()));
        QVERIFY(cancelled.EmlBtn->isEnabled());
    }

    void warningsResetSurvivesCancel()
    {
        FreshInstallation();
        TRegistryKey warnings(UserContext().Keys.Warnings);
        warnings.WriteBool(QStringLiteral("DeleteMails"), false);
        warnings.WriteBool(QStringLiteral("LVNoSubject"), false);
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(!frm->Settings.Warnings.DeleteMails);
        WhenModal<TSettingsFrm>([this](TSettingsFrm& settings) {
            Prepare(settings);
            settings.WarningsStandardBtn->click();
            settings.CancelBtn->click();
        });
        frm->Actions.PreferencesItm->trigger();
        QCOMPARE(m_told, QStringList{MessageText(55)});
        QVERIFY(frm->Settings.Warnings.DeleteMails);
        frm.reset();
        const TWarningSettings stored = LoadWarningSettings(UserContext().Keys.Warnings);
        QVERIFY(stored.DeleteMails && stored.LVNoSubject);
    }

    void okAppliesTheLayoutAndDeletesTheLog()
    {
        FreshInstallation();
        TRegistryKey(UserContext().Keys.General).WriteBool(QStringLiteral("LogActive"), true);
        QVERIFY(WriteBytes(Paths().Data.LogFile, "C: USER anna\r\n"));
        QVERIFY(WritePhrase(SignatureCategory(), QStringLiteral("Büro"), QStringLiteral("Anna")));
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QCOMPARE(reports.Take().size(), 1);  // the note that logging is on
        WhenModal<TSettingsFrm>([](TSettingsFrm& settings) {
            settings.PageControl->setCurrentIndex(TSettingsFrm::pgAdvanced);
            QCOMPARE(settings.SignatureCmb->findText(QStringLiteral("Büro")), 1);
            settings.LogActiveChk->click();
            settings.ShowComboboxChk->click();
            settings.OKBtn->click();
        });
        frm->Actions.PreferencesItm->trigger();
        QVERIFY(!QFile::exists(Paths().Data.LogFile));
        QVERIFY(frm->ComboPan->isVisible());
        QVERIFY(!frm->HeadlinePan->isVisible());
        QVERIFY(!frm->Actions.ShowLogfileItm->isEnabled());
        QVERIFY(TRegistryKey(UserContext().Keys.Display).ReadBool(QStringLiteral("ShowCombobox"), false));
    }

    void usersDialogRules()
    {
        FreshInstallation();
        TUsersFrm users;
        users.Warn = [this](const QString& text) { m_warned.append(text); };
        QCOMPARE(users.ListBox->count(), 1);
        QCOMPARE(users.ListBox->item(0)->text(), QStringLiteral("default [standard]"));
        QVERIFY(!users.ChooseUserChk->isEnabled());
        QVERIFY(!users.DeleteBtn->isEnabled());
        QVERIFY(!users.ActivateBtn->isEnabled());

        const QString annaDir = Paths().Program.UsersDir + QLatin1String("/anna");
        users.RunEditor = [annaDir](const TUserEdit& start, bool newUser, const QStringList&) {
            return newUser && start.Name.isEmpty() ? std::optional<TUserEdit>(TUserEdit{QStringLiteral("anna"), annaDir})
                                                   : std::nullopt;
        };
        users.AddBtn->click();
        QVERIFY(QFileInfo(annaDir).isDir());
        QCOMPARE(users.ListBox->currentItem()->text(), QStringLiteral("anna"));
        QVERIFY(users.DeleteBtn->isEnabled());
        QVERIFY(users.ChooseUserChk->isEnabled());
        users.ChooseUserChk->setChecked(false);
        users.ActivateBtn->click();
        QCOMPARE(users.result(), int(QDialog::Accepted));
        QCOMPARE(users.ActiveUser(), QStringLiteral("anna"));
        QCOMPARE(UserContext().Installation.ChooseUser, false);
        QVERIFY(!TRegistryKey().ReadBool(QStringLiteral("ChooseUser"), true));
    }

    void editorFollowsTheNameAndRefusesTakenNames()
    {
        FreshInstallation();
        TEditUserFrm editor;
        editor.Warn = [this](const QString& text) { m_warned.append(text); };
        editor.Setup({}, true, {}, UserContext().Users);
        QVERIFY(!editor.OKBtn->isEnabled());
        editor.UserEdt->setText(QStringLiteral("carla"));
        QCOMPARE(editor.DataDirPan->text(), Paths().Program.UsersDir + QLatin1String("/carla"));
        editor.BrowseDirectory = [](const QString&) { return std::optional<QString>(Paths().Program.DefaultDataDir); };
        editor.EditBtn->click();
        QCOMPARE(editor.CheckLbl->text(), QStringLiteral("1"));
        QCOMPARE(editor.DataDir(), QString());
        editor.UserEdt->setText(QStringLiteral("Default"));
        QCOMPARE(editor.DataDir(), QString());
        editor.show();
        editor.OKBtn->click();
        QCOMPARE(m_warned, QStringList{MessageText(69)});
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.result(), 0);
    }

    void chooserStoresTheTickReversed()
    {
        FreshInstallation();
        TChooseUserFrm chooser;
        chooser.Setup({QStringLiteral("default"), QStringLiteral("anna")}, QStringLiteral("anna"), true);
        QCOMPARE(chooser.UsersCmb->currentText(), QStringLiteral("anna"));
        QVERIFY(!chooser.NotChooseUserChk->isChecked());
        chooser.NotChooseUserChk->click();
        chooser.UsersCmb->setCurrentIndex(0);
        QCOMPARE(chooser.Choice().User, QStringLiteral("default"));
        QVERIFY(!chooser.Choice().AskAtStart);
    }

    void userChangeReloadsTheFolderTree()
    {
        FreshInstallation();
        const QString bobDir = m_programDir->filePath(QStringLiteral("bob-data"));
        QVERIFY(QDir().mkpath(bobDir + QLatin1String("/Mail")));
        WriteUser(QStringLiteral("bob"), bobDir, {});
        TRegistryKey(UserKey(QStringLiteral("bob")) + QLatin1String("/Display")).WriteBool(QStringLiteral("ShowCombobox"), true);
        QVERIFY(CreateFolder(TFolderFiles{bobDir + QLatin1String("/Mail/Bobs.mbx"), bobDir + QLatin1String("/Mail/Bobs.idx")}));
        TRegistryKey().WriteBool(QStringLiteral("ChooseUser"), false);
        ReportCapture reports;
        auto frm = StartedWindow();
        QVERIFY(frm);
        QVERIFY(!TopLevelTexts(*frm->FolderTv).contains(QStringLiteral("Bobs")));
        frm->Settings.General.EmptyTrash = true;  // the leaving user's change must be written

        frm->ChangeActiveUser(QStringLiteral("bob"));
        QCOMPARE(Paths().Data.DataDir, bobDir);
        QVERIFY(TopLevelTexts(*frm->FolderTv).contains(QStringLiteral("Bobs")));
        QCOMPARE(frm->CurrentFolder(), QStringLiteral("Posteingang"));
        QVERIFY(QFile::exists(SpecialFolderPaths(TSpecialFolder::Inbox).MessageFile));
        QCOMPARE(frm->StatusPanel2->UserName(), QStringLiteral("bob"));
        QVERIFY(frm->Settings.Display.ShowCombobox);
        QVERIFY(!frm->Settings.General.EmptyTrash);
        QVERIFY(TRegistryKey(UserKey(DefaultUserName) + QLatin1String("/General")).ReadBool(QStringLiteral("EmptyTrash"), false));
        QCOMPARE(TRegistryKey().ReadString(QStringLiteral("CurrentUser")), QStringLiteral("bob"));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"

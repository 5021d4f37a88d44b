// The help window as the main client opens it, with the guide of the build's installation tree: F1
// and Help ▸ Contents in the main window, the Settings dialog's Help button on the page shown (beside
// the modal dialog), the search field, and the window's language. Pictures with LUMARO_TEST_SCREENSHOTS.

#include "EnhListView.h"
#include "FolderFixture.h"
#include "HelpIndex.h"
#include "HelpWindow.h"
#include "Konstanten.h"
#include "Main.h"
#include "MainWindowFixture.h"
#include "RegistryFunctions.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "FilterLocalConf.h"
#include "Settings.h"
#include "TransferDialogs.h"
#include "Users.h"
#include "ShellFunctions.h"
#include "tk_langlib.h"
#include "tk_reglib.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <memory>

namespace {

QString Language(bool english)
{
    return english ? QStringLiteral("en") : QStringLiteral("de");
}

// "de/settings.htm#send" for a page of the guide.
QString Shown(const THelpFrm& window)
{
    const QUrl source = window.Browser->source();
    QString shown = QDir(source.adjusted(QUrl::RemoveFilename).toLocalFile()).dirName() + QLatin1Char('/')
                    + source.fileName();
    if (source.hasFragment())
        shown += QLatin1Char('#') + source.fragment();
    return shown;
}

QStringList ListedTitles(const QListWidget& list)
{
    QStringList titles;
    for (int i = 0; i < list.count(); ++i)
        titles.append(list.item(i)->text());
    return titles;
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    // An installation whose help folder is the one the build installs.
    void FreshInstallation(bool english)
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        ForgetHelpIndex();
        QVERIFY(QFile::link(QStringLiteral(LUMARO_DIST_DIR "/help"), Paths().Program.HelpDir));
        const int language = english ? 2 : 0;
        SetLanguage(language);
        TRegistryKey().WriteInteger(QStringLiteral("Language"), language);
        ReadInstallationValues();
        BuildUserList();
        ReadCurrentUserSettingsPaths();
        QDir().mkpath(Paths().Data.MailDir);
        QDir().mkpath(Paths().Data.SmtpDir);
    }

    std::unique_ptr<TMainFrm> StartedWindow()
    {
        auto frm = std::make_unique<TMainFrm>(QStringList{});
        frm->Dialogs.AskYesNo = [](const QString&) { return false; };
        frm->Dialogs.Inform = [](const QString&) {};
        frm->resize(900, 500);
        return ShownMainWindow(std::move(frm));
    }

    static THelpFrm* OpenedHelp()
    {
        THelpFrm* window = ExistingHelpWindow();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

private slots:
    void cleanup()
    {
        delete ExistingHelpWindow();
        SetLanguage(0);
        m_registry.reset();
        m_programDir.reset();
    }

    void language_data()
    {
        QTest::addColumn<bool>("english");
        QTest::newRow("German") << false;
        QTest::newRow("English") << true;
    }

    // F1 on the message list opens the main window's page; Help ▸ Contents the contents, in the
    // same window; the window and its pages follow the interface language.
    void mainWindowF1AndContents_data() { language_data(); }
    void mainWindowF1AndContents()
    {
        QFETCH(bool, english);
        FreshInstallation(english);
        ReportCapture reports;
        std::unique_ptr<TMainFrm> frm = StartedWindow();
        QVERIFY(frm);
        frm->MessageLv->setFocus();
        QTest::keyClick(frm->MessageLv, Qt::Key_F1);
        THelpFrm* help = OpenedHelp();
        QVERIFY(help);
        QCOMPARE(Shown(*help), Language(english) + QStringLiteral("/mainwindow.htm"));
        QCOMPARE(help->windowTitle(), english ? QStringLiteral("Lumaro Mail Help") : QStringLiteral("Lumaro Mail Hilfe"));
        QCOMPARE(help->ContentsBtn->text(), english ? QStringLiteral("&Contents") : QStringLiteral("&Inhalt"));
        QVERIFY(help->Browser->toPlainText().contains(english ? QStringLiteral("folder") : QStringLiteral("Ordner")));
        QCOMPARE(help->PagesLst->currentItem()->text(), help->Browser->documentTitle());
        SaveScreenshot(*help, QLatin1String("help-mainwindow-") + Language(english));

        frm->Actions.ContentsItm->trigger();
        QCOMPARE(ExistingHelpWindow(), help);
        QCOMPARE(Shown(*help), Language(english) + QStringLiteral("/index.htm"));
        QVERIFY(help->BackBtn->isEnabled());
        help->BackBtn->click();
        QCOMPARE(Shown(*help), Language(english) + QStringLiteral("/mainwindow.htm"));
    }

    // The Help button of the modal Settings dialog opens the topic of the page shown, scrolled to it,
    // in a window that belongs to the dialog so that it takes input while the dialog is open.
    void settingsHelpButtonOpensThePageShown_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("German, Senden") << false << int(TSettingsFrm::pgSend) << "send";
        QTest::newRow("German, Erweitert") << false << int(TSettingsFrm::pgAdvanced) << "advanced";
        QTest::newRow("English, Receive") << true << int(TSettingsFrm::pgReceive) << "receive";
    }

    void settingsHelpButtonOpensThePageShown()
    {
        QFETCH(bool, english);
        QFETCH(int, page);
        QFETCH(QString, anchor);
        FreshInstallation(english);
        TSettingsFrm settings;
        settings.setWindowModality(Qt::ApplicationModal);
        settings.show();
        QVERIFY(QTest::qWaitForWindowExposed(&settings));
        settings.PageControl->setCurrentIndex(page);
        settings.HelpBtn->click();
        THelpFrm* help = OpenedHelp();
        QVERIFY(help);
        QCOMPARE(Shown(*help), Language(english) + QStringLiteral("/settings.htm#") + anchor);
        QCOMPARE(help->parentWidget(), &settings);
        QVERIFY(help->isWindow());
        // The anchor is scrolled to: the topic's heading is at the top, not the page's beginning.
        QTRY_VERIFY(help->Browser->verticalScrollBar()->value() > 0);

        // Closed with Esc, the help comes back at the same topic with F1 in the dialog.
        help->ContentsBtn->click();
        QTest::keyClick(help->Browser, Qt::Key_Escape);
        QVERIFY(help->isHidden());
        settings.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &settings);
        QTest::keyClick(&settings, Qt::Key_F1);
        QVERIFY(help->isVisible());
        QCOMPARE(Shown(*help), Language(english) + QStringLiteral("/settings.htm#") + anchor);
    }

    // F1 in a dialog of the main client opens the topic of that dialog.
    void dialogF1OpensItsTopic_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("topic");
        QTest::newRow("users") << "users" << "users.htm";
        QTest::newRow("receive") << "receive" << "reading.htm#receive";
        QTest::newRow("filter rule") << "filter rule" << "filters.htm#editor";
    }

    void dialogF1OpensItsTopic()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, topic);
        FreshInstallation(false);
        std::unique_ptr<QDialog> window;
        if (dialog == QLatin1String("users"))
            window = std::make_unique<TUsersFrm>();
        else if (dialog == QLatin1String("receive"))
            window = std::make_unique<TReceiveMultipleFrm>(QByteArrayList{QByteArrayLiteral("Home")}, QByteArrayList{});
        else
            window = std::make_unique<TFilterLocalConf2Frm>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
        THelpFrm* help = OpenedHelp();
        QVERIFY(help);
        QCOMPARE(Shown(*help), QStringLiteral("de/") + topic);
    }

    // Words typed into the search field list the pages that hold all of them; Return opens the first
    // with the word marked; an empty field brings the contents back.
    void searchListsThePagesWithTheWords_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expectedPage");
        QTest::newRow("German certificate") << false << "Fingerabdruck" << "setup";
        QTest::newRow("German two words") << false << "Filterregel Ordner" << "filters";
        QTest::newRow("English certificate") << true << "fingerprint" << "setup";
        QTest::newRow("English server list") << true << "mark deletion" << "servermanager";
    }

    void searchListsThePagesWithTheWords()
    {
        QFETCH(bool, english);
        QFETCH(QString, query);
        QFETCH(QString, expectedPage);
        FreshInstallation(english);
        ShowHelp(HelpContext::Contents);
        THelpFrm* help = OpenedHelp();
        QVERIFY(help);
        const QStringList contents = ListedTitles(*help->PagesLst);
        QVERIFY(contents.size() >= 10);

        QTest::keyClicks(help->SearchEdt, query);
        QVERIFY(help->ResultLbl->isVisible());
        const int found = help->PagesLst->count();
        QVERIFY(found >= 1);
        QVERIFY(found < contents.size());
        QCOMPARE(help->ResultLbl->text(), FillIn(MessageText(581), QString::number(found)));
        QTest::keyClick(help->SearchEdt, Qt::Key_Return);
        const QString first = help->Browser->source().fileName();
        bool listed = false;
        for (int i = 0; i < found; ++i)
            listed = listed || help->PagesLst->item(i)->data(Qt::UserRole).toString() == expectedPage;
        QVERIFY2(listed, qPrintable(ListedTitles(*help->PagesLst).join(QLatin1String(", "))));
        QCOMPARE(first, help->PagesLst->item(0)->data(Qt::UserRole).toString() + QLatin1String(".htm"));
        const QString firstWord = query.split(QLatin1Char(' ')).first();
        QCOMPARE(help->Browser->textCursor().selectedText().toLower(), firstWord.toLower());
        SaveScreenshot(*help, QLatin1String("help-search-") + Language(english));

        QTest::keyClicks(help->SearchEdt, QStringLiteral(" xyzzyq"));
        QCOMPARE(help->PagesLst->count(), 0);
        QCOMPARE(help->ResultLbl->text(), FillIn(MessageText(582), query + QLatin1String(" xyzzyq")));
        help->SearchEdt->clear();
        QVERIFY(help->ResultLbl->isHidden());
        QCOMPARE(ListedTitles(*help->PagesLst), contents);
    }

    // A guide that is not installed is said so, instead of an empty window.
    void missingGuideIsReported()
    {
        FreshInstallation(false);
        QVERIFY(QFile::remove(Paths().Program.HelpDir));
        ForgetHelpIndex();
        ReportCapture reports;
        ShowHelp(HelpContext::MainWindow);
        const QList<TUserMessage> shown = reports.Take();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().Id, 501);
        QVERIFY(!ExistingHelpWindow());
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"

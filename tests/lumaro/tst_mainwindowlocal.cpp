// The main window as a user abroad or on a machine without a locale sees it: mail from other time
// zones listed and sorted in the local time of the reader (Berlin here), dates in the interface
// language's format, and a tool bar whose captions fit the default width in both languages.

#include "FolderFixture.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "MainWindowFixture.h"
#include "ProgramStart.h"
#include "ReportCapture.h"
#include "ScopedRegistry.h"
#include "Screenshot.h"
#include "tk_langlib.h"

#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <ctime>
#include <memory>

using namespace LumaroTest;

namespace {

// Same width as the main window's default.
constexpr int DefaultWindowWidth = 1000;

QByteArray Mail(const QByteArray& subject, const QByteArray& dateLines)
{
    return "From: Anna <anna@example.org>\r\nTo: bob@example.net\r\nSubject: " + subject + "\r\n" + dateLines
        + "\r\nText\r\n";
}

} // namespace

class TestMainWindowLocal : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_programDir;
    std::unique_ptr<ScopedRegistry> m_registry;

    std::unique_ptr<TMainFrm> Started(int language)
    {
        m_programDir = std::make_unique<QTemporaryDir>();
        m_registry = std::make_unique<ScopedRegistry>();
        InitProgramPaths(m_programDir->filePath(QStringLiteral("lumaro")));
        SetLanguage(language);
        if (!ApplyProgramLanguage(*QCoreApplication::instance()))
            return nullptr;
        QDir().mkpath(Paths().Data.MailDir);
        QDir().mkpath(Paths().Data.SpoolDir);
        auto frm = std::make_unique<TMainFrm>(QStringList{});
        frm->Dialogs.AskYesNo = [](const QString&) { return false; };
        frm->Dialogs.Inform = [](const QString&) {};
        return frm;
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
    }

    void cleanup()
    {
        m_registry.reset();
        m_programDir.reset();
        SetLanguage(0);
        ApplyProgramLanguage(*QCoreApplication::instance());
    }

    void mailFromOtherZonesInLocalTime()
    {
        ReportCapture reports;
        auto frm = Started(0);
        QVERIFY(frm);
        const QList<std::pair<QByteArray, QByteArray>> mails{
            {"New York", "Date: Tue, 8 Dec 2026 09:15:00 -0500\r\n"},
            {"Tokyo", "Date: Wed, 9 Dec 2026 01:30:00 +0900\r\n"},
            {"Berlin", "Date: Tue, 8 Dec 2026 14:00:00 +0100\r\n"},
            {"Relayed", "Received: from a.example by mx.example.net; Tue, 8 Dec 2026 12:00:00 +0000\r\n"},
        };
        for (int i = 0; i < mails.size(); ++i)
            QVERIFY(WriteBytes(Paths().Data.SpoolDir + QStringLiteral("/pop_%1.eml").arg(i + 1),
                               Mail(mails[i].first, mails[i].second)));
        frm = ShownMainWindow(std::move(frm));
        QVERIFY(frm);
        TMessageListModel& model = *frm->MessageModel;
        QCOMPARE(model.rowCount(), 4);
        int dateColumn = -1;
        int subjectColumn = -1;
        for (int c = 0; c < model.Columns().size(); ++c) {
            if (model.Columns().at(c).Kind == TColumnKind::Date)
                dateColumn = c;
            if (model.Columns().at(c).Kind == TColumnKind::Subject)
                subjectColumn = c;
        }
        model.sort(dateColumn, Qt::AscendingOrder);
        QStringList listed;
        for (int row = 0; row < model.rowCount(); ++row)
            listed.append(model.index(row, subjectColumn).data().toString() + QLatin1Char(' ')
                          + model.index(row, dateColumn).data().toString());
        QCOMPARE(listed, (QStringList{"Relayed 08.12.2026 13:00", "Berlin 08.12.2026 14:00",
                                      "New York 08.12.2026 15:15", "Tokyo 08.12.2026 17:30"}));
        SaveScreenshot(*frm, QStringLiteral("mainwindow-local-dates"));
    }

    // The main window is as wide as its German tool bar with captions; the English one must not
    // need more.
    void englishToolbarFitsLikeTheGermanOne()
    {
        ReportCapture reports;
        QMap<int, int> widths;
        for (const int language : {0, 2}) {
            auto frm = Started(language);
            QVERIFY(frm);
            QToolBar& toolbar = *frm->Actions.Toolbar;
            // The offscreen screen is narrower than the default window; measure the captions as a
            // screen of the usual size shows them.
            toolbar.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
            widths[language] = toolbar.sizeHint().width();
            const QAction* preferences = frm->Actions.ToolbarItems.at(13);
            QCOMPARE(preferences->text(), language == 0 ? QStringLiteral("Optionen") : QStringLiteral("Options"));
            QCOMPARE(preferences->toolTip(), language == 0 ? QStringLiteral("Optionen") : QStringLiteral("Preferences"));
            frm->resize(std::max(DefaultWindowWidth, widths[language] + 16), 640);
            frm->show();
            QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
            SaveScreenshot(*frm, QStringLiteral("mainwindow-toolbar-%1").arg(language == 0 ? "de" : "en"));
            cleanup();
        }
        QVERIFY2(widths[2] <= widths[0], qPrintable(QStringLiteral("%1 > %2").arg(widths[2]).arg(widths[0])));
    }
};

QTEST_MAIN(TestMainWindowLocal)
#include "tst_mainwindowlocal.moc"

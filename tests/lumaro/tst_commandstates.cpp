// Command states of the main window under the running flags, and the status bar width rule.

#include "CommandStates.h"

#include <QTest>

Q_DECLARE_METATYPE(TRunningFlags)

namespace {

TRunningFlags Flags(bool server, bool accounts, bool view, bool agent)
{
    return TRunningFlags{server, accounts, view, agent};
}

} // namespace

class TestCommandStates : public QObject {
    Q_OBJECT

private slots:
    void runningFlags_data()
    {
        QTest::addColumn<TRunningFlags>("running");
        QTest::addColumn<bool>("send");
        QTest::addColumn<bool>("receive");
        QTest::addColumn<bool>("serverManager");
        QTest::addColumn<bool>("mailAccounts");
        QTest::addColumn<bool>("users");
        QTest::newRow("none") << Flags(false, false, false, false) << true << true << true << true << true;
        QTest::newRow("server manager") << Flags(true, false, false, false) << false << false << false << true << false;
        QTest::newRow("mail accounts") << Flags(false, true, false, false) << true << true << true << false << false;
        QTest::newRow("message window") << Flags(false, false, true, false) << true << true << true << true << false;
        QTest::newRow("agent") << Flags(false, false, false, true) << false << false << false << true << false;
    }

    void runningFlags()
    {
        QFETCH(TRunningFlags, running);
        TCommandInputs in;
        in.OutboxMessages = 2;
        in.Running = running;
        const TCommandStates s = ComputeCommandStates(in);
        QTEST(s.Send, "send");
        QTEST(s.Receive, "receive");
        QTEST(s.ServerManager, "serverManager");
        QTEST(s.MailAccounts, "mailAccounts");
        QTEST(s.Users, "users");
    }

    void sendNeedsOutboxMessages()
    {
        TCommandInputs in;
        QVERIFY(!ComputeCommandStates(in).Send);
        in.OutboxMessages = 1;
        QVERIFY(ComputeCommandStates(in).Send);
    }

    void transmit_data()
    {
        QTest::addColumn<bool>("ignoreSmtp");
        QTest::addColumn<bool>("ignorePop");
        QTest::addColumn<bool>("smtpServer");
        QTest::addColumn<bool>("popServers");
        QTest::addColumn<int>("outbox");
        QTest::addColumn<bool>("agentRuns");
        QTest::addColumn<bool>("transmit");
        QTest::addColumn<bool>("needsSettings");
        QTest::newRow("both ignored") << true << true << true << true << 1 << false << false << false;
        // F9 then opens the transmit settings instead of doing nothing.
        QTest::newRow("nothing chosen") << false << false << false << false << 1 << false << true << true;
        QTest::newRow("nothing chosen while the agent runs") << false << false << false << false << 1 << true << false << false;
        QTest::newRow("smtp server and outbox mail") << false << false << true << false << 1 << false << true << false;
        QTest::newRow("smtp server, empty outbox") << false << false << true << false << 0 << false << false << false;
        QTest::newRow("pop servers") << false << false << false << true << 0 << false << true << false;
        QTest::newRow("pop servers while the agent runs") << false << false << false << true << 0 << true << false << false;
        QTest::newRow("send ignored, no accounts") << true << false << false << false << 0 << false << true << true;
        QTest::newRow("receive ignored, no server") << false << true << false << false << 0 << false << true << true;
        QTest::newRow("receive ignored, smtp server") << false << true << true << false << 0 << false << true << false;
    }

    void transmit()
    {
        TCommandInputs in;
        QFETCH(bool, ignoreSmtp);
        QFETCH(bool, ignorePop);
        QFETCH(bool, smtpServer);
        QFETCH(bool, popServers);
        QFETCH(int, outbox);
        QFETCH(bool, agentRuns);
        in.Transmit = {ignoreSmtp, ignorePop, smtpServer, popServers};
        in.OutboxMessages = outbox;
        in.Running.Agent = agentRuns;
        QTEST(ComputeCommandStates(in).Transmit, "transmit");
        QTEST(ComputeCommandStates(in).TransmitNeedsSettings, "needsSettings");
    }

    void selection_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("treeFocused");
        QTest::addColumn<bool>("removable");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("selectionCommands");
        QTest::newRow("list, nothing selected") << 0 << false << true << false << false;
        QTest::newRow("list, one row") << 1 << false << false << true << true;
        QTest::newRow("list, three rows") << 3 << false << false << false << true;
        QTest::newRow("tree, special folder") << 3 << true << false << false << false;
        QTest::newRow("tree, user folder") << 0 << true << true << false << true;
    }

    void selection()
    {
        TCommandInputs in;
        QFETCH(int, selected);
        QFETCH(bool, treeFocused);
        QFETCH(bool, removable);
        in.SelectedRows = selected;
        in.TreeFocused = treeFocused;
        in.FolderRemovable = removable;
        const TCommandStates s = ComputeCommandStates(in);
        QTEST(s.Open, "open");
        QCOMPARE(s.Properties, s.Open);
        QTEST(s.SelectionCommands, "selectionCommands");
        QCOMPARE(s.RenameFolder, removable);
        QCOMPARE(s.DeleteFolder, removable);
    }

    void logfileAndFilter()
    {
        TCommandInputs in;
        QVERIFY(!ComputeCommandStates(in).ShowLogfile);
        QVERIFY(!ComputeCommandStates(in).ExecuteFilter);
        in.LogActive = true;
        in.InboxMessages = 1;
        QVERIFY(ComputeCommandStates(in).ShowLogfile);
        QVERIFY(ComputeCommandStates(in).ExecuteFilter);
    }

    void statusPanels_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("800") << 800 << 290 << 120;
        QTest::newRow("1000") << 1000 << 375 << 150;
        QTest::newRow("odd 851") << 851 << 315 << 120;
        QTest::newRow("below a hundred") << 99 << 0 << 0;
        QTest::newRow("zero") << 0 << 0 << 0;
        QTest::newRow("negative") << -50 << 0 << 0;
    }

    void statusPanels()
    {
        QFETCH(int, width);
        const std::array<int, 4> panels = StatusPanelWidths(width);
        QTEST(panels[0], "text");
        QCOMPARE(panels[1], panels[0]);
        QCOMPARE(panels[2], 100);
        QTEST(panels[3], "count");
    }
};

QTEST_GUILESS_MAIN(TestCommandStates)
#include "tst_commandstates.moc"

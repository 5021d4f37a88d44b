// The main window's send, receive and transmit commands, the message filter commands and the
// dial-up button: the forms collect the choices, TransferFunctions and FilterRun do the work.

#include "DialupQuestions.h"
#include "EnhListView.h"
#include "FilterFunctions.h"
#include "FilterLocalConf.h"
#include "FilterRun.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "Progress.h"
#include "SoundPlayer.h"
#include "SpoolFunctions.h"
#include "StartupFunctions.h"
#include "TransferDialogs.h"
#include "TransferFunctions.h"
#include "DBAccountsFunctions.h"
#include "nkRasCmp.h"
#include "tk_langlib.h"
#include "tk_reglib.h"
#include "xProcs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>

namespace {

constexpr int MsgProcessingSpool = 24;
constexpr int MsgCreateAccount = 45;
constexpr int MsgNewMessages = 39;
constexpr int MsgExecuteFilter = 52;
constexpr int MsgNoFilter = 53;
constexpr int MsgFiltering = 56;
constexpr int MsgFilteringDone = 57;
constexpr int MsgGoOnline = 60;
constexpr int MsgHangUp = 65;
constexpr int MsgNoDialupConnection = 66;
constexpr int MsgConnectedTo = 67;
constexpr int MsgReceiveFailed = 400;
constexpr int MsgLeftByRules = 401;
constexpr int MsgSent = 402;
constexpr int MsgStayInOutbox = 403;
// The dial-up state is polled every second while a transfer runs, else every 8 seconds.
constexpr int PollDuringTransferMs = 1000;
constexpr int PollIdleMs = 8000;

const QString OwnConnectionValue = QString::fromLatin1(RegValue::OwnConnection);

QByteArrayList ToBytes(const QStringList& texts)
{
    QByteArrayList bytes;
    for (const QString& text : texts)
        bytes.append(text.toUtf8());
    return bytes;
}

QStringList ToTexts(const QByteArrayList& bytes)
{
    QStringList texts;
    for (const QByteArray& b : bytes)
        texts.append(QString::fromUtf8(b));
    return texts;
}

// Two reports in the one status panel.
QString Joined(const QString& first, const QString& second)
{
    return first + QStringLiteral(" · ") + second;
}

bool OwnConnection()
{
    return TRegistryKey().ReadBool(OwnConnectionValue, false);
}

} // namespace

void TMainFrm::ConnectTransferCommands()
{
    const TMainActions& a = Actions;
    connect(a.SendItm, &QAction::triggered, this, &TMainFrm::SendItmClick);
    connect(a.ReceiveItm, &QAction::triggered, this, &TMainFrm::ReceiveItmClick);
    connect(a.TransmitItm, &QAction::triggered, this, &TMainFrm::TransmitItmClick);
    connect(a.TransmitSettingsItm, &QAction::triggered, this, &TMainFrm::TransmitSettingsItmClick);
    connect(a.FilterSettingsItm, &QAction::triggered, this, [this] { FilterSettingsItmClick({}); });
    connect(a.FilterExecuteItm, &QAction::triggered, this, &TMainFrm::FilterExecuteItmClick);
    connect(a.DialupSpd, &QAction::toggled, this, &TMainFrm::DialupSpdToggled);
    m_sounds = new TSoundPlayer(this);
    m_ras = std::make_unique<TnkRas>(DefaultRasBackend());
    m_ras->GetEntries();
    connect(&m_rasTimer, &QTimer::timeout, this, &TMainFrm::PollDialup);
    m_rasTimer.start(PollIdleMs);
}

void TMainFrm::UseRasBackend(std::shared_ptr<TnkRasBackend> backend)
{
    m_ras = std::make_unique<TnkRas>(std::move(backend));
    m_ras->GetEntries();
    PollDialup();
}

bool TMainFrm::EnsureAccount()
{
    if (CountAccounts() > 0)
        return true;
    if (Dialogs.AskYesNo(MessageText(MsgCreateAccount)))
        MailAccountsItmClick();
    return CountAccounts() > 0;
}

void TMainFrm::SetTransferControlsEnabled(bool enabled)
{
    FolderTv->setEnabled(enabled);
    MessageLv->setEnabled(enabled);
    FolderCmb->setEnabled(enabled);
    m_rasTimer.setInterval(enabled ? PollIdleMs : PollDuringTransferMs);
    RefreshCommandStates();
}

void TMainFrm::SendItmClick()
{
    if (!EnsureAccount())
        return;
    ActivateFolder(m_specialNames.value(int(TSpecialFolder::Outbox)));
    const QByteArrayList servers = SmtpServers();
    const QByteArray preselected
        = PreselectedSmtpServer(servers, Settings.SmtpServer.toUtf8(), ReadDefaultAccount().SmtpServer);
    TSendSimpleFrm dialog(servers, preselected, this);
    if (dialog.exec() != QDialog::Accepted || dialog.Server().isEmpty())
        return;
    Settings.SmtpServer = QString::fromUtf8(dialog.Server());
    SaveTransferChoices(UserContext().Keys, Settings);
    SetTransferControlsEnabled(false);
    SendOutbox(dialog.Server());
    AskHangUp(THangUpPlace::AfterTransfer);
    SetTransferControlsEnabled(true);
}

void TMainFrm::ReceiveItmClick()
{
    if (!EnsureAccount())
        return;
    ActivateFolder(m_specialNames.value(int(TSpecialFolder::Inbox)));
    const QByteArrayList accounts = AccountNames();
    TReceiveMultipleFrm dialog(accounts, PreselectedPopAccounts(accounts, ToBytes(Settings.PopServers)), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Settings.PopServers = ToTexts(dialog.Ticked());
    SaveTransferChoices(UserContext().Keys, Settings);
    if (Settings.PopServers.isEmpty())
        return;
    SetTransferControlsEnabled(false);
    ReceiveAccounts(dialog.Ticked());
    AskHangUp(THangUpPlace::AfterTransfer);
    ActivateFolder();
    SetTransferControlsEnabled(true);
    if (Settings.General.AutoLocalFilter)
        FilterExecuteItmClick();
}

void TMainFrm::TransmitItmClick()
{
    if (!EnsureAccount())
        return;
    RefreshCommandStates();
    if (m_states.TransmitNeedsSettings) {
        if (!TransmitSettingsItmClick() || m_states.TransmitNeedsSettings)
            return;
    }
    if (!m_states.Transmit)
        return;
    // Only where dial-up connections exist at all: on a network without them nothing is to ask.
    if (Settings.Warnings.NoActiveConnection && m_ras->Installed() && m_ras->GetActiveConnections().isEmpty()
        && !Dialogs.Confirm(MessageText(MsgGoOnline), Settings.Warnings.NoActiveConnection))
        return;
    SetTransferControlsEnabled(false);
    const TFolderFiles outbox = SpecialFolderPaths(TSpecialFolder::Outbox);
    const TTransmitPlan plan = PlanTransmit(Settings.ActionIgnoreSmtp, Settings.ActionIgnorePop, Settings.ActionFirstReceive,
                                            DisplayedMessageCount(outbox) > 0);
    const auto sendPart = [&] {
        if (!plan.Send)
            return;
        ActivateFolder(m_specialNames.value(int(TSpecialFolder::Outbox)));
        SendOutbox(Settings.ActionSmtpServer.toUtf8());
    };
    const auto receivePart = [&] {
        if (!plan.Receive)
            return;
        ReceiveAccounts(ToBytes(Settings.ActionPopServers));
        ActivateFolder(m_specialNames.value(int(TSpecialFolder::Inbox)));
    };
    if (plan.ReceiveFirst) {
        receivePart();
        sendPart();
    } else {
        sendPart();
        receivePart();
    }
    AskHangUp(THangUpPlace::AfterTransfer);
    SetTransferControlsEnabled(true);
    if (Settings.General.AutoLocalFilter)
        FilterExecuteItmClick();
}

bool TMainFrm::TransmitSettingsItmClick()
{
    if (!EnsureAccount())
        return false;
    TSendReceiveConfFrm dialog(AccountNames(), SmtpServers(),
                               {Settings.ActionSmtpServer.toUtf8(), ToBytes(Settings.ActionPopServers),
                                Settings.ActionIgnoreSmtp, Settings.ActionIgnorePop, Settings.ActionFirstReceive},
                               this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const TTransmitSettings chosen = dialog.Settings();
    Settings.ActionSmtpServer = QString::fromUtf8(chosen.SmtpServer);
    Settings.ActionPopServers = ToTexts(chosen.PopServers);
    Settings.ActionIgnoreSmtp = chosen.IgnoreSmtp;
    Settings.ActionIgnorePop = chosen.IgnorePop;
    Settings.ActionFirstReceive = chosen.FirstReceive;
    SaveTransferChoices(UserContext().Keys, Settings);
    RefreshCommandStates();
    return true;
}

void TMainFrm::SendOutbox(const QByteArray& server)
{
    QList<TListEntry> listed;
    for (int row = 0; row < MessageModel->rowCount(); ++row)
        listed.append(MessageModel->Entry(row));
    const TSendResult result
        = RunSendJob(server, SpecialFolderPaths(TSpecialFolder::Outbox), SpecialFolderPaths(TSpecialFolder::Sent), listed,
                     Paths().Data.SmtpDir, m_job, [this](const TAgentJob& job) { return RunAgent(job); },
                     m_outboxRecordsBeingEdited);
    ActivateFolder();
    if (!result.Failure.isEmpty())
        Dialogs.Inform(result.Failure);
    if (!result.Started)
        return;
    QString report = FillIn(MessageText(MsgSent), QString::number(result.Sent));
    if (result.Unsent > 0)
        report = Joined(report, FillIn(MessageText(MsgStayInOutbox), QString::number(result.Unsent)));
    SetTransientStatus(report);
}

void TMainFrm::ReceiveAccounts(const QByteArrayList& accounts)
{
    const QString spool = Paths().Data.SpoolDir;
    ImportSpoolWithReport(false);
    ClearSpoolForReceive(spool);
    const TReceiveResult result = RunReceiveJob(accounts, m_job, [this](const TAgentJob& job) { return RunAgent(job); });
    ImportSpoolWithReport(true);
    const int kept = CountKeptInRuleLog(spool);
    if (kept > 0)
        SetTransientStatus(Joined(StatusPanel1->text(), FillIn(MessageText(MsgLeftByRules), QString::number(kept))));
    if (!result.FailedAccounts.isEmpty())
        Dialogs.Inform(FillIn(MessageText(MsgReceiveFailed), FailedAccountsText(result)));
}

bool TMainFrm::RunAgent(const TAgentJob& job)
{
    PrepareHeaderList(m_headers, m_programBuild.toUtf8(), Paths().Program.HeadersFile);
    if (!WriteJob(job))
        return false;
    const bool wasActive = isActiveWindow();
    const int exitCode = RunAndWaitExitCode(Paths().Program.LmagentExe, {}, Running.Agent, [this] { RefreshCommandStates(); });
    // The agent's window took the focus; not every window manager hands it back when that window
    // closes, and keys would then go nowhere until the user clicks.
    if (wasActive && !QApplication::activeWindow())
        activateWindow();
    return exitCode == 0;
}

void TMainFrm::ImportSpoolWithReport(bool noMailReport)
{
    const QString spool = Paths().Data.SpoolDir;
    int imported = 0;
    if (SpoolHasMail(spool)) {
        const TFolderFiles inbox = SpecialFolderPaths(TSpecialFolder::Inbox);
        const qint32 firstNew = CountMessages(inbox.IndexFile, false) + 1;
        ProgressFrm->Execute(MessageText(MsgProcessingSpool), pmImportSpool, [&] { imported = ImportSpool(spool, inbox); });
        if (imported > 0)
            m_firstNewInboxRecord = firstNew;
    } else if (!noMailReport) {
        return;
    }
    SetTransientStatus(FillIn(MessageText(MsgNewMessages), QString::number(imported)));
    const bool play = imported > 0 ? Settings.General.PlaySoundNewMail : Settings.General.PlaySoundNoMail;
    if (play)
        m_sounds->Play(imported > 0 ? Settings.General.SoundNewMail : Settings.General.SoundNoMail);
}

void TMainFrm::FilterSettingsItmClick(const QString& prefill)
{
    BringToFront();
    TFilterLocalConfFrm dialog(Paths().Data.FilterFile, Settings.General.AutoLocalFilter, this);
    dialog.SetPrefill(prefill);
    if (dialog.exec() == QDialog::Accepted)
        Settings.General.AutoLocalFilter = dialog.AutoLocalFilter();
}

void TMainFrm::FilterExecuteItmClick()
{
    const TFolderFiles inbox = SpecialFolderPaths(TSpecialFolder::Inbox);
    if (DisplayedMessageCount(inbox) == 0)
        return;
    const QByteArrayList rules = LoadFilterRules(Paths().Data.FilterFile);
    if (rules.isEmpty()) {
        Dialogs.Inform(MessageText(MsgNoFilter));
        return;
    }
    if (Settings.Warnings.ExecLocalFilter && !Dialogs.Confirm(MessageText(MsgExecuteFilter), Settings.Warnings.ExecLocalFilter))
        return;
    m_statusTimer.stop();
    StatusPanel1->setText(MessageText(MsgFiltering));
    ActivateFolder(m_specialNames.value(int(TSpecialFolder::Inbox)));
    QList<TListEntry> entries;
    for (int row = 0; row < MessageModel->rowCount(); ++row)
        entries.append(MessageModel->Entry(row));
    RunLocalFilter(rules, inbox, entries, FolderPaths);
    ActivateFolder();
    SetTransientStatus(MessageText(MsgFilteringDone));
}

void TMainFrm::PollDialup()
{
    const QStringList active = m_ras->GetActiveConnections();
    QAction* button = Actions.DialupSpd;
    const QSignalBlocker quiet(button);
    if (active.isEmpty() && button->isChecked()) {
        button->setToolTip(MessageText(MsgNoDialupConnection));
        button->setChecked(false);
        button->setEnabled(false);
    } else if (!active.isEmpty() && !button->isChecked()) {
        button->setToolTip(FillIn(MessageText(MsgConnectedTo), active.first()));
        button->setChecked(true);
        button->setEnabled(true);
    }
}

void TMainFrm::DialupSpdToggled(bool down)
{
    if (down)
        return;
    AskHangUp(THangUpPlace::ButtonReleased);
    Actions.DialupSpd->setEnabled(false);
    PollDialup();
}

void TMainFrm::AskHangUp(THangUpPlace place)
{
    const QStringList active = m_ras->GetActiveConnections();
    bool* warning = place == THangUpPlace::AfterTransfer ? &Settings.Warnings.RasWhenFinished
        : place == THangUpPlace::AtEnd                   ? &Settings.Warnings.RasAtEnd
                                                         : &Settings.Warnings.RasWhenClicked;
    bool buttonAnswer = true;
    bool* remembered = place == THangUpPlace::AfterTransfer ? &Settings.General.RasDiscWhenFinished
        : place == THangUpPlace::AtEnd                      ? &Settings.General.RasDiscAtEnd
                                                            : &buttonAnswer;
    const THangUpStep step = DecideHangUp(
        {!active.isEmpty(), place != THangUpPlace::AfterTransfer, OwnConnection(), *warning, *remembered});
    bool hangUp = step == THangUpStep::HangUp;
    if (step == THangUpStep::Ask) {
        hangUp = Dialogs.Confirm(FillIn(MessageText(MsgHangUp), active.first()), *warning);
        *remembered = hangUp;
    }
    if (hangUp) {
        m_ras->SetService(active.first());
        m_ras->IsActive();
        m_ras->SetOwnConnection(true);
        m_ras->HangUp();
        PollDialup();
    }
    TRegistryKey root;
    root.WriteBool(OwnConnectionValue, false);
}

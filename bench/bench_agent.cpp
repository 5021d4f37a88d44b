// Receive benchmark of the transfer agent: 2,000 messages from a private Dovecot, timed from the
// start of lmagent to its exit; in the same run the main window receiving the same mailbox (from the
// click on Receive until the Inbox lists every message, the spool import included), fetchmail
// writing it from a fresh Dovecot into one BSMTP file, and optionally an older build of lmagent.
// The sides alternate over several rounds and the median is reported. Run through bench_agent.sh,
// which installs fetchmail.
//   bench_agent LMAGENT LIBQMC3 TESTSERVERS_DIR [count] [rounds] [OLD_LMAGENT OLD_LIBQMC3]
// With --check first: a receive check that finds nothing new in a mailbox of [count] (10,000)
// small messages with KeepMails on, timed over [rounds] runs after one run that took them all.
//   bench_agent --check LMAGENT LIBQMC3 TESTSERVERS_DIR [count] [rounds]

#include "DBAccountSecurity.h"
#include "DBAccountsFunctions.h"
#include "DBAgentFunctions.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "RegistryFunctions.h"
#include "SharedFunctions.h"
#include "TransferDialogs.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

struct Pop3Server;
double RunAgentIn(const QDir& root, const Pop3Server& server, int count, bool keep);

struct Pop3Server {
    QString Port;
    QString Pid;
    QString Dir;
};

QString g_servers;

QByteArray Message(int n, QRandomGenerator& random)
{
    QByteArray text = "From: Sender " + QByteArray::number(n % 37) + " <sender" + QByteArray::number(n % 37)
        + "@example.org>\r\nTo: alice@example.org\r\nSubject: benchmark message " + QByteArray::number(n)
        + "\r\nDate: Mon, 9 Mar 2026 10:00:00 +0100\r\nMessage-ID: <bench" + QByteArray::number(n)
        + "@example.org>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
    const int lines = 20 + int(random.bounded(200));
    for (int i = 0; i < lines; ++i)
        text += "Line " + QByteArray::number(i) + " of a message body that looks like ordinary prose, more or less.\r\n";
    return text;
}

bool WriteCorpus(const QString& dir, int count, bool small = false)
{
    QRandomGenerator random(7);
    for (int n = 0; n < count; ++n) {
        QFile file(QStringLiteral("%1/%2.eml").arg(dir).arg(n, 5, 10, QLatin1Char('0')));
        const QByteArray text = small ? Message(n, random).left(400) + "\r\n" : Message(n, random);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0)
            return false;
    }
    return true;
}

std::optional<Pop3Server> StartPop3(const QString& corpus)
{
    QProcess script;
    script.start(g_servers + QStringLiteral("/start-pop3"), {QStringLiteral("alice"), QStringLiteral("secret"), corpus});
    if (!script.waitForFinished(120000) || script.exitCode() != 0) {
        std::fprintf(stderr, "start-pop3 failed: %s\n", script.readAllStandardError().constData());
        return std::nullopt;
    }
    const QStringList parts = QString::fromLocal8Bit(script.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    if (parts.size() != 3)
        return std::nullopt;
    return Pop3Server{parts.at(0), parts.at(1), parts.at(2)};
}

void StopPop3(const Pop3Server& server)
{
    QProcess::execute(g_servers + QStringLiteral("/stop-server"), {server.Pid, server.Dir});
}

int CountFiles(const QString& dir, const QStringList& filters = {})
{
    return int(QDir(dir).entryList(filters, QDir::Files).size());
}

// A private program directory with a copy of `program` (the agent finds its directory from its
// resolved path, so a link would not do), the library, a registry naming the default user and its
// data directory; the registry is made the process's own, for the agent started from here too.
bool PrepareInstallation(const QDir& root, const QString& program, const QString& library)
{
    root.mkpath(QStringLiteral("modules"));
    root.mkpath(QStringLiteral("data"));
    if (!QFile::copy(program, root.filePath(QStringLiteral("modules/lmagent")))
        || !QFile::link(library, root.filePath(QStringLiteral("libqmc3.so"))))
        return false;
    qputenv("LUMARO_REGISTRY", QFile::encodeName(root.filePath(QStringLiteral("registry.ini"))));
    WriteUser(DefaultUserName, root.filePath(QStringLiteral("data")), {});
    return true;
}

QByteArray ServerAddress(const Pop3Server& server)
{
    return "127.0.0.1:" + server.Port.toLatin1();
}

bool AllReceived(const QString& program, int exitCode, int received, int count)
{
    if (exitCode == 0 && received == count)
        return true;
    std::fprintf(stderr, "%s: exit %d, %d of %d messages\n", qPrintable(program), exitCode, received, count);
    return false;
}

// Seconds from the start of lmagent to its exit, or -1.
double RunAgent(const QString& program, const QString& library, const Pop3Server& server, int count)
{
    QTemporaryDir install;
    const QDir root(install.path());
    if (!PrepareInstallation(root, program, library))
        return -1;
    return RunAgentIn(root, server, count, false);
}

// One run of the agent installed in `root`, keeping the mail on the server or not; the spool is
// emptied first.
double RunAgentIn(const QDir& root, const Pop3Server& server, int count, bool keep)
{
    const QString spool = root.filePath(QStringLiteral("data/Spool"));
    for (const QString& name : QDir(spool).entryList(QDir::Files))
        QFile::remove(QDir(spool).filePath(name));
    TAgentJob job;
    job.KeepMails = keep;
    job.Action = "POP3";
    job.Server = ServerAddress(server);
    job.Username = "alice";
    job.Password = "secret";
    // The benchmark's Dovecot offers no TLS.
    job.Security = TqmSecurity::secNone;
    if (!WriteJob(job, root.filePath(QStringLiteral("lmagent.ini"))))
        return -1;

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(root.filePath(QStringLiteral("modules/lmagent")), {});
    process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int spooled = CountFiles(root.filePath(QStringLiteral("data/Spool")), {QStringLiteral("*.eml")});
    return AllReceived(QStringLiteral("lmagent"), process.exitCode(), spooled, count) ? seconds : -1;
}

// Seconds from the click on Receive in the main window until its Inbox lists every message, or -1.
double RunMainWindow(const QString& program, const QString& library, const Pop3Server& server, int count)
{
    QTemporaryDir install;
    const QDir root(install.path());
    if (!PrepareInstallation(root, program, library))
        return -1;
    InitProgramForActiveUser(root.filePath(QStringLiteral("lumaro")));
    root.mkpath(Paths().Data.MailDir);
    TAccount account;
    account.Name = "bench";
    account.Standard = true;
    account.PopServer = ServerAddress(server);
    account.PopUsername = "alice";
    account.PopPassword = "secret";
    account.PopKeepMails = false;
    if (!CreateAccountsDatabase() || WriteAccount(0, account) <= 0)
        return -1;
    WriteAccountSecurity(account.Name, {TqmSecurity::secNone, TqmSecurity::secNone});

    TMainFrm frm{QStringList{}};
    frm.Dialogs.AskYesNo = [](const QString&) { return false; };
    frm.Dialogs.Inform = [](const QString& text) { std::fprintf(stderr, "main window: %s\n", qPrintable(text)); };
    frm.show();
    if (!QTest::qWaitFor([&] { return !frm.CurrentFolder().isEmpty(); }, 10000))
        return -1;
    frm.Settings.General.PlaySoundNewMail = false;
    frm.Settings.General.AutoLocalFilter = false;
    QTimer::singleShot(0, &frm, [] {
        if (auto* dialog = qobject_cast<TReceiveMultipleFrm*>(QApplication::activeModalWidget())) {
            dialog->Listbox->item(0)->setCheckState(Qt::Checked);
            dialog->ReceiveBtn->click();
        }
    });
    QElapsedTimer timer;
    timer.start();
    frm.Actions.ReceiveItm->trigger();
    const int listed = frm.MessageModel->rowCount();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return AllReceived(QStringLiteral("main window"), 0, listed, count) ? seconds : -1;
}

// Seconds of one fetchmail run writing everything into one BSMTP file, or -1.
double RunFetchmail(const Pop3Server& server, int count)
{
    QTemporaryDir work;
    const QString bsmtp = QDir(work.path()).filePath(QStringLiteral("mail.bsmtp"));
    const QString rc = QDir(work.path()).filePath(QStringLiteral("fetchmailrc"));
    QFile file(rc);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write(QStringLiteral("set no syslog\npoll 127.0.0.1 port %1 proto pop3 auth password user \"alice\" password \"secret\" "
                              "is root here bsmtp \"%2\" fetchall no keep sslproto ''\n").arg(server.Port, bsmtp).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FETCHMAILHOME"), work.path());
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("fetchmail"), {QStringLiteral("-f"), rc, QStringLiteral("--silent")});
    process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile written(bsmtp);
    const QByteArray content = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    const int delivered = int(content.count("\nDATA\r\n") + content.count("\nDATA\n"));
    if (delivered != count) {
        std::fprintf(stderr, "fetchmail: exit %d, %d messages\n%s\n", process.exitCode(), delivered,
                     process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

void PrintRate(const char* name, double seconds, int count)
{
    if (seconds < 0)
        std::printf("%-10s failed\n", name);
    else
        std::printf("%-10s %6d messages in %7.2f s = %8.1f messages/s\n", name, count, seconds, count / seconds);
}

struct Side {
    const char* Name;
    std::function<double(const Pop3Server&)> Run;
    QList<double> Seconds;
};

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

// The receive check of a large mailbox with nothing new: the median of `rounds` runs.
int RunCheck(const QString& program, const QString& library, int count, int rounds)
{
    QTemporaryDir corpus;
    if (!WriteCorpus(corpus.path(), count, true))
        return 1;
    const std::optional<Pop3Server> server = StartPop3(corpus.path());
    if (!server)
        return 1;
    QTemporaryDir install;
    const QDir root(install.path());
    QList<double> seconds;
    bool ok = PrepareInstallation(root, program, library) && RunAgentIn(root, *server, count, true) >= 0;
    for (int round = 0; ok && round < rounds; ++round) {
        seconds.append(RunAgentIn(root, *server, 0, true));
        ok = seconds.last() >= 0;
    }
    StopPop3(*server);
    QByteArray all;
    for (double value : std::as_const(seconds))
        all += QByteArray::number(value, 'f', 3) + ' ';
    std::printf("receive check, nothing new, %d messages kept: median %.3f s\n           rounds: %s\n", count, Median(seconds),
                all.constData());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The agent started by the benchmark and by the main window ends by itself when done.
    qputenv("LUMARO_TEST_AUTOCLOSE", "1");
    QApplication app(argc, argv);
    if (argc >= 5 && qstrcmp(argv[1], "--check") == 0) {
        g_servers = QString::fromLocal8Bit(argv[4]);
        return RunCheck(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argc > 5 ? std::atoi(argv[5]) : 10000,
                        argc > 6 ? std::atoi(argv[6]) : 5);
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_agent LMAGENT LIBQMC3 TESTSERVERS_DIR [count] [rounds] [OLD_LMAGENT OLD_LIBQMC3]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const QString library = QString::fromLocal8Bit(argv[2]);
    g_servers = QString::fromLocal8Bit(argv[3]);
    const int count = argc > 4 ? std::atoi(argv[4]) : 2000;
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 3;

    QTemporaryDir corpus;
    if (!WriteCorpus(corpus.path(), count))
        return 1;
    QList<Side> sides;
    sides.append({"lmagent", [&](const Pop3Server& s) { return RunAgent(program, library, s, count); }, {}});
    sides.append({"window", [&](const Pop3Server& s) { return RunMainWindow(program, library, s, count); }, {}});
    if (argc > 7) {
        const QString oldProgram = QString::fromLocal8Bit(argv[6]);
        const QString oldLibrary = QString::fromLocal8Bit(argv[7]);
        sides.append({"before", [=](const Pop3Server& s) { return RunAgent(oldProgram, oldLibrary, s, count); }, {}});
    }
    sides.append({"fetchmail", [&](const Pop3Server& s) { return RunFetchmail(s, count); }, {}});
    // The sides take turns, and each round starts with the next side, so that a slow phase of the
    // shared machine does not fall on one side only.
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype i = 0; i < sides.size(); ++i) {
            Side& side = sides[(round + i) % sides.size()];
            std::optional<Pop3Server> server = StartPop3(corpus.path());
            if (!server)
                return 1;
            side.Seconds.append(side.Run(*server));
            StopPop3(*server);
        }
    }
    bool failed = false;
    for (const Side& side : std::as_const(sides)) {
        QByteArray all;
        for (double seconds : side.Seconds)
            all += QByteArray::number(seconds, 'f', 2) + ' ';
        PrintRate(side.Name, Median(side.Seconds), count);
        std::printf("           rounds: %s\n", all.constData());
        failed = failed || side.Seconds.contains(-1);
    }
    return failed ? 1 : 0;
}

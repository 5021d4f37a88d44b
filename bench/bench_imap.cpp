// Receive benchmark over IMAP with TLS: the agent's receive run (spool files, check file and disk
// syncs included) taking [count] (5,000) messages from a private Dovecot, against Python's imaplib
// fetching the same messages into files with one UID FETCH per range of 500 UIDs; the agent's POP3
// receive of the same mailbox over POP3S beside them, and imaplib once more with an fsync of each
// file, since the agent makes every message durable before it counts as received. The sides alternate over [rounds] (3) rounds
// and the median is reported. Then the receive that finds nothing new in a mailbox of [checkCount]
// (10,000) messages, after one run that took them all (goal: under 0.5 s). The spools and
// imaplib's files are written below the current directory.
//   bench_imap TESTSERVERS_DIR [count] [rounds] [checkCount]

#include "DialupFunctions.h"
#include "ReceiveImap.h"
#include "ReceivePop3.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

QString g_servers;

// Every run writes into a directory of its own, and all are removed at the end. On ext4 without a
// journal, creating a file passes over every inode of its directory's block group that was freed in
// the last half minute: deleting the last round's files right before a run, or a /tmp where other
// programs create and delete files all the time, would cost either side a random multiple of the
// receive itself.
QString FreshDirectory(const QString& workDir, const QString& name)
{
    static int runs = 0;
    const QString path = QStringLiteral("%1/%2-%3").arg(workDir, name).arg(++runs);
    QDir().mkpath(path);
    return path;
}

struct TServer {
    quint16 Port = 0;
    quint16 TlsPort = 0;
    QString Pid;
    QString Dir;
    ~TServer()
    {
        if (!Pid.isEmpty())
            QProcess::execute(g_servers + QStringLiteral("/stop-server"), {Pid, Dir});
    }
};

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

bool WriteCorpus(const QString& dir, int count, bool small)
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

std::unique_ptr<TServer> Start(const QString& script, const QString& corpus, const QString& certificates)
{
    QProcess process;
    process.start(g_servers + QLatin1Char('/') + script, {QStringLiteral("alice"), QStringLiteral("secret"), corpus, certificates});
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(script), process.readAllStandardError().constData());
        return nullptr;
    }
    const QStringList parts = QString::fromLocal8Bit(process.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    auto server = std::make_unique<TServer>();
    server->Port = parts.value(0).toUShort();
    server->Pid = parts.value(1);
    server->Dir = parts.value(2);
    server->TlsPort = parts.value(3).toUShort();
    return server;
}

// One receive run of the agent into a fresh spool, keeping the messages on the server; seconds, or
// -1 when it failed or took fewer than `expected` messages.
double AgentRun(const QByteArray& action, quint16 port, const QString& workDir, int expected, bool freshCheckFile = true)
{
    TAgentJob job;
    job.Action = action;
    job.Server = "localhost:" + QByteArray::number(port);
    job.Username = "alice";
    job.Password = "secret";
    job.KeepMails = true;
    job.Security = TqmSecurity::secTls;
    const QString spool = FreshDirectory(workDir, QStringLiteral("spool"));
    const QString checkFile = workDir + QStringLiteral("/check.chk");
    if (freshCheckFile)
        QFile::remove(checkFile);
    TAgentEvents events;
    TDialUp dialUp(NotInstalledRasBackend());
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TReceiveRun> run = MakeReceiveRun(job, {spool, checkFile, {}, workDir + QStringLiteral("/filter.ldb")}, events);
    const bool ok = run->Execute(dialUp, 60, QDate(2026, 3, 10));
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qsizetype received = QDir(spool).entryList({QStringLiteral("*.eml")}, QDir::Files).size();
    if (!ok || received != expected) {
        std::fprintf(stderr, "%s run: %s, %lld messages\n", action.constData(), qPrintable(run->FailureText()),
                     static_cast<long long>(received));
        return -1;
    }
    return seconds;
}

const char* const ImaplibScript = R"(
import imaplib, ssl, sys, os
port, target, caFile, durable = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4] == 'sync'
context = ssl.create_default_context(cafile=caFile)
imap = imaplib.IMAP4_SSL('localhost', port, ssl_context=context)
imap.login('alice', 'secret')
imap.select('INBOX')
uids = sorted(int(u) for u in imap.uid('SEARCH', 'ALL')[1][0].split())
for start in range(0, len(uids), 500):
    chunk = uids[start:start + 500]
    status, data = imap.uid('FETCH', '%d:%d' % (chunk[0], chunk[-1]), '(UID RFC822.SIZE BODY.PEEK[])')
    for item in data:
        if isinstance(item, tuple):
            uid = item[0].split(b'UID ')[1].split(b' ')[0].decode()
            with open(os.path.join(target, uid + '.eml'), 'wb') as f:
                f.write(item[1])
                if durable:
                    f.flush()
                    os.fsync(f.fileno())
imap.logout()
)";

double ImaplibRun(quint16 port, const QString& workDir, const QString& caFile, int expected, bool durable = false)
{
    const QString target = FreshDirectory(workDir, QStringLiteral("imaplib"));
    QProcess python;
    QElapsedTimer timer;
    timer.start();
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(ImaplibScript),
                                                     QString::number(port), target, caFile,
                                                     durable ? QStringLiteral("sync") : QStringLiteral("plain")});
    python.waitForFinished(600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qsizetype received = QDir(target).entryList({QStringLiteral("*.eml")}, QDir::Files).size();
    if (python.exitCode() != 0 || received != expected) {
        std::fprintf(stderr, "imaplib: %s, %lld messages\n", python.readAllStandardError().constData(),
                     static_cast<long long>(received));
        return -1;
    }
    return seconds;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_imap TESTSERVERS_DIR [count] [rounds] [checkCount]\n");
        return 2;
    }
    g_servers = QString::fromLocal8Bit(argv[1]);
    const int count = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const int checkCount = argc > 4 ? std::atoi(argv[4]) : 10000;
    // In the current directory rather than in /tmp, for the reason told at FreshDirectory.
    QTemporaryDir work(QDir::currentPath() + QStringLiteral("/bench_imap-XXXXXX"));
    qputenv("LUMARO_REGISTRY", QFile::encodeName(work.filePath(QStringLiteral("registry.ini"))));
    QProcess makeCa;
    makeCa.start(g_servers + QStringLiteral("/make-ca"), {work.filePath(QStringLiteral("ca"))});
    if (!makeCa.waitForFinished(60000) || makeCa.exitCode() != 0)
        return 1;
    const QString caFile = work.filePath(QStringLiteral("ca/ca.pem"));
    qputenv("LUMARO_TEST_CA_FILE", QFile::encodeName(caFile));

    const QString corpus = work.filePath(QStringLiteral("corpus"));
    QDir().mkpath(corpus);
    if (!WriteCorpus(corpus, count, false))
        return 1;
    const auto imap = Start(QStringLiteral("start-imap"), corpus, work.filePath(QStringLiteral("ca")));
    const auto pop3 = Start(QStringLiteral("start-pop3"), corpus, work.filePath(QStringLiteral("ca")));
    if (!imap || !pop3)
        return 1;
    QList<double> ours, imaplib, ourPop3, imaplibSynced;
    for (int round = 0; round < rounds; ++round) {
        // The sides take turns at going first, so that neither always meets a warm server.
        if (round % 2 == 0) {
            ours.append(AgentRun("IMAP", imap->TlsPort, work.path(), count));
            imaplib.append(ImaplibRun(imap->TlsPort, work.path(), caFile, count));
        } else {
            imaplib.append(ImaplibRun(imap->TlsPort, work.path(), caFile, count));
            ours.append(AgentRun("IMAP", imap->TlsPort, work.path(), count));
        }
        ourPop3.append(AgentRun("POP3", pop3->TlsPort, work.path(), count));
        imaplibSynced.append(ImaplibRun(imap->TlsPort, work.path(), caFile, count, true));
        std::printf("round %d: agent IMAP %.3f s, imaplib %.3f s, agent POP3 %.3f s, imaplib with fsync %.3f s\n",
                    round + 1, ours.last(), imaplib.last(), ourPop3.last(), imaplibSynced.last());
    }
    std::printf("%d messages over TLS, median of %d: agent IMAP %.3f s, imaplib %.3f s, agent POP3 %.3f s, "
                "imaplib with fsync %.3f s\n",
                count, rounds, Median(ours), Median(imaplib), Median(ourPop3), Median(imaplibSynced));

    const QString smallCorpus = work.filePath(QStringLiteral("small"));
    QDir().mkpath(smallCorpus);
    if (!WriteCorpus(smallCorpus, checkCount, true))
        return 1;
    const auto large = Start(QStringLiteral("start-imap"), smallCorpus, work.filePath(QStringLiteral("ca")));
    if (!large)
        return 1;
    const QString checkDir = work.filePath(QStringLiteral("check"));
    QDir().mkpath(checkDir);
    std::printf("first run of %d messages: %.3f s\n", checkCount, AgentRun("IMAP", large->TlsPort, checkDir, checkCount));
    QList<double> nothingNew;
    for (int round = 0; round < rounds; ++round)
        nothingNew.append(AgentRun("IMAP", large->TlsPort, checkDir, 0, false));
    std::printf("nothing new in %d messages, median of %d: %.3f s (goal < 0.5 s)\n", checkCount, rounds, Median(nothingNew));
    return 0;
}

// Mail store benchmark: a folder of COUNT messages (default 100,000) is rebuilt, listed, appended to,
// fed from a spool and reorganized, with two references measured in the same run on the same data:
// `grep -c -i '^from '` over the message file (for the rebuild) and Python's mailbox.mbox listing the
// subjects of an mbox holding the same messages (for the listing).
//   bench_store WORKDIR [COUNT] [--files DIR] [--lmtool PATH] [--rounds N] [--rebuild-only]
// With --lmtool, `lmtool list` of the folder is timed as a process as well. --rebuild-only ends after
// the rebuild and the listing, and checks that the rebuilt index holds one record per separator line.
// The 10,000 message files for the append and spool runs come from DIR (for example the output of
// make_corpus) or, without --files, from the small generator below. The folder itself uses the small
// generator: make_corpus averages about 60 KB a message, and 100,000 of them would not fit a folder
// whose offsets are signed 32-bit numbers.

#include "DBMailboxFunctions.h"
#include "MailboxHelpFunctions.h"
#include "Reporter.h"
#include "SpoolFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int FileRunCount = 10000;

const char* const Words[] = {"the", "message", "meeting", "report", "server", "reply", "to", "and", "of",
    "project", "budget", "tomorrow", "please", "attached", "review", "line", "for", "with"};
const char* const Names[] = {"Anna Schmidt", "Bob Miller", "Dr. Carol King", "Li Wei", "\"Smith, Dave\""};

// Messages of a few kilobytes as mailers write them: plain and quoted-printable text, alternatives,
// mixed with small attachments, uuencoded files; some bodies have lines that begin with "From ".
class SmallCorpus {
public:
    QByteArray Message(int index)
    {
        const int kind = Pick(100);
        const QByteArray headers = Headers(index);
        if (kind < 45)
            return headers + "\r\n" + Text(5 + Pick(40));
        if (kind < 65)
            return headers + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n"
                             "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + Text(5 + Pick(40));
        if (kind < 80)
            return headers + "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
                             "--alt\r\nContent-Type: text/plain\r\n\r\n" + Text(5 + Pick(20))
                + "--alt\r\nContent-Type: text/html\r\n\r\n<html><body>" + Text(5 + Pick(20)) + "</body></html>\r\n--alt--\r\n";
        if (kind < 95)
            return headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n"
                             "--mix\r\nContent-Type: text/plain\r\n\r\n" + Text(3 + Pick(10))
                + "--mix\r\nContent-Type: application/pdf; name=\"r.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                + Base64(1024 + Pick(5000)) + "--mix--\r\n";
        return headers + "\r\n" + Text(3) + "\r\nbegin 644 data.bin\r\nM" + QByteArray(60, 'A') + "\r\n`\r\nend\r\n";
    }

private:
    int Pick(int count) { return int(m_random.bounded(count)); }

    QByteArray Headers(int index)
    {
        return "From: " + QByteArray(Names[Pick(int(std::size(Names)))]) + " <sender" + QByteArray::number(Pick(500))
            + "@example.org>\r\nTo: user@example.net\r\nSubject: " + Words[Pick(int(std::size(Words)))] + " number "
            + QByteArray::number(index) + "\r\nDate: Mon, " + QByteArray::number(1 + Pick(28))
            + " Dec 2026 13:25:03 +0100\r\nMessage-ID: <" + QByteArray::number(index) + "@example.org>\r\n";
    }

    QByteArray Text(int lines)
    {
        QByteArray text;
        for (int line = 0; line < lines; ++line) {
            if (Pick(200) == 0)
                text += "From here on the body says something.\r\n";
            for (int word = 0; word < 10; ++word)
                text += QByteArray(Words[Pick(int(std::size(Words)))]) + ' ';
            text += "\r\n";
        }
        return text;
    }

    QByteArray Base64(int size)
    {
        QByteArray data(size, '\0');
        for (char& byte : data)
            byte = char(Pick(256));
        const QByteArray encoded = data.toBase64();
        QByteArray lines;
        for (qsizetype at = 0; at < encoded.size(); at += 76)
            lines += encoded.mid(at, 76) + "\r\n";
        return lines;
    }

    QRandomGenerator m_random{20261208};
};

double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// Wall-clock time of one phase, and the processor time this process spent in it. Writes of the
// phase before are flushed first, so that no phase waits for the disk on behalf of another.
class PhaseTimer {
public:
    PhaseTimer()
    {
        ::sync();
        m_cpu = CpuSeconds();
        m_wall.start();
    }
    double Wall() const { return m_wall.nsecsElapsed() / 1e9; }
    double Cpu() const { return CpuSeconds() - m_cpu; }

private:
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

void Print(const char* what, double seconds, const QByteArray& rate, double cpuSeconds = -1)
{
    std::printf("%-44s %9.3f s   %s", what, seconds, rate.constData());
    if (cpuSeconds >= 0)
        std::printf("   (cpu %.3f s)", cpuSeconds);
    std::printf("\n");
    std::fflush(stdout);
}

QByteArray PerSecond(double count, double seconds, const char* unit)
{
    return QByteArray::number(count / seconds, 'f', 0) + ' ' + unit + "/s";
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size() && file.flush();
}

// The same messages as an mbox for Python: envelope lines, body lines beginning with "From " quoted.
QByteArray AsMbox(const QByteArray& message)
{
    QByteArray body = message;
    body.replace("\r\n", "\n");
    body.replace("\nFrom ", "\n>From ");
    return "From sender@example.org Mon Dec  7 13:25:03 2026\n" + body + (body.endsWith('\n') ? "\n" : "\n\n");
}

// Processor time (user and system) of the child processes that ended so far.
double ChildCpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of this process, user and system (std::clock counts both as well).
double OwnCpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double TimeProcess(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                   double* cpuSeconds = nullptr)
{
    QProcess process;
    const double cpuBefore = ChildCpuSeconds();
    const PhaseTimer timer;
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double seconds = timer.Wall();
    if (cpuSeconds)
        *cpuSeconds = ChildCpuSeconds() - cpuBefore;
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    return seconds;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

QStringList FilesOf(const QString& dir, int count)
{
    QStringList paths;
    const QDir source(dir);
    for (const QString& name : source.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name).mid(0, count))
        paths.append(source.filePath(name));
    return paths;
}

QStringList GenerateFiles(const QString& dir, int count)
{
    QDir().mkpath(dir);
    SmallCorpus corpus;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths.append(QDir(dir).filePath(QStringLiteral("%1.eml").arg(i, 5, 10, QLatin1Char('0'))));
        WriteFile(paths.last(), corpus.Message(1000000 + i));
    }
    return paths;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString filesDir;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--files")); at >= 0 && at + 1 < arguments.size()) {
        filesDir = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    QString lmtool;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--lmtool")); at >= 0 && at + 1 < arguments.size()) {
        lmtool = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    int rounds = 3;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--rounds")); at >= 0 && at + 1 < arguments.size()) {
        rounds = std::max(1, arguments.at(at + 1).toInt());
        arguments.remove(at, 2);
    }
    const bool rebuildOnly = arguments.removeAll(QStringLiteral("--rebuild-only")) > 0;
    if (arguments.isEmpty()) {
        std::fputs("usage: bench_store WORKDIR [COUNT] [--files DIR] [--lmtool PATH] [--rounds N] [--rebuild-only]\n", stderr);
        return 2;
    }
    const QDir work(arguments.first());
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    QDir().mkpath(work.path());
    SetReportHandler([](const TUserMessage& message) { std::fprintf(stderr, "report %d\n", message.Id); });

    SmallCorpus corpus;
    QByteArray folderBytes;
    QByteArray mbox;
    for (int i = 0; i < count; ++i) {
        const QByteArray message = corpus.Message(i);
        folderBytes += FolderSeparator.toByteArray() + message;
        mbox += AsMbox(message);
    }
    const TFolderFiles folder{work.filePath(QStringLiteral("Bench.mbx")), work.filePath(QStringLiteral("Bench.idx"))};
    const QString mboxPath = work.filePath(QStringLiteral("bench.mbox"));
    if (!WriteFile(folder.MessageFile, folderBytes) || !WriteFile(mboxPath, mbox))
        return 1;
    const double megabytes = folderBytes.size() / 1e6;
    std::printf("folder: %d messages, %.1f MB\n\n", count, megabytes);
    folderBytes.clear();
    mbox.clear();

    // The sides alternate over the rounds (who goes first changes), and the medians are compared,
    // so that a busy phase of the shared machine does not fall on one side only.
    const int Rounds = rounds;
    const QString python = QStringLiteral(
        "import mailbox, sys, time\n"
        "t = time.perf_counter()\n"
        "subjects = [m['subject'] for m in mailbox.mbox(sys.argv[1])]\n"
        "print(len(subjects), time.perf_counter() - t)\n");
    QList<double> grepTimes, rebuildTimes, listTimes, pythonTimes, lmtoolTimes, grepCpu, rebuildCpu;
    QByteArray grepCount;
    QByteArray pythonOutput;
    qsizetype listed = 0;
    qsizetype lmtoolLines = 0;
    for (int round = 0; round < Rounds; ++round) {
        const auto grep = [&] {
            double cpu = 0;
            grepTimes.append(TimeProcess(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("^from "), folder.MessageFile}, &grepCount, &cpu));
            grepCpu.append(cpu);
        };
        const auto rebuild = [&] {
            const double cpuBefore = OwnCpuSeconds();
            const PhaseTimer timer;
            RebuildIndex(folder);
            rebuildTimes.append(timer.Wall());
            rebuildCpu.append(OwnCpuSeconds() - cpuBefore);
        };
        const auto pythonList = [&] {
            TimeProcess(QStringLiteral("python3"), {QStringLiteral("-c"), python, mboxPath}, &pythonOutput);
            pythonTimes.append(pythonOutput.split(' ').value(1).toDouble());
        };
        const auto list = [&] {
            const PhaseTimer timer;
            listed = EnumerateLiveMessages(folder).size();
            listTimes.append(timer.Wall());
            if (!lmtool.isEmpty()) {
                QByteArray lines;
                lmtoolTimes.append(TimeProcess(lmtool, {QStringLiteral("list"), folder.MessageFile}, &lines));
                lmtoolLines = lines.count('\n') + 1;
            }
        };
        if (rebuildOnly) {
            if (round % 2 == 0)
                grep(), rebuild();
            else
                rebuild(), grep();
        } else if (round % 2 == 0) {
            grep(), rebuild(), pythonList(), list();
        } else {
            rebuild(), grep(), list(), pythonList();
        }
    }
    if (rebuildOnly) {
        const double grepSeconds = Median(grepTimes);
        const double rebuildSeconds = Median(rebuildTimes);
        Print("rebuild index", rebuildSeconds, PerSecond(megabytes, rebuildSeconds, "MB"), Median(rebuildCpu));
        Print("  reference: grep -c -i '^from '", grepSeconds, PerSecond(megabytes, grepSeconds, "MB") + ", " + grepCount + " lines",
              Median(grepCpu));
        std::printf("processor time: rebuild %.2f times grep's\n", Median(rebuildCpu) / Median(grepCpu));
        // The generator writes exactly one separator line per message, so a rebuild that did its work
        // holds `count` records.
        const qint32 records = CountMessages(folder.IndexFile, false);
        std::printf("\nmedians of %d alternating rounds: rebuild %.2f times the grep time (goal 2); %d records for %d "
                    "messages%s\n", Rounds, rebuildSeconds / grepSeconds, records, count, records == count ? "" : " - WRONG");
        return records == count ? 0 : 1;
    }
    const double grepSeconds = Median(grepTimes);
    const double rebuildSeconds = Median(rebuildTimes);
    const double pythonSeconds = Median(pythonTimes);
    const double listSeconds = Median(listTimes);
    Print("rebuild index", rebuildSeconds, PerSecond(megabytes, rebuildSeconds, "MB") + ", " + QByteArray::number(CountMessages(folder.IndexFile, false)) + " records");
    Print("  reference: grep -c -i '^from '", grepSeconds, PerSecond(megabytes, grepSeconds, "MB") + ", " + grepCount + " lines");
    Print("enumerate live records", listSeconds, PerSecond(listed, listSeconds, "records"));
    if (!lmtool.isEmpty())
        Print("lmtool list (process, JSON lines)", Median(lmtoolTimes), PerSecond(lmtoolLines, Median(lmtoolTimes), "records"));
    Print("  reference: Python mailbox.mbox subjects", pythonSeconds,
          PerSecond(pythonOutput.split(' ').value(0).toDouble(), pythonSeconds, "messages"));

    std::optional<PhaseTimer> timer;
    const QStringList files = filesDir.isEmpty() ? GenerateFiles(work.filePath(QStringLiteral("files")), FileRunCount)
                                                 : FilesOf(filesDir, FileRunCount);
    timer.emplace();
    for (const QString& file : files)
        AppendMessageFile(folder, file);
    const double appendSeconds = timer->Wall();
    Print("append message files", appendSeconds, PerSecond(files.size(), appendSeconds, "files"), timer->Cpu());

    const QString spool = work.filePath(QStringLiteral("Spool"));
    QDir().mkpath(spool);
    for (int i = 0; i < files.size(); ++i) {
        QFile source(files[i]);
        if (source.open(QIODevice::ReadOnly))
            WriteFile(QDir(spool).filePath(QStringLiteral("pop_%1.eml").arg(i + 1)), source.readAll());
    }
    const TFolderFiles inbox{work.filePath(QStringLiteral("Inbox.mbx")), work.filePath(QStringLiteral("Inbox.idx"))};
    CreateEmptyMessageFile(inbox.MessageFile);
    CreateIndex(inbox.IndexFile);
    timer.emplace();
    const int imported = ImportSpool(spool, inbox);
    const double importSeconds = timer->Wall();
    Print("import spool", importSeconds, PerSecond(imported, importSeconds, "files"), timer->Cpu());

    const qint32 physical = CountMessages(folder.IndexFile, false);
    for (qint32 n = 2; n <= physical; n += 2)
        MarkDeleted(folder.IndexFile, n);
    timer.emplace();
    ReorganizeFolder(folder, QStringLiteral("Bench"));
    const double reorganizeSeconds = timer->Wall();
    Print("reorganize after deleting half", reorganizeSeconds,
          QByteArray::number(CountMessages(folder.IndexFile, false)) + " records kept, "
              + PerSecond(QFileInfo(folder.MessageFile).size() / 1e6, reorganizeSeconds, "MB written"), timer->Cpu());

    std::printf("\nmedians of %d alternating rounds: enumerating %.0f times faster than Python", Rounds, pythonSeconds / listSeconds);
    if (!lmtoolTimes.isEmpty())
        std::printf(", lmtool list %.1f times faster (goal 20)", pythonSeconds / Median(lmtoolTimes));
    std::printf("; rebuild %.2f times the grep time (goal 2.5)\n", rebuildSeconds / grepSeconds);
    return 0;
}

// Message window: opening a message with a large attachment until the window is painted (time and
// peak memory of the process), and colouring and link-marking a 5,000-line text. Runs offscreen in
// a private program directory and registry.
//
//   build/bench/bench_lmview --open FILE     one opening of FILE; prints milliseconds and peak RSS
//   build/bench/bench_lmview --empty         the same process without a message (memory baseline)
//   build/bench/bench_lmview --colour [N]    N rounds (default 5) of a 5,000-line text loaded with
//                                            quote colouring and link marking on, then off, alternating
// bench_lmview.sh runs --open and --empty alternately in fresh processes.

#include "Konstanten.h"
#include "Main.h"
#include "Reporter.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Opens the window on `file` and waits until it has been painted; milliseconds.
qint64 OpenAndPaint(const QString& file, bool highlight)
{
    QElapsedTimer timer;
    timer.start();
    TLmviewFrm window(*ParseViewCommandLine({file}));
    window.Settings.Display.HighlightQuoting = highlight;
    window.Settings.Display.HighlightURLs = highlight;
    if (!window.LoadMessage())
        return -1;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return -1;
    window.grab();
    const qint64 elapsed = timer.elapsed();
    window.close();
    return elapsed;
}

QString WriteLongText(const QString& dir)
{
    QByteArray text = "From: a@example.org\r\nSubject: long\r\n\r\n";
    for (int i = 0; i < 5000; ++i) {
        if (i % 4 == 0)
            text += "> quoted line " + QByteArray::number(i) + " from the earlier message\r\n";
        else if (i % 4 == 1)
            text += "see https://example.org/page/" + QByteArray::number(i) + " and www.example.com for more\r\n";
        else
            text += "plain line number " + QByteArray::number(i) + " of the body text, a > b is no quote\r\n";
    }
    const QString path = dir + QStringLiteral("/long.eml");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

int RunColour(const QTemporaryDir& dir, int rounds)
{
    const QString file = WriteLongText(dir.path());
    std::printf("round  coloured_ms  plain_ms  difference_ms\n");
    QList<qint64> differences;
    for (int round = 1; round <= rounds; ++round) {
        // Alternate which side goes first, so that warm caches favour neither.
        const bool colouredFirst = round % 2 == 1;
        const qint64 first = OpenAndPaint(file, colouredFirst);
        const qint64 second = OpenAndPaint(file, !colouredFirst);
        const qint64 coloured = colouredFirst ? first : second;
        const qint64 plain = colouredFirst ? second : first;
        differences.append(coloured - plain);
        std::printf("%5d  %11lld  %8lld  %13lld\n", round, coloured, plain, coloured - plain);
    }
    std::sort(differences.begin(), differences.end());
    std::printf("median colouring and link marking: %lld ms\n", differences.at(differences.size() / 2));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("LUMARO_REGISTRY", dir.filePath(QStringLiteral("registry.ini")).toLocal8Bit());
    QApplication app(argc, argv);
    InitProgramPaths(dir.filePath(QStringLiteral("modules/lmview")));
    SetLanguage(0);
    CreateDataDirectories();
    QDir().mkpath(Paths().System.WorkDir);
    SetReportHandler([](const TUserMessage& message) { std::fprintf(stderr, "report %d: %s\n", message.Id, qPrintable(message.Text)); });
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString mode = arguments.value(0);
    if (mode == QLatin1String("--colour"))
        return RunColour(dir, std::max(1, arguments.value(1, QStringLiteral("5")).toInt()));
    if (mode == QLatin1String("--open") && arguments.size() == 2) {
        const qint64 ms = OpenAndPaint(arguments.at(1), true);
        std::printf("open_ms %lld peak_rss_kb %ld file_kb %lld\n", ms, PeakRssKb(), QFileInfo(arguments.at(1)).size() / 1024);
        return ms < 0 ? 1 : 0;
    }
    if (mode == QLatin1String("--empty")) {
        const QString file = dir.filePath(QStringLiteral("empty.eml"));
        QFile empty(file);
        empty.open(QIODevice::WriteOnly);
        empty.write("From: a@example.org\r\nSubject: empty\r\n\r\nx\r\n");
        empty.close();
        const qint64 ms = OpenAndPaint(file, true);
        std::printf("open_ms %lld peak_rss_kb %ld file_kb 0\n", ms, PeakRssKb());
        return 0;
    }
    std::fputs("usage: bench_lmview --open FILE | --empty | --colour [ROUNDS]\n", stderr);
    return 2;
}

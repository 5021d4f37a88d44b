// Main window: activating a folder of 100,000 messages until the list is ready, and the memory the
// list holds per row beyond the index records. Runs offscreen in a private program directory.
//
//   build/bench/bench_mainwindow [messages]

#include "DBMailboxFunctions.h"
#include "EnhListView.h"
#include "FolderSet.h"
#include "Konstanten.h"
#include "ListviewFunctions.h"
#include "Main.h"
#include "Reporter.h"
#include "tk_langlib.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// Writes a folder of `count` short messages with their index in one go.
bool WriteLargeFolder(const TFolderFiles& folder, int count)
{
    QByteArray messages;
    QByteArray index = detail::IndexHeader();
    for (int i = 0; i < count; ++i) {
        const QByteArray subject = "Message number " + QByteArray::number(i);
        const QByteArray bytes = QByteArray(FolderSeparator.data(), FolderSeparator.size())
            + "From: sender" + QByteArray::number(i % 97) + "@example.org\r\nSubject: " + subject + "\r\n\r\nBody.\r\n";
        TIndexRecord record;
        record.Offset = qint32(messages.size());
        record.Length = qint32(bytes.size());
        record.Flags = i % 3 == 0 ? 0 : mfRead;
        record.Date = 46000.0 + i / 100.0;
        record.From = "sender" + QByteArray::number(i % 97) + "@example.org";
        record.To = "me@example.org";
        record.Subject = subject;
        messages += bytes;
        index += detail::EncodeIndexRecord(record);
    }
    QFile mbx(folder.MessageFile);
    QFile idx(folder.IndexFile);
    return mbx.open(QIODevice::WriteOnly) && mbx.write(messages) == messages.size() && idx.open(QIODevice::WriteOnly)
        && idx.write(index) == index.size();
}

long ResidentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir programDir;
    qputenv("LUMARO_REGISTRY", programDir.filePath(QStringLiteral("registry.ini")).toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    SetReportHandler([](const TUserMessage& m) { std::fprintf(stderr, "report %d: %s\n", m.Id, qPrintable(m.Text)); });
    InitProgramPaths(programDir.filePath(QStringLiteral("lumaro")));
    SetLanguage(2);
    QDir().mkpath(Paths().Data.MailDir);
    const QString inbox = SpecialFolderName(TSpecialFolder::Inbox);
    const QString outbox = SpecialFolderName(TSpecialFolder::Outbox);
    if (!WriteLargeFolder(FolderPaths(inbox), count)) {
        std::fprintf(stderr, "cannot write the folder\n");
        return 1;
    }

    TMainFrm frm({});
    frm.Dialogs.AskYesNo = [](const QString&) { return false; };
    frm.Dialogs.Inform = [](const QString&) {};
    frm.resize(1000, 700);
    frm.show();
    while (frm.CurrentFolder().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    auto activate = [&] {
        QList<double> activations;
        for (int run = 0; run < 7; ++run) {
            frm.ActivateFolder(outbox);
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            frm.ActivateFolder(inbox);
            // The list is ready when the view has laid out and painted its first screen.
            frm.MessageLv->viewport()->repaint();
            activations.append(timer.nsecsElapsed() / 1e6);
        }
        return activations;
    };
    const QList<double> activations = activate();
    // The same with a remembered sort by date, which every activation applies to the new rows.
    emit frm.MessageLv->header()->sectionClicked(2);
    const QList<double> sortedActivations = activate();

    TMessageListModel model;
    model.SetColumns(ColumnsOf(DefaultColumnCaptions(), false));
    const long before = ResidentKilobytes();
    QElapsedTimer loadTimer;
    loadTimer.start();
    model.Load(FolderPaths(inbox));
    const double loadMs = loadTimer.nsecsElapsed() / 1e6;
    const long after = ResidentKilobytes();
    QElapsedTimer sortTimer;
    sortTimer.start();
    model.sort(1);
    const double sortMs = sortTimer.nsecsElapsed() / 1e6;

    const double indexBytes = double(model.rowCount() + 1) * IndexRecordSize;
    std::printf("messages                         %d\n", model.rowCount());
    std::printf("activation until list ready      %.1f ms (median of %lld, min %.1f)\n", Median(activations),
                qlonglong(activations.size()), *std::min_element(activations.cbegin(), activations.cend()));
    std::printf("activation sorted by date        %.1f ms (median)\n", Median(sortedActivations));
    std::printf("model load alone                 %.1f ms\n", loadMs);
    std::printf("sort by subject                  %.1f ms\n", sortMs);
    std::printf("list memory per row              %.1f bytes (index record %lld bytes)\n",
                double(model.MemoryUsed()) / model.rowCount(), qlonglong(IndexRecordSize));
    std::printf("beyond the index record          %.1f bytes per row\n",
                (double(model.MemoryUsed()) - indexBytes) / model.rowCount());
    std::printf("resident growth of the load      %.1f bytes per row\n", (after - before) * 1024.0 / model.rowCount());
    return 0;
}
